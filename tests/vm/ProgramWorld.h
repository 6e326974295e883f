// What the tests that compile and run programs without the shell set up: the store's
// directories the compiler writes to, the system library, and a module Mem whose
// ALLOCATE and DEALLOCATE are the programs' heap (NEW and DISPOSE).
#pragma once

#include <cstdint>
#include <cstring>

#include "base/Chars.h"
#include "modules/NativeModules.h"
#include "store/Buffer.h"
#include "vm/Heap.h"
#include "vm/Trap.h"
#include "vm/Vm.h"

namespace ProgramWorld {

inline const char kMem[] = R"(DEFINITION MODULE Mem;
  FROM SYSTEM IMPORT ADDRESS;
  PROCEDURE ALLOCATE(VAR a: ADDRESS; size: CARDINAL);
  PROCEDURE DEALLOCATE(VAR a: ADDRESS; size: CARDINAL);
END Mem.
)";

inline void Allocate(Native::Call& c) {
  const std::uintptr_t p = Heap::Allocate(static_cast<std::uint32_t>(c.args[1]));
  if (p == 0) Vm::Trap("Out of memory.");
  std::memcpy(reinterpret_cast<void*>(c.args[0]), &p, 8);
}

inline void Deallocate(Native::Call& c) {
  std::uintptr_t p;
  std::memcpy(&p, reinterpret_cast<void*>(c.args[0]), 8);
  if (!Vm::ReleaseWorkspace(p, c.args[1])) Vm::Trap("Running workspace.");
  if (!Heap::Deallocate(p, static_cast<std::uint32_t>(c.args[1]))) Vm::Trap("Bad DISPOSE.");
  std::memset(reinterpret_cast<void*>(c.args[0]), 0, 8);
}

// The directories and the system library, Mem added to the native modules; nullptr when
// the store refuses them. The caller adds its own modules and registers them all.
inline Buffer::Ref Make() {
  for (const char* d : {"/Shell", "/Symbol", "/Object"})
    if (Buffer::Create(base::CharsOf(d), Buffer::BufferKind::Directory) == nullptr) return nullptr;
  Native::Add(
      {"Mem", {{0x4D65, 1, 1}}, kMem, {{"ALLOCATE", Allocate, 2}, {"DEALLOCATE", Deallocate, 2}}});
  return Buffer::Create("/SystemLibrary", Buffer::BufferKind::Library);
}

} // namespace ProgramWorld
