// gpmin: a general-purpose macrogenerator in front of the tokenizer. A call is
// "#(" name "," argument ... ")"; text in "<" ">" is copied without evaluation;
// "%d" in a body inserts argument d. Calls are evaluated as a line is built, so the
// tokenizer sees expanded lines and its locations are columns of those lines.
//
// The stack is one array of 32-bit cells: characters are 1..255, BIN and BAR
// values 16-bit numbers, and two markers lie outside both ranges (so no value can
// end a body or pass for a definition). Cell 0 is unused; position 0 means none.
//   open call at b:  saved h, saved f, saved p, saved c, frame length, then the items
//                    (each a length cell and its cells), END after the last item;
//   definition at d: DEFMARK, record length, older definition, name length, name
//                    cells, body cells, END.
// A definition made while a call's items are collected lies inside that item and
// is skipped when the item is read; it goes when the call's frame goes.
#include "reader/gpmin.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "reader/mtokeniz.h"
#include "runtime/bopmem.h"
#include "runtime/debug.h"
#include "runtime/rtlib.h"
#include "runtime/strings.h"
#include "runtime/textin.h"

namespace {

enum : int32_t {
  END = 0x10000,      // ends a body and a call's item list
  DEFMARK = 0x20000,  // first cell of a definition record
  FIRST_CELLS = 4096,
  GROW_CELLS = 4096,
  MARGIN = 256,
  MAX_CELLS = 32767,  // cells are addressed as 16-bit positions
  HEAD = 5,           // header cells of a call frame before item 0
  LINE_MAX = 65533    // longest expanded line: its columns, with the line end's, fit 16 bits
};

// The settable characters; call2 0 means the call start alone opens a call.
struct Syntax {
  int32_t call, call2, sep, term, marker, open, close;
};
constexpr Syntax DEFAULT_SYNTAX = {'#', '(', ',', ')', '%', '<', '>'};

uint8_t on = 0;
Syntax syn = DEFAULT_SYNTAX;
int32_t *st = nullptr;  // the stack, cells 1..cap-1
int32_t cap = 0;
int32_t s = 1;  // next free cell
int32_t h = 0;  // length cell of the item being collected; 0: output goes to the line
int32_t f = 0;  // latest open call
int32_t p = 0;  // call whose body is being read
int32_t c = 0;  // last cell read of that body; 0: reading the source
int32_t e = 0;  // newest definition
uint8_t tracing = 0;
uint16_t file = 0;        // the text whose line is being built
String *out = nullptr;    // the result of the current top-level call
TextLoc callloc = {};     // where that call began
String line_buf = {}, res_buf = {};
// The expansion a file's expanded line held before the latest one was built, and its
// place: an entry's source text is cut out once the parser has read past its line.
String prev_expanded = {};
uint16_t prev_file = 0;
uint32_t prev_line = 0;

}  // namespace

// Reports macro error code with the text what followed by the item whose length
// cell is i (0: none); does not return.
[[noreturn]] static void error(int code, const char *what, int32_t i, bool incomplete);

// Item 0 (the name) of the frame at b, for messages.
static int32_t grid_name_of(int32_t b) { return b ? b + HEAD : 0; }

// ---- Cells --------------------------------------------------------------------------

static void growstack() {
  if (cap > MAX_CELLS) return;
  int32_t grown = cap + GROW_CELLS > MAX_CELLS + 1 ? MAX_CELLS + 1 : cap + GROW_CELLS;
  int32_t *cells = nullptr;
  bopmemalloc(&cells, grown, sizeof(int32_t));
  XMEM += int64_t{grown} * int64_t{sizeof(int32_t)};
  if (st) {
    memcpy(cells, st, static_cast<size_t>(cap) * sizeof(int32_t));
    XMEM -= int64_t{cap} * int64_t{sizeof(int32_t)};
    bopmemfree(&st);
  }
  st = cells;
  cap = grown;
}

