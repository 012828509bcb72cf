// fitting_book: the bookkeeping of derived global values that the model keeps: their
// validity, the closure of a list under dependency and the domain selections of the
// integrals. Computing the values is the solver's part, reached through the validator
// the solver installs.
#include "model/fitting_book.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "elements/domain_record.h"
#include "elements/domain_names.h"
#include "elements/meshes.h"
#include "model/buildeq.h"
#include "model/formulas.h"
#include "model/globals_record.h"
#include "model/model_view.h"
#include "model/trees.h"
#include "runtime/debug.h"
#include "runtime/report.h"
#include "runtime/rtlib.h"
#include "runtime/strings.h"
#include "runtime/vectorn.h"
#include "runtime/vectort.h"

static String lit(const char *c) {
  uint16_t n = uint16_t(strlen(c));
  return String{n, n, const_cast<char *>(c)};
}

static fit *fit_of(pde *p, uint16_t f) { return model_view_of(p).formulas->fits.items[f - 1]; }

// The level at which a derived global goes stale: as recorded, else a solution change.
static uint32_t level_of(const fit *f) { return f->level ? f->level : 3; }

void fitting_invalidate_fits(pde *p, int32_t level) {
  TRACE("fitting_invalidate_fits");
  const model_view v = model_view_of(p);
  uint16_t n = std::min(v.formulas->fits.count, v.globals->count);
  for (uint16_t k = 1; k <= n; k++)
    if (int64_t(level_of(fit_of(p, k))) >= level) v.globals->items[k - 1].valid = 0;
}

void fitting_fit_closure(pde *p, vectorn *list) {
  TRACE("fitting_fit_closure_0");
  const model_view v = model_view_of(p);
  const fitlist &fits = v.formulas->fits;
  for (int32_t i = 1; i <= list->count; i++) {
    uint16_t f = list->data[i - 1];
    if (f < 1 || f > fits.count) continue;
    const vectorn &deps = fits.items[f - 1]->deps;
    for (int32_t k = 1; k <= deps.count; k++)
      if (deps.data[k - 1]) vectorn_enlist(list, deps.data[k - 1]);
  }
}

static fitting_validator validator;  // installed by the solver's fitting module

void fitting_set_validator(fitting_validator v) { validator = v; }

void fitting_validate_fits(pde *p, const vectorn *list, vector2d *u, const double times[2]) {
  if (validator) validator(p, list, u, times);
  else if (list && list->count > 0) rtlib_fatal_in("fitting_validate_fits", "NO VALIDATOR");
}

void fitting_validate_fits(pde *p, const vectorn *list, vector2d *u, double t0, double t1) {
  const double times[2] = {t0, t1};
  fitting_validate_fits(p, list, u, times);
}

// ---- Selections ------------------------------------------------------------------------

// What else a name denotes in the domain, for a message about a selector that read it
// as another kind ("" when nothing).
static const char *other_kind(const Domain *d, const String *name, const char *read_as) {
  String *n = const_cast<String *>(name);
  if (uint16_t r = regions_find_region_name(&d->regions, n)) {
    const char *k = d->regions.data[r - 1].type == 2 ? "a feature" : "a region";
    if (strcmp(k, read_as)) return k;
  }
  if (strcmp(read_as, "a layer") && domain_find_layer_name(d, n)) return "a layer";
  if (strcmp(read_as, "a surface") && domain_find_sheet_name(d, n)) return "a surface";
  if (strcmp(read_as, "a boundary") && edges_find_loop_name(&d->loops, n)) return "a boundary";
  return "";
}

// The located error of a selection: text before the name (or after it, with suffix);
// with a selector position pos (from 1), the message says which selector it read and,
// for a name, what else that name denotes.
[[noreturn]] static void selection_error(pde *p, fit *f, const char *text, const String *name, bool suffix,
                                         int pos = 0, const char *read_as = "") {
  static String m;  // the report jumps away: its text lives on
  if (suffix) {
    strings_copyto_0(&m, name);
    strings_addto_1(&m, text);
  } else {
    strings_copyto_1(&m, text);
    strings_addto_0(&m, name);
  }
  if (pos > 0) {
    char tail[160];
    const Domain *d = model_view_of(p).mesh->domain;
    const char *other = d ? other_kind(d, name, read_as) : "";
    if (*other)
      snprintf(tail, sizeof tail, " (selector %d read as %s; %.*s is %s)", pos, read_as + 2, int(name->length),
               name->text, other);
    else
      snprintf(tail, sizeof tail, " (selector %d)", pos);
    strings_addto_1(&m, tail);
  }
  report_parse_err_1(p, f->tree, &m);
}

