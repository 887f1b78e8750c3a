// Every I/O operation of a whole job made to fail in turn: a run with no fault
// counts the operations, then the job runs once more for every k, in a fresh
// folder, with its k-th operation failing (a write also once more after half
// of its bytes). Whatever fails, each invariant below holds, each checked on
// its own and named, with the fault point, when it does not.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <unistd.h>
#include <iostream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "faults/fault_report.hpp"
#include "runtime/console_texts.hpp"
#include "support/console_bytes.hpp"
#include "support/process.hpp"
#include "support/scratch.hpp"

namespace fs = std::filesystem;

namespace {

bool StartsWith(std::string_view text, std::string_view prefix) { return text.starts_with(prefix); }
bool EndsWith(std::string_view text, std::string_view suffix) { return text.ends_with(suffix); }
// The lines, a last one without its line end included.
std::vector<std::string> Lines(std::string_view text) {
    std::string rest;
    std::vector<std::string> lines = CrlfLines(text, &rest);
    if (!rest.empty()) lines.push_back(rest);
    return lines;
}
std::set<std::string> LineSet(std::string_view text) {
    const std::vector<std::string> lines = Lines(text);
    return {lines.begin(), lines.end()};
}

// One address of the job: its printed form, its request file on disk and the
// end of the name the program gives that file.
struct Address {
    std::string printed, requestFile, programName;
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
    {"list.txt", "files.lst the file list\r\nsecret.zip!!pw\r\n\r\nnodediff.a??\r\n" + std::string(60, 'n') +
                     ".arj\r\nmagic\nlast.zip\r\n"},
};

// Ten requests (the list file gives six), for three addresses: a node, a node
// in another zone, a point.
const std::vector<std::string> kRequested = {"pntlist.zip", "nodelist.*",  "fresh.zip !pass", "files.lst",
                                             "secret.zip !pw", "nodediff.a??", std::string(60, 'n') + ".arj",
                                             "magic",          "last.zip",     "x !!y"};

std::vector<std::string> LayOut(const ScratchDir& dir) {
    for (const auto& [name, bytes] : kBefore) dir.Write(name, bytes);
    dir.Write("tolvex.cfg", Crlf({"; the fault-point job", "OUTBOUND " + dir.At("fido"), "DEFAULTOUTBOUND OUT",
                                  "DEFAULTNET 2:4600", "DEFAULTNODE 12", "ZONE 3 OTHERNET", "CHECKDUPES YES",
                                  "CREATECLO YES", "LOG " + dir.At("tolvex.log")}));
    return {"/c:" + dir.At("tolvex.cfg"), "pntlist.zip", "nodelist.*", "fresh.zip!!pass", "@list.txt", "x!!!y",
            "/36", "3:700/5", ".7"};
}

struct Outcome {
    int exitCode = -1;
    std::string console;  // standard output, a failed console write's bytes put back where they belonged
    std::string err;      // standard error: the program writes none, a sanitizer does
    bool reported = false;
    FaultReport report;
    std::map<std::string, std::string> files;  // every file below fido/, with its bytes
    std::string log;
};

// Runs the faulty program on a fresh job with its k-th operation failing (0:
// none); a failing write writes half of its bytes first when `shortWrite` is set.
Outcome RunFaulty(long failAt, bool shortWrite) {
    const ScratchDir dir;
    std::vector<std::string> argv = LayOut(dir);
    argv.insert(argv.begin(), TOLVEX_FAULTY_PROGRAM);
    RunOptions options;
    options.folder = dir.Path();
    options.errorFile = dir.At("stderr.txt");
    options.environment = {{"TOLVEX_FAULT_COUNT", dir.At("fault-report.txt")},
                           {"TOLVEX_FAULT_ROOT", dir.Path()},
                           {"TOLVEX_FAIL_AT", std::to_string(failAt)}};
    if (shortWrite) options.environment.emplace_back("TOLVEX_FAIL_SHORT", "1");
    const RunResult run = RunCommand(argv, options);
    Outcome outcome;
    outcome.exitCode = run.exitCode;
    outcome.err = dir.Read("stderr.txt");
    outcome.reported = ParseFaultReport(dir.Read("fault-report.txt"), outcome.report);
    outcome.console = run.out;
    if (outcome.report.consoleLostAt >= 0)
        outcome.console.insert(std::min(static_cast<std::size_t>(outcome.report.consoleLostAt), run.out.size()),
                               outcome.report.consoleLost);
    for (const auto& entry : fs::recursive_directory_iterator(dir.At("fido")))
        if (entry.is_regular_file()) {
            const std::string name = fs::relative(entry.path(), dir.Path()).string();
            outcome.files[name] = dir.Read(name);
        }
    outcome.log = dir.Read("tolvex.log");
    return outcome;
}

const std::string kEnd = Crlf({"", text::kGoodbye});

std::string LastLine(const Outcome& run) {
    const std::vector<std::string> lines = CrlfLines(run.console);
    return lines.empty() ? std::string() : lines.back();
}

bool NamesAddress(std::string_view line, const Address& address) {
    return ((StartsWith(line, text::kUnableToOpen) || StartsWith(line, text::kUnableToWrite)) &&
            EndsWith(line, address.programName)) ||
           line == std::string(text::kBusyBefore) + address.printed + std::string(text::kBusyAfter);
}

// The messages a stop of this job may end with: a file or folder it could
// not use, or a busy address. Its input is sound: a message about the input
// would report a failed operation as something else.
bool IsStopMessage(std::string_view line) {
    for (std::string_view message : {text::kUnableToOpen, text::kUnableToWrite, text::kCannotFindDirectory})
        if (StartsWith(line, message)) return true;
    return StartsWith(line, text::kBusyBefore) && EndsWith(line, text::kBusyAfter);
}

// Every requested word is in its address's request file, or reported as not
// written: the run stopped at the first address short of a word (none after
// it has them all) or before it, its message naming no address after it.
// Empty when that holds, else what does not.
std::string UnwrittenWords(const Outcome& run) {
    std::size_t first = kAddresses.size();
    for (std::size_t i = 0; i < kAddresses.size(); ++i) {
        const auto file = run.files.find(kAddresses[i].requestFile);
        const std::set<std::string> held = LineSet(file == run.files.end() ? "" : file->second);
        const bool all = std::all_of(kRequested.begin(), kRequested.end(), [&](const std::string& r) { return held.count(r); });
        if (!all && first == kAddresses.size()) first = i;
        if (all && first < i) return kAddresses[i].printed + " got every word, " + kAddresses[first].printed + " did not";
    }
    if (first == kAddresses.size()) return "";
    if (EndsWith(run.console, kEnd)) return kAddresses[first].printed + " is short of a word, and the run ended complete";
    for (std::size_t later = first + 1; later < kAddresses.size(); ++later)
        if (NamesAddress(LastLine(run), kAddresses[later]))
            return kAddresses[first].printed + " is short of a word, but the stop names a later address: " + LastLine(run);
    return "";
}

// Whether the failed operation is a request file's write, or the closing of
// a request file the run wrote to (its trace: a write since it was opened).
bool RequestFileWriteFailed(const FaultReport& report) {
    if (std::none_of(kAddresses.begin(), kAddresses.end(),
                     [&](const Address& a) { return EndsWith(report.failedName, a.programName); }))
        return false;
    if (report.failedOperation == "write") return true;
    bool written = false;
    std::istringstream trace(report.trace);
    for (std::string line; std::getline(trace, line) && std::atol(line.c_str()) < report.failedAt;)
        for (const char* operation : {" open ", " create-new ", " write "})
            if (line.find(operation + report.failedName + " ") != std::string::npos)
                written = std::string_view(operation) == " write ";
    return report.failedOperation == "close" && written;
}

// Whether a flow file was made while its address's request file was not
// open for adding: the trace's successful create-new of the flow file must
// come while the request file opened last is still open.
bool FlowFileWithoutRequestFile(const FaultReport& report, const Address& address) {
    const std::string flow = address.programName.substr(0, address.programName.size() - 4) + ".clo";
    bool open = false;
    std::istringstream trace(report.trace);
    for (std::string line; std::getline(trace, line);) {
        std::istringstream fields(line);
        std::string k, operation, name, result;
        fields >> k >> operation >> name >> result;
        if (EndsWith(name, address.programName) && (operation == "open" || operation == "create-new") && result == "0")
            open = true;
        if (EndsWith(name, address.programName) && operation == "close") open = false;
        if (EndsWith(name, flow) && operation == "create-new" && result == "0" && !open) return true;
    }
    return false;
}

// The whole log lines this run added whose request is not a line of its
// address's request file. (A log write that fails part-way leaves part of
// its line at the end, which names nothing.)
std::vector<std::string> LoggedButNotWritten(const Outcome& run) {
    std::vector<std::string> wrong;
    const std::vector<std::string> before = CrlfLines(kBefore.at("tolvex.log"));
    const std::vector<std::string> lines = CrlfLines(run.log);
    for (std::size_t i = before.size(); i < lines.size(); ++i) {
        const std::string& line = lines[i];
        const std::size_t last = line.rfind(' ');
        const auto address = std::find_if(kAddresses.begin(), kAddresses.end(),
                                          [&](const Address& a) { return last != std::string::npos && line.substr(last + 1) == a.printed; });
        const std::string request = line.size() > 15 && last > 15 ? line.substr(15, last - 15) : "";
        const auto file = address == kAddresses.end() ? run.files.end() : run.files.find(address->requestFile);
        if (file == run.files.end() || LineSet(file->second).count(request) == 0) wrong.push_back(line);
    }
    return wrong;
}

// The invariants of one run, one assertion each. `clean` is what the run
// without a fault left; empty for that run itself.
void ExpectInvariants(const Outcome& run, const std::map<std::string, std::string>& clean) {
    EXPECT_TRUE(run.reported) << "the run ends through its stop";
    EXPECT_EQ(run.exitCode, 0) << "the run ends with exit code 0";
    EXPECT_EQ(run.err.substr(0, 2000), "") << "nothing on standard error";
    EXPECT_EQ(run.report.outside, std::vector<std::string>()) << "nothing outside the job's folder is reached";
    EXPECT_TRUE(EndsWith(run.console, kEnd) || IsStopMessage(LastLine(run)))
        << "a run that ends early names in its last line the file, folder or address it could not use, not \""
        << LastLine(run) << "\"";
    EXPECT_EQ(UnwrittenWords(run), "") << "every requested word is written, or reported as not written";
    if (RequestFileWriteFailed(run.report)) {
        EXPECT_EQ(LastLine(run), std::string(text::kUnableToWrite) + run.report.failedName)
            << "a request file that could not take its lines, or be closed after them, is named by the stop";
    }

    EXPECT_EQ(LoggedButNotWritten(run), std::vector<std::string>()) << "every log line names a request that is in its file";
    for (const Address& address : kAddresses) {
        EXPECT_FALSE(FlowFileWithoutRequestFile(run.report, address))
            << "no flow file is made for an address whose request file is not open: " << address.printed;
        const auto file = run.files.find(address.requestFile);
        const std::string bytes = file == run.files.end() ? std::string() : file->second;
        const std::set<std::string> held = LineSet(bytes);
        EXPECT_FALSE(file != run.files.end() && bytes.empty() && !kBefore.count(address.requestFile))
            << "no request file is left empty by the run: " << address.requestFile;
        const std::string flow = address.requestFile.substr(0, address.requestFile.size() - 4) + ".clo";
        EXPECT_FALSE(run.files.count(flow) && !kBefore.count(flow) && held.empty())
            << "no flow file without a request line: " << flow;
        const std::string shown = std::string(text::kRequestedFrom) + address.printed;
        for (const std::string& line : CrlfLines(run.console))
            if (EndsWith(line, shown) && line.size() > shown.size() + 1) {
                EXPECT_TRUE(held.count(line.substr(1, line.size() - shown.size() - 1)))
                    << "a request shown is in its file: \"" << line << "\", " << address.requestFile;
            }
        const auto old = kBefore.find(address.requestFile);
        if (old != kBefore.end() && bytes == old->second) continue;
        EXPECT_TRUE(bytes.empty() || EndsWith(bytes, "\r\n"))
            << "a request file holds whole lines only: " << address.requestFile << " ends in \""
            << bytes.substr(bytes.rfind('\n') + 1) << "\"";
        if (clean.empty()) continue;
        const std::set<std::string> meant = LineSet(clean.count(address.requestFile) ? clean.at(address.requestFile) : "");
        for (const std::string& line : held)
            EXPECT_TRUE(meant.count(line)) << "a request file holds only lines the job means: " << address.requestFile
                                           << " holds \"" << line << "\"";
    }
    for (const auto& [name, bytes] : kBefore) {
        if (name == "list.txt") continue;
        const bool log = name == "tolvex.log";
        ASSERT_TRUE(log || run.files.count(name)) << "every file the job found is still there: " << name;
        const std::string& now = log ? run.log : run.files.at(name);
        if (EndsWith(name, ".clo")) {
            EXPECT_EQ(now, bytes) << "an existing flow file is left as it was";
            continue;
        }
        const std::set<std::string> held = LineSet(now);
        for (const std::string& line : Lines(bytes))
            EXPECT_TRUE(held.count(line)) << "every line a file held is still a whole line of it: " << name
                                          << " lost \"" << line.substr(0, 40) << "\"";
    }
    // Only the removal of the flag itself, made to fail, may leave it.
    const bool flagRemovalFailed = run.report.failedOperation == "delete" && EndsWith(run.report.failedName, ".bsy");
    for (const auto& [name, bytes] : run.files) {
        EXPECT_FALSE(EndsWith(name, ".bsy") && !flagRemovalFailed) << "no busy flag is left: " << name;
        EXPECT_FALSE(EndsWith(name, ".tmp") || EndsWith(name, "~")) << "no temporary file is left: " << name;
    }
    if (run.report.consoleLostAt >= 0) {
        EXPECT_TRUE(run.files == clean) << "a console that cannot be written changes nothing on disk";
    }
}

std::string Category(const Outcome& run) {
    if (run.report.consoleLostAt >= 0) return "console line lost, job complete";
    if (EndsWith(run.console, kEnd)) return "job complete";
    for (std::string_view message : {text::kUnableToOpen, text::kUnableToWrite, text::kCannotFindDirectory})
        if (StartsWith(LastLine(run), message)) return "stopped: \"" + std::string(message) + "...\"";
    return "stopped: \"" + LastLine(run) + "\"";
}

TEST(FaultPoints, EveryOperationOfAJobFailsInTurn) {
    const Outcome clean = RunFaulty(0, false);
    ASSERT_TRUE(clean.reported) << clean.err;
    ASSERT_TRUE(EndsWith(clean.console, kEnd)) << clean.console;
    ExpectInvariants(clean, {});
    // The job as it was meant: ten requests for three addresses, two of them
    // present already at the first address.
    EXPECT_EQ(CrlfLines(clean.console).size(), 3 + 10 * 3 + 2u) << clean.console;
    EXPECT_NE(clean.console.find(" pntlist.zip -> already exist. Skipping..."), std::string::npos) << clean.console;
    EXPECT_EQ(clean.files.at("fido/othernet.003/02bc0005.req").substr(0, 17), "a.zip\r\nb.zip\r\npnt");
    // The numbered operations, for reading a problem's k against.
    if (std::getenv("TOLVEX_SHOW_FAULT_POINTS") != nullptr) std::cout << clean.report.trace;
    const long points = clean.report.operations;
    ASSERT_GT(points, 50);

    std::map<std::string, int> outcomes;
    int shortWrites = 0;
    for (long k = 1; k <= points; ++k) {
        // A failing write fails whole, and once more after half of its bytes.
        for (const bool shortWrite : {false, true}) {
            const Outcome run = RunFaulty(k, shortWrite);
            if (shortWrite && run.report.failedOperation.find("write") == std::string::npos) break;
            shortWrites += shortWrite;
            ++outcomes[Category(run) + (shortWrite ? " (short write)" : "")];
            SCOPED_TRACE("fault point k=" + std::to_string(k) + (shortWrite ? " short" : "") + ": " +
                         run.report.failedOperation + " " + run.report.failedName);
            EXPECT_EQ(run.report.failedAt, k) << "the run reaches its fault point";
            ExpectInvariants(run, clean.files);
        }
    }
    std::cout << "fault points exercised: " << points << ", short writes among them: " << shortWrites << "\n";
    for (const auto& [outcome, count] : outcomes) std::cout << "  " << count << " x " << outcome << "\n";
}

// A busy flag timed on the program's own clock, which the faulty platform
// keeps still but for the pauses: the 5 s wait and the 100 ms between looks
// hold whatever the machine's load. A flag that vanishes at 1.5 s is seen gone
// at the next look; one that stays stops the run at 5 s exactly.
TEST(BusyFlag, IsWaitedForOnTheProgramsOwnClock) {
    for (const long vanishAt : {1550L, -1L}) {
        const ScratchDir dir;
        dir.Write("tolvex.cfg", Crlf({"OUTBOUND " + dir.At("fido"), "DEFAULTOUTBOUND OUT", "DEFAULTNET 2:4600"}));
        dir.Write("fido/out/11f80024.bsy", "4711\r\n");
        RunOptions options;
        options.folder = dir.Path();
        options.environment = {{"TOLVEX_FAULT_COUNT", dir.At("fault-report.txt")}, {"TOLVEX_STILL_CLOCK", "1"}};
        if (vanishAt >= 0) options.environment.emplace_back("TOLVEX_VANISH_AT", std::to_string(vanishAt) + " " + dir.At("fido/out/11f80024.bsy"));
        const RunResult run = RunCommand({TOLVEX_FAULTY_PROGRAM, "/c:" + dir.At("tolvex.cfg"), "a.zip", "/36"}, options);
        FaultReport report;
        ASSERT_TRUE(ParseFaultReport(dir.Read("fault-report.txt"), report));
        if (vanishAt >= 0) {
            EXPECT_EQ(run.out, Finished({" a.zip -> 2:4600/36.0"}));
            EXPECT_EQ(report.clock, 1600) << "the next look after the flag went";
        } else {
            EXPECT_EQ(run.out, Console({" Error! 2:4600/36.0 is busy."}));
            EXPECT_EQ(report.clock, 5000) << "the last look when the 5 s are over";
            EXPECT_EQ(dir.Read("fido/out/11f80024.bsy"), "4711\r\n");
        }
    }
}

// A small job of the faulty program in `dir` (CHECKDUPES on), with the
// environment given.
RunResult RunSmallJob(const ScratchDir& dir, const std::vector<std::string>& items,
                      std::vector<std::pair<std::string, std::string>> environment) {
    dir.Write("tolvex.cfg", Crlf({"OUTBOUND " + dir.At("fido"), "DEFAULTOUTBOUND OUT", "DEFAULTNET 2:4600", "CHECKDUPES YES"}));
    RunOptions options;
    options.folder = dir.Path();
    options.environment = std::move(environment);
    std::vector<std::string> argv = {TOLVEX_FAULTY_PROGRAM, "/c:" + dir.At("tolvex.cfg")};
    argv.insert(argv.end(), items.begin(), items.end());
    return RunCommand(argv, options);
}

// Another program adds a line to the request file (open, write, close, as a
// script does) while the cleaning waits before its rename: the line is in the
// request file afterwards, with the cleaned lines and the run's own. One that
// makes the request file right before the run does is added to.
TEST(Cleaning, KeepsWhatAnotherProgramAddsMeanwhile) {
    const ScratchDir dir;
    dir.Write("fido/out/11f80024.req", "a.zip\r\nb.zip\r\na.zip\r\n");
    const std::string replaced = "replace " + dir.At("fido/out/11f80024.req") + " grow-1.zip";
    EXPECT_EQ(RunSmallJob(dir, {"c.zip", "/36"}, {{"TOLVEX_ADD_BEFORE", replaced}}).out, Finished({" c.zip -> 2:4600/36.0"}));
    EXPECT_EQ(dir.Read("fido/out/11f80024.req"), "a.zip\r\nb.zip\r\ngrow-1.zip\r\nc.zip\r\n");
    const std::string made = "create-new " + dir.At("fido/out/11f80025.req") + " script.zip";
    EXPECT_EQ(RunSmallJob(dir, {"c.zip", "/37"}, {{"TOLVEX_ADD_BEFORE", made}}).out, Finished({" c.zip -> 2:4600/37.0"}));
    EXPECT_EQ(dir.Read("fido/out/11f80025.req"), "script.zip\r\nc.zip\r\n");
}

// Windows tells the owner of a link or a junction as an account: the run's,
// the Administrators group's or SYSTEM's, or another's; the faulty platform
// gives a link's owner so. Only another's link is refused.
TEST(Links, AreFollowedAsTheirOwnerAllows) {
    for (const std::string owner : {"Other", "System", "Run"}) {
        const ScratchDir dir;
        dir.Write("decoy.req", "x.zip\r\n");
        dir.MakeDir("fido/out");
        ASSERT_EQ(symlink(dir.At("decoy.req").c_str(), dir.At("fido/out/11f80024.req").c_str()), 0);
        const RunResult run = RunSmallJob(dir, {"a.zip", "/36"}, {{"TOLVEX_LINK_OWNER", "11f80024.req " + owner}});
        const bool followed = owner != "Other";
        EXPECT_EQ(run.out, followed ? Finished({" a.zip -> 2:4600/36.0"})
                                    : Console({" Error! Unable to open " + Upper(dir.At("fido")) + "\\OUT\\11f80024.req"}))
            << owner;
        EXPECT_EQ(dir.Read("decoy.req"), followed ? "x.zip\r\na.zip\r\n" : "x.zip\r\n") << owner;
    }
}

}  // namespace
