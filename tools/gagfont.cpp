// gagfont: builds Quendar's stroke-font images from Hershey font files at build
// time. It writes the two built-in images as a C++ source and the font library
// "gag.gsf" holding further fonts from number 4 on; the same input gives the same
// bytes every time.
//
// usage: gagfont HERSHEY_DIR OUT_CPP OUT_GSF
//
// Image layout: "FN", u16 size, 4 identification bytes (font number first),
// baseline, cell height / 16, extra advance, 3 zero bytes, 129 u16 stroke starts
// (counted from the stroke area at byte 656), 128 lowest y, 128 highest y, 128
// advances, then the strokes: a header byte (point count, bit 7 fillable) and the
// x, y byte pairs. Font units run upward; a Hershey unit is 7 font units where the
// glyphs allow it.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Glyph {
  int left = 0, right = 0;
  std::vector<std::vector<std::pair<int, int>>> strokes;  // Hershey units, y downward
};

[[noreturn]] void fail(const std::string &what) {
  fprintf(stderr, "gagfont: %s\n", what.c_str());
  exit(1);
}

// Reads the glyphs of a Hershey file: a 5-column number, a 3-column count of
// coordinate pairs (the first pair holds the left and right bearings), the pairs as
// letters offset from 'R', " R" lifting the pen; long glyphs continue on the
// following lines.
std::vector<Glyph> read_jhf(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) fail("cannot read " + path);
  std::vector<Glyph> out;
  std::string line, cur;
  auto finish = [&out](const std::string &g) {
    Glyph h;
    int pairs = std::stoi(g.substr(5, 3));
    std::string body = g.substr(8);
    if (int(body.size()) < 2 * pairs) fail("short glyph");
    h.left = body[0] - 'R';
    h.right = body[1] - 'R';
    h.strokes.emplace_back();
    for (int i = 1; i < pairs; i++) {
      char a = body[size_t(2 * i)], b = body[size_t(2 * i + 1)];
      if (a == ' ' && b == 'R') h.strokes.emplace_back();
      else h.strokes.back().push_back({a - 'R', b - 'R'});
    }
    out.push_back(h);
  };
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.find_first_not_of(' ') == std::string::npos) continue;
    cur += line;
    if (cur.size() >= 8 && cur.size() >= 8 + 2 * size_t(std::stoi(cur.substr(5, 3)))) {
      finish(cur);
      cur.clear();
    }
  }
  if (!cur.empty()) fail("unfinished glyph in " + path);
  return out;
}

void put16(std::vector<uint8_t> &b, size_t at, unsigned v) {
  b[at] = uint8_t(v & 255);
  b[at + 1] = uint8_t(v >> 8);
}

// Whether the glyphs fit the byte range at scale s with the baseline.
bool fits(const std::vector<Glyph> &g, int s, int baseline) {
  for (const Glyph &h : g) {
    if (s * (h.right - h.left) > 255 || h.right < h.left) return false;
    for (const auto &st : h.strokes)
      for (auto [x, y] : st) {
        int fx = s * (x - h.left), fy = baseline + s * (9 - y);
        if (fx < 0 || fx > 255 || fy < 0 || fy > 255) return false;
      }
  }
  return true;
}

