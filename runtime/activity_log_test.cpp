// The activity log's line.
#include "runtime/activity_log.hpp"

#include <gtest/gtest.h>

namespace {

TEST(LogLine, DayMonthAndTimeZeroPadded) {
    EXPECT_EQ(FormatLogLine({2026, 12, 7}, {1, 2, 3}, "a.zip", "2:4600/36.0"), "07/12 01:02:03 a.zip 2:4600/36.0");
    EXPECT_EQ(FormatLogLine({2026, 1, 31}, {23, 59, 58}, "b !pw", "3:45/6.1"), "31/01 23:59:58 b !pw 3:45/6.1");
}

}  // namespace
