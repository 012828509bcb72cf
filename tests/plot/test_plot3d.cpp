// Plots of extruded problems: plane cuts and extrusion surfaces of meshed cubes checked
// against exact areas and positions, paths through the tetrahedra against lengths, the
// boundary-face display against the cube's faces, and the 3D debug views' log lines.
#include <array>
#include <cmath>
#include <map>
#include <set>
#include <tuple>

#include "elements/basisfun.h"
#include "elements/cellnode.h"
#include "elements/quature.h"
#include "mesher/mesher2.h"
#include "mesher/mesher3.h"
#include "plot/contour.h"
#include "plot/plot2d.h"
#include "plot/doplot3.h"
#include "plot/pgrid1.h"
#include "plot/pgrid2.h"
#include "plot/plot3d.h"
#include "tests/elements/meshbuild.h"
#include "tests/graphics/fixture.h"
#include "tests/mesher/fixture.h"
#include "tests/reader/actions.h"

namespace {

using P3 = std::array<double, 3>;
P3 sub(P3 a, P3 b) { return {a[0] - b[0], a[1] - b[1], a[2] - b[2]}; }
P3 cross(P3 a, P3 b) { return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]}; }
double dot(P3 a, P3 b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }
double norm(P3 a) { return std::sqrt(dot(a, a)); }
P3 of(const point3d &q) { return {q.x, q.y, q.z}; }

struct Plots3d : Actions {
  decltype(report_hooks.yesno_message) platform = report_hooks.yesno_message;
  uint16_t cls = 0;
  static void SetUpTestSuite() {
    quature_init_quadrature();
    basisfun_node_coords();
    cellnode_init();
  }
  void SetUp() override {
    Actions::SetUp();
    std::copy(saved, saved + ACPDE_CODES + 1, acpde_handlers);
    report_hooks.yesno_message = answer_yes;
    basisfun_node_coords();
    gag_init();
    cls = drawing_class();
  }
  void TearDown() override {
    report_hooks.yesno_message = platform;
    gag_closegraph();
    Actions::TearDown();
  }
  Mesh &m() { return p->mesh; }
  // Parses and meshes the unit square extruded as given, with the plots given.
  void mesh(const std::string &extrusion, int32_t basis, const std::string &plots,
            const std::string &region = "START(0,0) LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH") {
    std::string text = "SELECT NGRID = 3 QUANTIZE = OFF COORDINATES CARTESIAN3 VARIABLES u EQUATIONS div(grad(u)) = 0 " +
                       extrusion + " BOUNDARIES REGION 1 " + region + " PLOTS " + plots + " END";
    ASSERT_EQ(parse(text), "ok");
    p->basis = basis;
    p->phase = 5;
    ASSERT_EQ(except_catch("mesh", [&] {
                mesher3_treat_sheets(p);
                if (mesher2_freshmesh(p, p->mesh.domain->twodee, uint16_t(p->ngrid)) == 6) mesher3_grid3d(p);
              }),
              0)
        << take_log();
  }
  plotdata &data(int k = 1) { return p->plotdatas.data[k - 1]; }
  // A plot of one expression on plot data k; the tree is freed at the end of the test.
  plotrec &plot_of(int k, const char *expr) {
    plot_one_more_1(&extra);
    plotrec &r = extra.data[extra.count - 1];
    r.data = uint32_t(k), r.problem = p;
    trees_one_more(&r.exprs, treebuild(expr));
    return r;
  }
  plotvector extra = {};
  ~Plots3d() override { plot_free_0(&extra); }
  // Sum over the plot meshes of f over each plot triangle (straight sub-triangles of
  // its vertices), from the nodes' positions in space.
  template <class F> double sum_cells(const plotdata &d, F f) {
    double s = 0;
    for (int32_t g = 0; g < d.meshes.count; g++) {
      const tmesh &t = d.meshes.data[g];
      for (int32_t c = 1; c <= t.source.count; c++) {
        const int32_t *n = t.cells.data + (c - 1) * t.ncell;
        s += f(t, n);
      }
    }
    return s;
  }
  // The integral of a field given at the plot nodes by position over the plot meshes.
  template <class F> double integral(const plotdata &d, F field) {
    double s = 0;
    for (int32_t g = 0; g < d.meshes.count; g++) {
      const tmesh &t = d.meshes.data[g];
      vectord u = {};
      vectord_new(&u, t.nodes.count, t.nodes.count);
      for (int32_t i = 0; i < t.nodes.count; i++) u.data[i] = field(of(t.nodes3.data[i]));
      s += trimesh_tintegrate(&t, &u);
      vectord_free(&u);
    }
    return s;
  }
};

