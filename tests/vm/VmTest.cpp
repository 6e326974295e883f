// The machine on hand-assembled code: the instruction groups and their traps, calls
// within and across modules, module bodies, natives and call-backs, trap reports,
// interrupts and the stack.
#include "vm/Vm.h"

#include <gtest/gtest.h>

#include <bit>
#include <climits>
#include <cstring>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "../store/StoreTesting.h"
#include "modules/NativeModules.h"
#include "vm/Assembler.h"
#include "vm/Debug.h"
#include "vm/Heap.h"
#include "vm/Object.h"
#include "vm/Trap.h"

using Asm::Assembler;
using Asm::Label;
using Vm::Op;

namespace {

constexpr Modules::Key kTestKey{{7, 7, 7}};
constexpr std::uint16_t kSlots = 40;

// A module put together for a test: entry 0 is the body, entries 1.. its procedures.
struct TestModule {
  std::string name;
  std::vector<Object::Import> imports{};
  Assembler a{};
  std::vector<std::uint32_t> entries{};
  std::vector<std::string> names{};
  std::vector<Object::LinePoint> lines{};
  std::uint16_t variables = 4;

  // ENTER for entry i here: params slots of parameters, kSlots in all.
  void Proc(std::size_t i, std::uint16_t params = 0, const std::string& procName = "") {
    if (entries.size() <= i) entries.resize(i + 1), names.resize(i + 1);
    entries[i] = a.Here();
    names[i] = procName;
    a.Emit(Op::ENTER, kSlots, static_cast<std::uint16_t>(a.Here()),
           static_cast<std::uint16_t>(Vm::kEntryMark | params));
    a.Emit(kSlots);
  }
  void Line(std::int32_t line) { lines.push_back({a.Here(), line}); }
  Modules::Ref Install(Buffer::Ref library) {
    Object::Module m;
    m.name = name;
    m.key = kTestKey;
    m.imports = imports;
    m.variables = variables;
    std::string error;
    EXPECT_TRUE(a.Finish(variables, m.code, error)) << error;
    for (std::size_t i = 0; i < entries.size(); ++i)
      m.offsets.push_back((entries[i] + a.Moved()) * 8 - (i == 0 ? 6 : 0));
    for (Object::LinePoint& l : lines) l.word += a.Moved();
    m.extra = Object::EncodeDebugInfo({"/User/" + name + ".mod", names, lines, {}});
    Buffer::Ref object = Object::ToBuffer(base::CharsOf("/Object"), Object::Write(m));
    return Modules::Install(library, object);
  }
};

std::uint64_t EntryOf(Modules::Ref m, int i) {
  std::uint64_t e;
  std::memcpy(&e, Modules::Info(m).table + 8 * i, 8);
  return e;
}

// The native module T of the tests: Put records, Apply calls a procedure value back,
// Fail traps.
std::vector<std::int64_t> puts;
void Put(Native::Call& c) { puts.push_back(static_cast<std::int64_t>(c.args[0])); }
void Apply(Native::Call& c) {
  const std::uint64_t x = c.args[1];
  c.result = Vm::CallProcedure(c.args[0], std::span<const std::uint64_t>(&x, 1));
}
void Fail(Native::Call&) { Vm::Trap("Native failure."); }
// A fault in the workstation's own code, not in the program's memory.
void Crash(Native::Call&) {
  volatile int* nowhere = nullptr;
  *nowhere = 1;
}
// The length of an open array, without reading it.
void Length(Native::Call& c) { c.result = c.args[1] + 1; }

class VmTest : public StoreTesting::StoreTest {
protected:
  void SetUp() override {
    StoreTest::SetUp();
    library = Buffer::Create("/SystemLibrary", Buffer::BufferKind::Library);
    ASSERT_NE(Buffer::Create("/Shell", Buffer::BufferKind::Directory), nullptr);
    Native::Add({"T",
                 {{1, 2, 3}},
                 "",
                 {{"Put", Put, 1},
                  {"Apply", Apply, 2},
                  {"Fail", Fail, 0},
                  {"Crash", Crash, 0},
                  {"Length", Length, "a:v"}}});
    ASSERT_TRUE(Native::RegisterAll(library));
    puts.clear();
    Vm::SetReportProc([](const Vm::TrapReport&) {});
  }
  void TearDown() override {
    Vm::Testing::SetStackLimit(0);
    Vm::Testing::SetPollInterval(0);
    Vm::SetInterruptProc(nullptr);
    StoreTest::TearDown();
  }
  // Runs a module's body as the shell does.
  void RunBody(Modules::Ref m) { Vm::RunBody(m, Modules::Body(m)); }
  std::string Outcome() { return Vm::LastRunTrapped() ? Vm::LastReport().message : "done"; }

