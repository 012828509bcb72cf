// The time driver with the real assembly: the decaying mode of the unit square,
// u = sin(pi x) sin(pi y) e^(-2 pi^2 t), against the analytic centre value; the slab
// against the error-function profile.
#include "plot/plot.h"
#include "tests/solver/timestep.h"

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

// The step-residual measure falls as the grid is refined.
TEST(TimestepMeasure, StepResidualMeasureFallsWithTheMesh) {
  struct One : Timestep {
    void TestBody() override {}
  };
  double rms[2];
  for (int k = 0; k < 2; k++) {
    One t;
    One::SetUpTestSuite();
    t.SetUp();
    t.galerkin = 2;
    t.decay(k ? 8 : 4, 0.01, 1e-4);
    EXPECT_EQ(t.p->estimator, 1);
    EXPECT_GT(t.p->maxerr, 0);
    rms[k] = t.p->rmserr;
    t.TearDown();
  }
  EXPECT_GT(rms[0], 0);
  EXPECT_LT(rms[1], rms[0] / 2) << rms[0] << " " << rms[1];
}

// With regridding every level follows the refined mesh and the answer holds.
TEST_F(Timestep, RegriddedLevelsFollowTheMesh) {
  regrid = 1;
  double u = decay(4, 0.05, 1e-4);
  int32_t N = p->mesh.nodes.count;
  for (vector2d *v : {&p->solution, &p->um2, &p->um1, &p->uold, &p->udotold, &p->udot})
    EXPECT_EQ(v->data[0].count, N);
  EXPECT_NEAR(u / 0.3727078389, 1.0, 5e-3) << p->cycle << " steps, " << N << " nodes";
}
