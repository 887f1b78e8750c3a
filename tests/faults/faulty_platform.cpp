// The platform with one operation made to fail: every fallible file and
// directory operation is counted, and the one whose number is in
// TOLVEX_FAIL_AT fails with the error a real system gives for it (no space for
// writes, after half of the bytes when TOLVEX_FAIL_SHORT is set; access denied
// for opens and creates, and so on); every other call
// goes to the real operations, compiled a second time as platform_system.
// At the end of the process the report (fault_report.hpp) goes to the file
// named by TOLVEX_FAULT_COUNT.
// A run is kept inside the folder named by TOLVEX_FAULT_ROOT: a path outside
// it is refused (access denied) and reported, so that a run misled by a fault
// never touches the rest of the machine.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "faults/fault_report.hpp"
#include "platform/platform.hpp"  // compiled with TOLVEX_PLATFORM=platform_system: the real operations

namespace {

struct Recorder {
    FaultReport report;
    long failAt = 0;
    bool shortWrites = false;  // a failing write writes half of its bytes first
    std::map<platform::Handle, std::string> names;  // the name each open handle was opened under
    long consoleBytes = 0;  // bytes that reached standard output
    std::string root;       // the folder the run is kept in, in capitals, "/" separated

    // The program's own clock, for a busy wait timed without the machine's
    // load: with TOLVEX_STILL_CLOCK set it goes on only while the program
    // pauses, and a pause takes no time; TOLVEX_VANISH_AT ("<ms> <path>")
    // removes the file at path once that clock reaches ms.
    bool stillClock = false;
    long vanishAt = -1;
    std::string vanishing;
    // A link's owner as Windows would report it: TOLVEX_LINK_OWNER names the
    // end of the link's name and the owner.
    std::string linkOwned;
    platform::Owner linkOwner = platform::Owner::Other;
    // Another program that adds a line to a file (open, write, close; the
    // file made when missing) right before the run's first operation of a
    // kind on a file of that name: TOLVEX_ADD_BEFORE ("<operation> <path>
    // <line>").
    std::string addBefore, adding, added;

    Recorder() {
        stillClock = std::getenv("TOLVEX_STILL_CLOCK") != nullptr;
        if (const char* vanish = std::getenv("TOLVEX_VANISH_AT")) {
            const std::string_view text(vanish);
            vanishAt = std::atol(vanish);
            vanishing = std::string(text.substr(text.find(' ') + 1));
        }
        if (const char* at = std::getenv("TOLVEX_FAIL_AT")) failAt = std::atol(at);
        if (const char* add = std::getenv("TOLVEX_ADD_BEFORE")) {
            std::istringstream fields(add);
            fields >> addBefore >> adding >> added;
            added += "\r\n";
        }
        if (const char* link = std::getenv("TOLVEX_LINK_OWNER")) {
            const std::string_view text(link);
            const std::string_view owner = text.substr(text.find(' ') + 1);
            linkOwned = std::string(text.substr(0, text.find(' ')));
            linkOwner = owner == "Run" ? platform::Owner::Run : owner == "System" ? platform::Owner::System : platform::Owner::Other;
        }
        shortWrites = std::getenv("TOLVEX_FAIL_SHORT") != nullptr;
        if (const char* folder = std::getenv("TOLVEX_FAULT_ROOT")) root = Canonical(folder);
    }

    static std::string Canonical(std::string_view path) {
        std::string canonical(path);
        for (char& c : canonical) {
            if (c == '\\') c = '/';
            if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
        }
        return canonical;
    }

    // Relative paths stay below the current folder, which the run starts in.
    bool Outside(std::string_view path) {
        if (root.empty() || path.empty() || (path.front() != '/' && path.front() != '\\')) return false;
        const std::string canonical = Canonical(path);
        if (canonical == root || canonical.rfind(root + "/", 0) == 0) return false;
        report.outside.push_back(canonical);
        return true;
    }

    std::string NameOf(platform::Handle handle) const {
        if (handle == platform_system::StandardOutputHandle()) return "<standard output>";
        if (handle == platform_system::StandardInputHandle()) return "<standard input>";
        const auto it = names.find(handle);
        return it != names.end() ? it->second : "<handle " + std::to_string(handle) + ">";
    }

    // Counts one operation; true when it is the one to fail.
    bool Next(const char* operation, const std::string& name) {
        if (!adding.empty() && addBefore == operation &&
            Canonical(name).ends_with(Canonical(adding.substr(adding.rfind('/'))))) {
            if (std::FILE* other = std::fopen(adding.c_str(), "ab")) {
                std::fwrite(added.data(), 1, added.size(), other);
                std::fclose(other);
            }
            adding.clear();
        }
        const bool fail = ++report.operations == failAt;
        if (fail) report.failedAt = failAt, report.failedOperation = operation, report.failedName = name;
        return fail;
    }

