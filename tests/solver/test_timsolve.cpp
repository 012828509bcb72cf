// The time-step loop on a scalar decay u' = -u (theta scheme) with scripted step
// ratios: first step and slope cut, output-time hits, accept and reject rules, growth
// limits, HALT, FIXDT, stops, empty ranges; the norm helpers, the third difference
// and the run-log line.
#include <gtest/gtest.h>

#include <cmath>
#include <deque>
#include <vector>

#include "control/pdedat.h"
#include "model/pdedat_record.h"
#include "control/verdat.h"
#include "plot/plot.h"
#include "solver/timsolve.h"
#include "tests/reader/problem.h"
#include "tests/runtime/fatal_stop.h"

namespace {

struct Script {
  std::deque<double> ratios;          // check_timestep answers (empty: 0.5)
  std::vector<double> steps;          // t_new of every attempt
  std::vector<double> measured;       // t_new at each end-of-step measure
  double slope = 0;                   // initial slope answered
  int checks = 0;
  bool stop_on_check = false;
  double always = 0;                  // a ratio answered at every check (0: none)
};
Script *run = nullptr;

double &u(vector2d &v) { return v.data[0].data[0]; }

void layout(pde *p, TimeRun *) {
  for (vector2d *v : {&p->solution, &p->um2, &p->um1, &p->uold, &p->udotold, &p->udot}) {
    if (v->count == 0) vector2d_resize(v, 1, 1);
    vectord_resize(&v->data[0], 1, 1);
  }
  u(p->solution) = 1.0;
}
double first_udot(pde *p, TimeRun *, double) {
  u(p->udot) = -u(p->solution);
  return run->slope;
}
void start_residual(pde *, TimeRun *, double, double) {}
int32_t onestep(pde *p, TimeRun *, double t, double tnew, bool) {
  double h = tnew - t;
  run->steps.push_back(tnew);
  u(p->solution) = u(p->uold) * (1 - 0.5 * h) / (1 + 0.5 * h);
  u(p->udot) = (u(p->solution) - u(p->uold)) / h;
  return 1;
}
double check(pde *p, TimeRun *) {
  run->checks++;
  if (run->stop_on_check) p->stop = 1;
  if (run->always > 0) {
    if (run->checks > 200) p->stop = 1;  // a loop that would never end is stopped
    return run->always;
  }
  if (run->ratios.empty()) return 0.5;
  double r = run->ratios.front();
  run->ratios.pop_front();
  return r;
}
void measure(pde *p, TimeRun *, double, double tnew) {
  run->measured.push_back(tnew);
  p->rmserr = 1e-3;
}
int32_t regrid(pde *, TimeRun *, bool) { return 0; }

struct Timsolve : BatchProblem {
  Script r;
  timsolve_ops saved = timsolve_stepper;
  void SetUp() override {
    BatchProblem::SetUp();
    timsolve_stepper = {layout, first_udot, start_residual, onestep, check, measure, regrid};
    run = &r;
    p->starttime_value = 0;
    p->endtime = 1;
    p->deltat = 0.1;
    p->tgrowth = 1.4;
    p->errlim = 1e-3;
    p->haltdt = -1;
    p->regrid = 1;
  }
  void TearDown() override {
    timsolve_stepper = saved;
    BatchProblem::TearDown();
  }
  void listed(std::vector<double> times) {
    plot_resize_1(&p->timerecs, 1, 1);
    timerec *t = &p->timerecs.data[0];
    vectord_resize(&t->times, int32_t(times.size()), int32_t(times.size()));
    for (size_t k = 0; k < times.size(); k++) t->times.data[k] = times[k];
  }
};

void expect_steps(const std::vector<double> &got, const std::vector<double> &want) {
  ASSERT_GE(got.size(), want.size());
  for (size_t k = 0; k < want.size(); k++) EXPECT_NEAR(got[k], want[k], 1e-12) << "attempt " << k + 1;
}

}  // namespace

TEST_F(Timsolve, OutputTimeHitAndGrowthLimit) {
  // Mean ratio 0.25 would double the step; TGROWTH 1.4 holds it to 1.4 x. The step
  // ending 0.11 before the listed 0.35 (under 1.1 x 0.196) lands on it, and the next
  // proposal is the one made before the cut.
  listed({0.35});
  r.ratios = {0.25, 0.25, 0.25, 0.25};
  p->endtime = 0.6;
  EXPECT_EQ(timsolve_evolve(p, 0), 8);
  expect_steps(r.steps, {0.1, 0.24, 0.35, 0.546, 0.6});
  EXPECT_NEAR(p->time, 0.6, 1e-12);
  EXPECT_NEAR(u(p->solution), std::pow((1 - 0.05) / (1 + 0.05), 1) * (1 - 0.07) / (1 + 0.07) *
                                  (1 - 0.055) / (1 + 0.055) * (1 - 0.098) / (1 + 0.098) * (1 - 0.027) / (1 + 0.027),
              1e-12);
}

