// gag, stroke fonts: the font cache (two built-in images, more read from the font
// library), font selection, measuring, and text drawn as polylines and polygons
// through a view's text matrix.
//
// Image layout (byte offsets): "FN", u16 size, font number, 3 bytes, baseline at 8,
// cell height / 16 at 9, extra advance at 10, 129 u16 stroke starts at 14 (counted
// from the stroke area at 656), lowest y at 272, highest y at 400, advance at 528.
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

#include "graphics/gag.h"
#include "graphics/gagmap.h"
#include "graphics/gagscren.h"
#include "runtime/debug.h"
#include "runtime/rtlib.h"

extern const uint8_t gag_fontimage_1[], gag_fontimage_2[];

namespace {

enum { STROKES = 656, STARTS = 14, LOWEST = 272, HIGHEST = 400, ADVANCE = 528 };

struct Cached {
  uint16_t number;
  const uint8_t *image;
};
std::vector<Cached> cache;
std::vector<std::unique_ptr<uint8_t[]>> library_images;  // kept until the program ends
std::string library_name;
std::vector<points> rel_buf, pix_buf;

unsigned u16(const uint8_t *b, size_t at) { return unsigned(b[at]) | unsigned(b[at + 1]) << 8; }
unsigned start(const uint8_t *img, int c) { return u16(img, STARTS + 2 * size_t(c)); }

// Characters with strokes: codes below 128 whose stroke range is not empty.
bool has_strokes(const uint8_t *img, int c) {
  return c >= 0 && c < 128 && start(img, c) < start(img, c + 1);
}

void fill_cache() {
  if (!cache.empty()) return;
  cache = {{1, gag_fontimage_1}, {2, gag_fontimage_2}, {3, gag_fontimage_2}};
}

const uint8_t *cached(uint16_t n) {
  for (const Cached &c : cache)
    if (c.number == n) return c.image;
  return nullptr;
}

// A library image is used only when its starts rise within the image and every
// stroke ends before the next character's strokes begin.
bool valid_image(const uint8_t *img, size_t size) {
  if (size < STROKES || u16(img, 2) != size || img[9] == 0) return false;
  size_t area = size - STROKES;
  for (int c = 0; c < 128; c++) {
    size_t a = start(img, c), b = start(img, c + 1);
    if (a > b || b > area) return false;
    while (a < b) {
      a += 1 + 2 * size_t(img[STROKES + a] & 127);
      if (a > b) return false;
    }
  }
  return true;
}

[[noreturn]] void invalid() {
  std::string m = "INVALID FONT FILE : " + library_name;
  rtlib_fatal_in("gag_textfont", m.c_str());
}

// Reads font n from the library; null (with the debug line) when the library
// cannot be read; a damaged library stops.
const uint8_t *read_library(uint16_t n) {
  FILE *f = fopen(library_name.c_str(), "rb");
  uint8_t index[512];
  if (!f || fread(index, 1, 512, f) != 512) {
    if (f) fclose(f);
    debug_printf("FONT READ ERROR - NO FILE %s\n", library_name.c_str());
    return nullptr;
  }
  long unit = long(u16(index, 2 * size_t(n - 1)));
  uint8_t head[6];
  bool ok = unit > 0 && fseek(f, 16 * unit, SEEK_SET) == 0 && fread(head, 1, 6, f) == 6 &&
            head[0] == 'F' && head[1] == 'N';
  size_t size = ok ? u16(head, 2) : 0;
  std::unique_ptr<uint8_t[]> img(new uint8_t[size > 6 ? size : 6]);
  ok = ok && fseek(f, 16 * unit, SEEK_SET) == 0 && fread(img.get(), 1, size, f) == size &&
       valid_image(img.get(), size);
  fclose(f);
  if (!ok) invalid();
  library_images.push_back(std::move(img));
  cache.push_back({n, library_images.back().get()});
  return library_images.back().get();
}

void use(viewrec *v, uint16_t n, const uint8_t *img) {
  v->font = n;
  v->fontimage = img;
  v->cellheight = int16_t(img[9] * 16);
  v->rcell = 1.0f / float(v->cellheight);
}

void select_font(viewrec *v, uint16_t n) {
  fill_cache();
  if (v->permanent) gaglist_font(v, n);
  v->stale = 1;
  if (n < 1 || n > 256) {
    debug_printf("FONT READ ERROR - NO FONT %d\n", int(n));
    use(v, 1, gag_fontimage_1);
    return;
  }
  if (const uint8_t *img = cached(n)) {
    use(v, n, img);
    return;
  }
  const uint8_t *img = read_library(n);
  if (!img) {
    use(v, 1, gag_fontimage_1);
    return;
  }
  use(v, n, img);
  v->uniform = 0;
}

// The images a view draws with; views made before any font request use font 1.
const uint8_t *primary(viewrec *v) {
  fill_cache();
  if (!v->fontimage) v->fontimage = cached(v->font) ? cached(v->font) : gag_fontimage_1;
  return v->fontimage;
}
const uint8_t *alternate(viewrec *v) {
  fill_cache();
  if (!v->altimage) v->altimage = cached(v->altfont) ? cached(v->altfont) : gag_fontimage_1;
  return v->altimage;
}

struct Extent {
  double width, height, depth;
};

// Calls f(image, code) for every character: "~" takes the next character from the
// alternate font.
template <class F> void each_char(viewrec *v, const String *text, F &&f) {
  const uint8_t *base = primary(v);
  bool alt = false;
  for (uint16_t i = 0; i < text->length; i++) {
    int c = uint8_t(text->text[i]);
    if (c == '~' && !alt) {
      alt = true;
      continue;
    }
    f(alt ? alternate(v) : base, c);
    alt = false;
  }
}

// The string's width, height above and depth below the baseline in font units.
Extent measure(viewrec *v, const String *text) {
  Extent e = {0, 0, 0};
  int count = 0;
  unsigned extra = primary(v)[10];
  each_char(v, text, [&](const uint8_t *img, int c) {
    if (!has_strokes(img, c)) c = '!';
    extra = img[10];
    // Uniform characters are spaced as drawn: the width plus the font's spacing.
    e.width += (v->uniform ? v->uniform : img[ADVANCE + c]) + extra;
    e.height = std::max(e.height, double(img[HIGHEST + c]) - img[8]);
    e.depth = std::max(e.depth, double(img[8]) - img[LOWEST + c]);
    count++;
  });
  if (count) e.width -= extra;
  return e;
}

// Draws the characters from the relative origin with the matrix m.
void draw_strokes(viewrec *v, const String *text, points origin, const float m[4]) {
  double pen = 0;
  each_char(v, text, [&](const uint8_t *img, int c) {
    unsigned adv = has_strokes(img, c) ? img[ADVANCE + c] : img[ADVANCE + ' '];
    double lead = v->uniform ? (double(v->uniform) - adv) / 2 : 0;
    pen += lead;
    if (has_strokes(img, c)) {
      const uint8_t *s = img + STROKES + start(img, c), *end = img + STROKES + start(img, c + 1);
      while (s < end) {
        int n = *s & 127;
        bool fill = (*s & 128) && v->fillmask == 128;
        if (n > 1) {
          if (int(rel_buf.size()) < n) rel_buf.resize(size_t(n)), pix_buf.resize(size_t(n));
          for (int k = 0; k < n; k++) {
            double x = s[1 + 2 * k] + pen, y = double(s[2 + 2 * k]) - img[8];
            points r = {float(origin.x + x * m[0] + y * m[2]),
                        float(origin.y + x * m[1] + y * m[3])};
            rel_buf[size_t(k)] = r;
            pix_buf[size_t(k)] = gagmap_pixel(v, r);
          }
          if (fill) gagscren_screenpolyfill(v, pix_buf.data(), n);
          else gagscren_screenpolyline(v, pix_buf.data(), n);
          if (v->permanent) gaglist_points(v, fill ? glpyfill : glpydraw, rel_buf.data(), n);
        }
        s += 1 + 2 * n;
      }
    }
    pen += v->uniform ? double(v->uniform) - lead + img[10] : adv + img[10];
  });
}

}  // namespace

