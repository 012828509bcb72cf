// rdpde: the symbol reader. Each call delivers one terminal of the descriptor
// grammar: tokens are mapped to terminals, "**", "<=" and ">=" are joined by reading
// one token ahead (pushed back when it does not join), names become reserved words
// or symbol-table entries, and "#" INCLUDE and "#" BODY switch the input text.
#include "reader/rdpde.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "model/pdedat_record.h"
#include "model/symtab.h"
#include "reader/mtokeniz.h"
#include "runtime/bopmem.h"
#include "runtime/debug.h"
#include "runtime/owner.h"
#include "runtime/report.h"
#include "runtime/rtlib.h"

char rdpde_symbol_names[SYM_COUNT + 1][16] = {
    "",
    "<eof>", "<ident>", "<integer>", "<character>", "<string>", "<float>",  // 1
    "<bang>", "<sharp>", "<dollar>", "<percent>", "<and>", "(",  // 7
    ")", "<times>", "<plus>", ",", "<minus>", ".",  // 13
    "<divide>", ":", ";", "<ltn>", "<equal>", "<gtr>",  // 19
    "<question>", "<at>", "[", "<back>", "]", "^",  // 25
    "<or>", "<tilde>", "<power>", "<neq>", "<leq>", "<geq>",  // 31
    "<func.ident>", "<array.ident>", "ALIAS", "AND", "ANGLE", "ANTIPERIODIC",  // 37
    "ARC", "ARRAY", "AS", "AT", "BATCH", "BEVEL",  // 43
    "BOUNDARIES", "BY", "CDF", "CENTER", "CONIC", "CONSTRAINTS",  // 49
    "CONTOUR", "COORDINATES", "DEBUG", "DEFINITIONS", "DEGREES", "DIR",  // 55
    "DIRECTION", "DNORMAL", "DTANGENTIAL", "ELEVATION", "ELSE", "END",  // 61
    "ENDFOR", "EQUATION", "EQUATIONS", "ERRWEIGHT", "EXCLUDE", "EXPORT",  // 67
    "EXTRUSION", "FEATURE", "FILE", "FILLET", "FINISH", "FIXED",  // 73
    "FOR", "FORMAT", "FROM", "FRONT", "FUNCTION", "GRID",  // 79
    "HALT", "HISTORIES", "HISTORY", "IF", "INITIAL", "INTSTRING",  // 85
    "@LAMBDA", "LAYER", "LAYERED", "LINE", "LIST", "LOAD",  // 91
    "MESH_DENSITY", "MESH_SPACING", "MONITORS", "NATURAL", "NEUMANN", "NOBC",  // 97
    "NODE_DENSITY", "NODE_SPACING", "NOT", "OFF", "ON", "OR",  // 103
    "PERIODIC", "PLOTS", "POINT", "POINTS", "PRINT", "PRINTONLY",  // 109
    "RADIANS", "RADIUS", "RANGE", "REGION", "REPORT", "RESOLVE",  // 115
    "SCALAR", "SELECT", "SHEAR", "SIMPLEX", "SPLINE", "STAGE",  // 121
    "STAGED", "START", "STREAMLINE", "SUM", "SUMMARY", "SURFACE",  // 127
    "TABLE", "TECPLOT", "THEN", "TIME", "TITLE", "TO",  // 133
    "TRANSFER", "VAL", "VALUE", "VALUES", "VARIABLES", "VECTOR",  // 139
    "VELOCITIES", "VIEWPOINT", "VOID", "@VOLJ", "XSHEAR", "YSHEAR",  // 145
    "ZOOM", "<endrepeat>", "DELTAT", "<conic.seg>", "REPEAT", "ENDREPEAT",  // 151
    "<descriptor>", "<paragraphs>", "<end_key>", "<other>", "<batchlist>", "<batchname>",  // 157
    "<repeater>", "<string.term>", "<unquoted>", "<paragraph>", "<title>", "<select>",  // 163
    "<coordinates>", "<variables>", "<definitions>", "<initials>", "<initialeqs>", "<equations>",  // 169
    "<constraints>", "<resolution>", "<fronteq>", "<extrusion>", "<boundaries>", "<timerange>",  // 175
    "<monitors>", "<plots>", "<histories>", "<=string>", "<simplex>", "<literal>",  // 181
    "<stagedef>", "<)>", "<(>", "<,simplex>", "<debugger>", "<printer>",  // 187
    "<stringid>", "<var.ident>", "<=simplex>", "<declaration>", "<definition>", "<transfer.ref>",  // 193
    "<end.repeat>", "<explicit.defin", "<farg.header>", "<vconditional>", "<arraydef>", "<farg.list>",  // 199
    "<farg.name>", "<initial>", "<uequation>", "<equation>", "<uleft.side>", "<vexpression>",  // 205
    "<left.side>", "<uvexpression>", "<resolver>", "<fronter>", "<extrusion1>", "<extrusion2>",  // 211
    "<extrusiontag>", "<layerstring>", "<surface>", "<layer>", "<boundary.BCs>", "<region>",  // 217
    "<frepeater>", "<fend.repeat>", "<surface.tag>", "<BC>", "<region.definit", "<loop>",  // 223
    "<fixpoint>", "<region.tag>", "<definition.blo", "<layer.tag>", "<string.item>", "<primary>",  // 229
    "<parameter.rede", "<layered.defini", "<conditional>", "<loop.start>", "<segment>", "<fixpoint1>",  // 235
    "<point.BCs>", "<point>", "<loop.start1>", "<line.seg>", "<arc.seg>", "<spline.seg>",  // 241
    "<periodic>", "<to.point>", "<point.list>", "<fillet>", "<arc.c>", "<angle>",  // 247
    "<arc.r>", "<arc.rd>", "<periodic.flag>", "<radius>", "<direct>", "<bare.point2>",  // 253
    "<bare.point>", "<to.point1>", "<to.finish>", "<point.BC>", "<fromtime>", "<totime>",  // 259
    "<bytime>", "<plot.selector>", "<time.selector>", "<history>", "<plot.selector1", "<plot.report>",  // 265
    "<2D.plot>", "<1D.plot>", "<export1>", "<point.sp" "ec>", "<print>", "<plot.range>",  // 271
    "<usimplex>", "<history1>", "<histat>", "<histarg>", "<relation>", "<vif.clause>",  // 277
    "<signed.vterm>", "<vterm>", "<vfactor>", "<vprimary>", "<(primary)>", "<table.ref>",  // 283
    "<if.clause>", "<signed.term>", "<term>", "<factor>", "<sum.header>", "<vif.expression",  // 289
    "<vcomparison>", "<vcomparison1>", "<if.simplex>", "<comparison>", "<comparison1>",  // 295
};

