// Separate compilation: symbol files and their keys, finding imports, opaque types, and
// implementation modules against their definitions.
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "CompilerTesting.h"
#include "store/FileSystem.h"

namespace {

using namespace Ast;
using CompilerTesting::Checked;
using CompilerTesting::ErrorOf;
using CompilerTesting::Text;

// The key a symbol file carries (after "VSYM" and the version).
Key KeyIn(const std::vector<std::uint8_t>& data) {
  Key k{{0, 0, 0}};
  if (data.size() >= 12)
    for (int i = 0; i < 3; ++i) k.word[i] = std::uint16_t(data[6 + 2 * i] | data[7 + 2 * i] << 8);
  return k;
}

// A definition compiled into /Symbol; its key.
Key Define(const Compiler::Directories& dirs, const std::string& source) {
  Compiler::Result r = Compiler::CompileSource(source, dirs);
  EXPECT_TRUE(r.ok) << r.line << ":" << r.column << ": " << r.message;
  EXPECT_NE(r.symbol, nullptr);
  return KeyIn(r.symbolData);
}

bool SameKey(const Key& a, const Key& b) { return std::memcmp(a.word, b.word, sizeof a.word) == 0; }

std::vector<std::uint8_t> Data(Buffer::Ref b) {
  Buffer::BufferKind kind;
  void* data = nullptr;
  std::int32_t size = 0;
  Buffer::GetInfo(b, kind, data, size);
  const auto* p = static_cast<const std::uint8_t*>(data);
  return std::vector<std::uint8_t>(p, p + size);
}

void Replace(const std::string& path, const std::vector<std::uint8_t>& data) {
  Buffer::Ref b = Buffer::Create(path, Buffer::BufferKind::Block);
  if (!data.empty())
    std::memcpy(Buffer::AllocateData(b, std::int32_t(data.size())), data.data(), data.size());
}

constexpr const char* kShapes = R"(DEFINITION MODULE Shapes;
  FROM SYSTEM IMPORT ADDRESS;
  CONST Sides = 4; Ratio = 1.5; Title = "shapes"; Corners = {0, 3}; Letter = "s";
  TYPE
    Color = (red, green, blue);
    List = POINTER TO Node;
    Node = RECORD color: Color; size: LONGINT; next: List END;
    Handle;
    Action = PROCEDURE (VAR Node): BOOLEAN;
    Row = ARRAY [1..Sides] OF Color;
    Small = [0..9];
  VAR count: INTEGER; first: List; where: ADDRESS;
  PROCEDURE Add(VAR l: List; c: Color);
  PROCEDURE Length(l: List; name: ARRAY OF CHAR): CARDINAL;
  PROCEDURE Open(): Handle;
END Shapes.)";

TEST(SymbolFileTest, AnImporterSeesWhatTheDefinitionDeclared) {
  const Compiler::Directories dirs = CompilerTesting::Start();
  const Key key = Define(dirs, kShapes);
  EXPECT_NE(Buffer::Find("/Symbol/Shapes.sym"), nullptr);
  auto unit = Checked(R"(MODULE Use;
    IMPORT Shapes;
    FROM Shapes IMPORT Color, List, Add, count;
    VAR l: List; r: Shapes.Row; h: Shapes.Handle; a: Shapes.Action; n: CARDINAL;
      s: Shapes.Small; c: CHAR;
    BEGIN
      Add(l, green); n := Shapes.Length(l^.next, Shapes.Title) + Shapes.Sides;
      r[2] := blue; count := VAL(INTEGER, l^.size); h := Shapes.Open(); s := 3;
      IF 3 IN Shapes.Corners THEN c := Shapes.Letter END
    END Use.)",
                      dirs);
  ASSERT_NE(unit, nullptr);
  ASSERT_EQ(unit->imports.size(), 1u);
  const Module* shapes = unit->imports[0];
  EXPECT_EQ(shapes->slot, 1);
  EXPECT_TRUE(SameKey(shapes->key, key));
  const StmtList& body = unit->module->body;
  const CallExpr* add = static_cast<const CallStmt*>(body[0])->call;
  EXPECT_EQ(add->proc->number, 1);
  EXPECT_EQ(add->proc->module, shapes);
  EXPECT_EQ(static_cast<const Literal*>(add->args[1].value)->value.i, 1);
  // Length(l^.next, Title): next's offset, the string passed with its HIGH.
  const auto* sum = static_cast<const Binary*>(static_cast<const Assign*>(body[1])->value);
  const auto* length = static_cast<const CallExpr*>(sum->left);
  EXPECT_EQ(length->proc->number, 2);
  EXPECT_EQ(static_cast<const FieldRef*>(length->args[0].value)->field->offset, 16);
  EXPECT_EQ(static_cast<const StringLit*>(length->args[1].value)->text, "shapes");
  EXPECT_EQ(static_cast<const Literal*>(length->args[1].high)->value.i, 6);
  const auto* count = static_cast<const VarRef*>(static_cast<const Assign*>(body[3])->target);
  EXPECT_EQ(count->var->module, shapes);
  EXPECT_EQ(count->var->offset, 0);
  const auto* open = static_cast<const CallExpr*>(static_cast<const Assign*>(body[4])->value);
  EXPECT_EQ(open->proc->number, 3);
  EXPECT_EQ(open->type->kind, TypeKind::Opaque);
  EXPECT_EQ(shapes->dataSize, 24);
}

