// exporter: the export files of a problem: their names, the heads of print and table
// files, FORMAT lines and metafiles; the writers of each format are exporter_table.cpp,
// exporter_print.cpp, exporter_cdf.cpp and exporter_mesh.cpp. Every file is opened and
// closed within one output, on every way out, except the netCDF files, which stay open
// until the run's exports are closed.
#include "plot/exporter_internal.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <exception>
#include <memory>
#include <vector>

#include "model/pdedat_record.h"
#include "domain/domain.h"
#include "elements/basisfun.h"
#include "elements/cellnode.h"
#include "elements/elements.h"
#include "elements/evalpoint.h"
#include "elements/meshes.h"
#include "elements/mfinder.h"
#include "graphics/display.h"
#include "graphics/gag.h"
#include "graphics/gagscren.h"
#include "model/treeval.h"
#include "plot/netcdf.h"
#include "plot/pgrid1.h"
#include "plot/pgrid2.h"
#include "plot/plot.h"
#include "runtime/filio.h"
#include "runtime/rect3d.h"
#include "runtime/report.h"
#include "runtime/rtlib.h"
#include "runtime/settings.h"
#include "runtime/vector2d.h"
#include "runtime/vector3d.h"
#include "runtime/vectord.h"

using namespace exporting;

namespace exporting {

[[noreturn]] void exec_error(pde *p, const char *text, const String *name) {
  static String m;  // the report jumps away
  strings_copyto_1(&m, text);
  if (name) strings_addto_0(&m, name);
  report_exec_err_0(p, &m);
}

[[noreturn]] void parse_error(pde *p, const TextLoc *loc, const char *text) {
  static String m;
  strings_copyto_1(&m, text);
  report_parse_err_0(p, loc, &m);
}

const char *text_of(const String *s) { return s && s->text ? s->text : ""; }

plotdata *data_of(pde *p, plotrec *r) {
  return r->data >= 1 && r->data <= uint32_t(p->plotdatas.count) ? &p->plotdatas.data[r->data - 1] : nullptr;
}

bool threed(pde *p) { return p->dimension >= 3 || (p->mesh.domain && p->mesh.domain->threed); }

double time_of(const pde *p) { return p->time; }

const char *coordinate_name(pde *p, int k) {
  if (p->axisname[k].length) return p->axisname[k].text;
  static const char *const names[] = {"X", "Y", "Z", "Time"};
  return names[k];
}

}  // namespace exporting

problem_view view_of(pde *p) {
  return {&p->mesh,       &p->solution, &p->status,     &p->plotrecs, p->styles,    &p->title,
          p->unconverged, &p->coords,   &p->coordnames, p->time,      p->dimension, p->stages,
          p->stage,       p->modes,     p->mode,        p->timedep,   p->cdfdouble};
}

namespace {

const int32_t METAFILE_WIDTH = 1024;  // pixels across a metafile

// A header text with its braces as parentheses and "/*" as "/ *".
void put_safe(FILE *f, const String *s) {
  const char *t = text_of(s);
  for (int i = 0; t[i]; i++) {
    char c = t[i] == '{' ? '(' : t[i] == '}' ? ')' : t[i];
    fputc(c, f);
    if (c == '/' && t[i + 1] == '*') fputc(' ', f);
  }
}

}  // namespace

void exporter_print_values(FILE *f, const double *v, int32_t n) {
  for (int32_t i = 0; i < n; i++) {
    strings_print_4(f, v[i], EXPORTER_DIGITS, EXPORTER_WIDTH);
    if ((i + 1) % 5 == 0 || i == n - 1) fputc('\n', f);
  }
}

// ---- File names and common parts --------------------------------------------------

// Whether the entry writes files of this extension.
static bool writes(const plotrec *r, const char *extension) {
  std::string e = extension;
  if (e == ".p") return r->flags & plot_bit(1);
  if (e == ".emf") return r->flags & plot_bit(21);
  if (e == ".tbl") return r->kind == PLOT_TABLE;
  if (e == ".cdf") return r->kind == PLOT_CDF;
  return r->kind == PLOT_TECPLOT || r->kind == PLOT_TRANSFER;
}

