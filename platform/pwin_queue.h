// pwin_queue: what every window back end keeps alike: the registered window classes,
// the queue of messages waiting for their windows, and whether a display was opened.
#pragma once
#include <cstdint>

#include "platform/pwin.h"

// The class's procedure and flags; null for a handle that names no class.
struct pwin_class {
  pwin_proc proc;
  uint32_t flags;
};
pwin_handle pwin_class_register(const char *name, pwin_proc proc, uint32_t flags);
const pwin_class *pwin_class_of(pwin_handle cls);

void pwin_queue_post(pwin_handle w, int msg, intptr_t a, intptr_t b);
// Posts a paint message unless one is already waiting for the window.
void pwin_queue_paint(pwin_handle w);
// Takes the window's waiting paint message out; false when none waits.
bool pwin_queue_take_paint(pwin_handle w);
bool pwin_queue_empty();
// The next message, taken out; false when the queue is empty.
bool pwin_queue_pop(pwin_msg *m);
// Forgets the messages of a window that is gone.
void pwin_queue_drop(pwin_handle w);
// Whether the screen back end opened its display, set by that back end when it is part
// of the program; null without it (no display can have been opened then).
extern bool (*pwin_display_probe)();
