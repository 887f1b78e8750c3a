// Nothing lost, nothing misreported: busy flags, a console that cannot be
// written, stops that keep what the log already holds, runs side by side.
#include <chrono>
#include <future>
#include <thread>

#include "e2e/harness.hpp"

namespace {

using Clock = std::chrono::steady_clock;

class Robustness : public EndToEnd {
protected:
    std::string Out(const Job& job, std::string_view file) { return "fido/" + job.Created("OUT") + "/" + std::string(file); }
};

TEST_P(Robustness, BusyAddressIsLeftAloneAfterFiveSeconds) {
    const Job job(build());
    job.ConfigureStandard({"CREATECLO YES"});
    job.dir().Write(Out(job, "11f80025.bsy"), "4711\r\n");
    const auto start = Clock::now();
    const RunResult run = job.Run({"a.zip", "/36", "/37", "/38"});
    const auto waited = Clock::now() - start;
    EXPECT_EQ(run.out, Console({" a.zip -> 2:4600/36.0", " Error! 2:4600/37.0 is busy."}));
    EXPECT_GE(waited, std::chrono::milliseconds(4900));
    EXPECT_LT(waited, std::chrono::seconds(9));
    // The first address got its files and its flag back; the busy one has
    // nothing new, and its flag is as it was.
    EXPECT_EQ(job.dir().Read(Out(job, "11f80024.req")), "a.zip\r\n");
    EXPECT_FALSE(job.dir().Exists(Out(job, "11f80024.bsy")));
    EXPECT_FALSE(job.dir().Exists(Out(job, "11f80025.req")));
    EXPECT_FALSE(job.dir().Exists(Out(job, "11f80025.clo")));
    EXPECT_EQ(job.dir().Read(Out(job, "11f80025.bsy")), "4711\r\n");
}

TEST_P(Robustness, RunWaitsForAFlagThatVanishes) {
    const Job job(build());
    job.ConfigureStandard();
    job.dir().Write(Out(job, "11f80024.bsy"), "");
    auto release = std::async(std::launch::async, [&] {
        std::this_thread::sleep_for(std::chrono::seconds(1));
        std::remove(job.dir().At(Out(job, "11f80024.bsy")).c_str());
    });
    const auto start = Clock::now();
    const RunResult run = job.Run({"a.zip", "/36"});
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(900));
    EXPECT_EQ(run.out, Console({" a.zip -> 2:4600/36.0", "", "Have a nice day! =)"}));
    EXPECT_EQ(job.dir().Read(Out(job, "11f80024.req")), "a.zip\r\n");
    EXPECT_FALSE(job.dir().Exists(Out(job, "11f80024.bsy")));
}

TEST_P(Robustness, AConsoleThatCannotBeWrittenCostsNoRequest) {
    const Job job(build());
    job.ConfigureStandard({"CREATECLO YES", "LOG " + job.ConfigPath("t.log")});
    for (const Output output : {Output::DiskFull, Output::ClosedPipe}) {
        const RunResult run = job.Run({"a.zip", "b.zip", "/36", "/37.1"}, WritingTo(output));
        EXPECT_EQ(run.exitCode, 0);
    }
    EXPECT_EQ(job.dir().Read(Out(job, "11f80024.req")), "a.zip\r\nb.zip\r\na.zip\r\nb.zip\r\n");
    EXPECT_EQ(job.dir().Read(Out(job, "11f80025.pnt/00000001.req")), "a.zip\r\nb.zip\r\na.zip\r\nb.zip\r\n");
    EXPECT_TRUE(job.dir().Exists(Out(job, "11f80025.pnt/00000001.clo")));
    const std::string log = job.dir().Read(job.Created("T.LOG"));
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 8);
}

TEST_P(Robustness, LogLinesWrittenBeforeAStopAreKept) {
    const Job job(build());
    job.ConfigureStandard({"LOG " + job.ConfigPath("t.log")});
    job.dir().MakeDir(Out(job, "11f80025.req"));
    const RunResult run = job.Run({"a.zip", "/36", "/37"});
    EXPECT_NE(run.out.find(" Error! Unable to open "), std::string::npos);
    const std::string log = job.dir().Read(job.Created("T.LOG"));
    EXPECT_NE(log.find(" a.zip 2:4600/36.0\r\n"), std::string::npos) << log;
}

TEST_P(Robustness, NegativeNumbersTakeTheirUnsignedForm) {
    const Job job(build());
    job.Configure({"OUTBOUND " + job.ConfigPath("fido"), "DEFAULTOUTBOUND OUT", "DEFAULTNET 2:4600", "DEFAULTNODE -1"});
    EXPECT_EQ(job.Run({"a.zip", ".1"}).out, Console({" a.zip -> 2:4600/-1.1", "", "Have a nice day! =)"}));
    EXPECT_EQ(job.dir().Read(Out(job, "11f8ffff.pnt/00000001.req")), "a.zip\r\n");
}

TOLVEX_BOTH_BUILDS(Robustness);

TEST(RobustnessPosix, RunsSideBySideLoseNothing) {
    const Job job(Build::Posix);
    job.ConfigureStandard({"CHECKDUPES YES", "CREATECLO YES"});
    job.dir().Write("fido/out/11f80024.req", "old.zip\r\nold.zip\r\n");
    constexpr int kRuns = 20;
    std::vector<std::future<RunResult>> runs;
    for (int i = 0; i < kRuns; ++i)
        runs.push_back(std::async(std::launch::async, [&job, i] {
            return job.Run({"f" + std::to_string(i) + ".zip", "g" + std::to_string(i) + ".zip", "/36"});
        }));
    std::string expected = "old.zip\r\n";
    std::vector<std::string> reportedBusy;
    for (int i = 0; i < kRuns; ++i) {
        const RunResult run = runs[static_cast<std::size_t>(i)].get();
        const std::string f = "f" + std::to_string(i) + ".zip", g = "g" + std::to_string(i) + ".zip";
        if (run.out == Console({" Error! 2:4600/36.0 is busy."})) {
            reportedBusy.push_back(f);
            continue;
        }
        EXPECT_EQ(run.out, Console({" " + f + " -> 2:4600/36.0", " " + g + " -> 2:4600/36.0", "", "Have a nice day! =)"}));
    }
    const std::string req = job.dir().Read("fido/out/11f80024.req");
    for (int i = 0; i < kRuns; ++i) {
        const std::string f = "f" + std::to_string(i) + ".zip\r\ng" + std::to_string(i) + ".zip\r\n";
        const bool busy = std::find(reportedBusy.begin(), reportedBusy.end(), "f" + std::to_string(i) + ".zip") != reportedBusy.end();
        EXPECT_EQ(req.find(f) != std::string::npos, !busy) << i;
    }
    EXPECT_EQ(req.find("old.zip"), req.rfind("old.zip"));
    EXPECT_FALSE(job.dir().Exists("fido/out/11f80024.bsy"));
}

}  // namespace
