// rddxf: DXF import. The drawing is read group by group (a code line, then a value
// line typed by the code); its LAYER table names the regions, its line, arc, circle,
// ellipse and polyline entities become segments, its texts descriptor lines. Segments
// are chained into paths, condition texts attached to their nearest segment, and the
// descriptor is written region by region.
#include "reader/rddxf.h"

#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cfenv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "runtime/debug.h"
#include "runtime/filio.h"
#include "runtime/lined.h"
#include "runtime/report.h"
#include "runtime/rtlib.h"

namespace {

// One line or arc of a boundary path. Segments are numbered from 1; link 0 is none.
struct Segment {
  double p1[3], p2[3], c[3];  // start, end, centre (arcs) or a middle point (kind 2)
  double radius;
  double sweep;       // degrees; 0 for an arc given by its end point
  int32_t layer;      // index into the layer list; -1 for a layer the table lacks
  int32_t prev, next; // path links
  uint32_t kind;      // 0 line, 1 arc about a centre, 2 arc through a middle point
  uint8_t finish;     // closes its path
  uint8_t haspred;    // some segment has it as successor
  uint8_t written;
};

// One text of the drawing; the list is kept in descending y of the insertion point.
struct Text {
  double p[3];
  double height;
  std::string text;
  int32_t layer;
  int32_t seg;     // attached segment, 0 none
  uint8_t bc;      // VALUE, NATURAL or LOAD: a boundary condition
  uint8_t point;   // POINT: a point condition
};

// The current group: its code and its value as text, real or integer.
struct Group {
  int code;
  std::string text;
  double real;
  int32_t integer;
};

// Everything one import holds; reset at entry and at the end.
struct Import {
  IOfile in;
  String line;
  Group g;
  bool pushed, failed;         // group pushed back; error met
  std::vector<Segment> segs;   // entry 0 unused
  std::vector<Text> texts;
  std::vector<std::string> layers;  // layer index L is entry L
  int32_t layer0;                   // segments on layer 0
  double xmin, xmax, ymin, ymax, width, height;
};

Import import_state;

constexpr double PI = 3.14159265358979323846;

void reset() {
  if (import_state.in.state != FILIO_CLOSED) filio_close_get(&import_state.in);
  strings_free_0(&import_state.in.name);
  strings_free_0(&import_state.line);
  import_state.g = {};
  import_state.pushed = import_state.failed = false;
  std::vector<Segment>(1).swap(import_state.segs);
  std::vector<Text>().swap(import_state.texts);
  std::vector<std::string>().swap(import_state.layers);
  import_state.layer0 = 0;
  import_state.xmin = import_state.ymin = 1e37;
  import_state.xmax = import_state.ymax = -1e37;
  import_state.width = import_state.height = 0;
}

// The matching tolerance: 1e-6 of the larger extent of the drawing so far.
double tolerance() { return 1e-6 * std::max(import_state.width, import_state.height); }

void extend(const double p[3]) {
  import_state.xmin = std::min(import_state.xmin, p[0]), import_state.xmax = std::max(import_state.xmax, p[0]);
  import_state.ymin = std::min(import_state.ymin, p[1]), import_state.ymax = std::max(import_state.ymax, p[1]);
  import_state.width = std::max(import_state.width, import_state.xmax - import_state.xmin);
  import_state.height = std::max(import_state.height, import_state.ymax - import_state.ymin);
}

// The first error of the import: shown, and reading ends.
void dxf_fail(const char *message) {
  if (import_state.failed) return;
  import_state.failed = true;
  String m = {}, c = {};
  strings_copyto_1(&m, message);
  strings_copyto_1(&c, "ERROR");
  report_error_message(0, &m, &c);
  strings_free_0(&m);
  strings_free_0(&c);
}

// The next line of the drawing; false at its end.
bool get_line() {
  if (import_state.in.state == FILIO_AT_EOF) return false;
  filio_get_line_1(&import_state.in, &import_state.line);
  return !(import_state.line.length == 0 && import_state.in.state == FILIO_AT_EOF);
}

const char *line_text() { return import_state.line.text ? import_state.line.text : ""; }

// The value's type by group code: 0 string, 1 real, 2 integer.
int value_type(int code) {
  if ((code >= 10 && code <= 59) || (code >= 140 && code <= 149) || (code >= 210 && code <= 239) ||
      (code >= 1010 && code <= 1059))
    return 1;
  if ((code >= 60 && code <= 79) || (code >= 90 && code <= 99) || (code >= 170 && code <= 179) ||
      (code >= 1060 && code <= 1079))
    return 2;
  return 0;
}

// Reads the next group (or takes the one pushed back); false at the end of the
// drawing or after an error. A code that is not a number, or a code without its
// value line, or a real value that is not finite, is "Illegal Group".
bool next_item() {
  if (import_state.pushed) {
    import_state.pushed = false;
    return true;
  }
  if (import_state.failed || !get_line()) return false;
  int code = 0;
  if (sscanf(line_text(), "%d", &code) != 1) {
    dxf_fail("Illegal Group");
    return false;
  }
  if (!get_line()) {
    dxf_fail("Illegal Group");
    return false;
  }
  Group &g = import_state.g;
  g.code = code;
  g.text.assign(line_text(), import_state.line.length);
  g.real = 0, g.integer = 0;
  switch (value_type(code)) {
    case 1: {
      // The conversion runs with the floating-point traps held: a number beyond the
      // range becomes inf rather than stopping the program, and is refused below.
      fenv_t held;
      feholdexcept(&held);
      sscanf(line_text(), "%28lg", &g.real);
      feclearexcept(FE_ALL_EXCEPT);
      fesetenv(&held);
      // A number that is not finite (inf, nan) holds no place of the drawing.
      if (!std::isfinite(g.real)) {
        dxf_fail("Illegal Group");
        return false;
      }
      break;
    }
    case 2: sscanf(line_text(), "%d", &g.integer); break;
    default: break;
  }
  return true;
}

void dxf_push_back() { import_state.pushed = true; }

// The group's text without the blanks some writers put around keywords.
std::string word() {
  const std::string &t = import_state.g.text;
  size_t a = t.find_first_not_of(" \t"), b = t.find_last_not_of(" \t");
  return a == std::string::npos ? std::string() : t.substr(a, b - a + 1);
}

bool is_zero(const char *name) { return import_state.g.code == 0 && word() == name; }

// A point after its x group (code xcode): the y group must follow (xcode + 10); a z
// group (xcode + 20) may. Every point read extends the drawing.
bool get_xyz(double p[3], int xcode) {
  p[0] = import_state.g.real, p[1] = p[2] = 0;
  if (!next_item()) return false;
  if (import_state.g.code != xcode + 10) {
    dxf_fail("Invalid Y-coord code");
    return false;
  }
  p[1] = import_state.g.real;
  if (next_item()) {
    if (import_state.g.code == xcode + 20) p[2] = import_state.g.real;
    else dxf_push_back();
  }
  extend(p);
  return !import_state.failed;
}

// Layer 0 for names beginning with 0, else the table's index; -1 when absent.
int32_t layer_of(const std::string &name) {
  if (!name.empty() && name[0] == '0') return 0;
  for (size_t k = 0; k < import_state.layers.size(); k++)
    if (import_state.layers[k] == name) return int32_t(k);
  return -1;
}

// ---- Segments ------------------------------------------------------------------------

Segment blank(int32_t layer) {
  Segment s = {};
  s.layer = layer;
  return s;
}

int32_t add_segment(const Segment &s) {
  import_state.segs.push_back(s);
  if (s.layer == 0) import_state.layer0++;
  return int32_t(import_state.segs.size() - 1);
}

// Within the tolerance of each other, in the plane.
bool near(const double a[3], const double b[3], double tol) { return std::hypot(a[0] - b[0], a[1] - b[1]) <= tol; }

// Appends a segment to the path whose last segment is *last (0: a new path).
void chain(int32_t *last, const Segment &s) {
  int32_t k = add_segment(s);
  if (*last) {
    import_state.segs[size_t(*last)].next = k;
    import_state.segs[k].prev = *last;
    import_state.segs[k].haspred = 1;
  }
  *last = k;
}

// A bulge segment from p1 to p2: a line for bulge 0, else an arc given by its sweep,
// 4 atan(b) (counter-clockwise for a positive bulge), so that a half turn or more
// keeps its direction and size.
Segment bulge_segment(const double p1[3], const double p2[3], double b, int32_t layer) {
  Segment s = blank(layer);
  memcpy(s.p1, p1, sizeof s.p1);
  memcpy(s.p2, p2, sizeof s.p2);
  if (b == 0) return s;
  double f = (1 - b * b) * 0.25 / b;
  s.kind = 1;
  s.sweep = 4 * std::atan(b) * 180 / PI;
  s.c[0] = (p1[0] + p2[0]) * 0.5 + (p1[1] - p2[1]) * f;
  s.c[1] = (p1[1] + p2[1]) * 0.5 + (p2[0] - p1[0]) * f;
  s.c[2] = p1[2];
  s.radius = std::hypot(p1[0] - s.c[0], p1[1] - s.c[1]);
  return s;
}

// After a path read from one entity: earlier open ends of its layer at its first
// point continue into it. A segment that closes its path takes no successor.
void join_earlier(int32_t first) {
  const Segment &f = import_state.segs[size_t(first)];
  double tol = tolerance();
  for (int32_t k = 1; k < first; k++) {
    Segment &s = import_state.segs[size_t(k)];
    if (!s.next && !s.finish && s.layer == f.layer && near(s.p2, f.p1, tol)) s.next = first;
  }
}

// The segments of a polyline's vertices; closed: back to the first, marked finish.
void polyline_path(const std::vector<std::array<double, 4>> &v, bool closed, int32_t layer) {
  size_t n = v.size();
  if (n < 2) return;
  int32_t last = 0, first = int32_t(import_state.segs.size());
  for (size_t k = 0; k + 1 < n; k++) chain(&last, bulge_segment(v[k].data(), v[k + 1].data(), v[k][3], layer));
  if (closed) {
    Segment s = bulge_segment(v[n - 1].data(), v[0].data(), v[n - 1][3], layer);
    s.finish = 1;
    chain(&last, s);
  }
  join_earlier(first);
}

// ---- Texts ---------------------------------------------------------------------------

// Inserts a text below those at its height or above, and classifies it by its first
// word: VALUE, NATURAL, LOAD a boundary condition, POINT a point condition.
void put_text(const std::string &text, int32_t layer, const double p[3], double height) {
  Text t = {};
  memcpy(t.p, p, sizeof t.p);
  t.height = height;
  t.text = text;
  t.layer = layer;
  size_t a = text.find_first_not_of(' ');
  std::string first;
  for (size_t k = a; k < text.size() && text[k] != ' ' && text[k] != '('; k++)
    first += char(toupper(static_cast<unsigned char>(text[k])));
  t.bc = first == "VALUE" || first == "NATURAL" || first == "LOAD";
  t.point = first == "POINT";
  auto at =
      std::find_if(import_state.texts.begin(), import_state.texts.end(), [&](const Text &o) { return o.p[1] < p[1]; });
  import_state.texts.insert(at, std::move(t));
}

// ---- Entities ------------------------------------------------------------------------

// Each entity reader takes the groups it interprets and passes over the others up to
// the next 0 group, which ends the entity and is left for the caller. It returns true
// when the entity ended there (not at the end of the drawing or at an error).
template <class Take> bool entity(Take take) {
  while (next_item()) {
    if (import_state.g.code == 0) {
      dxf_push_back();
      return true;
    }
    if (!take()) return false;
  }
  return false;
}

void read_line() {
  Segment s = blank(-1);
  bool ok = entity([&] {
    switch (import_state.g.code) {
      case 8: s.layer = layer_of(import_state.g.text); break;
      case 10: return get_xyz(s.p1, 10);
      case 11: return get_xyz(s.p2, 11);
      default: break;
    }
    return true;
  });
  if (ok) add_segment(s);
}

void read_arc(bool circle) {
  Segment s = blank(-1);
  double a1 = 0, a2 = 360;
  bool ok = entity([&] {
    switch (import_state.g.code) {
      case 8: s.layer = layer_of(import_state.g.text); break;
      case 10: return get_xyz(s.c, 10);
      case 40: s.radius = import_state.g.real; break;
      case 50: a1 = import_state.g.real; break;
      case 51: a2 = import_state.g.real; break;
      default: break;
    }
    return true;
  });
  if (!ok) return;
  if (circle) a1 = 0, a2 = 360;
  s.kind = 1;
  s.sweep = a2 - a1;
  if (s.sweep < 0) s.sweep += 360;
  double r1 = a1 * PI / 180, r2 = a2 * PI / 180;
  s.p1[0] = s.c[0] + s.radius * cos(r1), s.p1[1] = s.c[1] + s.radius * sin(r1), s.p1[2] = s.c[2];
  s.p2[0] = s.c[0] + s.radius * cos(r2), s.p2[1] = s.c[1] + s.radius * sin(r2), s.p2[2] = s.c[2];
  if (circle) memcpy(s.p2, s.p1, sizeof s.p2);
  extend(s.p1), extend(s.p2);
  add_segment(s);
}

// An ellipse (or elliptic arc) as arcs about its centre through points placed along
// its major axis's direction, at most a quarter turn of the parameter apart. Arcs
// about a centre follow only an ellipse whose axes lie along x and y: a rotated one
// is followed by arcs each through three of its points, 32 to the turn.
void read_ellipse() {
  int32_t layer = -1;
  double c[3] = {}, m[3] = {}, ratio = 1, t0 = 0, t1 = 2 * PI;
  bool ok = entity([&] {
    switch (import_state.g.code) {
      case 8: layer = layer_of(import_state.g.text); break;
      case 10: return get_xyz(c, 10);
      case 11: {
        // The major axis end is relative to the centre: not a point of the drawing.
        double w = import_state.width, h = import_state.height,
               box[4] = {import_state.xmin, import_state.xmax, import_state.ymin, import_state.ymax};
        bool got = get_xyz(m, 11);
        import_state.width = w, import_state.height = h, import_state.xmin = box[0], import_state.xmax = box[1],
        import_state.ymin = box[2], import_state.ymax = box[3];
        return got;
      }
      case 40: ratio = import_state.g.real; break;
      case 41: t0 = import_state.g.real; break;
      case 42: t1 = import_state.g.real; break;
      default: break;
    }
    return true;
  });
  double a = std::hypot(m[0], m[1]), b = ratio * a;
  if (!ok || !(a > 0) || !std::isfinite(a) || !std::isfinite(b) || !std::isfinite(t0) || !std::isfinite(t1)) return;
  if (t1 <= t0) t1 += 2 * PI * std::ceil((t0 - t1) / (2 * PI) + (t1 == t0 ? 1 : 0));
  double span = std::min(t1 - t0, 2 * PI);
  int n = std::max(1, int(std::floor(((PI / 2) * 0.9999 + span) / (PI / 2))));
  double u[2] = {m[0] / a, m[1] / a};
  const bool rotated = ratio != 1 && std::fabs(u[0]) > 1e-12 && std::fabs(u[1]) > 1e-12;
  if (rotated) n *= 8;
  auto at = [&](double t, double p[3]) {
    p[0] = c[0] + a * cos(t) * u[0] - b * sin(t) * u[1];
    p[1] = c[1] + a * cos(t) * u[1] + b * sin(t) * u[0];
    p[2] = c[2];
    extend(p);
  };
  int32_t last = 0, first = int32_t(import_state.segs.size());
  double p[3], q[3];
  at(t0, p);
  for (int k = 1; k <= n; k++) {
    at(t0 + span * k / n, q);
    Segment s = blank(layer);
    s.kind = rotated ? 2 : 1;
    memcpy(s.p1, p, sizeof p), memcpy(s.p2, q, sizeof q), memcpy(s.c, c, sizeof c);
    if (rotated) at(t0 + span * (k - 0.5) / n, s.c);
    s.radius = a;
    chain(&last, s);
    memcpy(p, q, sizeof p);
  }
  join_earlier(first);
}

using Vertices = std::vector<std::array<double, 4>>;  // x, y, z, bulge

void read_polyline() {
  int32_t layer = -1, flags = 0;
  bool ok = entity([&] {
    if (import_state.g.code == 8) layer = layer_of(import_state.g.text);
    if (import_state.g.code == 70) flags = import_state.g.integer;
    return true;
  });
  Vertices v;
  while (ok && next_item()) {
    if (is_zero("VERTEX")) {
      std::array<double, 4> p = {};
      ok = entity([&] {
        if (import_state.g.code == 10) return get_xyz(p.data(), 10);
        if (import_state.g.code == 42) p[3] = import_state.g.real;
        return true;
      });
      if (ok) v.push_back(p);
      continue;
    }
    // SEQEND's own groups are passed over by the entity loop; anything else ends
    // the vertex list and is left for it.
    if (!is_zero("SEQEND")) dxf_push_back();
    break;
  }
  if (ok) polyline_path(v, flags & 1, layer);
}

void read_lwpolyline() {
  int32_t layer = -1, flags = 0;
  Vertices v;
  bool ok = entity([&] {
    switch (import_state.g.code) {
      case 8: layer = layer_of(import_state.g.text); break;
      case 90: v.reserve(size_t(std::clamp(import_state.g.integer, 0, 4096))); break;
      case 10: {
        std::array<double, 4> p = {};
        if (!get_xyz(p.data(), 10)) return false;
        v.push_back(p);
        break;
      }
      case 42:
        if (!v.empty()) v.back()[3] = import_state.g.real;
        break;
      case 70: flags = import_state.g.integer; break;
      default: break;
    }
    return true;
  });
  if (ok) polyline_path(v, flags & 1, layer);
}

// TEXT, or MTEXT whose paragraphs (split at "\P") become texts one under another.
void read_text(bool mtext) {
  int32_t layer = -1;
  double p[3] = {}, h = 0;
  std::string text;
  bool ok = entity([&] {
    switch (import_state.g.code) {
      case 1:
      case 3:
        if (import_state.g.code == 1 || mtext) text += import_state.g.text;
        break;
      case 8: layer = layer_of(import_state.g.text); break;
      case 10: return get_xyz(p, 10);
      case 40: h = import_state.g.real; break;
      default: break;
    }
    return true;
  });
  if (!ok) return;
  if (!mtext) {
    put_text(text, layer, p, h);
    return;
  }
  double step = 1e-6 * import_state.height, q[3] = {p[0], p[1], p[2]};
  for (size_t from = 0;;) {
    size_t cut = text.find("\\P", from);
    put_text(text.substr(from, cut == std::string::npos ? std::string::npos : cut - from), layer, q, h);
    if (cut == std::string::npos) break;
    from = cut + 2;
    q[1] -= step;
  }
}

void read_entities() {
  while (next_item()) {
    if (import_state.g.code != 0) continue;
    std::string w = word();
    if (w == "ENDSEC") return;
    if (w == "LINE") read_line();
    else if (w == "ARC" || w == "CIRCLE") read_arc(w == "CIRCLE");
    else if (w == "ELLIPSE") read_ellipse();
    else if (w == "POLYLINE") read_polyline();
    else if (w == "LWPOLYLINE") read_lwpolyline();
    else if (w == "TEXT" || w == "MTEXT") read_text(w == "MTEXT");
  }
}

// One LAYER entry: its name (2); its other groups are passed over. Names "0_..." are
// not layers of the problem.
void read_layer_entry() {
  std::string name;
  bool named = false;
  bool ok = entity([&] {
    if (import_state.g.code == 2) name = import_state.g.text, named = true;
    return true;
  });
  if (!ok || !named) return;
  if (name.size() > 1 && name.compare(0, 2, "0_") == 0) return;
  import_state.layers.push_back(std::move(name));
}

void read_tables() {
  bool layer_table = false;
  while (next_item()) {
    if (import_state.g.code == 70 && layer_table) {
      import_state.layers.reserve(size_t(std::clamp(import_state.g.integer, 0, 4096)));
      continue;
    }
    if (import_state.g.code != 0) continue;
    std::string w = word();
    if (w == "ENDSEC") return;
    if (w == "TABLE") {
      layer_table = next_item() && import_state.g.code == 2 && word() == "LAYER";
    } else if (w == "ENDTAB") {
      layer_table = false;
    } else if (w == "LAYER" && layer_table) {
      read_layer_entry();
    }
  }
}

// Sections up to EOF; a section without its name, or a drawing that ends without
// EOF, is "Illegal Group".
void read_drawing() {
  while (next_item()) {
    if (is_zero("EOF")) return;
    if (!is_zero("SECTION")) continue;
    if (!next_item() || import_state.g.code != 2) {
      dxf_fail("Illegal Group");
      return;
    }
    std::string w = word();
    if (w == "TABLES") read_tables();
    else if (w == "ENTITIES") read_entities();
  }
  if (!import_state.failed) dxf_fail("Illegal Group");
}

// ---- Conditions and paths ------------------------------------------------------------

double dist(const double a[3], const double b[3]) {
  return std::sqrt((a[0] - b[0]) * (a[0] - b[0]) + (a[1] - b[1]) * (a[1] - b[1]) + (a[2] - b[2]) * (a[2] - b[2]));
}

// A text's distance from a segment: from a line, its distance to the segment; from an
// arc, its distance to the circle when it lies within a chord length of both ends
// (always for a full circle), else the chord length.
double how_far(const double p[3], const Segment &s) {
  if (s.kind == 0) return lined_line_distance_1(p, s.p1, s.p2);
  if (s.kind == 2) return std::min(lined_line_distance_1(p, s.p1, s.c), lined_line_distance_1(p, s.c, s.p2));
  double chord = dist(s.p1, s.p2);
  if (std::fabs(s.sweep) >= 360 || (dist(p, s.p1) <= chord && dist(p, s.p2) <= chord))
    return std::fabs(dist(p, s.c) - s.radius);
  return chord;
}

// Attaches each condition text to a segment of its layer closer than m heights, for
// m = 1, 2, ... 100, where pass m attaches every text still free to the last segment
// within m heights. Texts do not depend on each other, so each text's pass is found
// directly: the least m that some segment meets, then the last segment meeting it.
void assign_bcs() {
  int open_at_100 = 0, passes = 0;
  for (Text &t : import_state.texts) {
    if (!(t.bc || t.point)) continue;
    int best = 101;  // beyond the last pass
    // A text without a positive height is near no segment (and is not divided by).
    for (size_t k = 1; t.height > 0 && k < import_state.segs.size() && best > 1; k++) {
      if (import_state.segs[k].layer != t.layer) continue;
      double d = how_far(t.p, import_state.segs[k]), q = d / t.height;
      if (!(q < best)) continue;  // also NaN
      int m = std::max(1, int(q));
      while (m > 1 && d < (m - 1) * t.height) m--;
      while (m < best && !(d < m * t.height)) m++;
      best = std::min(best, m);
    }
    for (size_t k = 1; best <= 100 && k < import_state.segs.size(); k++)
      if (import_state.segs[k].layer == t.layer && how_far(t.p, import_state.segs[k]) < best * t.height)
        t.seg = int32_t(k);
    passes = std::max(passes, best);
    open_at_100 += best >= 100;
  }
  // The passes end once no text is left free; the hundredth says what it began with.
  if (passes >= 100) debug_printf(" %d UNASSIGNED BOUNDARY CONDITIONS!\n", open_at_100);
}

// Open ends found by a grid of cells one tolerance wide, so that each search looks
// at the few segments near the end rather than at all of them.
struct EndIndex {
  double cell;
  std::unordered_multimap<uint64_t, int32_t> cells;  // segment * 2 + (0 start, 1 end)
  static int64_t bin(double v, double cell) {
    double q = std::floor(v / cell);
    return std::isfinite(q) ? int64_t(std::clamp(q, -1e15, 1e15)) : 0;
  }
  static uint64_t key(int64_t i, int64_t j) { return uint64_t(i) * 0x9E3779B97F4A7C15ull ^ uint64_t(j); }
  void add(const double p[3], int32_t entry) { cells.emplace(key(bin(p[0], cell), bin(p[1], cell)), entry); }
  // The lowest-numbered entry near p that accepts.
  template <class Ok> int32_t find(const double p[3], Ok ok) const {
    int32_t best = 0;
    int64_t i = bin(p[0], cell), j = bin(p[1], cell);
    for (int64_t di = -1; di <= 1; di++)
      for (int64_t dj = -1; dj <= 1; dj++) {
        auto range = cells.equal_range(key(i + di, j + dj));
        for (auto it = range.first; it != range.second; ++it)
          if ((!best || it->second < best) && ok(it->second)) best = it->second;
      }
    return best;
  }
};

// Joins open paths of a layer: an open end continues into a segment without a
// predecessor that starts there, else into a free one that ends there, reversed.
void linkup() {
  double tol = tolerance();
  for (bool linked = true; linked;) {
    linked = false;
    EndIndex starts{tol > 0 ? tol : 1.0, {}}, ends = starts;
    for (size_t k = 1; k < import_state.segs.size(); k++) {
      if (import_state.segs[k].haspred || import_state.segs[k].layer < 0) continue;
      starts.add(import_state.segs[k].p1, int32_t(k));
      ends.add(import_state.segs[k].p2, int32_t(k));
    }
    for (size_t k = 1; k < import_state.segs.size(); k++) {
      Segment &s = import_state.segs[k];
      if (s.next || s.finish || s.layer < 0) continue;
      int32_t t = starts.find(s.p2, [&](int32_t j) {
        const Segment &o = import_state.segs[size_t(j)];
        return !o.haspred && o.layer == s.layer && near(o.p1, s.p2, tol);
      });
      if (!t) {
        t = ends.find(s.p2, [&](int32_t j) {
          const Segment &o = import_state.segs[size_t(j)];
          return size_t(j) != k && !o.haspred && !o.next && o.layer == s.layer && near(o.p2, s.p2, tol);
        });
        if (!t) continue;
        Segment &o = import_state.segs[size_t(t)];
        std::swap(o.p1, o.p2);
        if (o.kind == 1) o.sweep = -o.sweep;
      }
      s.next = t;
      import_state.segs[size_t(t)].prev = int32_t(k);
      import_state.segs[size_t(t)].haspred = 1;
      linked = true;
    }
  }
}

// ---- Writing -------------------------------------------------------------------------

std::string num(double x) {
  String s = {};
  strings_formatreal(&s, x, 8, 1, 1);
  std::string out(s.text ? s.text : "", s.length);
  strings_free_0(&s);
  return out;
}

bool plain(const Text &t) { return !t.bc && !t.point; }

bool ends_head(const std::string &text) {
  for (const char *w : {"TIME", "MONITORS", "PLOTS", "HISTORIES"})
    if (strings_compare_ul_1(text.c_str(), w) == 0) return true;
  return false;
}

void write_segment(FILE *f, const Segment &s) {
  if (s.kind == 0) {
    if (s.finish) fputs("    line to finish\n", f);
    else fprintf(f, "    line to (%s,%s)\n", num(s.p2[0]).c_str(), num(s.p2[1]).c_str());
    return;
  }
  if (s.kind == 2) {
    fprintf(f, "    arc to (%s,%s) to (%s,%s)\n", num(s.c[0]).c_str(), num(s.c[1]).c_str(), num(s.p2[0]).c_str(),
            num(s.p2[1]).c_str());
    return;
  }
  fprintf(f, "    arc(center=%s,%s) ", num(s.c[0]).c_str(), num(s.c[1]).c_str());
  if (s.sweep != 0) fprintf(f, "angle=%s\n", num(s.sweep).c_str());
  else fprintf(f, "to (%s,%s)\n", num(s.p2[0]).c_str(), num(s.p2[1]).c_str());
}

// The paths of one layer, each from its first segment along its successors.
void write_paths(FILE *f, int32_t layer, const std::vector<std::vector<int32_t>> &attached,
                 std::vector<uint32_t> &visited, uint32_t &stamp) {
  for (size_t k = 1; k < import_state.segs.size(); k++) {
    if (import_state.segs[k].layer != layer || import_state.segs[k].written) continue;
    // The first segment: back along the predecessors, stopping at one already
    // visited (a closed chain) or already written.
    int32_t first = int32_t(k);
    visited[k] = ++stamp;
    for (int32_t p; (p = import_state.segs[size_t(first)].prev) && !import_state.segs[size_t(p)].written;) {
      if (visited[size_t(p)] == stamp) {
        if (size_t(p) == k) first = p;  // a closed chain starts where the search began
        break;
      }
      first = p;
      visited[size_t(p)] = stamp;
    }
    const Segment &head = import_state.segs[size_t(first)];
    fprintf(f, "    start(%s,%s)\n", num(head.p1[0]).c_str(), num(head.p1[1]).c_str());
    for (int32_t j = first; j && !import_state.segs[size_t(j)].written; j = import_state.segs[size_t(j)].next) {
      Segment &s = import_state.segs[size_t(j)];
      for (int32_t t : attached[size_t(j)])
        if (import_state.texts[size_t(t)].bc) fprintf(f, "    %s\n", import_state.texts[size_t(t)].text.c_str());
      auto at_start = [&](const Text &t) { return dist(t.p, s.p1) < dist(t.p, s.p2); };
      for (int32_t t : attached[size_t(j)])
        if (import_state.texts[size_t(t)].point && at_start(import_state.texts[size_t(t)]))
          fprintf(f, "    %s\n", import_state.texts[size_t(t)].text.c_str());
      write_segment(f, s);
      for (int32_t t : attached[size_t(j)])
        if (import_state.texts[size_t(t)].point && !at_start(import_state.texts[size_t(t)]))
          fprintf(f, "    %s\n", import_state.texts[size_t(t)].text.c_str());
      s.written = 1;
    }
  }
}

void write_descriptor(FILE *f) {
  // 1. The head: layer-0 texts down to the first TIME, MONITORS, PLOTS or HISTORIES.
  size_t tail = import_state.texts.size();
  for (size_t k = 0; k < import_state.texts.size(); k++) {
    const Text &t = import_state.texts[k];
    if (t.layer != 0 || !plain(t)) continue;
    if (ends_head(t.text)) {
      tail = k;
      break;
    }
    fprintf(f, "%s\n", t.text.c_str());
  }
  // 2, 3. One region per layer (layer 0 only when it holds segments).
  fputs("BOUNDARIES\n", f);
  std::vector<std::vector<int32_t>> attached(import_state.segs.size());
  for (size_t t = 0; t < import_state.texts.size(); t++)
    if (import_state.texts[t].seg) attached[size_t(import_state.texts[t].seg)].push_back(int32_t(t));
  std::vector<uint32_t> visited(import_state.segs.size());
  uint32_t stamp = 0;
  if (import_state.layers.empty() && import_state.layer0 > 0) import_state.layers.push_back("0");
  int region = 0;
  for (size_t L = 0; L < import_state.layers.size(); L++) {
    if (L == 0 && import_state.layer0 == 0) continue;
    std::string name;
    for (char ch : import_state.layers[L]) name += ch == '\'' ? std::string("''") : std::string(1, ch);
    fprintf(f, "  REGION %d %c%s%c\n", ++region, '\'', name.c_str(), '\'');
    if (L > 0)
      for (const Text &t : import_state.texts)
        if (t.layer == int32_t(L) && plain(t)) fprintf(f, "    %s\n", t.text.c_str());
    write_paths(f, int32_t(L), attached, visited, stamp);
  }
  // 4. The rest of layer 0.
  for (size_t k = tail; k < import_state.texts.size(); k++)
    if (import_state.texts[k].layer == 0 && plain(import_state.texts[k]))
      fprintf(f, "%s\n", import_state.texts[k].text.c_str());
}

// path + ext as a String.
void path_with(String *d, const String *path, const char *ext) {
  strings_copyto_0(d, path);
  strings_addto_1(d, ext);
}

}  // namespace

