// Views: the coordinate model against hand-computed frames, sizing, nesting,
// numbering and killing.
#include <cmath>

#include "tests/graphics/fixture.h"
#include "tests/runtime/fatal_stop.h"

using Views = Graphics;

TEST_F(Views, FramesFollowTheClientSize) {
  uint16_t w = window(600, 400);
  viewrec *v = rec(w);
  EXPECT_EQ(v->ppu, 400);
  EXPECT_FLOAT_EQ(v->relbox.x2, 1.5f);
  EXPECT_FLOAT_EQ(v->relbox.y2, 1.0f);
  EXPECT_EQ(std::make_pair(v->pscale.x, v->pscale.y), std::make_pair(400.0f, -400.0f));
  EXPECT_EQ(v->pixwin.y1, 400);  // the bottom row
  // A quarter-size view in the middle, then the window resized to 500 x 300.
  uint16_t n = gag_newview_1(w, 0.375, 0.25, 1.125, 0.75, 0);
  rects context = rec(n)->context;
  EXPECT_EQ(rec(n)->pixwin.x1, 150);
  EXPECT_EQ(rec(n)->pixwin.y1, 300);
  gag_movewindow(w, 0, 0, 500, 350);
  EXPECT_EQ(v->pixwin.y1, 300);
  EXPECT_EQ(v->pixwin.x2, 500);
  EXPECT_NEAR(v->relbox.x2, 5.0 / 3, 1e-6);
  EXPECT_FLOAT_EQ(v->relbox.y2, 1.0f);
  EXPECT_EQ(memcmp(&rec(n)->context, &context, sizeof context), 0);
  EXPECT_EQ(rec(n)->pixwin.x1, 112);  // trunc(300 x 0.375)
  EXPECT_EQ(rec(n)->pixwin.y2, 75);   // 300 - 300 x 0.75
  EXPECT_EQ(rec(n)->client.x, 500);
}

TEST_F(Views, UserPointsMapClampedListsDoNot) {
  uint16_t w = window(600, 400);
  gag_scaleview_1(w, 10, -1, 0, 1);  // corners ordered
  viewrec *v = rec(w);
  EXPECT_DOUBLE_EQ(v->usr.x1, 0);
  EXPECT_DOUBLE_EQ(v->scale.x, 0.15);
  points r;
  pointd far = {20, 3};
  gag_askpos(w, &far, &r);
  EXPECT_FLOAT_EQ(r.x, 3.0f);  // not clamped
  pointd out = {-7, -7};
  uint16_t n = gag_newview_1(w, 5, 0, 20, 2, 0);  // cut to the parent's box
  EXPECT_FLOAT_EQ(rec(n)->context.x2, 1.5f);
  EXPECT_FLOAT_EQ(rec(n)->context.y2, 1.0f);
  gag_remappoint_1(n, &out, w, 20, 3);  // clamped to (10, 1) in the window
  EXPECT_NEAR(out.x, 1.5, 1e-6);
}

// The relative rectangle is placed in the view's whole box, wide or tall.
TEST_F(Views, ScaleRectUsesTheRelativeBox) {
  uint16_t w = window(600, 400);
  rects r = {0.15f, 0.1f, 1.35f, 0.9f};
  rectd u = {0, 0, 12, 8};
  gag_scalerect(w, &r, &u);
  const rectd &usr = rec(w)->usr;
  EXPECT_NEAR(usr.x1, -1.5, 1e-5);
  EXPECT_NEAR(usr.x2, 13.5, 1e-5);
  EXPECT_NEAR(usr.y2, 9.0, 1e-5);
  points p;
  pointd corner = {12, 8};
  gag_askpos(w, &corner, &p);
  EXPECT_NEAR(p.x, 1.35, 1e-5);
}

TEST_F(Views, ZeroClientSizeTakesOnePixel) {
  uint16_t w = window(0, 0);
  EXPECT_EQ(rec(w)->ppu, 1);
  EXPECT_FLOAT_EQ(rec(w)->relbox.x2, 1.0f);
  gag_textsize(w, 20, 1);
  EXPECT_EQ(rec(w)->charpixh, 0);
}