// The set sized to n bits, all clear.
static void cleared(vectort *v, int32_t n) {
  vectort_resize(v, n, n);
  vectort_copyto_1(v, 0);
}

static const String *name_at(const fit *f, int pos) {
  return pos <= f->names.count && f->names.items[pos - 1].length > 0 ? &f->names.items[pos - 1] : nullptr;
}

static bool is_all(const String *s) { return s && s->length == 3 && strncasecmp(s->text, "ALL", 3) == 0; }

// The region named at pos (0: none or ALL); a feature there is an error.
static uint16_t region_at(pde *p, fit *f, int pos, uint16_t key) {
  const model_view v = model_view_of(p);
  const String *s = name_at(f, pos);
  if (!s) return key;
  if (is_all(s)) return 0;
  Domain *d = v.mesh->domain;
  uint16_t r = regions_find_region_name(&d->regions, const_cast<String *>(s));
  if (r == 0) selection_error(p, f, "Can't Find Region ", s, false, pos, "a region");
  if (d->regions.data[r - 1].type == 2) selection_error(p, f, " Does not Enclose a REGION", s, true);
  return r;
}

// The selection error of a selector given as a number, named by its digits.
[[noreturn]] static void number_error(pde *p, fit *f, const char *text, uint16_t n, bool suffix, int pos = 0) {
  static String digits;  // the report jumps away: its text lives on
  strings_itos_0(&digits, n);
  selection_error(p, f, text, &digits, suffix, pos);
}

// A region number written as a selector must be a region of the base domain (layer
// copies carry their base region's number); 0 selects every region.
static uint16_t checked_region(pde *p, fit *f, uint16_t r, int pos = 0) {
  const model_view v = model_view_of(p);
  const Domain *d = v.mesh->domain;
  if (r == 0) return 0;
  if (r > d->regions.count || d->regions.data[r - 1].defregion != r) number_error(p, f, "Can't Find Region ", r, false, pos);
  if (d->regions.data[r - 1].type == 2) number_error(p, f, " Does not Enclose a REGION", r, true, pos);
  return r;
}

static uint16_t checked_layer(pde *p, fit *f, uint16_t L, int pos = 0) {
  const model_view v = model_view_of(p);
  if (L > domain_layer_count(v.mesh->domain)) number_error(p, f, "Can't Find Layer ", L, false, pos);
  return L;
}

// The number a region selector compares with: the base region in 3D (every layer copy
// of a region answers to its number), the region itself in 2D.
static uint16_t base_region(const Domain *d, uint16_t i) { return d->threed ? d->regions.data[i - 1].defregion : i; }

// Region i is of base region r (any when 0) and in layer L (any when 0).
static bool region_matches(const Domain *d, uint16_t i, uint16_t r, uint16_t L) {
  if (i < 1 || i > d->regions.count) return false;
  const region &g = d->regions.data[i - 1];
  return g.type != 2 && (r == 0 || base_region(d, i) == r) && (L == 0 || g.layer == L);
}

// The text of selector pos: its name, else its number (keys 1 and 2).
static void selector_text(String *d, const fit *f, int pos) {
  if (const String *s = name_at(f, pos)) strings_copyto_0(d, s);
  else strings_itos_0(d, pos == 1 ? f->key1 : pos == 2 ? f->key2 : 0);
}

// A selection whose parts each exist but that together take nothing: the first
// selector after head, the second after joint.
[[noreturn]] static void empty_selection(pde *p, fit *f, const char *head, const char *joint) {
  static String two;  // the report jumps away: its text lives on
  String one = {};
  selector_text(&two, f, 1);
  strings_addto_1(&two, joint);
  selector_text(&one, f, 2);
  strings_addto_0(&two, &one);
  strings_free_0(&one);
  selection_error(p, f, head, &two, false);
}

