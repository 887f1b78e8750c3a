// The operating-system operations on a POSIX system. Paths arrive in the
// program's own form and are mapped here only: "\" and "/" both separate, a
// component is found regardless of ASCII letter case (lower case first), and
// what is created gets its last component in lower case.
#include "runtime/platform.hpp"

#include "runtime/posix/path_map.hpp"

#include <dirent.h>
#include <fcntl.h>
#include <iconv.h>
#include <langinfo.h>
#include <limits.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <clocale>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

namespace TOLVEX_PLATFORM {
namespace {

using path_map::Change;
using path_map::MapPath;
using path_map::Purpose;
using path_map::Record;

int LastError() { return errno != 0 ? errno : EIO; }

// A symbolic link met where others may add names is followed only when its
// owner is this process's user, root, or the owner of the folder that holds
// it: a link anyone else planted there would steer the run to a file of their
// choosing (Linux applies the same rule in sticky folders).
bool MayFollow(const struct stat& link, int folder) {
    if (link.st_uid == geteuid() || link.st_uid == 0) return true;
    struct stat holder {};
    return fstat(folder, &holder) == 0 && holder.st_uid == link.st_uid;
}

// Where the link `name` in `folder` leads; EINVAL when it is no link, EACCES
// when it may not be followed. The target is read from the very link that was
// checked, not from whatever bears its name by then.
int ReadLink(int folder, const std::string& name, bool checked, std::string& target) {
    const int link = openat(folder, name.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
    if (link < 0) return LastError();
    struct stat info {};
    int error = fstat(link, &info) != 0 ? LastError() : 0;
    if (error == 0 && !S_ISLNK(info.st_mode)) error = EINVAL;
    if (error == 0 && checked && !MayFollow(info, folder)) error = EACCES;
    if (error == 0) {
        target.assign(PATH_MAX, '\0');
        const ssize_t n = readlinkat(link, "", target.data(), target.size());
        if (n < 0) error = LastError();
        target.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
    }
    close(link);
    return error;
}

// Opens `name` in `folder`. Unchecked, as the system does; checked, a
// symbolic link is followed only as MayFollow allows, and where it leads is
// its owner's choice.
int OpenAt(int folder, const std::string& name, int flags, bool checked, int& fd) {
    fd = openat(folder, name.c_str(), flags | O_CLOEXEC | (checked ? O_NOFOLLOW : 0), 0666);
    if (fd >= 0) return 0;
    const int error = LastError();
    // A link met with O_NOFOLLOW: ELOOP, or ENOTDIR where a folder was asked for.
    if (!checked || (error != ELOOP && error != ENOTDIR)) return error;
    std::string target;
    const int link = ReadLink(folder, name, true, target);
    if (link == EINVAL) return error;
    if (link != 0) return link;
    fd = openat(folder, target.c_str(), flags | O_CLOEXEC, 0666);
    return fd < 0 ? LastError() : 0;
}

// The folder that holds a path's last component, and that component: the part
// before the checked one as the system follows it, every folder after it
// opened with OpenAt, checked.
class Holder {
public:
    Holder() = default;
    Holder(const Holder&) = delete;
    Holder& operator=(const Holder&) = delete;
    ~Holder() {
        if (fd_ >= 0) close(fd_);
    }

    int Open(const std::string& mapped, std::size_t sharedAt) {
        const std::size_t slash = mapped.rfind('/');
        const std::size_t nameAt = slash == std::string::npos ? 0 : slash + 1;
        name_ = mapped.substr(nameAt);
        checked_ = sharedAt <= nameAt;
        const std::size_t given = std::min(sharedAt, nameAt);
        std::string base = mapped.substr(0, given);
        while (base.size() > 1 && base.back() == '/') base.pop_back();
        fd_ = open(base.empty() ? "." : base.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
        if (fd_ < 0) return LastError();
        for (std::size_t at = given; at < nameAt;) {
            const std::size_t end = mapped.find('/', at);
            const std::string part = mapped.substr(at, end - at);
            at = end + 1;
            if (part.empty()) continue;
            int next = -1;
            const int error = OpenAt(fd_, part, O_PATH | O_DIRECTORY, true, next);
            close(fd_);
            fd_ = next;
            if (error != 0) return error;
        }
        return 0;
    }

    int fd() const { return fd_; }
    const std::string& name() const { return name_; }
    bool checked() const { return checked_; }  // the last component is in the checked part

private:
    int fd_ = -1;
    std::string name_;
    bool checked_ = false;
};

// A path mapped onto the file system, and where its checked part begins there.
struct Mapped {
    std::string Path;
    std::size_t Shared = std::string::npos;  // where the checked part begins in Path; npos: nowhere
    bool Found = false;  // its last component names an entry that is there
};

Mapped Map(Path path, Purpose purpose) {
    Mapped mapped;
    mapped.Path = MapPath(path.Text, purpose, &mapped.Found);
    mapped.Shared = path_map::MappedOffset(path.Text, path.Shared, mapped.Path);
    return mapped;
}

// A file: never a folder; in the checked part only a regular file, opened
// without waiting (a FIFO with no writer would hold the run for good).
int OpenFileIn(const Holder& holder, int flags, Handle& handle) {
    int fd = -1;
    if (const int error = OpenAt(holder.fd(), holder.name(), flags | (holder.checked() ? O_NONBLOCK : 0), holder.checked(), fd))
        return error;
    struct stat info {};
    int error = fstat(fd, &info) != 0 ? LastError() : 0;
    if (error == 0 && S_ISDIR(info.st_mode)) error = EISDIR;
    if (error == 0 && holder.checked() && !S_ISREG(info.st_mode)) error = EACCES;
    if (error == 0 && holder.checked() && fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) error = LastError();
    if (error != 0) {
        close(fd);
        return error;
    }
    handle = fd;
    return 0;
}

int OpenMapped(const Mapped& mapped, int flags, Handle& handle) {
    Holder holder;
    if (const int error = holder.Open(mapped.Path, mapped.Shared)) return error;
    return OpenFileIn(holder, flags, handle);
}

// What is made inside a folder that its group may write to is the group's
// too, whatever the umask: the mailer that shares the outbound through the
// group must be able to flag, rewrite and remove it. The group gets the
// owner's rights; the bits for others stay as the umask left them, and a
// folder made inside a setgid folder keeps the setgid bit the system gave it.
void ShareWithGroup(int folder, int made) {
    struct stat holder {};
    if (fstat(folder, &holder) != 0 || (holder.st_mode & S_IWGRP) == 0) return;
    struct stat info {};
    if (fstat(made, &info) != 0) return;
    const mode_t mode = info.st_mode & 07777;
    const mode_t shared = mode | ((mode & S_IRWXU) >> 3);
    if (shared != mode) fchmod(made, shared);
}

// A file system that cannot keep an owner or a mode (FAT through FUSE, some
// shares) still takes the cleaned file; so does one without fsync.
bool ModeNotKept(int error) { return error == ENOSYS || error == ENOTSUP || error == EOPNOTSUPP || error == EPERM; }
bool SyncNotKept(int error) { return error == EINVAL || error == ENOTSUP || error == EOPNOTSUPP; }

// The interrupts that ask a program to end, as a terminal, a shell or a
// system going down sends them.
constexpr int kInterrupts[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
constexpr std::size_t kInterruptCount = sizeof kInterrupts / sizeof kInterrupts[0];
struct sigaction interruptsBefore[kInterruptCount];
volatile std::sig_atomic_t waitingInterrupt = 0;

extern "C" void HoldBack(int signal) {
    if (waitingInterrupt == 0) waitingInterrupt = signal;
    // No more console: a console nobody reads (a full pipe) must not keep the
    // address in hand from being finished. A write blocked on it returns, as
    // the interrupt does not restart it, and the next goes nowhere.
    const int none = open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (none < 0) return;
    dup2(none, STDOUT_FILENO);
    close(none);
}

}  // namespace

int FileOpen(Path path, Access access, Handle& handle) {
    const int flags = access == Access::Read ? O_RDONLY : access == Access::Append ? O_RDWR | O_APPEND : O_RDWR;
    return OpenMapped(Map(path, Purpose::Use), flags, handle);
}

int FileCreateNew(Path path, Access access, Handle& handle) {
    const Mapped mapped = Map(path, Purpose::Create);
    Holder holder;
    int error = holder.Open(mapped.Path, mapped.Shared);
    if (error == 0) error = OpenFileIn(holder, O_RDWR | O_CREAT | O_EXCL | (access == Access::Append ? O_APPEND : 0), handle);
    // Made meanwhile by another run, the name is there from now on all the
    // same, even where this run listed the folder before.
    if (Record(error, mapped.Path, Change::MadeFile) != 0) return error;
    ShareWithGroup(holder.fd(), static_cast<int>(handle));
    return 0;
}

bool MeansAlreadyExists(int error) { return error == EEXIST; }

int FileRead(Handle handle, char* buffer, int size, int& got) {
    got = 0;
    ssize_t n;
    do n = read(static_cast<int>(handle), buffer, static_cast<std::size_t>(size));
    while (n < 0 && errno == EINTR);
    if (n < 0) return LastError();
    got = static_cast<int>(n);
    return 0;
}

int FileWrite(Handle handle, const char* data, int size) {
    while (size > 0) {
        const ssize_t n = write(static_cast<int>(handle), data, static_cast<std::size_t>(size));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return n < 0 ? LastError() : EIO;
        data += n;
        size -= static_cast<int>(n);
    }
    return 0;
}

int FileSeek(Handle handle, std::int64_t position) {
    return lseek(static_cast<int>(handle), static_cast<off_t>(position), SEEK_SET) < 0 ? LastError() : 0;
}

int FileSeekEnd(Handle handle, std::int64_t& size) {
    const off_t end = lseek(static_cast<int>(handle), 0, SEEK_END);
    if (end < 0) return LastError();
    size = end;
    return 0;
}

int FileSetEnd(Handle handle) {
    const off_t here = lseek(static_cast<int>(handle), 0, SEEK_CUR);
    if (here < 0) return LastError();
    return ftruncate(static_cast<int>(handle), here) != 0 ? LastError() : 0;
}

int FileClose(Handle handle) { return close(static_cast<int>(handle)) != 0 ? LastError() : 0; }

int FileDelete(Path path) {
    const Mapped mapped = Map(path, Purpose::Use);
    Holder holder;
    if (const int error = holder.Open(mapped.Path, mapped.Shared)) return error;
    return Record(unlinkat(holder.fd(), holder.name().c_str(), 0) != 0 ? LastError() : 0, mapped.Path, Change::Removed);
}

bool FollowLink(Path path, std::string& target) {
    const Mapped mapped = Map(path, Purpose::Use);
    Holder holder;
    std::string leads;
    if (holder.Open(mapped.Path, mapped.Shared) != 0 || ReadLink(holder.fd(), holder.name(), holder.checked(), leads) != 0)
        return false;
    // The file it leads to, as a full path with every further link resolved.
    const int fd = openat(holder.fd(), leads.c_str(), O_PATH | O_CLOEXEC);
    if (fd < 0) return false;
    target.assign(PATH_MAX, '\0');
    const ssize_t n = readlink(("/proc/self/fd/" + std::to_string(fd)).c_str(), target.data(), target.size());
    close(fd);
    target.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
    return n > 0;
}

int FileReplace(Path from, Path to) {
    const Mapped source = Map(from, Purpose::Use);
    const Mapped target = Map(to, Purpose::Use);
    Holder sourceFolder, targetFolder;
    if (const int error = sourceFolder.Open(source.Path, source.Shared)) return error;
    if (const int error = targetFolder.Open(target.Path, target.Shared)) return error;
    // Only a regular file is replaced: a link put there meanwhile is not
    // taken for the file whose owner and mode the copy gets.
    struct stat old {};
    if (fstatat(targetFolder.fd(), targetFolder.name().c_str(), &old, AT_SYMLINK_NOFOLLOW) != 0) return LastError();
    if (!S_ISREG(old.st_mode)) return EACCES;
    Handle handle = kNoHandle;
    if (const int error = OpenFileIn(sourceFolder, O_RDWR, handle)) return error;
    const int fd = static_cast<int>(handle);
    // The owner where the process may give it away (as root), else at least
    // the group where it belongs to it; the mode after that, as a change of
    // owner may clear the set-id bits.
    if (fchown(fd, old.st_uid, old.st_gid) != 0) {
        [[maybe_unused]] const int groupOnly = fchown(fd, static_cast<uid_t>(-1), old.st_gid);
    }
    int error = fchmod(fd, old.st_mode & 07777) != 0 && !ModeNotKept(errno) ? LastError() : 0;
    if (error == 0 && fsync(fd) != 0 && !SyncNotKept(errno)) error = LastError();
    close(fd);
    if (error == 0 && renameat(sourceFolder.fd(), sourceFolder.name().c_str(), targetFolder.fd(),
                               targetFolder.name().c_str()) != 0)
        error = LastError();
    if (Record(error, source.Path, Change::Removed) != 0) return error;
    // The rename itself reaches the disk with its folder.
    const int folder = openat(targetFolder.fd(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        fsync(folder);
        close(folder);
    }
    return 0;
}

int ListFolder(Path folder, std::vector<std::string>& names) {
    const Mapped mapped = Map(folder, Purpose::Use);
    Holder holder;
    if (const int error = holder.Open(mapped.Path, mapped.Shared)) return error;
    int fd = -1;
    if (const int error = OpenAt(holder.fd(), holder.name(), O_RDONLY | O_DIRECTORY, holder.checked(), fd)) return error;
    DIR* dir = fdopendir(fd);
    if (dir == nullptr) {
        const int error = LastError();
        close(fd);
        return error;
    }
    while (const dirent* entry = readdir(dir)) {
        const std::string_view name(entry->d_name);
        if (name != "." && name != "..") names.emplace_back(name);
    }
    closedir(dir);
    return 0;
}

Handle StandardInputHandle() { return STDIN_FILENO; }
Handle StandardOutputHandle() { return STDOUT_FILENO; }

std::string CurrentFolder() {
    std::string path(256, '\0');
    while (getcwd(path.data(), path.size()) == nullptr) {
        if (errno != ERANGE) return {};
        path.resize(path.size() * 2);
    }
    path.resize(std::strlen(path.c_str()));
    return path;
}

int ChangeFolder(std::string_view path) {
    if (path.empty()) return 0;
    return chdir(MapPath(path, Purpose::Use).c_str()) != 0 ? LastError() : 0;
}

int MakeFolder(Path path) {
    const Mapped mapped = Map(path, Purpose::Create);
    // The usual case, a folder that is there already, costs no call.
    if (mapped.Found) return EEXIST;
    Holder holder;
    if (const int error = holder.Open(mapped.Path, mapped.Shared)) return error;
    if (const int error = Record(mkdirat(holder.fd(), holder.name().c_str(), 0777) != 0 ? LastError() : 0, mapped.Path,
                                 Change::MadeFolder))
        return error;
    // Opened again without following a link: the folder just made, not
    // whatever may have been put in its place.
    const int made = openat(holder.fd(), holder.name().c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (made >= 0) {
        ShareWithGroup(holder.fd(), made);
        close(made);
    }
    return 0;
}

Date LocalDate() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday};
}

Time LocalTime() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return {local.tm_hour, local.tm_min, local.tm_sec};
}

namespace {

// The program's real file, after every symbolic link; empty when the system
// does not say.
std::string RealProgramFile() {
    std::string path(4096, '\0');
    const ssize_t n = readlink("/proc/self/exe", path.data(), path.size());
    path.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
    return path;
}

}  // namespace

std::string ProgramPath() {
    std::string path = RealProgramFile();
    for (char& c : path)
        if (c == '/') c = '\\';
    return path;
}

bool RawCommandLine(std::string&) { return false; }

void StartProcess() {
    // A standard descriptor that is not open would be the first file opened,
    // and the console would be written into a request file: each is opened
    // on /dev/null instead, a console that swallows everything.
    pollfd standard[] = {{STDIN_FILENO, 0, 0}, {STDOUT_FILENO, 0, 0}, {STDERR_FILENO, 0, 0}};
    if (poll(standard, 3, 0) > 0)
        for (const pollfd& fd : standard)
            if ((fd.revents & POLLNVAL) != 0) {
                const int none = open("/dev/null", fd.fd == STDIN_FILENO ? O_RDONLY : O_WRONLY);
                if (none >= 0 && none != fd.fd) {
                    dup2(none, fd.fd);
                    close(none);
                }
            }
    // A reader that goes away must not end the job half-done, nor a limit on
    // the size of files: the write fails instead (EFBIG), and the run cuts
    // the file back and stops as on a full disk.
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);
}

void EndProcess(unsigned code) { std::_Exit(static_cast<int>(code)); }

void HoldInterrupts() {
    struct sigaction hold {};
    hold.sa_handler = HoldBack;
    sigemptyset(&hold.sa_mask);
    for (const int signal : kInterrupts) sigaddset(&hold.sa_mask, signal);
    hold.sa_flags = 0;  // not restarted: a write blocked on the console returns
    waitingInterrupt = 0;
    for (std::size_t i = 0; i < kInterruptCount; ++i) {
        sigaction(kInterrupts[i], &hold, &interruptsBefore[i]);
        // An interrupt the caller chose to ignore (nohup, a background job) stays ignored.
        if (interruptsBefore[i].sa_handler == SIG_IGN) sigaction(kInterrupts[i], &interruptsBefore[i], nullptr);
    }
}

void ReleaseInterrupts() {
    for (std::size_t i = 0; i < kInterruptCount; ++i)
        if (interruptsBefore[i].sa_handler != SIG_IGN) sigaction(kInterrupts[i], &interruptsBefore[i], nullptr);
    const int signal = waitingInterrupt;
    waitingInterrupt = 0;
    if (signal == 0) return;
    // One that came while an ignored interrupt's own disposition was being
    // put back is ignored too.
    for (std::size_t i = 0; i < kInterruptCount; ++i)
        if (kInterrupts[i] == signal && interruptsBefore[i].sa_handler == SIG_IGN) return;
    // Ended as that interrupt ends a program, so that the shell sees it.
    std::raise(signal);
    std::_Exit(128 + signal);
}

namespace {

// The program's own text in the terminal's character set (the locale's); the
// bytes as they are where that set is CP866 or lacks a character.
std::string TerminalForm(std::string_view ownText) {
    static const iconv_t converter = [] {
        std::setlocale(LC_ALL, "");
        const std::string codeset = nl_langinfo(CODESET);
        if (codeset == "CP866" || codeset == "IBM866") return reinterpret_cast<iconv_t>(-1);
        return iconv_open(codeset.c_str(), "CP866");
    }();
    if (converter == reinterpret_cast<iconv_t>(-1)) return std::string(ownText);
    std::string input(ownText);
    std::string output(input.size() * 4 + 16, '\0');
    char* in = input.data();
    std::size_t inLeft = input.size();
    char* out = output.data();
    std::size_t outLeft = output.size();
    iconv(converter, nullptr, nullptr, nullptr, nullptr);
    if (iconv(converter, &in, &inLeft, &out, &outLeft) == static_cast<std::size_t>(-1)) return std::string(ownText);
    output.resize(output.size() - outLeft);
    return output;
}

}  // namespace

// What the user gave is already in the terminal's character set.
int ConsoleWrite(Handle handle, std::string_view text, TextOrigin origin) {
    if (origin == TextOrigin::Own && isatty(static_cast<int>(handle))) {
        const std::string shown = TerminalForm(text);
        return FileWrite(handle, shown.data(), static_cast<int>(shown.size()));
    }
    return FileWrite(handle, text.data(), static_cast<int>(text.size()));
}

int ProcessId() { return static_cast<int>(getpid()); }

std::int64_t Milliseconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

namespace {

// Whether the program runs from the installation's program folder, the one it
// was built to be installed in: the same folder, however either path reaches it.
bool RunsInstalled() {
    const std::string file = RealProgramFile();
    const std::size_t slash = file.rfind('/');
    if (slash == std::string::npos) return false;
    struct stat folder {}, installed {};
    return stat(file.substr(0, slash + 1).c_str(), &folder) == 0 && stat(TOLVEX_PROGRAM_FOLDER, &installed) == 0 &&
           folder.st_dev == installed.st_dev && folder.st_ino == installed.st_ino;
}

}  // namespace

// The installation's configuration folder is fixed when the program is built,
// and belongs to the installed program alone: a copy kept elsewhere, with its
// own configuration missing or misnamed, would otherwise run on the machine's
// configuration and write into another network's outbound.
std::vector<std::string> ConfigurationFolders() {
    std::vector<std::string> folders;
    if (!RunsInstalled()) return folders;
    for (std::string folder : {std::string(TOLVEX_CONFIG_FOLDER), std::string("/etc")}) {
        std::replace(folder.begin(), folder.end(), '/', '\\');
        if (std::find(folders.begin(), folders.end(), folder) == folders.end()) folders.push_back(folder);
    }
    return folders;
}

// UTF-8 is what a POSIX system's file names usually are in already.
bool AnsiFromUtf8(std::string&) { return true; }

void Pause(int milliseconds) {
    timespec wait{milliseconds / 1000, static_cast<long>(milliseconds % 1000) * 1000000L};
    while (nanosleep(&wait, &wait) != 0 && errno == EINTR) {
    }
}

}  // namespace TOLVEX_PLATFORM
