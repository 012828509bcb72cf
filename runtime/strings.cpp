// strings: the counted String and StringList, the system's number text, and the
// file-path splitter. Text storage is (capacity + 8) & ~7 bytes, never shrinks, and
// is counted in XMEM by the string that owns it.
#include "runtime/strings.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdlib>
#include <cstring>

#include "runtime/bopmem.h"
#include "runtime/rtlib.h"

static const uint32_t MAX_LENGTH = 65535;
static const int32_t MAX_ENTRIES = 65535;

int strings_init() {
  TRACE("strings");
  return 0;
}

// ---- Storage ------------------------------------------------------------------------------

// Replaces d's storage by a block for capacity want, keeping the text and its
// terminator. A capacity past 65535 would wrap the 16-bit fields: fatal in where.
static void grow(String *d, uint32_t want, const char *where) {
  if (want > MAX_LENGTH) rtlib_fatal_in(where, "STRING TOO LONG");
  uint32_t bytes = (want + 8) & ~7u;
  char *text = nullptr;
  bopmemalloc(&text, static_cast<int32_t>(bytes), 1);
  XMEM += bytes;
  if (d->text && d->capacity) {
    memcpy(text, d->text, d->length + 1u);
    XMEM -= d->capacity + 1u;
    bopmemfree(&d->text);
  }
  d->text = text;
  d->capacity = static_cast<uint16_t>(bytes - 1);
}

// Makes room for a text of length need (checked against the 16-bit limit first).
static void room(String *d, uint32_t need, const char *where) {
  if (need > MAX_LENGTH) rtlib_fatal_in(where, "STRING TOO LONG");
  if (d->capacity == 0 || need > d->capacity) grow(d, need, where);
}

static void terminate_at(String *d, uint32_t n) {
  d->length = static_cast<uint16_t>(n);
  d->text[n] = 0;
}

// A source that is the destination itself is read from a scratch copy, so that
// growing or editing the destination cannot disturb it.
static String alias_scratch;
static const String *unalias(const String *s, const String *d) {
  if (s != d) return s;
  room(&alias_scratch, s->length, "strings_unalias_0");
  if (s->length) memcpy(alias_scratch.text, s->text, s->length);
  terminate_at(&alias_scratch, s->length);
  return &alias_scratch;
}

static const char *text_of(const String *s) { return s->text ? s->text : ""; }

void strings_new_0(String *d, uint16_t length, uint16_t capacity) {
  TRACE("strings_new_0");
  if (d->capacity) rtlib_fatal_in("strings_new_0", "NEW STRING ALREADY ALLOCATED");
  d->text = nullptr;
  d->length = 0;
  grow(d, capacity > length ? capacity : length, "strings_new_0");
  terminate_at(d, length);
}

// Storage is replaced when the wanted capacity is not below the current one; a
// length beyond the capacity asked for widens the capacity to hold it.
void strings_resize_0(String *d, uint16_t length, uint16_t capacity) {
  TRACE("strings_resize_0");
  uint16_t want = capacity > length ? capacity : length;
  if (want >= d->capacity) grow(d, want, "strings_resize_0");
  terminate_at(d, length);
}

void strings_free_0(String *d) {
  TRACE("strings_free_0");
  if (d->capacity) {
    XMEM -= d->capacity + 1u;
    bopmemfree(&d->text);
  }
  d->length = 0;
  d->capacity = 0;
  d->text = nullptr;
}

void strings_set_length(String *d, uint16_t n) {
  TRACE("strings_set_length_0");
  if (n > d->capacity) strings_resize_0(d, n, n);  // capacity counts the characters that fit
  terminate_at(d, n);
}

uint16_t strings_length_0(const String *s) { return s->length; }

uint16_t strings_length_1(const char *c) {
  size_t n = c ? strlen(c) : 0;
  return static_cast<uint16_t>(n > MAX_LENGTH ? MAX_LENGTH : n);
}

static void copy_bytes(String *d, const char *src, uint32_t n, const char *where) {
  room(d, n, where);
  if (n) memmove(d->text, src, n);
  terminate_at(d, n);
}

void strings_copyto_0(String *d, const String *s) {
  TRACE("strings_copyto_0");
  copy_bytes(d, text_of(s), s->length, "strings_copyto_0");
}

