#include "modules/Definitions.h"

#include <unistd.h>

#include <climits>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace Definitions {

namespace {

struct Entry {
  const char* name;
  const char* text;
};

constexpr Entry kEntries[] = {
#include "Definitions.inc"
};

bool IsFolder(const std::string& path) {
  std::error_code error;
  return std::filesystem::is_directory(path, error);
}

} // namespace

const char* Text(std::string_view module) {
  for (const Entry& e : kEntries)
    if (module == e.name) return e.text;
  return nullptr;
}

std::vector<std::string_view> Names() {
  std::vector<std::string_view> names;
  for (const Entry& e : kEntries) names.emplace_back(e.name);
  return names;
}

std::string Folder() {
  char self[PATH_MAX + 1] = {};
  const ssize_t n = readlink("/proc/self/exe", self, PATH_MAX);
  if (n > 0) {
    const std::filesystem::path installed =
        std::filesystem::path(std::string(self, static_cast<std::size_t>(n))).parent_path() /
        VELMARIN_INSTALLED_LIBRARY;
    if (IsFolder(installed.string())) return installed.lexically_normal().string();
  }
  return IsFolder(VELMARIN_SOURCE_LIBRARY) ? std::string(VELMARIN_SOURCE_LIBRARY) : std::string();
}

std::string FileText(std::string_view module) {
  const char* builtIn = Text(module);
  if (builtIn == nullptr) return "";
  const std::string folder = Folder();
  std::ifstream in(folder + "/" + std::string(module) + ".def", std::ios::binary);
  if (folder.empty() || !in) return builtIn;
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

} // namespace Definitions
