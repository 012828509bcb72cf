// reclist: the growth and release of the formula set's record lists, written once
// as templates: lists of pointers to zeroed records {u16 count, u16 capacity, T **items}
// and lists of records stored in place {u16 count, u16 capacity, T *items}. Records
// and storage count in XMEM here; what a record owns counts in its own modules.
#pragma once
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "runtime/bopmem.h"
#include "runtime/rtlib.h"

// A 16-bit count would wrap: the list stops instead.
#define RECLIST_FULL "RECORD LIST FULL"

// Moves the list's storage to cap slots of size bytes (zeroed beyond count).
template <class L> void reclist_grow(L *list, int32_t cap, uint32_t size, const char *where) {
  if (cap > UINT16_MAX) cap = UINT16_MAX;
  if (cap <= list->count) rtlib_fatal_in(where, RECLIST_FULL);
  decltype(list->items) d = nullptr;
  bopmemalloc(&d, cap, size);
  XMEM += int64_t(cap) * size;
  if (list->count > 0) memcpy(static_cast<void *>(d), static_cast<const void *>(list->items), size_t(list->count) * size);
  if (list->capacity > 0) {
    XMEM -= int64_t(list->capacity) * size;
    bopmemfree(&list->items);
  }
  list->items = d;
  list->capacity = uint16_t(cap);
}

// Appends a zeroed record, growing the pointer array by step when full; returns its number.
template <class L> uint16_t reclist_append(L *list, uint16_t step, const char *where) {
  using T = std::remove_pointer_t<std::remove_pointer_t<decltype(list->items)>>;
  if (list->count >= list->capacity) reclist_grow(list, list->capacity + step, sizeof(T *), where);
  T *r = nullptr;
  bopmemalloc(&r, 1, sizeof(T));
  XMEM += sizeof(T);
  list->items[list->count++] = r;
  return list->count;
}

// Frees every record with free_one (which frees what the record owns), the records
// and the pointer array; count and capacity become 0.
template <class L, class F> void reclist_free(L *list, F free_one) {
  using T = std::remove_pointer_t<std::remove_pointer_t<decltype(list->items)>>;
  for (int k = 0; k < list->count; k++) {
    free_one(list->items[k]);
    bopmemfree(&list->items[k]);
    XMEM -= sizeof(T);
  }
  XMEM -= int64_t(list->capacity) * sizeof(T *);
  bopmemfree(&list->items);
  list->count = list->capacity = 0;
}

// Appends a zeroed record stored in place, growing by step when full; returns it.
template <class L> auto *reclist_push(L *list, uint16_t step, const char *where) {
  using T = std::remove_pointer_t<decltype(list->items)>;
  if (list->count >= list->capacity) reclist_grow(list, list->capacity + step, sizeof(T), where);
  T *r = &list->items[list->count++];
  memset(static_cast<void *>(r), 0, sizeof(T));
  return r;
}

// Moves records stored in place to new storage of cap slots (XMEM counts the
// difference) and sets the count; records beyond the new capacity are freed first.
template <class L, class F>
void reclist_move(L *list, uint16_t count, uint16_t cap, F free_one, const char *where) {
  using T = std::remove_pointer_t<decltype(list->items)>;
  if (count > cap) rtlib_fatal_in(where, "VECTOR COUNT ERROR");
  uint16_t kept = list->capacity < cap ? list->capacity : cap;
  for (int k = kept; k < list->capacity; k++) free_one(&list->items[k]);
  T *d = nullptr;
  bopmemalloc(&d, cap, sizeof(T));
  if (kept > 0) memcpy(static_cast<void *>(d), static_cast<const void *>(list->items), kept * sizeof(T));
  bopmemfree(&list->items);
  XMEM += (int64_t(cap) - list->capacity) * int64_t(sizeof(T));
  list->items = d;
  list->count = count;
  list->capacity = cap;
}

// Frees every slot of a list of records stored in place with free_one (slots beyond
// the count are zero or hold what an earlier record left), then the storage.
template <class L, class F> void reclist_free_all(L *list, F free_one) {
  using T = std::remove_pointer_t<decltype(list->items)>;
  for (int k = 0; k < list->capacity; k++) free_one(&list->items[k]);
  XMEM -= int64_t(list->capacity) * int64_t(sizeof(T));
  bopmemfree(&list->items);
  list->count = list->capacity = 0;
}
