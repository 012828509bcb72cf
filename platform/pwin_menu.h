// pwin_menu: the menu records that every window back end keeps: per menu its items
// in order, each a command id, or a pop-up with its menu, with its text and
// whether it is enabled.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/pwin.h"

struct pwin_item {
  uint16_t id;      // the command; 0 for a pop-up
  pwin_handle sub;  // the pop-up's menu, 0 for a command
  std::string text;
  bool enabled;
};

// A new empty menu's handle (never 0); a bar and a pop-up are kept alike.
pwin_handle pwin_menu_new(bool popup);
// Appends a command (id nonzero) or the pop-up sub (id 0); an unknown menu takes nothing.
void pwin_menu_append(pwin_handle menu, uint16_t id, pwin_handle sub, const char *text);
// The item with the command id in the menu or its pop-ups; null when there is none.
pwin_item *pwin_menu_find(pwin_handle menu, uint16_t id);
// The items of a menu; null for an unknown menu.
const std::vector<pwin_item> *pwin_menu_items(pwin_handle menu);

// Dialog resources: a caption, a size in pixels and the items, each a static text, an
// edit field, a push button or a check box with its id, text and place.
enum { PWIN_DLG_TEXT, PWIN_DLG_EDIT, PWIN_DLG_BUTTON, PWIN_DLG_CHECK };
struct pwin_dialog_item {
  uint16_t id;
  int kind;
  std::string text;
  int x, y, width, height;
};
struct pwin_dialog_resource {
  std::string caption;
  int width, height;
  std::vector<pwin_dialog_item> items;
};
// Defines (or replaces) the dialog resource of the name.
void pwin_dialog_define(const char *name, const pwin_dialog_resource &resource);
// The resource of the name; null when none is defined.
const pwin_dialog_resource *pwin_dialog_find(const char *name);
