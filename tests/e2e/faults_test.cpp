// Real faults under the input files: what is not a file, what cannot be
// written. Each stops with its message and loses nothing.
#include <sys/stat.h>

#include "e2e/harness.hpp"

namespace {

class Faults : public EndToEnd {};

// A folder is never opened as a file: a configuration that is one is missing,
// a list file that is one cannot be opened, and the outbound is not touched.
TEST_P(Faults, ListFileThatIsAFolder) {
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

TOLVEX_BOTH_BUILDS(Faults);

// Permission bits do not stop root, so this runs the program as nobody.
TEST(FaultsPosix, ReadOnlyRequestFile) {
    const Job job(Build::Posix);
    job.ConfigureStandard({"CHECKDUPES YES", "CREATECLO YES"});
    job.dir().Write("fido/out/11f80024.req", "old.zip\r\nold.zip\r\n");
    chmod(job.dir().At("fido/out").c_str(), 0777);
    chmod(job.dir().At("fido/out/11f80024.req").c_str(), 0444);
    const RunResult run = job.Run({"a.zip", "/36", "/37"}, AsNobody());
    EXPECT_EQ(run.out, Console({" Error! Unable to open " + Upper(job.dir().At("fido")) + "\\OUT\\11f80024.req"}));
    EXPECT_EQ(run.exitCode, 0);
    // Left exactly as it was, repeats and all; no flag left, the next address untouched.
    EXPECT_EQ(job.dir().Read("fido/out/11f80024.req"), "old.zip\r\nold.zip\r\n");
    EXPECT_FALSE(job.dir().Exists("fido/out/11f80024.bsy"));
    EXPECT_FALSE(job.dir().Exists("fido/out/11f80025.req"));
}

}  // namespace
