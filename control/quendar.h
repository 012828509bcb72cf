// quendar: the main routine, its catch point, and the program-wide texts it prepares
// at start-up (new-descriptor skeleton, product names, file extensions, running flag).
#pragma once
#include <cstdint>

#include "runtime/strings.h"

extern uint8_t quendar_running;        // the main loop runs while this is 1
extern StringList quendar_skeleton;    // the 13 lines of a new descriptor
extern const char *const quendar_home; // the main routine's trace name, where the catch point unwinds to

// The exit code of a batch run (or one without a display, or with option X) in which
// no problem failed but one ended with an answer that did not converge.
constexpr int QUENDAR_UNCONVERGED = 3;

// The main routine: start-up steps, then the catch loop around the run controller;
// returns 0 when the loop ends normally, 1 when it ends a batch run in which a
// problem ended with an error or could not be opened, QUENDAR_UNCONVERGED when one
// ended unconverged and none failed.
int quendar_main();

// The catch point and the main loop: runs the run controller under the catch
// harness and re-enters it after every reported (11) or fatal (99) error, until
// the loop returns normally. Returns the number of errors that landed here.
int quendar_catch_loop();
