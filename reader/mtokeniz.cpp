// mtokeniz: the character tokenizer. Characters come through the macro layer one
// at a time; the class of the first character of a token chooses how it is read.
// Bytes 0x80-0xFF are name characters, so UTF-8 names, strings and comments pass
// byte for byte; a UTF-8 byte-order mark at the start of a text is skipped.
#include "reader/mtokeniz.h"

#include <cerrno>
#include <clocale>
#include <cfenv>
#include <cmath>
#include <cstdlib>
#include <locale.h>
#include <string>

#include "reader/gpmin.h"
#include "runtime/debug.h"
#include "runtime/rtlib.h"

MtokenizState mtokeniz_state = {};
MtokenizHook mtokeniz_hook = nullptr;
uint16_t mtokeniz_debug = 0;

namespace {

const char *const CLASS_NAMES[] = {"EFILE", "ILL",     "WHITE",   "SPEC", "ID0",  "ID1",  "DIG",
                                   "DIGID", "PERIOD",  "SQUOTE1", "SQUOTE2", "CM1A", "CM1B", "CM2A",
                                   "CM2B",  "CM2C",    "CM2AC",   "CM3",  "CM4",  "NULINE"};

struct Tables {
  uint32_t cls[256];
  uint32_t tok[256];
};

constexpr Tables make_tables() {
  Tables t = {};
  for (int ch = 0; ch < 256; ch++) {
    t.cls[ch] = ch < 32 || ch == 0x7F ? MTOKENIZ_ILL : MTOKENIZ_ID0;  // 0x80-0xFF: names
    t.tok[ch] = TOKEN_INVALID;
  }
  t.cls[0] = t.cls[0x1B] = MTOKENIZ_EFILE;
  t.tok[0] = t.tok[0x1B] = TOKEN_EOF;
  t.cls['\t'] = t.cls['\n'] = t.cls[' '] = MTOKENIZ_WHITE;
  t.cls['\r'] = MTOKENIZ_NULINE;
  t.cls['_'] = MTOKENIZ_ID1;
  for (int ch = '0'; ch <= '9'; ch++) t.cls[ch] = MTOKENIZ_DIGID;
  t.cls['.'] = MTOKENIZ_PERIOD;
  t.tok['.'] = 20;
  t.cls['\''] = MTOKENIZ_SQUOTE1;
  t.cls['"'] = MTOKENIZ_SQUOTE2;
  const char *specials = "!#$%&()*+,-./:;<=>?@[\\]^|~{}";  // codes 9..36 in this order
  for (uint32_t k = 0; specials[k]; k++) {
    uint8_t ch = static_cast<uint8_t>(specials[k]);
    if (ch != '.') t.cls[ch] = MTOKENIZ_SPEC;
    t.tok[ch] = 9 + k;
  }
  t.cls['`'] = MTOKENIZ_SPEC;
  return t;
}

Tables token_tables = make_tables();

enum { ERR_STRING = 1, ERR_COMMENT, ERR_INTEGER, ERR_REAL, ERR_NAME, ERR_LONG_STRING };
const char *const ERROR_TEXTS[] = {"",
                                   "Unterminated String",
                                   "Unterminated Comment",
                                   "Integer overflow ",
                                   "Real overflow",
                                   "Name too long",
                                   "String too long"};

}  // namespace

static uint32_t cls(uint8_t ch) { return token_tables.cls[ch]; }

static bool digit_class(uint8_t ch) { return cls(ch) == MTOKENIZ_DIG || cls(ch) == MTOKENIZ_DIGID; }

static uint8_t next(uint16_t n) { return mtokeniz_state.ch = gpmin_next_mchar(n); }

void mtokeniz_set_char_class(uint8_t ch, uint32_t c) { token_tables.cls[ch] = c; }

uint32_t mtokeniz_char_class(uint8_t ch) { return token_tables.cls[ch]; }

void mtokeniz_report(const TextLoc *loc, const String *message) {
  MtokenizState &t = mtokeniz_state;
  t.errloc = *loc;
  strings_copyto_0(&t.errmsg, message);
  if (mtokeniz_hook) mtokeniz_hook(&t.errloc, &t.errmsg);
  std::string text(t.errmsg.text ? t.errmsg.text : "");
  text += "PARSE ERROR";
  rtlib_fatal_in("text_err", text.c_str());
}

// Reports error code at the current position (a comment error at the place kept
// when the outermost comment opened).
[[noreturn]] static void text_err(uint16_t n, int code) {
  TextLoc loc = mtokeniz_state.errloc;
  if (code != ERR_COMMENT) textin_textloc(&loc, n);
  String message = {};
  strings_copyto_1(&message, ERROR_TEXTS[code]);
  struct Release {
    String *m;
    ~Release() { strings_free_0(m); }
  } release{&message};
  mtokeniz_report(&loc, &message);
}

static void clear_text() {
  String &s = mtokeniz_state.text;
  if (s.capacity < MTOKENIZ_TEXT_MAX) strings_resize_0(&s, 0, MTOKENIZ_TEXT_MAX);
  s.length = 0;
  s.text[0] = 0;
}

