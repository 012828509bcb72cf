// textman: the editor's text, as run control hands descriptor texts to it.
#pragma once
#include <cstdint>

struct TextLoc;

int textman_init();

// Puts text number textnum into the editor of the view with the caret at loc;
// 0 on failure.
uint8_t textman_send_edit_text_1(uint16_t textnum, uint16_t view, const TextLoc *loc);
