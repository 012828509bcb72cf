// gag: display lists (blocks of 256 entries in relative units), their replay onto
// a surface, and the view stream that carries them in plot files. The stream is
// outside input when read back: every opcode, count and value is taken as hostile.
#include <algorithm>
#include <cstring>
#include <vector>

#include "graphics/gag.h"
#include "graphics/gagmap.h"
#include "graphics/gagscren.h"
#include "runtime/bopmem.h"
#include "runtime/debug.h"
#include "runtime/filio.h"
#include "runtime/rtlib.h"

static const char *const glop_names[] = {
    "glmove",  "gldraw", "glrect",    "glellips",  "glrfill",   "glpydraw", "glpyfill",
    "glflood", "glgetim", "glputim",  "glprint",   "gldot",     "glarcdraw", "glcliporg",
    "glclipwin", "gltxsize", "gltxcent", "gltxang", "gltxfont", "glend"};

enum { MAX_STREAM_POINTS = 65535 };

// ---- Blocks ----------------------------------------------------------------------

static glop *append(viewrec *v, uint32_t opcode) {
  if (!v) rtlib_fatal_in("next_save", "BAD VIEWREC");
  if (!v->displaylist || v->toplist->count == GAG_BLOCK_ENTRIES) {
    glblock *b = nullptr;
    bopmemalloc(&b, 1, sizeof(glblock));
    if (!b) rtlib_fatal_in("next_save", "Out of Memory!");
    XMEM += int64_t(sizeof(glblock));
    if (!v->displaylist) {
      v->displaylist = v->showlist = b;
      v->showindex = 0;
    } else {
      v->toplist->next = b;
    }
    v->toplist = b;
  }
  glop *e = &v->toplist->entries[v->toplist->count++];
  e->opcode = opcode;
  e->colour = v->colour;
  e->backcolour = v->backcolour;
  e->colour2 = v->colour2;
  return e;
}

uint16_t next_save(viewrec *v, uint32_t opcode) {
  append(v, opcode);
  return uint16_t(v->toplist->count - 1);
}

static float *new_values(int n) {
  float *b = nullptr;
  bopmemalloc(&b, n, sizeof(float));
  XMEM += int64_t(n) * int64_t(sizeof(float));
  return b;
}

static void free_values(float **b, int n) {
  if (!*b) return;
  XMEM -= int64_t(n) * int64_t(sizeof(float));
  bopmemfree(b);
}

static int values_of(uint32_t op) {
  return (op == glrect || op == glrfill) ? 4 : (op == glellips || op == glarcdraw) ? 8 : 0;
}

void freelist(viewrec *v) {
  if (!v) return;
  for (glblock *b = v->displaylist; b;) {
    for (uint32_t i = 0; i < b->count; i++) {
      glop *e = &b->entries[i];
      if (int n = values_of(e->opcode)) free_values(&e->block, n);
      else if (e->opcode == glpydraw || e->opcode == glpyfill) points_free_1(&e->list);
      else if (e->opcode == glprint) strings_free_0(&e->text);
    }
    glblock *next = b->next;
    XMEM -= int64_t(sizeof(glblock));
    bopmemfree(&b);
    b = next;
  }
  v->displaylist = v->toplist = v->showlist = nullptr;
  v->showindex = 0;
}

void gag_forget_rec(viewrec *v) {
  if (!v) return;
  freelist(v);
  if (checkview(v->child)) gag_forget_rec(gag_views[v->child - 1]);
  if (checkview(v->sibling)) gag_forget_rec(gag_views[v->sibling - 1]);
}

void gag_forget(uint16_t view) {
  TRACE("gag_forget");
  if (checkview(view)) gag_forget_rec(gag_views[view - 1]);
}

void gag_setreplay(uint8_t on) { gag_replayswitch = on; }

// Recording helpers used by the drawing operations.
void gaglist_pair(viewrec *v, uint32_t op, float a, float b) {
  glop *e = append(v, op);
  e->v[0] = a;
  e->v[1] = b;
}

