// domcalls: the table of the domain's functions called from below the domain library.
#include "elements/domcalls.h"

DomainCalls domcalls = {};
