// timsolve: the time integration driver: adaptive implicit theta steps from STARTTIME
// to ENDTIME with step control from divided differences, timed output and regridding.
#pragma once
#include <cstdint>
#include <vector>

#include "runtime/vector2d.h"
#include "runtime/vectord.h"
#include "solver/coupling.h"
#include "solver/sparsecg.h"

struct pde;

extern uint8_t timsolve_debug;  // DEBUG(TIMEDEP): the driver's debug-log lines
// 1: every step residual is swept over the cells, also where the stored matrices could
// give it (see timsolve_step_residual); the sources are then built at every step too.
extern uint8_t timsolve_sweep;

int timsolve_init();

// The state of one time run: made afresh for each run (timsolve_evolve makes its own) and
// handed to the operations of its steps.
struct SourceSplit;

struct TimeRun {
  // The residual of a problem coupling_fixed_linear admits is affine in the values and
  // rates, F(u, u') = F(u0, u0') + K (u - u0) + D (u' - u0'), so one swept residual kept
  // with the K and D it belongs to gives every later one by two products. Its sources,
  // free of the unknowns and of the time, stand while the mesh and the time weights do.
  struct FixedLinear {
    bool linear = false;       // the problem's residual is affine with fixed coefficients
    bool sources = false;      // and its sources are fixed too
    bool current = false;      // the reference was swept with the present K, D and scales
    bool alike = false;        // and K and D then had one layout (the same columns in each row)
    bool sourced = false;      // tsource holds the fixed sources of the present mesh
    bool timed = false;        // K or D reads the time: both are built anew at the end of each step
    vectord u{}, udot{}, f{};  // the reference's values and rates by global row, its scaled F
  };