static void push(int32_t x) {
  if (s >= cap - MARGIN) growstack();
  if (s >= MAX_CELLS) error(7, "stack overflow in ", grid_name_of(f ? f : p), false);
  st[s++] = x;
}

// A cell of text: to the item being collected, or to the result when no call is open.
static void load(int32_t x) {
  if (h) return push(x);
  if (x < 1 || x > 255) error(8, "bad character in result of ", grid_name_of(p), false);
  if (out->length == 65535) error(11, "result too long in ", grid_name_of(p), false);
  strings_append(out, static_cast<uint8_t>(x));
}

// First character cell at or after k and before end, past definition records.
static int32_t skipdefs(int32_t k, int32_t end) {
  while (k < end && st[k] == DEFMARK) k += st[k + 1];
  return k;
}

// Length cell of item d of the frame at b, or 0 when the call has fewer items.
static int32_t item(int32_t b, int32_t d) {
  int32_t i = b + HEAD, end = b + st[b + 4] - 1;
  for (; d > 0 && i < end; d--) i += st[i] + 1;
  return i < end ? i : 0;
}

// Calls fn(cell) for each character cell of the item whose length cell is i.
template <class F> static void each(int32_t i, F &&fn) {
  if (!i) return;
  int32_t end = i + st[i] + 1;
  for (int32_t k = skipdefs(i + 1, end); k < end; k = skipdefs(k + 1, end)) fn(st[k]);
}

static int32_t cells_of(int32_t i) {
  int32_t n = 0;
  each(i, [&](int32_t) { n++; });
  return n;
}

static int32_t first_cell(int32_t i) {
  int32_t v = 0, n = 0;
  each(i, [&](int32_t x) { v = n++ ? v : x; });
  return v;
}

// Letters match without regard to case (and so do other pairs one 0x20 bit apart).
static bool same(int32_t a, int32_t b) { return ((a ^ b) & ~0x20) == 0; }

// The printable form of an item (the one being collected runs to the top), for
// messages.
static void show_item(String *d, int32_t i) {
  if (!i) return;
  int32_t end = i == h ? s : i + st[i] + 1;
  for (int32_t k = skipdefs(i + 1, end); k < end && d->length < 60; k = skipdefs(k + 1, end))
    strings_append(d, st[k] >= 32 && st[k] <= 122 ? static_cast<uint8_t>(st[k]) : '$');
}

// Removes cells [b, b+len): the cells above move down, definitions inside the range
// leave the chain and the positions above it move with their cells.
static void cut(int32_t b, int32_t len) {
  int32_t *link = &e, d = e;
  while (d >= b) {
    int32_t older = st[d + 2];
    if (d >= b + len) {
      *link = d - len;
      link = &st[d + 2];
    }
    d = older;
  }
  *link = d;
  memmove(&st[b], &st[b + len], static_cast<size_t>(s - b - len) * sizeof(int32_t));
  s -= len;
  for (int32_t *q : {&h, &f, &p, &c})
    if (*q >= b + len) *q -= len;
}

// ---- Definitions ------------------------------------------------------------------------

// The newest definition whose name equals item i, or 0.
static int32_t find(int32_t i) {
  int32_t n = cells_of(i);
  for (int32_t d = e; d; d = st[d + 2]) {
    if (st[d + 3] != n) continue;
    int32_t k = d + 4;
    bool match = true;
    each(i, [&](int32_t x) { match = match && same(x, st[k++]); });
    if (match) return d;
  }
  return 0;
}

static int32_t body_of(int32_t d) { return d + 4 + st[d + 3]; }

static bool name_is(int32_t i, const char *name) {
  if (cells_of(i) != static_cast<int32_t>(strlen(name))) return false;
  bool match = true;
  const char *k = name;
  each(i, [&](int32_t x) { match = match && same(x, static_cast<uint8_t>(*k++)); });
  return match;
}

// ---- Built-ins (each pushes its result above its closed frame at b) ------------------

