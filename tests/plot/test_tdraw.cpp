// Drawing plot meshes into a view's display list: outlines in node order after the
// fill, and flagged sides in pieces.
#include <map>

#include "elements/basisfun.h"
#include "elements/quature.h"
#include "graphics/gag3d.h"
#include "plot/trimesh.h"
#include "tests/graphics/fixture.h"

namespace {

struct TDraw : Graphics {
  tmesh t = {};
  void TearDown() override {
    trimesh_free_0(&t);
    Graphics::TearDown();
  }
  // The entries of a view's display list as (opcode, colour, point count).
  std::vector<std::array<int, 3>> entries(uint16_t view) {
    std::vector<std::array<int, 3>> out;
    for (glblock *b = gag_views[view - 1]->displaylist; b; b = b->next)
      for (uint32_t i = 0; i < b->count; i++) {
        const glop &g = b->entries[i];
        bool poly = g.opcode == glpydraw || g.opcode == glpyfill;
        out.push_back({int(g.opcode), g.colour, poly ? int(g.list.count) : 0});
      }
    return out;
  }
};

TEST_F(TDraw, CellsAndFlaggedSides) {
  quature_init_quadrature();
  basisfun_node_coords();
  // Two six-node cells of the unit square.
  pointd P[9] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}, {1, 0.5}, {0.5, 0.5}, {0.5, 0}, {0.5, 1}, {0, 0.5}};
  int32_t C[12] = {1, 2, 3, 5, 6, 7, 1, 3, 4, 8, 9, 6};
  trimesh_resize_0(&t, 9, 9, 0, 2, 2, tri6, tri6);
  std::copy(P, P + 9, t.nodes.data);
  std::copy(C, C + 12, t.cells.data);
  vectord x = {}, y = {};
  vectord_resize(&x, 9, 9), vectord_resize(&y, 9, 9);
  for (int i = 0; i < 9; i++) x.data[i] = P[i].x, y.data[i] = P[i].y;
  uint16_t w = window(400, 400);
  gag_scaleview_1(w, -0.1, -0.1, 1.1, 1.1);
  size_t before = entries(w).size();
  trimesh_draw_tmesh(w, &t, &x, &y, 3, 5);
  auto e = entries(w);
  std::vector<std::array<int, 3>> want = {{glpyfill, 5, 7}, {glpydraw, 3, 7}, {glpyfill, 5, 7}, {glpydraw, 3, 7}};
  EXPECT_EQ((std::vector<std::array<int, 3>>(e.begin() + before, e.end())), want);
  before = e.size();
  trimesh_draw_tcell(w, &t, 2, &x, &y, 4, 0);  // no fill: the outline alone
  e = entries(w);
  EXPECT_EQ((std::vector<std::array<int, 3>>(e.begin() + before, e.end())), (std::vector<std::array<int, 3>>{{glpydraw, 4, 7}}));
  // Flagged sides: the curved cell's two outer sides in max(trunc(1/0.3), 2) = 3 pieces,
  // the straight cell's in one, its diagonal (a line inside a region) last in colour 7.
  t.flags.data[0] = 1 | 4 | TRIMESH_CURVED;
  t.flags.data[1] = 1 | 2 | 4 | 64;
  plotframe f;
  gag1d_init(&f);
  trimesh_show_tmesh(w, &f, &t, &x, &y, 3, 0);
  auto lines = [&](size_t from) {
    std::map<int, int> n;  // drawn segments by colour
    auto all = entries(w);
    for (size_t i = from; i < all.size(); i++) n[all[i][1]] += all[i][0] == gldraw;
    return n;
  };
  before = entries(w).size();
  trimesh_draw_tboundary(w, &f, &t, 0.3, 2, 7);
  EXPECT_EQ(lines(before), (std::map<int, int>{{2, 8}, {7, 1}}));
  rect3d box = {0, 0, 0, 1, 1, 1};
  gag3d_plotmap3_0(&f, &box, 3, 0.5, 0.5, 0, 1, 1, 0, 1);
  before = entries(w).size();
  tmeshlist l = {1, 1, &t};
  trimesh_draw_3d_tboundary_1(w, &l, 0.3, 2, 7, 0.5, &f.transform);
  EXPECT_EQ(lines(before), (std::map<int, int>{{2, 8}, {7, 1}}));
  vectord_free(&x), vectord_free(&y);
}

}  // namespace
