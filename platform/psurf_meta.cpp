// psurf, metafiles: our own writers of enhanced (EMF) and classic (WMF, with the
// placeable header) metafiles. Records are gathered in memory and the file is
// written when the surface closes, its header holding the picture's bounds. EMF
// coordinates are 32-bit wherever 16 bits would not hold them; WMF coordinates,
// which are 16-bit only, are clipped to the clip rectangle first and then clamped.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/psurf.h"

namespace {

// EMF record types and stock objects.
enum : uint32_t {
  EMR_HEADER = 1, EMR_POLYGON = 3, EMR_POLYLINE = 4, EMR_EOF = 14, EMR_SETPIXELV = 15,
  EMR_SETBKMODE = 18, EMR_SETROP2 = 20, EMR_SETTEXTALIGN = 22, EMR_SETTEXTCOLOR = 24,
  EMR_MOVETOEX = 27, EMR_INTERSECTCLIPRECT = 30, EMR_SELECTOBJECT = 37, EMR_CREATEPEN = 38,
  EMR_CREATEBRUSHINDIRECT = 39, EMR_DELETEOBJECT = 40, EMR_RECTANGLE = 43, EMR_ARC = 45,
  EMR_LINETO = 54, EMR_EXTSELECTCLIPRGN = 75, EMR_EXTCREATEFONTINDIRECTW = 82,
  EMR_EXTTEXTOUTW = 84, EMR_POLYGON16 = 86, EMR_POLYLINE16 = 87,
  STOCK_WHITE_BRUSH = 0x80000000, STOCK_BLACK_BRUSH = 0x80000004, STOCK_NULL_PEN = 0x80000008
};
// WMF record functions.
enum : uint16_t {
  META_EOF = 0x0000, META_SAVEDC = 0x001E, META_SETBKMODE = 0x0102, META_SETROP2 = 0x0104,
  META_RESTOREDC = 0x0127, META_SELECTOBJECT = 0x012D, META_SETTEXTALIGN = 0x012E,
  META_DELETEOBJECT = 0x01F0, META_SETWINDOWORG = 0x020B, META_SETWINDOWEXT = 0x020C,
  META_SETTEXTCOLOR = 0x0209, META_LINETO = 0x0213, META_MOVETO = 0x0214,
  META_CREATEPENINDIRECT = 0x02FA, META_CREATEFONTINDIRECT = 0x02FB,
  META_CREATEBRUSHINDIRECT = 0x02FC, META_POLYGON = 0x0324, META_POLYLINE = 0x0325,
  META_RECTANGLE = 0x041B, META_INTERSECTCLIPRECT = 0x0416, META_SETPIXEL = 0x041F,
  META_TEXTOUT = 0x0521, META_ARC = 0x0817
};
// Mix modes (R2_*) of the psurf modes, and text alignments of the psurf align codes.
const uint32_t rop2[] = {13, 9, 15, 7, 6};
const uint32_t text_align[] = {24, 24 | 6, 24 | 2, 8};

struct Bytes {
  std::vector<uint8_t> b;
  void u8(uint32_t v) { b.push_back(uint8_t(v)); }
  void u16(uint32_t v) { u8(v & 255), u8((v >> 8) & 255); }
  void u32(uint32_t v) { u16(v & 0xffff), u16(v >> 16); }
  void i32(int32_t v) { u32(uint32_t(v)); }
  void pad4() { while (b.size() % 4) u8(0); }
};

int16_t clamp16(double v) {
  if (!(v > -32768)) return -32768;
  return int16_t(v < 32767 ? v : 32767);
}
bool fits16(int32_t v) { return v >= -32768 && v <= 32767; }

struct Meta {
  bool emf;
  std::string path, description;
  int32_t width, height;
  Bytes rec;         // every record after the header
  uint32_t records = 0, largest = 0;
  std::vector<bool> used;  // object slots
  uint32_t max_objects = 0;
  // Drawing state: colour, mode, pen width, the current objects.
  int colour = -1, mode = -1, align = -1;
  int32_t pen_width = 1, pen_made_width = -1;
  int pen_colour = -1, brush_colour = -1;
  uint32_t pen = 0, brush = 0, font = 0, null_pen = 0;
  bool have_pen = false, have_brush = false, have_font = false;
  int32_t font_height = 0, font_angle = 0;
  int font_kind = -1;
  int32_t clip[4] = {0, 0, 0, 0};  // left, top, right, bottom
  bool clipped = false;
  int32_t cx = 0, cy = 0;  // the pen position

