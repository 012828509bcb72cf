// metrics: coordinate systems and their metric trees.
#include "model/metrics.h"

#include <cstring>

#include "runtime/rtlib.h"

int metrics_init() {
  TRACE("metrics");
  return 0;
}

namespace {
struct Keyword {
  const char *word;
  uint16_t dimension;  // 0: as requested
  uint32_t family, axis;
  uint32_t geometry[3];  // by dimension
};
const Keyword keywords[] = {
    {"CARTESIAN", 0, 1, 0, {1, 2, 3}},    {"CARTESIAN1", 1, 1, 0, {1, 1, 1}},   {"CARTESIAN2", 2, 1, 0, {2, 2, 2}},
    {"CARTESIAN3", 3, 1, 0, {3, 3, 3}},   {"CYLINDER", 0, 2, 1, {4, 5, 7}},     {"XCYLINDER", 0, 2, 1, {4, 5, 7}},
    {"YCYLINDER", 0, 2, 2, {4, 6, 7}},    {"CYLINDER1", 1, 2, 1, {4, 4, 4}},    {"CYLINDER2", 2, 2, 1, {5, 5, 5}},
    {"XCYLINDER2", 2, 2, 1, {5, 5, 5}},   {"YCYLINDER2", 2, 2, 2, {6, 6, 6}},   {"CYLINDER3", 3, 2, 1, {7, 7, 7}},
    {"XCYLINDER3", 3, 2, 1, {7, 7, 7}},   {"YCYLINDER3", 3, 2, 2, {7, 7, 7}},   {"SPHERE", 0, 3, 0, {8, 9, 10}},
    {"SPHERE1", 1, 3, 0, {8, 8, 8}},      {"SPHERE2", 2, 3, 0, {9, 9, 9}},      {"SPHERE3", 3, 3, 0, {10, 10, 10}},
    {"SPECIAL", 0, 0, 0, {11, 12, 13}},
};
// Default names by geometry 1..10 (the user geometries keep theirs).
const char *const default_names[10][4] = {
    {"X", "Y", "Z", "T"}, {"X", "Y", "Z", "T"},     {"X", "Y", "Z", "T"},       {"R", "PHI", "Z", "T"},
    {"Z", "R", "PHI", "T"}, {"R", "Z", "PHI", "T"}, {"R", "PHI", "Z", "T"},     {"R", "THETA", "PHI", "T"},
    {"R", "THETA", "PHI", "T"}, {"R", "THETA", "PHI", "T"},
};
}  // namespace

uint16_t metrics_get_metric(metric *m, const String *keyword, uint16_t dimension, StringList *names) {
  TRACE("metrics_get_metric_0");
  strings_resize_1(names, 4, 4);
  m->dimension = dimension ? dimension : 2;
  for (const Keyword &k : keywords) {
    String w = {uint16_t(strlen(k.word)), 0, const_cast<char *>(k.word)};
    if (strings_compare_0(&w, keyword) != 0) continue;
    uint16_t d = k.dimension ? k.dimension : k.geometry[0] == 11 ? dimension : m->dimension;
    if (d < 1 || d > 3) break;
    m->dimension = d;
    m->family = k.family;
    m->axis = k.axis;
    m->geometry = k.geometry[d - 1];
    if (m->geometry <= 10)
      for (int i = 0; i < 4; i++) strings_copyto_1(&names->items[i], default_names[m->geometry - 1][i]);
    return d;
  }
  m->dimension = 0;
  return 0;
}

// Enters the derivative operator of the coordinate selectors (a, b), named from "D"
// and the coordinate names. The time derivative is entered only when its name is
// new: the time may be renamed after the coordinates were entered.
static void enter_deriv(idrec **root, const StringList *names, uint8_t a, uint8_t b) {
  String s = {};
  trees_dlabel(&s, "D", a, b, 0, 0, names, nullptr);
  bool known = a == 4 && symtab_lookupid(*root, &s, strings_hashfn_0(&s));
  if (!known) symtab_newop(root, s.text, op::deriv, a, b, 0x80000000u >> 1, 0, 0, difopnam);
  strings_free_0(&s);
}

static TreeNode *one() { return trees_new_real_0(1); }
static TreeNode *node(int32_t opcode, TreeNode *a = nullptr, TreeNode *b = nullptr) {
  TreeNode *n = trees_new_0(opcode);
  n->child[0] = a;
  if (b) n->child[1] = b;
  return n;
}
static TreeNode *x() { return node(op::xcoord); }
static TreeNode *y() { return node(op::ycoord); }
static TreeNode *x2() { return node(op::square, x()); }
static TreeNode *siny() { return node(op::sinf, y()); }

