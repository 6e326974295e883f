// What the code generator records for the debugger beside an object's line table: the
// module's types, its procedures' scopes and where each variable lives, and how those
// bytes survive a round trip, truncation and damage.
#include <random>

#include "CompilerTesting.h"
#include "compiler/Codegen.h"
#include "vm/Object.h"

namespace {

using Object::Where;

const char kProgram[] = R"(MODULE Shapes;
FROM SYSTEM IMPORT PROCESS;
TYPE Colour = (red, green, blue);
  Kind = (circle, square);
  Shape = RECORD
    colour: Colour;
    CASE kind: Kind OF
      circle: radius: REAL
    | square: side: INTEGER; corner: CHAR
    END
  END;
  List = POINTER TO Cell;
  Cell = RECORD shape: Shape; next: List END;
  Fn = PROCEDURE (INTEGER): INTEGER;
VAR shapes: ARRAY [1..10] OF Shape; head: List; f: Fn; p: PROCESS; n: INTEGER;

PROCEDURE Area(s: Shape; VAR total: REAL; names: ARRAY OF CHAR; count: INTEGER): INTEGER;
VAR copy: Shape; k: INTEGER;
  PROCEDURE Add(x: INTEGER);
  BEGIN k := k + x + count
  END Add;
BEGIN
  copy := s; k := 0; Add(1);
  FOR n := 1 TO 10 DO k := k + n END;
  RETURN k
END Area;

END Shapes.
)";

class ObjectSymbolsTest : public ::testing::Test {
protected:
  void SetUp() override { dirs = CompilerTesting::Start(); }

  Object::DebugInfo Compiled(const char* source) {
    Compiler::Result r;
    auto unit = Compiler::Check(source, dirs, r);
    EXPECT_NE(unit, nullptr) << r.line << ":" << r.column << ": " << r.message;
    Object::DebugInfo d;
    if (unit == nullptr) return d;
    EXPECT_TRUE(Codegen::Generate(*unit, "/User/Shapes.mod", object).ok);
    d.procedures.resize(object.offsets.size());
    EXPECT_TRUE(Object::DecodeDebugInfo(object.extra.data(), object.extra.size(), d));
    return d;
  }
  static const Object::SymbolType& TypeOf(const Object::DebugInfo& d, std::int32_t n) {
    return d.symbols.types.at(static_cast<std::size_t>(n));
  }

  Compiler::Directories dirs;
  Object::Module object;
};

TEST_F(ObjectSymbolsTest, TypesKeepTheirNamesLayoutAndParts) {
  const Object::DebugInfo d = Compiled(kProgram);
  ASSERT_TRUE(d.symbols.present);
  const auto global = [&](const std::string& name) -> const Object::SymbolVariable& {
    for (const Object::SymbolVariable& v : d.symbols.globals)
      if (v.name == name) return v;
    ADD_FAILURE() << name;
    return d.symbols.globals.at(0);
  };
  const Object::SymbolType& shapes = TypeOf(d, global("shapes").type);
  EXPECT_EQ(shapes.kind, Object::TypeKind::Array);
  EXPECT_EQ(shapes.name, "ARRAY [1..10] OF Shape");
  EXPECT_EQ(shapes.low, 1);
  EXPECT_EQ(shapes.high, 10);
  EXPECT_EQ(TypeOf(d, shapes.index).kind, Object::TypeKind::Subrange);
  const Object::SymbolType& shape = TypeOf(d, shapes.base);
  ASSERT_EQ(shape.kind, Object::TypeKind::Record);
  // Every field, the tag and those of both variants, the variants over each other.
  std::string fields;
  for (const Object::SymbolField& f : shape.fields)
    fields += f.name + "@" + std::to_string(f.offset) + ":" + TypeOf(d, f.type).name + " ";
  EXPECT_EQ(fields, "colour@0:Colour kind@1:Kind radius@8:REAL side@4:INTEGER corner@8:CHAR ");
  EXPECT_EQ(TypeOf(d, shape.fields[0].type).constants,
            (std::vector<std::string>{"red", "green", "blue"}));
  // A recursive type ends: the list's cell points back at the list's type.
  const Object::SymbolType& list = TypeOf(d, global("head").type);
  EXPECT_EQ(list.kind, Object::TypeKind::Pointer);
  const Object::SymbolType& cell = TypeOf(d, list.base);
  EXPECT_EQ(cell.fields.at(1).type, global("head").type);
  EXPECT_EQ(TypeOf(d, global("f").type).kind, Object::TypeKind::Procedure);
  EXPECT_EQ(TypeOf(d, global("f").type).name, "Fn");
  EXPECT_EQ(TypeOf(d, global("p").type).kind, Object::TypeKind::Opaque);
  EXPECT_EQ(global("n").where, Where::Global);
}

