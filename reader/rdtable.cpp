// rdtable: TABLE and TRANSFER references. Their data files are read with the
// descriptor tokenizer while the descriptor's parse waits; every count a file gives
// is checked against what the rest of the text could hold before storage is sized
// from it, so that a hostile count ends in a located error, not in exhausted memory.
#include "reader/rdtable.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "domain/domain.h"
#include "model/pdedat_record.h"
#include "runtime/bounding.h"
#include "elements/mfinder.h"
#include "graphics/display.h"
#include "mesher/mesh2.h"
#include "mesher/mesh3.h"
#include "mesher/meshpde3.h"
#include "model/symtab.h"
#include "model/tabledat.h"
#include "model/trees.h"
#include "model/xferdat.h"
#include "reader/gpmin.h"
#include "reader/mtokeniz.h"
#include "reader/rdexpr.h"
#include "reader/rdpde.h"
#include "runtime/bopmem.h"
#include "runtime/debug.h"
#include "runtime/report.h"
#include "runtime/rtlib.h"
#include "runtime/owner.h"
#include "runtime/textin.h"

uint8_t rdtable_debug = 0;

int rdtable_init() {
  TRACE("rdtable");
  return 0;
}

namespace {

// The report does not return: its text lives in one static string.
[[noreturn]] void table_report(const TextLoc *loc, const char *message) {
  static String m;
  strings_copyto_1(&m, message);
  report_parse_err_0(rdpde_problem, loc, &m);
}

// "missing table file" followed by the name the descriptor gave.
[[noreturn]] void missing(const TextLoc *loc, const String *name) {
  static String m;
  strings_copyto_1(&m, "missing table file ");
  strings_addto_0(&m, name);
  report_parse_err_0(rdpde_problem, loc, &m);
}

bool is_name(const char *upper) { return strings_compare_1(upper, mtokeniz_state.text.text) == 0; }

// One data file opened for reading. The tokenizer's state of the descriptor is kept
// aside and given back when the file is done. The text is closed on every way out,
// unless an error report made it the problem's edited text, which the problem then
// closes with its own.
struct DataFile {
  pde *p = rdpde_problem;
  uint16_t n = 0;
  uint16_t *handle;             // the entry's handle field, cleared at close
  std::vector<uint64_t> after;  // after[k]: characters of lines k.. to the end, line ends counted
  MtokenizState saved = {};
  String saved_text = {};

  explicit DataFile(uint16_t *h) : handle(h) {
    saved = mtokeniz_state;
    saved.text = {};
    saved.errmsg = {};
    strings_copyto_0(&saved_text, &mtokeniz_state.text);
  }
  ~DataFile() {
    close();
    String text = mtokeniz_state.text, msg = mtokeniz_state.errmsg;
    mtokeniz_state = saved;
    mtokeniz_state.text = text, mtokeniz_state.errmsg = msg;
    strings_copyto_0(&mtokeniz_state.text, &saved_text);
    strings_free_0(&saved_text);
  }
  DataFile(const DataFile &) = delete;
  DataFile &operator=(const DataFile &) = delete;

  // Opens the name as written, else in the descriptor's folder; a "\" is read as "/".
  // The name that opened is left in resolved.
  bool open(const String *name, String *resolved) {
    // Owned: a file that cannot be read (a line too long) jumps out of the open.
    StringOwner path;
    strings_copyto_0(path.get(), name);
    for (uint16_t k = 0; k < path->length; k++)
      if (path->text[k] == '\\') path->text[k] = '/';
    strings_copyto_0(resolved, path.get());
    n = textin_open_text(path.get(), 0);
    if (!n && p && path->length && path->text[0] != '/') {
      strings_copyto_0(resolved, &p->directory);
      strings_addto_0(resolved, path.get());
      n = textin_open_text(resolved, 0);
    }
    *handle = n;
    if (!n) return false;
    const StringList *body = textin_text_body(n);
    int32_t lines = body ? body->count : 0;
    after.assign(size_t(lines) + 2, 0);
    for (int32_t k = lines; k >= 1; k--) after[k] = after[k + 1] + body->items[k - 1].length + 1u;
    return true;
  }
  void close() {
    if (n && (!p || p->edittext != n)) textin_close_text(n);
    n = 0;
    *handle = 0;
  }

