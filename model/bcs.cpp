// bcs: boundary-condition records, tags and their merge.
#include "model/bcs.h"

#include "model/reclist.h"
#include <cstring>
#include <string>

#include "elements/domain_record.h"
#include "model/formulas.h"
#include "runtime/debug.h"
#include "runtime/report.h"

const char bcs_typenames[8][11] = {"nobc", "naturalbc", "valuebc", "imposebc", "normalbc", "tanglbc", "valuept", "loadpt"};

uint16_t bcs_debug = 0;

int bcs_init() {
  TRACE("bcs");
  return 0;
}

uint16_t bcs_new_bc(bcset *set) {
  TRACE("bcs_new_bc_0");
  return reclist_append(set, 8, "bcs_new_bc_0");
}

void bcs_define_bc(bcset *set, uint16_t number, TreeNode *tree, int32_t type, uint16_t variable) {
  TRACE("bcs_define_bc_0");
  if (number < 1 || number > set->count) rtlib_fatal_in("bcs_define_bc_0", "UNDEFINED BC");
  bc *b = set->items[number - 1];
  if (b->tree != tree) trees_free_0(b->tree);
  b->tree = tree;
  b->type = type;
  b->variable = variable;
}

uint16_t bcs_find_bc_regix(const bc *b, uint16_t region) {
  TRACE("bcs_find_bc_regix_0");
  const vectorn &r = b->regions;
  for (int32_t k = 0; k < r.count; k++)
    if (r.data[k] == region) return uint16_t(k + 1);
  debug_printf("UNLISTED REGION %d OF %d:", region, r.count);
  for (int32_t k = 0; k < r.count; k++) debug_printf(" %d", r.data[k]);
  debug_printf("\n");
  return uint16_t(r.count);
}

uint16_t bcs_make_bctag(bcset *set, const vectorn *tag) {
  TRACE("bcs_make_bctag_0");
  bool any = false;
  for (int32_t k = 0; k < tag->count; k++) any = any || tag->data[k] != 0;
  if (!any) return 0;
  vector2n &tags = set->tags;
  for (int32_t t = 0; t < tags.count; t++) {
    const vectorn &s = tags.data[t];
    bool same = s.count == tag->count;
    for (int32_t k = 0; same && k < s.count; k++) same = s.data[k] == tag->data[k];
    if (same) return uint16_t(t + 1);
  }
  if (tags.count >= UINT16_MAX) rtlib_fatal_in("bcs_make_bctag_0", RECLIST_FULL);
  int32_t n = tags.count + 1;
  vector2n_resize(&tags, n, tags.count < tags.capacity ? tags.capacity : tags.capacity + 8);
  vectorn_free(&tags.data[n - 1]);  // a slot beyond the count may keep old storage
  vectorn_copyto_0(&tags.data[n - 1], tag);
  return uint16_t(n);
}

static int32_t type_of(const bcset *set, uint16_t number) {
  return number >= 1 && number <= set->count ? set->items[number - 1]->type : nobc;
}

int32_t bcs_merge_bctags(const bcset *set, vectorn *dest, const vectorn *source) {
  TRACE("bcs_merge_bctags_0");
  if (dest->count < source->count) {
    int32_t old = dest->count;
    vectorn_resize(dest, source->count, source->count > dest->capacity ? source->count : dest->capacity);
    for (int32_t k = old; k < dest->count; k++) dest->data[k] = 0;
  }
  int32_t conflicts = 0;
  for (int32_t k = 0; k < source->count; k++) {
    uint16_t s = source->data[k], d = dest->data[k];
    if (s == 0 || s == d) continue;
    int32_t ts = type_of(set, s), td = d ? type_of(set, d) : nobc;
    switch (ts) {
      case naturalbc:
        if (d == 0) dest->data[k] = s;
        break;
      case valuebc:
      case valuept:
        if (d != 0 && (td == valuebc || td == valuept)) conflicts++;
        dest->data[k] = s;
        break;
      case normalbc:
      case tanglbc:
        if (d != 0 && (td == valuebc || td == normalbc || td == tanglbc || td == valuept)) conflicts++;
        dest->data[k] = s;
        break;
      case loadpt:
        dest->data[k] = s;
        break;
      default:  // nobc, imposebc: the destination keeps its condition
        break;
    }
  }
  return conflicts;
}

