// gag: the graphics layer: the table of views (windows and viewports nested in
// them) with their user, relative and pixel coordinates, the display list each view
// records and its byte stream, drawing, colours and text settings, window classes,
// events, menus and the window services (boxes, dialogs, directories).
#pragma once
#include <cstdint>

#include "runtime/pointd.h"
#include "runtime/pointl.h"
#include "runtime/points.h"
#include "runtime/rectd.h"
#include "runtime/rectl.h"
#include "runtime/rects.h"
#include "runtime/strings.h"

struct IOfile;
struct psurf;

int gag_init();

// ---- Display-list entries -------------------------------------------------------
enum {
  glmove = 0, gldraw = 1, glrect = 2, glellips = 3, glrfill = 4, glpydraw = 5, glpyfill = 6,
  glflood = 7, glgetim = 8, glputim = 9, glprint = 10, gldot = 11, glarcdraw = 12,
  glcliporg = 13, glclipwin = 14, gltxsize = 15, gltxcent = 16, gltxang = 17, gltxfont = 18,
  glend = 19  // marks the end of a view's entries in the stream; never an entry
};
enum { GAG_BLOCK_ENTRIES = 256 };

struct glop {
  uint32_t opcode;
  uint8_t colour;      // the view's colour; for gltxfont the font number
  uint8_t backcolour;  // the view's background colour
  uint8_t colour2;     // the view's second colour (the mix mode of replay)
  union {
    float v[2];        // a point or a pair of values
    float *block;      // glrect, glrfill: 4 values; glellips, glarcdraw: 8
    pointslist list;   // glpydraw, glpyfill
    String text;       // glprint
  };
};

struct glblock {
  uint32_t count;  // entries in use, 0..GAG_BLOCK_ENTRIES
  glblock *next;   // the next block, null for the last
  glop entries[GAG_BLOCK_ENTRIES];
};

// ---- Views ---------------------------------------------------------------------
struct viewrec {
  uint32_t window;      // platform window, 0 once destroyed
  psurf *device;        // the surface drawn on (replaced while printing or exporting)
  int32_t backend[2];   // the back end's words
  uint16_t wclass;      // window class (windows only)
  uint16_t number;      // its own slot
  uint16_t owner;       // the creator's number for a window; 0 for nested views
  uint16_t parent;      // 0 for a window
  uint16_t child;       // first nested view, 0 none
  uint16_t sibling;     // next view of the same parent, 0 none
  uint32_t menu;        // the window's menu
  uint8_t colour, backcolour, colour2, linestyle;
  rectd usr;            // USR: the user window x0, y0, x1, y1
  rects context;        // CONTEXT: the rectangle in the parent's relative units
  rects clipwin;        // CLIPWIN: the clip window in relative units
  rects relbox;         // RELBOX: 0, 0, relative width, relative height
  pointd scale;         // SCALE: relative units per user unit
  points pscale;        // PSCALE: pixels per relative unit (y < 0: rows downward)
  points lastrel;       // LASTREL: the pen in relative units
  points lastusr;       // LASTUSR: the pen in user coordinates
  rectl pixwin;         // PIXWIN: left, bottom row, right, top row
  pointl pixwid;        // PIXWID: right - left, top - bottom
  pointl client;        // drawing-surface size: the last client size, or the page's
  pointl pagesize;      // the printer's page
  int16_t ppu;          // pixels per relative unit
  uint8_t permanent, iconized, hidden, printing;
  glblock *displaylist; // DISPLAYLIST: the first block
  glblock *toplist;     // TOPLIST: the block taking new entries
  glblock *showlist;    // SHOWLIST: the replay position
  uint16_t showindex;
  uint8_t stale;        // text metrics must be rebuilt
  // Text state.
  int16_t cellheight;
  uint16_t fillmask, font, altfont, uniform;
  int16_t charpixh;
  uint16_t charpixw;
  points centre;        // horizontal and vertical centring
  points charsize;      // character width and height in user units
  float dirsin, dircos, angle, size, aspect, rcell;
  float matrix[4], basematrix[4];
  const uint8_t *fontimage, *altimage;
  // The back end's pixel mapping: pixel = trunc(v * scale) + origin.
  int32_t xorigin, yorigin;
  float xscale, yscale;
  // The surfaces the entries being made are for (GAG_ALL, GAG_SCREEN, GAG_PAGE), and
  // the view's own surface while entries for pages only are recorded without it.
  uint8_t surfaces;
  psurf *held;
  // A window: the relative width its picture was last laid out in (when it was
  // cleared); 0 before. A window made narrower than that shows the whole picture, made
  // smaller, rather than the left of it.
  double drawnwidth;
  double shrink;  // the window's picture over its full size while it is made smaller (1 else)
};

