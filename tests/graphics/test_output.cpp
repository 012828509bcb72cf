// Palette, stroke fonts, printing to PDF and metafile export, checked against the
// palette formulas in python3, the Hershey glyphs, and outside readers of the files
// (ghostscript, poppler, libuemf, libwmf, emf2svg).
#include <array>
#include <cmath>
#include <functional>

#include "graphics/gagmap.h"
#include "tests/graphics/fixture.h"
#include "tests/runtime/fatal_stop.h"

extern const uint8_t gag_fontimage_1[], gag_fontimage_2[];

namespace {

bool have(const char *program) { return run(std::string("command -v ") + program) != ""; }
bool converts(const std::string &cmd) { return run(cmd + " >/dev/null 2>&1; echo $?") == "0"; }
// The walker of our files: "emf", "wmf" or "pdf" (the colours a PDF's pages set).
std::string walker() {
  return std::string("python3 ") + QUENDAR_SOURCE_DIR + "/tests/graphics/metawalk.py ";
}

std::string rgb(uint16_t index) {
  uint8_t c[3];
  gag_readcolormap(index, c);
  return std::to_string(c[0]) + "," + std::to_string(c[1]) + "," + std::to_string(c[2]);
}

unsigned start(const uint8_t *img, int c) { return img[14 + 2 * c] | img[15 + 2 * c] << 8; }

// The strokes of a character: each as its points "x,y x,y ...".
std::vector<std::string> strokes(const uint8_t *img, int c) {
  std::vector<std::string> out;
  for (unsigned a = start(img, c); a < start(img, c + 1);) {
    int n = img[656 + a] & 127;
    std::string s;
    for (int k = 0; k < n; k++)
      s += (k ? " " : "") + std::to_string(img[657 + a + 2 * k]) + "," +
           std::to_string(img[658 + a + 2 * k]);
    out.push_back(s);
    a += 1 + 2 * unsigned(n);
  }
  return out;
}

struct Output : Graphics {
  void SetUp() override {
    Graphics::SetUp();
    gagscren_default_colors();
    gag_fontlibrary(QUENDAR_FONT_LIBRARY);
  }
};

}  // namespace

// The spectrum at hand-worked places, the grey ramp, EGA codes and colour reduction.
TEST_F(Output, Palette) {
  const std::pair<uint16_t, const char *> named[] = {
      {11, "230,27,0"}, {14, "230,111,0"}, {18, "230,207,0"}, {24, "61,207,37"},
      {31, "0,184,230"}, {37, "78,16,230"}, {42, "219,0,230"}, {6, "160,160,160"}};
  for (auto [k, c] : named) EXPECT_EQ(rgb(k), c) << k;

  gagscren_create_pens(0.001f, 3000);
  gagscren_gray_colors();
  float factor;
  int32_t size;
  gagscren_pens(&factor, &size);
  EXPECT_EQ(size, 3000);  // the ramp keeps the pen width in force
  EXPECT_EQ(rgb(11), "240,240,240");
  EXPECT_EQ(rgb(42), "10,10,10");
  EXPECT_EQ(rgb(10), "0,0,0");
  gagscren_default_colors();
  EXPECT_EQ(rgb(11), "230,27,0");

  gag_setcolormapega(5, 0x14);
  EXPECT_EQ(rgb(5), "170,85,0");
}

// The built-in images hold the Hershey glyphs at 7 font units per Hershey unit.
TEST_F(Output, FontImages) {
  EXPECT_EQ(gag_fontimage_1[528 + 'A'], 126);
  EXPECT_EQ(strokes(gag_fontimage_1, 'A'),
            (std::vector<std::string>{"63,201 7,54", "63,201 119,54", "28,103 98,103"}));
  EXPECT_TRUE(strokes(gag_fontimage_1, 31).empty() && strokes(gag_fontimage_1, ' ').empty());
}