void strings_copyto_1(String *d, const char *c) {
  TRACE("strings_copyto_1");
  copy_bytes(d, c ? c : "", c ? static_cast<uint32_t>(strlen(c)) : 0, "strings_copyto_1");
}

// The number of characters of s, at most n, that start at pos (none for a
// position outside 1..length).
static uint32_t count_from(const String *s, uint32_t pos, uint32_t n) {
  if (pos < 1 || pos > s->length) return 0;
  uint32_t left = s->length - pos + 1u;
  return n < left ? n : left;
}

void strings_copy(String *d, const String *s, uint16_t pos, uint16_t n) {
  TRACE("strings_copy_0");
  uint32_t k = count_from(s, pos, n);
  copy_bytes(d, k ? s->text + pos - 1 : "", k, "strings_copy_0");
}

// Copies the line of buffer that starts at pos into d. The line ends at a NUL, LF
// or CR; every LF and CR after it is skipped. Returns the position where the next
// line starts (at a NUL, the position of the NUL).
uint32_t strings_copyline(String *d, const char *buffer, uint32_t pos) {
  TRACE("strings_copyline_0");
  if (pos < 1) pos = 1;
  if (d->capacity) terminate_at(d, 0);
  uint32_t k = 0;
  const char *p = buffer + pos - 1;
  while (*p && *p != 10 && *p != 13) {
    if (d->capacity == 0 || k + 1 > d->capacity) {
      if (k + 1 > MAX_LENGTH) rtlib_fatal_in("strings_copyline_0", "STRING TOO LONG");
      d->length = static_cast<uint16_t>(k);
      grow(d, k + 17 > MAX_LENGTH ? MAX_LENGTH : k + 17, "strings_copyline_0");
    }
    d->text[k++] = *p++;
  }
  if (d->capacity == 0) grow(d, 0, "strings_copyline_0");
  terminate_at(d, k);
  while (*p == 10 || *p == 13) p++;
  return static_cast<uint32_t>(p - buffer) + 1u;
}

static void add_bytes(String *d, const char *src, uint32_t n, const char *where) {
  uint32_t old = d->length;
  room(d, old + n, where);
  if (n) memcpy(d->text + old, src, n);
  terminate_at(d, old + n);
}

void strings_addto_0(String *d, const String *s) {
  TRACE("strings_addto_0");
  s = unalias(s, d);
  add_bytes(d, text_of(s), s->length, "strings_addto_0");
}

void strings_addto_1(String *d, const char *c) {
  TRACE("strings_addto_1");
  size_t n = c ? strlen(c) : 0;
  if (n > MAX_LENGTH) rtlib_fatal_in("strings_addto_1", "STRING TOO LONG");
  add_bytes(d, c ? c : "", static_cast<uint32_t>(n), "strings_addto_1");
}

void strings_append(String *d, uint8_t ch) {
  TRACE("strings_append_0");
  char c = static_cast<char>(ch);
  add_bytes(d, &c, 1, "strings_append_0");
}

void strings_moveto(String *d, String *s) {
  TRACE("strings_moveto_0");
  if (d == s) return;
  strings_free_0(d);
  *d = *s;
  *s = String{};
}

void strings_insert_0(String *d, const String *s, uint16_t pos) {
  TRACE("strings_insert_0");
  s = unalias(s, d);
  uint32_t old = d->length, n = s->length;
  if (pos < 1) pos = 1;
  if (pos > old + 1) pos = static_cast<uint16_t>(old + 1);
  if (old + n > MAX_LENGTH) rtlib_fatal_in("strings_insert_0", "STRING TOO LONG");
  strings_resize_0(d, static_cast<uint16_t>(old), static_cast<uint16_t>(old + n));
  memmove(d->text + pos - 1 + n, d->text + pos - 1, old - pos + 1);
  if (n) memcpy(d->text + pos - 1, s->text, n);
  terminate_at(d, old + n);
}

void strings_delete_0(String *d, uint16_t pos, uint16_t n) {
  TRACE("strings_delete_0");
  uint32_t k = count_from(d, pos, n);
  if (k == 0) return;
  memmove(d->text + pos - 1, d->text + pos - 1 + k, d->length - (pos - 1) - k);
  terminate_at(d, d->length - k);
}

