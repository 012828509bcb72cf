// faces: the face table of an extruded domain with its append, copy, free and print, and
// the place of a face in a joint's or an edge's face list.
#pragma once
#include "domain/domain.h"

int faces_init();

// Appends a face of the type (0 ext.face, 1 ext.edge, 2 plane3, 3 conic3); the table
// stops with "TABLE FULL IN NEW_FACE" beyond 65535 faces.
uint16_t faces_new_face(facetable *t, int32_t type);
// A new face of the source's type with its tag, periodic word, image, regions, bytes,
// box, name, base and level.
uint16_t faces_copy_face(facetable *t, const face *src);
// The 1-based position of face n in the joint's (edge's) face list, 0 when absent.
uint16_t faces_if_face_0(const Joint *j, uint16_t n);
uint16_t faces_if_face_1(const Edge *e, uint16_t n);
void faces_free(facetable *t);
void faces_print(FILE *f, const facetable *t, uint16_t n);
