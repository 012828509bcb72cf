// ppde: the parse driver. The stack is a linked list of parse_node records whose top
// is always the current lookahead (a terminal just read or a nonterminal just
// produced); lookaheads set aside by a default reduction wait on the pending list, and
// spare nodes on the free list, so that a parse allocates only as many nodes as its
// deepest stack. Values are owned by their nodes: a node that goes back to the free
// list releases the tree, string and fresh name entry it still holds.
#include "reader/ppde.h"

#include "model/symtab.h"
#include "model/trees.h"
#include "reader/acpde.h"
#include "runtime/bopmem.h"
#include "runtime/rtlib.h"

ppde_io ppde_input = {rdpde_readsymbol, rdpde_rpterror};
// Which text run control has the parser read (0 configuration, 1 descriptor).
uint8_t control_parse_pass = 0;

namespace {

enum { MAX_LENGTH = 10 };  // the longest right-hand side

parse_node *stack = nullptr;    // top: the lookahead
parse_node *pending = nullptr;  // set-aside lookaheads, the latest first
parse_node *spare = nullptr;    // free list
parse_node *parse_result = nullptr;  // $$ while its handler runs; it shares $1's value
parse_node *first = nullptr;    // $1 of that reduction
uint32_t stack_depth = 0;       // nodes on the stack
uint16_t parse_state = 0;       // current state
uint32_t allocated = 0;

}  // namespace

// ---- Nodes ------------------------------------------------------------------------------------------

// r hangs in the operator tree or in one of the parsing problem's scopes.
static bool in_scope(idrec *r) {
  if (symtab_lookupid(symtab_optree, &r->name, r->hash) == r) return true;
  const scopestack *s = rdpde_scopes();
  if (!s) return false;
  for (uint16_t k = 0; k < s->count; k++)
    if (symtab_lookupid(s->roots[k], &r->name, r->hash) == r) return true;
  return false;
}

// Releases what the value of n still owns.
static void release_value(parse_node *n) {
  if (n->tree) n->tree = trees_free_0(n->tree);
  if (n->token == SYM_STRING) strings_free_0(&n->value.string);
  if (n->fresh && n->id && n->id->kind == nullid && !in_scope(n->id)) symtab_deleteall(n->id);
  n->id = nullptr;
  n->fresh = 0;
}

// A zeroed node from the free list, or a new one.
static parse_node *take_node() {
  parse_node *n = spare;
  if (n) {
    spare = n->next;
    *n = {};
  } else {
    bopmemalloc(&n, 1, sizeof(parse_node));
    XMEM += sizeof(parse_node);
    allocated++;
  }
  return n;
}

// Puts n on the free list; with release set its value is released first, otherwise
// another node has taken the value over.
static void free_node(parse_node *n, bool release) {
  if (release) release_value(n);
  *n = {};
  n->next = spare;
  spare = n;
}

static void destroy_list(parse_node *n, bool release) {
  while (n) {
    parse_node *next = n->next;
    if (release) release_value(n);
    bopmemfree(&n);
    XMEM -= sizeof(parse_node);
    n = next;
  }
}

// Every node of the driver goes, with what its value holds.
static void release_all() {
  if (parse_result) {
    // A handler that stopped may have put a value of its own into $$; what $$ still
    // shares with $1 went with $1.
    if (parse_result->tree == first->tree) parse_result->tree = nullptr;
    if (parse_result->value.string.text == first->value.string.text) parse_result->token = 0;
    if (parse_result->id == first->id) parse_result->fresh = 0;
    parse_result->next = nullptr;
    destroy_list(parse_result, true);
  }
  destroy_list(stack, true);
  destroy_list(pending, true);
  destroy_list(spare, false);
  stack = pending = spare = parse_result = first = nullptr;
  stack_depth = 0;
}

// A parse ended by an error report leaves through here: its nodes are released while
// the records their values point to are still alive.
struct Abandon {
  bool armed = true;
  ~Abandon() {
    if (armed) release_all();
  }
};

