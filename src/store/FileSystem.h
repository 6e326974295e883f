// Host files: the current host directory, host paths for the names users type, open
// files, and moving whole buffers to and from files. Every operation sets the result
// that `Result` returns (0 for success, a negative code of the table below otherwise);
// `ErrorText` turns a code into the words the user sees.
//
// Host names on Linux. The host separator is "/". A name that begins with "/" is an
// absolute host path and is used exactly as written (the counterpart of a drive letter;
// paths from the file dialogs work as they are). In every other name "/", ":" and "\"
// all separate names:
//   ""        the current directory
//   "::x"     x in the parent directory ("::" becomes "../")
//   ":x" "\x" x in the current directory (a single leading separator)
//   "./x"     x in the current directory; "../x" one level up; ".../x" two levels up
//             (k dots climb k - 1 levels; a name climbing above "/" is kept as written)
//   "\\x"     two leading separators: kept as written, so "//x" (the root)
//   "x:y"     y in the subdirectory x of the current directory
// Drive letters have no meaning here: "C:\x" is the host path C//x in the current directory.
// Host names are UTF-8; the workstation names them in its own characters, each part of
// a path decoded where it can be (base/Charset.h), and every name is encoded again
// where it reaches the system.
//
// Storing never destroys the old file before the new one is complete: the new contents
// go to a temporary file in the same directory that is flushed to the disk and renamed
// over the old file only when every byte was written, and the directory is flushed
// after the rename. A failed store leaves the old file as it was; only a failed flush
// of the directory is reported after the file was replaced. A store that was killed
// midway leaves its temporary file behind; the first store of a later run into that
// directory removes it.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "base/Chars.h"
#include "store/Buffer.h"