// ---- Plane cuts -------------------------------------------------------------------

struct CutCase {
  const char *on;
  int32_t basis;
  double area, linear;  // of 1 and of x + 2y + 3z (-1: computed from the plane)
  P3 n;
  double c;             // the plane n . x = c
};
const double kHex = 3 * std::sqrt(3.0) / 4, kS3 = 1 / std::sqrt(3.0);
struct PlaneCuts : Plots3d, ::testing::WithParamInterface<CutCase> {};

TEST_P(PlaneCuts, OfTheExtrudedCube) {
  const CutCase &k = GetParam();
  mesh("EXTRUSION z = 0, 0.5, 1", k.basis, std::string("CONTOUR(u) ON ") + k.on);
  plotdata &d = data();
  // The reader moves the plane onto its snapping grid (within 1e-8); the cut is checked
  // on the exact plane, which meets mesh vertices.
  double sign = d.plane[0] + d.plane[1] + d.plane[2] > 0 ? 1 : -1;
  EXPECT_NEAR(-d.plane[3] * sign, k.c, 1e-8);
  d.plane[3] = -k.c * sign;
  ASSERT_EQ(pgrid2_validate_plot_mesh(p, &d), 1);
  EXPECT_NEAR(integral(d, [](P3) { return 1.0; }), k.area, 1e-10);
  // A vector is shown by its components along the plane's two in-plane rows.
  vector2d xs = {}, ys = {};
  plotrange range = {};
  plot2d_build_vector_data(p, p, &p->mesh, p->dimension, &plot_of(1, "VECTOR(1, 2, 3)"), &xs, &ys, &range, 1);
  EXPECT_NEAR(xs.data[0].data[0], d.inplane[0] + 2 * d.inplane[1] + 3 * d.inplane[2], 1e-12);
  EXPECT_NEAR(ys.data[0].data[0], d.inplane[3] + 2 * d.inplane[4] + 3 * d.inplane[5], 1e-12);
  EXPECT_NEAR(std::hypot(xs.data[0].data[0], ys.data[0].data[0]), norm(cross(k.n, {1, 2, 3})), 1e-12);
  vector2d_free(&xs, 1);
  vector2d_free(&ys, 1);
  double c = k.c;
  double linear = k.linear < 0 ? 1.5 + 3 * c : k.linear;  // z = c: the mean of x + 2y is 1.5
  EXPECT_NEAR(integral(d, [](P3 q) { return q[0] + 2 * q[1] + 3 * q[2]; }), linear, 1e-10);
  // Every plot node lies on the plane at its plot position; every cell turns
  // counter-clockwise in the plot plane.
  sum_cells(d, [&](const tmesh &t, const int32_t *n) {
    for (int j = 0; j < t.ncell; j++) {
      P3 q = of(t.nodes3.data[n[j] - 1]);
      EXPECT_NEAR(dot(k.n, q), c, 1e-12);
      double uv[2], back[3];
      pgrid2_project(uv, &d, q.data());
      EXPECT_NEAR(uv[0], t.nodes.data[n[j] - 1].x, 1e-12);
      EXPECT_NEAR(uv[1], t.nodes.data[n[j] - 1].y, 1e-12);
      pgrid2_unproject(back, &d, uv);
      EXPECT_NEAR(norm(sub({back[0], back[1], back[2]}, q)), 0, 1e-12);
    }
    const pointd &a = t.nodes.data[n[0] - 1], &b = t.nodes.data[n[1] - 1], &c = t.nodes.data[n[2] - 1];
    EXPECT_GT((b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x), 0);
    return 0.0;
  });
}
INSTANTIATE_TEST_SUITE_P(Plots3d, PlaneCuts, ::testing::Values(
    CutCase{"z = 0.5", tet4, 1, -1, {0, 0, 1}, 0.5}, CutCase{"z = 0.3", tet4, 1, -1, {0, 0, 1}, 0.3},
    CutCase{"x + y + z = 1.5", tet4, kHex, 3 * kHex, {kS3, kS3, kS3}, 1.5 * kS3},
    CutCase{"z = 0.5", tet10, 1, -1, {0, 0, 1}, 0.5}, CutCase{"z = 0.3", tet10, 1, -1, {0, 0, 1}, 0.3},
    CutCase{"x + y + z = 1.5", tet10, kHex, 3 * kHex, {kS3, kS3, kS3}, 1.5 * kS3}));