static void add_text(uint16_t n, uint8_t ch, int code) {
  if (mtokeniz_state.text.length == MTOKENIZ_TEXT_MAX) text_err(n, code);
  strings_append(&mtokeniz_state.text, ch);
}

static void packid(uint16_t n, uint8_t first) {
  clear_text();
  add_text(n, first, ERR_NAME);
  for (uint8_t ch = next(n);; ch = next(n)) {
    uint32_t c = cls(ch);
    if (c != MTOKENIZ_ID0 && c != MTOKENIZ_ID1 && c != MTOKENIZ_DIGID) break;
    add_text(n, ch, ERR_NAME);
  }
  gpmin_munget(n);
  mtokeniz_state.token = TOKEN_IDENT;
}

// The real whose integer part (d significant digits) is in the token integer and
// whose point, if any, has been read. The value is the decimal text rounded
// correctly; tokens 7 and 8 follow the digit and exponent counts.
static void packreal(uint16_t n, int32_t d) {
  // The run keeps the overflow trap armed; a number too large for a double is
  // reported on the text, so the conversion runs with the traps held.
  struct HoldTraps {
    fenv_t env;
    HoldTraps() { feholdexcept(&env); }
    ~HoldTraps() {
      feclearexcept(FE_ALL_EXCEPT);
      fesetenv(&env);
    }
  } hold;
  MtokenizState &t = mtokeniz_state;
  t.token = TOKEN_REAL;
  int32_t significant = t.integer < 1 ? 0 : d;
  std::string text = std::to_string(t.integer) + ".";
  double fraction = 0;
  uint8_t ch = next(n);
  for (; ch >= '0' && ch <= '9'; ch = next(n)) {
    fraction = 10 * fraction + (ch - '0');
    if (significant > 0 || fraction > 0) significant++;
    text += static_cast<char>(ch);
  }
  if (significant > 6) t.token = TOKEN_DOUBLE;
  int32_t e = 0;
  bool negative = false;
  if (ch == 'E' || ch == 'e') {
    text += 'e';
    ch = next(n);
    if (ch == '+' || ch == '-') {
      negative = ch == '-';
      text += static_cast<char>(ch);
      ch = next(n);
    }
    for (; ch >= '0' && ch <= '9'; ch = next(n)) {
      if (e < 100000) e = 10 * e + (ch - '0');
      text += static_cast<char>(ch);
    }
    if (text.back() < '0' || text.back() > '9') text += '0';
  }
  gpmin_munget(n);
  if (negative ? e - d >= 37 : e + d >= 37) t.token = TOKEN_DOUBLE;
  static locale_t c_locale = newlocale(LC_ALL_MASK, "C", locale_t(0));
  t.real = strtod_l(text.c_str(), nullptr, c_locale);
  if (std::isinf(t.real)) text_err(n, ERR_REAL);
}

static int32_t digit_value(uint8_t ch) {
  if (ch >= '0' && ch <= '9') return ch - '0';
  if (ch >= 'A' && ch <= 'F') return ch - 'A' + 10;
  if (ch >= 'a' && ch <= 'f') return ch - 'a' + 10;
  return 99;
}

static void packnum(uint16_t n, uint8_t first) {
  MtokenizState &t = mtokeniz_state;
  uint32_t base = 10, value = first - '0';
  int32_t count = first == '0' ? 0 : 1;
  t.token = TOKEN_INTEGER;
  if (mtokeniz_debug) debug_printf("PACKNUM first=%c, tokenint=%d, baseval=%d\n", first, int(value), int(base));
  for (;;) {
    uint8_t ch = next(n);
    uint32_t digit = static_cast<uint32_t>(digit_value(ch));
    if (mtokeniz_debug > 1) debug_printf("next=%c, digit=%d\n", ch, int(digit));
    if (digit < base) {
      if (count > 0 || digit > 0) count++;
      if (count > 9 || (base == 16 && value > 0x0FFFFFFFu)) text_err(n, ERR_INTEGER);
      value = base * value + digit;
      if (mtokeniz_debug > 1) debug_printf("tokenint=%d\n", int(value));
    } else if (ch == '.') {
      uint8_t after = gpmin_peek_mchar(n, 0);
      if (mtokeniz_debug) debug_printf("PACKNUM SEES DOT, PEEK IS %c (%d)\n", after, after);
      if (after != '.') {
        t.integer = value;
        return packreal(n, count);
      }
      gpmin_munget(n);
      break;
    } else if (ch == 'E' || ch == 'e') {
      gpmin_munget(n);
      t.integer = value;
      return packreal(n, count);
    } else if ((ch == 'X' || ch == 'x') && value == 0) {
      base = 16;
      count = 0;
      t.token = TOKEN_HEX;
    } else {
      gpmin_munget(n);
      break;
    }
  }
  t.integer = value;
}

// A string up to the closing quote of the same class; a doubled quote is one.
static void packstring(uint16_t n, uint32_t quote) {
  clear_text();
  for (;;) {
    uint8_t ch = next(n);
    if (ch < 32) {
      gpmin_munget(n);
      text_err(n, ERR_STRING);
    }
    if (cls(ch) == quote) {
      if (cls(gpmin_peek_mchar(n, 0)) != quote) break;
      next(n);
    }
    add_text(n, ch, ERR_LONG_STRING);
  }
  mtokeniz_state.token = TOKEN_STRING;
}

