// gag, printing and export: a window's picture is replayed onto a page or a
// metafile after giving the window a pixel rectangle on that device; the window's
// own rectangle, surface size and pens are put back afterwards.
#include "graphics/gag.h"
#include "graphics/gagmap.h"
#include "graphics/gagscren.h"
#include "runtime/debug.h"
#include "runtime/rtlib.h"

// The document being printed and the view printed last link the pages.
static psurf *document;
static uint16_t last_printed;

namespace {

// The window's picture state while it is drawn elsewhere.
struct Saved {
  viewrec *v;
  pointl client;
  rectl pixwin;
  float factor;
  int32_t size;
  explicit Saved(viewrec *view) : v(view), client(view->client), pixwin(view->pixwin) {
    gagscren_pens(&factor, &size);
  }
  void restore() {
    v->client = client;
    v->pixwin = pixwin;
    gag_remap(v);
    gagscren_create_pens(factor, size);
  }
};

}  // namespace

// The surface fitted into the page against its left and bottom edges, with a 2 %
// margin inside the used area.
rectl gagmap_printfit(pointl page, pointl surface, int32_t *used_width) {
  int32_t pw = page.x, ph = page.y;
  float sw = float(surface.x > 0 ? surface.x : 1), sh = float(surface.y > 0 ? surface.y : 1);
  float rx = float(pw) / sw, ry = float(ph) / sh;
  int32_t uw = pw, uh = ph;
  if (rx <= ry) uh = int32_t(sh * rx);
  else uw = int32_t(sw * ry);
  *used_width = uw;
  return {int32_t(uw * 0.02), int32_t(ph - uh * 0.02), int32_t(uw * 0.98), int32_t(ph - uh * 0.98)};
}

namespace {

viewrec *printed_last() { return checkview(last_printed) ? gag_views[last_printed - 1] : nullptr; }

}  // namespace

void gag_printwindow_2(uint16_t view, int option, uint8_t black, uint8_t start, uint8_t finish) {
  TRACE("gag_printwindow_2");
  if (!checkview(view)) {
    if (finish && document) gagscren_printfinish(&document, printed_last());
    return;
  }
  viewrec *v = gag_views[view - 1];
  if (start) {
    // A document left open by a caller that never finished it is ended first.
    if (document) gagscren_printfinish(&document, printed_last());
    document = gagscren_printstart(v, option);
    if (!document) return;
  } else if (!document || !gagscren_printnext(document, printed_last(), v)) {
    return;
  }
  gagscren_dispatch(0);
  gagscren_dispatch(0);
  if (!checkview(view)) return;  // closed while the messages ran: the page stays empty
  v = gag_views[view - 1];

  Saved saved(v);
  int32_t uw;
  v->pixwin = gagmap_printfit(v->pagesize, v->client, &uw);
  v->client = v->pagesize;
  gag_remap(v);
  gagscren_create_pens(0.001f, uw);

  last_printed = view;
  replay(view, document, 1, black);
  if (finish) gagscren_printfinish(&document, v);
  saved.restore();
}

void gag_printwindow_1(uint16_t view, uint8_t start, uint8_t finish) {
  gag_printwindow_2(view, 0, 0, start, finish);
}

void gag_printwindow_0(uint16_t view) { gag_printwindow_2(view, 0, 0, 1, 1); }

void gag_printsetup_1(uint16_t view, int option) {
  TRACE("gag_printsetup_1");
  gagscren_printsetup(checkview(view) ? gag_views[view - 1] : nullptr, option);
}

void gag_printsetup_0(uint16_t view) { gag_printsetup_1(view, 0); }

void gag_exportwindow(uint16_t view, const String *name, int kind, int32_t width) {
  TRACE("gag_exportwindow");
  if (!checkview(view)) {
    debug_printf("BAD VIEWPORT\n");
    return;
  }
  viewrec *v = gag_views[view - 1];
  Saved saved(v);
  // The surface scaled to the width; the metafile is made at that size.
  float k = float(width) / float(v->client.x > 0 ? v->client.x : 1);
  auto scaled = [k](int32_t x) { return gagmap_int(double(float(x) * k)); };
  v->pixwin = {scaled(v->pixwin.x1), scaled(v->pixwin.y1), scaled(v->pixwin.x2),
               scaled(v->pixwin.y2)};
  v->client = {scaled(v->client.x), scaled(v->client.y)};
  psurf *meta = gagscren_exportstart(v, name, kind);
  if (!meta) {
    v->client = saved.client;
    v->pixwin = saved.pixwin;
    return;
  }
  gag_remap(v);
  gagscren_create_pens(0.00048828125f, width);
  replay(view, meta, 0, 0);
  if (!gagscren_exportfinish(v, &meta)) debug_printf("METAFILE NOT WRITTEN\n");
  saved.restore();
}