void gaglist_values(viewrec *v, uint32_t op, const float *values) {
  int n = values_of(op);
  float *b = new_values(n);
  for (int i = 0; i < n; i++) b[i] = values[i];
  append(v, op)->block = b;
}

void gaglist_points(viewrec *v, uint32_t op, const points *p, int32_t n) {
  glop *e = append(v, op);
  e->list = {};
  points_new_1(&e->list, n);
  for (int32_t i = 0; i < n; i++) e->list.data[i] = p[i];
}

void gaglist_text(viewrec *v, const String *text) {
  glop *e = append(v, glprint);
  e->text = {};
  strings_copyto_0(&e->text, text);
}

void gaglist_font(viewrec *v, uint16_t font) { append(v, gltxfont)->colour = uint8_t(font); }

// ---- Replay ----------------------------------------------------------------------

static std::vector<points> replay_points;

static points px(const viewrec *v, float x, float y) { return gagmap_pixel(v, {x, y}); }

static void replay_list(viewrec *v, const glop *e) {
  int32_t n = e->list.count;
  if (n < 1) return;
  if (int32_t(replay_points.size()) < n) replay_points.resize(size_t(n));
  for (int32_t i = 0; i < n; i++) replay_points[size_t(i)] = gagmap_pixel(v, e->list.data[i]);
  if (e->opcode == glpyfill) gagscren_screenpolyfill(v, replay_points.data(), n);
  else gagscren_screenpolyline(v, replay_points.data(), n);
}

static void replay_entry(viewrec *v, const glop *e, rects *clip) {
  const float *b = e->block;
  switch (e->opcode) {
    case glmove: {
      v->lastrel = {e->v[0], e->v[1]};
      points p = px(v, e->v[0], e->v[1]);
      gagscren_screenmoveto(v, &p);
      break;
    }
    case gldraw: {
      points p = px(v, v->lastrel.x, v->lastrel.y), q = px(v, e->v[0], e->v[1]);
      gagscren_screenline(v, &p, &q);
      v->lastrel = {e->v[0], e->v[1]};
      break;
    }
    case glrect:
    case glrfill: {
      points p = px(v, b[0], b[1]), q = px(v, b[2], b[3]);
      if (e->opcode == glrect) gagscren_screenrect(v, &p, &q);
      else gagscren_screenrectfill(v, &p, &q);
      break;
    }
    case glpydraw:
    case glpyfill: replay_list(v, e); break;
    case glflood: {
      points p = px(v, e->v[0], e->v[1]);
      gagscren_screenflood(v, &p);
      break;
    }
    case glprint: gagscren_screenprint(v, &e->text); break;
    case glarcdraw: {
      points p = px(v, b[0], b[1]), q = px(v, b[2], b[3]), s = px(v, b[4], b[5]),
             t = px(v, b[6], b[7]);
      gagscren_screenarc(v, &p, &q, &s, &t);
      break;
    }
    case glcliporg: clip->x1 = e->v[0], clip->y1 = e->v[1]; break;
    case glclipwin:
      clip->x2 = e->v[0], clip->y2 = e->v[1];
      gagmap_clip(v, clip);
      break;
    case gltxsize:
      // A size of 0 would divide by zero: the text state stays as it is.
      if (e->v[0] != 0) {
        gagmap_charpixels(v, e->v[0], e->v[1]);
        v->stale = 1;
      }
      break;
    case gltxcent: v->centre = {e->v[0], e->v[1]}; break;
    case gltxang:
      v->angle = e->v[0];
      v->stale = 1;
      break;
    case gltxfont:
      v->font = e->colour;
      v->stale = 1;
      break;
    case glgetim: rtlib_fatal_in("replay", "GETIMAGE NOT SUPPORTED");
    case glputim: rtlib_fatal_in("replay", "PUTIMAGE NOT SUPPORTED");
    default: break;  // glellips and gldot draw nothing on replay
  }
}

