// What the machine does around a run: standard files closed or gone, a disk
// or a file-size limit that fills, memory that runs out, a file system that
// keeps no mode, an interrupt, a kill at any moment. Every file keeps its old
// bytes plus whole lines, the console reports only what is in a file, and no
// flag is left but by a kill.
#include <fcntl.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <fstream>
#include <iostream>
#include <map>
#include <regex>
#include <set>
#include <sstream>

#include "e2e/harness.hpp"

namespace {

// What a run wrote into a request file that held `before`: the lines it added,
// or a description of what is not whole.
std::vector<std::string> AddedLines(const std::string& before, const std::string& after, std::string& fault) {
    if (after.compare(0, before.size(), before) != 0) fault = "the old bytes changed";
    std::string rest;
    const std::vector<std::string> added = CrlfLines(after.substr(std::min(before.size(), after.size())), &rest);
    if (!rest.empty()) fault = "ends in half a line: \"" + rest + "\"";
    return added;
}

// The requests the console reported for an address.
std::vector<std::string> Reported(const std::string& console, const std::string& address) {
    std::vector<std::string> requests;
    const std::string arrow = " -> " + address;
    for (const std::string& line : CrlfLines(console))
        if (line.size() > arrow.size() + 1 && line.compare(line.size() - arrow.size(), arrow.size(), arrow) == 0)
            requests.push_back(line.substr(1, line.size() - arrow.size() - 1));
    return requests;
}

class MachineFaults : public EndToEnd {};

TEST_P(MachineFaults, AConsoleThatCannotBeWrittenCostsNoRequest) {
    const Job job(build());
    job.ConfigureStandard({"CREATECLO YES", "LOG " + job.ConfigPath("t.log")});
    for (const Output output : {Output::DiskFull, Output::ClosedPipe})
        EXPECT_EQ(job.Run({"a.zip", "b.zip", "/36", "/37.1"}, WritingTo(output)).exitCode, 0);
    EXPECT_EQ(job.dir().Read(job.Out("11f80024.req")), "a.zip\r\nb.zip\r\na.zip\r\nb.zip\r\n");
    EXPECT_EQ(job.dir().Read(job.Out("11f80025.pnt/00000001.req")), "a.zip\r\nb.zip\r\na.zip\r\nb.zip\r\n");
    EXPECT_TRUE(job.dir().Exists(job.Out("11f80025.pnt/00000001.clo")));
    EXPECT_EQ(CrlfLines(job.dir().Read(job.Created("T.LOG"))).size(), 8u);
}

// The console is a pipe nobody reads, so the run is held in the middle of the
// address when the interrupt comes. Under wine the console write is not cut
// short: the address is finished once the pipe is read.
TEST_P(MachineFaults, AnInterruptFinishesTheAddressInHandAndEndsTheRun) {
    const Job job(build());
    job.ConfigureStandard({"LOG " + job.ConfigPath("t.log")});
    std::string list;
    for (int i = 0; i < 15000; ++i) list += "f" + std::string(5 - std::to_string(i).size(), '0') + std::to_string(i) + ".z\r\n";
    job.dir().Write("big.lst", list);
    const std::vector<int> signals =
        build() == Build::Posix ? std::vector<int>{SIGINT, SIGTERM, SIGHUP, SIGQUIT} : std::vector<int>{SIGINT};
    for (const int signal : signals) {
        std::remove(job.dir().At(job.Out("11f80024.req")).c_str());
        Running run = job.Start({"@big.lst", "/36", "/37"});
        ASSERT_TRUE(AppearsWithin(job.dir().At(job.Out("11f80024.bsy")), 20));
        usleep(300000);
        run.Signal(signal);
        const RunResult result = run.Finish();
        // Ended by the signal (wine: the low byte of STATUS_CONTROL_C_EXIT).
        EXPECT_EQ(result.exitCode, build() == Build::Posix ? 1000 + signal : 0x3A) << signal;
        EXPECT_EQ(job.dir().Read(job.Out("11f80024.req")), list) << signal;
        EXPECT_FALSE(job.dir().Exists(job.Out("11f80024.bsy"))) << signal;
        EXPECT_FALSE(job.dir().Exists(job.Out("11f80025.req"))) << signal;
    }
    std::string rest;
    EXPECT_EQ(CrlfLines(job.dir().Read(job.Created("T.LOG")), &rest).size(), 15000 * signals.size());
    EXPECT_EQ(rest, "");
}

// Runs killed while they cleaned left their copies (this version's, and
// those of an earlier one); the next cleaning of that address, holding its
// flag, removes them, and nothing else.
TEST_P(MachineFaults, TheCleaningRemovesTheAddresssLeftoverCopies) {
    const Job job(build());
    job.ConfigureStandard({"CHECKDUPES YES"});
    const std::vector<std::string> left = {"11f80024.4711.tmp", "11f80024.12-3.tmp", "11f80024.re~"};
    const std::vector<std::string> kept = {"11f80025.99.tmp", "11f80024.x.tmp", "11f80024.7.tmp.req", "11f80024.tmp",
                                           "11f80024..tmp",   "11f80024.12-.tmp"};
    for (const std::string& name : left) job.dir().Write(job.Out(name), "a.zip\r\n");
    for (const std::string& name : kept) job.dir().Write(job.Out(name), "a.zip\r\n");
    job.dir().Write(job.Out("11f80024.req"), "a.zip\r\n");
    EXPECT_EQ(job.Run({"b.zip", "/36"}).exitCode, 0);
    EXPECT_EQ(job.dir().Read(job.Out("11f80024.req")), "a.zip\r\nb.zip\r\n");
    for (const std::string& name : left) EXPECT_FALSE(job.dir().Exists(job.Out(name))) << name;
    for (const std::string& name : kept) EXPECT_TRUE(job.dir().Exists(job.Out(name))) << name;
}

TOLVEX_BOTH_BUILDS(MachineFaults);

TEST(MachineFaultsPosix, ClosedStandardDescriptorsAreNeverFiles) {
    for (const int fd : {0, 1, 2}) {
        const Job job(Build::Posix);
        job.ConfigureStandard({"CREATECLO YES", "LOG " + job.ConfigPath("t.log")});
        RunOptions options;
        options.closed = fd;
        const RunResult run = job.Run({"a.zip", "b.zip", "/36"}, options);
        EXPECT_EQ(run.exitCode, 0) << fd;
        const std::string shown = Finished({" a.zip -> 2:4600/36.0", " b.zip -> 2:4600/36.0"});
        EXPECT_EQ(run.out, fd == 1 ? "" : shown) << fd;
        EXPECT_EQ(job.dir().Read("fido/out/11f80024.req"), "a.zip\r\nb.zip\r\n") << fd;
        EXPECT_EQ(job.dir().Read("fido/out/11f80024.clo"), "") << fd;
        EXPECT_EQ(CrlfLines(job.dir().Read("t.log")).size(), 2u) << fd;
    }
}

// A 64 KiB file system, full but for 20 bytes beside a request file: the
// third line of the run fills it in the middle.
TEST(MachineFaultsPosix, AFullDiskLeavesWholeLinesEachOneReported) {
    const Job job(Build::Posix);
    const std::string fido = job.dir().At("fido");
    if (mount("tolvex-test", fido.c_str(), "tmpfs", 0, "size=64k,mode=0777") != 0)
        GTEST_SKIP() << "no small file system can be mounted here: " << std::strerror(errno);
    struct Unmount {
        std::string path;
        ~Unmount() { umount2(path.c_str(), MNT_DETACH); }
    } unmount{fido};
    job.ConfigureStandard();
    std::string old;
    for (int i = 0; old.size() < 3 * 4096 - 20; ++i) old += "old" + std::to_string(i % 10) + ".zip\r\n";
    old.resize(3 * 4096 - 20 - 2);
    old += "\r\n";
    job.dir().Write("fido/out/11f80024.req", old);
    {
        std::ofstream filler(job.dir().At("fido/filler"), std::ios::binary);
        const std::string block(4096, 'f');
        while (filler.write(block.data(), block.size())) {
        }
    }
    std::vector<std::string> args;
    for (int i = 0; i < 10; ++i) args.push_back("have" + std::to_string(i) + ".zip");
    args.push_back("/36");
    const RunResult full = job.Run(args);
    EXPECT_NE(full.out.find(" Error! Unable to write "), std::string::npos) << full.out;
    std::string fault;
    const std::vector<std::string> added = AddedLines(old, job.dir().Read("fido/out/11f80024.req"), fault);
    EXPECT_EQ(fault, "");
    EXPECT_EQ(added, Reported(full.out, "2:4600/36.0"));
    EXPECT_FALSE(added.empty());
    EXPECT_LT(added.size(), 10u);

    // On the freed disk the next run adds its own line and nothing else.
    const std::string before = job.dir().Read("fido/out/11f80024.req");
    std::remove(job.dir().At("fido/filler").c_str());
    EXPECT_EQ(job.Run({"next.zip", "/36"}).exitCode, 0);
    EXPECT_EQ(job.dir().Read("fido/out/11f80024.req"), before + "next.zip\r\n");
}

// A limit on the size of files: the request file is cut back to its old
// bytes and named, the flag given back, and no log line claims the request;
// a request file the run made and could not write a line to is removed, and
// no flow file makes the mailer call for nothing.
TEST(MachineFaultsPosix, AFileSizeLimitCutsTheRequestFileBackAndStops) {
    const Job job(Build::Posix);
    job.ConfigureStandard({"CREATECLO YES", "LOG " + job.ConfigPath("t.log")});
    const std::string old(82, 'o');
    job.dir().Write("fido/out/11f80024.req", old + "\r\n");
    job.dir().Write("t.log", "");
    RunOptions limited;
    limited.limits = {{RLIMIT_FSIZE, 90}};
    const RunResult run = job.Run({"aaaaaaaa.zip", "bbbbbbbb.zip", "/36", "/37"}, limited);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out, Console({" Error! Unable to write " + job.OutboundName("11f80024.req")}));
    EXPECT_EQ(job.dir().Tree(), (std::vector<std::string>{"fido/", "fido/out/", "fido/out/11f80024.req", "prog/",
                                                         "prog/tolvex", "prog/tolvex.cfg", "t.log"}));
    EXPECT_EQ(job.dir().Read("fido/out/11f80024.req"), old + "\r\n");
    EXPECT_EQ(job.dir().Read("t.log"), "");

