// Start-up, the usage text, and finding and reading the configuration file.
#include <sys/stat.h>

#include <filesystem>

#include "e2e/harness.hpp"

namespace {

const std::vector<std::string> kUsage = {
    "  Usage: tolvex [/c:newcfg] file1 @file file2!!password [node1 node2]",
    "     or: tolvex [/c:newcfg] /",
    "Example: tolvex pntlist.zip /36",
    "",
};
const std::string kNoDefaultNode = "\x20\x8e\xe8\xa8\xa1\xaa\xa0! \x8e\xe2\xe1\xe3\xe2\xe1\xe2\xa2\xe3\xa5\xe2 "
                                   "\xa0\xa4\xe0\xa5\xe1 \xa2 DefaultNode.";

class Startup : public EndToEnd {};

// The configuration beside the program, named as the program opened it.
std::string Beside(const Job& job) {
    std::string path = job.ConfigPath("prog");
    for (char& c : path)
        if (c == '/') c = '\\';
    return path + "\\tolvex.CFG";
}

std::string Utf16(std::string_view text, bool littleEndian) {
    std::string bytes = littleEndian ? "\xFF\xFE" : "\xFE\xFF";
    for (char c : text) bytes += littleEndian ? std::string{c, '\0'} : std::string{'\0', c};
    return bytes;
}

TEST_P(Startup, UsageOrBannerAloneForNoArgumentsAndLoneSwitches) {
    const Job job(build());
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{{}, {"/?"}, {"-?"}, {"?"}, {"--help"}}) {
        const RunResult run = job.Run(args);
        EXPECT_EQ(run.out, Console(kUsage)) << (args.empty() ? "" : args[0]);
        EXPECT_EQ(run.exitCode, 0);
    }
    const RunResult version = job.Run({"--version"});
    EXPECT_EQ(version.out, Banner());
    EXPECT_EQ(version.exitCode, 0);
    // No configuration is looked for before the usage text or the version.
    EXPECT_EQ(job.dir().Tree(), (std::vector<std::string>{"fido/", "prog/", "prog/" + std::string(build() == Build::Posix ? "tolvex" : "tolvex.exe")}));
}

TEST_P(Startup, HelpTextsAreItemsOtherwise) {
    const Job job(build());
    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{"-h"}, {"/H"}, {"/?", "x"}, {"--help", "x"}, {"--version", "x"}, {"--HELP"}}) {
        const RunResult run = job.Run(args);
        EXPECT_EQ(run.out, Console({" Error! Unable to open tolvex.cfg"})) << args[0];
        EXPECT_EQ(run.exitCode, 0);
    }
}

TEST_P(Startup, ConfigurationNamedAfterTheProgramComesFirst) {
    const Job job(build(), "new");
    job.Configure({"; no default node here"}, "new.cfg");
    job.Configure({"DEFAULTNODE 12"}, "tolvex.cfg");
    EXPECT_EQ(job.Run({"a.zip"}).out, Console({kNoDefaultNode}));
    // Without NEW.CFG the common name is used.
    std::remove(job.dir().At("prog/new.cfg").c_str());
    EXPECT_EQ(job.Run({"a.zip", "2:4600/1 x"}).out, Console({"\x20\x8e\xe8\xa8\xa1\xaa\xa0 \xa2 \xad\xa0\xaf\xa8\xe1\xa0\xad\xa8\xa8 \xa0\xa4\xe0\xa5\xe1\xa0!"}));
}

TEST_P(Startup, ConfigurationNameStopsAtTheFirstDot) {
    const Job job(build(), "my.tool");
    job.Configure({"; only comments"}, "my.cfg");
    EXPECT_EQ(job.Run({"a.zip"}).out, Console({kNoDefaultNode}));
}

TEST_P(Startup, MissingConfigurationNamesTheCommonName) {
    const Job job(build(), "new");
    const RunResult run = job.Run({"a.zip", "/36"});
    EXPECT_EQ(run.out, Console({" Error! Unable to open tolvex.cfg"}));
    EXPECT_EQ(run.exitCode, 0);
}

