// The whole job: outbound names and directories, request and flow files, the
// duplicate check and the activity log, as the files on disk show them.
#include <sys/stat.h>
#include <unistd.h>

#include <regex>

#include "e2e/harness.hpp"

namespace {

class Outbound : public EndToEnd {};

// The outbound below the job's fido/ folder.
std::vector<std::string> OutboundTree(const Job& job) {
    std::vector<std::string> tree;
    for (const std::string& entry : job.dir().Tree())
        if (entry.rfind("fido/", 0) == 0 && entry != "fido/") tree.push_back(entry.substr(5));
    return tree;
}

TEST_P(Outbound, TypicalRunPrintsSixLines) {
    const Job job(build());
    job.ConfigureStandard();
    const RunResult run = job.Run({"pntlist.zip", "/36"});
    EXPECT_EQ(run.out, Finished({" pntlist.zip -> 2:4600/36.0"}));
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(OutboundTree(job), (std::vector<std::string>{job.Created("OUT/"), job.Created("OUT/") + "11f80024.req"}));
    EXPECT_EQ(job.dir().Read(job.Out("11f80024.req")), "pntlist.zip\r\n");
}

// The folders and files a run makes, named as each build makes them: a point,
// another zone by its ZONE line, flow files (empty, also where every request
// is there already; one that exists is left as it is); then, with an empty
// DEFAULTOUTBOUND, the main zone in OUTBOUND itself and bare extensions.
TEST_P(Outbound, ZonesPointsAndHexNames) {
    const Job job(build());
    job.ConfigureStandard({"ZONE 3 OTHERNET", "CREATECLO YES", "CHECKDUPES YES"});
    job.dir().Write(job.Out("11f80025.clo"), "^c:\\files\\x.zip\r\n");
    job.dir().Write(job.Out("11f80024.req"), "a.zip\r\n");
    const RunResult run = job.Run({"a.zip", "/36", "/37", "2:4600/36.7", "3:45/6.1"});
    EXPECT_EQ(run.out, Finished({" a.zip -> already exist. Skipping...", " a.zip -> 2:4600/37.0", " a.zip -> 2:4600/36.7",
                                 " a.zip -> 3:45/6.1"}));
    job.Configure({"OUTBOUND " + job.ConfigPath("fido"), "DEFAULTNET 2:4600"});
    EXPECT_EQ(job.Run({"a.zip", "/38", "1:123/456"}).exitCode, 0);
    const std::string out = job.Created("OUT/"), other = job.Created("OTHERNET.003/");
    EXPECT_EQ(OutboundTree(job),
              (std::vector<std::string>{".001/", ".001/007b01c8.req", "11f80026.req", other, other + "002d0006.pnt/",
                                        other + "002d0006.pnt/00000001.clo", other + "002d0006.pnt/00000001.req", out,
                                        out + "11f80024.clo", out + "11f80024.pnt/", out + "11f80024.pnt/00000007.clo",
                                        out + "11f80024.pnt/00000007.req", out + "11f80024.req", out + "11f80025.clo",
                                        out + "11f80025.req"}));
    EXPECT_EQ(job.dir().Read(job.Out("11f80024.clo")), "");
    EXPECT_EQ(job.dir().Read(job.Out("11f80025.clo")), "^c:\\files\\x.zip\r\n");
    EXPECT_EQ(job.dir().Read("fido/" + other + "002d0006.pnt/00000001.req"), "a.zip\r\n");
}

// An OUTBOUND that is missing, or a file: nothing is written, nothing made.
TEST_P(Outbound, MissingOutboundStopsBeforeAnythingIsWritten) {
    const Job job(build());
    job.dir().Write("fido.txt", "not a folder\r\n");
    for (const char* outbound : {"nowhere", "fido.txt"}) {
        job.Configure({"OUTBOUND " + job.ConfigPath(outbound), "DEFAULTOUTBOUND OUT", "DEFAULTNET 2:4600", "CREATECLO YES"});
        const RunResult run = job.Run({"a.zip", "/36"});
        EXPECT_EQ(run.out, Console({" Cannot find directory \"" + Upper(job.ConfigPath(outbound)) + "\""}));
        EXPECT_EQ(run.exitCode, 0);
    }
    EXPECT_TRUE(job.OutboundUntouched());
    EXPECT_FALSE(job.dir().Exists("nowhere"));
    EXPECT_EQ(job.dir().Read("fido.txt"), "not a folder\r\n");
}

// Without the check, repeats are only added to. With it, the file loses its
// repeats (order kept, nothing shortened, every line ended by CR LF) and what
// it holds is skipped, without a log line; a line that only begins with a
// word does not hold it, nor do lines this run wrote, until the address's
// next turn.
TEST_P(Outbound, DuplicateCheckCleansTheFileAndSkipsWhatItHolds) {
    const Job job(build());
    const std::string req = job.Out("11f80024.req");
    job.ConfigureStandard();
    job.dir().Write(req, "A.ZIP\r\nA.ZIP\r\n");
    EXPECT_EQ(job.Run({"A.ZIP", "/36"}).out, Finished({" A.ZIP -> 2:4600/36.0"}));
    EXPECT_EQ(job.dir().Read(req), "A.ZIP\r\nA.ZIP\r\nA.ZIP\r\n");

    job.ConfigureStandard({"CHECKDUPES YES", "LOG " + job.ConfigPath("t.log")});
    const std::string longLine = "LONGNAME_0123456789_ABC.ZIP";
    job.dir().Write(req, "A.ZIP\r\nB.ZIP\nA.ZIP\r\nC.ZIP !pw\r\n" + longLine + "\r\n" + std::string(300, 'L'));
    const RunResult run = job.Run({"A.ZIP", "a.zip", "C.ZIP", "C.ZIP!!pw", "x.zip", "x.zip", "LONGNAME_0123456789_XYZ.ZIP",
                                   "/36", "/36"});
    EXPECT_EQ(run.out, Finished({" A.ZIP -> already exist. Skipping...", " a.zip -> 2:4600/36.0", " C.ZIP -> 2:4600/36.0",
                                 " C.ZIP !pw -> already exist. Skipping...", " x.zip -> 2:4600/36.0",
                                 " x.zip -> 2:4600/36.0", " LONGNAME_0123456789_XYZ.ZIP -> 2:4600/36.0",
                                 " A.ZIP -> already exist. Skipping...", " a.zip -> already exist. Skipping...",
                                 " C.ZIP -> already exist. Skipping...", " C.ZIP !pw -> already exist. Skipping...",
                                 " x.zip -> already exist. Skipping...", " x.zip -> already exist. Skipping...",
                                 " LONGNAME_0123456789_XYZ.ZIP -> already exist. Skipping..."}));
    // The second turn cleaned the repeat the first wrote.
    EXPECT_EQ(job.dir().Read(req), "A.ZIP\r\nB.ZIP\r\nC.ZIP !pw\r\n" + longLine + "\r\n" + std::string(300, 'L') +
                                       "\r\na.zip\r\nC.ZIP\r\nx.zip\r\nLONGNAME_0123456789_XYZ.ZIP\r\n");
    const std::string log = job.dir().Read(job.Created("T.LOG"));
    EXPECT_EQ(CrlfLines(log).size(), 5u) << log;
    EXPECT_EQ(log.find("A.ZIP"), std::string::npos);
}

// Appending starts on a line of its own; of the log's ^Z bytes only those
// that end it go, the text after a ^Z stays.
TEST_P(Outbound, AppendingStartsOnALineOfItsOwn) {
    const Job job(build());
    job.ConfigureStandard({"LOG " + job.ConfigPath("t.log")});
    job.dir().Write(job.Out("11f80024.req"), "a.zip");
    const std::string oldLog = "old line\r\n\x1a\x1a text after\x1a\x1a";
    job.dir().Write(job.Created("T.LOG"), oldLog);
    EXPECT_EQ(job.Run({"b.zip", "/36"}).exitCode, 0);
    EXPECT_EQ(job.dir().Read(job.Out("11f80024.req")), "a.zip\r\nb.zip\r\n");
    const std::string log = job.dir().Read(job.Created("T.LOG"));
    const std::size_t kept = oldLog.size() - 2;
    EXPECT_EQ(log.substr(0, kept + 2), oldLog.substr(0, kept) + "\r\n");
    EXPECT_TRUE(std::regex_match(log.substr(kept + 2), std::regex(R"(\d\d/\d\d \d\d:\d\d:\d\d b\.zip 2:4600/36\.0\r\n)"))) << log;
}

TEST_P(Outbound, LogWithoutANameGoesToTheConsole) {
    const Job job(build());
    job.ConfigureStandard({"LOG   "});
    const RunResult run = job.Run({"a.zip", "b.zip", "/36"});
    ASSERT_EQ(run.out.substr(0, Banner().size()), Banner());
    const std::regex expected(R"(\d\d/\d\d \d\d:\d\d:\d\d a\.zip 2:4600/36\.0\r\n a\.zip -> 2:4600/36\.0\r\n)"
                              R"(\d\d/\d\d \d\d:\d\d:\d\d b\.zip 2:4600/36\.0\r\n b\.zip -> 2:4600/36\.0\r\n)"
                              "\r\nHave a nice day! =\\)\r\n");
    EXPECT_TRUE(std::regex_match(run.out.substr(Banner().size()), expected)) << run.out;
}

// The address before it is written, with its log line; the one after it is
// not touched.
TEST_P(Outbound, RequestFileThatIsAFolder) {
    const Job job(build());
    job.ConfigureStandard({"LOG " + job.ConfigPath("t.log")});
    job.dir().MakeDir(job.Out("11f80025.req"));
    const RunResult run = job.Run({"a.zip", "/36", "/37", "/38"});
    EXPECT_EQ(run.out, Console({" a.zip -> 2:4600/36.0",
                                " Error! Unable to open " + job.OutboundName("11f80025.req")}));
    EXPECT_FALSE(job.dir().Exists(job.Out("11f80026.req")));
    const std::vector<std::string> log = CrlfLines(job.dir().Read(job.Created("T.LOG")));
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].substr(14), " a.zip 2:4600/36.0");
}

