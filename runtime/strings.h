// strings: the counted String, the system's one text type, the StringList, the
// system's one number format and its parsers, and the file-path splitter.
#pragma once
#include <cstdint>
#include <cstdio>

struct String {
  uint16_t length;    // characters in use
  uint16_t capacity;  // storage bytes minus 1; 0 when no storage is held
  char *text;         // NUL-terminated; null when capacity is 0
};

struct StringList {
  int32_t count;
  int32_t capacity;
  String *items;  // 1-based: entry k is items[k-1]
};

int strings_init();

// ---- String: storage, copies and edits (positions are 1-based) ----------------------
void strings_new_0(String *d, uint16_t length, uint16_t capacity);
void strings_resize_0(String *d, uint16_t length, uint16_t capacity);
void strings_free_0(String *d);
void strings_set_length(String *d, uint16_t n);
uint16_t strings_length_0(const String *s);
uint16_t strings_length_1(const char *c);
void strings_copyto_0(String *d, const String *s);
void strings_copyto_1(String *d, const char *c);
void strings_copy(String *d, const String *s, uint16_t pos, uint16_t n);
uint32_t strings_copyline(String *d, const char *buffer, uint32_t pos);
void strings_addto_0(String *d, const String *s);
void strings_addto_1(String *d, const char *c);
void strings_append(String *d, uint8_t ch);
void strings_moveto(String *d, String *s);
void strings_insert_0(String *d, const String *s, uint16_t pos);
void strings_delete_0(String *d, uint16_t pos, uint16_t n);
void strings_substring_0(String *d, const String *s, uint16_t pos, uint16_t n);
uint16_t strings_substring_1(String *d, const String *s, uint16_t pos, const String *stops);
uint16_t strings_pos(const String *needle, const String *hay);

// ---- Order, case and hash ---------------------------------------------------------------
int16_t strings_compare_0(const String *a, const String *b);
int16_t strings_compare_ul_0(const String *a, const String *b);
int16_t strings_compare_1(const char *c1, const char *c2);
int16_t strings_compare_ul_1(const char *c1, const char *c2);
uint8_t strings_upchar(uint8_t ch);
void strings_upstring_0(String *d);
void strings_lostring_0(String *d);
void strings_upstring_1(char *c);
void strings_lostring_1(char *c);
uint16_t strings_hashfn_0(const String *s);
uint16_t strings_hashfn_1(const char *c);

// ---- Environment, paths, output ------------------------------------------------------
void strings_get_env(String *d, const String *name, const String *fallback);
void strings_stripname(const String *path, String *dir, String *name, String *ext, uint8_t separator);
void strings_print_0(FILE *stream, const String *s);
void strings_printline_0(FILE *stream, const String *s);
void strings_print_1(const String *s);
void strings_printline_1(const String *s);

// ---- Number text ------------------------------------------------------------------------
// The digit count of strings_fmt and strings_pak (8 unless changed).
extern uint16_t strings_default_digits;
void strings_formatreal(String *d, double x, int16_t n, uint8_t pack, uint8_t exponent_outside);
void strings_fmt(String *d, double x);
void strings_pak(String *d, double x);
void strings_itos_0(String *d, int32_t k);
void strings_itos_1(String *d, int32_t k, int16_t width);
void strings_itoh_0(String *d, int32_t k);
void strings_itoh_1(String *d, int32_t k, int16_t w);
int32_t packnum(int16_t base, const String *s);
int32_t strings_intval(const String *s);
int32_t strings_hexval(const String *s);
double strings_fltval(const String *s);
void strings_print_2(FILE *stream, int32_t k, int16_t width);
void strings_printline_2(FILE *stream, int32_t k, int16_t width);
void strings_print_3(int32_t k, int16_t width);
void strings_printline_3(int32_t k, int16_t width);
void strings_print_4(FILE *stream, double x, int16_t n, int16_t width);
void strings_printline_4(FILE *stream, double x, int16_t n, int16_t width);
void strings_print_5(double x, int16_t n, int16_t width);
void strings_printline_5(double x, int16_t n, int16_t width);

// ---- StringList (entries 1..count; at most 65535) ----------------------------------------
void strings_new_1(StringList *list, int32_t count, int32_t capacity);
void strings_resize_1(StringList *list, int32_t count, int32_t capacity);
void strings_free_1(StringList *list, uint8_t free_entries);
void strings_copyto_2(StringList *d, const StringList *s);
void strings_copyto_3(StringList *list, const String *s);
uint16_t strings_one_more(StringList *list, const String *s);
int32_t strings_enlist(StringList *list, const String *s);
void strings_unlist(StringList *list, const String *s);
void strings_insert_1(StringList *list, const String *s);
void strings_delete_1(StringList *list, const String *s);
void strings_delete_index(StringList *list, int32_t k);
void strings_sort(StringList *list);
void strings_print_7(FILE *stream, const StringList *list, const char *title);
void strings_print_6(const StringList *list, const char *title);
