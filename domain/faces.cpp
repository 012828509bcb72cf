// faces: the face table of extruded domains.
#include "domain/faces.h"

#include "runtime/rtlib.h"

int faces_init() {
  TRACE("faces");
  return 0;
}

uint16_t faces_new_face(facetable *t, int32_t type) {
  TRACE("faces_new_face");
  uint16_t n = domain_table_append(t, "NEW_FACE");
  t->data[n - 1].number = n;
  t->data[n - 1].type = type;
  return n;
}

uint16_t faces_copy_face(facetable *t, const face *src) {
  TRACE("faces_copy_face");
  face s = *src;  // the source may lie in the table that grows
  uint16_t n = faces_new_face(t, s.type);
  face &c = t->data[n - 1];
  c.bctag = s.bctag;
  c.periodic = s.periodic;
  c.image = s.image;
  c.regions[0] = s.regions[0], c.regions[1] = s.regions[1];
  c.bytes[0] = s.bytes[0], c.bytes[1] = s.bytes[1];
  c.box = s.box;
  strings_copyto_0(&c.name, &s.name);
  c.base = s.base;
  c.level = s.level;
  return n;
}

static uint16_t position(const vectorn *v, uint16_t n) {
  for (int32_t k = 0; k < v->count; k++)
    if (v->data[k] == n) return uint16_t(k + 1);
  return 0;
}

uint16_t faces_if_face_0(const Joint *j, uint16_t n) { return position(&j->faces, n); }
uint16_t faces_if_face_1(const Edge *e, uint16_t n) { return position(&e->face_list, n); }

void faces_free(facetable *t) {
  TRACE("faces_free");
  for (int32_t k = 0; k < t->capacity; k++) strings_free_0(&t->data[k].name);
  domain_table_drop(t);
}

void faces_print(FILE *f, const facetable *t, uint16_t n) {
  TRACE("faces_print");
  static const char *const types[] = {"ext.face", "ext.edge", "plane3", "conic3"};
  const face &c = t->data[n - 1];
  fprintf(f, "Face %5d  BCTAG=%d (type=%s ", c.number, c.bctag, c.type >= 0 && c.type <= 3 ? types[c.type] : "?");
  if (c.type == 0) fprintf(f, "%2d) (surface %2d)", c.base, c.level);
  if (c.type == 1) fprintf(f, "%2d) (layer %4d)", c.base, c.level);
  fprintf(f, " (regions=%d,%d) ", c.regions[0], c.regions[1]);
  if (c.name.length) fprintf(f, " (name=%s)", c.name.text);
  if (c.image) fprintf(f, " image=%d", c.image);
  fputs("\n", f);
}
