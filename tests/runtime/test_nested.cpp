// Nested vectors: the work pool and its overrun, member records moving on a resize,
// the free flag (vector2n included) and XMEM, member-wise arithmetic against direct
// loops with its length errors, deep copies, fills, references, and listing labels.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "runtime/bopmem.h"
#include "runtime/pointv2d.h"
#include "runtime/pointv3d.h"
#include "runtime/vector2d.h"
#include "runtime/vector2l.h"
#include "runtime/vector2n.h"
#include "runtime/vector2t.h"
#include "runtime/vector3d.h"
#include "runtime/vector3n.h"
#include "runtime/vector4d.h"
#include "runtime/vectorvd.h"
#include "tests/runtime/harness.h"

namespace {

template <class F> void expect_fatal(const char *text, F &&body) {
  HookScope hook;
  EXPECT_EQ(except_catch("home", body), EXCEPT_FATAL);
  EXPECT_STREQ(fatal_message.text, text);
  finish_report("home");
}

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

  vector3d w = {};
  vector3d_resize(&w, 2, 2);
  vector2d_resize(&w.data[1], 2, 2);
  vectord_resize(&w.data[1].data[1], 4, 4);
  vector3d_free(&w, 1);
  EXPECT_EQ(XMEM, before);
  vector2d x2 = {};
  vector2d_new(&x2, 0, 1);
  expect_fatal("NEW VECTOR2 ALREADY ALLOCATED IN vector2d_new_0", [&] { vector2d_new(&x2, 0, 1); });
  vector2d_free(&x2, 1);
  vector4d x4 = {};
  vector4d_new(&x4, 0, 1);
  expect_fatal("NEW VECTOR4 ALREADY ALLOCATED IN vector4d_new_0", [&] { vector4d_new(&x4, 0, 1); });
  vector4d_free(&x4, 1);
  vector3n x3 = {};
  vector3n_new(&x3, 0, 1);
  expect_fatal("NEW VECTOR3 ALREADY ALLOCATED IN vector3n_new_0", [&] { vector3n_new(&x3, 0, 1); });
  vector3n_free(&x3, 1);
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

TEST(NestedArithmetic, MemberWiseAgainstDirectLoops) {
  int64_t before = XMEM;
  std::mt19937 rng(8);
  std::vector<int> lens = {3, 0, 5, 1};
  vector2d x = make2d(rng, lens), y = make2d(rng, lens), z = {};
  vector2d_add(&z, &x, &y);
  EXPECT_EQ(z.count, 4);
  for (int i = 0; i < 4; i++)
    for (int k = 0; k < lens[i]; k++) EXPECT_EQ(z.data[i].data[k], x.data[i].data[k] + y.data[i].data[k]);
  vector2d_zaxpy(&z, -0.5, &x, &y);
  vector2d_divto_0(&z, &y);
  vector2d_multo_1(&z, 4);
  vector2d_negate(&z);
  double dot = 0, want = 0;
  for (int i = 0; i < 4; i++)
    for (int k = 0; k < lens[i]; k++) {
      double e = -((-0.5 * x.data[i].data[k] + y.data[i].data[k]) / y.data[i].data[k] * 4);
      EXPECT_DOUBLE_EQ(z.data[i].data[k], e);
      want += e * x.data[i].data[k];
    }
  dot = vector2d_dot(&z, &x);
  EXPECT_NEAR(dot, want, 1e-12);
  // A result with room keeps its own count.
  vector2d small = {};
  vector2d_resize(&small, 1, 10);
  vector2d_sub(&small, &x, &y);
  EXPECT_EQ(small.count, 1);
  EXPECT_EQ(small.data[2].data[4], x.data[2].data[4] - y.data[2].data[4]);

  // Three levels: x3 = [x, y], the same operations pass down.
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
  EXPECT_EQ(c.data[1].data[0].data[2], 0.25);
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

TEST(Nested, FourLevelsIntegerListsBitsAndPoints) {
  int64_t before = XMEM;
  vector4d q = {}, r = {};
  vector4d_resize(&q, 1, 1);
  vector3d_resize(&q.data[0], 1, 1);
  vector2d_resize(&q.data[0].data[0], 2, 2);
  vectord_resize(&q.data[0].data[0].data[1], 3, 3);
  vector4d_copyto_1(&q, 2);
  vector4d_copyto_0(&r, &q);
  vector4d_addto_0(&r, &q);
  EXPECT_EQ(r.data[0].data[0].data[1].data[2], 4);
  EXPECT_EQ(vector4d_dot(&r, &q), 24);
  vector4d_free(&q, 1);
  vector4d_free(&r, 1);

  vector2l l = {}, m = {};
  vector2l_resize(&l, 2, 2);
  vectorl_resize(&l.data[1], 3, 3);
  vector2l_copyto_1(&l, -7);
  vector2l_copyto_0(&m, &l);
  EXPECT_EQ(m.data[1].data[2], -7);
  vector2l_free(&l, 1);
  vector2l_free(&m, 1);

  vector2t t = {}, u = {};
  vector2t_resize(&t, 1, 1);
  vectort_resize(&t.data[0], 40, 40);
  vector2t_copyto_1(&t, 1);
  vector2t_copyto_0(&u, &t);
  EXPECT_EQ(vectort_count(&u.data[0]), 40);
  vector2t_free(&t, 1);
  vector2t_free(&u, 1);

  pointv3d p = {}, s = {};
  pointv3d_resize(&p, 1, 2);
  pointv2d_resize(&p.data[1], 1, 1);  // beyond the count: still freed
  pointv2d_resize(&p.data[0], 1, 1);
  pointd_one_more_1(&p.data[0].data[0], 1, 2);
  pointv3d_copyto_0(&s, &p);
  EXPECT_EQ(s.data[0].data[0].data[0].y, 2);
  pointv3d_free(&p, 1);
  pointv3d_free(&s, 1);
  EXPECT_EQ(XMEM, before);
}

TEST(Nested, ReferencesToVectorsHeldElsewhere) {
  int64_t before = XMEM;
  vector2d owner = {};
  vector2d_resize(&owner, 3, 3);
  for (int i = 0; i < 3; i++) vectord_resize(&owner.data[i], 2, 2);
  vectorvd refs = {};
  vectorvd_resize(&refs, 2, 2);
  refs.data[0] = &owner.data[2];
  refs.data[1] = &owner.data[0];
  EXPECT_EQ(XMEM, before + 3 * 16 + 6 * 8 + 2 * 16);  // slots count as records
  vectorvd_resize(&refs, 2, 5);
  EXPECT_EQ(refs.data[0], &owner.data[2]);
  refs.data[0]->data[1] = 4;
  EXPECT_EQ(owner.data[2].data[1], 4);
  vectorvd_free(&refs, 0);  // owns only its slots
  EXPECT_EQ(owner.data[2].capacity, 2);
  vectorvd_new(&refs, 0, 1);
  expect_fatal("NEW VECTORV ALREADY ALLOCATED IN vectorvd_new_0", [&] { vectorvd_new(&refs, 0, 1); });
  vectorvd_free(&refs, 0);
  vector2d_free(&owner, 1);
  EXPECT_EQ(XMEM, before);
}

TEST(Nested, ListingLabels) {
  vector2d u = {};
  vector2d_resize(&u, 2, 2);
  vectord_one_more(&u.data[0], 1.5);
  FILE *f = tmpfile();
  vector2d_print(f, &u, "u");
  vector3d w = {};
  vector3d_resize(&w, 1, 1);
  vector2d_resize(&w.data[0], 2, 2);
  vector3d_print(f, &w, "w");
  rewind(f);
  std::vector<std::string> heads;
  char line[256];
  while (fgets(line, sizeof line, f))
    if (std::string(line).rfind("        ", 0) == 0) heads.push_back(line);
  fclose(f);
  EXPECT_EQ(heads, (std::vector<std::string>{"        u[1]\n", "        u[2]\n", "        w[1][1]\n",
                                             "        w[1][2]\n"}));
  vector2d_free(&u, 1);
  vector3d_free(&w, 1);
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
    vector2d_free(&pool, 1);
    vector3d_free(&a, 1);
    vector3d_free(&b, 1);
    if (rng() % 2) vector3d_free(&b, 1);  // a second free is harmless
  }
  EXPECT_EQ(XMEM, before);
}

}  // namespace