TEST_F(Timsolve, AcceptAndRejectRules) {
  struct Case { double ratio, next; int attempts; };  // the second attempt's step
  for (Case c : {Case{4.0, 0.05, 2}, Case{4.01, 0.05, 3}, Case{10000.5, 0.01, 3}, Case{2.0, 0.1 / std::sqrt(2.0), 2}}) {
    Script fresh;
    r = fresh;
    r.ratios = {c.ratio};
    p->endtime = 0.1 + (c.attempts == 3 ? c.next : 0) + c.next;
    EXPECT_EQ(timsolve_evolve(p, 0), 8) << c.ratio;
    ASSERT_GE(r.steps.size(), 2u) << c.ratio;
    if (c.attempts == 3) {
      expect_steps(r.steps, {0.1, c.next});  // the retry restarts from t = 0
      EXPECT_NEAR(r.measured.front(), c.next, 1e-15) << c.ratio;
    } else {
      expect_steps(r.steps, {0.1, 0.1 + c.next});
    }
  }
}

TEST_F(Timsolve, HaltFixdtSlopeCutAndEmptyRange) {
  {  // a retry step below HALT: phase 10, the stop request and the message
    r.ratios = {2e4};
    p->haltdt = 0.05;
    EXPECT_EQ(timsolve_evolve(p, 0), 10);
    EXPECT_EQ(p->stop, 1);
    EXPECT_EQ(r.steps.size(), 1u);
    std::string line = take_log();
    EXPECT_NE(line.substr(0, line.find('\n') + 1).find(" HALT: Timestep is below threshhold\n"), std::string::npos) << line;
  }
  {  // FIXDT: no slope cut, no step control, steps of DELTAT
    r = Script{};
    r.slope = 100;
    p->stop = p->error = 0;
    p->haltdt = -1;
    p->fixdt = 1;
    p->endtime = 0.3;
    EXPECT_EQ(timsolve_evolve(p, 0), 8);
    expect_steps(r.steps, {0.1, 0.2, 0.3});
    EXPECT_EQ(r.checks, 0);
    EXPECT_NEAR(u(p->solution), std::pow(0.95 / 1.05, 3), 1e-12);
  }
  {  // the initial slope cuts the first step to ERRLIM / slope
    r = Script{};
    r.slope = 100;
    p->fixdt = 0;
    p->endtime = 1e-5 + 1e-6;
    timsolve_evolve(p, 0);
    EXPECT_NEAR(r.steps.at(0), 1e-5, 1e-18);
  }
  {  // ENDTIME at STARTTIME and no DELTAT: no step, phase 8, first step 0.0001
    r = Script{};
    p->deltat = 0;
    p->endtime = 0;
    EXPECT_EQ(timsolve_evolve(p, 0), 8);
    EXPECT_TRUE(r.steps.empty());
    EXPECT_EQ(p->dt, 0.0001);
    EXPECT_EQ(u(p->solution), 1.0);
  }
}

TEST_F(Timsolve, EndlessRejectionsWithoutHaltEndWithTheMessage) {
  // Every step rejected, no HALT given: the retries shrink the step tenfold until it
  // no longer moves the time; the run ends with the HALT message, never with a step of 0.
  r.always = 1e6;
  EXPECT_EQ(timsolve_evolve(p, 0), 10);
  EXPECT_EQ(p->stop, 1);
  ASSERT_FALSE(r.steps.empty());
  EXPECT_GT(r.steps.back(), 0.0);
  EXPECT_LT(r.steps.size(), 30u);
  std::string line = take_log();
  EXPECT_NE(line.find(" HALT: Timestep is below threshhold\n"), std::string::npos) << line;
}

TEST_F(Timsolve, StopAfterRejectionReportsTheRestoredTime) {
  r.ratios = {0.5, 5e4};
  r.stop_on_check = true;  // the stop arrives during the first step control
  r.ratios = {5e4};
  EXPECT_EQ(timsolve_evolve(p, 0), 8);
  ASSERT_EQ(r.measured.size(), 1u);
  EXPECT_EQ(r.measured[0], 0.0);  // the solution is u(t), labelled t
  EXPECT_EQ(p->time, 0.0);
  EXPECT_EQ(u(p->solution), 1.0);
  EXPECT_EQ(p->dtnext, std::min(0.1 / std::sqrt(5e4), 1.4 * 0.01));
}

