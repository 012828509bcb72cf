// The netCDF classic writer, read back by ncdump and by an independent reader written
// from the published description of the format.
#include <gtest/gtest.h>

#include <string>

#include "plot/netcdf.h"
#include "runtime/vectord.h"
#include "runtime/vectors.h"
#include "tests/tempfiles.h"

namespace {

// Header grammar: magic, numrecs, dim_list, gatt_list, var_list; a list is a tag and a
// count or ABSENT (two zero words); names and values are padded to four bytes.
const char *reader = R"(import struct, sys
d = open(sys.argv[1], 'rb').read(); p = 0
SZ = {1: 1, 2: 1, 3: 2, 4: 4, 5: 4, 6: 8}; FM = {1: 'b', 2: 'c', 3: 'h', 4: 'i', 5: 'f', 6: 'd'}
def word():
    global p; p += 4; return struct.unpack('>i', d[p - 4:p])[0]
def take(n):
    global p; b = d[p:p + n]; p += (n + 3) // 4 * 4; return b
def name(): return take(word()).decode()
def values(t, n):
    b = take(SZ[t] * n); return b.decode() if t == 2 else list(struct.unpack('>%d%s' % (n, FM[t]), b))
def lst(tag, item):
    t, n = word(), word(); assert t == tag or (t, n) == (0, 0); return [item() for _ in range(n)]
def att():
    nm = name(); t = word(); return (nm, t, values(t, word()))
def var():
    nm = name(); ids = [word() for _ in range(word())]; a = lst(12, att); return (nm, ids, a, word(), word(), word())
assert d[:4] == b'CDF\x01'; p = 4
nrec = word(); dims = lst(10, lambda: (name(), word())); gatts = lst(12, att); vs = lst(11, var)
rec = lambda ids: len(ids) > 0 and dims[ids[0]][1] == 0
recsize = sum(v[4] for v in vs if rec(v[1]))
print('records', nrec, 'header', p, 'recsize', recsize, 'length', len(d))
for a in gatts: print('global', *a)
for nm, ids, a, t, vsize, begin in vs:
    data = []
    for r in range(nrec if rec(ids) else 1):
        o = begin + r * recsize; data += struct.unpack('>%d%s' % (vsize // SZ[t], FM[t]), d[o:o + vsize])
    print('var', nm, [dims[i][0] for i in ids], t, vsize, begin, data, *a)
)";

bool have(const char *tool) { return run(std::string("command -v ") + tool) != ""; }

std::string read_back(const TempDir &dir, const std::string &file) {
  spit(dir.file("reader.py"), reader);
  return run("python3 " + dir.file("reader.py") + " " + file + " 2>&1");
}

// The file being written: a temporary file beside its name, which takes the name at
// close; the name itself is not there before.
std::string being_written(const TempDir &dir, const std::string &file) {
  EXPECT_EQ(slurp(file), "<missing>") << file;
  return run("ls -d " + file + ".qtmp* 2>/dev/null");
}

void put_floats(int32_t h, std::initializer_list<float> values) {
  vectors v = {static_cast<int32_t>(values.size()), 0, const_cast<float *>(values.begin())};
  netcdf_cdf_put_7(h, &v);
}

// Record dimension Time, x of 3, y of 2, float coordinate variables and one float
// variable u over (Time, x, y), no attributes.
int32_t grid_file(const std::string &name) {
  int32_t h = netcdf_cdf_create(name.c_str(), 32768);
  int t = netcdf_cdf_def_dim(h, "Time", 0), x = netcdf_cdf_def_dim(h, "x", 3), y = netcdf_cdf_def_dim(h, "y", 2);
  netcdf_cdf_def_var_1(h, "Time", CDF_FLOAT, t);
  netcdf_cdf_def_var_1(h, "x", CDF_FLOAT, x);
  netcdf_cdf_def_var_1(h, "y", CDF_FLOAT, y);
  netcdf_cdf_def_var_3(h, "u", CDF_FLOAT, t, x, y);
  return h;
}

TEST(Netcdf, GridFileLayoutAndExternalReaders) {
  TempDir dir;
  std::string f = dir.file("grid.cdf");
  int32_t h = grid_file(f);
  ASSERT_TRUE(netcdf_cdf_enddef(h, 0));
  EXPECT_FALSE(netcdf_cdf_enddef(h, 0));  // the header is written once per definition
  put_floats(h, {0, 0.5, 1});
  put_floats(h, {-1, 1});
  put_floats(h, {0, 1, 2, 3, 4, 5, 6});
  netcdf_cdf_sync(h);
  // After the sync the header still counts no record; the data of the first are there.
  EXPECT_EQ(read_back(dir, being_written(dir, f)),
            "records 0 header 220 recsize 28 length 268 "
            "var Time ['Time'] 5 4 240 [] var x ['x'] 5 12 220 [0.0, 0.5, 1.0] "
            "var y ['y'] 5 8 232 [-1.0, 1.0] var u ['Time', 'x', 'y'] 5 24 244 []");
  netcdf_cdf_redefine(h);
  ASSERT_TRUE(netcdf_cdf_enddef(h, 1));
  put_floats(h, {0.25, 7, 8, 9, 10, 11, 12});
  netcdf_cdf_redefine(h);
  ASSERT_TRUE(netcdf_cdf_enddef(h, 2));
  netcdf_cdf_close(h);
  EXPECT_EQ(read_back(dir, f),
            "records 2 header 220 recsize 28 length 296 "
            "var Time ['Time'] 5 4 240 [0.0, 0.25] var x ['x'] 5 12 220 [0.0, 0.5, 1.0] "
            "var y ['y'] 5 8 232 [-1.0, 1.0] "
            "var u ['Time', 'x', 'y'] 5 24 244 [1.0, 2.0, 3.0, 4.0, 5.0, 6.0, 7.0, 8.0, 9.0, 10.0, 11.0, 12.0]");
  std::string bytes = slurp(f);
  EXPECT_EQ(bytes.substr(52, 8), std::string(8, '\0'));  // no global attributes: ABSENT

  if (!have("ncdump") || !have("ncgen")) GTEST_SKIP() << "ncdump/ncgen missing: install the Debian package netcdf-bin";
  EXPECT_EQ(run("ncdump -k " + f), "classic");
  EXPECT_EQ(run("cd " + dir.path + " && ncdump grid.cdf"),
            "netcdf grid { dimensions: Time = UNLIMITED ; // (2 currently) x = 3 ; y = 2 ; variables: "
            "float Time(Time) ; float x(x) ; float y(y) ; float u(Time, x, y) ; data: "
            "Time = 0, 0.25 ; x = 0, 0.5, 1 ; y = -1, 1 ; u = 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12 ; }");
  // The reference library writes the same definitions and data to the same bytes.
  run("cd " + dir.path + " && ncdump -p 9,17 grid.cdf > grid.cdl && ncgen -k classic -b -o copy.cdf grid.cdl");
  EXPECT_EQ(slurp(dir.file("copy.cdf")), bytes);
}

TEST(Netcdf, AttributesNamesAndInPlaceRewrite) {
  TempDir dir;
  std::string f = dir.file("attrs.cdf");
  int32_t h = netcdf_cdf_create(f.c_str(), 16);  // a small buffer: the header spans flushes
  int x = netcdf_cdf_def_dim(h, "x", 2);
  EXPECT_EQ(netcdf_cdf_def_dim(h, "x", 1), 2);  // written as x_2
  netcdf_cdf_def_attr_text(h, 0, "title", "Heat/flow (x)");
  netcdf_cdf_def_attr_short(h, 0, "s", -3);
  netcdf_cdf_def_attr_long_1(h, 0, "l", 7, -8);
  netcdf_cdf_def_attr_single_0(h, 0, "f", 0.5);
  int v = netcdf_cdf_def_var_1(h, "x", CDF_DOUBLE, x);
  EXPECT_EQ(netcdf_cdf_def_var_1(h, "x", CDF_DOUBLE, x), 2);
  EXPECT_EQ(netcdf_cdf_def_var_1(h, "x", CDF_DOUBLE, x), 3);
  EXPECT_EQ(netcdf_cdf_def_var_1(h, "dx/dt", CDF_DOUBLE, x), 4);
  netcdf_cdf_def_attr_double_1(h, v, "valid_range", -9.9e36, 9.9e36);
  netcdf_cdf_def_attr_double_0(h, v, "missing_value", 1e37);
  ASSERT_TRUE(netcdf_cdf_enddef(h, 0));
  vectord values = {8, 0, nullptr};
  double d[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  values.data = d;
  netcdf_cdf_put_8(h, &values);
  netcdf_cdf_sync(h);
  std::string before = slurp(being_written(dir, f));

  netcdf_cdf_redefine(h);
  EXPECT_EQ(netcdf_cdf_def_dim(h, "z", 4), 0);  // the header's size is settled
  EXPECT_EQ(netcdf_cdf_def_var_1(h, "z", CDF_DOUBLE, x), 0);
  netcdf_cdf_def_attr_double_0(h, v, "valid_range", 5);      // another count: ignored
  netcdf_cdf_def_attr_text(h, 0, "title", "Other");          // another length: ignored
  netcdf_cdf_def_attr_double_1(h, v, "valid_range", 1, 2);
  ASSERT_TRUE(netcdf_cdf_enddef(h, 3));
  netcdf_cdf_close(h);
  std::string after = slurp(f);
  EXPECT_EQ(run("ls " + dir.path + " | grep -c qtmp"), "0");  // renamed, not copied
  ASSERT_EQ(after.size(), before.size());
  size_t range = before.find("valid_range") + 12 + 8;  // padded name, type, count
  for (size_t i = 0; i < after.size(); i++)
    EXPECT_TRUE(after[i] == before[i] || (i >= 4 && i < 8) || (i >= range && i < range + 16)) << i;
  EXPECT_EQ(read_back(dir, f),
            "records 3 header 380 recsize 0 length 444 global title 2 Heat/flow (x) global s 3 [-3] "
            "global l 4 [7, -8] global f 5 [0.5] var x ['x'] 6 16 380 [1.0, 2.0] ('valid_range', 6, [1.0, 2.0]) "
            "('missing_value', 6, [1e+37]) var x_2 ['x'] 6 16 396 [3.0, 4.0] var x_3 ['x'] 6 16 412 [5.0, 6.0] "
            "var dx_dt ['x'] 6 16 428 [7.0, 8.0]");

  if (!have("ncdump")) GTEST_SKIP() << "ncdump missing: install the Debian package netcdf-bin";
  EXPECT_EQ(run("ncdump -h " + f),
            "netcdf attrs { dimensions: x = 2 ; x_2 = 1 ; variables: double x(x) ; x:valid_range = 1., 2. ; "
            "x:missing_value = 1.e+37 ; double x_2(x) ; double x_3(x) ; double dx_dt(x) ; "
            "// global attributes: :title = \"Heat/flow (x)\" ; :s = -3s ; :l = 7, -8 ; :f = 0.5f ; }");
  EXPECT_EQ(run("ncdump -v dx_dt " + f + " | tail -2"), "dx_dt = 7, 8 ; }");
  // Every name is one the reference library accepts: it rebuilds the same bytes (but
  // for the record count, which a file without record dimension keeps at 0 there).
  run("cd " + dir.path + " && ncdump -p 9,17 attrs.cdf > attrs.cdl && ncgen -k classic -b -o copy.cdf attrs.cdl");
  EXPECT_EQ(slurp(dir.file("copy.cdf")).substr(8), after.substr(8));
}

TEST(Netcdf, InvalidHandlesAndRefusedDefinitions) {
  TempDir dir;
  EXPECT_EQ(netcdf_cdf_create(dir.file("none/a.cdf").c_str(), 64), 0);
  int32_t h = netcdf_cdf_create(dir.file("b.cdf").c_str(), 64);
  ASSERT_GT(h, 0);
  int t = netcdf_cdf_def_dim(h, "t", 0);
  EXPECT_EQ(netcdf_cdf_def_dim(h, "s", 0), 0);  // one record dimension
  EXPECT_EQ(netcdf_cdf_def_dim(h, "n", -1), 0);
  EXPECT_EQ(netcdf_cdf_def_var_1(h, "v", 7, t), 0);
  EXPECT_EQ(netcdf_cdf_def_var_1(h, "v", CDF_FLOAT, 2), 0);
  netcdf_cdf_put_3(h, 1.0);  // no data before the header
  netcdf_cdf_close(h);
  EXPECT_EQ(slurp(dir.file("b.cdf")), "");
  for (int32_t bad : {0, h, 1000}) {
    EXPECT_EQ(netcdf_cdf_def_dim(bad, "x", 3), 0);
    EXPECT_EQ(netcdf_cdf_def_var_1(bad, "x", CDF_FLOAT, 1), 0);
    netcdf_cdf_def_attr_long_0(bad, 0, "a", 1);
    netcdf_cdf_put_2(bad, 1);
    netcdf_cdf_redefine(bad);
    EXPECT_FALSE(netcdf_cdf_enddef(bad, 1));
    netcdf_cdf_sync(bad);
    netcdf_cdf_close(bad);
  }
  EXPECT_EQ(netcdf_cdf_create(dir.file("c.cdf").c_str(), 64), h);  // the free record is reused
  netcdf_cdf_close(h);
}

}  // namespace
