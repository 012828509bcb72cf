// textin: the table of in-memory text files. A text is a list of its lines plus a
// read cursor; characters come one at a time with 13 at each line end. Large files
// are read through a window of lines that rolls forward as the cursor advances,
// keeping a few lines behind it so that a recent location stays seekable.
#include "runtime/textin.h"

#include <algorithm>

#include <cerrno>
#include <cstring>

#include "runtime/bopmem.h"
#include "runtime/debug.h"
#include "runtime/except.h"
#include "runtime/filio.h"
#include "runtime/owner.h"
#include "runtime/rtlib.h"

uint16_t textin_debug = 0;
void (*textin_macro_textloc)(TextLoc *loc, uint16_t n) = nullptr;
void (*textin_macro_seek)(const TextLoc *loc) = nullptr;
bool (*textin_macro_line)(uint16_t n, uint32_t line, String *view) = nullptr;

static TextFile *table = nullptr;  // entry n is table[n-1]
static uint16_t table_count = 0, table_capacity = 0;

// The window reader, held by the one text whose window has more to read, and the
// readers and writer of whole texts. All use buffers of BUFFER_SIZE bytes.
static IOfile window_reader, whole_reader, writer;
static uint16_t window_owner = 0;
static FILE *echo_stream = nullptr;
static bool echo_given = false;
static TextinReport report = nullptr;

enum : int32_t { BUFFER_SIZE = 32768, KEEP = 5, GROW = 500, PRESET_GROW = 100 };

int textin_init() {
  TRACE("textin");
  textin_debug = 0;
  return 0;
}

static TextFile *entry(uint16_t n) { return n >= 1 && n <= table_count ? &table[n - 1] : nullptr; }

// Buffered line of a file line number, or null when that line is not buffered.
static String *line_at(TextFile *t, uint32_t line) {
  if (line <= t->base || line > t->last_read) return nullptr;
  uint32_t k = line - t->base;
  return k <= static_cast<uint32_t>(t->lines.count) ? &t->lines.items[k - 1] : nullptr;
}

// The line list of a text may hold more than the 65535 entries of a general
// StringList, so its slots grow here, in 32 bits; strings_free_1 releases them.
static void reserve(StringList *l, int32_t capacity) {
  if (capacity <= l->capacity) return;
  String *items = nullptr;
  bopmemalloc(&items, capacity, sizeof(String));
  XMEM += int64_t{capacity} * int64_t{sizeof(String)};
  if (l->items) {
    memcpy(items, l->items, static_cast<size_t>(l->capacity) * sizeof(String));
    XMEM -= int64_t{l->capacity} * int64_t{sizeof(String)};
    bopmemfree(&l->items);
  }
  l->items = items;
  l->capacity = capacity;
}

// The macro generator's line is dropped whenever the cursor starts afresh.
static void clear_expanded(TextFile *t) {
  t->macro_pos[0] = t->macro_pos[1] = 1;
  t->expanded.length = 0;
  if (t->expanded.text) t->expanded.text[0] = 0;
  t->expanded_count = 0;
  t->expanded_line = 0;
}

// Takes the first closed entry, or a new one at the end of the table. The name is
// copied first: it may be an entry's own name, which the table's growth moves.
static uint16_t take_entry(const String *name, const char *where) {
  StringOwner copy;
  strings_copyto_0(copy.get(), name);
  uint16_t n = 1;
  while (n <= table_count && table[n - 1].open) n++;
  if (n > table_count) {
    if (table_count == 65535) rtlib_fatal_in(where, "TOO MANY TEXT FILES");
    if (table_count == table_capacity) {
      uint32_t cap = table_capacity + 8u > 65535 ? 65535 : table_capacity + 8u;
      TextFile *grown = nullptr;
      bopmemalloc(&grown, static_cast<int32_t>(cap), sizeof(TextFile));
      XMEM += cap * sizeof(TextFile);
      if (table) {
        memcpy(grown, table, table_count * sizeof(TextFile));
        XMEM -= table_capacity * sizeof(TextFile);
        bopmemfree(&table);
      }
      table = grown;
      table_capacity = static_cast<uint16_t>(cap);
    }
    table_count++;
  }
  TextFile *t = &table[n - 1];
  strings_moveto(&t->name, copy.get());
  t->column = 1;
  t->line = t->base = t->last_read = 0;
  t->lines.count = 0;
  clear_expanded(t);
  t->echo = 0;
  t->open = 0;
  t->incomplete = 0;
  t->last_char = 0;
  return n;
}