// Font choice: the alternate font for one character after "~", font 3 as font 2,
// fonts outside 1..256 and a missing library as font 1, a library font drawn.
TEST_F(Output, FontSelection) {
  uint16_t w = window(400, 400);
  viewrec *v = rec(w);
  gag_textfont(w, 1);
  gag_altfont(w, 2);
  gag_drawtext_1(w, 0.1, 0.5, &(const String &)text("A~Bc"));
  size_t want = strokes(gag_fontimage_1, 'A').size() + strokes(gag_fontimage_2, 'B').size() +
                strokes(gag_fontimage_1, 'c').size();
  ASSERT_NE(strokes(gag_fontimage_1, 'B').size(), strokes(gag_fontimage_2, 'B').size());
  EXPECT_EQ(entries(w, glpydraw).size(), want);

  gag_textfont(w, 3);
  const uint8_t *three = v->fontimage;
  gag_textfont(w, 2);
  EXPECT_EQ(three, v->fontimage);
  for (uint16_t n : {0, 300}) {
    gag_textfont(w, n);
    EXPECT_EQ(v->font, 1) << n;
    EXPECT_EQ(v->fontimage, gag_fontimage_1);
  }
  gag_fontlibrary(dir.file("none.gsf").c_str());
  gag_textfont(w, 4);
  EXPECT_EQ(v->font, 1);

  gag_fontlibrary(QUENDAR_FONT_LIBRARY);
  gag_textfont(w, 5);
  ASSERT_EQ(v->font, 5);
  EXPECT_EQ(v->fontimage[4], 5);
  gag_clearview_0(w);
  gag_drawtext_1(w, 0.1, 0.5, &(const String &)text("Q"));
  EXPECT_FALSE(entries(w, glpydraw).empty());
  gag_clearview_0(w);
  gag_drawtext_1(w, 0.1, 0.5, &(const String &)text("\xC8\xFF\x01"));
  EXPECT_TRUE(entries(w, glpydraw).empty());
}

// A damaged library stops with the file's name, whatever the damage.
TEST_F(Output, DamagedLibraryStops) {
  std::string good = slurp(QUENDAR_FONT_LIBRARY);
  unsigned unit = uint8_t(good[2 * 4]) | uint8_t(good[2 * 4 + 1]) << 8;  // font 5
  size_t at = 16 * size_t(unit);
  auto u16 = [&](std::string &b, size_t p, unsigned v) {
    b[p] = char(v & 255);
    b[p + 1] = char(v >> 8);
  };
  struct Case {
    const char *what;
    uint16_t font;
    std::function<void(std::string &)> damage;
  } cases[] = {
      {"size below the table", 6, [&](std::string &b) { u16(b, at + 2, 600); }},
      {"decreasing starts", 7, [&](std::string &b) { u16(b, at + 14 + 2 * 66, 0); }},
      {"start beyond the image", 8, [&](std::string &b) { u16(b, at + 14 + 2 * 128, 65000); }},
      {"stroke crossing the next start", 9,
       [&](std::string &b) {
         unsigned s = uint8_t(b[at + 14 + 2 * 65]) | uint8_t(b[at + 15 + 2 * 65]) << 8;
         b[at + 656 + s] = char(120);
       }},
      {"no image", 10, [&](std::string &b) { b[at] = 'X'; }},
  };
  uint16_t w = window(100, 100);
  for (const Case &c : cases) {
    std::string bytes = good;
    for (int n = 4; n < 12; n++) u16(bytes, 2 * size_t(n), unit);  // fonts 5-12 share the image
    c.damage(bytes);
    std::string path = dir.file("bad.gsf");
    spit(path, bytes);
    gag_fontlibrary(path.c_str());
    EXPECT_EQ(fatal_stop([&] { gag_textfont(w, c.font); }),
              "INVALID FONT FILE : " + path + " IN gag_textfont")
        << c.what;
  }
}