TEST_P(Startup, ConfigurationOption) {
    const Job job(build());
    EXPECT_EQ(job.Run({"/c:other.cfg"}).out, Console(kUsage));
    EXPECT_EQ(job.Run({"/c:missing.cfg", "a.zip"}).out, Console({" Error! Unable to open missing.cfg"}));
    EXPECT_EQ(job.Run({"/c:", "a.zip"}).out, Console({" Error! Unable to open "}));
    // The file is looked for in the current directory, and the option counts
    // as no item: one file item needs the default node.
    job.dir().Write("other.cfg", Crlf({"; nothing"}));
    EXPECT_EQ(job.Run({"/C:other.cfg", "a.zip"}).out, Console({kNoDefaultNode}));
    // The option may stand anywhere in the argument; its first three
    // characters are dropped, whatever they are.
    EXPECT_EQ(job.Run({"x/c:other.cfg", "a.zip"}).out, Console({" Error! Unable to open :other.cfg"}));
}

TEST_P(Startup, TooManyZoneLines) {
    const Job job(build());
    std::vector<std::string> zones;
    for (int zone = 1; zone <= 21; ++zone) zones.push_back("ZONE " + std::to_string(zone) + " Z" + std::to_string(zone));
    job.ConfigureStandard(zones);
    EXPECT_EQ(job.Run({"a.zip", "/36"}).out, Console({" Error! Too many ZONE lines."}));
    zones.pop_back();
    job.ConfigureStandard(zones);
    EXPECT_EQ(job.Run({"a.zip", "/36"}).out, Console({" a.zip -> 2:4600/36.0", "", "Have a nice day! =)"}));
}

// Cut to 30 characters, a longer DEFAULTNODE would name another node.
TEST_P(Startup, DefaultNodeOfMoreThan30Characters) {
    const Job job(build());
    job.ConfigureStandard({"CREATECLO YES", "DEFAULTNODE  2:4600/100   2:4600/200 2:460/30  "});
    EXPECT_EQ(job.Run({"f"}).out, Console({" f -> 2:4600/100.0", " f -> 2:4600/200.0", " f -> 2:460/30.0", "", "Have a nice day! =)"}));
    std::filesystem::remove_all(job.dir().At("fido/" + job.Created("OUT")));
    job.ConfigureStandard({"CREATECLO YES", "DEFAULTNODE 2:4600/100 2:4600/200 2:4600/30", "LOG " + job.ConfigPath("t.log")});
    const RunResult run = job.Run({"f"});
    EXPECT_EQ(run.out, Console({" Error! DEFAULTNODE is longer than 30 characters."}));
    EXPECT_EQ(run.exitCode, 0);
    // Stopped after the whole file was read, before anything was written to the outbound.
    EXPECT_EQ(job.dir().Read(job.Created("T.LOG")), "");
    EXPECT_TRUE(job.OutboundUntouched());
}

// The cases of an outbound taken as unset run as nobody: a build that wrote
// at the root of the machine would fail there instead.
TEST_P(Startup, Utf8ByteOrderMarkIsSkipped) {
    const Job job(build());
    job.dir().Write("prog/tolvex.cfg", "\xEF\xBB\xBF" + Crlf({"OUTBOUND " + job.ConfigPath("fido"), "DEFAULTOUTBOUND OUT", "DEFAULTNET 2:4600"}));
    job.dir().Write("l.txt", "\xEF\xBB\xBFx.zip\r\n");
    EXPECT_EQ(job.Run({"@l.txt", "/36"}, AsNobody()).out, Console({" x.zip -> 2:4600/36.0", "", "Have a nice day! =)"}));
    EXPECT_EQ(job.dir().Read("fido/" + job.Created("OUT") + "/11f80024.req"), "x.zip\r\n");
}