// Only ^Z bytes that end a file are padding; text after a ^Z is requests.
TEST_P(Outbound, TextAfterAnEndMarkIsKeptWhenAddingToAFile) {
    for (const bool checkDupes : {false, true}) {
        const Job job(build());
        job.ConfigureStandard(checkDupes ? std::vector<std::string>{"CHECKDUPES YES"} : std::vector<std::string>{});
        const std::string old = "a.zip\r\n\x1ahidden.zip\r\na.zip\r\n";
        job.dir().Write(job.Out("11f80025.req"), old);
        EXPECT_EQ(job.Run({"c.zip", "/37"}).exitCode, 0);
        EXPECT_EQ(job.dir().Read(job.Out("11f80025.req")), old + "c.zip\r\n") << "CHECKDUPES " << checkDupes;
    }
}

TOLVEX_BOTH_BUILDS(Outbound);

TEST(OutboundPosix, OrderOfAddressesLinesAndWords) {
    const Job job(Build::Posix);
    job.ConfigureStandard({"LOG " + job.ConfigPath("t.log")});
    job.dir().Write("l.txt", "y.zip\r\n");
    EXPECT_EQ(job.Run({"x.zip", "@l.txt", "p!!pw!!x", "/36", "3:45/6.1"}).out,
              Finished({" x.zip -> 2:4600/36.0", " y.zip -> 2:4600/36.0", " p !pw!!x -> 2:4600/36.0",
                        " x.zip -> 3:45/6.1", " y.zip -> 3:45/6.1", " p !pw!!x -> 3:45/6.1"}));
    EXPECT_EQ(job.dir().Read("fido/out/11f80024.req"), "x.zip\r\ny.zip\r\np !pw!!x\r\n");
    std::vector<std::string> logged;
    for (const std::string& line : CrlfLines(job.dir().Read("t.log"))) logged.push_back(line.substr(15));
    EXPECT_EQ(logged, (std::vector<std::string>{"x.zip 2:4600/36.0", "y.zip 2:4600/36.0", "p !pw!!x 2:4600/36.0",
                                                "x.zip 3:45/6.1", "y.zip 3:45/6.1", "p !pw!!x 3:45/6.1"}));
}