// The image of font number n from 96 glyphs for codes 32..127.
std::vector<uint8_t> image(const std::vector<Glyph> &g, int number, int s, int baseline,
                           int extra) {
  std::vector<uint8_t> b(656, 0);
  b[0] = 'F';
  b[1] = 'N';
  b[4] = uint8_t(number);
  b[8] = uint8_t(baseline);
  b[9] = 16;
  b[10] = uint8_t(extra);
  std::vector<uint8_t> strokes;
  for (int c = 0; c < 128; c++) {
    put16(b, 14 + 2 * size_t(c), unsigned(strokes.size()));
    int lo = baseline, hi = baseline, adv = 0;
    if (c >= 32 && c - 32 < int(g.size())) {
      const Glyph &h = g[size_t(c - 32)];
      adv = s * (h.right - h.left);
      bool any = false;
      for (const auto &st : h.strokes) {
        // A stroke holds at most 127 points; longer ones continue from their last point.
        for (size_t from = 0; from + 1 < st.size() || (from == 0 && st.size() == 1);) {
          size_t n = std::min<size_t>(127, st.size() - from);
          strokes.push_back(uint8_t(n));
          for (size_t i = from; i < from + n; i++) {
            int fx = s * (st[i].first - h.left), fy = baseline + s * (9 - st[i].second);
            strokes.push_back(uint8_t(fx));
            strokes.push_back(uint8_t(fy));
            lo = any ? std::min(lo, fy) : fy;
            hi = any ? std::max(hi, fy) : fy;
            any = true;
          }
          if (n < 2) break;
          from += n - 1;
        }
      }
    }
    b[272 + size_t(c)] = uint8_t(lo);
    b[400 + size_t(c)] = uint8_t(hi);
    b[528 + size_t(c)] = uint8_t(adv);
  }
  put16(b, 14 + 2 * 128, unsigned(strokes.size()));
  b.insert(b.end(), strokes.begin(), strokes.end());
  if (b.size() > 65535) fail("font image too large");
  put16(b, 2, unsigned(b.size()));
  return b;
}

std::vector<Glyph> first96(const std::string &path) {
  std::vector<Glyph> g = read_jhf(path);
  if (g.size() < 96) fail("fewer than 96 glyphs in " + path);
  g.resize(96);
  return g;
}

}  // namespace

int main(int argc, char **argv) {
  if (argc != 4) fail("usage: gagfont HERSHEY_DIR OUT_CPP OUT_GSF");
  std::string dir = argv[1];
  std::vector<Glyph> simplex = first96(dir + "/rowmans.jhf");
  std::vector<Glyph> duplex = first96(dir + "/rowmand.jhf");
  if (!fits(simplex, 7, 54) || !fits(duplex, 7, 59)) fail("built-in glyphs out of range");
  std::vector<uint8_t> one = image(simplex, 1, 7, 54, 50), two = image(duplex, 2, 7, 59, 25);

  std::ostringstream cpp;
  cpp << "// Generated by tools/gagfont from the Hershey fonts rowmans and rowmand.\n"
         "#include <cstdint>\n\n";
  auto array = [&cpp](const char *name, const std::vector<uint8_t> &b) {
    cpp << "extern const uint8_t " << name << "[] = {";
    for (size_t i = 0; i < b.size(); i++) cpp << (i % 16 ? " " : "\n  ") << unsigned(b[i]) << ",";
    cpp << "\n};\n";
  };
  array("gag_fontimage_1", one);
  array("gag_fontimage_2", two);

  // The library: fonts from number 4 in the sorted order of the remaining files.
  std::vector<std::string> names;
  for (const auto &e : std::filesystem::directory_iterator(dir))
    if (e.path().extension() == ".jhf") names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  std::vector<uint8_t> lib(512, 0);
  int number = 4;
  for (const std::string &n : names) {
    if (n == "rowmans.jhf" || n == "rowmand.jhf" || number > 256) continue;
    std::vector<Glyph> g = read_jhf(dir + "/" + n);
    if (g.size() < 96) continue;
    g.resize(96);
    int s = 7, base = 0;
    for (; s >= 1; s--) {
      int ymax = -1000;
      for (const Glyph &h : g)
        for (const auto &st : h.strokes)
          for (auto p : st) ymax = std::max(ymax, p.second);
      base = std::max(0, s * (ymax - 9));
      if (fits(g, s, base)) break;
    }
    if (s < 1) continue;
    std::vector<uint8_t> img = image(g, number, s, base, 25);
    while (lib.size() % 16) lib.push_back(0);
    put16(lib, 2 * size_t(number - 1), unsigned(lib.size() / 16));
    if (lib.size() / 16 > 65535) break;
    lib.insert(lib.end(), img.begin(), img.end());
    number++;
  }

  std::ofstream c(argv[2], std::ios::binary), l(argv[3], std::ios::binary);
  c << cpp.str();
  l.write(reinterpret_cast<const char *>(lib.data()), std::streamsize(lib.size()));
  if (!c || !l) fail("cannot write the outputs");
  return 0;
}
