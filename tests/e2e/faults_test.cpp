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

// Permission bits do not stop root, so this runs the program as nobody. The
// request file is left exactly as it was, repeats and all; no flow file makes
// the mailer call for requests that were never written; no flag is left, and
// the next address is untouched.
TEST_P(Faults, ReadOnlyRequestFile) {
    const Job job(build());
    job.ConfigureStandard({"CHECKDUPES YES", "CREATECLO YES"});
    job.dir().Write(job.Out("11f80024.req"), "old.zip\r\nold.zip\r\n");
    chmod(job.dir().At(job.Out()).c_str(), 0777);
    chmod(job.dir().At(job.Out("11f80024.req")).c_str(), 0444);
    const RunResult run = job.Run({"a.zip", "/36", "/37"}, AsNobody());
    EXPECT_EQ(run.out, Console({" Error! Unable to open " + Upper(job.ConfigPath("fido")) + "\\OUT\\11f80024.req"}));
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(job.dir().Read(job.Out("11f80024.req")), "old.zip\r\nold.zip\r\n");
    EXPECT_FALSE(job.dir().Exists(job.Out("11f80024.clo")));
    EXPECT_FALSE(job.dir().Exists(job.Out("11f80024.bsy")));
    EXPECT_FALSE(job.dir().Exists(job.Out("11f80025.req")));
}

TOLVEX_BOTH_BUILDS(Faults);

}  // namespace
