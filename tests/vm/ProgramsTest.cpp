// The programs of tests/programs run as velmarin --run runs them: each program's output
// must be its NAME.out (NAME.in its input); a program headed "expect-trap: LINE: MESSAGE"
// ends with that trap report, one headed "expect-error: LINE:COLUMN: MESSAGE" does not
// compile. Every object the compiler makes on the way must install.
#include "app/Runner.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "LargeModule.h"

namespace {

const std::string kDir = VELMARIN_PROGRAMS_DIR;

std::string Read(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

std::string Contents(std::FILE* f) {
  std::string s;
  std::rewind(f);
  char buffer[4096];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, f)) > 0;) s.append(buffer, n);
  return s;
}

// The text after "tag: " in the program's header comment, "" when there is none.
std::string Header(const std::string& source, const std::string& tag) {
  const std::size_t at = source.find(tag + ": ");
  if (at == std::string::npos) return "";
  const std::size_t from = at + tag.size() + 2;
  return source.substr(from, source.find(" *)", from) - from);
}

std::vector<std::string> Programs() {
  std::vector<std::string> names;
  if (DIR* d = opendir(kDir.c_str())) {
    while (dirent* e = readdir(d)) {
      const std::string file = e->d_name;
      if (file.size() > 4 && file.substr(file.size() - 4) == ".mod" &&
          Read(kDir + "/" + file).rfind("MODULE", 0) == 0)
        names.push_back(file.substr(0, file.size() - 4));
    }
    closedir(d);
  }
  std::sort(names.begin(), names.end());
  return names;
}

class ProgramsTest : public ::testing::TestWithParam<std::string> {};

TEST_P(ProgramsTest, RunsAsRecorded) {
  const std::string name = GetParam();
  const std::string source = Read(kDir + "/" + name + ".mod");
  std::FILE* in = std::tmpfile();
  std::FILE* out = std::tmpfile();
  std::FILE* err = std::tmpfile();
  ASSERT_TRUE(in != nullptr && out != nullptr && err != nullptr);
  const std::string input = Read(kDir + "/" + name + ".in");
  std::fwrite(input.data(), 1, input.size(), in);
  std::rewind(in);
  // The console of a UTF-8 locale, as a desktop's terminal has it.
  ::setenv("LC_ALL", "C.UTF-8", 1);
  const int status = Runner::RunFile(kDir + "/" + name + ".mod", {}, in, out, err);
  const std::string output = Contents(out), errors = Contents(err);

  if (const std::string error = Header(source, "expect-error"); !error.empty()) {
    EXPECT_EQ(status, Runner::kCompileError);
    EXPECT_EQ(errors, kDir + "/" + name + ".mod:" + error.substr(0, error.find(": ")) +
                          ": error: " + error.substr(error.find(": ") + 2) + "\n");
    return;
  }
  EXPECT_EQ(output, Read(kDir + "/" + name + ".out"));
  if (const std::string trap = Header(source, "expect-trap"); !trap.empty()) {
    // The report: the error, then where it happened.
    const std::string line = trap.substr(0, trap.find(": ")),
                      message = trap.substr(trap.find(": ") + 2);
    EXPECT_EQ(status, Runner::kTrapped);
    EXPECT_EQ(errors.substr(0, errors.find('\n')), "Run-time error: " + message);
    EXPECT_NE(errors.find("  in " + name), std::string::npos) << errors;
    EXPECT_TRUE(errors.find(", line " + line + "\n") != std::string::npos ||
                errors.find(", line " + line + " \u2014 ") != std::string::npos)
        << errors;
  } else {
    EXPECT_EQ(status, Runner::kDone) << errors;
    EXPECT_EQ(errors, "");
  }
}

INSTANTIATE_TEST_SUITE_P(Corpus, ProgramsTest, ::testing::ValuesIn(Programs()),
                         [](const auto& info) { return info.param; });

