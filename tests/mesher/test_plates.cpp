// Plates with holes, read from descriptors and meshed: the reported cases and a seeded
// stream of random plates drawn every way the boundary language allows. Every mesh is
// checked against geometry known beforehand: cells counter-clockwise, every side shared
// or on the boundary, nodes inside the plate and outside round holes, and the area equal
// to the exact area once the segments between the curved sides and their chords are
// accounted for.
#include <cmath>
#include <cstdio>
#include <fstream>
#include <numbers>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "elements/meshes.h"
#include "mesher/mesher2.h"
#include "tests/mesher/fixture.h"

namespace {

constexpr double kPi = std::numbers::pi;

struct Hole {
  double cx, cy, r;  // a round hole; r = 0 for a square one
};

struct Plate : MeshedDescriptor {
  double least_angle = 180;  // over every mesh checked

  MeshNode &node(int32_t n) { return p->mesh.nodes.data[n - 1]; }
  MeshCell &cell(int32_t c) { return p->mesh.cells.data[c - 1]; }

  bool used = false;
  // A fresh problem for the next descriptor.
  void renew() {
    for (uint16_t *t : {&p->desctext, &p->cfgtext})
      if (*t) textin_close_text(*t), *t = 0;
    pdedat_free_pde(p);
    String path = {};
    strings_copyto_1(&path, dir.file("desc.pde").c_str());
    p = pdedat_new_pde(&path);
    strings_free_0(&path);
    report_current = p;
    rdpde_init_parse();
    mesh_questions.clear();
  }

  // Parses and meshes; "" when both went through, else what stopped them.
  std::string mesh_text(const std::string &text) {
    if (used) renew();
    used = true;
    std::string r = parse(text);
    if (r != "ok") return r;
    p->phase = 5, p->basis = tri3, p->dimension = 2;
    pde *q = p;
    int32_t phase = 0;
    int code = except_catch("plate", [&] { phase = mesher2_freshmesh(q, 1, uint16_t(q->ngrid)); });
    if (code) return "mesher stopped: " + take_log();
    if (phase != 6) return "phase " + std::to_string(phase);
    if (!mesh_questions.empty()) return mesh_questions[0];
    return "";
  }

  // The area between a boundary side p-q on a curved edge and the curve: positive when
  // the side leaves it outside the mesh (a hole's arc), negative when inside (a convex
  // outer arc); cell c is the side's cell and o its third vertex.
  double segment(int32_t c, int32_t a, int32_t b, int32_t o) {
    uint16_t e = meshes_common_edge(&p->mesh, a, b);
    if (!e) return 0;
    const Edge &E = p->mesh.domain->edges.data[e - 1];
    if (E.shape != SHAPE_ARC) return 0;
    const arcrec &arc = E.shapedata.arc;
    const MeshNode &A = node(a), &B = node(b), &O = node(o);
    double ch = std::hypot(B.x - A.x, B.y - A.y), r = arc.rx;
    double s = r * r * std::asin(std::min(1.0, ch / (2 * r))) - ch / 2 * std::sqrt(std::max(0.0, r * r - ch * ch / 4));
    auto side = [&](double x, double y) { return (B.x - A.x) * (y - A.y) - (B.y - A.y) * (x - A.x); };
    (void)c;
    return side(arc.cx, arc.cy) * side(O.x, O.y) < 0 ? s : -s;
  }

