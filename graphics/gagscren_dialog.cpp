// gagscren_dialog: the back end's message boxes, dialogs, file choosers and directories.
#include "graphics/gagscren.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "graphics/gag.h"
#include "platform/pwin.h"
#include "runtime/debug.h"
#include "runtime/rtlib.h"

// ---- Boxes, dialogs, directories ---------------------------------------------------

// The boxes and the open dialog take a null record for no owner.
static pwin_handle window_of(const viewrec *v) { return v ? v->window : 0; }

void gagscren_screenmessage(viewrec *v, const char *text, const char *title) {
  pwin->message_box(window_of(v), text, title, PWIN_MB_OK | PWIN_MB_TOPMOST);
}

uint8_t gagscren_screenyesnomessage(viewrec *v, const char *text, const char *title) {
  return pwin->message_box(window_of(v), text, title, PWIN_MB_YESNO | PWIN_MB_TOPMOST) == PWIN_IDYES;
}

uint8_t gagscren_screenokcancelmessage(viewrec *v, const char *text, const char *title) {
  return pwin->message_box(window_of(v), text, title, PWIN_MB_OKCANCEL) == PWIN_IDOK;
}

uint32_t gagscren_screennotice(viewrec *v, const char *text) { return pwin->notice(v->window, text); }
void gagscren_screenkillnotice(uint32_t notice) { pwin->kill_notice(notice); }
// The callbacks of the dialogs open, innermost last; an ended dialog's entry is gone.
static std::vector<gagscren_dialogfunc> dialog_stack;

static int32_t screen_dialog_func(int32_t command, int32_t code, pwin_handle dialog) {
  gagscren_dialogfunc f = dialog_stack.empty() ? nullptr : dialog_stack.back();
  return f ? f(command, code, dialog) : 0;
}

int32_t gagscren_screendialogbox(viewrec *v, const String *name, gagscren_dialogfunc callback) {
  TRACE("gagscren_screendialogbox");
  if (!v || !v->window) return -1;
  size_t depth = dialog_stack.size();
  dialog_stack.push_back(callback);
  std::string resource = name && name->text ? std::string(name->text, name->length) : "";
  int32_t result = pwin->dialog(v->window, resource.c_str(), screen_dialog_func);
  dialog_stack.resize(std::min(depth, dialog_stack.size()));
  return result;
}

void gagscren_screenenddialog(uint32_t dialog, int32_t result) {
  pwin->dialog_end(dialog, result);
  if (!dialog_stack.empty()) dialog_stack.back() = nullptr;
}

void gagscren_screengetdialogitem(uint32_t dialog, uint16_t item, String *text) {
  std::string t = pwin->dialog_get(dialog, item);
  if (t.size() > 256) t.resize(256);
  strings_copyto_1(text, t.c_str());
}

void gagscren_screensetdialogitem_0(uint32_t dialog, uint16_t item, uint32_t value) {
  pwin->dialog_set(dialog, item, std::to_string(value).c_str());
}

void gagscren_screensetdialogitem_1(uint32_t dialog, uint16_t item, const String *text) {
  std::string t = text && text->text ? std::string(text->text, text->length) : "";
  pwin->dialog_set(dialog, item, t.c_str());
}

void gagscren_screensetdialogbutton(uint32_t dialog, uint16_t item, int state) {
  pwin->dialog_check(dialog, item, state != 0);
}

void gagscren_screenshowhelp(viewrec *v, const String *file) {
  pwin->help(v->window, file && file->text ? file->text : "");
}
void gagscren_screenbeep(int kind) { pwin->beep(kind); }

bool gagscren_screenopenfilename(viewrec *v, const String *ext, String *path) {
  TRACE("gagscren_screenopenfilename");
  char buf[256] = {0};
  if (!pwin->open_file(window_of(v), ext && ext->text ? ext->text : "", path->text, buf, sizeof buf))
    return false;
  strings_copyto_1(path, buf);
  return true;
}

bool gagscren_screensavefilename(viewrec *v, const String *ext, const String *initial,
                                 String *name) {
  TRACE("gagscren_screensavefilename");
  char buf[256] = {0};
  if (initial && initial->text) snprintf(buf, sizeof buf, "%s", initial->text);
  // The proposal (a bare name, or a path) starts in the current directory.
  if (!pwin->save_file(v->window, ext && ext->text ? ext->text : "", nullptr, buf, sizeof buf))
    return false;
  // The dialog leaves the chosen directory current and answers the bare name.
  const char *slash = strrchr(buf, '/');
  if (slash) {
    std::string dir(buf, size_t(slash - buf + 1));
    if (chdir(dir.c_str()) != 0) debug_printf("SAVE DIRECTORY %s: %s\n", dir.c_str(), rtlib_errno_text());
  }
  strings_copyto_1(name, slash ? slash + 1 : buf);
  return true;
}

static void set_dir(String *dir, std::string s) {
  if (!s.empty() && s.back() != '/') s += '/';
  strings_copyto_1(dir, s.c_str());
}

void gagscren_screengetcurrentdirectory(String *dir) {
  char buf[4096];
  strings_copyto_1(dir, getcwd(buf, sizeof buf) ? buf : "");
}

int gagscren_screensetcurrentdirectory(const String *dir) {
  return (dir->length == 0) ? -1 : chdir(dir->text);
}

void gagscren_get_directory(String *dir) {
  char buf[4096];
  set_dir(dir, getcwd(buf, sizeof buf) ? buf : "");
}

void gagscren_get_temp_directory(String *dir) {
  const char *t = getenv("TMPDIR");
  set_dir(dir, (t && *t) ? t : "/tmp");
}

bool gagscren_if_readonly(const char *path) {
  struct stat st;
  bool exists = stat(path, &st) == 0;
  bool ro = !exists || access(path, W_OK) != 0;
  debug_printf("IF_READONLY(%s) RETURNS %x READONLY=%x\n", path, exists ? 0 : 0xffffffffu,
               unsigned(ro));
  return ro;
}
