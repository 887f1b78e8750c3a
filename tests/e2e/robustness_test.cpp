// Nothing lost, nothing misreported: busy flags, a console that cannot be
// written, runs side by side.
#include <chrono>
#include <future>
#include <thread>

#include "e2e/harness.hpp"

namespace {

using Clock = std::chrono::steady_clock;

class Robustness : public EndToEnd {};

// The wait is timed from the console line of the address before to the
// message, so that neither the start of the program nor wine's counts.
TEST_P(Robustness, BusyAddressIsLeftAloneAfterFiveSeconds) {
    const Job job(build());
    job.ConfigureStandard({"CREATECLO YES"});
    job.dir().Write(job.Out("11f80025.bsy"), "4711\r\n");
    Running running = job.Start({"a.zip", "/36", "/37", "/38"});
    ASSERT_TRUE(running.WaitFor(" a.zip -> 2:4600/36.0\r\n"));
    const auto start = Clock::now();
    ASSERT_TRUE(running.WaitFor(" is busy.\r\n"));
    const auto waited = Clock::now() - start;
    EXPECT_EQ(running.Finish().out, Console({" a.zip -> 2:4600/36.0", " Error! 2:4600/37.0 is busy."}));
    EXPECT_GE(waited, std::chrono::milliseconds(4950));
    EXPECT_LT(waited, std::chrono::milliseconds(5080));
    // The first address got its files and its flag back; the busy one has
    // nothing new, and its flag is as it was.
    EXPECT_EQ(job.dir().Read(job.Out("11f80024.req")), "a.zip\r\n");
    EXPECT_FALSE(job.dir().Exists(job.Out("11f80024.bsy")));
    EXPECT_FALSE(job.dir().Exists(job.Out("11f80025.req")));
    EXPECT_FALSE(job.dir().Exists(job.Out("11f80025.clo")));
    EXPECT_EQ(job.dir().Read(job.Out("11f80025.bsy")), "4711\r\n");
}

// A flag that goes away is seen within the 100 ms the run waits between looks.
TEST_P(Robustness, RunWaitsForAFlagThatVanishes) {
    const Job job(build());
    job.ConfigureStandard();
    job.dir().Write(job.Out("11f80024.bsy"), "");
    const auto start = Clock::now();
    auto removed = std::async(std::launch::async, [&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        std::remove(job.dir().At(job.Out("11f80024.bsy")).c_str());
        return Clock::now();
    });
    Running run = job.Start({"a.zip", "/36"});
    ASSERT_TRUE(run.WaitFor(" a.zip -> 2:4600/36.0\r\n"));
    const auto seen = Clock::now();
    EXPECT_GE(seen - start, std::chrono::milliseconds(1400));
    EXPECT_LT(seen - removed.get(), std::chrono::milliseconds(250));
    EXPECT_EQ(run.Finish().out, Finished({" a.zip -> 2:4600/36.0"}));
    EXPECT_EQ(job.dir().Read(job.Out("11f80024.req")), "a.zip\r\n");
    EXPECT_FALSE(job.dir().Exists(job.Out("11f80024.bsy")));
}

TEST_P(Robustness, AConsoleThatCannotBeWrittenCostsNoRequest) {
    const Job job(build());
    job.ConfigureStandard({"CREATECLO YES", "LOG " + job.ConfigPath("t.log")});
    for (const Output output : {Output::DiskFull, Output::ClosedPipe})
        EXPECT_EQ(job.Run({"a.zip", "b.zip", "/36", "/37.1"}, WritingTo(output)).exitCode, 0);
    EXPECT_EQ(job.dir().Read(job.Out("11f80024.req")), "a.zip\r\nb.zip\r\na.zip\r\nb.zip\r\n");
    EXPECT_EQ(job.dir().Read(job.Out("11f80025.pnt/00000001.req")), "a.zip\r\nb.zip\r\na.zip\r\nb.zip\r\n");
    EXPECT_TRUE(job.dir().Exists(job.Out("11f80025.pnt/00000001.clo")));
    EXPECT_EQ(CrlfLines(job.dir().Read(job.Created("T.LOG"))).size(), 8u);
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
    const std::string req = [&] {
        for (auto& run : runs) run.wait();
        return job.dir().Read("fido/out/11f80024.req");
    }();
    // Each run either wrote both its requests, as it said, or said the address was busy.
    for (int i = 0; i < kRuns; ++i) {
        const RunResult run = runs[static_cast<std::size_t>(i)].get();
        const std::string f = "f" + std::to_string(i) + ".zip", g = "g" + std::to_string(i) + ".zip";
        const bool busy = run.out == Console({" Error! 2:4600/36.0 is busy."});
        if (!busy) {
            EXPECT_EQ(run.out, Finished({" " + f + " -> 2:4600/36.0", " " + g + " -> 2:4600/36.0"}));
        }
        EXPECT_EQ(req.find(f + "\r\n" + g + "\r\n") != std::string::npos, !busy) << i;
    }
    EXPECT_EQ(req.find("old.zip"), req.rfind("old.zip"));
    EXPECT_FALSE(job.dir().Exists("fido/out/11f80024.bsy"));
}

}  // namespace