static void def(int32_t b) {
  int32_t name = item(b, 1), body = item(b, 2);
  int32_t n = cells_of(name), len = 5 + n + cells_of(body);
  int32_t d = s;
  for (int32_t x : {int32_t{DEFMARK}, len, e, n}) push(x);
  each(name, push);
  each(body, push);
  push(END);
  e = d;
}

static void val(int32_t b) {
  int32_t d = find(item(b, 1));
  if (!d) return;
  for (int32_t k = body_of(d); st[k] != END; k++) push(st[k]);
}

static void redef(int32_t b) {
  int32_t name = item(b, 1), value = item(b, 2);
  int32_t d = find(name);
  if (!d) return;
  int32_t k = body_of(d), room = 0;
  while (st[k + room] != END) room++;
  if (cells_of(value) > room) error(9, "update too long for ", name, false);
  each(value, [&](int32_t x) { st[k++] = x; });
  st[k] = END;
}

// Decimal text to one 16-bit cell: blanks ignored, a sign first.
static void bin(int32_t b) {
  int32_t i = item(b, 1);
  int16_t v = 0;
  bool negative = false, started = false;
  each(i, [&](int32_t x) {
    if (x == ' ') return;
    if (!started && (x == '+' || x == '-')) {
      negative = x == '-';
    } else if (x >= '0' && x <= '9') {
      v = static_cast<int16_t>(v * 10 + (x - '0'));
    } else {
      error(10, "illegal digit in number ", i, false);
    }
    started = true;
  });
  push(negative ? static_cast<int16_t>(-v) : v);
}

static void dec(int32_t b) {
  char text[16];
  snprintf(text, sizeof text, "%d", static_cast<int>(static_cast<int16_t>(first_cell(item(b, 1)))));
  for (const char *k = text; *k; k++) push(*k);
}

// 16-bit integer arithmetic; a zero divisor is refused.
static void bar(int32_t b) {
  int32_t op = first_cell(item(b, 1)), x = first_cell(item(b, 2)), y = first_cell(item(b, 3));
  int32_t r;
  if (op == '+') {
    r = x + y;
  } else if (op == '-') {
    r = x - y;
  } else if (op == '*') {
    r = x * y;
  } else {
    if (y == 0) error(6, "zero divisor in ", grid_name_of(b), false);
    r = op == '/' ? x / y : x - (x / y) * y;
  }
  push(static_cast<int16_t>(r));
}

static void tracet(int32_t b) {
  int32_t x = first_cell(item(b, 1));
  if (x == '+' || x == '-') tracing = x == '+';
}

static void eq(int32_t b) {
  for (int32_t d = 1; d <= 4; d++)
    if (!item(b, d)) {
      char what[40];
      snprintf(what, sizeof what, "no arg #%d in call of ", static_cast<int>(d));
      error(4, what, grid_name_of(b), false);
    }
  int32_t a = item(b, 1), other = item(b, 2);
  bool equal = cells_of(a) == cells_of(other);
  if (equal) {
    int32_t k = skipdefs(other + 1, other + st[other] + 1);
    each(a, [&](int32_t x) {
      equal = equal && x == st[k];
      k = skipdefs(k + 1, other + st[other] + 1);
    });
  }
  each(item(b, equal ? 3 : 4), push);
}

// Seven characters: call start, second call character (a blank: none), separator,
// terminator, argument marker, open quote, close quote.
static void syntax(int32_t b) {
  int32_t *slot[] = {&syn.call, &syn.call2, &syn.sep, &syn.term, &syn.marker, &syn.open, &syn.close};
  int k = 0;
  each(item(b, 1), [&](int32_t x) {
    if (k == 1 && x == ' ') x = 0;
    if (k < 7) *slot[k++] = x;
  });
}

struct Builtin {
  const char *name;
  void (*act)(int32_t b);
  bool output;  // its pushed cells are text
};
const Builtin builtins[] = {{"DEF", def, false}, {"VAL", val, true},    {"REDEF", redef, false},
                            {"BIN", bin, true},  {"DEC", dec, true},    {"BAR", bar, true},
                            {"TRACE", tracet, false}, {"EQ", eq, true}, {"SYNTAX", syntax, false}};

