// exporter: the export files of a problem. Grids are sampled through the mesh finder
// and the expressions' compiled trees; meshes are written node by node from the cells
// of each material. Every file is opened and closed within one output, on every way
// out, except the netCDF files, which stay open until the run's exports are closed.
#include "plot/exporter.h"

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

namespace {

const double CDF_MISSING = 1e37;
const double CDF_RANGE = 9.9e36;
const int MOVES_PER_STEP = 10;        // moves of a row wholly outside per grid step
const int32_t DEFAULT_POINTS = 51;    // grid count of an export without POINTS or EXPORTGRID
const int32_t METAFILE_WIDTH = 1024;  // pixels across a metafile

[[noreturn]] void exec_error(pde *p, const char *text, const String *name = nullptr);

// The moves of a tenth of a step that take line j of n, moving toward the middle of the
// box (forward before the middle line, backward from it on), to the far side of the box.
int32_t moves_across(int32_t j, int32_t n) { return MOVES_PER_STEP * (j < n / 2 ? n - 1 - j : j); }

// An export file: closed, with its writes checked, when its writer is done; only
// closed when an error report leaves the writer.
class stream {
 public:
  stream(FILE *f, pde *p, const plotrec *r) : f_(f), p_(p), r_(r) {}
  stream(const stream &) = delete;
  stream &operator=(const stream &) = delete;
  ~stream() noexcept(false) {
    if (!f_) return;
    if (std::uncaught_exceptions() > 0) {
      fclose(f_);
      return;
    }
    exporter_close_file(p_, r_, &f_);
  }
  FILE *get() const { return f_; }
  explicit operator bool() const { return f_ != nullptr; }

 private:
  FILE *f_;
  pde *p_;
  const plotrec *r_;
};

// A value list freed on every way out: a FORMAT error jumps out of the writers.
struct valuelist : vectord {
  explicit valuelist(int32_t n) : vectord{} { vectord_resize(this, n, n); }
  ~valuelist() { vectord_free(this); }
};

// A line on the status panel while a file is written.
struct progress {
  pde *p;
  uint16_t line;
  progress(pde *q, const char *text) : p(q) {
    String s = {};
    strings_copyto_1(&s, text);
    line = display_report(&p->status, 0, &s);
    strings_free_0(&s);
  }
  ~progress() { display_unreport(&p->status, line); }
};

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

const char *coordinate_name(pde *p, int k) {
  if (p->axisname[k].length) return p->axisname[k].text;
  static const char *const names[] = {"X", "Y", "Z", "Time"};
  return names[k];
}

// A header text with its braces as parentheses and "/*" as "/ *".
void put_safe(FILE *f, const String *s) {
  const char *t = text_of(s);
  for (int i = 0; t[i]; i++) {
    char c = t[i] == '{' ? '(' : t[i] == '}' ? ')' : t[i];
    fputc(c, f);
    if (c == '/' && t[i + 1] == '*') fputc(' ', f);
  }
}


// ---- Evaluation -------------------------------------------------------------------

// The value of expression e at a located point (cell and region set).
double eval_expr(pde *p, plotrec *r, int32_t e, evalpoint *ep) {
  if (e >= r->compiled.count) return 0;
  const treevector *t = &r->compiled.data[e];
  if (t->count == 0) return 0;
  int32_t k = std::clamp<int32_t>(ep->region, 1, t->count);
  return treeval_eval(p, t->data[k - 1], ep);
}

// The grid of an export: counts, lower corner and spacing per axis.
struct grid {
  int32_t n[3];
  double lo[3], step[3];
};

grid export_grid(pde *p, plotrec *r, plotdata *d) {
  grid g = {};
  uint16_t dp[3] = {0, 0, 0};
  double box[6] = {0, 0, 0, 0, 0, 0};
  if (d) std::copy(d->points, d->points + 3, dp), std::copy(d->box, d->box + 6, box);
  int32_t nx = r->points[0] ? r->points[0] : dp[0];
  if (nx == 0) nx = DEFAULT_POINTS;
  int32_t ny = r->points[1] ? r->points[1] : dp[1] ? dp[1] : nx;
  int32_t nz = r->points[2] ? r->points[2] : dp[2] ? dp[2] : nx;
  if (box[3] - box[0] == 0 && p->mesh.domain) {
    const rect3d &b = p->mesh.domain->grid.box;
    double db[6] = {b.x1, b.y1, b.z1, b.x2, b.y2, b.z2};
    std::copy(db, db + 6, box);
  }
  if (!threed(p)) nz = 1, box[2] = box[5] = 0;
  int32_t n[3] = {nx, ny, nz};
  for (int a = 0; a < 3; a++) {
    g.n[a] = std::max<int32_t>(n[a], 1);
    g.lo[a] = box[a];
    g.step[a] = g.n[a] > 1 ? (box[a + 3] - box[a]) / (g.n[a] - 1) : 0;
  }
  return g;
}

// The grid of a plot and the located point at which its expressions are evaluated.
struct sampler {
  pde *p;
  plotrec *r;
  plotdata *d;
  grid g;
  LocalCell cell = {};
  evalpoint ep = {};
  std::vector<std::vector<double>> values;
  std::vector<char> found;

  sampler(pde *q, plotrec *rec) : p(q), r(rec), d(data_of(q, rec)), g(export_grid(q, rec, d)) {
    ep.values = &p->solution;
    ep.t = p->time;
    ep.cell = &cell;
    // A cut reaches a grid export only in 2D (3D tables and CDF files of a cut are
    // refused), where its plane has no z term: the normal is (a, b, 0).
    if (d && d->cut) ep.nx = d->plane[0], ep.ny = d->plane[1];
    values.assign(size_t(r->exprs.count), {});
  }
  double coord(int a, int32_t i) const { return g.lo[a] + i * g.step[a]; }

