// Every I/O operation of a whole job made to fail in turn: a run with no fault
// counts the operations, then the job runs once more for every k, in a fresh
// folder, with its k-th operation failing (a write also once more after half
// of its bytes). Whatever fails, the run ends through its normal stop, every
// request it reported is in its file, every request file holds whole lines
// only and no line it held is lost, no busy flag is left behind, and a run
// that ends early says why in its last line.
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "config/console_texts.hpp"
#include "support/scratch.hpp"

namespace fs = std::filesystem;

namespace {

// What the platform wrapper reports at the end of the process.
struct Report {
    bool present = false;
    long operations = 0;
    std::string failed;          // "<k> <operation> <name>", or empty
    long consoleLostAt = -1;     // where the bytes of a failed console write belong
    std::string consoleLost;     // those bytes
    std::vector<std::string> outside;  // paths beyond the job's folder, refused
    std::vector<std::string> trace;
};

struct Outcome {
    int exitCode = -1;
    std::string out;  // standard output as shown
    std::string err;  // standard error: the program writes none, a sanitizer does
    Report report;
};

std::string FromHex(std::string_view hex) {
    std::string bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes += static_cast<char>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16));
    return bytes;
}

Report ReadReport(const std::string& path) {
    Report report;
    std::ifstream in(path, std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        report.present = true;
        if (line.rfind("operations ", 0) == 0) {
            report.operations = std::stol(line.substr(11));
        } else if (line.rfind("failed ", 0) == 0) {
            if (line != "failed -") report.failed = line.substr(7);
        } else if (line.rfind("console-lost ", 0) == 0) {
            if (line == "console-lost -") continue;
            std::istringstream fields(line.substr(13));
            std::string hex;
            fields >> report.consoleLostAt >> hex;
            report.consoleLost = FromHex(hex);
        } else if (line.rfind("outside ", 0) == 0) {
            report.outside.push_back(line.substr(8));
        } else {
            report.trace.push_back(line);
        }
    }
    return report;
}

std::string Slurp(int fd) {
    std::string bytes;
    char buffer[4096];
    for (ssize_t n; (n = read(fd, buffer, sizeof buffer)) != 0;) {
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) break;
        bytes.append(buffer, static_cast<std::size_t>(n));
    }
    return bytes;
}

// Runs the faulty program in `dir` with its k-th operation failing (0: none);
// a failing write writes half of its bytes first when `shortWrite` is set.
Outcome RunFaulty(const ScratchDir& dir, const std::vector<std::string>& args, long failAt, bool shortWrite = false) {
    const std::string reportPath = dir.At("fault-report.txt");
    const std::string errPath = dir.At("stderr.txt");
    std::vector<std::string> argv = {TOLVEX_FAULTY_PROGRAM};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> pointers;
    for (std::string& a : argv) pointers.push_back(a.data());
    pointers.push_back(nullptr);

    int out[2];
    if (pipe(out) != 0) return {};
    const pid_t child = fork();
    if (child == 0) {
        const int none = open("/dev/null", O_RDONLY);
        const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(none, 0);
        dup2(out[1], 1);
        dup2(err, 2);
        close(out[0]);
        close(out[1]);
        if (chdir(dir.Path().c_str()) != 0) _exit(125);
        setenv("TOLVEX_FAULT_COUNT", reportPath.c_str(), 1);
        setenv("TOLVEX_FAULT_ROOT", dir.Path().c_str(), 1);
        setenv("TOLVEX_FAIL_AT", std::to_string(failAt).c_str(), 1);
        if (shortWrite) setenv("TOLVEX_FAIL_SHORT", "1", 1);
        execv(pointers[0], pointers.data());
        _exit(127);
    }
    close(out[1]);
    Outcome outcome;
    outcome.out = Slurp(out[0]);
    close(out[0]);
    int status = 0;
    waitpid(child, &status, 0);
    outcome.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + WTERMSIG(status);
    outcome.err = dir.Read("stderr.txt");
    outcome.report = ReadReport(reportPath);
    return outcome;
}