void bcs_free_0(bc *b) {
  TRACE("bcs_free_0");
  strings_free_0(&b->name1);
  strings_free_0(&b->name2);
  b->tree = trees_free_0(b->tree);
  vectorn_free(&b->regions);
  for (treevector &v : b->lists) trees_free_1(&v, 1);
  trees_free_1(&b->slopes, 1);
  trees_free_2(&b->perregion, 1);
  trees_free_1(&b->rates, 1);
  trees_free_2(&b->ratejac, 1);
}

void bcs_free_1(bcset *set) {
  TRACE("bcs_free_1");
  reclist_free(set, bcs_free_0);
  vector2n_free(&set->tags, 1);
}

static const char *const tag_labels[8] = {nullptr, " nat(%d)", " val(%d)", nullptr, " nrm(%d)", " tan(%d)", " vpt(%d)", " lpt(%d)"};
static const char *const formula_labels[8] = {nullptr, " NAT(", " VAL(", nullptr, " NRM(", " TAN(", " VPT(", " LPT("};

void bcs_print_bcs(FILE *f, const bcset *set, const StringList *names) {
  TRACE("bcs_print_bcs_0");
  if (!f) return;
  fprintf(f, "\nBOUNDARY CONDITION TAGS with associated BC INDEX\n");
  for (int32_t t = 0; t < set->tags.count; t++) {
    const vectorn &tag = set->tags.data[t];
    fprintf(f, "BC TAG %3d:", t + 1);
    int32_t n = names && names->count > 0 ? names->count : tag.count;
    for (int32_t k = 0; k < n; k++) {
      uint16_t s = k < tag.count ? tag.data[k] : 0;
      int32_t ty = type_of(set, s);
      const char *label = s == 0 ? " nat(%d)" : ty >= 0 && ty < 8 && tag_labels[ty] ? tag_labels[ty] : " !@?(%d)";
      fprintf(f, label, s);
    }
    fprintf(f, "\n");
  }
  fprintf(f, "\nBOUNDARY CONDITION FORMULAS [BCINDEX]\n");
  for (int32_t k = 0; k < set->count; k++) {
    const bc *b = set->items[k];
    const char *label = b->type >= 0 && b->type < 8 && formula_labels[b->type] ? formula_labels[b->type] : " ?[";
    const char *var = names && b->variable >= 1 && b->variable <= names->count && names->items[b->variable - 1].text
                          ? names->items[b->variable - 1].text
                          : "";
    std::string title = "BC INDEX " + std::to_string(k + 1) + label + var + ")";
    trees_print_tree(f, b->tree, title.c_str());
  }
}

// ---- The condition on a domain entity ----------------------------------------------------------

const vectorn *bcs_tag_list(const bcset *set, uint16_t tag) {
  return tag >= 1 && tag <= set->tags.count ? &set->tags.data[tag - 1] : nullptr;
}

static uint16_t lookup(uint16_t tag, uint16_t variable, const FormulaSet *f) {
  const vectorn *l = bcs_tag_list(&f->bcs, tag);
  return l && variable >= 1 && variable <= l->count ? l->data[variable - 1] : 0;
}

// The message is copied to static storage, so that the jump that follows leaves nothing
// allocated.
[[noreturn]] static void exec_error(const char *text) {
  static char buffer[32];
  snprintf(buffer, sizeof buffer, "%s", text);
  String m{uint16_t(strlen(buffer)), uint16_t(sizeof buffer - 1), buffer};
  report_exec_err_1(&m);
}

uint16_t bcs_find_face_bc(const Domain *d, uint16_t entity, uint16_t variable, const FormulaSet *f) {
  if (entity < 1 || entity > d->faces.count) return 0;
  return lookup(d->faces.data[entity - 1].bctag, variable, f);
}

uint16_t bcs_find_edge_bc(const Domain *d, uint16_t entity, uint16_t variable, const FormulaSet *f) {
  if (entity < 1 || entity > d->edges.count) exec_error("INVALID EDGE ENTRY");
  return lookup(d->edges.data[entity - 1].bctag, variable, f);
}

uint16_t bcs_find_joint_bc(const Domain *d, uint16_t entity, uint16_t variable, const FormulaSet *f) {
  if (entity < 1 || entity > d->joints.count) exec_error("INVALID JOINT ENTRY");
  return lookup(d->joints.data[entity - 1].bctag, variable, f);
}

uint16_t bcs_find_surf_bc(const Domain *d, uint16_t entity, uint16_t variable, const FormulaSet *f) {
  return d->threed ? bcs_find_face_bc(d, entity, variable, f) : bcs_find_edge_bc(d, entity, variable, f);
}