void textin_set_report(TextinReport hook) { report = hook; }

// Reports an error a user caused at a line of a text: through the report hook when
// one is set, else as a located line in the runtime log; either way the command is
// abandoned by the jump back to the catch point.
[[noreturn]] static void report_at(uint16_t n, uint32_t line, const char *text) {
  TextLoc loc = {n, 1, line};
  StringOwner message;
  strings_copyto_1(message.get(), text);
  if (report) report(&loc, message.get());
  char located[160];
  TextFile *t = entry(n);
  snprintf(located, sizeof located, "%.100s: line %u: %s", t && t->name.text ? t->name.text : "",
           static_cast<unsigned>(line), text);
  rtlib_log_line(located);
  except_jump(EXCEPT_REPORTED);
}

// Reads lines from r into the buffered lines after the last, up to limit lines in
// the buffer. The empty line that end of file gives after a final line end is not
// a line. At end of file r is closed; otherwise the text is incomplete. A line
// longer than a String holds is reported at its place in the file.
static void fill(uint16_t n, TextFile *t, IOfile *r, int32_t limit) {
  StringList *l = &t->lines;
  while (l->count < limit && !filio_eof(r)) {
    if (l->count == l->capacity) {
      int32_t step = l->capacity / 4 > GROW ? l->capacity / 4 : GROW;
      reserve(l, limit - l->capacity < step ? limit : l->capacity + step);
    }
    String *s = &l->items[l->count];
    filio_get_line_1(r, s);
    if (filio_eof(r) && s->length == 0) break;
    l->count++;
    t->last_read++;
    if (r->error == FILIO_LINE_TOO_LONG) report_at(n, t->last_read, "Line longer than 65535 characters");
  }
  t->incomplete = !filio_eof(r);
  if (!t->incomplete) filio_close_get(r);
}

// Gives up the window reader: the text keeps what it has buffered and reads no more.
static void release_window(TextFile *t) {
  filio_close_get(&window_reader);
  t->incomplete = 0;
  window_owner = 0;
}

// Moves the window on: the last KEEP lines become the first, and the rest of the
// list is filled from the file. A report or fatal stop while it reads releases the
// reader, so the next windowed text can open.
static void roll(uint16_t n, TextFile *t) {
  if (textin_debug) debug_printf("ROLL_BUFFER (%d)\n", n);
  if (window_reader.state != FILIO_READING) {  // released by a read error: nothing more comes
    release_window(t);
    return;
  }
  StringList *l = &t->lines;
  int32_t keep = l->count < KEEP ? l->count : KEEP;
  t->base = t->last_read - keep;
  for (int32_t i = 0; i < keep; i++) {  // the records move, their storage is reused
    String s = l->items[i];
    l->items[i] = l->items[l->count - keep + i];
    l->items[l->count - keep + i] = s;
  }
  l->count = keep;
  auto undo = owner_guard([t] { release_window(t); });
  fill(n, t, &window_reader, l->capacity);
  undo.dismiss();
  if (!t->incomplete) window_owner = 0;
}

static uint16_t open_text(const String *name, uint8_t echo, bool window, int32_t limit, const char *where) {
  if (textin_debug) debug_printf("OPEN_TEXT (%s) \n", name->text ? name->text : "");
  IOfile *r = window ? &window_reader : &whole_reader;
  uint16_t n = take_entry(name, where);
  if (!filio_open_get(r, BUFFER_SIZE, name)) return 0;
  TextFile *t = &table[n - 1];
  // A report or fatal stop while the file is read (a line too long, memory
  // exhausted) releases the reader and the lines read so far.
  auto undo = owner_guard([n, r] {
    filio_close_get(r);
    textin_close_text(n);
  });
  fill(n, t, r, limit);
  undo.dismiss();
  if (t->incomplete) window_owner = n;
  if (!window) {
    while (t->lines.count > 0 && t->lines.items[t->lines.count - 1].length == 0) {
      t->lines.count--;
      t->last_read--;
    }
  }
  t->echo = window ? 0 : echo;
  t->open = 1;
  textin_next_line(n);
  return n;
}

