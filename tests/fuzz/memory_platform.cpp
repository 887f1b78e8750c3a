// The platform operations over files held in memory. Names are taken exactly
// as given; directories always exist; the clock stands still.
#include "fuzz/memory_platform.hpp"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "platform/platform.hpp"

namespace {

struct OpenFile {
    std::string name;
    std::int64_t position = 0;
    bool append = false;  // every write goes to the end
};

struct State {
    std::map<std::string, std::string, std::less<>> files;
    std::map<platform::Handle, OpenFile> open;
    std::map<platform::Handle, std::string> folders;  // held folders, by the path they were opened as
    platform::Handle next = 10;
    std::string console;
};

State& Memory() {
    static State state;
    return state;
}

int Open(std::string_view path, platform::Handle& handle, platform::Access access = platform::Access::ReadWrite) {
    State& memory = Memory();
    handle = memory.next++;
    memory.open[handle] = {std::string(path), 0, access == platform::Access::Append};
    return 0;
}

}  // namespace

namespace memory_platform {

void Reset() { Memory() = State(); }

void PutFile(std::string_view name, std::string_view bytes) { Memory().files[std::string(name)] = std::string(bytes); }

std::optional<std::string> GetFile(std::string_view name) {
    const auto it = Memory().files.find(name);
    if (it == Memory().files.end()) return std::nullopt;
    return it->second;
}

const std::string& ConsoleBytes() { return Memory().console; }

}  // namespace memory_platform