// A character cell is 1/size high and aspect/size wide in relative units.
TEST_F(Views, TextCellInAWideView) {
  uint16_t w = window(600, 200);
  gag_textsize(w, 20, 0.5f);
  const float *b = rec(w)->basematrix;
  EXPECT_NEAR(256 * b[3], 1.0 / 20, 1e-7);
  EXPECT_NEAR(256 * b[0], 0.5 / 20, 1e-7);
  EXPECT_EQ(rec(w)->charpixh, 10);
  EXPECT_EQ(rec(w)->charpixw, 2);
}

TEST_F(Views, NumbersAreReusedAndCountsShrinkFromTheTop) {
  uint16_t v[5];
  for (auto &n : v) n = window(100, 100);
  EXPECT_EQ(v[4], 5);
  gag_killview(5);
  EXPECT_EQ(gag_viewcount, 4);
  gag_killview(3);
  EXPECT_EQ(gag_viewcount, 4);
  EXPECT_EQ(window(100, 100), 3);
}

// A nested view killed alone leaves its siblings linked; its own children go.
TEST_F(Views, KillingANestedViewUnlinksIt) {
  uint16_t w = window(300, 300);
  uint16_t a = gag_newview_1(w, 0, 0, 0.5, 0.5, 0), b = gag_newview_1(w, 0.5, 0, 1, 0.5, 0),
           c = gag_newview_1(w, 0, 0.5, 1, 1, 0), inner = gag_newview_1(b, 0, 0, 0.5, 0.5, 0);
  EXPECT_EQ(rec(rec(rec(w)->child)->sibling)->sibling, c);
  gag_killview(b);
  EXPECT_FALSE(checkview(b));
  EXPECT_FALSE(checkview(inner));
  EXPECT_EQ(rec(a)->sibling, c);
  gag_killview(a);
  EXPECT_EQ(rec(w)->child, c);
}

// Closing the layer destroys each window once, owned windows with their owner.
TEST_F(Views, CloseGraphDestroysEachWindowOnce) {
  uint16_t owner = window(200, 200);
  String caption = text("owned");
  uint16_t owned = gag_newwindow_1(owner, cls, 10, 10, 100, 150, &caption, 0, 3);
  gag_closegraph();
  int destroyed[3] = {0, 0, 0};
  for (const Event &e : events)
    if (e.event == msg_destroy) destroyed[e.view]++;
  EXPECT_EQ(destroyed[owner], 1);
  EXPECT_EQ(destroyed[owned], 1);
  EXPECT_EQ(gag_viewcount, 0);
}

TEST_F(Views, FatalStopsName) {
  EXPECT_EQ(fatal_stop([] { gag_moveto_1(9, 0, 0); }), "Bad View! IN getview");
  EXPECT_EQ(fatal_stop([] { gag_newview_1(9, 0, 0, 1, 1, 0); }),
            "Invalid Parent Viewport IN gag_newview_0");
  EXPECT_EQ(fatal_stop([] {
              String c = text("x");
              gag_newwindow_2(0, 999, 10, 10, &c, 0);
            }),
            "Bad WindowClass IN gag_newwindow_1");
}

// A quarter of the unit circle traced in steps of at most the chord length ends
// at (0, 1) to the midpoint rule's accuracy: 15 steps of pi/30, each short by d^3/24.
TEST_F(Views, TracedArcFollowsTheCircle) {
  uint16_t w = window(400, 400);
  gag_scaleview_1(w, -2, -2, 2, 2);
  pointd start = {1, 0};
  gag_tracearc(w, &start, 1, 1, 0, M_PI / 2, 0.1);
  EXPECT_NEAR(rec(w)->lastusr.x, 0, 1e-3);
  EXPECT_NEAR(rec(w)->lastusr.y, 1, 1e-3);
  EXPECT_EQ(rec(w)->toplist->count, 30u);  // a move and a draw per step
  // With no chord (an arc whose box is flat) the steps are bounded by the angle alone: 9
  // steps of 10 degrees, each short by d^3/24, where the step of zero traced nothing.
  gag_tracearc(w, &start, 1, 1, 0, M_PI / 2, 0);
  EXPECT_NEAR(rec(w)->lastusr.x, 0, 5e-3);
  EXPECT_NEAR(rec(w)->lastusr.y, 1, 5e-3);
  EXPECT_EQ(rec(w)->toplist->count, 48u);
}