  uint32_t token() { return mtokeniz_token(n); }
  TextLoc here() {
    TextLoc loc = {};
    textin_textloc(&loc, n);
    return loc;
  }
  [[noreturn]] void error(const char *message) {
    TextLoc loc = here();
    table_report(&loc, message);
  }
  // Characters from the reading place to the end of the text.
  uint64_t rest() {
    TextFile *t = textin_text_name(n);
    if (!t) return 0;
    int64_t line = int64_t(t->line) - t->base;
    if (line < 1) return after.size() > 1 ? after[1] : 0;
    if (line >= int64_t(after.size())) return 0;
    uint64_t col = t->column - 1;
    return after[line] > col ? after[line] - col : 0;
  }
  // Whether count items of per numbers each could still follow: every number takes
  // at least a character and a separator.
  bool room(int64_t count, int64_t per) {
    if (count < 0) return false;
    uint64_t need = uint64_t(count) * uint64_t(std::max<int64_t>(per, 1));
    return count <= int64_t(1) << 40 && need <= (rest() + 1) / 2;
  }
  // Moves to the start of the next line (an empty one too).
  void next_line() { gpmin_next_mline(n); }
  // Skips to the end of the current line.
  void skip_line() {
    for (uint8_t ch = gpmin_next_mchar(n); ch != 13 && ch != 0; ch = gpmin_next_mchar(n)) {
    }
  }

  // The next token after any minus signs (apart from it or not), with whether they
  // negate it (repeated signs alternate).
  uint32_t signed_token(bool *negative) {
    *negative = false;
    uint32_t tok;
    while ((tok = token()) != TOKEN_EOF && mtokeniz_state.first == '-') *negative = !*negative;
    return tok;
  }
  // A number: an integer or a real, signed; anything else is "Bad table item".
  double load_num() {
    bool negative;
    uint32_t tok = signed_token(&negative);
    double v = tok == TOKEN_INTEGER || tok == TOKEN_HEX ? double(mtokeniz_state.integer) : mtokeniz_state.real;
    if (tok != TOKEN_INTEGER && tok != TOKEN_HEX && tok != TOKEN_REAL && tok != TOKEN_DOUBLE) error("Bad table item");
    return negative ? -v : v;
  }
  // A number kept in single precision, which must hold it.
  float load_f32() {
    double v = load_num();
    if (!(std::fabs(v) <= FLT_MAX)) error("Bad table item");
    return float(v);
  }
  // An integer, signed as load_num signs it; anything else is "Bad table item".
  int64_t load_int() {
    bool negative;
    uint32_t tok = signed_token(&negative);
    if (tok != TOKEN_INTEGER && tok != TOKEN_HEX) error("Bad table item");
    return negative ? -int64_t(mtokeniz_state.integer) : int64_t(mtokeniz_state.integer);
  }
};

}  // namespace

// ---- TABLE -------------------------------------------------------------------------------------

static tableentry *table_entry(uint16_t k) {
  tablelist *l = &rdpde_problem->formulas.definitions.tables;
  if (k < 1 || k > l->count) rtlib_fatal_in("rdtable_table", "BAD TABLE NUMBER");
  return &l->items[k - 1];
}

// The key of a dependency name, 0 when its kind has none: a coordinate gives its
// index (x, y, z, t), a variable its index + 4, a definition its index + 100.
static uint16_t key_of(const idrec *id) {
  if (!id) return 0;
  switch (id->kind) {
    case coordnam: return id->index >= 1 && id->index <= 4 ? id->index : 0;
    case varbnam: return uint16_t(id->index + 4);
    case paramnam: return id->index <= 0xFFFF - 100 ? uint16_t(id->index + 100) : 0;
    default: return 0;
  }
}

