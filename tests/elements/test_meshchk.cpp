// Mesh checks on hand-broken two-triangle meshes (debug log, question, fatal stop) and
// the grid report against golden files.
#include <gtest/gtest.h>

#include <deque>

#include "runtime/debug.h"
#include "runtime/report.h"
#include "tests/elements/check.h"
#include "tests/elements/meshbuild.h"

namespace {

std::deque<uint8_t> answers;     // answers of the question double (no when empty)
std::vector<std::string> asked;  // caption and message of every question
uint8_t ask(uint16_t, const String *message, const String *caption) {
  asked.push_back(std::string(caption->text) + ": " + message->text);
  uint8_t a = answers.empty() ? 0 : answers.front();
  if (!answers.empty()) answers.pop_front();
  return a;
}

// The grid report of the mesh under the title, as text.
std::string grid(Mesh *m, const char *title) {
  FILE *f = tmpfile();
  String t{};
  strings_copyto_1(&t, title);
  meshes_print_1(f, m, &t);
  strings_free_0(&t);
  rewind(f);
  std::string s = slurp_stream(f);
  fclose(f);
  return s;
}

struct Checks : MeshTest {
  TempDir dir;
  std::string log = dir.file("quendar.dbg");
  decltype(report_hooks.yesno_message) platform = report_hooks.yesno_message;
  void SetUp() override {
    MeshTest::SetUp();
    ASSERT_TRUE(debug_debug_on(log.c_str()));
    report_hooks.yesno_message = ask;
    answers.clear(), asked.clear();
  }
  void TearDown() override {
    report_hooks.yesno_message = platform;
    debug_debug_off();
    MeshTest::TearDown();
  }
  // The unit square: cell 1 (1,2,3), cell 2 (1,3,4), sides on edges 1-4 by side.
  void square(int basis = tri3) {
    unit_square(&m);
    if (basis == tri3) return;
    // Side nodes: node 3+s in the middle of side s (opposite vertex s).
    m.meshbasis = m.cellbasis = tri6;
    std::map<std::pair<int, int>, int32_t> mid;
    for (int32_t c = 1; c <= 2; c++) {
      int32_t v[3] = {cell(c).nodes.data[0], cell(c).nodes.data[1], cell(c).nodes.data[2]};
      vectorl_resize(&cell(c).nodes, 6, 6);
      cell(c).basis = tri6;
      for (int s = 0; s < 3; s++) {
        int32_t a = std::min(v[(s + 1) % 3], v[(s + 2) % 3]), b = std::max(v[(s + 1) % 3], v[(s + 2) % 3]);
        if (!mid.count({a, b})) mid[{a, b}] = meshes_new_node_0(&m, (at(a)[0] + at(b)[0]) / 2, (at(a)[1] + at(b)[1]) / 2, 0);
        cell(c).nodes.data[3 + s] = mid[{a, b}];
        meshes_new_nodecell(&m, mid[{a, b}], c);
      }
    }
  }
  std::string logged() {
    fflush(debug_file);
    return slurp(log);
  }
};

TEST_F(Checks, EachReportLogsAsksAndStops) {
  struct Case {
    std::function<void(Checks *)> breakit;
    uint8_t shared, bdids;
    const char *title, *line, *message, *where, *tail;
  } cases[] = {
      {[](Checks *t) { t->cell(1).neighbour[1] = -2; }, 0, 0, "BAD NABOR", "EEK! CELL 1 NABOR -2 NONRECIPROCAL!\n",
       "Mesh is tangled near (1,0)!\n", "trapnabor_0", ""},
      {[](Checks *t) { t->cell(2).nodes.data[2] = 0; }, 0, 0, "BAD NODIX", "EEK! CELL 2 NODIX 3 NONRECIPROCAL!\n",
       "Mesh is tangled near (0,0)!\n", "trapnodix_0", ""},
      {[](Checks *t) { meshes_delete_nodecell(&t->m, 2, 1); }, 0, 0, "BAD NODIX",
       "EEK! CELL 1 NODIX 2 NONRECIPROCAL!\n", "Mesh is tangled near (1,0)!\n", "trapnodix_0", ""},
      {[](Checks *t) { meshes_new_nodecell(&t->m, 4, 1); }, 0, 0, "BAD NODECELL",
       "EEK! NODE 4 CELL 1 NONRECIPROCAL!\n", "Mesh is tangled near (0,1)!\n", "trapnodecell_0", ""},
      {[](Checks *t) { std::swap(t->cell(1).nodes.data[1], t->cell(1).nodes.data[2]); }, 0, 0, "BAD AREA",
       "EEK! CELL 1 IS INVERTED!\n", "EEK! CELL 1 IS INVERTED!", "traparea_0", "(0,0) (1,1) (1,0)\n"},
      {[](Checks *t) { t->cell(1).bdid[0] = 0; }, 0, 1, "BAD BDID", "EEK! CELL 1 SIDE 1 INCONSISTENT BDID=0!\n",
       "Inconsistent BDID at (0.666667,0.333333)!\nTerminating.", "trapbdid_0", ""},
      {[](Checks *t) { t->cell(1).neighbour[1] = -2, t->d.threed = 1; }, 0, 0, "BAD NABOR",
       "EEK! CELL 1 NABOR -2 NONRECIPROCAL!\n", "Mesh is tangled near (1,0,0)!\n", "trapnabor_0", ""},
  };
  for (const Case &k : cases) {
    SCOPED_TRACE(k.line);
    Checks::TearDown();
    m = Mesh{}, d = Domain{};
    SetUp();
    square();
    k.breakit(this);
    // "yes": one report in the log, one question; a second run asks again.
    answers = {1};
    meshes_check_mesh(&m, tri3, k.shared, k.bdids);
    std::string report = grid(&m, k.title);
    EXPECT_EQ(logged(), k.line + report + k.line + k.tail);
    EXPECT_EQ(asked, std::vector<std::string>{std::string("ERROR: ") + k.message + " Continue?"});
    // "no": the fatal stop with the message from the report.
    expect_fatal(std::string(k.message) + " IN " + k.where, [&] { meshes_check_mesh(&m, tri3, k.shared, k.bdids); });
    EXPECT_EQ(asked.size(), 2u);
  }
}

TEST_F(Checks, SharedNodesAndOneReportPerCheck) {
  // Two reciprocal neighbours that share no node, each otherwise sound.
  build_mesh(&m, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {3, 0, 0}, {4, 0, 0}, {3, 1, 0}}, {{1, 2, 3}, {4, 5, 6}}, tri3,
             [](const Corners &) { return uint16_t(1); });
  cell(1).neighbour[0] = 2, cell(2).neighbour[0] = 1;
  meshes_check_mesh(&m, tri3, 0, 1);
  cell(1).bdid[1] = 0;  // an open side without id passes unless ids are checked
  meshes_check_mesh(&m, tri3, 0, 0);
  cell(1).bdid[1] = 1;
  EXPECT_TRUE(asked.empty());
  EXPECT_EQ(logged(), "");
  answers = {1};
  meshes_check_mesh(&m, tri3, 1, 1);  // both cells fail; the first "yes" silences the rest
  EXPECT_EQ(asked, std::vector<std::string>{"ERROR: Mesh is tangled near (0,0)!\n Continue?"});
  std::string line = "EEK! CELL 1 NABOR 2 NONRECIPROCAL!\n";
  EXPECT_EQ(logged(), line + grid(&m, "BAD NABOR") + line);
}