// Cuts one after another in one process, back and forth between two planes: each
// has the exact area a cut made first in a process of its own has.
TEST_F(Plots3d, EachCutStartsAfresh) {
  mesh("EXTRUSION z = 0, 0.5, 1", tet10, "CONTOUR(u) ON z = 0.3 CONTOUR(u) ON x + y + z = 1.5");
  const struct {
    int k;
    double area;
    P3 n;
    double c;
  } rows[] = {{1, 1, {0, 0, 1}, 0.3},
              {2, kHex, {kS3, kS3, kS3}, 1.5 * kS3},
              {1, 1, {0, 0, 1}, 0.3},
              {2, kHex, {kS3, kS3, kS3}, 1.5 * kS3}};
  for (const auto &r : rows) {
    plotdata &d = data(r.k);
    double sign = d.plane[0] + d.plane[1] + d.plane[2] > 0 ? 1 : -1;
    d.plane[3] = -r.c * sign, d.valid = 0;
    ASSERT_EQ(pgrid2_validate_plot_mesh(p, &d), 1);
    EXPECT_NEAR(integral(d, [](P3) { return 1.0; }), r.area, 1e-10) << r.k;
    sum_cells(d, [&](const tmesh &t, const int32_t *n) {
      for (int j = 0; j < t.ncell; j++) EXPECT_NEAR(dot(r.n, of(t.nodes3.data[n[j] - 1])), r.c, 1e-12);
      return 0.0;
    });
  }
}

// A cylinder of quadratic cells cut by the plane of its top: the cut's side nodes are
// pushed onto the curved cell faces, so its area is the top surface's (and near pi).
TEST_F(Plots3d, CurvedSidesOfACutFollowTheCells) {
  mesh("EXTRUSION z = 0, 1", tet10, "CONTOUR(u) ON z = 1 CONTOUR(u) ON SURFACE 2", "START(1,0) ARC(CENTER=0,0) ANGLE=360");
  data(1).plane[3] = -1;  // exactly the top
  ASSERT_EQ(pgrid2_validate_plot_mesh(p, &data(1)), 1);
  ASSERT_EQ(pgrid2_validate_plot_mesh(p, &data(2)), 1);
  double cut = integral(data(1), [](P3) { return 1.0; }), top = integral(data(2), [](P3) { return 1.0; });
  EXPECT_NEAR(top, M_PI, 1e-3);
  EXPECT_NEAR(cut, top, 1e-6);
  // A path across the cylinder: the curved faces give the circle's chord closely.
  for (auto [y, length, tol] : {std::tuple{0.5, std::sqrt(3.0), 2e-3}}) {
    plotdata &d = data(plot_one_more_0(&p->plotdatas));
    double from[3] = {-2, y, 0.5}, to[3] = {2, y, 0.5};
    std::copy_n(from, 3, d.lineends), std::copy_n(to, 3, d.lineends + 3);
    d.direction[0] = 1, d.linelength = 4, d.line = 1;
    d.lineplane[2] = 1, d.lineplane[3] = -0.5;  // z = 0.5
    d.linecross[1] = -1;                          // D x n: the plane y = const through O
    ASSERT_EQ(pgrid1_validate_1dplot_mesh(p, &d), 1);
    EXPECT_NEAR(integral(d, [](P3) { return 1.0; }), length, tol) << y;
  }
}

