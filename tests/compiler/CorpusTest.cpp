// The corpora of whole programs: each must pass the front end.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "CompilerTesting.h"
#include "programs/ProgramModules.h"

namespace {

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// Every program of the corpora checks: ours in good/, and those of tests/programs unless
// they expect an error. The definitions beside them are texts of the current directory,
// InOut and the other standard modules the program's own.
TEST(FrontEndTest, CorpusProgramsCheck) {
  const Compiler::Directories dirs = CompilerTesting::Start();
  ProgramModules::AddAll();
  std::vector<std::filesystem::path> files;
  for (const char* dir : {VELMARIN_COMPILER_TESTS "/good", VELMARIN_PROGRAMS}) {
    if (!std::filesystem::is_directory(dir)) continue;
    for (const auto& entry : std::filesystem::directory_iterator(dir))
      files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  for (const auto& path : files)
    if (path.extension() == ".def")
      CompilerTesting::Text("/User/" + path.filename().string(), ReadFile(path));
  int checked = 0;
  for (const auto& path : files) {
    if (path.extension() != ".mod") continue;
    const std::string source = ReadFile(path);
    if (source.find("expect-error") != std::string::npos) continue;
    Compiler::Result r;
    auto unit = Compiler::Check(source, dirs, r);
    EXPECT_NE(unit, nullptr) << path.filename().string() << ":" << r.line << ":" << r.column << ": "
                             << r.message;
    ++checked;
  }
  EXPECT_GT(checked, 2);
}

} // namespace
