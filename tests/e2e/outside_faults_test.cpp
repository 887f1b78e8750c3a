// Faults from the world around a run: closed standard descriptors, a disk that
// fills up, runs side by side, an interrupt, a kill at any moment, files of
// other users and a shared outbound. Every file keeps its old bytes plus whole
// lines, and the console reports only what is in a file.
#include <fcntl.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <fstream>
#include <future>
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

struct stat Stat(const std::string& path) {
    struct stat info {};
    lstat(path.c_str(), &info);
    return info;
}

constexpr unsigned kGroup = 4321;  // the group that shares an outbound
constexpr unsigned kMailer = 4711;  // the user a mailer runs as
constexpr unsigned kMember = 4712;  // another member of the group

// The outbound's folders as the shared set-up has them: the mailer's user and
// group, group-writable and setgid.
void ShareOutbound(const Job& job, std::initializer_list<const char*> folders) {
    for (const char* folder : folders) {
        job.dir().MakeDir(folder);
        ASSERT_EQ(chown(job.dir().At(folder).c_str(), kMailer, kGroup), 0);
        chmod(job.dir().At(folder).c_str(), 02775);
    }
}

// The message a run stops with for a request file of the standard outbound.
std::string UnableToOpen(const Job& job, std::string_view file) {
    return " Error! Unable to open " + Upper(job.ConfigPath("fido")) + "\\OUT\\" + std::string(file);
}

class OutsideFaults : public EndToEnd {};

// Only ^Z bytes that end a file are padding; text after a ^Z is requests.
TEST_P(OutsideFaults, TextAfterAnEndMarkIsKeptWhenAddingToAFile) {
    for (const bool checkDupes : {false, true}) {
        const Job job(build());
        job.ConfigureStandard(checkDupes ? std::vector<std::string>{"CHECKDUPES YES"} : std::vector<std::string>{});
        const std::string old = "a.zip\r\n\x1ahidden.zip\r\na.zip\r\n";
        job.dir().Write(job.Out("11f80025.req"), old);
        EXPECT_EQ(job.Run({"c.zip", "/37"}).exitCode, 0);
        EXPECT_EQ(job.dir().Read(job.Out("11f80025.req")), old + "c.zip\r\n") << "CHECKDUPES " << checkDupes;
    }
}

// The log lines of the runs, each whole, in any order; what follows the last
// line end goes into `rest`.
std::multiset<std::string> LoggedRequests(const std::string& log, std::string& rest) {
    const std::regex form(R"(\d\d/\d\d \d\d:\d\d:\d\d (\S+ \S+))");
    std::multiset<std::string> logged;
    for (const std::string& line : CrlfLines(log, &rest)) {
        std::smatch m;
        logged.insert(std::regex_match(line, m, form) ? std::string(m[1]) : "not a log line: " + line);
    }
    return logged;
}

// One run waits at its prompt, its log open, while another runs to its end.
TEST_P(OutsideFaults, ARunAtItsPromptWritesAfterTheOtherRunsLogLines) {
    const Job job(build());
    job.ConfigureStandard({"LOG " + job.ConfigPath("t.log")});
    Running waiting = job.Start({"/"});
    ASSERT_TRUE(waiting.WaitFor("Request file(s): "));
    EXPECT_EQ(job.Run({"b.zip", "/37"}).exitCode, 0);
    EXPECT_EQ(waiting.Finish("a.zip\r\n/36\r\n").exitCode, 0);
    std::string rest;
    EXPECT_EQ(LoggedRequests(job.dir().Read(job.Created("T.LOG")), rest),
              (std::multiset<std::string>{"a.zip 2:4600/36.0", "b.zip 2:4600/37.0"}));
    EXPECT_EQ(rest, "");
}

