// Plot frames and the 3D layer: ticks, levels and colours against values worked out
// by hand from the rules, mapping margins, tags, arrows, band areas by the shoelace
// formula over the recorded fills, and golden view streams of whole pictures.
#include <cmath>
#include <cstdlib>
#include <map>
#include <set>

#include "runtime/settings.h"
#include "graphics/gag1d.h"
#include "graphics/gag3d.h"
#include "tests/graphics/fixture.h"
#include "tests/runtime/fatal_stop.h"

struct Frames : Graphics {
  plotframe f{};
  void SetUp() override {
    Graphics::SetUp();
    gag1d_init();
    gag3d_init();
    gag1d_init(&f);
  }
  // The stroke runs of a text drawn alone (font 1, angle 0) in a fresh window of the
  // view's size.
  std::vector<const glop *> strokes(uint16_t like, const char *t, float size, char uniform) {
    uint16_t s = window(rec(like)->client.x, rec(like)->client.y);
    gag_textfont(s, 1);
    gag_textsize(s, size, 1);
    if (uniform) gag_textuniform_0(s, uniform);
    String txt = text(t);
    gag_drawtext_1(s, 0.5, 0.5, &txt);
    return entries(s, glpydraw);
  }
  // True when the view's strokes hold those of the text, moved as a whole; the box the
  // strokes of the first such text span goes to *box when asked.
  bool shows(uint16_t view, const char *t, float size, char uniform = 0, rectd *box = nullptr) {
    auto want = strokes(view, t, size, uniform), have = entries(view, glpydraw);
    for (size_t i = 0; !want.empty() && i + want.size() <= have.size(); i++) {
      float dx = have[i]->list.data[0].x - want[0]->list.data[0].x;
      float dy = have[i]->list.data[0].y - want[0]->list.data[0].y;
      bool same = true;
      for (size_t k = 0; k < want.size() && same; k++) {
        const pointslist &h = have[i + k]->list, &w = want[k]->list;
        same = h.count == w.count;
        for (int32_t j = 0; same && j < w.count; j++)
          same = std::fabs(h.data[j].x - w.data[j].x - dx) < 1e-4 &&
                 std::fabs(h.data[j].y - w.data[j].y - dy) < 1e-4;
      }
      if (same && box) {
        *box = {HUGE_VAL, HUGE_VAL, -HUGE_VAL, -HUGE_VAL};
        for (size_t k = 0; k < want.size(); k++)
          for (int32_t j = 0; j < have[i + k]->list.count; j++) {
            const auto &p = have[i + k]->list.data[j];
            *box = {std::min(box->x1, double(p.x)), std::min(box->y1, double(p.y)), std::max(box->x2, double(p.x)),
                    std::max(box->y2, double(p.y))};
          }
      }
      if (same) return true;
    }
    return false;
  }
};

static vectord vec(std::vector<double> v) {
  vectord out{};
  for (double x : v) vectord_one_more(&out, x);
  return out;
}

TEST(Ticker, NiceStepsScalesAndExponents) {
  struct Case { double a, b, step, scale; int first, last, exponent; };
  for (Case c : {Case{0, 1, 1, 0.1, 0, 10, -1}, Case{0, 7, 1, 1, 0, 7, 0},
                 Case{0, 0.005, 5, 1e-4, 0, 10, -4}, Case{3, 3, 3, 1, 1, 1, 0},
                 // raw steps 1.6, 2 and 3.4 against the thresholds sqrt 2, sqrt 3, sqrt 10
                 Case{0, 12, 2, 1, 0, 6, 0}, Case{0, 15, 3, 1, 0, 5, 0}, Case{0, 25.5, 5, 1, 0, 5, 0}}) {
    tickspec t;
    gag1d_ticker(c.a, c.b, 5, 0.01, &t);
    EXPECT_EQ(t.step, c.step) << c.b;
    EXPECT_NEAR(t.scale, c.scale, 1e-12 * c.scale) << c.b;
    EXPECT_EQ(t.first, c.first) << c.b;
    EXPECT_EQ(t.last, c.last) << c.b;
    EXPECT_EQ(t.exponent, c.exponent) << c.b;
  }
}

