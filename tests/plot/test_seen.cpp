// What a person sees of whole runs: the colours of labels, grids and colour modes in
// plot files and metafiles, elevations along axis-parallel lines, contours after a
// regrid of a time run, and the files a time run leaves. Each run is the program
// itself on a descriptor of tests/data/plots or examples, in a fresh folder; the
// files are read by the independent walkers of tests/plot and tests/graphics.
#include <sys/wait.h>

#include <cmath>
#include <random>
#include <regex>
#include <set>

#include "tests/tempfiles.h"

namespace {

struct Seen : ::testing::Test {
  TempDir tmp;
  // Copies the descriptor (from tests/data/plots, or examples with a leading '/')
  // into the folder, edited by the replacements, and runs it; returns the exit code.
  int run(const std::string &name, std::vector<std::pair<std::string, std::string>> edits = {}) {
    std::string text = name[0] == '/' ? slurp(QUENDAR_SOURCE "/examples" + name + ".pde")
                                      : slurp(std::string(QUENDAR_SOURCE "/tests/data/plots/") + name + ".pde");
    for (auto &[from, to] : edits) text = std::regex_replace(text, std::regex(from), to);
    std::string base = name[0] == '/' ? name.substr(1) : name;
    spit(tmp.file((base + ".pde").c_str()), text);
    std::string cmd = "cd '" + tmp.path + "' && '" QUENDAR_EXE "' -B -R -X " + base + ".pde >out.txt 2>&1";
    int status = system(cmd.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  std::string log(const std::string &name) { return slurp(tmp.file((name + ".log").c_str())); }
  // The plot file as the walker reads it, with the text colours of every plot.
  // With "-v", the entry counts of the views of every plot instead.
  std::string walk(const std::string &name, const std::string &option = "-t") {
    return ::run("python3 '" QUENDAR_SOURCE "/tests/plot/pgxwalk.py' " + option + " '" + tmp.file((name + ".pgx").c_str()) +
                 "' 2>&1");
  }
  // The points of the lines of plot n in its drawing view (the second of its tree) of
  // one colour: the curve of an elevation in the first spectrum colour (11), the frame
  // in the axis colour (37).
  std::vector<std::pair<double, double>> drawn(const std::string &name, int n, int colour) {
    std::istringstream in(::run("python3 '" QUENDAR_SOURCE "/tests/plot/pgxwalk.py' -p " + std::to_string(n) + " '" +
                                tmp.file((name + ".pgx").c_str()) + "'"));
    std::vector<std::pair<double, double>> out;
    for (int v, c; in >> v >> c;) {
      double x, y;
      in >> x >> y;
      if (v == 1 && c == colour) out.push_back({x, y});
    }
    return out;
  }
  // One field of the metafile walker's JSON reading of an EMF: the list of numbers.
  std::vector<long> emf(const std::string &file, const std::string &field) {
    std::string out = ::run("python3 '" QUENDAR_SOURCE "/tests/graphics/metawalk.py' emf '" + tmp.file(file.c_str()) +
                            "' | python3 -c 'import json,sys; v=json.load(sys.stdin)[\"" + field +
                            "\"]; print(*(v if isinstance(v, list) else [v]))'");
    std::vector<long> v;
    std::istringstream in(out);
    for (long x; in >> x;) v.push_back(x);
    return v;
  }
};

TEST_F(Seen, LabelsAndTheEigenvalueListingHaveAVisibleColour) {
  ASSERT_EQ(run("sm"), 0) << log("sm");
  std::string w = walk("sm");
  // Every plot of the group, the listing first, carries text, none of it in white (0).
  EXPECT_EQ(std::regex_replace(w, std::regex("\\{[1-9][0-9]*(,[1-9][0-9]*)*\\}"), "{ok}"),
            "header 2 3 0 group 7 7:Eigenvalues:{ok} 1:CONTOUR(u){ok} 4:ELEVATION(u){ok} 2:CONTOUR(u){ok} "
            "5:ELEVATION(u){ok} 3:CONTOUR(u){ok} 6:ELEVATION(u){ok}")
      << w;
  // No device text goes into a metafile while the text colour is white.
  for (const char *f : {"sm_02_1.emf", "sm_02_3.emf"}) {
    EXPECT_EQ(emf(f, "white_texts"), std::vector<long>{0}) << f;
    EXPECT_GT(emf(f, "types").size(), 10u) << f;
  }
}

// Palette colours as metafile colour references (0x00bbggrr).
constexpr long black = 0, red = 0x1be6, blue = 0xe6104e;

TEST_F(Seen, GridPlotsArePaintedInBandsWithBlackOutlines) {
  ASSERT_EQ(run("grid"), 0) << log("grid");
  // GRID(x, y) PAINTED: the cells filled in the first band colour of one region,
  // outlined in black (the frame adds its blue); nothing solid cyan.
  EXPECT_EQ(emf("grid_03.emf", "fills"), std::vector<long>{red});
  EXPECT_EQ(emf("grid_03.emf", "strokes"), (std::vector<long>{black, blue}));
  // Unpainted: the cells outlined in the band colour, nothing filled.
  ASSERT_EQ(run("g2"), 0) << log("g2");
  EXPECT_EQ(emf("g2_01.emf", "fills"), std::vector<long>{});
  EXPECT_EQ(emf("g2_01.emf", "strokes"), (std::vector<long>{black, red, blue}));
}

TEST_F(Seen, ColourModesOfAPlot) {
  ASSERT_EQ(run("mono"), 0) << log("mono");
  std::vector<long> bw = emf("mono_01.emf", "strokes"), mono = emf("mono_02.emf", "strokes"),
                    colour = emf("mono_03.emf", "strokes");
  // BLACK: black lines (and white at most); MONO: greys only; colour: the spectrum.
  EXPECT_LE(bw.size(), 2u);
  for (long c : bw) EXPECT_TRUE(c == 0 || c == 0xffffff) << std::hex << c;
  EXPECT_GE(mono.size(), 3u);
  for (long c : mono) EXPECT_TRUE((c & 0xff) == (c >> 8 & 0xff) && (c & 0xff) == (c >> 16)) << std::hex << c;
  EXPECT_GT(colour.size(), 10u);
}

TEST_F(Seen, AGridPlotIn3DHasALegend) {
  ASSERT_EQ(run("cube3"), 0) << log("cube3");
  // The window, the drawing and the legend view, the legend holding the title lines.
  std::string w = walk("cube3", "-v");
  std::smatch m;
  ASSERT_TRUE(std::regex_search(w, m, std::regex("1:GRID\\(x, y, z\\)<[0-9]+/[0-9]+/([0-9]+)>"))) << w;
  EXPECT_GE(std::stoi(m[1]), 10) << w;
}

// Lowest and highest x and y of a set of points.
struct Extent {
  double x1 = 1e30, x2 = -1e30, y1 = 1e30, y2 = -1e30;
  explicit Extent(const std::vector<std::pair<double, double>> &v) {
    for (auto [x, y] : v) x1 = std::min(x1, x), x2 = std::max(x2, x), y1 = std::min(y1, y), y2 = std::max(y2, y);
  }
};

TEST_F(Seen, ElevationsAlongAnAxisRunOverTheirCoordinate) {
  // u = x on the square -1..1: every cut drawn over x (or over y for the slanted one's
  // distance) runs from the lower left to the upper right corner of its data inside the frame.
  ASSERT_EQ(run("lin"), 0) << log("lin");
  for (int n = 1; n <= 3; n++) {
    std::vector<std::pair<double, double>> curve = drawn("lin", n, 11);
    ASSERT_GT(curve.size(), 10u) << n;
    Extent c(curve), frame(drawn("lin", n, 37));
    EXPECT_GT(c.x1, frame.x1) << n;
    EXPECT_LT(c.x2, frame.x2) << n;
    EXPECT_GT(c.x2 - c.x1, 0.7 * (frame.x2 - frame.x1)) << n;
    // A straight rising line (the tag letters on it aside).
    size_t on = 0;
    for (auto [x, y] : curve) on += std::fabs((y - c.y1) / (c.y2 - c.y1) - (x - c.x1) / (c.x2 - c.x1)) < 0.01;
    EXPECT_GT(on, curve.size() * 9 / 10) << n;
  }
  // The disk's parabola along y = 0 from x = -1 to 1 peaks in the middle, at x = 0.
  ASSERT_EQ(run("/disk"), 0) << log("disk");
  std::vector<std::pair<double, double>> curve = drawn("disk", 3, 11);
  ASSERT_GT(curve.size(), 10u);
  Extent c(curve);
  auto peak = *std::max_element(curve.begin(), curve.end(), [](auto a, auto b) { return a.second < b.second; });
  EXPECT_NEAR(peak.first, (c.x1 + c.x2) / 2, 0.01 * (c.x2 - c.x1));
}

// Every number in a text after its first occurrence of a marker.
std::vector<double> numbers(const std::string &text, const std::string &marker = "") {
  std::vector<double> v;
  std::string rest = text.substr(std::min(text.size(), text.find(marker)));
  std::regex number("-?[0-9]+\\.[0-9]*([eE][-+]?[0-9]+)?");
  for (auto it = std::sregex_iterator(rest.begin(), rest.end(), number); it != std::sregex_iterator(); ++it)
    v.push_back(std::stod(it->str()));
  return v;
}

TEST_F(Seen, ATimeRunDrawsEachPlotTimeOnceOnItsCurrentMesh) {
  // Three plot times; the error of the decaying mode against its exact value printed.
  ASSERT_EQ(run("art2", {{"0\\.05 0\\.1", "0.02 0.05 0.1"}, {"t\\)\\) EMF", "t)) EMF PRINT"}}), 0) << log("art2");
  // The plot file: one group per plot time, the last not repeated.
  std::string w = walk("art2", "");
  EXPECT_EQ(std::regex_replace(w, std::regex("CONTOUR\\(u-[^ ]*"), "E"),
            "header 4 0 1 group 3 1:CONTOUR(u) 3:E 4:GRID(x,y) group 3 1:CONTOUR(u) 3:E 4:GRID(x,y) "
            "group 3 1:CONTOUR(u) 3:E 4:GRID(x,y)");
  // After the cells merged, the plotted error is that of the solution (below 3e-4), not
  // of values taken through an earlier mesh.
  for (const char *f : {"art2.p02_1", "art2.p02_2", "art2.p02_3"}) {
    std::vector<double> v = numbers(slurp(tmp.file(f)), "DATA");
    ASSERT_GT(v.size(), 2000u) << f;
    double worst = 0;
    for (double x : v) worst = std::max(worst, std::fabs(x));
    EXPECT_LT(worst, 1e-3) << f;
  }
  EXPECT_EQ(slurp(tmp.file("art2.p02_4")), "<missing>");
  // A metafile per drawing, each of its own time.
  std::set<std::string> pictures;
  for (const char *f : {"art2_01_1.emf", "art2_01_2.emf", "art2_01_3.emf"}) {
    EXPECT_GT(emf(f, "records").at(0), 10) << f;
    pictures.insert(slurp(tmp.file(f)));
  }
  EXPECT_EQ(pictures.size(), 3u);
  EXPECT_EQ(slurp(tmp.file("art2_01_4.emf")), "<missing>");
  // The netCDF record axis as ncdump reads it: the three times, increasing.
  std::string t = ::run("ncdump -v T '" + tmp.file("art2_01.cdf") + "'");
  EXPECT_EQ(numbers(t, "T = 0"), (std::vector<double>{0.02, 0.05, 0.1})) << t;
}

TEST_F(Seen, EachHistoryDrawingHasAMetafileOfItsOwn) {
  ASSERT_EQ(run("histemf"), 0) << log("histemf");
  std::set<std::string> pictures;
  for (const char *f : {"histemf_02_1.emf", "histemf_02_2.emf", "histemf_02_3.emf"}) {
    EXPECT_GT(emf(f, "records").at(0), 10) << f;
    pictures.insert(slurp(tmp.file(f)));
  }
  EXPECT_EQ(pictures.size(), 3u);
  EXPECT_EQ(slurp(tmp.file("histemf_02_4.emf")), "<missing>");
  // The untitled summary's drawings carry a caption.
  EXPECT_EQ(walk("histemf", ""), "header 2 0 1 group 2 1:SUMMARY 2:HISTORY(u) group 2 1:SUMMARY 2:HISTORY(u) "
                                 "group 2 1:SUMMARY 2:HISTORY(u)");
}

// Exports read back by the independent readers against the exact fields: one row per
// export or drawn integral of a run of a descriptor of tests/data/plots.
TEST_F(Seen, ExportsHoldTheirValues) {
  struct Row {
    const char *pde;
    std::string check;  // reader arguments, or "#N" for the integral drawn with plot N
    double want, tol;   // the reader's err, or the integral
    const char *has = "";  // and a part of the reader's line
  };
  const std::string quadt = " 'x*x+x*y+2*y*y+1+6*t'";
  const std::string lin = " 'x+2*y+3*z+1' ";
  const Row rows[] = {
      // Planes through mesh nodes that lie within the tolerance of the plane.
      {"cutnodes", "grid cutnodes.p01" + lin + "'(0.5,p,q)'", 0, 1e-6},
      {"cutnodes", "grid cutnodes.p02" + lin + "'(p,0.5,q)'", 0, 1e-9},
      {"cutnodes", "#1", 4, 1e-7}, {"cutnodes", "#2", 4, 1e-7},
      {"cutnodes", "#3", 1, 1e-7}, {"cutnodes", "#4", 1, 1e-7}, {"cutnodes", "#5", 4, 1e-7},
      // A region's print: both edge columns, just outside, near-exact.
      {"regionprint", "grid regionprint.p01 'x*x+x*y+2*y*y+1' '(p,q,0)'", 0, 1e-6},
      // A 3D table whose top layer lies above the sloping top: no row left outside.
      {"tilted", "table3d tilted_01.tbl 'x*x+y*y-2*z*z' '1+0.2*x+0.1*y'", 0, 1e-6, "marks=0 "},
      // Integrals of zoomed plots over their windows.
      {"zoomint", "#1", 1.5625, 1e-7}, {"zoomint", "#2", 1.8831615, 1e-7}, {"zoomint", "#3", 0.5, 1e-7},
      // A monitor and a plot in files of their own, each whole.
      {"monitorcdf", "cdfexact monitorcdf_01.cdf" + quadt, 0, 1e-5, "times=0,0.1,0.25,0.3 "},
      {"monitorcdf", "cdfexact monitorcdf_m01.cdf" + quadt, 0, 1e-5, "times=0,0.000328368,0.00209441,"},
  };
  std::string ran;
  for (const Row &r : rows) {
    if (ran != r.pde) ASSERT_EQ(run(r.pde), 0) << log(r.pde);
    ran = r.pde;
    double got;
    if (r.check[0] == '#') {
      std::string texts = walk(r.pde, "-s " + r.check.substr(1));
      std::smatch m;
      got = std::regex_search(texts, m, std::regex("Integral= ([-0-9.e+]+)")) ? std::stod(m[1]) : NAN;
    } else {
      std::string out = ::run("cd '" + tmp.path + "' && /usr/bin/python3 '" QUENDAR_SOURCE "/tests/plot/exportread.py' " + r.check);
      std::smatch m;
      got = std::regex_search(out, m, std::regex("err=([^ ]+)")) ? std::stod(m[1]) : NAN;
      EXPECT_NE(out.find(r.has), std::string::npos) << out;
    }
    EXPECT_NEAR(got, r.want, r.tol) << r.pde << ": " << r.check;
  }
  // The plots' status line names the grid as the log does.
  std::string last = log("zoomint"), texts = walk("zoomint", "-s 1");
  size_t at = last.rfind("GRID ");
  ASSERT_NE(at, std::string::npos);
  EXPECT_NE(texts.find("Grid#" + last.substr(at + 5, last.find(' ', at + 5) - at - 5) + " "), std::string::npos) << texts;
}

// Fifty plane cuts and paths through a two-layer cube, drawn at random but the same in
// every run, with planes and paths in the layer surface and within 1e-6 of mesh nodes:
// the printed values are the exact fields', and the integrals over axis cuts and along
// paths are the exact integrals (Simpson's rule is exact for these fields).
TEST_F(Seen, RandomCutsAndPathsHoldExactFields) {
  auto lin = [](double x, double y, double z) { return x + 2 * y + 3 * z + 1; };
  auto quad = [](double x, double y, double z) { return x * x + x * y + 2 * y * y + z * z - x * z + 1; };
  const char *formula[2] = {"'x+2*y+3*z+1'", "'x*x+x*y+2*y*y+z*z-x*z+1'"};
  std::mt19937 draw(72);
  auto uniform = [&](double lo, double hi) { return lo + (hi - lo) * double(draw() >> 8) / double(1 << 24); };
  struct Case {
    std::string check;
    double integral, tol;
  };
  std::vector<Case> cases;
  std::string plots;
  char line[256];
  // Axis cuts: the grid print lifted back into space, the cut's area being 1.
  const std::pair<char, double> axis[] = {{'x', 0.500001}, {'x', 0.499999}, {'y', 0.500001}, {'z', 0.4},
                                          {'z', 0.4000005}, {'z', 0.399999}, {'x', 0.25}, {'y', 0.75},
                                          {'z', 0.8}, {'x', 0.5}};
  for (int k = 0; k < 25; k++) {
    int f = k % 2;
    auto F = [&](double x, double y, double z) { return f ? quad(x, y, z) : lin(x, y, z); };
    int n = int(cases.size()) + 1;
    if (k < 10) {
      auto [a, c] = axis[k];
      snprintf(line, sizeof line, "  CONTOUR(%s) ON %c = %.7g PRINT\n", f ? "quad" : "lin", a, c);
      const char *lift = a == 'x' ? "(%.7g,p,q)" : a == 'y' ? "(p,%.7g,q)" : "(p,q,%.7g)";
      char at[32];
      snprintf(at, sizeof at, lift, c);
      // Simpson in both plot coordinates over the unit square.
      double sum = 0;
      for (int i = 0; i < 3; i++)
        for (int j = 0; j < 3; j++) {
          double p = i / 2.0, q = j / 2.0, w = (i == 1 ? 4 : 1) * (j == 1 ? 4 : 1) / 36.0;
          sum += w * (a == 'x' ? F(c, p, q) : a == 'y' ? F(p, c, q) : F(p, q, c));
        }
      cases.push_back({"grid layers.p" + std::to_string(n / 10) + std::to_string(n % 10) + " " + formula[f] + " '" + at + "'", sum,
                       f ? 1e-6 : 1e-8});
    } else {
      double nx = uniform(-1, 1), ny = uniform(-1, 1), nz = uniform(-1, 1);
      double d = nx * uniform(0.2, 0.8) + ny * uniform(0.2, 0.8) + nz * uniform(0.2, 0.8);
      snprintf(line, sizeof line, "  CONTOUR(%s) ON %.6f*x %+.6f*y %+.6f*z = %.6f PRINT FORMAT '#x #y #z #1'\n",
               f ? "quad" : "lin", nx, ny, nz, d);
      cases.push_back({std::string("points layers.p") + std::to_string(n / 10) + std::to_string(n % 10) + " " + formula[f], NAN, 2e-5});
    }
    plots += line;
  }
  // Paths: along the layer surface, along mesh lines, through the layer, then at random.
  const double ends[5][6] = {{0.5, 0, 0.4, 0.5, 1, 0.4}, {0, 0.5, 0.5, 1, 0.5, 0.5}, {0.5, 0.5, 0, 0.5, 0.5, 1},
                             {0.1, 0.1, 0.4, 0.9, 0.8, 0.4}, {0.500001, 0, 0.3, 0.500001, 1, 0.7}};
  for (int k = 0; k < 25; k++) {
    int f = k % 2, n = int(cases.size()) + 1;
    auto F = [&](double x, double y, double z) { return f ? quad(x, y, z) : lin(x, y, z); };
    double e[6];
    // Drawn to the six decimals the descriptor carries.
    for (int j = 0; j < 6; j++) e[j] = k < 5 ? ends[k][j] : std::round(uniform(0, 1) * 1e6) / 1e6;
    snprintf(line, sizeof line, "  ELEVATION(%s) FROM (%.6f,%.6f,%.6f) TO (%.6f,%.6f,%.6f) PRINT FORMAT '#x #y #z #1'\n",
             f ? "quad" : "lin", e[0], e[1], e[2], e[3], e[4], e[5]);
    plots += line;
    double length = std::sqrt((e[3] - e[0]) * (e[3] - e[0]) + (e[4] - e[1]) * (e[4] - e[1]) + (e[5] - e[2]) * (e[5] - e[2]));
    double simpson = length / 6 * (F(e[0], e[1], e[2]) + 4 * F((e[0] + e[3]) / 2, (e[1] + e[4]) / 2, (e[2] + e[5]) / 2) +
                                   F(e[3], e[4], e[5]));
    cases.push_back({std::string("points layers.p") + std::to_string(n / 10) + std::to_string(n % 10) + " " + formula[f], simpson, 2e-5});
  }
  ASSERT_EQ(run("layers", {{"PLOTS\nEND", "PLOTS\n" + plots + "END"}}), 0) << log("layers");
  // The value lines of the plot file, one per plot in order, each with its integral.
  std::string pgx = slurp(tmp.file("layers.pgx"));
  std::vector<double> integrals;
  std::regex integral("Integral= ([-0-9.e+]+)");
  for (auto it = std::sregex_iterator(pgx.begin(), pgx.end(), integral); it != std::sregex_iterator(); ++it)
    integrals.push_back(std::stod((*it)[1]));
  ASSERT_EQ(integrals.size(), cases.size());
  // One reader run for all the files: one line, with its err, per file.
  std::string all;
  for (const Case &c : cases) all += c.check + " -- ";
  FILE *reader = popen(("cd '" + tmp.path + "' && /usr/bin/python3 '" QUENDAR_SOURCE "/tests/plot/exportread.py' " + all).c_str(), "r");
  std::istringstream lines(slurp_stream(reader));
  pclose(reader);
  for (size_t k = 0; k < cases.size(); k++) {
    const Case &c = cases[k];
    std::string out;
    std::getline(lines, out);
    std::smatch m;
    EXPECT_TRUE(std::regex_search(out, m, std::regex("err=([^ ]+)")) && std::stod(m[1]) < c.tol) << c.check << ": " << out;
    if (!std::isnan(c.integral)) EXPECT_NEAR(integrals[k], c.integral, 1e-6 * std::max(1.0, std::fabs(c.integral))) << c.check;
  }
}

}  // namespace
