// Periodic mappings turned into transforms, and the branches of extruded domains:
// conditions merged from faces, surface checks and the curvature spacing limit.
#include <cmath>

#include "domain/faces.h"
#include "domain/periodic.h"
#include "model/trees.h"
#include "model/params.h"
#include "tests/domain/problem.h"
#include "tests/model/treebuild.h"

namespace {

struct Threed : Problem {
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
  periodic &P = declare(treebuild("VECTOR(X + 10, Y)"));
  dominpde_get_transforms(p, 2);
  const double want[12] = {1, 0, 0, 10, 0, 1, 0, 0, 0, 0, 1, 0};
  for (int k = 0; k < 12; k++) EXPECT_EQ(P.forward.t[k], want[k]) << k;
  EXPECT_EQ(P.inverse.t[3], -10);
  periodic &Q = declare(treebuild("VECTOR(Y, X, Z + 5)"));
  dominpde_get_transforms(p, 3);
  const double rows[12] = {0, 1, 0, 0, 1, 0, 0, 0, 0, 0, 1, 5};
  for (int k = 0; k < 12; k++) EXPECT_EQ(Q.forward.t[k], rows[k]) << k;
  declare(treebuild("VECTOR(X, 0)"));
  EXPECT_EQ(error_of([&] { dominpde_get_transforms(p, 2); }), "Singular Transformation");
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
  EXPECT_EQ(bcs_find_edge_bc(dp, uint16_t(e), 1, &p->formulas), bc[1]);
  EXPECT_EQ(bcs_find_surf_bc(dp, f1, 1, &p->formulas), bc[0]);
  EXPECT_EQ(bcs_find_face_bc(dp, f2, 1, &p->formulas), bc[1]);
}

TEST_F(Threed, SurfacesMustBeContinuousAndStacked) {
  sheets(0, 1);
  EXPECT_EQ(error_of([&] { dominpde_find_reglist(p); }), "");
  EXPECT_EQ(joint(2).regions.count, 2);  // (1,0) lies between both regions
  EXPECT_EQ(d().grid.box.z2, 1);
  for (uint16_t j = 1; j <= d().joints.count; j++) vectorn_free(&joint(j).regions);
  d().surfacetrees.data[1]->value = -1;
  EXPECT_EQ(error_of([&] { dominpde_find_reglist(p); }), "SURFACE 2 INTERSECTS AT (     0.00,     0.00)");
  for (uint16_t j = 1; j <= d().joints.count; j++) vectorn_free(&joint(j).regions);
  // Surface 1 at the height K, defined 1 in region 1 and 2 in region 2.
  paramset &defs = p->formulas.definitions;
  static String name{1, 1, const_cast<char *>("K")};
  uint16_t k = params_new_param(&defs, &name);
  for (uint16_t r : {1, 2}) params_define_param(&defs, k, r, 0, trees_new_real_0(r));
  TreeEnv env;
  env.names["K"] = {op::param, k, &name};
  trees_free_0(d().surfacetrees.data[0]);
  d().surfacetrees.data[0] = treebuild("K", env);
  d().surfacetrees.data[1]->value = 5;
  EXPECT_EQ(error_of([&] { dominpde_find_reglist(p); }), "SURFACE 1 IS DISCONTINUOUS AT ( 1.000000,     0.00)");
}

TEST_F(Threed, SteepSurfacesLimitTheSpacing) {
  sheets(0, 1);
  p->steepness = 0.5;
  for (int t : {1, 2}) {
    trees_resize_1(&d().regiontrees[t], 2, 2);
    for (int s = 0; s < 2; s++) {
      trees_resize_0(&d().regiontrees[t].data[s], 1, 1);
      d().regiontrees[t].data[s].data[0] = t == 1 ? treebuild("VECTOR(3, 4)") : trees_new_real_0(s ? 2 : 0);
    }
  }
  double at[2] = {0.5, 0.5};
  EXPECT_NEAR(dominpde_threed_feature(p, dp, at, 1), 10.198039027185569, 1e-12);  // 8 * 0.5 * sqrt(26) / 2
  p->steepness = 0;
  EXPECT_EQ(dominpde_threed_feature(p, dp, at, 1), DOMAIN_HUGE);
}

}  // namespace
