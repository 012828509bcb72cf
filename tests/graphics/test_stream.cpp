// Display lists and the view stream: bytes against python3's struct packing, round
// trips through fresh trees, replay, and hostile streams.
#include <algorithm>
#include <cmath>
#include <set>

#include "runtime/bopmem.h"
#include "tests/graphics/fixture.h"

using Stream = Graphics;

static std::string pack(const char *fmt, auto... v) {
  std::string out;
  (void)fmt;
  auto put = [&out](auto x) { out.append(reinterpret_cast<const char *>(&x), sizeof x); };
  (put(v), ...);
  return out;
}

static const std::string end_mark(uint16_t child = 0, uint16_t sibling = 0) {
  return "\x13" "END" + pack("", child, sibling, uint32_t(0));
}

TEST_F(Stream, BytesMatchStructPacking) {
  uint16_t w = window(600, 400);
  gag_setcolor_0(w, 3);
  gag_moveto_1(w, 0.25, 0.5);
  std::string bytes = stream(w);
  EXPECT_EQ(hex(bytes), python_pack("struct.pack('<4B2f', 0, 3, 0, 0, 0.25, 0.5) + b'\\x13END' + "
                                    "struct.pack('<HHI', 0, 0, 0)"));
  EXPECT_EQ(hex(bytes), "00030000" "0000803e" "0000003f" "13454e44" "0000000000000000");
  EXPECT_EQ(stream(window(10, 10)).size(), 12u);  // an empty recording view
  EXPECT_EQ(stream(window(10, 10, 1)).size(), 0u);  // a view that does not record
}

// Every recordable entry in a window and two nested views survives a round trip
// into a fresh tree of the same shape, byte for byte.
TEST_F(Stream, RoundTripThroughAFreshTree) {
  auto tree = [this](uint16_t *a, uint16_t *b) {
    uint16_t w = window(600, 400);
    *a = gag_newview_1(w, 0, 0, 0.75, 1, 0);
    *b = gag_newview_1(w, 0.75, 0, 1.5, 1, 0);
    return w;
  };
  int64_t held = XMEM;
  uint16_t a, b, w = tree(&a, &b);
  String label = text("label");
  pointd pts[3] = {{0.1, 0.1}, {0.5, 0.9}, {0.9, 0.2}};
  pointdlist list = {3, 3, pts};
  rectd box = {0.1, 0.1, 0.6, 0.4};
  pointd s = {0.6, 0.25}, e = {0.35, 0.4};
  gag_setcolor_1(w, 5, 3);
  gag_moveto_1(w, 0.2, 0.2);
  gag_drawto_1(w, 1.2, 0.8);
  gag_drawline_1(a, 0, 0, 0.7, 0.9);
  gag_drawrect_0(a, &box);
  gag_drawellipse(a, &box);
  gag_fillrect(b, &box);
  gag_polyline(b, &list);
  gag_polyfill(b, &list);
  gag_drawdot(b, &pts[1]);
  gag_drawarc(w, &box, &s, &e);
  gag_printtext_1(w, 0.3, 0.3, &label);
  gag_setclip_1(w, 0.1, 0.1, 1.0, 0.9);
  gag_fullclip(w);
  gag_textsize(w, 30, 0.8f);
  gag_textcenter(w, 0.5f, 0.5f);
  gag_textangle(w, 45);
  gag_textfont(b, 7);
  std::string first = stream(w);
  gag_killview(w);  // the fresh tree takes the same numbers

  uint16_t a2, b2, w2 = tree(&a2, &b2);
  ASSERT_TRUE(read(w2, first));
  EXPECT_EQ(hex(stream(w2)), hex(first));
  std::set<uint32_t> ops;
  for (uint16_t n : {w2, a2, b2})
    for (const glop *g : entries(n)) ops.insert(g->opcode);
  EXPECT_EQ(ops, (std::set<uint32_t>{0, 1, 2, 3, 4, 5, 6, 10, 11, 12, 13, 14, 15, 16, 17, 18}));
  const glop *font = entries(b2).back();
  EXPECT_EQ(font->opcode, uint32_t(gltxfont));
  EXPECT_EQ(font->colour, 7);
  gag_closegraph();
  EXPECT_EQ(XMEM, held);  // everything the views held is given back
}