// Reads the whole file into a new text; 0 if it cannot be opened. Lines are counted
// in 32 bits, so no text is cut short.
uint16_t textin_open_text(const String *name, uint8_t echo) {
  TRACE("textin_open_text_0");
  return open_text(name, echo, false, INT32_MAX, "textin_open_text_0");
}

// Opens a file buffering at most n lines (at least KEEP + 1, so the window always
// moves on); the window rolls as the cursor advances. Only one window at a time
// may have more to read.
uint16_t textin_open_text_window(const String *name, uint8_t flag, uint16_t n) {
  TRACE("textin_open_text_window_0");
  (void)flag;
  return open_text(name, 0, true, n > KEEP ? n : KEEP + 1, "textin_open_text_window_0");
}

uint16_t textin_create_text_0(const String *name, uint8_t echo) {
  TRACE("textin_create_text_0");
  uint16_t n = take_entry(name, "textin_create_text_0");
  table[n - 1].echo = echo;
  table[n - 1].open = 1;
  return n;
}

uint16_t textin_create_text_1(const String *name, uint8_t echo, const StringList *lines) {
  TRACE("textin_create_text_1");
  uint16_t n = take_entry(name, "textin_create_text_1");
  TextFile *t = &table[n - 1];
  reserve(&t->lines, lines->capacity > lines->count ? lines->capacity : lines->count);
  for (int32_t k = 0; k < lines->count; k++) strings_copyto_0(&t->lines.items[k], &lines->items[k]);
  t->lines.count = lines->count;
  t->echo = echo;
  t->open = 1;
  return n;
}

// A text made from a NUL-terminated buffer, named "internal" and ready to read.
uint16_t textin_preset_text(const String *name, uint8_t echo, const char *buffer) {
  TRACE("textin_preset_text_0");
  if (textin_debug) debug_printf("PRESET_TEXT (%s) \n", name && name->text ? name->text : "");
  String internal = {};
  strings_copyto_1(&internal, "internal");
  uint16_t n = take_entry(&internal, "textin_preset_text_0");
  strings_free_0(&internal);
  TextFile *t = &table[n - 1];
  StringList *l = &t->lines;
  // A line longer than a String holds is reported at its place, as from a file; the
  // lines taken so far go with the entry.
  auto undo = owner_guard([n] { textin_close_text(n); });
  for (uint32_t pos = 1; buffer && buffer[pos - 1];) {
    if (strcspn(buffer + pos - 1, "\r\n") > 65535) {
      t->last_read = uint32_t(l->count) + 1;
      report_at(n, t->last_read, "Line longer than 65535 characters");
    }
    if (l->count == l->capacity) reserve(l, l->capacity + PRESET_GROW);
    pos = strings_copyline(&l->items[l->count++], buffer, pos);
  }
  undo.dismiss();
  t->last_read = l->count;
  t->echo = echo;
  t->open = 1;
  textin_next_line(n);
  return n;
}

// Writes every line, each ended by CR LF, to a temporary file beside the
// target and renames it over the target once all of it is on disk. A write that
// fails or stores nothing is a fatal error that leaves the target as it was.
static void write_lines(TextFile *t, const String *name, const char *where) {
  // A window that has rolled or has more to read holds only part of its file:
  // writing it would cut the file short. (Only such a window holds the reader.)
  if (t->base > 0 || t->incomplete) rtlib_fatal_in(where, "WRITE outside buffer.");
  filio_open_put_2(&writer, BUFFER_SIZE, name);
  for (int32_t k = 0; k < t->lines.count && writer.state == FILIO_WRITING; k++)
    filio_put_line_1(&writer, &t->lines.items[k]);
  bool ended = writer.state == FILIO_ENDED;
  filio_close_put(&writer);
  if (ended) {
    char message[84];
    snprintf(message, sizeof message, "%.40s: %s", name->text ? name->text : "", rtlib_errno_text_of(ENOSPC));
    rtlib_fatal_in(where, message);
  }
}

void textin_write_text_1(uint16_t n, const String *name) {
  TRACE("textin_write_text_1");
  TextFile *t = entry(n);
  if (!t) return;
  write_lines(t, name, "textin_write_text_1");
  if (name != &t->name) strings_copyto_0(&t->name, name);
  t->open = 1;
}

void textin_write_text_0(uint16_t n) {
  TRACE("textin_write_text_0");
  TextFile *t = entry(n);
  if (t) textin_write_text_1(n, &t->name);
}