TEST_P(Startup, NoOutboundLineStopsBeforeTheOutbound) {
    const Job job(build());
    job.Configure({"DEFAULTOUTBOUND OUT", "DEFAULTNET 2:4600", "CREATECLO YES"});
    EXPECT_EQ(job.Run({"a.zip", "/36"}, AsNobody()).out, Console({" Error! OUTBOUND is not set in " + Beside(job)}));
    // Every input check comes first.
    EXPECT_EQ(job.Run({"a.zip", "@nope.txt", "/36"}, AsNobody()).out, Console({" Error! Unable to open nope.txt"}));
    job.dir().Write("t.cfg", Crlf({"  OUTBOUND " + job.ConfigPath("fido"), "DEFAULTOUTBOUND OUT", "DEFAULTNET 2:4600"}));
    EXPECT_EQ(job.Run({"/c:t.cfg", "a.zip", "/36"}, AsNobody()).out, Console({" Error! OUTBOUND is not set in t.cfg"}));
    EXPECT_TRUE(job.OutboundUntouched());
    // OUTBOUND \ is set: the root of the drive, where nobody may not write.
    job.dir().Write("t.cfg", Crlf({"OUTBOUND \\", "DEFAULTOUTBOUND OUT", "DEFAULTNET 2:4600"}));
    EXPECT_EQ(job.Run({"/c:t.cfg", "a.zip", "/36"}, AsNobody()).out, Console({" Error! Unable to open \\OUT\\11f80024.req"}));
}

TEST_P(Startup, Utf16FilesAreRefused) {
    const Job job(build());
    job.dir().Write("prog/tolvex.cfg", Utf16("OUTBOUND " + job.ConfigPath("fido") + "\r\nDEFAULTNET 2:4600\r\n", true));
    EXPECT_EQ(job.Run({"a.zip", "/36"}, AsNobody()).out,
              Console({" Error! " + Beside(job) + " is saved as UTF-16: save it as ANSI or UTF-8."}));
    job.ConfigureStandard();
    job.dir().Write("l.txt", Utf16("x.zip\r\n", false));
    EXPECT_EQ(job.Run({"a.zip", "@l.txt", "/36"}, AsNobody()).out,
              Console({" Error! l.txt is saved as UTF-16: save it as ANSI or UTF-8."}));
    EXPECT_TRUE(job.OutboundUntouched());
}

TEST_P(Startup, LogLineCutsTheFirstFourCharacters) {
    const Job job(build());
    // "  LO" goes, the blank after "G" is removed: the log is GX.LOG in the
    // current directory.
    job.ConfigureStandard({"  LOG X.LOG"});
    EXPECT_EQ(job.Run({"a.zip", "/36"}).exitCode, 0);
    EXPECT_TRUE(job.dir().Exists(job.Created("GX.LOG")));
    EXPECT_FALSE(job.dir().Exists(job.Created("X.LOG")));
}

TEST_P(Startup, UnusableLogDoesNotEndTheConfiguration) {
    const Job job(build());
    job.Configure({"LOG " + job.ConfigPath("missing/folder/t.log"), "OUTBOUND " + job.ConfigPath("fido"),
                   "DEFAULTOUTBOUND OUT", "DEFAULTNET 2:4600", "DEFAULTNODE 12"});
    EXPECT_EQ(job.Run({"a.zip"}).out, Console({" a.zip -> 2:4600/12.0", "", "Have a nice day! =)"}));
    EXPECT_EQ(job.dir().Read("fido/" + job.Created("OUT") + "/11f8000c.req"), "a.zip\r\n");
}

TEST_P(Startup, CompleteLineEndsTheReading) {
    const Job job(build());
    job.Configure({"; before", "x complete. y", "DEFAULTNODE 12"});
    EXPECT_EQ(job.Run({"a.zip"}).out, Console({kNoDefaultNode}));
}

TEST_P(Startup, LowerCaseOutboundIsUpperCased) {
    const Job job(build());
    job.Configure({"outbound c:\\fido", "DEFAULTNET 2:4600"});
    EXPECT_EQ(job.Run({"a.zip", "/36"}).out, Console({" Cannot find directory \"C:\\FIDO\""}));
}