TEST(Levels, EvenLogColoursAndScales) {
  gag1d_init();
  vectord v{};
  ASSERT_EQ(gag1d_getlevels(0, 1, 10, &v, 0), 21);
  for (int j = 0; j < 21; j++) EXPECT_NEAR(v.data[j], 0.05 * j, 1e-12);
  double ln[] = {1, 2, 10, 20, 100, 200, 1000};
  ASSERT_EQ(gag1d_getlnlevels(1, 500, 5, &v, 0), 7);
  for (int j = 0; j < 7; j++) EXPECT_NEAR(v.data[j] / ln[j], 1, 1e-7);
  // Ranges without decades or without a finite width end with one level.
  EXPECT_EQ(gag1d_getlnlevels(-3, -1, 5, &v, 1), 1);
  EXPECT_EQ(gag1d_getlnlevels(1, INFINITY, 5, &v, 1), 1);
  EXPECT_EQ(gag1d_getlevels(0, INFINITY, 5, &v, 0), 1);
  vectord_free(&v);

  plotframe f{};
  gag1d_init(&f);
  gag1d_set_frame_colors_1(&f, 42, 3, 5, 37, 3, 0, 32, 11);
  for (int k = 1; k <= 4; k++) EXPECT_EQ(gag1d_tablecolor_0(&f, k, 4), 11 + 8 * (k - 1));
  EXPECT_EQ(gag1d_tablecolor_0(&f, 32, 40), 42);
  EXPECT_EQ(gag1d_tablecolor_0(&f, 33, 40), 11);
  f.reverse = 1;
  EXPECT_EQ(gag1d_tablecolor_0(&f, 1, 4), 35);

  for (auto [x, want] : {std::pair{1234.0, 3}, {0.05, -2}, {0.5, 0}, {0.0, 0}}) EXPECT_EQ(scale_size(x), want) << x;
}

TEST(Tags, LettersDigitsAndTheGenerator) {
  EXPECT_EQ((std::string{gag1d_tag_char(1), gag1d_tag_char(26), gag1d_tag_char(27), gag1d_hex_char(9),
                         gag1d_hex_char(10)}),
            "azA9A");
  gag1d_init();
  std::vector<int> seq;
  for (int k = 0; k < 3; k++) seq.push_back(gag1d_rand());
  EXPECT_EQ(seq, (std::vector<int>{16838, 5758, 10113}));
}

TEST_F(Frames, DefaultMarginsAndLogFallback) {
  uint16_t w = window(400, 400);
  gag1d_plotmap(w, &f, 0, 0, 1, 1, 0, 0, 0);
  points lo, hi;
  pointd a = {0, 0}, b = {1, 1};
  gag_askpos(w, &a, &lo);
  gag_askpos(w, &b, &hi);
  // Left: four lines of numbers and two of titles; below: two of each. Numbers are
  // drawn at 20 lines per view height (the legend's size), titles at 15 (the title and
  // label sizes 30 and 40 in proportion to them), each line 1.2 characters.
  EXPECT_NEAR(lo.x, 4 / 24.0 + 2 / 18.0, 1e-5);
  EXPECT_NEAR(lo.y, 2 / 24.0 + 2 / 18.0, 1e-5);
  EXPECT_NEAR(hi.x, 0.96667, 1e-5);
  EXPECT_NEAR(hi.y, 0.96667, 1e-5);

  // Code 6: log on both axes, the y margin linear.
  rectd box = {1, 10, 100, 20};
  gag1d_border_map(w, &f, &box, 6, 0);
  EXPECT_TRUE(f.logx && f.logy);
  EXPECT_NEAR(f.box.x1, -0.05 * std::log(100), 1e-12);
  EXPECT_NEAR(f.box.y1, std::log(9.5), 1e-12);
  EXPECT_NEAR(f.box.y2, std::log(20.5), 1e-12);

  gag1d_plotmap(w, &f, 1, -1, 2, 1, 2, 0, 0);
  EXPECT_FALSE(f.logy);
  EXPECT_NE(boxes_text().find("Negative Y reverts to linear scale"), std::string::npos);
  settings.batch = 1;
  size_t before = boxes_text().size();
  gag1d_plotmap(w, &f, -1, 1, 2, 2, 4, 0, 0);
  settings.batch = 0;
  EXPECT_FALSE(f.logx);
  EXPECT_EQ(boxes_text().size(), before);
}

