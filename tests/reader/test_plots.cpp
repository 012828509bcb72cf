// The MONITORS, PLOTS and HISTORIES actions on descriptor texts, over a unit square
// built directly (the boundary actions are not read here).
#include <cmath>
#include <cstring>
#include <vector>

#include "plot/plot.h"
#include "runtime/bounding.h"
#include "domain/domain.h"
#include "domain/edges.h"
#include "domain/joints.h"
#include "domain/regions.h"
#include "model/metrics.h"
#include "reader/rdexpr.h"
#include "runtime/bopmem.h"
#include "runtime/math.h"
#include "tests/reader/actions.h"

namespace {

using Case = std::pair<const char *, const char *>;

// A double of the point action: the folded coordinates, at the closing bracket.
void point2(parse_node *r, parse_node *const *v) {
  r->value.xyz[0] = rdexpr_constize(v[2]);
  r->value.xyz[1] = rdexpr_constize(v[3]);
  r->value.xyz[2] = 0;
  r->loc = v[4]->loc;
}
// A double of the coordinate-system action: the named system.
void coordinates(parse_node *, parse_node *const *v) {
  metrics_get_metric(&rdpde_problem->coords, &v[2]->id->name, 0, &rdpde_problem->coordnames);
}

struct Plots : Actions {
  static Plots *self;
  bool zknown = false;  // the surfaces have given the domain's z range, 0 to 1
  void SetUp() override {
    Actions::SetUp();
    bounding_init();
    math_init();
    self = this;
    replace("rdomain_defpoint", point2);
    replace("rdomain_coordspec0", coordinates);
    replace("rdexpr_startvar", variables);
  }
  // Every parse starts from an empty domain: VARIABLES, which every text here has,
  // builds the square before the plots are read.
  static void variables(parse_node *r, parse_node *const *v) {
    rdexpr_startvar(r, v);
    self->square(rdpde_problem->mesh.domain);
  }
  void square(Domain *d) {
    // The unit square, region 1, with the one-edge path OUTER along its bottom.
    uint16_t j[4];
    const double xy[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    for (int k = 0; k < 4; k++) j[k] = joints_make_joint_1(&d->joints, xy[k][0], xy[k][1], &d->grid);
    uint16_t r = regions_new_region(&d->regions, 0, 0, 0), l = edges_new_loop(&d->loops);
    for (int k = 0; k < 4; k++)
      edges_add_to_loop(&d->loops, l, edges_make_line_edge(&d->edges, &d->joints, j[k], j[(k + 1) % 4], &d->grid));
    vectorn_one_more(&d->regions.data[r - 1].loops, l);
    uint16_t outer = edges_new_loop(&d->loops);
    edges_add_to_loop(&d->loops, outer, d->loops.data[l - 1].edges.data[0]);
    strings_copyto_1(&d->loops.data[outer - 1].name, "OUTER");
    joints_quantize(&d->joints, &d->grid);
    for (uint16_t k = 0; k < d->edges.count; k++) edges_bound_edge(&d->edges.data[k], &d->joints, &d->grid);
    // Names for the extruded tests: two surfaces and the layer between them.
    for (auto [list, name] : {std::pair{&d->sheetnames, "BOTTOM"}, {&d->sheetnames, "TOP"}, {&d->layernames, "L1"}}) {
      String s = {};
      strings_copyto_1(&s, name);
      strings_one_more(list, &s);
      strings_free_0(&s);
    }
    if (zknown) d->grid.box.z1 = 0, d->grid.box.z2 = 1;
  }
  void replace(const char *name, acpde_handler h) {
    for (int c = 1; c <= ACPDE_CODES; c++)
      if (acpde_handler_names[c] && !strcmp(acpde_handler_names[c], name)) acpde_handlers[c] = h;
  }
  plotrec &rec(int k) { return p->plotrecs.data[k - 1]; }
  plotdata &data(int k) { return p->plotdatas.data[rec(k).data - 1]; }
  std::string title(int k, int line) { return rec(k).titles.items[line - 1].text; }
};
Plots *Plots::self = nullptr;

TEST_F(Plots, FlagsListsAndScales) {
  ASSERT_EQ(parse("VARIABLES u PLOTS CONTOUR(u) PAINTED LOG TABLE(u, 2*u)"), "ok");
  EXPECT_EQ(rec(1).kind, PLOT_CONTOUR);
  EXPECT_EQ(rec(1).flags, 0x08040200u);
  EXPECT_EQ(rec(1).scale, 1);
  EXPECT_EQ(rec(2).kind, PLOT_TABLE);
  EXPECT_EQ((std::vector<int>{p->plots.count, p->exports.count, p->monitors.count}), (std::vector<int>{1, 1, 0}));
  EXPECT_EQ(title(1, 1) + "|" + title(2, 1), "CONTOUR(u)|TABLE(u, 2*u)");
  EXPECT_STREQ(rec(2).labels.items[1].text, "2*u");
  ASSERT_EQ(parse("VARIABLES u MONITORS CONTOUR(u) PAINTED LOG TABLE(u)"), "ok");
  EXPECT_EQ(rec(1).flags, 0x0A040200u);
  EXPECT_EQ(p->monitors.count * 10 + p->plots.count + p->exports.count, 20);
  // The scale words by kind, LOG(n) and the colour words.
  const struct {
    const char *entry;
    int scale;
  } scales[] = {{"ELEVATION(u) FROM (0,0) TO (1,1) LOGLIN", 4},
                {"CONTOUR(u) LOGLIN", 6},
                {"CONTOUR(u) LINLOGLOG", 3},
                {"CONTOUR(u) LOGLOG", 7},
                {"ELEVATION(u) FROM (0,0) TO (1,1) LINLOG", 2},
                {"SURFACE(u) LOG(3)", 1}};
  for (auto &s : scales) {
    ASSERT_EQ(parse(std::string("VARIABLES u PLOTS ") + s.entry), "ok") << s.entry;
    EXPECT_EQ(rec(1).scale, s.scale) << s.entry;
  }
  EXPECT_EQ(rec(1).decades, 3);
  ASSERT_EQ(parse("VARIABLES u DEFINITIONS c = x PLOTS GRID(x, y) PAINTREGIONS GRAY NOMERGE GRID(x, y) PAINTMATERIALS BLACK MERGE"), "ok");
  EXPECT_EQ((std::vector<uint32_t>{rec(1).flags, uint32_t(rec(1).colour), data(1).paintregions}),
            (std::vector<uint32_t>{0x00040080u, 1, 1}));
  EXPECT_EQ((std::vector<uint32_t>{rec(2).flags, uint32_t(rec(2).colour), data(2).paintregions}),
            (std::vector<uint32_t>{0x00040800u, 2, 0}));
  EXPECT_NE(rec(1).data, rec(2).data);  // painted by region and by material
}

TEST_F(Plots, LinePlots) {
  ASSERT_EQ(parse("VARIABLES u PLOTS ELEVATION(u) FROM (0,0) TO (1,0) LOG"), "ok");
  plotdata &d = data(1);
  EXPECT_EQ(rec(1).scale, 2);
  EXPECT_EQ((std::vector<double>{double(d.lineaxis), d.linelength, d.direction[0], d.direction[1], d.direction[2]}),
            (std::vector<double>{1, 1, 1, 0, 0}));
  EXPECT_EQ((std::vector<double>{d.lineplane[0], d.lineplane[1], d.lineplane[2], d.lineplane[3]}),
            (std::vector<double>{0, -1, 0, 0}));
  EXPECT_EQ(title(1, 2) + "|" + title(1, 3), "FROM (0,0)|TO (1,0)");
  // A one-edge straight path is the same line; two different paths keep two meshes.
  ASSERT_EQ(parse("VARIABLES u PLOTS ELEVATION(u, 2*u) ON 'outer' ELEVATION(u) FROM (0,0) TO (1,0)"), "ok");
  EXPECT_EQ(data(1).line * 10 + data(1).lineaxis, 11);
  EXPECT_EQ(rec(1).data, rec(2).data);
  EXPECT_EQ(rec(1).lines.data[0].count, 2);
  EXPECT_EQ(title(1, 1) + "|" + title(1, 2), "ELEVATION(u, 2*u)|ON outer");
  ASSERT_EQ(parse("VARIABLES u SELECT moving PLOTS ELEVATION(u) ON 'outer' ELEVATION(u) ON 'outer' ELEVATION(u) FROM "
                  "(0,0) TO (1,1)"),
            "ok");
  EXPECT_EQ(data(1).boundary, 2);
  EXPECT_EQ(rec(1).data, rec(2).data);
  EXPECT_NE(rec(1).data, rec(3).data);
}

TEST_F(Plots, Times) {
  const char *steady = "VARIABLES u ", *timed = "VARIABLES u DEFINITIONS a = t ";
  ASSERT_EQ(parse(std::string(timed) + "PLOTS FOR TIME = 0 BY 0.1 TO 0.35 CONTOUR(u) FOR t = 2 CONTOUR(u)"), "ok");
  const vectord &t = p->timerecs.data[0].times;
  EXPECT_EQ(std::vector<double>(t.data, t.data + t.count), (std::vector<double>{0, 0.1, 0.2, 0.30000000000000004, 0.35}));
  EXPECT_EQ(p->timerecs.data[1].plots.data[0], 2);
  EXPECT_EQ(p->lastplottime, 2);
  const Case cases[] = {
      {"PLOTS FOR CYCLE = 5 1 CONTOUR(u)", "Mixed Plot Time Forms @1:52"},
      {"PLOTS FOR CYCLE = 5 BY 1 TO 2 CONTOUR(u)", "Mixed Plot Time Forms @1:53"},
      {"PLOTS FOR TIME = 0 BY 0 TO 1", "ZERO INTERVAL @1:54"},
      {"PLOTS FOR x = 0", "Illegal name @1:42"},
      {"PLOTS CONTOUR(u)", "No Plot Time Specified @1:44"},
  };
  for (auto [text, want] : cases) EXPECT_EQ(parse(timed + std::string(text)), want) << text;
  EXPECT_EQ(parse(std::string(steady) + "HISTORIES HISTORY(u)"), "Problem is neither time dependent nor staged. @1:30");
  ASSERT_EQ(parse("VARIABLES u SELECT stages = 2 HISTORIES HISTORY(u, 2*u) AT (0.5, 0.5) (0.2, 0.2)"), "ok");
  EXPECT_EQ((std::vector<int>{p->histories.count, rec(1).values.count, rec(1).values.data[1].count, rec(1).at.count}),
            (std::vector<int>{1, 2, 2, 2}));
  ASSERT_EQ(parse("SELECT modes = 4 VARIABLES u PLOTS CONTOUR(u) CONTOUR(u, 2*u) ELEVATION(u) FROM (0,0) TO (1,1)"), "ok");
  EXPECT_EQ((std::vector<int>{rec(1).values.count, rec(1).integrals.count, rec(2).values.count, rec(3).lines.count,
                              rec(3).integrals.count}),
            (std::vector<int>{4, 4, 8, 4, 4}));
}

TEST_F(Plots, ZoomViewReportsAndSharing) {
  const Case cases[] = {
      {"PLOTS CONTOUR(u) ZOOM(2, 2, 1, 1)", "Empty ZOOM Box @1:34"},
      {"PLOTS CONTOUR(u) ZOOM(1, 1, 1, 1)", "ok"},
      {"PLOTS CONTOUR(u) ZOOM(0, 0, 0, 1, 1, 1)", "3D ZOOM Box in 2D geometry @1:34"},
  };
  for (auto [text, want] : cases) EXPECT_EQ(parse("VARIABLES u " + std::string(text)), want) << text;
  ASSERT_EQ(parse("VARIABLES u DEFINITIONS c = x PLOTS SURFACE(u) VIEWPOINT(-3, -2, 30) SUMMARY REPORT(u) REPORT u AS 'flux' "
                  "REPORT (u)+(2*u) REPORT 'text'"),
            "ok");
  EXPECT_NEAR(rec(1).viewpoint[2], 1.0471976, 1e-7);
  EXPECT_EQ(title(1, 2), "VIEWPOINT(-3, -2, 30)");
  std::string names;
  for (int k = 1; k <= rec(2).reportnames.count; k++) names += std::string(rec(2).reportnames.items[k - 1].text) + "|";
  EXPECT_EQ(names, "u|flux|(u)+(2*u)|text|");
  EXPECT_EQ(rec(2).reports.data[3], nullptr);
  ASSERT_EQ(parse("VARIABLES u PLOTS CONTOUR(u) ZOOM(0, 0, 0.5, 0.5) CONTOUR(u) ZOOM(0, 0, 0.5, 0.5) "
                  "CONTOUR(u) ZOOM(0, 0, 0.5, 0.25) CONTOUR(u) PAINTED CONTOUR(u) ON REGION 1"),
            "ok");
  EXPECT_EQ((std::vector<uint32_t>{rec(1).data, rec(2).data, rec(3).data, rec(4).data, rec(5).data}),
            (std::vector<uint32_t>{1, 1, 2, 3, 4}));
  EXPECT_EQ(p->plotdatas.count, 4);
  EXPECT_NEAR(data(5).box[3], 1.001, 1e-12);  // the region's box, widened by 0.1%
}

TEST_F(Plots, ThreeDimensions) {
  const std::string head = "COORDINATES cartesian3 VARIABLES u DEFINITIONS c = z PLOTS ";
  ASSERT_EQ(parse(head + "CONTOUR(u) ON z = 0.5 CONTOUR(u) ON y = 0.25 CONTOUR(u) ZOOM(-1, -1, -1, 3, 3, 3) "
                         "ON SURFACE 1"),
            "ok");
  EXPECT_EQ((std::vector<double>{data(1).plane[0], data(1).plane[1], data(1).plane[2], data(1).plane[3],
                                 double(data(1).planeaxis)}),
            (std::vector<double>{0, 0, 1, -0.5, 3}));
  EXPECT_EQ((std::vector<double>{data(2).plane[0], data(2).plane[1], data(2).plane[2], data(2).plane[3],
                                 double(data(2).planeaxis)}),
            (std::vector<double>{0, -1, 0, 0.25, 2}));
  EXPECT_EQ(title(1, 2), "ON z = 0.5");
  // A line's plane in space: the direction crossed with the axis of its smallest component.
  ASSERT_EQ(parse(head + "ELEVATION(u) FROM (0,0) TO (1,0) ELEVATION(u) FROM (0,0) TO (0,2)"), "ok");
  EXPECT_EQ((std::vector<double>{data(1).lineplane[0], data(1).lineplane[1], data(1).lineplane[2],
                                 data(2).lineplane[0], data(2).lineplane[1], data(2).lineplane[2]}),
            (std::vector<double>{0, 0, 1, 0, 0, -1}));
  const Case cases[] = {
      {"CONTOUR(u)", "2D Localization Required @1:67"},
      {"CONTOUR(u) ON 1 = 1", "NULL Plot Axis @1:73"},
      {"CONTOUR(u) ON x*x = 1", "Planar Surface Required @1:76"},
      {"CONTOUR(u) ON LAYER 3", "Bad Layer Number @1:81"},
      {"ELEVATION(u) ON SURFACE 1", "Illegal PLOT Qualifier @1:83"},
      {"CONTOUR(u) ZOOM(2, 2, 2, 1, 1, 1)", "Empty ZOOM Box @1:75"},
      {"CONTOUR(u) ON 'nowhere'", "Unknown Name: NOWHERE @1:83"},
      {"CONTOUR(u) ON SURFACE 3", "Bad Surface Number @1:83"},
      {"CONTOUR(u) ON SURFACE 'middle'", "UNKNOWN SURFACE NAME. @1:90"},
      {"CONTOUR(u) ON LAYER 'l2'", "UNKNOWN LAYER NAME. @1:84"},
      {"CONTOUR(u) ON 'top' CONTOUR(u) ON SURFACE 'Top' ON LAYER 'l1'", "ok"},
  };
  for (auto [text, want] : cases) EXPECT_EQ(parse(head + text), want) << text;
  // The z range is tested only once the surfaces have given it.
  const std::string above = "CONTOUR(u) ZOOM(0, 0, 5, 1, 1, 1) ON SURFACE 1";
  EXPECT_EQ(parse(head + above), "ok");
  zknown = true;
  EXPECT_EQ(parse(head + above), "Empty ZOOM Box @1:75");
}

TEST_F(Plots, FailureMessages) {
  const Case cases[] = {
      {"PLOTS CONTOUR(u) SHINY", "Illegal Name @1:35"},
      {"PLOTS CONTOUR(u) LIN(2)", "Illegal Name @1:33"},
      {"PLOTS CONTOUR(u) MESH = 2", "Illegal Name @1:34"},
      {"PLOTS CONTOUR(u) FILE 'a.txt'", "PRINT not specified @1:34"},
      {"PLOTS ELEVATION(u) FROM (0.5,0.5) TO (0.5,0.5)", "NULL Plot Axis @1:59"},
      {"PLOTS ELEVATION(u) ON 'outer' ON 'outer'", "Conflicting Boundary Names @1:53"},
      {"PLOTS CONTOUR(u) ON REGION 'core'", "UNKNOWN REGION NAME. @1:46"},
      {"PLOTS CONTOUR(u) ON REGION 2", "Bad Region Number @1:41"},
      {"PLOTS CONTOUR(u) ON REGION 0", "Bad Region Number @1:41"},
      {"PLOTS CONTOUR(u) ON SURFACE 1", "Illegal PLOT Qualifier @1:40"},
      {"PLOTS CONTOUR(u) ON REGION 1 FROM (0,0) TO (1,1)", "FROM and ON are mutually exclusive @1:46"},
      {"PLOTS ELEVATION(u) FROM (0,0) TO (1,1) ON REGION 'a'", "FROM and ON are mutually exclusive @1:65"},
      {"SELECT cubic PLOTS TECPLOT(u)", "Can't Generate TECPLOT Output from CUBIC basis @1:39"},
      {"PLOTS CONTOUR(u) POINTS = 1e9", "POINTS must be 2 to 65535 @1:42"},
      {"PLOTS CONTOUR(u) POINTS = (5, -3)", "POINTS must be 2 to 65535 @1:45"},
      {"PLOTS CONTOUR(u) PRINT(70000.5, 2.9)", "PRINT must be 2 to 65535 @1:43"},
      {"PLOTS CONTOUR(u) PRINT(3, 1.9)", "PRINT must be 2 to 65535 @1:42"},
      {"PLOTS CONTOUR(u) PRINT FILE 'a' TABLE(u) FILE 'b' POINTS = (65535.9, 2) PRINT(65535, 2.9)", "ok"},
  };
  for (auto [text, want] : cases) EXPECT_EQ(parse("VARIABLES u " + std::string(text)), want) << text;
  EXPECT_EQ((std::vector<int>{data(2).points[0], data(2).points[1], rec(2).points[0], rec(2).points[1]}),
            (std::vector<int>{65535, 2, 65535, 2}));
  EXPECT_STREQ(rec(2).file.text, "b");
  // A two-line message, its mark under the star.
  setenv("RAW", "1", 1);
  EXPECT_NE(parse("VARIABLES u PLOTS CONTOUR(u) PRINT *")
                .find("PRINT *\n" + std::string(47, ' ') + "*\n           Line 1 ERROR: * option no longer "
                      "supported.\nUse PRINT or TRANSFER\n"),
            std::string::npos);
  unsetenv("RAW");
}

// An error inside PLOTS abandons the parse; the next parse starts from no records.
TEST_F(Plots, ReparseAfterError) {
  ASSERT_EQ(parse("VARIABLES u"), "ok");  // the domain every parse builds
  int64_t before = XMEM;
  EXPECT_EQ(parse("VARIABLES u DEFINITIONS a = t PLOTS FOR TIME = 1 CONTOUR(u) ZOOM(5, 5, 1, 1)"),
            "Empty ZOOM Box @1:65");
  ASSERT_EQ(parse("VARIABLES u PLOTS CONTOUR(u)"), "ok");
  EXPECT_EQ(p->timerecs.count * 10 + p->plotrecs.count, 1);
  ASSERT_EQ(parse("VARIABLES u"), "ok");
  EXPECT_LE(XMEM, before + 4096);  // the plot vectors are released with each parse
}

}  // namespace
