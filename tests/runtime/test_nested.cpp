// Nested vectors: the work pool and its overrun, member records moving on a resize,
// the free flag (vector2n included) and XMEM, member-wise arithmetic against direct
// loops with its length errors, deep copies and fills.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "runtime/bopmem.h"
#include "runtime/vector2d.h"
#include "runtime/vector2n.h"
#include "runtime/vector3d.h"
#include "runtime/vector3n.h"
#include "tests/runtime/fatal_stop.h"

namespace {

TEST(WorkPool, BorrowReturnAndOverrun) {
  int64_t before = XMEM;
  vector2d pool = {};
  vector2d_resize(&pool, 0, 2);
  vectord *a = vector2d_get_work(&pool, 5);
  EXPECT_EQ(a->count, 5);
  a->data[4] = 7;
  vector2d_free_work(a);
  vectord *b = vector2d_get_work(&pool, 3);
  EXPECT_EQ(a, b);  // the idle member is lent again
  EXPECT_EQ(b->capacity, 5);
  vectord *c = vector2d_get_work(&pool, 8);
  EXPECT_NE(c, b);
  EXPECT_EQ(pool.count, 2);
  expect_fatal("WORKSPACE OVERRUN IN vector2d_get_work_0", [&] { vector2d_get_work(&pool, 1); });
  // A borrowed vector keeps the values its storage last held.
  vector2d_free_work(b);
  b = vector2d_get_work(&pool, 5);
  EXPECT_EQ(b->data[4], 7);
  // A borrow of n = 0 stays idle: the next borrow gets the same member.
  vector2d_free_work(b);
  vectord *z = vector2d_get_work(&pool, 0);
  EXPECT_EQ(vector2d_get_work(&pool, 2), z);
  // The owner's resize lowers the count; the members keep their storage.
  vector2d_resize(&pool, 0, 2);
  EXPECT_EQ(vector2d_get_work(&pool, 1), a);
  EXPECT_EQ(XMEM, before + 2 * 16 + (5 + 8) * 8);
  vector2d_free(&pool, 1);
  EXPECT_EQ(XMEM, before);
}

TEST(Nested, ResizeMovesMembersAndTheFreeFlag) {
  int64_t before = XMEM;
  vector2d v = {};
  vector2d_new(&v, 3, 3);
  for (int i = 0; i < 3; i++) vectord_resize(&v.data[i], i + 1, 10);
  double *storage = v.data[2].data;
  vector2d_resize(&v, 1, 1);  // only the count changes
  vector2d_resize(&v, 1, 8);  // members 2 and 3 move with their storage
  EXPECT_EQ(v.data[2].data, storage);
  EXPECT_EQ(v.data[2].count, 3);
  EXPECT_EQ(XMEM, before + 8 * 16 + 30 * 8);
  // With the flag clear only the outer storage goes: the members' bytes stay counted.
  vectord members[3] = {v.data[0], v.data[1], v.data[2]};
  vector2d_free(&v, 0);
  EXPECT_EQ(XMEM, before + 30 * 8);
  for (vectord &m : members) vectord_free(&m);
  EXPECT_EQ(XMEM, before);

  vector2d x2 = {};
  vector2d_new(&x2, 0, 1);
  expect_fatal("NEW VECTOR2 ALREADY ALLOCATED IN vector2d_new_0", [&] { vector2d_new(&x2, 0, 1); });
  vector2d_free(&x2, 1);
  EXPECT_EQ(XMEM, before);
}

TEST(Nested, NodeListsFreeEveryMemberTheyHold) {
  // Members beyond the count keep their storage through a resize; freeing with the
  // flag must release them too, or XMEM drifts and the storage leaks.
  int64_t before = XMEM;
  vector2n v = {};
  vector2n_resize(&v, 4, 4);
  for (int i = 0; i < 4; i++) vectorn_resize(&v.data[i], 5, 5);
  vector2n_resize(&v, 1, 1);
  EXPECT_EQ(v.count, 1);
  vector2n_free(&v, 1);
  EXPECT_EQ(XMEM, before);
  vector3n w = {};
  vector3n_resize(&w, 1, 3);
  vector2n_resize(&w.data[2], 1, 2);
  vectorn_resize(&w.data[2].data[1], 9, 9);
  w.count = 0;
  vector3n_free(&w, 1);
  EXPECT_EQ(XMEM, before);
}

vector2d make2d(std::mt19937 &rng, const std::vector<int> &lens) {
  std::uniform_real_distribution<double> u(-2, 2);
  vector2d v = {};
  vector2d_resize(&v, int32_t(lens.size()), int32_t(lens.size()));
  for (size_t i = 0; i < lens.size(); i++) {
    vectord_resize(&v.data[i], lens[i], lens[i]);
    for (int k = 0; k < lens[i]; k++) v.data[i].data[k] = u(rng);
  }
  return v;
}

// The operations pass down member by member (one worked value is enough: each
// member is a vectord, tested on its own); results size themselves; copies are deep;
// counts that differ at any level stop.
TEST(NestedArithmetic, OperationsPassDownAndLengthsAreChecked) {
  int64_t before = XMEM;
  std::mt19937 rng(8);
  std::vector<int> lens = {3, 0, 5, 1};
  vector2d x = make2d(rng, lens), y = make2d(rng, lens), z = {};
  vector2d_zaxpy(&z, -0.5, &x, &y);
  vector2d_divto_0(&z, &y);
  vector2d_multo_1(&z, 4);
  vector2d_negate(&z);
  EXPECT_EQ(z.count, 4);
  const double x24 = x.data[2].data[4], y24 = y.data[2].data[4];
  EXPECT_DOUBLE_EQ(z.data[2].data[4], -((-0.5 * x24 + y24) / y24 * 4));
  vector2d small = {};
  vector2d_resize(&small, 1, 10);
  vector2d_sub(&small, &x, &y);
  EXPECT_EQ(small.count, 1) << "a result with room keeps its own count";
  EXPECT_EQ(small.data[2].data[4], x24 - y24);

  vector3d a = {}, b = {}, c = {};
  vector3d_resize(&a, 2, 2);
  vector2d_copyto_0(&a.data[0], &x);
  vector2d_copyto_0(&a.data[1], &y);
  vector3d_copyto_0(&b, &a);
  vector3d_addto_1(&b, 1.0);
  vector3d_mul(&c, &a, &b);
  EXPECT_EQ(c.data[1].data[2].data[3], y.data[2].data[3] * (y.data[2].data[3] + 1));
  x.data[0].data[0] = 99;  // the copies are deep
  EXPECT_NE(a.data[0].data[0].data[0], 99);
  vector3d_copyto_1(&c, 0.25);
  EXPECT_NEAR(vector3d_dot(&c, &c), 0.0625 * 2 * 9, 1e-15);

  vector3d one = {};
  vector3d_resize(&one, 1, 1);
  expect_fatal("VECTOR3 LENGTH ERROR IN vector3d_add_0", [&] { vector3d_add(&c, &a, &one); });
  vector3d_free(&one, 1);
  expect_fatal("VECTOR2 LENGTH ERROR IN vector2d_addto_0", [&] { vector2d_addto_0(&x, &small); });
  std::swap(y.data[1], y.data[2]);  // members of unequal counts
  expect_fatal("VECTOR2 LENGTH ERROR IN vector2d_dot_0", [&] { vector2d_dot(&x, &y); });
  expect_fatal("VECTOR LENGTH ERROR IN vectord_add_0", [&] { vector2d_add(&z, &x, &y); });
  b.data[0].count = 3;  // members of unequal counts one level down
  expect_fatal("VECTOR3 LENGTH ERROR IN vector3d_dot_0", [&] { vector3d_dot(&a, &b); });
  b.data[0].count = 4;

  for (vector2d *v : {&x, &y, &z, &small}) vector2d_free(v, 1);
  for (vector3d *v : {&a, &b, &c}) vector3d_free(v, 1);
  EXPECT_EQ(XMEM, before);
}

TEST(Nested, RandomSequencesLeaveNoMemoryBehind) {
  int64_t before = XMEM;
  std::mt19937 rng(123);
  for (int round = 0; round < 200; round++) {
    vector3d a = {}, b = {};
    int n = rng() % 4;
    vector3d_resize(&a, n, n + int(rng() % 3));
    for (int i = 0; i < a.capacity; i++) {
      int m = rng() % 3;
      vector2d_resize(&a.data[i], m, m + 1);
      for (int j = 0; j < m; j++) vectord_resize(&a.data[i].data[j], rng() % 5, 6);
    }
    vector3d_copyto_0(&b, &a);
    vector3d_zaxpy(&b, 2.0, &a, &a);
    vector3d_resize(&a, 0, a.capacity + int(rng() % 3));
    vector2d pool = {};
    vector2d_resize(&pool, 0, 3);
    std::vector<vectord *> busy;
    for (int k = 0; k < 10; k++) {
      if (busy.size() == 3) {  // every member lent: return one first
        vector2d_free_work(busy.back());
        busy.pop_back();
      }
      busy.push_back(vector2d_get_work(&pool, rng() % 9));
      if (busy.back()->count == 0 || rng() % 2) {
        vector2d_free_work(busy.back());
        busy.pop_back();
      }
    }
    vector2d_free(&pool, 1), vector3d_free(&a, 1), vector3d_free(&b, 1);
    if (rng() % 2) vector3d_free(&b, 1);  // a second free is harmless
  }
  EXPECT_EQ(XMEM, before);
}

}  // namespace