  // ---- Records ----
  size_t begin_emf(uint32_t type) {
    size_t at = rec.b.size();
    rec.u32(type);
    rec.u32(0);
    return at;
  }
  size_t begin_wmf(uint16_t function) {
    size_t at = rec.b.size();
    rec.u32(0);
    rec.u16(function);
    return at;
  }
  // EMF records are sized in bytes, padded to 4.
  void end(size_t at) {
    rec.pad4();
    uint32_t size = uint32_t(rec.b.size() - at);
    memcpy(&rec.b[at + 4], &size, 4);
    records++;
    largest = std::max(largest, size);
  }
  void emf_simple(uint32_t type, std::initializer_list<uint32_t> values) {
    size_t at = begin_emf(type);
    for (uint32_t v : values) rec.u32(v);
    end(at);
  }
  void wmf_simple(uint16_t function, std::initializer_list<int32_t> values) {
    size_t at = begin_wmf(function);
    for (int32_t v : values) rec.u16(uint32_t(v) & 0xffff);
    end_wmf(at);
  }
  // WMF records are sized in 16-bit words without padding to 4 bytes.
  void end_wmf(size_t at) {
    uint32_t size = uint32_t((rec.b.size() - at) / 2);
    memcpy(&rec.b[at], &size, 4);
    records++;
    largest = std::max(largest, size);
  }

