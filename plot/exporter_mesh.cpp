// exporter_mesh: the exports written node by node from the cells of each material:
// TECPLOT finite-element files and TRANSFER files that a later run reads back.
#include "plot/exporter_internal.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <exception>
#include <memory>
#include <vector>

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

// The material of a cell: its second id, 1 when it has none.
uint16_t material_of(const MeshCell &c) { return c.region2 ? c.region2 : 1; }

uint16_t material_count(pde *p) {
  const Mesh *mesh = view_of(p).mesh;
  uint16_t m = mesh->domain ? mesh->domain->materials : 0;
  for (int32_t c = 0; c < mesh->cells.count; c++)
    if (mesh->cells.data[c].alive) m = std::max(m, material_of(mesh->cells.data[c]));
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
  const Mesh *mesh = view_of(p).mesh;
  zone z;
  std::vector<int32_t> number(size_t(mesh->nodes.count) + 1, 0);
  int32_t nodes = elements_functions[mesh->meshbasis];
  for (int32_t c = 1; c <= mesh->cells.count; c++) {
    const MeshCell &cell = mesh->cells.data[c - 1];
    if (!cell.alive || material_of(cell) != m) continue;
    z.cells.push_back(c);
    std::vector<int32_t> own;
    int32_t k = std::min<int32_t>(nodes, cell.nodes.count);
    for (int32_t i = 0; i < k; i++) {
      int32_t n = cell.nodes.data[i];
      if (n < 1 || n > mesh->nodes.count) n = 0;
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
  Mesh *mesh;
  plotrec *r;
  LocalCell cell = {};
  evalpoint ep = {};
  int32_t localised = 0;
  nodevalues(pde *q, plotrec *rec) : p(q), mesh(view_of(q).mesh), r(rec) {
    problem_view view = view_of(q);
    ep.values = view.solution;
    ep.t = view.time;
    ep.cell = &cell;
    basisfun_node_coords();
  }
  void at(int32_t c, int32_t local, double *xyz, std::vector<double> &v) {
    const MeshCell &mc = mesh->cells.data[c - 1];
    if (localised != c) meshes_localize(mesh, &mc, &cell, 0), localised = c;
    const LocalPoint *table = basisfun_node_table(mc.basis);
    int dim = elements_dimension[mc.basis];
    LocalPoint L = local >= elements_functions[mc.basis] || !table ? elements_centroid[dim] : table[local];
    std::copy(L.L, L.L + 4, ep.local);
    elements_jacobian(ep.local, &cell.frame);
    if (local < elements_functions[mc.basis] && local < mc.nodes.count) {
      const MeshNode &n = mesh->nodes.data[mc.nodes.data[local] - 1];
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

}  // namespace exporting

// ---- TECPLOT ----------------------------------------------------------------------

void exporter_tecp_export(pde *p, plotrec *r) {
  const problem_view pv = view_of(p);
  TRACE("exporter_tecp_export");
  progress bar(p, "Writing TECPLOT File");
  int count = 0, corners = 0;
  for (int32_t c = 0; c < pv.mesh->cells.count; c++) {
    const MeshCell &cell = pv.mesh->cells.data[c];
    if (cell.alive && !subcells(cell.basis, &count, &corners)) exec_error(p, "Can't Linearize Basis");
  }
  bool three = threed(p);
  bool append = r->outputs > 0 && (r->flags & plot_bit(20));
  print_file_name(p, r, ".dat", r->flags & plot_bit(20), 2);
  stream f(filio_open_stream(text_of(&r->name), append), p, r);
  if (!f) exec_error(p, "Can't Open TECPLOT Output File");
  r->outputs++;
  if (!append) {
    fprintf(f.get(), "TITLE=\"%s\"\n", text_of(pv.title));
    if (pv.unconverged) fprintf(f.get(), "# %s\n", pv.unconverged);
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
    for (int32_t c : z.cells) elements += elements_subcells[pv.mesh->cells.data[c - 1].basis];
    fprintf(f.get(), "ZONE N=%d E=%d ET=%s", int(z.nodes.size()), elements, three ? "TETRAHEDRON " : "TRIANGLE ");
    fprintf(f.get(), "F=FEPOINT T=\"MATERIAL %d ", m);
    if (pv.timedep) fprintf(f.get(), "TIME=%g", pv.time);
    fputs("\"\n", f.get());
    for (auto [c, local] : z.nodes) {
      double xyz[3];
      nv.at(c, local, xyz, v);
      for (int a = 0; a < (three ? 3 : 2); a++) fprintf(f.get(), "%g ", xyz[a]);
      for (double x : v) fprintf(f.get(), "%g ", x);
      fputc('\n', f.get());
    }
    for (size_t k = 0; k < z.cells.size(); k++) {
      const uint8_t *table = subcells(pv.mesh->cells.data[z.cells[k] - 1].basis, &count, &corners);
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
  const problem_view pv = view_of(p);
  TRACE("exporter_transfer_export");
  progress bar(p, "Writing TRANSFER File");
  print_file_name(p, r, ".dat", true, 2);
  stream f(filio_open_stream(text_of(&r->name), false), p, r);
  if (!f) exec_error(p, "Can't Open TRANSFER Output File");
  r->outputs++;
  FILE *o = f.get();
  bool three = threed(p);
  int dims = three ? 3 : 2;
  int32_t basis = pv.mesh->meshbasis;
  exporter_print_header(p, o, r);
  fputs("Quendar v2 Transfer File\n", o);
  // The title is one line of text: its line ends would start tokens the reader parses.
  for (const char *t = text_of(pv.title); *t; t++) fputc(*t == '\n' || *t == '\r' ? ' ' : *t, o);
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
  std::vector<int32_t> within(size_t(pv.mesh->cells.count) + 1, 0);  // a cell's number within its material
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
      const MeshCell &cell = pv.mesh->cells.data[z.cells[k] - 1];
      fprintf(o, " %d", cell.basis);
      for (int32_t n : z.numbers[k]) fprintf(o, " %d", n);
      fputs(" : ", o);
      for (int s = 0; s < dims + 1; s++) {
        int32_t nb = cell.neighbour[s];
        int32_t out = 0;
        if (nb > 0 && nb <= pv.mesh->cells.count) {
          const MeshCell &other = pv.mesh->cells.data[nb - 1];
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
