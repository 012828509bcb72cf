// rdpde: the symbol reader between the tokenizer and the parser: terminals with
// their values and places, reserved words, names looked up in the symbol table,
// INCLUDE and BODY directives with their stack of texts, and the table of grammar
// symbol names used in syntax-error reports.
#pragma once
#include <cstdint>
#include <cstdio>

#include "runtime/strings.h"
#include "runtime/textin.h"

struct pde;
struct idrec;
struct Domain;
struct Switches;
struct WindowState;
struct metric;
struct scopestack;
struct TreeNode;

// Terminals that the reader itself produces or checks.
enum : uint16_t {
  SYM_EOF = 1, SYM_IDENT = 2, SYM_INTEGER = 3, SYM_CHARACTER = 4, SYM_STRING = 5, SYM_FLOAT = 6,
  SYM_SHARP = 8, SYM_PERCENT = 10, SYM_TIMES = 14, SYM_LTN = 22, SYM_GTR = 24, SYM_POWER = 33,
  SYM_NEQ = 34, SYM_LEQ = 35, SYM_GEQ = 36, SYM_FUNC_IDENT = 37, SYM_ARRAY_IDENT = 38,
  SYM_FIRST_RESERVED = 39, SYM_LAST_TERMINAL = 156, SYM_COUNT = 299
};

// The value of one parser stack entry. The first six fields are the semantic value
// every action reads and writes; the last three belong to the parse driver.
struct parse_node {
  uint32_t token;  // the terminal the reader returned
  uint8_t ch;      // the token's first character, or the operator character
  uint8_t fresh;   // 1: id is a new nullid entry that this value owns until a scope takes it
                   // (an action that keeps another pointer in id clears it)
  uint16_t depth;  // height of tree, kept by the expression actions
  TextLoc loc;     // reading position just after the token; a nonterminal's leftmost place
  idrec *id;       // a name's symbol-table entry, or another record an action keeps
  TreeNode *tree;  // an expression tree built by an action
  union {
    int32_t integer;  // <integer>, decimal or hexadecimal
    double real;      // <float>
    String string;    // <string>, without quotes; owned by a node whose token is <string>
    double xyz[3];    // points and pairs built by actions
  } value;
  uint16_t grammar_symbol;
  uint16_t state;    // the state in which this symbol was the lookahead
  parse_node *next;  // the node below on the stack, or the next spare or pending one
};

// Grammar symbol names 1..299, at most 15 characters each.
extern char rdpde_symbol_names[SYM_COUNT + 1][16];
// The problem being parsed, set when its input is selected.
extern pde *rdpde_problem;
// The symbol scopes of the problem being parsed; null while there is none.
const scopestack *rdpde_scopes();
// What a SELECT switch writes of the problem being parsed (reader/switches.cpp): its
// switches and text styles, its stage and mode counts with the place of MODES, its domain
// (null before the boundaries), its coordinate system, the angle value and the axis names.
// Taken from the record here, so that the switch table need not know it.
struct select_target {
  Switches *switches;
  WindowState *window;
  uint16_t *stages, *modes;
  TextLoc *modesloc;
  Domain *domain;
  metric *coords;
  const double *angle;
  String *axisname;  // X, Y, Z and T
};
select_target rdpde_select_target();
// What the BATCH section reads and closes of the problem that holds the list
// (reader/rdbatch.cpp): its directory and log, the place of its innermost REPEAT left
// open (null when none), whether its text is modified, and its descriptor, configuration
// and editor texts.
struct batch_holder {
  const String *directory;
  FILE *log;
  const TextLoc *open_loop;
  uint8_t modified;
  uint16_t *texts[3];
};
batch_holder rdpde_batch_holder();
// The place just after the terminal read before the latest one: while a rule that ends
// in an expression is reduced (the lookahead read), the end of that expression.
extern TextLoc rdpde_prevend;
// Syntax and tokenizer errors reported since the input was selected.
extern uint32_t rdpde_errors;

int rdpde_init();

// Start-up: the comment characters, the reserved-word hashes (two lines on standard
// output for the pairs that share a hash) and the program-wide operator tree.
void rdpde_init_parse();
// Makes text textnum, rewound, the input for problem p and its scopes; the include
// stack is emptied.
void rdpde_select_input_1(uint16_t textnum, pde *p);
// Clears the pushed-back token; a parse calls it when it starts.
void rdpde_init_symbol();
// Reads the next terminal into node (value, ch, loc, token) and returns its number.
uint16_t rdpde_readsymbol(parse_node *node);
// Reports "Illegal Symbol" at the reading position; does not return.
[[noreturn]] void rdpde_rpterror(uint16_t state, uint16_t got, uint16_t wanted);
// The tokenizer's error hook: reports message at loc; does not return.
[[noreturn]] void rdpde_texterror(TextLoc *loc, String *message);
// Shows or hides a hidden reserved word ("LAMBDA", "VOLJ"), matched by hash.
void rdpde_enable_name(const String *name);
void rdpde_disable_name(const String *name);
// Closes the texts that INCLUDE directives opened for problem p.
void rdpde_close_includes(pde *p);