namespace platform {

int FileOpen(std::string_view path, Access access, Handle& handle) {
    if (path.empty() || Memory().files.find(path) == Memory().files.end()) return ENOENT;
    return Open(path, handle, access);
}

bool MeansAlreadyExists(int error) { return error == EEXIST; }
bool MeansMissing(int error) { return error == ENOENT; }
int Refused() { return EACCES; }

int FileRead(Handle handle, char* buffer, int size, int& got) {
    got = 0;
    if (handle == StandardInputHandle()) return 0;
    const auto it = Memory().open.find(handle);
    if (it == Memory().open.end()) return EBADF;
    const std::string& bytes = Memory().files[it->second.name];
    const std::int64_t left = static_cast<std::int64_t>(bytes.size()) - it->second.position;
    if (left <= 0) return 0;
    got = static_cast<int>(std::min<std::int64_t>(left, size));
    std::memcpy(buffer, bytes.data() + it->second.position, static_cast<std::size_t>(got));
    it->second.position += got;
    return 0;
}

int FileWrite(Handle handle, const char* data, int size) {
    const auto it = Memory().open.find(handle);
    if (it == Memory().open.end()) return EBADF;
    std::string& bytes = Memory().files[it->second.name];
    if (it->second.append) it->second.position = static_cast<std::int64_t>(bytes.size());
    const auto at = static_cast<std::size_t>(it->second.position);
    if (bytes.size() < at + static_cast<std::size_t>(size)) bytes.resize(at + static_cast<std::size_t>(size));
    bytes.replace(at, static_cast<std::size_t>(size), data, static_cast<std::size_t>(size));
    it->second.position += size;
    return 0;
}

int FileSeek(Handle handle, std::int64_t position) {
    const auto it = Memory().open.find(handle);
    if (it == Memory().open.end() || position < 0) return EINVAL;
    it->second.position = position;
    return 0;
}

int FileSeekEnd(Handle handle, std::int64_t& size) {
    const auto it = Memory().open.find(handle);
    if (it == Memory().open.end()) return EINVAL;
    size = it->second.position = static_cast<std::int64_t>(Memory().files[it->second.name].size());
    return 0;
}

int FileSetEnd(Handle handle) {
    const auto it = Memory().open.find(handle);
    if (it == Memory().open.end()) return EINVAL;
    Memory().files[it->second.name].resize(static_cast<std::size_t>(it->second.position));
    return 0;
}

int FileClose(Handle handle) {
    if (Memory().folders.erase(handle) == 1) return 0;
    const auto it = Memory().open.find(handle);
    if (it == Memory().open.end()) return EBADF;
    // A replaced file is gone once nothing holds it.
    if (it->second.name.starts_with("\\replaced\\")) Memory().files.erase(it->second.name);
    Memory().open.erase(it);
    return 0;
}

int FileTakeOwner(Handle, Handle) { return 0; }

// Folders always exist; names in them are the folder's path, "\\" and the name.
int FolderOpen(std::string_view path, Handle& folder, Handle base) {
    std::string full(path);
    if (base != kNoHandle) full = path == "." ? Memory().folders[base] : Memory().folders[base] + "\\" + full;
    while (full.size() > 1 && full.back() == '\\') full.pop_back();
    folder = Memory().next++;
    Memory().folders[folder] = full;
    return 0;
}

namespace {
std::string InFolder(Handle folder, std::string_view name) { return Memory().folders[folder] + "\\" + std::string(name); }
}  // namespace

int EntryOpen(Handle folder, std::string_view name, const Want& want, Handle& entry, Facts& facts) {
    const std::string path = InFolder(folder, name);
    if (want.Folder) {
        facts = {Kind::Folder, Owner::Run, 1};
        return FolderOpen(path, entry);
    }
    const bool there = Memory().files.find(path) != Memory().files.end();
    if (want.Make && there) return EEXIST;
    if (!want.Make && !there) return ENOENT;
    if (want.Make) Memory().files[path].clear();
    facts = {Kind::File, Owner::Run, 1};
    return Open(path, entry, want.Mode);
}

int LinkTarget(Handle, std::string&) { return EINVAL; }

int EntryRemove(Handle folder, std::string_view name) {
    const auto it = Memory().files.find(InFolder(folder, name));
    if (it == Memory().files.end()) return ENOENT;
    Memory().files.erase(it);
    return 0;
}

// As on POSIX: both handles stay open, the old one on what it held.
int EntryReplace(Handle folder, std::string_view from, Handle& copy, std::string_view to, Handle& old) {
    const auto it = Memory().files.find(InFolder(folder, from));
    if (it == Memory().files.end()) return ENOENT;
    const std::string target = InFolder(folder, to);
    if (old != kNoHandle) {
        const std::string kept = "\\replaced\\" + std::to_string(old);
        Memory().files[kept] = Memory().files[target];
        Memory().open[old].name = kept;
    }
    Memory().files[target] = std::move(it->second);
    Memory().files.erase(it);
    Memory().open[copy].name = target;
    return 0;
}

// The files whose names begin with the folder and a "\\".
int ListFolder(Handle folder, std::vector<std::string>& names) {
    const std::string prefix = Memory().folders[folder] + "\\";
    for (const auto& [name, bytes] : Memory().files)
        if (name.starts_with(prefix) && name.find('\\', prefix.size()) == std::string::npos)
            names.push_back(name.substr(prefix.size()));
    return 0;
}

Handle StandardInputHandle() { return 0; }
Handle StandardOutputHandle() { return 1; }

Date LocalDate() { return {2026, 12, 7}; }
Time LocalTime() { return {21, 5, 9}; }

std::string ProgramPath() { return "\\FIDO\\TOLVEX.EXE"; }
bool RawCommandLine(std::string&) { return false; }
void StartProcess() {}
void HoldInterrupts() {}
void ReleaseInterrupts() {}
void EndProcess(unsigned) { std::abort(); }  // no fuzz target ends the process
int ConsoleWrite(Handle, std::string_view text, TextOrigin) {
    Memory().console.append(text);
    return 0;
}
int ProcessId() { return 4711; }
// The clock goes on only while the program pauses.
static std::int64_t pausedFor = 0;
void Pause(int milliseconds) { pausedFor += milliseconds; }
std::int64_t Milliseconds() { return pausedFor; }
// No installation: the configuration is found beside the program or named.
std::vector<std::string> ConfigurationFolders() { return {}; }
bool AnsiFromUtf8(std::string&) { return true; }

}  // namespace platform
