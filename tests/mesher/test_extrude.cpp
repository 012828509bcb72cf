// Extruded descriptors meshed into tetrahedra, checked against volumes, areas, the Euler
// count and the surfaces they were built from.
#include <array>
#include <cmath>
#include <map>
#include <set>

#include "domain/domain.h"
#include "elements/meshes.h"
#include "mesher/extrude3.h"
#include "mesher/mesh3.h"
#include "mesher/mesher2.h"
#include "mesher/mesher3.h"
#include "mesher/meshpde3.h"
#include "tests/mesher/fixture.h"
#include "tests/reader/actions.h"

namespace {

using P3 = std::array<double, 3>;

struct Extruded : Actions {
  decltype(meshes_yesno) platform = meshes_yesno;
  void SetUp() override {
    Actions::SetUp();
    std::copy(saved, saved + ACPDE_CODES + 1, acpde_handlers);
    meshes_yesno = answer_yes;
    mesh_questions.clear();
  }
  void TearDown() override {
    meshes_yesno = platform;
    Actions::TearDown();
  }
  Mesh &m() { return p->mesh; }
  Domain *D() { return p->mesh.domain; }
  // Parses the descriptor and meshes it as the run controller does; "ok" or the error.
  std::string mesh(const std::string &extrusion, const std::string &regions, int32_t basis = tet4,
                   const std::string &select = "NGRID = 4 QUANTIZE = OFF") {
    std::string text = "SELECT " + select +
                       " COORDINATES CARTESIAN3 VARIABLES u EQUATIONS div(grad(u)) = 0 EXTRUSION " + extrusion +
                       " BOUNDARIES " + regions + " END";
    std::string r = parse(text);
    if (r != "ok") return r;
    p->basis = basis;
    p->phase = 5;
    std::string out = "ok";
    int code = except_catch("mesh", [&] {
      mesher3_treat_sheets(p);
      if (mesher2_freshmesh(p, D()->twodee, uint16_t(p->ngrid)) == 6) mesher3_grid3d(p);
    });
    if (code) out = last_error();
    return out;
  }
  std::string last_error() {
    fflush(log);
    rewind(log);
    std::string report = slurp_stream(log);
    EXPECT_EQ(ftruncate(fileno(log), 0), 0);
    rewind(log);
    size_t e = report.rfind("ERROR: ");
    if (e != std::string::npos) return report.substr(e + 7, report.find('\n', e) - e - 7);
    e = report.rfind("FATAL");
    return e == std::string::npos ? report : report.substr(e, report.find('\n', e) - e);
  }
  P3 at(int32_t n) {
    const MeshNode &N = m().nodes.data[n - 1];
    return {N.x, N.y, N.z};
  }
  static double volume(const P3 &a, const P3 &b, const P3 &c, const P3 &d) {
    P3 u{b[0] - a[0], b[1] - a[1], b[2] - a[2]}, v{c[0] - a[0], c[1] - a[1], c[2] - a[2]},
        w{d[0] - a[0], d[1] - a[1], d[2] - a[2]};
    return (u[0] * (v[1] * w[2] - v[2] * w[1]) - u[1] * (v[0] * w[2] - v[2] * w[0]) + u[2] * (v[0] * w[1] - v[1] * w[0])) / 6;
  }
  double cell_volume(int32_t c) {
    const vectorl &n = m().cells.data[c - 1].nodes;
    return volume(at(n.data[0]), at(n.data[1]), at(n.data[2]), at(n.data[3]));
  }
  // Live cells, each volume positive; the total and the per-layer sums.
  double total_volume(std::map<int, double> *layers = nullptr) {
    double v = 0;
    for (int32_t c = 1; c <= m().cells.count; c++) {
      if (!m().cells.data[c - 1].alive) continue;
      double x = cell_volume(c);
      EXPECT_GT(x, 0) << "cell " << c;
      v += x;
      if (layers) (*layers)[D()->regions.data[m().cells.data[c - 1].region - 1].layer] += x;
    }
    return v;
  }
};

const char *kSquare = "REGION 1 START(0,0) LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH";

TEST_F(Extruded, UnitCubeInTwoLayers) {
  ASSERT_EQ(mesh("z = 0, 0.5, 1", kSquare), "ok");
  std::map<int, double> layers;
  EXPECT_NEAR(total_volume(&layers), 1, 1e-12);
  ASSERT_EQ(layers.size(), 2u);
  for (auto [k, v] : layers) EXPECT_NEAR(v, 0.5, 1e-12) << "layer " << k;
  // Faces without a neighbour cover the cube's surface; the Euler count of a ball.
  double open = 0;
  std::set<std::array<int32_t, 2>> edges;
  std::set<std::array<int32_t, 3>> faces;
  std::set<int32_t> vertices;
  const int kFace[4][3] = {{1, 3, 2}, {2, 3, 0}, {3, 1, 0}, {0, 1, 2}};
  int32_t T = 0;
  for (int32_t c = 1; c <= m().cells.count; c++) {
    const MeshCell &C = m().cells.data[c - 1];
    if (!C.alive) continue;
    T++;
    int32_t n[4];
    for (int i = 0; i < 4; i++) vertices.insert(n[i] = C.nodes.data[i]);
    for (int i = 0; i < 4; i++)
      for (int j = i + 1; j < 4; j++) edges.insert({std::min(n[i], n[j]), std::max(n[i], n[j])});
    for (int f = 0; f < 4; f++) {
      std::array<int32_t, 3> k = {n[kFace[f][0]], n[kFace[f][1]], n[kFace[f][2]]};
      std::sort(k.begin(), k.end());
      faces.insert(k);
      if (C.neighbour[f] != 0) continue;
      P3 a = at(k[0]), b = at(k[1]), d = at(k[2]);
      P3 u{b[0] - a[0], b[1] - a[1], b[2] - a[2]}, v{d[0] - a[0], d[1] - a[1], d[2] - a[2]};
      open += 0.5 * std::hypot(u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0]);
      EXPECT_NE(C.bdid[f], 0) << "cell " << c << " face " << f + 1;
    }
  }
  EXPECT_NEAR(open, 6, 1e-12);
  EXPECT_EQ(int64_t(vertices.size()) - int64_t(edges.size()) + int64_t(faces.size()) - T, 1);
  meshes_check_mesh(&m(), tet4, 1, 0);
  meshes_check_mesh(&m(), tet4, 1, 1);
  EXPECT_TRUE(mesh_questions.empty()) << (mesh_questions.empty() ? "" : mesh_questions[0]);
}

}  // namespace
