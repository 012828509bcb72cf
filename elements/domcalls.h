// domcalls: the domain's functions that the mesh record and the model call (release,
// copy and print of a mesh's domain, the region of a point), as a table the domain
// library installs. The name lookups read only the record's tables and are called
// directly (elements/domain_names.h); the condition on a domain entity is the model's
// own (bcs_find_edge_bc and the others, model/bcs.h).
#pragma once
#include <cstdint>
#include <cstdio>

struct Domain;

struct DomainCalls {
  void (*clear)(Domain *d);                          // domain_clear
  Domain *(*copy)(const Domain *d);                  // domain_domain_copy
  void (*print)(FILE *f, const Domain *d);           // domain_print
  uint16_t (*find_region)(const Domain *d, const double *p);  // domain_find_region
};

// The table in use; the domain library fills it when it is linked into the program (and
// again in domain_init). Calling an entry of a program without that library is a fault.
extern DomainCalls domcalls;
