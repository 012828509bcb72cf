// gag: the graphics layer's directories, start and end, views and message boxes,
// as run control uses them. Headless bodies until the graphics layer is built.
#pragma once
#include <cstdint>

#include "runtime/strings.h"

int gag_init();

// The temporary directory, ending with the path separator.
void gag_gettempdirectory(String *dir);
// The current directory, ending with the path separator.
void gag_getcurrentdirectory(String *dir);
// Makes dir the current directory; returns 0 on success.
int gag_setcurrentdirectory(const String *dir);
void gag_closegraph();
// The open-file dialog for the extension; nonzero when a file was chosen into result.
uint8_t gag_getopenfilename(uint16_t view, const String *ext, String *result);
// A modal message box with the caption.
void gag_showmessage(uint16_t view, const String *message, const String *caption);
// A yes/no question in the window of the view: nonzero for yes; 0 at once when the
// view is not a valid open view.
int16_t gag_yesnomessage(uint16_t view, const String *message, const String *caption);
void gag_killview(uint16_t view);
void gag_showwindow(uint16_t view, int show);
// The text size of a panel's view, and setting it with an aspect.
void gag_asksize(uint16_t view, float *size);
void gag_textsize(uint16_t view, float height, float aspect);