// ---- The call machine -----------------------------------------------------------------

static int32_t nextch() {
  if (c) return st[++c];
  return textin_next_char(file);
}

// A call start counts only when the second call character (if any) follows.
static bool test2() {
  if (!syn.call2) return true;
  int32_t next = c ? st[c + 1] : textin_peek_char(file, 0);
  if (next != syn.call2) return false;
  nextch();
  return true;
}

static void fn() {
  int32_t b = s;
  for (int32_t x : {h, f, 0, 0, 0, 0}) push(x);
  f = b;
  h = b + HEAD;
}

// A separator or terminator read in a body while the latest open call began outside
// that body would close an item around the body's own frame.
static void unmatched(int32_t a) {
  char what[24];
  snprintf(what, sizeof what, "unmatched %c in ", static_cast<char>(a));
  error(1, what, grid_name_of(p), true);
}

static void nextitem(int32_t a) {
  if (!h) return load(a);
  if (p > f) unmatched(a);
  st[h] = s - h - 1;
  push(0);
  h = s - 1;
}

static void trace(int32_t b) {
  if (!tracing || !debug_file) return;
  for (int32_t i = b + HEAD, end = b + st[b + 4] - 1; i < end; i += st[i] + 1) {
    each(i, [](int32_t x) { fputc(x >= 32 && x <= 122 ? x : '$', debug_file); });
    fputc('|', debug_file);
  }
  fputc('\n', debug_file);
}

// The terminator: close the frame, then read the definition's body, act as a
// built-in, or (an unknown name) drop the frame.
static void apply(int32_t a) {
  if (p > f) unmatched(a);
  st[h] = s - h - 1;
  push(END);
  int32_t b = f;
  st[b + 4] = s - b;
  trace(b);
  h = st[b];
  f = st[b + 1];
  if (int32_t d = find(b + HEAD)) {
    st[b + 2] = p;
    st[b + 3] = c;
    p = b;
    c = body_of(d) - 1;
    return;
  }
  for (const Builtin &k : builtins) {
    if (!name_is(b + HEAD, k.name)) continue;
    int32_t len = st[b + 4], from = s;
    k.act(b);
    cut(b, len);
    if (!h && k.output) {  // the result goes to the line
      int32_t to = s;
      s = b;
      for (int32_t i = from - len; i < to; i++) load(st[i]);
    }
    return;
  }
  cut(b, st[b + 4]);
}

// The end of a body: the call's frame goes, definitions made meanwhile stay.
static void endfn() {
  if (f > p) error(5, "terminator in arg list for ", grid_name_of(f), true);
  int32_t b = p;
  c = st[b + 3];
  p = st[b + 2];
  cut(b, st[b + 4]);
}

static void loadarg() {
  if (!p) error(2, "unquoted argument marker in ", grid_name_of(f), true);
  int32_t a = nextch();
  if (a < '0' || a > '9') error(3, "bad arg number in ", grid_name_of(p), true);
  int32_t i = item(p, a - '0');
  if (!i) {
    char what[40];
    snprintf(what, sizeof what, "no arg #%c in call of ", static_cast<char>(a));
    error(4, what, grid_name_of(p), true);
  }
  // Cells are pushed above the frame, so the item stays where it is.
  int32_t end = i + st[i] + 1;
  for (int32_t k = skipdefs(i + 1, end); k < end; k = skipdefs(k + 1, end)) load(st[k]);
}

// Copies up to the matching close quote, without the outer pair.
static void quote() {
  for (int32_t depth = 1;;) {
    int32_t a = nextch();
    if (a == END) return endfn();
    if (a == 0 && !c) error(5, "terminator in arg list for ", grid_name_of(f), true);
    if (a == syn.open) depth++;
    if (a == syn.close && --depth == 0) return;
    load(a);
  }
}

