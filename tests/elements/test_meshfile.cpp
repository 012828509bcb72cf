// Mesh files: the bytes read back by an independent python3 struct reader, round trips
// with 16-bit and 32-bit indexes, and every return code from hand-made files.
#include <gtest/gtest.h>

#include <sstream>

#include "runtime/filio.h"
#include "tests/elements/check.h"
#include "tests/elements/meshbuild.h"

namespace {

// Decodes a mesh file field by field and prints one line per cell, node and list; it
// fails unless the file ends exactly after the last field.
const char *reader_py = R"(import struct, sys
b = open(sys.argv[1], 'rb').read(); o = 0
def get(fmt):
    global o; v = struct.unpack_from('<' + fmt, b, o); o += struct.calcsize('<' + fmt); return v
def idx(n, signed=False):
    return list(get(str(n) + ('i' if wide else 'h' if signed else 'H')))
assert get('4s')[0] == b'MESH'
basis, wide = get('BB'); assert get('4s')[0] == b'CELL'
v, v2, k, cells = get('BBBI'); print(basis, wide, v, v2, k, cells)
for c in range(cells):
    nb = idx(v, True); bd = list(get(str(v) + 'H')); cb, rg, rg2, alive = get('BHHB')
    nodes = idx(k); nbytes = list(get(str(get('B')[0]) + 'B'))
    print('c', nb, bd, cb, rg, rg2, alive, nodes, nbytes)
assert get('4s')[0] == b'NODE'
dim, nodes = get('BI'); print(dim, nodes)
for n in range(nodes):
    xyz = list(get(str(dim) + 'd')); alive, kind, nid = get('BBH'); print('n', xyz, alive, kind, nid, idx(get('B')[0]))
print('l', idx(get('H')[0]))
for e in range(get('H')[0]): print('e', idx(get('H')[0]))
assert o == len(b), (o, len(b))
)";

std::string py_list(const int32_t *v, int n) {
  std::string s = "[";
  for (int i = 0; i < n; i++) s += (i ? ", " : "") + std::to_string(v[i]);
  return s + "]";
}

struct MeshFile : MeshTest {
  TempDir dir;
  std::string path = dir.file("mesh.bin");
  void write(Mesh *mesh) {
    IOfile f{};
    filio_initialize(&f);
    filio_open_put(&f, 4096, path.c_str());
    meshes_write_mesh(&f, mesh);
    filio_close_put(&f);
    strings_free_0(&f.name);
  }
  int16_t read(Mesh *mesh) {
    IOfile f{};
    String name{};
    filio_initialize(&f);
    strings_copyto_1(&name, path.c_str());
    EXPECT_TRUE(filio_open_get(&f, 4096, &name));
    int16_t rc = meshes_read_mesh(&f, mesh);
    filio_close_get(&f);
    strings_free_0(&name);
    strings_free_0(&f.name);
    return rc;
  }
  // What the python reader should print for the mesh, from its tables.
  std::string expected(Mesh *mesh) {
    int b = mesh->meshbasis, v = elements_vertices[b], k = elements_functions[b], dim = elements_dimension[b];
    bool wide = mesh->nodes.count >= 32767 || mesh->cells.count >= 32767;
    std::ostringstream o;
    o << b << " " << wide << " " << v << " " << v << " " << k << " " << mesh->cells.count << "\n";
    for (int32_t c = 0; c < mesh->cells.count; c++) {
      const MeshCell &x = mesh->cells.data[c];
      int32_t bd[4] = {x.bdid[0], x.bdid[1], x.bdid[2], x.bdid[3]}, by[300];
      for (int i = 0; i < x.bytes.count; i++) by[i] = x.bytes.data[i];
      o << "c " << py_list(x.neighbour, v) << " " << py_list(bd, v) << " " << x.basis << " " << x.region << " "
        << x.region2 << " " << int(x.alive) << " " << py_list(x.nodes.data, k) << " " << py_list(by, x.bytes.count)
        << "\n";
    }
    o << dim << " " << mesh->nodes.count << "\n";
    for (int32_t n = 0; n < mesh->nodes.count; n++) {
      const MeshNode &x = mesh->nodes.data[n];
      char xyz[120];
      snprintf(xyz, sizeof xyz, dim == 2 ? "[%.1f, %.1f]" : "[%.1f, %.1f, %.1f]", x.x, x.y, x.z);
      o << "n " << xyz << " " << int(x.alive) << " " << x.kind << " " << x.id << " "
        << py_list(x.nodecell.data, x.nodecell.count) << "\n";
    }
    o << "l " << py_list(mesh->jointnodes.data, mesh->jointnodes.count) << "\n";
    for (int32_t e = 0; e < mesh->edgenodes.count; e++)
      o << "e " << py_list(mesh->edgenodes.data[e].data, mesh->edgenodes.data[e].count) << "\n";
    return o.str();
  }
  std::string decoded() {
    spit(dir.file("reader.py"), reader_py);
    FILE *p = popen(("python3 " + dir.file("reader.py") + " " + path).c_str(), "r");
    std::string out = slurp_stream(p);
    EXPECT_EQ(pclose(p), 0);
    return out;
  }
  // The unit square as two triangles, one edge list of two nodes per side.
  void square() {
    unit_square(&m);
    vector2l_resize(&m.edgenodes, 4, 4);
    for (int e = 0; e < 4; e++)
      for (int32_t n : {e + 1, e % 4 + 2 - (e == 3) * 4}) vectorl_one_more(&m.edgenodes.data[e], n);
  }
  // Field-by-field equality of two meshes' stored tables.
  void expect_equal(Mesh *a) { EXPECT_EQ(expected(a), expected(&m)); }
};