void textin_copy_text(uint16_t n, const String *name) {
  TRACE("textin_copy_text_0");
  TextFile *t = entry(n);
  if (t) write_lines(t, name, "textin_copy_text_0");
}

void textin_close_text(uint16_t n) {
  TRACE("textin_close_text_0");
  TextFile *t = entry(n);
  if (!t) return;
  if (window_owner == n) {
    filio_close_get(&window_reader);
    window_owner = 0;
  }
  strings_free_1(&t->lines, 1);
  clear_expanded(t);
  strings_free_0(&t->expanded);
  t->line = t->base = t->last_read = 0;
  t->open = 0;
  t->incomplete = 0;
}

void textin_reset_text(uint16_t n) {
  TRACE("textin_reset_text_0");
  TextFile *t = entry(n);
  if (!t) return;
  t->last_read = t->base + static_cast<uint32_t>(t->lines.count);
  t->line = t->base;
  t->column = 1;
  clear_expanded(t);
  textin_next_line(n);
}

void textin_text_echo(FILE *stream) {
  TRACE("textin_text_echo_0");
  if (echo_given) return;
  echo_stream = stream;
  echo_given = true;
}

// The next character: those of the current line, then 13 for its end; past a
// delivered line end the cursor moves on over empty lines; 0 at the end of the text.
uint8_t textin_next_char(uint16_t n) {
  TRACE("textin_next_char_0");
  TextFile *t = entry(n);
  if (!t) return 0;
  String *s = line_at(t, t->line);
  uint8_t ch;
  if (s && t->column == s->length + 1u) {
    ch = 13;
  } else {
    if (!s || t->column > s->length + 1u) {
      do {
        if (!textin_next_line(n)) {
          t->last_char = 0;
          return 0;
        }
        s = line_at(t, t->line);
      } while (s->length < t->column);
    }
    ch = static_cast<uint8_t>(s->text[t->column - 1]);
  }
  t->column++;
  t->last_char = ch;
  if (textin_debug > 1) debug_printf("LINE=%u COL=%u CH=%d\n", t->line, t->column - 1, ch);
  return ch;
}

uint8_t textin_peek_char(uint16_t n, uint16_t k) {
  TRACE("textin_peek_char_0");
  TextFile *t = entry(n);
  String *s = t ? line_at(t, t->line) : nullptr;
  if (!s) return t ? 13 : 0;
  uint32_t at = t->column + k;
  return at > s->length ? 13 : static_cast<uint8_t>(s->text[at - 1]);
}

void textin_unget(uint16_t n) {
  TRACE("textin_unget_0");
  TextFile *t = entry(n);
  if (t && t->column > 1) t->column--;
}

// Moves to column 1 of the next line, rolling the window when the cursor is on the
// last buffered line of an incomplete text; 0 at the end of the text.
uint8_t textin_next_line(uint16_t n) {
  TRACE("textin_next_line_0");
  TextFile *t = entry(n);
  if (!t) return 0;
  while (t->line >= t->last_read) {
    if (!t->incomplete || window_owner != n) return 0;
    roll(n, t);
  }
  t->column = 1;
  t->line++;
  if (t->echo && echo_stream) {
    String *s = line_at(t, t->line);
    fprintf(echo_stream, "%5d| %s\n", static_cast<int>(t->line - t->base), s->text ? s->text : "");
  }
  return 1;
}

void textin_textloc(TextLoc *loc, uint16_t n) {
  TRACE("textin_textloc_0");
  if (textin_macro_textloc) return textin_macro_textloc(loc, n);
  TextFile *t = entry(n);
  if (!t) return;
  loc->file = n;
  loc->column = static_cast<uint16_t>(t->column > 65535 ? 65535 : t->column);
  loc->line = t->line;
}

void textin_text_seek(const TextLoc *loc) {
  TRACE("textin_text_seek_0");
  if (textin_macro_seek) return textin_macro_seek(loc);
  TextFile *t = entry(loc->file);
  if (!t) return;
  if (!line_at(t, loc->line)) rtlib_fatal_in("textin_text_seek_0", "SEEK outside buffer.");
  t->line = loc->line;
  t->column = loc->column ? loc->column : 1;
}

static void clear(String *d) {
  d->length = 0;
  if (d->text) d->text[0] = 0;
}

