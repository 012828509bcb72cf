// ppde: the parser of the descriptor language.
#pragma once

int ppde_init();

// Parses the selected input into the parsing problem; every error is reported as
// a parse or execution error on that problem and does not return.
void ppde_parse();
