// Runs arbitrary program modules that import nothing and have no variant records (no
// SYSTEM, no library, no pointer made from a number: memory stays safe, as the machine
// has no guard against wild addresses under this build's sanitizer) in the interpreter
// and translated: both end the same way, with the same report, and leave the module's
// variables the same. A run the interpreter could not end within its budget of backward
// jumps and calls is not compared. Built with VELMARIN_FUZZ (clang only) as the target
// jit_fuzz, seeded from seeds/jit_fuzz.
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "compiler/Compiler.h"
#include "jit/Jit.h"
#include "modules/Modules.h"
#include "store/Buffer.h"
#include "vm/Isa.h"
#include "vm/Vm.h"

namespace {

int polls = 0;

Compiler::Directories Setup() {
  Buffer::Init();
  Buffer::ShellTree tree;
  if (!Buffer::ShellStart(tree)) std::abort();
  Vm::Init();
  Vm::SetReportProc([](const Vm::TrapReport&) {});
  Vm::Testing::SetPollInterval(1000);
  Vm::SetInterruptProc([] { return ++polls > 100; });
  return {tree.symbol, tree.object};
}

// Whether the source has a variant part of a record: CASE, a tag's name or none, then a
// colon (a CASE statement has its expression there, and OF after it).
bool HasVariant(const std::string& source) {
  const auto skip = [&](std::size_t k, bool word) {
    while (k < source.size()) {
      const auto c = static_cast<unsigned char>(source[k]);
      if (word ? std::isalnum(c) == 0 : std::isspace(c) == 0) break;
      ++k;
    }
    return k;
  };
  for (std::size_t at = source.find("CASE"); at != std::string::npos;
       at = source.find("CASE", at + 4)) {
    const std::size_t k = skip(skip(skip(at + 4, false), true), false);
    if (k < source.size() && source[k] == ':') return true;
  }
  return false;
}

struct Outcome {
  bool interrupted = false;
  std::vector<std::string> report;
  std::vector<std::uint8_t> variables;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const Compiler::Directories dirs = Setup();
  if (size > 1 << 14 || !Jit::Available()) return 0;
  const std::string source(reinterpret_cast<const char*>(data), size);
  if (source.find("IMPORT") != std::string::npos || HasVariant(source)) return 0;
  Compiler::Result r = Compiler::CompileSource(source, dirs);
  if (!r.ok || r.object == nullptr || r.kind != Ast::ModuleKind::Program) {
    if (r.object != nullptr) Buffer::Delete(r.object);
    return 0;
  }
  Buffer::Ref library = Buffer::Create("/Fuzz", Buffer::BufferKind::Library);
  Modules::Ref m = Modules::Install(library, r.object);
  if (m == nullptr) std::abort();
  const Modules::ModuleInfo info = Modules::Info(m);
  std::uint8_t* const variables = info.image;
  const std::size_t bytes = static_cast<std::size_t>(info.table - Vm::kDescriptorSize - info.image);
  const std::vector<std::uint8_t> start(variables, variables + bytes);
  // Each run from the variables as installed.
  const auto run = [&](bool translated) {
    if (translated)
      Jit::Install();
    else
      Jit::Remove();
    std::memcpy(variables, start.data(), bytes);
    polls = 0;
    Vm::RunBody(m, Modules::Body(m));
    Outcome o;
    o.interrupted =
        Vm::LastRunTrapped() && Vm::LastReport().message == Vm::TrapText(Vm::TrapCode::Interrupted);
    if (Vm::LastRunTrapped()) o.report = Vm::ReportLines(Vm::LastReport());
    o.variables.assign(variables, variables + bytes);
    return o;
  };
  const Outcome interpreted = run(false);
  const Outcome translated = run(true);
  Jit::Remove();
  Buffer::Delete(library);
  Buffer::Delete(r.object);
  if (interpreted.interrupted || translated.interrupted) return 0;
  if (translated.report != interpreted.report || translated.variables != interpreted.variables)
    std::abort();
  return 0;
}