TEST_F(Frames, AxisNumbersExponentsAndLegendDigits) {
  String none = text("");
  uint16_t a = window(400, 400), b = window(400, 400);
  gag1d_plotmap(a, &f, 0, 0, 0.005, 7, 0, 0, 0);
  gag1d_draw_axes(a, &f, &none, &none);
  float label = 20;  // the label size 40 over 1.2, held to the legend's 20 lines
  EXPECT_TRUE(shows(a, "e-4", label));
  EXPECT_TRUE(shows(a, "50.0", label));
  EXPECT_TRUE(shows(a, "7.0", label));
  gag1d_plotmap(b, &f, 0, 0, 1, 1e-6, 0, 0, 0);
  gag1d_draw_axes(b, &f, &none, &none);
  EXPECT_TRUE(shows(b, "0.2", label));
  EXPECT_FALSE(shows(b, "e-1", label));
  // Eleven numbers of three characters do not fit along 400 pixels at 20 lines per
  // height: every second tick is written, those on multiples of it.
  EXPECT_TRUE(shows(b, "0.4", label));
  EXPECT_FALSE(shows(b, "0.1", label));
  EXPECT_FALSE(shows(b, "0.3", label));
  // The same numbers from 0.1 to 1.1: still those on multiples of the second tick.
  uint16_t from = window(400, 400);
  gag1d_plotmap(from, &f, 0.1, 0, 1.1, 1e-6, 0, 0, 0);
  gag1d_draw_axes(from, &f, &none, &none);
  EXPECT_TRUE(shows(from, "0.4", label));
  EXPECT_FALSE(shows(from, "0.3", label));
  EXPECT_FALSE(shows(from, "1.1", label));

  // Numbers written across a y axis with their exponent moved out: the exponent stands
  // whole inside the view, left of the top number and clear of it, at the 725 x 521 and
  // 483 x 347 tiles and in a narrow view whose margin holds only the numbers.
  String ytitle = text("ELEVATION(u)");
  for (auto [w, h] : {std::pair{440, 400}, {290, 260}, {150, 300}}) {
    uint16_t v = window(w, h);
    gag1d_plotmap(v, &f, 0, 0, 1.4, 0.18, 0, 0, 0);
    gag1d_draw_axes(v, &f, &none, &ytitle);
    rectd ex{}, top{};
    ASSERT_TRUE(shows(v, "e-2", label, 0, &ex)) << w << " x " << h;
    ASSERT_TRUE(shows(v, "18.0", label, 0, &top)) << w << " x " << h;
    EXPECT_GE(ex.x1, 0) << w << " x " << h << ": the exponent's left end";
    bool beside = ex.y2 > top.y1 && ex.y1 < top.y2;
    EXPECT_TRUE(!beside || ex.x2 < top.x1) << w << " x " << h << ": the exponent against the top number";
    EXPECT_LT(ex.x2, top.x2) << w << " x " << h << ": the exponent left of the top number";
  }

  // A level list of one repeated value counts as one level, with the trap armed.
  rtlib_startup(0, nullptr);
  vectord same = vec({2, 2, 2});
  uint16_t c = window(200, 400);
  EXPECT_EQ(fatal_stop([&] { gag1d_level_table_1(c, &f, &same, 0, 0, 0, 0, nullptr); }), "");
  rtlib_release_signals();
  rtlib_fpu_default();
  EXPECT_TRUE(shows(c, "c :", 25, '0'));
  EXPECT_TRUE(shows(c, "2.0", 25, '0'));
  vectord_free(&same);
  // Levels of a logarithmic scale keep the digits of their closest pair: each of the
  // lowest decade shows as itself.
  vectord logs = vec({0.0012, 0.0015, 0.002, 0.003, 0.005, 0.007, 0.01, 0.012, 0.015, 0.02, 0.03, 0.05, 0.07, 0.1});
  uint16_t d = window(200, 400);
  gag1d_level_table_1(d, &f, &logs, 0, 0, 0, 0, nullptr);
  for (const char *t : {"0.0012", "0.0015", "0.002", "0.012"}) EXPECT_TRUE(shows(d, t, 25, '0')) << t;
  vectord_free(&logs);
  // Neighbouring levels half a hundredth apart read apart.
  vectord close = vec({0.125, 0.13, 0.135, 0.14, 0.145});
  uint16_t e = window(200, 400);
  gag1d_level_table_1(e, &f, &close, 0, 0, 0, 0, nullptr);
  for (const char *t : {"0.125", "0.135", "0.145"}) EXPECT_TRUE(shows(e, t, 25, '0')) << t;
  vectord_free(&close);
  // A small negative range end shown as zeros reads 0, not "-0.0".
  vectord two = vec({0.1, 0.2});
  uint16_t g = window(200, 400);
  gag1d_level_table_1(g, &f, &two, 1, 0, -0.004, 0.2, nullptr);
  EXPECT_TRUE(shows(g, "min", 25, '0'));
  EXPECT_FALSE(shows(g, "-0.0", 25, '0'));
  vectord_free(&two);
}

