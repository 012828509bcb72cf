// The domain record as a whole: the printouts of every record kind, a deep copy of a
// two-region domain with arcs, clearing back to a new domain, and the domains the
// transfer records own.
#include <cstring>
#include <numbers>

#include "domain/faces.h"
#include "domain/periodic.h"
#include "domain/regions.h"
#include "model/trees.h"
#include "model/xferdat.h"
#include "runtime/bopmem.h"
#include "tests/domain/geometry.h"

namespace {

struct Records : Geometry {
  // Region 1: the square (0,0)-(4,4); region 2 ("CORE"): a disk of radius 1 about (2,2)
  // drawn as a half and two quarter arcs; a face and a periodic declaration.
  void build() {
    uint16_t c[4] = {pt(0, 0), pt(4, 0), pt(4, 4), pt(0, 4)};
    uint16_t r1 = regions_new_region(&d.regions, 0, 0, 0), l1 = edges_new_loop(&d.loops);
    for (int k = 0; k < 4; k++) edges_add_to_loop(&d.loops, l1, line(c[k], c[(k + 1) % 4]));
    vectorn_one_more(&d.regions.data[r1 - 1].loops, l1);
    uint16_t a = pt(3, 2), b = pt(1, 2), c3 = pt(2, 1);
    uint16_t r2 = regions_new_region(&d.regions, 0, 1, 0), l2 = edges_new_loop(&d.loops);
    edges_add_to_loop(&d.loops, l2, arc(a, b, 0, 2, 0, 0, 1, 0));
    edges_add_to_loop(&d.loops, l2, arc(b, c3, 0, 1, 2, 2, 0, 0));
    edges_add_to_loop(&d.loops, l2, arc(c3, 0, 0, 3, 2, 2, 0, std::numbers::pi / 2));
    vectorn_one_more(&d.regions.data[r2 - 1].loops, l2);
    strings_copyto_1(&d.regions.data[r2 - 1].name, "CORE");
    strings_copyto_1(&d.loops.data[l2 - 1].name, "RIM");
    edges_joinings(&d.edges, &d.joints);
    Edge &e = d.edges.data[4];
    e.side_regions[0] = 2, e.side_regions[1] = 1, e.bctag = 3;
    vectorn_one_more(&e.layer_tags, 7), vectorn_one_more(&e.face_list, 1);
    strings_copyto_1(&e.name, "ARC");
    d.edges.data[0].external = 1, d.edges.data[0].periodic = 1, d.edges.data[0].image = 3;
    uint16_t f = faces_new_face(&d.faces, 1);
    d.faces.data[f - 1].base = 5, d.faces.data[f - 1].level = 2, d.faces.data[f - 1].image = 4;
    faces_new_face(&d.faces, 2);
    periodic_one_more(&d.periodics);
    vectorn_one_more(&d.periodics.data[0].sources, 1), vectorn_one_more(&d.periodics.data[0].images, 3);
    d.periodics.data[0].mapping = trees_new_real_0(4);
    vectorn_one_more(&d.excluded, 2);
  }
  std::string print() {
    FILE *f = tmpfile();
    domain_print(f, &d);
    rewind(f);
    std::string s = slurp_stream(f);
    fclose(f);
    return s;
  }
};

TEST_F(Records, EveryRecordPrints) {
  build();
  EXPECT_EQ(print(),
            "2D DOMAIN has     2 Regions,     2 Loops,     2 Faces,     7 Edges,     7 Joints\n"
            "Bounds (0,0,0) (4,4,0)\n"
            "Region    1 (Tag=1) has    1 Loops, type=include\n"
            "    1\n"
            "Region    2 (Tag=2) has    1 Loops, type=include, name=CORE\n"
            "    2\n"
            "Loop    1 has    4 Edges\n"
            "    1    2    3    4\n"
            "Loop    2 has    3 Edges, name=RIM\n"
            "    5    6    7\n"
            "Face     1  BCTAG=0 (type=ext.edge  5) (layer    2) (regions=0,0)  image=4\n"
            "Face     2  BCTAG=0 (type=plane3  (regions=0,0) \n"
            "Edge     1  Joints    1 to    2 BCTAG=0  type=line length= 4.000000 regions 0,0 external periodic=1 image=3\n"
            "Edge     2  Joints    2 to    3 BCTAG=0  type=line length= 4.000000 regions 0,0 interior\n"
            "Edge     3  Joints    3 to    4 BCTAG=0  type=line length= 4.000000 regions 0,0 interior\n"
            "Edge     4  Joints    4 to    1 BCTAG=0  type=line length= 4.000000 regions 0,0 interior\n"
            "Edge     5  Joints    5 to    6 BCTAG=3 ( 7) type=arc length= 3.141593 regions 2,1 name=ARC interior\n"
            "    1 Faces:     1\n"
            "Edge     6  Joints    6 to    7 BCTAG=0  type=arc length= 1.570796 regions 0,0 interior\n"
            "Edge     7  Joints    7 to    5 BCTAG=0  type=arc length= 1.570796 regions 0,0 interior\n"
            "Joint    1 x=     0.00 y=     0.00 z=     0.00  BCTAG=0\n"
            "    2 Edges:     1    4\n"
            "Joint    2 x= 4.000000 y=     0.00 z=     0.00  BCTAG=0\n"
            "    2 Edges:     1    2\n"
            "Joint    3 x= 4.000000 y= 4.000000 z=     0.00  BCTAG=0\n"
            "    2 Edges:     2    3\n"
            "Joint    4 x=     0.00 y= 4.000000 z=     0.00  BCTAG=0\n"
            "    2 Edges:     3    4\n"
            "Joint    5 x= 3.000000 y= 2.000000 z=     0.00  BCTAG=0\n"
            "    2 Edges:     5    7\n"
            "Joint    6 x= 1.000000 y= 2.000000 z=     0.00  BCTAG=0\n"
            "    2 Edges:     5    6\n"
            "Joint    7 x= 2.000000 y= 1.000000 z=     0.00  BCTAG=0\n"
            "    2 Edges:     6    7\n");
}

TEST_F(Records, CopyOwnsEveryCopiedFieldAndClearFreesAll) {
  build();
  d.threed = 1, d.reader[3] = 2, d.materials = 2, d.shear[1] = 0.5, d.perextrude = 1, d.grofac = 0.25;
  Domain *c = domain_domain_copy(&d);
  // The records print alike, periodic marks on edges included.
  std::string original = print();
  std::swap(*c, d);
  EXPECT_EQ(print(), original);
  std::swap(*c, d);
  EXPECT_EQ(std::memcmp(&c->grid, &d.grid, sizeof d.grid), 0);
  EXPECT_EQ(c->reader[3], 2);
  EXPECT_EQ(c->shear[1], 0.5);
  EXPECT_EQ(c->excluded.data[0], 2);
  EXPECT_EQ(std::memcmp(&c->edges.data[4].shapedata, &d.edges.data[4].shapedata, sizeof(arcrec)), 0);
  // Left behind: the periodic-extrusion flag, growth rate and periodic declarations.
  EXPECT_EQ(c->perextrude, 0);
  EXPECT_EQ(c->grofac, 0);
  EXPECT_EQ(c->periodics.count, 0);
  // No storage is shared (both are freed below, which the sanitizer build would catch).
  EXPECT_NE(c->joints.data[0].edges.data, d.joints.data[0].edges.data);
  EXPECT_NE(c->edges.data[4].name.text, d.edges.data[4].name.text);
  domain_clear(c);
  bopmemfree(&c);
  XMEM -= sizeof(Domain);
  // Clearing leaves a new domain: the growth rate stays, the grid starts afresh.
  domain_clear(&d);
  EXPECT_EQ(d.grofac, 0.25);
  EXPECT_EQ(d.grid.tolerance, 0);
  EXPECT_EQ(d.grid.quantum, 0);
  EXPECT_EQ(d.grid.seed, DOMAIN_HUGE);
  EXPECT_EQ(d.grid.box.x2, -DOMAIN_HUGE);
  EXPECT_EQ(print(), "2D DOMAIN has     0 Regions,     0 Loops,     0 Faces,     0 Edges,     0 Joints\n"
                     "Bounds (1e+300,1e+300,1e+300) (-1e+300,-1e+300,-1e+300)\n");
  domain_clear(nullptr);
}

TEST(Formulas, TransferRecordsFreeTheirOwnDomains) {
  int64_t before = XMEM;
  xferlist list{};
  for (uint16_t n = 1; n <= 3; n++) {
    xferdat_resize(&list, n, n < list.capacity ? list.capacity : n);
    xferdat &x = list.items[n - 1];
    x.number = n;
    strings_copyto_1(&x.name, "flow.dat");
    bopmemalloc(&x.mesh.domain, 1, sizeof(Domain));
    XMEM += sizeof(Domain);
    x.mesh.ownsdomain = 1;
    vector2d_resize(&x.values, 2, 2);
    vectord_resize(&x.values.data[1], 10, 10);
  }
  EXPECT_EQ(list.capacity, 3);
  EXPECT_EQ(list.items[0].number, 1);
  xferdat_resize(&list, 1, 1);  // the records that no longer fit are freed
  xferdat_free(&list);
  EXPECT_EQ(list.count + list.capacity, 0);
  EXPECT_EQ(XMEM, before);
}

}  // namespace