// Reads and evaluates one call whose start has been read from the source; its
// text goes to out.
static void macrocall() {
  fn();
  while (f || p) {
    int32_t a = nextch();
    if (a == END) {
      endfn();
    } else if (a == 0 && !c) {
      error(5, "terminator in arg list for ", grid_name_of(f), true);
    } else if (a == syn.open) {
      quote();
    } else if (a == syn.call && test2()) {
      fn();
    } else if (a == syn.sep) {
      nextitem(a);
    } else if (a == syn.marker) {
      loadarg();
    } else if (a == syn.term) {
      apply(a);
    } else {
      load(a);
    }
  }
}

// "GPM error %d" on the standard output and in the debug log, then a parse error at
// the call; the open calls are dropped and the definitions kept.
static void error(int code, const char *what, int32_t i, bool incomplete) {
  String message = {};
  char head[32];
  snprintf(head, sizeof head, "GPM error %d: ", code);
  strings_copyto_1(&message, head);
  strings_addto_1(&message, what);
  show_item(&message, i);
  printf("GPM error %d\n", code);
  if (incomplete) printf("... (incomplete)\n");
  debug_printf("\nGPM error %d\n%s\n", code, message.text);
  h = f = p = c = 0;
  s = e ? e + st[e + 1] : 1;
  TextLoc at = callloc;
  struct Release {
    String *m;
    ~Release() { strings_free_0(m); }
  } release{&message};
  mtokeniz_report(&at, &message);
}

// ---- Expanded lines ---------------------------------------------------------------------

// Builds file n's next expanded line from the rest of the latest call's result and
// the source. The entry's expanded String holds the line, a 13 when the source line
// ended there, and the unread rest of the result from macro_pos[1].
static uint8_t build(uint16_t n) {
  TextFile *t = textin_text_name(n);
  if (!t) return 0;
  res_buf.length = 0;
  for (uint32_t k = t->macro_pos[1]; k <= t->expanded.length; k++) strings_append(&res_buf, t->expanded.text[k - 1]);
  uint32_t rpos = 1, start = 0;
  bool cr = false;
  line_buf.length = 0;
  for (;;) {
    uint8_t ch;
    if (rpos <= res_buf.length) {
      ch = static_cast<uint8_t>(res_buf.text[rpos - 1]);
      rpos++;
    } else {
      ch = textin_next_char(n);
      if (!start) start = t->line ? t->line : 1;
      if (ch && ch == syn.call && (!syn.call2 || textin_peek_char(n, 0) == syn.call2)) {
        if (syn.call2) textin_next_char(n);
        file = n;
        out = &res_buf;
        res_buf.length = 0;
        rpos = 1;
        callloc = {n, static_cast<uint16_t>(line_buf.length + 1), start};
        macrocall();
        continue;
      }
    }
    if (!start) start = t->line ? t->line : 1;
    if (ch == 13) cr = true;
    if (ch == 13 || ch == 0) break;
    if (line_buf.length == LINE_MAX) error(11, "result too long in ", 0, false);
    strings_append(&line_buf, ch);
  }
  uint32_t rest = res_buf.length + 1 - rpos;
  if (line_buf.length + 1u + rest > 65535) error(11, "result too long in ", 0, false);
  if (t->expanded_line && t->expanded.length && t->expanded_line != start) {
    strings_copyto_0(&prev_expanded, &t->expanded);
    prev_expanded.length = std::min(prev_expanded.length, t->expanded_count);
    prev_file = n, prev_line = t->expanded_line;
  }
  strings_copyto_0(&t->expanded, &line_buf);
  if (cr) strings_append(&t->expanded, 13);
  for (uint32_t k = rpos; k <= res_buf.length; k++) strings_append(&t->expanded, res_buf.text[k - 1]);
  t->expanded_count = line_buf.length;
  t->macro_pos[0] = 1;
  t->macro_pos[1] = static_cast<uint16_t>(line_buf.length + 1 + cr);
  t->expanded_line = start;
  return cr || line_buf.length > 0;
}

static bool ended_by_cr(const TextFile *t) { return t->macro_pos[1] == t->expanded_count + 2; }