    int Done(const char* operation, const std::string& name, int result) {
        report.trace += std::to_string(report.operations) + " " + operation + " " + name + " " + std::to_string(result) + "\n";
        return result;
    }

    void Report() const {
        const char* path = std::getenv("TOLVEX_FAULT_COUNT");
        if (path == nullptr) return;
        if (std::FILE* out = std::fopen(path, "wb")) {
            const std::string text = FormatFaultReport(report);
            std::fwrite(text.data(), 1, text.size(), out);
            std::fclose(out);
        }
    }
};

Recorder& Faults() {
    static Recorder recorder;
    return recorder;
}

// An operation on a path: fails with `error`, or runs for real.
template <typename Operation>
int OnPath(const char* name, std::string_view path, int error, Operation operation) {
    Recorder& faults = Faults();
    const std::string what(path);
    if (faults.Next(name, what)) return faults.Done(name, what, error);
    if (faults.Outside(path)) return faults.Done(name, what, EACCES);
    return faults.Done(name, what, operation());
}

// An open: remembers the handle's name for the trace.
template <typename Operation>
int Opening(const char* name, const std::string& path, platform::Handle& handle, Operation operation) {
    const int result = OnPath(name, path, EACCES, operation);
    if (result == 0) Faults().names[handle] = path;
    return result;
}

// The name of an entry of a held folder, as the program would name it.
std::string InFolder(platform::Handle folder, std::string_view name) {
    std::string path = Faults().NameOf(folder);
    while (!path.empty() && (path.back() == '\\' || path.back() == '/')) path.pop_back();
    if (name == ".") return path;
    return path + "\\" + std::string(name);
}

// An operation on an open handle.
template <typename Operation>
int OnHandle(const char* name, platform::Handle handle, int error, Operation operation) {
    Recorder& faults = Faults();
    const std::string what = faults.NameOf(handle);
    if (faults.Next(name, what)) return faults.Done(name, what, error);
    return faults.Done(name, what, operation());
}

// A write: made to fail with no space left, after half of its bytes when
// short writes are asked for (a disk that fills in the middle of a write);
// `shown` tells how many bytes went through.
template <typename Write>
int Writing(const char* name, platform::Handle handle, std::string_view bytes, Write write, std::size_t& shown) {
    Recorder& faults = Faults();
    const std::string what = faults.NameOf(handle);
    if (faults.Next(name, what)) {
        shown = faults.shortWrites ? bytes.size() / 2 : 0;
        if (shown > 0) write(bytes.substr(0, shown));
        return faults.Done(name, what, ENOSPC);
    }
    const int result = faults.Done(name, what, write(bytes));
    shown = result == 0 ? bytes.size() : 0;
    return result;
}

}  // namespace