// Measuring and drawing: a control character measures as "!" and advances as a
// space; uniform widths; the angle -90 drawn as 270; size 0 changes nothing.
TEST_F(Output, TextLayout) {
  uint16_t w = window(400, 400);
  viewrec *v = rec(w);
  gag_textfont(w, 1);
  gag_textcenter(w, 1, 0);
  gag_clearview_0(w);
  gag_drawtext_1(w, 0.5, 0.5, &(const String &)text("\x01" "A"));
  const uint8_t *f = gag_fontimage_1;
  double measured = f['!' + 528] + f[10] + f['A' + 528];
  double pen = f[' ' + 528] + f[10] + 63;  // the apex of "A" after a space's advance
  const glop &apex = v->displaylist->entries[0];
  ASSERT_EQ(apex.opcode, glpydraw);
  EXPECT_NEAR(apex.list.data[0].x, 0.5 + (pen - measured) * v->matrix[0], 1e-5);

  EXPECT_EQ(gag_textuniform_0(w, '?'), 0);  // "?": the widest character's width
  EXPECT_EQ(gag_textuniform_0(w, 'A'), *std::max_element(f + 528 + 32, f + 528 + 127));
  EXPECT_EQ(gag_textuniform_1(w, 0), 126);

  gag_textangle(w, 270);
  std::vector<float> m270(v->matrix, v->matrix + 4);
  gag_textangle(w, -90);
  for (int i = 0; i < 4; i++) EXPECT_NEAR(v->matrix[i], m270[i], 1e-7);

  gag_clearview_0(w);
  float size = v->size;
  gag_textsize(w, 0, 3);
  EXPECT_EQ(v->size, size);
  EXPECT_EQ(v->displaylist ? v->displaylist->count : 0u, 0u);
}

// The page fit, and a rectangle printed where ghostscript finds it.
TEST_F(Output, PrintFit) {
  int32_t uw;
  rectl r = gagmap_printfit({2400, 3000}, {800, 400}, &uw);
  using v4 = std::vector<int32_t>;
  EXPECT_EQ((v4{r.x1, r.x2, r.y2, r.y1}), (v4{48, 2352, 1824, 2976}));
  r = gagmap_printfit({3508, 2480}, {640, 480}, &uw);
  EXPECT_EQ((v4{r.x1, r.x2, r.y2, r.y1}), (v4{66, 3239, 49, 2430}));
  if (!have("gs") || !have("pdfinfo")) GTEST_SKIP() << "needs ghostscript and poppler-utils";

  uint16_t w = window(640, 480);
  viewrec *v = rec(w);
  gag_setcolor_0(w, 3);
  rectd box = {0.1, 0.1, 1.2, 0.9};
  gag_fillrect(w, &box);
  rectl before = v->pixwin;
  std::string pdf = dir.file("page.pdf");
  pwin_script_file(pdf.c_str());
  gagscren_create_pens(0.001f, 5000);
  gag_printwindow_2(w, 2, 0, 1, 1);
  EXPECT_EQ(run("pdfinfo " + pdf + " | grep Title"), "Title: plot");
  EXPECT_EQ(run("pdfinfo " + pdf + " | grep 'Page size'"), "Page size: 841.92 x 595.2 pts (A4)");
  std::string bbox = run("gs -q -dNOPAUSE -dBATCH -sDEVICE=bbox " + pdf + " 2>&1 | grep HiRes");
  double x1, y1, x2, y2;
  ASSERT_EQ(sscanf(bbox.c_str(), "%%%%HiResBoundingBox: %lf %lf %lf %lf", &x1, &y1, &x2, &y2), 4)
      << bbox;
  // Rows run downward on the page: y in points counts from its bottom edge.
  EXPECT_NEAR(x1, 72.96, 1);
  EXPECT_NEAR(x2, 701.52, 1);
  EXPECT_NEAR(y1, 595.2 - 526.32, 1);
  EXPECT_NEAR(y2, 595.2 - 69.36, 1);
  EXPECT_EQ(v->pixwin.x2, before.x2);
}