// A legend is recorded twice: at the frame's sizes for pages and metafiles (any surface
// but the view's own), and larger for the screen (the view's own surface). Each replay
// draws one of them, whole: the strokes of both make up the list.
TEST_F(Frames, LegendsDrawOnePictureForPagesAndOneForTheScreen) {
  vectord levels{};
  gag1d_getlevels(0, 0.3, 30, &levels, 0);
  String t1 = text("u"), t2 = text("levels");
  uint16_t v = window(230, 400);
  gag1d_level_table_0(v, &f, &levels, 1, 0, 0, 0.3, &t1, &t2);
  // The strokes and the tallest stroke in pixels of a replay's polylines.
  auto strokes = [](const std::vector<psurf_call> &calls, int *tallest) {
    int n = 0;
    *tallest = 0;
    for (const psurf_call &c : calls) {
      if (c.op != "polyline") continue;
      n++;
      int lo = INT32_MAX, hi = INT32_MIN;
      for (size_t k = 1; k < c.v.size(); k += 2) lo = std::min(lo, c.v[k]), hi = std::max(hi, c.v[k]);
      *tallest = std::max(*tallest, hi - lo);
    }
    return n;
  };
  int page_tall = 0, screen_tall = 0;
  int page = strokes(replayed(v), &page_tall);
  psurf *own = rec(v)->device;
  ASSERT_NE(own, nullptr);
  psurf_headless_record(own, true);
  gag_replay(v);
  int screen = strokes(psurf_headless_calls(own), &screen_tall);
  psurf_headless_record(own, false);
  EXPECT_EQ(page + screen, int(entries(v, glpydraw).size()));
  EXPECT_GT(page, 100);
  EXPECT_GT(screen, 100);
  // On the page the characters are a little over half a line high (30 lines to 400
  // pixels); on the screen they fill their lines.
  EXPECT_LE(page_tall, 9);
  EXPECT_GE(screen_tall, 1.5 * page_tall) << page_tall;
  vectord_free(&levels);
}

