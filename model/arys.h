// arys: the ARRAY definitions of the formula set, each a name and a list of numbers.
#pragma once
#include <cstdint>

#include "runtime/strings.h"
#include "runtime/vectord.h"

struct arydef {
  String name;     // owned
  vectord values;  // the array's numbers, 1..count
};

// Definitions 1..count stored in place (definition k is items[k-1]); grows by 32.
struct arylist {
  uint16_t count;
  uint16_t capacity;
  arydef *items;
};

extern uint16_t arys_debug;  // the FORMULAS debug switch of the current problem

int arys_init();

// Appends a definition with a copy of name; returns its number.
uint16_t arys_new_array(arylist *list, const String *name);
// The operations below stop with "Bad Array Identifier" for a number outside 1..count.
// Makes the values hold exactly value (capacity at least 16); returns number.
uint16_t arys_define_array(arylist *list, uint16_t number, double value);
// Appends value (capacity growing by 16); returns the new length.
int32_t arys_next_array(arylist *list, uint16_t number, double value);
vectord *arys_find_array_def(arylist *list, uint16_t number);
// Frees the names, the value lists and the storage.
void arys_free(arylist *list);
