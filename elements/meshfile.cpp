// meshes, files: a mesh written to and read back from a binary file through the IOfile,
// least significant byte first, with 16-bit or 32-bit indexes by the mesh's size.
#include <sys/stat.h>

#include <algorithm>

#include "elements/meshes.h"
#include "runtime/filio.h"
#include "runtime/rtlib.h"

static const String tag_mesh = {4, 0, const_cast<char *>("MESH")};
static const String tag_cell = {4, 0, const_cast<char *>("CELL")};
static const String tag_node = {4, 0, const_cast<char *>("NODE")};

void put_tag(IOfile *f, const String *tag) {
  TRACE("put_tag_0");
  for (uint16_t i = 0; i < tag->length; i++) filio_put_byte(f, uint8_t(tag->text[i]));
}

bool get_tag(IOfile *f, const String *tag) {
  TRACE("get_tag_0");
  bool same = true;
  for (uint16_t i = 0; i < tag->length; i++) same = filio_get_byte(f) == uint8_t(tag->text[i]) && same;
  return same;
}

// An index: 32 bits when wide, else its low 16 bits.
static void put_index(IOfile *f, bool wide, int32_t v) {
  if (wide)
    filio_put_long(f, v);
  else
    filio_put_ushort(f, uint16_t(v));
}
// An index read back: 16-bit neighbours are signed (periodic links are negated), every
// other 16-bit index is unsigned.
static int32_t get_index(IOfile *f, bool wide, bool sign) {
  if (wide) return filio_get_long(f);
  return sign ? int32_t(filio_get_short(f)) : int32_t(filio_get_ushort(f));
}

static int table_of(int32_t basis, const uint8_t *table) {
  return basis >= 0 && basis < ELEMENTS_CODES ? table[basis] : 0;
}

// Every list the file stores must fit its length field: node-cell and byte lists 255
// entries, the node list, the edge lists and their number 65535.
static void check_lengths(const Mesh *m) {
  bool fits = m->jointnodes.count <= 0xFFFF && m->edgenodes.count <= 0xFFFF;
  for (int32_t c = 0; c < m->cells.count && fits; c++) fits = m->cells.data[c].bytes.count <= 0xFF;
  for (int32_t n = 0; n < m->nodes.count && fits; n++) fits = m->nodes.data[n].nodecell.count <= 0xFF;
  for (int32_t e = 0; e < m->edgenodes.count && fits; e++) fits = m->edgenodes.data[e].count <= 0xFFFF;
  if (!fits) rtlib_fatal_in("meshes_write_mesh_0", "MESH LIST TOO LONG");
}

void meshes_write_mesh(IOfile *f, Mesh *m) {
  TRACE("meshes_write_mesh_0");
  check_lengths(m);
  int32_t basis = m->meshbasis;
  int v = table_of(basis, elements_vertices), k = table_of(basis, elements_functions);
  int dim = table_of(basis, elements_dimension);
  bool wide = m->nodes.count >= 32767 || m->cells.count >= 32767;
  put_tag(f, &tag_mesh);
  filio_put_byte(f, uint8_t(basis));
  filio_put_byte(f, wide);
  put_tag(f, &tag_cell);
  filio_put_byte(f, uint8_t(v));
  filio_put_byte(f, uint8_t(v));
  filio_put_byte(f, uint8_t(k));
  filio_put_long(f, m->cells.count);
  for (int32_t c = 0; c < m->cells.count; c++) {
    const MeshCell &cell = m->cells.data[c];
    for (int s = 0; s < v; s++) put_index(f, wide, cell.neighbour[s]);
    for (int s = 0; s < v; s++) filio_put_ushort(f, cell.bdid[s]);
    filio_put_byte(f, uint8_t(cell.basis));
    filio_put_ushort(f, cell.region);
    filio_put_ushort(f, cell.region2);
    filio_put_byte(f, cell.alive);
    for (int i = 0; i < k; i++) put_index(f, wide, i < cell.nodes.count ? cell.nodes.data[i] : 0);
    filio_put_byte(f, uint8_t(cell.bytes.count));
    for (int32_t i = 0; i < cell.bytes.count; i++) filio_put_byte(f, cell.bytes.data[i]);
  }
  put_tag(f, &tag_node);
  filio_put_byte(f, uint8_t(dim));
  filio_put_long(f, m->nodes.count);
  for (int32_t n = 0; n < m->nodes.count; n++) {
    const MeshNode &node = m->nodes.data[n];
    filio_put_double(f, node.x);
    if (dim > 1) filio_put_double(f, node.y);
    if (dim > 2) filio_put_double(f, node.z);
    filio_put_byte(f, node.alive);
    filio_put_byte(f, uint8_t(node.kind));
    filio_put_ushort(f, node.id);
    filio_put_byte(f, uint8_t(node.nodecell.count));
    for (int32_t i = 0; i < node.nodecell.count; i++) put_index(f, wide, node.nodecell.data[i]);
  }
  filio_put_ushort(f, uint16_t(m->jointnodes.count));
  for (int32_t i = 0; i < m->jointnodes.count; i++) put_index(f, wide, m->jointnodes.data[i]);
  filio_put_ushort(f, uint16_t(m->edgenodes.count));
  for (int32_t e = 0; e < m->edgenodes.count; e++) {
    const vectorl &l = m->edgenodes.data[e];
    filio_put_ushort(f, uint16_t(l.count));
    for (int32_t i = 0; i < l.count; i++) put_index(f, wide, l.data[i]);
  }
}

