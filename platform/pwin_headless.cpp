// pwin, headless back end: windows are records on a 1024 x 768 desktop, events are
// synthesized (a size message during creation, paint queued after show), message
// boxes are written to a log, questions and file dialogs take scripted answers,
// the edit control is a text buffer.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "platform/psurf.h"
#include "platform/pwin.h"
#include "platform/pwin_menu.h"
#include "platform/pwin_queue.h"

namespace {

struct HeadlessWindow {
  pwin_handle cls, owner, menu;
  uint32_t user;
  std::string caption, text;
  int32_t x, y, width, height;
  int32_t extra;  // outer height less client height
  int show;
  bool visible, enabled;
  int32_t scroll[2][4];
  int32_t selection[2];  // the edit control's selected range
  psurf *surface;
};

std::map<pwin_handle, HeadlessWindow> windows;
std::map<pwin_handle, std::string> notices;
std::deque<int> answers;
std::deque<std::string> files;
pwin_handle next_handle = 1;
int32_t frame_extra = 50;
FILE *log_file;

constexpr int32_t desk_w = 1024, desk_h = 768, caption_h = 19;

HeadlessWindow *find(pwin_handle w) {
  auto it = windows.find(w);
  return it == windows.end() ? nullptr : &it->second;
}

// The client area: a captioned window is its extra pixels taller than it.
void client_of(const HeadlessWindow &w, int32_t *cw, int32_t *ch) {
  *cw = w.width > 0 ? w.width : 0;
  int32_t h = w.height - w.extra;
  *ch = h > 0 ? h : 0;
}

intptr_t send(pwin_handle w, int msg, intptr_t a, intptr_t b) {
  HeadlessWindow *r = find(w);
  return r ? pwin_class_of(r->cls)->proc(w, msg, a, b) : 0;
}

void invalidate(pwin_handle w);

void send_size(pwin_handle w) {
  HeadlessWindow *r = find(w);
  if (!r) return;
  int32_t cw, ch;
  client_of(*r, &cw, &ch);
  send(w, PWIN_SIZE, 0, (intptr_t(cw) << 16) | intptr_t(ch & 0xffff));
}

pwin_handle create(pwin_handle cls, const char *caption, uint32_t style, int32_t x, int32_t y,
                   int32_t w, int32_t h, pwin_handle owner, pwin_handle menu, uint32_t user) {
  if (!pwin_class_of(cls) || (owner && !find(owner))) return 0;
  pwin_handle id = next_handle++;
  HeadlessWindow r{};
  r.cls = cls;
  r.owner = owner;
  r.menu = menu;
  r.user = user;
  r.caption = caption ? caption : "";
  r.x = x < 0 ? 0 : x;
  r.y = y < 0 ? 0 : y;
  r.width = w;
  r.height = h;
  r.extra = (style & PWIN_WS_CAPTION) == PWIN_WS_CAPTION && frame_extra > 0 ? frame_extra : 0;
  r.enabled = true;
  r.surface = psurf_headless_new(w, h - r.extra);
  windows[id] = r;
  send_size(id);
  return id;
}

uint32_t user(pwin_handle w) {
  HeadlessWindow *r = find(w);
  return r ? r->user : 0;
}

bool show(pwin_handle w, int cmd) {
  HeadlessWindow *r = find(w);
  if (!r) return false;
  r->show = cmd;
  r->visible = cmd != PWIN_HIDE;
  invalidate(w);
  return true;
}

void destroy(pwin_handle w) {
  if (!find(w)) return;
  std::vector<pwin_handle> owned;
  for (auto &[id, r] : windows)
    if (r.owner == w) owned.push_back(id);
  for (pwin_handle o : owned) destroy(o);
  send(w, PWIN_DESTROY, 0, 0);
  HeadlessWindow *r = find(w);
  if (!r) return;
  psurf_headless_free(&r->surface);
  windows.erase(w);
  pwin_queue_drop(w);
}

void move(pwin_handle w, int32_t x, int32_t y, int32_t width, int32_t height) {
  HeadlessWindow *r = find(w);
  if (!r) return;
  r->x = x;
  r->y = y;
  r->width = width;
  r->height = height;
  send_size(w);
  invalidate(w);
}

void client_size(pwin_handle w, int32_t *cw, int32_t *ch) {
  *cw = *ch = 0;
  if (HeadlessWindow *r = find(w)) client_of(*r, cw, ch);
}

void origin(pwin_handle w, int32_t *x, int32_t *y) {
  *x = *y = 0;
  if (HeadlessWindow *r = find(w)) {
    *x = r->x;
    *y = r->y + r->extra;
  }
}

void set_caption(pwin_handle w, const char *text) {
  if (HeadlessWindow *r = find(w)) r->caption = text ? text : "";
}

void set_enabled(pwin_handle w, bool on) {
  if (HeadlessWindow *r = find(w)) r->enabled = on;
}

void invalidate(pwin_handle w) {
  HeadlessWindow *r = find(w);
  if (r && r->visible) pwin_queue_paint(w);
}

void update(pwin_handle w) {
  if (pwin_queue_take_paint(w)) send(w, PWIN_PAINT, 0, 0);
}

intptr_t default_proc(pwin_handle w, int msg, intptr_t, intptr_t) {
  if (msg == PWIN_CLOSE) destroy(w);
  return 0;
}

psurf *surface(pwin_handle w) {
  HeadlessWindow *r = find(w);
  return r ? r->surface : nullptr;
}

void wait() {}

bool peek(pwin_msg *m) { return pwin_queue_pop(m); }

intptr_t dispatch(const pwin_msg *m) { return send(m->window, m->msg, m->a, m->b); }

void post_quit() {}

void enable_menu_item(pwin_handle menu, uint16_t id, bool on) {
  if (pwin_item *i = pwin_menu_find(menu, id)) i->enabled = on;
}

void set_menu(pwin_handle w, pwin_handle menu) {
  if (HeadlessWindow *r = find(w)) r->menu = menu;
}

void set_scroll(pwin_handle w, int bar, int32_t min, int32_t max, int32_t page, int32_t pos) {
  HeadlessWindow *r = find(w);
  if (!r || bar < 0 || bar > 1) return;
  int32_t *s = r->scroll[bar];
  s[0] = min;
  s[1] = max;
  s[2] = page;
  s[3] = pos;
}

void work_area(int32_t *w, int32_t *h) {
  *w = desk_w;
  *h = desk_h;
}

int32_t caption_height() { return caption_h; }

int message_box(pwin_handle, const char *text, const char *caption, int style) {
  FILE *f = log_file ? log_file : stderr;
  fprintf(f, "%s: %s\n", caption ? caption : "Error", text ? text : "");
  fflush(f);
  int kind = style & 0x0f;
  if (kind != PWIN_MB_YESNO && kind != PWIN_MB_OKCANCEL) return PWIN_IDOK;
  int no = kind == PWIN_MB_YESNO ? PWIN_IDNO : PWIN_IDCANCEL;
  if (answers.empty()) return no;
  int a = answers.front();
  answers.pop_front();
  return a;
}

pwin_handle notice(pwin_handle, const char *text) {
  pwin_handle id = next_handle++;
  notices[id] = text ? text : "";
  return id;
}

void kill_notice(pwin_handle n) { notices.erase(n); }

// Dialogs: the items' texts by id; the presses queued are given one by one while the
// dialog is open, and a dialog left open when they run out is cancelled.
struct Dialog {
  std::map<uint16_t, std::string> items;
  bool ended = false;
  int32_t result = 0;
};
std::map<pwin_handle, Dialog> dialogs;
std::deque<uint16_t> presses;
std::string dialog_text;

int32_t dialog(pwin_handle, const char *resource, pwin_dialog_proc proc) {
  const pwin_dialog_resource *r = pwin_dialog_find(resource);
  if (!r) return -1;
  pwin_handle id = next_handle++;
  Dialog &d = dialogs[id];
  for (const pwin_dialog_item &i : r->items) d.items[i.id] = i.kind == PWIN_DLG_CHECK ? "0" : i.text;
  proc(1, 0, id);
  while (!dialogs[id].ended) {
    uint16_t press = PWIN_IDCANCEL;
    if (!presses.empty()) press = presses.front(), presses.pop_front();
    proc(press, 0, id);
    if (press == PWIN_IDCANCEL && !dialogs[id].ended) dialogs[id] = {{}, true, PWIN_IDCANCEL};
  }
  int32_t result = dialogs[id].result;
  dialogs.erase(id);
  return result;
}

void dialog_end(pwin_handle d, int32_t result) {
  auto it = dialogs.find(d);
  if (it != dialogs.end()) it->second.ended = true, it->second.result = result;
}

const char *dialog_get(pwin_handle d, uint16_t item) {
  auto it = dialogs.find(d);
  dialog_text = it != dialogs.end() && it->second.items.count(item) ? it->second.items[item] : "";
  return dialog_text.c_str();
}

void dialog_set(pwin_handle d, uint16_t item, const char *text) {
  auto it = dialogs.find(d);
  if (it != dialogs.end() && it->second.items.count(item)) it->second.items[item] = text ? text : "";
}

void dialog_check(pwin_handle d, uint16_t item, bool on) { dialog_set(d, item, on ? "1" : "0"); }
bool notice_cancelled(pwin_handle) { return false; }
void help(pwin_handle, const char *) {}
void beep(int) {}

bool file_dialog(char *path, int size) {
  if (files.empty() || size <= 0) return false;
  if (!files.front().empty()) snprintf(path, size_t(size), "%s", files.front().c_str());
  files.pop_front();
  return true;
}
bool open_file(pwin_handle, const char *, const char *, char *path, int size) {
  return file_dialog(path, size);
}
bool save_file(pwin_handle, const char *, const char *, char *path, int size) {
  return file_dialog(path, size);
}

void edit_set(pwin_handle w, const char *text) {
  if (HeadlessWindow *r = find(w)) r->text = text ? text : "";
}
const char *edit_get(pwin_handle w) {
  HeadlessWindow *r = find(w);
  return r ? r->text.c_str() : "";
}
void edit_select(pwin_handle w, int32_t from, int32_t to) {
  if (HeadlessWindow *r = find(w)) r->selection[0] = from, r->selection[1] = to;
}
const char *caption(pwin_handle w) {
  HeadlessWindow *r = find(w);
  return r ? r->caption.c_str() : "";
}
// The line buffer keeps no undo and no clipboard.
bool edit_can(pwin_handle, int) { return false; }
void edit_command(pwin_handle, int) {}

pwin_service headless = {
    "headless",  pwin_class_register, create,      user,          show,          destroy,
    move,        client_size,    origin,      set_caption,   set_enabled,   invalidate,
    update,      default_proc,
    surface,     wait,           peek,        dispatch,      post_quit,     pwin_menu_new,
    pwin_menu_append, enable_menu_item, set_menu,  set_scroll,    work_area,     caption_height,
    message_box, notice,         kill_notice, help,          beep,          open_file,
    save_file,   edit_set,       edit_get,    edit_select,   caption,       edit_can,
    edit_command, notice_cancelled, dialog, dialog_end, dialog_get, dialog_set, dialog_check,
};

}  // namespace

