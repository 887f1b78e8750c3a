// Catching the stop a phase ends the run with, to check its exact line.
#pragma once

#include <functional>
#include <string>

#include "runtime/errors.hpp"

// The first line of the stop that `phase` ends with, or "(no stop)".
inline std::string StopLine(const std::function<void()>& phase) {
    try {
        phase();
    } catch (const RunStop& stop) {
        return stop.Lines.empty() ? std::string() : stop.Lines.front();
    }
    return "(no stop)";
}
