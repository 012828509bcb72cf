// problem_view: what the plot grids and the export writers read of the problem, taken
// from the problem record in one place (plot/exporter.cpp), so that the files reading it
// need not know the record.
#pragma once
#include <cstdint>

struct Mesh;
struct String;
struct StringList;
struct metric;
struct pad;
struct pde;
struct plotframe;
struct plotvector;
struct vector2d;

// The problem's mesh, solution and time, its status panel, its plot list and text styles,
// the title and the reason a run did not converge, the coordinate system and the names of
// the coordinates, the dimension, the stage and mode counts and numbers, and the TIME and
// CDFDOUBLE switches.
struct problem_view {
  Mesh *mesh;
  vector2d *solution;
  pad *status;
  plotvector *plotrecs;
  plotframe *styles;
  const String *title;
  const char *unconverged;
  const metric *coords;
  const StringList *coordnames;
  double time;
  uint16_t dimension, stages, stage, modes, mode;
  uint8_t timedep, cdfdouble;
};
problem_view view_of(pde *p);
