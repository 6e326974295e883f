// The standard questions: a message with OK, yes/no and yes/no/cancel questions with a
// chosen default, lines of text, numbers, a text to edit, and the error message that
// adds the last file system error.
//
// Every prompt first stops any sound that is playing and remembers the current output
// window, and restores it after the answer, so that a question never leaves the shell
// writing into another window. Alert texts are cut to 255 characters, input lines to
// 255, and the answers of the number prompts to 39.
#pragma once

#include <cstdint>

#include "base/Chars.h"

namespace Alerts {

using base::Chars;
using base::VarChars;

// Answers of the yes/no/cancel questions.
inline constexpr int kYes = 1;
inline constexpr int kCancel = 2;
inline constexpr int kNo = 3;

// The module body: the number scanners and formatters it imports.
void Init();

// Stops sound, then the platform's default beep.
void AlertBeep();
// Stops sound, then Toolbox::Beep(kind). The first two words are not used; they keep
// the form of the installable beep procedures.
void AlertBeepKind(std::int32_t, std::int32_t, int kind);
// Writes text in inverse video to the Command window's message line, then AlertBeep.
void ShowErrorLine(Chars text);
// Alert 131: the text with one OK button and the exclamation icon.
void Message(Chars text);
// Alert 160: the four texts joined, one OK button, no icon.
void Note(Chars a, Chars b, Chars c, Chars d);
// kYes or kNo. defaultAnswer kYes makes Yes the default button, anything else No.
int AskYesNo(Chars text, int defaultAnswer);
// True for Yes; Yes is the default button when defaultYes is set, otherwise No.
bool Ask(Chars text, bool defaultYes);
// kYes, kCancel or kNo; the close box answers kCancel. defaultAnswer kYes or kNo makes
// that button the default, anything else Cancel.
int AskYesNoCancel(Chars text, int defaultAnswer);
// Dialog 150: the prompt and an edit line holding answer. True for OK, and answer then
// receives the edit line (cut to its HIGH); Cancel leaves it unchanged.
bool AskString(Chars prompt, VarChars answer);
// Dialog 153, likewise with two prompts and two edit lines.
bool AskTwoStrings(Chars prompt1, VarChars answer1, Chars prompt2, VarChars answer2);
// The integer a text of the answer begins with (what follows the digits is ignored);
// the default after Cancel or when the answer does not begin with an integer.
std::int32_t AskInt(Chars prompt, std::int32_t defaultValue);
// The real number of the answer, SI prefixes allowed ("2k" is 2000), used only when
// the whole answer was read; otherwise the default. The default is shown in 14 places.
double AskReal(Chars prompt, double defaultValue);
// As AskReal, the default shown in fixed notation in 16 places with the decimals.
double AskFixed(Chars prompt, double defaultValue, int decimals);
// Dialog 2000: a multi-line edit of text with Done, Undo and Cancel; true for Done.
bool EditText(Chars title, VarChars text, std::int32_t options);
// Three buttons left to right answering 1, 2 and 3; an empty label hides its button.
// Escape answers escapeButton, or without one the "Cancel" button (Toolbox::ThreeButtonAlert).
int ThreeButtonAlert(Chars text, Chars left, Chars middle, Chars right, int defaultButton,
                     int escapeButton = 0);
// AlertBeep, then Message of text + ": " + the text of the last file system result,
// cut to 127 characters.
void FileErrorMessage(Chars text);

// ---- Procedure variables the higher layers install ----

// The current output window of the terminal layer, opaque here; prompts save and
// restore it. Without procedures installed nothing is saved.
using OutputWindow = void*;
using GetOutputWindowProc = OutputWindow (*)();
using SetOutputWindowProc = void (*)(OutputWindow window);
void SetOutputWindowProcs(GetOutputWindowProc get, SetOutputWindowProc set);
OutputWindow CurrentOutputWindow();
void SetCurrentOutputWindow(OutputWindow window);

// Writes a text in inverse video to the Command window's message line.
using ErrorLineProc = void (*)(Chars text);
void SetErrorLineProc(ErrorLineProc proc);

// The multi-line edit dialog; without one installed EditText answers false.
using EditTextProc = bool (*)(Chars title, VarChars text, std::int32_t options);
void SetEditTextProc(EditTextProc proc);

} // namespace Alerts
