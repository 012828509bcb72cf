// features: the mesh-spacing features along the domain's boundaries.
#pragma once

struct Domain;

int features_init();

// Releases the domain's mesh-spacing features after meshing.
void features_free(Domain *d);