void strings_substring_0(String *d, const String *s, uint16_t pos, uint16_t n) {
  TRACE("strings_substring_0");
  s = unalias(s, d);
  uint32_t k = count_from(s, pos, n);
  strings_resize_0(d, n, n);
  if (k) memcpy(d->text, s->text + pos - 1, k);
  terminate_at(d, k);
}

uint16_t strings_substring_1(String *d, const String *s, uint16_t pos, const String *stops) {
  TRACE("strings_substring_1");
  s = unalias(s, d);
  uint32_t k = 0, left = count_from(s, pos, MAX_LENGTH);
  while (k < left && !memchr(text_of(stops), s->text[pos - 1 + k], stops->length)) k++;
  copy_bytes(d, k ? s->text + pos - 1 : "", k, "strings_substring_1");
  return static_cast<uint16_t>(k);
}

uint16_t strings_pos(const String *needle, const String *hay) {
  uint32_t n = needle->length, h = hay->length;
  if (n == 0) return 1;
  for (uint32_t i = 0; i + n <= h; i++)
    if (memcmp(hay->text + i, needle->text, n) == 0) return static_cast<uint16_t>(i + 1);
  return 0;
}

// ---- Order, case and hash ------------------------------------------------------------------
// Case follows the "C" locale: only the ASCII letters change, whatever locale is set.

static inline unsigned char up(unsigned char c) { return c >= 'a' && c <= 'z' ? c - 32 : c; }
static inline unsigned char low(unsigned char c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; }
static inline int16_t sign_of(int v) { return static_cast<int16_t>((v > 0) - (v < 0)); }

// Byte comparison over at most n characters, stopping at a NUL; fold maps case.
static int bytes_compare(const char *a, const char *b, uint32_t n, bool fold) {
  for (uint32_t i = 0; i < n; i++) {
    unsigned char x = a[i], y = b[i];
    if (fold) x = up(x), y = up(y);
    if (x != y) return x < y ? -1 : 1;
    if (x == 0) break;
  }
  return 0;
}

// The system's string order: the shorter string is the lesser; equal lengths
// compare as unsigned bytes.
int16_t strings_compare_0(const String *a, const String *b) {
  if (a->length != b->length) return a->length < b->length ? -1 : 1;
  return sign_of(bytes_compare(text_of(a), text_of(b), a->length, false));
}

int16_t strings_compare_ul_0(const String *a, const String *b) {
  if (a->length != b->length) return a->length < b->length ? -1 : 1;
  return sign_of(bytes_compare(text_of(a), text_of(b), a->length, true));
}

int16_t strings_compare_1(const char *c1, const char *c2) {
  return sign_of(bytes_compare(c1 ? c1 : "", c2 ? c2 : "", UINT32_MAX, false));
}

int16_t strings_compare_ul_1(const char *c1, const char *c2) {
  return sign_of(bytes_compare(c1 ? c1 : "", c2 ? c2 : "", UINT32_MAX, true));
}

uint8_t strings_upchar(uint8_t ch) { return up(ch); }

void strings_upstring_0(String *d) {
  for (uint32_t i = 0; i < d->length; i++) d->text[i] = static_cast<char>(up(d->text[i]));
}
void strings_lostring_0(String *d) {
  for (uint32_t i = 0; i < d->length; i++) d->text[i] = static_cast<char>(low(d->text[i]));
}
void strings_upstring_1(char *c) {
  for (; c && *c; c++) *c = static_cast<char>(up(*c));
}
void strings_lostring_1(char *c) {
  for (; c && *c; c++) *c = static_cast<char>(low(*c));
}

// h := 2h XOR byte in 32 bits, folded to 16 bits; the symbol table's index.
static uint16_t hash_bytes(const char *t, uint32_t n) {
  uint32_t h = 0;
  for (uint32_t i = 0; i < n; i++) h = (h << 1) ^ static_cast<unsigned char>(t[i]);
  return static_cast<uint16_t>((h >> 16) ^ (h & 0xFFFF));
}
uint16_t strings_hashfn_0(const String *s) { return hash_bytes(text_of(s), s->length); }
uint16_t strings_hashfn_1(const char *c) { return hash_bytes(c ? c : "", c ? static_cast<uint32_t>(strlen(c)) : 0); }

