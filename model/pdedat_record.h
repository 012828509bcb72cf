// pdedat_record: the problem record `pde` and its parts, and the record's helpers that
// the libraries below run control use. Its fields hold every subsystem's records, so
// this header alone names types of the libraries above the model (types only, no calls).
#pragma once
#include <cstdint>
#include <cstdio>

#include "elements/meshes.h"
#include "elements/quature.h"
#include "model/formulas.h"
#include "model/globals_record.h"
#include "model/matrix_records.h"
#include "model/metrics.h"
#include "model/plot_records.h"
#include "model/switches.h"
#include "model/symtab.h"
#include "model/system_record.h"
#include "model/window_record.h"
#include "model/xferdat.h"
#include "runtime/strings.h"
#include "runtime/textin.h"
#include "runtime/timefun.h"
#include "runtime/point3d.h"
#include "runtime/report.h"
#include "runtime/vector2d.h"
#include "runtime/vectorb.h"
#include "runtime/vectord.h"
#include "runtime/vectorl.h"
#include "runtime/vectorn.h"
#include "runtime/vectorvd.h"

struct TreeNode;

// Phases of a problem (0 is a free slot).
enum {
  PHASE_FREE = 0,
  PHASE_LOAD = 1,
  PHASE_EDIT = 2,
  PHASE_START = 3,
  PHASE_NEW = 4,
  PHASE_MESH = 5,
  PHASE_ANALYSIS = 6,
  PHASE_SOLVE = 7,
  PHASE_PLOTS = 8,
  PHASE_STAGE_END = 9,
  PHASE_DONE = 10,
  PHASE_WAIT = 11,
  PHASE_DXF = 12,
};

// One block of the record's chain of work blocks; the head is embedded in the record,
// later blocks are allocated and released with the record.
struct pdeblock {
  pdeblock *next;
  int32_t size;  // bytes of this block (counted in XMEM when allocated)
};

// Status panel line numbers, kept by the status layouts.
struct pdelines {
  uint16_t name, elapsed, grid, nodes, cells, dof, mem, rms, max, stage, time, dt, cycle;
};

// The settings of one declared variable.
struct pdevar {
  String name;            // upper case, owned
  double low, high;       // RANGE bounds
  double width;           // high - low
  double errweight;       // ERRWEIGHT, 1 unless given
  uint16_t order;         // order code; 4 forces the first-order basis (SIMPLEX)
  uint8_t scalar;         // 1: a SCALAR VARIABLE
  uint8_t timeflag;       // 1: its equation holds a time derivative
};
// Variables 1..count (variable k is items[k-1]); the capacity grows by 8.
struct pdevars {
  uint16_t count, capacity;
  pdevar *items;
};

// One user-function call in progress: the function's definition number and its
// argument values.
struct pdeframe {
  uint16_t function;
  double args[3];
};
enum { PDEDAT_MAX_FRAMES = 10 };

// The problem record; its SELECT and DEBUG switches are its Switches base
// (model/switches.h), the assembled system its System base (model/system_record.h),
// the plot lists its PlotSet base (model/plot_records.h), the windows, status panel,
// plot file and text styles its WindowState base (model/window_record.h).
struct pde : Switches, System, PlotSet, WindowState {
  // Requests and flags the window callbacks and the main loop exchange.
  uint8_t stop, stopped, error, close, skipstages;
  uint8_t runflag;     // run at once (Open and run, option R)
  uint8_t domainonly;  // the editor's Domain command: show the domain only
  int32_t phase;       // 0 free slot, 1..12
  // Why the run's answer did not converge ("NEWTON LIMIT: NOT CONVERGED", a static
  // text), null while it has; cleared when a run starts at its first stage.
  const char *unconverged;
  int32_t prevphase;   // the phase when the editor took the problem
  int32_t basis, basis1;  // the problem's basis and the first-order basis

