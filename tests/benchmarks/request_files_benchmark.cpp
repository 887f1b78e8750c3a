// How the request writer scales: the duplicate check over large existing
// request files, and the largest job the capacities allow.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "config/configuration.hpp"
#include "input/requests.hpp"
#include "outbound/paths.hpp"
#include "outbound/request_files.hpp"
#include "runtime/activity_log.hpp"
#include "support/scratch.hpp"

namespace {

namespace fs = std::filesystem;

std::string ExistingLines(std::int64_t count, std::string_view prefix) {
    std::string text;
    for (std::int64_t i = 0; i < count; ++i) text += std::string(prefix) + std::to_string(i) + ".zip\r\n";
    return text;
}

// Request lines of file words, broken after 220 characters as the command
// line would; words = 0 fills all 750 lines.
RequestList ManyRequests(int words) {
    RequestList requests(1);
    for (int i = 0; words == 0 || i < words; ++i) {
        if (requests.back().Length() > kLineBreakLength) {
            if (static_cast<int>(requests.size()) == kRequestLineCapacity) break;
            requests.emplace_back();
        }
        requests.back().Append("f" + std::to_string(i) + ".zip ");
    }
    return requests;
}

struct Job {
    ScratchDir dir;
    Settings settings;
    ActivityLog log;
    Console console{platform::kNoHandle};  // nothing shown
    std::vector<NodeAddress> nodes;
    std::vector<OutboundTarget> targets;

    Job(int addresses, std::int64_t existingLines, bool repeat = false) {
        dir.MakeDir("fido/out");
        settings.Outbound = dir.At("fido");
        settings.DefaultOutbound = "out";
        settings.OutboundSet = true;
        settings.CheckDupes = true;
        // A repeated line makes the cleaning rewrite the file, flush it and
        // put it in place.
        const std::string lines = ExistingLines(existingLines, "existing") + (repeat ? "existing0.zip\r\n" : "");
        for (int i = 0; i < addresses; ++i) {
            nodes.push_back({2, 4600, 36 + i, 0});
            targets.push_back(PrepareOutbound(nodes.back(), settings, 2));
            dir.Write("fido/out/" + targets.back().FileStem + ".orig", lines);
        }
    }
    void RestoreRequestFiles() {
        for (const OutboundTarget& t : targets)
            fs::copy_file(dir.At("fido/out/" + t.FileStem + ".orig"), dir.At("fido/out/" + t.FileStem + ".req"),
                          fs::copy_options::overwrite_existing);
    }
    void Run(const RequestList& requests) {
        const RequestJob job{CheckRequestList(requests), settings.CheckDupes, settings.CreateClo, log, console};
        for (std::size_t i = 0; i < nodes.size(); ++i) WriteRequests(nodes[i], targets[i], job);
    }
};

// One address whose request file holds a million distinct lines (and, with
// argument 1, one repeat that makes the cleaning rewrite it); 100 requests.
void MillionLineRequestFile(benchmark::State& state) {
    Job job(1, 1'000'000, state.range(0) != 0);
    const RequestList requests = ManyRequests(100);
    for (auto _ : state) {
        state.PauseTiming();
        job.RestoreRequestFiles();
        state.ResumeTiming();
        job.Run(requests);
    }
}
BENCHMARK(MillionLineRequestFile)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(5);

// The largest job: 750 full request lines for 10 addresses, each with an
// existing request file of state.range(0) lines. Doubling the lines should
// at most double the time.
void LargestJob(benchmark::State& state) {
    Job job(10, state.range(0));
    const RequestList requests = ManyRequests(0);
    int words = 0;
    for (const BoundedString& line : requests)
        words += static_cast<int>(std::count(line.View().begin(), line.View().end(), ' '));
    for (auto _ : state) {
        state.PauseTiming();
        job.RestoreRequestFiles();
        state.ResumeTiming();
        job.Run(requests);
    }
    state.counters["request_lines"] = static_cast<double>(requests.size());
    state.counters["words"] = words;
}
BENCHMARK(LargestJob)->Arg(100'000)->Arg(200'000)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