namespace FileSystem {

using base::Chars;
using base::VarChars;

// The result codes and their texts: one row per code.
#define VELMARIN_FILE_RESULTS(X)                                                                   \
  X(kNoError, 0, "no error")                                                                       \
  X(kUserError, -1, "user error")                                                                  \
  X(kFileNotFound, -2, "file not found")                                                           \
  X(kDirectoryNotFound, -3, "directory not found")                                                 \
  X(kTooManyFiles, -4, "too many files open")                                                      \
  X(kAccessDenied, -5, "access denied")                                                            \
  X(kWriteProtected, -19, "disk is write protected.")                                              \
  X(kAlreadyOpen, -32, "file already open with write permission")                                  \
  X(kEndOfFile, -38, "end of file")                                                                \
  X(kDiskFull, -112, "disk full")                                                                  \
  X(kBadName, -123, "bad name")                                                                    \
  X(kDuplicateName, -183, "duplicate filename (rename)")                                           \
  X(kDirectoryFull, -1000033, "directory full")                                                    \
  X(kNoSuchVolume, -1000035, "no such volume")                                                     \
  X(kFileNotOpen, -1000038, "file not open")                                                       \
  X(kPositionBeforeStart, -1000040, "tried to position before start of file")                      \
  X(kFileLocked, -1000045, "file is locked")                                                       \
  X(kPositionError, -1000052, "get file position error")                                           \
  X(kWritePermission, -1000061, "write permissions error")

#define VELMARIN_FILE_RESULT_CONSTANT(name, code, text) inline constexpr std::int32_t name = code;
VELMARIN_FILE_RESULTS(VELMARIN_FILE_RESULT_CONSTANT)
#undef VELMARIN_FILE_RESULT_CONSTANT

// Open mode bits.
inline constexpr std::int32_t kRead = 1;
inline constexpr std::int32_t kWrite = 2;
inline constexpr std::int32_t kAtEnd = 4;     // position at the end after opening
inline constexpr std::int32_t kCreate = 8;    // create the file; an existing one is emptied
inline constexpr std::int32_t kTruncate = 16; // empty an existing file
inline constexpr std::int32_t kShared = 32;   // others may write while the file is open

// The character that marks the end of a paragraph in texts with soft line ends.
inline constexpr char kSoftLineEnd = char(166);
// Loading breaks longer lines of a file into pieces of at most this many characters.
inline constexpr std::int32_t kLoadLineLimit = 128;

// An open file. Operations on a record that is not open fail with kFileNotOpen.
struct File {
  int handle = -1;
  std::int32_t mode = 0;
  bool open = false;
};

// What the latest text load has to tell besides its result: that a UTF-8 file with
// characters outside the set was kept as its bytes, or that the file held 0 bytes,
// which a text cannot hold (a store writes it without them).
enum class LoadNotice : std::uint8_t { None, KeptUtf8, ZeroBytes };

// Shows or hides the busy cursor around loads and stores; installed by the platform.
using BusyCursorProc = void (*)(bool busy);

// The module body: the current directory is the process's, the file type "????",
// line ends LF, texts through an image, no soft line ends.
void Init();

// The host path for name (rules above) in the workstation's characters, cut to the
// array by the string rules; false when the whole path did not fit (the operations
// themselves never use a cut path).
bool HostName(Chars name, VarChars path);
// Makes name the current directory; "" goes back to the directory the process started
// in. False with kDirectoryNotFound (or kAccessDenied, kBadName) when that fails.
[[nodiscard]] bool ChangeDirectory(Chars name);
// The current directory, always ending in "/".
void CurrentDirectory(VarChars s);
// The result of the latest operation.
std::int32_t Result();
// The text of a result code; codes outside the table give "unknown error (<code>)".
void ErrorText(std::int32_t code, VarChars s);
// The file type of the files being written ("TEXT", "BINA"); it has no effect on what
// is written, since files carry no type here.
void GetType(VarChars type);
void SetType(Chars type);

// Opens name with the mode bits above. A mode without kRead or kWrite, or with kCreate
// or kTruncate but without kWrite, fails with kUserError. Without kCreate the file must
// exist. Writing without kShared is exclusive: a file open elsewhere fails with
// kFileLocked; opening a file that is open exclusively fails with kAlreadyOpen.
[[nodiscard]] bool Open(Chars name, std::int32_t mode, File& f);
bool Close(File& f);
// Reads up to count bytes (at most the buffer's size); count becomes the bytes read.
// Nothing read (end of file) fails with kEndOfFile.
[[nodiscard]] bool Read(File& f, std::int32_t& count, std::span<char> buffer);
// Writes count bytes (at most the data's size); count becomes the bytes written.
[[nodiscard]] bool Write(File& f, std::int32_t& count, std::span<const char> data);
[[nodiscard]] bool Size(File& f, std::int64_t& size);
// Moves to offset from origin 0 (start), 1 (current) or 2 (end); another origin, or a
// position before the start, fails with kPositionBeforeStart.
[[nodiscard]] bool SetPosition(File& f, std::int32_t origin, std::int64_t offset);
[[nodiscard]] bool Delete(Chars name);
// Renames a file; an existing newName is never replaced (kDuplicateName).
[[nodiscard]] bool Rename(Chars oldName, Chars newName);
// Reads one line of at most count characters (and the array's size) into line and
// terminates it when there is room; count becomes its length. A 0, LF, CR or CR LF
// ends a line and is consumed; a longer line comes in pieces of count characters.
// Fails with kEndOfFile when nothing is left.
[[nodiscard]] bool ReadLine(File& f, std::int32_t& count, VarChars line);
// Writes count characters of s (none when count <= 0) and one line end; count becomes
// the bytes written.
[[nodiscard]] bool WriteLine(File& f, std::int32_t& count, Chars s);
// Reads the file into buffer; count (the room, at most the buffer's size) becomes the
// bytes read. True only when the whole file was read; a file larger than the room
// fails with kUserError after filling it.
[[nodiscard]] bool ReadWhole(Chars name, std::int32_t& count, std::span<char> buffer);
// Replaces the file by count bytes of data (a new file when there was none).
[[nodiscard]] bool WriteWhole(Chars name, std::int32_t& count, std::span<const char> data);

// A file into a Block buffer without data: the file size (>= 0), or a negative code
// (kUserError for a buffer that is not an empty Block or memory that runs out).
[[nodiscard]] std::int32_t LoadBlock(Chars name, Buffer::Ref block);
// A file into a Text buffer without lines: 0 or a negative code. The buffer's filePath
// becomes the file's directory and it is not modified; after a failure it keeps the
// lines that were read. The text's form says how it was loaded: a file that is UTF-8
// with every character in the set (ASCII too) is decoded; other UTF-8 is kept as its
// bytes (Utf8Bytes); any other file is a character a byte. A UTF-8 byte order mark is
// left out of the lines and kept in the form; each line remembers how it ended.
[[nodiscard]] std::int32_t LoadText(Chars name, Buffer::Ref text);
LoadNotice LastLoadNotice();
// The words of a notice: "" for None.
void LoadNoticeText(LoadNotice notice, VarChars s);
// The data of a Block buffer into the file: 0 or a negative code.
[[nodiscard]] std::int32_t StoreBlock(Buffer::Ref block, Chars name);
// The lines of a Text buffer into the file in the text's form: its coding, its byte
// order mark, and each line followed by its own line end (the text's line end, else
// the line end mode): 0 (and the text is no longer modified) or a negative code.
[[nodiscard]] std::int32_t StoreText(Buffer::Ref text, Chars name);
// Splits a file image into lines appended to a Text buffer, as a load does: CR, LF or
// CR LF end a line, 0 bytes are skipped, longer lines are broken at kLoadLineLimit
// characters (after the last space or "\" from the third character on, if any; kept
// UTF-8 is never cut inside a character). With soft line ends every line end adds
// kSoftLineEnd and lines also break at the editor's width. The text's form follows.
// Loads read a file in pieces; pieceSize feeds the image the same way (0: all at once).
// 0, or kUserError when a line cannot be appended (the lines before it stay).
[[nodiscard]] std::int32_t SplitImage(std::string_view image, Buffer::Ref text,
                                      std::size_t pieceSize = 0);

// Settings. The line end written by stores: 0 CR, 1 CR LF, 2 LF, any other value CR.
void SetLineEndMode(std::int32_t mode);
std::int32_t LineEndMode();
// True: texts are loaded and stored through an image of the file in a Block buffer
// ("/Shell/Load.tmp", "/Shell/Store.tmp"), which holds up to 1 MB of the file at a
// time; the image route breaks long lines and keeps the soft line end rules. False:
// line by line (ReadLine with room for 128 characters, WriteLine of every line as it
// is). Without /Shell the image route is not available and texts go line by line.
void SetLoadViaImage(bool flag);
bool LoadViaImage();
// True: a line ending in kSoftLineEnd ends a paragraph; other lines continue on the next.
void SetSoftLineEnds(bool flag);
bool SoftLineEnds();
// The editor's line width in columns, at which loads with soft line ends also break
// lines. The editor sets it; a value outside 1..255 means 255 (only the 128-character
// limit applies), which is also the start value.
void SetEditorLineWidth(std::int32_t columns);
std::int32_t EditorLineWidth();
void SetBusyCursor(BusyCursorProc proc);

namespace Testing {
// Off: loads take every file a byte a character, as they did before texts knew UTF-8
// (the baseline of the benchmarks). On at start.
void SetDecoding(bool on);
} // namespace Testing

} // namespace FileSystem
