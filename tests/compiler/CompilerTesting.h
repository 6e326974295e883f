// What the front end's tests share: a store with the shell's directories, texts,
// modules of the program itself, and compiling to a unit or to an error's text.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <string_view>

#include "compiler/Compiler.h"
#include "modules/NativeModules.h"
#include "store/Buffer.h"
#include "store/Lines.h"

namespace CompilerTesting {

// A fresh store with /Symbol and /Object; /User is the current directory.
inline Compiler::Directories Start() {
  Buffer::Testing::Reset();
  Buffer::Init();
  Buffer::ShellTree tree;
  EXPECT_TRUE(Buffer::ShellStart(tree));
  return {tree.symbol, tree.object};
}

// A text buffer at path holding source, line by line.
inline Buffer::Ref Text(const std::string& path, std::string_view source) {
  Buffer::Ref b = Buffer::Create(path, Buffer::BufferKind::Text);
  std::size_t at = 0;
  while (at <= source.size()) {
    const std::size_t end = std::min(source.find('\n', at), source.size());
    EXPECT_TRUE(Lines::Append(b, std::string(source.substr(at, end - at))));
    at = end + 1;
  }
  return b;
}

// A module of the program itself with procedures P1..Pn as its definition declares them.
inline void Native(const char* name, Modules::Key key, const char* definition, int procedures) {
  Native::ModuleSpec spec{name, key, definition, {}};
  for (int i = 0; i < procedures; ++i) spec.procedures.push_back({"P", nullptr, 0});
  Native::Add(spec);
}

// The checked unit; a test failure (and nullptr) when the text has an error.
inline std::unique_ptr<Ast::CompilationUnit> Checked(std::string_view source,
                                                     const Compiler::Directories& dirs = {}) {
  Compiler::Result r;
  auto unit = Compiler::Check(source, dirs, r);
  EXPECT_NE(unit, nullptr) << r.line << ":" << r.column << ": " << r.message;
  return unit;
}

// "LINE:COLUMN: message" of the first error, or "ok".
inline std::string ErrorOf(std::string_view source, const Compiler::Directories& dirs = {}) {
  Compiler::Result r;
  auto unit = Compiler::Check(source, dirs, r);
  if (unit != nullptr) return "ok";
  EXPECT_LE(r.message.size(), 79u);
  return std::to_string(r.line) + ":" + std::to_string(r.column) + ": " + r.message;
}

// The declaration of that name in the unit's module.
inline Ast::Decl* DeclOf(const Ast::CompilationUnit& unit, std::string_view name) {
  for (Ast::Decl* d : unit.module->decls)
    if (d->name == name) return d;
  ADD_FAILURE() << "no declaration " << name;
  return nullptr;
}

} // namespace CompilerTesting
