// The operating-system operations the runtime needs, and nothing more.
// Implemented once in runtime/posix/ and once in runtime/win32/ (kernel32 only).
// Every operation that can fail returns 0 or the system's error code; the
// runtime turns that code into the pending I/O error.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

using Handle = std::intptr_t;
inline constexpr Handle kNoHandle = -1;

enum class Access { Read, ReadWrite };

// Paths arrive in the program's own form ("\" separators).
int FileOpen(std::string_view path, Access access, Handle& handle);  // must exist; never a directory
int FileCreate(std::string_view path, Handle& handle);                // creates or empties; read and write
int FileCreateNew(std::string_view path, Handle& handle);             // fails when it exists already
bool MeansAlreadyExists(int error);  // the error of creating what exists already
int FileRead(Handle handle, char* buffer, int size, int& got);
int FileWrite(Handle handle, const char* data, int size);
int FileSeek(Handle handle, std::int64_t position);
int FileSeekEnd(Handle handle, std::int64_t& size);  // to the end; size is the new position
int FileSetEnd(Handle handle);                       // the file ends at the current position
int FileClose(Handle handle);
bool FileIsDevice(Handle handle);  // a console, a character device or a pipe
int FileDelete(std::string_view path);
int FileReplace(std::string_view from, std::string_view to);  // one step, replacing `to`

Handle StandardInput();
Handle StandardOutput();

std::string CurrentDirectory();
int ChangeDirectory(std::string_view path);
int MakeDirectory(std::string_view path);

struct Date {
    std::int32_t year, month, day, dayOfWeek;
};
struct Time {
    std::int32_t hour, minute, second, hundredths;
};
Date LocalDate();
Time LocalTime();

// The program file's full path, in the program's own form ("\" separators).
std::string ProgramPath();
// The arguments after the program name.
std::vector<std::string> Arguments(int argc, char** argv);

// Prepares the process (console and signals) before the first statement runs.
void StartProcess();
[[noreturn]] void EndProcess(unsigned code);

// The program's own console text in the form the terminal shows it.
std::string DisplayForm(std::string_view ownText);

int ProcessId();
void Pause(int milliseconds);

}  // namespace platform