    limited.limits = {{RLIMIT_FSIZE, 0}};
    EXPECT_EQ(job.Run({"new.zip", "/37"}, limited).out, Console({" Error! Unable to write " + job.OutboundName("11f80025.req")}));
    EXPECT_EQ(TreeBelow(job.dir().At("fido/out")), std::vector<std::string>{"11f80024.req"});
}

// The cleaning holds at most 32 MiB of a request file: one of 20 MiB with a
// repeat is cleaned, one larger is left untouched and its address given up.
TEST(MachineFaultsPosix, TheCleaningTakesRequestFilesUpTo32MiB) {
    const Job job(Build::Posix);
    job.ConfigureStandard({"CHECKDUPES YES"});
    std::string lines;
    for (int i = 0; lines.size() < (std::size_t{20} << 20); ++i) lines += "file-number-" + std::to_string(1000000 + i) + ".zip\r\n";
    job.dir().Write("fido/out/11f80024.req", lines + "file-number-1000000.zip\r\n");
    EXPECT_EQ(job.Run({"a.zip", "/36"}).out, Finished({" a.zip -> 2:4600/36.0"}));
    EXPECT_TRUE(job.dir().Read("fido/out/11f80024.req") == lines + "a.zip\r\n");
    while (lines.size() <= (std::size_t{32} << 20)) lines += lines.substr(0, std::size_t{1} << 20);
    job.dir().Write("fido/out/11f80025.req", lines);
    EXPECT_EQ(job.Run({"a.zip", "/37"}).out, Console({" Error! Not enough memory to read " + job.OutboundName("11f80025.req")}));
    EXPECT_TRUE(job.dir().Read("fido/out/11f80025.req") == lines);
}