void fitting_map_fit_regions(pde *p, uint16_t k) {
  TRACE("fitting_map_fit_regions");
  const model_view v = model_view_of(p);
  fit *f = fit_of(p, k);
  Domain *d = v.mesh->domain;
  uint16_t R = d->regions.count;
  cleared(&f->regions, R + 1);
  // 1. The region at position 1, the layer (3D) at position 2, by name or number.
  uint16_t r = name_at(f, 1) ? region_at(p, f, 1, 0) : checked_region(p, f, f->key1, 1);
  uint16_t layer = checked_layer(p, f, f->key2, 2);
  if (const String *s = name_at(f, 2)) {
    layer = is_all(s) ? 0 : domain_find_layer_name(d, const_cast<String *>(s));
    if (layer == 0 && !is_all(s)) selection_error(p, f, "Can't Find Layer ", s, false, 2, "a layer");
  }
  // 2. Every region of that number in that layer.
  bool any = false;
  for (uint16_t i = 1; i <= R; i++)
    if (region_matches(d, i, r, layer)) vectort_set_bit(&f->regions, i), any = true;
  if (!any) empty_selection(p, f, "Can't Find Region ", " in Layer ");
}

// ---- Surface selections (3D) -------------------------------------------------------------

namespace {

// What the selectors of a surface integral name; each field is "given" once a selector
// filled it (a region or layer given as 0 or ALL selects every one).
struct FaceSelection {
  uint16_t surface = 0, path = 0, region = 0, layer = 0;
  uint8_t side = 0;  // 1 LOWER, 2 UPPER
  bool has_region = false, has_layer = false;
};

bool is_word(const String *s, const char *w) {
  size_t n = strlen(w);
  return s->length == n && strncasecmp(s->text, w, n) == 0;
}

// A selector carried as the text of a number (the fourth argument of SURF_INTEGRAL).
bool is_number(const String *s) {
  if (s->length == 0 || s->length > 5) return false;
  for (uint16_t i = 0; i < s->length; i++)
    if (s->text[i] < '0' || s->text[i] > '9') return false;
  return true;
}

// A number fills the region when none is given yet, else the layer.
void number_selector(pde *p, fit *f, FaceSelection &q, uint16_t n, int pos) {
  if (!q.has_region) q.region = checked_region(p, f, n, pos), q.has_region = true;
  else if (!q.has_layer) q.layer = checked_layer(p, f, n, pos), q.has_layer = true;
  else number_error(p, f, "Undefined selection: ", n, false, pos);
}

// A name is, in this order, UPPER or LOWER, ALL, a surface, a boundary path (or a
// feature's path), a region or a layer; a name that no free field takes is an error.
// The side words yield to a surface, path, region or layer the problem names so: a
// layer called 'lower' is that layer.
void name_selector(pde *p, fit *f, FaceSelection &q, const String *s, int pos) {
  const model_view v = model_view_of(p);
  Domain *d = v.mesh->domain;
  String *n = const_cast<String *>(s);
  bool free_place = !q.surface && !q.path;
  bool side_word = is_word(s, "UPPER") || is_word(s, "LOWER");
  if (side_word && (domain_find_sheet_name(d, n) || edges_find_loop_name(&d->loops, n) ||
                    regions_find_region_name(&d->regions, n) || domain_find_layer_name(d, n)))
    side_word = false;
  if (side_word) {
    if (!q.side) {
      q.side = is_word(s, "UPPER") ? 2 : 1;
      return;
    }
  } else if (is_all(s)) {
    if (!q.has_region) {
      q.has_region = true;
      return;
    }
    if (!q.has_layer) {
      q.has_layer = true;
      return;
    }
  } else if (uint16_t sh = free_place ? domain_find_sheet_name(d, n) : 0) {
    q.surface = sh;
    return;
  } else if (uint16_t lp = free_place ? edges_find_loop_name(&d->loops, n) : 0) {
    q.path = lp;
    return;
  } else if (uint16_t r = regions_find_region_name(&d->regions, n)) {
    const region &g = d->regions.data[r - 1];
    if (g.type == 2 && free_place && g.loops.count > 0) {
      q.path = g.loops.data[0];
      return;
    }
    if (g.type == 2) selection_error(p, f, " Does not Enclose a REGION", s, true);
    if (!q.has_region) {
      q.region = base_region(d, r), q.has_region = true;
      return;
    }
  } else if (uint16_t L = domain_find_layer_name(d, n)) {
    if (!q.has_layer) {
      q.layer = L, q.has_layer = true;
      return;
    }
  } else if (pos == 1) {
    selection_error(p, f, "Can't Find Region ", s, false, pos, "a region");
  }
  selection_error(p, f, "Undefined selection: ", s, false, pos);
}

}  // namespace

