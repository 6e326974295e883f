#include "store/FileSystem.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "StoreTesting.h"
#include "base/Strings.h"
#include "store/Buffer.h"
#include "store/Lines.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using namespace FileSystem;
using StoreTesting::LinesOf;

namespace {

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

void Spit(const std::string& path, std::string_view bytes) {
  std::ofstream(path, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
}

// The result a failing operation left; 1 when it succeeded.
std::int32_t Failure(bool ok) { return ok ? 1 : Result(); }

std::string Current() {
  char dir[260];
  CurrentDirectory(dir);
  return dir;
}

std::string Host(const std::string& name) {
  char path[260];
  HostName(Chars(name), path);
  return path;
}

// Every test works in a fresh temporary directory that is also the current directory,
// with the shell's buffer tree in place.
class FileSystemTest : public ::testing::Test {
protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "velmarin-fs-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    dir = pattern + "/";
    ASSERT_TRUE(ChangeDirectory(Chars(dir)));
    Buffer::ShellTree tree;
    ASSERT_TRUE(Buffer::ShellStart(tree));
  }
  void TearDown() override {
    ASSERT_EQ(::chdir("/"), 0);
    fs::remove_all(dir);
  }

  Buffer::Ref NewText(std::vector<std::string> lines = {}) {
    Buffer::Ref text =
        Buffer::Create(Chars("Text" + std::to_string(++buffers)), Buffer::BufferKind::Text);
    for (const auto& line : lines) EXPECT_TRUE(Lines::Append(text, Chars(line)));
    return text;
  }

  std::vector<std::string> Load(std::string_view bytes) {
    Spit(dir + "in.txt", bytes);
    Buffer::Ref text = NewText();
    EXPECT_EQ(LoadText("in.txt", text), kNoError);
    return LinesOf(text);
  }

  // The names in the directory, sorted.
  std::vector<std::string> Leftovers() {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename());
    std::sort(names.begin(), names.end());
    return names;
  }

  std::string dir;
  int buffers = 0;
};

using V = std::vector<std::string>;

} // namespace

TEST(FileSystemErrorText, TableTextsAndUnknownCodes) {
  const std::pair<std::int32_t, const char*> table[] = {
      {0, "no error"},
      {-1, "user error"},
      {-2, "file not found"},
      {-3, "directory not found"},
      {-4, "too many files open"},
      {-5, "access denied"},
      {-19, "disk is write protected."},
      {-32, "file already open with write permission"},
      {-38, "end of file"},
      {-112, "disk full"},
      {-123, "bad name"},
      {-183, "duplicate filename (rename)"},
      {-1000033, "directory full"},
      {-1000035, "no such volume"},
      {-1000038, "file not open"},
      {-1000040, "tried to position before start of file"},
      {-1000045, "file is locked"},
      {-1000052, "get file position error"},
      {-1000061, "write permissions error"},
      {-7, "unknown error (-7)"},
      {42, "unknown error (42)"},
      {-2147483647 - 1, "unknown error (-2147483648)"}};
  for (const auto& [code, text] : table) {
    char s[80];
    ErrorText(code, s);
    EXPECT_STREQ(s, text) << code;
  }
  char small[8];
  ErrorText(-1000040, small);
  EXPECT_STREQ(small, "tried t");
}

TEST_F(FileSystemTest, HostNamesFollowTheWorkstationRules) {
  fs::create_directories(dir + "a/b/c");
  ASSERT_TRUE(ChangeDirectory("a:b:c"));
  const std::string cd = dir + "a/b/c/";
  EXPECT_EQ(Current(), cd);
  const std::pair<std::string, std::string> cases[] = {
      {"", cd},
      {"x.mod", cd + "x.mod"},
      {":x", cd + "x"},
      {"\\x", cd + "x"},
      {"d:e\\f/g", cd + "d/e/f/g"},
      {"C:\\x", cd + "C//x"},
      {"./x", cd + "x"},
      {"../x", dir + "a/b/x"},
      {"::x", dir + "a/b/x"},
      {"::", dir + "a/b/"},
      {".../x", dir + "a/x"},
      {"..:x", dir + "a/b/x"},
      {"..x", cd + "..x"},
      {"\\\\srv\\x", "//srv/x"},
      {"/abs/a:b\\c", "/abs/a:b\\c"},
  };
  for (const auto& [name, host] : cases) EXPECT_EQ(Host(name), host) << name;

  ASSERT_TRUE(ChangeDirectory("/"));
  EXPECT_EQ(Host(".../x"), ".../x") << "climbing above the root keeps the name";
  EXPECT_EQ(Host(":x"), "/x");
}

TEST_F(FileSystemTest, HostNameTooLongIsCutAndReported) {
  char path[260];
  EXPECT_EQ(Failure(HostName(Chars(std::string(300, 'n')), path)), kBadName);
  EXPECT_EQ(Strings::Length(path), 259u);
  File f;
  // The operations use the whole name, never the cut one.
  EXPECT_EQ(Failure(Open(Chars(std::string(300, 'n')), kWrite + kCreate, f)), kBadName);
  EXPECT_TRUE(Leftovers().empty());
}