  Buffer::Ref library = nullptr;
};

// ---- instruction groups: procedure 1 of a module gets a and b in slots 0 and 1

struct Case {
  const char* name;
  std::function<void(Assembler&)> code; // leaves with RETV
  std::uint64_t a, b;
  std::uint64_t result;
  const char* trap = nullptr; // the trap instead of a result
};

std::uint64_t D(double d) { return std::bit_cast<std::uint64_t>(d); }
std::uint64_t I(std::int64_t v) { return static_cast<std::uint64_t>(v); }

void Op3(Assembler& a, Op op) {
  a.Emit(op, 2, 0, 1);
  a.Emit(Op::RETV, 2);
}
std::function<void(Assembler&)> Three(Op op) {
  return [op](Assembler& a) { Op3(a, op); };
}
// A local array of 4 words at slots 10..13 (low bound 1): stores b at a, reads a back.
void ArrayAt(Assembler& a, Op store, Op load) {
  a.Emit(Op::LDLA, 5, 10);
  a.Emit(store, 1, 5, 0);
  a.Emit(Vm::Bounds(1, 4));
  a.Emit(load, 2, 5, 0);
  a.Emit(Vm::Bounds(1, 4));
  a.Emit(Op::RETV, 2);
}

const char* const kOverflow = "integer overflow";
const char* const kDivision = "division by zero";
const char* const kIndex = "index out of range";
const char* const kRange = "value out of range";

const Case kCases[] = {
    {"AddInteger", Three(Op::ADDI), 2, I(-5), I(-3)},
    {"AddIntegerOverflows", Three(Op::ADDI), INT32_MAX, 1, 0, kOverflow},
    {"SubtractCardinalBelowZero", Three(Op::SUBU), 0, 1, 0, kOverflow},
    {"AddCardinalPastTop", Three(Op::ADDU), UINT32_MAX, 1, 0, kOverflow},
    {"MultiplyLongOverflows", Three(Op::MULL), I(INT64_MAX / 2), 3, 0, kOverflow},
    {"AddLongCardinalWraps", Three(Op::ADDUL), UINT64_MAX, 1, 0, kOverflow},
    {"DivFloorsForPositiveDivisor", Three(Op::DIVI), I(-7), 2, I(-4)},
    {"ModIsNeverNegative", Three(Op::MODI), I(-7), I(-2), 1},
    {"DivNegativeDivisor", Three(Op::DIVI), 7, I(-2), I(-3)},
    {"DivByZero", Three(Op::DIVI), 7, 0, 0, kDivision},
    {"DivSmallestByMinusOne", Three(Op::DIVI), I(INT32_MIN), I(-1), 0, kOverflow},
    {"LongDivSmallestByMinusOne", Three(Op::DIVL), I(INT64_MIN), I(-1), 0, kOverflow},
    {"ModLongByMinusOne", Three(Op::MODL), I(INT64_MIN), I(-1), 0},
    {"QuotientTruncates", Three(Op::QUOI), I(-7), 2, I(-3)},
    {"RemainderHasTheDividendsSign", Three(Op::REMI), I(-7), 2, I(-1)},
    {"QuotientOfSmallestByMinusOneOverflows", Three(Op::QUOI), I(INT32_MIN), I(-1), 0, kOverflow},
    {"LongDivIsEuclidean", Three(Op::DIVL), I(-7), I(-2), 4},
    {"LongModIsNeverNegative", Three(Op::MODL), I(-7), 2, 1},
    {"LongQuotientTruncates", Three(Op::QUOL), I(-7), 2, I(-3)},
    {"LongRemainderHasTheDividendsSign", Three(Op::REML), I(-7), 2, I(-1)},
    {"LongQuotientOfSmallestByMinusOneOverflows", Three(Op::QUOL), I(INT64_MIN), I(-1), 0,
     kOverflow},
    {"CardinalModByZero", Three(Op::MODU), 7, 0, 0, kDivision},
    {"AddImmediate",
     [](Assembler& a) {
       a.Emit(Op::ADDIK, 2, 0, static_cast<std::uint16_t>(-5));
       a.Emit(Op::RETV, 2);
     },
     I(INT32_MIN + 4), 0, 0, kOverflow},
    {"NegateSmallest",
     [](Assembler& a) {
       a.Emit(Op::NEGI, 2, 0);
       a.Emit(Op::RETV, 2);
     },
     I(INT32_MIN), 0, 0, kOverflow},
    {"AddReals", Three(Op::ADDR), D(1.5), D(2.25), D(3.75)},
    {"RealDivisionByZero", Three(Op::DIVR), D(1.0), D(0.0), 0, kDivision},
    {"TruncTowardsZero",
     [](Assembler& a) {
       a.Emit(Op::TRUNCI, 2, 0);
       a.Emit(Op::RETV, 2);
     },
     D(-2.9), 0, I(-2)},
    {"TruncTooLarge",
     [](Assembler& a) {
       a.Emit(Op::TRUNCI, 2, 0);
       a.Emit(Op::RETV, 2);
     },
     D(3e9), 0, 0, kOverflow},
    {"TruncNegativeToCardinal",
     [](Assembler& a) {
       a.Emit(Op::TRUNCU, 2, 0);
       a.Emit(Op::RETV, 2);
     },
     D(-1.0), 0, 0, kOverflow},
    {"FloatOfInteger",
     [](Assembler& a) {
       a.Emit(Op::FLOATI, 2, 0);
       a.Emit(Op::RETV, 2);
     },
     I(-3), 0, D(-3.0)},
    {"SetRange", Three(Op::BITS), 3, 5, 0x38},
    {"SetRangeOutside", Three(Op::BITS), 3, 64, 0, kRange},
    {"ElementOutsideIsNotIn", Three(Op::INB), 70, ~0ull, 0},
    {"Cap",
     [](Assembler& a) {
       a.Emit(Op::CAP, 2, 0);
       a.Emit(Op::RETV, 2);
     },
     'q', 0, 'Q'},
    {"SignedLess", Three(Op::SLT), I(-1), 1, 1},
    {"UnsignedLess", Three(Op::SLTU), I(-1), 1, 0},
    {"RealsNotLessForNaN",
     [](Assembler& a) {
       Label yes = a.NewLabel();
       a.EmitC(Op::BNLTR, 0, 1, yes);
       a.Emit(Op::RETV, 2);
       a.Bind(yes);
       a.Emit(Vm::WordI(Op::LDI, 2, 1));
       a.Emit(Op::RETV, 2);
     },
     D(std::numeric_limits<double>::quiet_NaN()), D(1.0), 1},
    {"ForLoopSums",
     [](Assembler& a) { // s := 0; FOR i := 1 TO a DO s := s + i END
       a.Emit(Vm::WordI(Op::LDI, 3, 1));
       Label done = a.NewLabel(), loop = a.NewLabel();
       a.EmitC(Op::BLT, 0, 3, done);
       a.Bind(loop);
       a.Emit(Op::ADDI, 2, 2, 3);
       a.EmitC(Op::FORUP, 3, 0, loop);
       a.Bind(done);
       a.Emit(Op::RETV, 2);
     },
     100, 0, 5050},
    {"ArrayStoreAndLoad", [](Assembler& a) { ArrayAt(a, Op::STX32, Op::LDX32); }, 4, I(-9), I(-9)},
    {"ArrayIndexBelowLow", [](Assembler& a) { ArrayAt(a, Op::STX8, Op::LDX8); }, 0, 1, 0, kIndex},
    {"ArrayIndexAboveHigh", [](Assembler& a) { ArrayAt(a, Op::STX64, Op::LDX64); }, 5, 1, 0,
     kIndex},
    {"OpenArrayIndexPastHigh",
     [](Assembler& a) { // slots 4, 5: the array at 10 with HIGH b
       a.Emit(Op::LDLA, 4, 10);
       a.Emit(Op::MOV, 5, 1);
       a.Emit(Op::LDO8, 2, 4, 0);
       a.Emit(Op::RETV, 2);
     },
     8, 7, 0, kIndex},
    {"CaseTable",
     [](Assembler& a) {
       Label one = a.NewLabel(), three = a.NewLabel(), none = a.NewLabel();
       a.EmitK(Op::JTAB, 0,
               std::vector<Asm::PoolWord>{
                   {1, {}}, {3, {}}, {0, none}, {0, one}, {0, none}, {0, three}});
       a.Bind(one);
       a.Emit(Vm::WordI(Op::LDI, 2, 10));
       a.Emit(Op::RETV, 2);
       a.Bind(three);
       a.Emit(Vm::WordI(Op::LDI, 2, 30));
       a.Emit(Op::RETV, 2);
       a.Bind(none);
       a.Emit(Op::TRAP, static_cast<std::uint16_t>(Vm::TrapCode::CaseError));
     },
     3, 0, 30},
    {"CaseWithoutLabel",
     [](Assembler& a) {
       Label none = a.NewLabel();
       a.EmitK(Op::JTAB, 0, std::vector<Asm::PoolWord>{{1, {}}, {1, {}}, {0, none}, {0, none}});
       a.Bind(none);
       a.Emit(Op::TRAP, static_cast<std::uint16_t>(Vm::TrapCode::CaseError));
     },
     2, 0, 0, "Case error."},
    {"RangeCheckOfConstantPair",
     [](Assembler& a) {
       a.EmitK(Op::CHK, 0, std::vector<std::uint64_t>{I(-100000), 100000});
       a.Emit(Op::RETV, 0);
     },
     I(-100001), 0, 0, kRange},
    {"SmallRangeCheck",
     [](Assembler& a) {
       a.Emit(Op::CHKK, 0, 0, 10);
       a.Emit(Op::RETV, 0);
     },
     10, 0, 10},
    {"NilDereference",
     [](Assembler& a) {
       a.Emit(Op::CHKPTR, 0);
       a.Emit(Op::RETV, 0);
     },
     0, 0, 0, "NIL dereference"},
    {"Halt", [](Assembler& a) { a.Emit(Op::TRAP, static_cast<std::uint16_t>(Vm::TrapCode::Halt)); },
     0, 0, 0, "HALT called."},
    {"FunctionWithoutReturn",
     [](Assembler& a) {
       a.Emit(Op::TRAP, static_cast<std::uint16_t>(Vm::TrapCode::FunctionReturn));
     },
     0, 0, 0, "Function return error."},
    {"StringCompare",
     [](Assembler& a) { // "abc" against "abd", both in the code
       a.EmitK(Op::LDCA, 4, Assembler::StringWords("abc"));
       a.Emit(Vm::WordI(Op::LDI, 5, 3));
       a.EmitK(Op::LDCA, 6, Assembler::StringWords("abd"));
       a.Emit(Vm::WordI(Op::LDI, 7, 1)); // HIGH 1: "ab" only
       a.Emit(Op::SYS, 4, static_cast<std::uint16_t>(Vm::SysCall::StringCompare));
       a.Emit(Op::RETV, 4);
     },
     0, 0, 1},
    {"StringAssignTooLong",
     [](Assembler& a) { // "abcd" into ARRAY [0..2] OF CHAR
       a.Emit(Op::LDLA, 4, 10);
       a.Emit(Vm::WordI(Op::LDI, 5, 2));
       a.EmitK(Op::LDCA, 6, Assembler::StringWords("abcd"));
       a.Emit(Vm::WordI(Op::LDI, 7, 4));
       a.Emit(Op::SYS, 4, static_cast<std::uint16_t>(Vm::SysCall::StringAssign));
       a.Emit(Op::RETV, 4);
     },
     0, 0, 0, kRange},
    {"UnknownInstruction", [](Assembler& a) { a.Emit(0xFFull); }, 0, 0, 0, "invalid instruction"},
    {"BranchIntoAnExtensionWord",
     [](Assembler& a) { // the check of the code refuses the whole module
       Label middle = a.NewLabel();
       a.EmitC(Op::BEQ, 0, 0, middle);
       a.Emit(Op::LDX8, 2, 0, 1);
       a.Bind(middle);
       a.Emit(Vm::Bounds(0, 1));
       a.Emit(Op::RETV, 2);
     },
     0, 0, 0, "invalid instruction"},
    // Every operand that points into the code is checked by its kind before the code runs.
    {"JumpOutOfTheCode",
     [](Assembler& a) {
       a.Emit(Vm::WordI(Op::JMP, 0, 1000));
       a.Emit(Op::RETV, 0);
     },
     0, 0, 0, "invalid instruction"},
    {"CompareBranchOutOfTheCode",
     [](Assembler& a) {
       a.Emit(Op::BEQK, 0, 0, 500);
       a.Emit(Op::RETV, 0);
     },
     0, 0, 0, "invalid instruction"},
    {"CallOfAnInstructionThatIsNoEntry",
     [](Assembler& a) {
       Label l = a.NewLabel();
       a.EmitI(Op::CALL, 8, l);
       a.Bind(l);
       a.Emit(Op::RETV, 0);
     },
     0, 0, 0, "invalid instruction"},
    {"ConstantAmongTheInstructions",
     [](Assembler& a) {
       a.Emit(Vm::WordI(Op::LDK, 2, 1));
       a.Emit(Op::RETV, 2);
     },
     0, 0, 0, "invalid instruction"},
    {"RangePairAmongTheInstructions",
     [](Assembler& a) {
       a.Emit(Vm::WordI(Op::CHK, 0, -1));
       a.Emit(Op::RETV, 0);
     },
     0, 0, 0, "invalid instruction"},
    {"JumpTableEntryOutOfTheCode",
     [](Assembler& a) {
       Label end = a.NewLabel();
       a.EmitK(Op::JTAB, 0, std::vector<Asm::PoolWord>{{0, {}}, {1, {}}, {0, end}, {1000, {}}});
       a.Bind(end);
       a.Emit(Op::RETV, 0);
     },
     0, 0, 0, "invalid instruction"},
    {"EntryThatDoesNotKnowItsWord",
     [](Assembler& a) {
       a.Emit(Op::RETV, 0);
       a.Emit(Op::ENTER, 0, 0, Vm::kEntryMark);
       a.Emit(0);
     },
     0, 0, 0, "invalid instruction"},
    {"EntryWithoutItsMark",
     [](Assembler& a) {
       a.Emit(Op::RETV, 0);
       a.Emit(Op::ENTER, 0, static_cast<std::uint16_t>(a.Here()), 0);
       a.Emit(0);
     },
     0, 0, 0, "invalid instruction"},
    {"ProcedureValueThatIsNoEntry",
     [](Assembler& a) { // the address of a string constant called as a procedure
       a.EmitK(Op::LDCA, 4, Assembler::StringWords("not code"));
       a.Emit(Op::CALLP, 8, 4);
       a.Emit(Op::RET);
     },
     0, 0, 0, "call of an invalid procedure value"},
#if !defined(__SANITIZE_ADDRESS__)
    {"WildAddress",
     [](Assembler& a) {
       a.Emit(Op::LD64, 2, 0, 0);
       a.Emit(Op::RETV, 2);
     },
     16, 0, 0, "invalid address"},
#endif
};

class InstructionTest : public VmTest, public ::testing::WithParamInterface<Case> {};

TEST_P(InstructionTest, GivesItsResultOrTraps) {
  const Case& c = GetParam();
  TestModule t{"Ops"};
  t.Proc(0);
  t.a.Emit(Op::RET);
  t.Proc(1, 2, "Op");
  c.code(t.a);
  Modules::Ref m = t.Install(library);
  ASSERT_NE(m, nullptr);
  const std::uint64_t args[] = {c.a, c.b};
  const std::uint64_t result = Vm::CallProcedure(EntryOf(m, 1), args);
  if (c.trap != nullptr) {
    EXPECT_EQ(Outcome(), c.trap);
  } else {
    EXPECT_EQ(Outcome(), "done");
    EXPECT_EQ(result, c.result);
  }
}

INSTANTIATE_TEST_SUITE_P(Groups, InstructionTest, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

// The disassembler shows each operand by what it is: slots, numbers, branch and call
// targets, constants and tables as words of the code, extension words by their meaning.
TEST(DisassembleTest, OperandsReadByTheirMeaning) {
  Assembler a;
  Label top = a.NewLabel(), out = a.NewLabel();
  a.Bind(top);
  a.Emit(Op::ENTER, 6, 2, Vm::kEntryMark | 3);
  a.Emit(std::uint64_t{9} | std::uint64_t{4} << 32);
  a.Emit(Op::ADDIK, 3, 4, static_cast<std::uint16_t>(-5));
  a.EmitC(Op::BLTK, 3, static_cast<std::uint16_t>(-2), out);
  a.Emit(Op::LDX32, 1, 2, 3);
  a.Emit(Vm::Bounds(-1, 10));
  a.EmitK(Op::LDK, 5, std::vector<std::uint64_t>{42});
  a.Emit(Op::CALLX, 6, 1, 7);
  a.EmitI(Op::CALL, 8, top);
  a.Bind(out);
  a.Emit(Vm::WordI(Op::LDI, 2, -70000));
  a.Emit(Op::RET);
  std::vector<std::uint64_t> code;
  std::string error;
  ASSERT_TRUE(a.Finish(0, code, error)) << error;
  EXPECT_EQ(Asm::Disassemble(code, 2, 13), "    2  ENTER    s6, 2, s3  slots 9 memory 4\n"
                                           "    4  ADDIK    s3, s4, -5\n"
                                           "    5  BLTK     s3, -2, ->11\n"
                                           "    6  LDX32    s1, s2, s3  low -1 length 10\n"
                                           "    8  LDK      s5, @13\n"
                                           "    9  CALLX    s6, 1, 7\n"
                                           "   10  CALL     s8, ->2\n"
                                           "   11  LDI      s2, -70000\n"
                                           "   12  RET\n");
}

// ---- branches farther than 32767 words

// A compare-and-branch whose target lies farther than its 16-bit distance reaches is
// refused by site at first, then written as the opposite branch over a jump, which
// decides alike; a FOR loop's close counts before it jumps back.
TEST_F(VmTest, FarBranchesDecideAsNearOnes) {
  constexpr int kFar = 33000;
  struct Branch {
    Op op;
    std::uint64_t a, b; // b is the constant sB for the K forms
    bool taken;
  };
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const Branch branches[] = {
      {Op::BEQ, 3, 3, true},          {Op::BEQ, 3, 4, false},
      {Op::BNE, 3, 4, true},          {Op::BLT, I(-1), 1, true},
      {Op::BLT, 1, I(-1), false},     {Op::BLE, 2, 2, true},
      {Op::BLE, 3, 2, false},         {Op::BLTU, 1, I(-1), true},
      {Op::BLEU, I(-1), 1, false},    {Op::BEQK, 5, 5, true},
      {Op::BNEK, 5, 5, false},        {Op::BLTK, 4, 5, true},
      {Op::BLEK, 6, 5, false},        {Op::BGTK, 6, 5, true},
      {Op::BGEK, 4, 5, false},        {Op::BEQR, D(1), D(1), true},
      {Op::BNER, D(1), D(1), false},  {Op::BLTR, D(nan), D(1), false},
      {Op::BLER, D(1), D(1), true},   {Op::BNLTR, D(nan), D(1), true},
      {Op::BNLER, D(0), D(1), false},
  };
  const auto build = [&](const Branch& br, std::vector<std::uint32_t> far) {
    TestModule t{"Far"};
    t.a.SetFar(std::move(far));
    t.Proc(0);
    t.a.Emit(Op::RET);
    t.Proc(1, 2, "Branch");
    const Label yes = t.a.NewLabel();
    const bool k = br.op >= Op::BEQK && br.op <= Op::BGEK;
    t.a.EmitC(br.op, 0, k ? static_cast<std::uint16_t>(br.b) : 1, yes);
    t.a.Emit(Vm::WordI(Op::LDI, 2, 0));
    t.a.Emit(Op::RETV, 2);
    for (int i = 0; i < kFar; ++i) t.a.Emit(Op::NOP);
    t.a.Bind(yes);
    t.a.Emit(Vm::WordI(Op::LDI, 2, 1));
    t.a.Emit(Op::RETV, 2);
    return t;
  };
  TestModule near = build(branches[0], {});
  std::vector<std::uint64_t> code;
  std::string error;
  EXPECT_FALSE(near.a.Finish(4, code, error));
  EXPECT_EQ(near.a.TooFar(), std::vector<std::uint32_t>{0});
  for (const Branch& br : branches) {
    Modules::Ref m = build(br, {0}).Install(library);
    ASSERT_NE(m, nullptr);
    const std::uint64_t args[] = {br.a, br.b};
    EXPECT_EQ(Vm::CallProcedure(EntryOf(m, 1), args), br.taken ? 1u : 0u)
        << Vm::kOpNames[static_cast<int>(br.op)] << " " << br.a << " " << br.b;
  }
  // s := 0; FOR i := 1 TO a DO s := s + i (a long body) END, and down from a to 1.
  for (const Op close : {Op::FORUP, Op::FORDN}) {
    TestModule t{"Loop"};
    t.a.SetFar({0});
    t.Proc(0);
    t.a.Emit(Op::RET);
    t.Proc(1, 2, "Sum");
    t.a.Emit(Vm::WordI(Op::LDI, 3, close == Op::FORUP ? 1 : 100));
    t.a.Emit(Vm::WordI(Op::LDI, 4, close == Op::FORUP ? 100 : 1));
    const Label loop = t.a.NewLabel();
    t.a.Bind(loop);
    t.a.Emit(Op::ADDI, 2, 2, 3);
    for (int i = 0; i < kFar; ++i) t.a.Emit(Op::NOP);
    t.a.EmitC(close, 3, 4, loop);
    t.a.Emit(Op::RETV, 2);
    Modules::Ref m = t.Install(library);
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(Vm::CallProcedure(EntryOf(m, 1), {}), 5050u);
  }
}

// ---- calls, the stack and the body of a run

// Module R: procedure 1 counts n down recursively, returning n (CALL within the module).
Modules::Ref Recursive(Buffer::Ref library) {
  TestModule t{"R"};
  t.Proc(0);
  t.a.Emit(Op::RET);
  Label self = t.a.NewLabel(), zero = t.a.NewLabel();
  t.a.Bind(self);
  t.Proc(1, 1, "Down");
  t.a.EmitC(Op::BEQK, 0, 0, zero);
  t.a.Emit(Op::ADDIK, 4, 0, static_cast<std::uint16_t>(-1));
  t.a.EmitI(Op::CALL, 4, self);
  t.a.Emit(Op::ADDIK, 4, 4, 1);
  t.a.Emit(Op::RETV, 4);
  t.a.Bind(zero);
  t.a.Emit(Op::RETV, 0);
  return t.Install(library);
}

TEST_F(VmTest, RecursionGoesDeepAndTheStackLimitTraps) {
  Modules::Ref r = Recursive(library);
  const std::uint64_t deep[] = {100000};
  EXPECT_EQ(Vm::CallProcedure(EntryOf(r, 1), deep), 100000u);
  EXPECT_EQ(Outcome(), "done");

  Vm::Testing::SetStackLimit(1 << 20);
  EXPECT_EQ(Vm::CallProcedure(EntryOf(r, 1), deep), 0u);
  EXPECT_EQ(Outcome(), "stack overflow");
  // The report names the procedure where it failed, then the calls from one place as one
  // with their number.
  const std::vector<Vm::Position>& calls = Vm::LastReport().calls;
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls.front().procedure, "Down");
  EXPECT_EQ(calls.back().procedure, "Down");
  EXPECT_GT(calls.back().repeats, 1000u);
  // The debugger keeps the innermost frames, each one call deeper than its caller's, with
  // the argument each was called with, until the next run.
  const std::vector<Vm::Debug::Frame>& frames = Vm::Debug::LastTrap().frames;
  ASSERT_GT(frames.size(), 1000u);
  EXPECT_EQ(frames[0].module, r);
  EXPECT_EQ(frames[0].where.procedure, "Down");
  EXPECT_EQ(frames[1].fp[0], frames[0].fp[0] + 1);
  EXPECT_LT(frames[1].fp, frames[0].fp);

  Vm::Testing::SetStackLimit(0);
  const std::uint64_t few[] = {10};
  EXPECT_EQ(Vm::CallProcedure(EntryOf(r, 1), few), 10u);
  EXPECT_TRUE(Vm::Debug::LastTrap().frames.empty());
}

// Module A: procedure 1 returns B's procedure 1 through import slot 1 (entry 2 + 1).
Modules::Ref Importer(Buffer::Ref library) {
  TestModule t{"A", {{"B", kTestKey}}};
  t.Proc(0);
  t.a.Emit(Op::RET);
  t.Proc(1, 0, "CallB");
  t.a.Emit(Op::CALLX, 4, 3, 1);
  t.a.Emit(Op::RETV, 4);
  return t.Install(library);
}

Modules::Ref Exporter(Buffer::Ref library, std::int32_t value) {
  TestModule t{"B"};
  t.Proc(0);
  t.a.Emit(Op::RET);
  t.Proc(1, 0, "Value");
  t.a.Emit(Vm::WordI(Op::LDI, 0, value));
  t.a.Emit(Op::RETV, 0);
  return t.Install(library);
}

// The lines of a report: a run of calls from one place is one line with their number; of a
// chain still too long the first and last calls stay.
TEST(ReportLinesTest, RunsCollapseAndBothEndsOfALongChainStay) {
  Vm::TrapReport r{"stack overflow",
                   {{"M", "R", "", 3}, {"M", "R", "", 5, 99998}, {"M", "", "", 9}}};
  EXPECT_EQ(Vm::ReportLines(r),
            (std::vector<std::string>{"Run-time error: stack overflow", "  in M.R, line 3",
                                      "  called from M.R, line 5 \x97 99,998 more times",
                                      "  called from M, line 9"}));
  r.calls.clear();
  for (int i = 1; i <= 50; ++i) r.calls.push_back({"M", i % 2 == 0 ? "A" : "B", "", i});
  const std::vector<std::string> lines = Vm::ReportLines(r, 10);
  ASSERT_EQ(lines.size(), 10u);
  EXPECT_EQ(lines[1], "  in M.B, line 1");
  EXPECT_EQ(lines[5], "  ... 42 more lines of calls ...");
  EXPECT_EQ(lines[9], "  called from M.A, line 50");
}

TEST_F(VmTest, CallsAcrossModulesGoThroughTheImportSlots) {
  Modules::Ref a = Importer(library);
  EXPECT_EQ(Vm::CallProcedure(EntryOf(a, 1), {}), 0u);
  EXPECT_EQ(Outcome(), "module not loaded");

  Exporter(library, 10);
  EXPECT_EQ(Modules::Info(a).state, Modules::ModuleState::Ready);
  EXPECT_EQ(Vm::CallProcedure(EntryOf(a, 1), {}), 10u);
  // A new B: A's slot follows it.
  Exporter(library, 20);
  EXPECT_EQ(Vm::CallProcedure(EntryOf(a, 1), {}), 20u);
}

// Module M (variables: one INTEGER at -32 from the table) imports T and N; its body runs
// N's body, then records 1. N's body records 2 and counts its runs in its variable.
TEST_F(VmTest, BodiesRunTheirImportsFirstAndOnceUntilTheHeapIsNew) {
  TestModule n{"N", {{"T", {{1, 2, 3}}}}};
  n.variables = 4; // the word at -32 from the table
  n.Proc(0);
  n.a.Emit(Op::INIT);
  n.a.Emit(Vm::WordI(Op::LDI, 4, 2));
  n.a.Emit(Op::CALLX, 4, 2, 1);
  n.a.Emit(Vm::WordI(Op::LDG32, 5, -32));
  n.a.Emit(Op::ADDIK, 5, 5, 1);
  n.a.Emit(Vm::WordI(Op::STG32, 5, -32));
  n.a.Emit(Op::RET);
  ASSERT_NE(n.Install(library), nullptr);

  TestModule m{"M", {{"T", {{1, 2, 3}}}, {"N", kTestKey}}};
  m.Proc(0);
  m.a.Emit(Op::INIT);
  m.a.Emit(Op::CALLX, 4, 2, 0); // T's body
  m.a.Emit(Op::CALLX, 4, 3, 0); // N's body
  m.a.Emit(Vm::WordI(Op::LDI, 4, 1));
  m.a.Emit(Op::CALLX, 4, 2, 1);
  m.a.Emit(Op::RET);
  Modules::Ref mm = m.Install(library);
  ASSERT_EQ(Modules::Info(mm).state, Modules::ModuleState::Ready);

  RunBody(mm);
  RunBody(mm);
  EXPECT_EQ(puts, (std::vector<std::int64_t>{2, 1, 1}));
  // N's variable: 8000H 8000H at first, one more after its one run.
  const std::uint8_t* nTable = Modules::Info(Modules::Find(library, "N")).table;
  std::int32_t count;
  std::memcpy(&count, nTable - 32, 4);
  EXPECT_EQ(count, static_cast<std::int32_t>(0x80008001));

  // A program allocated; the user deleted the heap: N initialises again.
  ASSERT_NE(Heap::Allocate(16), 0u);
  RunBody(mm);
  EXPECT_EQ(puts, (std::vector<std::int64_t>{2, 1, 1, 1}));
  Buffer::Ref heap = Buffer::Find(Heap::kPath);
  Buffer::Delete(heap);
  puts.clear();
  RunBody(mm);
  EXPECT_EQ(puts, (std::vector<std::int64_t>{2, 1}));
  std::memcpy(&count, nTable - 32, 4);
  EXPECT_EQ(count, static_cast<std::int32_t>(0x80008001));
}

// Module C: procedure 1 doubles its parameter (line 5); procedure 2 hands procedure 1
// to T.Apply (line 9); procedure 3 calls T.Fail (line 12); the body calls 2 (line 20).
Modules::Ref CallBacks(Buffer::Ref library, bool fail) {
  TestModule t{"C", {{"T", {{1, 2, 3}}}}};
  Label p1 = t.a.NewLabel(), p2 = t.a.NewLabel();
  t.Proc(0, 0, "");
  t.Line(20);
  t.a.Emit(Vm::WordI(Op::LDI, 4, 21));
  t.a.EmitI(Op::CALL, 4, p2);
  t.a.Emit(Op::CALLX, 4, 4, 1); // T.Put
  t.a.Emit(Op::RET);
  t.a.Bind(p1);
  t.Proc(1, 1, "Double");
  t.Line(5);
  if (fail) t.a.Emit(Op::CALLX, 4, 4, 3); // T.Fail
  t.a.Emit(Op::ADDI, 0, 0, 0);
  t.a.Emit(Op::RETV, 0);
  t.a.Bind(p2);
  t.Proc(2, 1, "Apply");
  t.Line(9);
  t.a.Emit(Vm::WordI(Op::LDG64, 5, 8)); // entry 1 of the own table: procedure 1
  t.a.Emit(Op::MOV, 6, 0);
  t.a.Emit(Op::CALLX, 5, 4, 2); // T.Apply(p, x): p in slot 5
  t.a.Emit(Op::RETV, 5);
  return t.Install(library);
}

TEST_F(VmTest, NativesCallProceduresBackAndTrapsReportEveryFrame) {
  Modules::Ref m = CallBacks(library, false);
  const std::uint64_t double1 = EntryOf(m, 1);
  RunBody(m);
  EXPECT_EQ(Outcome(), "done");
  EXPECT_EQ(puts, (std::vector<std::int64_t>{42}));
  const std::uint64_t x[] = {4};
  EXPECT_EQ(Vm::CallProcedure(double1, x), 8u);
  // A native procedure value is called as it is.
  puts.clear();
  const std::uint64_t seven[] = {7};
  Vm::CallProcedure(EntryOf(Modules::Find(library, "T"), 1), seven);
  EXPECT_EQ(puts, (std::vector<std::int64_t>{7}));
  EXPECT_FALSE(Vm::IsCompiledEntry(EntryOf(Modules::Find(library, "T"), 1)));
  EXPECT_TRUE(Vm::IsCompiledEntry(double1));

  // The native fails inside the call-back: the report runs through the native's caller.
  RunBody(CallBacks(library, true));
  EXPECT_EQ(Outcome(), "Native failure.");
  std::vector<std::string> calls;
  for (const Vm::Position& p : Vm::LastReport().calls)
    calls.push_back(p.module + "." + p.procedure + ":" + std::to_string(p.line));
  EXPECT_EQ(calls, (std::vector<std::string>{"C.Double:5", "C.Apply:9", "C.:20"}));
  EXPECT_EQ(Vm::LastReport().calls.front().source, "/User/C.mod");
}

#if !defined(__SANITIZE_ADDRESS__)
// A module whose body hands T procedure `entry` the open array (address, high) in slots
// 4 and 5, and T.Put its result.
Modules::Ref NativeCaller(Buffer::Ref library, std::uint16_t entry, std::int64_t address,
                          std::int64_t high) {
  static int made = 0;
  TestModule t{"N" + std::to_string(++made), {{"T", {{1, 2, 3}}}}};
  t.Proc(0);
  t.a.EmitK(Op::LDK, 4, std::vector<std::uint64_t>{static_cast<std::uint64_t>(address)});
  t.a.EmitK(Op::LDK, 5, std::vector<std::uint64_t>{static_cast<std::uint64_t>(high)});
  t.a.Emit(Op::CALLX, 4, 2, entry); // import slot 1 (entry 1 + 1)
  t.a.Emit(Op::CALLX, 4, 2, 1);     // T.Put
  t.a.Emit(Op::RET);
  return t.Install(library);
}

// The guard against wild addresses is the program's: a wild address handed to native
// code is the program's error, found before the native runs; a fault of the native itself
// is the workstation's and is not dressed up as the program's.
TEST_F(VmTest, WildAddressesHandedToNativesTrapButTheNativesOwnFaultsAreNotCaught) {
  RunBody(NativeCaller(library, 5, 16, 3));
  EXPECT_EQ(Outcome(), "invalid address");
  EXPECT_TRUE(puts.empty());
  // An open array that runs off the end of readable memory.
  const std::int64_t local = reinterpret_cast<std::int64_t>(&puts);
  RunBody(NativeCaller(library, 5, local, std::int64_t{1} << 40));
  EXPECT_EQ(Outcome(), "invalid address");
  RunBody(NativeCaller(library, 5, local, 7));
  EXPECT_EQ(Outcome(), "done");
  EXPECT_EQ(puts, (std::vector<std::int64_t>{8}));

  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_DEATH(RunBody(NativeCaller(library, 4, 0, 0)), "");
}
#endif

TEST_F(VmTest, AnInterruptEndsTheRun) {
  TestModule t{"Loop"};
  Label loop = t.a.NewLabel();
  t.Proc(0);
  t.a.Bind(loop);
  t.a.EmitI(Op::JMP, 0, loop);
  Modules::Ref m = t.Install(library);
  Vm::Testing::SetPollInterval(1000);
  static int polls;
  polls = 0;
  Vm::SetInterruptProc([] { return ++polls == 3; });
  RunBody(m);
  EXPECT_EQ(Outcome(), "Interrupted.");
  EXPECT_EQ(polls, 3);
}

TEST_F(VmTest, ObjectsCarryTheirDebugInfoBothWays) {
  Object::DebugInfo d{"/User/X.mod",
                      {"", "P", "Q"},
                      {{2, 1}, {5, 3}, {9, 2}, {400, 70000}},
                      {{5, 7, 4, "count"}, {9, 2, 8, "total"}, {12, 7, 4, "count"}}};
  std::vector<std::uint8_t> bytes = Object::EncodeDebugInfo(d);
  Object::DebugInfo back;
  back.procedures.resize(3);
  ASSERT_TRUE(Object::DecodeDebugInfo(bytes.data(), bytes.size(), back));
  EXPECT_EQ(back.source, d.source);
  EXPECT_EQ(back.procedures, d.procedures);
  EXPECT_EQ(back.reads, d.reads);
  EXPECT_EQ(Object::LineAt(back, 8), 3);
  EXPECT_EQ(Object::LineAt(back, 9), 2);
  EXPECT_EQ(Object::LineAt(back, 1), 0);
  EXPECT_EQ(Object::LineAt(back, 500), 70000);
  // Cut short it is refused, but where the reads, which are optional, would begin.
  const std::size_t lines = Object::EncodeDebugInfo({d.source, d.procedures, d.lines, {}}).size();
  for (std::size_t n = 0; n < bytes.size(); ++n)
    EXPECT_EQ(Object::DecodeDebugInfo(bytes.data(), n, back), n == lines) << n;
  // A module of more lines than a 16-bit count holds keeps them all.
  for (std::int32_t i = 1; i <= 70000; ++i) d.lines.push_back({400u + 3u * i, 70000 + i});
  bytes = Object::EncodeDebugInfo(d);
  ASSERT_TRUE(Object::DecodeDebugInfo(bytes.data(), bytes.size(), back));
  EXPECT_EQ(back.lines.size(), d.lines.size());
  EXPECT_EQ(Object::LineAt(back, 400 + 3 * 69999 + 1), 139999);
  EXPECT_EQ(back.reads, d.reads);
}

} // namespace

