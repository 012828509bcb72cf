// TABLE and TRANSFER data files read through descriptors: what is loaded against the
// files' own numbers, interpolation against the functions tabulated, and every error at
// its place (in the data file or in the descriptor). Last, whole runs of the program.
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cmath>
#include <filesystem>
#include <random>
#include <regex>

#include "elements/evalpoint.h"
#include "elements/quature.h"
#include "model/params.h"
#include "model/treeval.h"
#include "model/xferdat.h"
#include "tests/reader/actions.h"

namespace {

struct Tables : Actions {
  void SetUp() override {
    Actions::SetUp();
    treeval_init();
    quature_init_quadrature();  // cell measures of quadratic cells
  }
  // "message @line:column in <text of the line>", or "ok".
  std::string load(const std::string &defs, const std::string &file = "", const char *name = "t.dat") {
    if (!file.empty()) spit(dir.file(name), file);
    setenv("RAW", "1", 1);
    std::string r = parse("TITLE 't'\nVARIABLES\n  u\nDEFINITIONS\n  " + defs +
                          "\nEQUATIONS\n  div(grad(u)) = 0\nBOUNDARIES\n  REGION 1 START(0,0) LINE TO (1,0) TO (1,1) TO FINISH\nEND\n");
    unsetenv("RAW");
    std::smatch m;
    if (r == "ok" || !std::regex_search(r, m, std::regex("\\| (.*)\n( *)\\*\n +Line (\\d+) ERROR: (.*)\n"))) return r;
    return m[4].str() + " @" + m[3].str() + ":" + std::to_string(m[2].length() - 10) + " in " + m[1].str();
  }
  const tableentry &table(int k = 1) { return p->formulas.definitions.tables.items[k - 1]; }
  xferdat &xfer(int k = 1) { return p->transfers.items[k - 1]; }
  // The named definition at (x, y, z).
  double at(const char *name, double x, double y, double z = 0) {
    paramset *d = &p->formulas.definitions;
    for (uint16_t k = 1; k <= d->count; k++)
      if (strcmp(d->items[k - 1]->name.text, name) == 0) {
        evalpoint pt{};
        pt.x = x, pt.y = y, pt.z = pt.t = z;
        return treeval_eval(p, params_find_param_tree(d, k, 0), &pt);
      }
    ADD_FAILURE() << name;
    return NAN;
  }
  // No text of the file is left open.
  bool closed(const char *name = "t.dat") {
    for (uint16_t n = 1; TextFile *t = textin_text_name(n); n++)
      if (t->open && t->name.text && std::string(t->name.text).find(name) != std::string::npos) return false;
    return true;
  }
};

std::vector<float> values(const arrays &a) { return std::vector<float>(a.data, a.data + a.count); }

TEST_F(Tables, FilesLoadAsWrittenOrStopAtTheirPlace) {
  struct Case {
    const char *defs, *file, *want;
  } cases[] = {
      {"f = TABLE('t.dat')", "x 3 0 1 2 DATA 5 6 7", "ok"},
      {"f = TABLE('t.dat')", "x 3 0 1 1\ndata - 5 --6 7.5", "ok"},
      {"f = TABLE('t.dat', y)", "x 2 0 1 DATA 1 2", "ok"},
      {"f = TABLE('t.dat', x, y, x, y)", "a 1 0 b 1 0 DATA 1", "ok"},
      {"f = TABLE('t.dat')", "t 2 0 1 DATA 1 2", "ok"},
      {"f = TABLE('t.dat')", "x 3 0 2 1 DATA 1 2 3",
       "Table Coordinates must be Monotonic @1:10 in x 3 0 2 1 DATA 1 2 3"},
      {"f = TABLE('t.dat')", "x 2\n0 1\n", "No Data Loaded @2:5 in 0 1"},
      {"f = TABLE('t.dat')", "x 2 0 1 DATA 1 2\ny 2 0 1",
       "Axis after DATA: a table's axes all come before its DATA @2:2 in y 2 0 1"},
      {"f = TABLE('t.dat')", "3 x", "Coordinate name expected @1:2 in 3 x"},
      {"f = TABLE('t.dat')", "x 0 DATA", "NO Coordinate count. @1:4 in x 0 DATA"},
      {"f = TABLE('t.dat')", "x DATA", "NO Coordinate count. @1:7 in x DATA"},
      {"f = TABLE('t.dat')", "x 3 0 1 2 y 3 0 1 2 DATA 1", "NO Coordinate count. @1:25 in x 3 0 1 2 y 3 0 1 2 DATA 1"},
      {"f = TABLE('t.dat')", "x 1 0 y 1 0 x 1 0 y 1 0 DATA 1",
       "Bad table item @1:20 in x 1 0 y 1 0 x 1 0 y 1 0 DATA 1"},
      {"f = TABLE('t.dat')", "x 2 0 1 DATA 1 q", "Bad table item @1:17 in x 2 0 1 DATA 1 q"},
      {"f = TABLE('t.dat')", "x 2 0 1e39 DATA 1 2", "Bad table item @1:11 in x 2 0 1e39 DATA 1 2"},
      {"f = TABLE('t.dat')", "q 2 0 1 DATA 1 2", "UNDEFINED NAME @1:2 in q 2 0 1 DATA 1 2"},
      {"g(q) = q  f = TABLE('t.dat')", "g 2 0 1 DATA 1 2", "Illegal Dependency @1:2 in g 2 0 1 DATA 1 2"},
      {"f = TABLE('none.dat')", "", "missing table file none.dat @5:23 in   f = TABLE('none.dat')"},
      {"f = TABLE('t.dat', q)", "x 1 0 DATA 1", "Bad dependency selector @5:23 in   f = TABLE('t.dat', q)"},
  };
  for (const Case &c : cases) {
    EXPECT_EQ(load(c.defs, c.file), c.want) << c.file;
    EXPECT_TRUE(closed()) << c.file;
  }
  // An axis past the 65535 points a table holds says the limit and names the file.
  std::string big = load("f = TABLE('t.dat')", "x 99999 0 1");
  EXPECT_TRUE(std::regex_search(big, std::regex("^More than 65535 coordinates on a table axis in \\S*t\\.dat @1:8 in x "
                                                "99999 0 1$")))
      << big;
  // Every cut of a valid file that drops whole tokens ends in an error in the file.
  const std::string whole = "x 3 0 1 2 y 2 0 1 DATA 1 2 3 4 5 -6";
  for (size_t cut = 0; cut < whole.size(); cut++)
    if (whole[cut] == ' ' || whole[cut] == '-')
      EXPECT_TRUE(std::regex_search(load("f = TABLE('t.dat')", whole.substr(0, cut)), std::regex(" @1:\\d+ in "))) << cut;
  // What the accepted files hold.
  load("f = TABLE('t.dat')", "x 3 0 1 1\ndata - 5 --6 7.5");
  EXPECT_EQ(values(table().table.axis[0]), (std::vector<float>{0, 1, 1}));
  EXPECT_EQ(values(table().table.data1), (std::vector<float>{-5, 6, 7.5}));
  load("f = TABLE('t.dat', y)", "x 3 0 1 2 y 2 0 1 DATA 1 2 3 4 5 6");
  EXPECT_EQ(table().table.dimension, 2);
  EXPECT_EQ(table().keys[0] * 10 + table().keys[1], 22);  // y named twice: the reference, then the file
  EXPECT_EQ(values(table().table.data2.data[1]), (std::vector<float>{4, 5, 6}));
  load("f = TABLE('t.dat', x, y, x, y)", "a 1 0 b 1 0 DATA 1");
  EXPECT_EQ(table().keys[0] * 100 + table().keys[1] * 10 + table().keys[2], 121);
  load("f = TABLE('t.dat')", "t 2 0 1 DATA 1 2");
  EXPECT_EQ(table().keys[0], 4);
  EXPECT_EQ(p->timedep, 1);
}

TEST_F(Tables, FolderOfTheDescriptorAndBackslashes) {
  std::filesystem::create_directory(dir.file("sub"));
  spit(dir.file("sub/s.dat"), "x 2 0 1 DATA 3 5");
  std::string cwd = std::filesystem::current_path().string();
  EXPECT_EQ(chdir("/"), 0);  // the name as written does not open from here
  EXPECT_EQ(load("f = TABLE('sub\\s.dat')"), "ok");
  EXPECT_EQ(chdir(cwd.c_str()), 0);
  EXPECT_EQ(std::string(table().name.text), dir.file("sub/s.dat"));
  EXPECT_DOUBLE_EQ(at("F", 0.25, 0), 3.5);
  EXPECT_TRUE(closed("s.dat"));
}

// Tables of one to three axes (x, y, t) on an uneven grid: a linear function is
// reproduced to rounding (the point goes to the table in single precision); a smooth
// one within the bound of multilinear interpolation, sum over axes of h^2/8 max |f''|.
TEST_F(Tables, InterpolationMatchesTheFunctionTabulated) {
  struct Case {
    int dim;
    double (*f)(double, double, double);
    double tol;
  } cases[] = {
      {1, [](double x, double, double) { return 1 + 2 * x; }, 3e-6},
      {2, [](double x, double y, double) { return 1 + 2 * x + 3 * y; }, 6e-6},
      {3, [](double x, double y, double z) { return 1 + 2 * x + 3 * y - z; }, 6e-6},
      {2, [](double x, double y, double) { return std::sin(x) * std::cos(y); }, 2 * 0.0625 * 0.0625 / 8 + 1e-6},
  };
  std::vector<float> ax;  // 0, 1/16 - 1/64, 2/16, ...: intervals of 3/64 and 5/64
  for (int i = 0; i < 17; i++) ax.push_back(float(i / 16.0 - (i % 2) / 64.0));
  std::mt19937 rng(7);
  std::uniform_real_distribution<double> u(0, 1);
  for (const Case &c : cases) {
    std::string text;
    for (int a = 0; a < c.dim; a++) {
      text += std::string(1, "xyt"[a]) + " 17";
      for (float v : ax) text += " " + std::to_string(v);
    }
    text += "\nDATA\n";
    std::vector<float> data;
    for (int k = 0; k < (c.dim > 2 ? 17 : 1); k++)
      for (int j = 0; j < (c.dim > 1 ? 17 : 1); j++)
        for (int i = 0; i < 17; i++) {
          data.push_back(float(c.f(ax[i], c.dim > 1 ? ax[j] : 0, c.dim > 2 ? ax[k] : 0)));
          char b[32];
          snprintf(b, sizeof b, "%.9g ", double(data.back()));
          text += b;
        }
    ASSERT_EQ(load("f = TABLE('t.dat')", text), "ok");
    const lintab &t = table().table;
    EXPECT_EQ(values(t.axis[c.dim - 1]), ax);
    const arrays &last = c.dim == 1 ? t.data1 : c.dim == 2 ? t.data2.data[16] : t.data3.data[16].data[16];
    EXPECT_EQ(values(last), std::vector<float>(data.end() - 17, data.end()));
    for (int i = 0; i < 200; i++) {
      double x = u(rng), y = c.dim > 1 ? u(rng) : 0, z = c.dim > 2 ? u(rng) : 0;
      ASSERT_NEAR(at("F", x, y, z), c.f(x, y, z), c.tol) << c.dim << " at " << x << "," << y << "," << z;
    }
  }
}

// ---- TRANSFER --------------------------------------------------------------------------------------

// A transfer file of the unit square in two blocks (x below and above 1/2) of 4 by 4
// squares, each cut into two triangles; tri3 or tri6 (side nodes at the midpoints of
// sides 2-3, 3-1, 1-2); the values of f at the nodes. Nodes are numbered on the
// block's lattice of half steps.
std::string square_file(bool quadratic, double (*f)(double, double)) {
  std::string s = std::string("Quendar v2 Transfer File\nunit square\n 2 DIMENSIONS\nX\nY\n") +
                  (quadratic ? " 5 BASIS\n 6 DOF\n" : " 4 BASIS\n 3 DOF\n") + " 1 VARIABLES\nW\n";
  char buf[128];
  for (int b = 0; b < 2; b++) {
    auto id = [](int i, int j) { return i * 9 + j + 1; };  // lattice point (i/16 + b/2, j/8)
    s += " 81 NODES\n";
    for (int i = 0; i <= 8; i++)
      for (int j = 0; j <= 8; j++) {
        double x = i / 16.0 + b / 2.0, y = j / 8.0;
        snprintf(buf, sizeof buf, "%.17g %.17g %.17g\n", x, y, f(x, y));
        s += buf;
      }
    s += " 32 CELLS\n";
    for (int i = 0; i < 8; i += 2)
      for (int j = 0; j < 8; j += 2) {
        int tri[2][3][2] = {{{i, j}, {i + 2, j}, {i + 2, j + 2}}, {{i, j}, {i + 2, j + 2}, {i, j + 2}}};
        for (auto &t : tri) {
          s += quadratic ? " 5" : " 4";
          for (int v = 0; v < 3; v++) s += " " + std::to_string(id(t[v][0], t[v][1]));
          for (int v = 0; quadratic && v < 3; v++)
            s += " " + std::to_string(id((t[(v + 1) % 3][0] + t[(v + 2) % 3][0]) / 2, (t[(v + 1) % 3][1] + t[(v + 2) % 3][1]) / 2));
          s += " : 0 0 0\n";
        }
      }
  }
  return s + " 0 NODES\n";
}

TEST_F(Tables, TransferFieldsInterpolateExactlyInsideAndMarkOutside) {
  struct Case {
    bool quadratic;
    double (*f)(double, double);
  } cases[] = {
      {false, [](double x, double y) { return 1 + 2 * x - 3 * y; }},
      {true, [](double x, double y) { return x * x - x * y + 2 * y; }},
  };
  std::mt19937 rng(3);
  std::uniform_real_distribution<double> u(0, 1);
  for (const Case &c : cases) {
    ASSERT_EQ(load("TRANSFER('t.dat', w)", square_file(c.quadratic, c.f)), "ok");
    EXPECT_TRUE(closed());
    Mesh &m = xfer().mesh;
    ASSERT_EQ(m.cells.count, 64);
    // Block 2's first node is mesh node 1 + the nodes of block 1; every cell side
    // inside the square has a neighbour, across the seam x = 1/2 too.
    EXPECT_EQ(m.nodes.data[81].id, 2);
    int open = 0;
    for (int k = 0; k < m.cells.count; k++)
      for (int s = 0; s < 3; s++) open += m.cells.data[k].neighbour[s] == 0;
    EXPECT_EQ(open, 24) << c.quadratic;
    // Exact at the nodes; between them the element model's local coordinates are
    // single precision, so agreement is to about 1e-7.
    for (int k = 0; k < m.nodes.count; k++) {
      const MeshNode &n = m.nodes.data[k];
      EXPECT_EQ(at("W", n.x, n.y), c.f(n.x, n.y)) << n.x << "," << n.y;
    }
    for (int i = 0; i < 200; i++) {
      double x = i < 20 ? 0.5 : u(rng), y = u(rng);
      EXPECT_NEAR(at("W", x, y), c.f(x, y), 1e-6) << x << "," << y;
    }
    EXPECT_EQ(at("W", 1.5, 0.5), 1.00000000000002e300);
  }
}

TEST_F(Tables, TransferFilesStopAtTheirPlace) {
  const std::string head = "Quendar v2\nfree text\n 2 DIMENSIONS\nX\nY\n 4 BASIS\n 3 DOF\n 1 VARIABLES\nU\n";
  const std::string block = " 4 NODES\n0 0 1\n1 0 2\n1 1 3\n0 1 4\n 2 CELLS\n 4 1 2 3 : 0 0 0\n 4 1 3 4 : 0 0 0\n";
  const std::string tets = "Quendar\n\n 3 DIMENSIONS X Y Z 8 BASIS 4 DOF 1 VARIABLES U\n 5 NODES 0 0 0 0 1 0 0 1 0 1 0 2 0 0 1 3 0 0 -1 -3\n";
  struct Case {
    std::string defs, file, want;
  } cases[] = {
      {"TRANSFER('t.dat', w)", head + block + " 0 NODES", "ok"},
      {"TRANSFER('t.dat', w)", "Quendar\nx\n 1 dimensions x 1 basis 2 dof 1 variables u 2 nodes 0 1 2 3 1 cells 1 1 2\n -1 nodes 0 nodes",
       "ok"},
      {"TRANSFER('t.dat', v, w)", head + block + " 0 NODES", "No Data For This Name @5:25 in   TRANSFER('t.dat', v, w)"},
      {"TRANSFER('none.dat', w)", "", "Missing Transfer File @5:22 in   TRANSFER('none.dat', w)"},
      {"TRANSFER('t.dat', w)", "quendar v2\n", "Invalid Transfer File @1:8 in quendar v2"},
      {"TRANSFER('t.dat', w)", "Quendar\n\n DIMENSIONS 2", "Bad table item @3:12 in  DIMENSIONS 2"},
      {"TRANSFER('t.dat', w)", "Quendar\n\n 2 DIMENSIONS X Y 5 BASIS 3 DOF", "Invalid Transfer File @3:32 in  2 DIMENSIONS X Y 5 BASIS 3 DOF"},
      {"TRANSFER('t.dat', w)", "Quendar\n\n 2 DIMENSIONS X Y 4 BASIS 3 DOF 1 VARIABLES U 999999 NODES 1",
       "Invalid Transfer File @3:59 in  2 DIMENSIONS X Y 4 BASIS 3 DOF 1 VARIABLES U 999999 NODES 1"},
      {"TRANSFER('t.dat', w)", head + " 3 NODES 0 0 1 1 0 2 1 1 3 1 CELLS\n 4 1 2 0", "Invalid Transfer File @11:9 in  4 1 2 0"},
      {"TRANSFER('t.dat', w)", head + " 3 NODES 0 0 1 1 0 2 1 1 3 1 CELLS\n 4 1 2 4", "Invalid Transfer File @11:9 in  4 1 2 4"},
      {"TRANSFER('t.dat', w)", head + " 3 NODES 0 0 1 1 0 2 1 1 3 1 CELLS\n 8 1 2 3", "Invalid Transfer File @11:3 in  8 1 2 3"},
      {"TRANSFER('t.dat', w)", head + " 3 NODES 0 0 1 1 0 2 1 1 3 1 CELL", "Invalid Transfer File @10:34 in  3 NODES 0 0 1 1 0 2 1 1 3 1 CELL"},
      {"TRANSFER('t.dat', w)", head + " 3 NODES 0 0 1 1e300 0 2", "Invalid Transfer File @10:21 in  3 NODES 0 0 1 1e300 0 2"},
      // Tetrahedra turned both ways.
      {"TRANSFER('t.dat', w)", tets + " 2 CELLS\n 8 1 2 3 4\n 8 1 2 3 5\n 0 NODES", "Invalid Transfer File @7:11 in  8 1 2 3 5"},
  };
  for (const Case &c : cases) {
    EXPECT_EQ(load(c.defs, c.file), c.want) << c.file;
    EXPECT_TRUE(closed());
  }
  // Two tetrahedra in two blocks are linked across their common face; u = x + 2y + 3z.
  ASSERT_EQ(load("TRANSFER('t.dat', w)", tets + " 1 CELLS\n 8 1 2 3 4\n 4 nodes 1 0 0 1 0 1 0 2 0 0 1 3 1 1 1 6 1 cells 8 1 2 3 4\n 0 NODES"), "ok");
  EXPECT_EQ(xfer().mesh.cells.data[0].neighbour[0] + xfer().mesh.cells.data[1].neighbour[3], 3);
  EXPECT_NEAR(at("W", 0.5, 0.4, 0.3), 0.5 + 0.8 + 0.9, 1e-6);
  // The one-dimensional file: y and z are 0, the negative block skipped; two blocks
  // of 4 and 5 nodes: node 1 of the second is mesh node 5.
  load("TRANSFER('t.dat', w)", cases[1].file);
  EXPECT_EQ(xfer().mesh.nodes.count, 2);
  EXPECT_EQ(xfer().mesh.nodes.data[1].x + xfer().mesh.nodes.data[1].y + xfer().mesh.nodes.data[1].z, 2);
  EXPECT_EQ(xfer().values.data[0].data[1], 3);
  ASSERT_EQ(load("TRANSFER('t.dat', w)", head + block + " 5 NODES 0 0 0 1 0 0 1 1 0 0 1 0 2 2 0 1 CELLS 4 1 2 3\n 0 NODES"), "ok");
  EXPECT_EQ(xfer().mesh.cells.data[2].nodes.data[0], 5);
  EXPECT_EQ(xfer().mesh.nodes.data[4].z, 0);
  // Every cut of a valid file that drops whole tokens ends in an error in the file.
  std::string whole = head + block + " 0 NODES";
  for (size_t cut = head.size(); cut < whole.size(); cut++) {
    if (!isspace(static_cast<unsigned char>(whole[cut]))) continue;
    std::string r = load("TRANSFER('t.dat', w)", whole.substr(0, cut));
    EXPECT_TRUE(std::regex_search(r, std::regex("^(Bad table item|Invalid Transfer File) @"))) << cut << ": " << r;
  }
  EXPECT_TRUE(closed());
}

// A descriptor whose source is a table, run by the program: -u'' = 6x on the unit
// square with u = 0 at x = 0 and 1 has u = x - x^3, u(1/2) = 0.375.
TEST_F(Tables, ProgramSolvesWithATableSource) {
  spit(dir.file("src.dat"), "x 2 0 1\nDATA 0 6\n");
  spit(dir.file("run.pde"),
       "TITLE 'table source'\nVARIABLES\n  u\nDEFINITIONS\n  s = TABLE(\"src.dat\")\n  centre = VAL(u, 0.5, 0.5)\n"
       "EQUATIONS\n  div(grad(u)) + s = 0\nBOUNDARIES\n  REGION 1\n    START(0,0) NATURAL(u)=0 LINE TO (1,0) VALUE(u)=0 "
       "LINE TO (1,1) NATURAL(u)=0 LINE TO (0,1) VALUE(u)=0 LINE TO FINISH\nPLOTS\n  SUMMARY\n    REPORT(centre)\nEND\n");
  std::string cmd = "cd '" + dir.path + "' && mkdir -p tmp && TMPDIR='" + dir.path + "/tmp' '" QUENDAR_EXE
                    "' -B -R -X run.pde >out.txt 2>&1";
  int status = system(cmd.c_str());
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << slurp(dir.file("out.txt"));
  std::smatch m;
  std::string plots = slurp(dir.file("run.pgx"));
  ASSERT_TRUE(std::regex_search(plots, m, std::regex("centre= *([-+.0-9eE]+)"))) << slurp(dir.file("run.log"));
  EXPECT_NEAR(std::stod(m[1]), 0.375, 1e-5);
}

}  // namespace