static void macro_textloc(TextLoc *loc, uint16_t n) {
  TextFile *t = textin_text_name(n);
  if (!t) return;
  loc->file = n;
  loc->column = t->expanded_line ? t->macro_pos[0] : static_cast<uint16_t>(t->column > 65535 ? 65535 : t->column);
  loc->line = t->expanded_line ? t->expanded_line : t->line;
}

// A seek goes to the start of the source line and builds its expansion again.
static void macro_seek(const TextLoc *loc) {
  struct Restore {
    ~Restore() { textin_macro_seek = macro_seek; }
  } restore;
  textin_macro_seek = nullptr;
  TextLoc start = {loc->file, 1, loc->line};
  textin_text_seek(&start);
  TextFile *t = textin_text_name(loc->file);
  if (!t) return;
  t->expanded.length = 0;
  t->macro_pos[1] = 1;
  build(loc->file);
  t->macro_pos[0] = loc->column ? loc->column : 1;
}

// The expansion of file n's line when it is the one being read or the one before it.
static bool macro_line(uint16_t n, uint32_t line, String *view) {
  TextFile *t = textin_text_name(n);
  if (t && t->expanded_line == line && line) {
    *view = t->expanded;
    view->length = std::min(view->length, t->expanded_count);
    return true;
  }
  if (prev_line && n == prev_file && line == prev_line) {
    *view = prev_expanded;
    return true;
  }
  return false;
}

// ---- Interface ----------------------------------------------------------------------------

void gpmin_init_gpm() {
  TRACE("gpmin_init_gpm");
  syn = DEFAULT_SYNTAX;
  if (!st) growstack();
  s = 1;
  h = f = p = c = e = 0;
  tracing = 0;
  on = 1;
  textin_macro_textloc = macro_textloc;
  textin_macro_seek = macro_seek;
  textin_macro_line = macro_line;
  prev_file = 0, prev_line = 0;
}

void gpmin_close_gpm() {
  TRACE("gpmin_close_gpm");
  if (st) XMEM -= int64_t{cap} * int64_t{sizeof(int32_t)};
  bopmemfree(&st);
  cap = 0;
  s = 1;
  h = f = p = c = e = 0;
  on = 0;
  textin_macro_textloc = nullptr;
  textin_macro_seek = nullptr;
  textin_macro_line = nullptr;
  strings_free_0(&line_buf);
  strings_free_0(&res_buf);
  strings_free_0(&prev_expanded);
  prev_file = 0, prev_line = 0;
}

uint8_t gpmin_on() { return on; }

uint8_t gpmin_next_mline(uint16_t n) {
  if (!on) return textin_next_line(n);
  return build(n);
}

uint8_t gpmin_next_mchar(uint16_t n) {
  if (!on) return textin_next_char(n);
  TextFile *t = textin_text_name(n);
  if (!t) return 0;
  for (;;) {
    if (t->expanded_line) {
      uint16_t col = t->macro_pos[0], count = t->expanded_count;
      if (col <= count) {
        t->macro_pos[0]++;
        return static_cast<uint8_t>(t->expanded.text[col - 1]);
      }
      if (!ended_by_cr(t)) return 0;  // the text ended with this line
      if (col == count + 1 && count > 0) {
        t->macro_pos[0]++;
        return 13;
      }
    }
    build(n);
  }
}

uint8_t gpmin_peek_mchar(uint16_t n, uint16_t k) {
  if (!on) return textin_peek_char(n, k);
  TextFile *t = textin_text_name(n);
  if (!t) return 0;
  uint32_t at = uint32_t{t->macro_pos[0]} + k;
  return t->expanded_line && at <= t->expanded_count ? static_cast<uint8_t>(t->expanded.text[at - 1]) : 13;
}

void gpmin_munget(uint16_t n) {
  if (!on) return textin_unget(n);
  TextFile *t = textin_text_name(n);
  if (t && t->macro_pos[0] > 1) t->macro_pos[0]--;
}

int gpmin_init() {
  TRACE("gpmin");
  return 0;
}
