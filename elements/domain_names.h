// domain_names: the lookups over the domain record that read its tables and nothing
// else: named loops, regions, sheets and layers, and a joint's edge list. They live
// beside the record so that the mesh record and the model, which sit below the domain
// library, call them directly; they keep the names of the domain modules whose tables
// they read.
#pragma once
#include <cstdint>

#include "elements/domain_record.h"
#include "runtime/strings.h"

// Upper-cases name in place and returns the number of the first named record of the
// table equal to it (exactly, or ignoring case), 0 when none is. Loops and regions are
// looked up by name through it.
template <class Table> uint16_t domain_find_named(const Table *t, String *name, bool ignore_case) {
  strings_upstring_0(name);
  for (int32_t k = 0; k < t->count; k++) {
    const String &n = t->data[k].name;
    if (n.length && (ignore_case ? strings_compare_ul_0(&n, name) : strings_compare_0(&n, name)) == 0)
      return t->data[k].number;
  }
  return 0;
}

// The first sheet (layer) whose name equals name, upper-cased in place; 0 when none.
uint16_t domain_find_sheet_name(const Domain *d, String *name);
uint16_t domain_find_layer_name(const Domain *d, String *name);
// Upper-cases name in place; the first named loop equal to it, or 0.
uint16_t edges_find_loop_name(const looptable *t, String *name);
// Upper-cases name in place; the first named region equal to it ignoring case, or 0.
uint16_t regions_find_region_name(const regiontable *t, String *name);
// The 1-based position of edge n in the joint's edge list, 0 if absent.
uint16_t edges_if_edge(const Joint *j, uint16_t n);
