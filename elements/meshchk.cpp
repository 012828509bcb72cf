// meshes, checks and reports: the mesh invariant checks with their interactive reports,
// and the grid report of every node, cell and boundary node list.
#include <algorithm>
#include <cmath>
#include <vector>

#include "elements/meshes.h"
#include "runtime/debug.h"
#include "runtime/report.h"
#include "runtime/rtlib.h"
#include "runtime/vectorbase.h"

static bool node_ok(const Mesh *m, int32_t n) { return n >= 1 && n <= m->nodes.count; }
static bool cell_ok(const Mesh *m, int32_t c) { return c >= 1 && c <= m->cells.count; }
static const MeshNode &node_at(const Mesh *m, int32_t n) { return m->nodes.data[n - 1]; }
static MeshCell &cell_at(Mesh *m, int32_t c) { return m->cells.data[c - 1]; }
// Node i (0-based) of a cell, 0 beyond its list.
static int32_t node_of(const MeshCell &cell, int i) { return i < cell.nodes.count ? cell.nodes.data[i] : 0; }
static int dimension(int32_t basis) { return basis >= 0 && basis < ELEMENTS_CODES ? elements_dimension[basis] : 0; }
static int functions(int32_t basis) { return basis >= 0 && basis < ELEMENTS_CODES ? elements_functions[basis] : 0; }
static int vertices(int32_t basis) { return basis >= 0 && basis < ELEMENTS_CODES ? elements_vertices[basis] : 0; }
static const char *name_of(int32_t basis) { return elements_names[std::clamp(basis, 0, ELEMENTS_CODES - 1)]; }

// True when the first n node numbers of the cell all lie in the node table.
static bool nodes_valid(const Mesh *m, const MeshCell &cell, int n) {
  for (int i = 0; i < n; i++)
    if (!node_ok(m, node_of(cell, i))) return false;
  return true;
}

// ---- The grid report ------------------------------------------------------------

// A number as the formatter shows it, in the printf field.
static void put_number(FILE *f, const char *field, double x) {
  String s{};
  strings_fmt(&s, x);
  fprintf(f, field, s.text ? s.text : "");
  strings_free_0(&s);
}

void meshes_print_node(FILE *f, Mesh *m, int32_t n) {
  TRACE("meshes_print_node_0");
  static const char kinds[] = "ijefxp";
  const MeshNode &node = node_at(m, n);
  int dim = dimension(m->meshbasis);
  fprintf(f, node.alive ? "%6d |" : "%6d*|", n);
  put_number(f, " %10s ", node.x);
  if (dim > 1) put_number(f, "%10s ", node.y);
  if (dim > 2) put_number(f, "%10s ", node.z);
  fprintf(f, "| %c%3d ", node.kind >= 0 && node.kind <= 5 ? kinds[node.kind] : '?', node.id);
  fprintf(f, "| (%2d)", node.nodecell.count);
  for (int32_t k = 0; k < node.nodecell.count; k++) fprintf(f, "%6d", node.nodecell.data[k]);
  fputc('\n', f);
}

static void rule(FILE *f, int n) {
  for (int i = 0; i < n; i++) fputc('-', f);
  fputc('\n', f);
}

void meshes_print_0(FILE *f, Mesh *m, celltable *cells) {
  TRACE("meshes_print_0");
  int k = functions(m->meshbasis), v = vertices(m->meshbasis);
  fprintf(f, "\n\n %d %s CELLS\n\n", cells->count, name_of(m->meshbasis));
  fputs(" cell  |    nodes    ", f);
  for (int i = 2; i < k; i++) fputs("      ", f);
  fputs("| rg mt |   bdy    ", f);
  for (int i = 3; i < v; i++) fputs("   ", f);
  fputs("| g  |    neighbors     ", f);
  for (int i = 3; i < v; i++) fputs("      ", f);
  fputs(" | area\n", f);
  int width = 21 + 6 * (k - 2) + 17 + 22 + (v >= 4 ? 9 * (v - 3) : 0);
  rule(f, width + 12);
  for (int32_t c = 1; c <= cells->count; c++) {
    const MeshCell &cell = cells->data[c - 1];
    fprintf(f, cell.alive ? "%6d |" : "%6d*|", c);
    for (int i = 0; i < k; i++) fprintf(f, "%6d", node_of(cell, i));
    fprintf(f, " | %2d %2d |", cell.region, cell.region2);
    for (int s = 0; s < v; s++) fprintf(f, "%3d", cell.bdid[s]);
    fprintf(f, " | g%1d |", cell.basis >= 0 && cell.basis < ELEMENTS_CODES ? elements_order[cell.basis] : 0);
    for (int s = 0; s < v; s++) fprintf(f, "%6d", cell.neighbour[s]);
    // A cell whose nodes are not all in the table (a dead cell's cleared nodes, or the
    // corruption a check reports) shows area 0 instead of reading outside the table.
    bool valid = nodes_valid(m, cell, std::max(k, functions(cell.basis)));
    put_number(f, " | %10s", valid ? meshes_cell_area_0(m, &cell) : 0.0);
    fputc('\n', f);
  }
  rule(f, width + 12);
  fputs("\n\n", f);
}

