// The operating-system operations the runtime needs, and nothing more.
// Implemented once in platform/posix/ and once in platform/win32/.
// Every operation that can fail returns 0 or the system's error code, which
// its caller must look at.
#pragma once

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

// What an entry of a held folder is, taken as it is: a symbolic link (on
// Windows a symbolic link or a junction) is the link itself, not where it
// leads.
enum class Kind { File, Folder, Link, Other };
// Whose an entry is: the run's own user; the system's (root; on Windows the
// Administrators group or SYSTEM); anyone else's.
enum class Owner { Run, System, Other };
struct Facts {
    Kind What = Kind::Other;
    Owner Whose = Owner::Other;
    std::uint32_t Names = 1;  // how many names (hard links) the file has
};

// What an entry of a held folder is opened for.
struct Want {
    bool Folder = false;            // a folder, else a file
    Access Mode = Access::ReadWrite;  // a file's access
    bool Make = false;              // a file: made new, never one that is there; a folder: made when missing
    bool Exact = false;             // the name as the file system spells it (a link's target), not in the program's form
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

// Paths arrive in the program's own form ("\" separators). The sysop's own
// files (the configuration, lists) are opened by path, as the system finds
// them; an existing file, never a folder.
[[nodiscard]] int FileOpen(std::string_view path, Access access, Handle& handle);
bool MeansAlreadyExists(int error);  // the error of making what is there already
bool MeansMissing(int error);        // the error of opening what is not there
int Refused();                       // the error of a name that may not be used so
[[nodiscard]] int FileRead(Handle handle, char* buffer, int size, int& got);
[[nodiscard]] int FileWrite(Handle handle, const char* data, int size);  // all of it, or an error
[[nodiscard]] int FileSeek(Handle handle, std::int64_t position);
[[nodiscard]] int FileSeekEnd(Handle handle, std::int64_t& size);  // to the end; size is the new position
// The file ends at the current position; a handle that only appends may cut too.
[[nodiscard]] int FileSetEnd(Handle handle);
[[nodiscard]] int FileClose(Handle handle);  // a file's or a held folder's
// The file's owner, group and permissions become those of `model`'s, as far
// as the process may give them away and the file system keeps them.
[[nodiscard]] int FileTakeOwner(Handle file, Handle model);

// Folders the run holds open. Below the folder a path names, every name is
// reached through the folder that holds it, never looked up again from the
// root: what others rename or plant meanwhile cannot steer the run elsewhere.
//
// A folder by its path, as the system finds it (the sysop's own part: OUTBOUND,
// the log's folder, where a followed link leads); relative to `base` when the
// path is relative and a base is given, else to the current folder.
[[nodiscard]] int FolderOpen(std::string_view path, Handle& folder, Handle base = kNoHandle);
// An entry of a held folder, as it is: a link is opened as the link itself
// (Facts::What is Kind::Link), anything else as `want` asks; a file without
// waiting (a FIFO is not waited on). Where the run is root, what it makes is
// given to the owner and group of the folder; what it makes in a folder its
// group may write to is the group's to write too.
[[nodiscard]] int EntryOpen(Handle folder, std::string_view name, const Want& want, Handle& entry, Facts& facts);
// Where a link that EntryOpen opened leads, as its owner wrote it: relative to
// the link's folder, or a full path.
[[nodiscard]] int LinkTarget(Handle link, std::string& target);
[[nodiscard]] int EntryRemove(Handle folder, std::string_view name);
// Puts the file `from`, open as `copy`, in the place of the file `to` of the
// same held folder in one step, after it reached the disk: a power cut leaves
// the old file or the new one. Afterwards `copy` is the file under the name
// `to` and `old` (the file that was there, when open) can still be read,
// where the system lets them stay open; where it does not (Windows), both
// are closed and set to kNoHandle.
[[nodiscard]] int EntryReplace(Handle folder, std::string_view from, Handle& copy, std::string_view to, Handle& old);
// The names in a held folder, "." and ".." left out.
[[nodiscard]] int ListFolder(Handle folder, std::vector<std::string>& names);

Handle StandardInputHandle();
Handle StandardOutputHandle();

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
// in the characters it shows; a pipe or a file the bytes as they are, but on
// Windows the user's texts there in the OEM code page, as the system's own
// commands write them.
[[nodiscard]] int ConsoleWrite(Handle handle, std::string_view text, TextOrigin origin);

int ProcessId();
void Pause(int milliseconds);
// A clock that only goes forward, in milliseconds from some start.
std::int64_t Milliseconds();

// The folders where an installation keeps its configuration, in the order
// they are looked in after the program's own, in the program's own form: only
// for the program in the installation's program folder; none on Windows.
std::vector<std::string> ConfigurationFolders();
// A line of a file saved as UTF-8 in the bytes the program
// takes names in: the ANSI code page on Windows, where a character it cannot
// hold becomes "|" and the answer is false; the bytes as they are on POSIX.
bool AnsiFromUtf8(std::string& line);

}  // namespace TOLVEX_PLATFORM
