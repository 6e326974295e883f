// Loads arbitrary bytes as a text from a host file and stores the text back: the file
// must come back byte for byte, unless it held 0 bytes, which a text cannot hold (the
// load says so). The first byte chooses the route: through the image or line by line.
#include <fcntl.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "store/Buffer.h"
#include "store/FileSystem.h"
#include "store/Lines.h"

namespace {

std::string Directory() {
  static const std::string dir = [] {
    // A file system in memory when there is one: every store flushes its file.
    char pattern[] = "/dev/shm/velmarin-roundtrip-XXXXXX";
    if (::access("/dev/shm", W_OK) != 0)
      std::memcpy(pattern, "/tmp/velmarin-roundtrip-XXXXXX",
                  sizeof "/tmp/velmarin-roundtrip-XXXXXX");
    if (::mkdtemp(pattern) == nullptr) std::abort();
    static std::string made = pattern;
    std::atexit([] {
      ::unlink((made + "/text").c_str());
      ::rmdir(made.c_str());
    });
    return made + "/";
  }();
  return dir;
}

void Write(const std::string& path, std::string_view bytes) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  if (fd < 0 || ::write(fd, bytes.data(), bytes.size()) != ssize_t(bytes.size())) std::abort();
  ::close(fd);
}

std::string Read(const std::string& path) {
  std::string bytes;
  const int fd = ::open(path.c_str(), O_RDONLY);
  if (fd < 0) std::abort();
  char buffer[4096];
  for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;)
    bytes.append(buffer, std::size_t(n));
  ::close(fd);
  return bytes;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  static bool started = [] {
    Buffer::ShellTree tree;
    return Buffer::ShellStart(tree);
  }();
  if (!started) std::abort();
  FileSystem::SetLoadViaImage(data[0] & 1);
  const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
  const std::string file = Directory() + "text";
  Write(file, bytes);

  Buffer::Ref text = Buffer::Create("/User/RoundTrip", Buffer::BufferKind::Text);
  if (text == nullptr || FileSystem::LoadText(base::Chars(file), text) != FileSystem::kNoError)
    std::abort();
  const bool zeros = bytes.find('\0') != std::string_view::npos;
  if (zeros != (FileSystem::LastLoadNotice() == FileSystem::LoadNotice::ZeroBytes) &&
      Lines::CodingOf(text) != Charset::Coding::Utf8Bytes)
    std::abort();
  if (FileSystem::StoreText(text, base::Chars(file)) != FileSystem::kNoError) std::abort();
  if (!zeros && Read(file) != bytes) std::abort();
  Buffer::Delete(text);
  return 0;
}