// The second value of a surfaces mark: -1 less the surfaces, which no text aspect is.
static float mark_of(uint8_t surfaces) { return -1.0f - surfaces; }
static bool is_mark(float aspect) {
  return aspect == mark_of(GAG_ALL) || aspect == mark_of(GAG_SCREEN) || aspect == mark_of(GAG_PAGE);
}

// screen: the tree is drawn on its own surface, where the entries for the screen count;
// elsewhere those for pages and metafiles do.
static void replay_tree(viewrec *v, psurf *device, uint8_t printing, uint8_t black, bool screen) {
  psurf *saved = v->device;
  uint8_t surfaces = GAG_ALL;
  v->device = device;
  v->printing = printing;
  if (!v->parent) {
    gagscren_screenfullclip(v);
    gagscren_screenclear(v, v->backcolour);
  }
  v->stale = 1;
  if (v->permanent) {
    gagmap_clip(v, &v->relbox);
    // The first entry always selects its colours: the clear above has left the
    // background colour selected, which an entry of colour 0 must not inherit.
    int32_t last = -1;
    rects clip = v->clipwin;
    for (const glblock *b = v->displaylist; b; b = b->next)
      for (uint32_t i = 0; i < b->count; i++) {
        const glop *e = &b->entries[i];
        if (e->opcode == gltxsize && e->v[0] == 0 && is_mark(e->v[1])) {
          surfaces = uint8_t(-1 - e->v[1]);
          continue;
        }
        if (surfaces == (screen ? GAG_PAGE : GAG_SCREEN)) continue;
        if (e->opcode != gltxfont && e->colour != last) {
          last = e->colour;
          if (black && e->colour != colour_white)
            gagscren_screencolor_1(v, colour_black, e->colour2);
          else
            gagscren_screencolor_1(v, e->colour, e->colour2);
        }
        replay_entry(v, e, &clip);
      }
  }
  for (uint16_t c = v->child; checkview(c); c = gag_views[c - 1]->sibling)
    replay_tree(gag_views[c - 1], device, printing, black, screen);
  gagmap_clip(v, &v->clipwin);
  v->device = saved;
  v->printing = 0;
}

void replay(uint16_t view, psurf *device, uint8_t printing, uint8_t black) {
  TRACE("replay");
  if (!checkview(view)) {
    debug_printf("BAD VIEWPORT\n");
    return;
  }
  viewrec *v = gag_views[view - 1];
  if (device) replay_tree(v, device, printing, black, !printing && device == (v->held ? v->held : v->device));
}

void gag_surfaces(uint16_t view, uint8_t surfaces) {
  if (!checkview(view)) return;
  viewrec *v = gag_views[view - 1];
  if (surfaces == v->surfaces) return;
  // Drawing for pages only is kept off the view's own surface.
  if (surfaces == GAG_PAGE) v->held = v->device, v->device = nullptr;
  else if (v->surfaces == GAG_PAGE) v->device = v->held, v->held = nullptr;
  v->surfaces = surfaces;
  if (v->permanent) gaglist_pair(v, gltxsize, 0, mark_of(surfaces));
}

void gag_replay(uint16_t view) {
  TRACE("gag_replay");
  if (!checkview(view)) {
    debug_printf("BAD VIEWPORT\n");
    return;
  }
  replay(view, gag_views[view - 1]->device, 0, 0);
}

// ---- The view stream ---------------------------------------------------------------

// The first view of a chain that records (the view itself or a later sibling).
static uint16_t recording(uint16_t n) {
  while (checkview(n) && !gag_views[n - 1]->permanent) n = gag_views[n - 1]->sibling;
  return checkview(n) ? n : 0;
}

static void put_head(IOfile *f, uint8_t op, const glop *e) {
  filio_put_byte(f, op);
  filio_put_byte(f, e->colour);
  filio_put_byte(f, e->backcolour);
  filio_put_byte(f, e->colour2);
}

