// Equation analysis of parsed descriptors: the trees of the weak form, the switches it
// sets, its errors and its debug-log transcript.
#include "domain/domain.h"
#include "domain/edges.h"
#include "domain/joints.h"
#include "domain/regions.h"
#include "model/bcs.h"
#include "model/buildeq.h"
#include "model/treemods.h"
#include "plot/plot.h"
#include "tests/model/symfix.h"
#include "tests/reader/actions.h"

namespace {

struct Analysis : Actions {
  std::string log;  // the debug log of the last analysis
  // Parses the descriptor, gives the domain the include regions, and analyses it:
  // "ok" or the error's message.
  std::string analyse(const std::string &source, int regions = 1) {
    std::string r = parse(source);
    return r == "ok" ? run(regions) : "parse: " + r;
  }
  std::string run(int regions = 1) {
    Domain *d = p->mesh.domain;
    for (int k = d->regions.count; k < regions; k++) regions_new_region(&d->regions, 0, 0, 0);
    DebugCapture capture;
    pde *q = p;
    std::string error = reported_error(Actions::log, "analyse", [q] { buildeq_analyze_eq(q); });
    log = capture.text();
    return error.empty() ? "ok" : error;
  }
  equation &eq(int k = 1) { return *p->formulas.equations.items[k - 1]; }
};

}  // namespace

TEST_F(Analysis, PoissonTranscript) {
  ASSERT_EQ(analyse("VARIABLES u EQUATIONS div(grad(u)) + 4 = 0"), "ok") << log;
  EXPECT_EQ(show(eq().source.data[0]), "integral(-4)");
  EXPECT_EQ(eq().timeint.count, 0);
  EXPECT_EQ(p->nonlinear, 0);
  EXPECT_EQ(p->formulas.initregion.data[0].data[0]->opcode, op::realzero);  // no initial value: 0
  expect_golden("analysis_poisson.dbg", log);
}

TEST_F(Analysis, SwitchesAndLists) {
  ASSERT_EQ(analyse("VARIABLES u EQUATIONS div(u*grad(u)) = 0"), "ok") << log;
  EXPECT_EQ(p->nonlinear, 1);
  ASSERT_EQ(analyse("VARIABLES u EQUATIONS div(grad(u)) = dt(u)"), "ok") << log;
  ASSERT_EQ(eq().timeint.count, 1);
  EXPECT_NE(eq().timeint.data[0], nullptr);
  EXPECT_EQ(eq().timejac.data[0].count, 1);
  ASSERT_EQ(analyse("SELECT upwind VARIABLES u EQUATIONS div(grad(u)) - 3*dx(u) - dy(u) = 0"), "ok") << log;
  EXPECT_EQ(show(eq().velocity.data[0]), "vector(-3,-1)");
  EXPECT_EQ(show(eq().diffusion.data[0]), "2");
  EXPECT_EQ(p->symmetric, 0);
  // Constraint building leaves integrals differentiated inside; scalar building alone does not.
  EXPECT_EQ(p->difintegrals, 0);
  ASSERT_EQ(analyse("VARIABLES u EQUATIONS div(grad(u)) = 0 CONSTRAINTS integral(u) = 1"), "ok") << log;
  EXPECT_EQ(p->difintegrals, 1);
  EXPECT_EQ(p->formulas.constraints.items[0]->perregion.data[0].count, 1);
  // A third-order equation is taken by parts as a second-order one, not dropped.
  ASSERT_EQ(analyse("VARIABLES u EQUATIONS dx(dxx(u)) = 1"), "ok") << log;
  EXPECT_EQ(show(eq().volume.data[0]), "negateop(integral1(u1.11))");
}

TEST_F(Analysis, PlaneStressCouplesTheDisplacements) {
  ASSERT_EQ(analyse("VARIABLES U V DEFINITIONS nu = 0.3 G = 1/(1-nu^2) C12 = G*nu C33 = G*(1-nu)/2\n"
                    "Sx = G*dx(U) + C12*dy(V) Sy = C12*dx(U) + G*dy(V) Txy = C33*(dy(U) + dx(V))\n"
                    "EQUATIONS U: dx(Sx) + dy(Txy) = 0 V: dx(Txy) + dy(Sy) = 0"),
            "ok")
      << log;
  for (int e = 1; e <= 2; e++) {
    ASSERT_EQ(eq(e).voljac.count, 1);
    ASSERT_EQ(eq(e).voljac.data[0].count, 2);
    for (int k = 0; k < 2; k++) EXPECT_NE(show(eq(e).voljac.data[0].data[k]), "0") << e << " " << k;
  }
  EXPECT_EQ(p->nonlinear, 0);
}

TEST_F(Analysis, CylindricalWeights) {
  ASSERT_EQ(parse("COORDINATES ycylinder VARIABLES u DEFINITIONS g = sin(z) EQUATIONS div(grad(u)) = 0 "
                  "BOUNDARIES REGION 1 START(1,0) NATURAL(u) = g LINE TO (2,0) NATURAL(u) = 0 LINE TO (2,1) TO (1,1) "
                  "TO FINISH"),
            "ok");
  prepare_domain();
  p->cse = 0;  // plain trees, without shared subexpressions
  ASSERT_EQ(run(), "ok") << log;
  bc &c = *p->formulas.bcs.items[0];
  ASSERT_EQ(c.regions.count, 1);
  EXPECT_EQ(show(c.lists[1].data[0]), "bintegral(mulop(sinf(Y),X))");
  // The volume element is r, not the angular factor times r.
  EXPECT_EQ(show(eq().volume.data[0]), "negateop(addop(integral1(mulop(X,u1.1)),integral2(mulop(X,u1.2))))");
}