pde *rdpde_problem = nullptr;
uint32_t rdpde_errors = 0;
TextLoc rdpde_prevend = {};

const scopestack *rdpde_scopes() { return rdpde_problem ? &rdpde_problem->scopes : nullptr; }

select_target rdpde_select_target() {
  pde *p = rdpde_problem;
  return {p, p, &p->stages, &p->modes, &p->modesloc, p->mesh.domain, &p->coords, &p->angle, p->axisname};
}

batch_holder rdpde_batch_holder() {
  pde *p = rdpde_problem;
  const auto &loops = p->formulas.loops;
  batch_holder h = {&p->directory, p->log, nullptr, p->modified, {&p->desctext, &p->cfgtext, &p->edittext}};
  if (loops.count > 0) h.open_loop = &loops.items[loops.count - 1].loc;
  return h;
}

namespace {

enum { RESERVED = SYM_LAST_TERMINAL - SYM_FIRST_RESERVED + 1, INCLUDE_LEVELS = 6 };

uint16_t first_reserved = SYM_FIRST_RESERVED;  // found at start-up
uint16_t reserved_hash[RESERVED];               // entry k: symbol first_reserved + k
uint16_t current_text = 0;                      // the text being read
uint16_t include_depth = 0;                     // texts on the include stack
uint16_t include_stack[INCLUDE_LEVELS];
TextLoc lastend = {};                           // the place after the latest terminal
int16_t pushed = 0;                             // count of pushed-back tokens (0 or 1)
uint32_t pushed_token = 0;
scopestack *scopes = nullptr;
String text_scratch = {};

// The texts INCLUDE opened, with their problems, until the problem closes them.
struct Included {
  pde *owner;
  uint16_t text;
};
Included *included = nullptr;
int32_t included_count = 0, included_capacity = 0;

}  // namespace