// Sixty levels take more, smaller lines than the frame's title size gives: the second
// column is not started again over itself.
TEST_F(Frames, ALegendOfSixtyLevelsWritesEachRowOnce) {
  vectord levels{};
  for (int k = 0; k < 60; k++) vectord_one_more(&levels, 0.01 * k);
  String t1 = text("u"), t2 = text("levels");
  uint16_t v = window(230, 400);
  gag1d_level_table_0(v, &f, &levels, 1, 0, 0, 0.59, &t1, &t2);
  // Strokes drawn again on the same points.
  std::map<std::vector<int>, int> seen;
  int again = 0;
  for (const psurf_call &c : replayed(v))
    if (c.op == "polyline") again += seen[c.v]++ > 0;
  // A couple of strokes coincide in any legend (repeated marks); a column started over
  // itself repeats dozens (65 here).
  EXPECT_LE(again, 4);
  vectord_free(&levels);
}

// The y title stands clear of a number written beside it: in a problem window's
// frame (titles 35 and numbers 42 lines high, aspect 0.7) over 0 to 1, "0.5" lies at
// the title's height; its strokes begin right of the title's by at least a third of
// the title's height.
TEST_F(Frames, TheYTitleStandsClearOfTheNumbersBesideIt) {
  gag1d_set_tick_type(&f, 3);
  gag1d_set_label_size(&f, 35, 0.7f, 42, 0.7f);
  // The stroke boxes (x1, y1, x2, y2 in relative units) of a frame with the y title.
  auto boxes = [&](const char *title) {
    uint16_t w = window(640, 455);
    String x = text("X"), y = text(title);
    gag1d_plotmap(w, &f, 0, 0, 1, 1, 0, 1, 0);
    gag1d_draw_axes(w, &f, &x, &y);
    std::set<std::vector<float>> out;
    for (const glop *e : entries(w, glpydraw)) {
      std::vector<float> b = {HUGE_VALF, HUGE_VALF, -HUGE_VALF, -HUGE_VALF};
      for (int32_t i = 0; i < e->list.count; i++) {
        const points &p = e->list.data[i];
        b = {std::min(b[0], p.x), std::min(b[1], p.y), std::max(b[2], p.x), std::max(b[3], p.y)};
      }
      out.insert(b);
    }
    return out;
  };
  auto titled = boxes("Y"), bare = boxes("");
  std::vector<float> title = {HUGE_VALF, HUGE_VALF, -HUGE_VALF, -HUGE_VALF};
  for (const auto &b : titled)
    if (!bare.count(b))
      title = {std::min(title[0], b[0]), std::min(title[1], b[1]), std::max(title[2], b[2]), std::max(title[3], b[3])};
  ASSERT_LT(title[0], title[2]);
  float numbers = HUGE_VALF;
  for (const auto &b : bare)
    if (b[2] < 0.2f && b[1] < title[3] && b[3] > title[1]) numbers = std::min(numbers, b[0]);
  ASSERT_LT(numbers, 0.2f) << "no number beside the title";
  EXPECT_GE(numbers - title[2], (title[2] - title[0]) / 3) << "title " << title[0] << " to " << title[2];
}