// The boundary-condition tags of a domain's joint, edge and face records; 0 outside.
static uint16_t joint_tag(const Domain *d, int32_t j) {
  return j >= 1 && j <= d->joints.count ? d->joints.data[j - 1].bctag : 0;
}
static uint16_t edge_tag(const Domain *d, int32_t e) {
  return e >= 1 && e <= d->edges.count ? d->edges.data[e - 1].bctag : 0;
}
static uint16_t face_tag(const Domain *d, int32_t fc) {
  return fc >= 1 && fc <= d->faces.count ? d->faces.data[fc - 1].bctag : 0;
}

// One boundary list: its heading, then per entry position, node, coordinates, kind,
// id and tag (tag(node) gives the tag).
template <class Tag>
static void print_list(FILE *f, Mesh *m, const vectorl &l, Tag tag) {
  static const char *names[] = {"Body", "Joint", "Edge", "Face"};
  int dim = dimension(m->meshbasis);
  for (int32_t i = 1; i <= l.count; i++) {
    int32_t n = l.data[i - 1];
    fprintf(f, "%6d | %6d | ", i, n);
    if (!node_ok(m, n)) {
      fputc('\n', f);
      continue;
    }
    const MeshNode &node = node_at(m, n);
    put_number(f, "%10s ", node.x);
    if (dim > 1) put_number(f, "%10s ", node.y);
    if (dim > 2) put_number(f, "%10s ", node.z);
    fprintf(f, " | %6s%3d | BCTAG%3d\n", node.kind >= 0 && node.kind <= 3 ? names[node.kind] : "", node.id,
            tag(node));
  }
}

void meshes_print_1(FILE *f, Mesh *m, const String *title) {
  TRACE("meshes_print_1");
  if (!f) return;
  int dim = dimension(m->meshbasis);
  // 1-4. The heading and the node table.
  fprintf(f, " %s  GRID REPORT   %s (%s)\n\n %d NODES\n\n", title && title->text ? title->text : "",
          name_of(m->meshbasis), name_of(m->cellbasis), m->nodes.count);
  fputs(" node  |", f);
  for (int i = 0; i < dim; i++) fputs("           ", f);
  fputs(" | bdry | ( #)  cells\n", f);
  rule(f, 57 + 9 + 11 * dim);
  for (int32_t n = 1; n <= m->nodes.count; n++) meshes_print_node(f, m, n);
  rule(f, 80);
  // 5. The cell table.
  meshes_print_0(f, m, &m->cells);
  // 6. The domain and its boundary node lists.
  if (const Domain *d = m->domain) {
    meshes_domain_calls.print(f, d);
    for (int32_t e = 1; e <= m->edgenodes.count; e++) {
      const vectorl &l = m->edgenodes.data[e - 1];
      fprintf(f, "\nEdge %d, %d Boundary Nodes\n", e, l.count);
      print_list(f, m, l, [d, e](const MeshNode &n) { return n.kind == 1 ? joint_tag(d, n.id) : edge_tag(d, e); });
    }
    for (int32_t fc = 1; fc <= m->facenodes.count; fc++) {
      const vectorl &l = m->facenodes.data[fc - 1];
      fprintf(f, "\nFace %d, %d Nodes\n", fc, l.count);
      print_list(f, m, l, [d](const MeshNode &n) {
        return n.kind == 1 ? joint_tag(d, n.id) : n.kind == 2 ? edge_tag(d, n.id) : n.kind == 3 ? face_tag(d, n.id) : 0;
      });
    }
  }
  // 7.
  fflush(f);
}

// ---- Checks -----------------------------------------------------------------------

// 1 while a check may still report; the first report the user lets pass clears it.
static uint8_t reporting;

// The place of a node, (0, 0, 0) for a number outside the table.
struct Place {
  double x, y, z;
};
static Place place_of(const Mesh *m, int32_t n) {
  if (!node_ok(m, n)) return {0, 0, 0};
  const MeshNode &node = node_at(m, n);
  return {node.x, node.y, node.z};
}
// The first corner of c whose number is in the table.
static Place first_corner(const Mesh *m, const MeshCell &cell) {
  for (int i = 0; i < std::min(3, int(cell.nodes.count)); i++)
    if (node_ok(m, cell.nodes.data[i])) return place_of(m, cell.nodes.data[i]);
  return {0, 0, 0};
}

