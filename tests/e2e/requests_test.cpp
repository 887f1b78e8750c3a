// Items, the prompt mode and the input checks, as the console and the request
// files show them.
#include <algorithm>
#include <cstdio>
#include <optional>

#include "e2e/harness.hpp"

namespace {

class Requests : public EndToEnd {};

// Standard input: a pipe on POSIX, the console's input handle under wine.
TEST_P(Requests, PromptMode) {
    const Job job(build());
    job.ConfigureStandard();
    for (const std::string& typed : {std::string("a.zip b!!pw\r\n/36 .1\r\n"), std::string("a.zip b!!pw\n/36 .1\n")})
        EXPECT_EQ(job.Run({"/"}, Typing(typed)).out,
                  Finished({"Request file(s): At node(s): ", " a.zip -> 2:4600/36.0", " b !pw -> 2:4600/36.0",
                            " a.zip -> 2:4600/12.1", " b !pw -> 2:4600/12.1"}));
}

// A list file named with "/" in its path is a list, not the first address:
// in another folder, and on POSIX standard input as /dev/stdin.
TEST_P(Requests, ListFileNamedWithSlashes) {
    const Job job(build());
    job.ConfigureStandard();
    job.dir().Write("lists/want.lst", Crlf({"a.zip", "b.zip"}));
    std::string list = job.ConfigPath("lists/want.lst");
    std::replace(list.begin(), list.end(), '\\', '/');
    EXPECT_EQ(job.Run({"@" + list, "/36"}).out, Finished({" a.zip -> 2:4600/36.0", " b.zip -> 2:4600/36.0"}));
    if (build() == Build::Posix) {
        EXPECT_EQ(job.Run({"@/dev/stdin", "/37"}, Typing(Crlf({"c.zip"}))).out, Finished({" c.zip -> 2:4600/37.0"}));
    }
}

// A folder is never opened as a file: a configuration that is one is missing,
// a list file that is one cannot be opened, and the outbound is not touched.
TEST_P(Requests, ListFileThatIsAFolder) {
    const Job job(build());
    job.ConfigureStandard();
    job.dir().MakeDir("list.txt");
    RunResult run = job.Run({"a.zip", "@list.txt", "/36"});
    EXPECT_EQ(run.out, Console({" Error! Unable to open list.txt"}));
    EXPECT_EQ(run.exitCode, 0);
    std::remove(job.dir().At("prog/tolvex.cfg").c_str());
    job.dir().MakeDir("prog/tolvex.cfg");
    EXPECT_EQ(job.Run({"a.zip", "/36"}).out, Console({" Error! Unable to open tolvex.cfg"}));
    EXPECT_TRUE(job.OutboundUntouched());
}

TOLVEX_BOTH_BUILDS(Requests);

// The checks in the order the run makes them: the addresses before the file
// names, both before the outbound.
TEST(RequestsPosix, MessagesOfTheItems) {
    const Job job(Build::Posix);
    job.ConfigureStandard({"CREATECLO YES"});
    const std::vector<std::pair<std::vector<std::string>, std::string_view>> cases = {
        {{"c:a.zip", "/36", "x"}, text::kBadAddress},
        {{"c:a.zip", "/36"}, text::kBadFileName},
        {{"/36", "/37"}, text::kNoFile},
    };
    for (const auto& [args, message] : cases) {
        const RunResult run = job.Run(args);
        EXPECT_EQ(run.out, Console({message})) << args[0] << " " << args[1];
        EXPECT_EQ(run.exitCode, 0);
    }
    EXPECT_TRUE(job.OutboundUntouched());
}

// The Windows program takes names in the ANSI code page, from the command line
// and from a console alike; a character that code page cannot hold makes no
// file name. Into a pipe or a file it shows them in the OEM code page, as
// cmd's own commands do. Wine takes its code pages from the locale: C gives
// 1252 and 437 (no Cyrillic letters), Russian 1251 and 866.
class RequestsWin32 : public ::testing::Test {
protected:
    void SetUp() override {
        TOLVEX_NEED(Win32Available(), "the Windows program or wine");
        TOLVEX_NEED(LocaleAvailable(kRussian), kRussian);
        job_.emplace(Build::Win32);
        job_->ConfigureStandard();
    }
    // What a run with the node `node` wrote to its request file.
    std::string Requested(int node) {
        char stem[16];
        std::snprintf(stem, sizeof stem, "11f8%04x", node);
        return job_->dir().Read("fido/OUT/" + std::string(stem) + ".req");
    }
    static constexpr const char* kRussian = "ru_RU.UTF-8";
    static constexpr const char* kWestern = "C.UTF-8";
    std::optional<Job> job_;
};

// прог.zip in 1251 and in 866, café.zip in 1252 and in 437 (or 850).
constexpr std::string_view kProgAnsi = "\xEF\xF0\xEE\xE3.zip", kProgOem = "\xAF\xE0\xAE\xA3.zip";

TEST_F(RequestsWin32, CommandLineNamesInTheAnsiCodePage) {
    const auto run = [&](std::string name, int node, const char* locale) {
        return job_->Run({name, "/" + std::to_string(node)}, WritingTo(Output::Pipe, locale)).out;
    };
    EXPECT_EQ(run("прог.zip", 40, kWestern), Console({text::kBadFileName}));
    EXPECT_EQ(run("café.zip", 41, kWestern), Finished({" caf\x82.zip -> 2:4600/41.0"}));
    EXPECT_EQ(run("прог.zip", 42, kRussian), Finished({" " + std::string(kProgOem) + " -> 2:4600/42.0"}));
    EXPECT_EQ(run("café.zip", 43, kRussian), Console({text::kBadFileName}));
    // No look-alike for what the OEM code page lacks: "«" is no "<".
    EXPECT_EQ(run("«прог».zip", 44, kRussian), Finished({" ?\xAF\xE0\xAE\xA3?.zip -> 2:4600/44.0"}));
    EXPECT_EQ(Requested(41) + Requested(42) + Requested(44),
              "caf\xE9.zip\r\n" + std::string(kProgAnsi) + "\r\n\xAB\xEF\xF0\xEE\xE3\xBB.zip\r\n");
}

// A configuration and a list saved as UTF-8, with the mark (Notepad's "UTF-8
// with BOM") or without it (its "UTF-8"), are read in the ANSI code page: an
// OUTBOUND in Cyrillic is found, and a listed name gives the request file the
// bytes a typed one or an ANSI list gives, while the output captured in a
// file shows it in the OEM code page. A character the code page cannot hold
// stops the run: the configuration with its own message naming the line,
// outside a comment; a listed name as a typed one.
TEST_F(RequestsWin32, Utf8ConfigurationAndListInTheAnsiCodePage) {
    const ScratchDir& dir = job_->dir();
    dir.MakeDir("fido/Фидо");
    // A line longer than 255 letters is cut in the middle of one: no letter lost.
    std::string longLine = "X";
    while (longLine.size() < 1200) longLine += "ф";
    dir.Write("ansi.lst", std::string(kProgAnsi) + " \xEF\xF0\xEE\xE3\xF0\xE0\xEC\xEC\xE0\r\n");
    RunOptions toFile = WritingTo(Output::Pipe, kRussian);
    toFile.outputFile = dir.At("sched.log");
    for (const std::string mark : {"\xEF\xBB\xBF", ""}) {
        dir.Write("utf8.cfg", mark + Crlf({"; Фидо: the outbound", "OUTBOUND " + job_->ConfigPath("fido") + "\\Фидо",
                                           "DEFAULTOUTBOUND OUT", "DEFAULTNET 2:4600", longLine}));
        dir.Write("want.lst", mark + Crlf({"прог.zip программа"}));
        EXPECT_EQ(job_->Run({"/c:utf8.cfg", "@want.lst", "/42"}, toFile).out, "");
        job_->Run({"/c:utf8.cfg", "@ansi.lst", "/43"}, toFile);
        EXPECT_EQ(job_->Run({"/c:utf8.cfg", "a.zip", "/44"}, WritingTo(Output::Pipe, kWestern)).out,
                  Console({" Error! utf8.cfg, line 2, holds characters the ANSI code page cannot hold."}));
        EXPECT_EQ(job_->Run({"@want.lst", "/45"}, WritingTo(Output::Pipe, kWestern)).out, Console({text::kBadFileName}));
    }
    const std::string shown42 = Finished({" " + std::string(kProgOem) + " -> 2:4600/42.0"});
    const std::string shown43 = Finished({" " + std::string(kProgOem) + " -> 2:4600/43.0"});
    EXPECT_EQ(dir.Read("sched.log"), shown42 + shown43 + shown42 + shown43);
    EXPECT_EQ(dir.Read("fido/Фидо/OUT/11f8002a.req"), Crlf({kProgAnsi, kProgAnsi}));
    EXPECT_EQ(dir.Read("fido/Фидо/OUT/11f8002b.req"), dir.Read("fido/Фидо/OUT/11f8002a.req"));
}

// Typed at the prompt on a console, a name gives the command line's bytes.
TEST_F(RequestsWin32, NamesTypedAtAConsoleAsOnTheCommandLine) {
    const auto type = [&](std::string name, int node, const char* locale) {
        RunOptions options = WritingTo(Output::Terminal, locale);
        options.input = name + "\r/" + std::to_string(node) + "\r";
        EXPECT_EQ(job_->Run({"/"}, options).exitCode, 0);
    };
    type("прог.zip", 40, kWestern);
    type("café.zip", 41, kWestern);
    type("прог.zip", 42, kRussian);
    type("café.zip", 43, kRussian);
    EXPECT_EQ(Requested(41) + Requested(42), "caf\xE9.zip\r\n\xEF\xF0\xEE\xE3.zip\r\n");
    EXPECT_FALSE(job_->dir().Exists("fido/OUT/11f80028.req") || job_->dir().Exists("fido/OUT/11f8002b.req"));
}

// A name from a list or a configuration cannot steer the terminal: its
// control bytes are shown as "^" and a letter.
TEST(RequestsPosix, ControlBytesOfANameAreShownNotSent) {
    const Job job(Build::Posix);
    job.ConfigureStandard();
    EXPECT_EQ(job.Run({"@\x1b]0;owned\x07\x1b[31m\x7f.lst", "/36"}).out,
              Console({" Error! Unable to open ^[]0;owned^G^[[31m^?.lst"}));
}

}  // namespace
