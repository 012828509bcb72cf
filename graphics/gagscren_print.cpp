// gagscren_print: the back end's printing: PDF documents of views on A4 pages and the
// editor's text printed page by page.
#include "graphics/gagscren.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "graphics/gag.h"
#include "graphics/gagscren_internal.h"
#include "platform/pwin.h"
#include "runtime/debug.h"
#include "runtime/rtlib.h"

// ---- Printing --------------------------------------------------------------------
// Pages are A4 at 300 dots per inch, written as one PDF per document.

std::string caption_of(const viewrec *v, size_t most) {
  std::string c = v && v->window ? pwin->caption(v->window) : "";
  return c.substr(0, most);
}

static void printinit(int orientation) {
  if (!screen_output.print_setup_held) {
    screen_output.print_setup_held = true;
    screen_output.print_landscape = false;
  }
  if (orientation == 1) screen_output.print_landscape = false;
  else if (orientation != 0) screen_output.print_landscape = true;
}

static const pointl portrait_page = {2480, 3508};

static pointl page_size() {
  return screen_output.print_landscape ? pointl{portrait_page.y, portrait_page.x} : portrait_page;
}

// The print dialog: the PDF's name, by default the caption with ".pdf".
static bool print_dialog(const viewrec *v, const std::string &caption) {
  char buf[4096];
  snprintf(buf, sizeof buf, "%s.pdf", caption.c_str());
  if (!pwin->save_file(v ? v->window : 0, "pdf", nullptr, buf, sizeof buf)) {
    debug_printf("PRINT DIALOG CANCELLED\n");
    return false;
  }
  screen_output.print_path = buf;
  return true;
}

static void mark_page(viewrec *v) {
  v->pagesize = page_size();
  v->printing = 1;
}

psurf *gagscren_printstart(viewrec *v, int orientation) {
  TRACE("gagscren_printstart");
  printinit(orientation);
  std::string caption = caption_of(v, 29);
  if (!print_dialog(v, caption)) return nullptr;
  pointl page = page_size();
  psurf *doc = psurf_pdf_new(screen_output.print_path.c_str(), page.x, page.y, caption.c_str());
  if (!doc) {
    debug_printf("PRINT FILE %s CANNOT BE WRITTEN\n", screen_output.print_path.c_str());
    return nullptr;
  }
  mark_page(v);
  if (v->window) pwin->set_enabled(v->window, false);
  screen_output.abort_box = pwin->notice(v->window, "Printing");
  return doc;
}

bool gagscren_printnext(psurf *doc, viewrec *previous, viewrec *v) {
  TRACE("gagscren_printnext");
  // Cancel in the abort box
  if (screen_output.abort_box && pwin->notice_cancelled(screen_output.abort_box)) return false;
  doc->ops->page(doc);
  if (previous && previous->window) pwin->set_enabled(previous->window, true);
  if (v->window) pwin->set_enabled(v->window, false);
  mark_page(v);
  return true;
}

bool gagscren_printfinish(psurf **doc, viewrec *v) {
  TRACE("gagscren_printfinish");
  screen_output.pen_device = nullptr;  // a later surface may take the same address
  bool ok = psurf_pdf_close(doc);
  if (v && v->window) pwin->set_enabled(v->window, true);
  if (screen_output.abort_box) pwin->kill_notice(screen_output.abort_box);
  screen_output.abort_box = 0;
  return ok;
}

void gagscren_printsetup(viewrec *v, int orientation) {
  TRACE("gagscren_printsetup");
  printinit(orientation);
  int answer = pwin->message_box(v ? v->window : 0, "Print in landscape orientation?",
                                 "Print Setup", PWIN_MB_YESNO | PWIN_MB_QUESTION);
  screen_output.print_landscape = answer == PWIN_IDYES;
}

// Editor text: a header line with the caption and the page number, then the body
// lines of the page, tabs expanded, each cut to the characters that fit. The editor
// always prints on a portrait page, whatever a plot's print left in force.
static const int32_t editor_font = 50;  // 12 points at 300 dots per inch

static void editor_metrics(psurf *s, int32_t *per_line, int32_t *line_height, int32_t *body) {
  static const char sample[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ";
  int32_t w, h;
  s->ops->extent(s, sample, 52, editor_font, &w, &h);
  int32_t average = std::max(1, (w + 26) / 52);
  pointl page = portrait_page;
  *per_line = page.x / average;
  *line_height = std::max(1, h);
  *body = std::max(1, page.y / *line_height - 2);
}

int32_t gagscren_edwindowprint(pwin_handle w) {
  TRACE("gagscren_edwindowprint");
  std::vector<std::string> lines;
  std::string all = pwin->edit_get(w), line;
  for (char c : all) {
    if (c == '\n') lines.push_back(line), line.clear();
    else if (c != '\r') line += c;
  }
  if (!line.empty()) lines.push_back(line);
  if (lines.empty()) return 0;
  if (!screen_output.print_setup_held) printinit(0);
  screen_output.print_landscape = false;
  std::string caption = std::string(pwin->caption(w)).substr(0, 29);
  char buf[4096];
  snprintf(buf, sizeof buf, "%s.pdf", caption.c_str());
  if (!pwin->save_file(w, "pdf", nullptr, buf, sizeof buf)) return 0;
  pointl page = page_size();
  psurf *doc = psurf_pdf_new(buf, page.x, page.y, caption.c_str());
  if (!doc) return 0;
  int32_t per_line, height, body;
  editor_metrics(doc, &per_line, &height, &body);
  int32_t pages = int32_t((int64_t(lines.size()) + body - 1) / body);
  pwin->set_enabled(w, false);
  pwin_handle box = pwin->notice(w, "Printing");
  doc->ops->colour(doc, 3, PSURF_COPY);
  int32_t p = 1;
  for (; p <= pages; p++) {
    gagscren_dispatch(0);
    if (pwin->notice_cancelled(box)) break;  // Cancel in the abort box: no document
    if (p > 1) doc->ops->page(doc);
    std::string head = caption + "     Page " + std::to_string(p);
    doc->ops->text(doc, 0, height, head.c_str(), int32_t(head.size()), editor_font, 0, 1, 0);
    for (int32_t k = 0; k < body && size_t((p - 1) * body + k) < lines.size(); k++) {
      std::string out;
      for (char c : lines[size_t((p - 1) * body + k)])
        if (c == '\t') out.append(8 - out.size() % 8, ' ');
        else out += c;
      if (int32_t(out.size()) > per_line) out.resize(size_t(per_line));
      doc->ops->text(doc, 0, (k + 3) * height, out.c_str(), int32_t(out.size()), editor_font, 0, 1,
                     0);
    }
  }
  psurf_pdf_close(&doc);
  pwin->set_enabled(w, true);
  pwin->kill_notice(box);
  if (p <= pages) {
    remove(buf);
    return 0;
  }
  return pages;
}

int32_t gagscren_edbodylines() {
  pointl page = portrait_page;
  psurf *probe = psurf_pdf_new(nullptr, page.x, page.y, "");  // measures, writes nothing
  int32_t per_line, height, body = 0;
  if (probe) editor_metrics(probe, &per_line, &height, &body);
  psurf_pdf_close(&probe);
  return body;
}
