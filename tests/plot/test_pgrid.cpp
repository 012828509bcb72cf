// Plot meshes of 2D plots and along paths, against the exact areas and lengths of the
// unit square and the cells and sides of its solution mesh.
#include "plot/pgrid1.h"
#include "plot/pgrid2.h"
#include "tests/plot/plotgrid.h"

namespace {

using PlotMeshes = PlotGrid;

int32_t cells_in(const plotdata &g) {
  int32_t n = 0;
  for (int32_t k = 0; k < g.meshes.count; k++) n += g.meshes.data[k].source.count;
  return n;
}

TEST_F(PlotMeshes, ContourMeshesOfASixNodeMesh) {
  grid(3, tri6);
  // Density 1: the solution cells themselves, flagged on the boundary sides only.
  add_data().points[0] = 1;
  ASSERT_EQ(pgrid2_validate_plot_mesh(p.get(), &D()), 1);
  const tmesh &t = D().meshes.data[0];
  EXPECT_EQ(cells_in(D()), 18);
  int flagged = 0;
  for (int32_t c = 0; c < t.flags.count; c++)
    for (int s = 0; s < 3; s++) flagged += (t.flags.data[c] >> s) & 1;
  EXPECT_EQ(flagged, 12);
  EXPECT_NEAR(integral(), 1, 1e-12);
  // Density 41: refined, still the whole square.
  add_data().points[0] = 41;
  ASSERT_EQ(pgrid2_validate_plot_mesh(p.get(), &D()), 1);
  EXPECT_GT(cells_in(D()), 18 * 40);
  EXPECT_NEAR(integral(), 1, 1e-9);
  EXPECT_EQ(std::string(D().axislabels[0].text, D().axislabels[0].length), "X");
  // On a cut plane each label spells its projection row (factors in the packed format).
  plotdata &c = add_data();
  c.cut = 1;
  double rows[6] = {1, 0, 0.5, 0, -1, 0};
  std::copy_n(rows, 6, c.inplane);
  pgrid2_fix_labels(p.get(), &c);
  EXPECT_EQ(std::string(c.axislabels[0].text, c.axislabels[0].length), "X+ 0.5*Z");
  EXPECT_EQ(std::string(c.axislabels[1].text, c.axislabels[1].length), "-1.0*Y");
}

TEST_F(PlotMeshes, ZoomRegionAndVectorSelections) {
  grid(3, tri3);
  // A window inside cell 1 (the lower-right triangle of the first square) holds no
  // node: its corners find the cell.
  plotdata &z = add_data();
  z.zoomed = 1;
  double box[6] = {0.25, 0.05, 0, 0.27, 0.07, 0};
  std::copy_n(box, 6, z.box);
  ASSERT_EQ(pgrid2_validate_plot_mesh(p.get(), &z), 1);
  EXPECT_EQ(cells_in(z), 1);
  EXPECT_EQ(z.meshes.data[0].source.data[0], 1);
  // Region 2 is the left column of squares: its six cells, and the window their hull.
  for (int32_t c = 1; c <= M().cells.count; c++) {
    MeshCell &cell = M().cells.data[c - 1];
    double x = 0;
    for (int j = 0; j < 3; j++) x += M().nodes.data[cell.nodes.data[j] - 1].x;
    if (x < 1.01) cell.region = 2;
  }
  plotdata &r = add_data();
  r.region = 2;
  ASSERT_EQ(pgrid2_validate_plot_mesh(p.get(), &r), 1);
  EXPECT_EQ(cells_in(r), 6);
  EXPECT_NEAR(r.window[2], 1.0 / 3, 1e-12);
  EXPECT_NEAR(integral(), 1.0 / 3, 1e-12);
  // A vector plot of density 1 samples on the smallest grid.
  plotdata &w = add_data();
  w.vector = 1, w.points[0] = 1;
  ASSERT_EQ(pgrid2_validate_plot_mesh(p.get(), &w), 1);
  EXPECT_GT(vectort_count(&w.strips[0].data[0]), 0);
}

TEST_F(PlotMeshes, SharedMeshesAreBuiltOnceAndReleased) {
  grid(2, tri3);
  auto key = [&](auto change) {
    plotdata &g = add_data();
    g.created = 1, g.points[0] = 5;
    change(g);
    return plot_assign_plot_mesh(&v);
  };
  EXPECT_EQ(key([](plotdata &) {}), 1);
  ASSERT_EQ(pgrid2_validate_plot_mesh(p.get(), &v.data[0]), 1);
  EXPECT_EQ(key([](plotdata &) {}), 1);  // the built mesh serves both
  EXPECT_EQ(key([](plotdata &g) { g.zoomed = 1, g.box[3] = 0.5; }), 2);
  EXPECT_EQ(key([](plotdata &g) { g.zoomed = 1, g.box[3] = 0.5, g.box[4] = 0.25; }), 3);
  EXPECT_EQ(key([](plotdata &g) { g.boundary = 1; }), 4);
  EXPECT_EQ(key([](plotdata &g) { g.fill = 1; }), 5);
  EXPECT_EQ(key([](plotdata &g) { g.paintregions = 1; }), 6);
  ASSERT_EQ(pgrid2_validate_plot_mesh(p.get(), &v.data[5]), 1);
  ASSERT_EQ(pgrid1_validate_1dplot_mesh(p.get(), &v.data[3]), 1);
  EXPECT_EQ(v.count, 6);  // every mesh goes with plot_free_2 (XMEM checked at the end)
}

// Paths across the middle row of a 3 x 3 mesh: its upper-left triangles come after
// the lower-right ones of their own and of the square before, so each of their pieces
// finds both ends made.
TEST_F(PlotMeshes, SegmentsAcrossTheMesh) {
  for (int basis : {tri3, tri6, tri9}) {
    SCOPED_TRACE(basis);
    meshes_free(&p->mesh, 0);
    domain_clear(&d);
    grid(3, basis);
    add_data().points[0] = 7;
    segment(0, 0.5, 1, 0.5);
    ASSERT_EQ(pgrid1_validate_1dplot_mesh(p.get(), &D()), 1);
    EXPECT_NEAR(integral(), 1, 1e-12);
    EXPECT_EQ(D().meshes.data[0].basis, uint32_t(basis - tri3 + lin2));
    // Along a row of mesh sides both neighbours give each piece: one is kept.
    add_data().points[0] = 0;
    segment(0, 1.0 / 3, 1, 1.0 / 3);
    ASSERT_EQ(pgrid1_validate_1dplot_mesh(p.get(), &D()), 1);
    EXPECT_EQ(cells_in(D()), 3);
    EXPECT_NEAR(integral(), 1, 1e-12);
  }
  // Ends inside cells: O at distance 0, E at 0.8; axis kind 1 ranges over x.
  add_data().lineaxis = 1;
  segment(0.1, 0.5, 0.9, 0.5);
  ASSERT_EQ(pgrid1_validate_1dplot_mesh(p.get(), &D()), 1);
  const tmesh &t = D().meshes.data[0];
  EXPECT_EQ(t.nodes.data[0].x, 0);
  EXPECT_NEAR(t.nodes3.data[0].x, 0.1, 1e-12);
  EXPECT_NEAR(t.nodes.data[t.nodes.count - 1].x, 0.8, 1e-12);
  EXPECT_NEAR(t.nodes3.data[t.nodes.count - 1].x, 0.9, 1e-12);
  EXPECT_NEAR(D().hrange[0], 0.1, 1e-12);
  EXPECT_NEAR(D().hrange[1], 0.9, 1e-12);
  EXPECT_NEAR(D().drange[1], 0.8, 1e-12);
  EXPECT_EQ(std::string(D().axislabels[0].text, D().axislabels[0].length), "X");
  EXPECT_NEAR(pgrid1_elevation_project(D().lineends + 3, &D()), 0.8, 1e-15);
}

TEST_F(PlotMeshes, BoundaryPath) {
  grid(3, tri3);
  plotdata &g = add_data();
  g.boundary = 1, g.points[0] = 40;
  ASSERT_EQ(pgrid1_validate_1dplot_mesh(p.get(), &g), 1);
  EXPECT_EQ(g.meshes.count, 4);
  EXPECT_EQ(g.closed, 1);
  EXPECT_EQ(g.hrange[0], 0);
  EXPECT_NEAR(g.hrange[1], 4, 1e-12);
  EXPECT_NEAR(integral(), 4, 1e-12);
  // The third side runs from x = 1 back to 0 at distances 2 to 3.
  const tmesh &top = g.meshes.data[2];
  EXPECT_NEAR(top.nodes.data[0].x, 2, 1e-12);
  EXPECT_NEAR(top.nodes3.data[0].x, 1, 1e-12);
  EXPECT_EQ(std::string(g.axislabels[0].text, g.axislabels[0].length), "Distance");
  EXPECT_EQ(pgrid1_fround(2.3, 1), 1.5);
  EXPECT_EQ(pgrid1_fround(-2.3, 1), -1.5);
}

}  // namespace