// Folders that exist are found whatever their case; of several spellings the
// lower-case one (what tolvex creates, and what the mailer reads) comes first,
// then the one given.
TEST(OutboundPosix, ExistingFoldersAreFoundWhateverTheirCase) {
    const Job job(Build::Posix);
    job.ConfigureStandard({"ZONE 3 OtherNet"});
    job.dir().MakeDir("fido/Out/11F80024.pnt");
    job.dir().MakeDir("fido/OTHERNET.003");
    EXPECT_EQ(job.Run({"a.zip", "/36.7", "3:1/2"}).exitCode, 0);
    EXPECT_EQ(job.dir().Read("fido/Out/11F80024.pnt/00000007.req"), "a.zip\r\n");
    EXPECT_EQ(job.dir().Read("fido/OTHERNET.003/00010002.req"), "a.zip\r\n");
    EXPECT_FALSE(job.dir().Exists("fido/out"));
    for (const char* folder : {"Fido/OUT", "fido/out"}) job.dir().MakeDir(folder);
    job.dir().Write("LIST.TXT", "other.zip\r\n");
    job.dir().Write("List.txt", "given.zip\r\n");
    EXPECT_EQ(job.Run({"@List.txt", "/37"}).exitCode, 0);
    EXPECT_EQ(job.dir().Read("fido/out/11f80025.req"), "given.zip\r\n");
}

