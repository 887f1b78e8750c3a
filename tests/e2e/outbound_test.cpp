// The whole job: outbound names and directories, request and flow files, the
// duplicate check and the activity log, as the files on disk show them.
#include <sys/stat.h>
#include <unistd.h>

#include <regex>

#include "e2e/harness.hpp"

namespace {

const std::vector<std::string> kGoodbye = {"", "Have a nice day! =)"};

std::vector<std::string> With(std::vector<std::string> lines, const std::vector<std::string>& more) {
    lines.insert(lines.end(), more.begin(), more.end());
    return lines;
}

std::string Upper(std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

class Outbound : public EndToEnd {
protected:
    // The outbound below the job's fido/ folder, with created names as this build makes them.
    std::vector<std::string> OutboundTree(const Job& job) {
        std::vector<std::string> tree;
        for (const std::string& entry : job.dir().Tree())
            if (entry.rfind("fido/", 0) == 0 && entry != "fido/") tree.push_back(entry.substr(5));
        return tree;
    }
    std::string C(const Job& job, std::string_view name) { return job.Created(name); }
    static std::vector<std::string> Sorted(std::vector<std::string> entries) {
        std::sort(entries.begin(), entries.end());
        return entries;
    }
};

TEST_P(Outbound, TypicalRunPrintsSixLines) {
    const Job job(build());
    job.ConfigureStandard();
    const RunResult run = job.Run({"pntlist.zip", "/36"});
    EXPECT_EQ(run.out, Console(With({" pntlist.zip -> 2:4600/36.0"}, kGoodbye)));
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(job.dir().Read(C(job, "fido/OUT") + "/11f80024.req"), "pntlist.zip\r\n");
    EXPECT_EQ(OutboundTree(job), (std::vector<std::string>{C(job, "OUT/"), C(job, "OUT/") + "11f80024.req"}));
}

TEST_P(Outbound, ZonesPointsAndHexNames) {
    const Job job(build());
    job.ConfigureStandard({"ZONE 3 OTHERNET"});
    const RunResult run =
        job.Run({"a.zip", "2:4600/36", "2:4600/36.7", "1:123/456", "3:45/6", "3:45/6.1", "4097:65535/65535"});
    EXPECT_EQ(run.out, Console(With({" a.zip -> 2:4600/36.0", " a.zip -> 2:4600/36.7", " a.zip -> 1:123/456.0",
                                     " a.zip -> 3:45/6.0", " a.zip -> 3:45/6.1", " a.zip -> 4097:65535/65535.0"},
                                    kGoodbye)));
    const std::string out = C(job, "OUT/"), out1 = C(job, "OUT.001/"), other = C(job, "OTHERNET.003/");
    EXPECT_EQ(OutboundTree(job),
              Sorted({other, other + "002d0006.pnt/", other + "002d0006.pnt/00000001.req",
                                        other + "002d0006.req", out, out + "11f80024.pnt/",
                                        out + "11f80024.pnt/00000007.req", out + "11f80024.req", out1,
                                        out1 + "007b01c8.req", out1 + "ffffffff.req"}));
    EXPECT_EQ(job.dir().Read("fido/" + other + "002d0006.pnt/00000001.req"), "a.zip\r\n");
}

TEST_P(Outbound, ZoneTableLookups) {
    const Job job(build());
    // The main zone never takes an extension; the first entry of a zone wins;
    // an empty folder name leaves the extension alone; zone 4096 is 000.
    job.ConfigureStandard({"ZONE 2 MAINZONE", "ZONE 5 FIRST", "ZONE 5 SECOND", "ZONE 6", "ZONE 0 X"});
    EXPECT_EQ(job.Run({"a.zip", "2:1/1", "5:1/1", "6:1/1", "4096:1/1"}).exitCode, 0);
    EXPECT_EQ(OutboundTree(job),
              Sorted({C(job, ".006/"), C(job, ".006/") + "00010001.req", C(job, "FIRST.005/"),
                                        C(job, "FIRST.005/") + "00010001.req", C(job, "OUT/"),
                                        C(job, "OUT/") + "00010001.req", C(job, "OUT.000/"),
                                        C(job, "OUT.000/") + "00010001.req"}));
}

TEST_P(Outbound, EmptyDefaultOutboundPutsTheMainZoneInOutbound) {
    const Job job(build());
    job.Configure({"OUTBOUND " + job.ConfigPath("fido"), "DEFAULTNET 2:4600"});
    EXPECT_EQ(job.Run({"a.zip", "/36", "1:2/3"}).exitCode, 0);
    EXPECT_EQ(OutboundTree(job), (std::vector<std::string>{C(job, ".001/"), C(job, ".001/") + "00020003.req", "11f80024.req"}));
}

TEST_P(Outbound, MissingOutboundStopsBeforeAnythingIsWritten) {
    const Job job(build());
    job.Configure({"OUTBOUND " + job.ConfigPath("nowhere"), "DEFAULTOUTBOUND OUT", "DEFAULTNET 2:4600", "CREATECLO YES"});
    const RunResult run = job.Run({"a.zip", "/36"});
    EXPECT_EQ(run.out, Console({" Cannot find directory \"" + Upper(job.ConfigPath("nowhere")) + "\""}));
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_TRUE(OutboundTree(job).empty());
    EXPECT_FALSE(job.dir().Exists("nowhere"));
}

TEST_P(Outbound, WithoutDuplicateCheckExistingRequestsAreAppendedTo) {
    const Job job(build());
    job.ConfigureStandard();
    job.dir().Write("fido/" + C(job, "OUT") + "/11f80024.req", "A.ZIP\r\nA.ZIP\r\n");
    EXPECT_EQ(job.Run({"A.ZIP", "A.ZIP", "/36"}).out,
              Console(With({" A.ZIP -> 2:4600/36.0", " A.ZIP -> 2:4600/36.0"}, kGoodbye)));
    EXPECT_EQ(job.dir().Read("fido/" + C(job, "OUT") + "/11f80024.req"), "A.ZIP\r\nA.ZIP\r\nA.ZIP\r\nA.ZIP\r\n");
}

TEST_P(Outbound, DuplicateCheckCleansTheFileAndSkipsWhatItHolds) {
    const Job job(build());
    job.ConfigureStandard({"CHECKDUPES YES", "LOG " + job.ConfigPath("t.log")});
    const std::string req = "fido/" + C(job, "OUT") + "/11f80024.req";
    const std::string longLine = "LONGNAME_0123456789_ABC.ZIP";
    job.dir().Write(req, "A.ZIP\r\nB.ZIP\nA.ZIP\r\nC.ZIP !pw\r\n" + longLine + "\r\n" + std::string(300, 'L'));
    const RunResult run = job.Run({"A.ZIP", "a.zip", "C.ZIP!!pw", "C.ZIP!!other", "LONGNAME_0123456789_XYZ.ZIP", "/36"});
    EXPECT_EQ(run.out, Console(With({" A.ZIP -> already exist. Skipping...", " a.zip -> 2:4600/36.0",
                                     " C.ZIP !pw -> already exist. Skipping...", " C.ZIP !other -> 2:4600/36.0",
                                     " LONGNAME_0123456789_XYZ.ZIP -> 2:4600/36.0"},
                                    kGoodbye)));
    // Repeats removed, order kept, nothing shortened, every line ends in CR LF.
    EXPECT_EQ(job.dir().Read(req), "A.ZIP\r\nB.ZIP\r\nC.ZIP !pw\r\n" + longLine + "\r\n" + std::string(300, 'L') +
                                       "\r\na.zip\r\nC.ZIP !other\r\nLONGNAME_0123456789_XYZ.ZIP\r\n");
    // Skipped requests leave no log line.
    const std::string log = job.dir().Read(job.Created("T.LOG"));
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 3);
    EXPECT_EQ(log.find("A.ZIP"), std::string::npos);
}

TEST_P(Outbound, DuplicateCheckOnAnEmptyOrMissingFile) {
    const Job job(build());
    job.ConfigureStandard({"CHECKDUPES YES"});
    // Lines written in this run are not looked at again.
    EXPECT_EQ(job.Run({"x.zip", "x.zip", "/36"}).out,
              Console(With({" x.zip -> 2:4600/36.0", " x.zip -> 2:4600/36.0"}, kGoodbye)));
    job.dir().Write("fido/" + C(job, "OUT") + "/11f80025.req", "");
    EXPECT_EQ(job.Run({"x.zip", "/37"}).out, Console(With({" x.zip -> 2:4600/37.0"}, kGoodbye)));
    EXPECT_EQ(job.dir().Read("fido/" + C(job, "OUT") + "/11f80025.req"), "x.zip\r\n");
    // The same address twice: its second turn finds what the first wrote.
    EXPECT_EQ(job.Run({"y.zip", "/38", "/38"}).out,
              Console(With({" y.zip -> 2:4600/38.0", " y.zip -> already exist. Skipping..."}, kGoodbye)));
}

TEST_P(Outbound, AppendingStartsOnALineOfItsOwn) {
    const Job job(build());
    job.ConfigureStandard({"LOG " + job.ConfigPath("t.log")});
    const std::string req = "fido/" + C(job, "OUT") + "/11f80024.req";
    job.dir().Write(req, "a.zip");
    const std::string oldLog = "old line\r\n\x1a\x1a text after\x1a\x1a";
    job.dir().Write(job.Created("T.LOG"), oldLog);
    EXPECT_EQ(job.Run({"b.zip", "/36"}).exitCode, 0);
    EXPECT_EQ(job.dir().Read(req), "a.zip\r\nb.zip\r\n");
    // Only the ^Z bytes that end the log go; the text after a ^Z stays.
    const std::string log = job.dir().Read(job.Created("T.LOG"));
    const std::size_t kept = oldLog.size() - 2;
    EXPECT_EQ(log.substr(0, kept + 2), oldLog.substr(0, kept) + "\r\n");
    EXPECT_TRUE(std::regex_match(log.substr(kept + 2), std::regex(R"(\d\d/\d\d \d\d:\d\d:\d\d b\.zip 2:4600/36\.0\r\n)"))) << log;
}

TEST_P(Outbound, FlowFilesAreCreatedEmptyAndNeverChanged) {
    const Job job(build());
    job.ConfigureStandard({"CREATECLO YES", "CHECKDUPES YES"});
    const std::string out = "fido/" + C(job, "OUT") + "/";
    job.dir().MakeDir(out);
    job.dir().Write(out + "11f80025.clo", "^c:\\files\\x.zip\r\n");
    job.dir().Write(out + "11f80024.req", "a.zip\r\n");
    EXPECT_EQ(job.Run({"a.zip", "/36", "/37", "/36.7"}).exitCode, 0);
    EXPECT_TRUE(job.dir().Exists(out + "11f80024.clo"));  // even with every request present already
    EXPECT_EQ(job.dir().Read(out + "11f80024.clo"), "");
    EXPECT_EQ(job.dir().Read(out + "11f80025.clo"), "^c:\\files\\x.zip\r\n");
    EXPECT_EQ(job.dir().Read(out + "11f80024.pnt/00000007.clo"), "");
}

TEST_P(Outbound, OrderOfAddressesLinesAndWords) {
    const Job job(build());
    job.ConfigureStandard({"LOG " + job.ConfigPath("t.log")});
    job.dir().Write("l.txt", "y.zip\r\n");
    EXPECT_EQ(job.Run({"x.zip", "@l.txt", "p!!pw!!x", "/36", "3:45/6.1"}).out,
              Console(With({" x.zip -> 2:4600/36.0", " y.zip -> 2:4600/36.0", " p !pw!!x -> 2:4600/36.0",
                            " x.zip -> 3:45/6.1", " y.zip -> 3:45/6.1", " p !pw!!x -> 3:45/6.1"},
                           kGoodbye)));
    EXPECT_EQ(job.dir().Read("fido/" + C(job, "OUT") + "/11f80024.req"), "x.zip\r\ny.zip\r\np !pw!!x\r\n");
    const std::regex line(R"((\d\d)/(\d\d) (\d\d):(\d\d):(\d\d) (.*))");
    std::vector<std::string> logged;
    const std::string log = job.dir().Read(job.Created("T.LOG"));
    for (std::size_t at = 0, end; (end = log.find("\r\n", at)) != std::string::npos; at = end + 2) {
        std::smatch m;
        const std::string text = log.substr(at, end - at);
        ASSERT_TRUE(std::regex_match(text, m, line)) << text;
        logged.push_back(m[6]);
    }
    EXPECT_EQ(logged, (std::vector<std::string>{"x.zip 2:4600/36.0", "y.zip 2:4600/36.0", "p !pw!!x 2:4600/36.0",
                                                "x.zip 3:45/6.1", "y.zip 3:45/6.1", "p !pw!!x 3:45/6.1"}));
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

TEST_P(Outbound, RequestFileThatIsAFolder) {
    const Job job(build());
    job.ConfigureStandard();
    job.dir().MakeDir("fido/" + C(job, "OUT") + "/11f80025.req");
    const RunResult run = job.Run({"a.zip", "/36", "/37", "/38"});
    EXPECT_EQ(run.out, Console({" a.zip -> 2:4600/36.0",
                                " Error! Unable to open " + Upper(job.ConfigPath("fido")) + "\\OUT\\11f80025.req"}));
    EXPECT_FALSE(job.dir().Exists("fido/" + C(job, "OUT") + "/11f80026.req"));
}

TOLVEX_BOTH_BUILDS(Outbound);

TEST(OutboundPosix, ExistingFoldersAreFoundWhateverTheirCase) {
    const Job job(Build::Posix);
    job.ConfigureStandard({"ZONE 3 OtherNet"});
    job.dir().MakeDir("fido/Out/11F80024.pnt");
    job.dir().MakeDir("fido/OTHERNET.003");
    EXPECT_EQ(job.Run({"a.zip", "/36.7", "3:1/2"}).exitCode, 0);
    EXPECT_EQ(job.dir().Read("fido/Out/11F80024.pnt/00000007.req"), "a.zip\r\n");
    EXPECT_EQ(job.dir().Read("fido/OTHERNET.003/00010002.req"), "a.zip\r\n");
    EXPECT_FALSE(job.dir().Exists("fido/out"));
}

// Of several spellings, the lower-case one (what tolvex creates, and what the
// mailer reads) comes first, then the one given, then the first in byte order.
TEST(OutboundPosix, LowerCaseSpellingIsFoundFirst) {
    const Job job(Build::Posix);
    job.ConfigureStandard();
    for (const char* folder : {"Fido/OUT", "fido/OUT", "fido/out"}) job.dir().MakeDir(folder);
    EXPECT_EQ(job.Run({"a.zip", "/36"}).exitCode, 0);
    EXPECT_EQ(job.dir().Read("fido/out/11f80024.req"), "a.zip\r\n");
    EXPECT_FALSE(job.dir().Exists("fido/OUT/11f80024.req") || job.dir().Exists("Fido/OUT/11f80024.req"));
    job.dir().Write("LIST.TXT", "other.zip\r\n");
    job.dir().Write("List.txt", "given.zip\r\n");
    EXPECT_EQ(job.Run({"@List.txt", "/37"}).exitCode, 0);
    EXPECT_EQ(job.dir().Read("fido/out/11f80025.req"), "given.zip\r\n");
}

TEST(OutboundPosix, PointFolderThatCannotBeMade) {
    const Job job(Build::Posix);
    job.ConfigureStandard();
    job.dir().MakeDir("fido/out");
    chmod(job.dir().At("fido/out").c_str(), 0555);
    const RunResult run = job.Run({"a.zip", "/36.7", "/37"}, AsNobody());
    EXPECT_EQ(run.out, Console({" Error! Unable to open " + Upper(job.dir().At("fido")) + "\\OUT\\11f80024.pnt\\00000007.req"}));
}

TEST(OutboundPosix, DiskFullUnderTheRequestFile) {
    const Job job(Build::Posix);
    job.ConfigureStandard();
    job.dir().MakeDir("fido/out");
    ASSERT_EQ(symlink("/dev/full", job.dir().At("fido/out/11f80024.req").c_str()), 0);
    const RunResult run = job.Run({"a.zip", "/36", "/37"});
    EXPECT_EQ(run.out, Console({" Error! Unable to write " + Upper(job.dir().At("fido")) + "\\OUT\\11f80024.req"}));
    EXPECT_FALSE(job.dir().Exists("fido/out/11f80025.req"));
}

TEST(OutboundPosix, DiskFullUnderTheLogCostsNoRequest) {
    const Job job(Build::Posix);
    job.ConfigureStandard({"LOG /dev/full"});
    std::vector<std::string> args;
    for (int i = 0; i < 20; ++i) args.push_back("file" + std::to_string(i) + ".zip");
    args.push_back("/36");
    const RunResult run = job.Run(args);
    std::string expected;
    for (int i = 0; i < 20; ++i) expected += "file" + std::to_string(i) + ".zip\r\n";
    EXPECT_EQ(job.dir().Read("fido/out/11f80024.req"), expected);
    EXPECT_EQ(run.out.substr(run.out.size() - 23), "\r\nHave a nice day! =)\r\n");
}

}  // namespace
