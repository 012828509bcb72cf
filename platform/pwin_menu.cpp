// pwin_menu: menus as item lists kept by handle.
#include "platform/pwin_menu.h"

#include <map>

static std::map<pwin_handle, std::vector<pwin_item>> menus;
static pwin_handle next_menu = 1;

pwin_handle pwin_menu_new(bool) {
  pwin_handle id = next_menu++;
  menus[id];
  return id;
}

void pwin_menu_append(pwin_handle menu, uint16_t id, pwin_handle sub, const char *text) {
  auto it = menus.find(menu);
  if (it != menus.end()) it->second.push_back({id, id ? 0 : sub, text ? text : "", true});
}

// Pop-ups are searched at most eight deep, so a menu that holds itself ends.
static pwin_item *find_item(pwin_handle menu, uint16_t id, int depth) {
  auto it = menus.find(menu);
  if (it == menus.end() || depth > 8) return nullptr;
  for (pwin_item &i : it->second) {
    if (i.id == id && id != 0) return &i;
    if (i.sub)
      if (pwin_item *f = find_item(i.sub, id, depth + 1)) return f;
  }
  return nullptr;
}

pwin_item *pwin_menu_find(pwin_handle menu, uint16_t id) { return find_item(menu, id, 0); }

const std::vector<pwin_item> *pwin_menu_items(pwin_handle menu) {
  auto it = menus.find(menu);
  return it == menus.end() ? nullptr : &it->second;
}

static std::map<std::string, pwin_dialog_resource> dialog_resources;

void pwin_dialog_define(const char *name, const pwin_dialog_resource &resource) {
  dialog_resources[name ? name : ""] = resource;
}

const pwin_dialog_resource *pwin_dialog_find(const char *name) {
  auto it = dialog_resources.find(name ? name : "");
  return it == dialog_resources.end() ? nullptr : &it->second;
}
