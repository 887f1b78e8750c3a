// Start-up, the usage text, finding the configuration file, and the console's
// character sets.
#include <sys/stat.h>

#include <cstdio>

#include "e2e/harness.hpp"

namespace {

class Startup : public EndToEnd {};

// The configuration beside the program, named as the program opened it.
std::string Beside(const Job& job) {
    std::string path = job.ConfigPath("prog");
    for (char& c : path)
        if (c == '/') c = '\\';
    return path + "\\tolvex.CFG";
}

// The usage text for no arguments, a lone help switch and a configuration
// option that names no file, the banner alone for a lone --version, and no
// configuration looked for before either; with other items, or other
// spellings, they are file names.
TEST_P(Startup, UsageOrBannerAloneForNoArgumentsAndLoneSwitches) {
    const Job job(build());
    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{}, {"/?"}, {"-?"}, {"?"}, {"--help"}, {"/c:other.cfg"}, {"/c:", "cfg\\z.cfg", "a.zip", "/36"}})
        EXPECT_EQ(job.Run(args).out, Usage()) << (args.empty() ? "" : args[0]);
    const RunResult version = job.Run({"--version"});
    EXPECT_EQ(version.out, Banner());
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(job.dir().Tree(), (std::vector<std::string>{"fido/", "prog/", "prog/" + std::string(build() == Build::Posix ? "tolvex" : "tolvex.exe")}));
    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{"-h"}, {"/H"}, {"/?", "x"}, {"--version", "x"}, {"--HELP"}})
        EXPECT_EQ(job.Run(args).out, Console({" Error! Unable to open tolvex.cfg"})) << args[0];
}

// The configuration named after the program (up to the first dot) comes
// first, then tolvex.cfg beside it; without either the common name is named.
TEST_P(Startup, ConfigurationNamedAfterTheProgramComesFirst) {
    const Job job(build(), "new");
    job.Configure({"; no default node here"}, "new.cfg");
    job.Configure({"DEFAULTNODE 12"}, "tolvex.cfg");
    EXPECT_EQ(job.Run({"a.zip"}).out, Console({text::kNoDefaultNode}));
    std::remove(job.dir().At("prog/new.cfg").c_str());
    EXPECT_EQ(job.Run({"a.zip", "2:4600/1 x"}).out, Console({text::kBadAddress}));
    std::remove(job.dir().At("prog/tolvex.cfg").c_str());
    EXPECT_EQ(job.Run({"a.zip", "/36"}).out, Console({" Error! Unable to open tolvex.cfg"}));
    const Job dotted(build(), "my.tool");
    dotted.Configure({"; only comments"}, "my.cfg");
    EXPECT_EQ(dotted.Run({"a.zip"}).out, Console({text::kNoDefaultNode}));
}

// The cases of an outbound taken as unset run as nobody: a build that wrote
// at the root of the machine would fail there instead. Every input check
// comes before the outbound's.
TEST_P(Startup, NoOutboundLineStopsBeforeTheOutbound) {
    const Job job(build());
    job.Configure({"DEFAULTOUTBOUND OUT", "DEFAULTNET 2:4600", "CREATECLO YES"});
    EXPECT_EQ(job.Run({"a.zip", "/36"}, AsNobody()).out, Console({" Error! OUTBOUND is not set in " + Beside(job)}));
    EXPECT_EQ(job.Run({"a.zip", "@nope.txt", "/36"}, AsNobody()).out, Console({" Error! Unable to open nope.txt"}));
    // An indented OUTBOUND line sets nothing.
    job.dir().Write("indented.cfg", Crlf({"  OUTBOUND " + job.ConfigPath("fido"), "DEFAULTNET 2:4600"}));
    EXPECT_EQ(job.Run({"/c:indented.cfg", "a.zip", "/36"}, AsNobody()).out,
              Console({" Error! OUTBOUND is not set in indented.cfg"}));
    EXPECT_TRUE(job.OutboundUntouched());
    // OUTBOUND \ is set: the root of the drive, where nobody may not write.
    job.dir().Write("t.cfg", Crlf({"OUTBOUND \\", "DEFAULTOUTBOUND OUT", "DEFAULTNET 2:4600"}));
    EXPECT_EQ(job.Run({"/c:t.cfg", "a.zip", "/36"}, AsNobody()).out, Console({" Error! Unable to open \\OUT\\11f80024.req"}));
}

TOLVEX_BOTH_BUILDS(Startup);