// The reference tetrahedron in all twelve vertex orders (every cut pattern occurs)
// against planes of known section.
TEST_F(Plots3d, CutPatternsOfTheReferenceTetrahedron) {
  struct Case {
    double a, b, c, e;  // a x + b y + c z + e >= 0 is the positive side
    double area;
  };
  const double r3 = std::sqrt(3.0) / 2, r2 = std::sqrt(2.0) / 4;
  const Case cases[] = {
      {1, 1, 1, -0.5, r3 * 0.25},   // three vertices positive
      {-1, -1, -1, 0.5, r3 * 0.25}, // one vertex positive
      {1, 1, 0, -0.5, r2},          // two and two
      {-1, -1, 0, 0.5, r2},
      {-1, -1, -1, 0, 0},           // through the origin alone: withdrawn
      {0, 0, -1, 0, 0.5},           // containing the face z = 0
  };
  const P3 corner[4] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
  Domain dom = {};
  dom.threed = 1;
  dom.grid.box = {0, 0, 0, 1, 1, 1};
  dom.grid.tolerance = 1e-9;
  Mesh own = p->mesh;  // the problem's empty mesh and its domain, put back at the end
  p->mesh = Mesh{};
  for (const auto &rot : elements_tet_rotations)
    for (const Case &k : cases) {
      meshes_free(&p->mesh, 0);
      p->mesh = Mesh{};
      std::vector<Xyz> xyz;
      for (int i = 0; i < 4; i++) xyz.push_back({corner[rot[i] - 1][0], corner[rot[i] - 1][1], corner[rot[i] - 1][2]});
      build_mesh(&p->mesh, xyz, {{1, 2, 3, 4}}, tet4, [](const Corners &) { return uint16_t(0); });
      p->mesh.domain = &dom;
      p->mesh.cells.data[0].region = p->mesh.cells.data[0].region2 = 1;
      plotdatavector v = {};
      plot_one_more_0(&v);
      plotdata &d = v.data[0];
      double len = std::sqrt(k.a * k.a + k.b * k.b + k.c * k.c);
      double n[4] = {k.a / len, k.b / len, k.c / len, k.e / len};
      std::copy_n(n, 4, d.plane);
      // In-plane rows: one across the normal, the other the normal crossed with it.
      P3 N = {n[0], n[1], n[2]}, e = std::fabs(n[0]) > 0.9 ? P3{0, 1, 0} : P3{1, 0, 0};
      P3 u = sub(e, {N[0] * dot(N, e), N[1] * dot(N, e), N[2] * dot(N, e)});
      double lu = norm(u);
      for (double &x : u) x /= lu;
      P3 w = cross(N, u);
      for (int i = 0; i < 3; i++) d.inplane[i] = u[i], d.inplane[3 + i] = w[i], d.inplane[6 + 2 * i] = u[i], d.inplane[7 + 2 * i] = w[i];
      d.cut = 1;
      d.valid = pgrid2_validate_plot_mesh(p, &d);
      double area = sum_cells(d, [](const tmesh &t, const int32_t *c) {
        const pointd &a = t.nodes.data[c[0] - 1], &b = t.nodes.data[c[1] - 1], &q = t.nodes.data[c[2] - 1];
        return 0.5 * ((b.x - a.x) * (q.y - a.y) - (b.y - a.y) * (q.x - a.x));
      });
      EXPECT_NEAR(area, k.area, 1e-12) << "plane " << k.a << " " << k.b << " " << k.c << " " << k.e << " order "
                                       << int(rot[0]) << int(rot[1]) << int(rot[2]) << int(rot[3]);
      EXPECT_EQ(d.valid, k.area > 0);
      plot_free_2(&v);
    }
  meshes_free(&p->mesh, 0);
  p->mesh = own;
}

