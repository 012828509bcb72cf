// The vector kernels (dot product, z = a x + y, in-place update, norms) against a
// plain std::vector loop doing the same work, at 10^3 to 10^7 elements. Bytes
// counted are those read and written, so the rates are memory throughput.
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "runtime/vectord.h"

namespace {

// The result vector is sized and written before timing, as std::vector's value
// initialisation writes its own: a result left to the first timed call would have
// its fresh pages faulted in inside the loop (at 10^6-10^7 elements, with few
// iterations, that alone made zaxpy look a fifth slower than the plain loop).
struct Pair {
  vectord x = {}, y = {}, z = {};
  explicit Pair(int64_t n) {
    vectord_new(&x, int32_t(n), int32_t(n));
    vectord_new(&y, int32_t(n), int32_t(n));
    vectord_new(&z, int32_t(n), int32_t(n));
    vectord_copyto_1(&z, 0.0);
    for (int64_t i = 0; i < n; i++) x.data[i] = 1.0 + double(i % 7), y.data[i] = 0.5 - double(i % 3);
  }
  ~Pair() {
    vectord_free(&x);
    vectord_free(&y);
    vectord_free(&z);
  }
};

struct StdPair {
  std::vector<double> x, y, z;
  explicit StdPair(int64_t n) : x(n), y(n), z(n) {
    for (int64_t i = 0; i < n; i++) x[i] = 1.0 + double(i % 7), y[i] = 0.5 - double(i % 3);
  }
};

void rate(benchmark::State &st, int64_t bytes_per_element) {
  st.SetBytesProcessed(int64_t(st.iterations()) * st.range(0) * bytes_per_element);
}

void Dot_vectord(benchmark::State &st) {
  Pair p(st.range(0));
  for (auto _ : st) benchmark::DoNotOptimize(vectord_dot(&p.x, &p.y));
  rate(st, 16);
}
void Dot_std(benchmark::State &st) {
  StdPair p(st.range(0));
  for (auto _ : st) {
    double s = 0.0;
    for (size_t i = 0; i < p.x.size(); i++) s += p.x[i] * p.y[i];
    benchmark::DoNotOptimize(s);
  }
  rate(st, 16);
}

void Zaxpy_vectord(benchmark::State &st) {
  Pair p(st.range(0));
  for (auto _ : st) {
    vectord_zaxpy(&p.z, 0.5, &p.x, &p.y);
    benchmark::ClobberMemory();
  }
  rate(st, 24);
}
void Zaxpy_std(benchmark::State &st) {
  StdPair p(st.range(0));
  for (auto _ : st) {
    for (size_t i = 0; i < p.x.size(); i++) p.z[i] = 0.5 * p.x[i] + p.y[i];
    benchmark::ClobberMemory();
  }
  rate(st, 24);
}

// x = x + y (the in-place update of an iteration), alternating with x = x - y so
// that the values stay bounded.
void Addto_vectord(benchmark::State &st) {
  Pair p(st.range(0));
  bool add = true;
  for (auto _ : st) {
    if (add) vectord_addto_0(&p.x, &p.y);
    else vectord_subto_0(&p.x, &p.y);
    add = !add;
    benchmark::ClobberMemory();
  }
  rate(st, 24);
}
void Addto_std(benchmark::State &st) {
  StdPair p(st.range(0));
  bool add = true;
  for (auto _ : st) {
    if (add)
      for (size_t i = 0; i < p.x.size(); i++) p.x[i] = p.x[i] + p.y[i];
    else
      for (size_t i = 0; i < p.x.size(); i++) p.x[i] = p.x[i] - p.y[i];
    add = !add;
    benchmark::ClobberMemory();
  }
  rate(st, 24);
}

void NormL2_vectord(benchmark::State &st) {
  Pair p(st.range(0));
  for (auto _ : st) benchmark::DoNotOptimize(vectord_norm_l2(&p.x));
  rate(st, 8);
}
void NormL2_std(benchmark::State &st) {
  StdPair p(st.range(0));
  for (auto _ : st) {
    double s = 0.0;
    for (double v : p.x) s += v * v;
    benchmark::DoNotOptimize(s);
  }
  rate(st, 8);
}

void NormL1_vectord(benchmark::State &st) {
  Pair p(st.range(0));
  for (auto _ : st) benchmark::DoNotOptimize(vectord_norm_l1(&p.x));
  rate(st, 8);
}
void NormL1_std(benchmark::State &st) {
  StdPair p(st.range(0));
  for (auto _ : st) {
    double s = 0.0;
    for (double v : p.x) s += std::fabs(v);
    benchmark::DoNotOptimize(s);
  }
  rate(st, 8);
}

// The index sort of near-ordered keys with a few percent ties, as the bandwidth
// reordering passes sort row centroids.
void Sortix_vectord(benchmark::State &st) {
  int32_t n = int32_t(st.range(0));
  vectord key = {};
  vectorl ix = {};
  vectord_new(&key, n, n);
  for (int32_t i = 0; i < n; i++) key.data[i] = double(i) + double((i * 7919) % 61) * 0.25 - double(i % 29 == 0);
  for (auto _ : st) vectord_sortix_1(&ix, &key);
  st.SetItemsProcessed(st.iterations() * n);
  vectord_free(&key);
  vectorl_free(&ix);
}
BENCHMARK(Sortix_vectord)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

#define SIZES RangeMultiplier(10)->Range(1000, 10000000)
BENCHMARK(Dot_vectord)->SIZES;
BENCHMARK(Dot_std)->SIZES;
BENCHMARK(Zaxpy_vectord)->SIZES;
BENCHMARK(Zaxpy_std)->SIZES;
BENCHMARK(Addto_vectord)->SIZES;
BENCHMARK(Addto_std)->SIZES;
BENCHMARK(NormL2_vectord)->SIZES;
BENCHMARK(NormL2_std)->SIZES;
BENCHMARK(NormL1_vectord)->SIZES;
BENCHMARK(NormL1_std)->SIZES;

}  // namespace