TEST_F(Stream, EntryTwoHundredFiftySevenOpensASecondBlock) {
  uint16_t w = window(600, 400);
  for (int i = 0; i < 257; i++) {
    pointd p = {i / 300.0, 0};
    gag_drawdot(w, &p);
  }
  EXPECT_EQ(rec(w)->displaylist->count, 256u);
  EXPECT_EQ(rec(w)->displaylist->next->count, 1u);
  uint16_t w2 = window(600, 400);
  ASSERT_TRUE(read(w2, stream(w)));
  std::vector<const glop *> got = entries(w2);
  ASSERT_EQ(got.size(), 257u);
  for (int i : {0, 255, 256}) EXPECT_FLOAT_EQ(got[size_t(i)]->v[0], float(i / 300.0));
}

// Links name only views that write, so a non-recording view between recording
// ones neither breaks the chain nor eats the next plot of the file.
TEST_F(Stream, NonRecordingViewsAreSkippedInLinks) {
  auto tree = [this](uint16_t *b) {
    uint16_t w = window(600, 400);
    gag_newview_1(w, 0, 0, 0.5, 1, 1);  // does not record
    *b = gag_newview_1(w, 0.5, 0, 1, 1, 0);
    return w;
  };
  uint16_t b, w = tree(&b);
  gag_moveto_1(b, 0.5, 0.5);
  std::string one = stream(w);
  EXPECT_EQ(one.substr(0, 12), end_mark(b));
  uint16_t b2, w2 = tree(&b2);
  EXPECT_TRUE(read(w2, one + one, 2));
  EXPECT_EQ(entries(b2).size(), 1u);
  EXPECT_EQ(boxes_text(), "");
}

TEST_F(Stream, TreesThatDoNotFitAreReported) {
  uint16_t w = window(600, 400);
  gag_newview_1(w, 0, 0, 1, 1, 0);
  uint16_t bare = window(600, 400);
  EXPECT_FALSE(read(bare, stream(w)));
  EXPECT_EQ(boxes_text(), "ERROR: Plot File Child Window Error\n");
}

// Image opcodes, unknown ones and the end of the file stop the entries: the
// entries read so far stay and the file is reported unreadable.
TEST_F(Stream, UnknownOpcodesEndTheEntries) {
  const std::string move = pack("", uint8_t(0), uint8_t(3), uint8_t(0), uint8_t(0), 0.5f, 0.5f);
  for (int op : {8, 9, 20, 26, 27, 128, 255}) {
    uint16_t w = window(100, 100);
    std::string bytes = move + char(op) + std::string(20, '\0');
    EXPECT_FALSE(read(w, bytes)) << op;
    EXPECT_EQ(entries(w).size(), 1u) << op;
    gag_killview(w);
  }
  uint16_t w = window(100, 100);
  EXPECT_FALSE(read(w, move));  // the file ends
  EXPECT_NE(boxes_text().find("ERROR: Unreadable Plot File\n"), std::string::npos);
}

// Stored capacities are not trusted: storage follows the count.
TEST_F(Stream, ListsAndTextsAreSizedByTheirCount) {
  std::string bytes = pack("", uint8_t(5), uint8_t(1), uint8_t(0), uint8_t(0), uint16_t(2),
                           uint16_t(60000), uint32_t(0), 0.f, 0.f, 1.f, 1.f) +
                      pack("", uint8_t(10), uint8_t(1), uint8_t(0), uint8_t(0), uint16_t(3),
                           uint16_t(60000), uint32_t(0)) +
                      "abc" + end_mark();
  uint16_t w = window(100, 100);
  ASSERT_TRUE(read(w, bytes));
  std::vector<const glop *> got = entries(w);
  EXPECT_EQ(got[0]->list.capacity, 2);
  EXPECT_LT(got[1]->text.capacity, 16);
  EXPECT_STREQ(got[1]->text.text, "abc");
  // Cut short by the end of the file: the whole points and the bytes read stay.
  ASSERT_FALSE(read(w, bytes.substr(0, 12 + 12)));
  EXPECT_EQ(entries(w)[0]->list.count, 1);
  ASSERT_FALSE(read(w, bytes.substr(0, 28 + 12 + 2)));
  EXPECT_STREQ(entries(w)[1]->text.text, "ab");
}

