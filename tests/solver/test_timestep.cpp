// The time driver with the real assembly: the decaying mode of the unit square,
// u = sin(pi x) sin(pi y) e^(-2 pi^2 t), against the analytic centre value.
#include <cmath>

#include "control/control.h"
#include "solver/timsolve.h"
#include "tests/model/symfix.h"
#include "tests/solver/assembly.h"

namespace {

struct Timestep : Assembly {
  // Runs to ENDTIME on an n x n tri6 grid; returns u at the centre node.
  // The square's mode decaying to ENDTIME on an n x n tri6 grid; u at the centre.
  double decay(int n, double end, double errlim, bool fixdt = false, double changelim = 2.0, bool nonlinear = false) {
    std::string src = "VARIABLES u EQUATIONS div(grad(u)) = dt(u) BOUNDARIES REGION 1 START(0,0) "
                      "VALUE(u) = 0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH TIME 0 TO " +
                      std::to_string(end);
    EXPECT_EQ(setup(src), "ok");
    grid(n, n, tri6);
    return run(end, errlim, fixdt, changelim, nonlinear, [](double x, double y) {
      return std::sin(M_PI * x) * std::sin(M_PI * y);
    }, 0.5, 0.5);
  }
  // Runs from u0 to ENDTIME; returns u at the node (x, y).
  template <class F>
  double run(double end, double errlim, bool fixdt, double changelim, bool nonlinear, F u0, double x, double y) {
    p->timedep = 1;
    coupling_build_weights(p);
    coupling_set_method(p);
    p->errlim = errlim, p->starttime_value = 0, p->endtime = end, p->deltat = fixdt ? 0.001 : 0;
    p->fixdt = fixdt, p->tgrowth = 1.4, p->extrap = 1, p->nrupdate = 1, p->tnorm = 2, p->control2 = M_SQRT2;
    p->overshoot = 0.001, p->changelim = changelim, p->regrid = 0, p->haltdt = -1, p->nonlinear = nonlinear;
    p->iterate = 0;
    loading_map_matrix(p, 2);
    vector2d_resize(&p->solution, 1, 1);
    int32_t N = p->mesh.nodes.count, centre = 0;
    vectord_resize(&p->solution.data[0], N, N);
    for (int32_t i = 1; i <= N; i++) {
      const MeshNode &nd = p->mesh.nodes.data[i - 1];
      p->solution.data[0].data[i - 1] = u0(nd.x, nd.y);
      if (std::fabs(nd.x - x) < 1e-9 && std::fabs(nd.y - y) < 1e-9) centre = i;
    }
    EXPECT_GT(centre, 0);
    int32_t phase = 0;
    HookScope hook;
    pde *q = p;
    EXPECT_EQ(except_catch("evolve", [&] { phase = timsolve_evolve(q, 0); }), 0);
    EXPECT_EQ(phase, 8);
    EXPECT_NEAR(p->time, end, 1e-12);
    EXPECT_EQ(p->solution.data[0].count, N);
    return centre ? p->solution.data[0].data[centre - 1] : 0.0;
  }
};

}  // namespace

TEST_F(Timestep, DecayingModeAtHalfTime) {
  EXPECT_NEAR(decay(8, 0.05, 1e-5) / 0.3727078389, 1.0, 1e-3) << p->cycle << " steps";
}

TEST_F(Timestep, DecayingModeAtTenthTime) {
  EXPECT_NEAR(decay(8, 0.1, 1e-5) / 0.1389111331, 1.0, 1e-3) << p->cycle << " steps";
}

TEST_F(Timestep, ChangelimZeroUnderNonlinearConverges) {
  double u = decay(8, 0.05, 1e-5, false, 0.0, true);
  EXPECT_NEAR(u / 0.3727078389, 1.0, 1e-3) << p->cycle;
}

// u_t = div grad u on 0 <= x <= 8, u = 1 at x = 0 and 0 at x = 8 from u = 0: at t = 1
// u(x) = erfc(x / 2) and the integral is 2 / sqrt(pi) (the far end adds under 1e-8).
TEST_F(Timestep, SlabReachesTheErrorFunctionProfile) {
  ASSERT_EQ(setup("VARIABLES u EQUATIONS div(grad(u)) = dt(u) BOUNDARIES REGION 1 START(0,0) LINE TO (8,0) "
                  "VALUE(u) = 0 LINE TO (8,1) NATURAL(u) = 0 LINE TO (0,1) VALUE(u) = 1 LINE TO FINISH "
                  "TIME 0 TO 2"),
            "ok");
  grid(48, 1, tri6, 8, 1);
  plot_resize_1(&p->timerecs, 1, 1);
  vectord_resize(&p->timerecs.data[0].times, 1, 1);
  p->timerecs.data[0].times.data[0] = 1.0;  // the listed output time the run lands on
  p->endtime = 1.0;
  run(1.0, 1e-4, false, 2.0, false, [](double, double) { return 0.0; }, 0, 0);
  struct Case { double x, want; };
  for (Case c : {Case{0.5, 0.7236736098}, Case{1, 0.4795001222}, Case{2, 0.1572992071}}) {
    for (int32_t i = 1; i <= p->mesh.nodes.count; i++) {
      const MeshNode &nd = p->mesh.nodes.data[i - 1];
      if (std::fabs(nd.x - c.x) < 1e-9 && nd.y == 0) EXPECT_NEAR(p->solution.data[0].data[i - 1], c.want, 2e-3) << c.x;
    }
  }
  // The tri6 integral: a third of the area times the side-node values.
  double sum = 0;
  for (int32_t e = 1; e <= p->mesh.cells.count; e++) {
    const MeshCell &cell = p->mesh.cells.data[e - 1];
    const MeshNode *n = p->mesh.nodes.data;
    const MeshNode &a = n[cell.nodes.data[0] - 1], &b = n[cell.nodes.data[1] - 1], &c = n[cell.nodes.data[2] - 1];
    double area = std::fabs((b.x - a.x) * (c.y - a.y) - (c.x - a.x) * (b.y - a.y)) / 2;
    for (int j = 3; j < 6; j++) sum += area / 3 * p->solution.data[0].data[cell.nodes.data[j] - 1];
  }
  EXPECT_NEAR(sum / 1.1283791671, 1.0, 1e-3) << p->cycle << " steps";
}