// The next lookahead: the latest set-aside one, or a new terminal from the input.
static void next_symbol() {
  parse_node *n;
  if (pending) {
    n = pending;
    pending = n->next;
    n->next = stack;
    stack = n;
  } else {
    n = take_node();
    n->next = stack;
    stack = n;
    n->grammar_symbol = ppde_input.read(n);
    n->fresh = n->id && n->id->kind == nullid && !in_scope(n->id);
  }
  stack_depth++;
}

// ---- Reductions --------------------------------------------------------------------------------------

// Replaces the top length nodes by the result of action code: $1 itself when there
// is no action, else a new node that starts as a copy of $1 and takes over its value.
static void action(uint16_t code, uint8_t length) {
  parse_node *v[MAX_LENGTH + 1];
  v[length] = stack;
  for (int k = length - 1; k >= 1; k--) v[k] = v[k + 1]->next;
  parse_node *below = v[1]->next;
  if (code == 0) {
    for (int k = length; k >= 2; k--) free_node(v[k], true);
    v[1]->next = below;
    stack = v[1];
    return;
  }
  parse_result = take_node();
  *parse_result = *v[1];
  first = v[1];
  v[0] = parse_result;
  acpde_action(code, parse_result, v);
  for (int k = length; k >= 2; k--) free_node(v[k], true);
  free_node(v[1], false);
  parse_result->next = below;
  stack = parse_result;
  parse_result = first = nullptr;
}

static void reduce(uint16_t r) {
  const ppde_rule &rule = ppde_tables.rule[r];
  action(rule.action, rule.length);
  stack_depth = stack_depth + 1 - rule.length;
  parse_state = stack->state;
  stack->grammar_symbol = rule.lhs;
}

static bool in_set(uint8_t set, uint16_t x) {
  return x < 160 && (ppde_tables.set[set][x / 32] & (0x80000000u >> (x % 32)));
}

// ---- The parse -------------------------------------------------------------------------------------

void ppde_parse() {
  TRACE("ppde_parse");
  const parse_tables &t = ppde_tables;
  // 1. Fresh lists, state 1, the first lookahead.
  release_all();
  allocated = 0;
  parse_state = 1;
  Abandon abandon;
  rdpde_init_symbol();
  next_symbol();
  if (!control_parse_pass && stack->grammar_symbol == SYM_EOF) {  // a configuration text without a token
    abandon.armed = false;
    release_all();
    return;
  }
  for (;;) {
    // 2. The top node's symbol among the current state's entries.
    parse_node *top = stack;
    const uint16_t s = parse_state, x = top->grammar_symbol;
    top->state = s;
    const ppde_state &st = t.state[s];
    uint16_t i = 1;
    while (i <= st.count && t.symbol[st.base + i] != x) i++;
    if (i <= st.count) {
      // 3. Shift or goto; reduce at once by a shift-reduce entry; accept.
      uint16_t target = t.target[st.base + i];
      if (i > st.shiftreduce) {
        parse_state = target;
        next_symbol();
      } else if (target == 0) {
        break;
      } else {
        reduce(target);
      }
      continue;
    }
    // 4. No entry: set the lookahead aside and reduce by the default rule when the
    // state's set holds it; otherwise it is a syntax error.
    stack = top->next;
    top->next = pending;
    pending = top;
    stack_depth--;
    if (st.set && in_set(st.set, x)) {
      reduce(st.rule);
      continue;
    }
    ppde_input.error(s, x, st.count ? t.symbol[st.base + 1] : 0);
    rtlib_fatal_in("ppde_parse", "SYNTAX ERROR NOT REPORTED");
  }
  // 6. Accepted.
  abandon.armed = false;
  release_all();
}

uint32_t ppde_nodes_allocated() { return allocated; }

int ppde_init() {
  TRACE("ppde");
  return 0;
}
