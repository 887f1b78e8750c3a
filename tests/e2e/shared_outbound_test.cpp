// What others do in an outbound the run shares: the mailer's busy flags and
// its group's rights, other runs side by side, files of other users, and the
// links, FIFOs and devices someone else plants there. Nothing they do may
// steer a run outside the outbound, hold it, or cost a request.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <future>
#include <map>
#include <regex>
#include <set>
#include <sstream>

#include "e2e/harness.hpp"

namespace {

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

class SharedOutbound : public EndToEnd {};

// Another program's flag is waited for, and left alone; the first address got
// its files and its flag back. How long the wait is, the fault-point test
// checks on the program's own clock (BusyFlag.IsWaitedForOnTheProgramsOwnClock),
// where no load of the machine can make it look shorter or longer.
TEST_P(SharedOutbound, BusyAddressIsLeftAloneAfterFiveSeconds) {
    const Job job(build());
    job.ConfigureStandard({"CREATECLO YES"});
    job.dir().Write(job.Out("11f80025.bsy"), "4711\r\n");
    EXPECT_EQ(job.Run({"a.zip", "/36", "/37", "/38"}).out,
              Console({" a.zip -> 2:4600/36.0", " Error! 2:4600/37.0 is busy."}));
    EXPECT_EQ(job.dir().Read(job.Out("11f80024.req")), "a.zip\r\n");
    EXPECT_FALSE(job.dir().Exists(job.Out("11f80024.bsy")));
    EXPECT_FALSE(job.dir().Exists(job.Out("11f80025.req")));
    EXPECT_FALSE(job.dir().Exists(job.Out("11f80025.clo")));
    EXPECT_EQ(job.dir().Read(job.Out("11f80025.bsy")), "4711\r\n");
}

// One run waits at its prompt, its log open, while another runs to its end.
TEST_P(SharedOutbound, ARunAtItsPromptWritesAfterTheOtherRunsLogLines) {
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

// Permission bits do not stop root, so this runs the program as nobody. The
// request file is left exactly as it was, repeats and all; no flow file makes
// the mailer call for requests that were never written; no flag is left, and
// the next address is untouched.
TEST_P(SharedOutbound, ReadOnlyRequestFile) {
    const Job job(build());
    job.ConfigureStandard({"CHECKDUPES YES", "CREATECLO YES"});
    job.dir().Write(job.Out("11f80024.req"), "old.zip\r\nold.zip\r\n");
    chmod(job.dir().At(job.Out()).c_str(), 0777);
    chmod(job.dir().At(job.Out("11f80024.req")).c_str(), 0444);
    const RunResult run = job.Run({"a.zip", "/36", "/37"}, AsNobody());
    EXPECT_EQ(run.out, Console({" Error! Unable to open " + job.OutboundName("11f80024.req")}));
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(job.dir().Read(job.Out("11f80024.req")), "old.zip\r\nold.zip\r\n");
    EXPECT_FALSE(job.dir().Exists(job.Out("11f80024.clo")));
    EXPECT_FALSE(job.dir().Exists(job.Out("11f80024.bsy")));
    EXPECT_FALSE(job.dir().Exists(job.Out("11f80025.req")));
}

// A second name of someone else's file (a hard link, where the system lets
// anyone make one) is no request file and no log: the run adds nothing to it.
TEST_P(SharedOutbound, HardLinksAreNoFilesOfTheOutbound) {
    const Job job(build());
    job.ConfigureStandard({"CREATECLO YES", "LOG " + job.ConfigPath("fido/tolvex.log")});
    job.dir().Write("secret", "root only\r\n");
    job.dir().MakeDir(job.Out());
    ASSERT_EQ(link(job.dir().At("secret").c_str(), job.dir().At(job.Out("11f80024.req")).c_str()), 0);
    ASSERT_EQ(link(job.dir().At("secret").c_str(), job.dir().At("fido/" + job.Created("TOLVEX.LOG")).c_str()), 0);
    EXPECT_EQ(job.Run({"a.zip", "/37", "/36"}).out,
              Console({" a.zip -> 2:4600/37.0", " Error! Unable to open " + job.OutboundName("11f80024.req")}));
    EXPECT_EQ(job.dir().Read("secret"), "root only\r\n");
    EXPECT_FALSE(job.dir().Exists(job.Out("11f80024.clo")));
    EXPECT_EQ(job.dir().Read(job.Out("11f80025.req")), "a.zip\r\n");
}

TOLVEX_BOTH_BUILDS(SharedOutbound);

// Twenty runs at once on one address, each with two requests, CHECKDUPES and
// one log: each run wrote both its requests, as it said, or said the address
// was busy; the old repeat is cleaned once; the log holds every request
// written, each in a whole line; no flag is left.
TEST(SharedOutboundPosix, RunsSideBySideLoseNothing) {
    const Job job(Build::Posix);
    job.ConfigureStandard({"CHECKDUPES YES", "CREATECLO YES", "LOG " + job.ConfigPath("t.log")});
    job.dir().Write("fido/out/11f80024.req", "old.zip\r\nold.zip\r\n");
    constexpr int kRuns = 20;
    std::vector<std::future<RunResult>> runs;
    for (int i = 0; i < kRuns; ++i)
        runs.push_back(std::async(std::launch::async, [&job, i] {
            return job.Run({"f" + std::to_string(i) + ".zip", "g" + std::to_string(i) + ".zip", "/36"});
        }));
    for (auto& run : runs) run.wait();
    const std::string req = job.dir().Read("fido/out/11f80024.req");
    std::multiset<std::string> written;
    for (int i = 0; i < kRuns; ++i) {
        const RunResult run = runs[static_cast<std::size_t>(i)].get();
        const std::string f = "f" + std::to_string(i) + ".zip", g = "g" + std::to_string(i) + ".zip";
        const bool busy = run.out == Console({" Error! 2:4600/36.0 is busy."});
        if (!busy) {
            EXPECT_EQ(run.out, Finished({" " + f + " -> 2:4600/36.0", " " + g + " -> 2:4600/36.0"}));
            written.insert({f + " 2:4600/36.0", g + " 2:4600/36.0"});
        }
        EXPECT_EQ(req.find(f + "\r\n" + g + "\r\n") != std::string::npos, !busy) << i;
    }
    EXPECT_EQ(req.find("old.zip"), req.rfind("old.zip"));
    EXPECT_FALSE(job.dir().Exists("fido/out/11f80024.bsy"));
    std::string rest;
    EXPECT_EQ(LoggedRequests(job.dir().Read("t.log"), rest), written);
    EXPECT_EQ(rest, "");
}

// A request file of the group, cleaned by root and by a member of the group;
// one reached through a link; one without repeats.
TEST(SharedOutboundPosix, CleaningKeepsOwnerRightsLinksAndTheFileItself) {
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

    // The sysop's own link leads to a file of theirs, among files of theirs
    // that only look like copies: the file is cleaned there, the link and
    // every other file stay, with a repeat and without.
    job.dir().Write("lists/nodes.2024.req", "x.zip\r\nx.zip\r\n");
    const std::vector<std::string> neighbours = {"lists/nodes.1.tmp", "lists/nodes.2024.tmp", "lists/nodes.2024.req.7.tmp"};
    for (const std::string& name : neighbours) job.dir().Write(name, "kept\r\n");
    ASSERT_EQ(symlink(job.dir().At("lists/nodes.2024.req").c_str(), (out + "/11f80025.req").c_str()), 0);
    job.dir().Write("fido/out/11f80026.req", "y.zip\r\n");
    const ino_t inode = Stat(out + "/11f80026.req").st_ino;
    EXPECT_EQ(job.Run({"z.zip", "/37", "/38"}).exitCode, 0);
    EXPECT_EQ(job.Run({"w.zip", "/37"}).exitCode, 0);
    EXPECT_TRUE(S_ISLNK(Stat(out + "/11f80025.req").st_mode));
    EXPECT_EQ(job.dir().Read("lists/nodes.2024.req"), "x.zip\r\nz.zip\r\nw.zip\r\n");
    for (const std::string& name : neighbours) EXPECT_EQ(job.dir().Read(name), "kept\r\n") << name;
    EXPECT_EQ(Stat(out + "/11f80026.req").st_ino, inode);
    EXPECT_EQ(job.dir().Read("fido/out/11f80026.req"), "y.zip\r\nz.zip\r\n");
    EXPECT_EQ(TreeBelow(job.dir().At("lists")).size(), 4u);
}

// The outbound belongs to the mailer's user and group (2775); a sysop of the
// group runs tolvex with umask 022, and the mailer can still use all of it.
TEST(SharedOutboundPosix, ASharedOutboundStaysUsableByTheMailer) {
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

// A spool of the mailer's account, 0755, as a mailer's package makes it: what
// a root run makes there, and its log, are that account's, so the mailer can
// remove what it has sent.
TEST(SharedOutboundPosix, ARootRunHandsWhatItMakesToTheSpoolsOwner) {
    const Job job(Build::Posix);
    job.ConfigureStandard({"CREATECLO YES", "LOG " + job.ConfigPath("fido/tolvex.log")});
    const std::string fido = job.dir().At("fido");
    ASSERT_EQ(chown(fido.c_str(), kMailer, kGroup), 0);
    chmod(fido.c_str(), 0755);
    EXPECT_EQ(job.Run({"a.zip", "/36.7", "3:700/5"}).exitCode, 0);
    for (const char* made : {"out", "out/11f80024.pnt", "out/11f80024.pnt/00000007.req", "out/11f80024.pnt/00000007.clo",
                             "out.003", "out.003/02bc0005.req", "tolvex.log"}) {
        const struct stat info = Stat(fido + "/" + made);
        EXPECT_EQ(info.st_uid, kMailer) << made;
        EXPECT_EQ(info.st_gid, kGroup) << made;
    }
}

// The typical job, traced: once OUTBOUND is open, no name below it is looked
// up from the root again; each is reached through a folder the run holds.
TEST(SharedOutboundPosix, NamesBelowTheOutboundAreReachedThroughHeldFolders) {
    TOLVEX_NEED(OnPath("strace"), "strace");
    const Job job(Build::Posix);
    job.ConfigureStandard({"CHECKDUPES YES", "CREATECLO YES", "LOG " + job.ConfigPath("fido/tolvex.log")});
    job.dir().Write("fido/out/11f80024.req", "a.zip\r\na.zip\r\n");
    RunOptions options;
    options.folder = job.dir().Path();
    options.errorFile = "/dev/null";
    ASSERT_EQ(RunCommand({"strace", "-f", "-qq", "-o", "trace", "prog/tolvex", "b.zip", "/36", "/37.1"}, options).exitCode, 0);
    EXPECT_EQ(job.dir().Read("fido/out/11f80024.req"), "a.zip\r\nb.zip\r\n");
    const std::string fido = job.dir().At("fido");
    std::istringstream trace(job.dir().Read("trace"));
    int outboundOpens = 0;
    for (std::string line; std::getline(trace, line);) {
        if (line.find('"' + fido) == std::string::npos) continue;
        // OUTBOUND itself, once an address, as a folder; the log's folder once.
        if (line.find("openat(AT_FDCWD, \"" + fido + "\", ") != std::string::npos && line.find("O_DIRECTORY") != std::string::npos) {
            ++outboundOpens;
            continue;
        }
        EXPECT_EQ(outboundOpens, 0) << "looked up by its full name: " << line;
    }
    EXPECT_EQ(outboundOpens, 3);
}

// A member of the group that shares the outbound plants links there: to a
// root-owned file with repeated lines, as the log (which the Windows sample
// keeps in OUTBOUND), and as a point's folder; the mailer, who owns out/,
// plants one too. Root runs tolvex: nothing outside the outbound is touched,
// and the address with the link is given up.
TEST(SharedOutboundPosix, LinksOthersPlantInASharedOutboundLeadNowhere) {
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
    ASSERT_TRUE(AsUser({kMailer, kGroup, {kGroup}}, [&] {
        return symlink(job.dir().At("decoy").c_str(), job.dir().At("fido/out/11f80028.req").c_str()) == 0;
    }));

    EXPECT_EQ(job.Run({"a.zip", "/38", "/36"}).out, Console({" a.zip -> 2:4600/38.0", " Error! Unable to open " + job.OutboundName("11f80024.req")}));
    EXPECT_EQ(job.Run({"a.zip", "/37.7"}).out, Console({" Error! Unable to open " + job.OutboundName("11f80025.pnt\\00000007.req")}));
    EXPECT_EQ(job.Run({"a.zip", "/40"}).out, Console({" Error! Unable to open " + job.OutboundName("11f80028.req")}));
    EXPECT_EQ(job.dir().Read("decoy"), decoy);
    const struct stat after = Stat(job.dir().At("decoy"));
    EXPECT_EQ(after.st_ino, inode);
    EXPECT_EQ(after.st_uid, 0u);
    EXPECT_EQ(after.st_mode & 07777, 0644u);
    EXPECT_EQ(TreeBelow(job.dir().At("decoys")), std::vector<std::string>{});
    EXPECT_EQ(TreeBelow(job.dir().At("fido")),
              (std::vector<std::string>{"out/", "out/11f80024.req", "out/11f80025.pnt", "out/11f80026.clo",
                                        "out/11f80026.req", "out/11f80028.req", "tolvex.log"}));
    EXPECT_EQ(job.dir().Read("fido/out/11f80026.req"), "a.zip\r\n");

    // Links the sysop made, who runs tolvex, lead where the sysop meant: the
    // cleaning rewrites the file there, and the link stays; a point's folder
    // kept elsewhere gets the point's files.
    job.dir().MakeDir("mine/pnt");
    ASSERT_EQ(chown(job.dir().At("mine").c_str(), 65534, 65534), 0);
    ASSERT_EQ(chown(job.dir().At("mine/pnt").c_str(), 65534, 65534), 0);
    const RunOptions sysop = AsNobody({kGroup});
    ASSERT_TRUE(AsUser(*sysop.user, [&] {
        const std::string wanted = job.dir().At("mine/wanted.req");
        const int fd = open(wanted.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
        return fd >= 0 && write(fd, "x.zip\r\nx.zip\r\n", 14) == 14 && close(fd) == 0 &&
               symlink(wanted.c_str(), job.dir().At("fido/out/11f80027.req").c_str()) == 0 &&
               symlink(job.dir().At("mine/pnt").c_str(), job.dir().At("fido/out/11f80029.pnt").c_str()) == 0;
    }));
    EXPECT_EQ(job.Run({"z.zip", "/39", "/41.7"}, sysop).exitCode, 0);
    EXPECT_EQ(job.dir().Read("mine/wanted.req"), "x.zip\r\nz.zip\r\n");
    EXPECT_TRUE(S_ISLNK(Stat(job.dir().At("fido/out/11f80027.req")).st_mode));
    EXPECT_EQ(job.dir().Read("mine/pnt/00000007.req"), "z.zip\r\n");
    EXPECT_TRUE(job.dir().Exists("mine/pnt/00000007.clo"));
}

// A FIFO is not waited on, and a link to a device (here one that swallows
// every request) is not written: each is a request file that cannot be opened.
TEST(SharedOutboundPosix, ARequestFileThatIsNoFileIsNeitherWaitedOnNorUsed) {
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
        EXPECT_EQ(run.out, Console({" Error! Unable to open " + job.OutboundName(file)}));
    }
    EXPECT_EQ(job.dir().Tree(), (std::vector<std::string>{"fido/", "fido/out/", "fido/out/11f80024.req",
                                                         "fido/out/11f80025.req", "prog/", "prog/tolvex",
                                                         "prog/tolvex.cfg"}));
}

}  // namespace