// ---- Reserved words ------------------------------------------------------------------------

static char *reserved_text(int k) { return rdpde_symbol_names[first_reserved + k]; }

// Symbols 39..156 by the number of entries before the first upper-case one.
void rdpde_init_parse() {
  TRACE("rdpde_init_parse");
  mtokeniz_set_char_class('{', MTOKENIZ_CM1A);
  mtokeniz_set_char_class('}', MTOKENIZ_CM1B);
  mtokeniz_set_char_class('!', MTOKENIZ_CM3);
  mtokeniz_set_char_class('/', MTOKENIZ_CM2AC);
  mtokeniz_set_char_class('*', MTOKENIZ_CM2B);
  first_reserved = 1;
  while (first_reserved <= SYM_LAST_TERMINAL &&
         !(rdpde_symbol_names[first_reserved][0] >= 'A' && rdpde_symbol_names[first_reserved][0] <= 'Z'))
    first_reserved++;
  for (int k = 0; first_reserved + k <= SYM_LAST_TERMINAL; k++) {
    reserved_hash[k] = strings_hashfn_1(reserved_text(k));
    for (int j = 0; j < k; j++)
      if (reserved_hash[j] == reserved_hash[k])
        printf("!@*&%%# -- RESWORD HASH DUPLICATION %s = %s (%x)\n", reserved_text(k), reserved_text(j),
               reserved_hash[k]);
  }
  symtab_optree = symtab_deleteall(symtab_optree);
  symtab_operators(&symtab_optree);
  symtab_builtins(&symtab_optree);
}

// Entries whose hash is that of from get the text to and its hash.
static void rename_reserved(const char *from, const char *to) {
  uint16_t hash = strings_hashfn_1(from), now = strings_hashfn_1(to);
  for (int k = 0; first_reserved + k <= SYM_LAST_TERMINAL; k++) {
    if (reserved_hash[k] != hash) continue;
    snprintf(reserved_text(k), sizeof rdpde_symbol_names[0], "%s", to);
    reserved_hash[k] = now;
  }
}

void rdpde_enable_name(const String *name) {
  TRACE("rdpde_enable_name");
  strings_copyto_1(&text_scratch, "@");
  strings_addto_0(&text_scratch, name);
  strings_upstring_0(&text_scratch);
  rename_reserved(text_scratch.text, text_scratch.text + 1);
}

void rdpde_disable_name(const String *name) {
  TRACE("rdpde_disable_name");
  strings_copyto_1(&text_scratch, "@");
  strings_addto_0(&text_scratch, name);
  strings_upstring_0(&text_scratch);
  rename_reserved(text_scratch.text + 1, text_scratch.text);
}

// ---- Input -------------------------------------------------------------------------------------

void rdpde_select_input_1(uint16_t textnum, pde *p) {
  TRACE("rdpde_select_input_1");
  rdpde_problem = p;
  scopes = p ? &p->scopes : nullptr;
  current_text = textnum;
  textin_reset_text(textnum);
  include_depth = 0;
  rdpde_errors = 0;
}

// The terminal before the latest one, and whether the latest section word was EXTRUSION:
// what a syntax error's hint needs of the text read so far.
static uint16_t previous_terminal = 0, latest_terminal = 0;
static bool in_extrusion = false;

