// Program entry: starts the runtime, calls every module's initialisation once in
// the fixed order that follows their dependencies, then runs the main routine.
#include <cstdio>

#include "control/control.h"
#include "control/pdedat.h"
#include "control/quendar.h"
#include "control/verdat.h"
#include "domain/bounding.h"
#include "domain/domain.h"
#include "domain/edges.h"
#include "domain/faces.h"
#include "domain/joints.h"
#include "domain/periodic.h"
#include "domain/regions.h"
#include "domain/dominpde.h"
#include "domain/features.h"
#include "elements/basisfun.h"
#include "elements/cellnode.h"
#include "elements/elements.h"
#include "elements/finder.h"
#include "elements/meshes.h"
#include "elements/mfinder.h"
#include "elements/quature.h"
#include "graphics/display.h"
#include "graphics/gag.h"
#include "graphics/gag1d.h"
#include "graphics/gagscren.h"
#include "graphics/gui.h"
#include "graphics/textman.h"
#include "graphics/views.h"
#include "graphics/windower.h"
#include "mesher/mesher2.h"
#include "model/complexd.h"
#include "model/lintabs.h"
#include "model/params.h"
#include "model/symtab.h"
#include "model/tabledat.h"
#include "model/trees.h"
#include "mesher/mesher3.h"
#include "plot/doplot.h"
#include "plot/exporter.h"
#include "plot/crossing.h"
#include "plot/plot.h"
#include "plot/poly.h"
#include "plot/trimesh.h"
#include "reader/gpmin.h"
#include "reader/mtokeniz.h"
#include "reader/ppde.h"
#include "reader/rddxf.h"
#include "reader/rdpde.h"
#include "runtime/array2d.h"
#include "runtime/array2l.h"
#include "runtime/array2n.h"
#include "runtime/array2s.h"
#include "runtime/array3s.h"
#include "runtime/arrayd.h"
#include "runtime/arrayl.h"
#include "runtime/arrayn.h"
#include "runtime/arrays.h"
#include "runtime/clipping.h"
#include "runtime/debug.h"
#include "runtime/except.h"
#include "runtime/filio.h"
#include "runtime/geom3d.h"
#include "runtime/lined.h"
#include "runtime/math.h"
#include "runtime/matrixn.h"
#include "runtime/planed.h"
#include "runtime/point3d.h"
#include "runtime/point3s.h"
#include "runtime/pointd.h"
#include "runtime/pointl.h"
#include "runtime/points.h"
#include "runtime/pointv2d.h"
#include "runtime/pointv3d.h"
#include "runtime/rect3d.h"
#include "runtime/rect3s.h"
#include "runtime/rectd.h"
#include "runtime/rectl.h"
#include "runtime/rects.h"
#include "runtime/rtlib.h"
#include "runtime/strings.h"
#include "runtime/textin.h"
#include "runtime/timefun.h"
#include "runtime/vector2d.h"
#include "runtime/vector2l.h"
#include "runtime/vector2n.h"
#include "runtime/vector2t.h"
#include "runtime/vector3d.h"
#include "runtime/vector3n.h"
#include "runtime/vector4d.h"
#include "runtime/vectorb.h"
#include "runtime/vectord.h"
#include "runtime/vectori.h"
#include "runtime/vectorl.h"
#include "runtime/vectorld.h"
#include "runtime/vectorll.h"
#include "runtime/vectorn.h"
#include "runtime/vectors.h"
#include "runtime/vectort.h"
#include "runtime/vectortf.h"
#include "runtime/vectorvd.h"
#include "solver/bandmxd.h"
#include "solver/cgsolve.h"
#include "solver/coupling.h"
#include "solver/eigensol.h"
#include "solver/eispack.h"
#include "solver/fitting.h"
#include "solver/init.h"
#include "solver/matrixd.h"
#include "solver/sparsecg.h"
#include "solver/sparsemx.h"
#include "solver/timsolve.h"

