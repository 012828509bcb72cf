// views: the viewer window of a recorded plot file.
#pragma once
#include "runtime/strings.h"

int views_init();

// Opens the recorded plot file of that name in a viewer window.
void views_view_pde(const String *name);