// Follows the section words: EXTRUSION opens its section, any other header closes it.
static void follow_sections(uint16_t terminal) {
  previous_terminal = latest_terminal, latest_terminal = terminal;
  if (terminal < SYM_FIRST_RESERVED || terminal > SYM_LAST_TERMINAL) return;
  static const char *const headers[] = {"BOUNDARIES", "CONSTRAINTS", "COORDINATES", "DEFINITIONS", "END",   "EQUATIONS",
                                        "FRONT",      "HISTORIES",   "INITIAL",     "MONITORS",    "PLOTS", "RESOLVE",
                                        "SELECT",     "TIME",        "TITLE",       "VARIABLES"};
  const char *word = rdpde_symbol_names[terminal];
  if (std::strcmp(word, "EXTRUSION") == 0) in_extrusion = true;
  for (const char *h : headers)
    if (std::strcmp(word, h) == 0) in_extrusion = false;
}

void rdpde_init_symbol() {
  pushed = 0;
  lastend = rdpde_prevend = {};
  previous_terminal = latest_terminal = 0;
  in_extrusion = false;
}

void rdpde_close_includes(pde *p) {
  TRACE("rdpde_close_includes");
  int32_t kept = 0;
  for (int32_t k = 0; k < included_count; k++) {
    if (included[k].owner == p)
      textin_close_text(included[k].text);
    else
      included[kept++] = included[k];
  }
  included_count = kept;
}

static void keep_included(uint16_t text) {
  if (included_count == included_capacity) {
    int32_t grown = included_capacity * 6 / 5 + 10;
    Included *items = nullptr;
    bopmemalloc(&items, grown, sizeof(Included));
    XMEM += int64_t{grown - included_capacity} * int64_t{sizeof(Included)};  // held for the run
    for (int32_t k = 0; k < included_count; k++) items[k] = included[k];
    bopmemfree(&included);
    included = items;
    included_capacity = grown;
  }
  included[included_count++] = {rdpde_problem, text};
}

static uint16_t current_textloc(TextLoc *loc) {
  *loc = {};
  textin_textloc(loc, current_text);
  return loc->file;
}

[[noreturn]] static void located_error(const char *message) {
  TextLoc loc;
  current_textloc(&loc);
  String m = {};
  strings_copyto_1(&m, message);
  rdpde_errors++;
  struct Release {
    String *m;
    ~Release() { strings_free_0(m); }
  } release{&m};
  report_parse_err_0(rdpde_problem, &loc, &m);
}

// Puts the current text on the include stack; a seventh level is refused.
static void push_text() {
  if (include_depth == INCLUDE_LEVELS) located_error("Too many nested INCLUDE or BODY directives");
  include_stack[include_depth++] = current_text;
}

// "#" INCLUDE "name": the named file, or the same name in the descriptor's folder;
// a file that opens neither way is an error at the directive (skipping it would run a
// different problem than the one written). A "\" in the name is read as "/".
static void include(const String *name) {
  push_text();
  // Owned: a file that cannot be read (a line too long) jumps out of the open.
  StringOwner path;
  strings_copyto_0(path.get(), name);
  for (uint16_t k = 0; k < path->length; k++)
    if (path->text[k] == '\\') path->text[k] = '/';
  uint16_t text = textin_open_text(path.get(), 1);
  if (!text && rdpde_problem) {
    strings_copyto_0(&text_scratch, &rdpde_problem->directory);
    strings_addto_0(&text_scratch, path.get());
    text = textin_open_text(&text_scratch, 1);
  }
  if (!text) {
    include_depth--;
    std::string m = "Can't Find Include File " + std::string(path->text ? path->text : "", path->length);
    located_error(m.c_str());
  }
  keep_included(text);
  current_text = text;
}

// "#" BODY: the problem's descriptor, from its first line.
static void body() {
  if (!rdpde_problem || !rdpde_problem->desctext) return;
  push_text();
  rdpde_problem->bodyread = 1;
  current_text = rdpde_problem->desctext;
  textin_reset_text(current_text);
}

// ---- Terminals ----------------------------------------------------------------------------------

static uint32_t next_token() {
  if (pushed > 0) {
    pushed--;
    return pushed_token;
  }
  return mtokeniz_token(current_text);
}

static void push_back_token(uint32_t token) {
  pushed = 1;
  pushed_token = token;
}