TEST_F(Frames, TagsArrowsAndLengths) {
  uint16_t w = window(400, 400);
  gag1d_plotmap(w, &f, 0, 0, 10, 10, 0, 0, 0);
  pointdlist tags{};
  String tag = text("q");
  vectord x3 = vec({1, 2, 3}), x9 = vec({1, 2, 3, 4, 5, 6, 7, 8, 9});
  gag1d_draw_tagged_0(w, &f, &x3, &x3, &tags, &tag);
  EXPECT_EQ(tags.count, 0);
  gag1d_draw_tagged_0(w, &f, &x9, &x9, &tags, &tag);
  ASSERT_EQ(tags.count, 1);
  EXPECT_TRUE(shows(w, "q", 20));
  // A short curve is tagged once; drawn again, it finds no clear place.
  vectord sx{}, sy{};
  for (int i = 0; i < 9; i++) vectord_one_more(&sx, 2 + 0.01 * i), vectord_one_more(&sy, 8);
  gag1d_draw_tagged_0(w, &f, &sx, &sy, &tags, &tag);
  EXPECT_EQ(tags.count, 2);
  gag1d_draw_tagged_0(w, &f, &sx, &sy, &tags, &tag);
  EXPECT_EQ(tags.count, 2);
  vectord_free(&sx), vectord_free(&sy);
  vectorb mask{};
  EXPECT_EQ(fatal_stop([&] { gag1d_draw_tagged_1(w, &f, &x9, &x9, &tags, &tag, &mask); }),
            "LENGTH ERROR IN gag1d_draw_tagged_1");
  EXPECT_EQ(fatal_stop([&] { gag1d_draw_curve_0(w, &f, &x3, &x9); }),
            "LENGTH ERROR IN gag1d_draw_curve_0");

  uint16_t a = window(400, 400);
  gag_scaleview_1(a, 0, 0, 1, 1);
  pointd from = {0.2, 0.5}, to = {0.8, 0.5};
  gag1d_arrow_0(a, &from, &to, 0.25);
  auto draws = entries(a, gldraw);
  ASSERT_EQ(draws.size(), 3u);
  for (int k = 1; k <= 2; k++) {
    double dx = draws[k]->v[0] - 0.8, dy = draws[k]->v[1] - 0.5;
    EXPECT_NEAR(std::fabs(std::atan2(dy, -dx)) * 180 / M_PI, 19.45, 0.01);
  }
  pointd_free_1(&tags);
  vectord_free(&x3);
  vectord_free(&x9);
}

// Shoelace area and colour of every recorded fill.
static std::vector<std::pair<double, int>> fills(const std::vector<const glop *> &list) {
  std::vector<std::pair<double, int>> out;
  for (const glop *e : list) {
    double s = 0;
    for (int32_t i = 0; i < e->list.count; i++) {
      const points &p = e->list.data[i], &q = e->list.data[(i + 1) % e->list.count];
      s += p.x * q.y - q.x * p.y;
    }
    out.push_back({std::fabs(s) / 2, e->colour});
  }
  return out;
}

TEST_F(Frames, BandPaintingAreas) {
  uint16_t w = window(400, 400);
  gag_scaleview_1(w, 0, 0, 1, 1);
  vectord levels = vec({0, 1, 2});
  pointd a = {0, 0}, b = {1, 0}, c = {0, 1};
  gag3d_paint(w, &f, &a, &b, &c, 0, 1, 2, &levels);
  auto got = fills(entries(w, glpyfill));
  ASSERT_GE(got.size(), 2u);
  for (int k : {0, 1}) {  // band 2 first
    EXPECT_NEAR(got[k].first, 0.25, 1e-6);
    EXPECT_EQ(got[k].second, gag1d_tablecolor_0(&f, 2 - k, 2));
  }
  for (size_t k = 2; k < got.size(); k++) EXPECT_NEAR(got[k].first, 0, 1e-9);

  uint16_t v = window(400, 400);
  gag_scaleview_1(v, 0, 0, 1, 1);
  vectord four = vec({0, 1, 2, 3});
  gag3d_paint(v, &f, &a, &b, &c, 1.2, 1.8, 1.5, &four);
  got = fills(entries(v, glpyfill));
  ASSERT_EQ(got.size(), 1u);
  EXPECT_NEAR(got[0].first, 0.5, 1e-6);
  EXPECT_EQ(got[0].second, gag1d_tablecolor_0(&f, 2, 3));
  // Values past the top boundary (a maximum between the levels' nodes) take the top
  // band: no unpainted hole.
  uint16_t u = window(400, 400);
  gag_scaleview_1(u, 0, 0, 1, 1);
  gag3d_paint(u, &f, &a, &b, &c, 0, 1, 3, &levels);
  got = fills(entries(u, glpyfill));
  double top = 0;
  for (const auto &g : got)
    if (g.second == gag1d_tablecolor_0(&f, 2, 2)) top += g.first;
  EXPECT_NEAR(top, 0.5 - 1.0 / 6, 1e-3);  // from the level 1 line to the corner at 3 (1/4 unfilled above 2)
  vectord_free(&levels);
  vectord_free(&four);
}