TEST_F(FileSystemTest, ChangeDirectoryMovesAndFails) {
  fs::create_directories(dir + "a/b");
  Spit(dir + "plain", "x");
  ASSERT_TRUE(ChangeDirectory("a"));
  ASSERT_TRUE(ChangeDirectory(":b"));
  EXPECT_EQ(Current(), dir + "a/b/");
  ASSERT_TRUE(ChangeDirectory("../"));
  EXPECT_EQ(Current(), dir + "a/");
  ASSERT_TRUE(ChangeDirectory("::"));
  EXPECT_EQ(Current(), dir);
  EXPECT_EQ(fs::current_path().string() + "/", dir) << "the process follows";

  EXPECT_EQ(Failure(ChangeDirectory("missing")), kDirectoryNotFound);
  EXPECT_EQ(Failure(ChangeDirectory("plain")), kDirectoryNotFound);
  EXPECT_EQ(Current(), dir) << "a failed change keeps the directory";

  ASSERT_TRUE(ChangeDirectory("/"));
  EXPECT_EQ(Current(), "/");
  EXPECT_EQ(Failure(ChangeDirectory("../")), kBadName);
}

TEST(FileSystemStart, CurrentDirectoryStartsAtTheProcessDirectory) {
  const std::string start = fs::current_path().string();
  char dir[260];
  CurrentDirectory(dir);
  EXPECT_EQ(std::string(dir), start == "/" ? "/" : start + "/");
  ASSERT_TRUE(ChangeDirectory("/"));
  ASSERT_TRUE(ChangeDirectory(""));
  CurrentDirectory(dir);
  EXPECT_EQ(std::string(dir), start == "/" ? "/" : start + "/");
  char type[5] = {};
  GetType(type);
  EXPECT_STREQ(type, "????");
  EXPECT_EQ(LineEndMode(), 2);
  EXPECT_TRUE(LoadViaImage());
  EXPECT_FALSE(SoftLineEnds());
}

TEST_F(FileSystemTest, OpenModesAndFailures) {
  File f;
  const std::int32_t invalid[] = {0, kAtEnd, kRead + kCreate, kRead + kTruncate, 64, -1};
  for (std::int32_t mode : invalid) EXPECT_EQ(Failure(Open("new", mode, f)), kUserError) << mode;
  EXPECT_EQ(Failure(Open("missing", kRead, f)), kFileNotFound);
  EXPECT_EQ(Failure(Open("missing", kWrite, f)), kFileNotFound)
      << "without create the file must exist";
  EXPECT_EQ(Failure(Open("nodir:x", kWrite + kCreate, f)), kDirectoryNotFound);
  fs::create_directory(dir + "sub");
  EXPECT_EQ(Failure(Open("sub", kRead, f)), kAccessDenied);
  EXPECT_FALSE(f.open);
  EXPECT_EQ(Leftovers(), V{"sub"});
}

TEST_F(FileSystemTest, ReadWriteSizeAndPosition) {
  File f;
  ASSERT_TRUE(Open("f", kWrite + kCreate, f));
  std::int32_t count = 5;
  ASSERT_TRUE(Write(f, count, std::span<const char>("hello", 5)));
  EXPECT_EQ(count, 5);
  count = 0;
  char buf[16];
  EXPECT_FALSE(Read(f, count, buf)) << "not open for reading";
  ASSERT_TRUE(Close(f));

  ASSERT_TRUE(Open("f", kRead + kWrite + kAtEnd, f));
  count = 3;
  ASSERT_TRUE(Write(f, count, std::span<const char>("!!!", 3)));
  std::int64_t size = 0;
  ASSERT_TRUE(Size(f, size));
  EXPECT_EQ(size, 8);
  ASSERT_TRUE(SetPosition(f, 2, -4));
  count = 16;
  ASSERT_TRUE(Read(f, count, buf));
  EXPECT_EQ(std::string(buf, std::size_t(count)), "o!!!");
  count = 16;
  EXPECT_EQ(Failure(Read(f, count, buf)), kEndOfFile);
  EXPECT_EQ(count, 0);
  EXPECT_EQ(Failure(SetPosition(f, 0, -1)), kPositionBeforeStart);
  EXPECT_EQ(Failure(SetPosition(f, 3, 0)), kPositionBeforeStart);
  ASSERT_TRUE(SetPosition(f, 0, 1));
  ASSERT_TRUE(SetPosition(f, 1, 1));
  count = 2;
  ASSERT_TRUE(Read(f, count, buf));
  EXPECT_EQ(std::string(buf, 2), "ll");
  ASSERT_TRUE(Close(f));

  ASSERT_TRUE(Open("f", kWrite + kTruncate, f));
  ASSERT_TRUE(Size(f, size));
  EXPECT_EQ(size, 0);
  ASSERT_TRUE(Close(f));
}

