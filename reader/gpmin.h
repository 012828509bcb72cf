// gpmin: the macro generator between the text files and the tokenizer (option M):
// text passes unchanged except for macro calls, which are replaced by their results.
// Its stack holds the open calls and the definitions; each text file keeps its own
// expanded line (TextFile's macro fields), so locations are columns of that line.
#pragma once
#include <cstdint>

int gpmin_init();

// Switches the layer on with the default characters # ( , ) % < > and no
// definitions; every working pointer starts afresh. The stack is kept if held.
void gpmin_init_gpm();
// Releases the stack with all definitions and switches the layer off.
void gpmin_close_gpm();
// Nonzero while the layer is on.
uint8_t gpmin_on();

// The four character operations of the tokenizer. With the layer off they are
// textin_next_line, textin_next_char, textin_peek_char and textin_unget.
// gpmin_next_mline builds file n's next expanded line (column 1) and returns 0 only
// when the text has ended with nothing more to deliver.
uint8_t gpmin_next_mline(uint16_t n);
// The next character of the expanded line, 13 after its last one when the source
// line ended there, 0 at the end of the text; lines that expand to nothing give none.
uint8_t gpmin_next_mchar(uint16_t n);
// The character k places ahead (k = 0: the next one), 13 beyond the line's end.
uint8_t gpmin_peek_mchar(uint16_t n, uint16_t k);
// Steps back one character, never before column 1.
void gpmin_munget(uint16_t n);