// The orientation a print chooses holds for the next print as set (0); after the back
// end's reset a print as set has the portrait A4 page of a fresh start, as has the
// first print of every test.
TEST_F(Output, PrintOrientationHoldsUntilReset) {
  if (!have("pdfinfo")) GTEST_SKIP() << "needs poppler-utils";
  uint16_t w = window(300, 200);
  gag_drawline_1(w, 0.1, 0.1, 1.2, 0.9);
  std::string pdf = dir.file("turn.pdf");
  auto page = [&](int orientation) {
    pwin_script_file(pdf.c_str());
    gag_printwindow_2(w, orientation, 0, 1, 1);
    return run("pdfinfo " + pdf + " | grep 'Page size'");
  };
  const std::string portrait = "Page size: 595.2 x 841.92 pts (A4)", landscape = "Page size: 841.92 x 595.2 pts (A4)";
  EXPECT_EQ(page(0), portrait);
  EXPECT_EQ(page(2), landscape);
  EXPECT_EQ(page(0), landscape);
  gagscren_reset_output();
  EXPECT_EQ(page(0), portrait);
}

// Two triangles of one colour that share a diagonal print without a seam: the page
// rendered smoothed at 72 dots per inch shows no pixel along the diagonal lighter than
// the fill.
TEST_F(Output, AbuttingFillsPrintWithoutSeams) {
  if (!have("gs")) GTEST_SKIP() << "needs ghostscript";
  std::string pdf = dir.file("seam.pdf"), ppm = dir.file("seam.ppm");
  psurf *p = psurf_pdf_new(pdf.c_str(), 600, 600, "seam");
  ASSERT_TRUE(p);
  p->ops->colour(p, 2, PSURF_COPY);
  psurf_point lower[] = {{0, 0}, {600, 600}, {0, 600}}, upper[] = {{0, 0}, {600, 0}, {600, 600}};
  p->ops->polygon(p, lower, 3);
  p->ops->polygon(p, upper, 3);
  ASSERT_TRUE(psurf_pdf_close(&p));
  run("gs -q -dNOPAUSE -dBATCH -sDEVICE=ppmraw -r72 -dGraphicsAlphaBits=4 -sOutputFile=" + ppm + " " + pdf);
  std::string image = slurp(ppm);
  int w = 0, h = 0, used = 0;
  // The header with ghostscript's comment line.
  ASSERT_EQ(sscanf(image.c_str(), "P6 # %*[^\n] %d %d 255%n", &w, &h, &used), 2) << image.substr(0, 60);
  const uint8_t *rgb = reinterpret_cast<const uint8_t *>(image.data()) + used + 1;
  const uint8_t *fill = psurf_palette[2];
  int lighter = 0;
  for (int k = 1; k < std::min(w, h) - 1; k++)
    for (int c = 0; c < 3; c++) lighter = std::max(lighter, rgb[3 * (k * w + k) + c] - fill[c]);
  EXPECT_LE(lighter, 8);
}

// Three plots as one document of three pages; black printing keeps black and white.
TEST_F(Output, PrintDocumentAndBlack) {
  if (!have("pdfinfo") || !have("python3")) GTEST_SKIP() << "needs poppler-utils";
  uint16_t a = window(300, 200), b = window(300, 200), c = window(300, 200);
  for (uint16_t w : {a, b, c}) {
    gag_setcolor_0(w, 2);
    gag_drawline_1(w, 0.1, 0.1, 1.2, 0.9);
  }
  std::string pdf = dir.file("three.pdf");
  pwin_script_file(pdf.c_str());
  gag_printwindow_2(a, 2, 0, 1, 0);
  gag_printwindow_2(b, 2, 0, 0, 0);
  gag_printwindow_2(c, 2, 0, 0, 0);
  gag_printwindow_2(0, 2, 0, 0, 1);
  EXPECT_EQ(run("pdfinfo " + pdf + " | grep Pages"), "Pages: 3");
  gag_printwindow_2(a, 2, 0, 0, 1);  // no document open: nothing
  EXPECT_EQ(run("pdfinfo " + pdf + " | grep Pages"), "Pages: 3");

  // The colours a page sets, read from its content streams.
  auto colours = [&](uint8_t black) {
    std::string out = dir.file("one.pdf");
    pwin_script_file(out.c_str());
    gag_printwindow_2(a, 2, black, 1, 1);
    return run(walker() + "pdf " + out);
  };
  EXPECT_NE(colours(0).find("1 0 0 RG"), std::string::npos);
  EXPECT_EQ(colours(1), "['0 0 0 RG']");
}