namespace platform {

int FileOpen(std::string_view path, Access access, Handle& handle) {
    return Opening("open", std::string(path), handle, [&] { return platform_system::FileOpen(path, access, handle); });
}

bool MeansAlreadyExists(int error) { return platform_system::MeansAlreadyExists(error); }
bool MeansMissing(int error) { return platform_system::MeansMissing(error); }
int Refused() { return platform_system::Refused(); }

int FileRead(Handle handle, char* buffer, int size, int& got) {
    got = 0;
    return OnHandle("read", handle, EIO, [&] { return platform_system::FileRead(handle, buffer, size, got); });
}

int FileWrite(Handle handle, const char* data, int size) {
    std::size_t shown = 0;
    return Writing("write", handle, std::string_view(data, static_cast<std::size_t>(size)),
                   [&](std::string_view bytes) {
                       return platform_system::FileWrite(handle, bytes.data(), static_cast<int>(bytes.size()));
                   },
                   shown);
}

int FileSeek(Handle handle, std::int64_t position) {
    return OnHandle("seek", handle, EIO, [&] { return platform_system::FileSeek(handle, position); });
}

int FileSeekEnd(Handle handle, std::int64_t& size) {
    return OnHandle("seek-end", handle, EIO, [&] { return platform_system::FileSeekEnd(handle, size); });
}

int FileSetEnd(Handle handle) {
    return OnHandle("set-end", handle, ENOSPC, [&] { return platform_system::FileSetEnd(handle); });
}

int FileClose(Handle handle) {
    Recorder& faults = Faults();
    // A failed close still lets the handle go, as close() does.
    const int real = [&] {
        const std::string what = faults.NameOf(handle);
        const bool fail = faults.Next("close", what);
        const int result = platform_system::FileClose(handle);
        return faults.Done("close", what, fail ? ENOSPC : result);
    }();
    faults.names.erase(handle);
    return real;
}

int FileTakeOwner(Handle file, Handle model) {
    return OnHandle("take-owner", file, EACCES, [&] { return platform_system::FileTakeOwner(file, model); });
}

int FolderOpen(std::string_view path, Handle& folder, Handle base) {
    const bool relative = base != kNoHandle && !path.empty() && path.front() != '/' && path.front() != '\\';
    const std::string name = relative ? InFolder(base, path) : std::string(path);
    return Opening("open-folder", name, folder, [&] { return platform_system::FolderOpen(path, folder, base); });
}

// A folder's open, a file's open, and the making of either are counted as
// such; what each found is what the real system found, but for the owner of
// a link named in TOLVEX_LINK_OWNER ("<name> <Run|System|Other>"), which is
// given as Windows would give that of a link or junction.
int EntryOpen(Handle folder, std::string_view name, const Want& want, Handle& entry, Facts& facts) {
    const char* operation = want.Folder ? (want.Make ? "make-folder" : "open-folder") : want.Make ? "create-new" : "open";
    const int result = Opening(operation, InFolder(folder, name), entry,
                               [&] { return platform_system::EntryOpen(folder, name, want, entry, facts); });
    Recorder& faults = Faults();
    if (result == 0 && facts.What == Kind::Link && !faults.linkOwned.empty() &&
        InFolder(folder, name).ends_with(faults.linkOwned))
        facts.Whose = faults.linkOwner;
    return result;
}

int LinkTarget(Handle link, std::string& target) {
    return OnHandle("read-link", link, EIO, [&] { return platform_system::LinkTarget(link, target); });
}

int EntryRemove(Handle folder, std::string_view name) {
    return OnPath("delete", InFolder(folder, name), EACCES, [&] { return platform_system::EntryRemove(folder, name); });
}

// Once replaced, the copy's handle is the file of that name, and the old one's
// a file without a name.
int EntryReplace(Handle folder, std::string_view from, Handle& copy, std::string_view to, Handle& old) {
    const std::string both = InFolder(folder, from) + " -> " + InFolder(folder, to);
    const int result =
        OnPath("replace", both, EACCES, [&] { return platform_system::EntryReplace(folder, from, copy, to, old); });
    if (result == 0 && copy != kNoHandle) Faults().names[copy] = InFolder(folder, to);
    if (result == 0 && old != kNoHandle) Faults().names[old] = InFolder(folder, to) + "#replaced";
    return result;
}

int ListFolder(Handle folder, std::vector<std::string>& names) {
    return OnPath("list-folder", InFolder(folder, "."), EIO, [&] { return platform_system::ListFolder(folder, names); });
}

Handle StandardInputHandle() { return platform_system::StandardInputHandle(); }
Handle StandardOutputHandle() { return platform_system::StandardOutputHandle(); }

Date LocalDate() { return platform_system::LocalDate(); }

Time LocalTime() { return platform_system::LocalTime(); }

std::string ProgramPath() { return platform_system::ProgramPath(); }
bool RawCommandLine(std::string& line) { return platform_system::RawCommandLine(line); }
void StartProcess() { platform_system::StartProcess(); }
void HoldInterrupts() { platform_system::HoldInterrupts(); }
void ReleaseInterrupts() { platform_system::ReleaseInterrupts(); }

void EndProcess(unsigned code) {
    Faults().Report();
    platform_system::EndProcess(code);
}

int ConsoleWrite(Handle handle, std::string_view text, TextOrigin origin) {
    Recorder& faults = Faults();
    std::size_t shown = 0;
    const int result = Writing(
        "console-write", handle, text,
        [&](std::string_view bytes) { return platform_system::ConsoleWrite(handle, bytes, origin); }, shown);
    // What the console did not show, and where, so that a test can tell a
    // lost console line from a run that ended early.
    faults.consoleBytes += static_cast<long>(shown);
    if (result != 0) {
        faults.report.consoleLostAt = faults.consoleBytes;
        faults.report.consoleLost = std::string(text.substr(shown));
    }
    return result;
}

int ProcessId() { return platform_system::ProcessId(); }
void Pause(int milliseconds) {
    Recorder& faults = Faults();
    if (!faults.stillClock) return platform_system::Pause(milliseconds);
    faults.report.clock += milliseconds;
    if (faults.vanishAt >= 0 && faults.report.clock >= faults.vanishAt) {
        std::remove(faults.vanishing.c_str());
        faults.vanishAt = -1;
    }
}

std::int64_t Milliseconds() {
    return Faults().stillClock ? Faults().report.clock : platform_system::Milliseconds();
}
std::vector<std::string> ConfigurationFolders() { return platform_system::ConfigurationFolders(); }
bool AnsiFromUtf8(std::string& line) { return platform_system::AnsiFromUtf8(line); }

}  // namespace platform