// d becomes the text from one location up to (not including) another, with one
// blank for each line end crossed.
void textin_extract_0(String *d, const TextLoc *from, const TextLoc *to) {
  TRACE("textin_extract_0");
  clear(d);
  if (from->file != to->file) return;
  TextFile *t = entry(from->file);
  if (!t) return;
  if (!line_at(t, from->line) || !line_at(t, to->line)) rtlib_fatal_in("textin_extract_0", "EXTRACT outside buffer.");
  uint32_t line = from->line, col = from->column ? from->column : 1;
  String view = {};
  // Each line's part is added at once: a long text grows its string once per line,
  // not once for every eight characters.
  while (line <= to->line) {
    if (line == to->line && col == to->column) break;
    // Locations are columns of the macro generator's expansion while it is on.
    const String *s = textin_macro_line && textin_macro_line(from->file, line, &view) ? &view : line_at(t, line);
    if (col > s->length) {
      strings_append(d, ' ');
      line++;
      col = 1;
      continue;
    }
    uint32_t end = line == to->line && to->column > col ? std::min<uint32_t>(to->column, s->length + 1u) : s->length + 1u;
    String part = {uint16_t(end - col), 0, s->text + col - 1};
    strings_addto_0(d, &part);
    col = end;
  }
}

void textin_extract_1(String *d, uint16_t n, uint32_t line) {
  TRACE("textin_extract_1");
  TextFile *t = entry(n);
  if (!t) return;
  String *s = line_at(t, line);
  if (!s) rtlib_fatal_in("textin_extract_1", "EXTRACT outside buffer.");
  strings_copyto_0(d, s);
}

void textin_replace(uint16_t n, uint32_t line, const String *s) {
  TRACE("textin_replace_0");
  TextFile *t = entry(n);
  if (!t) return;
  String *d = line_at(t, line);
  if (!d) rtlib_fatal_in("textin_replace_0", "REPLACE outside buffer.");
  strings_copyto_0(d, s);
}

StringList *textin_text_body(uint16_t n) {
  TRACE("textin_text_body_0");
  TextFile *t = entry(n);
  return t ? &t->lines : nullptr;
}

TextFile *textin_text_name(uint16_t n) {
  TRACE("textin_text_name_0");
  return entry(n);
}

void textin_textfile_name(String *d, uint16_t n) {
  TRACE("textin_textfile_name_0");
  TextFile *t = entry(n);
  if (t)
    strings_copyto_0(d, &t->name);
  else
    strings_copyto_1(d, "!!!");
}

// ---- TextLoc vectors (16-bit count and capacity) ---------------------------------------

static void locs_grow(TextLocVector *v, uint16_t capacity) {
  TextLoc *data = nullptr;
  bopmemalloc(&data, capacity, sizeof(TextLoc));
  XMEM += capacity * sizeof(TextLoc);
  if (v->data) {
    memcpy(data, v->data, v->count * sizeof(TextLoc));
    XMEM -= v->capacity * sizeof(TextLoc);
    bopmemfree(&v->data);
  }
  v->data = data;
  v->capacity = capacity;
}

void textin_new(TextLocVector *v, uint16_t count, uint16_t capacity) {
  TRACE("textin_new_0");
  if (v->capacity) rtlib_fatal_in("textin_new_0", "VECTOR NOT EMPTY");
  v->data = nullptr;
  if (capacity < count) capacity = count;
  if (capacity) locs_grow(v, capacity);
  v->count = count;
}

// Grows the storage when the capacity rises, keeping entries 1..count; sets the count.
void textin_resize(TextLocVector *v, uint16_t count, uint16_t capacity) {
  TRACE("textin_resize_0");
  if (capacity < count) capacity = count;
  if (capacity > v->capacity) locs_grow(v, capacity);
  v->count = count;
}

void textin_free(TextLocVector *v) {
  TRACE("textin_free_0");
  if (v->data) XMEM -= v->capacity * sizeof(TextLoc);
  bopmemfree(&v->data);
  v->count = v->capacity = 0;
}

// Appends a copy of loc, growing by 8 entries when full; returns the new count.
int32_t textin_one_more(TextLocVector *v, const TextLoc *loc) {
  TRACE("textin_one_more_0");
  if (v->count == 65535) rtlib_fatal_in("textin_one_more_0", "VECTOR FULL");
  if (v->count == v->capacity) locs_grow(v, static_cast<uint16_t>(v->capacity > 65535 - 8 ? 65535 : v->capacity + 8));
  v->data[v->count++] = *loc;
  return v->count;
}
