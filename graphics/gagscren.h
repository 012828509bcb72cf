// gagscren: the graphics layer's back end on the platform layer: window classes and
// windows of views, their messages turned into layer events, the message pump,
// menus, scroll bars, boxes, dialogs and directories, and the pixel primitives and
// colour selection that views draw and replay through.
#pragma once
#include <cstdint>

#include "graphics/gag.h"
#include "platform/psurf.h"
#include "runtime/pointl.h"
#include "runtime/points.h"
#include "runtime/strings.h"

struct pointslist;

int gagscren_init();

// The layer's two event hooks: for drawing windows and for edit windows.
typedef int32_t (*gagscren_hook)(uint16_t view, int16_t event, intptr_t a, intptr_t b);
void gagscren_sethooks(gagscren_hook window_hook, gagscren_hook edit_hook);

// Dispatches every queued message; with wait set, first waits for one.
void gagscren_dispatch(uint8_t wait);
// The waiting messages only: no interrupt is acted on, so that it may be called where
// leaving by an error is not allowed (a destructor clearing a status line).
void gagscren_pump();
// Pens of width trunc(size x factor) for every colour; the factor and size in force.
void gagscren_create_pens(float factor, int32_t size);
void gagscren_pens(float *factor, int32_t *size);
void gagscren_create_brushes();
// The default palette and colour roles with pens one unit wide; the grey ramp in
// place of the spectrum.
void gagscren_default_colors();
void gagscren_gray_colors();

// ---- Printing and metafiles ---------------------------------------------------------
// Print start runs the print dialog (the PDF's name; orientation 1 portrait, other
// nonzero landscape, 0 as set) and returns the document with its first page, the
// page size stored in the view; null when cancelled. Next starts a new page; finish
// ends the document (false when it could not be written).
psurf *gagscren_printstart(viewrec *v, int orientation);
bool gagscren_printnext(psurf *doc, viewrec *previous, viewrec *v);
bool gagscren_printfinish(psurf **doc, viewrec *v);
void gagscren_printsetup(viewrec *v, int orientation);
// Returns the pen and print settings the back end keeps from call to call to those of a
// fresh start (portrait pages, no orientation chosen, the pen set for no surface); for
// use when no document is open.
void gagscren_reset_output();
// Prints the text of an edit window; the number of pages printed.
int32_t gagscren_edwindowprint(uint32_t window);
// Body lines on one page of editor text.
int32_t gagscren_edbodylines();
// A metafile of the view's picture at its surface size: kind 0 enhanced (described
// by the caption), other kinds classic; null when it cannot be created. Finish
// closes it.
psurf *gagscren_exportstart(viewrec *v, const String *name, int kind);
bool gagscren_exportfinish(viewrec *v, psurf **device);

// ---- Classes and windows -------------------------------------------------------
bool gagscren_screenwindowclass(windowclass *c);
bool gagscren_editwindowclass(windowclass *c);
// Creates the platform window of a window view; a failure stops with
// "CreateWindow FAILED!".
bool gagscren_screenwindow(viewrec *v, const windowclass *c, int16_t x, int16_t y, uint16_t w,
                           uint16_t h, const String *caption);
// Show states: 1 the start-up state, 2 hide, 3 normal, 4 minimised, 5 without
// activating. A view without a window stops with "BAD ShowWindow!".
void gagscren_screenshowwindow(viewrec *v, int state);
void gagscren_screendestroywindow(viewrec *v);
void gagscren_screenclose(viewrec *v);
void gagscren_screenmovewindow(viewrec *v, int16_t x, int16_t y, uint16_t w, uint16_t h);
void gagscren_screensetcaption(viewrec *v, const String *caption);
void gagscren_screenflush();
// Ends the program's use of the screen.
void gagscren_screenrelease();

// ---- The editor's edit control and the key ring -------------------------------------
// Loads the lines into the edit control of the window view, each ended by a line
// break. Above 30000 characters (each line counted with two for its break) it
// shows "File Too Long To Edit" and answers false, the control unchanged. With
// line >= 1 the word before that line's start + column (the parser's error
// position) is selected.
bool gagscren_filleditbuffer(viewrec *v, StringList *lines, int32_t line, int32_t column);
// Reads the edit control back into the lines (a last line without a break counts);
// true when anything changed.
bool gagscren_geteditbuffer(viewrec *v, StringList *lines);
// The key ring: whether it holds a character; the next one (0 when empty).
bool gagscren_kbhit();
uint8_t gagscren_getch();

// ---- Menus and scroll bars -------------------------------------------------------
uint32_t gagscren_screennewmenu();
uint32_t gagscren_screennewsubmenu();
void gagscren_screennewmenuitem(uint32_t menu, uint16_t id, uint32_t submenu, const String *text);
void gagscren_screenenablemenuitem(viewrec *v, uint32_t menu, uint16_t id, uint8_t on);
void gagscren_screensetmenu_0(viewrec *v, uint32_t menu);
void gagscren_screensetmenu_1(viewrec *v, const String *name);
// The named menus that windows load by name.
void gagscren_definemenu(const char *name, uint32_t menu);
uint32_t gagscren_findmenu(const String *name);
void gagscren_hscrollset(viewrec *v, int32_t min, int32_t max, int32_t page, int32_t pos);
void gagscren_vscrollset(viewrec *v, int32_t min, int32_t max, int32_t page, int32_t pos);

