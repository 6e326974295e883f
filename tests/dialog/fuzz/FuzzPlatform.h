// What the fuzz targets of the dialog readers start from: the headless platform and the
// buffer store, the text output going nowhere, scale 1, and a directory of their own for
// the file each input is written to.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

#include "dialog/Dialog.h"
#include "platform/headless/HeadlessBackend.h"
#include "store/Buffer.h"
#include "textio/TextIO.h"

// Starts the platform on backend and returns the path of file in a new directory.
inline std::string StartFuzzPlatform(Headless::HeadlessBackend& backend, const char* file) {
  if (!Headless::StartPlatform(backend)) std::abort();
  Buffer::Init();
  Buffer::ShellTree tree;
  if (!Buffer::ShellStart(tree)) std::abort();
  TextIO::SetConsoleFiles(nullptr, std::fopen("/dev/null", "w"));
  TextIO::SetConsole(true);
  Dialog::Testing::SetScreenScale(1.0);
  char dir[] = "/tmp/velmarinfuzzXXXXXX";
  if (mkdtemp(dir) == nullptr) std::abort();
  return std::string(dir) + "/" + file;
}

// The input as the file's whole contents.
inline void WriteFuzzInput(const std::string& path, const std::uint8_t* data, std::size_t size) {
  if (std::FILE* f = std::fopen(path.c_str(), "wb")) {
    std::fwrite(data, 1, size, f);
    std::fclose(f);
  }
}
