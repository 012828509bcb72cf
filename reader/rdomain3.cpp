// rdomain3: the EXTRUSION section (surfaces, layers, shear, periodic extrusion) and the
// LAYER, SURFACE and VOID selectors inside BOUNDARIES, which share the boundary
// reader's working state.
#include "reader/rdomain3.h"

#include <cmath>
#include <cstring>

#include "model/pdedat_record.h"
#include "domain/periodic.h"
#include "model/treesimp.h"
#include "reader/rdexpr.h"
#include "reader/rdomain.h"
#include "reader/rdpde.h"
#include "runtime/rtlib.h"

namespace {

pde *problem3() { return rdpde_problem; }
Domain *domain3() { return rdpde_problem->mesh.domain; }

[[noreturn]] void err3(const TextLoc *loc, const char *message) { rdomain_error(loc, message); }
TreeNode *take3(parse_node *r, parse_node *n) { return rdomain_take(r, n); }
String take_string3(parse_node *n, bool upper) { return rdomain_take_string(n, upper); }

// Appends a layer name; the problem's layer count follows the list.
void addlayer(String *name) {
  Domain *d = domain3();
  strings_one_more(&d->layernames, name);
  strings_free_0(name);
  problem3()->layers = uint16_t(d->layernames.count);
}

// Appends a surface z = tree with its name and place; a surface that follows another
// without a LAYER between them opens an unnamed layer first.
void addsheet(TreeNode *tree, String *name, const TextLoc *place) {
  Domain *d = domain3();
  if (d->layernames.count < d->sheetnames.count) {
    String none = {};
    addlayer(&none);
  }
  trees_one_more(&d->surfacetrees, tree);
  strings_one_more(&d->sheetnames, name);
  strings_free_0(name);
  textin_one_more(&d->surfplaces, place);
  if (rdexpr_holds_definition(tree)) problem3()->stagedgeom = 1;
}

void extrux(const TextLoc *at, uint8_t periodic) {
  pde *p = problem3();
  Domain *d = domain3();
  d->shear[0] = 0;
  if (p->dimension != 3) err3(at, "Illegal in 2D Geometry");
  trees_free_1(&d->surfacetrees, 1);
  strings_free_1(&d->sheetnames, 1);
  strings_free_1(&d->layernames, 1);
  textin_free(&d->surfplaces);
  vectorl_free(&d->voids);
  p->layers = 0;
  d->extrusion = 1;
  d->perextrude = periodic;
}

// The shear tangent of an angle in degrees, folded like every other domain number.
double shear(parse_node *r, parse_node *n) {
  if (r->tree == n->tree) r->tree = nullptr;
  return std::tan(rdomain_stageize(n) * M_PI / 180);
}

// n as a layer or surface number within 1..count, else "Bad Layer Number" at it.
uint16_t selector(const parse_node *n, int32_t count) {
  if (n->value.integer < 1 || n->value.integer > count) err3(&n->loc, "Bad Layer Number");
  return uint16_t(n->value.integer);
}

}  // namespace

void rdomain3_extrusion(parse_node *, parse_node *const *v) { extrux(&v[1]->loc, 0); }
void rdomain3_pextrusion(parse_node *, parse_node *const *v) {
  rdomain_periodic_sign(1.0, &v[1]->loc);
  extrux(&v[1]->loc, 1);
}
void rdomain3_apextrusion(parse_node *, parse_node *const *v) {
  rdomain_periodic_sign(-1.0, &v[1]->loc);
  extrux(&v[1]->loc, 1);
}

// The list form: EXTRUSION z = e0, e1; "layer" e2 ...
void rdomain3_namedz0(parse_node *r, parse_node *const *v) {
  String none = {};
  addsheet(take3(r, v[4]), &none, &v[4]->loc);
}
void rdomain3_nextlayer(parse_node *r, parse_node *const *v) {
  String none = {};
  addsheet(take3(r, v[3]), &none, &v[3]->loc);
}
void rdomain3_labelayer(parse_node *r, parse_node *const *v) {
  String name = take_string3(v[2], false);
  addlayer(&name);
  String none = {};
  addsheet(take3(r, v[3]), &none, &v[3]->loc);
}