// ---- Environment, paths, output --------------------------------------------------------------

// d becomes the value of the environment variable named by name when it is set
// and not empty, otherwise a copy of fallback.
void strings_get_env(String *d, const String *name, const String *fallback) {
  TRACE("strings_get_env_0");
  const char *v = getenv(text_of(name));
  if (v && *v) strings_copyto_1(d, v);
  else strings_copyto_0(d, unalias(fallback, d));
}

// Splits path (trailing blanks ignored) into dir (up to and with its last
// separator or ":"), name, and ext (from the last "." after the last separator,
// dot included).
static String strip_work;
void strings_stripname(const String *path, String *dir, String *name, String *ext, uint8_t separator) {
  TRACE("strings_stripname_0");
  strings_copyto_0(&strip_work, path);
  uint32_t n = strip_work.length;
  while (n > 0 && strip_work.text[n - 1] == ' ') n--;
  const char *t = strip_work.text;
  uint32_t cut = n;
  for (uint32_t i = n; i-- > 0;) {
    if (t[i] == static_cast<char>(separator)) break;
    if (t[i] == '.') {
      cut = i;
      break;
    }
  }
  copy_bytes(ext, t + cut, n - cut, "strings_stripname_0");
  n = cut;
  uint32_t start = n;
  while (start > 0 && t[start - 1] != static_cast<char>(separator) && t[start - 1] != ':') start--;
  copy_bytes(name, t + start, n - start, "strings_stripname_0");
  copy_bytes(dir, t, start, "strings_stripname_0");
}

void strings_print_0(FILE *stream, const String *s) { fprintf(stream, "%s", text_of(s)); }
void strings_printline_0(FILE *stream, const String *s) { fprintf(stream, "%s\n", text_of(s)); }
void strings_print_1(const String *s) { strings_print_0(stdout, s); }
void strings_printline_1(const String *s) { strings_printline_0(stdout, s); }

// ---- StringList ---------------------------------------------------------------------------------

static void list_slots(StringList *list, int32_t capacity, const char *where) {
  if (capacity > MAX_ENTRIES) rtlib_fatal_in(where, "TOO MANY STRINGS");
  String *items = nullptr;
  bopmemalloc(&items, capacity, sizeof(String));
  XMEM += static_cast<int64_t>(capacity) * sizeof(String);
  if (list->items) {
    // Every old slot moves, those past the count too, so their storage stays owned.
    memcpy(items, list->items, static_cast<size_t>(list->capacity) * sizeof(String));
    XMEM -= static_cast<int64_t>(list->capacity) * sizeof(String);
    bopmemfree(&list->items);
  }
  list->items = items;
  list->capacity = capacity;
}

void strings_new_1(StringList *list, int32_t count, int32_t capacity) {
  TRACE("strings_new_1");
  if (list->capacity) rtlib_fatal_in("strings_new_1", "NEW STRING ALREADY ALLOCATED");
  list->items = nullptr;
  list_slots(list, capacity > count ? capacity : count, "strings_new_1");
  list->count = count;
}

void strings_resize_1(StringList *list, int32_t count, int32_t capacity) {
  TRACE("strings_resize_1");
  if (capacity < count) capacity = count;
  if (capacity > list->capacity) list_slots(list, capacity, "strings_resize_1");
  list->count = count;
}

void strings_free_1(StringList *list, uint8_t free_entries) {
  TRACE("strings_free_1");
  if (free_entries)
    for (int32_t k = 0; k < list->capacity; k++) strings_free_0(&list->items[k]);
  if (list->items) {
    XMEM -= static_cast<int64_t>(list->capacity) * sizeof(String);
    bopmemfree(&list->items);
  }
  list->count = 0;
  list->capacity = 0;
}

void strings_copyto_2(StringList *d, const StringList *s) {
  TRACE("strings_copyto_2");
  if (d == s) return;
  if (d->capacity < s->count) strings_resize_1(d, s->count, s->capacity);
  for (int32_t k = 0; k < s->count; k++) strings_copyto_0(&d->items[k], &s->items[k]);
  d->count = s->count;
}