// Monitors are numbered in their own list, the PLOTS and HISTORIES entries in theirs: a
// monitor whose file would bear the number of a plot's file of the same kind takes the
// mark "m" before its number, so that no two entries write one file.
static bool monitor_clash(const pde *p, const plotrec *r, const char *extension) {
  if (!(r->flags & plot_bit(6))) return false;
  for (const vectorn *list : {&p->plots, &p->exports})
    for (int32_t k = 0; k < list->count; k++) {
      uint16_t i = list->data[k];
      if (i < 1 || i > p->plotrecs.count) continue;
      const plotrec *q = &p->plotrecs.data[i - 1];
      if (q != r && q->listindex == r->listindex && !(q->flags & plot_bit(3)) && writes(q, extension)) return true;
    }
  return false;
}

void print_file_name(pde *p, plotrec *r, const char *extension, bool single, uint16_t mode) {
  TRACE("print_file_name");
  String *s = &r->name;
  char nn[8];
  bool file = r->flags & plot_bit(3);
  snprintf(nn, sizeof nn, "%s%2d", !file && monitor_clash(p, r, extension) ? "m" : "", r->listindex);
  for (char &c : nn)
    if (c == ' ') c = '0';
  strings_copyto_0(s, &p->directory);
  if (!file) {
    strings_addto_0(s, &p->name);
    strings_addto_1(s, mode == 1 ? extension : "_");
    strings_addto_1(s, nn);
  } else if (strchr(text_of(&r->file), '/') || strchr(text_of(&r->file), settings.separator)) {
    strings_copyto_0(s, &r->file);
  } else {
    strings_addto_0(s, &r->file);
  }
  if (!single) {
    char k[16] = "";
    if (p->modes && p->stages >= 2) snprintf(k, sizeof k, "_%d_%d", p->stage, p->mode);
    else if (p->modes) snprintf(k, sizeof k, "_%d", p->mode);
    else if (p->stages >= 2) snprintf(k, sizeof k, "_%d", p->stage);
    else if (p->timedep) snprintf(k, sizeof k, "_%d", r->outputs);
    strings_addto_1(s, k);
  }
  if (mode == 2 && !file) strings_addto_1(s, extension);
}

// Whether a merged (one-file) print or table adds to its file: after its first write,
// also when each stage reads the descriptor again, so that a later stage's new record
// adds to the file the earlier stages wrote.
static bool merge_appends(const pde *p, const plotrec *r, int32_t earlier) {
  if (!(r->flags & plot_bit(20))) return false;
  return earlier > 0 || (p->stage > 1 && pdedat_stage_regrids(p));
}

FILE *exporter_get_print_file(pde *p, plotrec *r, uint16_t mode) {
  TRACE("exporter_get_print_file");
  r->outputs++;
  bool single = (r->flags & plot_bit(20)) || r->kind == PLOT_HISTORY;
  print_file_name(p, r, mode == 1 ? ".p" : ".tbl", single, mode == 1 ? 1 : 2);
  bool append = merge_appends(p, r, r->outputs - 1);
  FILE *f = filio_open_stream(text_of(&r->name), append);
  if (!f) {
    if (settings.batchlog) fprintf(settings.batchlog, "%s%s\n", "Can't open Export File ", text_of(&r->name));
    exec_error(p, "Can't open Export File ", &r->name);
  }
  return f;
}

void exporter_close_file(pde *p, const plotrec *r, FILE **f) {
  TRACE("exporter_close_file");
  if (!*f) return;
  int err = rtlib_close_stream(*f);
  *f = nullptr;
  if (!err) return;
  static String m;  // the report jumps away
  strings_copyto_1(&m, WRITE_FAILED);
  strings_addto_0(&m, &r->name);
  strings_addto_1(&m, ": ");
  strings_addto_1(&m, rtlib_errno_text_of(err));
  report_exec_err_0(p, &m);
}

