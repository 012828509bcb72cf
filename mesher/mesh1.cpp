// mesh1: graded points along a segment by equal steps of the cumulative interval count.
#include "mesher/mesh1.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>

#include "runtime/bopmem.h"
#include "runtime/rtlib.h"

// Sample positions, spacings and cumulative interval counts; their storage is kept
// between calls.
static vectord samples, sampled, counts;
static BopmemWork work([] {
  for (vectord *v : {&samples, &sampled, &counts}) vectord_free(v);
});

int mesh1_init() {
  TRACE("mesh1");
  return 0;
}

static void size(vectord *v, int32_t n) { vectord_resize(v, n, std::max(n, v->capacity)); }

void mesh1_spreadout(vectord *positions, vectord *spacings, double hstart, double hcap, double hend, double L,
                     double g) {
  TRACE("mesh1_spreadout_0");
  // 1. The end spacings.
  double hs = hstart > 0 ? hstart : hcap, he = hend > 0 ? hend : hcap;
  // 2. Samples; the count is held in 32 bits so that long segments do not wrap.
  double hmin = std::min({hs, he, hcap});
  double raw = std::trunc(L / hmin) + 1;
  int32_t n = raw > 2 ? int32_t(std::min(raw, 1e8)) : 2;
  size(&samples, n), size(&sampled, n), size(&counts, n);
  double *t = samples.data, *h = sampled.data, *N = counts.data;
  for (int32_t i = 0; i < n; i++) {
    t[i] = i * L / (n - 1);
    h[i] = std::min({g * t[i] + hs, g * (L - t[i]) + he, hcap});
  }
  // 3. Cumulative count of intervals.
  N[0] = 0;
  for (int32_t i = 1; i < n; i++) N[i] = N[i - 1] + (t[i] - t[i - 1]) / ((h[i] + h[i - 1]) / 2);
  // 4. The interval count, rounded half away from zero, held in 32 bits as the samples are.
  double total = N[n - 1];
  int32_t M = int32_t(std::clamp(std::round(total), 1.0, 1e8));
  size(positions, M), size(spacings, M);
  // 5. Equal steps of the count.
  int32_t k = 1;
  for (int32_t j = 1; j < M; j++) {
    double tau = j * total / M;
    while (k < n - 1 && N[k] <= tau) k++;
    double f = (tau - N[k - 1]) / (N[k] - N[k - 1]);
    positions->data[j - 1] = t[k - 1] + f * (t[k] - t[k - 1]);
    spacings->data[j - 1] = h[k - 1] + f * (h[k] - h[k - 1]);
  }
}