  // The checks of one mesh against its exact area and its holes; the plate is
  // [x0, x1] x [y0, y1] when x1 > x0.
  void expect_sound(double exact, const std::vector<Hole> &holes = {}, double x0 = 0, double x1 = 0, double y0 = 0,
                    double y1 = 0) {
    Mesh &m = p->mesh;
    double area = 0, chords = 0;
    int inverted = 0, open = 0, unlinked = 0;
    for (int32_t c = 1; c <= m.cells.count; c++) {
      const MeshCell &C = cell(c);
      if (!C.alive) continue;
      int32_t v[3] = {C.nodes.data[0], C.nodes.data[1], C.nodes.data[2]};
      const MeshNode &a = node(v[0]), &b = node(v[1]), &d = node(v[2]);
      double s = 0.5 * ((b.x - a.x) * (d.y - a.y) - (b.y - a.y) * (d.x - a.x));
      inverted += !(s > 0);
      area += s;
      for (int i = 0; i < 3; i++) {
        const MeshNode &P = node(v[i]), &Q = node(v[(i + 1) % 3]), &R = node(v[(i + 2) % 3]);
        double ux = Q.x - P.x, uy = Q.y - P.y, wx = R.x - P.x, wy = R.y - P.y;
        least_angle = std::min(least_angle, std::atan2(std::fabs(ux * wy - uy * wx), ux * wx + uy * wy) * 180 / kPi);
      }
      // Side s runs from the vertex after s to the one after that.
      for (int k = 0; k < 3; k++) {
        int32_t from = v[(k + 1) % 3], to = v[(k + 2) % 3], n = C.neighbour[k];
        if (n == 0) {
          open += node(from).kind == 0 || node(to).kind == 0 || !meshes_common_edge(&m, from, to);
          chords += segment(c, from, to, v[k]);
        } else if (n > 0) {
          const MeshCell &N = cell(n);
          bool back = false;
          for (int t = 0; t < 3; t++)
            back = back || (N.neighbour[t] == c && N.nodes.data[(t + 1) % 3] == to && N.nodes.data[(t + 2) % 3] == from);
          unlinked += !back;
        }
      }
    }
    EXPECT_EQ(inverted, 0);
    EXPECT_EQ(open, 0) << "sides without a neighbour off the boundary";
    EXPECT_EQ(unlinked, 0);
    EXPECT_NEAR(area, exact + chords, 1e-7 * exact) << "chord segments " << chords;
    int outside = 0;
    for (int32_t n = 1; n <= m.nodes.count; n++) {
      const MeshNode &N = node(n);
      if (!N.alive || !N.nodecell.count) continue;
      if (x1 > x0) outside += N.x < x0 - 1e-7 || N.x > x1 + 1e-7 || N.y < y0 - 1e-7 || N.y > y1 + 1e-7;
      for (const Hole &h : holes) outside += h.r > 0 && std::hypot(N.x - h.cx, N.y - h.cy) < 0.95 * h.r;
    }
    EXPECT_EQ(outside, 0);
  }
};

std::string read(const std::string &name) {
  std::ifstream f(std::string(QUENDAR_SOURCE_DIR) + "/tests/data/mesh2d/" + name);
  std::stringstream s;
  s << f.rdbuf();
  return s.str();
}

// The reported plates: round holes on the plate's mid-line, a coarse grid, spacing on
// the outer path beside a square hole, a bevelled plate, and periodic quarter annuli
// with spacing on the image side.
TEST_F(Plate, ReportedCasesMeshSoundly) {
  const double qa = 0.25 * 3 * kPi;  // quarter annulus between radii 1 and 2
  const struct {
    const char *file;
    double area;
    std::vector<Hole> holes;
  } cases[] = {
      {"c1.pde", 1 - kPi * 0.04, {{0.5, 0.5, 0.2}}},
      {"c8.pde", 8 - kPi * 0.09, {{1, 0, 0.3}}},
      {"h7.pde", 8 - kPi * 0.25, {{0, 0, 0.5}}},
      {"q16b.pde", 4.93 * 1.2 - 0.706 * 0.706, {}},
      {"q25.pde", 4.99 * 2.67 - 2 * 0.267 * 0.267 / 4 - 0.91 * 0.91, {}},
      {"rot0.pde", qa, {{0, 0, 1}}},
      {"rot3.pde", qa, {{0, 0, 1}}},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.file);
    mesh_questions.clear();
    ASSERT_EQ(mesh_text(read(c.file)), "");
    expect_sound(c.area, c.holes);
  }
}

// A full circle in radians is the full circle in degrees.
TEST_F(Plate, FullTurnInRadians) {
  const char *head = "SELECT NGRID = 8 VARIABLES u EQUATIONS div(grad(u)) + 1 = 0 BOUNDARIES REGION 1 "
                     "START(0,0) VALUE(u)=0 LINE TO (2,0) TO (2,1) TO (0,1) TO FINISH START(1.3,0.5) ";
  for (const char *angle : {"ANGLE = 2*pi RADIANS", "ANGLE = -2*pi RADIANS"}) {
    SCOPED_TRACE(angle);
    ASSERT_EQ(mesh_text(std::string(head) + "ARC(CENTER=1,0.5) " + angle + " END"), "");
    expect_sound(2 - kPi * 0.09, {{1, 0.5, 0.3}}, 0, 2, 0, 1);
  }
}

std::string num(double v) {
  char b[40];
  snprintf(b, sizeof b, "%.12g", v);
  return b;
}
std::string pt(double x, double y) { return "(" + num(x) + "," + num(y) + ")"; }