  // ---- Objects ----
  uint32_t new_slot() {
    size_t i = emf ? 1 : 0;
    while (i < used.size() && used[i]) i++;
    if (i >= used.size()) used.resize(i + 1, false);
    used[i] = true;
    max_objects = std::max(max_objects, uint32_t(i + 1));
    return uint32_t(i);
  }
  void select(uint32_t h) {
    if (emf) emf_simple(EMR_SELECTOBJECT, {h});
    else wmf_simple(META_SELECTOBJECT, {int32_t(h)});
  }
  void remove(uint32_t h) {
    if (emf) emf_simple(EMR_DELETEOBJECT, {h});
    else wmf_simple(META_DELETEOBJECT, {int32_t(h)});
    used[h] = false;
  }
  static uint32_t colorref(int index) {
    const uint8_t *c = psurf_palette[index >= 0 && index < 43 ? index : 0];
    return uint32_t(c[0]) | uint32_t(c[1]) << 8 | uint32_t(c[2]) << 16;
  }
  uint32_t make_pen(int style, int32_t w, uint32_t color) {
    uint32_t h = new_slot();
    if (emf) {
      emf_simple(EMR_CREATEPEN, {h, uint32_t(style), uint32_t(w), 0, color});
    } else {
      size_t at = begin_wmf(META_CREATEPENINDIRECT);
      rec.u16(uint32_t(style));
      rec.u16(uint32_t(clamp16(w)));
      rec.u16(0);
      rec.u32(color);
      end_wmf(at);
    }
    return h;
  }
  void update_pen() {
    if (have_pen && pen_colour == colour && pen_made_width == pen_width) return;
    uint32_t old = pen;
    bool had = have_pen;
    pen = make_pen(0, pen_width, colorref(colour));
    select(pen);
    if (had) remove(old);
    have_pen = true;
    pen_colour = colour;
    pen_made_width = pen_width;
  }
  void update_brush() {
    if (have_brush && brush_colour == colour) return;
    uint32_t color = colorref(colour), sum = (color & 255) + ((color >> 8) & 255) + (color >> 16);
    uint32_t old = brush;
    bool had = have_brush && !(emf && (old & 0x80000000u));
    if (emf && (sum == 0 || sum == 765)) {
      brush = sum == 0 ? STOCK_BLACK_BRUSH : STOCK_WHITE_BRUSH;
    } else {
      brush = new_slot();
      if (emf) {
        emf_simple(EMR_CREATEBRUSHINDIRECT, {brush, 0, color, 0});
      } else {
        size_t at = begin_wmf(META_CREATEBRUSHINDIRECT);
        rec.u16(0);
        rec.u32(color);
        rec.u16(0);
        end_wmf(at);
      }
    }
    select(brush);
    if (had) remove(old);
    have_brush = true;
    brush_colour = colour;
  }
  void update_font(int32_t h, int32_t angle10, int kind) {
    if (have_font && h == font_height && angle10 == font_angle && kind == font_kind) return;
    uint32_t old = font;
    bool had = have_font;
    font = new_slot();
    const char *face = kind == 1 ? "Arial" : "Times New Roman";
    bool italic = kind != 1 && kind != 2;
    uint8_t family = kind == 1 ? 0x20 : 0x10;  // swiss, roman
    if (emf) {
      size_t at = begin_emf(EMR_EXTCREATEFONTINDIRECTW);
      rec.u32(font);
      rec.i32(h), rec.i32(0), rec.i32(angle10), rec.i32(angle10), rec.i32(300);
      rec.u8(italic), rec.u8(0), rec.u8(0), rec.u8(1), rec.u8(0), rec.u8(0), rec.u8(2),
          rec.u8(family);
      for (size_t i = 0; i < 32; i++) rec.u16(i < strlen(face) ? uint8_t(face[i]) : 0);
      end(at);
    } else {
      size_t at = begin_wmf(META_CREATEFONTINDIRECT);
      rec.u16(uint32_t(clamp16(h))), rec.u16(0), rec.u16(uint32_t(clamp16(angle10))),
          rec.u16(uint32_t(clamp16(angle10))), rec.u16(300);
      rec.u8(italic), rec.u8(0), rec.u8(0), rec.u8(1), rec.u8(0), rec.u8(0), rec.u8(2),
          rec.u8(family);
      for (size_t i = 0; i < 32; i++) rec.u8(i < strlen(face) ? uint8_t(face[i]) : 0);
      end_wmf(at);
    }
    select(font);
    if (had) remove(old);
    have_font = true;
    font_height = h, font_angle = angle10, font_kind = kind;
  }
  void set_mode(int m) {
    if (m == mode) return;
    mode = m;
    if (emf) emf_simple(EMR_SETROP2, {rop2[m]});
    else wmf_simple(META_SETROP2, {int32_t(rop2[m]), 0});
  }
  void text_colour() {
    if (emf) {
      emf_simple(EMR_SETTEXTCOLOR, {colorref(colour)});
    } else {
      size_t at = begin_wmf(META_SETTEXTCOLOR);
      rec.u32(colorref(colour));
      end_wmf(at);
    }
  }