TEST_F(Frames, ThreeDMappingBoxAndArcs) {
  rect3d box = {0, 0, 5, 1, 2, 5};
  gag3d_plotmap3_0(&f, &box, 5, 0, 0.3, 0, 0, 0, 0, 1);
  EXPECT_NEAR(f.corners[0].z, 4.95, 1e-12);
  EXPECT_NEAR(f.corners[4].z, 5.05, 1e-12);
  EXPECT_EQ(f.state[0], 1);

  // Seen from straight above, the three edges at one top corner are left out.
  uint16_t w = window(400, 400);
  gag_scaleview_0(w, &f.box);
  gag3d_backing_box_1(w, &f, &box, 0, 1, nullptr, nullptr, nullptr);
  auto draws = entries(w, gldraw);
  int edges = 0;
  std::set<std::pair<float, float>> ends;
  for (const glop *e : draws)
    if (e->colour == f.colours.axis) edges++, ends.insert({e->v[0], e->v[1]});
  EXPECT_EQ(edges, 9);
  int missing = 0;
  for (int k = 0; k < 8; k++) {
    points r;
    gag_askpos(w, &f.projected[k], &r);
    bool seen = false;
    for (const glop *e : entries(w, glmove)) seen |= std::hypot(e->v[0] - r.x, e->v[1] - r.y) < 1e-5;
    for (auto &p : ends) seen |= std::hypot(p.first - r.x, p.second - r.y) < 1e-5;
    if (!seen) {
      EXPECT_GE(k, 4);  // a top corner
      missing++;
    }
  }
  EXPECT_EQ(missing, 1);

  // A box whose nodes were moved off the grid lines by a few quanta is labelled as the
  // exact box: its edges at 0 read 0 (the labels are stroked, so the strokes are counted).
  auto strokes = [&](const rect3d &b) {
    uint16_t v = window(400, 400);
    gag3d_plotmap3_0(&f, &b, 4, 1.0, 0.6, 0, 1, 0, 0, 1.1);
    gag_scaleview_0(v, &f.box);
    gag3d_backing_box_1(v, &f, &b, b.z1, b.z2, nullptr, nullptr, nullptr);
    return entries(v).size();
  };
  EXPECT_EQ(strokes({-2.7939677e-9, -9.313226e-10, -2.7939677e-9, 1.0000000028, 2.0000000019, 1}),
            strokes({0, 0, 0, 1, 2, 1}));

  uint16_t a = window(400, 400);
  transform3d T;
  geom3d_identity(&T);
  pointd start = {1, 0};
  gag3d_warp_arc_3d(a, 1, 1, &start, 0, 0, M_PI / 2, &T);
  EXPECT_EQ(entries(a, gldraw).size(), 9u);
  gag3d_warp_arc_3d(a, 1, 1, &start, 0, 0, 0, &T);
  EXPECT_EQ(entries(a, gldraw).size(), 9u);

  // Half the quarter circle lies in the clip box; patches fill, then outline closed.
  rect3d half = {0, 0, -1, 2, std::sqrt(0.5), 1};
  uint16_t z = window(400, 400);
  gag3d_warp_arc_zoomed_3d(z, 1, 1, &start, 0, 0, M_PI / 2, &T, &half);
  EXPECT_EQ(entries(z, gldraw).size(), 5u);
  double xy[6] = {0, 0, 1, 0, 0, 1};
  gag3d_patch_3(z, xy, 20, 3);
  ASSERT_EQ(entries(z, glpyfill).size(), 1u);
  EXPECT_EQ(entries(z, glpyfill)[0]->colour, 20);
  EXPECT_EQ(entries(z, glpyfill)[0]->list.count, 3);
  EXPECT_EQ(entries(z, glpydraw)[0]->list.count, 4);

  // Anaglyph stereo: one segment per eye in the first two role colours.
  stereorec s{};
  uint16_t st = window(400, 400);
  gag3d_stereo_rg(&s, st, &f);
  gag3d_stereo_color(&s, 9);
  point3d p = {0, 0, 5}, q = {1, 2, 5};
  gag3d_drawline_stereo_1(&s, &p, &q);
  auto eyes = entries(st, gldraw);
  ASSERT_EQ(eyes.size(), 2u);
  EXPECT_EQ(eyes[0]->colour, colour_cyan);
  EXPECT_EQ(eyes[1]->colour, colour_red);

  rect3d flat = {1, 0, 0, 1, 1, 1};
  EXPECT_EQ(fatal_stop([&] { gag3d_plotmap3_0(&f, &flat, 5, 1, 0, 0, 0, 0, 0, 1); }),
            "BAD X-Coordinate Range IN gag3d_plotmap3_0");
  point3d eye = {0.5, 1, 0.7};
  EXPECT_EQ(gag3d_plotmap3_1(&f, &box, &eye, 0, 0, 0, 0, 1), 0.7);
  EXPECT_NEAR(eye.x, 0.5 + 2 * std::sqrt(5.0), 1e-12);  // from the centre: azimuth 0
}

