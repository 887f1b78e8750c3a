// The small text helpers every part of the program uses: upper-casing, blank
// removal, line normalisation, the file probe, hex and zero-padded numbers.
#pragma once

#include <cstdint>
#include <string_view>

#include "runtime/bounded.hpp"
#include "runtime/platform.hpp"

// ASCII letters a to z become capitals; every other byte stays.
BoundedString UpperCase(BoundedString s);

// Removes every space (code 32); tabs stay.
BoundedString StripSpaces(BoundedString s);

// Whether the file can be opened: for reading and writing (the files the run
// writes) or for reading only (the files it only reads). A directory and the
// empty name never exist. Leaves no I/O error pending, whatever was pending.
bool FileExists(platform::Path name, platform::Access access = platform::Access::ReadWrite);

// Five passes, each to completion: runs of spaces shrink to one; a "/" after a
// space is removed; leading, then trailing spaces go; one leading "/" goes.
BoundedString NormalizeLine(BoundedString s);

// Lower-case hexadecimal without leading zeros; a negative number is taken as
// its unsigned 32-bit value.
BoundedString HexString(std::int32_t n);

// Decimal text in a field of width characters, filled with zeros on the left;
// a longer number is never cut; width 0 gives no filler.
BoundedString ZeroPad(std::int32_t value, int width);
