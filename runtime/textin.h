// textin: the numbered in-memory text files (descriptors, configuration, includes,
// data files) read character by character, and TextLoc, the place of a character.
#pragma once
#include <cstdint>
#include <cstdio>

#include "runtime/strings.h"

// One text file of the table. Line numbers are those of the file on disk; buffered
// line k is file line base + k. Counts of lines are 32-bit.
struct TextFile {
  String name;             // kept after close
  uint32_t column;         // next character of the current line, from 1 (a line may hold 65535)
  uint16_t macro_pos[2];   // kept by the macro generator; 1 after open and rewind
  uint32_t line;           // current file line, from 1 (0 before the first)
  uint32_t base;           // file lines before the first buffered line
  uint32_t last_read;      // file line number of the last buffered line
  StringList lines;        // the buffered lines, without line ends
  String expanded;         // the macro generator's expanded line; empty after open and rewind
  uint16_t expanded_count; // kept by the macro generator; 0 after open and rewind
  uint32_t expanded_line;  // file line where the expanded line began; 0 after open and rewind
  uint8_t echo;            // nonzero: each line reached goes to the echo stream
  uint8_t open;            // 1 while the entry is in use
  uint8_t incomplete;      // 1 while the window has more file lines to read
  uint8_t last_char;       // the character textin_next_char returned last
};

struct TextLoc {
  uint16_t file;    // text file number; 0: no location
  uint16_t column;
  uint32_t line;
};

// TextLoc vector, 1-based: entry k is data[k-1].
struct TextLocVector {
  uint16_t count;
  uint16_t capacity;
  TextLoc *data;
};

extern uint16_t textin_debug;  // nonzero: every operation writes a trace line to the debug log

// While the macro generator is on, a location is a column of its expanded line, so
// textin_textloc and textin_text_seek go through these (null while it is off).
extern void (*textin_macro_textloc)(TextLoc *loc, uint16_t n);
extern void (*textin_macro_seek)(const TextLoc *loc);
// And textin_extract_0 reads a line through this one: true, with view set to the
// expansion of file n's line, when the generator still holds it.
extern bool (*textin_macro_line)(uint16_t n, uint32_t line, String *view);

int textin_init();

// Where an error a user caused in a text (a line longer than 65535 characters) is
// reported: the run controller reports it on the current problem. The hook must not
// return; with none set the located message goes to the runtime log and the command
// is abandoned by the jump back to the catch point (code 11). Either way the text
// being opened is closed and the reader released.
typedef void (*TextinReport)(const TextLoc *loc, const String *message);
void textin_set_report(TextinReport hook);

uint16_t textin_open_text(const String *name, uint8_t echo);
uint16_t textin_open_text_window(const String *name, uint8_t flag, uint16_t n);
uint16_t textin_create_text_0(const String *name, uint8_t echo);
uint16_t textin_create_text_1(const String *name, uint8_t echo, const StringList *lines);
uint16_t textin_preset_text(const String *name, uint8_t echo, const char *buffer);
void textin_write_text_1(uint16_t n, const String *name);
void textin_write_text_0(uint16_t n);
void textin_copy_text(uint16_t n, const String *name);
void textin_close_text(uint16_t n);
void textin_reset_text(uint16_t n);
void textin_text_echo(FILE *stream);

uint8_t textin_next_char(uint16_t n);
uint8_t textin_peek_char(uint16_t n, uint16_t k);
void textin_unget(uint16_t n);
uint8_t textin_next_line(uint16_t n);

void textin_textloc(TextLoc *loc, uint16_t n);
void textin_text_seek(const TextLoc *loc);
void textin_extract_0(String *d, const TextLoc *from, const TextLoc *to);
void textin_extract_1(String *d, uint16_t n, uint32_t line);
void textin_replace(uint16_t n, uint32_t line, const String *s);

StringList *textin_text_body(uint16_t n);
// The entry itself; the pointer holds until the next open or create grows the table.
TextFile *textin_text_name(uint16_t n);
void textin_textfile_name(String *d, uint16_t n);

void textin_new(TextLocVector *v, uint16_t count, uint16_t capacity);
void textin_resize(TextLocVector *v, uint16_t count, uint16_t capacity);
void textin_free(TextLocVector *v);
int32_t textin_one_more(TextLocVector *v, const TextLoc *loc);