void rdtable_table1(parse_node *r, parse_node *const *v) {
  TRACE("rdtable_table1");
  pde *p = rdpde_problem;
  tablelist *l = &p->formulas.definitions.tables;
  if (l->count == 0xFFFF) table_report(&v[3]->loc, "Too many tables");
  uint16_t k = uint16_t(l->count + 1);
  tabledat_resize(l, k, l->capacity >= k ? l->capacity : uint16_t(std::min(l->capacity + 8, 0xFFFF)));
  tableentry *e = &l->items[k - 1];
  e->number = k;
  String written = v[3]->token == SYM_STRING ? v[3]->value.string : String{};
  // The file is only checked here; it is read when the reference is complete.
  {
    DataFile f(&e->file);
    if (!f.open(&written, &e->name)) missing(&v[3]->loc, &written);
  }
  TreeNode *leaf = trees_new_1(op::tableval, &v[3]->loc);
  leaf->index = k;
  r->tree = leaf;
  r->depth = 1;
  r->loc = v[3]->loc;
  r->value.integer = k;
}

void rdtable_table2(parse_node *r, parse_node *const *v) {
  TRACE("rdtable_table2");
  tableentry *e = table_entry(uint16_t(r->value.integer));
  uint16_t key = key_of(v[3]->id);
  if (!key) table_report(&v[3]->loc, "Bad dependency selector");
  for (uint16_t &slot : e->keys)
    if (!slot) {
      slot = key;
      break;
    }
}

// The key of an axis name from the file, looked up in the scope.
static uint16_t load_name(DataFile &f, idrec **scope) {
  pde *p = f.p;
  if (!scope) f.error("NO NAME TABLE SELECTED.");
  String *name = &mtokeniz_state.text;
  idrec *id = symtab_lookupid(*scope, name, strings_hashfn_0(name));
  if (id && id->kind != nullid) {
    uint16_t key = key_of(id);
    if (!key) f.error("Illegal Dependency");
    return key;
  }
  bool named = p->coordnames.count >= 4 && p->coordnames.items[3].length;
  if (strings_compare_1(named ? p->coordnames.items[3].text : "T", name->text) == 0) {
    TextLoc loc = f.here();
    rdexpr_set_timedep(&loc);
    return 4;
  }
  f.error("UNDEFINED NAME");
}

// Axis k: its point count, then as many non-decreasing coordinates.
static void load_axis(DataFile &f, lintab *t, int k) {
  if (f.token() != TOKEN_INTEGER) f.error("NO Coordinate count.");
  int64_t count = mtokeniz_state.integer;
  // A one-point axis is constant along itself; the interval cache holds 16 bits.
  if (count > 0xFFFF) {
    // The interval cache holds 16 bits: the limit and the file that passes it are named.
    const TextFile *t = textin_text_name(f.n);
    std::string m = "More than 65535 coordinates on a table axis in ";
    m += t && t->name.text ? t->name.text : "";
    f.error(m.c_str());
  }
  if (count < 1 || !f.room(count, 1)) f.error("NO Coordinate count.");
  arrays *a = &t->axis[k - 1];
  arrays_free(a);
  arrays_new(a, int32_t(count));
  for (int32_t i = 0; i < count; i++) {
    a->data[i] = f.load_f32();
    if (i > 0 && a->data[i] < a->data[i - 1]) f.error("Table Coordinates must be Monotonic");
  }
}

// Data of any shape go before new data, or before an axis changes the shape.
static void drop_data(lintab *t) {
  arrays_free(&t->data1);
  array2s_free(&t->data2);
  array3s_free(&t->data3);
}

