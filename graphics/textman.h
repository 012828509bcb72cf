// textman: in-memory texts handed to and taken back from the descriptor editor.
#pragma once
#include <cstdint>

struct TextLoc;

int textman_init();

// Fills the editor view's edit control with the lines of text number text and sets
// the editor's caption to the text's file name without its directory; false when
// the text cannot be loaded (too long for the editor, or no such text or view).
uint8_t textman_send_edit_text_0(uint16_t text, uint16_t view);
// The same, selecting the word before the position loc (a parse or run error).
uint8_t textman_send_edit_text_1(uint16_t text, uint16_t view, const TextLoc *loc);
// Reads the edit control back into the text; true when it changed.
bool textman_get_edit_text(uint16_t text, uint16_t view);
