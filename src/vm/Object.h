// Object modules as the machine's code generator writes them (the format the module
// manager installs, modules/Modules.h), and the machine's own part of them: the X bytes of
// the table section carry the debugging information that trap reports read.
//
// Debugging information (X bytes, little-endian): "VMX1"; the source text's path (a
// byte count, then the characters); per procedure entry 0..P-1 its name (a byte count,
// then the characters); then the line table: a 16-bit count (FFFFH: an unsigned LEB128
// count follows), then per entry the distance in code words from the previous entry
// and the change of line, each an unsigned LEB128 number (the line change
// zigzag-coded). An entry says that the code from its word on belongs to its line.
// Then, optionally, the reads of module variables: a LEB128 count of names, the names
// (a byte count, then the characters), a LEB128 count of reads, then per read the
// distance in code words from the previous one, the slot, the name's number (LEB128
// each) and the variable's size (a byte). A read says that the instruction at its word
// has, in that slot of the frame, the value of that module variable as it was read.
// Then, optionally, the symbols for the debugger (Symbols below), after the reads (a
// module without reads writes their two zero counts): the byte 'S', then in the order of
// the structs' fields LEB128 numbers (signed ones zigzag-coded; type and scope numbers
// one more, 0 for none; a scope's end and an alias's end as the distance from their
// first word, an alias's first word from the previous alias's), texts as above, the
// kinds and places a byte each, and lists as a count and their elements. A type writes
// its index only when it is an array, constants only when an enumeration, fields only
// when a record. The bytes of a damaged section cost no more than their size to read.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "modules/Modules.h"
#include "store/Buffer.h"

namespace Object {

struct Import {
  std::string name;
  Modules::Key key;
};

struct Module {
  std::string name;
  Modules::Key key{};
  std::vector<Import> imports;
  std::vector<std::uint64_t> code;    // the code words, word 0 included
  std::vector<std::uint32_t> offsets; // P procedure offsets in bytes (entry 0 less 6)
  std::uint16_t variables = 4;        // V
  std::vector<std::uint8_t> extra;    // X
};

// The bytes of the object module; empty when a section outgrows its 16-bit length.
std::vector<std::uint8_t> Write(const Module& m);
// A Block buffer at path holding the bytes; nullptr when it cannot be made.
Buffer::Ref ToBuffer(base::Chars path, const std::vector<std::uint8_t>& bytes);

struct LinePoint {
  std::uint32_t word; // code word where the line's code begins
  std::int32_t line;
};

// An instruction that may trap (overflow, a range check) on a value read from a module
// variable: a trap there with the variable still as the module's start left it (every
// 16-bit word 8000H) says so.
struct VariableRead {
  std::uint32_t word;
  std::uint16_t slot;
  std::uint8_t size; // of the variable: 4 or 8 bytes
  std::string variable;
  bool operator==(const VariableRead&) const = default;
};

// What the debugger needs to find and show the variables of a frame: types by number,
// the module's variables, and per procedure its scope.
struct SymbolField {
  std::string name;
  std::int32_t type = -1;
  std::int64_t offset = 0; // bytes from the record's start
  bool operator==(const SymbolField&) const = default;
};

enum class TypeKind : std::uint8_t {
  Boolean,
  Char,
  Integer,
  Cardinal,
  LongInt,
  LongCard,
  Real,
  LongReal,
  Bitset,
  Word,
  Byte,
  Address,
  Enumeration,
  Subrange,
  Set,
  Array,
  OpenArray,
  Record,
  Pointer,
  Opaque,
  Procedure,
  Count
};

struct SymbolType {
  TypeKind kind = TypeKind::Integer;
  std::string name;                   // as declared, or as the compiler describes it
  std::int64_t size = 0;              // bytes
  std::int64_t low = 0, high = 0;     // ordinal range; arrays: the index's; sets: elements'
  std::int32_t base = -1;             // subrange, set, array elements, pointer target
  std::int32_t index = -1;            // array: the index type
  std::vector<std::string> constants; // enumeration: by value
  std::vector<SymbolField> fields;    // record: every field, those of variants included
  bool operator==(const SymbolType&) const = default;
};

// Where a variable's value is, from the frame's slot 0 (fp), the module's table (gp) or
// the block of a module's external data.
enum class Where : std::uint8_t {
  Slot,        // the value in slot `at` (its low bytes, as many as the type's size)
  SlotAddress, // the variable's address in slot `at` (VAR and structured parameters)
  OpenArray,   // the address in slot `at`, HIGH in the slot after it
  Frame,       // in the frame's memory at fp + `at` bytes
  Global,      // at gp + `at` bytes
  External,    // at `at` bytes into the block whose address lies at gp + Symbols::data
  Count
};

struct SymbolVariable {
  std::string name;
  std::int32_t type = -1;
  Where where = Where::Slot;
  std::int64_t at = 0;
  bool operator==(const SymbolVariable&) const = default;
};

// A procedure: its code words [first, end), the procedure it is nested in, the slot of
// its static link (the frame of that procedure; -1 at level 0), its parameters (the
// first `params` variables) and local variables.
struct Scope {
  std::string name;
  std::int32_t outer = -1;
  std::uint32_t first = 0, end = 0;
  std::int32_t staticLink = -1;
  std::uint32_t params = 0;
  std::vector<SymbolVariable> variables;
  bool operator==(const Scope&) const = default;
};

// While the code words [first, end) run, variable `variable` of scope `scope` (-1: of the
// module's variables) has its current value in slot `slot` of the running frame, not
// where it lives: a loop keeps it there.
struct Alias {
  std::uint32_t first = 0, end = 0;
  std::uint16_t slot = 0;
  std::int32_t scope = -1;
  std::uint32_t variable = 0;
  bool operator==(const Alias&) const = default;
};

struct Symbols {
  bool present = false;  // the object carries them
  std::int64_t data = 0; // external data: the offset from gp of the block's address
  std::vector<SymbolType> types;
  std::vector<SymbolVariable> globals;
  std::vector<Scope> scopes;
  std::vector<Alias> aliases; // ascending by first
  bool operator==(const Symbols&) const = default;
};

struct DebugInfo {
  std::string source;                  // the path of the source text
  std::vector<std::string> procedures; // per table entry
  std::vector<LinePoint> lines;        // ascending by word
  std::vector<VariableRead> reads;     // ascending by word
  Symbols symbols{};
};

std::vector<std::uint8_t> EncodeDebugInfo(const DebugInfo& d);
// Reads what EncodeDebugInfo wrote; false for anything else (the fields read so far stay).
bool DecodeDebugInfo(const std::uint8_t* p, std::size_t size, DebugInfo& d);
// The line of code word `word`: the last entry at or before it; 0 when there is none.
std::int32_t LineAt(const DebugInfo& d, std::uint32_t word);

} // namespace Object