// Golden reports of a tri3 and a tri6 square and a tet4 cube, without a domain.
TEST_F(Checks, GridReportsMatchTheirGoldenFiles) {
  struct Case {
    const char *file;
    int basis;
  } cases[] = {{"grid_tri3.txt", tri3}, {"grid_tri6.txt", tri6}, {"grid_tet4.txt", tet4}};
  for (const Case &k : cases) {
    meshes_free(&m, 0);
    m = Mesh{};
    if (k.basis == tet4) {
      std::vector<Xyz> xyz;
      for (int i = 0; i < 8; i++) xyz.push_back({double(i & 1), double(i >> 1 & 1), double(i >> 2 & 1)});
      build_mesh(&m, xyz, {{1, 2, 4, 8}, {1, 3, 4, 8}, {1, 2, 6, 8}, {1, 5, 6, 8}, {1, 3, 7, 8}, {1, 5, 7, 8}}, tet4,
                 [](const Corners &c) { return uint16_t(c[0]); });
      meshes_delete_cell(&m, 3);  // a dead cell, listed with its cleared nodes
    } else {
      square(k.basis);
    }
    expect_golden(k.file, grid(&m, "GOLDEN"));
  }
}

TEST_F(Checks, BoundaryListsFollowTheDomainReport) {
  square();
  Joint j{};
  Edge e{};
  for (uint16_t k = 1; k <= 4; k++) {
    j.number = e.number = k, j.bctag = uint16_t(10 + k), e.bctag = uint16_t(20 + k);
    table_add(&d.joints, j), table_add(&d.edges, e);
  }
  node(1).kind = 1, node(1).id = 1;
  node(2).kind = 2, node(2).id = 1;
  vector2l_resize(&m.edgenodes, 1, 1);
  vector2l_resize(&m.facenodes, 1, 1);
  for (int32_t n : {1, 2}) vectorl_one_more(&m.edgenodes.data[0], n), vectorl_one_more(&m.facenodes.data[0], n);
  std::string text = grid(&m, "T");
  std::string tail = text.substr(text.find("\nEdge 1"));
  EXPECT_EQ(tail,
            "\nEdge 1, 2 Boundary Nodes\n"
            "     1 |      1 |       0.00       0.00  |  Joint  1 | BCTAG 11\n"
            "     2 |      2 |   1.000000       0.00  |   Edge  1 | BCTAG 21\n"
            "\nFace 1, 2 Nodes\n"
            "     1 |      1 |       0.00       0.00  |  Joint  1 | BCTAG 11\n"
            "     2 |      2 |   1.000000       0.00  |   Edge  1 | BCTAG 21\n");
}

}  // namespace