// The view table: views 1..count, a free slot holds null.
extern uint16_t gag_viewcount;
extern uint16_t gag_viewcapacity;
extern viewrec **gag_views;

// The program-wide switches: new views record (default on); text goes through the
// stroke fonts (default off).
extern uint8_t gag_replayswitch;
extern uint8_t gag_drawtextswitch;

// The colour roles: palette indices the plots and axes draw with.
extern uint8_t colour_cyan, colour_red, colour_white_1, colour_grey_1, colour_spectrum,
    colour_grey242, colour_grey229, colour_grey192, colour_grey160, colour_grey127, colour_grey63,
    colour_white, colour_black, colour_band_red, colour_band_orange, colour_band_yellow,
    colour_band_green, colour_band_cyan, colour_band_blue, colour_band_violet;
// Sets the twenty roles to their defaults.
void gag_default_roles();

// True for a number naming a view; getview also makes it current and stops with
// "Bad View!" for any other number.
bool checkview(uint16_t view);
viewrec *getview(uint16_t view);

// Nested viewports: rect in the parent's user coordinates, cut to the parent. A
// nonzero parent that is no view stops with "Invalid Parent Viewport".
uint16_t gag_newview_0(uint16_t parent, const rectd *rect, uint8_t norecord);
uint16_t gag_newview_1(uint16_t parent, double x0, double y0, double x1, double y1,
                       uint8_t norecord);
// A nested view takes the whole of its parent again, after the parent's client area
// changed size (a menu bar that wraps to more or fewer rows); its user window stays.
void gag_fitview(uint16_t view);
// Windows of a class (an unknown class stops with "Bad WindowClass"), shown with
// the show state (3 normal); x = y = -1 lets the platform place it.
uint16_t gag_newwindow_1(uint16_t owner, uint16_t wclass, int16_t x, int16_t y, uint16_t width,
                         uint16_t height, const String *caption, uint8_t norecord, int show);
uint16_t gag_newwindow_0(uint16_t owner, uint16_t wclass, int16_t x, int16_t y, uint16_t width,
                         uint16_t height, const String *caption, uint8_t norecord);
uint16_t gag_newwindow_2(uint16_t owner, uint16_t wclass, uint16_t width, uint16_t height,
                         const String *caption, uint8_t norecord);

// The user window, and fitting user rectangle u onto relative rectangle r.
void gag_scaleview_0(uint16_t view, const rectd *rect);
void gag_scaleview_1(uint16_t view, double x0, double y0, double x1, double y1);
void gag_scalerect(uint16_t view, const rects *r, const rectd *u);
// A user point in relative units (not clamped); a point of one view in another's
// user coordinates (out unchanged for invalid views).
void gag_askpos(uint16_t view, const pointd *p, points *rel);
void gag_remappoint_0(uint16_t target, pointd *out, uint16_t source, const pointd *p);
void gag_remappoint_1(uint16_t target, pointd *out, uint16_t source, double x, double y);
void gag_asksize(uint16_t view, rectd *size);
void gag_askcontext(uint16_t view, rectd *context);
void gag_askrelsize(uint16_t view, pointd *size);
void gag_askpixsize(uint16_t view, pointl *size);
void gag_askdot();
bool gag_ifvisible(uint16_t view);
void gag_movewindow(uint16_t view, int16_t x, int16_t y, uint16_t width, uint16_t height);
// Kills a view with its nested views; a nested view is unlinked from its parent's
// chain first, so its following siblings stay.
void gag_killview(uint16_t view);
void gag_closegraph();
void gag_showview(uint16_t view);
void gag_dbview(uint16_t view, const char *label);
// Recomputes the pixel rectangle and scales of a view and of everything below it.
void gag_remap(viewrec *v);

