// forloops: the loop stack.
#include "model/forloops.h"

#include "model/reclist.h"

uint16_t forloops_debug = 0;

int forloops_init() {
  TRACE("forloops");
  return 0;
}

uint16_t forloops_new_forloop(looplist *stack, const String *name, double start, double step, uint32_t word1,
                              uint32_t word2, const TextLoc *loc) {
  TRACE("forloops_new_forloop_0");
  forloop *f = reclist_push(stack, 32, "forloops_new_forloop_0");
  strings_copyto_0(&f->name, name);
  f->current = f->start = start;
  f->step = step;
  f->word1 = word1;
  f->word2 = word2;
  if (loc) f->loc = *loc;
  return stack->count;
}

void forloops_pop(looplist *stack) {
  TRACE("forloops_pop_0");
  if (stack->count == 0) return;
  strings_free_0(&stack->items[--stack->count].name);
}

void forloops_free(looplist *stack) {
  TRACE("forloops_free_0");
  reclist_free_all(stack, [](forloop *f) { strings_free_0(&f->name); });
}