// The console is a pipe nobody reads, so the run is held in the middle of the
// address when the interrupt comes. Under wine the console write is not cut
// short: the address is finished once the pipe is read.
TEST_P(OutsideFaults, AnInterruptFinishesTheAddressInHandAndEndsTheRun) {
    const Job job(build());
    job.ConfigureStandard({"LOG " + job.ConfigPath("t.log")});
    std::string list;
    for (int i = 0; i < 15000; ++i) list += "f" + std::string(5 - std::to_string(i).size(), '0') + std::to_string(i) + ".z\r\n";
    job.dir().Write("big.lst", list);
    const std::vector<int> signals =
        build() == Build::Posix ? std::vector<int>{SIGINT, SIGTERM} : std::vector<int>{SIGINT};
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

// A run killed while it cleaned left its copies; the next cleaning of that
// address, holding its flag, removes them, and nothing else.
TEST_P(OutsideFaults, TheCleaningRemovesTheAddresssLeftoverCopies) {
    const Job job(build());
    job.ConfigureStandard({"CHECKDUPES YES"});
    const std::vector<std::string> left = {"11f80024.4711.tmp", "11f80024.12-3.tmp"};
    const std::vector<std::string> kept = {"11f80025.99.tmp", "11f80024.x.tmp", "11f80024.7.tmp.req", "11f80024.tmp"};
    for (const std::string& name : left) job.dir().Write(job.Out(name), "a.zip\r\n");
    for (const std::string& name : kept) job.dir().Write(job.Out(name), "a.zip\r\n");
    job.dir().Write(job.Out("11f80024.req"), "a.zip\r\n");
    EXPECT_EQ(job.Run({"b.zip", "/36"}).exitCode, 0);
    EXPECT_EQ(job.dir().Read(job.Out("11f80024.req")), "a.zip\r\nb.zip\r\n");
    for (const std::string& name : left) EXPECT_FALSE(job.dir().Exists(job.Out(name))) << name;
    for (const std::string& name : kept) EXPECT_TRUE(job.dir().Exists(job.Out(name))) << name;
}

TOLVEX_BOTH_BUILDS(OutsideFaults);

// Twenty runs at once, six requests each, each on an address of its own.
// (Not under wine: its append-only handles write at the end each process last
// saw, so lines of runs side by side overwrite each other there.)
TEST(OutsideFaultsPosix, TwentyRunsAtOnceKeepEveryLogLineWhole) {
    const Job job(Build::Posix);
    job.ConfigureStandard({"LOG " + job.ConfigPath("t.log")});
    std::multiset<std::string> expected;
    std::vector<std::future<RunResult>> runs;
    for (int i = 0; i < 20; ++i) {
        std::vector<std::string> args;
        for (int f = 0; f < 6; ++f) {
            args.push_back("r" + std::to_string(i) + "f" + std::to_string(f) + ".zip");
            expected.insert(args.back() + " 2:4600/" + std::to_string(100 + i) + ".0");
        }
        args.push_back("/" + std::to_string(100 + i));
        runs.push_back(std::async(std::launch::async, [&job, args] { return job.Run(args); }));
    }
    for (auto& run : runs) EXPECT_EQ(run.get().exitCode, 0);
    std::string rest;
    EXPECT_EQ(LoggedRequests(job.dir().Read("t.log"), rest), expected);
    EXPECT_EQ(rest, "");
}

TEST(OutsideFaultsPosix, ClosedStandardDescriptorsAreNeverFiles) {
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
TEST(OutsideFaultsPosix, AFullDiskLeavesWholeLinesEachOneReported) {
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

// A request file of the group, cleaned by root and by a member of the group;
// one reached through a link; one without repeats; an old temporary name taken.
TEST(OutsideFaultsPosix, CleaningKeepsOwnerRightsLinksAndTheFileItself) {
    const Job job(Build::Posix);
    job.ConfigureStandard({"CHECKDUPES YES"});
    job.dir().MakeDir("fido/out");
    const std::string out = job.dir().At("fido/out");
    ASSERT_EQ(chown(out.c_str(), 0, kGroup), 0);
    chmod(out.c_str(), 0770);
    const RunOptions member = AsNobody({kGroup});
    for (const bool asRoot : {true, false}) {
        job.dir().Write("fido/out/11f80024.req", "a.zip !pw\r\nb.zip\r\na.zip !pw\r\n");
        const std::string req = out + "/11f80024.req";
        ASSERT_EQ(chown(req.c_str(), 0, kGroup), 0);
        chmod(req.c_str(), 0660);
        const RunResult run = job.Run({"c.zip", "/36"}, asRoot ? RunOptions{} : member);
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_EQ(job.dir().Read("fido/out/11f80024.req"), "a.zip !pw\r\nb.zip\r\nc.zip\r\n") << asRoot;
        const struct stat cleaned = Stat(req);
        EXPECT_EQ(cleaned.st_mode & 07777, 0660u) << asRoot;
        EXPECT_EQ(cleaned.st_gid, kGroup) << asRoot;
        EXPECT_EQ(cleaned.st_uid, asRoot ? 0u : 65534u);
    }

    job.dir().Write("real.req", "x.zip\r\nx.zip\r\n");
    ASSERT_EQ(symlink(job.dir().At("real.req").c_str(), (out + "/11f80025.req").c_str()), 0);
    job.dir().Write("fido/out/11f80026.req", "y.zip\r\n");
    const ino_t inode = Stat(out + "/11f80026.req").st_ino;
    job.dir().MakeDir("fido/out/11f80026.tmp");
    EXPECT_EQ(job.Run({"z.zip", "/37", "/38"}).exitCode, 0);
    EXPECT_TRUE(S_ISLNK(Stat(out + "/11f80025.req").st_mode));
    EXPECT_EQ(job.dir().Read("real.req"), "x.zip\r\nz.zip\r\n");
    EXPECT_EQ(Stat(out + "/11f80026.req").st_ino, inode);
    EXPECT_EQ(job.dir().Read("fido/out/11f80026.req"), "y.zip\r\nz.zip\r\n");
    for (const std::string& entry : job.dir().Tree())
        EXPECT_TRUE(entry.find(".tmp") == std::string::npos || entry == "fido/out/11f80026.tmp/") << entry;
}

// The outbound belongs to the mailer's user and group (2775); a sysop of the
// group runs tolvex with umask 022, and the mailer can still use all of it.
TEST(OutsideFaultsPosix, ASharedOutboundStaysUsableByTheMailer) {
    const Job job(Build::Posix);
    job.ConfigureStandard({"CREATECLO YES"});
    const std::string fido = job.dir().At("fido");
    ASSERT_EQ(chown(fido.c_str(), kMailer, kGroup), 0);
    chmod(fido.c_str(), 02775);
    RunOptions sysop = AsNobody({kGroup});
    sysop.umask = 022;
    EXPECT_EQ(job.Run({"a.zip", "/36", "/36.7"}, sysop).exitCode, 0);

    EXPECT_EQ(Stat(fido + "/out").st_mode & 07777, 02775u);
    EXPECT_EQ(Stat(fido + "/out/11f80024.req").st_mode & 07777, 0664u);
    const std::vector<std::string> folders = {fido + "/out", fido + "/out/11f80024.pnt"};
    const std::vector<std::string> files = {fido + "/out/11f80024.req", fido + "/out/11f80024.clo",
                                            fido + "/out/11f80024.pnt/00000007.req",
                                            fido + "/out/11f80024.pnt/00000007.clo"};
    for (const std::string& folder : folders)
        EXPECT_TRUE(AsUser({kMailer, kGroup, {}}, [&] {
            const int flag = open((folder + "/flag.bsy").c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
            return flag >= 0 && close(flag) == 0 && unlink((folder + "/flag.bsy").c_str()) == 0;
        })) << folder;
    for (const std::string& file : files)
        EXPECT_TRUE(AsUser({kMailer, kGroup, {}}, [&] {
            const int fd = open(file.c_str(), O_WRONLY | O_TRUNC);
            return fd >= 0 && close(fd) == 0 && unlink(file.c_str()) == 0;
        })) << file;
}

// Killed outright at each of its system calls in turn (strace injects the
// SIGKILL): whatever the moment, every request file holds whole lines only.
TEST(OutsideFaultsPosix, AKillAtAnySystemCallLeavesWholeLines) {
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

// A member of the group that shares the outbound plants links there: to a
// root-owned file with repeated lines, as the log (which the Windows sample
// keeps in OUTBOUND), and as a point's folder. Root runs tolvex: nothing outside
// the outbound is touched, and the address with the link is given up.
TEST(OutsideFaultsPosix, LinksOthersPlantInASharedOutboundLeadNowhere) {
    const Job job(Build::Posix);
    job.ConfigureStandard({"CHECKDUPES YES", "CREATECLO YES", "LOG " + job.ConfigPath("fido/tolvex.log")});
    ShareOutbound(job, {"fido", "fido/out"});
    const std::string decoy = "a.zip\nb.zip\na.zip\n";
    job.dir().Write("decoy", decoy);
    chmod(job.dir().At("decoy").c_str(), 0644);
    job.dir().MakeDir("decoys");
    const ino_t inode = Stat(job.dir().At("decoy")).st_ino;
    for (const auto& [link, target] : std::map<std::string, std::string>{{"fido/out/11f80024.req", "decoy"},
                                                                        {"fido/tolvex.log", "decoy"},
                                                                        {"fido/out/11f80025.pnt", "decoys"}})
        ASSERT_TRUE(AsUser({kMember, kGroup, {kGroup}}, [&] {
            return symlink(job.dir().At(target).c_str(), job.dir().At(link).c_str()) == 0;
        })) << link;

    EXPECT_EQ(job.Run({"a.zip", "/38", "/36"}).out, Console({" a.zip -> 2:4600/38.0", UnableToOpen(job, "11f80024.req")}));
    EXPECT_EQ(job.Run({"a.zip", "/37.7"}).out, Console({UnableToOpen(job, "11f80025.pnt\\00000007.req")}));
    EXPECT_EQ(job.dir().Read("decoy"), decoy);
    EXPECT_EQ(Stat(job.dir().At("decoy")).st_ino, inode);
    EXPECT_EQ(TreeBelow(job.dir().At("decoys")), std::vector<std::string>{});
    EXPECT_EQ(TreeBelow(job.dir().At("fido")),
              (std::vector<std::string>{"out/", "out/11f80024.req", "out/11f80025.pnt", "out/11f80026.clo",
                                        "out/11f80026.req", "tolvex.log"}));
    EXPECT_EQ(job.dir().Read("fido/out/11f80026.req"), "a.zip\r\n");

    // A link the sysop made, who runs tolvex, leads where the sysop meant; the
    // cleaning rewrites the file there, and the link stays.
    job.dir().MakeDir("mine");
    ASSERT_EQ(chown(job.dir().At("mine").c_str(), 65534, 65534), 0);
    const RunOptions sysop = AsNobody({kGroup});
    ASSERT_TRUE(AsUser(*sysop.user, [&] {
        const std::string wanted = job.dir().At("mine/wanted.req");
        const int fd = open(wanted.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
        return fd >= 0 && write(fd, "x.zip\r\nx.zip\r\n", 14) == 14 && close(fd) == 0 &&
               symlink(wanted.c_str(), job.dir().At("fido/out/11f80027.req").c_str()) == 0;
    }));
    EXPECT_EQ(job.Run({"z.zip", "/39"}, sysop).exitCode, 0);
    EXPECT_EQ(job.dir().Read("mine/wanted.req"), "x.zip\r\nz.zip\r\n");
    EXPECT_TRUE(S_ISLNK(Stat(job.dir().At("fido/out/11f80027.req")).st_mode));
}

// A FIFO is not waited on, and a link to a device (here one that swallows
// every request) is not written: each is a request file that cannot be opened.
TEST(OutsideFaultsPosix, ARequestFileThatIsNoFileIsNeitherWaitedOnNorUsed) {
    const Job job(Build::Posix);
    job.ConfigureStandard({"CHECKDUPES YES", "CREATECLO YES"});
    job.dir().MakeDir("fido/out");
    ASSERT_EQ(mkfifo(job.dir().At("fido/out/11f80024.req").c_str(), 0666), 0);
    ASSERT_EQ(symlink("/dev/null", job.dir().At("fido/out/11f80025.req").c_str()), 0);
    RunOptions bounded;
    bounded.aliveAtMost = 60;  // a run held by the FIFO ends by SIGALRM instead
    for (const auto& [address, file] : {std::pair{"/36", "11f80024.req"}, std::pair{"/37", "11f80025.req"}}) {
        const RunResult run = job.Run({"a.zip", address}, bounded);
        EXPECT_EQ(run.exitCode, 0) << address;
        EXPECT_EQ(run.out, Console({UnableToOpen(job, file)}));
    }
    EXPECT_EQ(job.dir().Tree(), (std::vector<std::string>{"fido/", "fido/out/", "fido/out/11f80024.req",
                                                         "fido/out/11f80025.req", "prog/", "prog/tolvex",
                                                         "prog/tolvex.cfg"}));
}

// Memory that runs out while the cleaning reads a request file of 3 MB (200,000
// lines, one repeated) ends the run through its stop: the file as it was, the
// flag given back. The same limit lets a small job through.
TEST(OutsideFaultsPosix, MemoryThatRunsOutGivesUpTheAddressThroughTheStop) {
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
    EXPECT_EQ(run.out, Console({" Error! Not enough memory to read " + Upper(job.dir().At("fido")) + "\\OUT\\11f80024.req"}));
    EXPECT_EQ(job.dir().Read("fido/out/11f80024.req"), big);
    EXPECT_FALSE(job.dir().Exists("fido/out/11f80024.bsy"));
    EXPECT_FALSE(job.dir().Exists("fido/out/11f80024.clo"));
    EXPECT_FALSE(job.dir().Exists("fido/out/11f80026.req"));
}

// A limit on the size of files: the request file is cut back to its old
// bytes and named, the flag given back, and no log line claims the request.
TEST(OutsideFaultsPosix, AFileSizeLimitCutsTheRequestFileBackAndStops) {
    const Job job(Build::Posix);
    job.ConfigureStandard({"LOG " + job.ConfigPath("t.log")});
    const std::string old(88, 'o');
    job.dir().Write("fido/out/11f80024.req", old + "\r\n");
    RunOptions limited;
    limited.limits = {{RLIMIT_FSIZE, 100}};
    const RunResult run = job.Run({"aaaaaaaa.zip", "bbbbbbbb.zip", "/36", "/37"}, limited);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out, Console({" Error! Unable to write " + Upper(job.dir().At("fido")) + "\\OUT\\11f80024.req"}));
    EXPECT_EQ(job.dir().Read("fido/out/11f80024.req"), old + "\r\n");
    EXPECT_EQ(job.dir().Read("t.log"), "");
    EXPECT_FALSE(job.dir().Exists("fido/out/11f80024.bsy"));
    EXPECT_FALSE(job.dir().Exists("fido/out/11f80025.req"));
}

// A file system that keeps no mode (FAT through FUSE) or has no fsync: the
// system calls fail as there, injected by strace, and the cleaning is done.
TEST(OutsideFaultsPosix, AFileSystemThatKeepsNoModeStillTakesTheCleaning) {
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

// A name from a list or a configuration cannot steer the terminal: its
// control bytes are shown as "^" and a letter.
TEST(OutsideFaultsPosix, ControlBytesOfANameAreShownNotSent) {
    const Job job(Build::Posix);
    job.ConfigureStandard();
    EXPECT_EQ(job.Run({"@\x1b]0;owned\x07\x1b[31m.lst", "/36"}).out,
              Console({" Error! Unable to open ^[]0;owned^G^[[31m.lst"}));
}

}  // namespace
