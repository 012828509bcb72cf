// exporter: the export files of a problem, written beside its descriptor: print files
// of plots that carry PRINT, tables, netCDF files, TECPLOT finite-element files,
// transfer files that a later run reads back, and metafiles of drawn plots.
#pragma once
#include <cstdint>
#include <cstdio>
#include <utility>
#include <vector>

#include "runtime/strings.h"
#include "runtime/textin.h"

struct pde;
struct plotrec;
struct plotdata;
struct vectord;
struct vector2d;
struct vector3d;
struct rect3d;

int exporter_init();

// Numbers go out with this many significant digits in fields this wide, five to a line.
enum { EXPORTER_DIGITS = 12, EXPORTER_WIDTH = 15 };

// Numbers five to a line, each 12 digits in 15 columns; a break after every fifth and
// after the last. Every print and export file lists its numbers this way.
void exporter_print_values(FILE *f, const double *v, int32_t n);
// A sampled point outside the domain while a row is built.
constexpr double EXPORTER_OUTSIDE = 1.00000000000002e300;

// Builds the plot's export file name into its name string: the problem's folder and
// name (or its FILE), the list index in two digits, and for files that are not single
// "_" with the mode, the stage or the output count; mode 2 files without FILE end with
// the extension, mode 1 files carry it before the index (name.p03).
void print_file_name(pde *p, plotrec *plot, const char *extension, bool single, uint16_t mode);
// Raises the output count and opens the print file (mode 1, ".p") or the table (other
// modes, ".tbl"); later outputs append when the plot merges them (bit 20). A file that
// cannot be opened is the execution error "Can't open Export File " and the name.
FILE *exporter_get_print_file(pde *p, plotrec *plot, uint16_t mode);
// Closes an export file of the plot and clears the pointer; a write or close that
// failed (a full disk) is the execution error "Can't Write Export File ", the name,
// ": " and the system's text.
void exporter_close_file(pde *p, const plotrec *plot, FILE **f);
// The brace comment that heads print, table and transfer files. Braces in the texts
// are written as parentheses and "/*" as "/ *", so the comment always closes.
void exporter_print_header(pde *p, FILE *f, plotrec *plot);
// One FORMAT line: pq holds the plot coordinates (p, q), x the point (x, y, z).
// Codes past the value list are the parse error "Illegal Argument Index" at loc.
void exporter_print_point(FILE *f, const double *pq, const double *x, double d, double t, const vectord *values,
                          const String *format, const TextLoc *loc, bool outside);
// Fills the outside entries of a row from their nearest inside neighbour to the left
// (leading ones from the first inside value); returns that first inside value, or
// EXPORTER_OUTSIDE when the whole row is outside.
double fillin(vectord *row);

// TABLE: the expressions sampled on the plot's grid.
void exporter_table_export(pde *p, plotrec *plot, uint16_t mode);
// The print file of a CONTOUR or SURFACE plot: values holds per plot mesh the values
// at its nodes, sampled on the plot's grid over the box.
void exporter_print_2dplot(pde *p, plotrec *plot, const rect3d *box, const vector2d *values, uint16_t mode);
// The print file of an ELEVATION plot: values holds per expression, per piece of the
// path mesh, the node values; integrals the integral of every expression.
void exporter_print_lineout(pde *p, plotrec *plot, const vector3d *values, const vectord *integrals);
// The nodes of all pieces of a path plot mesh as one sequence of (piece, node), both
// from 1: repeatedly the piece whose next node has the smallest distance along the path
// gives its nodes up to the end of a run, so that a path running down its axis is
// printed in its own order too.
std::vector<std::pair<int32_t, int32_t>> merge_lineout(const plotdata *d);
// CDF: one record per output into a netCDF file kept open until the run ends.
void exporter_cdf_export(pde *p, plotrec *plot);
// TECPLOT: one zone per material, linear sub-cells of every cell.
void exporter_tecp_export(pde *p, plotrec *plot);
// TRANSFER: the mesh and the node values of the expressions, one block per material.
void exporter_transfer_export(pde *p, plotrec *plot);
// The plot's window as a metafile.
void exporter_emf_plot(uint16_t view, pde *p, plotrec *plot);
// Closes the netCDF file of handle h, kept whole; a write the system refuses is the
// error "Can't Write Export File name: system text".
void exporter_cdf_close(int32_t h);
// Closes the netCDF files of the problem's exports; a second call finds none open.
void exporter_close_exports(pde *p);