  double ratios[5]{};       // the step-ratio history, newest first
  uint16_t nratios = 0;     // and its fill count
  double least_step = 0;    // the least step the run attempts: 1e-12 of its first step
  vectord pass_sizes{};     // the correction size of each corrector pass
  double solve_weight = 1;  // the last solve's correction_weight, which scales the next one's tolerance
  // Whether J was formed from the present K and D, and with which 1/h; whether J is laid
  // out from the present D (its rows D's entries, K's leading them), so that a new 1/h
  // needs only its values.
  bool jmatrix_current = false;
  double jmatrix_invh = 0;
  bool jmatrix_laid = false;
  int32_t jmatrix_solves = 0;  // the solves made with J since it was last built (see tsolve)
  // J's fingerprint, taken at its first solve by the kept factor after it was built.
  bool jmatrix_printed = false;
  uint64_t jmatrix_print = 0;
  // Per variable, the last step's iterate of the power iteration that scales its diagonal block
  // (empty: none): the next step's iteration starts from it (see coupling_tr_matrix).
  std::vector<std::vector<double>> scale_starts;
  int8_t factor_fits = -1;  // a complete factor of J fits on this layout: 1, not: 0, not yet tried: -1
  // J's upper triangle, made with J where J is symmetric and solved by the diagonally
  // scaled conjugate gradients (rows 0 otherwise): their products read half of J.
  sparsecg_upper jmatrix_upper;
  bool upper_laid = false;      // jmatrix_upper was taken on J's present layout (its values made with J's)
  int8_t parts_symmetric = -1;  // whether K and D are symmetric; -1 not yet known
  vectord last_correction{};    // the last step's first correction (before its column scale), on this mesh
  FixedLinear fixed;
  bool unstable_current = false;  // the growth check was made on the present K and D
  bool unstable = false;          // and found the state unstable
  int32_t unstable_rows_of = -1;  // the unknown count the check was made for
  // The ranges the run measures its steps and cells by: V entries, then V for the ranges
  // at the start.
  vectord run_ranges{};
  // The sizes the run measures its steps by: the largest magnitude each variable's values have
  // had since the start (its declared range or its rest floor where larger), 0 while at rest.
  vectord run_sizes{};
  // The start's rates of the variables that start at rest, the largest magnitude of each
  // variable's start, and the run's span: the floors of their ranges.
  std::vector<std::vector<double>> rest_rates;
  std::vector<double> rest_size;
  double rest_span = 0;
  vectord source_old{};             // the sources at the step's start, where globals couple them
  double held_error = 0;            // the RMS error at the last small trade at the node limit
  bool node_limit_met = false;      // the run's log says that the refinement met the node limit
  double jump_error = 0;            // the last held step's error while a start's jump is held
  bool decaying = false;            // the last regrid found the run a decay (see decaying)
  std::vector<double> start_size;   // each field variable's largest magnitude at the start (see decaying)
  int32_t measured_cycle = 0;       // the step whose spatial error was last measured (see estimate_kept)
  double measured_size = 0;         // and the largest magnitude of the values then
  bool left_start = false;          // no variable is near its start any more (see take_start_off)
  int8_t start_of_place = -1;       // the start's expressions are a function of place: 1, not: 0, not yet read: -1
  bool start_current = false;       // start_values hold the start at the nodes of the present mesh
  vector2d start_values{};          // (see start_at_nodes)
  double floor_area = 0;            // the mean cell of the run's first measured mesh (0: not yet measured)
  std::vector<double> start_steps;  // the end times of the accepted steps while the start may be solved again
  int32_t replayed = 0;             // the steps solved again so (see replay_start)
  int8_t undamped = -1;             // a variable its own equation does not diffuse: 1, none: 0, not yet read: -1
  int8_t phase_kept = -1;           // no variable with a rate has a term of its own: 1 (see limit_carried_error)
  vector2d step_rates{};            // a step's own rates while its outputs read the end rates
  // In a run that keeps its phase, per variable (from 1) the variable whose derivatives alone its
  // rate reads, 0 for none (see read_phase_kept).
  std::vector<int32_t> rate_reads;
  // The time error the accepted steps carry on, in units of the step allowance, and the
  // last two steps' local errors over h^3 (the size of u''' its decay is read from) with
  // the length of the later step.
  double carried = 0;
  double carried_density[2]{};
  double carried_span = 0;
  int32_t mesh_steps = 1 << 30;   // steps accepted since a regrid last changed the mesh
  double carried_mesh_error = 0;  // the spatial error the carried limit balances
  bool step_error_none = false;   // the last step measured no error (its ratio stands in as 0.5)
  // The start's true misfit over the spatial estimate of the first step, where the run measured
  // it (0: not measured), the factor on ERRLIM the last regrid held the estimate to (see
  // spatial_share, timsolve_regrid.cpp), and the factor on ERRLIM it held the steps to.
  double start_calibration = 0;
  double spatial_share = 1;
  double step_share = 1;
  // A source that reads the time is integrated over each step by the time weights while the
  // operator is taken at the step's ends: the rules' difference, carried through the step
  // matrix, is an error of the step's values that their third difference does not see.
  bool source_timed = false;
  vector2d source_error{};  // that error per variable and node, of the last step measured
  // The source at the end of the last step measured, kept for the next step's start (the
  // time it was taken at; meaningless once the unknowns are laid out anew).
  vectord source_end{};
  double source_end_time = 0;
  bool source_end_current = false;
  // Per global row, 1 where the row has no rate: its variable has none, or its time matrix
  // row is empty (a capacity of zero over the node's cells). Such a row's equation holds at
  // each step's end, its source at full weight; the step error does not read it. Set with
  // each build of the time matrix; algebraic_any when one is set.
  std::vector<char> algebraic;
  bool algebraic_any = false;
  // The scalar unknowns without a rate whose equations do not read them (by variable number):
  // each is a multiplier, held only through the rows it enters by an equation of the step's
  // end (a mean, a value at a point), so every row takes it at that end at full weight;
  // weighed between the ends, its end value would swing about the step's mean. A scalar
  // its equation gives (G = INTEGRAL(u)) meets it at each end and keeps the step's weights.
  std::vector<int32_t> end_scalars;
  // The conditions of the time alone that switch a source or a coefficient: a step ends
  // where one of them changes, so that no step straddles a jump in time.
  std::vector<CouplingSwitch> switches;
  // The sources split by what they read (coupling_split_source), and the part of them that
  // reads nothing of the solution, built at the step's first pass.
  SourceSplit *source_split = nullptr;
  vectord step_fixed_source{};
  bool stiff_start = false;     // a variable with a rate has rows without one (see onestep)
  bool implicit_step = false;   // the next step is taken with theta 1: the first, and the first on a new mesh
  bool after_implicit = false;  // the last step accepted was so taken: the next one's error is not read
  TimeRun() = default;
  TimeRun(const TimeRun &) = delete;
  TimeRun &operator=(const TimeRun &) = delete;
  ~TimeRun();
};