// The values of a table of the entry's dimension, first axis fastest. False when
// there is no axis yet to hold them.
static bool load_data(DataFile &f, lintab *t) {
  int dim = t->dimension;
  if (dim < 1) return false;
  int32_t n1 = t->axis[0].count, n2 = dim > 1 ? t->axis[1].count : 1, n3 = dim > 2 ? t->axis[2].count : 1;
  if (!f.room(int64_t(n1) * n2 * n3, 1)) f.error("NO Coordinate count.");
  drop_data(t);
  auto row = [&](arrays *a) {
    for (int32_t i = 0; i < n1; i++) a->data[i] = f.load_f32();
  };
  if (dim == 1) {
    arrays_new(&t->data1, n1);
    row(&t->data1);
  } else if (dim == 2) {
    array2s_new_1(&t->data2, n2, n1);
    for (int32_t j = 0; j < n2; j++) row(&t->data2.data[j]);
  } else {
    array3s_new_1(&t->data3, n3, n2, n1);
    for (int32_t k = 0; k < n3; k++)
      for (int32_t j = 0; j < n2; j++) row(&t->data3.data[k].data[j]);
  }
  return true;
}

// Reads the entry's file: axes by name, DATA blocks, until a token that is not a name.
// The table is complete only when a DATA block follows its last axis.
static void load_table(DataFile &f, tableentry *e, idrec **scope) {
  TRACE("load_table");
  lintab *t = &e->table;
  if (f.token() != TOKEN_IDENT) f.error("Coordinate name expected");
  int axes = 0;
  bool complete = false;
  do {
    strings_upstring_0(&mtokeniz_state.text);
    if (is_name("DATA")) {
      complete = load_data(f, t);
    } else {
      // An axis after the values would drop them: the values belong to the axes read.
      if (complete) f.error("Axis after DATA: a table's axes all come before its DATA");
      if (++axes > 3) f.error("Bad table item");
      if (!e->keys[axes - 1]) e->keys[axes - 1] = load_name(f, scope);
      drop_data(t);
      t->dimension = uint16_t(axes);
      load_axis(f, t, axes);
      complete = false;
    }
  } while (f.token() == TOKEN_IDENT);
  if (!complete) f.error("No Data Loaded");
}

void rdtable_tablex(parse_node *r, parse_node *const *) {
  TRACE("rdtable_tablex");
  pde *p = rdpde_problem;
  tableentry *e = table_entry(uint16_t(r->value.integer));
  DataFile f(&e->file);
  bool opened = f.open(&e->name, StringOwner().get());
  if (!opened) missing(&r->loc, &e->name);
  load_table(f, e, p->scopes.count ? &p->scopes.roots[0] : nullptr);
}

// ---- TRANSFER ----------------------------------------------------------------------------------

// A status line of the problem's panel, removed on every way out.
namespace {
struct StatusLine {
  pad *panel;
  uint16_t line;
  StatusLine(pad *d, const char *label) : panel(d) {
    String l = {uint16_t(strlen(label)), 0, const_cast<char *>(label)};
    line = display_report(panel, 0, &l);
  }
  ~StatusLine() { display_unreport(panel, line); }
};
}  // namespace

// A count and its keyword (in any case): a count that is not an integer is "Bad table
// item", a missing or other keyword "Invalid Transfer File".
static int64_t tag_line(DataFile &f, const char *keyword) {
  int64_t count = f.load_int();
  if (f.token() != TOKEN_IDENT) f.error("Invalid Transfer File");
  strings_upstring_0(&mtokeniz_state.text);
  if (!is_name(keyword)) f.error("Invalid Transfer File");
  if (rdtable_debug) debug_printf("XFER %lld %s\n", static_cast<long long>(count), keyword);
  return count;
}

// count names, each checked to be a name.
static void names(DataFile &f, int64_t count) {
  if (!f.room(count, 1)) f.error("Invalid Transfer File");
  for (int64_t k = 0; k < count; k++)
    if (f.token() != TOKEN_IDENT) f.error("Invalid Transfer File");
}