// The eight trees of the geometry.
static void build_trees(metric *m) {
  TreeNode **t = m->trees;
  for (int k = 0; k < 8; k++) t[k] = trees_free_0(t[k]);
  switch (m->geometry) {
    case 1: case 2: case 3:
      for (int k = 0; k < 8; k++) t[k] = one();
      break;
    case 4: case 7:
      t[0] = one(), t[1] = x(), t[2] = one(), t[3] = x(), t[4] = one(), t[5] = x(), t[6] = x(), t[7] = x();
      break;
    case 5:
      t[0] = one(), t[1] = one(), t[2] = y(), t[3] = y(), t[4] = y(), t[5] = one(), t[6] = y();
      t[7] = node(op::mulop, trees_new_real_0(m->angular), y());
      break;
    case 6:
      t[0] = one(), t[1] = one(), t[2] = x(), t[3] = x(), t[4] = x(), t[5] = one(), t[6] = x();
      t[7] = node(op::mulop, trees_new_real_0(m->angular), x());
      break;
    case 8:
      t[0] = one(), t[1] = x2(), t[2] = one(), t[3] = x2(), t[4] = one(), t[5] = x2(), t[6] = x2(), t[7] = x2();
      break;
    case 9: case 10:
      // h1 = 1, h2 = r, h3 = r sin(theta): tree 5 is h1 h3 = r sin(theta).
      t[0] = one(), t[1] = x(), t[2] = node(op::mulop, x(), siny());
      t[3] = node(op::mulop, x2(), siny()), t[4] = node(op::mulop, x(), siny()), t[5] = x();
      t[6] = node(op::mulop, x2(), siny()), t[7] = node(op::mulop, x2(), siny());
      // The volume element of the two-dimensional system turns the (r, theta) plane a
      // full turn about the axis, as the cylindrical ones do.
      if (m->geometry == 9) t[7] = node(op::mulop, trees_new_real_0(m->angular), t[7]);
      break;
    default:
      rtlib_fatal_in("metrics_coords_0", "USER METRIC UNIMPLEMENTED");
  }
}

// The unit normal's component k (1..dim) at a side: the normal component of the unit
// vector along coordinate k.
static TreeNode *normal_component(int k, int dim) {
  TreeNode *v = trees_new_0(op::vector);
  v->arity = uint8_t(dim);
  v->valuetag = vtag::vector;
  for (int i = 0; i < dim; i++) v->child[i] = trees_new_real_0(i == k - 1 ? 1 : 0);
  TreeNode *n = node(op::vncomp, v);
  n->arity = 1;
  return n;
}

TreeNode *metrics_side_element(const metric *m, bool full_turn) {
  TRACE("metrics_side_element");
  // H_k = h1 h2 h3 / h_k by coordinate: the cylinder (r, phi, z) has h = (1, r, 1), the
  // sphere (r, theta, phi) h = (1, r, r sin(theta)).
  TreeNode *H[3] = {};
  int dim;
  switch (m->geometry) {
    case 7: dim = 3, H[0] = x(), H[1] = one(), H[2] = x(); break;
    case 9: dim = 2, H[0] = node(op::mulop, x2(), siny()), H[1] = node(op::mulop, x(), siny()); break;
    case 10: dim = 3, H[0] = node(op::mulop, x2(), siny()), H[1] = node(op::mulop, x(), siny()), H[2] = x(); break;
    default: return nullptr;
  }
  TreeNode *sum = nullptr;
  for (int k = 1; k <= dim; k++) {
    TreeNode *term = node(op::square, node(op::mulop, H[k - 1], normal_component(k, dim)));
    sum = sum ? node(op::addop, sum, term) : term;
  }
  TreeNode *e = node(op::sqrt, sum);
  if (full_turn && m->dimension == 2) e = node(op::mulop, trees_new_real_0(m->angular), e);
  return e;
}

void metrics_coords(metric *m, idrec **root, StringList *names) {
  TRACE("metrics_coords_0");
  // 1. Two-dimensional Cartesian coordinates unless a system was chosen.
  if (m->geometry == 0) {
    String w = {9, 0, const_cast<char *>("CARTESIAN")};
    metrics_get_metric(m, &w, 2, names);
  }
  if (names->count < 4) strings_resize_1(names, 4, 4);
  // 2.-4. Each coordinate with its derivative operators.
  static const uint8_t pairs[3][6][2] = {{{1, 0}, {1, 1}},
                                         {{2, 0}, {2, 2}, {1, 2}, {2, 1}},
                                         {{3, 0}, {3, 3}, {1, 3}, {3, 1}, {2, 3}, {3, 2}}};
  static const int npairs[3] = {2, 4, 6};
  for (int c = 0; c < m->dimension && c < 3; c++) {
    symtab_new_coord(root, &names->items[c], uint16_t(c + 1));
    for (int k = 0; k < npairs[c]; k++) enter_deriv(root, names, pairs[c][k][0], pairs[c][k][1]);
  }
  // 5.-6. The time derivative.
  m->timein = 0;
  enter_deriv(root, names, 4, 0);
  m->coordsin = 1;
  // 7. The metric trees.
  build_trees(m);
}

void metrics_timecoord(metric *m, idrec **root, StringList *names) {
  TRACE("metrics_timecoord_0");
  if (m->timein) return;
  if (names->count < 4) strings_resize_1(names, 4, 4);
  symtab_new_coord(root, &names->items[3], 4);
  if (strings_compare_1(names->items[3].text, "T") != 0) enter_deriv(root, names, 4, 0);
  m->timein = 1;
}

void metrics_clear_metric(metric *m) {
  TRACE("metrics_clear_metric_0");
  m->coordsin = 0;
  m->dimension = 0;
  m->family = m->geometry = m->axis = 0;
  for (TreeNode *&t : m->trees) t = trees_free_0(t);
}
