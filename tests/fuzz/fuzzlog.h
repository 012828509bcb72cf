// The text written so far to a fuzz target's batch log (a temporary stream), and the
// fresh folders the targets write their files in.
#pragma once
#include <cstdio>
#include <cstdlib>
#include <string>

// A new folder named prefix_XXXXXX under TMPDIR (else /tmp); its path.
inline std::string fuzz_temp_folder(const char *prefix) {
  const char *dir = getenv("TMPDIR");
  std::string tmpl = std::string(dir && *dir ? dir : "/tmp") + "/" + prefix + "_XXXXXX";
  if (!mkdtemp(tmpl.data())) abort();
  return tmpl;
}

inline std::string fuzz_log_text(FILE *log) {
  fflush(log);
  std::string out;
  rewind(log);
  char buf[4096];
  for (size_t n; (n = fread(buf, 1, sizeof buf, log)) > 0;) out.append(buf, n);
  return out;
}
