// domcalls: the domain's functions that the mesh record and the model call (release,
// copy and print of a mesh's domain, the lookups of edges, regions and names), as a table
// the domain library installs. The condition on a domain entity is the model's own
// (bcs_find_edge_bc and the others, model/bcs.h).
#pragma once
#include <cstdint>
#include <cstdio>

struct Domain;
struct Joint;
struct String;
struct regiontable;
struct looptable;

struct DomainCalls {
  void (*clear)(Domain *d);                          // domain_clear
  Domain *(*copy)(const Domain *d);                  // domain_domain_copy
  void (*print)(FILE *f, const Domain *d);           // domain_print
  uint16_t (*if_edge)(const Joint *j, uint16_t n);   // edges_if_edge
  uint16_t (*find_region)(const Domain *d, const double *p);         // domain_find_region
  uint16_t (*find_region_name)(const regiontable *t, String *name);  // regions_find_region_name
  uint16_t (*find_layer_name)(const Domain *d, String *name);        // domain_find_layer_name
  uint16_t (*find_sheet_name)(const Domain *d, String *name);        // domain_find_sheet_name
  uint16_t (*find_loop_name)(const looptable *t, String *name);      // edges_find_loop_name
};

// The table in use; the domain library fills it when it is linked into the program (and
// again in domain_init). Calling an entry of a program without that library is a fault.
extern DomainCalls domcalls;