TEST_F(Plots3d, LabelsOfACutPlane) {
  plotdata d = {};
  d.cut = 1;
  const double rows[6] = {1, 0, 0, 0.5, 0, -0.5};
  std::copy_n(rows, 6, d.inplane);
  pgrid2_fix_labels(p, &d);
  EXPECT_STREQ(d.axislabels[0].text, "X");
  EXPECT_STREQ(d.axislabels[1].text, " 0.5*X+-0.5*Z");  // the packed number's sign place
  for (auto &s : d.axislabels) strings_free_0(&s);
}

// ---- Extrusion surfaces ----------------------------------------------------------------

TEST_F(Plots3d, TiltedExtrusionSurface) {
  // The middle surface is met by the cells of both layers: each face is plotted once.
  mesh("EXTRUSION z = 0, 0.5 + 0.2*x, 1.5", tet4, "CONTOUR(u) ON SURFACE 2 CONTOUR(u) ON SURFACE 2 POINTS = 20");
  for (int k = 1; k <= 2; k++) {
    plotdata &d = data(k);
    ASSERT_EQ(pgrid2_validate_plot_mesh(p, &d), 1);
    // Area in the plane is the square's, area in space sqrt(1.04); every node, those
    // added by densify too, lies on the surface.
    EXPECT_NEAR(integral(d, [](P3) { return 1.0; }), 1, 1e-12);
    double area = sum_cells(d, [](const tmesh &t, const int32_t *n) {
      P3 a = of(t.nodes3.data[n[0] - 1]), b = of(t.nodes3.data[n[1] - 1]), c = of(t.nodes3.data[n[2] - 1]);
      return 0.5 * norm(cross(sub(b, a), sub(c, a)));
    });
    EXPECT_NEAR(area, std::sqrt(1.04), 1e-10);
    // The sides marked as boundary run along the square's rim, all of it once.
    double rim = sum_cells(d, [](const tmesh &t, const int32_t *n) {
      double s = 0;
      for (int k = 0; k < 3; k++) {
        if (!(t.flags.data[(n - t.cells.data) / t.ncell] & (TRIMESH_BOUNDARY << k))) continue;
        const pointd &a = t.nodes.data[n[(k + 1) % 3] - 1], &b = t.nodes.data[n[(k + 2) % 3] - 1];
        bool along = (a.x == b.x && (a.x == 0 || a.x == 1)) || (a.y == b.y && (a.y == 0 || a.y == 1));
        s += along ? std::hypot(a.x - b.x, a.y - b.y) : 100;
      }
      return s;
    });
    EXPECT_NEAR(rim, 4, 1e-12);
    for (int32_t g = 0; g < d.meshes.count; g++)
      for (int32_t i = 0; i < d.meshes.data[g].nodes3.count; i++) {
        P3 q = of(d.meshes.data[g].nodes3.data[i]);
        EXPECT_NEAR(q[2], 0.5 + 0.2 * q[0], 1e-12);
      }
  }
  EXPECT_GT(data(1).meshes.data[0].nodes3.count, 100);  // densified
  // A contour's values at the nodes are exact for a linear field; the slope factor of
  // the surface is sqrt(1 + 0.2^2) everywhere.
  vector2d values = {}, slopes = {};
  plotrange range = {};
  plot2d_build_contour_data(p, p, &p->mesh, p->dimension, &plot_of(2, "X + 2*Y + 3*Z"), &values, &slopes, &range, 1, 1);
  const tmesh &t = data(2).meshes.data[0];
  for (int32_t i = 0; i < t.nodes.count; i++) {
    P3 q = of(t.nodes3.data[i]);
    EXPECT_NEAR(values.data[0].data[i], q[0] + 2 * q[1] + 3 * q[2], 1e-12);
    EXPECT_NEAR(slopes.data[0].data[i], std::sqrt(1.04), 1e-12);
  }
  vector2d_free(&values, 1);
  vector2d_free(&slopes, 1);
}

// ---- Paths through tetrahedra ------------------------------------------------------

struct PathCase {
  const char *path;
  int32_t basis;
  P3 from, to;
};
struct Paths : Plots3d, ::testing::WithParamInterface<PathCase> {};

