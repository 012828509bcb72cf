// exporter: the export files of a problem.
#pragma once
#include <cstdint>
#include <cstdio>

#include "runtime/strings.h"
#include "runtime/textin.h"

struct pde;
struct plotrec;
struct vectord;
struct vector2d;
struct vector3d;
struct rect3d;

int exporter_init();

// Raises the output count and opens the print file (mode 1, ".p") or the table (other
// modes, ".tbl"); null when no file is written.
FILE *exporter_get_print_file(pde *p, plotrec *plot, uint16_t mode);
// The brace comment that heads print, table and transfer files.
void exporter_print_header(pde *p, FILE *f, plotrec *plot);
// One FORMAT line: pq holds the plot coordinates (p, q), x the point (x, y, z).
void exporter_print_point(FILE *f, const double *pq, const double *x, double d, double t, const vectord *values,
                          const String *format, const TextLoc *loc, bool outside);
// The print file of a CONTOUR or SURFACE plot over the box.
void exporter_print_2dplot(pde *p, plotrec *plot, const rect3d *box, const vector2d *values, uint16_t mode);
// The print file of an ELEVATION plot.
void exporter_print_lineout(pde *p, plotrec *plot, const vector3d *values, const vectord *integrals);
// The plot's window as a metafile.
void exporter_emf_plot(uint16_t view, pde *p, plotrec *plot);
// Closes the open export files; a second call finds none open and does nothing.
void exporter_close_exports(pde *p);