// Faces of a surface integral, each taken once from one side: f->surfaces holds the
// faces, f->sides the region each is taken from, f->regions those regions.
//  - No surface or path: every face with exactly one side in a selected region (base
//    region and layer), from that side; UPPER keeps the top faces of the regions (the
//    region below the face), LOWER their bottom faces.
//  - A surface: its faces whose side region is selected, from the layer below unless
//    UPPER, the layer or the region ask for the layer above (or only that one exists).
//  - A path: the walls swept by its edges, from the left side unless only the right
//    one is selected.
void fitting_map_fit_faces(pde *p, uint16_t k) {
  TRACE("fitting_map_fit_faces");
  const model_view v = model_view_of(p);
  fit *f = fit_of(p, k);
  Domain *d = v.mesh->domain;
  uint16_t R = d->regions.count, Fc = d->faces.count;
  cleared(&f->regions, R + 1);
  cleared(&f->surfaces, Fc + 1);
  vectorn_resize(&f->sides, Fc, Fc);
  for (uint16_t i = 0; i < Fc; i++) f->sides.data[i] = 0;
  // 1. The selectors, by position: numbers fill the region, then the layer.
  FaceSelection q;
  const uint16_t keys[2] = {f->key1, f->key2};
  for (int pos = 1; pos <= std::max<int>(f->names.count, 2); pos++) {
    if (const String *s = name_at(f, pos)) {
      if (is_number(s)) number_selector(p, f, q, uint16_t(strings_intval(s)), pos);
      else name_selector(p, f, q, s, pos);
    } else if (pos <= 2 && keys[pos - 1]) {
      number_selector(p, f, q, keys[pos - 1], pos);
    }
  }
  if (q.path && q.side) {
    String w = lit(q.side == 2 ? "UPPER" : "LOWER");
    selection_error(p, f, "Undefined selection: ", &w, false);
  }
  auto selected = [&](uint16_t i) { return i != 0 && region_matches(d, i, q.region, q.layer); };
  auto take = [&](uint16_t i, uint16_t region) {
    vectort_set_bit(&f->surfaces, i);
    vectort_set_bit(&f->regions, region);
    f->sides.data[i - 1] = region;
  };
  // 2. The faces, each from one side (side 0 lies below a sheet face, left of a wall).
  bool any = false;
  for (uint16_t i = 1; i <= Fc; i++) {
    const face &fc = d->faces.data[i - 1];
    bool in[2] = {selected(fc.regions[0]), selected(fc.regions[1])};
    int s = -1;
    if (q.surface) {
      if (fc.type != 0 || fc.level != q.surface) continue;
      if (q.side) s = q.side == 2 ? 1 : 0;
      else s = in[0] ? 0 : 1;
    } else if (q.path) {
      const vectorl *edges = &d->loops.data[q.path - 1].edges;
      if (fc.type != 1 || (!vectorl_inlist(edges, fc.base) && !vectorl_inlist(edges, -int32_t(fc.base)))) continue;
      s = in[0] ? 0 : 1;
    } else {
      if (in[0] == in[1]) continue;
      s = in[0] ? 0 : 1;
      if (q.side && (fc.type != 0 || s != (q.side == 2 ? 0 : 1))) continue;
    }
    if (in[s]) take(i, fc.regions[s]), any = true;
  }
  if (!any) {
    static String all;  // the report jumps away: its text lives on
    strings_copyto_1(&all, "");
    for (int pos = 1; pos <= std::max<int>(f->names.count, 2); pos++) {
      String one = {};
      selector_text(&one, f, pos);
      if (pos > 1) strings_addto_1(&all, ", ");
      strings_addto_0(&all, &one);
      strings_free_0(&one);
    }
    selection_error(p, f, "Can't Find Surface ", &all, false);
  }
}

