// The shell's start and its two texts: the command text "/Shell/Command", shown in the
// Command window, and the list text "/Shell/List" (the newest 1000 lines), shown in the
// List window; the output procedures every command writes through; and the directories
// and library the commands work on.
//
// Window geometry. Both windows take the frame's client area less 8 pixels at the sides
// and the bottom, with 32 pixels above each content rectangle for the window's caption:
// the Command window (a document window with scroll bars, the message line in its
// bottom band) gets the upper two thirds of the height, the List window (the same kind)
// the lower third below it. In the 800 x 600 client area of the headless backend that is
// 20 rows of 95 columns and 9 rows below them.
#pragma once

#include <cstdint>

#include "base/Chars.h"
#include "platform/Startup.h"
#include "platform/Toolbox.h"
#include "store/Buffer.h"

namespace ANSITerm {
struct TextWindow;
}

namespace Shell {

using base::Chars;
using base::VarChars;

// Shows a text on the editor's message line; the editor installs its own.
using MessageProc = void (*)(Chars text);

// The module body.
void Init();

// ---- The shell's texts, directories and windows (nullptr before the start) ----

Buffer::Ref CommandText();
Buffer::Ref ListText();
Buffer::Ref ScratchHeap();
// The heaps the terminal and graphics windows live in.
Buffer::Ref TerminalHeap();
Buffer::Ref GraphicsHeap();
Buffer::Ref SystemLibrary();
Buffer::Ref CurrentLibrary();
Buffer::Ref SymbolDirectory();
Buffer::Ref ObjectDirectory();
void SetCurrentLibrary(Buffer::Ref library);
void SetSymbolDirectory(Buffer::Ref directory);
void SetObjectDirectory(Buffer::Ref directory);
Toolbox::Window CommandWindow();
ANSITerm::TextWindow* CommandTerminal();
// nullptr while the List window is closed.
Toolbox::Window ListWindow();
ANSITerm::TextWindow* ListTerminal();

// ---- Output ----

// Appends the text (cut to 256 characters) as a line to List and, while the List window
// is open, writes it there as a new line.
void WriteList(Chars text);
// The text on the editor's message line.
void ShowMessage(Chars text);
// WriteList, and the text on the editor's message line.
void WriteError(Chars text);
// A command's error line: text and more joined and cut to the 80 characters of a message
// line, then WriteError.
void WriteCommandError(Chars text, Chars more = {});
// The text followed by the number in decimal (160 characters at most).
void WriteListNumber(Chars text, std::int32_t number);
void WriteErrorNumber(Chars text, std::int32_t number);
// The text followed by the number in 14 places of scientific notation.
void WriteListReal(Chars text, double number);
// List keeps one empty line; the List window is drawn again.
void ClearList();
// nullptr restores CommandMessageLine.
void SetMessageProc(MessageProc proc);
// The text in inverse video on the Command terminal's message line, cut to its width.
void CommandMessageLine(Chars text);

// ---- The shell's window state kept by the settings file ----

// The Command window setting (3 at start) and the shell's window flag (off at start);
// the settings file reads and writes them, nothing in the shell interprets them yet.
void SetWindowSetting(std::int32_t setting);
std::int32_t WindowSetting();
void SetWindowFlag(bool on);
bool WindowFlag();

// ---- The start ----

// The shell's buffer tree, the graphics heap "/Shell/Graphics.Heap" and the terminal
// heap; the result says which of them failed.
[[nodiscard]] Startup::ShellStart CreateShell();
// The Command window with the command text, the empty first line of List, and the List
// window. False when the Command window or its terminal could not be had.
[[nodiscard]] bool OpenShellWindows();
// The command text as at shell start: the host file "Command" of the current host
// directory with fresh lines 1 and 2, or the ten-line template.
void BuildCommandText();
// The command text in the Command window, in front, the cursor on line count - 2.
void EnterCommandWindow();
// Run once the shell windows exist, where the editor is initialised.
void SetEditorStartProc(Startup::Proc proc);
// Template lines 1 and 2.
void TemplateLine1(VarChars line);
void TemplateLine2(VarChars line);
// The two windows' content rectangles in the frame's client area.
Toolbox::Rect CommandWindowRect(const Toolbox::Rect& client);
Toolbox::Rect ListWindowRect(const Toolbox::Rect& client);

// Puts the shell's start into hooks (createShell, openShellWindows, setUpMenus,
// enterCommandWindow)
// and its body into the main module's CommandWindows slot.
void InstallStartupHooks(Startup::ShellHooks& hooks);
// The same with hooks that hold nothing else, installed with Startup::SetShellHooks.
void InstallStartupHooks();

} // namespace Shell
