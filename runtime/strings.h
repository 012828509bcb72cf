// strings: the counted String, the system's one text type, and StringList.
#pragma once
#include <cstdint>

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
void strings_free_0(String *d);
void strings_copyto_0(String *d, const String *s);
void strings_copyto_1(String *d, const char *c);