void fitting_map_fit_boundaries(pde *p, uint16_t k) {
  TRACE("fitting_map_fit_boundaries");
  const model_view v = model_view_of(p);
  fit *f = fit_of(p, k);
  Domain *d = v.mesh->domain;
  uint16_t R = d->regions.count, E = d->edges.count;
  cleared(&f->regions, R + 1);
  cleared(&f->boundaries, E + 1);
  // 1. The path: numbered, named at position 1, or the outer boundary.
  uint16_t path = f->key1;
  if (const String *s = name_at(f, 1)) {
    path = edges_find_loop_name(&d->loops, const_cast<String *>(s));
    if (path == 0) {
      uint16_t r = regions_find_region_name(&d->regions, const_cast<String *>(s));
      if (r && d->regions.data[r - 1].type == 2 && d->regions.data[r - 1].loops.count > 0)
        path = d->regions.data[r - 1].loops.data[0];
      else if (r)
        selection_error(p, f, " Does not Label a BOUNDARY", s, true);
      else
        selection_error(p, f, "Can't Find Boundary ", s, false, 1, "a boundary");
    }
  } else if (path > d->loops.count) {
    number_error(p, f, "Can't Find Boundary ", path, false, 1);
  }
  if (path == 0) path = 1;
  // 2. The region: numbered or named at position 2.
  uint16_t r = name_at(f, 2) ? region_at(p, f, 2, 0) : checked_region(p, f, f->key2, 2);
  if (r) vectort_set_bit(&f->regions, r);
  if (path > d->loops.count) return;
  const vectorl *edges = &d->loops.data[path - 1].edges;
  bool any = false;
  for (int32_t i = 0; i < edges->count; i++) {
    uint16_t e = uint16_t(std::abs(edges->data[i]));
    if (e < 1 || e > E) continue;
    const Edge &g = d->edges.data[e - 1];
    uint16_t left = g.side_regions[0], right = g.side_regions[1];
    if (r != 0 && left != r && right != r) continue;
    vectort_set_bit(&f->boundaries, e);
    any = true;
    if (r == 0) {
      uint16_t side = left == 0 ? right : left;
      if (side) vectort_set_bit(&f->regions, side);
    }
  }
  if (!any) empty_selection(p, f, "Can't Find Boundary ", " on Region ");
}

// The integrals a tree uses, through the definitions it names.
static void find_integrals(pde *p, const TreeNode *t, constraint *c, int depth) {
  const model_view v = model_view_of(p);
  if (!t || depth > 100) return;
  uint32_t op_ = t->opcode;
  if ((op_ == uint32_t(op::volint) || op_ == uint32_t(op::surfint) || op_ == uint32_t(op::bdryint)) && t->index >= 1 &&
      t->index <= v.formulas->fits.count) {
    fit *f = fit_of(p, t->index);
    if (op_ == uint32_t(op::volint)) vectort_orto(&c->sets[0], &f->regions);
    else vectort_orto(&c->sets[1], &f->regions);
    if (op_ == uint32_t(op::surfint)) vectort_orto(&c->sets[2], &f->surfaces);
    if (op_ == uint32_t(op::bdryint)) vectort_orto(&c->sets[3], &f->boundaries);
  }
  if (op_ == uint32_t(op::param) && t->index >= 1 && t->index <= v.formulas->definitions.count)
    find_integrals(p, params_find_param_tree(&v.formulas->definitions, t->index, 0), c, depth + 1);
  for (int k = 0; k < t->arity && k < 3; k++) find_integrals(p, t->child[k], c, depth + 1);
}

void fitting_map_constraint_fits(pde *p, constraint *c) {
  TRACE("fitting_map_constraint_fits");
  const model_view v = model_view_of(p);
  Domain *d = v.mesh->domain;
  int32_t sizes[4] = {d->regions.count + 1, d->regions.count + 1, d->faces.count + 1, d->edges.count + 1};
  for (int k = 0; k < 4; k++) cleared(&c->sets[k], sizes[k]);
  find_integrals(p, c->tree, c, 0);
}
