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
  double decay(int n, double end, double errlim, bool fixdt = false, double changelim = 2.0, bool nonlinear = false) {
    std::string src = "VARIABLES u EQUATIONS div(grad(u)) = dt(u) BOUNDARIES REGION 1 START(0,0) "
                      "VALUE(u) = 0 LINE TO (1,0) TO (1,1) TO (0,1) TO FINISH TIME 0 TO " +
                      std::to_string(end);
    EXPECT_EQ(setup(src), "ok");
    p->timedep = 1;
    grid(n, n, tri6);
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
      p->solution.data[0].data[i - 1] = std::sin(M_PI * nd.x) * std::sin(M_PI * nd.y);
      if (std::fabs(nd.x - 0.5) < 1e-9 && std::fabs(nd.y - 0.5) < 1e-9) centre = i;
    }
    EXPECT_GT(centre, 0);
    int32_t phase = 0;
    HookScope hook;
    pde *q = p;
    EXPECT_EQ(except_catch("evolve", [&] { phase = timsolve_evolve(q, 0); }), 0);
    EXPECT_EQ(phase, 8);
    EXPECT_NEAR(p->time, end, 1e-12);
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