void strings_copyto_3(StringList *list, const String *s) {
  TRACE("strings_copyto_3");
  for (int32_t k = 0; k < list->count; k++)
    if (&list->items[k] != s) strings_copyto_0(&list->items[k], s);
}

// Appends a copy of s; a full list grows to capacity * 5 / 4 + 10 slots.
uint16_t strings_one_more(StringList *list, const String *s) {
  TRACE("strings_one_more_0");
  if (list->count >= MAX_ENTRIES) rtlib_fatal_in("strings_one_more_0", "TOO MANY STRINGS");
  if (list->count >= list->capacity) {
    String keep = {};
    bool inside = list->items && s >= list->items && s < list->items + list->capacity;
    if (inside) strings_copyto_0(&keep, s), s = &keep;  // the slots are about to move
    int32_t grown = list->capacity * 5 / 4 + 10;
    list_slots(list, grown > MAX_ENTRIES ? MAX_ENTRIES : grown, "strings_one_more_0");
    strings_copyto_0(&list->items[list->count], s);
    if (inside) strings_free_0(&keep);
  } else {
    strings_copyto_0(&list->items[list->count], s);
  }
  return static_cast<uint16_t>(++list->count);
}

static int32_t find(const StringList *list, const String *s) {
  for (int32_t k = 0; k < list->count; k++)
    if (strings_compare_0(&list->items[k], s) == 0) return k + 1;
  return 0;
}

// The index of the entry equal to s; else s fills the first free (empty) entry;
// else it is appended.
int32_t strings_enlist(StringList *list, const String *s) {
  TRACE("strings_enlist_0");
  if (int32_t k = find(list, s)) return k;
  for (int32_t k = 0; k < list->count; k++)
    if (list->items[k].length == 0) {
      strings_copyto_0(&list->items[k], s);
      return k + 1;
    }
  return strings_one_more(list, s);
}

void strings_unlist(StringList *list, const String *s) {
  TRACE("strings_unlist_0");
  if (int32_t k = find(list, s)) strings_set_length(&list->items[k - 1], 0);
}

// Moves the record of slot from to slot to, shifting the slots between by one;
// texts travel with their records, so nothing is copied or allocated.
static void rotate(StringList *list, int32_t from, int32_t to) {
  String keep = list->items[from];
  if (from > to) memmove(&list->items[to + 1], &list->items[to], (from - to) * sizeof(String));
  else memmove(&list->items[from], &list->items[from + 1], (to - from) * sizeof(String));
  list->items[to] = keep;
}

// Sorted insertion in the system's string order; an equal entry leaves the list as is.
void strings_insert_1(StringList *list, const String *s) {
  TRACE("strings_insert_1");
  for (int32_t k = 0; k < list->count; k++) {
    int16_t c = strings_compare_0(s, &list->items[k]);
    if (c == 0) return;
    if (c < 0) {
      strings_one_more(list, s);  // the new entry is s; move it into place
      rotate(list, list->count - 1, k);
      return;
    }
  }
  strings_one_more(list, s);
}

void strings_delete_index(StringList *list, int32_t k) {
  TRACE("strings_delete_index_0");
  if (k < 1 || k > list->count) return;
  rotate(list, k - 1, list->count - 1);  // the removed entry keeps its storage beyond the count
  list->count--;
}

void strings_delete_1(StringList *list, const String *s) {
  TRACE("strings_delete_1");
  if (int32_t k = find(list, s)) strings_delete_index(list, k);
}

// Exchange sort in the system's string order.
void strings_sort(StringList *list) {
  TRACE("strings_sort_0");
  for (int32_t i = 0; i < list->count; i++)
    for (int32_t j = i + 1; j < list->count; j++)
      if (strings_compare_0(&list->items[i], &list->items[j]) > 0) {
        String t = list->items[i];
        list->items[i] = list->items[j];
        list->items[j] = t;
      }
}

