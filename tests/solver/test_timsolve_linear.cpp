// Time steps of problems whose residual is affine in the unknowns with fixed
// coefficients: which problems are admitted, the residual formed from the stored
// matrices against the one swept over the cells, and the answers of problems that must
// not take that path (time-dependent coefficients, sources and walls, nonlinear terms)
// against their analytic solutions.
#include "solver/timsolve.h"
#include "tests/solver/timestep.h"

namespace {

const char *const wall = " BOUNDARIES REGION 1 START(0,0) VALUE(u) = 0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH"
                         " TIME 0 TO 0.1";

struct FixedLinear : Timestep {
  // The problem's residual forms from the stored matrices: "yes" or "no", and whether its
  // sources stand too. An integral of the unknown that only a report reads leaves it so.
  std::string admitted(const std::string &src) {
    if (setup(src) != "ok") return "analysis failed";
    grid(2, 2, tri6);
    p->timedep = 1;
    return std::string(coupling_fixed_linear(p) ? "yes" : "no") + (coupling_fixed_source(p) ? "" : ", sources move");
  }
  // The centre value after a run of the problem to t from u0.
  template <class F> double centre(const std::string &src, double end, F u0, bool nonlinear = false) {
    EXPECT_EQ(setup(src), "ok");
    grid(8, 8, tri6);
    return run(end, 1e-5, false, 2.0, nonlinear, u0, 0.5, 0.5);
  }
  ~FixedLinear() override { timsolve_sweep = 0; }
};

// f on a fresh problem of its own.
template <class F> void fresh(F f) {
  struct One : FixedLinear {
    void TestBody() override {}
  } t;
  One::SetUpTestSuite();
  t.SetUp();
  f(t);
  t.TearDown();
}

double mode(double x, double y) { return std::sin(M_PI * x) * std::sin(M_PI * y); }

TEST(FixedLinearProblems, Admitted) {
  struct Case { std::string equation; const char *conditions, *want; };
  const char *robin = " BOUNDARIES REGION 1 START(0,0) VALUE(u) = 1 + x LINE TO (1,0) NATURAL(u) = -2*u LINE TO (1,1)"
                      " TO (0,1) TO FINISH TIME 0 TO 0.1";
  const char *moving = " BOUNDARIES REGION 1 START(0,0) VALUE(u) = 0 LINE TO (1,0) NATURAL(u) = t LINE TO (1,1)"
                       " TO (0,1) TO FINISH TIME 0 TO 0.1";
  const char *squared = " BOUNDARIES REGION 1 START(0,0) VALUE(u) = 0 LINE TO (1,0) NATURAL(u) = -u*u LINE TO (1,1)"
                        " TO (0,1) TO FINISH TIME 0 TO 0.1";
  for (const Case &c : {Case{"div(grad(u)) = dt(u)", wall, "yes"},
                        Case{"div((2+x)*grad(u)) - 3*u + 1 + x = (1+y)*dt(u)", robin, "yes"},
                        Case{"div(grad(u)) + sin(10*t) = dt(u)", wall, "yes, sources move"},
                        Case{"div((1+t)*grad(u)) = dt(u)", wall, "no"},
                        Case{"div((1+u)*grad(u)) = dt(u)", wall, "no"},
                        Case{"div(grad(u)) - u*u = dt(u)", wall, "no"},
                        Case{"div(grad(u)) + ustep(u - 0.5) = dt(u)", wall, "no"},
                        Case{"div(grad(u)) = (1+u)*dt(u)", wall, "no"},
                        Case{"div(grad(u)) = dt(u)", moving, "no"},
                        Case{"div(grad(u)) = dt(u)", squared, "no"},
                        Case{"div(k*grad(u)) = dt(u)", wall, "no"},
                        Case{"div(m*grad(u)) = dt(u)", wall, "yes"},
                        Case{"div(grad(u)) - s = dt(u)", wall, "no"}})
    fresh([&](FixedLinear &t) {
      std::string src = "VARIABLES u DEFINITIONS k = 1 + t m = 2 + x s = INTEGRAL(u) EQUATIONS " + c.equation + c.conditions;
      EXPECT_EQ(t.admitted(src), c.want) << c.equation << c.conditions;
    });
}

// After a run of two coupled equations, at levels moved off the solution (the value
// nodes kept), the residual from the matrices and the swept one agree to rounding.
TEST_F(FixedLinear, ResidualFromTheMatricesIsTheSweptOne) {
  ASSERT_EQ(setup("VARIABLES u v EQUATIONS u: div((2+x)*grad(u)) - 3*u + v + 1 + x = (1+y)*dt(u)"
                  " v: div(grad(v)) + u - v = 2*dt(v) BOUNDARIES REGION 1 START(0,0) VALUE(u) = 1 + x VALUE(v) = 0"
                  " LINE TO (1,0) NATURAL(u) = -2*u NATURAL(v) = 0 LINE TO (1,1) TO (0,1) TO FINISH TIME 0 TO 0.02"),
            "ok");
  grid(6, 6, tri6);
  run(0.02, 1e-4, false, 2.0, false, mode, 0.5, 0.5);
  ASSERT_TRUE(coupling_fixed_linear(p));
  for (int k = 0; k < 2; k++) {
    std::vector<bool> held(p->mesh.nodes.count + 1, false);
    for (int32_t i = 0; i < p->valuenodes.data[k].count; i++) held[p->valuenodes.data[k].data[i]] = true;
    for (int32_t n = 1; n <= p->mesh.nodes.count; n++) {
      if (held[n]) continue;
      const MeshNode &nd = p->mesh.nodes.data[n - 1];
      p->solution.data[k].data[n - 1] += 0.3 * nd.x * nd.y + k;
      p->uold.data[k].data[n - 1] -= 0.2 * nd.y;
      p->udot.data[k].data[n - 1] += 5 * nd.x - 2 * k;
    }
  }
  ASSERT_TRUE(timsolve_step_residual(p, time_run.get(), p->told, p->time, 1));
  std::vector<double> fast(p->tresid.data, p->tresid.data + p->nt);
  timsolve_sweep = 1;
  ASSERT_FALSE(timsolve_step_residual(p, time_run.get(), p->told, p->time, 1));
  double most = 0, gap = 0;
  for (int32_t j = 0; j < p->nt; j++)
    most = std::max(most, std::fabs(fast[j])), gap = std::max(gap, std::fabs(fast[j] - p->tresid.data[j]));
  EXPECT_GT(most, 1e-3);
  EXPECT_LE(gap, 1e-12 * most) << gap << " of " << most;
}

// Both ways take the same steps to the same answer.
TEST(FixedLinearProblems, SweptAndFormedRunsAgree) {
  std::vector<double> u[2];
  double time[2];
  int32_t cycles[2];
  for (int k = 0; k < 2; k++)
    fresh([&](FixedLinear &t) {
      timsolve_sweep = uint8_t(k);
      double c = t.centre("VARIABLES u EQUATIONS div((2+x)*grad(u)) + 1 = dt(u) BOUNDARIES REGION 1 START(0,0)"
                          " VALUE(u) = y LINE TO (1,0) NATURAL(u) = -u LINE TO (1,1) TO (0,1) TO FINISH TIME 0 TO 0.05",
                          0.05, mode);
      EXPECT_GT(c, 0);
      pde *p = t.p;
      u[k].assign(p->solution.data[0].data, p->solution.data[0].data + p->mesh.nodes.count);
      time[k] = p->told, cycles[k] = int32_t(p->cycle);
    });
  EXPECT_EQ(cycles[0], cycles[1]);
  EXPECT_NEAR(time[0], time[1], 1e-13);
  ASSERT_EQ(u[0].size(), u[1].size());
  for (size_t i = 0; i < u[0].size(); i++) ASSERT_NEAR(u[0][i], u[1][i], 1e-10) << i;
}

// u = sin(pi x) sin(pi y) e^(-2 pi^2 (t + t^2 / 2)) under the coefficient 1 + t.
TEST_F(FixedLinear, TimeDependentCoefficientIsSwept) {
  double c = centre(std::string("VARIABLES u EQUATIONS div((1+t)*grad(u)) = dt(u)") + wall, 0.05, mode);
  EXPECT_NEAR(c / 0.3636241677, 1.0, 1e-3) << p->cycle;
  EXPECT_FALSE(timsolve_step_residual(p, time_run.get(), p->told, p->time, 1));
}

// u = sin(pi x) sin(pi y) (1 + t): the source moves with t while the residual forms
// from the matrices.
TEST_F(FixedLinear, TimeDependentSourceIsRebuiltEachStep) {
  double c = centre(std::string("VARIABLES u EQUATIONS div(grad(u)) + sin(pi*x)*sin(pi*y)*(1 + 2*pi^2*(1+t)) = dt(u)") +
                        wall,
                    0.1, mode);
  EXPECT_NEAR(c, 1.1, 2e-3) << p->cycle;
  EXPECT_TRUE(timsolve_step_residual(p, time_run.get(), p->told, p->time, 1));
}

// u = t + (x^2 + y^2) / 4, quadratic in space and linear in time, held on a moving wall:
// exact in the quadratic elements and steps; and the same with a nonlinear term whose
// source cancels it on the solution.
const char *const rising = " BOUNDARIES REGION 1 START(0,0) VALUE(u) = t + (x^2 + y^2)/4 LINE TO (1,0) TO (1,1)"
                           " TO (0,1) TO FINISH TIME 0 TO 0.1";
double bowl(double x, double y) { return (x * x + y * y) / 4; }

TEST_F(FixedLinear, MovingWallIsSwept) {
  EXPECT_NEAR(centre(std::string("VARIABLES u EQUATIONS div(grad(u)) = dt(u)") + rising, 0.1, bowl), 0.225, 1e-6);
  EXPECT_FALSE(timsolve_step_residual(p, time_run.get(), p->told, p->time, 1));
}

TEST_F(FixedLinear, NonlinearTermIsSwept) {
  std::string src = "VARIABLES u EQUATIONS div(grad(u)) + u*u - (t + (x^2 + y^2)/4)^2 = dt(u)";
  EXPECT_NEAR(centre(src + rising, 0.1, bowl, true), 0.225, 1e-5);
  EXPECT_FALSE(coupling_fixed_linear(p));
}

}  // namespace
