// Real faults under the outbound and the input files: what is not a folder,
// what cannot be made, what cannot be written, and text a request file holds
// past an end mark. Each stops with its message and loses nothing.
#include <sys/stat.h>

#include "e2e/harness.hpp"

namespace {

std::string Upper(std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

RunOptions AsUnprivileged() {
    RunOptions options;
    options.unprivileged = true;
    return options;
}

class Faults : public EndToEnd {};

TEST_P(Faults, OutboundThatIsAFile) {
    const Job job(build());
    job.dir().Write("fido.txt", "not a folder\r\n");
    job.Configure({"OUTBOUND " + job.ConfigPath("fido.txt"), "DEFAULTOUTBOUND OUT", "DEFAULTNET 2:4600", "CREATECLO YES"});
    const RunResult run = job.Run({"a.zip", "/36"});
    EXPECT_EQ(run.out, Console({" Cannot find directory \"" + Upper(job.ConfigPath("fido.txt")) + "\""}));
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(job.dir().Read("fido.txt"), "not a folder\r\n");
}

TEST_P(Faults, ListFileThatIsAFolder) {
    const Job job(build());
    job.ConfigureStandard();
    job.dir().MakeDir("list.txt");
    const RunResult run = job.Run({"a.zip", "@list.txt", "/36"});
    EXPECT_EQ(run.out, Console({" Error! Unable to open list.txt"}));
    EXPECT_EQ(run.exitCode, 0);
    for (const std::string& entry : job.dir().Tree()) EXPECT_TRUE(entry.rfind("fido/", 0) != 0 || entry == "fido/") << entry;
}

// Lines after a ^Z are requests all the same to a mailer that reads the file
// to its end; the repeat-cleaning must not drop them.
TEST_P(Faults, TextAfterAnEndMarkSurvivesTheRepeatCleaning) {
    const Job job(build());
    job.ConfigureStandard({"CHECKDUPES YES"});
    std::string before = "a.zip\r\n\x1a";
    for (int i = 10; i < 30; ++i) before += "after" + std::to_string(i) + ".zip\r\n";
    const std::string file = "fido/" + job.Created("OUT") + "/11f80024.req";
    job.dir().Write(file, before);
    EXPECT_EQ(job.Run({"new.zip", "/36"}).exitCode, 0);
    const std::string after = job.dir().Read(file);
    std::string lost;
    for (int i = 10; i < 30; ++i)
        if (after.find("after" + std::to_string(i) + ".zip\r\n") == std::string::npos) lost += std::to_string(i) + " ";
    EXPECT_EQ(lost, "") << after;
    EXPECT_NE(after.find("a.zip\r\n"), std::string::npos) << after;
    EXPECT_NE(after.find("new.zip\r\n"), std::string::npos) << after;
}

TOLVEX_BOTH_BUILDS(Faults);

// Permission bits do not stop root, so these run the program as nobody.
TEST(FaultsPosix, ZoneFolderThatCannotBeMade) {
    const Job job(Build::Posix);
    job.ConfigureStandard({"CREATECLO YES"});
    job.dir().MakeDir("fido/out");
    chmod(job.dir().At("fido/out").c_str(), 0777);
    chmod(job.dir().At("fido").c_str(), 0555);
    const RunResult run = job.Run({"a.zip", "/36", "3:700/5", "/37"}, AsUnprivileged());
    EXPECT_EQ(run.out, Console({" a.zip -> 2:4600/36.0",
                                " Error! Unable to open " + Upper(job.dir().At("fido")) + "\\OUT.003\\02bc0005.req"}));
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(job.dir().Read("fido/out/11f80024.req"), "a.zip\r\n");
    EXPECT_FALSE(job.dir().Exists("fido/out.003"));
    EXPECT_FALSE(job.dir().Exists("fido/out/11f80025.req"));
    EXPECT_FALSE(job.dir().Exists("fido/out/11f80024.bsy"));
}

TEST(FaultsPosix, ReadOnlyRequestFile) {
    const Job job(Build::Posix);
    job.ConfigureStandard({"CHECKDUPES YES", "CREATECLO YES"});
    job.dir().Write("fido/out/11f80024.req", "old.zip\r\nold.zip\r\n");
    chmod(job.dir().At("fido/out").c_str(), 0777);
    chmod(job.dir().At("fido/out/11f80024.req").c_str(), 0444);
    const RunResult run = job.Run({"a.zip", "/36", "/37"}, AsUnprivileged());
    EXPECT_EQ(run.out, Console({" Error! Unable to open " + Upper(job.dir().At("fido")) + "\\OUT\\11f80024.req"}));
    EXPECT_EQ(run.exitCode, 0);
    // Left exactly as it was, repeats and all; no flag left, the next address untouched.
    EXPECT_EQ(job.dir().Read("fido/out/11f80024.req"), "old.zip\r\nold.zip\r\n");
    EXPECT_FALSE(job.dir().Exists("fido/out/11f80024.bsy"));
    EXPECT_FALSE(job.dir().Exists("fido/out/11f80025.req"));
}

}  // namespace
