// Items, list files, the prompt mode and the input checks, as the console and
// the request files show them.
#include <optional>

#include "e2e/harness.hpp"

namespace {

const std::string kNoAddressItem = " \x8e\xe8\xa8\xa1\xaa\xa0 \xa2 \xad\xa0\xaf\xa8\xe1\xa0\xad\xa8\xa8 \xa0\xa4\xe0\xa5\xe1\xa0 "
                                   "\xa8\xab\xa8 \xa0\xa4\xe0\xa5\xe1 \xae\xe2\xe1\xe3\xe2\xe1\xe2\xa2\xe3\xa5\xe2!";
const std::string kNoAddress = " \x8e\xe8\xa8\xa1\xaa\xa0! \x8e\xe2\xe1\xe3\xe2\xe1\xe2\xa2\xe3\xa5\xe2 \xa0\xa4\xe0\xa5\xe1.";
const std::string kBadAddress = " \x8e\xe8\xa8\xa1\xaa\xa0 \xa2 \xad\xa0\xaf\xa8\xe1\xa0\xad\xa8\xa8 \xa0\xa4\xe0\xa5\xe1\xa0!";
const std::string kNoFile = " \x8e\xe8\xa8\xa1\xaa\xa0! \x8e\xe2\xe1\xe3\xe2\xe1\xe2\xa2\xe3\xa5\xe2 \xe4\xa0\xa9\xab.";
const std::string kBadFileName = " \x8e\xe8\xa8\xa1\xaa\xa0 \xa2 \xad\xa0\xaf\xa8\xe1\xa0\xad\xa8\xa8 \xe4\xa0\xa9\xab\xa0!";
const std::vector<std::string> kGoodbye = {"", "Have a nice day! =)"};

class Requests : public EndToEnd {
protected:
    std::string Req(const Job& job, std::string_view stem) {
        return job.dir().Read("fido/" + job.Created("OUT") + "/" + std::string(stem) + ".req");
    }
};

TEST_P(Requests, ListFilesAndFileItems) {
    const Job job(build());
    job.ConfigureStandard();
    job.dir().Write("l.txt", "x.zip old\r\n y.zip\r\n\r\nz.zip\nw.zip");
    const RunResult run = job.Run({"a.zip", "@l.txt", "b.zip", "/36"});
    EXPECT_EQ(run.out, Console({" a.zip -> 2:4600/36.0", " x.zip -> 2:4600/36.0", " z.zip -> 2:4600/36.0",
                                " w.zip -> 2:4600/36.0", " b.zip -> 2:4600/36.0", "", "Have a nice day! =)"}));
    EXPECT_EQ(Req(job, "11f80024"), "a.zip\r\nx.zip\r\nz.zip\r\nw.zip\r\nb.zip\r\n");
}

TEST_P(Requests, BareNumbersBeforeTheAddressesAreFiles) {
    const Job job(build());
    job.ConfigureStandard();
    EXPECT_EQ(job.Run({"a.zip", "36"}).out, Console({" a.zip -> 2:4600/12.0", " 36 -> 2:4600/12.0", "", "Have a nice day! =)"}));
}

TEST_P(Requests, MessagesOfTheItems) {
    const Job job(build());
    job.ConfigureStandard();
    job.dir().Write("l.txt", "x.zip\r\n");
    struct Case {
        std::vector<std::string> args;
        std::string message;
    };
    const std::vector<Case> cases = {
        {{"a.zip", "@lists/l.txt"}, kBadAddress},  // holds "/": an address item
        {{"a.zip", "/36", "b.zip"}, kBadAddress},
        {{"dir\\a.zip", "/36"}, kBadFileName},
        {{"c:a.zip", "/36"}, kBadFileName},
        {{"a.zip", "@", "/36"}, " Error! Unable to open "},
        {{"a.zip", "@nope.txt", "/36"}, " Error! Unable to open nope.txt"},
        {{"a.zip", "/"}, kNoAddress},
        {{"/36", "/37"}, kNoFile},
        // Both wrong: the address message comes first.
        {{"c:a.zip", "/36", "x"}, kBadAddress},
        {{"1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "/11", "12", "13", "14", "15", "16", "17", "18", "19", "20", "21"},
         " Error! Too many addresses."},
    };
    for (const Case& c : cases) {
        const RunResult run = job.Run(c.args);
        EXPECT_EQ(run.out, Console({c.message})) << c.args[0] << " " << c.args[1];
        EXPECT_EQ(run.exitCode, 0);
    }
    EXPECT_TRUE(job.OutboundUntouched());
}

TEST_P(Requests, NoAddressAndNoDefaultNode) {
    const Job job(build());
    job.Configure({"OUTBOUND " + job.ConfigPath("fido"), "DEFAULTNET 2:4600"});
    EXPECT_EQ(job.Run({"a.zip", "b.zip"}).out, Console({kNoAddressItem}));
    // A single item needs DEFAULTNODE, even when it is an address.
    EXPECT_EQ(job.Run({"/36"}).out, Console({" \x8e\xe8\xa8\xa1\xaa\xa0! \x8e\xe2\xe1\xe3\xe2\xe1\xe2\xa2\xe3\xa5\xe2 "
                                             "\xa0\xa4\xe0\xa5\xe1 \xa2 DefaultNode."}));
}

TEST_P(Requests, TooManyFilesStopBeforeTheOutbound) {
    const Job job(build());
    job.ConfigureStandard({"CREATECLO YES"});
    std::string words;
    for (int i = 0; i < 20000; ++i) words += "file" + std::to_string(i) + ".zip\r\n";
    job.dir().Write("l.txt", words);
    EXPECT_EQ(job.Run({"@l.txt", "/36"}).out, Console({" Error! Too many files requested."}));
    EXPECT_TRUE(job.OutboundUntouched());
}

TEST_P(Requests, PromptMode) {
    const Job job(build());
    job.ConfigureStandard();
    for (const std::string& typed : {std::string("a.zip b!!pw\r\n/36 .1\r\n"), std::string("a.zip b!!pw\n/36 .1\n")}) {
        const RunResult run = job.Run({"/"}, Typing(typed));
        EXPECT_EQ(run.out, Console({"Request file(s): At node(s): ", " a.zip -> 2:4600/36.0", " b !pw -> 2:4600/36.0",
                                    " a.zip -> 2:4600/12.1", " b !pw -> 2:4600/12.1", "", "Have a nice day! =)"}));
    }
    // An empty address answer asks DEFAULTNODE; an empty file answer is no file.
    EXPECT_EQ(job.Run({"/"}, Typing("c.zip\r\n\r\n")).out,
              Console({"Request file(s): At node(s): ", " c.zip -> 2:4600/12.0", "", "Have a nice day! =)"}));
    EXPECT_EQ(job.Run({"/"}, Typing("\r\n36\r\n")).out,
              Console({"Request file(s): At node(s): ", kNoFile}));
    EXPECT_EQ(job.Run({"/"}, Typing("c.zip\r\n   \r\n")).out,
              Console({"Request file(s): At node(s): ", kNoAddress}));
}

// A net or node above 65535 would be written under another node's name.
TEST_P(Requests, NetOrNodeAbove65535IsABadAddress) {
    const Job job(build());
    job.ConfigureStandard({"CREATECLO YES"});
    EXPECT_EQ(job.Run({"f", "/65536"}).out, Console({kBadAddress}));
    EXPECT_EQ(job.Run({"f", "65536/1"}).out, Console({kBadAddress}));
    EXPECT_EQ(job.Run({"/"}, Typing("f\r\n/36 /65536\r\n")).out, Console({"Request file(s): At node(s): ", kBadAddress}));
    job.ConfigureStandard({"CREATECLO YES", "DEFAULTNODE 70000"});
    const RunResult run = job.Run({"f"});
    EXPECT_EQ(run.out, Console({kBadAddress}));
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_TRUE(job.OutboundUntouched());
    EXPECT_EQ(job.Run({"f", "2:65535/65535.65535"}).out, Console({" f -> 2:65535/65535.65535", "", "Have a nice day! =)"}));
    EXPECT_EQ(job.dir().Read("fido/" + job.Created("OUT") + "/ffffffff.pnt/0000ffff.req"), "f\r\n");
}

TOLVEX_BOTH_BUILDS(Requests);

// The Windows program takes names in the ANSI code page, from the command line
// and from a console alike; a character that code page cannot hold makes no
// file name. Wine takes its code pages from the locale: C gives 1252 (no
// Cyrillic letters), Russian 1251.
class RequestsWin32 : public ::testing::Test {
protected:
    void SetUp() override {
        const char* missing = !Win32Available() ? "the Windows program or wine" : !LocaleAvailable(kRussian) ? kRussian : nullptr;
        if (missing != nullptr && ToolsRequired()) FAIL() << missing << " is missing";
        if (missing != nullptr) GTEST_SKIP() << missing << " is missing";
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

TEST_F(RequestsWin32, CommandLineNamesInTheAnsiCodePage) {
    const auto run = [&](std::string name, int node, const char* locale) {
        RunOptions options;
        options.locale = locale;
        return job_->Run({name, "/" + std::to_string(node)}, options).out;
    };
    const std::vector<std::string> done = {"", "Have a nice day! =)"};
    EXPECT_EQ(run("прог.zip", 40, kWestern), Console({kBadFileName}));
    EXPECT_EQ(run("café.zip", 41, kWestern), Console({" caf\xE9.zip -> 2:4600/41.0", done[0], done[1]}));
    EXPECT_EQ(run("прог.zip", 42, kRussian), Console({" \xEF\xF0\xEE\xE3.zip -> 2:4600/42.0", done[0], done[1]}));
    EXPECT_EQ(run("café.zip", 43, kRussian), Console({kBadFileName}));
    EXPECT_EQ(Requested(41) + Requested(42), "caf\xE9.zip\r\n\xEF\xF0\xEE\xE3.zip\r\n");
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

}  // namespace