// ---- Screen and events -----------------------------------------------------------
void gagscren_askscreen(int32_t *width, int32_t *height);
int32_t gagscren_askheader();
void gagscren_screenpixsize(pointl *size, const viewrec *v);
// Hands an event back to the platform's own handling; an event without one stops
// with "Default Unknown Function".
int32_t gagscren_screendefaultfunc(viewrec *v, int16_t event, intptr_t a, intptr_t b);
int32_t gagscren_fakevarcall(gagscren_hook hook, uint16_t view, int16_t event, intptr_t a,
                             intptr_t b);

// ---- Boxes, dialogs, directories ---------------------------------------------------
void gagscren_screenmessage(viewrec *v, const char *text, const char *title);
uint8_t gagscren_screenyesnomessage(viewrec *v, const char *text, const char *title);
uint8_t gagscren_screenokcancelmessage(viewrec *v, const char *text, const char *title);
uint32_t gagscren_screennotice(viewrec *v, const char *text);
void gagscren_screenkillnotice(uint32_t notice);
// Modal dialogs of a dialog resource: the callback has (1, 0, dialog) when the box
// opens and (item id, notification, dialog) for each command, and answers them; the
// box stays until gagscren_screenenddialog, whose result it returns; -1 without a
// parent view or resource. Items are read (up to 256 characters) and set by number.
typedef int32_t (*gagscren_dialogfunc)(int32_t command, int32_t code, uint32_t dialog);
int32_t gagscren_screendialogbox(viewrec *v, const String *name, gagscren_dialogfunc callback);
void gagscren_screenenddialog(uint32_t dialog, int32_t result);
void gagscren_screengetdialogitem(uint32_t dialog, uint16_t item, String *text);
void gagscren_screensetdialogitem_0(uint32_t dialog, uint16_t item, uint32_t value);
void gagscren_screensetdialogitem_1(uint32_t dialog, uint16_t item, const String *text);
void gagscren_screensetdialogbutton(uint32_t dialog, uint16_t item, int state);
void gagscren_screenshowhelp(viewrec *v, const String *file);
void gagscren_screenbeep(int kind);
// Open: path receives the full path. Save: name receives the bare file name and
// the chosen directory becomes current. False when cancelled.
bool gagscren_screenopenfilename(viewrec *v, const String *ext, String *path);
bool gagscren_screensavefilename(viewrec *v, const String *ext, const String *initial,
                                 String *name);
void gagscren_screengetcurrentdirectory(String *dir);
int gagscren_screensetcurrentdirectory(const String *dir);
// The current and the temporary directory with "/" appended when missing.
void gagscren_get_directory(String *dir);
void gagscren_get_temp_directory(String *dir);
// Whether the file is read-only; a path that does not exist counts as read-only.
bool gagscren_if_readonly(const char *path);

// ---- Pixels and colours ----------------------------------------------------------
// Layer pixel coordinates to device pixels: trunc(v x scale) + origin, each
// product bounded to +-1e7 first (NaN counts as -1e7) so the conversion is defined.
inline int32_t gagscren_topixel(float v, float scale) {
  double d = double(v) * scale;
  d = d > -1e7 ? d : -1e7;
  return int32_t(d < 1e7 ? d : 1e7);
}
inline psurf_point gagscren_pixelize(const viewrec *v, float x, float y) {
  return {gagscren_topixel(x, v->xscale) + v->xorigin, gagscren_topixel(y, v->yscale) + v->yorigin};
}
void gagscren_screencolor_0(viewrec *v, int32_t colour);
void gagscren_screencolor_1(viewrec *v, int32_t colour, int32_t mode);
void gagscren_screenbackcolor(viewrec *v, int32_t colour);
void gagscren_screenandrop(viewrec *v);
void gagscren_screencopyrop(viewrec *v);
void gagscren_screenclear(viewrec *v, int32_t colour);
void gagscren_screendrawbitmap(viewrec *v, const points *p, const String *name);
void gagscren_screendot(viewrec *v, const points *p);
void gagscren_screenmoveto(viewrec *v, const points *p);
void gagscren_screenlineto(viewrec *v, const points *p);
void gagscren_screenline(viewrec *v, const points *a, const points *b);
void gagscren_screenrect(viewrec *v, const points *a, const points *b);
void gagscren_screenrectfill(viewrec *v, const points *a, const points *b);
void gagscren_screenviewfill(viewrec *v);
void gagscren_screenarc(viewrec *v, const points *a, const points *b, const points *start,
                        const points *end);
void gagscren_screenpolyfill(viewrec *v, const points *p, int32_t n);
void gagscren_screenpolyline(viewrec *v, const points *p, int32_t n);
void gagscren_screenellipse(viewrec *v, const points *a, const points *b);
void gagscren_screenflood(viewrec *v, const points *p);
void gagscren_screenclip(viewrec *v, const points *a, const points *b);
void gagscren_screenfullclip(viewrec *v);
void gagscren_screenprint(viewrec *v, const String *text);
void gagscren_screentextextent(viewrec *v, const String *text, pointl *extent);
void gagscren_screenalign(const viewrec *v, points *p);
// The palette entries (0..42).
void gagscren_screensetcolor(uint16_t index, uint8_t r, uint8_t g, uint8_t b);
void gagscren_screensetcolorega(uint16_t index, uint8_t code);
void gagscren_screenreadcolor(uint16_t index, uint8_t rgb[3]);
extern int32_t gagscren_colour;      // the colour selected last
extern int32_t gagscren_fillcolour;  // the colour filled with last
extern pointl gagscren_position;     // the pixel pen
