// fits: derived-global records and their look-up.
#include "model/fits.h"

#include "model/reclist.h"

uint16_t fits_debug = 0;

int fits_init() {
  TRACE("fits");
  return 0;
}

static fit *get(const fitlist *list, uint16_t number, const char *where) {
  if (number < 1 || number > list->count) rtlib_fatal_in(where, "UNDEFINED FIT");
  return list->items[number - 1];
}

// The last record for which match holds, or 0.
template <class M> static uint16_t last_match(const fitlist *list, M match) {
  uint16_t found = 0;
  for (uint16_t k = 1; k <= list->count; k++)
    if (match(*list->items[k - 1])) found = k;
  return found;
}

static void store_tree(TreeNode **at, TreeNode *tree) {
  if (*at != tree) trees_free_0(*at);
  *at = tree;
}

// Stores tree and kind, and the keys 1 and 2; the names are emptied.
static fit *define(fitlist *list, uint16_t number, TreeNode *tree, uint32_t kind, uint16_t key1, uint16_t key2,
                   const char *where) {
  fit *f = get(list, number, where);
  store_tree(&f->tree, tree);
  f->kind = kind;
  f->key1 = key1;
  f->key2 = key2;
  strings_free_1(&f->names, 1);
  return f;
}

static void add_name(fit *f, const String *name) {
  uint16_t k = strings_one_more(&f->names, name);
  strings_upstring_0(&f->names.items[k - 1]);
}

void fits_define_fit_0(fitlist *list, uint16_t number, TreeNode *tree, double value, uint16_t key, uint32_t kind) {
  TRACE("fits_define_fit_0");
  fit *f = define(list, number, tree, kind, 0, 0, "fits_define_fit_0");
  f->parameter = float(value);
  f->key = key;
}

void fits_define_fit_1(fitlist *list, uint16_t number, TreeNode *tree, uint16_t key1, const String *name,
                       uint32_t kind) {
  TRACE("fits_define_fit_1");
  fit *f = define(list, number, tree, kind, key1, 0, "fits_define_fit_1");
  strings_new_1(&f->names, 0, 3);
  add_name(f, name);
}

static void define_fit_3(fitlist *list, uint16_t number, TreeNode *tree, uint16_t key1, uint16_t key2,
                         const StringList *names, uint32_t kind) {
  TRACE("define_fit_3");
  fit *f = define(list, number, tree, kind, key1, key2, "define_fit_3");
  for (int32_t k = 0; k < names->count; k++) add_name(f, &names->items[k]);
}

void fits_define_fit_2(fitlist *list, uint16_t number, TreeNode *tree, TreeNode *second, uint32_t kind) {
  TRACE("fits_define_fit_2");
  fit *f = define(list, number, tree, kind, 0, 0, "fits_define_fit_2");
  store_tree(&f->second, second);
}

uint16_t fits_make_fit_0(fitlist *list, TreeNode *tree, uint16_t key, double value, uint32_t kind) {
  TRACE("fits_make_fit_0");
  uint16_t n = last_match(list, [&](const fit &f) {
    return f.kind == kind && f.key == key && double(f.parameter) == value && trees_compare(f.tree, tree);
  });
  if (n) return n;
  n = reclist_append(list, 4, "fits_make_fit_0");
  fits_define_fit_0(list, n, tree, value, key, kind);
  return n;
}

uint16_t fits_make_fit_1(fitlist *list, TreeNode *tree, uint16_t key1, const String *name, uint32_t kind) {
  TRACE("fits_make_fit_1");
  uint16_t n = last_match(list, [&](const fit &f) {
    return f.kind == kind && f.key1 == key1 && f.names.count == 1 && strings_compare_0(&f.names.items[0], name) == 0 &&
           trees_compare(f.tree, tree);
  });
  if (n) return n;
  n = reclist_append(list, 4, "fits_make_fit_1");
  fits_define_fit_1(list, n, tree, key1, name, kind);
  return n;
}

uint16_t fits_make_fit_3(fitlist *list, TreeNode *tree, uint16_t key1, uint16_t key2, const StringList *names,
                         uint32_t kind) {
  TRACE("fits_make_fit_3");
  uint16_t n = last_match(list, [&](const fit &f) {
    if (f.kind != kind || f.key1 != key1 || f.key2 != key2 || f.names.count != names->count) return false;
    for (int32_t k = 0; k < names->count; k++)
      if (strings_compare_0(&f.names.items[k], &names->items[k]) != 0) return false;
    return trees_compare(f.tree, tree);
  });
  if (n) return n;
  n = reclist_append(list, 4, "fits_make_fit_3");
  define_fit_3(list, n, tree, key1, key2, names, kind);
  return n;
}

uint16_t fits_make_fit_2(fitlist *list, TreeNode *tree, TreeNode *second, uint32_t kind) {
  TRACE("fits_make_fit_2");
  uint16_t n = last_match(list, [&](const fit &f) {
    return f.kind == kind && trees_compare(f.tree, tree) && trees_compare(f.second, second);
  });
  if (n) return n;
  n = reclist_append(list, 4, "fits_make_fit_2");
  fits_define_fit_2(list, n, tree, second, kind);
  return n;
}

static TreeNode *entry(const treevector *v, uint16_t n) {
  return n >= 1 && n <= v->count ? v->data[n - 1] : nullptr;
}

TreeNode *fits_find_fit_tree(const fitlist *list, uint16_t number, uint16_t region, uint16_t layer) {
  TRACE("fits_find_fit_tree_0");
  const fit *f = get(list, number, "fits_find_fit_tree_0");
  TreeNode *t = f->tree;
  if (region == 0) return t;
  if (TreeNode *r = entry(&f->byregion, region)) t = r;
  uint16_t l = layer & 0xFF;
  if (l != 0 && region <= f->bylayer.count)
    if (TreeNode *r = entry(&f->bylayer.data[region - 1], l)) t = r;
  return t;
}

void fits_free_0(fit *f) {
  TRACE("fits_free_0");
  strings_free_0(&f->name);
  f->tree = trees_free_0(f->tree);
  f->second = trees_free_0(f->second);
  trees_free_1(&f->byregion, 1);
  trees_free_2(&f->bylayer, 1);
  vectorn_free(&f->deps);
  strings_free_1(&f->names, 1);
  vectort_free(&f->regions);
  vectort_free(&f->surfaces);
  vectort_free(&f->boundaries);
  vectorn_free(&f->sides);
  basisfun_free_1(&f->basis);
  trees_free_2(&f->jacobians, 1);
}

void fits_free_1(fitlist *list) {
  TRACE("fits_free_1");
  reclist_free(list, fits_free_0);
}
