// pwin_fltk_chooser: the Open and Save As file choosers, with their checks of the
// name chosen.
#include <FL/Fl_File_Chooser.H>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/pwin_fltk_internal.h"

namespace pwin_fltk {

// The chooser's filter: the extension in either case.
std::string filter_of(const char *ext) {
  if (!ext || !*ext) return "All Files (*)";
  std::string pattern;
  for (const char *c = ext; *c; c++)
    if (isalpha(static_cast<unsigned char>(*c))) pattern += {'[', char(tolower(*c)), char(toupper(*c)), ']'};
    else pattern += *c;
  return std::string(ext) + " Files (*." + pattern + ")";
}

bool choose(pwin_handle owner, const char *ext, const char *dir, char *path, int size, bool save) {
  if (size <= 0) return false;
  std::string start = dir && *dir ? dir : ".";
  // A proposed name is filled in over its folder: the chooser lists the folder,
  // which the name itself (a file not yet written) is not.
  std::string proposal;
  if (save && *path) proposal = path[0] == '/' ? std::string(path) : start + "/" + path;
  if (!proposal.empty()) start = proposal.substr(0, proposal.rfind('/') + 1);
  std::string filter = filter_of(ext);
  Fl_File_Chooser chooser(start.c_str(), filter.c_str(), save ? Fl_File_Chooser::CREATE : Fl_File_Chooser::SINGLE,
                          save ? "Save As" : "Open");
  if (!proposal.empty()) chooser.value(proposal.c_str());
  for (;;) {
    chooser.show();
    while (chooser.shown() && !pwin_waits_interrupted()) Fl::wait(0.25);
    if (!chooser.value()) return false;
    std::string p = chooser.value();
    std::string base = p.substr(p.rfind('/') + 1);
    if (save && ext && *ext && base.find('.') == std::string::npos) p += std::string(".") + ext;
    struct stat st;
    bool exists = stat(p.c_str(), &st) == 0;
    if (!save && !exists) {
      message_box(owner, (p + "\nFile not found.").c_str(), "Open", PWIN_MB_OK);
      continue;
    }
    if (save && exists) {
      if (access(p.c_str(), W_OK) != 0) {
        message_box(owner, (p + "\nThis file is read-only. Choose another name.").c_str(), "Save As", PWIN_MB_OK);
        continue;
      }
      if (message_box(owner, (p + " already exists.\nDo you want to replace it?").c_str(), "Save As", PWIN_MB_YESNO) !=
          PWIN_IDYES)
        continue;
    }
    snprintf(path, size_t(size), "%s", p.c_str());
    return true;
  }
}

bool open_file(pwin_handle owner, const char *ext, const char *dir, char *path, int size) {
  return choose(owner, ext, dir, path, size, false);
}
bool save_file(pwin_handle owner, const char *ext, const char *dir, char *path, int size) {
  return choose(owner, ext, dir, path, size, true);
}

}  // namespace pwin_fltk
