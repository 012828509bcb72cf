// plot_records: the plot records a problem holds, of plots, monitors, histories and
// exports, with their time selections, and the vectors of them in the problem record;
// the plot meshes (plotdata) and the work on all of them are the plot module's
// (plot/plot.h).
#pragma once
#include <cstdint>
#include <cstdio>

#include "model/trees.h"
#include "runtime/matrixn.h"
#include "runtime/point3d.h"
#include "runtime/strings.h"
#include "runtime/textin.h"
#include "runtime/vector2d.h"
#include "runtime/vector3d.h"
#include "runtime/vector4d.h"
#include "runtime/vectord.h"
#include "runtime/vectorn.h"

struct pde;
struct plotdata;

// Plot kinds.
enum {
  PLOT_ELEVATION,
  PLOT_GRID,
  PLOT_GRID3,
  PLOT_CONTOUR,
  PLOT_SURFACE,
  PLOT_VECTOR,
  PLOT_STREAMLINE,
  PLOT_HISTORY,
  PLOT_SUMMARY,
  PLOT_CDF,
  PLOT_TECPLOT,
  PLOT_TABLE,
  PLOT_TRANSFER
};
// Bit i of a code set (flag word, kind sets), counted from the most significant.
constexpr uint32_t plot_bit(int i) { return 0x80000000u >> i; }

// One plot definition.
struct plotrec {
  uint16_t number;            // own 1-based position in the plot vector
  uint16_t listindex;         // position in the first list that holds it (monitors, plots or exports)
  uint16_t points[3];         // PRINT(n, m) print points n and m, then the print word; POINTS of exports
  uint16_t exportid;          // the open netCDF file of a CDF export (its variable number); 0 none
  uint16_t outputs;           // writes to its export or print file so far
  uint16_t decades;           // decades shown on a logarithmic scale
  uint16_t views[3];          // window, drawing and legend view of the plot window
  matrixn modeviews;          // per mode a row of the three views (eigenvalue problems)
  int32_t colour;             // 0 colour, 1 MONO or GRAY, 2 BLACK
  int32_t kind;               // PLOT_ELEVATION .. PLOT_TRANSFER
  int32_t scale;              // 4 log first axis + 2 log second axis + 1 log value
  uint32_t flags;             // modifier code set
  uint32_t data;              // number of its plotdata; 0 none
  TreeNode *range[2];         // RANGE expressions, null when absent (owned)
  treevector exprs;           // the plotted expressions as written (owned)
  treevectors compiled;       // per expression, the analysed tree of each region (owned)
  TextLoc formatloc;          // where FORMAT stands
  String name;                // file name built for the last export
  String file;                // FILE text; empty for a derived name
  StringList titles;          // caption lines; the first is the one recorded in the plot file
  StringList labels;          // source text of each plotted expression
  String format;              // FORMAT text
  vectorn fits;               // fits its expressions use
  StringList reportnames;     // REPORT labels
  treevector reports;         // REPORT expressions, parallel to the labels (null: text only) (owned)
  treevector reportcompiled;  // the REPORT expressions as analysed (owned)
  pde *problem;               // owning problem
  FILE *stream;               // export file kept open by TECPLOT and TRANSFER exports
  vector2d integrals;         // per mode, per expression: the level arrays and integrals
  double rangevalues[8];      // values of the RANGE expressions
  // Payload by kind.
  vector4d lines;       // ELEVATION, GRID, VECTOR: per mode
  vector3d values;      // CONTOUR, SURFACE, STREAMLINE: per mode; HISTORY: per expression, per point
  point3dlist at;       // HISTORY: the AT points
  vectord cdf[3];       // CDF: a spare, the running minimum and maximum of every expression
  double viewpoint[3];  // SURFACE: viewpoint x, y and the stored angle
  uint8_t timed;        // the time driver has drawn or exported it, last at time timedat
  double timedat;
};

// A time selection: listed times or a cycle, and the plots it governs.
struct timerec {
  uint8_t monitor;     // 1 when made in MONITORS
  uint16_t cycle;      // FOR CYCLE = n; 0 when times are listed
  uint16_t nextcycle;  // the next cycle to plot
  uint32_t position;   // position in the time list
  vectord times;       // the listed times in the order written
  vectorn plots;       // numbers of the plots that follow the clause
};

// Growable record vectors, 1-based (record k is data[k-1]).
struct plotvector {
  int32_t count, capacity;
  plotrec *data;
};
struct plotdatavector {
  int32_t count, capacity;
  plotdata *data;
};
struct timevector {
  int32_t count, capacity;
  timerec *data;
};

// The plot lists of a problem as one record, `PlotSet`. The reader fills it while a
// descriptor is parsed, the plot module (plot/) works on it and releases it
// (plotset_release, plot/plot.h) when the problem is cleared. The problem record `pde`
// derives from it, so each list is reached as p->name.
struct PlotSet {
  // The plot records, the plot data and the time selections, and the index lists of
  // plot numbers: monitors, plots, histories, exports, and plots read outside MONITORS
  // and PLOTS.
  plotvector plotrecs;
  plotdatavector plotdatas;
  timevector timerecs;
  vectorn monitors, plots, histories, exports, otherplots;
  double viewpoint[3];  // the default viewpoint: x, y and the stored angle
  double lastplottime;  // the latest time a FOR clause names
  vectord histtimes;    // the time samples of the histories
};