// Memory that runs out while the cleaning reads a request file of 3 MB (200,000
// lines, one repeated) ends the run through its stop: the file as it was, the
// flag given back. The same limit lets a small job through.
TEST(MachineFaultsPosix, MemoryThatRunsOutGivesUpTheAddressThroughTheStop) {
#ifdef TOLVEX_SANITIZED
    GTEST_SKIP() << "the sanitizers reserve more address space than the limit";
#endif
    const Job job(Build::Posix);
    job.ConfigureStandard({"CHECKDUPES YES", "CREATECLO YES"});
    std::string big;
    for (int i = 0; i < 200000; ++i) big += "file" + std::to_string(100000 + i) + ".zip\r\n";
    big += "file100005.zip\r\n";
    job.dir().Write("fido/out/11f80024.req", big);
    job.dir().Write("fido/out/11f80025.req", "x.zip\r\nx.zip\r\n");
    RunOptions limited;
    limited.limits = {{RLIMIT_AS, 16'000'000}};
    EXPECT_EQ(job.Run({"a.zip", "/37"}, limited).out, Finished({" a.zip -> 2:4600/37.0"}));
    const RunResult run = job.Run({"a.zip", "/36", "/38"}, limited);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out, Console({" Error! Not enough memory to read " + job.OutboundName("11f80024.req")}));
    EXPECT_EQ(job.dir().Read("fido/out/11f80024.req"), big);
    EXPECT_FALSE(job.dir().Exists("fido/out/11f80024.bsy"));
    EXPECT_FALSE(job.dir().Exists("fido/out/11f80024.clo"));
    EXPECT_FALSE(job.dir().Exists("fido/out/11f80026.req"));
}