// The debug listing: a title line, then one line per entry, entry k numbered k + 1.
void strings_print_7(FILE *stream, const StringList *list, const char *title) {
  fprintf(stream, "\n        %s\n", title ? title : "");
  for (int32_t k = 1; k <= list->count; k++)
    fprintf(stream, "%5u | %s\n", static_cast<unsigned>(k + 1), text_of(&list->items[k - 1]));
}
void strings_print_6(const StringList *list, const char *title) { strings_print_7(stdout, list, title); }

// ---- Number text ------------------------------------------------------------------------------

uint16_t strings_default_digits = 8;

// d becomes the formatted text, however long.
static void print_into(String *d, const char *fmt, ...) {
  va_list ap, again;
  va_start(ap, fmt);
  va_copy(again, ap);
  int n = vsnprintf(nullptr, 0, fmt, ap);
  va_end(ap);
  if (n < 0) n = 0;
  room(d, static_cast<uint32_t>(n), "strings_print_into_0");
  vsnprintf(d->text, static_cast<size_t>(n) + 1, fmt, again);
  va_end(again);
  terminate_at(d, static_cast<uint32_t>(n));
}

// Formats x after a sign position ("-" or blank) in a field of n characters (1..18,
// else 18). Fixed notation unless the value needs e + 2 > n places, is 1e9 or more,
// or is small (below 0.001, or below 0.01 with the exponent outside the field); in
// exponent notation the exponent takes the field's last characters (or follows it
// when exponent_outside is set). pack drops trailing zeros but the first after the
// point. NaN and infinities are shown as words, right-aligned.
void strings_formatreal(String *d, double x, int16_t n, uint8_t pack, uint8_t exponent_outside) {
  TRACE("strings_formatreal_0");
  if (n < 1 || n > 18) n = 18;
  if (std::isnan(x) || std::isinf(x)) {
    print_into(d, "%*s", n + 1, std::isnan(x) ? "NaN" : x < 0 ? "-Inf" : "Inf");
    return;
  }
  char f[40];  // f[1] is the sign position
  memset(f, ' ', sizeof f);
  f[1] = x < 0 ? '-' : ' ';

  // 1. Mantissa a in [1, 10) and decimal exponent e.
  double a = std::fabs(x);
  int e = 0;
  while (a >= 10 && e < 308) a *= 0.1, e++;
  if (a > 0 && a < 1) do a *= 10, e--;
    while (a < 1 && e > -308);

  // 2. Notation: w is the exponent's width ("e", sign, digits), r the part of it
  // inside the field.
  int ae = std::abs(e);
  int w = ae <= 9 ? 3 : ae <= 99 ? 4 : ae <= 999 ? 5 : 6;
  int r = exponent_outside ? 0 : w, t = exponent_outside ? e + 2 : e + w;
  bool expo = e + 2 > n || t < 0 || e >= 9;

  // 3. Round at half a unit of the last place shown. At least one mantissa digit
  // is always shown, so the unit is never above the mantissa's first digit.
  int places = expo ? std::max(n - r - 1, 1) : e >= 0 ? n - 1 : std::max(n - 1 + e, 0);
  a += 5.0 / rtlib_pow10(static_cast<int16_t>(places));
  if (a >= 10) a *= 0.1, e++;

  // 4. Field width W and text end E; the exponent text may have grown by the carry.
  int W = expo ? n + (w - r) : n, E = W + 1;
  char ex[8] = "";
  int le = 0;
  if (expo) {
    le = snprintf(ex, sizeof ex, "e%c%d", e < 0 ? '-' : '+', std::abs(e));
    if (E - le < 2) E = le + 2, W = E - 1;
  }

  // 5. Digits from position 2 (zero: right-aligned), the point after digit `after`.
  int after = 1;
  if (!expo && e >= 0) after = e + 1;
  if (!expo && e < 0) a /= rtlib_pow10(static_cast<int16_t>(-e));
  int p = x == 0 ? std::max(2, W - 2) : 2;
  for (int digits = 0; p <= E;) {
    int dg = static_cast<int>(a);
    if (dg > 9) dg = 9;
    f[p++] = static_cast<char>('0' + dg);
    a = (a - dg) * 10;
    if (++digits == after && p <= E) f[p++] = '.';
  }

  // 6. Packing keeps the point's first zero, and a field without a point whole.
  int q = expo ? le : 0;
  if (pack && memchr(f + 2, '.', std::max(E - q - 1, 0)))
    while (f[E - q] == '0' && f[E - q - 1] != '.') E--;

  // 7. The exponent ends the text.
  if (expo) memcpy(f + E - le + 1, ex, le);
  copy_bytes(d, f + 1, E, "strings_formatreal_0");
}