// Permission bits do not stop root, so this runs the program as nobody.
// Input that once went quietly to the wrong place, on each build, as nobody
// so that nothing can land outside the job: a net or node above 65535, typed
// or from DEFAULTNODE; a separator typed twice; a negative DEFAULTNODE; a
// configuration and a list with a UTF-8 mark, which work; an overlong
// DEFAULTNODE; a configuration and a list saved as UTF-16.
TEST_P(Startup, InputThatWentElsewhereStopsOrWorks) {
    const Job job(build());
    job.ConfigureStandard();
    const std::string bad(text::kBadAddress);
    EXPECT_EQ(job.Run({"a.zip", "/65536"}, AsNobody()).out, Console({bad}));
    EXPECT_EQ(job.Run({"a.zip", "65536/1"}, AsNobody()).out, Console({bad}));
    job.dir().Write("big.cfg", Crlf({"OUTBOUND " + job.ConfigPath("fido"), "DEFAULTNET 2:4600", "DEFAULTNODE 70000"}));
    EXPECT_EQ(job.Run({"/c:big.cfg", "a.zip"}, AsNobody()).out, Console({bad}));
    EXPECT_EQ(job.Run({"b.zip", "2:5020/52/1"}, AsNobody()).out, Console({bad}));
    job.dir().Write("negative.cfg", Crlf({"OUTBOUND " + job.ConfigPath("fido"), "DEFAULTNET 2:4600", "DEFAULTNODE -12"}));
    EXPECT_EQ(job.Run({"/c:negative.cfg", "b.zip", ".1"}, AsNobody()).out, Console({bad}));
    job.dir().Write("long.cfg", Crlf({"OUTBOUND " + job.ConfigPath("fido"), "DEFAULTNODE " + std::string(31, '1')}));
    EXPECT_EQ(job.Run({"/c:long.cfg", "a.zip"}, AsNobody()).out, Console({std::string(text::kDefaultNodeTooLong)}));
    job.dir().Write("wide.cfg", "\xFF\xFEO\0U\0T\0");
    EXPECT_EQ(job.Run({"/c:wide.cfg", "a.zip", "/36"}, AsNobody()).out,
              Console({" Error! wide.cfg is saved as UTF-16: save it as ANSI or UTF-8."}));
    job.dir().Write("wide.txt", "\xFE\xFF\0x");
    EXPECT_EQ(job.Run({"@wide.txt", "/36"}, AsNobody()).out,
              Console({" Error! wide.txt is saved as UTF-16: save it as ANSI or UTF-8."}));
    EXPECT_TRUE(job.OutboundUntouched());
    job.dir().Write("marked.cfg", "\xEF\xBB\xBF" + Crlf({"OUTBOUND " + job.ConfigPath("fido"), "DEFAULTOUTBOUND OUT",
                                                         "DEFAULTNET 2:4600"}));
    job.dir().Write("marked.txt", "\xEF\xBB\xBF" "b.zip\r\n");
    EXPECT_EQ(job.Run({"/c:marked.cfg", "a.zip", "@marked.txt", "/36"}, AsNobody()).out,
              Finished({" a.zip -> 2:4600/36.0", " b.zip -> 2:4600/36.0"}));
}

TEST(StartupPosix, ReadOnlyConfigurationIsRead) {
    const Job job(Build::Posix);
    job.ConfigureStandard();
    chmod(job.dir().At("prog/tolvex.cfg").c_str(), 0444);
    EXPECT_EQ(job.Run({"a.zip", "/36"}, AsNobody()).out, Finished({" a.zip -> 2:4600/36.0"}));
}

// A copy of the program reads only the configuration beside it. With one
// planted where an installation keeps it (/etc and /usr/local/etc, in a mount
// namespace of the case's own) naming the case's outbound, a root run of a
// copy beside a misnamed configuration stops as if none were there, and
// writes nothing.
TEST(StartupPosix, CopyReadsNoInstalledConfiguration) {
    TOLVEX_NEED(NamespacesAvailable(), "root with unshare (util-linux)");
    const Job job(Build::Posix);
    const std::vector<std::string> settings = {"OUTBOUND " + job.ConfigPath("fido"), "DEFAULTOUTBOUND OUTB",
                                               "DEFAULTNET 2:4600", "DEFAULTNODE 12", "CREATECLO YES"};
    job.Configure(settings, "fido2.cfg");
    job.dir().Write("etc/tolvex.cfg", CrlfJoined(settings));
    job.dir().Write("usr/local/etc/tolvex.cfg", CrlfJoined(settings));
    const RunResult run = RunInNamespace(
        {PlantMount(job.dir().At("etc"), "/etc"), PlantMount(job.dir().At("usr/local"), "/usr/local")},
        "test -s /etc/tolvex.cfg -a -s /usr/local/etc/tolvex.cfg && cd / && '" + job.dir().At("prog/tolvex") +
            "' nodelist.zip /36");
    EXPECT_EQ(run.out, Console({" Error! Unable to open tolvex.cfg"}));
    EXPECT_TRUE(job.OutboundUntouched());
}

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
    job.Configure({"; no default node"});
    EXPECT_EQ(job.Run({"a.zip"}, WritingTo(Output::Terminal, "C")).out, Console({text::kNoDefaultNode}));
    // A pipe always gets the bytes as they are.
    EXPECT_EQ(job.Run({"a.zip"}, WritingTo(Output::Pipe, "C.UTF-8")).out, Console({text::kNoDefaultNode}));
}

