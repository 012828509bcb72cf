// mtokeniz: the character tokenizer of descriptors and data files: names, integers,
// reals, quoted strings, special characters and the end of the text, with white
// space and comments skipped, all driven by a table of character classes.
#pragma once
#include <cstdint>

#include "runtime/strings.h"
#include "runtime/textin.h"

// Character classes.
enum : uint32_t {
  MTOKENIZ_EFILE, MTOKENIZ_ILL, MTOKENIZ_WHITE, MTOKENIZ_SPEC, MTOKENIZ_ID0, MTOKENIZ_ID1,
  MTOKENIZ_DIG, MTOKENIZ_DIGID, MTOKENIZ_PERIOD, MTOKENIZ_SQUOTE1, MTOKENIZ_SQUOTE2,
  MTOKENIZ_CM1A, MTOKENIZ_CM1B, MTOKENIZ_CM2A, MTOKENIZ_CM2B, MTOKENIZ_CM2C, MTOKENIZ_CM2AC,
  MTOKENIZ_CM3, MTOKENIZ_CM4, MTOKENIZ_NULINE
};

// Token codes; a special character by itself is its own code from 9 ("!") to 36 ("}").
enum : uint32_t {
  TOKEN_INVALID = 0,
  TOKEN_EOF = 1,
  TOKEN_IDENT = 2,
  TOKEN_INTEGER = 3,
  TOKEN_HEX = 4,
  TOKEN_STRING = 6,
  TOKEN_REAL = 7,    // a real that fits single precision
  TOKEN_DOUBLE = 8,  // a real that needs double precision
  TOKEN_STAR = 16,
  TOKEN_LESS = 24,
  TOKEN_EQUAL = 25,
  TOKEN_GREATER = 26,
  TOKEN_SHARP = 10,
  TOKEN_TWO_POINTS = 37
};

enum { MTOKENIZ_TEXT_MAX = 255 };  // longest name or string

// The tokenizer's state, left by each token for its reader.
struct MtokenizState {
  uint8_t ch;        // the character read last
  uint8_t first;     // first character of the current token
  uint32_t token;    // code of the current token
  String text;       // a name or the body of a string (room for MTOKENIZ_TEXT_MAX)
  uint32_t integer;  // an integer's value, or the integer part of a real
  double real;       // a real's value
  int32_t depth;     // comment nesting depth
  TextLoc errloc;    // where the latest error stands
  String errmsg;     // its message
};

// Error hook: reports the message at the location as a parse error; does not return.
typedef void (*MtokenizHook)(TextLoc *loc, String *message);

extern MtokenizState mtokeniz_state;
extern MtokenizHook mtokeniz_hook;  // installed by the symbol reader
extern uint16_t mtokeniz_debug;     // DEBUG TEXTIN: trace lines to the debug log (2: more)

int mtokeniz_init();

// Stores the class of one character.
void mtokeniz_set_char_class(uint8_t ch, uint32_t cls);
uint32_t mtokeniz_char_class(uint8_t ch);

// Reads the next token of text file n through the macro layer and returns its
// code; its text, integer or real is left in mtokeniz_state. Errors go to the hook.
uint32_t mtokeniz_token(uint16_t n);

// Reports a lexical error at loc through the hook; with no hook installed it is the
// fatal error with "PARSE ERROR" after the message.
[[noreturn]] void mtokeniz_report(const TextLoc *loc, const String *message);
