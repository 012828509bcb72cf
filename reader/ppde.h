// ppde: the parse driver: a table-driven LALR(1) parse of the selected text with the
// generated tables of the descriptor grammar, its stack of parse_node values, and a
// semantic action at every reduction. There is no error recovery.
#pragma once
#include <cstdint>

#include "reader/rdpde.h"

// One state: entries base+1..base+count; the first shiftreduce of them reduce by
// their target rule (0: accept) as soon as their symbol is on top, the others shift or
// go to their target state. A state with a lookahead set reduces by its default rule
// when the symbol on top is in the set and has no entry.
struct ppde_state {
  uint16_t count;
  uint16_t shiftreduce;
  uint8_t set;     // lookahead set number, 0 for none
  uint8_t zero;
  uint16_t rule;   // default rule, 0 without a set
  uint16_t base;
};

struct ppde_rule {
  uint16_t action;  // action code, 0 for none
  uint8_t length;   // right-hand symbols, at least 1
  uint8_t zero;
  uint16_t lhs;     // left-hand nonterminal
};

struct parse_tables {
  uint16_t states, entries, rules, sets;
  const ppde_state *state;            // 1..states; state 1 starts
  const uint16_t *symbol, *target;    // entries 1..entries
  const ppde_rule *rule;              // 1..rules; unused numbers are all zero
  const uint32_t (*set)[5];           // 1..sets: symbol s has bit 0x80000000 >> s%32 of word s/32
  uint16_t lr0_states, folded;        // the generator's LR(0) states, and those folded into entries
};

extern const parse_tables ppde_tables;

// Where the driver reads terminals and reports syntax errors: the symbol reader's
// rdpde_readsymbol and rdpde_rpterror unless a test replaces them.
struct ppde_io {
  uint16_t (*read)(parse_node *node);
  void (*error)(uint16_t state, uint16_t got, uint16_t wanted);  // must not return
};
extern ppde_io ppde_input;

int ppde_init();

// Parses the selected input to its end and returns when it is accepted; a
// configuration text (control_parse_pass 0) without a token is accepted as nothing.
// Errors are reported on the parsing problem and do not return; the nodes of a parse
// so ended are released when the next parse starts.
void ppde_parse();

// Nodes allocated since the current or last parse started.
uint32_t ppde_nodes_allocated();

// 0 while the configuration text is parsed, 1 for the descriptor (set by run control).
extern uint8_t control_parse_pass;
