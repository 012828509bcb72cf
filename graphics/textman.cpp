// textman: the editor's text, as the edit control of the layer holds it.
#include "graphics/textman.h"

#include <cstring>

#include "graphics/gag.h"
#include "runtime/rtlib.h"
#include "runtime/textin.h"

// The caption: the text's file name after its last directory separator.
static void caption_of(uint16_t text, uint16_t view) {
  String name{}, caption{};
  textin_textfile_name(&name, text);
  const char *slash = name.text ? strrchr(name.text, '/') : nullptr;
  strings_copyto_1(&caption, slash ? slash + 1 : (name.text ? name.text : ""));
  gag_setcaption(view, &caption);
  strings_free_0(&name);
  strings_free_0(&caption);
}

static uint8_t send(uint16_t text, uint16_t view, int32_t line, int32_t column) {
  if (!gag_filleditbuffer_1(view, text, line, column)) return 0;
  caption_of(text, view);
  return 1;
}

uint8_t textman_send_edit_text_0(uint16_t text, uint16_t view) {
  TRACE("textman_send_edit_text_0");
  return send(text, view, 0, 0);
}

uint8_t textman_send_edit_text_1(uint16_t text, uint16_t view, const TextLoc *loc) {
  TRACE("textman_send_edit_text_1");
  return send(text, view, loc ? int32_t(loc->line) : 0, loc ? loc->column : 0);
}

bool textman_get_edit_text(uint16_t text, uint16_t view) {
  TRACE("textman_get_edit_text");
  return gag_geteditbuffer(view, text);
}

int textman_init() {
  TRACE("textman");
  return 0;
}
