// exporter: the export files of a problem.
#pragma once

struct pde;

int exporter_init();

// Closes the open export files; a second call finds none open and does nothing.
void exporter_close_exports(pde *p);
