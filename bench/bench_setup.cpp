// The set-up of a two-dimensional domain, timed step by step and kept apart from the
// meshing: the reading of the descriptor (joints made and merged, snapped to the grid),
// the domain preparation (crossings split, region boxes, the regions beside every edge)
// and the sizing (the boundary spacing of every edge), then, in a second run, the whole
// mesh driver, whose time less the preparation and sizing is the meshing proper.
//
//   bench_setup squares M [REPEATS]   the square [0, M]^2 holding M x M half-unit square
//                                     regions (M = 20: 401 regions, 1604 joints)
//   bench_setup disks M [REPEATS]     the same holding M x M circles
//   bench_setup rings M [REPEATS]     the same holding M x M 25-gons (M = 20: 401 regions
//                                     and 10,004 joints)
//   bench_setup tiles M [REPEATS]     M x M unit squares sharing their sides (M = 20: 400
//                                     regions)
//   bench_setup polygon N [REPEATS]   the unit circle drawn as a polygon of N joints
//   bench_setup FILE.pde [REPEATS]    any descriptor
//   --no-mesh                         the set-up only (a fine polygon meshes for minutes)
//
// Each figure is the least over the repeats (processor time of this process). The node
// and cell counts and a checksum of the node coordinates let two builds be compared.
#include <sys/stat.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <numbers>
#include <string>

#include "bench/program.h"
#include "control/control.h"
#include "control/pdedat.h"
#include "model/pdedat_record.h"
#include "control/quendar.h"
#include "control/verdat.h"
#include "domain/dominpde.h"
#include "mesher/mesher2.h"
#include "runtime/rtlib.h"

namespace {

struct Times {
  double read = 0, prepare = 0, sizing = 0, freshmesh = 0;
  int joints = 0, edges = 0, regions = 0, nodes = 0, cells = 0;
  double checksum = 0;
  int samples = 0;
  double features = 0;  // a checksum of the joint and sample spacings
};
Times now_run;
void (*parse_text)(pde *, uint16_t, uint8_t);  // the program's own parse

const char *header =
    "VARIABLES\n  u\nEQUATIONS\n  div(grad(u)) + 1 = 0\nBOUNDARIES\n";
const char *footer = "END\n";

// M x M regions: half-unit squares, circles or 25-gons of radius 0.3 at the unit cells'
// centres inside the square [0, M]^2 (region 1), or unit tiles that share their sides.
std::string regions(const std::string &kind, int m) {
  std::string s = "TITLE '" + kind + "'\n" + std::string(header);
  char line[200];
  int r = 1;
  if (kind != "tiles") {
    snprintf(line, sizeof line, "  REGION 1\n    START(0,0) VALUE(u)=0 LINE TO (%d,0) TO (%d,%d) TO (0,%d) TO FINISH\n",
             m, m, m, m);
    s += line, r++;
  }
  for (int i = 0; i < m; i++)
    for (int k = 0; k < m; k++, r++) {
      if (kind == "tiles")
        snprintf(line, sizeof line, "  REGION %d\n    START(%d,%d)%s LINE TO (%d,%d) TO (%d,%d) TO (%d,%d) TO FINISH\n", r, i,
                 k, r == 1 ? " VALUE(u)=0" : "", i + 1, k, i + 1, k + 1, i, k + 1);
      else if (kind == "rings") {
        // A 25-gon of radius 0.3 (M = 20: 10,004 joints in 401 regions).
        snprintf(line, sizeof line, "  REGION %d\n    START(%.6f,%.6f) LINE", r, i + 0.8, k + 0.5);
        s += line;
        for (int q = 1; q < 25; q++) {
          double a = 2 * std::numbers::pi * q / 25;
          snprintf(line, sizeof line, " TO (%.6f,%.6f)", i + 0.5 + 0.3 * std::cos(a), k + 0.5 + 0.3 * std::sin(a));
          s += line;
        }
        snprintf(line, sizeof line, " TO FINISH\n");
      } else if (kind == "disks")
        snprintf(line, sizeof line, "  REGION %d\n    START(%g,%g) ARC(CENTER=%g,%g) ANGLE=360\n", r, i + 0.8, k + 0.5,
                 i + 0.5, k + 0.5);
      else
        snprintf(line, sizeof line, "  REGION %d\n    START(%g,%g) LINE TO (%g,%g) TO (%g,%g) TO (%g,%g) TO FINISH\n", r,
                 i + 0.25, k + 0.25, i + 0.75, k + 0.25, i + 0.75, k + 0.75, i + 0.25, k + 0.75);
      s += line;
    }
  return s + footer;
}

std::string polygon(int n) {
  std::string s = "TITLE 'polygon'\n" + std::string(header) + "  REGION 1\n";
  char line[200];
  for (int k = 0; k < n; k++) {
    double a = 2 * std::numbers::pi * k / n;
    snprintf(line, sizeof line, k ? "      TO (%.9f,%.9f)\n" : "    START(%.9f,%.9f) VALUE(u)=0 LINE\n", std::cos(a),
             std::sin(a));
    s += line;
  }
  return s + "      TO FINISH\n" + footer;
}

// The run of one descriptor with the mesh service replaced; false when it failed.
bool run(const std::string &file, int32_t (*freshmesh)(pde *, uint8_t, int32_t)) {
  control_default_services();
  control_services.freshmesh = freshmesh;
  parse_text = control_services.parse;
  control_services.parse = [](pde *p, uint16_t text, uint8_t pass) {
    double t = cpu_seconds();
    parse_text(p, text, pass);
    now_run.read += cpu_seconds() - t;
  };
  String path{};
  strings_copyto_1(&path, file.c_str());
  pde *p = pdedat_new_pde(&path);
  strings_free_0(&path);
  p->runflag = 1;
  quendar_running = 1;
  {
    TRACE(quendar_home);
    quendar_catch_loop();
  }
  return !control_failed;
}

// Preparation and sizing as the mesh driver runs them, then the run ends.
int32_t setup_only(pde *p, uint8_t, int32_t meshcount) {
  Domain *d = p->mesh.domain;
  double t = cpu_seconds();
  mesher2_prepare_domain(p);
  now_run.prepare = cpu_seconds() - t;
  t = cpu_seconds();
  check_history_points(p);
  dominpde_periodic_edges(d);
  dominpde_build_features(p, uint16_t(meshcount), &p->status);
  now_run.sizing = cpu_seconds() - t;
  now_run.joints = d->joints.count, now_run.edges = d->edges.count, now_run.regions = d->regions.count;
  const featureblock &b = d->features;
  for (int32_t k = 0; k < b.jointspacing.count; k++) now_run.features += (k % 7 + 1) * b.jointspacing.data[k];
  for (uint16_t k = 0; k < b.count; k++)
    for (int32_t i = 0; i < b.items[k].spacings.count; i++, now_run.samples++)
      now_run.features += (i % 5 + 1) * b.items[k].spacings.data[i] + (k % 3 + 1) * b.items[k].samples.data[i].x;
  p->stop = 1, p->close = 1;
  return PHASE_DONE;
}

int32_t whole_mesh(pde *p, uint8_t meshswitch, int32_t meshcount) {
  double t = cpu_seconds();
  int32_t r = mesher2_freshmesh(p, meshswitch, meshcount);
  now_run.freshmesh = cpu_seconds() - t;
  const Mesh &m = p->mesh;
  now_run.nodes = m.nodes.count, now_run.cells = m.cells.count;
  for (int32_t k = 0; k < m.nodes.count; k++)
    now_run.checksum += (k % 7 + 1) * m.nodes.data[k].x + (k % 5 + 1) * m.nodes.data[k].y;
  p->stop = 1, p->close = 1;
  return r == PHASE_ANALYSIS ? PHASE_DONE : r;
}

}  // namespace