// A file system that keeps no mode (FAT through FUSE) or has no fsync: the
// system calls fail as there, injected by strace, and the cleaning is done.
TEST(MachineFaultsPosix, AFileSystemThatKeepsNoModeStillTakesTheCleaning) {
    TOLVEX_NEED(OnPath("strace"), "strace");
    for (const std::string injected : {"fchmod:error=ENOSYS", "fchmod:error=EPERM", "fsync:error=EINVAL"}) {
        const Job job(Build::Posix);
        job.ConfigureStandard({"CHECKDUPES YES"});
        job.dir().Write("fido/out/11f80024.req", "a.zip\r\nb.zip\r\na.zip\r\n");
        RunOptions options;
        options.folder = job.dir().Path();
        options.errorFile = "/dev/null";
        const RunResult run =
            RunCommand({"strace", "-qq", "-o", "/dev/null", "-e", "inject=" + injected, "prog/tolvex", "c.zip", "/36"}, options);
        EXPECT_EQ(run.out, Finished({" c.zip -> 2:4600/36.0"})) << injected;
        EXPECT_EQ(job.dir().Read("fido/out/11f80024.req"), "a.zip\r\nb.zip\r\nc.zip\r\n") << injected;
    }
}

// Killed outright at each of its system calls in turn (strace injects the
// SIGKILL): whatever the moment, every request file holds whole lines only.
TEST(MachineFaultsPosix, AKillAtAnySystemCallLeavesWholeLines) {
    TOLVEX_NEED(OnPath("strace"), "strace");
    const std::map<std::string, std::string> before = {
        {"fido/out/11f80024.req", "old-file-number-one.zip\r\nold-file-number-two.zip !pw\r\nold-file-number-one.zip\r\n"
                                  "old-file-number-three.zip\r\nold-file-number-four.zip\r\n"},
        {"fido/out/11f80025.req", std::string(150, 'x') + ".zip\r\n"}};
    std::vector<std::string> args;
    std::set<std::string> requested;
    for (int i = 0; i < 12; ++i) requested.insert(args.emplace_back("requested-file-" + std::to_string(i) + ".zip"));
    args.insert(args.end(), {"/36", "/37"});

    const auto layOut = [&](const Job& job) {
        job.ConfigureStandard({"CHECKDUPES YES", "CREATECLO YES", "LOG " + job.ConfigPath("t.log")});
        for (const auto& [name, bytes] : before) job.dir().Write(name, bytes);
    };
    const auto traced = [&](const Job& job, std::vector<std::string> strace) {
        strace.insert(strace.begin(), {"strace", "-f", "-qq"});
        strace.push_back("prog/tolvex");
        strace.insert(strace.end(), args.begin(), args.end());
        RunOptions options;
        options.folder = job.dir().Path();
        options.errorFile = "/dev/null";
        return RunCommand(strace, options).exitCode;
    };
    // The system calls of a whole run, by name.
    std::map<std::string, int> calls;
    {
        const Job job(Build::Posix);
        layOut(job);
        ASSERT_EQ(traced(job, {"-o", "trace"}), 0);
        std::istringstream trace(job.dir().Read("trace"));
        const std::regex call(R"(^\d+\s+([a-z0-9_]+)\()");
        for (std::string line; std::getline(trace, line);) {
            std::smatch m;
            if (std::regex_search(line, m, call)) ++calls[m[1]];
        }
    }
    ASSERT_GT(calls.size(), 10u);
    int kills = 0;
    std::vector<std::string> faults;
    for (const auto& [call, count] : calls)
        for (int k = 1; k <= count; ++k) {
            const Job job(Build::Posix);
            layOut(job);
            if (traced(job, {"-o", "/dev/null", "-e", "inject=" + call + ":signal=SIGKILL:when=" + std::to_string(k)}) != 0) ++kills;
            for (const auto& [name, old] : before) {
                std::string fault;
                std::set<std::string> oldLines;
                for (const std::string& line : CrlfLines(old)) oldLines.insert(line);
                const std::string now = job.dir().Read(name);
                std::string rest;
                for (const std::string& line : CrlfLines(now, &rest))
                    if (oldLines.count(line) == 0 && requested.count(line) == 0) fault = "the line \"" + line + "\"";
                if (!rest.empty()) fault = "half a line \"" + rest + "\"";
                for (const std::string& line : oldLines)
                    if (now.find(line + "\r\n") == std::string::npos) fault = "lost \"" + line + "\"";
                if (!fault.empty()) faults.push_back(call + " #" + std::to_string(k) + ": " + name + ": " + fault);
            }
        }
    EXPECT_GT(kills, 0);
    int total = 0;
    for (const auto& [call, count] : calls) total += count;
    std::cout << "system calls of the job: " << total << " of " << calls.size() << " kinds; runs killed: " << kills
              << "\n";
    std::string all;
    for (const std::string& fault : faults) all += fault + "\n";
    EXPECT_TRUE(faults.empty()) << all;
}

