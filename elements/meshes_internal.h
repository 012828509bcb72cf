// meshes_internal: the cell and node accessors that the mesh module's files share.
#pragma once
#include <cstdint>

#include "elements/meshes.h"

MeshCell &cell_at(Mesh *m, int32_t c);
MeshNode &node_at(Mesh *m, int32_t n);
int functions(int32_t basis);
int node_span(const MeshCell &c, int n);
