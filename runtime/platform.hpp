// The operating-system operations the runtime needs, and nothing more.
// Implemented once in runtime/posix/ and once in runtime/win32/ (kernel32 only).
// Every operation that can fail returns 0 or the system's error code; the
// runtime turns that code into the pending I/O error.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

using Handle = std::intptr_t;
inline constexpr Handle kNoHandle = -1;

// Append: every write goes to the end of the file as it is at that moment,
// whoever else writes to it; the file can still be read.
enum class Access { Read, ReadWrite, Append };

struct Date {
    std::int32_t Year, Month, Day;
};
struct Time {
    std::int32_t Hour, Minute, Second;
};

// A path in the program's own form ("\" separators), and where in it the
// part begins that others may add names to: the outbound below OUTBOUND,
// which the mailer's group shares, and the log's own name below its folder.
// Every component that begins at or after `Shared` is checked: a symbolic
// link there is followed only when its owner is the process's user, root or
// the owner of the folder that holds it, and the last one is used only when
// it is a regular file (a FIFO is not waited on, a device not read). Either
// failing is a file that cannot be opened. The part before `Shared` is the
// sysop's own choice and is followed as given; lists and the configuration
// have no checked part.
struct Path {
    static constexpr std::size_t kNothingShared = std::string_view::npos;

    Path(std::string_view name, std::size_t sharedFrom = kNothingShared) : Text(name), Shared(sharedFrom) {}  // NOLINT
    Path(const std::string& name, std::size_t sharedFrom = kNothingShared) : Path(std::string_view(name), sharedFrom) {}  // NOLINT
    Path(const char* name) : Path(std::string_view(name)) {}  // NOLINT

    std::string_view Text;
    std::size_t Shared;

    // Where the last component begins: after the last separator, else at 0.
    std::size_t NameAt() const { return Text.find_last_of("\\/") + 1; }
};

// Whose text a console write carries. The program's own texts are CP866
// bytes; a text that holds anything the user gave (a name, an answer, a path
// of the configuration, a log line) is in the system's character set for file
// names: the ANSI code page on Windows, the locale's on Linux. The ASCII
// parts of the program's texts read the same either way.
enum class TextOrigin { Own, User };

}  // namespace platform

// The namespace the operations are declared in: platform. A test build
// compiles the real operations a second time under another name and links a
// wrapper of its own, which calls them there, as platform.
#ifndef TOLVEX_PLATFORM
#define TOLVEX_PLATFORM platform
#endif

namespace TOLVEX_PLATFORM {

using namespace ::platform;

// Paths arrive in the program's own form ("\" separators).
int FileOpen(Path path, Access access, Handle& handle);  // must exist; never a directory
// Creates a file that must not exist yet, for ReadWrite or Append.
int FileCreateNew(Path path, Access access, Handle& handle);
bool MeansAlreadyExists(int error);  // the error of creating what exists already
int FileRead(Handle handle, char* buffer, int size, int& got);
int FileWrite(Handle handle, const char* data, int size);  // all of it, or an error
int FileSeek(Handle handle, std::int64_t position);
int FileSeekEnd(Handle handle, std::int64_t& size);  // to the end; size is the new position
int FileSetEnd(Handle handle);                       // the file ends at the current position
int FileClose(Handle handle);
int FileDelete(Path path);
// Where the path leads when its last component is a symbolic link that may
// be followed: a full path the other operations take. False for anything
// else (no link, a link that may not be followed, a system without links).
bool FollowLink(Path path, std::string& target);
// Puts `from` in the place of the existing regular file `to`, in the same
// folder, in one step. `from` first takes the permissions, and where allowed
// the owner and group, of `to`, as far as the file system keeps them, and
// reaches the disk: a power cut leaves the old file or the new one.
int FileReplace(Path from, Path to);
// The names in a folder, "." and ".." left out.
int ListFolder(Path folder, std::vector<std::string>& names);

Handle StandardInputHandle();
Handle StandardOutputHandle();

std::string CurrentFolder();
int ChangeFolder(std::string_view path);
int MakeFolder(Path path);

Date LocalDate();
Time LocalTime();

// The program file's full path, in the program's own form ("\" separators).
std::string ProgramPath();
// The command line as one text, where the system hands it over so (Windows:
// the program splits it by its own rule); false where the arguments arrive
// split already (POSIX: main's argv).
bool RawCommandLine(std::string& line);

// Prepares the process (standard files, console and signals) before the
// first statement runs.
void StartProcess();
[[noreturn]] void EndProcess(unsigned code);

// Between these two, an interrupt (Ctrl-C, a closed terminal, a polite kill)
// waits: the console goes quiet, and the process ends the way that interrupt
// ends a program when ReleaseInterrupts comes. Outside, it ends the run at once.
void HoldInterrupts();
void ReleaseInterrupts();

// Writes one statement to standard output: a console or a terminal gets it
// in the characters it shows, a pipe or a file the bytes as they are.
int ConsoleWrite(Handle handle, std::string_view text, TextOrigin origin);

int ProcessId();
void Pause(int milliseconds);
// A clock that only goes forward, in milliseconds from some start.
std::int64_t Milliseconds();

// The folders where an installation keeps its configuration, in the order
// they are looked in after the program's own, in the program's own form: only
// for the program in the installation's program folder; none on Windows.
std::vector<std::string> ConfigurationFolders();
// A line of a file saved as UTF-8 (with its mark) in the bytes the program
// takes names in: the ANSI code page on Windows, where a character it cannot
// hold becomes "|" and the answer is false; the bytes as they are on POSIX.
bool AnsiFromUtf8(std::string& line);

}  // namespace TOLVEX_PLATFORM
