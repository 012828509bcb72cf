// msgpump: the message pump reached from below run control.
#include "graphics/msgpump.h"

#include "graphics/gagscren.h"

// The headless window layer has no source of messages.
static uint8_t cannot_wait() { return 0; }

MessagePump msgpump = {gagscren_dispatch, cannot_wait};
