// gpmin: the macro generator, started and ended around one parse (option M).
#pragma once

int gpmin_init();

void gpmin_init_gpm();
void gpmin_close_gpm();