// Bytes between the read position and the end of the file; a count that needs more
// cannot be read, so nothing is allocated for it.
static int64_t bytes_left(IOfile *f) {
  struct stat st;
  if (fstat(f->handle, &st) != 0) return INT64_MAX;
  return int64_t(st.st_size) - filio_get_file_pos(f);
}

// Reads n index entries into a list sized to n.
static void get_list(IOfile *f, bool wide, vectorl *l, int32_t n) {
  vectorl_resize(l, n, std::max(n, l->capacity));
  for (int32_t i = 0; i < n; i++) l->data[i] = get_index(f, wide, false);
}

// Every index of the mesh read lies within the counts read: live cells' nodes in
// 1..nodes (a dead cell's may be 0), neighbours within the cells either sign,
// node-cell entries and edge-list entries in their tables, node-list entries in
// 0..nodes; and every cell's basis is a basis code.
static bool indexes_valid(const Mesh *m) {
  int32_t cells = m->cells.count, nodes = m->nodes.count;
  auto in = [](int32_t v, int32_t lo, int32_t hi) { return v >= lo && v <= hi; };
  for (int32_t c = 0; c < cells; c++) {
    const MeshCell &cell = m->cells.data[c];
    if (!in(cell.basis, 0, ELEMENTS_CODES - 1)) return false;
    for (int s = 0; s < 4; s++)
      if (!in(cell.neighbour[s], -cells, cells)) return false;
    for (int32_t i = 0; i < cell.nodes.count; i++)
      if (!in(cell.nodes.data[i], cell.alive ? 1 : 0, nodes)) return false;
  }
  for (int32_t n = 0; n < nodes; n++) {
    const vectorl &l = m->nodes.data[n].nodecell;
    for (int32_t i = 0; i < l.count; i++)
      if (!in(l.data[i], 1, cells)) return false;
  }
  for (int32_t i = 0; i < m->jointnodes.count; i++)
    if (!in(m->jointnodes.data[i], 0, nodes)) return false;
  for (int32_t e = 0; e < m->edgenodes.count; e++)
    for (int32_t i = 0; i < m->edgenodes.data[e].count; i++)
      if (!in(m->edgenodes.data[e].data[i], 1, nodes)) return false;
  return true;
}

int16_t meshes_read_mesh(IOfile *f, Mesh *m) {
  TRACE("meshes_read_mesh_0");
  if (!get_tag(f, &tag_mesh)) return -1;
  int32_t basis = filio_get_byte(f);
  bool known = basis < ELEMENTS_CODES;
  m->meshbasis = known ? basis : no_basis;
  bool wide = filio_get_byte(f) != 0;
  if (!get_tag(f, &tag_cell)) return -2;
  int v = table_of(basis, elements_vertices), k = table_of(basis, elements_functions);
  int dim = table_of(basis, elements_dimension);
  if (filio_get_byte(f) != v || !known) return 1;
  if (filio_get_byte(f) != v) return 2;
  if (filio_get_byte(f) != k) return 4;
  int w = wide ? 4 : 2;
  // The mesh read replaces the tables, and the finder no longer knows its cells.
  cellnode_free_1(&m->cells);
  cellnode_free_2(&m->nodes);
  vectorl_free(&m->jointnodes);
  vector2l_free(&m->edgenodes, 1);
  m->finder.built = 0;
  int32_t cells = filio_get_long(f);
  if (cells < 0 || int64_t(cells) * (2 * v + v * w + 7 + k * w) > bytes_left(f)) return -4;
  cellnode_resize_0(&m->cells, cells, cells);
  for (int32_t c = 0; c < cells; c++) {
    MeshCell &cell = m->cells.data[c];
    for (int s = 0; s < v; s++) cell.neighbour[s] = get_index(f, wide, true);
    for (int s = 0; s < v; s++) cell.bdid[s] = filio_get_ushort(f);
    cell.basis = filio_get_byte(f);
    cell.region = filio_get_ushort(f);
    cell.region2 = filio_get_ushort(f);
    cell.alive = filio_get_byte(f);
    get_list(f, wide, &cell.nodes, k);
    int32_t n = filio_get_byte(f);
    vectorb_resize(&cell.bytes, n, std::max(n, cell.bytes.capacity));
    for (int32_t i = 0; i < n; i++) cell.bytes.data[i] = filio_get_byte(f);
  }
  if (!get_tag(f, &tag_node)) return -3;
  if (filio_get_byte(f) != dim) return 8;
  int32_t nodes = filio_get_long(f);
  if (nodes < 0 || int64_t(nodes) * (8 * std::max(dim, 1) + 5) > bytes_left(f)) return -4;
  cellnode_resize_1(&m->nodes, nodes, nodes);
  for (int32_t n = 0; n < nodes; n++) {
    MeshNode &node = m->nodes.data[n];
    node.x = filio_get_double(f);
    if (dim > 1) node.y = filio_get_double(f);
    if (dim > 2) node.z = filio_get_double(f);
    node.alive = filio_get_byte(f);
    node.kind = filio_get_byte(f);
    node.id = filio_get_ushort(f);
    get_list(f, wide, &node.nodecell, filio_get_byte(f));
  }
  get_list(f, wide, &m->jointnodes, filio_get_ushort(f));
  int32_t edges = filio_get_ushort(f);
  vector2l_resize(&m->edgenodes, edges, edges);
  for (int32_t e = 0; e < edges; e++) get_list(f, wide, &m->edgenodes.data[e], filio_get_ushort(f));
  if (filio_eof(f) || !indexes_valid(m)) return -4;
  return 0;
}