// Skips a comment of style 1 (braces) or 2 (slash-star), with comments of either
// style nested in it; the closer of the innermost open one ends it.
static void skipcomment(uint16_t n, char style) {
  MtokenizState &t = mtokeniz_state;
  std::string open;
  auto opens = [&](char kind) {
    open += kind;
    t.depth = static_cast<int32_t>(open.size());
    if (mtokeniz_debug) debug_printf("COMMENT%c %d\n", kind, int(t.depth));
  };
  opens(style);
  while (!open.empty()) {
    uint8_t ch = next(n);
    uint32_t c = cls(ch);
    if (mtokeniz_debug > 1) debug_printf("NEXT IS %c(%s)\n", ch, CLASS_NAMES[c]);
    if (c == MTOKENIZ_EFILE) {
      gpmin_munget(n);
      text_err(n, ERR_COMMENT);
    }
    bool closes = false;
    if (open.back() == '1' && c == MTOKENIZ_CM1B) {
      closes = true;
    } else if (open.back() == '2' && c == MTOKENIZ_CM2B) {
      uint32_t after = cls(gpmin_peek_mchar(n, 0));
      if (after == MTOKENIZ_CM2C || after == MTOKENIZ_CM2AC) {
        next(n);
        closes = true;
      }
    } else if (c == MTOKENIZ_CM1A) {
      opens('1');
    } else if (c == MTOKENIZ_CM2A || c == MTOKENIZ_CM2AC) {
      if (cls(next(n)) == MTOKENIZ_CM2B)
        opens('2');
      else
        gpmin_munget(n);
    }
    if (closes) {
      if (mtokeniz_debug) debug_printf("END COMMENT%c %d\n", open.back(), int(t.depth));
      open.pop_back();
      t.depth = static_cast<int32_t>(open.size());
    }
  }
}

// True at the first character of a text: it is then checked for a byte-order mark.
static bool at_text_start(uint16_t n) {
  TextLoc loc = {};
  textin_textloc(&loc, n);
  return loc.line == 1 && loc.column == 2;
}

uint32_t mtokeniz_token(uint16_t n) {
  TRACE("mtokeniz_token");
  MtokenizState &t = mtokeniz_state;
  for (;;) {
    t.token = TOKEN_INVALID;
    uint8_t ch = next(n);
    if (ch == 0xEF && gpmin_peek_mchar(n, 0) == 0xBB && gpmin_peek_mchar(n, 1) == 0xBF && at_text_start(n)) {
      next(n);
      next(n);
      ch = next(n);
    }
    while (cls(ch) == MTOKENIZ_WHITE || cls(ch) == MTOKENIZ_NULINE) {
      if (cls(ch) == MTOKENIZ_NULINE) gpmin_next_mline(n);
      ch = next(n);
    }
    t.first = ch;
    t.token = token_tables.tok[ch];
    uint32_t c = cls(ch);
    if (mtokeniz_debug) debug_printf("START TOKEN char=%c class=%s\n", ch, CLASS_NAMES[c]);
    bool again = false;
    switch (c) {
      case MTOKENIZ_EFILE:
        t.token = TOKEN_EOF;
        break;
      case MTOKENIZ_ID0:
        packid(n, ch);
        break;
      case MTOKENIZ_DIG:
      case MTOKENIZ_DIGID:
        packnum(n, ch);
        break;
      case MTOKENIZ_PERIOD: {
        uint8_t after = gpmin_peek_mchar(n, 0);
        if (cls(after) == MTOKENIZ_PERIOD) {
          next(n);
          t.token = TOKEN_TWO_POINTS;
        } else if (digit_class(after)) {
          t.integer = 0;
          packreal(n, 0);
        }
        break;
      }
      case MTOKENIZ_SQUOTE1:
      case MTOKENIZ_SQUOTE2:
        packstring(n, c);
        break;
      case MTOKENIZ_CM1A:
        textin_textloc(&t.errloc, n);
        skipcomment(n, '1');
        again = true;
        break;
      case MTOKENIZ_CM2A:
      case MTOKENIZ_CM2AC:
        if (cls(next(n)) == MTOKENIZ_CM2B) {
          textin_textloc(&t.errloc, n);
          skipcomment(n, '2');
          again = true;
        } else {
          gpmin_munget(n);
        }
        break;
      case MTOKENIZ_CM4:
        if (next(n) != ch) {
          gpmin_munget(n);
          break;
        }
        [[fallthrough]];
      case MTOKENIZ_CM3:
        if (gpmin_next_mline(n))
          again = true;
        else
          t.token = TOKEN_EOF;
        break;
      default:
        break;
    }
    if (again) continue;
    if (mtokeniz_debug) debug_printf("RETURN TOKEN %d\n", int(t.token));
    return t.token;
  }
}

int mtokeniz_init() {
  TRACE("mtokeniz");
  return 0;
}
