// The command line of the velmarin executable: one table of options, each with its one
// line of help, from which both the parser and the usage text (--help, and through it
// the manual page) are made. It is read before Qt starts, so that --help, --version,
// --run and the usage errors need no display; Qt's own options are handed on to Qt.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace Options {

// Exit statuses of the executable besides a program's own (0 done, 1 a run-time error
// or a failure of the workstation, 2 a compile error).
inline constexpr int kUsageError = 64; // an unknown option, a missing or bad argument
inline constexpr int kNoInput = 66;    // a file to run or open is missing or unreadable

struct CommandLine {
  bool help = false;
  bool version = false;
  std::string run; // the program of --run; empty: start the workstation
  std::string macro;
  int macroNumber = 1;
  bool haveKeys = false;
  std::string keys;
  std::string screenshot;
  std::string dump;
  std::string geometry;
  bool readyTime = false;
  bool noCompiler = false;
  bool noJit = false;         // programs run in the interpreter alone
  bool debug = false;         // --run under the line-mode debugger
  bool platformGiven = false; // -platform was among Qt's options
  // The words that are no options: the files to open, or with --run the program's
  // arguments.
  std::vector<std::string> words;
  // The program's name and Qt's options, in their order, for QApplication.
  std::vector<std::string> qtArguments;
};

// Reads argv; false with the message (without the program's name) when an option is
// unknown, lacks its argument, has a bad one or does not go with the others. Options
// are taken in any order; "--" ends them, and "--name=value" is "--name value".
bool Parse(int argc, char** argv, CommandLine& line, std::string& error);

// The usage: the forms of the command line, every option with its line, the exit
// statuses and the environment.
void PrintUsage(std::FILE* out);

// Checks that path names a readable regular file: the message ("PATH: no such file",
// "PATH: is a directory", "PATH: cannot be read (permission denied)") when not.
bool CheckInputFile(const std::string& path, std::string& error);

} // namespace Options