// Export at width 4096 of a 1024 x 768 window multiplies pixel coordinates by 4;
// both files pass outside readers, and the pens return to the width in force.
TEST_F(Output, Metafiles) {
  if (!have("python3") || run("ldconfig -p | grep -c libuemf.so") == "0")
    GTEST_SKIP() << "needs libuemf-dev";
  uint16_t w = window(1024, 768);
  gag_setcaption(w, &(const String &)text("A caption much longer than twenty-nine"));
  gag_drawline_1(w, 0.1, 0.1, 0.5, 0.5);
  pointdlist far = {};
  pointd_one_more_1(&far, 0.2, 0.2);
  pointd_one_more_1(&far, 3000, 0.4);
  pointd_one_more_1(&far, 0.6, -5000);
  gag_polyline(w, &far);
  gag_polyfill(w, &far);
  pointd_free_1(&far);
  // Every other kind of record: colours with a mix mode, a filled rectangle, an arc,
  // device text, a clip.
  gag_setcolor_1(w, 24, 3);
  rectd box = {0.2, 0.2, 0.4, 0.3};
  gag_fillrect(w, &box);
  pointd s = {0.4, 0.25}, t = {0.2, 0.25};
  gag_drawarc(w, &box, &s, &t);
  gag_setclip_1(w, 0.1, 0.1, 0.9, 0.9);
  gag_printtext_1(w, 0.3, 0.6, &(const String &)text("Label"));
  gagscren_create_pens(0.001f, 3000);
  std::string emf = dir.file("plot.emf"), wmf = dir.file("plot.wmf");
  gag_exportwindow(w, &(const String &)text(emf.c_str()), 0, 4096);
  gag_exportwindow(w, &(const String &)text(wmf.c_str()), 1, 4096);
  float factor;
  int32_t size;
  gagscren_pens(&factor, &size);
  EXPECT_EQ(size, 3000);
  EXPECT_EQ(rec(w)->client.x, 1024);

  std::string e = run(walker() + "emf " + emf), m = run(walker() + "wmf " + wmf);
  for (const char *want : {"[307, 2764, 1536, 1536]", "\"unsafe\": 0", "\"bytes_ok\": true",
                           "\"desc\": \"A caption much longer than tw\"", "\"pens\": [2",
                           "\"bounds\": [0, 0, 4095, 3071]"})
    EXPECT_NE(e.find(want), std::string::npos) << want << "\n" << e;
  EXPECT_EQ(e.find("fault"), std::string::npos) << e;
  // The far polyline keeps its coordinates in a 32-bit record of the EMF.
  EXPECT_NE(e.find("\"big\": 10000000"), std::string::npos) << e;
  for (const char *want : {"[307, 2764, 1536, 1536]", "\"placeable\": true", "\"header_ok\": true",
                           "\"maxrec_ok\": true", "\"ended\": true", "\"pens\": [0, 2"})
    EXPECT_NE(m.find(want), std::string::npos) << want << "\n" << m;
  // The far polyline is clipped to the picture before it is cut to 16 bits: one
  // piece stays, ending on the clip edge.
  EXPECT_NE(m.find("\"lines\": [[307, 2764, 1536, 1536], [614, 2457, 4097, 2456]]"),
            std::string::npos) << m;
  EXPECT_EQ(m.find("fault"), std::string::npos) << m;

  if (!have("emf2svg-conv") || !have("wmf2svg")) GTEST_SKIP() << "needs emf2svg and libwmf-bin";
  EXPECT_TRUE(converts("emf2svg-conv -i " + emf + " -o " + dir.file("e.svg")));
  EXPECT_TRUE(converts("wmf2svg -o " + dir.file("w.svg") + " " + wmf));
  for (const char *svg : {"e.svg", "w.svg"})
    EXPECT_NE(slurp(dir.file(svg)).find("<svg"), std::string::npos) << svg;
}

