// DXF import: hand-written drawings of known geometry, drawings written by ezdxf, and
// damaged drawings; the written descriptors are held as golden texts.
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <regex>
#include <sstream>

#include "model/pdedat_record.h"
#include "model/symtab.h"
#include "reader/acpde.h"
#include "reader/ppde.h"
#include "reader/rddxf.h"
#include "runtime/debug.h"
#include "runtime/except.h"
#include "runtime/textin.h"
#include "tests/reader/problem.h"
#include "tests/runtime/harness.h"
#include "tests/tempfiles.h"

namespace {

// A drawing built group by group.
struct Dxf {
  std::string text;
  Dxf &g(int code, const std::string &value) {
    text += std::to_string(code) + "\n" + value + "\n";
    return *this;
  }
  Dxf &g(int code, double value) {
    std::ostringstream s;
    s.precision(17);
    s << value;
    return g(code, s.str());
  }
  Dxf &xy(int code, double x, double y) { return g(code, x).g(code + 10, y); }
  // The LAYER table of the names (layer "0" first), the ENTITIES section opened.
  Dxf &head(std::initializer_list<const char *> layers) {
    g(0, "SECTION").g(2, "TABLES").g(0, "TABLE").g(2, "LAYER").g(70, std::to_string(layers.size()));
    for (const char *n : layers) g(0, "LAYER").g(2, n).g(70, "0").g(62, "7").g(6, "CONTINUOUS");
    return g(0, "ENDTAB").g(0, "ENDSEC").g(0, "SECTION").g(2, "ENTITIES");
  }
  std::string end() { return g(0, "ENDSEC").g(0, "EOF").text; }
  Dxf &line(const char *layer, double x1, double y1, double x2, double y2) {
    return g(0, "LINE").g(8, layer).xy(10, x1, y1).xy(11, x2, y2);
  }
  Dxf &text_at(const char *layer, double x, double y, double h, const std::string &t) {
    return g(0, "TEXT").g(8, layer).xy(10, x, y).g(40, h).g(1, t);
  }
};

struct Import : BatchProblem {
  // Whether the descriptor text is one the grammar accepts (no action runs).
  bool parses(const std::string &text) {
    for (int c = 1; c <= ACPDE_CODES; c++)
      if (acpde_handlers[c]) acpde_handlers[c] = [](parse_node *, parse_node *const *) {};
    symtab_resize(&p->scopes, 1, 4);
    String name = {};
    uint16_t t = textin_preset_text(&name, 0, text.c_str());
    rdpde_select_input_1(t, p);
    TRACE("parses");
    HookScope hook;
    int code = except_catch("parses", [] { ppde_parse(); });
    textin_close_text(t);
    return code == 0;
  }
  int result = -1;
  std::string debug;
  // The descriptor written from the drawing ("<none>" when none was written).
  std::string import(const std::string &drawing, const char *ext = ".dxf") {
    std::string base = dir.file("drawing");
    remove((base + ".pde").c_str());
    spit(base + ext, drawing);
    OwnedString path(base);
    DebugCapture capture;
    result = rddxf_scan_dxf(&path);
    debug = capture.text();
    remove((base + ext).c_str());
    std::string out = slurp(base + ".pde");
    return out == "<missing>" ? "<none>" : out;
  }
  std::string log_text() {
    fflush(log);
    rewind(log);
    return slurp_stream(log);
  }
};

size_t count(const std::string &text, const std::string &what) {
  size_t n = 0;
  for (size_t k = text.find(what); k != std::string::npos; k = text.find(what, k + 1)) n++;
  return n;
}

// The points of "start(x,y)", "to (x,y)" and "center=x,y" in a written descriptor.
std::vector<std::pair<double, double>> points(const std::string &text, const char *what) {
  std::vector<std::pair<double, double>> out;
  std::regex re(std::string(what) + "\\(? *([-0-9.e+]+), *([-0-9.e+]+)");
  for (auto it = std::sregex_iterator(text.begin(), text.end(), re); it != std::sregex_iterator(); ++it)
    out.push_back({std::stod((*it)[1]), std::stod((*it)[2])});
  return out;
}

TEST_F(Import, EdgeCasesAsGoldenDescriptors) {
  // A closed four-vertex LWPOLYLINE on the one layer besides 0.
  Dxf square;
  square.head({"0", "plate"}).g(0, "LWPOLYLINE").g(8, "plate").g(90, "4").g(70, "1");
  for (auto [x, y] : {std::pair{0, 0}, {1, 0}, {1, 1}, {0, 1}}) square.xy(10, x, y);
  expect_golden("dxf/lwpolyline.pde", import(square.end()));
  EXPECT_EQ(result, 0);

  EXPECT_TRUE(parses(slurp(dir.file("drawing.pde"))));

  // Bulge 1 from (0, 0) to (2, 0): the half circle about (1, 0), then back along a line.
  Dxf half;
  half.head({"0", "cup"}).g(0, "LWPOLYLINE").g(8, "cup").g(90, "2").g(70, "1");
  half.xy(10, 0, 0).g(42, 1.0).xy(10, 2, 0);
  expect_golden("dxf/bulge.pde", import(half.end()));

  // A CIRCLE: one arc with its centre and a sweep of 360.
  Dxf circle;
  circle.head({"0", "disk"}).g(0, "CIRCLE").g(8, "disk").xy(10, 3, 4).g(40, 2.5);
  expect_golden("dxf/circle.pde", import(circle.end()));

  // VALUE near the first side goes before it; POINT near the end of the second side
  // goes after it; plain texts of the layer follow the REGION line.
  Dxf texts;
  texts.head({"0", "plate"});
  texts.line("plate", 0, 0, 10, 0).line("plate", 10, 0, 10, 10).line("plate", 10, 10, 0, 0);
  texts.text_at("plate", 5, 0.1, 0.5, "VALUE(u)=0").text_at("plate", 10.1, 9, 0.5, "POINT VALUE(u)=1");
  texts.text_at("plate", 4, 5, 0.5, "k=2");
  expect_golden("dxf/texts.pde", import(texts.end()));

  // Two lines head to head: the second is reversed.
  Dxf heads;
  heads.head({"0", "a"}).line("a", 0, 0, 1, 0).line("a", 2, 1, 1, 0);
  expect_golden("dxf/head_to_head.pde", import(heads.end()));

  // PLOTS on layer 0 and the texts below it come after the regions; the segments of
  // layer 0 make region 1; an apostrophe in a layer name is doubled.
  Dxf plots;
  plots.head({"0", "plate's rim"}).line("0", 0, 0, 1, 0).line("plate's rim", 0, 0, 0, 1);
  plots.text_at("0", 0, 9, 1, "TITLE 'x'").text_at("0", 0, 8, 1, "plots").text_at("0", 0, 7, 1, "CONTOUR(u)");
  plots.text_at("0", 0, 6, 1, "END").g(0, "MTEXT").g(8, "0").xy(10, 0, 10).g(40, 1.0).g(1, "VARIABLES\\Pu");
  expect_golden("dxf/plots.pde", import(plots.end()));
  EXPECT_TRUE(parses(slurp(dir.file("drawing.pde"))));  // the doubled apostrophe
  EXPECT_NE(debug.find("1| L0 BC0 PBC0 <VARIABLES>\n2| L0 BC0 PBC0 <u>\n"), std::string::npos) << debug;
}

// Bulges against the circle through both ends, and a rotated ellipse whose written
// points must lie on it.
TEST_F(Import, ArcsAndEllipsesOnTheirCurves) {
  for (double b : {0.25, -0.5, 1.0, 2.0}) {
    Dxf d;
    d.head({"0", "a"}).g(0, "LWPOLYLINE").g(8, "a").g(90, "2").xy(10, 1, 1).g(42, b).xy(10, 4, 5);
    auto c = points(import(d.end()), "center=");
    ASSERT_EQ(c.size(), 1u) << b;
    // The included angle is 4 atan(b); the centre is equidistant from both ends at
    // radius chord / (2 sin(2 atan b)).
    double r = 5 / (2 * std::fabs(sin(2 * atan(b))));
    EXPECT_NEAR(std::hypot(c[0].first - 1, c[0].second - 1), r, 1e-6 * r) << b;
    EXPECT_NEAR(std::hypot(c[0].first - 4, c[0].second - 5), r, 1e-6 * r) << b;
    // The arc turns by 4 atan(b) (counter-clockwise when positive): its middle lies
    // b times half the chord right of the chord's middle, whatever the size of b.
    std::smatch m;
    std::string text = import(d.end());
    ASSERT_TRUE(std::regex_search(text, m, std::regex("angle= *([-0-9.e+]+)"))) << text;
    double half = std::stod(m[1]) * M_PI / 360, x = 1 - c[0].first, y = 1 - c[0].second;
    EXPECT_NEAR(c[0].first + x * cos(half) - y * sin(half), 2.5 + b * 2.5 * 0.8, 1e-6) << b;
    EXPECT_NEAR(c[0].second + x * sin(half) + y * cos(half), 3 - b * 2.5 * 0.6, 1e-6) << b;
  }
  // Major axis (0, 2) (standing up), ratio 0.5, crossing parameter 0 (from 3π/2 to π/2).
  Dxf e;
  e.head({"0", "e"}).g(0, "ELLIPSE").g(8, "e").xy(10, 10, 20).xy(11, 0, 2).g(40, 0.5).g(41, 4.71238898).g(42, 1.57079633);
  std::string text = import(e.end());
  auto starts = points(text, "start"), ends = points(text, "to ");
  ASSERT_EQ(ends.size(), 2u) << text;
  ends.insert(ends.begin(), starts.at(0));
  for (auto [x, y] : ends) {
    double major = (y - 20) / 2, minor = -(x - 10) / 1;  // along (0, 1) and (-1, 0)
    EXPECT_NEAR(major * major + minor * minor, 1.0, 1e-7) << x << "," << y;
  }
  EXPECT_NEAR(ends.front().second, 20, 1e-6);  // parameter 3π/2: the minor axis end (11, 20)
  EXPECT_NEAR(ends.front().first, 11, 1e-6);
}

// Damaged and hostile drawings end with a message or a failed result, never a crash
// or a hang.
TEST_F(Import, DamagedDrawings) {
  Dxf good;
  good.head({"0", "a"}).line("a", 0, 0, 1, 0).line("a", 1, 0, 1, 1).text_at("a", 0.5, 0, 0.2, "VALUE(u)=0");
  std::string full = good.end();
  // Truncated after every line: failed, and a descriptor from what was read.
  for (size_t at = full.find('\n'); at != std::string::npos; at = full.find('\n', at + 1)) {
    std::string out = import(full.substr(0, at + 1));
    if (at + 1 < full.size()) EXPECT_EQ(result, 1) << at;
    EXPECT_EQ(out.rfind("BOUNDARIES\n", 0), 0u) << at;
  }
  EXPECT_EQ(result, 0);
  EXPECT_NE(log_text().find(" ERROR: Illegal Group\n"), std::string::npos);
  // Group codes that are not numbers; an x without its y.
  EXPECT_EQ(import("0\nSECTION\n2\nENTITIES\nzero\nLINE\n"), "BOUNDARIES\n");
  EXPECT_EQ(result, 1);
  import(Dxf().head({"0"}).g(0, "LINE").g(8, "0").g(10, 1.0).g(30, 2.0).end());
  EXPECT_EQ(result, 1);
  EXPECT_NE(log_text().find(" ERROR: Invalid Y-coord code\n"), std::string::npos);
  // A condition text of no height attaches to nothing.
  import(Dxf().head({"0", "a"}).line("a", 0, 0, 1, 0).text_at("a", 0.5, 0, 0, "VALUE(u)=0").end());
  EXPECT_EQ(result, 0);
  EXPECT_NE(debug.find(" 1 UNASSIGNED BOUNDARY CONDITIONS!"), std::string::npos) << debug;
  // Numbers that are not finite hold no place.
  for (const char *x : {"-inf", "nan", "1e999"}) {
    size_t before = log_text().size();
    import(Dxf().head({"0"}).g(0, "CIRCLE").g(8, "0").xy(10, 0, 0).g(40, x).end());
    EXPECT_EQ(result, 1) << x;
    EXPECT_NE(log_text().find(" ERROR: Illegal Group\n", before), std::string::npos) << x;
  }
  // No drawing: "Can't open file", nothing written, a failed result.
  OwnedString none(dir.file("none"));
  EXPECT_EQ(rddxf_scan_dxf(&none), 1);
  EXPECT_NE(log_text().find(dir.file("none") + ".DXF: Can't open file\n"), std::string::npos) << log_text();
  EXPECT_EQ(slurp(dir.file("none.pde")), "<missing>");
  // A descriptor that cannot be created is an execution error.
  remove(dir.file("drawing.pde").c_str());
  ASSERT_EQ(mkdir(dir.file("drawing.pde").c_str(), 0700), 0);
  spit(dir.file("drawing.dxf"), full);
  OwnedString drawing(dir.file("drawing"));
  TRACE("import");
  HookScope hook;
  EXPECT_EQ(except_catch("import", [&] { rddxf_scan_dxf(&drawing); }), EXCEPT_REPORTED);
  EXPECT_NE(log_text().find("ERROR: Can't Open PDE Output File\n"), std::string::npos);
  rmdir(dir.file("drawing.pde").c_str());
  // Three paths meeting at one point, the third running back into the first: the
  // writer ends, every segment written once.
  Dxf three;
  three.head({"0", "a"});
  three.g(0, "LWPOLYLINE").g(8, "a").xy(10, 5, 5).xy(10, 1, 0);
  three.g(0, "LWPOLYLINE").g(8, "a").xy(10, 0, 0).xy(10, 1, 0);
  three.g(0, "LWPOLYLINE").g(8, "a").xy(10, 1, 0).xy(10, 2, 2).xy(10, 0, 0);
  std::string out = import(three.end());
  EXPECT_EQ(count(out, "    line to"), 4) << out;
}

TEST_F(Import, TextNearASegmentAndOutOfReach) {
  Dxf d;
  d.head({"0", "a"}).line("a", 0, 0, 10, 0).line("a", 10, 0, 10, 10);
  d.text_at("a", 10.5, 5, 1, "NATURAL(u)=1");   // half a height from the second line
  d.text_at("a", 500, 500, 1, "LOAD(u)=2");     // beyond 100 heights of anything
  std::string out = import(d.end());
  EXPECT_NE(out.find("NATURAL(u)=1\n    line to ( 10.0, 10.0)"), std::string::npos) << out;
  EXPECT_EQ(out.find("LOAD"), std::string::npos);
  EXPECT_NE(debug.find(" 1 UNASSIGNED BOUNDARY CONDITIONS!\n"), std::string::npos);
}

// A hundred thousand separate lines, end to end in shuffled order: one path.
TEST_F(Import, ManySeparateLines) {
  Dxf d;
  d.head({"0", "a"});
  const int n = 100000;
  for (int k = 0; k < n; k++) {
    int j = int((int64_t(k) * 7919) % n);
    d.line("a", j, 0, j + 1, 0);
  }
  std::string out = import(d.end());
  EXPECT_EQ(count(out, "    line to"), n);
  EXPECT_EQ(count(out, "start("), 1);
}

// Drawings written by ezdxf as R12 and as R2000 give the same descriptor; that
// descriptor parses.
TEST_F(Import, EzdxfDrawings) {
  if (system("/usr/bin/python3 -c 'import ezdxf' 2>/dev/null") != 0) GTEST_SKIP() << "python3-ezdxf is missing";
  std::string script = dir.file("draw.py");
  spit(script, R"PY(import sys, ezdxf
for version, name in (("R12", "r12"), ("R2000", "r2000")):
    doc = ezdxf.new(version)
    doc.layers.new("plate")
    doc.layers.new("hole")
    try:
        doc.layers.remove("Defpoints")
    except Exception:
        pass
    m = doc.modelspace()
    m.add_line((0, 0), (4, 0), dxfattribs={"layer": "plate"})
    m.add_line((4, 3), (4, 0), dxfattribs={"layer": "plate"})
    m.add_arc((2, 3), 2, 0, 180, dxfattribs={"layer": "plate"})
    m.add_line((0, 3), (0, 0), dxfattribs={"layer": "plate"})
    m.add_circle((2, 1.5), 0.5, dxfattribs={"layer": "hole"})
    m.add_polyline2d([(6, 0), (7, 0), (7, 1)], close=True, dxfattribs={"layer": "hole"})
    m.add_text("VALUE(u)=0", dxfattribs={"layer": "plate", "height": 0.2, "insert": (2, 0.05)})
    m.add_text("VARIABLES", dxfattribs={"height": 0.2, "insert": (0, 9)})
    m.add_text("u", dxfattribs={"height": 0.2, "insert": (0, 8.5)})
    doc.saveas(sys.argv[1] + "/" + name + ".dxf")
# The unit square of the end-to-end problem, its descriptor in texts.
doc = ezdxf.new("R2000")
doc.layers.new("plate")
doc.layers.remove("Defpoints")
m = doc.modelspace()
m.add_lwpolyline([(0, 0), (1, 0), (1, 1), (0, 1)], close=True, dxfattribs={"layer": "plate"})
m.add_text("VALUE(u)=0", dxfattribs={"layer": "plate", "height": 0.05, "insert": (0.5, 0.02)})
for y, t in ((3, "VARIABLES"), (2.8, "u"), (2.6, "EQUATIONS"), (2.4, "div(grad(u))+1=0"),
             (-1, "PLOTS"), (-1.2, "CONTOUR(u)"), (-1.4, "END")):
    m.add_text(t, dxfattribs={"height": 0.1, "insert": (0, y)})
doc.saveas(sys.argv[1] + "/square.dxf")
)PY");
  ASSERT_EQ(system(("/usr/bin/python3 " + script + " " + dir.path).c_str()), 0);
  std::string r12 = import(slurp(dir.file("r12.dxf")));
  EXPECT_EQ(result, 0);
  std::string r2000 = import(slurp(dir.file("r2000.dxf")));
  EXPECT_EQ(result, 0);
  EXPECT_EQ(r12, r2000);
  expect_golden("dxf/ezdxf.pde", r2000);
  EXPECT_TRUE(parses(r2000));
  std::string square = import(slurp(dir.file("square.dxf")));
  EXPECT_EQ(result, 0);
  expect_golden("dxf/square.pde", square);
  EXPECT_TRUE(parses(square));
  EXPECT_FALSE(parses(square + "line to (1,2)\n"));
}

}  // namespace