TOLVEX_BOTH_BUILDS(Startup);

// Permission bits do not stop root, so these run the program as nobody.
TEST(StartupPosix, ReadOnlyConfigurationIsRead) {
    const Job job(Build::Posix);
    job.ConfigureStandard();
    chmod(job.dir().At("prog/tolvex.cfg").c_str(), 0444);
    chmod(job.dir().At("fido").c_str(), 0777);
    const RunResult run = job.Run({"a.zip", "/36"}, AsNobody());
    EXPECT_EQ(run.out, Console({" a.zip -> 2:4600/36.0", "", "Have a nice day! =)"}));
}

TEST(StartupPosix, ConfigurationThatIsAFolderIsMissing) {
    const Job job(Build::Posix);
    job.dir().MakeDir("prog/tolvex.cfg");
    EXPECT_EQ(job.Run({"a.zip", "/36"}).out, Console({" Error! Unable to open tolvex.cfg"}));
}

}  // namespace

namespace {

// On a terminal the program's own Russian texts appear in the terminal's
// character set; what echoes the user's input, and every pipe, keep the bytes.
TEST(StartupPosix, TerminalShowsMessagesInItsCharacterSet) {
    const Job job(Build::Posix);
    job.Configure({"; no default node"});
    RunOptions terminal = WritingTo(Output::Terminal, "C.UTF-8");
    EXPECT_EQ(job.Run({"a.zip"}, terminal).out, Console({" Ошибка! Отсутствует адрес в DefaultNode."}));
    job.Configure({"DEFAULTNODE 12"});
    EXPECT_EQ(job.Run({"\xa0\xa1.zip", "/x"}, terminal).out, Console({" Ошибка в написании адреса!"}));
    EXPECT_EQ(job.Run({"a.zip", "@\xa0.txt", "/1"}, terminal).out, Console({" Error! Unable to open \xa0.txt"}));
    // A character set without Cyrillic letters gets the bytes as they are.
    terminal.locale = "C";
    job.Configure({"; no default node"});
    EXPECT_EQ(job.Run({"a.zip"}, terminal).out, Console({kNoDefaultNode}));
    // A pipe always gets the bytes as they are.
    EXPECT_EQ(job.Run({"a.zip"}, WritingTo(Output::Pipe, "C.UTF-8")).out,
              Console({kNoDefaultNode}));
}

// A Windows console shows the Russian texts (CP866) and the names the user
// gave (ANSI code page) readable whatever its code page: 437 under this
// locale. Redirected, the same run gives the bytes as they are.
TEST(StartupWin32, ConsoleShowsTextsReadableInAnyCodePage) {
    if (!Win32Available()) {
        if (ToolsRequired()) FAIL() << "the Windows program or wine is missing";
        GTEST_SKIP() << "the Windows program or wine is missing";
    }
    const Job job(Build::Win32);
    job.ConfigureStandard();
    const RunOptions console = WritingTo(Output::Terminal, "C.UTF-8");
    EXPECT_EQ(job.Run({"café.zip", "/36"}, console).out,
              Console({" café.zip -> 2:4600/36.0", "", "Have a nice day! =)"}));
    EXPECT_EQ(job.Run({"café.zip", "/x"}, console).out, Console({" Ошибка в написании адреса!"}));
    EXPECT_EQ(job.Run({"a.zip", "@ü.txt", "/36"}, console).out, Console({" Error! Unable to open ü.txt"}));
    EXPECT_EQ(job.Run({"café.zip", "/36"}, WritingTo(Output::Pipe, "C.UTF-8")).out,
              Console({" caf\xe9.zip -> 2:4600/36.0", "", "Have a nice day! =)"}));
    EXPECT_EQ(job.dir().Read("fido/OUT/11f80024.req"), "caf\xe9.zip\r\ncaf\xe9.zip\r\n");
}

}  // namespace
