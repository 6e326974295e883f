// The differential test of translated code: every program module of the corpus runs
// through `velmarin --run` translated and through `velmarin --no-jit --run`, on the same
// input; both must write the same bytes to standard output and standard error (the trap
// report) and end with the same status.
#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "jit/Jit.h"

extern char** environ;

namespace {

std::string Read(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// Every program module of the corpus's directories, by path.
std::vector<std::string> Corpus() {
  std::vector<std::string> paths;
  std::string dirs = VELMARIN_CORPUS;
  for (std::size_t from = 0; from <= dirs.size();) {
    const std::size_t to = std::min(dirs.find(':', from), dirs.size());
    const std::string dir = dirs.substr(from, to - from);
    from = to + 1;
    DIR* d = opendir(dir.c_str());
    if (d == nullptr) continue;
    while (dirent* e = readdir(d)) {
      const std::string file = e->d_name;
      if (file.size() > 4 && file.substr(file.size() - 4) == ".mod" &&
          Read(dir + "/" + file).rfind("MODULE", 0) == 0)
        paths.push_back(dir + "/" + file);
    }
    closedir(d);
  }
  std::sort(paths.begin(), paths.end());
  return paths;
}

struct Outcome {
  int status = -1;
  std::string out, err;
};

// Runs velmarin with the arguments, its input from the file input (or /dev/null).
Outcome Velmarin(std::vector<std::string> args, const std::string& input) {
  char outName[] = "/tmp/velmarin-jit-out-XXXXXX", errName[] = "/tmp/velmarin-jit-err-XXXXXX";
  const int out = mkstemp(outName), err = mkstemp(errName);
  const int in = open(input.empty() ? "/dev/null" : input.c_str(), O_RDONLY);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in, 0);
  posix_spawn_file_actions_adddup2(&actions, out, 1);
  posix_spawn_file_actions_adddup2(&actions, err, 2);
  args.insert(args.begin(), VELMARIN_EXE);
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  Outcome o;
  pid_t pid;
  if (posix_spawn(&pid, VELMARIN_EXE, &actions, nullptr, argv.data(), environ) == 0) {
    int status = 0;
    waitpid(pid, &status, 0);
    o.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
  posix_spawn_file_actions_destroy(&actions);
  close(in), close(out), close(err);
  o.out = Read(outName), o.err = Read(errName);
  unlink(outName), unlink(errName);
  return o;
}

class CorpusTest : public ::testing::TestWithParam<std::string> {};

TEST_P(CorpusTest, RunsTheSameTranslatedAndInterpreted) {
  if (!Jit::Available()) GTEST_SKIP() << "programs are not translated on this host";
  const std::string path = GetParam();
  std::string input = path.substr(0, path.size() - 4) + ".in";
  if (access(input.c_str(), R_OK) != 0) input.clear();
  const Outcome interpreted = Velmarin({"--no-jit", "--run", path}, input);
  const Outcome translated = Velmarin({"--run", path}, input);
  EXPECT_EQ(translated.out, interpreted.out);
  EXPECT_EQ(translated.err, interpreted.err);
  EXPECT_EQ(translated.status, interpreted.status);
  // A program that ran at all ends as a program does: done, trapped or not compiled.
  EXPECT_TRUE(interpreted.status >= 0 && interpreted.status <= 2) << interpreted.err;
}

INSTANTIATE_TEST_SUITE_P(Corpus, CorpusTest, ::testing::ValuesIn(Corpus()), [](const auto& info) {
  std::string name = info.param.substr(info.param.find_last_of('/') + 1);
  name = name.substr(0, name.size() - 4);
  const std::string dir = info.param.substr(0, info.param.find_last_of('/'));
  std::string prefix = dir.substr(dir.find_last_of('/') + 1);
  std::replace(prefix.begin(), prefix.end(), '-', '_');
  for (char& c : name) c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
  return prefix + "_" + name;
});

} // namespace
