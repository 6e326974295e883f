// The definition files of lib/ are the one source of the program's own modules: each is
// the text built into the executable, it compiles, and its native table follows it in
// the names and order of its procedures, the kinds of their parameters and results, and
// the values of its constants.
#include "modules/Definitions.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>

#include "../editor/EditorFixture.h"
#include "compiler/Compiler.h"
#include "modules/NativeModules.h"
#include "shell/Commands.h"

namespace {

std::string Read(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// The kinds of a procedure's parameters and result, as Native::Procedure says them.
std::string KindsOf(const Ast::Type* t) {
  using Ast::TypeKind;
  const auto letter = [](const Ast::Type* p, bool isVar) {
    const Ast::Type* b = Ast::BaseOf(p);
    if (b->kind == TypeKind::OpenArray) return isVar ? 'A' : 'a';
    if (isVar) return 'V';
    if (b->kind == TypeKind::Record || b->kind == TypeKind::Array ||
        (b->kind == TypeKind::Set && b->size > 8))
      return 's';
    return Ast::IsReal(b) ? 'r' : 'v';
  };
  std::string kinds;
  for (const Ast::Param& p : t->params) kinds += letter(p.type, p.isVar);
  if (t->result != nullptr) kinds += std::string(":") + letter(t->result, false);
  return kinds;
}

class DefinitionsTest : public EditorFixture {
protected:
  Startup::Proc StartProc() const override { return Shell::StartCommands; }
};

TEST_F(DefinitionsTest, EveryNativeTableFollowsItsDefinitionFile) {
  std::set<std::string> files;
  for (const auto& entry : std::filesystem::directory_iterator(VELMARIN_LIBRARY_DIR)) {
    if (entry.path().extension() != ".def") continue;
    const std::string name = entry.path().stem().string();
    files.insert(name);
    ASSERT_NE(Definitions::Text(name), nullptr) << name;
    EXPECT_EQ(Definitions::Text(name), Read(entry.path())) << name << " is not the one built in";
  }
  EXPECT_EQ(files.size(), Definitions::Names().size());
  std::set<std::string> tables;
  for (const Native::ModuleSpec* m : Native::All()) {
    SCOPED_TRACE(m->name);
    tables.insert(m->name);
    ASSERT_EQ(m->definition, Definitions::Text(m->name));
    Compiler::Result r;
    const auto unit = Compiler::Check(m->definition, Compiler::Directories{}, r);
    ASSERT_NE(unit, nullptr) << r.line << ":" << r.column << ": " << r.message;
    std::vector<std::string> declared, listed;
    std::map<std::string, std::int64_t> constants, known;
    for (const Ast::Decl* d : unit->module->decls) {
      if (d->kind == Ast::DeclKind::Proc) {
        const auto* p = static_cast<const Ast::Procedure*>(d);
        declared.push_back(std::string(p->name) + "(" + KindsOf(p->type) + ")");
      } else if (d->kind == Ast::DeclKind::Const) {
        constants[std::string(d->name)] = static_cast<const Ast::ConstDecl*>(d)->value.i;
      }
    }
    for (const Native::Procedure& p : m->procedures) {
      listed.push_back(std::string(p.name) + "(" + (p.kinds != nullptr ? p.kinds : "?") + ")");
      if (p.kinds != nullptr) {
        EXPECT_EQ(p.words, Native::WordsOf(p.kinds)) << p.name;
      }
    }
    EXPECT_EQ(listed, declared);
    for (const Native::Constant& c : m->constants) known[c.name] = c.value;
    EXPECT_EQ(known, constants);
  }
  // Every file but SYSTEM's has its module; SYSTEM's names what the compiler knows.
  files.erase("SYSTEM");
  EXPECT_EQ(files, tables);
  const std::string system = Definitions::Text("SYSTEM");
  // Its types, one a line, and its procedures.
  const std::regex name(R"((?:PROCEDURE |\n    )([A-Z]+)[;(])");
  int names = 0;
  for (auto it = std::sregex_iterator(system.begin(), system.end(), name);
       it != std::sregex_iterator(); ++it, ++names) {
    Compiler::Result r;
    EXPECT_NE(Compiler::Check("MODULE T; FROM SYSTEM IMPORT " + (*it)[1].str() + "; END T.",
                              Compiler::Directories{}, r),
              nullptr)
        << (*it)[1] << ": " << r.message;
  }
  EXPECT_EQ(names, 7); // four types and three procedures
}

} // namespace