  // ---- WMF clipping: the clip rectangle, or the surface when none is set ----
  void clip_box(double *l, double *t, double *r, double *b) const {
    *l = clipped ? clip[0] : -32768.0;
    *t = clipped ? clip[1] : -32768.0;
    *r = clipped ? clip[2] : 32767.0;
    *b = clipped ? clip[3] : 32767.0;
  }
  // Liang-Barsky: false when the segment lies wholly outside the clip box.
  bool clip_segment(double &x1, double &y1, double &x2, double &y2) const {
    double l, t, r, b;
    clip_box(&l, &t, &r, &b);
    double dx = x2 - x1, dy = y2 - y1, u0 = 0, u1 = 1;
    double p[4] = {-dx, dx, -dy, dy}, q[4] = {x1 - l, r - x1, y1 - t, b - y1};
    for (int i = 0; i < 4; i++) {
      if (p[i] == 0) {
        if (q[i] < 0) return false;
        continue;
      }
      double u = q[i] / p[i];
      if (p[i] < 0) u0 = std::max(u0, u);
      else u1 = std::min(u1, u);
      if (u0 > u1) return false;
    }
    double ax = x1 + u0 * dx, ay = y1 + u0 * dy;
    x2 = x1 + u1 * dx, y2 = y1 + u1 * dy;
    x1 = ax, y1 = ay;
    return true;
  }
  // Sutherland-Hodgman against the clip box.
  std::vector<std::pair<double, double>> clip_polygon(const psurf_point *p, int32_t n) const {
    double box[4];
    clip_box(&box[0], &box[1], &box[2], &box[3]);
    std::vector<std::pair<double, double>> in, out;
    for (int32_t i = 0; i < n; i++) in.push_back({p[i].x, p[i].y});
    for (int edge = 0; edge < 4 && !in.empty(); edge++) {
      auto inside = [&](std::pair<double, double> q) {
        return edge == 0 ? q.first >= box[0] : edge == 1 ? q.second >= box[1]
             : edge == 2 ? q.first <= box[2] : q.second <= box[3];
      };
      auto cross = [&](std::pair<double, double> a, std::pair<double, double> b) {
        double k = edge == 0 || edge == 2 ? (box[edge] - a.first) / (b.first - a.first)
                                          : (box[edge] - a.second) / (b.second - a.second);
        return std::pair<double, double>{a.first + k * (b.first - a.first),
                                         a.second + k * (b.second - a.second)};
      };
      out.clear();
      for (size_t i = 0; i < in.size(); i++) {
        auto a = in[i], b = in[(i + 1) % in.size()];
        if (inside(b)) {
          if (!inside(a)) out.push_back(cross(a, b));
          out.push_back(b);
        } else if (inside(a)) {
          out.push_back(cross(a, b));
        }
      }
      in.swap(out);
    }
    return in;
  }