TEST_F(MeshFile, TwoTrianglesAre200BytesReadByAnIndependentReader) {
  square();
  // A periodic pair and history bytes, which the file keeps.
  cell(1).neighbour[0] = -2, cell(2).neighbour[0] = -1;
  vectorb_one_more(&cell(2).bytes, 7);
  cell(2).region2 = 3;
  write(&m);
  EXPECT_EQ(slurp(path).size(), 201u);  // 200 and the one history byte
  EXPECT_EQ(decoded(), expected(&m));
  Mesh back{};
  ASSERT_EQ(read(&back), 0);
  expect_equal(&back);
  EXPECT_EQ(back.cells.data[0].neighbour[0], -2);
  meshes_free(&back, 0);
  m.finder.built = 1;
  ASSERT_EQ(read(&m), 0);
  EXPECT_EQ(m.finder.built, 0);  // the finder no longer knows the cells read
  vectorb_free(&cell(2).bytes);
  write(&m);
  EXPECT_EQ(slurp(path).size(), 200u);
}

TEST_F(MeshFile, LargeMeshesUse32BitIndexesEverywhere) {
  // A 2 x 20000 strip (40000 nodes, 39998 cells), then a 129 x 129 grid whose cells alone
  // reach the limit (16641 nodes, 32768 cells).
  for (auto [rows, cols] : {std::pair{2, 20000}, {129, 129}}) {
    meshes_free(&m, 0);
    m = Mesh{};
    m.domain = &d;
    std::vector<Xyz> xyz;
    std::vector<Corners> cells;
    for (int k = 0; k < rows * cols; k++) xyz.push_back({double(k / rows), double(k % rows), 0});
    for (int i = 0; i + 1 < cols; i++)
      for (int j = 0, a = i * rows + 1; j + 1 < rows; j++, a++)
        cells.push_back({a, a + rows, a + rows + 1}), cells.push_back({a, a + rows + 1, a + 1});
    build_mesh(&m, xyz, cells, tri3, [](const Corners &) { return uint16_t(1); });
    vectorl_one_more(&m.jointnodes, m.nodes.count);
    cell(5).neighbour[1] = -m.cells.count;
    write(&m);
    EXPECT_EQ(slurp(path)[5], 1) << rows;  // the wide flag after tag and basis
    EXPECT_EQ(decoded(), expected(&m));
    Mesh back{};
    ASSERT_EQ(read(&back), 0);
    expect_equal(&back);
    meshes_free(&back, 0);
  }
}

TEST_F(MeshFile, EveryReturnCode) {
  square();
  write(&m);
  std::string good = slurp(path);
  auto with = [&](size_t at, std::string bytes) {
    std::string s = good;
    s.replace(at, bytes.size(), bytes);
    spit(path, s);
    Mesh back{};
    int16_t rc = read(&back);
    int32_t basis = back.meshbasis;
    meshes_free(&back, 0);
    return std::pair(rc, basis);
  };
  // Header: tag, basis 4, wide, tag, 3 3 3, cell count at 13.
  EXPECT_EQ(with(0, "MESS"), std::pair(int16_t(-1), 0));
  EXPECT_EQ(with(6, "CELX"), std::pair(int16_t(-2), 4));  // after the basis was read
  EXPECT_EQ(with(10, "\x02").first, 1);
  EXPECT_EQ(with(11, "\x04").first, 2);
  EXPECT_EQ(with(12, "\x06").first, 4);
  EXPECT_EQ(with(67, "NODX").first, -3);
  EXPECT_EQ(with(71, "\x03").first, 8);
  EXPECT_EQ(with(13, "\xff\xff\xff\x7f").first, -4);              // more cells than bytes
  EXPECT_EQ(with(35, std::string("\x05\x00", 2)).first, -4);      // cell 1's first node is 5
  EXPECT_EQ(with(17, std::string("\x03\x00", 2)).first, -4);      // neighbour 3 of 2 cells
  EXPECT_EQ(with(97, std::string("\x09\x00", 2)).first, -4);      // node 1 lists cell 9
  spit(path, good.substr(0, 199));
  Mesh back{};
  EXPECT_EQ(read(&back), -4);
  meshes_free(&back, 0);
  // A node in 256 cells cannot be written.
  for (int k = 0; k < 254; k++) vectorl_one_more(&node(1).nodecell, 3);
  IOfile none{};  // the lengths are checked before anything is written
  expect_fatal("MESH LIST TOO LONG IN meshes_write_mesh_0", [&] { meshes_write_mesh(&none, &m); });
}

}  // namespace