// The modules that exist, each at its place in the initialisation order; the
// modules of later subsystems take their places as they are built.
static const struct {
  const char *name;
  int (*init)();
} modules[] = {
    {"debug", debug_init},
    {"strings", strings_init},
    {"except", except_init},
    {"timefun", timefun_init},
    {"math", math_init},
    {"vectorn", vectorn_init},
    {"vectorl", vectorl_init},
    {"vectors", vectors_init},
    {"vectord", vectord_init},
    {"vector2d", vector2d_init},
    {"vectorvd", vectorvd_init},
    {"vector3d", vector3d_init},
    {"vectortf", vectortf_init},
    {"points", points_init},
    {"pointd", pointd_init},
    {"point3s", point3s_init},
    {"point3d", point3d_init},
    {"rects", rects_init},
    {"rectd", rectd_init},
    {"rect3s", rect3s_init},
    {"rect3d", rect3d_init},
    {"bounding", bounding_init},
    {"filio", filio_init},
    {"textin", textin_init},
    {"joints", joints_init},
    {"arrayd", arrayd_init},
    {"vectori", vectori_init},
    {"vector2n", vector2n_init},
    {"lined", lined_init},
    {"basisfun", basisfun_init},
    {"matrixd", matrixd_init},
    {"elements", elements_init},
    {"trees", trees_init},
    {"vectorb", vectorb_init},
    {"vector2l", vector2l_init},
    {"quature", quature_init},
    {"cellnode", cellnode_init},
    {"geom3d", geom3d_init},
    {"periodic", periodic_init},
    {"edges", edges_init},
    {"regions", regions_init},
    {"planed", planed_init},
    {"faces", faces_init},
    {"pointl", pointl_init},
    {"rectl", rectl_init},
    {"clipping", clipping_init},
    {"features", features_init},
    {"domain", domain_init},
    {"display", display_init},
    {"symtab", symtab_init},
    {"arrays", arrays_init},
    {"array2s", array2s_init},
    {"array3s", array3s_init},
    {"lintabs", lintabs_init},
    {"tabledat", tabledat_init},
    {"params", params_init},
    {"vectort", vectort_init},
    {"gagscren", gagscren_init},
    {"gag", gag_init},
    {"gag1d", gag1d_init},
    {"vectorll", vectorll_init},
    {"vectorld", vectorld_init},
    {"vector2t", vector2t_init},
    {"finder", finder_init},
    {"meshes", meshes_init},
    {"arrayn", arrayn_init},
    {"matrixn", matrixn_init},
    {"trimesh", trimesh_init},
    {"vector4d", vector4d_init},
    {"plot", plot_init},
    {"arrayl", arrayl_init},
    {"array2l", array2l_init},
    {"array2d", array2d_init},
    {"bandmxd", bandmxd_init},
    {"sparsemx", sparsemx_init},
    {"sparsecg", sparsecg_init},
    {"array2n", array2n_init},
    {"textman", textman_init},
    {"pointv2d", pointv2d_init},
    {"pointv3d", pointv3d_init},
    {"pdedat", pdedat_init},
    {"gpmin", gpmin_init},
    {"mtokeniz", mtokeniz_init},
    {"windower", windower_init},
    {"views", views_init},
    {"complexd", complexd_init},
    {"mfinder", mfinder_init},
    {"dominpde", dominpde_init},
    {"fitting", fitting_init},
    {"coupling", coupling_init},
    {"crossing", crossing_init},
    {"exporter", exporter_init},
    {"poly", poly_init},
    {"doplot", doplot_init},
    {"gui", gui_init},
    {"rdpde", rdpde_init},
    {"vector3n", vector3n_init},
    {"mesher2", mesher2_init},
    {"mesher3", mesher3_init},
    {"ppde", ppde_init},
    {"rddxf", rddxf_init},
    {"init", init_init},
    {"cgsolve", cgsolve_init},
    {"timsolve", timsolve_init},
    {"eispack", eispack_init},
    {"eigensol", eigensol_init},
    {"control", control_init},
    {"verdat", verdat_init},
};

int main(int argc, char **argv) {
  // 1. The build time of the main module, then the runtime.
  verdat_buildtime = "15:00:39 4/8/01";
  rtlib_startup(argc, argv);
  // 2. Every module once, in order; a failure ends the program with its code.
  for (const auto &m : modules) {
    if (int rc = m.init()) {
      printf("%s returns %d\n", m.name, rc);
      return rc;
    }
  }
  // 3. The main routine.
  int rc = quendar_main();
  if (rc) printf("quendar returns %d\n", rc);
  return rc;
}