static void put_points(IOfile *f, const glop *e, const points *p, int32_t n, int32_t cap) {
  put_head(f, uint8_t(e->opcode), e);
  filio_put_ushort(f, uint16_t(n));
  filio_put_ushort(f, uint16_t(cap > MAX_STREAM_POINTS ? n : cap));
  filio_put_long(f, 0);
  if (!f->swap) {
    filio_put_block(f, p, n * int32_t(sizeof(points)));
    return;
  }
  for (int32_t i = 0; i < n; i++) {
    filio_put_single(f, p[i].x);
    filio_put_single(f, p[i].y);
  }
}

// A point list whose count fits in 16 bits goes as it is. A longer polyline goes
// as a chain of entries that share their joint points; a longer filled polygon is
// thinned to evenly spaced points, its first and last kept.
static void write_points(IOfile *f, const glop *e) {
  int32_t n = e->list.count;
  const points *p = e->list.data;
  if (n <= MAX_STREAM_POINTS) {
    put_points(f, e, p, n, e->list.capacity);
  } else if (e->opcode == glpydraw) {
    for (int32_t start = 0; start < n - 1;) {
      int32_t end = std::min(start + MAX_STREAM_POINTS - 1, n - 1);
      put_points(f, e, p + start, end - start + 1, end - start + 1);
      start = end;
    }
  } else {
    debug_printf("POLYFILL OF %d POINTS THINNED TO %d\n", n, int(MAX_STREAM_POINTS));
    std::vector<points> thin(MAX_STREAM_POINTS);
    for (int32_t k = 0; k < MAX_STREAM_POINTS; k++)
      thin[size_t(k)] = p[int64_t(k) * (n - 1) / (MAX_STREAM_POINTS - 1)];
    put_points(f, e, thin.data(), MAX_STREAM_POINTS, MAX_STREAM_POINTS);
  }
}

static void write_entry(IOfile *f, const glop *e) {
  switch (e->opcode) {
    case glmove: case gldraw: case gldot: case glflood: case glcliporg: case glclipwin:
    case gltxsize: case gltxcent: case gltxang:
      put_head(f, uint8_t(e->opcode), e);
      filio_put_single(f, e->v[0]);
      filio_put_single(f, e->v[1]);
      break;
    case glrect: case glrfill: case glellips: case glarcdraw:
      put_head(f, uint8_t(e->opcode), e);
      filio_put_long(f, 0);
      filio_put_long(f, 0);
      for (int i = 0; i < values_of(e->opcode); i++) filio_put_single(f, e->block[i]);
      break;
    case glpydraw: case glpyfill: write_points(f, e); break;
    case glgetim: case glputim: case gltxfont:
      put_head(f, uint8_t(e->opcode), e);
      filio_put_long(f, 0);
      filio_put_long(f, 0);
      break;
    case glprint:
      put_head(f, glprint, e);
      filio_put_ushort(f, e->text.length);
      filio_put_ushort(f, e->text.capacity);
      filio_put_long(f, 0);
      filio_put_block(f, e->text.text, e->text.length);
      break;
    default:
      debug_printf("Writing Glop=%s\n", e->opcode < 20 ? glop_names[e->opcode] : "?");
      rtlib_fatal_in("gag_writeview", "GLOP");
  }
}

// Writes the recording views of a chain, each followed by its nested views.
static void write_chain(IOfile *f, uint16_t n) {
  for (n = recording(n); n; n = recording(gag_views[n - 1]->sibling)) {
    const viewrec *v = gag_views[n - 1];
    for (const glblock *b = v->displaylist; b; b = b->next)
      for (uint32_t i = 0; i < b->count; i++) write_entry(f, &b->entries[i]);
    uint16_t child = recording(v->child), sibling = recording(v->sibling);
    filio_put_byte(f, glend);
    filio_put_block(f, "END", 3);
    filio_put_ushort(f, child);
    filio_put_ushort(f, sibling);
    filio_put_long(f, 0);
    if (child) write_chain(f, child);
  }
}

void gag_writeview(IOfile *f, uint16_t view) {
  TRACE("gag_writeview");
  if (checkview(view) && gag_views[view - 1]->permanent) write_chain(f, view);
}

