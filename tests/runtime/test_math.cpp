// Special functions against high-precision reference values (computed with an
// arbitrary-precision library and checked against published tables), the fatal
// stops, and the random generator's sequence and distribution.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "runtime/math.h"
#include "tests/runtime/fatal_stop.h"

namespace {

struct MathInit {
  MathInit() { math_init(); }
} math_ready;

TEST(MathErfc, WithinTheApproximationsBound) {
  const double ref[][2] = {{-2.0, 1.9953222650189528}, {-0.3, 1.3286267594591274}, {0.0, 1.0},
                           {0.5, 0.4795001221869535},  {1.0, 0.15729920705028513}, {2.5, 0.0004069520174449589},
                           {4.0, 1.541725790028002e-08}};
  for (auto &r : ref) EXPECT_NEAR(math_erfc_0(r[0]), r[1], 1.5e-7) << r[0];
  EXPECT_EQ(math_erfc_0(10.0) + math_erfc_0(-10.0), 2.0);
  // The short-coefficient half form: erfc/2 within 1e-7 (its worst case is near 9e-8).
  for (auto &r : ref) EXPECT_NEAR(math_erfx_0(r[0]), r[1] / 2, 1e-7) << r[0];
  EXPECT_GT(math_erfx_0(10.0), 0.0);  // evaluated, not cut off, at exactly 10
  EXPECT_LT(math_erfx_0(10.0), 1e-40);
  EXPECT_EQ(math_erfx_0(-11.0) * 10 + math_erfx_0(11.0), 10.0);
}

TEST(MathGeometry, DirectionAngleAndCubeRoot) {
  EXPECT_DOUBLE_EQ(math_rangle_0(0, 0, 0, -1), 1.5 * M_PI);
  EXPECT_EQ(math_rangle_0(0, 0, 1, 0), 0.0);
  EXPECT_DOUBLE_EQ(math_rangle_0(1, 1, 0, 2), 0.75 * M_PI);
  EXPECT_NEAR(math_croot_0(27, 2), 3.0, 3e-9);
  EXPECT_NEAR(math_croot_0(-8, -1), -2.0, 2e-9);
  EXPECT_NEAR(math_croot_0(1e-6, 0.5), 0.01, 1e-11);
  EXPECT_EQ(math_croot_0(27, 0) + math_croot_0(0, 1.0), 0.0);  // the second would otherwise shrink the guess to 0/0 forever
}

TEST(MathGamma, LogGammaAndGamma) {
  const double ref[][2] = {{0.1, 2.252712651734206}, {0.5, 0.5723649429247001}, {1.0, 0.0},
                           {2.5, 0.2846828704729192}, {7.3, 7.147892523022249}, {10.0, 12.801827480081469},
                           {33.3, 82.60372358165495}, {150.0, 600.0094705553274}};
  for (auto &r : ref) EXPECT_NEAR(math_gamma_ln_0(r[0]), r[1], 2e-10 * std::max(1.0, fabs(r[1]))) << r[0];
  EXPECT_NEAR(math_gamma_0(5), 24.0, 24e-10);
  EXPECT_NEAR(math_gamma_0(0.5), sqrt(M_PI), 1e-9);
}

TEST(MathGamma, IncompleteGammaPandQ) {
  // a, x, P(a, x), Q(a, x), Gamma(a, x)
  const double ref[][5] = {
      {0.5, 0.2, 0.4729107431344619, 0.5270892568655381, 0.9342413831022497},
      {1.0, 3.0, 0.950212931632136, 0.049787068367863944, 0.049787068367863944},
      {2.5, 1.3, 0.2386347321549861, 0.7613652678450139, 1.0121136007032034},
      {2.5, 4.0, 0.8437643724222776, 0.1562356275777223, 0.20769032981158048},
      {5.0, 2.0, 0.05265301734371116, 0.9473469826562888, 22.73632758375093},
      {5.0, 9.0, 0.9450363585048951, 0.0549636414951049, 1.3191273958825176},
      {10.0, 10.0, 0.5420702855281478, 0.4579297144718522, 166173.53478754574},
      {0.1, 5.0, 0.9998560610341533, 0.000143938965846734, 0.0013693644597213195},
      {30.0, 25.0, 0.18210391597745512, 0.8178960840225449, 7.231642510539072e+30}};
  for (auto &r : ref) {
    EXPECT_NEAR(math_gammap(r[0], r[1]), r[2], 1e-8 * r[2]) << r[0] << " " << r[1];
    EXPECT_NEAR(math_gammaq(r[0], r[1]), r[3], 1e-8 * r[3]) << r[0] << " " << r[1];
    EXPECT_NEAR(gammaq1(r[0], r[1], math_gamma_ln_0(r[0])), r[3], 1e-8 * r[3]);
    EXPECT_NEAR(math_gamma_1(r[0], r[1]), r[4], 1e-8 * r[4]) << r[0] << " " << r[1];
  }
  for (double x : {0.0, 0.3, 1.0, 2.0, 7.5}) EXPECT_NEAR(math_gammap(1.0, x), 1 - exp(-x), 1e-9);
  EXPECT_EQ(math_gammap(3.0, 0.0), 0.0);
}

TEST(MathGamma, IllegalArgumentsAreFatal) {
  expect_fatal("Illegal argument IN math_gammap_0", [] { math_gammap(0, 1); });
  expect_fatal("Illegal argument IN math_gammaq_0", [] { math_gammaq(1, -1); });
  expect_fatal("Illegal argument IN gammaq1_0", [] { gammaq1(-1, 1, 0); });
  expect_fatal("X < 0 IN gammap_ser_0", [] { gammap_ser(1, -1, 0); });
  // 100 series terms cannot reach 1e-9 for a large x far above a.
  expect_fatal("Iteration failure IN gammap_ser_0", [] { gammap_ser(1, 500, 0); });
}

TEST(MathExpint, EnAgainstReferences) {
  const double ref[][3] = {{1, 1.0, 0.2193839343955203},  {3, 0.7, 0.1660611621609212},
                           {1, 0.01, 4.037929576538114},  {2, 0.5, 0.326643862324553},
                           {1, 3.0, 0.013048381094197037}, {5, 2.0, 0.02132240020232302},
                           {2, 10.0, 3.830240465631609e-06}, {4, 1.0, 0.08606249132456073},
                           {1, 1.0000001, 0.21938389760757981}};
  for (auto &r : ref) {
    double v = math_expint(static_cast<uint16_t>(r[0]), r[1]);
    EXPECT_NEAR(v, r[2], 1e-8 * r[2]) << r[0] << " " << r[1];
  }
  EXPECT_EQ((std::vector<double>{math_expint(2, 0), math_expint(3, 0), math_expint(0, 2)}),
            (std::vector<double>{1.0, 0.5, exp(-2.0) / 2}));
  for (auto [n, x] : {std::pair<uint16_t, double>{1, 0}, {0, 0}, {2, -1}})
    expect_fatal("Bad Arguments IN math_expint_0", [n = n, x = x] { math_expint(n, x); });
}

TEST(MathExpint, EiAgainstReferences) {
  const double ref[][2] = {{1e-20, -45.474486194979384},  {0.01, -4.017929465426669}, {1.0, 1.895117816355937},
                           {5.0, 40.18527535580318},      {20.0, 25615652.664056588}, {20.8, 54690609.37328253},
                           {21.0, 66127186.35548492},     {25.0, 3005950906.525549},  {40.0, 6039718263611242.0},
                           {90.0, 1.371416869507252e+37}};
  for (auto &r : ref) EXPECT_NEAR(math_expint_ei(r[0]), r[1], 1e-8 * fabs(r[1])) << r[0];
  EXPECT_EQ(math_expint_ei(1e-40), log(1e-40) + 0.5772156649);
  for (double x : {0.0, -3.0}) expect_fatal("Bad Argument IN math_expint_ei_0", [=] { math_expint_ei(x); });
}

// The first draws after start-up, from an independent implementation of the three
// generators and the shuffle table.
const double kFirstDraws[][2] = {{1, 0.5270386293875476},   {2, 0.661914078683182},   {3, 0.468535031045541},
                                 {4, 0.781111918175582},    {5, 0.16804175089955536}, {97, 0.9804190000577085},
                                 {98, 0.7827934048207611},  {99, 0.247148210332886},  {100, 0.46532569397042645},
                                 {1000, 0.5573028764182896}};

// Runs the test program again, as a new process, to dump its first n draws: a new
// process starts the generator from the state zero, as the program does.
std::vector<double> draws_in_new_process(int n, const char *tag) {
  std::string path = ::testing::TempDir() + "ranf_" + tag + "_" + std::to_string(getpid());
  pid_t pid = fork();
  if (pid == 0) {
    setenv("QUENDAR_RANF_OUT", path.c_str(), 1);
    setenv("QUENDAR_RANF_COUNT", std::to_string(n).c_str(), 1);
    execl("/proc/self/exe", "test_runtime", "--gtest_filter=MathRanfChild.Dump", nullptr);
    _exit(127);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  std::vector<double> v(n);
  FILE *f = fopen(path.c_str(), "rb");
  EXPECT_NE(f, nullptr);
  if (!f) return {};
  EXPECT_EQ(fread(v.data(), sizeof(double), n, f), static_cast<size_t>(n));
  fclose(f), remove(path.c_str());
  return v;
}

// The child's half of the test above; it does nothing in an ordinary run.
TEST(MathRanfChild, Dump) {
  const char *out = getenv("QUENDAR_RANF_OUT");
  if (!out) GTEST_SKIP() << "only run as the child of MathRanf.SameSequenceInEveryProcess";
  int n = atoi(getenv("QUENDAR_RANF_COUNT"));
  FILE *f = fopen(out, "wb");
  ASSERT_NE(f, nullptr);
  for (int i = 0; i < n; i++) {
    double r = math_ranf();
    fwrite(&r, sizeof r, 1, f);
  }
  fclose(f);
}

TEST(MathRanf, SameSequenceInEveryProcess) {
  std::vector<double> a = draws_in_new_process(1000, "a"), b = draws_in_new_process(1000, "b");
  ASSERT_EQ(a.size(), 1000u);
  EXPECT_EQ(a, b);
  for (auto &d : kFirstDraws) EXPECT_EQ(a[static_cast<int>(d[0]) - 1], d[1]) << "draw " << d[0];
}

TEST(MathRanf, UniformInTheUnitInterval) {
  // Chi-square over 100 equal bins of 10^6 draws: 99 degrees of freedom, whose 0.1%
  // upper point is 148.23; every value lies in [0, 1). (The first generator runs
  // through all its 259200 states, so the bins come out far more even than chance.)
  const int bins = 100, n = 1000000;
  std::vector<int> count(bins, 0);
  double lo = 1, hi = 0;
  for (int i = 0; i < n; i++) {
    double r = math_ranf();
    lo = std::min(lo, r);
    hi = std::max(hi, r);
    ASSERT_TRUE(r >= 0.0 && r < 1.0) << r;
    count[static_cast<int>(r * bins)]++;
  }
  double expect = static_cast<double>(n) / bins, chi2 = 0;
  for (int c : count) chi2 += (c - expect) * (c - expect) / expect;
  EXPECT_LT(chi2, 148.23);
  EXPECT_LT(lo, 1e-4);
  EXPECT_GT(hi, 1 - 1e-4);
}

TEST(MathRanf, SeedsRefillTheTableWithValuesInRange) {
  for (int32_t seed : {0, 1, 12345, -1, -259201, 2147483647, -2147483647 - 1}) {
    math_seed_ranf_0(seed);
    for (int i = 0; i < 300; i++) {
      double r = math_ranf();
      ASSERT_TRUE(r >= 0.0 && r < 1.0) << seed;
    }
  }
  math_seed_ranf_0(0);
}

}  // namespace
