// settings: the program-wide settings record, as it stands before run control fills it.
#include "runtime/settings.h"

RunSettings settings = {0, '/', {}, nullptr};
