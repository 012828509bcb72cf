// Test helpers for tests that touch the file system: a fresh temporary directory,
// whole-file read and write, golden files, and the trimmed output of a shell command.
#pragma once
#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <string>

// A fresh directory per test, removed with everything in it.
struct TempDir {
  std::string path;
  TempDir() {
    char tmpl[] = "/tmp/quendar_test_XXXXXX";
    path = mkdtemp(tmpl);
  }
  ~TempDir() { (void)system(("rm -rf " + path).c_str()); }
  std::string file(const char *name) const { return path + "/" + name; }
};

inline std::string slurp_stream(FILE *f) {
  std::string out;
  char buf[65536];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, n);
  return out;
}

inline std::string slurp(const std::string &path) {
  FILE *f = fopen(path.c_str(), "rb");
  if (!f) return "<missing>";
  std::string out = slurp_stream(f);
  fclose(f);
  return out;
}

inline void spit(const std::string &path, const std::string &bytes) {
  FILE *f = fopen(path.c_str(), "wb");
  fwrite(bytes.data(), 1, bytes.size(), f);
  fclose(f);
}

// The test data folder: QUENDAR_TEST_DATA when set, else the source tree's
// tests/data as built in, so that a test binary run by hand finds its data.
inline std::string test_data_dir() {
  const char *dir = getenv("QUENDAR_TEST_DATA");
  return dir && *dir ? dir : QUENDAR_TEST_DATA_DIR;
}

// The golden file of this name under the test data folder compared with text
// (QUENDAR_UPDATE_GOLDEN rewrites it instead).
inline void expect_golden(const std::string &name, const std::string &text) {
  std::string path = test_data_dir() + "/" + name;
  if (getenv("QUENDAR_UPDATE_GOLDEN")) spit(path, text);
  EXPECT_EQ(slurp(path), text) << name;
}

// Standard output of a shell command, runs of white space made single blanks, ends trimmed.
inline std::string run(const std::string &cmd) {
  FILE *p = popen(cmd.c_str(), "r");
  std::string raw = slurp_stream(p), out;
  pclose(p);
  for (char c : raw) {
    if (!isspace(static_cast<unsigned char>(c))) out += c;
    else if (!out.empty() && out.back() != ' ') out += ' ';
  }
  if (!out.empty() && out.back() == ' ') out.pop_back();
  return out;
}

// The text written to a temporary stream by write(FILE *).
template <class F> std::string listing(F &&write) {
  FILE *f = tmpfile();
  write(f);
  fflush(f);
  rewind(f);
  std::string out = slurp_stream(f);
  fclose(f);
  return out;
}