// Hostile values at replay: a text size of 0 leaves the text state, and values
// that are not finite or far too large are clamped before they become pixels.
TEST_F(Stream, ReplayOfHostileValues) {
  const float inf = INFINITY, nan = NAN;
  std::string bytes = pack("", uint8_t(15), uint8_t(1), uint8_t(0), uint8_t(0), 0.f, 1.f) +
                      pack("", uint8_t(15), uint8_t(1), uint8_t(0), uint8_t(0), 1e-30f, 1e30f) +
                      pack("", uint8_t(5), uint8_t(1), uint8_t(0), uint8_t(0), uint16_t(3),
                           uint16_t(3), uint32_t(0), nan, inf, -inf, 3e38f, 0.5f, -3e38f) +
                      end_mark();
  uint16_t w = window(100, 100);
  ASSERT_TRUE(read(w, bytes));
  std::vector<psurf_call> calls = replayed(w);
  EXPECT_EQ(rec(w)->charpixh, 32767);  // set by the second size only
  auto poly = *std::find_if(calls.begin(), calls.end(),
                           [](const psurf_call &c) { return c.op == "polyline"; });
  EXPECT_EQ(poly.v, (std::vector<int32_t>{-10000000, -10000000, -10000000, -10000000, 50, 10000000}));
}

// A polyline beyond 65535 points goes as a chain of entries sharing their joints;
// a filled polygon is thinned to 65535 points, its ends kept.
TEST_F(Stream, LongListsStayInSixteenBits) {
  const int32_t n = 70000;
  std::vector<pointd> pts(n);
  for (int32_t i = 0; i < n; i++) pts[size_t(i)] = {i / double(n), 0.5};
  pointdlist list = {n, n, pts.data()};
  uint16_t w = window(100, 100);
  gag_polyline(w, &list);
  gag_polyfill(w, &list);
  uint16_t w2 = window(100, 100);
  ASSERT_TRUE(read(w2, stream(w)));
  std::vector<const glop *> got = entries(w2);
  ASSERT_EQ(got.size(), 3u);
  EXPECT_EQ(got[0]->list.count + got[1]->list.count, n + 1);
  EXPECT_EQ(got[0]->list.data[got[0]->list.count - 1].x, got[1]->list.data[0].x);
  EXPECT_EQ(got[2]->list.count, 65535);
  EXPECT_EQ(got[2]->list.data[65534].x, float((n - 1) / double(n)));
}

TEST_F(Stream, ReplayColoursAndHiddenViews) {
  uint16_t w = window(600, 400);
  gag_setcolor_0(w, 2);
  gag_drawline_1(w, 0, 0, 1, 1);
  gag_setcolor_0(w, 0);
  gag_drawline_1(w, 0, 1, 1, 0);
  auto colours = [](const std::vector<psurf_call> &calls) {
    std::vector<int32_t> out;
    for (const psurf_call &c : calls)
      if (c.op == "colour") out.push_back(c.v[0]);
    return out;
  };
  // Clearing with the background, then the entries' colours; black keeps white.
  EXPECT_EQ(colours(replayed(w)), (std::vector<int32_t>{0, 2, 0}));
  EXPECT_EQ(colours(replayed(w, 1)), (std::vector<int32_t>{0, 3, 0}));
  // On a coloured background an entry of colour 0 still selects colour 0.
  uint16_t dark = window(100, 100);
  gag_clearview_1(dark, 5);
  gag_setcolor_0(dark, 0);
  gag_drawline_1(dark, 0, 0, 1, 1);
  EXPECT_EQ(colours(replayed(dark)), (std::vector<int32_t>{5, 0}));
  // A paint of a hidden window reaches the callback but draws nothing.
  psurf_headless_record(rec(w)->device, true);
  gag_showwindow(w, 2);
  window_func(w, msg_paint, 0, 0);
  EXPECT_TRUE(psurf_headless_calls(rec(w)->device).empty());
  EXPECT_EQ(events.back(), (Event{w, msg_paint, 0, 0}));
  gag_showwindow(w, 3);  // the paint queued by showing replays
  EXPECT_EQ(colours(psurf_headless_calls(rec(w)->device)).size(), 3u);
}
