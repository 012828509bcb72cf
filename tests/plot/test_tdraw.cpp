// Drawing plot meshes into a view's display list: outlines in node order after the
// fill, and flagged sides in pieces.
#include "elements/basisfun.h"
#include "elements/quature.h"
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

TEST_F(TDraw, CellsFillThenOutline) {
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
  vectord_free(&x), vectord_free(&y);
}

}  // namespace