TEST_P(Paths, ThroughTheCube) {
  const PathCase &k = GetParam();
  mesh("EXTRUSION z = 0, 0.5, 1", k.basis, std::string("ELEVATION(u) ") + k.path);
  plotdata &d = data();
  ASSERT_EQ(pgrid1_validate_1dplot_mesh(p, &d), 1);
  // The reader snaps the ends onto its grid (within 1e-8): its own ends hold.
  P3 from = {d.lineends[0], d.lineends[1], d.lineends[2]}, to = {d.lineends[3], d.lineends[4], d.lineends[5]};
  EXPECT_NEAR(norm(sub(from, k.from)) + norm(sub(to, k.to)), 0, 1e-8);
  P3 D = sub(to, from);
  double L = norm(D);
  // Length, and a linear field exact: values equal to the distance along the path.
  EXPECT_NEAR(integral(d, [](P3) { return 1.0; }), L, 1e-10);
  EXPECT_NEAR(integral(d, [&](P3 q) { return dot(sub(q, from), D) / L; }), L * L / 2, 1e-10);
  EXPECT_NEAR(d.drange[0], 0, 1e-12);
  EXPECT_NEAR(d.drange[1], L, 1e-12);
  for (int32_t g = 0; g < d.meshes.count; g++) {
    const tmesh &t = d.meshes.data[g];
    for (int32_t i = 0; i < t.nodes.count; i++) {
      P3 q = of(t.nodes3.data[i]), r = sub(q, from);
      EXPECT_NEAR(norm(cross(r, D)) / L, 0, 1e-12);  // on the line
      EXPECT_NEAR(t.nodes.data[i].x, dot(r, D) / L, 1e-12);
    }
  }
}
INSTANTIATE_TEST_SUITE_P(Plots3d, Paths, ::testing::Values(
    PathCase{"FROM (0.5, 0.5, 0) TO (0.5, 0.5, 1)", tet4, {0.5, 0.5, 0}, {0.5, 0.5, 1}},
    PathCase{"FROM (0.1, 0.2, 0.3) TO (0.9, 0.7, 0.8)", tet4, {0.1, 0.2, 0.3}, {0.9, 0.7, 0.8}},
    PathCase{"FROM (0.1, 0.2, 0.3) TO (0.9, 0.7, 0.8)", tet10, {0.1, 0.2, 0.3}, {0.9, 0.7, 0.8}}));

// ---- Mesh display ------------------------------------------------------------------

struct Display : Plots3d, ::testing::WithParamInterface<int32_t> {};

