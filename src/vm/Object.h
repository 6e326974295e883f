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

struct DebugInfo {
  std::string source;                  // the path of the source text
  std::vector<std::string> procedures; // per table entry
  std::vector<LinePoint> lines;        // ascending by word
  std::vector<VariableRead> reads;     // ascending by word
};

std::vector<std::uint8_t> EncodeDebugInfo(const DebugInfo& d);
// Reads what EncodeDebugInfo wrote; false for anything else (the fields read so far stay).
bool DecodeDebugInfo(const std::uint8_t* p, std::size_t size, DebugInfo& d);
// The line of code word `word`: the last entry at or before it; 0 when there is none.
std::int32_t LineAt(const DebugInfo& d, std::uint32_t word);

} // namespace Object