TEST_F(ObjectSymbolsTest, ScopesSayWhereEachVariableLives) {
  const Object::DebugInfo d = Compiled(kProgram);
  ASSERT_EQ(d.symbols.scopes.size(), 2u);
  const Object::Scope& area = d.symbols.scopes[0];
  const Object::Scope& add = d.symbols.scopes[1];
  EXPECT_EQ(area.name, "Area");
  EXPECT_EQ(add.name, "Area.Add");
  EXPECT_EQ(add.outer, 0);
  EXPECT_EQ(area.outer, -1);
  EXPECT_EQ(area.staticLink, -1);
  EXPECT_GE(add.staticLink, 1);
  EXPECT_EQ(area.params, 4u);
  std::string places;
  for (const Object::SymbolVariable& v : area.variables)
    places += v.name + ":" + std::to_string(static_cast<int>(v.where)) + " ";
  // s a structured value parameter (its address), total VAR, names open, count a slot;
  // copy in the frame's memory, k a slot.
  EXPECT_EQ(places, "s:1 total:1 names:2 count:0 copy:3 k:0 ");
  EXPECT_EQ(area.variables[2].at + 2, area.variables[3].at); // HIGH in the slot between
  EXPECT_LT(area.variables[4].at, 0);                        // below the frame's linkage
  // The procedures' code lies apart, each beginning at its table entry.
  EXPECT_EQ(area.first * 8, object.offsets.at(1));
  EXPECT_EQ(add.first * 8, object.offsets.at(2));
  EXPECT_TRUE(area.end <= add.first || add.end <= area.first);
  // The module variable that the loop counts in a slot, while the loop runs.
  ASSERT_EQ(d.symbols.aliases.size(), 1u);
  const Object::Alias& alias = d.symbols.aliases[0];
  EXPECT_EQ(alias.scope, -1);
  EXPECT_EQ(d.symbols.globals.at(alias.variable).name, "n");
  EXPECT_TRUE(area.first < alias.first && alias.end <= area.end);
}

TEST_F(ObjectSymbolsTest, SymbolsSurviveTheRoundTripAndDamageCostsOnlyThem) {
  const Object::DebugInfo d = Compiled(kProgram);
  ASSERT_TRUE(d.symbols.present);
  const std::vector<std::uint8_t> bytes = Object::EncodeDebugInfo(d);
  EXPECT_EQ(bytes, object.extra);
  Object::DebugInfo plain = d;
  plain.symbols = {};
  const std::vector<std::uint8_t> old = Object::EncodeDebugInfo(plain);
  ASSERT_LT(old.size(), bytes.size());
  // An object of a compiler before the symbols reads as it always did.
  Object::DebugInfo back;
  back.procedures.resize(d.procedures.size());
  ASSERT_TRUE(Object::DecodeDebugInfo(old.data(), old.size(), back));
  EXPECT_FALSE(back.symbols.present);
  EXPECT_EQ(back.procedures, d.procedures);
  // Cut anywhere inside the symbols (after the reads' two zero counts): the lines stay,
  // the symbols go.
  for (std::size_t n = old.size() + 3; n < bytes.size(); ++n) {
    Object::DebugInfo cut;
    cut.procedures.resize(d.procedures.size());
    EXPECT_FALSE(Object::DecodeDebugInfo(bytes.data(), n, cut)) << n;
    EXPECT_FALSE(cut.symbols.present);
    EXPECT_EQ(cut.lines.size(), d.lines.size());
  }
  // Damaged bytes never read beyond the end nor make what they do not describe.
  std::mt19937 random(30);
  for (int round = 0; round < 3000; ++round) {
    std::vector<std::uint8_t> damaged = bytes;
    for (int k = 0; k < 3; ++k)
      damaged[old.size() + random() % (bytes.size() - old.size())] =
          static_cast<std::uint8_t>(random());
    Object::DebugInfo out;
    out.procedures.resize(d.procedures.size());
    if (Object::DecodeDebugInfo(damaged.data(), damaged.size(), out) && out.symbols.present) {
      for (const Object::Scope& c : out.symbols.scopes) {
        EXPECT_LE(c.params, c.variables.size());
        EXPECT_LT(c.outer, static_cast<std::int32_t>(out.symbols.scopes.size()));
      }
    }
  }
}

// A line table whose changes of line add up beyond any number (a damaged one) gives wrong
// lines, never undefined arithmetic: the sanitizers run this.
TEST(ObjectLines, ChangesOfLineBeyondTheRangeWrap) {
  std::vector<std::uint8_t> bytes{'V', 'M', 'X', '1', 0, 2, 0};
  // Word 0, line -17417248 (zigzag 2n - 1), then word 1 and the largest change there is.
  for (const std::uint64_t z :
       {std::uint64_t{0}, std::uint64_t{34834495}, std::uint64_t{1}, ~std::uint64_t{0}}) {
    std::uint64_t v = z;
    do {
      bytes.push_back(static_cast<std::uint8_t>((v & 0x7F) | (v > 0x7F ? 0x80 : 0)));
      v >>= 7;
    } while (v != 0);
  }
  Object::DebugInfo d;
  Object::DecodeDebugInfo(bytes.data(), bytes.size(), d);
  ASSERT_EQ(d.lines.size(), 2u);
  EXPECT_EQ(d.lines[0].line, -17417248);
  EXPECT_EQ(d.lines[1].word, 1u);
}

} // namespace