TEST_P(Display, BoundaryFacesOfTheCube) {
  {
    int32_t basis = GetParam();
    mesh("EXTRUSION z = 0, 0.5, 1", basis, "ELEVATION(u) FROM (0, 0, 0) TO (1, 1, 1)");
    String c = text("mesh");
    uint16_t view = gag_newwindow_2(0, cls, 300, 300, &c, 0);
    // Far out along +x, above: the faces on x = 1 and z = 1 face the eye.
    double eye[3] = {20, 0.5, M_PI / 3};
    doplot3_show_3d_mesh(p, &p->mesh, view, eye, m().meshbasis, 1, 1);
    const doplot3_facelist &L = doplot3_faces;
    auto plane_of = [&](int32_t code) {
      const MeshCell &cell = m().cells.data[(code >> 3) - 1];
      const uint8_t *row = elements_tet4_faces[(code & 7) - 1];
      for (int axis = 0; axis < 3; axis++)
        for (double v : {0.0, 1.0}) {
          bool on = true;
          for (int j = 0; j < 3; j++) {
            const MeshNode &n = m().nodes.data[cell.nodes.data[row[j] - 1] - 1];
            on &= std::fabs((axis == 0 ? n.x : axis == 1 ? n.y : n.z) - v) < 1e-12;
          }
          if (on) return axis * 2 + int(v);
        }
      return -1;
    };
    // The list is exactly the boundary faces: all on the cube, area 6, every edge in two.
    std::map<int, int> per_plane;
    std::map<std::pair<int32_t, int32_t>, int> edges;
    double area = 0;
    int32_t kept = 0;
    surface_list(&m());
    for (int32_t i = 0; i < L.codes.count; i++) {
      int32_t code = L.codes.data[i];
      int plane = plane_of(code);
      EXPECT_GE(plane, 0);
      per_plane[plane]++;
      const MeshCell &cell = m().cells.data[(code >> 3) - 1];
      const uint8_t *row = elements_tet4_faces[(code & 7) - 1];
      int32_t n[3];
      P3 q[3];
      for (int j = 0; j < 3; j++) {
        n[j] = cell.nodes.data[row[j] - 1];
        const MeshNode &N = m().nodes.data[n[j] - 1];
        q[j] = {N.x, N.y, N.z};
      }
      area += 0.5 * norm(cross(sub(q[1], q[0]), sub(q[2], q[0])));
      for (int j = 0; j < 3; j++) edges[std::minmax(n[j], n[(j + 1) % 3])]++;
    }
    EXPECT_NEAR(area, 6, 1e-12);
    // A face across a periodic boundary (negative neighbour) stays listed.
    int32_t listed = L.codes.count, first = L.codes.data[0];
    m().cells.data[(first >> 3) - 1].neighbour[(first & 7) - 1] = -1;
    EXPECT_EQ(surface_list(&m()), listed);
    m().cells.data[(first >> 3) - 1].neighbour[(first & 7) - 1] = 0;
    for (auto &[e, count] : edges) EXPECT_EQ(count, 2);
    // Drawn again: the kept faces are those on x = 1 and z = 1, in far-to-near order.
    doplot3_show_3d_mesh(p, &p->mesh, view, eye, m().meshbasis, 0, 1);
    for (int32_t i = 0; i < L.codes.count; i++)
      if (L.codes.data[i]) {
        kept++;
        int plane = plane_of(L.codes.data[i]);
        EXPECT_TRUE(plane == 1 || plane == 5) << plane;
      }
    EXPECT_EQ(kept, per_plane[1] + per_plane[5]);
    ASSERT_EQ(L.order.count, kept);
    for (int32_t k = 1; k < L.order.count; k++)
      EXPECT_GE(L.depths.data[L.order.data[k - 1]], L.depths.data[L.order.data[k]]);
    // A near viewpoint moves out to twice the diagonal, keeping its direction; one at
    // the centre takes the default direction and draws finite points.
    double near[3] = {0.6, 0.6, 1};
    doplot3_show_3d_mesh(p, &p->mesh, view, near, m().meshbasis, 0, 0);
    EXPECT_NEAR(near[0], 0.5 + 2 * std::sqrt(2.0) * std::sqrt(0.5), 1e-12);
    EXPECT_NEAR(near[1], 0.5 + 2 * std::sqrt(2.0) * std::sqrt(0.5), 1e-12);
    double centre[3] = {0.5, 0.5, 1};
    doplot3_show_3d_mesh(p, &p->mesh, view, centre, m().meshbasis, 0, 0);
    EXPECT_NEAR(std::atan2(centre[1] - 0.5, centre[0] - 0.5), 1.375 * M_PI - 2 * M_PI, 1e-12);
    for (int32_t i = 0; i < L.codes.count; i++)
      for (int j = 0; j < 3; j++) EXPECT_TRUE(std::isfinite(L.points[j].data[i].x) && std::isfinite(L.points[j].data[i].y));
    // GRID(x, y, z) draws the same faces; GRID(x + 0.1, y, z) moves the box by 0.1.
    treevector tx = {}, ty = {}, tz = {}, shifted = {};
    trees_one_more(&tx, treebuild("X"));
    trees_one_more(&ty, treebuild("Y"));
    trees_one_more(&tz, treebuild("Z"));
    trees_one_more(&shifted, treebuild("X + 0.1"));
    String names[3] = {text("X"), text("Y"), text("Z")};
    plotdata d = {};
    double at[3] = {20, 0.5, M_PI / 3};
    doplot3_grid_plot3(view, p, &p->mesh, &p->styles[3], &p->solution, p->time, &d, at, &tx, &ty, &tz, names, 1, 1);
    EXPECT_EQ(std::count_if(L.codes.data, L.codes.data + L.codes.count, [](int32_t c) { return c != 0; }), kept);
    EXPECT_NEAR(d.box[0], 0, 1e-12);
    EXPECT_NEAR(d.box[3], 1, 1e-12);
    doplot3_grid_plot3(view, p, &p->mesh, &p->styles[3], &p->solution, p->time, &d, at, &shifted, &ty, &tz, names, 0,
                       0);
    EXPECT_NEAR(d.box[0], 0.1, 1e-12);
    EXPECT_NEAR(d.box[3], 1.1, 1e-12);
    EXPECT_NEAR(d.box[4], 1, 1e-12);
    for (treevector *t : {&tx, &ty, &tz, &shifted}) trees_free_1(t, 1);
  }
}
INSTANTIATE_TEST_SUITE_P(Plots3d, Display, ::testing::Values(tet4, tet10));