// One random plate: its descriptor, exact area and round holes.
struct Drawn {
  std::string text;
  double area, w, h;
  std::vector<Hole> holes;
};

Drawn draw(std::mt19937 &rng) {
  auto U = [&](double a, double b) { return std::uniform_real_distribution<double>(a, b)(rng); };
  auto I = [&](int a, int b) { return std::uniform_int_distribution<int>(a, b)(rng); };
  Drawn d;
  d.w = U(1.5, 4), d.h = U(1, 2.5);
  bool periodic = I(0, 3) == 0;
  std::string outer = "START(0,0) VALUE(u)=0 ";
  if (I(0, 2) == 0) outer += "NODE_SPACING=" + num(U(d.w / 40, d.w / 12)) + " ";
  if (periodic)
    outer += "LINE TO " + pt(d.w, 0) + " PERIODIC(x-" + num(d.w) + ",y) LINE TO " + pt(d.w, d.h) + " LINE TO " +
             pt(0, d.h) + " NATURAL(u)=0 LINE TO FINISH ";
  else
    outer += "LINE TO " + pt(d.w, 0) + " TO " + pt(d.w, d.h) + " TO " + pt(0, d.h) + " TO FINISH ";
  d.area = d.w * d.h;
  std::string body = outer;
  int holes = I(1, 3);
  struct Spot {
    double x, y, r;
  };
  std::vector<Spot> spots;
  for (int k = 0; k < holes; k++) {
    double size = U(0.1, 0.3) * std::min(d.w, d.h);
    bool round = I(0, 2) != 0;
    double reach = round ? size : size * std::sqrt(0.5);
    Spot s{};
    bool ok = false;
    for (int attempt = 0; attempt < 30 && !ok; attempt++) {
      // The mid-line is favoured: the joints of a hole there share the plate's grid lines.
      double y = I(0, 2) == 0 ? d.h / 2 : U(reach + 0.1, d.h - reach - 0.1);
      s = {U(reach + 0.15, d.w - reach - 0.15), y, reach};
      ok = s.y - reach > 0.1 && s.y + reach < d.h - 0.1;
      for (const Spot &o : spots) ok = ok && std::hypot(s.x - o.x, s.y - o.y) > s.r + o.r + 0.2 * std::min(s.r, o.r) + 0.05;
    }
    if (!ok) continue;
    spots.push_back(s);
    std::string path = "START";
    if (round) {
      double r = size, t = U(0, 2 * kPi);
      auto on = [&](double a) { return pt(s.x + r * std::cos(t + a), s.y + r * std::sin(t + a)); };
      path += on(0) + " ";
      if (I(0, 3) == 0) path += "NODE_SPACING=" + num(U(r / 4, r)) + " ";
      switch (I(0, 7)) {
        case 6:  // four quarters by a negative radius, clockwise
          path += "ARC(RADIUS=" + num(-r) + ") TO " + on(-kPi / 2) + " ARC(RADIUS=" + num(-r) + ") TO " + on(-kPi) +
                  " ARC(RADIUS=" + num(-r) + ") TO " + on(-1.5 * kPi) + " ARC(RADIUS=" + num(-r) + ") TO FINISH";
          break;
        case 7:  // four quarters by radius
          path += "ARC(RADIUS=" + num(r) + ") TO " + on(kPi / 2) + " ARC(RADIUS=" + num(r) + ") TO " + on(kPi) +
                  " ARC(RADIUS=" + num(r) + ") TO " + on(1.5 * kPi) + " ARC(RADIUS=" + num(r) + ") TO FINISH";
          break;
        case 0: path += "ARC(CENTER=" + num(s.x) + "," + num(s.y) + ") ANGLE=360"; break;
        case 1: path += "ARC(CENTER=" + num(s.x) + "," + num(s.y) + ") ANGLE=-360"; break;
        case 2: path += "ARC(CENTER=" + num(s.x) + "," + num(s.y) + ") ANGLE=2*pi RADIANS"; break;
        case 3:
          path += "ARC(CENTER=" + num(s.x) + "," + num(s.y) + ") ANGLE=180 ARC(CENTER=" + num(s.x) + "," + num(s.y) +
                  ") ANGLE=180";
          break;
        case 4:
          path += "ARC(CENTER=" + num(s.x) + "," + num(s.y) + ") TO " + on(kPi / 2) + " TO " + on(kPi) + " TO " +
                  on(1.5 * kPi) + " TO FINISH";
          break;
        default: path += "ARC TO " + on(kPi / 2) + " TO " + on(kPi) + " TO " + on(1.5 * kPi) + " TO FINISH";
      }
      d.area -= kPi * r * r;
      d.holes.push_back({s.x, s.y, r});
    } else if (I(0, 3) == 0) {
      // A square with one corner turned 20 degrees short of straight beside a short
      // edge, filleted with a radius longer than that edge; the fillet takes
      // r^2 (tan 10 - 10 degrees in radians) off the hole.
      double a = size / 2, x0 = s.x - a, x1 = s.x + a, y0 = s.y - a, y1 = s.y + a;
      double t = 20 * kPi / 180, e = U(0.15, 0.3) * size, r = U(1.2, 2.5) * e;
      double cx = x1 - U(0.3, 0.5) * size, dx = cx - e * std::cos(t), dy = y1 - e * std::sin(t);
      path += pt(x0, y0) + " LINE TO " + pt(x1, y0) + " TO " + pt(x1, y1) + " TO " + pt(cx, y1) + " FILLET(" + num(r) +
              ") TO " + pt(dx, dy) + " TO " + pt(x0, dy) + " TO FINISH";
      double P[6][2] = {{x0, y0}, {x1, y0}, {x1, y1}, {cx, y1}, {dx, dy}, {x0, dy}}, hole = 0;
      for (int i = 0; i < 6; i++) hole += 0.5 * (P[i][0] * P[(i + 1) % 6][1] - P[(i + 1) % 6][0] * P[i][1]);
      d.area -= hole - r * r * (std::tan(t / 2) - t / 2);
    } else {
      double a = size / 2, x0 = s.x - a, x1 = s.x + a, y0 = s.y - a, y1 = s.y + a;
      int kind = I(0, 2), corners = I(1, 3);
      double c = U(0.1, 0.3) * size;
      std::string cut = kind == 1 ? " FILLET(" + num(c) + ")" : kind == 2 ? " BEVEL(" + num(c) + ")" : "";
      path += pt(x0, y0) + " LINE TO " + pt(x1, y0) + (corners >= 1 ? cut : "") + " TO " + pt(x1, y1) +
              (corners >= 2 ? cut : "") + " TO " + pt(x0, y1) + (corners >= 3 ? cut : "") + " TO FINISH";
      double hole = size * size;
      if (kind == 1) hole -= corners * c * c * (1 - kPi / 4);
      if (kind == 2) hole -= corners * c * c / 4;
      d.area -= hole;
    }
    body += path + " ";
  }
  // Spacing laws over the plate: none, a step across x = c, a gradient in x, or a density.
  std::string law;
  double c = U(0.3, 0.7) * d.w, fine = U(d.w / 30, d.w / 15);
  switch (I(0, 4)) {
    case 1: law = "MESH_SPACING = if x < " + num(c) + " then " + num(fine) + " else " + num(4 * fine) + " "; break;
    case 2: law = "MESH_SPACING = " + num(fine) + " + " + num(U(0.05, 0.3)) + " * x "; break;
    case 3: law = "MESH_DENSITY = if y > " + num(d.h / 2) + " then " + num(2 / fine) + " else " + num(1 / fine) + " "; break;
    default: break;
  }
  d.text = "SELECT NGRID = " + std::to_string(I(4, 12)) +
           " VARIABLES u EQUATIONS div(grad(u)) + 1 = 0 BOUNDARIES REGION 1 " + law + body + "END";
  return d;
}

// A few hundred seeded plates with one to three holes: round ones in degrees, in
// radians, in halves, about a centre through points, through three points, by radius in
// halves and quarters, square ones plain, filleted or bevelled, filleted beside an edge
// shorter than the radius; spacing on some paths, MESH_SPACING steps and gradients and
// MESH_DENSITY over some plates, some plates periodic left to right.
TEST_F(Plate, RandomPlatesMeshSoundly) {
  std::mt19937 rng(20261207);
  int plates = 0;
  for (int k = 0; k < 300; k++) {
    Drawn d = draw(rng);
    SCOPED_TRACE(d.text);
    mesh_questions.clear();
    std::string r = mesh_text(d.text);
    EXPECT_EQ(r, "");
    if (!r.empty()) continue;
    expect_sound(d.area, d.holes, 0, d.w, 0, d.h);
    if (HasFailure()) break;
    plates++;
  }
  EXPECT_EQ(plates, 300);
  EXPECT_GT(least_angle, 15.0);
  printf("smallest angle over %d plates: %.2f degrees\n", plates, least_angle);
}

}  // namespace
