// Overlapping rectangular regions whose corners sit on a coarse grid (sevenths, twentieths,
// fortieths), written to ten decimals as a user would: collinear sides, sides that run
// along each other and regions wholly hidden by later ones. Each later region wins where
// it overlaps, so the area of every region is counted cell by cell on the grid itself.
#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "elements/meshes.h"
#include "mesher/mesher2.h"
#include "tests/mesher/fixture.h"

namespace {

struct Rect {
  int x0, y0, x1, y1;  // grid lines, in units of 1/n
};

std::string coord(int k, int n) {
  char s[32];
  snprintf(s, sizeof s, "%.10f", double(k) / n);
  return s;
}

// The descriptor of the unit square (region 1) under the rectangles (regions 2, 3, ...).
std::string descriptor(const std::vector<Rect> &rects, int n) {
  std::string s =
      "SELECT NGRID = 10 VARIABLES u EQUATIONS div(grad(u)) + 1 = 0 BOUNDARIES "
      "REGION 1 START(0,0) VALUE(u) = 0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH ";
  int number = 1;
  for (const Rect &r : rects) {
    std::string x0 = coord(r.x0, n), y0 = coord(r.y0, n), x1 = coord(r.x1, n), y1 = coord(r.y1, n);
    s += "REGION " + std::to_string(++number) + " START(" + x0 + "," + y0 + ") LINE TO (" + x1 + "," + y0 + ") TO (" +
         x1 + "," + y1 + ") TO (" + x0 + "," + y1 + ") TO FINISH ";
  }
  return s + "END";
}

// Every grid cell goes to the last region that covers it.
std::map<int, double> exact_areas(const std::vector<Rect> &rects, int n) {
  std::map<int, double> area;
  for (int i = 0; i < n; i++)
    for (int j = 0; j < n; j++) {
      int owner = 1;
      for (size_t k = 0; k < rects.size(); k++)
        if (i >= rects[k].x0 && i < rects[k].x1 && j >= rects[k].y0 && j < rects[k].y1) owner = int(k) + 2;
      area[owner] += 1.0 / (double(n) * n);
    }
  return area;
}

// One layout per case: the grid n and the trial number, drawn from a generator seeded with both.
struct Overlaps : MeshedDescriptor, ::testing::WithParamInterface<std::pair<int, int>> {};

TEST_P(Overlaps, MeshWithTheirExactAreas) {
  auto [n, trial] = GetParam();
  std::mt19937 gen(uint32_t(1000 * n + trial));
  std::uniform_int_distribution<int> line(0, n);
  std::vector<Rect> rects;
  int count = 2 + trial % 3;
  while (int(rects.size()) < count) {
    Rect r{line(gen), line(gen), line(gen), line(gen)};
    if (r.x0 > r.x1) std::swap(r.x0, r.x1);
    if (r.y0 > r.y1) std::swap(r.y0, r.y1);
    if (r.x1 - r.x0 < 1 || r.y1 - r.y0 < 1) continue;
    rects.push_back(r);
  }
  // Every other trial hides a region: a later rectangle grown around an earlier one.
  if (trial % 2) {
    Rect h = rects[0];
    h.x0 = std::max(0, h.x0 - 1), h.y0 = std::max(0, h.y0 - 1);
    h.x1 = std::min(n, h.x1 + 1), h.y1 = std::min(n, h.y1 + 1);
    rects.push_back(h);
  }
  std::string text = descriptor(rects, n);
  SCOPED_TRACE(text);
  ASSERT_EQ(parse(text), "ok");
  p->phase = 5, p->basis = tri3;
  ASSERT_EQ(mesher2_freshmesh(p, 1, uint16_t(p->ngrid)), 6);
  EXPECT_TRUE(mesh_questions.empty());
  Mesh &m = p->mesh;
  std::map<int, double> meshed;
  for (int32_t c = 1; c <= m.cells.count; c++) {
    const MeshCell &cell = m.cells.data[c - 1];
    if (!cell.alive) continue;
    double a = meshes_cell_area_1(&m, c);
    EXPECT_GT(a, 0);
    meshed[cell.region] += a;
  }
  std::map<int, double> exact = exact_areas(rects, n);
  for (int r = 1; r <= int(rects.size()) + 1; r++) EXPECT_NEAR(meshed[r], exact[r], 1e-8) << "region " << r;
}

std::vector<std::pair<int, int>> layouts() {
  std::vector<std::pair<int, int>> v;
  for (int n : {7, 20, 40})
    for (int trial = 0; trial < 8; trial++) v.push_back({n, trial});
  return v;
}
INSTANTIATE_TEST_SUITE_P(SnappedRectangles, Overlaps, ::testing::ValuesIn(layouts()));

}  // namespace
