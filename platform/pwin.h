// pwin: Quendar's window service: window classes, windows and their owners, show
// states, the message queue, menus, scroll bars, message boxes, notices, file
// dialogs, the edit control and the desktop. One table holds the service; the back
// end chosen at start fills it. The headless back end is always built: windows are
// records on a fixed virtual desktop and its events are synthesized.
#pragma once
#include <cstdint>
#include <cstdio>

struct psurf;

typedef uint32_t pwin_handle;  // a window, class, menu, notice or dialog; 0 is none
// A dialog's procedure: (command, notification, dialog), its answer.
typedef int32_t (*pwin_dialog_proc)(int32_t command, int32_t code, pwin_handle dialog);

// Messages a window procedure receives (a and b as listed).
enum {
  PWIN_CLOSE = 1,    // the user asks to close the window
  PWIN_DESTROY = 2,  // the window is being destroyed
  PWIN_SIZE = 3,     // a = PWIN_SIZE_MINIMISED or 0, b = client width << 16 | height
  PWIN_PAINT = 4,    // the window needs repainting
  PWIN_COMMAND = 5,  // a = menu id (low 16 bits) | notification << 16, b = control id (0 menu)
  PWIN_HSCROLL = 6,  // a = scroll code | thumb position << 16
  PWIN_VSCROLL = 7,
  PWIN_PALETTE = 8,  // the window may take the palette
  PWIN_INITMENU = 9  // a pop-up menu is about to open
};
enum { PWIN_SIZE_MINIMISED = 1 };
// Notifications of the edit control that it cannot take more text.
enum { PWIN_EDIT_ERRSPACE = 0x0500, PWIN_EDIT_MAXTEXT = 0x0501 };

// Show commands.
enum { PWIN_HIDE = 0, PWIN_SHOWNORMAL = 1, PWIN_SHOWMINNOACTIVE = 7, PWIN_SHOWNA = 8, PWIN_SHOWDEFAULT = 10 };

// Window style bits.
enum : uint32_t {
  PWIN_WS_CAPTION = 0x00C80000,  // caption and system menu
  PWIN_WS_POPUP = 0x80000000,
  PWIN_WS_DLGFRAME = 0x00400000,
  PWIN_WS_MINIMIZEBOX = 0x00020000,
  PWIN_WS_MAXIMIZEBOX = 0x00010000,
  PWIN_WS_THICKFRAME = 0x00040000,
  PWIN_WS_HSCROLL = 0x00100000,
  PWIN_WS_VSCROLL = 0x00200000
};
// Class kinds and the class's no-close flag.
enum { PWIN_CLASS_DRAWING = 1, PWIN_CLASS_EDIT = 2, PWIN_CLASS_NOCLOSE = 0x200 };

enum {
  PWIN_MB_OK = 0x00,
  PWIN_MB_OKCANCEL = 0x01,
  PWIN_MB_YESNO = 0x04,
  PWIN_MB_STOP = 0x10,
  PWIN_MB_QUESTION = 0x20,
  PWIN_MB_EXCLAMATION = 0x30,
  PWIN_MB_INFORMATION = 0x40,
  PWIN_MB_TOPMOST = 0x40000
};
enum { PWIN_IDOK = 1, PWIN_IDCANCEL = 2, PWIN_IDYES = 6, PWIN_IDNO = 7 };
enum { PWIN_SB_HORZ = 0, PWIN_SB_VERT = 1 };

// A window procedure: its result goes back to whoever sent the message.
typedef intptr_t (*pwin_proc)(pwin_handle w, int msg, intptr_t a, intptr_t b);

struct pwin_msg {
  pwin_handle window;
  int msg;
  intptr_t a, b;
};

struct pwin_service {
  const char *name;
  // Classes: a kind and flags (PWIN_CLASS_*), the procedure of its windows. 0 on failure.
  pwin_handle (*register_class)(const char *name, pwin_proc proc, uint32_t flags);
  // Creates a window of the class with the caption and style at x, y (-1: the back
  // end places it) of the outer size w x h, owned by owner (0 none), with the menu.
  // The user word is stored before the first message, so the size message that
  // arrives during creation already names its view. 0 on failure.
  pwin_handle (*create)(pwin_handle cls, const char *caption, uint32_t style, int32_t x, int32_t y,
                        int32_t w, int32_t h, pwin_handle owner, pwin_handle menu, uint32_t user);
  uint32_t (*user)(pwin_handle w);  // the user word; 0 for no window
  // Shows with a show command; false when the window does not exist.
  bool (*show)(pwin_handle w, int cmd);
  // Destroys the windows that w owns, then w itself (each gets PWIN_DESTROY).
  void (*destroy)(pwin_handle w);
  void (*move)(pwin_handle w, int32_t x, int32_t y, int32_t width, int32_t height);
  void (*client_size)(pwin_handle w, int32_t *width, int32_t *height);
  void (*origin)(pwin_handle w, int32_t *x, int32_t *y);  // screen position of the client area
  void (*set_caption)(pwin_handle w, const char *text);
  void (*set_enabled)(pwin_handle w, bool on);
  void (*invalidate)(pwin_handle w);  // a paint message follows while it is shown
  void (*update)(pwin_handle w);      // a pending paint is delivered now
  intptr_t (*default_proc)(pwin_handle w, int msg, intptr_t a, intptr_t b);
  psurf *(*surface)(pwin_handle w);  // the window's own drawing surface