void exporter_print_header(pde *p, FILE *f, plotrec *r) {
  TRACE("exporter_print_header");
  fputs("{\n", f);
  put_safe(f, &settings.versiontext);
  fputc('\n', f);
  put_safe(f, &p->header);
  fputc('\n', f);
  fputs("Title: ", f);
  // An entry without a caption of its own (a SUMMARY) is titled by the problem's TITLE.
  bool captioned = false;
  for (int32_t k = 0; k < r->titles.count; k++) captioned = captioned || r->titles.items[k].length > 0;
  if (!captioned) {
    put_safe(f, &p->title);
    fputc('\n', f);
  } else {
    for (int32_t k = 0; k < r->titles.count; k++) {
      put_safe(f, &r->titles.items[k]);
      fputc('\n', f);
    }
  }
  // A staged eigenvalue run heads each mode's block with its stage too, as a staged
  // steady run does, so that two stages' blocks tell apart.
  if (p->modes && p->stages >= 2) fprintf(f, " Stage %d\n", p->stage);
  if (p->modes) fprintf(f, " Mode %2d\n", p->mode);
  else if (p->stages >= 2) fprintf(f, " Stage %d\n", p->stage);
  else if (p->timedep) fprintf(f, " Time %g\n", p->time);
  if (p->unconverged) fprintf(f, "%s\n", p->unconverged);
  fputs("}\n", f);
}

void exporter_print_point(FILE *f, const double *pq, const double *x, double d, double t, const vectord *values,
                          const String *format, const TextLoc *loc, bool outside) {
  TRACE("exporter_print_point");
  const char *s = text_of(format);
  int32_t n = values ? values->count : 0;
  auto value = [&](int32_t k) {
    if (k < 1 || k > n) parse_error(report_current, loc, "Illegal Argument Index");
    fprintf(f, "%g", values->data[k - 1]);
  };
  if (outside) fputs("{ exterior: ", f);
  int32_t start = -1, index = 0;  // the repeat group: where it restarts, its index (0: none)
  for (int32_t i = 0;; i++) {
    char c = s[i];
    if (c == 0 || (c == '#' && (s[i + 1] == 'e' || s[i + 1] == 'E'))) {
      // The end of a repeat group, or of the format, which closes one.
      if (start >= 0 && index >= 1 && index < n) {
        index++;
        i = start - 1;
        continue;
      }
      if (c == 0) break;
      i++;
      continue;
    }
    if (c != '#' || s[i + 1] == 0) {
      fputc(c, f);
      continue;
    }
    char k = s[++i];
    switch (k) {
      case 'x': case 'X': fprintf(f, "%g", x[0]); break;
      case 'y': case 'Y': fprintf(f, "%g", x[1]); break;
      case 'z': case 'Z': fprintf(f, "%g", x[2]); break;
      case 'p': case 'P': fprintf(f, "%g", pq[0]); break;
      case 'q': case 'Q': fprintf(f, "%g", pq[1]); break;
      case 'd': case 'D': fprintf(f, "%g", d); break;
      case 't': case 'T': fprintf(f, "%g", t); break;
      case 'b': case 'B': fputc('\t', f); break;
      case 'n': case 'N': fputc('\n', f); break;
      case ',': fputc(',', f); break;
      case 'r': case 'R': start = i + 1, index = 1; break;
      case 'i': case 'I': value(index); break;
      default:
        if (k >= '1' && k <= '9') {
          value(k - '0');
        } else {
          value(1);
          fputc(k, f);
        }
    }
  }
  if (outside) fputs(" }", f);
  fputc('\n', f);
}

double fillin(vectord *row) {
  fill_row(row->data, row->count);
  for (int32_t i = 0; i < row->count; i++)
    if (row->data[i] != EXPORTER_OUTSIDE) return row->data[i];
  return EXPORTER_OUTSIDE;
}

// ---- Metafiles and closing -----------------------------------------------------------

void exporter_emf_plot(uint16_t view, pde *p, plotrec *r) {
  TRACE("exporter_emf_plot");
  // Each drawing of a time run is an output of its own; a plot that prints has counted
  // this one already, so that its metafile and print file carry the same number.
  if (!(r->flags & plot_bit(1))) r->outputs++;
  print_file_name(p, r, ".emf", false, 2);
  gag_exportwindow(view, &r->name, p->metafile, METAFILE_WIDTH);
}

int exporter_init() {
  TRACE("exporter");
  return 0;
}