// Editor text: a header with the caption and page number; one full page of body
// lines prints one page, one line more two.
TEST_F(Output, EditorPrint) {
  if (!have("pdftotext") || !have("pdfinfo")) GTEST_SKIP() << "needs poppler-utils";
  String name = text("notes.pde");
  static uint16_t edit = gag_newwindowclass_1(keep_events, &name, GAG_EDIT);
  uint16_t w = gag_newwindow_2(0, edit, 300, 300, &name, 1);
  pwin_handle h = rec(w)->window;
  int32_t body = gagscren_edbodylines();
  ASSERT_GT(body, 10);
  std::string pdf = dir.file("notes.pdf");
  pwin->edit_set(h, "");
  EXPECT_EQ(gagscren_edwindowprint(h), 0);
  for (int32_t lines : {body, body + 1}) {
    std::string t;
    for (int32_t i = 1; i <= lines; i++) t += "line\t" + std::to_string(i) + "\n";
    pwin->edit_set(h, t.c_str());
    pwin_script_file(pdf.c_str());
    EXPECT_EQ(gagscren_edwindowprint(h), lines == body ? 1 : 2);
    EXPECT_EQ(run("pdfinfo " + pdf + " | grep Pages"), lines == body ? "Pages: 1" : "Pages: 2");
    EXPECT_EQ(run("pdftotext -layout -f 1 -l 1 " + pdf + " - | head -1"), "notes.pde Page 1");
    EXPECT_NE(run("pdftotext -layout " + pdf + " - | tr -s ' '").find(
                  "line " + std::to_string(lines)), std::string::npos);
  }
}

// A class bitmap tiles the cleared window from its top-left corner; a named bitmap
// is copied unscaled at a point; both reach the metafiles as device-independent
// bitmaps that the outside readers take.
TEST_F(Output, Bitmaps) {
  String name = text("tiled"), image = text("KessimUran");
  static uint16_t tiled = gag_newwindowclass_4(keep_events, &name, nullptr, &image);
  uint16_t w = gag_newwindow_1(0, tiled, 0, 0, 100, 120, &name, 0, 3);  // client 100 x 70
  psurf *s = rec(w)->device;
  psurf_headless_record(s, true);
  gag_clearview_0(w);
  rectd at = {0.5, 0.2, 0.6, 0.9};
  gag_drawbitmap(w, &at, &image);
  gag_drawbitmap(w, &at, &(const String &)text("none"));
  std::vector<std::vector<int32_t>> images;
  for (const psurf_call &c : psurf_headless_calls(s))
    if (c.op == "image") images.push_back(c.v);
  psurf_headless_record(s, false);
  EXPECT_EQ(images, (std::vector<std::vector<int32_t>>{{0, 0, 48, 48}, {48, 0, 48, 48},
                                                       {96, 0, 48, 48}, {0, 48, 48, 48},
                                                       {48, 48, 48, 48}, {96, 48, 48, 48},
                                                       {35, 7, 48, 48}}));
  if (!have("python3") || run("ldconfig -p | grep -c libuemf.so") == "0" || !have("emf2svg-conv") ||
      !have("wmf2svg"))
    GTEST_SKIP() << "needs libuemf-dev, emf2svg and libwmf-bin";
  std::string emf = dir.file("tiled.emf"), wmf = dir.file("tiled.wmf");
  gag_exportwindow(w, &(const String &)text(emf.c_str()), 0, 200);
  gag_exportwindow(w, &(const String &)text(wmf.c_str()), 1, 200);
  std::string e = run(walker() + "emf " + emf), m = run(walker() + "wmf " + wmf);
  EXPECT_NE(e.find("\"unsafe\": 0"), std::string::npos) << e;
  EXPECT_NE(e.find(", 81,"), std::string::npos) << e;
  EXPECT_NE(m.find("\"ended\": true"), std::string::npos) << m;
  EXPECT_NE(m.find(", 3907,"), std::string::npos) << m;
  EXPECT_TRUE(converts("emf2svg-conv -i " + emf + " -o " + dir.file("e.svg")));
  EXPECT_TRUE(converts("wmf2svg -o " + dir.file("w.svg") + " " + wmf));
  EXPECT_NE(slurp(dir.file("w.svg")).find("<image"), std::string::npos);
}