  // The queue: wait for one message, take the next one (false: empty), hand it to
  // its window's procedure, and the quit message.
  void (*wait)();
  bool (*peek)(pwin_msg *m);
  intptr_t (*dispatch)(const pwin_msg *m);
  void (*post_quit)();

  // Menus: a menu bar or pop-up; items append; id 0 appends sub as a pop-up.
  pwin_handle (*new_menu)(bool popup);
  void (*append_menu)(pwin_handle menu, uint16_t id, pwin_handle sub, const char *text);
  void (*enable_menu_item)(pwin_handle menu, uint16_t id, bool on);
  void (*set_menu)(pwin_handle w, pwin_handle menu);
  void (*set_scroll)(pwin_handle w, int bar, int32_t min, int32_t max, int32_t page, int32_t pos);

  // The desktop: the work area, the height of a caption.
  void (*work_area)(int32_t *width, int32_t *height);
  int32_t (*caption_height)();

  // Boxes and dialogs: a message box's answer (PWIN_ID*); a modeless notice; help;
  // a beep; open and save dialogs filling path (size bytes), false when cancelled.
  int (*message_box)(pwin_handle owner, const char *text, const char *caption, int style);
  pwin_handle (*notice)(pwin_handle owner, const char *text);
  void (*kill_notice)(pwin_handle notice);
  void (*help)(pwin_handle owner, const char *file);
  void (*beep)(int kind);
  bool (*open_file)(pwin_handle owner, const char *ext, const char *dir, char *path, int size);
  bool (*save_file)(pwin_handle owner, const char *ext, const char *dir, char *path, int size);

  // The edit control of an edit window: its text, a selection (offsets into the text
  // as edit_get hands it over, every line break counted as two characters).
  void (*edit_set)(pwin_handle w, const char *text);
  const char *(*edit_get)(pwin_handle w);
  void (*edit_select)(pwin_handle w, int32_t from, int32_t to);
  const char *(*caption)(pwin_handle w);  // "" for no window
  // Editing commands of the edit control (0 undo, 1 cut, 2 copy, 3 paste): whether
  // one can be done now, and doing it.
  bool (*edit_can)(pwin_handle w, int command);
  void (*edit_command)(pwin_handle w, int command);
  // Whether the user pressed the Cancel button of a notice.
  bool (*notice_cancelled)(pwin_handle notice);

  // Modal dialogs from a dialog resource (pwin_dialog_define): the procedure has
  // (1, 0, dialog) when the box opens and (item id, 0, dialog) for every button or
  // check box pressed (closing the box presses Cancel, id 2); the box stays until
  // dialog_end, whose result it returns; -1 for a resource not defined. Items are
  // read (text, check state as "0" or "1") and set by their ids.
  int32_t (*dialog)(pwin_handle owner, const char *resource, pwin_dialog_proc proc);
  void (*dialog_end)(pwin_handle dialog, int32_t result);
  const char *(*dialog_get)(pwin_handle dialog, uint16_t item);  // kept to the next call
  void (*dialog_set)(pwin_handle dialog, uint16_t item, const char *text);
  void (*dialog_check)(pwin_handle dialog, uint16_t item, bool on);
};

// The service in use; the headless back end until another is chosen.
extern pwin_service *pwin;
void pwin_use_headless();
// Chooses the screen back end on FLTK when DISPLAY names a display that opens;
// false (after one line on standard error when the display will not open) leaves
// the service as it was.
bool pwin_use_screen();
// Whether the screen back end shows a window, so that a message can still arrive.
bool pwin_screen_live();
// Whether a display was opened: its font layer then holds fontconfig to the end.
bool pwin_display_opened();

// Shows a modal message box with no owner; a null caption is "Error".
int pwin_message_box(const char *text, const char *caption, int style);
// A request to end the program has arrived (safe to call from a signal handler): a
// box or dialog waiting for the user closes, answered as if closed, so that the
// program can act on the request at once.
void pwin_interrupt_waits();
bool pwin_waits_interrupted();

// Headless back end: queues an answer for the next question (default No), or a
// path for the next file dialog (none queued: cancelled; an empty path accepts the
// dialog's proposal); sets where message boxes
// are written (null: standard error) and the extra height of a captioned window
// over its client area (50).
void pwin_script_answer(int answer);
void pwin_script_file(const char *path);
// Headless back end: queues the id of a button to press in the next dialog.
void pwin_script_press(uint16_t id);
void pwin_set_log(FILE *log);
void pwin_headless_frame(int32_t extra_height);
// Puts a message on the headless queue, as the user's actions would.
void pwin_headless_post(pwin_handle w, int msg, intptr_t a, intptr_t b);
// The headless record of a window: its caption, show state, menu, scroll bars and
// the selection of its edit control.
struct pwin_window_state {
  bool exists, visible, enabled;
  int show;  // the last show command
  pwin_handle owner, menu;
  int32_t x, y, width, height;
  int32_t scroll[2][4];  // per bar: min, max, page, position
  int32_t selection[2];  // the edit control's selection: first and one past the last character
  const char *caption;
};
pwin_window_state pwin_headless_window(pwin_handle w);
// Whether an item of a headless menu is enabled, and its text (null: no such item).
const char *pwin_headless_menu_item(pwin_handle menu, uint16_t id, bool *enabled);