// ---- Display lists -------------------------------------------------------------
// Appends an entry with the view's colours; returns its index in the current block.
uint16_t next_save(viewrec *v, uint32_t opcode);
void freelist(viewrec *v);
void gag_forget(uint16_t view);
void gag_forget_rec(viewrec *v);
void gag_replay(uint16_t view);
void replay(uint16_t view, psurf *device, uint8_t printing, uint8_t black);
void gag_setreplay(uint8_t on);
// The surfaces that the view's next drawing is for: every one, the view's own (the
// screen) only, or pages and metafiles only. Drawing for pages only is recorded but
// not shown; replay passes over the entries that are not for its surface. The mark is
// an entry of text size 0, which sets no size, and of aspect -1 less the surfaces.
enum { GAG_ALL = 0, GAG_SCREEN = 1, GAG_PAGE = 2 };
void gag_surfaces(uint16_t view, uint8_t surfaces);
void gag_writeview(IOfile *f, uint16_t view);
// Reads a stream into the view and the views below it; false when the stream is
// unreadable or does not fit the tree (the message has been shown).
bool gag_readview(IOfile *f, uint16_t view);

// ---- Drawing, in user coordinates ------------------------------------------------
void gag_moveto_0(uint16_t view, const pointd *p);
void gag_moveto_1(uint16_t view, double x, double y);
void gag_drawline_0(uint16_t view, const pointd *a, const pointd *b);
void gag_drawline_1(uint16_t view, double x0, double y0, double x1, double y1);
void gag_drawto_0(uint16_t view, const pointd *p);
void gag_drawto_1(uint16_t view, double x, double y);
void gag_polyline(uint16_t view, const pointdlist *list);
void gag_polyfill(uint16_t view, const pointdlist *list);
void gag_drawrect_0(uint16_t view, const rectd *r);
void gag_drawrect_1(uint16_t view, double x0, double y0, double x1, double y1);
void gag_fillrect(uint16_t view, const rectd *r);
void gag_drawarc(uint16_t view, const rectd *box, const pointd *start, const pointd *end);
void gag_tracearc(uint16_t view, const pointd *p, double rx, double ry, double theta, double sweep,
                  double chord);
void gag_drawellipse(uint16_t view, const rectd *box);
void gag_drawdot(uint16_t view, const pointd *p);
void gag_drawbitmap(uint16_t view, const rectd *r, const String *name);
void gag_drawtext_0(uint16_t view, const pointd *p, const String *text);
void gag_drawtext_1(uint16_t view, double x, double y, const String *text);
void gag_printtext_0(uint16_t view, const pointd *p, const String *text);
void gag_printtext_1(uint16_t view, double x, double y, const String *text);
void gag_drawprinttext_0(uint16_t view, const pointd *p, const String *text);
void gag_drawprinttext_1(uint16_t view, double x, double y, const String *text);

// ---- Printing and export ----------------------------------------------------------
// One page of a view: dialog option (orientation: 1 portrait, other nonzero
// landscape), black printing, start and finish of the document. An invalid view
// with the finish flag only ends the document of the view printed last.
void gag_printwindow_2(uint16_t view, int option, uint8_t black, uint8_t start, uint8_t finish);
void gag_printwindow_1(uint16_t view, uint8_t start, uint8_t finish);
void gag_printwindow_0(uint16_t view);
void gag_printsetup_0(uint16_t view);
void gag_printsetup_1(uint16_t view, int option);
// Writes the view's picture to a metafile (kind 0 EMF, other WMF) of the width.
void gag_exportwindow(uint16_t view, const String *name, int kind, int32_t width);
void gag_setclip_0(uint16_t view, const rectd *r);
void gag_setclip_1(uint16_t view, double x0, double y0, double x1, double y1);
void gag_fullclip(uint16_t view);
void gag_clearview_1(uint16_t view, uint8_t colour);
void gag_clearview_0(uint16_t view);

