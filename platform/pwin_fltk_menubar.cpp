// pwin_fltk_menubar: the menu bar: its titles in rows, opening a title's menu, and the
// FLTK items built from a platform menu, greyed in place.
#include <FL/fl_draw.H>

#include "platform/pwin_fltk_internal.h"
#include "platform/pwin_menu.h"

namespace pwin_fltk {

int Bar::handle(int e) {
  // The window readies its menu (greys what cannot be done) before it opens; the
  // readying asks nothing of the X server (see clipboard_text), so the press's
  // release is never dispatched away under it.
  if ((e == FL_PUSH || e == FL_SHORTCUT) && handle_) {
    Win *r = lookup(handle_);
    if (r) send(handle_, PWIN_INITMENU, intptr_t(r->menu), 0);
  }
  if (!menu()) return 0;
  std::vector<Title> t = titles(w());
  if (e == FL_PUSH) {
    int ex = Fl::event_x() - x(), ey = Fl::event_y() - y();
    for (const Title &k : t)
      if (ex >= k.x && ex < k.x + k.w && ey >= k.y && ey < k.y + bar_height) return open(k);
    return 1;
  }
  // A top-level menu opens by its access letter, a top-level item without a menu of
  // its own ("&Stop") is chosen by it; other keys are the items' own shortcuts.
  if (e == FL_SHORTCUT && visible_r()) {
    const Fl_Menu_Item *v = menu()->find_shortcut(nullptr, true);
    for (const Title &k : t)
      if (v && k.item == v) return open(k);
    return test_shortcut() != nullptr;
  }
  return Fl_Menu_Bar::handle(e);
}

int Bar::open(const Title &t) {
  if (!t.item->active()) return 1;
  if (!t.item->submenu()) return picked(t.item) != nullptr;
  redraw();
  const Fl_Menu_Item *chosen = (t.item + 1)->pulldown(x() + t.x, y() + t.y, t.w, bar_height, nullptr, this);
  redraw();
  if (chosen) picked(chosen);
  return 1;
}

void Bar::draw() {
  draw_box(box() ? box() : FL_UP_BOX, x(), y(), w(), h(), color());
  fl_font(textfont(), textsize());
  for (const Title &k : titles(w())) {
    fl_color(k.item->active() ? textcolor() : fl_inactive(textcolor()));
    fl_draw_shortcut = 1;
    fl_draw(k.item->label(), x() + k.x + 6, y() + k.y, k.w - 6, bar_height, FL_ALIGN_LEFT);
    fl_draw_shortcut = 0;
  }
}

// ---- Menus -------------------------------------------------------------------------

void menu_chosen(Fl_Widget *w, void *id) {
  Bar *b = static_cast<Bar *>(w);
  post(b->handle_, PWIN_COMMAND, intptr_t(id) & 0xffff, 0);
}

// "&Copy\tCtrl+C": the text before the tab is the label ("&" marks the access
// letter, as in FLTK); a "Ctrl+" key after it is the item's shortcut.
int shortcut_of(const std::string &text) {
  size_t tab = text.find('\t');
  if (tab == std::string::npos) return 0;
  std::string key = text.substr(tab + 1);
  if (key.size() == 6 && key.compare(0, 5, "Ctrl+") == 0) return FL_CTRL | tolower(key[5]);
  return 0;
}

void build_items(Win &r, pwin_handle menu, int depth) {
  const std::vector<pwin_item> *items = pwin_menu_items(menu);
  if (!items || depth > 8) return;
  size_t first = r.items.size();
  for (const pwin_item &i : *items) {
    // "-" is a separator: a divider line under the item before it, never an item.
    if (i.text == "-") {
      if (r.items.size() > first && r.items.back().text) r.items.back().flags |= FL_MENU_DIVIDER;
      continue;
    }
    r.labels.push_back(i.text.substr(0, i.text.find('\t')));
    const char *label = r.labels.back().c_str();
    int flags = i.enabled ? 0 : FL_MENU_INACTIVE;
    if (i.sub) {
      r.items.push_back({label, 0, nullptr, nullptr, flags | FL_SUBMENU, 0, 0, 0, 0});
      build_items(r, i.sub, depth + 1);
      r.items.push_back({nullptr, 0, nullptr, nullptr, 0, 0, 0, 0, 0});
    } else {
      r.items.push_back(
          {label, shortcut_of(i.text), menu_chosen, reinterpret_cast<void *>(intptr_t(i.id)), flags, 0, 0, 0, 0});
    }
  }
}

void build_bar(Win &r) {
  r.items.clear();
  r.labels.clear();
  build_items(r, r.menu, 0);
  r.items.push_back({nullptr, 0, nullptr, nullptr, 0, 0, 0, 0, 0});
  r.frame->bar.menu(r.items.data());
  r.frame->bar.redraw();
}

// The item changes in place in every bar built from a menu that holds it: the bar's
// array stays where FLTK holds it, even while a menu of it is open.
void enable_menu_item(pwin_handle menu, uint16_t id, bool on) {
  pwin_item *i = pwin_menu_find(menu, id);
  if (!i || i->enabled == on) return;
  i->enabled = on;
  for (auto &[h, r] : windows) {
    if (!r.menu || !r.frame->has_bar || pwin_menu_find(r.menu, id) != i) continue;
    for (Fl_Menu_Item &m : r.items)
      if (m.text && m.callback_ == menu_chosen && intptr_t(m.user_data_) == id) {
        if (on) m.flags &= ~FL_MENU_INACTIVE;
        else m.flags |= FL_MENU_INACTIVE;
      }
    r.frame->bar.redraw();
  }
}

// No menu takes the bar away; the client area grows or shrinks with its rows.
void set_menu(pwin_handle w, pwin_handle menu) {
  FpHold hold;
  Win *r = lookup(w);
  if (!r) return;
  r->menu = menu;
  if (menu) build_bar(*r);
  int before = r->frame->client->h();
  r->frame->has_bar = menu != 0;
  r->frame->layout();
  if (before != r->frame->client->h()) {
    send_size(w);
    invalidate(w);
  }
}

}  // namespace pwin_fltk
