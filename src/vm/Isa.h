// The instruction set of the virtual machine that runs compiled Modula-2.
//
// A register machine over frame slots: every procedure activation owns a frame of 8-byte
// slots that hold its parameters, its scalar variables and the temporaries of its
// expressions. A slot holds a value normalised to 64 bits: INTEGER and LONGINT
// sign-extended, CARDINAL, CHAR, BOOLEAN and enumerations zero-extended, REAL as the bits
// of a double, sets up to 64 elements as bits, addresses as they are. So the signed
// 64-bit comparisons serve INTEGER, CARDINAL, CHAR and enumerations alike.
//
// An instruction is one 64-bit word: op in bits 0..7 (bits 8..15 are 0), A in bits
// 16..31, B in bits 32..47, C in bits 48..63. Where a field is signed it is read as
// int16 (sB, sC); I is the signed 32-bit immediate in bits 32..63. A few instructions
// take one or two extension words after them. Branch targets and code constants are
// word offsets from the instruction's own word. Memory offsets are bytes.
//
// The machine's registers: pc (the word executing), fp (slot 0 of the frame), gp (the
// table address of the module whose code runs; its variables lie at negative offsets
// from it). A call places the callee's frame at the caller's slot A: the arguments are
// the caller's slots A.. (the callee's 0..), and the caller leaves A-3..A-1 free for
// the linkage (fp[-3] caller gp, fp[-2] caller fp, fp[-1] return pc). A function's
// result comes back in the callee's slot 0, the caller's slot A.
//
// ENTER zeroes the slots from the first local to the first temporary (the variables),
// checks that the frame fits the stack, and sets up its memory area. Its extension word:
// bits 0..15 the frame's slots, bits 16..31 the high half of the ENTER's own word (0
// below word 65536), bits 32..63 the slots M of its memory area (arrays, records). With M > 0 the
// frame moves up by M slots at entry (the linkage and the parameters with it) and the memory area
// lies below the linkage, at fp - 3 - M .. fp - 3, so that the frames of calls (placed above the
// temporaries) never reach it while slot numbers stay small. Such a procedure returns a value with
// RETVS.
//
// Module image: the variables (V bytes) end 28 bytes before the table (the descriptor
// lies between), so a module's own variable at offset o of its data is at gp + o - V - 28.
// V is chosen so that the table is 8-byte aligned.
//
// A module whose variables outgrow what V can say keeps them in a block of the programs'
// heap that its body allocates; its variable area then holds just the block's address
// (at offset 0), and its header says so (kExternalData).
//
// Code layout: word 0 receives the table address when the module is installed; word 1
// is the header (the code's words in bits 0..15, the word where the instructions end and
// the constants begin in bits 16..31, V in bits 32..47, flags in bits 48..63); the body
// (entry 0) starts at word 2. Code of more words than an object's 16-bit code section
// holds (kLargeCode in the header) has 0 in bits 0..31 of word 1, those two numbers in
// word 2 (the words in bits 0..31, the end of the instructions in bits 32..63), and its
// body at word 3. An importer finds V from the table (LDIA): entry 0, the body's ENTER,
// leads back to word 0.
//
// Dispatch is direct threaded: before a module's code first runs, the machine checks it
// (every instruction known and whole, every branch, call and jump table landing on an
// instruction, every constant inside the code) and rewrites bits 0..15 of each
// instruction, in place, to the distance of its handler from a base in the interpreter
// (always 256 or more, so a rewritten word is never taken for an op). The header's
// kTranslated flag says it is done; code that fails the check is marked kRejected and
// traps "invalid instruction" when called.
//
// Every procedure starts with ENTER, whose C field has bit 15 set, so that an entry of
// compiled code is told from the address of a native procedure record (whose first word
// is a pointer, with bit 63 clear in user space); its word (its B field, and bits 16..31
// of its extension word beyond word 65535) leads back to word 0 and so to the table.
#pragma once

#include <cstdint>