// ---- Debug views ---------------------------------------------------------------------

TEST_F(Plots3d, DebugViewsDrawAndLogTheFront) {
  mesh("EXTRUSION z = 0, 1", tet4, "ELEVATION(u) FROM (0, 0, 0) TO (1, 1, 1)");
  String c = text("debug");
  m().debugview = gag_newwindow_2(0, cls, 300, 300, &c, 0);
  uint16_t view = m().debugview;
  // Each drawing adds to the view's display list.
  auto entries = [&] {
    size_t n = 0;
    for (const glblock *b = gag_views[view - 1]->displaylist; b; b = b->next) n += b->count;
    return n;
  };
  size_t before = entries();
  auto grew = [&](const char *what) {
    EXPECT_GT(entries(), before) << what;
    before = entries();
  };
  for (uint8_t stereo : {0, 2, 3}) {
    p->stereo = stereo;
    gag_clearview_0(view);
    before = entries();
    plot3d_dbgrid3d(p->viewpoint, p->stereo, &p->basemesh, &m(), 0);
    if (stereo == 0) grew("domain and base mesh");
  }
  p->stereo = 0;
  plot3d_dbstereo(p->mesh.debugview, p->stereo);
  plot3d_db_cell3d(&m(), 1);
  before = entries();
  plot3d_show_mesh3(&plot3d_stereo, &m());
  grew("tetrahedra");
  plot3d_draw_cell_1(view, &m(), 1, 2, 3, 4);
  grew("one tetrahedron");
  plot_show_domain_3d(view, p->mesh.domain, 0.5);
  grew("domain at a height");
  rect3d inside = {0.25, 0.25, 0, 0.75, 0.75, 1}, below = {0, 0, 2, 1, 1, 3};
  plot_show_domain_zoomed_3d(view, p->mesh.domain, 0.5, &below);
  EXPECT_EQ(entries(), before);  // the height lies outside the box
  plot_show_domain_zoomed_3d(view, p->mesh.domain, 0.5, &inside);
  EXPECT_EQ(entries(), before);  // the square's sides all miss the inner box
  // One live shell face and one dead; cell 1's first side opened.
  const MeshCell &cell = m().cells.data[0];
  const int32_t faces[2][3] = {{1, 2, 3}, {4, 5, 6}};
  const uint8_t alive[2] = {1, 0};
  int32_t nb = cell.neighbour[0];
  uint16_t id = cell.bdid[0];
  m().cells.data[0].neighbour[0] = 0, m().cells.data[0].bdid[0] = 0;
  DebugCapture log;
  plot3d_show_front(&plot3d_stereo, &m(), "TEST", faces, alive, 2, 0);
  const uint8_t *row = elements_tet4_faces[0];
  char cellline[80];
  snprintf(cellline, sizeof cellline, "CELL %6d SIDE %d  %6d,%6d,%6d alive\n", 1, 1, cell.nodes.data[row[0] - 1],
           cell.nodes.data[row[1] - 1], cell.nodes.data[row[2] - 1]);
  std::string want = "\n TEST FRONT(1):\nSHELL      1       1,     2,     3 alive\n" + std::string(cellline);
  EXPECT_EQ(log.text(), want);
  m().cells.data[0].neighbour[0] = nb, m().cells.data[0].bdid[0] = id;
}

}  // namespace