// The symbol of the last name read, for the syntax error that may refuse it.
static const idrec *last_name = nullptr;

// The terminal of a name: a reserved word, a built-in of the operator tree, a name of
// the problem's scopes (innermost first), or a fresh entry that belongs to no table.
static uint16_t identifier(parse_node *node) {
  last_name = nullptr;
  String *name = &mtokeniz_state.text;
  strings_upstring_0(name);
  uint16_t hash = strings_hashfn_0(name);
  for (int k = 0; first_reserved + k <= SYM_LAST_TERMINAL; k++)
    if (reserved_hash[k] == hash && strings_compare_1(reserved_text(k), name->text) == 0)
      return static_cast<uint16_t>(first_reserved + k);
  if (idrec *r = symtab_lookupid(symtab_optree, name, hash)) {
    node->id = r, last_name = r;
    return r->kind == funcnam || r->kind == difopnam || r->kind == diffun ? SYM_FUNC_IDENT : SYM_IDENT;
  }
  for (int k = scopes ? scopes->count : 0; k >= 1 && k >= scopes->floor; k--) {
    if (idrec *r = symtab_lookupid(scopes->roots[k - 1], name, hash)) {
      node->id = r, last_name = r;
      if (r->kind == fparamnam || r->kind == funcnam || r->kind == difopnam || r->kind == diffun)
        return SYM_FUNC_IDENT;
      return r->kind == arraynam ? SYM_ARRAY_IDENT : SYM_IDENT;
    }
  }
  node->id = symtab_newidrec(name, hash);
  symtab_defineid(node->id, nullid, 0, 0, 0, nullptr);
  return SYM_IDENT;
}

// "#" and a directive name; -1 when the directive was carried out and reading goes on.
static int directive(parse_node *node) {
  uint32_t token = mtokeniz_token(current_text);
  node->ch = '#';
  if (token != TOKEN_IDENT) {
    push_back_token(token);
    return SYM_PERCENT;
  }
  strings_upstring_0(&mtokeniz_state.text);
  if (strings_compare_1(mtokeniz_state.text.text, "INCLUDE") == 0) {
    if (mtokeniz_token(current_text) != TOKEN_STRING) return SYM_SHARP;
    include(&mtokeniz_state.text);
    return -1;
  }
  if (strings_compare_1(mtokeniz_state.text.text, "BODY") == 0) {
    body();
    return -1;
  }
  push_back_token(TOKEN_IDENT);
  return SYM_PERCENT;
}

// A token code to its terminal: special characters lie two below their codes.
static uint16_t terminal_of(uint32_t token) {
  static const uint16_t low[] = {0, SYM_EOF, SYM_IDENT, SYM_INTEGER, SYM_INTEGER, SYM_CHARACTER,
                                 SYM_STRING, SYM_FLOAT, SYM_FLOAT};
  if (token <= 8) return low[token];
  return token <= 34 ? static_cast<uint16_t>(token - 2) : 0;
}

// After "*", "<" or ">": the joined terminal when the next token is follow, else
// the single one, with the token read ahead pushed back.
// A single one stands where it ends, not where the token read ahead ends.
static bool single_at_hand = false;
static TextLoc single_loc;

static uint16_t joined(parse_node *node, uint32_t follow, uint16_t both, uint16_t single, uint8_t ch) {
  TextLoc here;
  current_textloc(&here);
  uint32_t token = next_token();
  if (token == follow) return both;
  push_back_token(token);
  node->ch = ch;
  single_at_hand = true;
  single_loc = here;
  return single;
}