pwin_service *pwin = &headless;

void pwin_use_headless() { pwin = &headless; }

void pwin_script_press(uint16_t id) { presses.push_back(id); }

int pwin_message_box(const char *text, const char *caption, int style) {
  return pwin->message_box(0, text, caption, style);
}

void pwin_script_answer(int answer) { answers.push_back(answer); }
void pwin_script_file(const char *path) { files.push_back(path ? path : ""); }
void pwin_set_log(FILE *log) { log_file = log; }
void pwin_headless_frame(int32_t extra_height) { frame_extra = extra_height; }
void pwin_headless_post(pwin_handle w, int msg, intptr_t a, intptr_t b) {
  pwin_queue_post(w, msg, a, b);
}

pwin_window_state pwin_headless_window(pwin_handle w) {
  pwin_window_state s{};
  HeadlessWindow *r = find(w);
  if (!r) return s;
  s.exists = true;
  s.visible = r->visible;
  s.enabled = r->enabled;
  s.show = r->show;
  s.owner = r->owner;
  s.menu = r->menu;
  s.x = r->x;
  s.y = r->y;
  s.width = r->width;
  s.height = r->height;
  memcpy(s.scroll, r->scroll, sizeof s.scroll);
  memcpy(s.selection, r->selection, sizeof s.selection);
  s.caption = r->caption.c_str();
  return s;
}

const char *pwin_headless_menu_item(pwin_handle menu, uint16_t id, bool *enabled) {
  pwin_item *i = pwin_menu_find(menu, id);
  if (!i) return nullptr;
  if (enabled) *enabled = i->enabled;
  return i->text.c_str();
}
