// Formatted text output and input on a terminal: what the workstation's own modules and
// the programs that run in it write and read.
//
// Output goes to the List window's terminal (while output to List is on and the List
// window is open) or to the editor's terminal. A line break is owed, not written: new
// line only marks it pending, and the next output writes it first, so the last line of
// output never leaves an empty line below it. While logging is on, every output line is
// also appended to the log buffer. Input reads keys on the editor's terminal and lines
// with the line-input editor; when output goes to the List window, a line is asked for
// on the editor's message line, with the current output line as the question, and the
// answer is then written after that line.
//
// Console mode serves the command-line runner: output goes to standard output (a line
// break at once), input comes from standard input, and the end of input ends every read
// with read succeeded false and character 0. On a UTF-8 locale both are UTF-8: output
// is encoded, and input decoded into the set (a character outside it, or a byte that
// is no UTF-8, reads as the substitute).
#pragma once

#include <cstdint>
#include <cstdio>

#include "base/Chars.h"
#include "store/Buffer.h"

namespace TextIO {

using base::Chars;
using base::VarChars;

inline constexpr char kReturn = 13;
// The line a cleared screen leaves in the log.
inline constexpr char kSeparatorLine[] =
    " (* ------------------------------------------------------------ *) ";

// Called while input is awaited and an update event arrives.
using UpdateHook = void (*)();
// Called after a line was appended to the log buffer (the Notebook's view follows).
using LogHook = void (*)();

// The module body: output to List, logging off, no line break owed.
void Init();

// ---- Switches ----

void SetOutputToList(bool on);
bool OutputToList();
// Switching logging off ends the current line first.
void SetLogging(bool on);
bool Logging();
// The text buffer finished lines are logged to (nullptr: none).
void SetLogBuffer(Buffer::Ref log);
Buffer::Ref LogBuffer();
void SetUpdateHook(UpdateHook hook);
void SetLogHook(LogHook hook);
// Console mode on standard input and output; its text is UTF-8 when the locale's is.
void SetConsole(bool on);
// Console text UTF-8 (true) or a byte a character.
void SetConsoleUtf8(bool on);
bool Console();
// The files console mode reads and writes (nullptr: standard input and output).
void SetConsoleFiles(std::FILE* in, std::FILE* out);

// ---- Output ----

void WriteString(Chars text);
void WriteChar(char ch);
// Ends the line: a line break is owed to the next output.
void WriteLn();
// Ends the line when something was written on it; a second call owes nothing more.
void EndLine();
// Clears the terminal; the log gets the current line and the separator line.
void ClearScreen();
void WriteLine(Chars text);
void WriteBool(bool b); // " TRUE" or "FALSE"
// Right-aligned in the larger of width and the number's own length.
void WriteInt(std::int32_t i, std::int32_t width);
void WriteCard(std::uint32_t c, std::int32_t width);
void WriteHex(std::uint32_t c, std::int32_t width); // 1..8 digits, "A".."F"
void WriteOct(std::uint32_t c, std::int32_t width);
// Scientific notation in digits + 7 columns, blanks in front up to width; width "*"
// when that is wider than width.
void WriteReal(double x, std::int32_t width, std::int32_t digits);
void WriteFixed(double x, std::int32_t width, std::int32_t decimals);
void WriteScaled(double x, std::int32_t width); // engineering notation with SI prefix
void WriteTime(double t);                       // hh:mm:ss.mmm
void WriteDate(double t);                       // yyyy/mm/dd hh:mm:ss

// ---- Input ----

// Waits for a character key and echoes it; "enter" and a double click give RETURN,
// which ends the output line. 0 at the end of console input.
void ReadChar(char& ch);
// As ReadChar without echo.
void ReadKey(char& ch);
// Reads characters up to and including RETURN.
void SkipLine();
// A character if one waits (without echo), else 0.
char BusyRead();
// Reads a line (the text's old contents are not kept); read succeeded is false when the
// input was given up (a window event, the end of console input).
void ReadLine(VarChars text);
// A line of at most 79 characters, converted; read succeeded says whether it was a
// number and nothing but blanks after it (x is unchanged when not).
void ReadInt(std::int32_t& x);
void ReadCard(std::uint32_t& x);
void ReadHex(std::uint32_t& x);
void ReadReal(double& x);
void ReadLongReal(double& x);
bool ReadSucceeded();

// A hexadecimal number (digits and "A".."F" in either case) at text[pos]; false without
// a digit or above 8 digits' worth.
[[nodiscard]] bool ScanHex(Chars text, std::size_t& pos, std::uint32_t& value);

} // namespace TextIO
