// The cell finder against a brute-force scan of every cell: the disk mesh with seeded
// random points, near misses, thin boxes, cells mapped and unmapped, compaction.
#include <gtest/gtest.h>

#include <random>

#include "elements/evalpoint.h"
#include "elements/mfinder.h"
#include "tests/elements/meshbuild.h"

namespace {

struct Finder : MeshTest {
  LocalCell lc{};
  evalpoint p{};
  // The lowest-numbered live cell whose local coordinates at (x, y, z) all exceed
  // -1e-6, scanning every cell; 0 if none.
  int32_t brute(double x, double y, double z = 0) {
    int k = elements_dimension[m.meshbasis] + 1;
    for (int32_t c = 1; c <= m.cells.count; c++) {
      if (!cell(c).alive) continue;
      LocalCell w{};
      meshes_localize(&m, &cell(c), &w, 0);
      double L[4], xyz[3] = {x, y, z};
      elements_get_lcoords(L, xyz, &w.frame, 0.5);
      if (std::all_of(L, L + k, [](double v) { return v > -1e-6; })) return c;
    }
    return 0;
  }
  int32_t find(double x, double y, double tol = 0, double z = 0) {
    p.x = x, p.y = y, p.z = z, p.cell = &lc;
    return mfinder_find_cell(&p, &m, tol);
  }
  void disk() {
    MshMesh d = read_msh(test_data("disk.msh"));
    build_mesh(&m, d.nodes, d.triangles, tri3, d.side_id());
  }
  // A strip of width 1 and height h, split into 2n triangles.
  void strip(double h, int n) {
    std::vector<Xyz> xyz;
    std::vector<Corners> cells;
    for (int i = 0; i <= n; i++) xyz.push_back({double(i) / n, 0, 0}), xyz.push_back({double(i) / n, h, 0});
    for (int i = 0; i < n; i++)
      cells.push_back({2 * i + 1, 2 * i + 3, 2 * i + 4}), cells.push_back({2 * i + 1, 2 * i + 4, 2 * i + 2});
    build_mesh(&m, xyz, cells, tri3, [](const Corners &) { return uint16_t(1); });
  }
};

TEST_F(Finder, RandomPointsInTheDiskMatchABruteForceScan) {
  disk();
  std::mt19937 rng(13);
  std::uniform_real_distribution<double> u(-1.001, 1.001);
  int inside = 0;
  for (int k = 0; k < 10000; k++) {
    double x = u(rng), y = u(rng);
    int32_t c = find(x, y), want = brute(x, y);
    ASSERT_EQ(c, want) << x << "," << y;
    if (c > 0) {
      inside++;
      EXPECT_TRUE(std::all_of(p.local, p.local + 3, [](double v) { return v > -1e-6; }));
      EXPECT_EQ(lc.nodes[0], cell(c).nodes.data[0]);
    }
  }
  EXPECT_GT(inside, 7500);  // the disk covers pi/4 of the square
  for (auto [x, y] : {std::pair{1.5, 0.0}, {0.0, -1.01}, {-1.003, 0.0}}) EXPECT_EQ(find(x, y, 10), 0);
}

TEST_F(Finder, NearMissesSharedSidesAndEmptyMeshes) {
  EXPECT_EQ(find(0, 0, 10), 0);  // no nodes: no slabs
  EXPECT_EQ(m.finder.binsx, 0);
  disk();
  // A boundary cell near 45 degrees, and the point at local (-0.05, 0.525, 0.525)
  // from its open side's far corner.
  int32_t c = 0;
  int s = 0;
  for (int32_t k = 1; k <= m.cells.count && !c; k++)
    for (int j = 0; j < 3 && !c; j++) {
      Xyz a = at(cell(k).nodes.data[(j + 1) % 3]);
      if (!cell(k).neighbour[j] && a[0] > 0.55 && a[1] > 0.55) c = k, s = j;
    }
  ASSERT_GT(c, 0);
  Xyz q{};
  double L[3] = {0.525, 0.525, 0.525};
  L[s] = -0.05;
  for (int i = 0; i < 3; i++)
    for (int a = 0; a < 2; a++) q[a] += L[i] * at(cell(c).nodes.data[i])[a];
  m.finder.built = 0;
  EXPECT_EQ(find(q[0], q[1], 0.1), -c);
  EXPECT_NEAR(p.local[s], -0.05, 1e-6);
  EXPECT_NEAR(p.local[(s + 1) % 3], 0.525, 1e-6);
  EXPECT_EQ(find(q[0], q[1], 0), 0);
  // The midpoint of an interior side belongs to the lower-numbered cell.
  for (int32_t k = 1; k <= 20; k++)
    for (int j = 0; j < 3; j++) {
      int32_t nb = cell(k).neighbour[j];
      if (nb <= 0) continue;
      Xyz a = at(cell(k).nodes.data[(j + 1) % 3]), b = at(cell(k).nodes.data[(j + 2) % 3]);
      EXPECT_EQ(find((a[0] + b[0]) / 2, (a[1] + b[1]) / 2), std::min(k, nb));
    }
}

TEST_F(Finder, ThinBoxesKeepTheirCellsFindable) {
  strip(0.01502, 10);
  mfinder_build_finder(&m);
  EXPECT_EQ(m.finder.widthy, 0.1 * m.finder.widthx);  // raised from 0.015 of it
  EXPECT_EQ(m.finder.binsy, 3);                       // the top edge computes slab 4
  for (int i = 0; i <= 20; i++) {
    double x = i / 20.0;
    EXPECT_GT(find(x, 0.01502), 0) << x;
    EXPECT_EQ(find(x, 0.01502), brute(x, 0.01502));
  }
}

TEST_F(Finder, MappedAndUnmappedCellsAnswerAsAFreshBuild) {
  disk();
  mfinder_build_finder(&m);
  // Split every fifth cell at its centroid (two new cells mapped), delete every
  // seventh (unmapped first), as a refiner does.
  int32_t cells = m.cells.count;
  for (int32_t c = 5; c <= cells; c += 5) {
    mfinder_unmap_finder_cell(&m.finder, &m, c);
    int32_t *n = cell(c).nodes.data, a = n[0], b = n[1], e = n[2];
    Xyz pa = at(a), pb = at(b), pe = at(e);
    int32_t g = meshes_new_node_0(&m, (pa[0] + pb[0] + pe[0]) / 3, (pa[1] + pb[1] + pe[1]) / 3, 0);
    cell(c).nodes.data[2] = g;
    meshes_delete_nodecell(&m, e, c);
    meshes_new_nodecell(&m, g, c);
    for (auto [x, y] : {std::pair{b, e}, {e, a}}) {
      int32_t k = meshes_new_cell_0(&m);
      cell(k).basis = tri3;
      meshes_renode3_1(&m.cells, k, x, y, g);
      meshes_new_nodecell3(&m, k, x, y, g);
      mfinder_map_finder_cell(&m.finder, &m, k);
    }
    mfinder_map_finder_cell(&m.finder, &m, c);
  }
  for (int32_t c = 7; c <= cells; c += 7) {
    mfinder_unmap_finder_cell(&m.finder, &m, c);
    for (int i = 0; i < 3; i++) meshes_delete_nodecell(&m, cell(c).nodes.data[i], c);
    meshes_delete_cell(&m, c);
  }
  mfinder_build_finder(&m);  // built: only lengthens
  std::mt19937 rng(7);
  std::uniform_real_distribution<double> u(-1, 1);
  std::vector<std::pair<double, double>> pts(2000);
  std::vector<int32_t> kept;
  for (auto &[x, y] : pts) x = u(rng), y = u(rng), kept.push_back(find(x, y, 0.1));
  finder_free(&m.finder);
  for (size_t i = 0; i < pts.size(); i++) ASSERT_EQ(find(pts[i].first, pts[i].second, 0.1), kept[i]) << i;
  for (size_t i = 0; i < 200; i++) ASSERT_EQ(find(pts[i].first, pts[i].second), brute(pts[i].first, pts[i].second));
  // Compaction moves cells: the finder is rebuilt on the next find.
  meshes_cell_compress(&m);
  EXPECT_EQ(m.finder.built, 0);
  for (size_t i = 0; i < 200; i++) ASSERT_EQ(find(pts[i].first, pts[i].second), brute(pts[i].first, pts[i].second));
  EXPECT_EQ(m.finder.built, 1);
}

TEST_F(Finder, TetrahedraOfACubeMatchABruteForceScan) {
  // The unit cube cut into six tetrahedra along its diagonal.
  std::vector<Xyz> xyz;
  for (int k = 0; k < 8; k++) xyz.push_back({double(k & 1), double(k >> 1 & 1), double(k >> 2 & 1)});
  std::vector<Corners> tets;
  int perm[3] = {0, 1, 2};
  do {
    int v1 = 1 << perm[0], v2 = v1 | 1 << perm[1];
    tets.push_back({1, v1 + 1, v2 + 1, 8});
  } while (std::next_permutation(perm, perm + 3));
  build_mesh(&m, xyz, tets, tet4, [](const Corners &) { return uint16_t(1); });
  d.threed = 1;
  std::mt19937 rng(3);
  std::uniform_real_distribution<double> u(-0.01, 1.01);
  for (int k = 0; k < 2000; k++) {
    double x = u(rng), y = u(rng), z = u(rng);
    ASSERT_EQ(find(x, y, 0, z), brute(x, y, z)) << x << "," << y << "," << z;
  }
  EXPECT_EQ(m.finder.binsz, 20);
  // A cell added after the build lengthens the z slabs with the others.
  int32_t k = meshes_clone_cell(&m, &cell(1), 4);
  mfinder_map_finder_cell(&m.finder, &m, k);
  mfinder_unmap_finder_cell(&m.finder, &m, 1);
  meshes_delete_cell(&m, 1);
  EXPECT_EQ(find(0.7, 0.5, 0, 0.2), k);  // inside the first tetrahedron
  EXPECT_LT(find(0.5, 0.5, 0.1, 1.0005), 0);  // above the top, inside the box's margin
}

// An L-shaped slab (the square [0,2]^2 without its upper right quarter, z from 0 to 1)
// in tetrahedra: a line that the finder says meets nothing has no point the finder
// finds, even with a wide tolerance; the columns over the missing quarter, away from
// its sides, are all answered without a search, as are lines outside the box.
TEST_F(Finder, LinesThatMeetNoCellHaveNoPointFound) {
  const int n = 6, layers = 3;  // squares per unit length, layers of cubes
  std::vector<Xyz> xyz;
  auto node = [&](int i, int j, int k) { return 1 + i + (2 * n + 1) * (j + (2 * n + 1) * k); };
  for (int k = 0; k <= layers; k++)
    for (int j = 0; j <= 2 * n; j++)
      for (int i = 0; i <= 2 * n; i++) xyz.push_back({double(i) / n, double(j) / n, double(k) / layers});
  std::vector<Corners> tets;
  for (int k = 0; k < layers; k++)
    for (int j = 0; j < 2 * n; j++)
      for (int i = 0; i < 2 * n; i++) {
        if (i >= n && j >= n) continue;
        int perm[3] = {0, 1, 2};
        do {  // the six tetrahedra of a cube along its diagonal
          int v1 = 1 << perm[0], v2 = v1 | 1 << perm[1];
          auto at = [&](int v) { return node(i + (v & 1), j + (v >> 1 & 1), k + (v >> 2 & 1)); };
          tets.push_back({at(0), at(v1), at(v2), at(7)});
        } while (std::next_permutation(perm, perm + 3));
      }
  build_mesh(&m, xyz, tets, tet4, [](const Corners &) { return uint16_t(1); });
  d.threed = 1;
  std::mt19937 rng(17);
  std::uniform_real_distribution<double> u(-0.2, 2.2);
  int skipped = 0;
  for (int t = 0; t < 600; t++) {
    double pos[3] = {u(rng), u(rng), u(rng) / 2};
    int a = t % 3;
    if (mfinder_line_may_meet(&m, a, pos)) continue;
    skipped++;
    for (int i = 0; i <= 40; i++) {
      double q[3] = {pos[0], pos[1], pos[2]};
      q[a] = -0.1 + 2.4 * i / 40;
      ASSERT_EQ(find(q[0], q[1], 10, q[2]), 0) << a << ": " << q[0] << "," << q[1] << "," << q[2];
    }
  }
  EXPECT_GT(skipped, 100);
  for (double x : {1.3, 1.6, 1.9})
    for (double y : {1.3, 1.6, 1.9}) {
      double pos[3] = {x, y, 0};
      EXPECT_FALSE(mfinder_line_may_meet(&m, 2, pos)) << x << "," << y;
    }
  double below[3] = {0.5, 0.5, 0}, across[3] = {0, 1.5, 0.5}, outside[3] = {0.5, 2.5, 0.5};
  EXPECT_TRUE(mfinder_line_may_meet(&m, 2, below));
  EXPECT_TRUE(mfinder_line_may_meet(&m, 0, across));  // meets the upper left arm
  EXPECT_FALSE(mfinder_line_may_meet(&m, 0, outside));
}

}  // namespace