int main(int argc, char **argv) {
  bool mesh = true;
  int arg = 1;
  if (arg < argc && !strcmp(argv[arg], "--no-mesh")) mesh = false, arg++;
  if (arg >= argc) {
    fprintf(stderr, "usage: bench_setup [--no-mesh] squares|tiles|disks|rings M | polygon N | FILE.pde [REPEATS]\n");
    return 2;
  }
  std::string file = argv[arg];
  if (file == "squares" || file == "tiles" || file == "disks" || file == "rings" || file == "polygon") {
    if (arg + 1 >= argc) return 2;
    int n = atoi(argv[++arg]);
    mkdir("/tmp/bench_setup", 0755);
    file = "/tmp/bench_setup/" + file + std::to_string(n) + ".pde";
    FILE *f = fopen(file.c_str(), "w");
    if (!f) return 2;
    fputs((argv[arg - 1][0] == 'p' ? polygon(n) : regions(argv[arg - 1], n)).c_str(), f);
    fclose(f);
  }
  int repeats = arg + 1 < argc ? atoi(argv[arg + 1]) : 3;
  if (repeats < 1 || arg + 2 < argc) {
    fprintf(stderr, "usage: bench_setup [--no-mesh] squares|tiles|disks|rings M | polygon N | FILE.pde [REPEATS]\n");
    return 2;
  }
  bench_program_start();
  settings.batch = 1;
  Times best{1e30, 1e30, 1e30, 1e30};
  for (int r = 0; r < repeats; r++) {
    now_run = {};
    if (!run(file, setup_only)) {
      fprintf(stderr, "the set-up run failed\n");
      return 1;
    }
    double read = now_run.read;
    Times setup = now_run;
    now_run = {};
    if (mesh && !run(file, whole_mesh)) {
      fprintf(stderr, "the meshing run failed\n");
      return 1;
    }
    Times whole = now_run;
    best.read = std::min(best.read, read);
    best.prepare = std::min(best.prepare, setup.prepare);
    best.sizing = std::min(best.sizing, setup.sizing);
    best.freshmesh = std::min(best.freshmesh, whole.freshmesh);
    best.joints = setup.joints, best.edges = setup.edges, best.regions = setup.regions;
    best.samples = setup.samples, best.features = setup.features;
    best.nodes = whole.nodes, best.cells = whole.cells, best.checksum = whole.checksum;
  }
  printf("descriptor %s\n", file.c_str());
  printf("joints %d\nedges %d\nregions %d\n", best.joints, best.edges, best.regions);
  printf("samples %d\nfeature_checksum %.17g\n", best.samples, best.features);
  printf("read_s %.4f\nprepare_s %.4f\nsizing_s %.4f\n", best.read, best.prepare, best.sizing);
  printf("setup_s %.4f\n", best.read + best.prepare + best.sizing);
  if (mesh) {
    printf("meshing_s %.4f\n", best.freshmesh - best.prepare - best.sizing);
    printf("nodes %d\ncells %d\nnode_checksum %.17g\n", best.nodes, best.cells, best.checksum);
  }
  return 0;
}
