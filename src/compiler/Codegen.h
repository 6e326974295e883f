// The code generator: the checked tree of a program or implementation module (Ast.h)
// becomes an object module of machine code (vm/Isa.h) in the module manager's format.
//
// Frames: a procedure's parameters take its first slots (the words Native::Call has
// too); a function of a structured result (a record, an array, a set of more than 64
// elements) gets, in the slot after them, the address of an area of its caller's frame,
// copies its result there and returns that address; a nested procedure's static link
// (the frame of the procedure around it) takes the next slot; then its scalar
// variables, one slot each, and the addresses it keeps (the module's arrays it uses,
// element addresses computed since the last label); then the temporaries of its
// expressions, where the frames of its calls begin. Arrays, records, large sets and the
// copies of value parameters lie in a memory area below the frame's linkage (ENTER
// moves the frame up by its size). A structured value parameter is copied at entry
// unless the procedure neither changes it nor writes anything outside its own frame,
// nor calls a procedure that may. A variable whose
// address is taken, or that a nested procedure uses, stays in its slot but is read as
// its size says, because a store through its address writes only its bytes.
//
// A loop that calls nothing and reaches nothing through addresses keeps the module
// variables it uses in slots while it runs.
//
// Procedure values are table entries: the own table's entry n for procedure n, the
// imported table's for an imported one. A module's body (entry 0, at code word 2) runs
// the bodies of its imports first and runs only once until the module manager or the
// machine clears its flag.
#pragma once

#include <string>

#include "compiler/Ast.h"
#include "vm/Object.h"

namespace Codegen {

struct Result {
  bool ok = true;
  Ast::Pos pos;        // where the first problem is
  std::string message; // what it is
};

// The object module of the checked unit (Program or Implementation); source is the path
// of its text, kept for trap reports. Fails only when the module outgrows what an
// object module or a frame holds.
Result Generate(const Ast::CompilationUnit& unit, const std::string& source, Object::Module& out);

// The path of the text the next units come from (the compiler's caller knows it, the
// front end does not pass it on); "" when unknown.
void SetSourcePath(std::string path);
const std::string& SourcePath();

// Whether the next units' objects carry the symbols the debugger reads (types, scopes,
// variables) beside their line tables; they do unless told otherwise.
void SetSymbols(bool record);

} // namespace Codegen