// One report: the debug line, the grid report under the title, the line again and the
// tail (if any), flushed; then the question, whose "no" is the fatal stop with the
// message from where.
static void report(Mesh *m, const char *where, const char *title, const char *line, const char *tail,
                   const char *message) {
  if (debug_open) {
    String t{};
    strings_copyto_1(&t, title);
    debug_printf("%s", line);
    meshes_print_1(debug_file, m, &t);
    debug_printf("%s%s", line, tail ? tail : "");
    strings_free_0(&t);
    fflush(debug_file);
  }
  String question{}, caption{};
  strings_copyto_1(&question, message);
  strings_addto_1(&question, " Continue?");
  strings_copyto_1(&caption, "ERROR");
  uint8_t yes = report_yesno_message(m->debugview, &question, &caption);
  strings_free_0(&question);
  strings_free_0(&caption);
  if (!yes) rtlib_fatal_in(where, message);
  reporting = 0;
}

// A message at a place, in two or three coordinates by the domain.
static void at_place(char *out, size_t n, const Mesh *m, const char *head, const char *tail, Place p) {
  if (m->domain && m->domain->threed)
    snprintf(out, n, "%s(%g,%g,%g)%s", head, p.x, p.y, p.z, tail);
  else
    snprintf(out, n, "%s(%g,%g)%s", head, p.x, p.y, tail);
}

static void tangled(Mesh *m, const char *where, const char *title, const char *line, Place p) {
  char message[128];
  at_place(message, sizeof message, m, "Mesh is tangled near ", "!\n", p);
  report(m, where, title, line, nullptr, message);
}

static void trapnabor(Mesh *m, int32_t c, int32_t n) {
  TRACE("trapnabor_0");
  if (!reporting) return;
  MeshCell &cell = cell_at(m, c);
  Place p = first_corner(m, cell);
  if (n < 1) {
    for (int s = 0; s < 3; s++)
      if (cell.neighbour[s] == n) {
        p = place_of(m, node_of(cell, s));
        break;
      }
  } else if (cell_ok(m, n)) {
    const MeshCell &o = cell_at(m, n);
    bool found = false;
    for (int i = 0; i < 3 && !found; i++)
      for (int j = 0; j < 3 && !found; j++)
        if (node_of(cell, i) == node_of(o, j) && node_ok(m, node_of(cell, i)))
          p = place_of(m, node_of(cell, i)), found = true;
  }
  char line[96];
  snprintf(line, sizeof line, "EEK! CELL %d NABOR %d NONRECIPROCAL!\n", c, n);
  tangled(m, "trapnabor_0", "BAD NABOR", line, p);
}

static void trapnodix(Mesh *m, int32_t c, int i) {
  TRACE("trapnodix_0");
  if (!reporting) return;
  const MeshCell &cell = cell_at(m, c);
  int32_t n = node_of(cell, i - 1);
  char line[96];
  snprintf(line, sizeof line, "EEK! CELL %d NODIX %d NONRECIPROCAL!\n", c, i);
  tangled(m, "trapnodix_0", "BAD NODIX", line, node_ok(m, n) ? place_of(m, n) : first_corner(m, cell));
}

static void trapnodecell(Mesh *m, int32_t n, int32_t c) {
  TRACE("trapnodecell_0");
  if (!reporting) return;
  char line[96];
  snprintf(line, sizeof line, "EEK! NODE %d CELL %d NONRECIPROCAL!\n", n, c);
  tangled(m, "trapnodecell_0", "BAD NODECELL", line, place_of(m, n));
}

static void traparea(Mesh *m, int32_t c) {
  TRACE("traparea_0");
  if (!reporting) return;
  const MeshCell &cell = cell_at(m, c);
  char line[64], corners[160], message[64];
  snprintf(line, sizeof line, "EEK! CELL %d IS INVERTED!\n", c);
  Place p[3] = {place_of(m, node_of(cell, 0)), place_of(m, node_of(cell, 1)), place_of(m, node_of(cell, 2))};
  snprintf(corners, sizeof corners, "(%g,%g) (%g,%g) (%g,%g)\n", p[0].x, p[0].y, p[1].x, p[1].y, p[2].x, p[2].y);
  snprintf(message, sizeof message, "EEK! CELL %d IS INVERTED!", c);
  report(m, "traparea_0", "BAD AREA", line, corners, message);
}