std::vector<std::string> Lines(std::string_view text) {
    std::vector<std::string> lines;
    while (!text.empty()) {
        const std::size_t end = text.find("\r\n");
        lines.emplace_back(text.substr(0, end));
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 2);
    }
    return lines;
}

std::set<std::string> LineSet(std::string_view text) {
    const std::vector<std::string> lines = Lines(text);
    return {lines.begin(), lines.end()};
}

// One address of the job: its printed form, its request file on disk and the
// end of the name the program gives that file.
struct Address {
    std::string printed;
    std::string requestFile;
    std::string programName;
};

const std::vector<Address> kAddresses = {
    {"2:4600/36.0", "fido/out/11f80024.req", "\\OUT\\11f80024.req"},
    {"3:700/5.0", "fido/othernet.003/02bc0005.req", "\\OTHERNET.003\\02bc0005.req"},
    {"2:4600/12.7", "fido/out/11f8000c.pnt/00000007.req", "\\OUT\\11f8000c.pnt\\00000007.req"},
};

const std::string kLongLine = "long-" + std::string(300, 'x') + ".zip";

// The files the job starts with: request files with repeats, a line longer
// than 255 characters and a last line without its line end; a flow file with
// content; a log; a list file.
const std::map<std::string, std::string> kBefore = {
    {"fido/out/11f80024.req",
     "old.zip\r\npntlist.zip\r\nold.zip\r\n" + kLongLine + "\r\nnodelist.*\r\n" + kLongLine + "\r\nz !pw\r\n"},
    {"fido/out/11f80024.clo", "^c:\\files\\send.zip\r\n"},
    {"fido/othernet.003/02bc0005.req", "a.zip\r\nb.zip\r\na.zip"},
    {"tolvex.log", "01/12 10:00:00 old.zip 2:4600/36.0\r\n"},
    {"list.txt", "files.lst the file list\r\nsecret.zip!!pw\r\n\r\nnodediff.a??\r\n" +
                     std::string(60, 'n') + ".arj\r\nmagic\nlast.zip\r\n"},
};

std::vector<std::string> LayOut(const ScratchDir& dir) {
    for (const auto& [name, bytes] : kBefore) dir.Write(name, bytes);
    dir.Write("tolvex.cfg", "; the fault-point job\r\nOUTBOUND " + dir.At("fido") +
                                "\r\nDEFAULTOUTBOUND OUT\r\nDEFAULTNET 2:4600\r\nDEFAULTNODE 12\r\nZONE 3 OTHERNET\r\n"
                                "CHECKDUPES YES\r\nCREATECLO YES\r\nLOG " + dir.At("tolvex.log") + "\r\n");
    // Ten requests (the list file gives six), three addresses: a node, a node
    // in another zone, a point.
    return {"/c:" + dir.At("tolvex.cfg"), "pntlist.zip", "nodelist.*", "fresh.zip!!pass", "@list.txt",
            "x!!!y", "/36", "3:700/5", ".7"};
}

// Every file below fido/, with its bytes.
std::map<std::string, std::string> Outbound(const ScratchDir& dir) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(dir.At("fido")))
        if (entry.is_regular_file()) {
            const std::string name = fs::relative(entry.path(), dir.Path()).string();
            files[name] = dir.Read(name);
        }
    return files;
}

