// domain: the problem's geometry record, as far as run control reads it: the
// extrusion, meshing switch, layers, growth factor and materials.
#pragma once
#include <cstdint>

int domain_init();

struct Domain {
  uint8_t threed;      // 1 for an extruded (three-dimensional) domain
  uint8_t extrusion;   // nonzero while the domain is an extrusion
  uint8_t meshswitch;  // the meshing switch handed to the mesher
  uint16_t layers;     // layer count
  double grofac;       // growth factor (SELECT GROFAC)
  int32_t materials;   // count of the material list
};

// A deep copy of d, allocated.
Domain *domain_domain_copy(const Domain *d);
// Releases everything the domain holds (the record itself stays).
void domain_clear(Domain *d);
