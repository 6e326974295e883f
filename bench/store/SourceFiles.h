// Source-like texts for the benchmarks, generated from a fixed seed; those of the load
// and store benchmarks go to $TMPDIR/velmarin-loadstore/ on their first use and are
// reused afterwards.
#pragma once

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace SourceFiles {

namespace fs = std::filesystem;

inline fs::path Directory() {
  fs::path dir = fs::temp_directory_path() / "velmarin-loadstore";
  fs::create_directories(dir);
  return dir;
}

// Writes lines source-like lines to path from seed: indented identifiers, keywords and
// punctuation, each line cut to a length drawn evenly from 0..99 (about 50 MB per million
// lines). With accents every line begins with a word with accents in UTF-8 and is at
// least that long. edit(i, line) may change line i before it is written. The file is
// written under another name and renamed when complete, so a run cut short leaves none.
template <typename Edit>
void Write(const fs::path& path, std::int64_t lines, std::uint64_t seed, bool accents, Edit edit) {
  static const char* const words[] = {"MODULE",
                                      "BEGIN",
                                      "END",
                                      "IF",
                                      "THEN",
                                      "ELSE",
                                      "WHILE",
                                      "DO",
                                      "RETURN",
                                      "PROCEDURE",
                                      "VAR",
                                      "INTEGER",
                                      "CARDINAL",
                                      "ARRAY",
                                      "OF",
                                      "CHAR",
                                      ":=",
                                      ";",
                                      "(",
                                      ")",
                                      "+",
                                      "-",
                                      "count",
                                      "index",
                                      "buffer",
                                      "line",
                                      "result",
                                      "Strings.Assign",
                                      "InOut.WriteString",
                                      "(* comment *)",
                                      "0",
                                      "1",
                                      "255",
                                      "\"text\"",
                                      ",",
                                      ".",
                                      "=",
                                      "#",
                                      "<",
                                      ">"};
  static const char* const accented[] = {"Gr\xC3\xBC\xC3\x9F"
                                         "e",
                                         "caf\xC3\xA9",
                                         "na\xC3\xAFve",
                                         "\xC3\x84rger",
                                         "Stra\xC3\x9F"
                                         "e",
                                         "se\xC3\xB1or",
                                         "\xE2\x82\xAC"};
  auto next = [&seed] {
    seed += 0x9e3779b97f4a7c15ULL;
    std::uint64_t z = seed;
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    return z ^ (z >> 31);
  };
  const fs::path partial = path.string() + ".partial";
  {
    std::ofstream out(partial, std::ios::binary);
    std::string line;
    for (std::int64_t i = 0; i < lines; ++i) {
      std::size_t length = next() % 100;
      line.assign(next() % 4 * 2, ' ');
      if (accents) {
        line += accented[next() % std::size(accented)];
        line += ' ';
        length = std::max(length, line.size());
      }
      while (line.size() < length) {
        line += words[next() % std::size(words)];
        line += ' ';
      }
      line.resize(length);
      edit(i, line);
      line += '\n';
      out.write(line.data(), std::streamsize(line.size()));
    }
  }
  fs::rename(partial, path);
}

// The path of a file of lines source-like lines (see Write) in Directory(), written on
// first use; the same request gives the same file.
inline std::string Path(std::int64_t lines, bool accents = false) {
  const fs::path path =
      Directory() / ((accents ? "accents-" : "source-") + std::to_string(lines) + "-v1.mod");
  if (!fs::exists(path))
    Write(path, lines, 0x5eed'1234'abcd'0001ULL, accents, [](std::int64_t, std::string&) {});
  return path.string();
}

} // namespace SourceFiles