void strings_fmt(String *d, double x) { strings_formatreal(d, x, strings_default_digits, 0, 0); }
void strings_pak(String *d, double x) { strings_formatreal(d, x, strings_default_digits, 1, 0); }

void strings_itos_0(String *d, int32_t k) { print_into(d, "%d", k); }
void strings_itos_1(String *d, int32_t k, int16_t width) { print_into(d, "%*d", width, k); }
void strings_itoh_0(String *d, int32_t k) { print_into(d, "%x", static_cast<unsigned>(k)); }
void strings_itoh_1(String *d, int32_t k, int16_t w) { print_into(d, "%*.*x", w, w, static_cast<unsigned>(k)); }

// The value of the leading digits of s in base (a leading "-" negates); the first
// character that is no digit of the base ends the scan. Wraps in 32 bits.
int32_t packnum(int16_t base, const String *s) {
  const char *t = text_of(s);
  uint32_t i = 0, v = 0;
  bool negative = s->length > 0 && t[0] == '-';
  if (negative) i = 1;
  for (; i < s->length; i++) {
    char c = t[i];
    int dg = c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : c >= 'a' && c <= 'f' ? c - 'a' + 10 : 99;
    if (dg >= base) break;
    v = v * static_cast<uint32_t>(base) + static_cast<uint32_t>(dg);
  }
  return static_cast<int32_t>(negative ? 0u - v : v);
}

int32_t strings_intval(const String *s) { return packnum(10, s); }
int32_t strings_hexval(const String *s) { return packnum(16, s); }

// The value of a real-number text: digits with an optional point, then "E" or "e"
// with an optional sign and the exponent's digits; other characters are skipped.
double strings_fltval(const String *s) {
  const char *t = text_of(s);
  double value = 0, scale = 1;
  bool point = false, in_exponent = false, negative_exponent = false;
  int32_t k = 0;
  bool negative = s->length > 0 && t[0] == '-';
  for (uint32_t i = negative ? 1 : 0; i < s->length; i++) {
    char c = t[i];
    if (in_exponent) {
      if (c >= '0' && c <= '9' && k < 100000) k = 10 * k + (c - '0');  // far past any double
    } else if (c >= '0' && c <= '9') {
      value = value * 10 + (c - '0');
      if (point) scale *= 10;
    } else if (c == '.') {
      point = true;
      scale = 1;
    } else if (c == 'E' || c == 'e') {
      in_exponent = true;
      if (i + 1 < s->length && (t[i + 1] == '-' || t[i + 1] == '+')) negative_exponent = t[++i] == '-';
    }
  }
  if (point) value /= scale;
  if (negative) value = -value;
  for (int32_t j = 0; j < k && value != 0; j++) value *= negative_exponent ? 0.1 : 10;
  return value;
}

static String print_scratch;

void strings_print_2(FILE *stream, int32_t k, int16_t width) { fprintf(stream, "%*d", width, k); }
void strings_printline_2(FILE *stream, int32_t k, int16_t width) { fprintf(stream, "%*d\n", width, k); }
void strings_print_3(int32_t k, int16_t width) { strings_print_2(stdout, k, width); }
void strings_printline_3(int32_t k, int16_t width) { strings_printline_2(stdout, k, width); }

void strings_print_4(FILE *stream, double x, int16_t n, int16_t width) {
  strings_formatreal(&print_scratch, x, n, 0, 0);
  fprintf(stream, "%*s", width, print_scratch.text);
}
void strings_printline_4(FILE *stream, double x, int16_t n, int16_t width) {
  strings_formatreal(&print_scratch, x, n, 0, 0);
  fprintf(stream, "%*s\n", width, print_scratch.text);
}
void strings_print_5(double x, int16_t n, int16_t width) { strings_print_4(stdout, x, n, width); }
void strings_printline_5(double x, int16_t n, int16_t width) { strings_printline_4(stdout, x, n, width); }
