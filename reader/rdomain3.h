// rdomain3: the extrusion and layer actions of the descriptor parser: the surfaces,
// layers, shear and periodicity of an extruded domain, and the LAYER, SURFACE and VOID
// selectors inside BOUNDARIES.
#pragma once

struct parse_node;

int rdomain3_init();

// Handlers: r is the result (a copy of $1 on entry), v[1..n] the right-hand values.
void rdomain3_endextrud(parse_node *r, parse_node *const *v);
void rdomain3_shearang(parse_node *r, parse_node *const *v);
void rdomain3_yshearang(parse_node *r, parse_node *const *v);
void rdomain3_namedz0(parse_node *r, parse_node *const *v);
void rdomain3_nextlayer(parse_node *r, parse_node *const *v);
void rdomain3_labelayer(parse_node *r, parse_node *const *v);
void rdomain3_extrusion(parse_node *r, parse_node *const *v);
void rdomain3_pextrusion(parse_node *r, parse_node *const *v);
void rdomain3_apextrusion(parse_node *r, parse_node *const *v);
void rdomain3_named_layer(parse_node *r, parse_node *const *v);
void rdomain3_zsurface(parse_node *r, parse_node *const *v);
void rdomain3_named_zsurface(parse_node *r, parse_node *const *v);
void rdomain3_voidlayer(parse_node *r, parse_node *const *v);
void rdomain3_layertag(parse_node *r, parse_node *const *v);
void rdomain3_layername(parse_node *r, parse_node *const *v);
void rdomain3_surfacetag(parse_node *r, parse_node *const *v);
void rdomain3_surfacename(parse_node *r, parse_node *const *v);
void rdomain3_laydefine1(parse_node *r, parse_node *const *v);
void rdomain3_laydefine2(parse_node *r, parse_node *const *v);