TEST_F(FileSystemTest, OperationsOnAClosedFileFail) {
  File f;
  char buf[8];
  std::int32_t count = 8;
  std::int64_t size;
  EXPECT_EQ(Failure(Close(f)), kFileNotOpen);
  EXPECT_EQ(Failure(Read(f, count, buf)), kFileNotOpen);
  EXPECT_EQ(Failure(Write(f, count, std::span<const char>("x", 1))), kFileNotOpen);
  EXPECT_EQ(Failure(Size(f, size)), kFileNotOpen);
  EXPECT_EQ(Failure(SetPosition(f, 0, 0)), kFileNotOpen);
  EXPECT_EQ(Failure(ReadLine(f, count, buf)), kFileNotOpen);
  EXPECT_EQ(Failure(WriteLine(f, count, "x")), kFileNotOpen);
}

TEST_F(FileSystemTest, WritersAreExclusiveUnlessShared) {
  Spit(dir + "f", "x");
  File writer, other;
  ASSERT_TRUE(Open("f", kWrite, writer));
  EXPECT_EQ(Failure(Open("f", kRead, other)), kAlreadyOpen);
  EXPECT_EQ(Failure(Open("f", kWrite + kTruncate, other)), kFileLocked);
  EXPECT_EQ(Slurp(dir + "f"), "x") << "a refused open empties nothing";
  EXPECT_NE(StoreBlock(Buffer::Create("B", Buffer::BufferKind::Block), "f"), kNoError);
  EXPECT_EQ(Result(), kFileLocked);
  EXPECT_EQ(Slurp(dir + "f"), "x");
  ASSERT_TRUE(Close(writer));

  ASSERT_TRUE(Open("f", kWrite + kShared, writer));
  ASSERT_TRUE(Open("f", kRead + kWrite + kShared, other));
  ASSERT_TRUE(Close(writer));
  ASSERT_TRUE(Close(other));
}

TEST_F(FileSystemTest, DeleteAndRename) {
  Spit(dir + "a", "A");
  Spit(dir + "b", "B");
  EXPECT_EQ(Failure(Rename("a", "b")), kDuplicateName);
  EXPECT_EQ(Slurp(dir + "b"), "B");
  EXPECT_EQ(Failure(Rename("a", "nodir:c")), kDirectoryNotFound);
  EXPECT_EQ(Failure(Rename("missing", "c")), kFileNotFound);
  ASSERT_TRUE(Rename("a", "c"));
  EXPECT_EQ(Slurp(dir + "c"), "A");
  ASSERT_TRUE(Delete("c"));
  EXPECT_EQ(Failure(Delete("c")), kFileNotFound);
  EXPECT_EQ(Leftovers(), V{"b"});
}

TEST_F(FileSystemTest, ReadLineSplitsAtEveryLineEnd) {
  Spit(dir + "f", std::string("ab\r\ncd\ref\n\rgh\0ij\n", 17) + "abcdefghij\nabcd\nabc\r\nx");
  File f;
  ASSERT_TRUE(Open("f", kRead, f));
  auto next = [&](std::int32_t room) {
    char line[32];
    std::fill(std::begin(line), std::end(line), '#');
    std::int32_t count = room;
    if (!ReadLine(f, count, line)) return std::string("<") + std::to_string(Result()) + ">";
    return std::string(line, std::size_t(count));
  };
  EXPECT_EQ(next(128), "ab");
  EXPECT_EQ(next(128), "cd");
  EXPECT_EQ(next(128), "ef");
  EXPECT_EQ(next(128), "") << "LF CR is two line ends";
  EXPECT_EQ(next(128), "gh");
  EXPECT_EQ(next(128), "ij");
  EXPECT_EQ(next(4), "abcd") << "a long line comes in pieces";
  EXPECT_EQ(next(4), "efgh");
  EXPECT_EQ(next(4), "ij");
  EXPECT_EQ(next(4), "abcd") << "a line that fills the room takes its line end along";
  EXPECT_EQ(next(3), "abc") << "so does one whose CR LF lies beyond the room";
  EXPECT_EQ(next(3), "x");
  EXPECT_EQ(next(3), "<-38>");
  ASSERT_TRUE(Close(f));
}

TEST_F(FileSystemTest, WriteLineUsesTheLineEndMode) {
  const std::pair<std::int32_t, std::string> modes[] = {
      {0, "ab\r\r"}, {1, "ab\r\n\r\n"}, {2, "ab\n\n"}, {7, "ab\r\r"}};
  for (const auto& [mode, bytes] : modes) {
    SetLineEndMode(mode);
    File f;
    ASSERT_TRUE(Open("f", kWrite + kCreate + kTruncate, f));
    std::int32_t count = 2;
    ASSERT_TRUE(WriteLine(f, count, "abc"));
    EXPECT_EQ(count, 2 + (mode == 1 ? 2 : 1));
    count = -5;
    ASSERT_TRUE(WriteLine(f, count, "abc"));
    ASSERT_TRUE(Close(f));
    EXPECT_EQ(Slurp(dir + "f"), bytes) << mode;
  }
}