// Whether a cell type of the file's dimension may have this many nodes.
static bool basis_fits(int64_t code, int64_t dim, int64_t nodes, bool exact) {
  if (code < 0 || code >= ELEMENTS_CODES || elements_dimension[code] != dim) return false;
  return exact ? elements_functions[code] == nodes : elements_functions[code] <= nodes;
}

// Coordinates beyond this would overflow the box, measure and finder arithmetic.
static const double COORD_LIMIT = 1e100;

// One block: k nodes (coordinates, then the values), then its cells, whose node
// numbers count within the block.
static void load_block(DataFile &f, xferdat *x, int64_t k, int32_t block, int32_t dof) {
  Mesh *m = &x->mesh;
  int32_t dim = x->dimension, vars = x->values.count;
  if (!f.room(k, dim + vars) || k > INT32_MAX - 1 - m->nodes.count) f.error("Invalid Transfer File");
  int32_t base = m->nodes.count, total = int32_t(base + k);
  // 1. The tables grow once per block.
  cellnode_resize_1(&m->nodes, base, total + 1);
  for (int32_t j = 0; j < vars; j++) vectord_resize(&x->values.data[j], total, total);
  for (int32_t i = 1; i <= k; i++) {
    double c[3] = {0, 0, 0};
    for (int32_t a = 0; a < dim; a++)
      if (!(std::fabs(c[a] = f.load_num()) <= COORD_LIMIT)) f.error("Invalid Transfer File");
    int32_t node = meshes_new_node_1(m, c[0], c[1], c[2], uint16_t(std::min(block, 0xFFFF)));
    bounding_check_bounds_2(&m->domain->grid, c[0], c[1], c[2]);
    for (int32_t j = 0; j < vars; j++) x->values.data[j].data[node - 1] = f.load_num();
  }
  // 2. The cells.
  int64_t cells = tag_line(f, "CELLS");
  if (!f.room(cells, 1 + dof) || cells > INT32_MAX - 1 - m->cells.count) f.error("Invalid Transfer File");
  cellnode_resize_0(&m->cells, m->cells.count, int32_t(m->cells.count + cells + 1));
  for (int64_t i = 1; i <= cells; i++) {
    int64_t code = f.load_int();
    if (!basis_fits(code, dim, dof, false)) f.error("Invalid Transfer File");
    int32_t c = meshes_new_cell_0(m);
    MeshCell &cell = m->cells.data[c - 1];
    cell.basis = int32_t(code);
    vectorl_resize(&cell.nodes, dof, std::max(dof, cell.nodes.capacity));
    for (int32_t j = 0; j < dof; j++) {
      int64_t node = f.load_int();
      if (node < 1 || node > k) f.error("Invalid Transfer File");
      cell.nodes.data[j] = int32_t(base + node);
      meshes_new_nodecell(m, int32_t(base + node), c);
    }
    // Tetrahedra are linked by shared faces only when all turn the same way.
    if (dim == 3 && m->meshbasis >= tet4 && m->meshbasis <= tet20 && !(meshes_cell_area_1(m, c) > 0))
      f.error("Invalid Transfer File");
    f.skip_line();
  }
  if (rdtable_debug) debug_printf("XFER BLOCK %d: %d NODES, %d CELLS\n", block, int32_t(k), int32_t(cells));
}