TEST(SymbolFileTest, TheKeyIsADigestOfWhatIsExported) {
  const Compiler::Directories dirs = CompilerTesting::Start();
  const Key first = Define(dirs, kShapes);
  EXPECT_TRUE(first.word[0] != 0 || first.word[1] != 0 || first.word[2] != 0);
  EXPECT_TRUE(SameKey(Define(dirs, kShapes), first));
  // Layout and comments change nothing that is exported.
  std::string spaced = std::string(kShapes);
  spaced.insert(spaced.find("CONST"), "(* a comment *)\n\n");
  EXPECT_TRUE(SameKey(Define(dirs, spaced), first));
  std::string changed = kShapes;
  changed.replace(changed.find("size: LONGINT"), 13, "size: INTEGER");
  const Key second = Define(dirs, changed);
  EXPECT_FALSE(SameKey(second, first));
  // An importer compiled against the first key and then the second shows which.
  auto unit = Checked("MODULE Use; IMPORT Shapes; END Use.", dirs);
  ASSERT_NE(unit, nullptr);
  EXPECT_TRUE(SameKey(unit->imports[0]->key, second));
}

TEST(SymbolFileTest, DamagedSymbolFilesAreErrors) {
  const Compiler::Directories dirs = CompilerTesting::Start();
  Define(dirs, "DEFINITION MODULE Base; TYPE T = RECORD a: CHAR END; END Base.");
  Define(dirs, kShapes);
  Define(dirs, "DEFINITION MODULE Mid; IMPORT Base, Shapes;"
               " TYPE P = POINTER TO Base.T; VAR l: Shapes.List; c: Shapes.Color;"
               " PROCEDURE Q(VAR x: ARRAY OF Shapes.Row): Base.T; END Mid.");
  const std::vector<std::uint8_t> good = Data(Buffer::Find("/Symbol/Mid.sym"));
  const std::string importer = "MODULE Use; IMPORT Mid; END Use.";
  const std::string damaged = "1:20: symbol file of Mid is damaged";
  ASSERT_EQ(ErrorOf(importer, dirs), "ok");
  for (std::size_t n = 0; n < good.size(); ++n) {
    Replace("/Symbol/Mid.sym",
            std::vector<std::uint8_t>(good.begin(), good.begin() + std::ptrdiff_t(n)));
    EXPECT_EQ(ErrorOf(importer, dirs), damaged) << "cut to " << n;
  }
  for (std::size_t n = 0; n < good.size(); ++n) {
    std::vector<std::uint8_t> flipped = good;
    flipped[n] ^= 0x41;
    Replace("/Symbol/Mid.sym", flipped);
    EXPECT_EQ(ErrorOf(importer, dirs), damaged) << "byte " << n;
  }
  Replace("/Symbol/Mid.sym", good);
  EXPECT_EQ(ErrorOf(importer, dirs), "ok");
}

