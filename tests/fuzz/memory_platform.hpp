// A platform whose files live in memory, for the fuzz targets: whatever a
// fuzzed configuration or list names, nothing on the machine is touched.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace memory_platform {

// Forgets every file, handle and console byte.
void Reset();
void PutFile(std::string_view name, std::string_view bytes);
std::optional<std::string> GetFile(std::string_view name);
// What was written to standard output since the last Reset.
const std::string& ConsoleBytes();

}  // namespace memory_platform
