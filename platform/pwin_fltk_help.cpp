// pwin_fltk_help: the help page, shown in FLTK's help viewer.
#include <FL/Fl_Help_Dialog.H>
#include <unistd.h>

#include "platform/pwin_fltk_internal.h"

namespace pwin_fltk {

// Our own help page: the file named, with ".html" in place of its extension,
// beside the program unless the name carries a folder.
void help(pwin_handle, const char *file) {
  std::string name = file ? file : "";
  size_t dot = name.rfind('.');
  if (dot != std::string::npos && name.find('/', dot) == std::string::npos) name.resize(dot);
  name += ".html";
  if (name.find('/') == std::string::npos) {
    char exe[4096];
    ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (n > 0) {
      std::string dir(exe, size_t(n));
      name = dir.substr(0, dir.rfind('/') + 1) + name;
    }
  }
  static Fl_Help_Dialog *viewer;
  if (!viewer) viewer = new Fl_Help_Dialog();
  viewer->load(name.c_str());
  viewer->show();
}

}  // namespace pwin_fltk
