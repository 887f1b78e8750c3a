// The operating-system operations on 32-bit Windows, through kernel32 (and
// advapi32 for the owners of links). Paths are handed to the system as they
// come: "\" is its own separator.
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>
#include <aclapi.h>

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <map>
#include <string>
#include <vector>

#include "platform/platform.hpp"

namespace TOLVEX_PLATFORM {
namespace {

HANDLE ToHandle(Handle handle) { return reinterpret_cast<HANDLE>(handle); }
Handle FromHandle(HANDLE handle) { return reinterpret_cast<Handle>(handle); }

// The runtime reads 0 as success, so a failure that left no code still needs one.
int LastError() {
    const DWORD error = GetLastError();
    return error != 0 ? static_cast<int>(error) : ERROR_GEN_FAILURE;
}

int Result(BOOL ok) { return ok ? 0 : LastError(); }

// Other processes (a mailer, a tosser) may read and write the same files.
constexpr DWORD kShared = FILE_SHARE_READ | FILE_SHARE_WRITE;

// The path of each folder the run holds, and of each link it opened as the
// link, by handle: Windows reaches a name by its full path. A held folder is
// opened without FILE_SHARE_DELETE, so while the run holds it nobody can
// rename or remove it, nor any folder above it: its path keeps leading to it.
std::map<Handle, std::string>& HeldPaths() {
    static std::map<Handle, std::string> paths;
    return paths;
}

// A name in a held folder, as a full path; nothing (a path no call accepts)
// in a folder the run does not hold, never a name of the current folder.
std::string PathIn(Handle folder, std::string_view name) {
    const auto it = HeldPaths().find(folder);
    if (it == HeldPaths().end()) return {};
    std::string path = it->second;
    if (!path.empty() && path.back() != '\\' && path.back() != '/') path += '\\';
    return path.append(name);
}

bool Absolute(std::string_view path) {
    return (path.size() >= 2 && path[1] == ':') || (!path.empty() && (path.front() == '\\' || path.front() == '/'));
}

// The run's own user, for the owners of links.
PSID RunUser() {
    static std::vector<char> user = [] {
        std::vector<char> bytes;
        HANDLE token = nullptr;
        if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return bytes;
        DWORD size = 0;
        GetTokenInformation(token, TokenUser, nullptr, 0, &size);
        bytes.resize(size);
        if (size == 0 || !GetTokenInformation(token, TokenUser, bytes.data(), size, &size)) bytes.clear();
        CloseHandle(token);
        return bytes;
    }();
    return user.empty() ? nullptr : reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid;
}

Owner OwnerOf(HANDLE entry) {
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetSecurityInfo(entry, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr, nullptr,
                        &descriptor) != ERROR_SUCCESS)
        return Owner::Other;
    Owner whose = Owner::Other;
    if (RunUser() != nullptr && EqualSid(owner, RunUser()))
        whose = Owner::Run;
    else if (IsWellKnownSid(owner, WinBuiltinAdministratorsSid) || IsWellKnownSid(owner, WinLocalSystemSid))
        whose = Owner::System;
    LocalFree(descriptor);
    return whose;
}

// A symbolic link or a junction; other reparse points (deduplicated or
// placeholder files) are the files themselves.
bool IsLink(HANDLE entry) {
    FILE_ATTRIBUTE_TAG_INFO tag{};
    if (!GetFileInformationByHandleEx(entry, FileAttributeTagInfo, &tag, sizeof tag)) return false;
    return (tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 &&
           (tag.ReparseTag == IO_REPARSE_TAG_SYMLINK || tag.ReparseTag == IO_REPARSE_TAG_MOUNT_POINT);
}

// UTF-16 text in the bytes of a code page, never with a look-alike for a
// character the code page cannot hold: that one becomes `replacement`, and
// `lost` tells whether there was such a character.
std::string CodePageText(UINT codePage, const wchar_t* text, int length, const char* replacement,
                         bool* lost = nullptr) {
    if (lost != nullptr) *lost = false;
    if (length <= 0) return {};
    // A UTF-8 code page holds every character and takes no replacement.
    const bool utf8 = codePage == CP_UTF8;
    const DWORD flags = utf8 ? 0 : WC_NO_BEST_FIT_CHARS;
    if (utf8) replacement = nullptr;
    BOOL replaced = FALSE;
    BOOL* used = utf8 ? nullptr : &replaced;
    const int size = WideCharToMultiByte(codePage, flags, text, length, nullptr, 0, replacement, nullptr);
    std::string bytes(static_cast<std::size_t>(std::max(size, 0)), '\0');
    WideCharToMultiByte(codePage, flags, text, length, bytes.data(), size, replacement, used);
    if (lost != nullptr) *lost = replaced != FALSE;
    return bytes;
}

// Text the system hands over in UTF-16, in the ANSI code page the program's
// bytes are in. A character that code page cannot hold becomes "|", which no
// file name or address may hold, rather than a look-alike or a "?" that
// would request other files.
std::string AnsiText(const wchar_t* text, int length, bool* lost = nullptr) {
    return CodePageText(GetACP(), text, length, "|", lost);
}

// Bytes of a code page in UTF-16; empty when the system cannot convert them.
std::wstring WideText(UINT codePage, std::string_view text) {
    const int size = static_cast<int>(text.size());
    const int length = MultiByteToWideChar(codePage, 0, text.data(), size, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(std::max(length, 0)), L'\0');
    if (length == 0 || MultiByteToWideChar(codePage, 0, text.data(), size, wide.data(), length) != length) return {};
    return wide;
}

// What is typed at a console is read as UTF-16 and handed on in the ANSI code
// page, so that a name typed at the prompt gives the bytes it gives on the
// command line. (Read as bytes, it would come in the console's code page,
// which differs, with "?" for what that code page cannot hold.)
int ReadConsoleText(HANDLE console, char* buffer, int size, int& got) {
    // Up to three bytes a character in the ANSI code page.
    std::wstring typed(static_cast<std::size_t>(std::clamp(size / 3, 1, 4096)), L'\0');
    DWORD count = 0;
    if (!ReadConsoleW(console, typed.data(), static_cast<DWORD>(typed.size()), &count, nullptr)) return LastError();
    const std::string ansi = AnsiText(typed.data(), static_cast<int>(count));
    got = std::min(static_cast<int>(ansi.size()), size);
    std::memcpy(buffer, ansi.data(), static_cast<std::size_t>(got));
    return 0;
}

int MovePointer(Handle handle, std::int64_t distance, DWORD from, std::int64_t* position) {
    LARGE_INTEGER move{};
    move.QuadPart = distance;
    LARGE_INTEGER reached{};
    if (!SetFilePointerEx(ToHandle(handle), move, &reached, from)) return LastError();
    if (position != nullptr) *position = reached.QuadPart;
    return 0;
}

// Append-only: a handle with FILE_APPEND_DATA and without FILE_WRITE_DATA
// writes every time at the end of the file as it is then.
DWORD Rights(Access access) {
    switch (access) {
        case Access::Read:
            return GENERIC_READ;
        case Access::Append:
            return GENERIC_READ | FILE_APPEND_DATA;
        case Access::ReadWrite:
            break;
    }
    return GENERIC_READ | GENERIC_WRITE;
}

}  // namespace

// Without FILE_FLAG_BACKUP_SEMANTICS the system refuses to open a folder.
int FileOpen(std::string_view path, Access access, Handle& handle) {
    const HANDLE file = CreateFileA(std::string(path).c_str(), Rights(access), kShared, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return LastError();
    handle = FromHandle(file);
    return 0;
}

bool MeansAlreadyExists(int error) { return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS; }
bool MeansMissing(int error) { return error == ERROR_FILE_NOT_FOUND; }
int Refused() { return ERROR_ACCESS_DENIED; }

int FileRead(Handle handle, char* buffer, int size, int& got) {
    got = 0;
    DWORD mode = 0;
    if (ToHandle(handle) == GetStdHandle(STD_INPUT_HANDLE) && GetConsoleMode(ToHandle(handle), &mode))
        return ReadConsoleText(ToHandle(handle), buffer, size, got);
    DWORD read = 0;
    if (!ReadFile(ToHandle(handle), buffer, static_cast<DWORD>(size), &read, nullptr)) {
        // A pipe whose writer has gone is at its end, not in error.
        if (GetLastError() == ERROR_BROKEN_PIPE) return 0;
        return LastError();
    }
    got = static_cast<int>(read);
    return 0;
}

int FileWrite(Handle handle, const char* data, int size) {
    while (size > 0) {
        DWORD written = 0;
        if (!WriteFile(ToHandle(handle), data, static_cast<DWORD>(size), &written, nullptr)) return LastError();
        if (written == 0) return ERROR_WRITE_FAULT;
        data += written;
        size -= static_cast<int>(written);
    }
    return 0;
}

int FileSeek(Handle handle, std::int64_t position) { return MovePointer(handle, position, FILE_BEGIN, nullptr); }

int FileSeekEnd(Handle handle, std::int64_t& size) { return MovePointer(handle, 0, FILE_END, &size); }

// A handle that only appends (the log's) may not set the end: the same file
// is opened once more, through that handle, for writing.
int FileSetEnd(Handle handle) {
    if (SetEndOfFile(ToHandle(handle))) return 0;
    if (GetLastError() != ERROR_ACCESS_DENIED) return LastError();
    std::int64_t here = 0;
    if (const int error = MovePointer(handle, 0, FILE_CURRENT, &here)) return error;
    const HANDLE writer = ReOpenFile(ToHandle(handle), GENERIC_READ | GENERIC_WRITE, kShared, 0);
    if (writer == INVALID_HANDLE_VALUE) return LastError();
    int error = MovePointer(FromHandle(writer), here, FILE_BEGIN, nullptr);
    if (error == 0) error = Result(SetEndOfFile(writer));
    CloseHandle(writer);
    return error;
}

int FileClose(Handle handle) {
    HeldPaths().erase(handle);
    return Result(CloseHandle(ToHandle(handle)));
}

// The replaced file's attributes and security stay with its name (ReplaceFile).
int FileTakeOwner(Handle, Handle) { return 0; }

int FolderOpen(std::string_view path, Handle& folder, Handle base) {
    // "." is the base itself, under the same path: names in it stay as long.
    std::string full(path);
    if (base != kNoHandle) {
        const auto held = HeldPaths().find(base);
        if (held == HeldPaths().end()) return ERROR_INVALID_HANDLE;
        if (path == ".")
            full = held->second;
        else if (!Absolute(path))
            full = PathIn(base, path);
    }
    const HANDLE held = CreateFileA(full.c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | SYNCHRONIZE, kShared,
                                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (held == INVALID_HANDLE_VALUE) return LastError();
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(held, &info) || (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        CloseHandle(held);
        return ERROR_DIRECTORY;
    }
    folder = FromHandle(held);
    HeldPaths()[folder] = full;
    return 0;
}

// Opened with FILE_FLAG_OPEN_REPARSE_POINT: a link is the link itself. Only a
// file on a disk is a file: a device or a pipe given such a name is Other.
int EntryOpen(Handle folder, std::string_view name, const Want& want, Handle& entry, Facts& facts) {
    const std::string path = PathIn(folder, name);
    if (want.Folder && want.Make && !CreateDirectoryA(path.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
        return LastError();
    const DWORD rights = (want.Folder ? FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | SYNCHRONIZE : Rights(want.Mode)) |
                         READ_CONTROL;
    const DWORD disposition = !want.Folder && want.Make ? CREATE_NEW : OPEN_EXISTING;
    const DWORD flags = FILE_FLAG_OPEN_REPARSE_POINT | (want.Folder ? FILE_FLAG_BACKUP_SEMANTICS : FILE_ATTRIBUTE_NORMAL);
    HANDLE opened = CreateFileA(path.c_str(), rights, kShared, nullptr, disposition, flags, nullptr);
    BY_HANDLE_FILE_INFORMATION info{};
    const bool link = opened != INVALID_HANDLE_VALUE && IsLink(opened);
    // Another kind of reparse point (a deduplicated or placeholder file) is
    // the file itself: opened again through it, as the system opens files.
    if (opened != INVALID_HANDLE_VALUE && !link && GetFileInformationByHandle(opened, &info) &&
        (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        CloseHandle(opened);
        opened = CreateFileA(path.c_str(), rights, kShared, nullptr, disposition, flags & ~FILE_FLAG_OPEN_REPARSE_POINT,
                             nullptr);
    }
    if (opened == INVALID_HANDLE_VALUE) return LastError();
    if (!GetFileInformationByHandle(opened, &info)) {
        const int error = LastError();
        CloseHandle(opened);
        return error;
    }
    const bool isFolder = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (link) {
        facts = {Kind::Link, OwnerOf(opened), info.nNumberOfLinks};
    } else {
        const bool disk = GetFileType(opened) == FILE_TYPE_DISK;
        facts = {isFolder ? Kind::Folder : disk ? Kind::File : Kind::Other, Owner::Run, info.nNumberOfLinks};
    }
    entry = FromHandle(opened);
    if (facts.What == Kind::Folder || facts.What == Kind::Link) HeldPaths()[entry] = path;
    return 0;
}

// The file a link leads to, opened through it (the link, held open, cannot be
// swapped meanwhile): its full path.
int LinkTarget(Handle link, std::string& target) {
    const auto it = HeldPaths().find(link);
    if (it == HeldPaths().end()) return ERROR_INVALID_HANDLE;
    const HANDLE through = CreateFileA(it->second.c_str(), 0, kShared | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                       FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (through == INVALID_HANDLE_VALUE) return LastError();
    std::string path(MAX_PATH, '\0');
    DWORD length = GetFinalPathNameByHandleA(through, path.data(), static_cast<DWORD>(path.size()), VOLUME_NAME_DOS);
    if (length >= path.size()) {
        path.resize(length);
        length = GetFinalPathNameByHandleA(through, path.data(), static_cast<DWORD>(path.size()), VOLUME_NAME_DOS);
    }
    const int error = length == 0 || length >= path.size() ? LastError() : 0;
    CloseHandle(through);
    if (error != 0) return error;
    path.resize(length);
    if (path.rfind("\\\\?\\UNC\\", 0) == 0)
        path = "\\\\" + path.substr(8);
    else if (path.rfind("\\\\?\\", 0) == 0)
        path = path.substr(4);
    target = path;
    return 0;
}

int EntryRemove(Handle folder, std::string_view name) { return Result(DeleteFileA(PathIn(folder, name).c_str())); }

// A file that is open cannot take another's place: both handles are let go,
// the copy once it reached the disk. The replaced file's attributes and
// security stay with its name.
int EntryReplace(Handle folder, std::string_view from, Handle& copy, std::string_view to, Handle& old) {
    const BOOL flushed = FlushFileBuffers(ToHandle(copy));
    const int flushError = flushed ? 0 : LastError();
    CloseHandle(ToHandle(copy));
    copy = kNoHandle;
    if (old != kNoHandle) CloseHandle(ToHandle(old));
    old = kNoHandle;
    if (flushError != 0) return flushError;
    return Result(ReplaceFileA(PathIn(folder, to).c_str(), PathIn(folder, from).c_str(), nullptr,
                               REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr));
}

int ListFolder(Handle folder, std::vector<std::string>& names) {
    WIN32_FIND_DATAA found{};
    const HANDLE search = FindFirstFileA(PathIn(folder, "*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return LastError();
    do {
        const std::string_view name(found.cFileName);
        if (name != "." && name != "..") names.emplace_back(name);
    } while (FindNextFileA(search, &found));
    const DWORD error = GetLastError();
    FindClose(search);
    return error == ERROR_NO_MORE_FILES ? 0 : static_cast<int>(error);
}

Handle StandardInputHandle() { return FromHandle(GetStdHandle(STD_INPUT_HANDLE)); }
Handle StandardOutputHandle() { return FromHandle(GetStdHandle(STD_OUTPUT_HANDLE)); }

Date LocalDate() {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    return {now.wYear, now.wMonth, now.wDay};
}

Time LocalTime() {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    return {now.wHour, now.wMinute, now.wSecond};
}

std::string ProgramPath() {
    std::string path(MAX_PATH, '\0');
    while (true) {
        const DWORD length = GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
        // A full buffer means the path may have been cut: try a larger one.
        if (length < path.size() || path.size() >= 32768) {
            path.resize(length < path.size() ? length : 0);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

// The raw command line, not argv: the C runtime's own split treats quotes and
// backslashes differently from the program's rule. It is taken in UTF-16 so
// that a character the ANSI code page cannot hold is seen (AnsiText).
bool RawCommandLine(std::string& line) {
    const wchar_t* wide = GetCommandLineW();
    line = AnsiText(wide, static_cast<int>(std::wcslen(wide)));
    return true;
}

namespace {

// Ctrl-C, Ctrl-Break and a closed console, while a busy flag is held.
CRITICAL_SECTION interruptLock;
bool holdingInterrupts = false;
bool interruptWaiting = false;

// Runs on a thread of its own that the system starts for the event.
BOOL WINAPI OnConsoleControl(DWORD event) {
    EnterCriticalSection(&interruptLock);
    // Not held: the end the system's own handler gives, at once. The lock
    // stays taken, so that no flag can be taken before the process is gone.
    if (!holdingInterrupts) ExitProcess(static_cast<UINT>(STATUS_CONTROL_C_EXIT));
    interruptWaiting = true;
    LeaveCriticalSection(&interruptLock);
    // A closed console ends the process as soon as this returns: wait here
    // until the address in hand is finished and the main thread ends it.
    if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT) Sleep(INFINITE);
    return TRUE;
}

}  // namespace

void StartProcess() {
    // A missing disk or drive must fail the operation, not wait for a dialog.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    InitializeCriticalSection(&interruptLock);
    SetConsoleCtrlHandler(OnConsoleControl, TRUE);
}

void EndProcess(unsigned code) { ExitProcess(code); }

void HoldInterrupts() {
    EnterCriticalSection(&interruptLock);
    holdingInterrupts = true;
    interruptWaiting = false;
    LeaveCriticalSection(&interruptLock);
}

void ReleaseInterrupts() {
    EnterCriticalSection(&interruptLock);
    holdingInterrupts = false;
    const bool interrupted = interruptWaiting;
    LeaveCriticalSection(&interruptLock);
    if (interrupted) ExitProcess(static_cast<UINT>(STATUS_CONTROL_C_EXIT));
}

// A console shows UTF-16 characters, whatever its code page: the program's
// own texts are read as CP866 and the user's as the ANSI code page, so both
// are readable without "chcp". A pipe or a file gets the program's own texts
// as their CP866 bytes and the user's in the OEM code page, without
// look-alikes ("?" for what it cannot hold): as cmd's own commands write into
// a pipe or a file, and so that on a Russian system (ANSI 1251, OEM 866) the
// whole output is in one code page that "type" and "more" show.
int ConsoleWrite(Handle handle, std::string_view text, TextOrigin origin) {
    DWORD mode = 0;
    const int size = static_cast<int>(text.size());
    if (!GetConsoleMode(ToHandle(handle), &mode)) {
        // ASCII is the same in every code page.
        const bool ascii = std::all_of(text.begin(), text.end(), [](char c) { return (c & 0x80) == 0; });
        if (origin == TextOrigin::Own || ascii) return FileWrite(handle, text.data(), size);
        const std::wstring wide = WideText(CP_ACP, text);
        if (wide.empty()) return FileWrite(handle, text.data(), size);
        const std::string oem = CodePageText(GetOEMCP(), wide.data(), static_cast<int>(wide.size()), "?");
        return FileWrite(handle, oem.data(), static_cast<int>(oem.size()));
    }
    const std::wstring wide = WideText(origin == TextOrigin::Own ? 866 : CP_ACP, text);
    if (wide.empty()) return FileWrite(handle, text.data(), size);
    for (std::size_t done = 0; done < wide.size();) {
        DWORD written = 0;
        if (!WriteConsoleW(ToHandle(handle), wide.data() + done, static_cast<DWORD>(wide.size() - done), &written,
                           nullptr))
            return LastError();
        if (written == 0) return ERROR_WRITE_FAULT;
        done += written;
    }
    return 0;
}

int ProcessId() { return static_cast<int>(GetCurrentProcessId()); }

std::vector<std::string> ConfigurationFolders() { return {}; }

// Through UTF-16, as the command line comes: a byte that is no UTF-8 becomes
// U+FFFD on the way, which no ANSI code page holds either.
bool AnsiFromUtf8(std::string& line) {
    if (line.empty() || GetACP() == CP_UTF8) return true;
    const std::wstring wide = WideText(CP_UTF8, line);
    bool lost = false;
    line = AnsiText(wide.data(), static_cast<int>(wide.size()), &lost);
    return !lost;
}

void Pause(int milliseconds) { Sleep(static_cast<DWORD>(milliseconds)); }

std::int64_t Milliseconds() { return static_cast<std::int64_t>(GetTickCount64()); }

}  // namespace TOLVEX_PLATFORM
