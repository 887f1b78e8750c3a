// The operating-system operations on a POSIX system. Paths arrive in the
// program's own form and are mapped here only: "\" and "/" both separate, a
// component is found regardless of ASCII letter case (lower case first), and
// what is created gets its last component in lower case.
#include "runtime/platform.hpp"

#include <dirent.h>
#include <fcntl.h>
#include <iconv.h>
#include <langinfo.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <clocale>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace platform {
namespace {

char LowerChar(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

bool SameIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (LowerChar(a[i]) != LowerChar(b[i])) return false;
    return true;
}

bool Exists(const std::string& path) {
    struct stat info {};
    return lstat(path.c_str(), &info) == 0;
}

std::string JoinPath(const std::string& base, std::string_view name) {
    if (base.empty()) return std::string(name);
    if (base.back() == '/') return base + std::string(name);
    return base + "/" + std::string(name);
}

// The entry of directory `base` that matches `name` regardless of case: the
// all-lower-case spelling, which is what the program itself creates (and what
// a mailer reads), else the name as given, else the first match in byte
// order, else none.
std::string FindEntry(const std::string& base, std::string_view name) {
    if (name == "." || name == "..") return std::string(name);
    std::string lower(name);
    for (char& c : lower) c = LowerChar(c);
    if (Exists(JoinPath(base, lower))) return lower;
    if (Exists(JoinPath(base, name))) return std::string(name);
    DIR* dir = opendir(base.empty() ? "." : base.c_str());
    if (dir == nullptr) return {};
    std::string best;
    while (const dirent* entry = readdir(dir)) {
        const std::string_view candidate(entry->d_name);
        if (SameIgnoringCase(candidate, name) && (best.empty() || candidate < best)) best = candidate;
    }
    closedir(dir);
    return best;
}

enum class Purpose { Use, Create };

// Maps a path of the program's form onto the file system.
std::string MapPath(std::string_view path, Purpose purpose) {
    std::string mapped = (!path.empty() && (path.front() == '\\' || path.front() == '/')) ? "/" : "";
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find_first_of("\\/", start);
        if (end == std::string_view::npos) end = path.size();
        const std::string_view name = path.substr(start, end - start);
        const bool last = end == path.size();
        if (!name.empty()) {
            std::string found = FindEntry(mapped, name);
            if (found.empty()) {
                found = std::string(name);
                if (last && purpose == Purpose::Create)
                    for (char& c : found) c = LowerChar(c);
            }
            mapped = JoinPath(mapped, found);
        }
        start = end + 1;
    }
    return mapped;
}

int LastError() { return errno != 0 ? errno : EIO; }

int OpenMapped(const std::string& path, int flags, Handle& handle) {
    const int fd = open(path.c_str(), flags | O_CLOEXEC, 0666);
    if (fd < 0) return LastError();
    struct stat info {};
    if (fstat(fd, &info) == 0 && S_ISDIR(info.st_mode)) {
        close(fd);
        return EISDIR;
    }
    handle = fd;
    return 0;
}

}  // namespace

int FileOpen(std::string_view path, Access access, Handle& handle) {
    return OpenMapped(MapPath(path, Purpose::Use), access == Access::Read ? O_RDONLY : O_RDWR, handle);
}

int FileCreate(std::string_view path, Handle& handle) {
    return OpenMapped(MapPath(path, Purpose::Create), O_RDWR | O_CREAT | O_TRUNC, handle);
}

int FileCreateNew(std::string_view path, Handle& handle) {
    return OpenMapped(MapPath(path, Purpose::Create), O_RDWR | O_CREAT | O_EXCL, handle);
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

bool FileIsDevice(Handle handle) {
    struct stat info {};
    if (fstat(static_cast<int>(handle), &info) != 0) return false;
    return S_ISCHR(info.st_mode) || S_ISFIFO(info.st_mode) || S_ISSOCK(info.st_mode);
}

int FileDelete(std::string_view path) {
    return unlink(MapPath(path, Purpose::Use).c_str()) != 0 ? LastError() : 0;
}

int FileReplace(std::string_view from, std::string_view to) {
    const std::string source = MapPath(from, Purpose::Use);
    return rename(source.c_str(), MapPath(to, Purpose::Create).c_str()) != 0 ? LastError() : 0;
}

Handle StandardInput() { return STDIN_FILENO; }
Handle StandardOutput() { return STDOUT_FILENO; }

std::string CurrentDirectory() {
    std::string path(256, '\0');
    while (getcwd(path.data(), path.size()) == nullptr) {
        if (errno != ERANGE) return {};
        path.resize(path.size() * 2);
    }
    path.resize(std::strlen(path.c_str()));
    return path;
}

int ChangeDirectory(std::string_view path) {
    if (path.empty()) return 0;
    return chdir(MapPath(path, Purpose::Use).c_str()) != 0 ? LastError() : 0;
}

int MakeDirectory(std::string_view path) {
    return mkdir(MapPath(path, Purpose::Create).c_str(), 0777) != 0 ? LastError() : 0;
}

Date LocalDate() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_wday};
}

Time LocalTime() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    std::tm local{};
    localtime_r(&now.tv_sec, &local);
    return {local.tm_hour, local.tm_min, local.tm_sec, static_cast<std::int32_t>(now.tv_nsec / 10000000)};
}

std::string ProgramPath() {
    std::string path(4096, '\0');
    const ssize_t n = readlink("/proc/self/exe", path.data(), path.size());
    path.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
    for (char& c : path)
        if (c == '/') c = '\\';
    return path;
}

std::vector<std::string> Arguments(int argc, char** argv) {
    std::vector<std::string> arguments;
    for (int i = 1; i < argc; ++i) arguments.emplace_back(argv[i]);
    return arguments;
}

void StartProcess() {
    // A reader that goes away must not end the job half-done.
    std::signal(SIGPIPE, SIG_IGN);
}

void EndProcess(unsigned code) { std::_Exit(static_cast<int>(code)); }

std::string DisplayForm(std::string_view ownText) {
    static const iconv_t converter = [] {
        if (!isatty(STDOUT_FILENO)) return reinterpret_cast<iconv_t>(-1);
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

int ProcessId() { return static_cast<int>(getpid()); }

void Pause(int milliseconds) {
    timespec wait{milliseconds / 1000, static_cast<long>(milliseconds % 1000) * 1000000L};
    while (nanosleep(&wait, &wait) != 0 && errno == EINTR) {
    }
}

}  // namespace platform