// Reads the entry's file into its mesh, domain and values, and links the cells.
static void load_transfer(DataFile &f, xferdat *x) {
  TRACE("load_transfer");
  Mesh *m = &x->mesh;
  // 1. Identification: the first word, then the rest of its line and the next line.
  if (f.token() != TOKEN_IDENT || strcmp(mtokeniz_state.text.text, "Quendar") != 0) f.error("Invalid Transfer File");
  f.next_line();
  f.next_line();
  // 2. The coordinate names, the basis and its node count, the variable names.
  int64_t dim = tag_line(f, "DIMENSIONS");
  if (dim < 0 || dim > 3) f.error("Invalid Transfer File");
  names(f, dim);
  int64_t basis = tag_line(f, "BASIS");
  int64_t dof = tag_line(f, "DOF");
  if (!basis_fits(basis, dim, dof, true)) f.error("Invalid Transfer File");
  int64_t vars = tag_line(f, "VARIABLES");
  if (vars < 0 || vars > 0xFFFF) f.error("Invalid Transfer File");
  names(f, vars);
  x->dimension = uint16_t(dim);
  // 3. The mesh's own domain, whose box grows with the nodes.
  if (!m->domain) {
    bopmemalloc(&m->domain, 1, sizeof(Domain));
    XMEM += sizeof(Domain);
    domain_clear(m->domain);
    m->ownsdomain = 1;
  }
  m->domain->threed = dim == 3;
  m->meshbasis = m->cellbasis = int32_t(basis);
  vector2d_resize(&x->values, int32_t(vars), int32_t(vars));
  // 4. Blocks until a NODES tag of count 0; a negative count reads no block.
  int32_t block = 0;
  for (int64_t k; (k = tag_line(f, "NODES")) != 0;)
    if (k > 0) load_block(f, x, k, ++block, int32_t(dof));
  // 5. Neighbours within blocks by shared nodes, across block seams by position.
  if (dim == 2 && basis >= tri3 && basis <= tri10) {
    mesh2_resolve_nabors2(m, 0);
    mesh2_resolve_table_nabors2(m);
  } else if (dim == 3 && basis >= tet4 && basis <= tet20) {
    meshpde3_resolve_nabors3(m);
    mesh3_resolve_table_nabors3(m);
  }
  f.close();
}

void rdtable_transfer1(parse_node *r, parse_node *const *v) {
  TRACE("rdtable_transfer1");
  pde *p = rdpde_problem;
  xferlist *l = &p->transfers;
  if (l->count == 0xFFFF) table_report(&v[3]->loc, "Too many transfers");
  uint16_t k = uint16_t(l->count + 1);
  xferdat_resize(l, k, l->capacity >= k ? l->capacity : k);
  xferdat *x = &l->items[k - 1];
  x->number = k;
  String written = v[3]->token == SYM_STRING ? v[3]->value.string : String{};
  {
    DataFile f(&x->file);
    if (!f.open(&written, &x->name)) table_report(&v[3]->loc, "Missing Transfer File");
    StatusLine reading(&p->status, "Read Transfer File");
    load_transfer(f, x);
  }
  {
    StatusLine building(&p->status, "Build Transfer Finder");
    mfinder_build_finder(&x->mesh);
  }
  r->value.integer = k;
  r->loc = v[3]->loc;
}

void rdtable_transfer2(parse_node *r, parse_node *const *v) {
  TRACE("rdtable_transfer2");
  xferlist *l = &rdpde_problem->transfers;
  uint16_t k = uint16_t(r->value.integer);
  if (k < 1 || k > l->count) rtlib_fatal_in("rdtable_transfer2", "BAD TRANSFER NUMBER");
  xferdat *x = &l->items[k - 1];
  if (x->bound >= x->values.count) table_report(&v[3]->loc, "No Data For This Name");
  x->bound++;
  // The name is defined as a definition of it would be, by a leaf of the variable.
  TreeNode *leaf = trees_new_1(op::xferval, &v[3]->loc);
  leaf->index = k;
  leaf->key = x->bound;
  parse_node value = {};
  value.tree = leaf;
  value.depth = 1;
  value.loc = v[3]->loc;
  parse_node result = *r;
  result.tree = nullptr;
  parse_node *w[4] = {&result, v[3], nullptr, &value};
  struct Release {
    parse_node *n;
    ~Release() { trees_free_0(n->tree); }
  } release{&value};
  rdexpr_define(&result, w);
}

void rdtable_transferx(parse_node *, parse_node *const *) {}