namespace Vm {

// What a field of an instruction word holds. The kinds from Imm on are I, which takes
// the bits of B and C together and stands in b.
enum class Operand : std::uint8_t {
  None,   // unused, 0
  Slot,   // a frame slot
  Number, // an unsigned number: bytes, an import entry, a procedure, a run-time procedure
  Small,  // a signed number (sB, sC)
  Branch, // sC: the instruction at pc + sC
  Marked, // ENTER's C: kEntryMark + the first local slot
  Imm,    // I: a signed number
  Jump,   // I: the instruction at pc + I
  Proc,   // I: the ENTER of a procedure of this module at pc + I
  Const,  // I: a constant of one word at pc + I
  Pair,   // I: a constant of two words at pc + I (low, high)
  Table,  // I: a jump table at pc + I (low, count, default, then count offsets)
};

// What an extension word holds.
enum class Extension : std::uint8_t {
  None,
  Word,   // a 64-bit number: an offset, a size or a count of slots
  Bounds, // an array's low bound (int32, bits 0..31) and length (bits 32..63)
  Frame,  // ENTER's: slots, the high half of its word, slots of its memory area
};

// An instruction's operand format: what A, B and C (or I) and its extension words hold.
struct Fields {
  Operand a, b, c; // with an I operand in b, c is None
  Extension ext[2];
};

// The formats, named by their operands: A, B, C slots; sB, sC signed numbers; nB, nC
// unsigned numbers; I a number, J a branch target, K a code constant (K2 of two words),
// T a jump table, P a procedure; after them the extension words: W a number, L bounds.
#define VM_FORMATS(X)                                                                              \
  X(None, None, None, None, None, None)                                                            \
  X(A, Slot, None, None, None, None)                                                               \
  X(AB, Slot, Slot, None, None, None)                                                              \
  X(ABC, Slot, Slot, Slot, None, None)                                                             \
  X(ABsC, Slot, Slot, Small, None, None)                                                           \
  X(ABnC, Slot, Slot, Number, None, None)                                                          \
  X(AnC, Slot, None, Number, None, None)                                                           \
  X(AnB, Slot, Number, None, None, None)                                                           \
  X(AnBnC, Slot, Number, Number, None, None)                                                       \
  X(AsBsC, Slot, Small, Small, None, None)                                                         \
  X(ABJ, Slot, Slot, Branch, None, None)                                                           \
  X(AsBJ, Slot, Small, Branch, None, None)                                                         \
  X(AI, Slot, Imm, None, None, None)                                                               \
  X(AK, Slot, Const, None, None, None)                                                             \
  X(AK2, Slot, Pair, None, None, None)                                                             \
  X(J, None, Jump, None, None, None)                                                               \
  X(AJ, Slot, Jump, None, None, None)                                                              \
  X(AT, Slot, Table, None, None, None)                                                             \
  X(AP, Slot, Proc, None, None, None)                                                              \
  X(AW, Slot, None, None, Word, None)                                                              \
  X(ABW, Slot, Slot, None, Word, None)                                                             \
  X(AnBW, Slot, Number, None, Word, None)                                                          \
  X(ABCW, Slot, Slot, Slot, Word, None)                                                            \
  X(ABCL, Slot, Slot, Slot, Bounds, None)                                                          \
  X(ABCLW, Slot, Slot, Slot, Bounds, Word)                                                         \
  X(Enter, Slot, Number, Marked, Frame, None)

enum class Format : std::uint8_t {
#define VM_FORMAT_ENUM(name, a, b, c, ext1, ext2) name,
  VM_FORMATS(VM_FORMAT_ENUM)
#undef VM_FORMAT_ENUM
};

inline constexpr Fields kFormatFields[] = {
#define VM_FORMAT_FIELDS(name, a, b, c, ext1, ext2)                                                \
  {Operand::a, Operand::b, Operand::c, {Extension::ext1, Extension::ext2}},
    VM_FORMATS(VM_FORMAT_FIELDS)
#undef VM_FORMAT_FIELDS
};

// X(NAME, WORDS, FORMAT, comment): one row per instruction; WORDS counts the extension
// words, FORMAT (a Format) says what its fields and extension words hold.
#define VM_INSTRUCTIONS(X)                                                                         \
  /* Moves and constants */                                                                        \
  X(NOP, 1, None, "nothing")                                                                       \
  X(MOV, 1, AB, "A := B")                                                                          \
  X(LDI, 1, AI, "A := I, sign-extended")                                                           \
  X(LDK, 1, AK, "A := the word at pc + I (a constant of the code)")                                \
  X(LDCA, 1, AK, "A := address of the word at pc + I (strings and structured constants)")          \
  X(LDGA, 1, AI, "A := gp + I: address of a variable of this module")                              \
  X(LDLA, 1, AB, "A := address of frame slot B")                                                   \
  X(LDLAK, 1, AI, "A := fp + I: address in the frame's memory area (arrays, records)")             \
  X(ADDAX, 2, ABW, "A := B + ext, modulo 2^64 (offsets that outgrow sC)")                          \
  X(LDIA, 2, AnBW,                                                                                 \
    "A := address of the variable at ext in the data of the module in slot entry B")               \
  X(SX32, 1, AB, "A := B sign-extended from 32 bits (reads a slot written through its address)")   \
  X(ZX32, 1, AB, "A := B zero-extended from 32 bits")                                              \
  X(ZX16, 1, AB, "A := B zero-extended from 16 bits")                                              \
  X(ZX8, 1, AB, "A := B zero-extended from 8 bits")                                                \
  /* Loads and stores through the address in slot B, byte offset sC */                             \
  X(LD8, 1, ABsC, "A := byte at B + sC")                                                           \
  X(LD16, 1, ABsC, "A := 16 bits at B + sC, zero-extended")                                        \
  X(LD32, 1, ABsC, "A := 32 bits at B + sC, sign-extended")                                        \
  X(LD32U, 1, ABsC, "A := 32 bits at B + sC, zero-extended")                                       \
  X(LD64, 1, ABsC, "A := 64 bits at B + sC")                                                       \
  X(ST8, 1, ABsC, "byte at B + sC := A")                                                           \
  X(ST16, 1, ABsC, "16 bits at B + sC := A")                                                       \
  X(ST32, 1, ABsC, "32 bits at B + sC := A")                                                       \
  X(ST64, 1, ABsC, "64 bits at B + sC := A")                                                       \
  /* Module variables at gp + I */                                                                 \
  X(LDG8, 1, AI, "A := byte at gp + I")                                                            \
  X(LDG16, 1, AI, "A := 16 bits at gp + I, zero-extended")                                         \
  X(LDG32, 1, AI, "A := 32 bits at gp + I, sign-extended")                                         \
  X(LDG32U, 1, AI, "A := 32 bits at gp + I, zero-extended")                                        \
  X(LDG64, 1, AI, "A := 64 bits at gp + I")                                                        \
  X(STG8, 1, AI, "byte at gp + I := A")                                                            \
  X(STG16, 1, AI, "16 bits at gp + I := A")                                                        \
  X(STG32, 1, AI, "32 bits at gp + I := A")                                                        \
  X(STG64, 1, AI, "64 bits at gp + I := A")                                                        \
  /* Array elements: base address B, index C; ext: low bound (int32), length (bits 32..63) */      \
  X(LDX8, 2, ABCL, "A := byte B[C], checked")                                                      \
  X(LDX16, 2, ABCL, "A := 16-bit B[C], checked, zero-extended")                                    \
  X(LDX32, 2, ABCL, "A := 32-bit B[C], checked, sign-extended")                                    \
  X(LDX32U, 2, ABCL, "A := 32-bit B[C], checked, zero-extended")                                   \
  X(LDX64, 2, ABCL, "A := 64-bit B[C], checked")                                                   \
  X(STX8, 2, ABCL, "byte B[C] := A, checked")                                                      \
  X(STX16, 2, ABCL, "16-bit B[C] := A, checked")                                                   \
  X(STX32, 2, ABCL, "32-bit B[C] := A, checked")                                                   \
  X(STX64, 2, ABCL, "64-bit B[C] := A, checked")                                                   \
  X(IDX, 3, ABCLW, "A := B + (C - low) * ext2, checked: address of an element of any size")        \
  /* Open arrays: address in slot B, HIGH in slot B+1, index C (from 0) */                         \
  X(LDO8, 1, ABC, "A := byte B[C], checked against HIGH")                                          \
  X(LDO16, 1, ABC, "A := 16-bit B[C], checked, zero-extended")                                     \
  X(LDO32, 1, ABC, "A := 32-bit B[C], checked, sign-extended")                                     \
  X(LDO32U, 1, ABC, "A := 32-bit B[C], checked, zero-extended")                                    \
  X(LDO64, 1, ABC, "A := 64-bit B[C], checked")                                                    \
  X(STO8, 1, ABC, "byte B[C] := A, checked")                                                       \
  X(STO16, 1, ABC, "16-bit B[C] := A, checked")                                                    \
  X(STO32, 1, ABC, "32-bit B[C] := A, checked")                                                    \
  X(STO64, 1, ABC, "64-bit B[C] := A, checked")                                                    \
  X(IDXO, 2, ABCW, "A := B + C * ext, checked against HIGH")                                       \
  /* Blocks */                                                                                     \
  X(COPY, 1, ABnC, "C bytes from the address in B to the address in A")                            \
  X(COPYN, 1, ABC, "slot C bytes from the address in B to the address in A")                       \
  X(FILL0, 1, AnC, "C bytes at the address in A := 0")                                             \
  /* Integer arithmetic, overflow checked: 32-bit signed (I), unsigned (U), 64-bit (L, UL) */      \
  X(ADDI, 1, ABC, "A := B + C")                                                                    \
  X(SUBI, 1, ABC, "A := B - C")                                                                    \
  X(MULI, 1, ABC, "A := B * C")                                                                    \
  X(DIVI, 1, ABC, "A := B DIV C (Euclidean: B = q * C + r, 0 <= r < |C|)")                         \
  X(MODI, 1, ABC, "A := B MOD C, 0 <= A < |C|")                                                    \
  X(QUOI, 1, ABC, "A := B / C, truncated")                                                         \
  X(REMI, 1, ABC, "A := B REM C, the sign of B")                                                   \
  X(ADDU, 1, ABC, "A := B + C")                                                                    \
  X(SUBU, 1, ABC, "A := B - C")                                                                    \
  X(MULU, 1, ABC, "A := B * C")                                                                    \
  X(DIVU, 1, ABC, "A := B DIV C")                                                                  \
  X(MODU, 1, ABC, "A := B MOD C")                                                                  \
  X(ADDL, 1, ABC, "A := B + C")                                                                    \
  X(SUBL, 1, ABC, "A := B - C")                                                                    \
  X(MULL, 1, ABC, "A := B * C")                                                                    \
  X(DIVL, 1, ABC, "A := B DIV C (Euclidean)")                                                      \
  X(MODL, 1, ABC, "A := B MOD C")                                                                  \
  X(QUOL, 1, ABC, "A := B / C, truncated")                                                         \
  X(REML, 1, ABC, "A := B REM C")                                                                  \
  X(ADDUL, 1, ABC, "A := B + C")                                                                   \
  X(SUBUL, 1, ABC, "A := B - C")                                                                   \
  X(MULUL, 1, ABC, "A := B * C")                                                                   \
  X(DIVUL, 1, ABC, "A := B DIV C")                                                                 \
  X(MODUL, 1, ABC, "A := B MOD C")                                                                 \
  X(ADDIK, 1, ABsC, "A := B + sC")                                                                 \
  X(ADDUK, 1, ABsC, "A := B + sC")                                                                 \
  X(ADDLK, 1, ABsC, "A := B + sC")                                                                 \
  X(ADDULK, 1, ABsC, "A := B + sC")                                                                \
  X(NEGI, 1, AB, "A := -B")                                                                        \
  X(NEGL, 1, AB, "A := -B")                                                                        \
  X(ABSI, 1, AB, "A := ABS(B)")                                                                    \
  X(ABSL, 1, AB, "A := ABS(B)")                                                                    \
  /* Address arithmetic, unchecked (SYSTEM's ADDRESS and WORD) */                                  \
  X(ADDA, 1, ABC, "A := B + C, modulo 2^64")                                                       \
  X(SUBA, 1, ABC, "A := B - C, modulo 2^64")                                                       \
  X(MULA, 1, ABC, "A := B * C, modulo 2^64")                                                       \
  X(ADDAK, 1, ABsC, "A := B + sC, modulo 2^64")                                                    \
  /* Bits and sets of up to 64 elements */                                                         \
  X(AND, 1, ABC, "A := B AND C (set intersection)")                                                \
  X(OR, 1, ABC, "A := B OR C (set union)")                                                         \
  X(XOR, 1, ABC, "A := B XOR C (symmetric difference)")                                            \
  X(ANDN, 1, ABC, "A := B AND NOT C (set difference)")                                             \
  X(NOT, 1, AB, "A := 1 - B (BOOLEAN negation)")                                                   \
  X(BIT, 1, AB, "A := {B}: the bit of element B (0..63)")                                          \
  X(BITS, 1, ABC, "A := {B..C}, empty when B > C")                                                 \
  X(INB, 1, ABC, "A := element B is in set C (FALSE outside 0..63)")                               \
  X(SHL, 1, ABC, "A := B shifted left by C (0 from 64 on)")                                        \
  X(SHR, 1, ABC, "A := B shifted right by C, logical")                                             \
  X(ODD, 1, AB, "A := B is odd")                                                                   \
  X(CAP, 1, AB, "A := B as an upper-case letter")                                                  \
  /* Reals (IEEE doubles); division by zero traps */                                               \
  X(ADDR, 1, ABC, "A := B + C")                                                                    \
  X(SUBR, 1, ABC, "A := B - C")                                                                    \
  X(MULR, 1, ABC, "A := B * C")                                                                    \
  X(DIVR, 1, ABC, "A := B / C")                                                                    \
  X(NEGR, 1, AB, "A := -B")                                                                        \
  X(ABSR, 1, AB, "A := ABS(B)")                                                                    \
  X(FLOATI, 1, AB, "A := FLOAT(B), B a 32-bit INTEGER")                                            \
  X(FLOATU, 1, AB, "A := FLOAT(B), B a CARDINAL")                                                  \
  X(FLOATL, 1, AB, "A := FLOAT(B), B a LONGINT")                                                   \
  X(FLOATUL, 1, AB, "A := FLOAT(B), B a LONGCARD")                                                 \
  X(TRUNCI, 1, AB, "A := TRUNC(B) as an INTEGER, checked")                                         \
  X(TRUNCU, 1, AB, "A := TRUNC(B) as a CARDINAL, checked")                                         \
  X(TRUNCL, 1, AB, "A := TRUNC(B) as a LONGINT, checked")                                          \
  X(TRUNCUL, 1, AB, "A := TRUNC(B) as a LONGCARD, checked")                                        \
  /* Comparisons giving a BOOLEAN */                                                               \
  X(SEQ, 1, ABC, "A := B = C")                                                                     \
  X(SNE, 1, ABC, "A := B # C")                                                                     \
  X(SLT, 1, ABC, "A := B < C, signed")                                                             \
  X(SLE, 1, ABC, "A := B <= C, signed")                                                            \
  X(SLTU, 1, ABC, "A := B < C, unsigned (LONGCARD)")                                               \
  X(SLEU, 1, ABC, "A := B <= C, unsigned")                                                         \
  X(SEQR, 1, ABC, "A := B = C, reals")                                                             \
  X(SNER, 1, ABC, "A := B # C, reals")                                                             \
  X(SLTR, 1, ABC, "A := B < C, reals")                                                             \
  X(SLER, 1, ABC, "A := B <= C, reals")                                                            \
  /* Branches, to pc + I or pc + sC (words) */                                                     \
  X(JMP, 1, J, "pc := pc + I")                                                                     \
  X(BT, 1, AJ, "if A # 0: pc := pc + I")                                                           \
  X(BF, 1, AJ, "if A = 0: pc := pc + I")                                                           \
  X(BEQ, 1, ABJ, "if A = B: pc := pc + sC")                                                        \
  X(BNE, 1, ABJ, "if A # B: pc := pc + sC")                                                        \
  X(BLT, 1, ABJ, "if A < B (signed): pc := pc + sC")                                               \
  X(BLE, 1, ABJ, "if A <= B (signed): pc := pc + sC")                                              \
  X(BLTU, 1, ABJ, "if A < B (unsigned): pc := pc + sC")                                            \
  X(BLEU, 1, ABJ, "if A <= B (unsigned): pc := pc + sC")                                           \
  X(BEQK, 1, AsBJ, "if A = sB: pc := pc + sC")                                                     \
  X(BNEK, 1, AsBJ, "if A # sB: pc := pc + sC")                                                     \
  X(BLTK, 1, AsBJ, "if A < sB: pc := pc + sC")                                                     \
  X(BLEK, 1, AsBJ, "if A <= sB: pc := pc + sC")                                                    \
  X(BGTK, 1, AsBJ, "if A > sB: pc := pc + sC")                                                     \
  X(BGEK, 1, AsBJ, "if A >= sB: pc := pc + sC")                                                    \
  X(BEQR, 1, ABJ, "if A = B (reals): pc := pc + sC")                                               \
  X(BNER, 1, ABJ, "if A # B (reals): pc := pc + sC")                                               \
  X(BLTR, 1, ABJ, "if A < B (reals): pc := pc + sC")                                               \
  X(BLER, 1, ABJ, "if A <= B (reals): pc := pc + sC")                                              \
  X(BNLTR, 1, ABJ, "if NOT (A < B) (reals, true for NaN): pc := pc + sC")                          \
  X(BNLER, 1, ABJ, "if NOT (A <= B) (reals): pc := pc + sC")                                       \
  X(FORUP, 1, ABJ, "if A < B: A := A + 1, pc := pc + sC (closes a FOR loop counting up)")          \
  X(FORDN, 1, ABJ, "if A > B: A := A - 1, pc := pc + sC (closes a FOR loop counting down)")        \
  X(JTAB, 1, AT, "jump through the table at pc + I: low, count, default, offsets; by slot A")      \
  /* Calls */                                                                                      \
  X(ENTER, 2, Enter,                                                                               \
    "A: first temporary; B: this word's offset; C: 8000H + first local; ext: below")               \
  X(CALL, 1, AP, "calls the procedure at pc + I of this module, frame at slot A")                  \
  X(CALLX, 1, AnBnC, "calls procedure C of the module in import slot entry B, frame at slot A")    \
  X(CALLP, 1, AB, "calls the procedure value in slot B, frame at slot A")                          \
  X(RET, 1, None, "returns")                                                                       \
  X(RETV, 1, A, "returns the value of slot A (into the callee's slot 0)")                          \
  X(RETVS, 2, AW, "returns the value of slot A from a frame that ENTER moved up by ext slots")     \
  X(INIT, 1, None, "a module body's guard: returns when the body ran already, else marks it run")  \
  X(EXIT, 1, None, "leaves the machine (the return address of a run and of a call-back)")          \
  X(SYS, 1, AnB, "run-time procedure B on the slots from A (see SysCall)")                         \
  X(DYNSAVE, 1, A, "A := the top of the stack of value copies")                                    \
  X(DYNCOPY, 1, AnB, "copies the open array in slots A, A+1 (elements of B bytes) to that stack")  \
  X(DYNREST, 1, A, "the stack of value copies goes back to A")                                     \
  /* Checks and traps */                                                                           \
  X(CHK, 1, AK2, "traps unless lo <= A <= hi, signed; lo, hi the words at pc + I")                 \
  X(CHKU, 1, AK2, "traps unless lo <= A <= hi, unsigned")                                          \
  X(CHKK, 1, AsBsC, "traps unless sB <= A <= sC")                                                  \
  X(CHKPTR, 1, A, "traps when A is NIL or the address of a disposed block")                        \
  X(TRAP, 1, A, "traps with the error A (TrapCode)")                                               \
  /* Processes (coroutines) */                                                                     \
  X(TRANSFER, 1, A, "TRANSFER: slots A, A+1 the addresses of the PROCESS variables p1 and p2")     \
  X(PEND, 1, None, "the procedure of a process returned: the program ends")

enum class Op : std::uint8_t {
#define VM_ENUM(name, words, format, comment) name,
  VM_INSTRUCTIONS(VM_ENUM)
#undef VM_ENUM
      Count
};

inline constexpr int kOpCount = static_cast<int>(Op::Count);
static_assert(kOpCount <= 256);

// Words each instruction takes, its extension words included.
inline constexpr std::uint8_t kOpWords[] = {
#define VM_WORDS(name, words, format, comment) words,
    VM_INSTRUCTIONS(VM_WORDS)
#undef VM_WORDS
};

inline constexpr const char* kOpNames[] = {
#define VM_NAME(name, words, format, comment) #name,
    VM_INSTRUCTIONS(VM_NAME)
#undef VM_NAME
};

// The operand format of each instruction.
inline constexpr Fields kOpFields[] = {
#define VM_FIELDS(name, words, format, comment) kFormatFields[static_cast<int>(Format::format)],
    VM_INSTRUCTIONS(VM_FIELDS)
#undef VM_FIELDS
};

// Every instruction's words are its own and its format's extension words.
constexpr bool WordsMatchFormats() {
  for (int op = 0; op < kOpCount; ++op) {
    const Fields& f = kOpFields[op];
    const int ext = (f.ext[0] != Extension::None) + (f.ext[1] != Extension::None);
    if (kOpWords[op] != 1 + ext) return false;
  }
  return true;
}
static_assert(WordsMatchFormats());

// The run-time errors, with the words the user reads.
#define VM_TRAPS(X)                                                                                \
  X(CaseError, "Case error.")                                                                      \
  X(FunctionReturn, "Function return error.")                                                      \
  X(Halt, "HALT called.")                                                                          \
  X(Index, "index out of range")                                                                   \
  X(Range, "value out of range")                                                                   \
  X(Nil, "NIL dereference")                                                                        \
  X(Disposed, "dereference of a disposed pointer")                                                 \
  X(DivisionByZero, "division by zero")                                                            \
  X(Overflow, "integer overflow")                                                                  \
  X(StackOverflow, "stack overflow")                                                               \
  X(InvalidAddress, "invalid address")                                                             \
  X(NotLoaded, "module not loaded")                                                                \
  X(Interrupted, "Interrupted.")                                                                   \
  X(NilProcedure, "call of a NIL procedure")                                                       \
  X(BadProcedure, "call of an invalid procedure value")                                            \
  X(BadInstruction, "invalid instruction")                                                         \
  X(OutOfMemory, "out of memory")                                                                  \
  X(BadProcess, "TRANSFER to a process that NEWPROCESS did not make")                              \
  X(ForeignProcess, "TRANSFER to a process waiting outside this call from a library module")       \
  X(BadWorkspace, "NEWPROCESS: the workspace is not memory of the program")                        \
  X(RunningWorkspace, "NEWPROCESS: the workspace of the running process")

enum class TrapCode : std::uint8_t {
#define VM_TRAP_ENUM(name, text) name,
  VM_TRAPS(VM_TRAP_ENUM)
#undef VM_TRAP_ENUM
      Count
};

inline constexpr const char* kTrapTexts[] = {
#define VM_TRAP_TEXT(name, text) text,
    VM_TRAPS(VM_TRAP_TEXT)
#undef VM_TRAP_TEXT
};

inline const char* TrapText(TrapCode code) { return kTrapTexts[static_cast<int>(code)]; }

// The run-time procedures of SYS; each takes its operands from the slots A, A+1, ...
// and leaves a result in slot A.
enum class SysCall : std::uint16_t {
  StringAssign = 0,  // A, A+1: destination address and HIGH; A+2: source address; A+3:
                     // source length: copies, ends the text with 0 when there is room
  StringCompare = 1, // A, A+1 and A+2, A+3: two texts (address, HIGH): -1, 0 or 1
  SetIn = 2,         // A: address of a set, A+1: its size in bytes, A+2: element: in it?
  SetIncl = 3,       // A: address, A+1: size, A+2: element (checked)
  SetExcl = 4,
  SetUnion = 5, // A: destination, A+1: size, A+2, A+3: operand addresses
  SetDifference = 6,
  SetIntersection = 7,
  SetSymmetric = 8,
  SetEqual = 9,    // A: address, A+1: size, A+2: address: equal?
  SetSubset = 10,  // A: address, A+1: size, A+2: address: every element of A in A+2?
  SetRange = 11,   // A: address, A+1: size, A+2, A+3: low and high element, added
  Compare = 12,    // A, A+1: addresses, A+2: size: the blocks equal?
  ModuleData = 13, // A: a size: a new block of the programs' heap, every 16-bit word 8000H
  NewProcess = 14, // A: a procedure value, A+1: workspace address, A+2: its size in bytes,
                   // A+3: address of the PROCESS variable that receives the new process
  Count
};

// The code's own words.
inline constexpr int kHeaderWords = 2;      // the body's ENTER follows them
inline constexpr int kLargeHeaderWords = 3; // with kLargeCode
// Header flags (bits 48..63 of word 1).
inline constexpr std::uint64_t kExternalData = 1;     // variables in a heap block
inline constexpr std::uint64_t kLargeCode = 2;        // the numbers of words in word 2
inline constexpr std::uint64_t kRejected = 1 << 14;   // the check found bad code
inline constexpr std::uint64_t kTranslated = 1 << 15; // dispatch words rewritten
inline constexpr std::uint16_t kEntryMark = 0x8000;   // ENTER's C field
inline constexpr std::int64_t kDescriptorSize = 28;
inline constexpr std::int64_t kFlagOffset = -2; // the descriptor's flag word, from the table
inline constexpr std::uint16_t kBodyRan = 1u << 8;
inline constexpr int kLinkSlots = 3; // gp, fp and return pc below a callee's frame

// Instruction words.
constexpr std::uint64_t Word(Op op, std::uint16_t a = 0, std::uint16_t b = 0, std::uint16_t c = 0) {
  return static_cast<std::uint64_t>(op) | static_cast<std::uint64_t>(a) << 16 |
         static_cast<std::uint64_t>(b) << 32 | static_cast<std::uint64_t>(c) << 48;
}
constexpr std::uint64_t WordI(Op op, std::uint16_t a, std::int32_t i) {
  return static_cast<std::uint64_t>(op) | static_cast<std::uint64_t>(a) << 16 |
         static_cast<std::uint64_t>(static_cast<std::uint32_t>(i)) << 32;
}
// The extension word of the checked array instructions.
constexpr std::uint64_t Bounds(std::int32_t low, std::uint32_t length) {
  return static_cast<std::uint32_t>(low) | static_cast<std::uint64_t>(length) << 32;
}

inline Op OpOf(std::uint64_t w) { return static_cast<Op>(w & 0xFF); }
inline std::uint16_t FieldA(std::uint64_t w) { return static_cast<std::uint16_t>(w >> 16); }
inline std::uint16_t FieldB(std::uint64_t w) { return static_cast<std::uint16_t>(w >> 32); }
inline std::uint16_t FieldC(std::uint64_t w) { return static_cast<std::uint16_t>(w >> 48); }
inline std::int32_t FieldI(std::uint64_t w) { return static_cast<std::int32_t>(w >> 32); }

// The word of an ENTER (w) with extension word ext: its distance from word 0.
inline std::uint64_t EnterWord(std::uint64_t w, std::uint64_t ext) {
  return FieldB(w) | ((ext >> 16) & 0xFFFF) << 16;
}
// Sets the ENTER at word at (w, ext) to know its word.
inline void SetEnterWord(std::uint64_t& w, std::uint64_t& ext, std::uint64_t at) {
  w = (w & ~(std::uint64_t{0xFFFF} << 32)) | (at & 0xFFFF) << 32;
  ext = (ext & ~(std::uint64_t{0xFFFF} << 16)) | ((at >> 16) & 0xFFFF) << 16;
}

} // namespace Vm