static void stream_error(viewrec *v, const char *text) {
  String m = {uint16_t(strlen(text)), 0, const_cast<char *>(text)};
  String t = {5, 0, const_cast<char *>("ERROR")};
  gag_showmessage(v->number, &m, &t);
}

static void read_operands(IOfile *f, glop *e) {
  switch (e->opcode) {
    case glrect: case glrfill: case glellips: case glarcdraw: {
      filio_get_long(f);
      filio_get_long(f);
      int n = values_of(e->opcode);
      e->block = new_values(n);
      for (int i = 0; i < n; i++) e->block[i] = float(filio_get_single(f));
      break;
    }
    case glpydraw: case glpyfill: {
      uint16_t n = filio_get_ushort(f);
      filio_get_ushort(f);
      filio_get_long(f);
      // The points the file holds; a list cut short by its end keeps the
      // points that were read whole.
      std::vector<points> read(n);
      int32_t got = filio_get_block(f, read.data(), n * int32_t(sizeof(points)));
      e->list = {};
      points_new_1(&e->list, got / int32_t(sizeof(points)));
      if (e->list.count > 0)
        memcpy(e->list.data, read.data(), size_t(e->list.count) * sizeof(points));
      if (f->swap)
        for (int32_t i = 0; i < e->list.count; i++) {
          filio_byte_reverse(&e->list.data[i].x, 4);
          filio_byte_reverse(&e->list.data[i].y, 4);
        }
      break;
    }
    case glprint: {
      uint16_t n = filio_get_ushort(f);
      filio_get_ushort(f);
      filio_get_long(f);
      // Sized by what the file holds: a text cut short by the end of the file
      // is stored as it was read.
      std::vector<char> bytes(n);
      int32_t got = filio_get_block(f, bytes.data(), n);
      e->text = {};
      strings_new_0(&e->text, uint16_t(got), uint16_t(got));
      if (got > 0) memcpy(e->text.text, bytes.data(), size_t(got));
      break;
    }
    default:
      e->v[0] = float(filio_get_single(f));
      e->v[1] = float(filio_get_single(f));
  }
}

static bool is_entry(uint8_t op) { return op <= glflood || (op >= glprint && op <= gltxfont); }

// Reads one view's entries and end mark, then its nested views; false when the
// stream stops fitting.
static bool read_chain(IOfile *f, uint16_t n) {
  for (;;) {
    viewrec *v = gag_views[n - 1];
    freelist(v);
    uint8_t op;
    while (is_entry(op = filio_get_byte(f))) {
      glop *e = append(v, op);
      e->colour = filio_get_byte(f);
      e->backcolour = filio_get_byte(f);
      e->colour2 = filio_get_byte(f);
      read_operands(f, e);
    }
    uint8_t m[3] = {filio_get_byte(f), filio_get_byte(f), filio_get_byte(f)};
    if (op != glend || m[0] != 'E' || m[1] != 'N' || m[2] != 'D') {
      debug_printf("Unreadable Plot File:  %x %x %x Should be END\n", m[0], m[1], m[2]);
      stream_error(v, "Unreadable Plot File");
      return false;
    }
    uint16_t child = filio_get_ushort(f), sibling = filio_get_ushort(f);
    filio_get_long(f);
    if (child) {
      uint16_t c = recording(v->child);
      if (!c) {
        stream_error(v, "Plot File Child Window Error");
        return false;
      }
      if (!read_chain(f, c)) return false;
    }
    if (!sibling) return true;
    uint16_t s = recording(gag_views[n - 1]->sibling);
    if (!s) {
      stream_error(gag_views[n - 1], "Plot File Sibling Error");
      return false;
    }
    n = s;
  }
}

bool gag_readview(IOfile *f, uint16_t view) {
  TRACE("gag_readview");
  if (!checkview(view)) {
    debug_printf("BAD VIEWPORT\n");
    return false;
  }
  return read_chain(f, view);
}