static void trapbdid(Mesh *m, int32_t c, int s) {
  TRACE("trapbdid_0");
  if (!reporting) return;
  MeshCell &cell = cell_at(m, c);
  Place p = first_corner(m, cell);
  if (nodes_valid(m, cell, functions(cell.basis))) {
    meshes_set_centroid_0(m, &cell);
    p = {cell.centroid[0], cell.centroid[1], cell.centroid[2]};
  }
  char line[96], message[128];
  snprintf(line, sizeof line, "EEK! CELL %d SIDE %d INCONSISTENT BDID=%d!\n", c, s, cell.bdid[s - 1]);
  at_place(message, sizeof message, m, "Inconsistent BDID at ", "!\nTerminating.", p);
  report(m, "trapbdid_0", "BAD BDID", line, nullptr, message);
}

// The pairs (i, j), i and j below k, with node i of a the node j of b, from the first k
// node numbers of each cell (a missing node reads 0). K fixes k at compile time for the
// common cells, whose loops then unroll.
template <int K> static int shared_pairs(const int32_t *x, const int32_t *y, int k) {
  if (K) k = K;
  int equal = 0;
  for (int i = 0; i < k; i++)
    for (int j = 0; j < k; j++) equal += x[i] == y[j];
  return equal;
}

// Step 1 for side s of cell c with neighbour n: n must list c back (negated across a
// periodic side), and an ordinary neighbour must share a side's worth of nodes. first
// holds the first k node numbers of every cell.
static void check_nabor(Mesh *m, int32_t c, int32_t n, int v, int k, int p, bool shared,
                        const std::vector<int32_t> &first) {
  if (!cell_ok(m, std::abs(n))) {
    trapnabor(m, c, n);
    return;
  }
  const MeshCell &o = cell_at(m, std::abs(n));
  int32_t back = n > 0 ? c : -c;
  bool listed = false;
  for (int s = 0; s < v; s++) {
    if (o.neighbour[s] != back) continue;
    listed = true;
    if (n < 0 || !shared) continue;
    // k is a code's function count, at most 20.
    const int32_t *x = &first[size_t(c - 1) * size_t(k)], *y = &first[size_t(std::abs(n) - 1) * size_t(k)];
    int equal = k == 10  ? shared_pairs<10>(x, y, k)
                : k == 4 ? shared_pairs<4>(x, y, k)
                : k == 3 ? shared_pairs<3>(x, y, k)
                         : shared_pairs<0>(x, y, k);
    if (equal != p) trapnabor(m, c, n);
  }
  if (!listed) trapnabor(m, c, n);
}

void meshes_check_mesh(Mesh *m, int32_t basis, uint8_t shared, uint8_t bdids) {
  TRACE("meshes_check_mesh_0");
  reporting = 1;
  int v = vertices(basis), k = functions(basis);
  int p = basis >= 0 && basis < ELEMENTS_CODES ? elements_side_nodes[basis] : 0;
  v = std::min(v, 4);
  // The first k node numbers of every cell (0 beyond its list) in one run: the checks
  // read them for neighbours and for node-cell lists in scattered order.
  std::vector<int32_t> first(size_t(m->cells.count) * size_t(std::max(k, 0)));
  for (int32_t c = 1; c <= m->cells.count; c++)
    for (int i = 0; i < k; i++) first[size_t(c - 1) * size_t(k) + size_t(i)] = node_of(cell_at(m, c), i);
  for (int32_t c = 1; c <= m->cells.count; c++) {
    if (!cell_at(m, c).alive) continue;
    for (int s = 0; s < v; s++)
      if (int32_t n = cell_at(m, c).neighbour[s]) check_nabor(m, c, n, v, k, p, shared, first);
    for (int s = 0; bdids && s < v; s++)
      if (!cell_at(m, c).neighbour[s] && !cell_at(m, c).bdid[s]) trapbdid(m, c, s + 1);
    bool valid = true;
    for (int i = 1; i <= k; i++) {
      int32_t n = first[size_t(c - 1) * size_t(k) + size_t(i - 1)];
      valid = valid && node_ok(m, n);
      if (!node_ok(m, n) || !vecbase_inlist(&node_at(m, n).nodecell, c)) trapnodix(m, c, i);
    }
    // The measure reads every node of the cell's own basis; a cell with a node outside
    // the table has been reported above and is not measured.
    if (valid && nodes_valid(m, cell_at(m, c), functions(cell_at(m, c).basis)) &&
        meshes_cell_area_0(m, &cell_at(m, c)) < 0)
      traparea(m, c);
  }
  for (int32_t n = 1; n <= m->nodes.count; n++) {
    const MeshNode &node = node_at(m, n);
    if (!node.alive) continue;
    for (int32_t j = 0; j < node.nodecell.count; j++) {
      int32_t c = node.nodecell.data[j];
      bool listed = false;
      for (int i = 0; cell_ok(m, c) && i < k && !listed; i++)
        listed = first[size_t(c - 1) * size_t(k) + size_t(i)] == n;
      if (!listed) trapnodecell(m, n, c);
    }
  }
}
