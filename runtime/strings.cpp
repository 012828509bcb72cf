// strings: the counted String and StringList.
#include "runtime/strings.h"

#include <cstring>

#include "runtime/bopmem.h"
#include "runtime/rtlib.h"

int strings_init() {
  TRACE("strings");
  return 0;
}

// Storage for a capacity c is (c + 8) rounded down to a multiple of 8 bytes.
static void grow(String *d, uint32_t want) {
  uint32_t bytes = (want + 8) & ~7u;
  if (bytes > 65536) rtlib_fatal_in("strings_resize_0", "STRING TOO LONG");
  char *text = nullptr;
  bopmemalloc(&text, static_cast<int32_t>(bytes), 1);
  XMEM += bytes;
  if (d->text) {
    memcpy(text, d->text, d->length + 1u);
    XMEM -= d->capacity + 1u;
    bopmemfree(&d->text);
  }
  d->text = text;
  d->capacity = static_cast<uint16_t>(bytes - 1);
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

static void copy_bytes(String *d, const char *src, uint32_t n) {
  if (n > 65535) rtlib_fatal_in("strings_copyto_0", "STRING TOO LONG");
  if (d->capacity == 0 || n > d->capacity) {
    d->length = 0;
    grow(d, n);
  }
  memmove(d->text, src, n);
  d->length = static_cast<uint16_t>(n);
  d->text[n] = 0;
}

void strings_copyto_0(String *d, const String *s) {
  TRACE("strings_copyto_0");
  copy_bytes(d, s->text ? s->text : "", s->length);
}

void strings_copyto_1(String *d, const char *c) {
  TRACE("strings_copyto_1");
  copy_bytes(d, c ? c : "", c ? static_cast<uint32_t>(strlen(c)) : 0);
}