bool StartsWith(std::string_view text, std::string_view prefix) { return text.substr(0, prefix.size()) == prefix; }
bool EndsWith(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

bool IsErrorMessage(std::string_view line) {
    const std::string_view byName[] = {text::kUnableToOpen, text::kUnableToWrite, text::kCannotFindDirectory};
    const std::string_view whole[] = {text::kTooManyZones,  text::kNoDefaultNode,     text::kNoAddressItem,
                                      text::kTooManyFiles,  text::kNoAddress,         text::kBadAddress,
                                      text::kTooManyAddresses, text::kNoFile,         text::kBadFileName};
    for (std::string_view message : byName)
        if (StartsWith(line, message)) return true;
    for (std::string_view message : whole)
        if (line == message) return true;
    return StartsWith(line, text::kBusyBefore) && EndsWith(line, text::kBusyAfter);
}

const std::string kEnd = "\r\nHave a nice day! =)\r\n";

// Checks one run; returns what is wrong, one line each.
std::vector<std::string> Check(const ScratchDir& dir, const Outcome& run,
                               const std::map<std::string, std::string>& clean) {
    std::vector<std::string> wrong;
    if (run.exitCode != 0) wrong.push_back("exit code " + std::to_string(run.exitCode));
    if (!run.report.present) wrong.push_back("the run did not end through its stop");
    if (!run.err.empty()) wrong.push_back("standard error: " + run.err.substr(0, 2000));
    for (const std::string& path : run.report.outside) wrong.push_back("reached outside its folder: " + path);

    // The console as the run meant it: a line whose write failed is put back
    // where it belonged (the console failing must cost nothing else).
    std::string console = run.out;
    if (run.report.consoleLostAt >= 0)
        console.insert(std::min<std::size_t>(static_cast<std::size_t>(run.report.consoleLostAt), console.size()),
                       run.report.consoleLost);
    const std::vector<std::string> lines = Lines(console);
    const std::map<std::string, std::string> after = Outbound(dir);

    for (const Address& address : kAddresses) {
        const auto file = after.find(address.requestFile);
        const std::string bytes = file == after.end() ? std::string() : file->second;
        const std::set<std::string> held = LineSet(bytes);
        // Every request the console reported is in the file, whatever failed later.
        const std::string suffix = std::string(text::kRequestedFrom) + address.printed;
        for (const std::string& line : lines)
            if (EndsWith(line, suffix) && line.size() > suffix.size() + 1) {
                const std::string request = line.substr(1, line.size() - suffix.size() - 1);
                if (held.count(request) == 0)
                    wrong.push_back("\"" + request + "\" shown for " + address.printed + " but not in " +
                                    address.requestFile);
            }
        // Whole lines only, each one the file held or the job writes there.
        const auto old = kBefore.find(address.requestFile);
        if (old != kBefore.end() && bytes == old->second) continue;
        if (!bytes.empty() && !EndsWith(bytes, "\r\n"))
            wrong.push_back(address.requestFile + " ends in half a line: \"" + bytes.substr(bytes.rfind('\n') + 1) + "\"");
        if (clean.empty()) continue;
        const std::set<std::string> meant = LineSet(clean.count(address.requestFile) ? clean.at(address.requestFile) : "");
        for (const std::string& line : held)
            if (meant.count(line) == 0) wrong.push_back(address.requestFile + " holds a line never meant: \"" + line + "\"");
    }

    for (const auto& [name, bytes] : kBefore) {
        if (name.rfind("fido/", 0) != 0) continue;
        const auto now = after.find(name);
        if (now == after.end()) {
            wrong.push_back(name + " is gone");
            continue;
        }
        if (EndsWith(name, ".clo")) {
            if (now->second != bytes) wrong.push_back(name + " was changed");
            continue;
        }
        const std::set<std::string> held = LineSet(now->second);
        for (const std::string& line : Lines(bytes))
            if (held.count(line) == 0) wrong.push_back(name + " lost the line \"" + line.substr(0, 40) + "\"");
    }
    const std::set<std::string> logNow = LineSet(dir.Read("tolvex.log"));
    for (const std::string& line : Lines(kBefore.at("tolvex.log")))
        if (logNow.count(line) == 0) wrong.push_back("tolvex.log lost the line \"" + line + "\"");

    // Only the removal of the flag itself, made to fail, may leave it.
    const bool flagRemovalFailed =
        run.report.failed.find(" delete ") != std::string::npos && EndsWith(run.report.failed, ".bsy");
    for (const auto& [name, bytes] : after) {
        if (EndsWith(name, ".bsy") && !flagRemovalFailed) wrong.push_back("busy flag left: " + name);
        if (EndsWith(name, ".tmp")) wrong.push_back("temporary file left: " + name);
    }

    if (!EndsWith(console, kEnd)) {
        if (lines.empty() || !IsErrorMessage(lines.back()))
            wrong.push_back("ended early without a message; last line \"" +
                            (lines.empty() ? std::string() : lines.back()) + "\"");
    }

    // A console that cannot be written changes nothing on disk.
    if (run.report.consoleLostAt >= 0 && after != clean) wrong.push_back("a failed console write changed the files");
    return wrong;
}

std::string Category(const Outcome& run) {
    std::string console = run.out;
    if (run.report.consoleLostAt >= 0) return "console line lost, job complete";
    if (EndsWith(console, kEnd)) return "job complete";
    const std::vector<std::string> lines = Lines(console);
    const std::string last = lines.empty() ? std::string() : lines.back();
    for (std::string_view message : {text::kUnableToOpen, text::kUnableToWrite, text::kCannotFindDirectory})
        if (StartsWith(last, message)) return "stopped: \"" + std::string(message) + "...\"";
    return "stopped: \"" + last + "\"";
}

TEST(FaultPoints, EveryOperationOfAJobFailsInTurn) {
    long points = 0;
    std::map<std::string, std::string> clean;
    {
        const ScratchDir dir;
        const std::vector<std::string> args = LayOut(dir);
        const Outcome run = RunFaulty(dir, args, 0);
        ASSERT_TRUE(run.report.present) << run.err;
        ASSERT_TRUE(EndsWith(run.out, kEnd)) << run.out;
        EXPECT_EQ(Check(dir, run, {}), std::vector<std::string>());
        // The job as it was meant: ten requests, two of them present already at
        // the first address, every request line written.
        const std::string out = run.out;
        EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 3 + 10 * 3 + 2) << out;
        EXPECT_NE(out.find(" pntlist.zip -> already exist. Skipping..."), std::string::npos) << out;
        EXPECT_NE(out.find(" fresh.zip !pass -> 3:700/5.0"), std::string::npos) << out;
        clean = Outbound(dir);
        EXPECT_EQ(clean.at("fido/othernet.003/02bc0005.req").substr(0, 17), "a.zip\r\nb.zip\r\npnt");
        points = run.report.operations;
        // The numbered operations, for reading a problem's k against.
        if (std::getenv("TOLVEX_SHOW_FAULT_POINTS") != nullptr)
            for (const std::string& line : run.report.trace) std::cout << line << "\n";
    }
    ASSERT_GT(points, 50);

    std::map<std::string, int> outcomes;
    std::vector<std::string> problems;
    int shortWrites = 0;
    for (long k = 1; k <= points; ++k) {
        // A failing write fails whole, and once more after half of its bytes.
        for (const bool shortWrite : {false, true}) {
            const ScratchDir dir;
            const Outcome run = RunFaulty(dir, LayOut(dir), k, shortWrite);
            if (shortWrite && run.report.failed.find("write ") == std::string::npos) break;
            shortWrites += shortWrite;
            ++outcomes[Category(run) + (shortWrite ? " (short write)" : "")];
            const std::string point = "k=" + std::to_string(k) + (shortWrite ? " short" : "");
            if (run.report.present && run.report.operations < k)
                problems.push_back(point + ": the run ended after " + std::to_string(run.report.operations) +
                                   " operations");
            for (const std::string& wrong : Check(dir, run, clean))
                problems.push_back(point + " (" + run.report.failed + "): " + wrong);
        }
    }

    std::cout << "fault points exercised: " << points << ", short writes among them: " << shortWrites << "\n";
    for (const auto& [outcome, count] : outcomes) std::cout << "  " << count << " x " << outcome << "\n";
    std::string all;
    for (const std::string& problem : problems) all += problem + "\n";
    EXPECT_TRUE(problems.empty()) << problems.size() << " problems:\n" << all;
}

}  // namespace