  void wmf_points(uint16_t function, const std::vector<std::pair<double, double>> &p) {
    size_t at = begin_wmf(function);
    rec.u16(uint32_t(p.size()));
    for (auto [x, y] : p) rec.u16(uint32_t(clamp16(x))), rec.u16(uint32_t(clamp16(y)));
    end_wmf(at);
  }
  void wmf_segment(double x1, double y1, double x2, double y2) {
    if (!clip_segment(x1, y1, x2, y2)) return;
    wmf_simple(META_MOVETO, {clamp16(y1), clamp16(x1)});
    wmf_simple(META_LINETO, {clamp16(y2), clamp16(x2)});
  }
  void emf_points(uint32_t type16, uint32_t type32, const psurf_point *p, int32_t n) {
    int32_t l = p[0].x, t = p[0].y, r = l, b = t;
    bool small = true;
    for (int32_t i = 0; i < n; i++) {
      l = std::min(l, p[i].x), r = std::max(r, p[i].x);
      t = std::min(t, p[i].y), b = std::max(b, p[i].y);
      small = small && fits16(p[i].x) && fits16(p[i].y);
    }
    size_t at = begin_emf(small ? type16 : type32);
    rec.i32(l), rec.i32(t), rec.i32(r), rec.i32(b);
    rec.u32(uint32_t(n));
    for (int32_t i = 0; i < n; i++) {
      if (small) rec.u16(uint32_t(p[i].x) & 0xffff), rec.u16(uint32_t(p[i].y) & 0xffff);
      else rec.i32(p[i].x), rec.i32(p[i].y);
    }
    end(at);
  }
};

Meta *meta_of(psurf *s) { return static_cast<Meta *>(s->data); }

void meta_colour(psurf *s, uint8_t index, int mode) {
  Meta *m = meta_of(s);
  bool changed = m->colour != index;
  m->colour = index < 43 ? index : 0;
  m->update_pen();
  m->update_brush();
  if (changed) m->text_colour();
  m->set_mode(mode >= 0 && mode <= 4 ? mode : 0);
}

void meta_pen(psurf *s, int32_t width) {
  Meta *m = meta_of(s);
  m->pen_width = width < 0 ? 0 : width;
  if (m->colour >= 0) m->update_pen();
}

void meta_line(psurf *s, int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
  Meta *m = meta_of(s);
  if (m->emf) {
    m->emf_simple(EMR_MOVETOEX, {uint32_t(x1), uint32_t(y1)});
    m->emf_simple(EMR_LINETO, {uint32_t(x2), uint32_t(y2)});
  } else {
    m->wmf_segment(x1, y1, x2, y2);
  }
}

void meta_polyline(psurf *s, const psurf_point *p, int32_t n) {
  Meta *m = meta_of(s);
  if (n < 2) return;
  if (m->emf) return m->emf_points(EMR_POLYLINE16, EMR_POLYLINE, p, n);
  bool small = true;
  for (int32_t i = 0; i < n; i++) small = small && fits16(p[i].x) && fits16(p[i].y);
  if (small) {
    // A record counts its points in 16 bits: long lines go in pieces that share
    // their end points.
    for (int32_t from = 0; from + 1 < n; from += 32766) {
      std::vector<std::pair<double, double>> q;
      for (int32_t i = from; i < n && i <= from + 32766; i++) q.push_back({p[i].x, p[i].y});
      m->wmf_points(META_POLYLINE, q);
    }
  } else {
    for (int32_t i = 1; i < n; i++) m->wmf_segment(p[i - 1].x, p[i - 1].y, p[i].x, p[i].y);
  }
}

void meta_polygon(psurf *s, const psurf_point *p, int32_t n) {
  Meta *m = meta_of(s);
  if (n < 3) return;
  m->select(m->emf ? uint32_t(STOCK_NULL_PEN) : m->null_pen);
  if (m->emf) {
    m->emf_points(EMR_POLYGON16, EMR_POLYGON, p, n);
  } else {
    std::vector<std::pair<double, double>> q = m->clip_polygon(p, n);
    if (q.size() >= 3 && q.size() <= 32767) m->wmf_points(META_POLYGON, q);
  }
  if (m->have_pen) m->select(m->pen);
}

void meta_rectangle(psurf *s, int32_t l, int32_t t, int32_t r, int32_t b) {
  Meta *m = meta_of(s);
  if (m->emf)
    return m->emf_simple(EMR_RECTANGLE, {uint32_t(l), uint32_t(t), uint32_t(r), uint32_t(b)});
  double cl, ct, cr, cb;
  m->clip_box(&cl, &ct, &cr, &cb);
  double x1 = std::max<double>(std::min(l, r), cl), x2 = std::min<double>(std::max(l, r), cr + 1),
         y1 = std::max<double>(std::min(t, b), ct), y2 = std::min<double>(std::max(t, b), cb + 1);
  if (x1 >= x2 || y1 >= y2) return;
  m->wmf_simple(META_RECTANGLE, {clamp16(y2), clamp16(x2), clamp16(y1), clamp16(x1)});
}

void meta_arc(psurf *s, int32_t l, int32_t t, int32_t r, int32_t b, int32_t xs, int32_t ys, int32_t xe, int32_t ye) {
  Meta *m = meta_of(s);
  if (m->emf) {
    m->emf_simple(EMR_ARC, {uint32_t(l), uint32_t(t), uint32_t(r), uint32_t(b), uint32_t(xs),
                            uint32_t(ys), uint32_t(xe), uint32_t(ye)});
  } else {
    m->wmf_simple(META_ARC, {clamp16(ye), clamp16(xe), clamp16(ys), clamp16(xs), clamp16(b),
                             clamp16(r), clamp16(t), clamp16(l)});
  }
}

void meta_pixel(psurf *s, int32_t x, int32_t y) {
  Meta *m = meta_of(s);
  uint32_t c = Meta::colorref(m->colour);
  if (m->emf) {
    m->emf_simple(EMR_SETPIXELV, {uint32_t(x), uint32_t(y), c});
  } else if (fits16(x) && fits16(y)) {
    size_t at = m->begin_wmf(META_SETPIXEL);
    m->rec.u32(c);
    m->rec.u16(uint32_t(y) & 0xffff), m->rec.u16(uint32_t(x) & 0xffff);
    m->end_wmf(at);
  }
}

void meta_extent(psurf *, const char *, int32_t n, int32_t height, int32_t *w, int32_t *h) {
  *w = n * (height / 2);
  *h = height;
}

void meta_text(psurf *s, int32_t x, int32_t y, const char *t, int32_t n, int32_t height, int32_t angle10, int kind,
               int align) {
  Meta *m = meta_of(s);
  if (n <= 0) return;
  m->update_font(height, angle10, kind);
  uint32_t a = text_align[align >= 0 && align <= 3 ? align : 0];
  if (int(a) != m->align) {
    m->align = int(a);
    if (m->emf) m->emf_simple(EMR_SETTEXTALIGN, {a});
    else m->wmf_simple(META_SETTEXTALIGN, {int32_t(a), 0});
  }
  if (m->emf) {
    int32_t w, h;
    meta_extent(s, t, n, height, &w, &h);
    size_t at = m->begin_emf(EMR_EXTTEXTOUTW);
    m->rec.i32(x), m->rec.i32(y - h), m->rec.i32(x + w), m->rec.i32(y + h);  // bounds
    m->rec.u32(1);  // compatible graphics mode
    float scale = 1;
    uint32_t bits;
    memcpy(&bits, &scale, 4);
    m->rec.u32(bits), m->rec.u32(bits);
    uint32_t chars = uint32_t(n), string_at = 76, dx_at = 76 + ((2 * chars + 3) & ~3u);
    m->rec.i32(x), m->rec.i32(y), m->rec.u32(chars), m->rec.u32(string_at), m->rec.u32(0);
    m->rec.i32(0), m->rec.i32(0), m->rec.i32(-1), m->rec.i32(-1);  // no rectangle
    m->rec.u32(dx_at);
    for (int32_t i = 0; i < n; i++) m->rec.u16(uint8_t(t[i]));
    m->rec.pad4();
    for (int32_t i = 0; i < n; i++) m->rec.u32(uint32_t(height / 2));
    m->end(at);
  } else {
    n = std::min(n, int32_t(32767));
    size_t at = m->begin_wmf(META_TEXTOUT);
    m->rec.u16(uint32_t(n));
    for (int32_t i = 0; i < n; i++) m->rec.u8(uint8_t(t[i]));
    if (n % 2) m->rec.u8(0);
    m->rec.u16(uint32_t(clamp16(y))), m->rec.u16(uint32_t(clamp16(x)));
    m->end_wmf(at);
  }
}

void meta_clip(psurf *s, int32_t l, int32_t t, int32_t r, int32_t b) {
  Meta *m = meta_of(s);
  m->clip[0] = l, m->clip[1] = t, m->clip[2] = r, m->clip[3] = b;
  m->clipped = true;
  if (m->emf) {
    m->emf_simple(EMR_EXTSELECTCLIPRGN, {0, 5});  // back to the whole picture
    m->emf_simple(EMR_INTERSECTCLIPRECT, {uint32_t(l), uint32_t(t), uint32_t(r), uint32_t(b)});
    return;
  }
  // The state saved at the start holds no clip: go back to it, save it again, and
  // select the current objects and modes once more.
  m->wmf_simple(META_RESTOREDC, {-1});
  m->wmf_simple(META_SAVEDC, {});
  m->wmf_simple(META_INTERSECTCLIPRECT, {clamp16(b), clamp16(r), clamp16(t), clamp16(l)});
  if (m->have_pen) m->select(m->pen);
  if (m->have_brush) m->select(m->brush);
  if (m->have_font) m->select(m->font);
  if (m->mode >= 0) m->wmf_simple(META_SETROP2, {int32_t(rop2[m->mode]), 0});
  if (m->align >= 0) m->wmf_simple(META_SETTEXTALIGN, {m->align, 0});
  if (m->colour >= 0) m->text_colour();
}

void meta_clear(psurf *s, uint8_t index) {
  Meta *m = meta_of(s);
  meta_colour(s, index, 0);
  bool was = m->clipped;
  m->clipped = false;
  meta_rectangle(s, 0, 0, m->width, m->height);
  m->clipped = was;
}

void meta_page(psurf *) {}

// A 24-bit device-independent bitmap: the 40-byte header, then rows from the bottom,
// blue, green, red, each row padded to 4 bytes.
void dib(Bytes &out, int32_t w, int32_t h, const uint8_t *rgb) {
  uint32_t row = (3 * uint32_t(w) + 3) & ~3u;
  out.u32(40), out.i32(w), out.i32(h), out.u16(1), out.u16(24), out.u32(0);
  out.u32(row * uint32_t(h)), out.i32(11811), out.i32(11811), out.u32(0), out.u32(0);
  for (int32_t r = h - 1; r >= 0; r--) {
    for (int32_t c = 0; c < w; c++) {
      const uint8_t *p = rgb + 3 * (size_t(r) * size_t(w) + size_t(c));
      out.u8(p[2]), out.u8(p[1]), out.u8(p[0]);
    }
    for (uint32_t k = 3 * uint32_t(w); k < row; k++) out.u8(0);
  }
}

void meta_image(psurf *s, int32_t x, int32_t y, int32_t w, int32_t h, const uint8_t *rgb) {
  Meta *m = meta_of(s);
  if (w <= 0 || h <= 0) return;
  uint32_t bits = ((3 * uint32_t(w) + 3) & ~3u) * uint32_t(h);
  if (m->emf) {
    size_t at = m->begin_emf(81);  // EMR_STRETCHDIBITS
    m->rec.i32(x), m->rec.i32(y), m->rec.i32(x + w - 1), m->rec.i32(y + h - 1);
    m->rec.i32(x), m->rec.i32(y), m->rec.i32(0), m->rec.i32(0), m->rec.i32(w), m->rec.i32(h);
    m->rec.u32(80), m->rec.u32(40), m->rec.u32(120), m->rec.u32(bits);
    m->rec.u32(0), m->rec.u32(0x00CC0020), m->rec.i32(w), m->rec.i32(h);
    dib(m->rec, w, h, rgb);
    m->end(at);
  } else if (fits16(x) && fits16(y) && w < 32768 && h < 32768) {
    size_t at = m->begin_wmf(0x0F43);  // META_STRETCHDIB
    m->rec.u32(0x00CC0020), m->rec.u16(0);
    m->rec.u16(uint32_t(h)), m->rec.u16(uint32_t(w)), m->rec.u16(0), m->rec.u16(0);
    m->rec.u16(uint32_t(h)), m->rec.u16(uint32_t(w));
    m->rec.u16(uint32_t(y) & 0xffff), m->rec.u16(uint32_t(x) & 0xffff);
    dib(m->rec, w, h, rgb);
    m->end_wmf(at);
  }
}

const psurf_ops meta_ops = {meta_colour,    meta_pen,   meta_line,  meta_polyline, meta_polygon,
                            meta_rectangle, meta_arc,   meta_pixel, meta_text,     meta_extent,
                            meta_clip,      meta_clear, meta_page,  meta_image};

psurf *make(bool emf, const char *path, int32_t width, int32_t height, const char *description) {
  FILE *probe = fopen(path, "wb");  // the file must be creatable now, as a device would be
  if (!probe) return nullptr;
  fclose(probe);
  Meta *m = new Meta;
  m->emf = emf;
  m->path = path;
  m->description = std::string(description ? description : "").substr(0, 29);
  m->width = width > 0 ? width : 1;
  m->height = height > 0 ? height : 1;
  if (emf) {
    m->emf_simple(EMR_SETBKMODE, {1});
  } else {
    m->wmf_simple(META_SETWINDOWORG, {0, 0});
    m->wmf_simple(META_SETWINDOWEXT, {clamp16(m->height), clamp16(m->width)});
    m->wmf_simple(META_SETBKMODE, {1, 0});
    m->null_pen = m->make_pen(5, 0, 0);
    m->wmf_simple(META_SAVEDC, {});
  }
  return new psurf{&meta_ops, m};
}

std::vector<uint8_t> emf_file(Meta *m) {
  m->emf_simple(EMR_EOF, {0, 16, 20});
  Bytes h;
  std::u16string desc(m->description.begin(), m->description.end());
  uint32_t ndesc = uint32_t(desc.size() + 2), size = 108 + ((2 * ndesc + 3) & ~3u);
  int32_t r = m->width - 1, b = m->height - 1;
  h.u32(EMR_HEADER), h.u32(size);
  h.i32(0), h.i32(0), h.i32(r), h.i32(b);  // bounds in device pixels
  // The frame in 0.01 mm of a 300 dots-per-inch reference device.
  h.i32(0), h.i32(0), h.i32(int32_t(std::lround(r * 2540.0 / 300))),
      h.i32(int32_t(std::lround(b * 2540.0 / 300)));
  h.u32(0x464D4520), h.u32(0x00010000);
  h.u32(uint32_t(size + m->rec.b.size())), h.u32(m->records + 1);
  h.u16(std::max<uint32_t>(m->max_objects, 1)), h.u16(0);
  h.u32(ndesc), h.u32(108), h.u32(0);
  h.i32(2480), h.i32(3508), h.i32(210), h.i32(297);  // device pixels and millimetres
  h.u32(0), h.u32(0), h.u32(0);
  h.i32(210000), h.i32(297000);
  for (char16_t c : desc) h.u16(c);
  h.u16(0), h.u16(0);
  h.pad4();
  h.b.insert(h.b.end(), m->rec.b.begin(), m->rec.b.end());
  return h.b;
}

std::vector<uint8_t> wmf_file(Meta *m) {
  m->wmf_simple(META_RESTOREDC, {-1});
  m->wmf_simple(META_EOF, {});
  Bytes h;
  h.u32(0x9AC6CDD7), h.u16(0);
  h.u16(0), h.u16(0), h.u16(uint32_t(clamp16(m->width))), h.u16(uint32_t(clamp16(m->height)));
  h.u16(300), h.u32(0);
  uint16_t sum = 0;
  for (size_t i = 0; i < 20; i += 2) sum ^= uint16_t(h.b[i] | h.b[i + 1] << 8);
  h.u16(sum);
  h.u16(1), h.u16(9), h.u16(0x0300);
  h.u32(uint32_t(9 + m->rec.b.size() / 2));
  h.u16(m->max_objects), h.u32(m->largest), h.u16(0);
  h.b.insert(h.b.end(), m->rec.b.begin(), m->rec.b.end());
  return h.b;
}

}  // namespace

psurf *psurf_emf_new(const char *path, int32_t width, int32_t height, const char *description) {
  return make(true, path, width, height, description);
}

psurf *psurf_wmf_new(const char *path, int32_t width, int32_t height) {
  return make(false, path, width, height, nullptr);
}

bool psurf_meta_close(psurf **s) {
  if (!*s) return false;
  Meta *m = meta_of(*s);
  std::vector<uint8_t> bytes = m->emf ? emf_file(m) : wmf_file(m);
  FILE *f = fopen(m->path.c_str(), "wb");
  bool ok = f && fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  if (f) ok = fclose(f) == 0 && ok;
  delete m;
  delete *s;
  *s = nullptr;
  return ok;
}
