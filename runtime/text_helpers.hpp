// The small text helpers every part of the program uses: upper-casing, blank
// removal, line normalisation, hex and zero-padded numbers.
#pragma once

#include <cstdint>
#include <string_view>

#include "runtime/bounded.hpp"

// ASCII letters a to z become capitals; every other byte stays.
BoundedString UpperCase(BoundedString s);

// Removes every space (code 32); tabs stay.
BoundedString StripSpaces(BoundedString s);

// Five passes, each to completion: runs of spaces shrink to one; a "/" after a
// space is removed; leading, then trailing spaces go; one leading "/" goes.
BoundedString NormalizeLine(BoundedString s);

// Lower-case hexadecimal without leading zeros; a negative number is taken as
// its unsigned 32-bit value.
BoundedString HexString(std::int32_t n);

// Decimal text in a field of width characters, filled with zeros on the left;
// a longer number is never cut; width 0 gives no filler.
BoundedString ZeroPad(std::int32_t value, int width);