TEST_F(FileSystemTest, ReadWholeAndWriteWhole) {
  std::int32_t count = 5;
  ASSERT_TRUE(WriteWhole("w", count, std::span<const char>("hello", 5)));
  char buf[8];
  count = 8;
  ASSERT_TRUE(ReadWhole("w", count, buf));
  EXPECT_EQ(std::string(buf, std::size_t(count)), "hello");
  count = 3;
  EXPECT_FALSE(ReadWhole("w", count, buf)) << "the file did not fit";
  EXPECT_EQ(count, 3);
  count = 0;
  ASSERT_TRUE(WriteWhole("w", count, std::span<const char>()));
  count = 8;
  ASSERT_TRUE(ReadWhole("w", count, buf));
  EXPECT_EQ(count, 0);
  EXPECT_EQ(Failure(ReadWhole("missing", count, buf)), kFileNotFound);
  EXPECT_EQ(Leftovers(), V{"w"});
}

TEST_F(FileSystemTest, WritingToAFullDeviceSaysDiskFull) {
  File f;
  ASSERT_TRUE(Open("/dev/full", kWrite, f));
  std::int32_t count = 3;
  EXPECT_EQ(Failure(Write(f, count, std::span<const char>("abc", 3))), kDiskFull);
  ASSERT_TRUE(Close(f));
}

// Loading and storing texts, through the image and line by line.
class Routes : public FileSystemTest, public ::testing::WithParamInterface<bool> {
protected:
  void SetUp() override {
    FileSystemTest::SetUp();
    SetLoadViaImage(GetParam());
  }
};
using LoadRoutes = Routes;
using StoreRoutes = Routes;

TEST_P(LoadRoutes, LineEndsOfEveryKindAndLongLinesBrokenAt128) {
  EXPECT_EQ(Load("a\r\nb\nc\rd\n"), (V{"a", "b", "c", "d"}));
  EXPECT_EQ(Load("a\n\rb"), (V{"a", "", "b"})) << "LF CR is two line ends";
  EXPECT_EQ(Load("a\n\nlast"), (V{"a", "", "last"})) << "the last line needs no line end";
  EXPECT_EQ(Load(std::string(300, 'x')),
            (V{std::string(128, 'x'), std::string(128, 'x'), std::string(44, 'x')}));
  EXPECT_EQ(Load(std::string(128, 'x') + "\ny"), (V{std::string(128, 'x'), "y"}))
      << "a full line takes its line end along";
  EXPECT_EQ(Load(std::string(128, 'x') + "\r\ny"), (V{std::string(128, 'x'), "y"}));
}

TEST_P(LoadRoutes, FilePathModifiedAndBusyCursor) {
  static int busy = 0, calls = 0;
  SetBusyCursor([](bool on) {
    busy += on ? 1 : -1;
    ++calls;
  });
  fs::create_directory(dir + "sub");
  Spit(dir + "sub/t", "a\nb\n");
  Buffer::Ref text = NewText();
  ASSERT_EQ(LoadText("sub:t", text), kNoError);
  EXPECT_EQ(LinesOf(text), (V{"a", "b"}));
  EXPECT_FALSE(Lines::Modified(text));
  char path[260];
  Buffer::GetFilePath(text, path);
  EXPECT_EQ(std::string(path), dir + "sub/");
  EXPECT_EQ(busy, 0);
  EXPECT_EQ(calls, 2);
  EXPECT_EQ(Buffer::Find("/Shell/Load.tmp"), nullptr);

  Spit(dir + "empty", "");
  Buffer::Ref empty = NewText();
  Lines::SetModified(empty, true);
  ASSERT_EQ(LoadText("empty", empty), kNoError);
  EXPECT_EQ(Lines::Count(empty), 0);
  Buffer::GetFilePath(empty, path);
  EXPECT_EQ(std::string(path), GetParam() ? "" : dir) << "only the image route leaves the path";
}

TEST_P(LoadRoutes, BadInputGivesResults) {
  Buffer::Ref text = NewText();
  EXPECT_EQ(LoadText("missing", text), kFileNotFound);
  EXPECT_EQ(LoadText("nodir:x", text), kDirectoryNotFound);
  fs::create_directory(dir + "sub");
  EXPECT_EQ(LoadText("sub", text), kAccessDenied);
  EXPECT_EQ(Buffer::Find("/Shell/Load.tmp"), nullptr);
  if (::geteuid() != 0) {
    Spit(dir + "secret", "x");
    ::chmod((dir + "secret").c_str(), 0);
    EXPECT_EQ(LoadText("secret", text), kAccessDenied);
  }
  Spit(dir + "nul", std::string("a\0b\0\0\n\0", 7));
  EXPECT_EQ(LoadText("nul", text), kNoError);
  EXPECT_EQ(LinesOf(text), GetParam() ? (V{"ab"}) : (V{"a", "b", "", "", ""}))
      << "the image skips 0 bytes; line by line they end lines";

  EXPECT_EQ(LoadText("nul", text), kUserError) << "the text is not empty";
  EXPECT_EQ(LoadText("nul", Buffer::Create("B", Buffer::BufferKind::Block)), kUserError);
  EXPECT_EQ(LoadText("nul", nullptr), kUserError);

  // A CR LF across the boundary of the load's 1 MB pieces is one line end.
  std::string huge(3 << 20, 'm');
  huge[(1 << 20) - 1] = '\r';
  huge[1 << 20] = '\n';
  Spit(dir + "huge", huge);
  Buffer::Ref big = NewText();
  ASSERT_EQ(LoadText("huge", big), kNoError);
  EXPECT_EQ(Lines::Count(big), (1 << 20) / 128 + ((2 << 20) - 1 + 127) / 128);
  EXPECT_EQ(Lines::Length(big, (1 << 20) / 128), 127);
  for (std::int32_t i = 1; i <= Lines::Count(big); ++i) ASSERT_LE(Lines::Length(big, i), 128);
}

