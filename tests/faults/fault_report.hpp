// The report the faulty platform writes when a run ends and the fault-point
// test reads: one field a line ("operations N", "clock MS", "failed K OPERATION NAME" or
// "failed -", "console-lost AT HEX" or "console-lost -", an "outside PATH" line
// a refused path), then "trace" and the numbered operations to the end.
#pragma once

#include <algorithm>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

struct FaultReport {
    long operations = 0;
    long clock = 0;               // the program's clock at the end, where it was a still one
    long failedAt = 0;            // the number of the operation made to fail; 0: none
    std::string failedOperation;  // "open", "write", "console-write", ...
    std::string failedName;       // the path, or the handle's name, it was given
    long consoleLostAt = -1;      // where the bytes of a failed console write belong
    std::string consoleLost;      // those bytes
    std::vector<std::string> outside;  // paths beyond the job's folder, refused
    std::string trace;                 // "<k> <operation> <name> <result>" a line
};

inline std::string FormatFaultReport(const FaultReport& report) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text = "operations " + std::to_string(report.operations) + "\nclock " + std::to_string(report.clock) +
                       "\nfailed ";
    text += report.failedAt == 0 ? "-"
                                 : std::to_string(report.failedAt) + " " + report.failedOperation + " " + report.failedName;
    text += "\nconsole-lost ";
    if (report.consoleLostAt < 0) text += "-";
    else text += std::to_string(report.consoleLostAt) + " ";
    for (const char c : report.consoleLostAt < 0 ? std::string() : report.consoleLost)
        text += {kDigits[static_cast<unsigned char>(c) >> 4], kDigits[static_cast<unsigned char>(c) & 15]};
    text += "\n";
    for (const std::string& path : report.outside) text += "outside " + path + "\n";
    return text + "trace\n" + report.trace;
}

// False when there is no report: the run did not end through its stop.
inline bool ParseFaultReport(std::string_view text, FaultReport& report) {
    const auto field = [&](std::string_view name) {
        if (text.substr(0, name.size()) != name) return false;
        text.remove_prefix(name.size());
        return true;
    };
    const auto line = [&] {
        const std::string value(text.substr(0, text.find('\n')));
        text.remove_prefix(std::min(text.size(), value.size() + 1));
        return value;
    };
    if (!field("operations ")) return false;
    report.operations = std::atol(line().c_str());
    if (!field("clock ")) return false;
    report.clock = std::atol(line().c_str());
    if (!field("failed ")) return false;
    if (const std::string failed = line(); failed != "-") {
        const std::size_t blank = failed.find(' '), next = failed.find(' ', blank + 1);
        report.failedAt = std::atol(failed.c_str());
        report.failedOperation = failed.substr(blank + 1, next - blank - 1);
        report.failedName = next == std::string::npos ? "" : failed.substr(next + 1);
    }
    if (!field("console-lost ")) return false;
    if (const std::string lost = line(); lost != "-") {
        const std::size_t blank = lost.find(' ');
        report.consoleLostAt = std::atol(lost.c_str());
        for (std::size_t i = blank + 1; i + 1 < lost.size(); i += 2)
            report.consoleLost += static_cast<char>(std::strtol(lost.substr(i, 2).c_str(), nullptr, 16));
    }
    while (field("outside ")) report.outside.push_back(line());
    if (!field("trace\n")) return false;
    report.trace = std::string(text);
    return true;
}
