// The two files that exist from start-up to the end of the run, and the end
// of the run.
#pragma once

#include "runtime/text_reader.hpp"
#include "runtime/text_writer.hpp"

TextReader& StandardInput();
TextWriter& StandardOutput();

// Closes standard input and output, then ends the process with the exit code.
[[noreturn]] void EndRun(unsigned code);