INSTANTIATE_TEST_SUITE_P(ImageAndLines, LoadRoutes, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Image" : "ByLines"; });

TEST_F(FileSystemTest, ImageBreaksAfterTheLastSpaceOrBackslash) {
  std::string line(300, 'x');
  line[99] = ' ';
  EXPECT_EQ(Load(line),
            (V{std::string(99, 'x') + " ", std::string(128, 'x'), std::string(72, 'x')}));
  line = std::string(300, 'y');
  line[1] = ' ';
  line[150] = '\\';
  const std::string first = "y " + std::string(126, 'y');
  EXPECT_EQ(Load(line),
            (V{first, std::string(22, 'y') + "\\", std::string(128, 'y'), std::string(21, 'y')}))
      << "a space before the third character does not count";
}

TEST_F(FileSystemTest, SoftLineEndsOnLoad) {
  SetSoftLineEnds(true);
  const std::string s(1, kSoftLineEnd);
  EXPECT_EQ(Load("ab\r\ncd\n\nef"), (V{"ab" + s, "cd" + s, s, "ef"}));
  SetEditorLineWidth(10);
  EXPECT_EQ(Load("aaaa bbbb cccc dd\n"), (V{"aaaa bbbb ", "cccc dd" + s}));
}

TEST_F(FileSystemTest, LoadBlockReadsTheWholeFile) {
  Spit(dir + "bin", std::string("\0\1\2\r\n", 5));
  Buffer::Ref block = Buffer::Create("B", Buffer::BufferKind::Block);
  ASSERT_EQ(LoadBlock("bin", block), 5);
  Buffer::BufferKind kind;
  void* data;
  std::int32_t size;
  Buffer::GetInfo(block, kind, data, size);
  EXPECT_EQ(std::string(static_cast<char*>(data), 5), std::string("\0\1\2\r\n", 5));
  EXPECT_EQ(LoadBlock("bin", block), kUserError) << "the block has data already";
  EXPECT_EQ(LoadBlock("bin", NewText()), kUserError);
  Spit(dir + "empty", "");
  EXPECT_EQ(LoadBlock("empty", Buffer::Create("E", Buffer::BufferKind::Block)), 0);
}

TEST_P(StoreRoutes, LinesWithTheLineEndMode) {
  Buffer::Ref text = NewText({"a", "b"});
  SetLineEndMode(1);
  ASSERT_EQ(StoreText(text, "t"), kNoError);
  EXPECT_EQ(Slurp(dir + "t"), "a\r\nb\r\n");
  SetLineEndMode(0);
  ASSERT_EQ(StoreText(text, "t"), kNoError);
  EXPECT_EQ(Slurp(dir + "t"), "a\rb\r");
  EXPECT_FALSE(Lines::Modified(text));
  char type[5] = {};
  GetType(type);
  EXPECT_STREQ(type, "????") << "the type the store sets is restored";
  EXPECT_EQ(Buffer::Find("/Shell/Store.tmp"), nullptr);
  ASSERT_EQ(StoreText(NewText(), "empty"), kNoError);
  EXPECT_EQ(Slurp(dir + "empty"), "");
  EXPECT_EQ(StoreText(Buffer::Create("B", Buffer::BufferKind::Block), "t"), kUserError);
  EXPECT_EQ(Leftovers(), (V{"empty", "t"}));
}

TEST_P(StoreRoutes, LongLinesAreStoredWhole) {
  const std::string line(1'500'000, 'q'); // longer than a store image holds at a time
  ASSERT_EQ(StoreText(NewText({line, "z"}), "t"), kNoError);
  EXPECT_EQ(Slurp(dir + "t"), line + "\nz\n");
}

TEST_P(StoreRoutes, RoundTripKeepsTheFile) {
  const std::string bytes = "MODULE M;\n\n  (* x *)\nEND M.\n" + std::string(128, 'w') + "\n";
  Spit(dir + "m", bytes);
  Buffer::Ref text = NewText();
  ASSERT_EQ(LoadText("m", text), kNoError);
  ASSERT_EQ(StoreText(text, "m"), kNoError);
  EXPECT_EQ(Slurp(dir + "m"), bytes);
}

TEST_P(StoreRoutes, FailedStoreKeepsTheOldFile) {
  Spit(dir + "t", "old contents\n");
  ::chmod((dir + "t").c_str(), 0640);
  Buffer::Ref text = NewText();
  for (int i = 0; i < 2000; ++i) ASSERT_TRUE(Lines::Append(text, Chars(std::string(60, 'n'))));
  Lines::SetModified(text, true);

  // Files may grow to 4096 bytes only; SIGXFSZ would otherwise end the test.
  struct rlimit old;
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
  const auto handler = std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = old;
  small.rlim_cur = 4096;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  const std::int32_t textResult = StoreText(text, "t");
  Buffer::Ref block = Buffer::Create("B", Buffer::BufferKind::Block);
  ASSERT_NE(Buffer::AllocateData(block, 10000), nullptr);
  const std::int32_t blockResult = StoreBlock(block, "t");
  std::int32_t count = 10000;
  const std::vector<char> bytes(10000, 'w');
  const bool whole = WriteWhole("t", count, bytes);
  ::setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, handler);

  EXPECT_EQ(textResult, -EFBIG);
  EXPECT_EQ(blockResult, -EFBIG);
  EXPECT_FALSE(whole);
  EXPECT_EQ(Slurp(dir + "t"), "old contents\n");
  EXPECT_TRUE(Lines::Modified(text));
  EXPECT_EQ(Leftovers(), V{"t"}) << "the temporary files are gone";

  ASSERT_EQ(StoreText(text, "t"), kNoError);
  EXPECT_EQ(Slurp(dir + "t").size(), 2000u * 61);
  struct stat st;
  ASSERT_EQ(::stat((dir + "t").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u) << "the replaced file keeps its permissions";
}

TEST_P(StoreRoutes, StoreIntoMissingDirectoryOrOverADirectory) {
  Buffer::Ref text = NewText({"a"});
  Lines::SetModified(text, true);
  EXPECT_EQ(StoreText(text, "nodir:t"), kDirectoryNotFound);
  fs::create_directory(dir + "sub");
  EXPECT_EQ(StoreText(text, "sub"), kAccessDenied);
  EXPECT_TRUE(Lines::Modified(text));
  EXPECT_EQ(Leftovers(), V{"sub"});
}

// Files of every kind a user may hand over, each with the coding its text gets. A load
// and a store without edits must give every one of them back byte for byte.
struct CorpusFile {
  const char* name;
  std::string bytes;
  Charset::Coding coding;
};

std::vector<CorpusFile> Corpus() {
  using Charset::Coding;
  const std::string accents = "(* Gr\xC3\xBC\xC3\x9F"
                              "e f\xC3\xBCr M\xC3\xA4"
                              "dchen \xE2\x80\x94 20\xC2\xB0"
                              "C, 5 \xE2\x82\xAC *)";
  const std::string beyond = "(* \xCF\x80 \xE2\x89\x88 3.14, \xE6\xBC\xA2\xE5\xAD\x97 *)";
  std::string longAccents;
  for (int i = 0; i < 100; ++i) longAccents += "\xC3\xA9\xE2\x82\xAC";
  std::string longBeyond = "x";
  for (int i = 0; i < 100; ++i) longBeyond += "\xE2\x89\x88";
  std::string big(3 << 20, 'm'); // a CR LF and a character across the 1 MB pieces
  big[(1 << 20) - 1] = '\r';
  big[1 << 20] = '\n';
  big.replace((2 << 20) - 1, 3, "\xE2\x82\xAC");
  return {
      {"ascii", "MODULE M;\n  (* x *)\nEND M.\n", Coding::Utf8},
      {"latin1",
       "(* Gr\xFC\xDF"
       "e *)\n",
       Coding::Bytes},
      {"accents", accents + "\n", Coding::Utf8},
      {"beyond", accents + "\n" + beyond + "\n", Coding::Utf8Bytes},
      {"invalid", accents + "\n\xC3(\n\xED\xA0\x80\n", Coding::Bytes},
      {"bom", "\xEF\xBB\xBF" + accents + "\r\n", Coding::Utf8},
      {"bom only", "\xEF\xBB\xBF", Coding::Utf8},
      {"bom start", "\xEF\xBB", Coding::Bytes},
      {"crlf", "a\r\nb\r\n\r\nc\r\n", Coding::Utf8},
      {"mixed ends", "a\r\nb\nc\rd\n\re\r", Coding::Utf8},
      {"no last end", "a\nlast", Coding::Utf8},
      {"long lines", std::string(300, 'x') + "\n" + std::string(129, 'y'), Coding::Utf8},
      {"long accents", longAccents + "\n", Coding::Utf8},
      {"long beyond", longBeyond + "\n" + longBeyond, Coding::Utf8Bytes},
      {"controls", "a\x1b[1m\tb\x7f\n", Coding::Utf8},
      {"broken bars", "x\xC2\xA6\ny\xC2\xA6", Coding::Utf8},
      {"latin1 bar", "x\xA6\n", Coding::Bytes},
      {"big", big, Coding::Utf8},
      {"empty", "", Coding::Utf8},
  };
}

TEST_P(StoreRoutes, EveryFileComesBackByteForByte) {
  for (const CorpusFile& file : Corpus()) {
    SCOPED_TRACE(file.name);
    Spit(dir + "f", file.bytes);
    Buffer::Ref text = NewText();
    ASSERT_EQ(LoadText("f", text), kNoError);
    EXPECT_EQ(Lines::CodingOf(text), file.coding);
    ASSERT_EQ(StoreText(text, "f"), kNoError);
    EXPECT_EQ(Slurp(dir + "f"), file.bytes);
    Buffer::Delete(text);
  }
}

TEST_P(LoadRoutes, UnicodeOfTheSetIsDecodedAndOtherUtf8KeptAsItIs) {
  EXPECT_EQ(Load("\xEF\xBB\xBFGr\xC3\xBC\xC3\x9F"
                 "e \xE2\x82\xAC\n"),
            V{"Gr\xFC\xDF"
              "e \x80"});
  EXPECT_EQ(LastLoadNotice(), LoadNotice::None);
  EXPECT_EQ(Load("\xCF\x80 \xC3\xBC\n"), V{"\xCF\x80 \xC3\xBC"});
  EXPECT_EQ(LastLoadNotice(), LoadNotice::KeptUtf8);
  char notice[80];
  LoadNoticeText(LoadNotice::KeptUtf8, notice);
  EXPECT_STREQ(notice, "UTF-8 beyond Windows-1252 kept as bytes");
  EXPECT_EQ(Load("Gr\xFC\xDF"
                 "e\n"),
            V{"Gr\xFC\xDF"
              "e"})
      << "Latin-1 as before";
  EXPECT_EQ(LastLoadNotice(), LoadNotice::None);
  Load(std::string("a\0b\n", 4));
  EXPECT_EQ(LastLoadNotice(), LoadNotice::ZeroBytes);

  // Decoded lines break at 128 characters through the image (line by line at 128
  // bytes); kept UTF-8 never inside a character.
  std::string e;
  for (int i = 0; i < 130; ++i) e += "\xC3\xA9";
  EXPECT_EQ(Load(e), GetParam() ? (V{std::string(128, '\xE9'), std::string(2, '\xE9')})
                                : (V{std::string(64, '\xE9'), std::string(64, '\xE9'),
                                     std::string(2, '\xE9')}));
  const std::vector<std::string> kept =
      Load(std::string(127, 'z') + "x\xCF\x80\xCF\x80" + std::string(10, 'y'));
  ASSERT_EQ(kept.size(), 2u);
  EXPECT_EQ(kept[0], std::string(127, 'z') + "x") << "the line ends before the cut character";
  EXPECT_TRUE(kept[1].starts_with("\xCF\x80"));
}

TEST_P(StoreRoutes, NewTextsAreUtf8AndEditsKeepTheFileAsItWas) {
  Buffer::Ref fresh = NewText({"Gr\xFC\xDF"
                               "e \x80"});
  ASSERT_EQ(StoreText(fresh, "new"), kNoError);
  EXPECT_EQ(Slurp(dir + "new"), "Gr\xC3\xBC\xC3\x9F"
                                "e \xE2\x82\xAC\n");

  // A Latin-1 text stays Latin-1, kept UTF-8 stays as it is, CR LF stays CR LF, and a
  // long line split on load is one line again; lines added take the text's line end.
  Spit(dir + "t", std::string(200, 'w') + "\r\n\xFC\r\nlast");
  Buffer::Ref text = NewText();
  ASSERT_EQ(LoadText("t", text), kNoError);
  ASSERT_EQ(Lines::Count(text), 4);
  ASSERT_TRUE(Lines::Set(text, 1, Chars("v" + std::string(127, 'w'))));
  ASSERT_TRUE(Lines::Insert(text, 5, 1));
  ASSERT_TRUE(Lines::Set(text, 5, Chars("added")));
  ASSERT_EQ(StoreText(text, "t"), kNoError);
  EXPECT_EQ(Slurp(dir + "t"), "v" + std::string(199, 'w') + "\r\n\xFC\r\nlast\r\nadded")
      << "the added line goes after the last, which had no line end, and has none itself";
}

TEST_F(FileSystemTest, HostNamesAreUtf8AndTheWorkstationsCharacters) {
  const std::string utf8 = "Gr\xC3\xBC\xC3\x9F"
                           "e",
                    inside = "Gr\xFC\xDF"
                             "e";
  fs::create_directory(dir + utf8);
  Spit(dir + utf8 + "/" + utf8 + ".txt", "x\n");
  ASSERT_TRUE(ChangeDirectory(Chars(inside)));
  EXPECT_EQ(Current(), Host("")) << "one name for the current directory";
  EXPECT_EQ(Current(), dir + inside + "/");
  Buffer::Ref text = NewText();
  ASSERT_EQ(LoadText(Chars(inside + ".txt"), text), kNoError);
  char path[260];
  Buffer::GetFilePath(text, path);
  EXPECT_EQ(std::string(path), dir + inside + "/");
  ASSERT_EQ(StoreText(text, Chars("\x80.txt")), kNoError);
  EXPECT_EQ(Slurp(dir + utf8 + "/\xE2\x82\xAC.txt"), "x\n");
  EXPECT_TRUE(Rename(Chars("\x80.txt"), Chars("\xE9.txt")));
  EXPECT_TRUE(fs::exists(dir + utf8 + "/\xC3\xA9.txt"));
  EXPECT_TRUE(Delete(Chars("\xE9.txt")));
  ASSERT_TRUE(ChangeDirectory(Chars(dir)));
}

INSTANTIATE_TEST_SUITE_P(ImageAndLines, StoreRoutes, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Image" : "ByLines"; });

TEST_F(FileSystemTest, SoftLineEndsOnStore) {
  const std::string s(1, kSoftLineEnd);
  Buffer::Ref text = NewText({"ab", "c" + s, "", "d" + s});
  SetSoftLineEnds(true);
  ASSERT_EQ(StoreText(text, "t"), kNoError);
  EXPECT_EQ(Slurp(dir + "t"), "abc\n\nd\n");
  SetSoftLineEnds(false);
  ASSERT_EQ(StoreText(text, "t"), kNoError);
  EXPECT_EQ(Slurp(dir + "t"), "ab\nc\xC2\xA6\n\nd\xC2\xA6\n")
      << "without soft line ends the character is the user's";
  Lines::Form loadedSoft;
  loadedSoft.softLineEnds = true;
  ASSERT_TRUE(Lines::SetForm(text, loadedSoft));
  ASSERT_EQ(StoreText(text, "t"), kNoError);
  EXPECT_EQ(Slurp(dir + "t"), "ab\nc\n\nd\n") << "in a text loaded with them it is a mark";
  SetLoadViaImage(false);
  ASSERT_EQ(StoreText(text, "t"), kNoError);
  EXPECT_EQ(Slurp(dir + "t"), "ab\nc\xC2\xA6\n\nd\xC2\xA6\n")
      << "line by line it stays, a character of the new text's UTF-8";
}

TEST_F(FileSystemTest, StoreBlockWritesItsData) {
  Buffer::Ref block = Buffer::Create("B", Buffer::BufferKind::Block);
  Spit(dir + "b", "old");
  ASSERT_EQ(StoreBlock(block, "b"), kNoError);
  EXPECT_EQ(Slurp(dir + "b"), "") << "an empty block stores an empty file";
  char* data = static_cast<char*>(Buffer::AllocateData(block, 3));
  ASSERT_NE(data, nullptr);
  std::copy_n("x\0y", 3, data);
  ASSERT_EQ(StoreBlock(block, "b"), kNoError);
  EXPECT_EQ(Slurp(dir + "b"), std::string("x\0y", 3));
  EXPECT_EQ(StoreBlock(NewText(), "b"), kUserError);

  fs::create_directory(dir + "real");
  fs::create_symlink(dir + "real/target", dir + "link");
  Spit(dir + "real/target", "old");
  ASSERT_EQ(StoreBlock(block, "link"), kNoError);
  EXPECT_TRUE(fs::is_symlink(dir + "link")) << "a link is followed, not replaced";
  EXPECT_EQ(Slurp(dir + "real/target"), std::string("x\0y", 3));
  EXPECT_EQ(Leftovers(), (V{"b", "link", "real"}));
}

TEST_F(FileSystemTest, StoreRemovesOnlyTemporaryFilesThatKilledStoresLeft) {
  // No process has PID 999999999; this one is alive.
  const std::string self = std::to_string(::getpid());
  const struct {
    std::string name;
    bool old, locked, kept;
  } files[] = {
      {".velmarin-999999999-1.tmp", true, false, false}, // left by an earlier run
      {".velmarin-" + self + "-1.tmp", true, false, true},
      {".velmarin-999999999-2.tmp", false, false, true}, // written since this run started
      {".velmarin-999999999-3.tmp", true, true, true},   // its writer holds the lock
      {".velmarin-0999999999-4.tmp", true, false, true}, // not a name the store writes
      {"velmarin-999999999-5.tmp", true, false, true},
  };
  std::vector<int> locks;
  V kept = {"t"};
  for (const auto& f : files) {
    Spit(dir + f.name, "partial");
    if (f.old) fs::last_write_time(dir + f.name, fs::last_write_time(dir + f.name) - 1h);
    if (f.locked) {
      locks.push_back(::open((dir + f.name).c_str(), O_RDONLY));
      ASSERT_EQ(::flock(locks.back(), LOCK_EX), 0);
    }
    if (f.kept) kept.push_back(f.name);
  }
  std::sort(kept.begin(), kept.end());
  ASSERT_EQ(StoreText(NewText({"a"}), "t"), kNoError);
  EXPECT_EQ(Leftovers(), kept);
  for (int fd : locks) ::close(fd);
}
