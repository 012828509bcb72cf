// Periodic mappings turned into transforms, and the branches of extruded domains:
// conditions merged from faces, surface checks and the curvature spacing limit.
#include <cmath>

#include "domain/faces.h"
#include "domain/periodic.h"
#include "model/trees.h"
#include "tests/domain/problem.h"

namespace {

// The evaluator's doubles. A mapping is tagged by its (first) leaf's value: 1 is
// (x + 10, y), 2 is (x, 0), 3 is (y, x, z + 5) with three components. A surface tree
// tagged 9 lies at the height of the current region; others at their value.
void vec_double(pde *, double out[3], TreeNode *t, double x, double y, double z, uint16_t) {
  double tag = t->opcode == op::vector ? t->child[0]->value : t->value;
  if (tag == 1) out[0] = x + 10, out[1] = y, out[2] = 0;
  if (tag == 2) out[0] = x, out[1] = 0, out[2] = 0;
  if (tag == 3) out[0] = y, out[1] = x, out[2] = z + 5;
  if (tag == 4) out[0] = 3, out[1] = 4, out[2] = 0;
}
double eval_double(pde *, TreeNode *t, double, double, double, uint16_t region) {
  return t->value == 9 ? region : t->value;
}

struct Threed : Problem {
  DominpdeServices saved = dominpde_services;
  void SetUp() override {
    Problem::SetUp();
    dominpde_services = {eval_double, vec_double};
  }
  void TearDown() override {
    dominpde_services = saved;
    Problem::TearDown();
  }
  periodic &declare(TreeNode *mapping) {
    periodic_one_more(&d().periodics);
    periodic &P = d().periodics.data[d().periodics.count - 1];
    P.mapping = mapping;
    return P;
  }
  // Surfaces z = a and z = b over a unit square region (and a second region beside it).
  void sheets(double a, double b) {
    polygon({{0, 0}, {1, 0}, {1, 1}, {0, 1}});
    polygon({{1, 0}, {2, 0}, {2, 1}, {1, 1}});
    finish();
    domain_tag_edges(dp);
    d().surfaces = 2;
    trees_one_more(&d().surfacetrees, trees_new_real_0(a));
    trees_one_more(&d().surfacetrees, trees_new_real_0(b));
    textin_resize(&d().surfplaces, 2, 2);
    d().surfplaces.data[0] = TextLoc{0, 3, 40}, d().surfplaces.data[1] = TextLoc{0, 5, 41};
  }
};

TEST_F(Threed, MappingsBecomeAffineTransforms) {
  periodic &P = declare(trees_new_real_0(1));
  dominpde_get_transforms(p, 2);
  const double want[12] = {1, 0, 0, 10, 0, 1, 0, 0, 0, 0, 1, 0};
  for (int k = 0; k < 12; k++) EXPECT_EQ(P.forward.t[k], want[k]) << k;
  EXPECT_EQ(P.inverse.t[3], -10);
  TreeNode *swap = trees_new_0(op::vector);
  swap->child[0] = trees_new_real_0(3), swap->child[1] = trees_new_real_0(0), swap->child[2] = trees_new_real_0(0);
  swap->arity = 3;
  periodic &Q = declare(swap);
  dominpde_get_transforms(p, 3);
  const double rows[12] = {0, 1, 0, 0, 1, 0, 0, 0, 0, 0, 1, 5};
  for (int k = 0; k < 12; k++) EXPECT_EQ(Q.forward.t[k], rows[k]) << k;
  TreeNode *flat = trees_new_real_0(2);
  flat->loc = TextLoc{0, 9, 30};
  declare(flat);
  EXPECT_EQ(run([&] { dominpde_get_transforms(p, 2); }), "Singular Transformation");
}

TEST_F(Threed, EdgesTakeTheirFacesConditionsAndSurfaceLookupsGoToFaces) {
  p->nvars = 1;
  auto [natural, ntag] = condition(naturalbc);
  auto [value, vtag] = condition(valuebc);
  uint16_t bc[2] = {natural, value}, tag[2] = {ntag, vtag};
  int32_t e = line(pt(0, 0), pt(1, 0));
  uint16_t f1 = faces_new_face(&d().faces, 1), f2 = faces_new_face(&d().faces, 1);
  d().faces.data[f1 - 1].bctag = tag[0], d().faces.data[f2 - 1].bctag = tag[1];
  vectorn_one_more(&edge(e).face_list, f1), vectorn_one_more(&edge(e).face_list, f2);
  d().threed = 1;
  dominpde_edge_bcs(p);
  EXPECT_EQ(dominpde_find_edge_bc(dp, uint16_t(e), 1, &p->formulas), bc[1]);
  EXPECT_EQ(dominpde_find_surf_bc(dp, f1, 1, &p->formulas), bc[0]);
  EXPECT_EQ(dominpde_find_face_bc(dp, f2, 1, &p->formulas), bc[1]);
}

TEST_F(Threed, SurfacesMustBeContinuousAndStacked) {
  sheets(0, 1);
  EXPECT_EQ(run([&] { dominpde_find_reglist(p); }), "");
  EXPECT_EQ(joint(2).regions.count, 2);  // (1,0) lies between both regions
  EXPECT_EQ(d().grid.box.z2, 1);
  for (uint16_t j = 1; j <= d().joints.count; j++) vectorn_free(&joint(j).regions);
  d().surfacetrees.data[1]->value = -1;
  EXPECT_EQ(run([&] { dominpde_find_reglist(p); }), "SURFACE 2 INTERSECTS AT (     0.00,     0.00)");
  for (uint16_t j = 1; j <= d().joints.count; j++) vectorn_free(&joint(j).regions);
  d().surfacetrees.data[0]->value = 9;
  d().surfacetrees.data[1]->value = 5;
  EXPECT_EQ(run([&] { dominpde_find_reglist(p); }), "SURFACE 1 IS DISCONTINUOUS AT ( 1.000000,     0.00)");
}

TEST_F(Threed, SteepSurfacesLimitTheSpacing) {
  sheets(0, 1);
  p->steepness = 0.5;
  for (int t : {1, 2}) {
    trees_resize_1(&d().regiontrees[t], 2, 2);
    for (int s = 0; s < 2; s++) {
      trees_resize_0(&d().regiontrees[t].data[s], 1, 1);
      d().regiontrees[t].data[s].data[0] = trees_new_real_0(t == 1 ? 4 : (s ? 2 : 0));
    }
  }
  double at[2] = {0.5, 0.5};
  EXPECT_NEAR(dominpde_threed_feature(p, dp, at, 1), 10.198039027185569, 1e-12);  // 8 * 0.5 * sqrt(26) / 2
  p->steepness = 0;
  EXPECT_EQ(dominpde_threed_feature(p, dp, at, 1), DOMAIN_HUGE);
}

}  // namespace