// A new library: the fonts read from the old one are dropped, and views drawing
// with them return to font 1.
void gag_fontlibrary(const char *path) {
  library_name = path ? path : "";
  if (library_images.empty()) return;
  auto dropped = [](const uint8_t *img) {
    for (const auto &p : library_images)
      if (p.get() == img) return true;
    return false;
  };
  for (uint16_t n = 1; n <= gag_viewcount; n++) {
    viewrec *v = gag_views[n - 1];
    if (!v) continue;
    if (dropped(v->fontimage)) use(v, 1, gag_fontimage_1);
    if (dropped(v->altimage)) v->altfont = 1, v->altimage = gag_fontimage_1;
  }
  cache.resize(3);
  library_images.clear();
}

int gag_font_highest() {
  fill_cache();
  int highest = 3;
  FILE *f = library_name.empty() ? nullptr : fopen(library_name.c_str(), "rb");
  uint8_t index[512];
  if (f && fread(index, 1, 512, f) == 512)
    for (int n = 256; n > highest; n--)
      if (u16(index, 2 * size_t(n - 1)) > 0) {
        highest = n;
        break;
      }
  if (f) fclose(f);
  return highest;
}

// The library beside the running executable.
void gag_fontlibrary_default() {
  char buf[4096];
  ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  std::string dir = n > 0 ? std::string(buf, size_t(n)) : std::string();
  size_t slash = dir.rfind('/');
  std::string folder = slash == std::string::npos ? std::string() : dir.substr(0, slash + 1);
  gag_fontlibrary((folder + "gag.gsf").c_str());
}

