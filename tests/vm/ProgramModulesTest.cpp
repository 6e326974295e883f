// The standard modules of compiled programs, called as compiled code calls them: a
// Native::Call with the parameter words of the procedure heading.
#include "programs/ProgramModules.h"

#include <bit>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <deque>
#include <initializer_list>
#include <string>
#include <vector>

#include <unistd.h>

#include "../editor/EditorFixture.h"
#include "store/FileSystem.h"
#include "textio/TextIO.h"
#include "vm/Heap.h"
#include "vm/Trap.h"

namespace {

std::uint64_t W(const void* p) { return reinterpret_cast<std::uint64_t>(p); }
std::uint64_t R(double x) { return std::bit_cast<std::uint64_t>(x); }

class ProgramModulesTest : public EditorFixture {
protected:
  void SetUp() override {
    EditorFixture::SetUp();
    ProgramModules::AddAll();
    ASSERT_TRUE(Native::RegisterAll(Shell::SystemLibrary()));
    in = std::tmpfile();
    out = std::tmpfile();
    TextIO::SetConsoleFiles(in, out);
    TextIO::SetConsole(true);
  }
  void TearDown() override {
    TextIO::SetConsole(false);
    TextIO::SetConsoleFiles(nullptr, nullptr);
    std::fclose(in);
    std::fclose(out);
    EditorFixture::TearDown();
  }

  void Input(const char* text) {
    std::fputs(text, in);
    std::rewind(in);
  }
  std::string Output() {
    std::fflush(out);
    std::rewind(out);
    std::string text;
    for (int c = std::getc(out); c != EOF; c = std::getc(out)) text += static_cast<char>(c);
    return text;
  }

  // Calls procedure name of module with the parameter words; the function result.
  static std::uint64_t Call(const char* module, const char* name,
                            std::vector<std::uint64_t> args = {}) {
    const Native::ModuleSpec* m = Native::Find(base::CharsOf(module));
    EXPECT_NE(m, nullptr) << module;
    for (const Native::Procedure& p : m->procedures) {
      if (std::strcmp(p.name, name) != 0) continue;
      EXPECT_EQ(static_cast<std::size_t>(p.words), args.size()) << name;
      Native::Call call;
      call.args = args.data();
      call.count = static_cast<std::int32_t>(args.size());
      p.proc(call);
      return call.result;
    }
    ADD_FAILURE() << module << "." << name << " missing";
    return 0;
  }
  // The trap message of a call, or "" when it returned.
  static std::string Trapped(const char* module, const char* name,
                             std::vector<std::uint64_t> args) {
    try {
      Call(module, name, std::move(args));
    } catch (const Vm::TrapSignal& t) {
      return t.message;
    }
    return "";
  }
  static std::uint8_t Variable(const char* module, int offset) {
    return Native::Variables(base::CharsOf(module))[offset];
  }