// Windows takes a path of at most 259 characters: a request file whose name
// is that long is cleaned all the same, its copy's name being no longer.
TEST(MachineFaultsWin32, ARequestFileWithTheLongestNameIsCleaned) {
    TOLVEX_NEED(Win32Available(), "the Windows program or wine");
    const Job job(Build::Win32);
    const std::string deep(242 - job.ConfigPath("fido").size() - 1, 'D');
    job.dir().MakeDir("fido/" + deep + "/OUT");
    job.Configure({"OUTBOUND " + job.ConfigPath("fido\\" + deep), "DEFAULTOUTBOUND OUT", "DEFAULTNET 2:4600", "CHECKDUPES YES"});
    job.dir().Write("fido/" + deep + "/OUT/11f80024.req", "a.zip\r\nb.zip\r\na.zip\r\n");
    const std::string name = Upper(job.ConfigPath("fido\\" + deep)) + "\\OUT\\11f80024.req";
    ASSERT_EQ(name.size(), 259u);
    EXPECT_EQ(job.Run({"c.zip", "/36"}).out, Finished({" c.zip -> 2:4600/36.0"}));
    EXPECT_EQ(job.dir().Read("fido/" + deep + "/OUT/11f80024.req"), "a.zip\r\nb.zip\r\nc.zip\r\n");
    EXPECT_EQ(TreeBelow(job.dir().At("fido/" + deep + "/OUT")), std::vector<std::string>{"11f80024.req"});
}

}  // namespace