int32_t rddxf_scan_dxf(const String *path) {
  TRACE("rddxf_scan_dxf");
  reset();
  // 1. The drawing, read to its end or to the first error.
  String name = {};
  path_with(&name, path, ".dxf");
  struct stat st;
  bool lower = stat(name.text, &st) == 0;
  path_with(&name, path, ".DXF");
  if (stat(name.text, &st) != 0 && lower) path_with(&name, path, ".dxf");
  if (!filio_open_get(&import_state.in, 32768, &name)) {
    String m = {};
    strings_copyto_1(&m, "Can't open file");
    report_error_message(0, &m, &name);
    strings_free_0(&m);
    strings_free_0(&name);
    reset();
    return 1;
  }
  strings_free_0(&name);
  read_drawing();
  filio_close_get(&import_state.in);
  // 2. Condition texts to segments, open paths joined.
  for (size_t k = 0; k < import_state.texts.size(); k++) {
    const Text &t = import_state.texts[k];
    debug_printf("%d| L%d BC%d PBC%d <%s>\n", int(k + 1), t.layer, t.bc, t.point, t.text.c_str());
  }
  assign_bcs();
  linkup();
  // 3. The descriptor.
  String out = {};
  path_with(&out, path, ".pde");
  FILE *f = fopen(out.text, "w");
  strings_free_0(&out);
  if (!f) {
    reset();
    static String m;
    strings_copyto_1(&m, "Can't Open PDE Output File");
    report_exec_err_1(&m);
  }
  write_descriptor(f);
  fclose(f);
  int32_t result = import_state.failed ? 1 : 0;
  reset();
  return result;
}

int rddxf_init() {
  TRACE("rddxf");
  reset();
  return 0;
}