// The SURFACE/LAYER form.
void rdomain3_zsurface(parse_node *r, parse_node *const *v) {
  String none = {};
  addsheet(take3(r, v[4]), &none, &v[4]->loc);
}
void rdomain3_named_zsurface(parse_node *r, parse_node *const *v) {
  String name = take_string3(v[2], true);
  addsheet(take3(r, v[5]), &name, &v[5]->loc);
}
void rdomain3_named_layer(parse_node *, parse_node *const *v) {
  String name = take_string3(v[2], true);
  addlayer(&name);
}

void rdomain3_shearang(parse_node *r, parse_node *const *v) { domain3()->shear[0] = shear(r, v[3]); }
void rdomain3_yshearang(parse_node *r, parse_node *const *v) { domain3()->shear[1] = shear(r, v[3]); }

// A periodic extrusion makes the top surface the image of the bottom one:
// (x, y, z) -> (x, y, z - (top - bottom)).
void rdomain3_endextrud(parse_node *, parse_node *const *v) {
  TRACE("rdomain3_endextrud");
  Domain *d = domain3();
  if (!d->perextrude || d->surfacetrees.count == 0) return;
  const TextLoc *at = &v[1]->loc;
  TreeNode *rise = trees_new_1(op::subop, at);
  rise->arity = 2;
  rise->child[0] = trees_copy(d->surfacetrees.data[d->surfacetrees.count - 1]);
  rise->child[1] = trees_copy(d->surfacetrees.data[0]);
  uint8_t changed = 0;
  rise = treesimp_simplify(rise, 0, &changed);
  TreeNode *z = trees_new_1(op::subop, at);
  z->arity = 2;
  z->child[0] = trees_new_1(op::zcoord, at);
  z->child[1] = rise;
  TreeNode *map = trees_new_1(op::vector, at);
  map->arity = 3;
  map->child[0] = trees_new_1(op::xcoord, at);
  map->child[1] = trees_new_1(op::ycoord, at);
  map->child[2] = z;
  uint16_t n = periodic_one_more(&d->periodics);
  d->periodics.data[n - 1].mapping = map;
  rdomain_periodic = n;
}

// Selectors inside BOUNDARIES.
void rdomain3_layertag(parse_node *, parse_node *const *v) {
  rdexpr_layer = selector(v[2], domain3()->layernames.count);
  rdomain_surface = 0;
}
void rdomain3_surfacetag(parse_node *, parse_node *const *v) {
  rdomain_surface = selector(v[2], domain3()->sheetnames.count);
  rdexpr_layer = 0;
}
void rdomain3_layername(parse_node *, parse_node *const *v) {
  String name = take_string3(v[2], true);
  uint16_t n = domain_find_layer_name(domain3(), &name);
  strings_free_0(&name);
  if (!n) err3(&v[2]->loc, "Unknown Layer Name");
  rdexpr_layer = n;
  rdomain_surface = 0;
}
void rdomain3_surfacename(parse_node *, parse_node *const *v) {
  String name = take_string3(v[2], true);
  uint16_t n = domain_find_sheet_name(domain3(), &name);
  strings_free_0(&name);
  if (!n) err3(&v[2]->loc, "Unknown Surface Name");
  rdomain_surface = n;
  rdexpr_layer = 0;
}

// VOID after a layer selector: the region is empty in that layer.
void rdomain3_voidlayer(parse_node *, parse_node *const *) {
  if (rdexpr_layer) vectorl_one_more(&domain3()->voids, int32_t(rdexpr_layer) * 512 + rdexpr_region);
}

// name = LAYERED(...): accepted without effect.
void rdomain3_laydefine1(parse_node *, parse_node *const *) {}
void rdomain3_laydefine2(parse_node *, parse_node *const *) {}

int rdomain3_init() {
  TRACE("rdomain3");
  return 0;
}
