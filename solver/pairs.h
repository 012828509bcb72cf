// pairs: double arithmetic two lanes at a time. The build lets floating-point
// operations trap, so the compiler leaves such loops scalar; these explicit pairs do
// the same IEEE operations per lane, so each lane gets the bits of the scalar loop.
#pragma once
#include <cstdint>

typedef double pair2 __attribute__((vector_size(16), aligned(8), may_alias));
inline pair2 load2(const double *a) { return *reinterpret_cast<const pair2 *>(a); }
inline void store2(double *a, pair2 v) { *reinterpret_cast<pair2 *>(a) = v; }

// acc[j] += a[j] * s for j < m.
inline void add_scaled(double *acc, const double *a, double s, int32_t m) {
  pair2 u = {s, s};
  int32_t j = 0;
  for (; j + 2 <= m; j += 2) store2(acc + j, load2(acc + j) + load2(a + j) * u);
  if (j < m) acc[j] += a[j] * s;
}