// ---- Colours and style -----------------------------------------------------------
void gag_setcolor_0(uint16_t view, uint8_t colour);
void gag_setcolor_1(uint16_t view, uint8_t colour, uint8_t colour2);
uint8_t gag_setcolor_2(uint16_t view, uint8_t colour);
int32_t gag_limitcolor(int32_t c, int32_t n);
void gag_linestyle(uint16_t view, uint8_t style);
void gag_setcolormap_0(uint16_t index, uint8_t r, uint8_t g, uint8_t b);
void gag_setcolormap_1(uint16_t index, const uint8_t rgb[3]);
void gag_setcolormapega(uint16_t index, uint8_t code);
void gag_readcolormap(uint16_t index, uint8_t rgb[3]);

// ---- Text settings (invalid views are ignored) -----------------------------------
void gag_textfont(uint16_t view, uint16_t font);
void gag_altfont(uint16_t view, uint16_t font);
void gag_textsize(uint16_t view, float size, float aspect);
// The text size at which the text, printed in the view's device font, is no wider than
// room relative units: the view's own size when it fits or no screen measures it.
float gag_printfitsize(uint16_t view, const String *text, double room);
// The width of a printed text on the screen, in relative units; 0 where the view does
// not draw on a screen.
double gag_printtextwidth(uint16_t view, const String *text);
void gag_textcenter(uint16_t view, float h, float v);
void gag_textangle(uint16_t view, float degrees);
void gag_textdir_1(uint16_t view, const pointd *a, const pointd *b);
void gag_textdir_0(uint16_t view, const points *a, const points *b);
void gag_textfill(uint16_t view, uint8_t on);
// Uniform character width: 0 turns it off, "?" takes the widest printable
// character, any other character its own advance; both return the old width.
uint16_t gag_textuniform_0(uint16_t view, char c);
uint16_t gag_textuniform_1(uint16_t view, uint16_t width);
// Stroke text stretched so that its width runs along p1 - p0 and its height above
// the baseline along p2 - p0.
void gag_textfit_0(uint16_t view, const pointd *p0, const pointd *p1, const pointd *p2,
                   const String *text);
void gag_textfit_1(uint16_t view, const pointd p[3], const String *text);
// The stroke-font library file: set explicitly, or the "gag.gsf" beside the program.
// Fonts read from a previous library are dropped; views using them take font 1.
void gag_fontlibrary(const char *path);
void gag_fontlibrary_default();
void gag_askcharsize(uint16_t view, pointd *size);
// The stroke text's width and its height above the baseline in user units, as drawn
// at the view's text size, aspect and uniform width, and its depth below the baseline
// in the same units (when depth is given).
void gag_asktextsize(uint16_t view, const String *text, pointd *size, double *depth = nullptr);
void gag_asktcenter(uint16_t view, pointd *centre);
void gag_asktsize(uint16_t view, pointd *size);

// ---- Window classes and events ----------------------------------------------------
enum { msg_close = 0, msg_destroy = 1, msg_iconize = 2, msg_key = 3, msg_menu = 4, msg_paint = 5,
       msg_quit = 6, msg_size = 7, msg_hscroll = 8, msg_vscroll = 9 };
// Style bits: code i is 0x80000000 >> i.
enum : uint32_t {
  GAG_TOPLEVEL = 0x80000000u >> 0, GAG_CHILD = 0x80000000u >> 2, GAG_EDIT = 0x80000000u >> 3,
  GAG_NOCLOSE = 0x80000000u >> 4, GAG_NOMIN = 0x80000000u >> 5, GAG_NOMAX = 0x80000000u >> 6,
  GAG_SCROLL = 0x80000000u >> 7
};
typedef int32_t (*gag_callback)(uint16_t view, int16_t event, intptr_t a, intptr_t b);