  // Locates the point; its cell number (0 outside).
  int32_t locate(double x, double y, double z, double tol) {
    ep.x = x, ep.y = y, ep.z = z;
    ep.cell = &cell;
    int32_t c = mfinder_find_cell(&ep, &p->mesh, tol);
    if (c < 0) c = -c;
    if (c) ep.cellno = uint32_t(c), ep.region = p->mesh.cells.data[c - 1].region;
    return c;
  }

  // Samples the expressions along axis a (the grid's points) through pos; values[e]
  // and found come back per point. When no point of the line lies in the domain, the
  // coordinate of axis m moves by a tenth of its spacing toward the middle of the box
  // (forward for lines before the middle line, jm < n/2) until it meets the domain, at
  // most across the box; with a second axis m2 (a row of a 3D
  // table, whose layer may lie above a sloping top) the line moves toward the middle
  // along that axis too.
  void line(int a, int m, int32_t jm, double *pos, double tol, double outside, int m2 = -1, int32_t jm2 = 0) {
    int32_t n = g.n[a];
    for (auto &v : values) v.assign(size_t(n), outside);
    found.assign(size_t(n), 0);
    int32_t moves = moves_across(jm, g.n[m]);
    if (m2 >= 0) moves = std::max(moves, moves_across(jm2, g.n[m2]));
    for (int32_t move = 0;; move++) {
      bool any = false;
      // A line that meets no cell of the finder is wholly outside without a search
      // at each of its points: lines outside a concave domain move many times.
      int32_t searched = mfinder_line_may_meet(&p->mesh, a, pos) ? n : 0;
      if (!searched) pos[a] = coord(a, n - 1);
      for (int32_t i = 0; i < searched; i++) {
        pos[a] = coord(a, i);
        if (!locate(pos[0], pos[1], pos[2], tol)) {
          found[i] = 0;
          for (auto &v : values) v[i] = outside;
          continue;
        }
        found[i] = 1, any = true;
        for (int32_t e = 0; e < int32_t(values.size()); e++) values[e][i] = eval_expr(p, r, e, &ep);
      }
      if (any || move >= moves || (g.step[m] == 0 && (m2 < 0 || g.step[m2] == 0))) return;
      pos[m] += (jm < g.n[m] / 2 ? 0.1 : -0.1) * g.step[m];
      if (m2 >= 0) pos[m2] += (jm2 < g.n[m2] / 2 ? 0.1 : -0.1) * g.step[m2];
    }
  }
};

void fill_row(double *v, int32_t n) {
  int32_t first = 0;
  while (first < n && v[first] == EXPORTER_OUTSIDE) first++;
  if (first == n) return;
  for (int32_t i = 0; i < first; i++) v[i] = v[first];
  for (int32_t i = first + 1; i < n; i++)
    if (v[i] == EXPORTER_OUTSIDE) v[i] = v[i - 1];
}

// ---- Mesh exports -----------------------------------------------------------------

// The material of a cell: its second id, 1 when it has none.
uint16_t material_of(const MeshCell &c) { return c.region2 ? c.region2 : 1; }

uint16_t material_count(pde *p) {
  uint16_t m = p->mesh.domain ? p->mesh.domain->materials : 0;
  for (int32_t c = 0; c < p->mesh.cells.count; c++)
    if (p->mesh.cells.data[c].alive) m = std::max(m, material_of(p->mesh.cells.data[c]));
  return m;
}

// The nodes of the live cells of one material, numbered in first use: per zone node
// its cell and local node (0-based; the cell count of the basis stands for the
// centre of a 9-node triangle, which gets a zone node of its own).
struct zone {
  std::vector<int32_t> cells;                      // mesh cell numbers
  std::vector<std::pair<int32_t, int32_t>> nodes;  // per zone node: cell, local node
  std::vector<std::vector<int32_t>> numbers;       // per cell, the zone numbers of its nodes
};

zone build_zone(pde *p, uint16_t m, bool centres) {
  zone z;
  std::vector<int32_t> number(size_t(p->mesh.nodes.count) + 1, 0);
  int32_t nodes = elements_functions[p->mesh.meshbasis];
  for (int32_t c = 1; c <= p->mesh.cells.count; c++) {
    const MeshCell &cell = p->mesh.cells.data[c - 1];
    if (!cell.alive || material_of(cell) != m) continue;
    z.cells.push_back(c);
    std::vector<int32_t> own;
    int32_t k = std::min<int32_t>(nodes, cell.nodes.count);
    for (int32_t i = 0; i < k; i++) {
      int32_t n = cell.nodes.data[i];
      if (n < 1 || n > p->mesh.nodes.count) n = 0;
      if (n && !number[n]) {
        z.nodes.push_back({c, i});
        number[n] = int32_t(z.nodes.size());
      }
      own.push_back(n ? number[n] : 0);
    }
    if (centres && cell.basis == tri9) {
      z.nodes.push_back({c, 9});
      own.push_back(int32_t(z.nodes.size()));
    }
    z.numbers.push_back(std::move(own));
  }
  return z;
}

// The point and expression values of zone node (cell, local node).
struct nodevalues {
  pde *p;
  plotrec *r;
  LocalCell cell = {};
  evalpoint ep = {};
  int32_t localised = 0;
  nodevalues(pde *q, plotrec *rec) : p(q), r(rec) {
    ep.values = &p->solution;
    ep.t = p->time;
    ep.cell = &cell;
    basisfun_node_coords();
  }
  void at(int32_t c, int32_t local, double *xyz, std::vector<double> &v) {
    const MeshCell &mc = p->mesh.cells.data[c - 1];
    if (localised != c) meshes_localize(&p->mesh, &mc, &cell, 0), localised = c;
    const LocalPoint *table = basisfun_node_table(mc.basis);
    int dim = elements_dimension[mc.basis];
    LocalPoint L = local >= elements_functions[mc.basis] || !table ? elements_centroid[dim] : table[local];
    std::copy(L.L, L.L + 4, ep.local);
    elements_jacobian(ep.local, &cell.frame);
    if (local < elements_functions[mc.basis] && local < mc.nodes.count) {
      const MeshNode &n = p->mesh.nodes.data[mc.nodes.data[local] - 1];
      xyz[0] = n.x, xyz[1] = n.y, xyz[2] = n.z;
    } else {
      elements_get_gcoords(xyz, ep.local, &cell.frame);
    }
    ep.x = xyz[0], ep.y = xyz[1], ep.z = xyz[2];
    ep.cell = &cell;
    ep.cellno = uint32_t(c);
    ep.region = mc.region;
    v.resize(size_t(r->exprs.count));
    for (int32_t e = 0; e < r->exprs.count; e++) v[e] = eval_expr(p, r, e, &ep);
  }
};

// A transfer file's variable name: letters, digits and "_" only, starting with a letter.
void put_name(FILE *f, const String *label) {
  const char *t = text_of(label);
  if (!isalpha(static_cast<unsigned char>(t[0]))) fputc('v', f);
  for (int i = 0; t[i]; i++) fputc(isalnum(static_cast<unsigned char>(t[i])) ? t[i] : '_', f);
  fputc('\n', f);
}

// The sub-cell table of a linear-capable basis; null for others.
const uint8_t *subcells(int32_t basis, int *count, int *corners) {
  switch (basis) {
    case tri3: *count = 1, *corners = 3; return &elements_subcells_tri3[0][0];
    case tri6: *count = 4, *corners = 3; return &elements_subcells_tri6[0][0];
    case tri9: *count = 9, *corners = 3; return &elements_subcells_tri9[0][0];
    case tet4: *count = 1, *corners = 4; return &elements_subcells_tet4[0][0];
    case tet10: *count = 8, *corners = 4; return &elements_subcells_tet10[0][0];
    default: return nullptr;
  }
}

// ---- netCDF -----------------------------------------------------------------------

// The record dimension's name: the time variable, "Stage" or "Mode"; null for none.
const char *record_name(pde *p) {
  if (p->timedep) return coordinate_name(p, 3);
  if (p->stages >= 2) return "Stage";
  if (p->modes) return "Mode";
  return nullptr;
}

double record_value(pde *p) {
  if (p->timedep) return p->time;
  if (p->stages >= 2) return p->stage;
  return p->mode;
}

// The netCDF variable of expression e: after the record coordinate and the grid's.
int32_t cdf_var_of(pde *p, int32_t e) { return (record_name(p) ? 1 : 0) + (threed(p) ? 3 : 2) + e + 1; }

// The range attributes take the variable's own type: readers that honour them ignore
// attributes they cannot hold in the variable's type.
void put_range(pde *p, int32_t h, int32_t v, double lo, double hi) {
  if (p->cdfdouble) netcdf_cdf_def_attr_double_1(h, v, "valid_range", lo, hi);
  else netcdf_cdf_def_attr_single_1(h, v, "valid_range", lo, hi);
}

void fix_put(pde *p, int32_t h, double v) {
  if (p->cdfdouble) netcdf_cdf_put_3(h, v);
  else netcdf_cdf_put_single(h, v);
}

void cdf_init(pde *p, plotrec *r, const grid &g) {
  TRACE("cdf_init");
  print_file_name(p, r, ".cdf", true, 2);
  // A file another open export writes (the same FILE given twice) is not opened again.
  for (int32_t k = 0; k < p->plotrecs.count; k++) {
    const plotrec *q = &p->plotrecs.data[k];
    if (q != r && q->exportid && strcmp(text_of(&q->name), text_of(&r->name)) == 0) exec_error(p, "Can't open CDF output file");
  }
  int32_t h = netcdf_cdf_create(text_of(&r->name), 32768);
  if (!h) exec_error(p, "Can't open CDF output file");
  r->exportid = uint16_t(h);
  r->outputs = 0;
  uint32_t type = p->cdfdouble ? CDF_DOUBLE : CDF_FLOAT;
  netcdf_cdf_def_attr_text(h, 0, "title", text_of(&p->title));
  if (p->unconverged) netcdf_cdf_def_attr_text(h, 0, "status", p->unconverged);
  int dims = threed(p) ? 3 : 2;
  vectorn shape = {};
  if (const char *rec = record_name(p)) {
    int32_t id = netcdf_cdf_def_dim(h, rec, 0);
    netcdf_cdf_def_var_1(h, rec, type, uint16_t(id));
    vectorn_one_more(&shape, uint16_t(id));
  }
  for (int a = 0; a < dims; a++) {
    int32_t id = netcdf_cdf_def_dim(h, coordinate_name(p, a), g.n[a]);
    netcdf_cdf_def_var_1(h, coordinate_name(p, a), type, uint16_t(id));
    vectorn_one_more(&shape, uint16_t(id));
  }
  for (int k = 1; k <= 2; k++) vectord_resize(&r->cdf[k], r->exprs.count, std::max<int32_t>(r->exprs.count, r->cdf[k].capacity));
  for (int32_t e = 0; e < r->exprs.count; e++) {
    int32_t v = netcdf_cdf_def_var_0(h, e < r->labels.count ? text_of(&r->labels.items[e]) : "u", type, &shape);
    put_range(p, h, v, -CDF_RANGE, CDF_RANGE);
    if (p->cdfdouble) netcdf_cdf_def_attr_double_0(h, v, "missing_value", CDF_MISSING);
    else netcdf_cdf_def_attr_single_0(h, v, "missing_value", CDF_MISSING);
    r->cdf[1].data[e] = CDF_MISSING;
    r->cdf[2].data[e] = -CDF_MISSING;
  }
  vectorn_free(&shape);
  if (!netcdf_cdf_enddef(h, 0)) exec_error(p, "CDF Initialization Failure");
  for (int a = 0; a < dims; a++)
    for (int32_t i = 0; i < g.n[a]; i++) fix_put(p, h, g.lo[a] + i * g.step[a]);
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
  strings_copyto_1(&m, "Can't Write Export File ");
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

// ---- TABLE ------------------------------------------------------------------------

// The local coordinates of X in a plot cell to full precision (below).
static void full_lcoords(double *L, const double *X, ElementFrame *f);
static void surface_point(double *xyz, const pde *p, const tmesh *t, int32_t c, const double *L, int32_t code,
                          const pointd *pt);

// A table over a cut plane or a surface of a 3D problem: the grid runs over the plot's
// two coordinates (p, q) in its box; each grid point is taken to its point in space
// through the plot mesh, located in the problem's mesh and valued there. A row wholly
// off the plot moves toward the middle, as a row of a plane table does.
static void surface_table(pde *p, plotrec *r, plotdata *d, FILE *f, bool format) {
  if (!pgrid2_validate_plot_mesh(p, d) || d->meshes.count == 0) return;
  sampler s(p, r);
  grid &g = s.g;
  if (!format) {
    pgrid2_fix_labels(p, d);
    for (int a = 0; a < 2; a++) {
      fprintf(f, "\n %s %d\n", text_of(&d->axislabels[a]), g.n[a]);
      std::vector<double> c(size_t(g.n[a]));
      for (int32_t i = 0; i < g.n[a]; i++) c[i] = s.coord(a, i);
      exporter_print_values(f, c.data(), g.n[a]);
    }
  }
  trimesh_build_tfinder_1(&d->meshes);
  int32_t n = g.n[0], exprs = r->exprs.count;
  std::vector<std::vector<double>> rows(size_t(g.n[1]), std::vector<double>(size_t(n * exprs), EXPORTER_OUTSIDE));
  std::vector<std::vector<std::array<double, 5>>> at(size_t(g.n[1]), std::vector<std::array<double, 5>>(size_t(n)));
  std::vector<std::vector<char>> found(size_t(g.n[1]), std::vector<char>(size_t(n), 0));
  for (int32_t j = 0; j < g.n[1]; j++) {
    double q = s.coord(1, j);
    for (int32_t move = 0, moves = moves_across(j, g.n[1]);; move++) {
      bool any = false;
      for (int32_t i = 0; i < n; i++) {
        pointd pt = {s.coord(0, i), q};
        at[j][i] = {pt.x, pt.y, 0, 0, 0};
        int32_t k = trimesh_find_tcell_1(&d->meshes, &pt, 0.01);
        int32_t member = k >> 24, c = k & 0xffffff;
        if (!k || member < 1 || member > d->meshes.count) continue;
        const tmesh *t = &d->meshes.data[member - 1];
        ElementFrame fr = {};
        trimesh_tlocalize_0(&fr, t, c);
        double L[4] = {0, 0, 0, 0}, X[3] = {pt.x, pt.y, 0}, xyz[3];
        full_lcoords(L, X, &fr);
        surface_point(xyz, p, t, c, L, t->ncell == 6 ? tri6 : t->ncell == 9 ? tri9 : tri3, &pt);
        if (!s.locate(xyz[0], xyz[1], xyz[2], 0.01)) continue;
        at[j][i] = {pt.x, pt.y, xyz[0], xyz[1], xyz[2]};
        for (int32_t e = 0; e < exprs; e++) rows[j][size_t(e * n + i)] = eval_expr(p, r, e, &s.ep);
        found[j][i] = 1, any = true;
      }
      if (any || move >= moves || g.step[1] == 0) break;
      q += (j < g.n[1] / 2 ? 0.1 : -0.1) * g.step[1];
    }
    for (int32_t e = 0; e < exprs; e++) fill_row(rows[j].data() + size_t(e) * n, n);
    gagscren_dispatch(0);
  }
  if (!format) {
    for (int32_t e = 0; e < exprs; e++) {
      fputs("\n DATA \n", f);
      for (int32_t j = 0; j < g.n[1]; j++) {
        exporter_print_values(f, rows[j].data() + size_t(e) * n, n);
        fputc('\n', f);
      }
    }
    return;
  }
  valuelist list(exprs);
  for (int32_t j = 0; j < g.n[1]; j++)
    for (int32_t i = 0; i < n; i++) {
      for (int32_t e = 0; e < exprs; e++) list.data[e] = rows[j][size_t(e * n + i)];
      const std::array<double, 5> &a = at[j][i];
      exporter_print_point(f, a.data(), a.data() + 2, 0, p->time, &list, &r->format, &r->formatloc, !found[j][i]);
    }
}

void exporter_table_export(pde *p, plotrec *r, uint16_t mode) {
  TRACE("exporter_table_export");
  progress bar(p, "Writing File");
  bool format = r->flags & plot_bit(19);
  static String m;
  if (r->exprs.count > 1 && !format) {
    strings_copyto_1(&m, "Too Many Table Functions");
    report_parse_err_1(p, r->exprs.data[r->exprs.count - 1], &m);
  }
  stream f(exporter_get_print_file(p, r, mode), p, r);
  exporter_print_header(p, f.get(), r);
  // A table of a cut plane or a surface of a 3D problem lies over the plot's own
  // coordinates.
  if (plotdata *d = data_of(p, r); threed(p) && d && (d->cut || d->surface)) {
    surface_table(p, r, d, f.get(), format);
    return;
  }
  sampler s(p, r);
  grid &g = s.g;
  if (!format) {
    if (s.d) pgrid2_fix_labels(p, s.d);
    for (int a = 0; a < 2; a++) {
      const char *label = s.d && s.d->axislabels[a].length ? s.d->axislabels[a].text : coordinate_name(p, a);
      fprintf(f.get(), "\n %s %d\n", label, g.n[a]);
      std::vector<double> c(size_t(g.n[a]));
      for (int32_t i = 0; i < g.n[a]; i++) c[i] = s.coord(a, i);
      exporter_print_values(f.get(), c.data(), g.n[a]);
    }
  }
  if (threed(p)) {
    if (!format) {
      fprintf(f.get(), "\n %s %d\n", coordinate_name(p, 2), g.n[2]);
      std::vector<double> c(size_t(g.n[2]));
      for (int32_t i = 0; i < g.n[2]; i++) c[i] = s.coord(2, i);
      exporter_print_values(f.get(), c.data(), g.n[2]);
    }
  }
  double t = p->time;
  if (!format) {
    for (int32_t e = 0; e < r->exprs.count; e++) {
      fputs("\n DATA \n", f.get());
      for (int32_t k = 0; k < g.n[2]; k++)
        for (int32_t j = 0; j < g.n[1]; j++) {
          double pos[3] = {0, s.coord(1, j), s.coord(2, k)};
          s.line(0, 1, j, pos, 0.01, EXPORTER_OUTSIDE, threed(p) ? 2 : -1, k);
          fill_row(s.values[e].data(), g.n[0]);
          exporter_print_values(f.get(), s.values[e].data(), g.n[0]);
          fputc('\n', f.get());
          gagscren_dispatch(0);
        }
    }
    return;
  }
  valuelist list(r->exprs.count);
  for (int32_t k = 0; k < g.n[2]; k++)
    for (int32_t j = 0; j < g.n[1]; j++) {
      double pos[3] = {0, s.coord(1, j), s.coord(2, k)};
      s.line(0, 1, j, pos, 0.1, EXPORTER_OUTSIDE, threed(p) ? 2 : -1, k);
      for (auto &v : s.values) fill_row(v.data(), g.n[0]);
      for (int32_t i = 0; i < g.n[0]; i++) {
        double x[3] = {s.coord(0, i), pos[1], pos[2]};
        for (int32_t e = 0; e < r->exprs.count; e++) list.data[e] = s.values[e][i];
        exporter_print_point(f.get(), x, x, 0, t, &list, &r->format, &r->formatloc, !s.found[i]);
      }
      gagscren_dispatch(0);
    }
}

// ---- Print files of drawn plots ------------------------------------------------------

// The point of cell c of plot mesh t at local L in space: on cut planes and surfaces of
// 3D problems the plot mesh's space positions taken through the basis of the cell's
// nodes (code), as its values are, so that a point of a curved cell lies where its value
// belongs, not on the chord triangle of its vertices; in 2D (x, y, 0).
static void surface_point(double *xyz, const pde *p, const tmesh *t, int32_t c, const double *L, int32_t code,
                          const pointd *pt) {
  xyz[0] = pt->x, xyz[1] = pt->y, xyz[2] = 0;
  if (p->dimension < 3 || t->nodes3.count < t->nodes.count || t->nodes3.count == 0) return;
  const int32_t *cn = t->cells.data + (c - 1) * t->ncell;
  double v[20];
  int32_t k = std::min<int32_t>(basisfun_basis_1(v, code, L), t->ncell);
  xyz[0] = xyz[1] = xyz[2] = 0;
  for (int j = 0; j < k; j++) {
    const point3d &q = t->nodes3.data[cn[j] - 1];
    xyz[0] += v[j] * q.x, xyz[1] += v[j] * q.y, xyz[2] += v[j] * q.z;
  }
}

// The local coordinates of X in a plot cell to full precision: the general inverse map
// keeps single precision, which shows in the printed values; one more step in double
// corrects them.
static void full_lcoords(double *L, const double *X, ElementFrame *f) {
  elements_get_lcoords(L, X, f, 0.01);
  double x[3];
  elements_get_gcoords(x, L, f);
  if (f->curved) elements_jacobian(L, f);
  const double r[2] = {X[0] - x[0], X[1] - x[1]};
  for (int c = 0; c < 3; c++) L[c] += f->K[c][0] * r[0] + f->K[c][1] * r[1];
}

void exporter_print_2dplot(pde *p, plotrec *r, const rect3d *box, const vector2d *values, uint16_t mode) {
  TRACE("exporter_print_2dplot");
  (void)mode;
  progress bar(p, "Writing File");
  plotdata *d = data_of(p, r);
  if (!d || d->meshes.count == 0) return;
  stream f(exporter_get_print_file(p, r, 1), p, r);
  exporter_print_header(p, f.get(), r);
  // The grid over the box: PRINT(n, m), else the plot data's resolution.
  int32_t n[2];
  n[0] = r->points[0] ? r->points[0] : d->points[0] ? d->points[0] : DEFAULT_POINTS;
  n[1] = r->points[1] ? r->points[1] : d->points[1] ? d->points[1] : n[0];
  double lo[2] = {box->x1, box->y1}, step[2];
  double hi[2] = {box->x2, box->y2};
  for (int a = 0; a < 2; a++) n[a] = std::max<int32_t>(n[a], 1), step[a] = n[a] > 1 ? (hi[a] - lo[a]) / (n[a] - 1) : 0;
  bool format = r->flags & plot_bit(19);
  if (!format) {
    pgrid2_fix_labels(p, d);
    for (int a = 0; a < 2; a++) {
      fprintf(f.get(), "\n %s %d\n", text_of(&d->axislabels[a]), n[a]);
      std::vector<double> c(static_cast<size_t>(n[a]));
      for (int32_t i = 0; i < n[a]; i++) c[i] = lo[a] + i * step[a];
      exporter_print_values(f.get(), c.data(), n[a]);
    }
    fputs("\n DATA \n", f.get());
  }
  trimesh_build_tfinder_1(&d->meshes);
  std::vector<double> row(static_cast<size_t>(n[0]));
  std::vector<std::array<double, 3>> space(static_cast<size_t>(n[0]));
  std::vector<char> found(static_cast<size_t>(n[0]));
  valuelist one(1);
  for (int32_t j = 0; j < n[1]; j++) {
    double y = lo[1] + j * step[1];
    for (int32_t move = 0, moves = moves_across(j, n[1]);; move++) {
      bool any = false;
      for (int32_t i = 0; i < n[0]; i++) {
        pointd pt = {lo[0] + i * step[0], y};
        row[i] = EXPORTER_OUTSIDE, found[i] = 0;
        space[i] = {pt.x, pt.y, 0};
        int32_t k = trimesh_find_tcell_1(&d->meshes, &pt, 0.01);
        int32_t member = k >> 24, c = k & 0xffffff;
        if (!k || member < 1 || member > d->meshes.count || member > values->count) continue;
        const tmesh *t = &d->meshes.data[member - 1];
        ElementFrame fr = {};
        double cv[20], L[4] = {0, 0, 0, 0}, xyz[3] = {pt.x, pt.y, 0};
        trimesh_tlocalize_1(&fr, t, c, cv, &values->data[member - 1]);
        full_lcoords(L, xyz, &fr);
        int32_t code = t->ncell == 6 ? tri6 : t->ncell == 9 ? tri9 : tri3;
        row[i] = elements_interpu(code, L, &fr, cv);
        surface_point(space[i].data(), p, t, c, L, code, &pt);
        found[i] = 1, any = true;
      }
      if (any || move >= moves || step[1] == 0) break;
      y += (j < n[1] / 2 ? 0.1 : -0.1) * step[1];
    }
    fill_row(row.data(), n[0]);
    if (!format) {
      exporter_print_values(f.get(), row.data(), n[0]);
      fputc('\n', f.get());
    } else {
      for (int32_t i = 0; i < n[0]; i++) {
        double pq[2] = {lo[0] + i * step[0], y};
        one.data[0] = row[i];
        exporter_print_point(f.get(), pq, space[i].data(), 0, p->time, &one, &r->format, &r->formatloc, !found[i]);
      }
    }
    gagscren_dispatch(0);
  }
}

// The nodes of all pieces of a path mesh as one sequence by their distance along the
// path: repeatedly the piece whose next node lies nearest the start gives its nodes up to the end of a run
// or its last node. Returns (piece, node) pairs, 1-based.
std::vector<std::pair<int32_t, int32_t>> merge_lineout(const plotdata *d) {
  TRACE("merge_lineout");
  std::vector<std::pair<int32_t, int32_t>> out;
  int32_t pieces = d->meshes.count;
  std::vector<int32_t> next(size_t(pieces), 1);
  // The distance along the path: a path that runs down its axis has falling x, y or z.
  auto key = [&](int32_t k, int32_t n) { return d->meshes.data[k].nodes.data[n - 1].x; };
  for (;;) {
    int32_t best = -1;
    for (int32_t k = 0; k < pieces; k++)
      if (next[k] <= d->meshes.data[k].nodes.count && (best < 0 || key(k, next[k]) < key(best, next[best]))) best = k;
    if (best < 0) break;
    const tmesh &t = d->meshes.data[best];
    for (int32_t &n = next[best]; n <= t.nodes.count;) {
      out.push_back({best + 1, n});
      bool ends = n <= t.tags.count && t.tags.data[n - 1] == 3;
      n++;
      if (ends) break;
    }
  }
  return out;
}

void exporter_print_lineout(pde *p, plotrec *r, const vector3d *values, const vectord *integrals) {
  TRACE("exporter_print_lineout");
  progress bar(p, "Writing File");
  plotdata *d = data_of(p, r);
  if (!d) return;
  stream f(exporter_get_print_file(p, r, 1), p, r);
  exporter_print_header(p, f.get(), r);
  std::vector<std::pair<int32_t, int32_t>> seq = merge_lineout(d);
  int32_t exprs = std::min<int32_t>(r->exprs.count, values->count);
  auto value = [&](int32_t e, std::pair<int32_t, int32_t> at) {
    const vector2d &v = values->data[e];
    if (at.first > v.count || at.second > v.data[at.first - 1].count) return 0.0;
    return v.data[at.first - 1].data[at.second - 1];
  };
  if (r->flags & plot_bit(19)) {
    valuelist list(exprs);
    for (auto at : seq) {
      const tmesh &t = d->meshes.data[at.first - 1];
      double xyz[3] = {0, 0, 0};
      if (t.nodes3.count >= at.second) {
        const point3d &q = t.nodes3.data[at.second - 1];
        xyz[0] = q.x, xyz[1] = q.y, xyz[2] = q.z;
      }
      for (int32_t e = 0; e < exprs; e++) list.data[e] = value(e, at);
      exporter_print_point(f.get(), xyz, xyz, t.nodes.data[at.second - 1].x, p->time, &list, &r->format, &r->formatloc,
                           false);
    }
    return;
  }
  std::vector<double> keys, v(seq.size());
  for (auto at : seq) {
    keys.push_back(pgrid1_node_spot(d, &d->meshes.data[at.first - 1], at.second));
  }
  fprintf(f.get(), "\n %s  %d\n", text_of(&d->axislabels[0]), int(seq.size()));
  exporter_print_values(f.get(), keys.data(), int32_t(keys.size()));
  for (int32_t e = 0; e < exprs; e++) {
    fprintf(f.get(), "\n DATA { %s }\n", e < r->labels.count ? text_of(&r->labels.items[e]) : "");
    if ((r->flags & plot_bit(4)) && integrals && e < integrals->count)
      fprintf(f.get(), "{ Integral=%14.10e }\n", integrals->data[e]);
    for (size_t i = 0; i < seq.size(); i++) v[i] = value(e, seq[i]);
    exporter_print_values(f.get(), v.data(), int32_t(v.size()));
  }
}

// ---- netCDF -----------------------------------------------------------------------

// An output of a netCDF file left half written by an error (an expression that cannot
// be valued, a file that cannot be written) keeps no file: the one being written is
// abandoned, and any earlier file of its name stays as it was.
struct cdf_output {
  plotrec *r;
  int held = std::uncaught_exceptions();
  explicit cdf_output(plotrec *rec) : r(rec) {}
  cdf_output(const cdf_output &) = delete;
  cdf_output &operator=(const cdf_output &) = delete;
  ~cdf_output() {
    if (std::uncaught_exceptions() > held && r->exportid) netcdf_cdf_abandon(r->exportid), r->exportid = 0;
  }
};

void exporter_cdf_export(pde *p, plotrec *r) {
  TRACE("exporter_cdf_export");
  progress bar(p, "Writing CDF File");
  cdf_output writing(r);
  sampler s(p, r);
  grid &g = s.g;
  bool three = threed(p);
  if (three && s.d && (s.d->cut || s.d->surface)) return;  // refused where the descriptor asked for it
  if (!r->exportid) cdf_init(p, r, g);
  int32_t h = r->exportid;
  r->outputs++;
  bool record = record_name(p) != nullptr;
  if (record) fix_put(p, h, record_value(p));
  // Columns over y (2D) or z (3D), the coordinate beside each moving when it is outside.
  int a = three ? 2 : 1, m = three ? 1 : 0;
  std::vector<std::vector<std::vector<double>>> columns;  // per column, per expression
  for (int32_t i = 0; i < g.n[0]; i++)
    for (int32_t j = 0; j < (three ? g.n[1] : 1); j++) {
      double pos[3] = {s.coord(0, i), three ? s.coord(1, j) : 0, 0};
      s.line(a, m, three ? j : i, pos, 0.1, CDF_MISSING);
      columns.push_back(s.values);
    }
  for (int32_t e = 0; e < r->exprs.count; e++)
    for (auto &col : columns)
      for (double v : col[e]) {
        fix_put(p, h, v);
        if (v != CDF_MISSING) r->cdf[1].data[e] = std::min(r->cdf[1].data[e], v), r->cdf[2].data[e] = std::max(r->cdf[2].data[e], v);
      }
  netcdf_cdf_sync(h);
  netcdf_cdf_redefine(h);
  for (int32_t e = 0; e < r->exprs.count; e++) {
    double lo = r->cdf[1].data[e], hi = r->cdf[2].data[e];
    if (lo > hi) lo = -CDF_RANGE, hi = CDF_RANGE;  // nothing inside yet
    put_range(p, h, cdf_var_of(p, e), lo, hi);
  }
  if (!netcdf_cdf_enddef(h, record ? r->outputs : 0)) exec_error(p, "CDF Header Error");
}

// ---- TECPLOT ----------------------------------------------------------------------

void exporter_tecp_export(pde *p, plotrec *r) {
  TRACE("exporter_tecp_export");
  progress bar(p, "Writing TECPLOT File");
  int count = 0, corners = 0;
  for (int32_t c = 0; c < p->mesh.cells.count; c++) {
    const MeshCell &cell = p->mesh.cells.data[c];
    if (cell.alive && !subcells(cell.basis, &count, &corners)) exec_error(p, "Can't Linearize Basis");
  }
  bool three = threed(p);
  bool append = r->outputs > 0 && (r->flags & plot_bit(20));
  print_file_name(p, r, ".dat", r->flags & plot_bit(20), 2);
  stream f(filio_open_stream(text_of(&r->name), append), p, r);
  if (!f) exec_error(p, "Can't Open TECPLOT Output File");
  r->outputs++;
  if (!append) {
    fprintf(f.get(), "TITLE=\"%s\"\n", text_of(&p->title));
    if (p->unconverged) fprintf(f.get(), "# %s\n", p->unconverged);
    fprintf(f.get(), "VARIABLES=\"%s\"", coordinate_name(p, 0));
    fprintf(f.get(), ",\"%s\"", coordinate_name(p, 1));
    if (three) fprintf(f.get(), ",\"%s\"", coordinate_name(p, 2));
    for (int32_t e = 0; e < r->exprs.count; e++)
      fprintf(f.get(), ",\"%s\"", e < r->labels.count ? text_of(&r->labels.items[e]) : "");
    fputc('\n', f.get());
  }
  nodevalues nv(p, r);
  std::vector<double> v;
  uint16_t materials = material_count(p);
  for (uint16_t m = 1; m <= materials; m++) {
    zone z = build_zone(p, m, true);
    if (z.nodes.empty()) continue;
    int32_t elements = 0;
    for (int32_t c : z.cells) elements += elements_subcells[p->mesh.cells.data[c - 1].basis];
    fprintf(f.get(), "ZONE N=%d E=%d ET=%s", int(z.nodes.size()), elements, three ? "TETRAHEDRON " : "TRIANGLE ");
    fprintf(f.get(), "F=FEPOINT T=\"MATERIAL %d ", m);
    if (p->timedep) fprintf(f.get(), "TIME=%g", p->time);
    fputs("\"\n", f.get());
    for (auto [c, local] : z.nodes) {
      double xyz[3];
      nv.at(c, local, xyz, v);
      for (int a = 0; a < (three ? 3 : 2); a++) fprintf(f.get(), "%g ", xyz[a]);
      for (double x : v) fprintf(f.get(), "%g ", x);
      fputc('\n', f.get());
    }
    for (size_t k = 0; k < z.cells.size(); k++) {
      const uint8_t *table = subcells(p->mesh.cells.data[z.cells[k] - 1].basis, &count, &corners);
      const std::vector<int32_t> &own = z.numbers[k];
      for (int q = 0; q < count; q++) {
        for (int i = 0; i < corners; i++) {
          int32_t local = table[q * corners + i] - 1;
          fprintf(f.get(), " %d", local < int32_t(own.size()) ? own[local] : 0);
        }
        fputc('\n', f.get());
      }
    }
    gagscren_dispatch(0);
  }
}

// ---- TRANSFER ---------------------------------------------------------------------

void exporter_transfer_export(pde *p, plotrec *r) {
  TRACE("exporter_transfer_export");
  progress bar(p, "Writing TRANSFER File");
  print_file_name(p, r, ".dat", true, 2);
  stream f(filio_open_stream(text_of(&r->name), false), p, r);
  if (!f) exec_error(p, "Can't Open TRANSFER Output File");
  r->outputs++;
  FILE *o = f.get();
  bool three = threed(p);
  int dims = three ? 3 : 2;
  int32_t basis = p->mesh.meshbasis;
  exporter_print_header(p, o, r);
  fputs("Quendar v2 Transfer File\n", o);
  // The title is one line of text: its line ends would start tokens the reader parses.
  for (const char *t = text_of(&p->title); *t; t++) fputc(*t == '\n' || *t == '\r' ? ' ' : *t, o);
  fputc('\n', o);
  fprintf(o, " %d DIMENSIONS\n", dims);
  for (int a = 0; a < dims; a++) fprintf(o, "%s\n", coordinate_name(p, a));
  fprintf(o, " %d BASIS\n", basis);
  fprintf(o, " %d DOF\n", elements_functions[basis]);
  fprintf(o, " %d VARIABLES\n", r->exprs.count);
  String none = {};
  for (int32_t e = 0; e < r->exprs.count; e++) put_name(o, e < r->labels.count ? &r->labels.items[e] : &none);
  nodevalues nv(p, r);
  std::vector<double> v;
  std::vector<int32_t> within(size_t(p->mesh.cells.count) + 1, 0);  // a cell's number within its material
  String number = {};
  auto put = [&](double x) {
    strings_formatreal(&number, x, EXPORTER_DIGITS, 1, 0);
    const char *t = number.text ? number.text : "0";
    while (*t == ' ') t++;
    fprintf(o, "%s ", t);
  };
  uint16_t materials = material_count(p);
  for (uint16_t m = 1; m <= materials; m++) {
    zone z = build_zone(p, m, false);
    if (z.cells.empty()) continue;
    for (size_t k = 0; k < z.cells.size(); k++) within[z.cells[k]] = int32_t(k + 1);
    fprintf(o, " %d NODES\n", int(z.nodes.size()));
    for (auto [c, local] : z.nodes) {
      double xyz[3];
      nv.at(c, local, xyz, v);
      for (int a = 0; a < dims; a++) put(xyz[a]);
      for (double x : v) put(x);
      fputc('\n', o);
    }
    fprintf(o, " %d CELLS\n", int(z.cells.size()));
    for (size_t k = 0; k < z.cells.size(); k++) {
      const MeshCell &cell = p->mesh.cells.data[z.cells[k] - 1];
      fprintf(o, " %d", cell.basis);
      for (int32_t n : z.numbers[k]) fprintf(o, " %d", n);
      fputs(" : ", o);
      for (int s = 0; s < dims + 1; s++) {
        int32_t nb = cell.neighbour[s];
        int32_t out = 0;
        if (nb > 0 && nb <= p->mesh.cells.count) {
          const MeshCell &other = p->mesh.cells.data[nb - 1];
          out = material_of(other) == m ? within[nb] : -int32_t(material_of(other));
        }
        fprintf(o, " %d", out);
      }
      fputc('\n', o);
    }
    gagscren_dispatch(0);
  }
  strings_free_0(&number);
  fputs(" 0 NODES\n", o);
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

void exporter_close_exports(pde *p) {
  TRACE("exporter_close_exports");
  if (!p) return;
  // Monitors write netCDF files too.
  for (int32_t k = 0; k < p->plotrecs.count; k++) {
    plotrec *r = &p->plotrecs.data[k];
    if (r->kind != PLOT_CDF || !r->exportid) continue;
    netcdf_cdf_close(r->exportid);
    r->exportid = 0;
  }
}

int exporter_init() {
  TRACE("exporter");
  return 0;
}