  // Names and files.
  String directory;  // ends with the path separator
  String name;       // without extension
  String header;     // name.pde, two blanks, start date
  String startdate;
  String logname;
  String axisname[4];  // the three coordinates and the time axis
  TimeRec starttime;
  FILE *log;

  // Counts and run values.
  uint16_t stages, stage, dimension, nvars;
  uint16_t regrids, modes;
  uint16_t desctext, cfgtext, edittext;  // text numbers, 0 when absent
  uint32_t cycle;
  double stagevalue, errlim, dt, time, rmserr, maxerr;
  // Set by the initial values of a time run whose start jumps at its value conditions;
  // the time driver's first regrids wait while the jump smooths.
  uint8_t startjump;
  uint16_t errlimsym;  // symbol number of ERRLIM, 0 when absent
  pdelines lines;

  Mesh mesh;
  Mesh basemesh;  // extruded problems: the 2D base mesh with its own domain copy

  // Counts and values the parser and sizes leave for the run.
  uint16_t layers, materials, extracount, meshcount;
  uint16_t neqns[3], totals[2];  // the parser's equation-kind counts and their sums
  uint16_t subspace;             // eigenvalue subspace size chosen by sizes
  double cellcentre[4];          // the cell centre in barycentric coordinates
  double endvalue;               // the end value the parser stored beside ENDTIME
  double initgrid;               // the initial-gridding value
  double angle;                  // the angle value
  uint16_t statuslimit;          // the two status limits
  int32_t statusms;
  int32_t statusstart;           // the status timer's start (elapsed milliseconds)

  uint8_t modified, logopen;

  vector2d work;  // the work pool (capacity 20 once the problem is sized)

  pdeblock firstblock;
  pdeblock *worklist;  // head of the chain of work blocks

  // ---- Run-controller fields ----
  // Quadrature chosen by sizes: interior rule and side set, and the tables of the
  // problem's basis, its first-order basis and the error basis (released with the
  // record by pdedat_free_pde).
  int32_t vrule, sset;
  QuadBasis vquad, vquad1, vquaderr;
  SideQuadBasis squad, squad1;
  vectord eigenvalues;      // one per mode, left by the eigenvalue solver

  scopestack scopes;  // the problem's symbol scopes, searched innermost first
  FormulaSet formulas;     // definitions, equations, conditions, fits ... as trees
  metric coords;           // the coordinate system
  StringList coordnames;   // names of the three coordinates and the time
  StringList varnames;     // the variables' names in declaration order, for tree diagrams
  xferlist transfers;      // TRANSFER data sets

  // ---- Equation-analysis fields ----
  vectorl basiscodes;    // per field variable, the basis code of its trial function (0: none)
  uint8_t difintegrals;  // 1: the derivative of a region or boundary integral is the integral of the derivative
  vectorb basisflags;    // per field variable: 1 keeps a basis code 0 (no trial function)
  treevector cseslots;   // the shared subexpressions, one subdef node per slot (not owned)
  vector2d slotvalues;   // per shared subexpression slot, its basis array (count 0: last stored as a scalar)
  vectorn fitlist;       // derived globals the analysed trees refer to, closed under dependency
  vectorn initfits;      // the same for the initial values
  // Working lists of the fitting code, one entry per derived global.
  vector2d fitvalues;
  vectorb fitflags;
  vectord fitscalars;
  point3dlist fitpoints;
  vectorl fitwords;

  // ---- Refinement and error-measure fields ----
  vectorl sortindex;         // cells in ascending order of estimate, one refinement pass's
  vectord magnitudes, minima, maxima;  // per variable: mean magnitude and extremes of its values
  // ---- Solution fields ----
  // The solution by variable (field variables: one value per node; scalars: one value),
  // the per-variable error values, and the step of the last linear solve by global row.
  // (The solution and the carried fields are with the time run's levels below.)
  vector2d errors;
  vectord delta;
  int32_t gridinc;         // GRIDLIMIT's increment when the user asks for more grids
  int32_t solvestart;      // clock milliseconds at the start of the driver
  double changeest;        // change estimate of the last trial update
  int32_t monitordelay;    // the monitor delay the steady drivers keep (milliseconds)
  double fittol;           // relative tolerance of the FIT solves (1e-6)
  uint16_t fititer;        // iteration limit of the FIT solves

