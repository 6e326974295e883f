// The translator of compiled code into the processor's own code (x86-64): installed in
// the machine (vm/Machine.h), it translates every procedure at its first call. What it
// makes keeps every check of the interpreter, with the same trap reports, and looks for
// Ctrl+C at every call and backward jump. A procedure it cannot translate (one that
// switches processes, say) stays interpreted.
#pragma once

namespace Jit {

// Whether this host can run translated code (an x86-64 build with the code emitter).
bool Available();
// Installs the translator in the machine; false, and nothing done, when not Available().
bool Install();
// The interpreter alone again; what was translated is dropped.
void Remove();
// How many procedures are translated now.
int Translated();

} // namespace Jit