// A recursion without end: the report collapses its million calls into one line
// and ends with the body that started it.
TEST(TrapReportTest, ARunawayRecursionReportsBothEnds) {
  std::FILE* err = std::tmpfile();
  EXPECT_EQ(Runner::RunFile(kDir + "/trap_stack.mod", {}, std::tmpfile(), std::tmpfile(), err),
            Runner::kTrapped);
  std::istringstream report(Contents(err));
  std::vector<std::string> lines;
  for (std::string line; std::getline(report, line);) lines.push_back(line);
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0], "Run-time error: stack overflow");
  EXPECT_EQ(lines[1], "  in trap_stack.Down, line 7");
  EXPECT_EQ(lines[2].rfind("  called from trap_stack.Down, line 11 \u2014 ", 0), 0u) << lines[2];
  EXPECT_EQ(lines[2].substr(lines[2].size() - 11), " more times");
  EXPECT_EQ(lines[3], "  called from trap_stack, line 16");
}

// Output and report to one file, as `velmarin --run P > f 2>&1` sends them: the output
// buffered, the report not; the report still comes after what the program wrote.
TEST(TrapReportTest, OneFileHoldsTheOutputThenTheReport) {
  std::FILE* file = std::tmpfile();
  std::FILE* out = fdopen(dup(fileno(file)), "w");
  std::FILE* err = fdopen(dup(fileno(file)), "w");
  ASSERT_TRUE(out != nullptr && err != nullptr);
  std::setvbuf(out, nullptr, _IOFBF, 1 << 16);
  std::setvbuf(err, nullptr, _IONBF, 0);
  EXPECT_EQ(Runner::RunFile(kDir + "/trap_unsetsum.mod", {}, std::tmpfile(), out, err),
            Runner::kTrapped);
  std::fclose(out);
  std::fclose(err);
  EXPECT_EQ(Contents(file), "high 120000\nRun-time error: integer overflow (the variable low was "
                            "never assigned?)\n  in trap_unsetsum, line 15\n");
}

// The words after the program's file are its arguments, after its name.
TEST(ArgumentsTest, TheWordsAfterTheProgramAreItsArguments) {
  std::FILE* out = std::tmpfile();
  std::FILE* err = std::tmpfile();
  EXPECT_EQ(
      Runner::RunFile(kDir + "/arguments.mod", {"one", "two words", ""}, std::tmpfile(), out, err),
      Runner::kDone);
  EXPECT_EQ(Contents(out), "arguments: 4\n0 [arguments]\n1 [one]\n2 [two words]\n3 []\n"
                           "none beyond\ndoes not fit: argu\n");
  EXPECT_EQ(Contents(err), "");
}

// A module of 50,000 lines (several megabytes of code) beside a program that imports it:
// both compile, install, link and run; a trap near its end reports its line.
TEST(LargeModuleTest, FiftyThousandLinesCompileLinkAndRun) {
  char dir[] = "/tmp/velmarin-large-XXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  const LargeModule::Module huge = LargeModule::Make("Huge", 50000);
  const std::string base = std::string(dir) + "/";
  std::ofstream(base + "Huge.def") << huge.definition;
  std::ofstream(base + "Huge.mod") << huge.implementation;
  std::ofstream(base + "Main.mod") << "MODULE Main;\nFROM InOut IMPORT WriteInt, WriteLn;\n"
                                      "IMPORT Huge;\nBEGIN\n  WriteInt(Huge.Total(), 0); WriteLn;\n"
                                      "  WriteInt(Huge.Fail(0), 0)\nEND Main.\n";
  std::FILE* out = std::tmpfile();
  std::FILE* err = std::tmpfile();
  EXPECT_EQ(Runner::RunFile(base + "Main.mod", {}, std::tmpfile(), out, err), Runner::kTrapped);
  EXPECT_EQ(Contents(out), std::to_string(huge.total) + "\n");
  EXPECT_EQ(Contents(err), "Run-time error: division by zero\n  in Huge.Fail, line " +
                               std::to_string(huge.failLine) + "\n  called from Main, line 6\n");
  for (const char* file : {"Huge.def", "Huge.mod", "Main.mod"}) unlink((base + file).c_str());
  rmdir(dir);
}

} // namespace