  // ---- Reader fields ----
  TextLoc coordloc, endloc;  // places of the COORDINATES name and of END
  TextLoc modesloc;          // place of the MODES switch
  uint8_t bodyread;          // the configuration text has read the descriptor through BODY
  String title;              // TITLE
  pdevars vars;              // the declared variables
  uint16_t nfield, nscalar;  // field and scalar variable counts (nvars is their sum)
  vectorn eqmap;             // equation number -> variable number
  vectorn declared;          // definitions declared without a value, still undefined
  vectorn resolves, fronts;  // fit numbers of RESOLVE and FRONT
  vectorn jacfits;           // fit numbers of JACOBIAN blocks
  vectord sumvalues;         // the current value of each SUM index
  uint16_t maxstages;        // the longest STAGED list
  uint8_t timerange;         // a time range has been given
  uint8_t stagedgeom;        // a geometry number depends on definitions
  double persign;            // +1 PERIODIC, -1 ANTIPERIODIC given, 0 neither
  double haltdt;             // TIME ... HALT: the step below which time stepping stops; -1 none
  TextLoc timeloc;           // where the time variable was first used
  uint8_t labelcolour;       // the colour of plot labels and the eigenvalue listing (black)

  // ---- Evaluation fields ----
  pdeglobals globals;        // derived global values, kept by the solvers
  vector2d *modesets;        // eigenvector values per mode, one vector2d each
  uint16_t nmodesets;        // entries of modesets
  uint16_t eigpasslimit;     // iteration passes of the eigenvalue driver beyond the first (20)
  uint16_t mode;             // the current mode (1-based), 0 none
  pdeframe frames[PDEDAT_MAX_FRAMES];  // user-function frames by nesting depth 1..10
  vectord subvalues;         // shared subexpression scalars by slot number
  vector2d subvectors;       // shared subexpression vectors (3 entries each)

  // ---- Time-run fields ----
  // The time levels before t_new (which is `time`; the step in use is `dt`): t_m2, t_m1
  // and t, the last accepted time; the previous step and the proposal for the next.
  double tm2, tm1, told, dtlast, dtnext;
  // Solution levels, one node-value vector per variable: u (the current solution, at
  // t_new), u at t_m2, t_m1 and t, and the time derivatives at t and t_new.
  vector2d solution, um2, um1, uold, udotold, udot;
  // Spatial residual and time terms at both ends of the step, the source over the step,
  // the step residual and the correction, by global row.
  vectord rold, rnew, mold, mnew, tsource, tresid, correction;
  vectord stepscale;          // diagonal scaling vector of the step matrix J
  sparsemx jmatrix;           // the step matrix J = D/h + theta K
  vectorvd carried;           // the fields the refiner carries to a new mesh
};


// ---- The record's helpers (model/pdedat_record.cpp) ----

// Whether each new stage parses and meshes the descriptor again (and starts from its
// initial values): asked for with STAGEGRID, and needed when the geometry depends on
// definitions (which may be staged), or later stages would keep the first stage's domain.
bool pdedat_stage_regrids(const pde *p);
// Grows the problem's mode sets to at least count entries, keeping those it has.
void pdedat_grow_modesets(pde *p, uint16_t count);
// Writes a plot-group header to the problem's plot file.
void pdedat_put_group(pde *p, uint16_t value);
// Releases what the model and the layers below it keep in the record, the part of
// clearing a problem (the run's vectors, symbols, meshes, coordinates, formulas,
// transfers and what the reader kept) and the rest of freeing it (the mesh's domain,
// names, work blocks, quadrature tables and the evaluator's tables); run control
// releases the rest.
void pdedat_clear_model(pde *p);
void pdedat_free_model(pde *p);
