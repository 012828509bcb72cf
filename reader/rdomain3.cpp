// rdomain3, until the extrusion and layer actions are built: the handlers build nothing.
#include "reader/rdomain3.h"

#include "runtime/rtlib.h"

void rdomain3_endextrud(parse_node *, parse_node *const *) {}
void rdomain3_shearang(parse_node *, parse_node *const *) {}
void rdomain3_yshearang(parse_node *, parse_node *const *) {}
void rdomain3_namedz0(parse_node *, parse_node *const *) {}
void rdomain3_nextlayer(parse_node *, parse_node *const *) {}
void rdomain3_labelayer(parse_node *, parse_node *const *) {}
void rdomain3_extrusion(parse_node *, parse_node *const *) {}
void rdomain3_pextrusion(parse_node *, parse_node *const *) {}
void rdomain3_apextrusion(parse_node *, parse_node *const *) {}
void rdomain3_named_layer(parse_node *, parse_node *const *) {}
void rdomain3_zsurface(parse_node *, parse_node *const *) {}
void rdomain3_named_zsurface(parse_node *, parse_node *const *) {}
void rdomain3_voidlayer(parse_node *, parse_node *const *) {}
void rdomain3_layertag(parse_node *, parse_node *const *) {}
void rdomain3_layername(parse_node *, parse_node *const *) {}
void rdomain3_surfacetag(parse_node *, parse_node *const *) {}
void rdomain3_surfacename(parse_node *, parse_node *const *) {}
void rdomain3_laydefine1(parse_node *, parse_node *const *) {}
void rdomain3_laydefine2(parse_node *, parse_node *const *) {}

int rdomain3_init() {
  TRACE("rdomain3");
  return 0;
}