  std::FILE* in = nullptr;
  std::FILE* out = nullptr;
};

TEST_F(ProgramModulesTest, InOutReadsWordsAndNumbersAcrossLines) {
  Input("  12 -7\nword  x\n4000000000 abc\n3.5e2\n");
  std::int32_t i = 0;
  std::uint32_t c = 0;
  char s[4] = {};
  double x = 0;
  Call("InOut", "ReadInt", {W(&i)});
  EXPECT_EQ(i, 12);
  EXPECT_EQ(Variable("InOut", 0), 1);   // Done
  EXPECT_EQ(Variable("InOut", 1), ' '); // termCH
  Call("InOut", "ReadInt", {W(&i)});
  EXPECT_EQ(i, -7);
  EXPECT_EQ(Variable("InOut", 1), ProgramModules::kEol);
  Call("InOut", "ReadString", {W(s), 3}); // cut to the array
  EXPECT_EQ(std::string(s, 4), std::string("word"));
  char ch = 0;
  Call("InOut", "Read", {W(&ch)});
  EXPECT_EQ(ch, ' ');
  Call("InOut", "ReadString", {W(s), 3});
  EXPECT_EQ(std::string(s), "x");
  Call("InOut", "ReadCard", {W(&c)});
  EXPECT_EQ(c, 4000000000u);
  Call("InOut", "ReadInt", {W(&i)});
  EXPECT_EQ(Variable("InOut", 0), 0);
  EXPECT_EQ(i, -7);
  Call("RealInOut", "ReadReal", {W(&x)});
  EXPECT_EQ(x, 350.0);
  EXPECT_EQ(Variable("RealInOut", 0), 1);
  EXPECT_EQ(Variable("InOut", 1), ProgramModules::kEol); // ReadReal leaves termCH alone
  Call("InOut", "Read", {W(&ch)});
  EXPECT_EQ(ch, 0);
  EXPECT_EQ(Variable("InOut", 0), 0);
  Call("RealInOut", "ReadReal", {W(&x)});
  EXPECT_EQ(Variable("RealInOut", 0), 0);
}

// ReadInt and ReadCard take every value of their types; beyond it, or a word that is
// not a whole number, leaves Done FALSE and the variable as it was.
TEST_F(ProgramModulesTest, InOutReadsTheWholeRangeOfIntegers) {
  struct Case {
    const char* proc;
    const char* word;
    bool done;
    std::int64_t value;
  };
  const Case cases[] = {
      {"ReadInt", "2147483647", true, 2147483647},
      {"ReadInt", "-2147483648", true, INT32_MIN},
      {"ReadInt", "+2147483640", true, 2147483640},
      {"ReadInt", "2147483648", false, 0},
      {"ReadInt", "-2147483649", false, 0},
      {"ReadInt", "99999999999999999999", false, 0},
      {"ReadInt", "-", false, 0},
      {"ReadInt", "12x", false, 0},
      {"ReadCard", "4294967295", true, 4294967295},
      {"ReadCard", "4294967296", false, 0},
      {"ReadCard", "-1", false, 0},
      {"ReadCard", "0", true, 0},
  };
  std::string text;
  for (const Case& c : cases) text += std::string(c.word) + "\n";
  Input((text + std::string(100, '0') + "5\n").c_str());
  for (const Case& c : cases) {
    std::int32_t i = 0;
    std::uint32_t u = 0;
    if (std::string(c.proc) == "ReadInt")
      Call("InOut", c.proc, {W(&i)});
    else
      Call("InOut", c.proc, {W(&u)});
    EXPECT_EQ(Variable("InOut", 0), c.done ? 1 : 0) << c.word;
    EXPECT_EQ(std::string(c.proc) == "ReadInt" ? i : static_cast<std::int64_t>(u), c.value)
        << c.word;
  }
  // A number longer than a word holds is none.
  std::int32_t i = 3;
  Call("InOut", "ReadInt", {W(&i)});
  EXPECT_EQ(Variable("InOut", 0), 0);
  EXPECT_EQ(i, 3);
}

// OpenOutput and OpenInput take the file name from the terminal (standard input here), a
// name ending in "." the default extension. The output file appears only when it is
// closed; a missing input file leaves Done FALSE, the terminal still the input.
TEST_F(ProgramModulesTest, InOutReadsAndWritesFilesItIsGiven) {
  char dir[] = "/tmp/velmarin-inout-XXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  ASSERT_TRUE(FileSystem::ChangeDirectory(base::CharsOf(dir)));
  const std::string file = std::string(dir) + "/numbers.txt";
  Input("numbers.\nnumbers.\nmissing.txt\nterminal\n");
  const char txt[] = "txt";
  Call("InOut", "OpenOutput", {W(txt), 3});
  EXPECT_EQ(Variable("InOut", 0), 1);
  const char text[] = "sum:";
  Call("InOut", "WriteString", {W(text), 4});
  Call("InOut", "WriteInt", {static_cast<std::uint64_t>(-42), 5});
  Call("InOut", "Write", {ProgramModules::kEol});
  Call("InOut", "WriteHex", {255, 4});
  Call("InOut", "WriteLn");
  EXPECT_EQ(std::fopen(file.c_str(), "r"), nullptr); // not yet in place
  Call("InOut", "CloseOutput");
  EXPECT_EQ(Output(), "");

  Call("InOut", "OpenInput", {W(txt), 3});
  EXPECT_EQ(Variable("InOut", 0), 1);
  char word[8] = {};
  std::int32_t i = 0;
  Call("InOut", "ReadString", {W(word), 7});
  EXPECT_EQ(std::string(word), "sum:");
  Call("InOut", "ReadInt", {W(&i)});
  EXPECT_EQ(i, -42);
  Call("InOut", "ReadString", {W(word), 7});
  EXPECT_EQ(std::string(word), "FF");
  Call("InOut", "ReadString", {W(word), 7});
  EXPECT_EQ(Variable("InOut", 0), 0); // the end of the file
  Call("InOut", "CloseInput");

  Call("InOut", "OpenInput", {W(txt), 3});
  EXPECT_EQ(Variable("InOut", 0), 0);
  Call("InOut", "ReadString", {W(word), 7});
  EXPECT_EQ(std::string(word, 8), "terminal"); // cut to the array
  std::remove(file.c_str());
  rmdir(dir);
}

TEST_F(ProgramModulesTest, WritesInTheirFormats) {
  const char text[] = "ab";
  Call("InOut", "WriteString", {W(text), 2});
  Call("InOut", "Write", {'c'});
  Call("InOut", "Write", {ProgramModules::kEol});
  Call("InOut", "WriteInt", {static_cast<std::uint64_t>(-42), 5});
  Call("InOut", "WriteCard", {7, 0});
  Call("InOut", "WriteOct", {8, 3});
  Call("InOut", "WriteHex", {255, 3});
  Call("InOut", "WriteLn");
  Call("RealInOut", "WriteReal", {R(1234.5), 12});
  Call("RealInOut", "WriteReal", {R(-2.0), 0});
  Call("RealInOut", "WriteRealOct", {R(1.0)});
  Call("Terminal", "WriteLn");
  Call("TextIO", "WriteBool", {1});
  Call("TextIO", "WriteReal", {R(0.25), 10, 2});
  Call("TextIO", "WriteFixed", {R(2.5), 6, 1});
  Call("TextIO", "WriteTime", {R(3723.5)});
  Call("TextIO", "WriteDate", {R(86400.0 * 365.0)});
  EXPECT_EQ(Output(), "abc\n  -427 10 FF\n 1.23450E+03-2.0E+00"
                      "0377600000000000000000\n"
                      " TRUE  2.50E-01   2.501:02:03.5001991/01/01 00:00:00");
}

TEST_F(ProgramModulesTest, TextIOAndTerminalReads) {
  Input("12\nnot\nxy\n");
  std::int32_t i = 5;
  Call("TextIO", "ReadInt", {W(&i)});
  EXPECT_EQ(i, 12);
  EXPECT_EQ(Variable("TextIO", 0), 1);
  Call("TextIO", "ReadInt", {W(&i)});
  EXPECT_EQ(i, 12);
  EXPECT_EQ(Variable("TextIO", 0), 0);
  char ch = 0;
  Call("Terminal", "Read", {W(&ch)});
  EXPECT_EQ(ch, 'x');
  Call("Terminal", "ReadAgain");
  Call("Terminal", "Read", {W(&ch)});
  EXPECT_EQ(ch, 'x');
  Call("Terminal", "BusyRead", {W(&ch)});
  EXPECT_EQ(ch, 'y');
  char line[8] = "old";
  Call("TextIO", "ReadLine", {W(line), 7});
  EXPECT_EQ(std::string(line), "");
  EXPECT_EQ(Variable("TextIO", 0), 1);
  Call("TextIO", "ReadLine", {W(line), 7});
  EXPECT_EQ(Variable("TextIO", 0), 0);
  Call("Terminal", "BusyRead", {W(&ch)});
  EXPECT_EQ(ch, 0);
}

TEST_F(ProgramModulesTest, MathLib0ValuesAndDomainTraps) {
  auto real = [](std::uint64_t bits) { return std::bit_cast<double>(bits); };
  EXPECT_EQ(real(Call("MathLib0", "sqrt", {R(2.25)})), 1.5);
  EXPECT_EQ(real(Call("MathLib0", "ln", {R(1.0)})), 0.0);
  EXPECT_NEAR(real(Call("MathLib0", "arctan", {R(1.0)})) * 4, 3.14159265358979, 1e-12);
  EXPECT_EQ(real(Call("MathLib0", "real", {static_cast<std::uint64_t>(-3)})), -3.0);
  EXPECT_EQ(static_cast<std::int32_t>(Call("MathLib0", "entier", {R(-1.5)})), -2);
  EXPECT_EQ(static_cast<std::int32_t>(Call("MathLib0", "entier", {R(2147483647.9)})), 2147483647);
  EXPECT_EQ(Trapped("MathLib0", "sqrt", {R(-1e-300)}), "sqrt of a negative number");
  EXPECT_EQ(Trapped("MathLib0", "ln", {R(0.0)}), "ln of a number not above 0");
  EXPECT_EQ(Trapped("MathLib0", "entier", {R(2147483648.0)}), "entier out of range");
  EXPECT_EQ(Trapped("MathLib0", "entier", {R(std::nan(""))}), "entier out of range");
}

TEST_F(ProgramModulesTest, StorageOnTheProgramsHeap) {
  std::uint64_t a = 0;
  std::uint64_t b = 0;
  Call("Storage", "ALLOCATE", {W(&a), 24});
  Call("Storage", "ALLOCATE", {W(&b), 0});
  ASSERT_NE(a, 0u);
  ASSERT_NE(b, 0u);
  EXPECT_NE(a, b);
  EXPECT_EQ(a % 16, 0u);
  EXPECT_EQ(Heap::StateAt(a), Heap::BlockState::Live);
  EXPECT_EQ(Call("Storage", "Available", {1024}), 1u);
  EXPECT_EQ(Call("Storage", "Available", {0xFFFFFFFF}), 0u);
  const std::uint64_t freed = a;
  Call("Storage", "DEALLOCATE", {W(&a), 24});
  EXPECT_EQ(a, 0u);
  EXPECT_EQ(Heap::StateAt(freed), Heap::BlockState::Freed);
  a = freed;
  EXPECT_EQ(Trapped("Storage", "DEALLOCATE", {W(&a), 24}),
            "DISPOSE of a pointer that is not allocated");
  Call("Storage", "DEALLOCATE", {W(&b), 0});
  EXPECT_EQ(b, 0u);
}

// Allocating and freeing without end, a program keeps its heap to what it holds and the
// quarantine of its freed blocks; the blocks freed last are still known as freed.
TEST_F(ProgramModulesTest, StorageChurnStaysBounded) {
  Heap::Testing::SetQuarantineBytes(64 << 10);
  std::deque<std::uintptr_t> live;
  for (int i = 0; i < 200000; ++i) {
    live.push_back(Heap::Allocate(24));
    ASSERT_NE(live.back(), 0u);
    if (live.size() > 1000) {
      const std::uintptr_t p = live.front();
      live.pop_front();
      ASSERT_TRUE(Heap::Deallocate(p, 24));
      ASSERT_EQ(Heap::StateAt(p), Heap::BlockState::Freed);
      ASSERT_FALSE(Heap::Deallocate(p, 24));
    }
  }
  std::int32_t bytes = 0, segments = 0, freeBytes = 0, freeRanges = 0;
  Buffer::HeapInfo(Buffer::Find(Heap::kPath), bytes, segments, freeBytes, freeRanges);
  EXPECT_LT(bytes, 1 << 20);
  EXPECT_EQ(Buffer::Testing::CheckHeap(Buffer::Find(Heap::kPath)), "");
  Heap::Testing::SetQuarantineBytes(Heap::kQuarantineBytes);
}

// The heap buffer is found again wherever the store moves it in its directory; once the
// user deleted it, a new one (a new generation) takes the blocks.
TEST_F(ProgramModulesTest, StorageFollowsItsHeapBuffer) {
  ASSERT_NE(Heap::Allocate(16), 0u);
  const std::uint32_t generation = Heap::Generation();
  Buffer::Ref first = Buffer::Find(Heap::kPath);
  ASSERT_NE(Buffer::Create("/Shell/AAA", Buffer::BufferKind::Text), nullptr);
  const std::uintptr_t p = Heap::Allocate(16);
  ASSERT_NE(p, 0u);
  EXPECT_EQ(Heap::Generation(), generation);
  EXPECT_EQ(Buffer::Find(Heap::kPath), first);
  ASSERT_TRUE(Heap::Deallocate(p, 16));
  Buffer::Delete(first);
  EXPECT_NE(Heap::Generation(), generation);
  EXPECT_FALSE(Heap::Deallocate(p, 16));
  ASSERT_NE(Heap::Allocate(16), 0u);
  EXPECT_NE(Buffer::Find(Heap::kPath), nullptr);
  EXPECT_EQ(Buffer::Testing::CheckStore(), "");
}

} // namespace