// Runs the time range; returns 8 at ENDTIME or after a stop, finish or abort, and 10
// (with "Timestep is below threshhold" titled "HALT" and the stop request) when the
// step proposal falls below the HALT value.
int32_t timsolve_evolve(pde *p, int32_t flag);
// The same with the run's state in *run, a fresh record, which the caller keeps after.
int32_t timsolve_run(pde *p, TimeRun *run);

// The operations of one time run on the problem's levels. The driver holds the step
// loop; these do the assembly, solve and mesh work (tests put a small system in).
struct timsolve_ops {
  void (*layout)(pde *p, TimeRun *run);                               // unknowns, conditions, level sizes
  double (*first_udot)(pde *p, TimeRun *run, double t);               // udot at t; returns the initial slope
  void (*start_residual)(pde *p, TimeRun *run, double t, double dt);  // R_new, M_new at the start
  int32_t (*onestep)(pde *p, TimeRun *run, double t, double tnew, bool rebuild);  // corrector passes made
  double (*check_timestep)(pde *p, TimeRun *run);                                 // step ratio, <= 1 acceptable
  void (*measure)(pde *p, TimeRun *run, double t, double tnew);                   // sets the RMS and MAX errors
  int32_t (*regrid)(pde *p, TimeRun *run, bool hit);                              // > 0 when the mesh changed
};
extern timsolve_ops timsolve_stepper;

// The norm helpers of the step error: x^2 for selector 0 or 1, x^4, x^8, x^16 for 2, 3,
// 4, and the matching root; any other selector is "Bad Norm Selector".
double timsolve_weight(double x, int32_t selector);
double timsolve_unweight(double y, int32_t selector);
// The earliest listed output time after t (list positions advanced past t), at most
// ENDTIME.
double timsolve_next_plot_time(pde *p, double t);
// Shows the plots, monitors and exports due at time (cycle intervals, listed times
// within 0.01 step, every pending listed time when the abort flag is set), then the
// histories under AUTOHIST.
void timsolve_showplots(pde *p, double time, double step, int32_t cycle);
// The run-log line "Step %d Time=%s Dt=%s Nodes=%d Cells=%d RMS ERR=%s MEM=%d\n".
void timsolve_log_step(pde *p);
// The third-difference combination of the values A, B, C, D at t_m2, t_m1, t, t_new
// times its factor K (a, b, c: those times less t); the local error of the step.
double timsolve_third_difference(double a, double b, double c, double A, double B, double C, double D);
// The local error of a theta step: the third difference above, plus off c^2 u'' / 2 (u'' from
// the values at t_m1, t, t_new; off = 2 theta - 1), the leading error of an off-centre scheme.
double timsolve_step_difference(double off, double a, double b, double c, double A, double B, double C, double D);

// The scaled step residual tresid := (S - theta F(u, u') - (1 - theta) F(u_old, u'))
// times the row scales, for the present levels, sources and pass (passes after the first
// remake the globals at u_old). Where the problem's residual is affine with fixed
// coefficients (coupling_fixed_linear), a residual swept after the last build of K and D
// serves as the reference and this one is formed from it by products with K and D; the
// value-condition nodes must then hold the reference's values and rates, else it is swept
// and becomes the new reference. Returns true when formed by the products.
bool timsolve_step_residual(pde *p, TimeRun *run, double t, double tnew, int32_t pass);