TEST_F(Frames, GoldenPictures) {
  String xt = text("x"), yt = text("y");
  vectord x = vec({0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10}), y{};
  for (int i = 0; i <= 10; i++) vectord_one_more(&y, 0.3 * i * i - 2);
  uint16_t lin = window(600, 400);
  gag1d_plot_curve(lin, &f, &x, &y, 0, 0, &xt, &yt);
  expect_golden("frame_linear.vst", stream(lin));

  vector2d curves{};
  vectord xs{};
  for (int i = 1; i <= 12; i++) vectord_one_more(&xs, std::pow(10, i / 4.0));
  for (int c = 1; c <= 3; c++) {
    vectord v{};
    for (int i = 1; i <= 12; i++) vectord_one_more(&v, c * std::pow(xs.data[i - 1], 0.5 * c));
    vector2d_resize(&curves, c, c);
    curves.data[c - 1] = v;
  }
  uint16_t log = window(600, 400);
  gag1d_plot_many(log, &f, &xs, &curves, 6, 0, &xt, &yt);
  expect_golden("frame_loglog.vst", stream(log));

  vectord levels{};
  gag1d_getlevels(0, 0.005, 8, &levels, 1);
  String t1 = text("u"), t2 = text("levels");
  uint16_t leg = window(200, 400);
  gag1d_level_table_0(leg, &f, &levels, 1, 0, -0.0001, 0.0052, &t1, &t2);
  expect_golden("legend_levels.vst", stream(leg));
  uint16_t band = window(200, 400);
  gag1d_band_table_0(band, &f, &levels, 0, 0, 0, 0, &t1, &t2);
  expect_golden("legend_bands.vst", stream(band));

  rect3d box = {0, 0, -1, 2, 1, 1};
  gag3d_plotmap3_0(&f, &box, 4, 1.0, 0.6, 0, 1, 0, 0, 1.1);
  uint16_t b3 = window(400, 400);
  gag_scaleview_0(b3, &f.box);
  gag3d_backing_box_1(b3, &f, &box, -1, 1, &xt, &yt, &t1);
  expect_golden("backing_box.vst", stream(b3));

  vectord_free(&x), vectord_free(&y), vectord_free(&xs), vectord_free(&levels);
  vector2d_free(&curves, 1);
}