// A breakpoint's line among a module's line starts: procedure 1 (lines 5..7) holds the
// nested procedure 2 (lines 3..4) before its own statements, the body (0) lines 10..12.
TEST(PlaceLineTest, ALineWithoutCodeGoesToTheNextOfItsProcedure) {
  const std::vector<Vm::Debug::LineStart> starts = {
      {10, 3, 2}, {12, 4, 2}, {20, 5, 1}, {24, 7, 1}, {30, 10, 0}, {33, 12, 0}, {36, 10, 0},
  };
  const struct {
    std::int32_t line, placed;
    std::uint32_t word;
  } cases[] = {
      {3, 3, 10},   {4, 4, 12}, {6, 7, 24}, // within procedure 1: its line 7
      {10, 10, 30},                         // a line with two starts: the first
      {11, 12, 33},                         // the body's next line
      {8, 10, 30},  {1, 3, 10},             // between procedures: the next line with code
      {13, 0, 0},                           // after the last line: none
  };
  for (const auto& c : cases) {
    const Vm::Debug::LineStart* s = Vm::Debug::PlaceLine(starts, c.line);
    if (c.placed == 0) {
      EXPECT_EQ(s, nullptr) << c.line;
      continue;
    }
    ASSERT_NE(s, nullptr) << c.line;
    EXPECT_EQ(s->line, c.placed) << c.line;
    EXPECT_EQ(s->word, c.word) << c.line;
  }
}