uint16_t rdpde_readsymbol(parse_node *node) {
  TRACE("rdpde_readsymbol");
  int terminal = -1;
  while (terminal < 0) {
    uint32_t token = next_token();
    node->ch = mtokeniz_state.first;
    switch (token) {
      case TOKEN_EOF:
        if (include_depth > 0) {
          current_text = include_stack[--include_depth];
          continue;
        }
        terminal = SYM_EOF;
        break;
      case TOKEN_IDENT:
        terminal = identifier(node);
        break;
      case TOKEN_INTEGER:
      case TOKEN_HEX:
        node->value.integer = static_cast<int32_t>(mtokeniz_state.integer);
        terminal = SYM_INTEGER;
        break;
      case TOKEN_STRING:
        node->value.string = {};
        strings_copyto_0(&node->value.string, &mtokeniz_state.text);
        terminal = SYM_STRING;
        break;
      case TOKEN_REAL:
      case TOKEN_DOUBLE:
        node->value.real = mtokeniz_state.real;
        terminal = SYM_FLOAT;
        break;
      case TOKEN_STAR:
        terminal = joined(node, TOKEN_STAR, SYM_POWER, SYM_TIMES, '*');
        break;
      case TOKEN_LESS:
        terminal = joined(node, TOKEN_EQUAL, SYM_LEQ, SYM_LTN, '<');
        break;
      case TOKEN_GREATER:
        terminal = joined(node, TOKEN_EQUAL, SYM_GEQ, SYM_GTR, '>');
        break;
      case TOKEN_SHARP:
        terminal = directive(node);
        break;
      default:
        terminal = terminal_of(token);  // 0, which no rule takes, for the invalid tokens
        break;
    }
  }
  rdpde_prevend = lastend;
  if (single_at_hand) node->loc = single_loc;
  else current_textloc(&node->loc);
  single_at_hand = false;
  lastend = node->loc;
  node->token = static_cast<uint32_t>(terminal);
  follow_sections(static_cast<uint16_t>(terminal));
  return static_cast<uint16_t>(terminal);
}

// ---- Errors -----------------------------------------------------------------------------------------

void rdpde_rpterror(uint16_t state, uint16_t got, uint16_t wanted) {
  TRACE("rdpde_rpterror");
  auto name = [](uint16_t s) { return s <= SYM_COUNT ? rdpde_symbol_names[s] : "?"; };
  debug_printf("ERROR in state %d: GOT: %d(%s) WANTED: %d(%s)\n", state, got, name(got), wanted, name(wanted));
  static std::string text;  // the report does not return: the text lives on
  // A derivative operator's name where a name of the user's own is wanted ("Dx = 1")
  // is told as such.
  if (got == SYM_FUNC_IDENT && last_name && last_name->kind == difopnam && last_name->name.text) {
    text = std::string(last_name->name.text, last_name->name.length) + " is a derivative operator";
    located_error(text.c_str());
  }
  if (got == SYM_FUNC_IDENT && mtokeniz_state.text.length > 0) {
    // A function's name written as an operator ("a DOT b"): say how it is called.
    std::string f(mtokeniz_state.text.text, mtokeniz_state.text.length);
    text = "Illegal Symbol: " + f + " is a function, written " + f + "(...)";
    located_error(text.c_str());
  }
  // A reserved word where it cannot stand: say which word it is, so that a name of
  // the user's own that is one ("aT") is seen to be reserved.
  if (got >= SYM_FIRST_RESERVED && got <= SYM_LAST_TERMINAL && name(got)[0] != '<' && name(got)[0] != '@') {
    text = std::string("Illegal Symbol: ") + name(got) + " is a reserved word";
    located_error(text.c_str());
  }
  // SURFACE with a number, as BOUNDARIES writes it, inside EXTRUSION: name the form
  // EXTRUSION takes.
  if (in_extrusion && got == latest_terminal && std::strcmp(name(previous_terminal), "SURFACE") == 0 &&
      got != SYM_IDENT && got != SYM_STRING)
    located_error("Illegal Symbol: EXTRUSION writes each surface as SURFACE z = value, or SURFACE 'name' z = value");
  located_error("Illegal Symbol");
}

void rdpde_texterror(TextLoc *loc, String *message) {
  TRACE("rdpde_texterror");
  pushed = 0;
  rdpde_errors++;
  report_parse_err_0(rdpde_problem, loc, message);
}

int rdpde_init() {
  TRACE("rdpde");
  mtokeniz_hook = rdpde_texterror;
  return 0;
}