// A zone or point folder that cannot be made (its parent is read-only): the
// addresses before it are written, none after it, and no flag is left.
TEST(OutboundPosix, PointFolderThatCannotBeMade) {
    const Job job(Build::Posix);
    job.ConfigureStandard({"CREATECLO YES"});
    job.dir().MakeDir("fido/out");
    chmod(job.dir().At("fido/out").c_str(), 0555);
    RunResult run = job.Run({"a.zip", "/36.7", "/37"}, AsNobody());
    EXPECT_EQ(run.out, Console({" Error! Unable to open " + job.OutboundName("11f80024.pnt\\00000007.req")}));
    chmod(job.dir().At("fido/out").c_str(), 0777);
    chmod(job.dir().At("fido").c_str(), 0555);
    run = job.Run({"a.zip", "/36", "3:700/5", "/37"}, AsNobody());
    EXPECT_EQ(run.out, Console({" a.zip -> 2:4600/36.0", " Error! Unable to open " + Upper(job.dir().At("fido")) +
                                                              "\\OUT.003\\02bc0005.req"}));
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(job.dir().Tree(), (std::vector<std::string>{"fido/", "fido/out/", "fido/out/11f80024.clo",
                                                          "fido/out/11f80024.req", "prog/", "prog/tolvex", "prog/tolvex.cfg"}));
}

// A log that is no file (here a device that is always full) is left out.
TEST(OutboundPosix, ALogThatCannotBeWrittenCostsNoRequest) {
    const Job job(Build::Posix);
    job.ConfigureStandard({"LOG /dev/full"});
    std::vector<std::string> args;
    std::string expected;
    for (int i = 0; i < 20; ++i) expected += args.emplace_back("file" + std::to_string(i) + ".zip") + "\r\n";
    args.push_back("/36");
    const RunResult run = job.Run(args);
    EXPECT_EQ(job.dir().Read("fido/out/11f80024.req"), expected);
    EXPECT_EQ(run.out.substr(run.out.size() - 23), Crlf({"", text::kGoodbye}));
}

}  // namespace
