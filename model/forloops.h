// forloops: the reader's stack of open FOR (REPEAT) loops.
#pragma once
#include <cstdint>

#include "runtime/strings.h"
#include "runtime/textin.h"

struct forloop {
  String name;            // the loop variable (owned)
  double current, start;  // the current and the start value
  double step;            // 1 when the loop gives none
  uint32_t word1, word2;  // kept for the reader
  TextLoc loc;            // where the loop starts
};

// Entries 1..count stored in place, the top the last; grows by 32.
struct looplist {
  uint16_t count;
  uint16_t capacity;
  forloop *items;
};

extern uint16_t forloops_debug;  // the FORMULAS debug switch of the current problem

int forloops_init();

// Pushes a loop whose current and start values are start; returns the new depth.
uint16_t forloops_new_forloop(looplist *stack, const String *name, double start, double step, uint32_t word1,
                              uint32_t word2, const TextLoc *loc);
// Frees the top entry's name and removes it; an empty stack stays empty.
void forloops_pop(looplist *stack);
// Frees every entry's name and the storage.
void forloops_free(looplist *stack);
