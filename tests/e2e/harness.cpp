// Running the real program in a fresh folder, natively or under wine.
#include "e2e/harness.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <clocale>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

// Wine keeps its state in a prefix that must belong to the user who runs it:
// runs as nobody get one of their own, made once for the machine (one process
// at a time makes it). Returns the folder that serves as nobody's home.
const std::string& NobodyWineHome() {
    static const std::string home = [] {
        const fs::path temp = fs::temp_directory_path();
        const std::string folder = (temp / "tolvex-wine-nobody").string();
        const int lock = open((temp / "tolvex-wine-nobody.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        flock(lock, LOCK_EX);
        mkdir(folder.c_str(), 0700);
        if (access((folder + "/wine/.update-timestamp").c_str(), F_OK) != 0 && chown(folder.c_str(), 65534, 65534) == 0) {
            RunOptions options = AsNobody();
            options.environment = {{"HOME", folder}, {"WINEPREFIX", folder + "/wine"}, {"WINEDEBUG", "-all"}};
            options.errorFile = "/dev/null";
            RunCommand({"wineboot", "-i"}, options);
        }
        close(lock);
        return folder;
    }();
    return home;
}

}  // namespace

bool Win32Available() {
    const std::string exe = TOLVEX_WIN32_PROGRAM;
    return !exe.empty() && access(exe.c_str(), R_OK) == 0 && OnPath("wine");
}

void EndToEnd::SetUp() {
    if (build() == Build::Win32) TOLVEX_NEED(Win32Available(), "the Windows program or wine");
}

Job::Job(Build build, std::string_view programName) : build_(build) {
    const std::string source = build == Build::Posix ? TOLVEX_POSIX_PROGRAM : TOLVEX_WIN32_PROGRAM;
    std::string name(programName);
    if (build == Build::Win32 && name.find('.') == std::string::npos) name += ".exe";
    for (const char* folder : {"prog", "fido"}) {
        dir_.MakeDir(folder);
        chmod(dir_.At(folder).c_str(), 0777);
    }
    program_ = dir_.At("prog/" + name);
    fs::copy_file(source, program_);
}

std::string Job::ConfigPath(std::string_view relative) const {
    return build_ == Build::Posix ? dir_.At(relative) : WinePath(dir_.At(relative));
}

std::string Job::Out(std::string_view file) const { return "fido/" + Created("OUT") + "/" + std::string(file); }

std::string Job::OutboundName(std::string_view file) const {
    return Upper(ConfigPath("fido")) + "\\OUT\\" + std::string(file);
}

std::string Job::Created(std::string_view name) const {
    std::string created(name);
    if (build_ == Build::Posix)
        for (char& c : created) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return created;
}

void Job::Configure(const std::vector<std::string>& lines, std::string_view fileName) const {
    std::string name(fileName);
    if (name.empty()) name = fs::path(program_).stem().string() + ".cfg";
    dir_.Write("prog/" + name, CrlfJoined(lines));
}

void Job::ConfigureStandard(const std::vector<std::string>& extra) const {
    std::vector<std::string> lines = {"OUTBOUND " + ConfigPath("fido"), "DEFAULTOUTBOUND OUT", "DEFAULTNET 2:4600",
                                      "DEFAULTNODE 12"};
    lines.insert(lines.end(), extra.begin(), extra.end());
    Configure(lines);
}

bool Job::OutboundUntouched() const {
    for (const std::string& entry : dir_.Tree())
        if (entry.rfind("fido/", 0) == 0 && entry != "fido/") return false;
    return true;
}

std::vector<std::string> Job::Command(const std::vector<std::string>& args) const {
    std::vector<std::string> argv;
    if (build_ == Build::Win32) argv.push_back("wine");
    argv.push_back(program_);
    argv.insert(argv.end(), args.begin(), args.end());
    return argv;
}

RunOptions Job::ForThisJob(RunOptions options) const {
    options.folder = dir_.Path();
    options.environment.emplace_back("WINEDEBUG", "-all");
    if (build_ == Build::Win32) {
        // Wine's console makes the terminal raw before it reads a line.
        options.typeWhenRaw = true;
        if (options.user) {
            options.environment.emplace_back("HOME", NobodyWineHome());
            options.environment.emplace_back("WINEPREFIX", NobodyWineHome() + "/wine");
        }
    }
    return options;
}

RunResult Job::Run(const std::vector<std::string>& args, const RunOptions& options) const {
    return RunCommand(Command(args), ForThisJob(options));
}

Running Job::Start(const std::vector<std::string>& args, const RunOptions& options) const {
    return StartCommand(Command(args), ForThisJob(options));
}

bool LocaleAvailable(const char* name) {
    const locale_t locale = newlocale(LC_ALL_MASK, name, nullptr);
    if (locale == nullptr) return false;
    freelocale(locale);
    return true;
}

bool AppearsWithin(const std::string& path, int seconds) {
    for (int waited = 0; waited < seconds * 100; ++waited) {
        if (access(path.c_str(), F_OK) == 0) return true;
        usleep(10000);
    }
    return false;
}