void gag_textfont(uint16_t view, uint16_t font) {
  TRACE("gag_textfont");
  if (checkview(view)) select_font(gag_views[view - 1], font);
}

void gag_altfont(uint16_t view, uint16_t font) {
  TRACE("gag_altfont");
  if (!checkview(view)) return;
  viewrec *v = gag_views[view - 1];
  uint16_t keep = v->font;
  const uint8_t *image = v->fontimage;
  select_font(v, font);
  v->altfont = v->font;
  v->altimage = v->fontimage;
  v->font = keep;
  v->fontimage = image;
}

uint16_t gag_textuniform_0(uint16_t view, char c) {
  if (!checkview(view)) return 0;
  viewrec *v = gag_views[view - 1];
  const uint8_t *img = primary(v);
  uint16_t width = 0;
  if (c == '?') {
    for (int k = 32; k < 127; k++) width = std::max<uint16_t>(width, img[ADVANCE + k]);
  } else if (c != 0) {
    int k = uint8_t(c);
    width = k < 128 ? img[ADVANCE + k] : 0;
  }
  return gag_textuniform_1(view, width);
}

void gag_drawtext_0(uint16_t view, const pointd *p, const String *text) {
  TRACE("gag_drawtext_0");
  viewrec *v = getview(view);
  if (cache.empty()) {
    gag_textfont(view, 1);
    gag_altfont(view, 1);
  }
  Extent e = measure(v, text);
  const float *m = v->matrix;
  double w = e.width * v->centre.x, h = (v->centre.y >= 0 ? e.height : e.depth) * v->centre.y;
  points o = gagmap_point(v, p->x, p->y);
  o = {float(o.x - w * m[0] - h * m[2]), float(o.y - w * m[1] - h * m[3])};
  draw_strokes(v, text, o, m);
}

void gag_drawtext_1(uint16_t view, double x, double y, const String *text) {
  pointd p = {x, y};
  gag_drawtext_0(view, &p, text);
}

void gag_asktextsize(uint16_t view, const String *text, pointd *size, double *depth) {
  if (!checkview(view)) return;
  viewrec *v = gag_views[view - 1];
  Extent e = measure(v, text);
  // A font unit is 1 / (cell height x size) relative units high, aspect times that wide.
  double unit = v->size != 0 ? 1 / (double(v->cellheight) * v->size) : 0;
  *size = {e.width * unit * v->aspect / v->scale.x, e.height * unit / v->scale.y};
  if (depth) *depth = e.depth * unit / v->scale.y;
}

void gag_textfit_0(uint16_t view, const pointd *p0, const pointd *p1, const pointd *p2,
                   const String *text) {
  TRACE("gag_textfit_0");
  viewrec *v = getview(view);
  Extent e = measure(v, text);
  if (e.width <= 0) return;
  points a = gagmap_point(v, p0->x, p0->y), b = gagmap_point(v, p1->x, p1->y),
         c = gagmap_point(v, p2->x, p2->y);
  // A string with nothing above its baseline keeps its height axis flat.
  double h = e.height > 0 ? e.height : HUGE_VAL;
  float m[4] = {float((b.x - a.x) / e.width), float((b.y - a.y) / e.width),
                float((c.x - a.x) / h), float((c.y - a.y) / h)};
  draw_strokes(v, text, a, m);
}

void gag_textfit_1(uint16_t view, const pointd p[3], const String *text) {
  gag_textfit_0(view, &p[0], &p[1], &p[2], text);
}
