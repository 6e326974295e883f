// The variables of a stopped or trapped run as the user reads them: each frame's
// parameters and local variables, its module's global variables, expressions of the
// program's language over them, and assignments to them. Reads what the compiler
// recorded of a module's types, scopes and variables beside its line table; a module
// compiled without it shows no variables.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "vm/Debug.h"

namespace Inspect {

struct Value {
  std::string name; // the variable, the field, or the element's index ("[3]")
  std::string type; // as declared: "INTEGER", "Node", "ARRAY [0..9] OF CHAR"
  // The value by its type: 42, 'x' (120), TRUE, 3.5, red, {a, c..f}, NIL, 7F3A0010H;
  // for a record or an array a short summary that Children unfolds.
  std::string text;
  std::size_t children = 0; // fields or elements
  // Where the value lies and what it is, for Children and Assign; not for callers.
  std::uint64_t address = 0;
  std::int32_t typeId = -1;
  const void* symbols = nullptr;
};

// The frame's parameters, then its local variables (open arrays with their HIGH).
std::vector<Value> Locals(const Vm::Debug::Frame& frame);
// The global variables of the frame's module.
std::vector<Value> Globals(const Vm::Debug::Frame& frame);
// count fields or elements of value from first (a long array is read a page at a time).
std::vector<Value> Children(const Value& value, std::size_t first, std::size_t count);

struct Result {
  bool ok = false;
  Value value;       // when ok
  std::string error; // otherwise, as the user reads it
};
// An expression of the program's language over the variables the frame sees (its own,
// its outer procedures', its module's): designators (a[i].next^.value), numbers,
// characters, arithmetic, comparisons, AND, OR, NOT, ORD, CHR, ODD, ABS, HIGH.
Result Evaluate(const Vm::Debug::Frame& frame, std::string_view expression);
// Stores value (a number, a character, TRUE or FALSE, an enumeration's constant) in the
// variable designated, with its type's checks; "" when done, otherwise the error.
std::string Assign(const Vm::Debug::Frame& frame, std::string_view designator,
                   std::string_view value);

} // namespace Inspect