TEST(TimsolveHelpers, NormsThirdDifferenceAndLogLine) {
  struct Case { int sel; double w; };
  for (Case c : {Case{0, 9.0}, Case{1, 9.0}, Case{2, 81.0}, Case{3, 6561.0}, Case{4, 43046721.0}}) {
    EXPECT_DOUBLE_EQ(timsolve_weight(3.0, c.sel), c.w) << c.sel;
    EXPECT_DOUBLE_EQ(timsolve_unweight(c.w, c.sel), 3.0) << c.sel;
  }
  EXPECT_EQ(fatal_stop([] { timsolve_weight(1.0, 5); }), "Bad Norm Selector IN timsolve_weight");
  // The combination vanishes on quadratics and grows as the cube of the step on cubics.
  double a = -0.3, b = -0.1, c = 0.2;
  auto f2 = [](double s) { return 1 + 2 * s - 3 * s * s; };
  EXPECT_NEAR(timsolve_third_difference(a, b, c, f2(a), f2(b), f2(0), f2(c)), 0.0, 1e-14);
  auto f3 = [](double s) { return s * s * s; };
  double e1 = timsolve_third_difference(a, b, c, f3(a), f3(b), 0, f3(c));
  double e2 = timsolve_third_difference(a / 2, b / 2, c / 2, f3(a / 2), f3(b / 2), 0, f3(c / 2));
  EXPECT_NEAR(e1 / e2, 8.0, 1e-9);
  // The one-node scheme's local error on a quadratic is c^2 u'' / 2; centred it adds nothing.
  EXPECT_NEAR(timsolve_step_difference(1.0, a, b, c, f2(a), f2(b), f2(0), f2(c)), -3 * c * c, 1e-14);
  EXPECT_NEAR(timsolve_step_difference(0.0, a, b, c, f2(a), f2(b), f2(0), f2(c)), 0.0, 1e-14);
}

TEST_F(Timsolve, LogLine) {
  FILE *log = tmpfile();
  p->log = log;
  p->cycle = 3;
  p->time = 0.35;
  p->dt = 0.11;
  p->rmserr = 1.25e-4;
  timsolve_log_step(p);
  p->log = nullptr;
  rewind(log);
  char line[200] = {};
  ASSERT_TRUE(fgets(line, sizeof line, log));
  fclose(log);
  std::string s = line;
  std::string tail = s.substr(s.find("| ") + 2);
  EXPECT_EQ(tail.substr(0, tail.find(" MEM=")), "Step 3 Time= 0.350000 Dt= 0.110000 Nodes=0 Cells=0 RMS ERR= 1.250e-4") << s;
}

TEST_F(Timsolve, TimedOutputPositions) {
  // Record 1 lists times, record 2 is every 3 cycles.
  plot_resize_1(&p->timerecs, 2, 2);
  timerec *list = &p->timerecs.data[0], *cyc = &p->timerecs.data[1];
  vectord_resize(&list->times, 3, 3);
  list->times.data[0] = 0.2, list->times.data[1] = 0.5, list->times.data[2] = 0.9;
  cyc->cycle = 3;
  p->endtime = 2;
  EXPECT_EQ(timsolve_next_plot_time(p, 0.0), 0.2);
  EXPECT_EQ(timsolve_next_plot_time(p, 0.5), 0.9);  // passes every time at or before t
  EXPECT_EQ(list->position, 3u);
  timsolve_showplots(p, 0.895, 1.0, 1);  // 0.9 < 0.895 + 0.01: due
  EXPECT_EQ(list->position, 4u);
  EXPECT_EQ(timsolve_next_plot_time(p, 0.9), 2.0);  // the list is spent: ENDTIME
  EXPECT_EQ(cyc->nextcycle, 3u);  // cycle 1 was due against next cycle 0
  timsolve_showplots(p, 1.0, 1.0, 2);
  EXPECT_EQ(cyc->nextcycle, 3u);
  timsolve_showplots(p, 1.0, 1.0, 3);
  EXPECT_EQ(cyc->nextcycle, 6u);
  // The abort flag forces a pending listed time.
  list->position = 1;
  timsolve_showplots(p, 0.0, 0.001, 4);
  EXPECT_EQ(list->position, 1u);
  p->error = 1;
  timsolve_showplots(p, 0.0, 0.001, 4);
  EXPECT_EQ(list->position, 2u);
}