TEST(SymbolFileTest, AChangedDefinitionNeedsItsImportersRecompiled) {
  const Compiler::Directories dirs = CompilerTesting::Start();
  Define(dirs, "DEFINITION MODULE Base; TYPE T = RECORD a: CHAR END; END Base.");
  Define(dirs, "DEFINITION MODULE Mid; IMPORT Base; VAR t: Base.T; END Mid.");
  Define(dirs, "DEFINITION MODULE Base; TYPE T = RECORD a, b: CHAR END; END Base.");
  EXPECT_EQ(ErrorOf("MODULE Use;\nIMPORT Mid; END Use.", dirs),
            "2:8: Base changed: recompile the definition of Mid");
}

TEST(SymbolFileTest, ImportsAreFoundInTheirOrder) {
  const Compiler::Directories dirs = CompilerTesting::Start();
  // The program's own module beats a text of the same name; a symbol file beats both.
  CompilerTesting::Native("Own", Key{{7, 8, 9}}, "DEFINITION MODULE Own; CONST Which = 1; END Own.",
                          0);
  Text("/User/Own.def", "DEFINITION MODULE Own; CONST Which = 2; END Own.");
  const auto which = [&]() {
    auto unit =
        Checked("MODULE Use; IMPORT Own; VAR i: INTEGER; BEGIN i := Own.Which END Use.", dirs);
    if (unit == nullptr) return std::int64_t(-1);
    const auto* v =
        static_cast<const Literal*>(static_cast<const Assign*>(unit->module->body[0])->value);
    EXPECT_TRUE(unit->imports[0]->key.word[0] == 7 || v->value.i != 1);
    return v->value.i;
  };
  EXPECT_EQ(which(), 1);
  Define(dirs, "DEFINITION MODULE Own; CONST Which = 3; END Own.");
  EXPECT_EQ(which(), 3);
  // A text in the current directory is compiled on the way and leaves its symbol file.
  Text("/User/Text.def", "DEFINITION MODULE Text; CONST Which = 4; END Text.");
  EXPECT_EQ(ErrorOf("MODULE Use; IMPORT Text; END Use.", dirs), "ok");
  EXPECT_NE(Buffer::Find("/Symbol/Text.sym"), nullptr);
  // Then a host file in the current host directory.
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("velmarin-fe-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  std::ofstream(dir / "Host.def") << "DEFINITION MODULE Host;\n  CONST Which = 5;\nEND Host.\n";
  std::ofstream(dir / "Bad.def") << "DEFINITION MODULE Bad;\n  CONST Which = ;\nEND Bad.\n";
  FileSystem::Init();
  ASSERT_TRUE(FileSystem::ChangeDirectory(dir.string() + "/"));
  EXPECT_EQ(ErrorOf("MODULE Use; IMPORT Host; END Use.", dirs), "ok");
  EXPECT_NE(Buffer::Find("/Symbol/Host.sym"), nullptr);
  // Errors of a definition met on the way are reported at the import, with their place.
  EXPECT_EQ(ErrorOf("MODULE Use; IMPORT Bad; END Use.", dirs),
            "1:20: Bad.def:2:17: expression expected");
  std::filesystem::remove_all(dir);
}

TEST(SymbolFileTest, DefinitionsMustNotImportEachOther) {
  const Compiler::Directories dirs = CompilerTesting::Start();
  Text("/User/A.def", "DEFINITION MODULE A; IMPORT B; END A.");
  Text("/User/B.def", "DEFINITION MODULE B; IMPORT A; END B.");
  EXPECT_EQ(ErrorOf("MODULE Use; IMPORT A; END Use.", dirs),
            "1:20: A.def:1:29: B.def:1:29: definition modules import each other: A");
  CompilerTesting::Native("Wrong", Key{{1, 1, 1}},
                          "DEFINITION MODULE Wrong; PROCEDURE P; END Wrong.", 2);
  EXPECT_EQ(ErrorOf("MODULE Use; IMPORT Wrong; END Use.", dirs),
            "1:20: definition of Wrong does not match its native procedures");
}

constexpr const char* kStacks = R"(DEFINITION MODULE Stacks;
  FROM InOut IMPORT WriteString;
  TYPE Stack;
  VAR made: CARDINAL;
  PROCEDURE New(): Stack;
  PROCEDURE Push(s: Stack; x: INTEGER);
END Stacks.)";