// A Windows console shows the Russian texts (CP866) and the names the user
// gave (ANSI code page) readable whatever its code page: 437 under this
// locale. Redirected, the same run gives the program's texts as their bytes
// and the names in that OEM code page; the request file keeps the ANSI bytes.
TEST(StartupWin32, ConsoleShowsTextsReadableInAnyCodePage) {
    TOLVEX_NEED(Win32Available(), "the Windows program or wine");
    const Job job(Build::Win32);
    job.ConfigureStandard();
    const RunOptions console = WritingTo(Output::Terminal, "C.UTF-8");
    EXPECT_EQ(job.Run({"café.zip", "/36"}, console).out, Finished({" café.zip -> 2:4600/36.0"}));
    EXPECT_EQ(job.Run({"café.zip", "/x"}, console).out, Console({" Ошибка в написании адреса!"}));
    EXPECT_EQ(job.Run({"a.zip", "@ü.txt", "/36"}, console).out, Console({" Error! Unable to open ü.txt"}));
    const RunOptions pipe = WritingTo(Output::Pipe, "C.UTF-8");
    EXPECT_EQ(job.Run({"café.zip", "/36"}, pipe).out, Finished({" caf\x82.zip -> 2:4600/36.0"}));
    EXPECT_EQ(job.Run({"a.zip", "@ü.txt", "/36"}, pipe).out, Console({" Error! Unable to open \x81.txt"}));
    EXPECT_EQ(job.dir().Read("fido/OUT/11f80024.req"), "caf\xe9.zip\r\ncaf\xe9.zip\r\n");
}

// A configuration saved by Notepad as "UTF-8", which has no byte-order mark,
// is read as the sysop wrote it, as one saved as ANSI is: on a Russian
// system (ANSI 1251) DEFAULTOUTBOUND ИСХ is the mailer's folder, not a new
// one named by the UTF-8 bytes (РИРЎРҐ); on a Western one (1252) the log is
// the one named, not PROTOKOLL_FÃ¼R.LOG.
TEST(StartupWin32, ConfigurationSavedAsUtf8WithoutAMark) {
    TOLVEX_NEED(Win32Available(), "the Windows program or wine");
    TOLVEX_NEED(LocaleAvailable("ru_RU.UTF-8"), "ru_RU.UTF-8");
    const Job job(Build::Win32);
    job.dir().MakeDir("fido/ИСХ");
    const std::string outbound = "OUTBOUND " + job.ConfigPath("fido");
    job.Configure({outbound, "DEFAULTOUTBOUND ИСХ", "DEFAULTNET 2:4600"});
    job.dir().Write("ansi.cfg", Crlf({outbound, "DEFAULTOUTBOUND \xC8\xD1\xD5", "DEFAULTNET 2:4600"}));
    const RunOptions russian = WritingTo(Output::Pipe, "ru_RU.UTF-8");
    EXPECT_EQ(job.Run({"a.zip", "/36"}, russian).out, Finished({" a.zip -> 2:4600/36.0"}));
    EXPECT_EQ(job.Run({"/c:ansi.cfg", "b.zip", "/36"}, russian).out, Finished({" b.zip -> 2:4600/36.0"}));
    EXPECT_EQ(job.dir().Read("fido/ИСХ/11f80024.req"), "a.zip\r\nb.zip\r\n");
    job.Configure({outbound, "DEFAULTOUTBOUND OUT", "DEFAULTNET 2:4600", "LOG " + job.ConfigPath("Protokoll_für.log")});
    EXPECT_EQ(job.Run({"c.zip", "/36"}, WritingTo(Output::Pipe, "C.UTF-8")).out, Finished({" c.zip -> 2:4600/36.0"}));
    EXPECT_EQ(job.dir().Tree(), (std::vector<std::string>{"PROTOKOLL_FüR.LOG", "ansi.cfg", "fido/", "fido/OUT/",
                                                          "fido/OUT/11f80024.req", "fido/ИСХ/", "fido/ИСХ/11f80024.req",
                                                          "prog/", "prog/tolvex.cfg", "prog/tolvex.exe"}));
}

}  // namespace