TEST_F(Analysis, BoundaryConditionsInValueForm) {
  // A value depending on u on two edges of region 1, a constant value on a third.
  ASSERT_EQ(parse("VARIABLES u DEFINITIONS h = u^2/4 c = 3 EQUATIONS div(grad(u)) = 0 BOUNDARIES REGION 1 "
                  "START(0,0) VALUE(u) = h LINE TO (1,0) TO (1,1) VALUE(u) = c LINE TO (0,1) NATURAL(u) = 0 "
                  "LINE TO FINISH"),
            "ok");
  prepare_domain();
  p->cse = 0;
  p->basis = 0;  // no trial basis: the derivative of u by u is 1
  ASSERT_EQ(run(), "ok") << log;
  bc &v = *p->formulas.bcs.items[0], &f = *p->formulas.bcs.items[1];
  ASSERT_EQ(v.regions.count, 1);  // two edges, one region
  EXPECT_EQ(v.regions.data[0], 1);
  EXPECT_EQ(show(v.lists[1].data[0]), "subop(u1,mulop(square(u1),0.25))");
  EXPECT_EQ(show(v.perregion.data[0].data[0]), "subop(1,mulop(0.5,u1))");
  EXPECT_EQ(show(f.lists[1].data[0]), "3");
  EXPECT_EQ(show(f.perregion.data[0].data[0]), "0");
}

TEST_F(Analysis, FitsAndInitialValuesInEveryRegion) {
  // The equation refers to s only; s depends on q, which the closure adds.
  ASSERT_EQ(analyse("VARIABLES u DEFINITIONS q = integral(u) s = integral(q*u) EQUATIONS div(grad(u)) = s", 2), "ok")
      << log;
  fitlist &fits = p->formulas.fits;
  ASSERT_GE(fits.count, 1);
  for (int r = 0; r < 2; r++) {
    EXPECT_NE(fits.items[0]->byregion.data[r], nullptr) << r;
    EXPECT_EQ(show(p->formulas.initregion.data[0].data[r]), "0") << r;
  }
  EXPECT_EQ(p->fitlist.count, 2);
}

TEST_F(Analysis, Errors) {
  EXPECT_EQ(analyse("VARIABLES u DEFINITIONS a b a = b + 1 b = a EQUATIONS div(grad(u)) = a"), "Recursive Definition of A");
  EXPECT_EQ(analyse("VARIABLES u DEFINITIONS k = 1 EQUATIONS k = 0"), "Equation is Empty in Region 1");
  std::string nest = "VARIABLES u DEFINITIONS f0(a) = a";
  for (int k = 1; k <= 11; k++) nest += " f" + std::to_string(k) + "(a) = f" + std::to_string(k - 1) + "(a)";
  EXPECT_EQ(analyse(nest + " EQUATIONS div(grad(u)) = f11(u)"), "Recursive Evaluation");
  // Ten nested calls are fine, and the frames of the abandoned expansion are gone.
  EXPECT_EQ(analyse(nest + " EQUATIONS div(grad(u)) = f9(u)"), "ok") << log;
}

TEST_F(Analysis, TimeTermsAndTheirJacobian) {
  ASSERT_EQ(parse("VARIABLES u EQUATIONS div(grad(u)) = dt(u) + u*dt(u)"), "ok");
  p->timedep = 1, p->cse = 0;
  ASSERT_EQ(run(), "ok") << log;
  // The residual holds the time derivative; its Jacobian the coefficient (1 + u) of the
  // time derivative of the trial function.
  EXPECT_EQ(show(eq().timeint.data[0]), "negateop(integral(addop(vardot,mulop(u1,vardot))))");
  EXPECT_EQ(show(eq().timejac.data[0].data[0]), "negateop(integral(addop(febasis,mulop(u1,febasis))))");
}

TEST_F(Analysis, PlotExpressionsPerRegion) {
  ASSERT_EQ(analyse("VARIABLES u DEFINITIONS q = integral(u) EQUATIONS div(grad(u)) = 1 "
                    "PLOTS CONTOUR(dx(u) + q) REPORT(q)", 2),
            "ok")
      << log;
  ASSERT_EQ(p->plotrecs.count, 1);
  plotrec &pr = p->plotrecs.data[0];
  ASSERT_EQ(pr.compiled.count, 1);
  ASSERT_EQ(pr.compiled.data[0].count, 2);
  for (int r = 0; r < 2; r++) EXPECT_TRUE(treemods_find_op(pr.compiled.data[0].data[r], op::volint)) << r;
  ASSERT_EQ(pr.reportcompiled.count, 1);
  EXPECT_TRUE(treemods_find_op(pr.reportcompiled.data[0], op::volint));
  EXPECT_EQ(pr.fits.count, 1);
}