TEST(SymbolFileTest, OpaqueTypesAreDefinedByTheImplementation) {
  const Compiler::Directories dirs = CompilerTesting::Start();
  CompilerTesting::Native(
      "InOut", Key{{1, 2, 3}},
      "DEFINITION MODULE InOut; PROCEDURE WriteString(s: ARRAY OF CHAR); END InOut.", 1);
  const Key key = Define(dirs, kStacks);
  auto unit = Checked(R"(IMPLEMENTATION MODULE Stacks;
    TYPE Stack = POINTER TO Rec; Rec = RECORD top: INTEGER; items: ARRAY [1..10] OF INTEGER END;
    VAR spare: Stack;
    PROCEDURE Grow(s: Stack); BEGIN INC(s^.top) END Grow;
    PROCEDURE New(): Stack; BEGIN INC(made); RETURN spare END New;
    PROCEDURE Push(s: Stack; x: INTEGER);
    BEGIN Grow(s); s^.items[s^.top] := x; WriteString("push")
    END Push;
    END Stacks.)",
                      dirs);
  ASSERT_NE(unit, nullptr);
  EXPECT_EQ(unit->kind, ModuleKind::Implementation);
  EXPECT_TRUE(SameKey(unit->key, key));
  // The definition's procedures keep their numbers, the implementation's own follow.
  ASSERT_EQ(unit->procedures.size(), 4u);
  EXPECT_EQ(unit->procedures[1]->name, "New");
  EXPECT_EQ(unit->procedures[2]->name, "Push");
  EXPECT_EQ(unit->procedures[3]->name, "Grow");
  // The definition's variables first, then the implementation's.
  EXPECT_EQ(static_cast<Variable*>(CompilerTesting::DeclOf(*unit, "spare"))->offset, 8);
  EXPECT_EQ(unit->dataSize, 16);
  // The definition's import of InOut reaches the implementation.
  ASSERT_EQ(unit->imports.size(), 1u);
  EXPECT_EQ(unit->imports[0]->name, "InOut");

  // The opaque type keeps its identity through another module's symbol file.
  Define(dirs,
         "DEFINITION MODULE Users; IMPORT Stacks; PROCEDURE Take(s: Stacks.Stack); END Users.");
  EXPECT_EQ(
      ErrorOf("MODULE Use; IMPORT Stacks, Users; BEGIN Users.Take(Stacks.New()) END Use.", dirs),
      "ok");
  EXPECT_EQ(ErrorOf("MODULE Use; IMPORT Stacks; VAR s: Stacks.Stack; i: INTEGER;\n"
                    "BEGIN s := Stacks.New(); IF s # NIL THEN i := s^.top END END Use.",
                    dirs),
            "2:48: not a pointer: s");
  EXPECT_EQ(ErrorOf("IMPLEMENTATION MODULE Stacks; TYPE Stack = INTEGER;\n"
                    "PROCEDURE New(): Stack; BEGIN RETURN NIL END New; PROCEDURE Push(s: Stack; x: "
                    "INTEGER); END Push;\n"
                    "END Stacks.",
                    dirs),
            "1:44: opaque type must be a pointer type: Stack");
  EXPECT_EQ(ErrorOf("IMPLEMENTATION MODULE Stacks;\n"
                    "PROCEDURE New(): Stack; BEGIN RETURN NIL END New; PROCEDURE Push(s: Stack; x: "
                    "INTEGER); END Push;\n"
                    "END Stacks.",
                    dirs),
            "3:1: opaque type not defined: Stack");
  EXPECT_EQ(ErrorOf("IMPLEMENTATION MODULE Stacks; TYPE Stack = POINTER TO INTEGER;\n"
                    "PROCEDURE New(): Stack; BEGIN RETURN NIL END New;\nEND Stacks.",
                    dirs),
            "3:1: procedure not implemented: Push");
  EXPECT_EQ(ErrorOf("IMPLEMENTATION MODULE Stacks; TYPE Stack = POINTER TO INTEGER;\n"
                    "PROCEDURE New(): Stack; BEGIN RETURN NIL END New; PROCEDURE Push(s: Stack; "
                    "VAR x: INTEGER); END Push;\n"
                    "END Stacks.",
                    dirs),
            "2:51: heading of Push differs from its definition");
  EXPECT_EQ(ErrorOf("IMPLEMENTATION MODULE Nothing; END Nothing.", dirs),
            "1:1: module not found: Nothing");
}

} // namespace