struct windowclass {
  gag_callback callback;
  String name;
  uint32_t registration;  // the back end's class
  uint32_t style;
  uint32_t image;         // the back end's image
  String menuname;        // empty: none
  String imagename;       // empty: none
};
extern uint16_t gag_classcount;
extern windowclass **gag_classes;

uint16_t gag_newwindowclass_5(gag_callback f, const String *name, const String *menu,
                              const String *image, uint32_t style);
uint16_t gag_newwindowclass_3(gag_callback f, const String *name, const String *menu,
                              uint32_t style);
uint16_t gag_newwindowclass_4(gag_callback f, const String *name, const String *menu,
                              const String *image);
uint16_t gag_newwindowclass_2(gag_callback f, const String *name, const String *menu);
uint16_t gag_newwindowclass_1(gag_callback f, const String *name, uint32_t style);
uint16_t gag_newwindowclass_0(gag_callback f, const String *name);
int32_t window_func(uint16_t view, int16_t event, intptr_t a, intptr_t b);
int32_t edit_func(uint16_t view, int16_t event, intptr_t a, intptr_t b);
int32_t gag_defaultwinfunc(uint16_t view, int16_t event, intptr_t a, intptr_t b);

// ---- Window services --------------------------------------------------------------
void gag_destroywindow(uint16_t view);
void gag_showwindow(uint16_t view, int show);
void gag_setcaption(uint16_t view, const String *caption);
void gag_setmenu_1(uint16_t view, const String *name);
void gag_setmenu_0(uint16_t view, uint32_t menu);
uint32_t gag_newmenu();
uint32_t gag_newsubmenu();
void gag_newmenuitem(uint32_t menu, uint16_t id, uint32_t submenu, const String *text);
void gag_disablemenu(uint16_t view);
void gag_enablemenu_0(uint16_t view);
void gag_enablemenu_1(uint16_t view, uint16_t id, uint8_t on);
void gag_scrollseth(uint16_t view, int32_t min, int32_t max, int32_t pos, int32_t page);
void gag_scrollsetv(uint16_t view, int32_t min, int32_t max, int32_t pos, int32_t page);
// Boxes and the open dialog over the view; over the main window (gag_mainview, set
// by the application when it makes that window) when the view is 0 or gone, with no
// owner when that is gone too: they always reach the user.
extern uint16_t gag_mainview;
void gag_showmessage(uint16_t view, const String *message, const String *caption);
void gag_showmessageindirect(uint16_t view, const char *message, const char *caption);
int16_t gag_yesnomessage(uint16_t view, const String *message, const String *caption);
int16_t gag_yesnomessageindirect(uint16_t view, const char *message, const char *caption);
int8_t gag_okcancelmessage(uint16_t view, const String *message, const String *caption);
uint32_t gag_postnotice(uint16_t view, const String *text);
void gag_killnotice(uint32_t notice);
void gag_showhelp(uint16_t view, const String *topic);
// File dialogs: name holds the initial directory or name and receives the choice
// (the open dialog a full path, the save dialog the bare name, its directory made
// current; a name without an extension takes ext); false when cancelled; the save
// dialog also when the view is invalid.
uint8_t gag_getopenfilename(uint16_t view, const String *filter, String *name);
uint8_t gag_getsavefilename(uint16_t view, const String *filter, String *name, const String *ext);
// The current and the temporary directory, each ending with the path separator.
void gag_getcurrentdirectory(String *dir);
void gag_gettempdirectory(String *dir);
// Makes dir the current directory; 0 on success.
int gag_setcurrentdirectory(const String *dir);
// The edit control of an edit window and the in-memory text number text: fill it
// (with _1 selecting the word before the position line, column), or read it back
// (true when it changed). False for an invalid view or text, or a text too long.
bool gag_filleditbuffer_0(uint16_t view, uint16_t text);
bool gag_filleditbuffer_1(uint16_t view, uint16_t text, int32_t line, int32_t column);
bool gag_geteditbuffer(uint16_t view, uint16_t text);
void gag_gflush();
void gag_gdebug(uint16_t flags);
extern uint16_t gag_debugflags;
