// Bounded strings: cutting on store and join, and the 1-based text operations
// at the edges of their positions.
#include "runtime/bounded.hpp"

#include <gtest/gtest.h>

#include <string>

TEST(Bounded, StoringAndJoiningCutAtTheCapacity) {
    const std::string forty = "0123456789012345678901234567890123456789";
    EXPECT_EQ(Bounded<30>(forty).View(), forty.substr(0, 30));
    EXPECT_EQ(Bounded<4>(BoundedString("abcdef")).View(), "abcd");

    const BoundedString a(std::string(200, 'a')), b(std::string(200, 'b'));
    const BoundedString joined = Join(a.View(), b.View());
    EXPECT_EQ(joined.Length(), 255);
    EXPECT_EQ(joined.View(), std::string(200, 'a') + std::string(55, 'b'));

    Bounded<4> small("abc");
    small.Append("XYZ");
    EXPECT_EQ(small.View(), "abcX");
    EXPECT_FALSE(BoundedString("abc") == "abC");
}

TEST(Bounded, FindText) {
    struct Case { const char* sub; const char* s; int position; };
    for (const Case& c : {Case{"", "abc", 0}, Case{"b", "abc", 2}, Case{"abcd", "abc", 0}, Case{"abc", "abc", 1},
                          Case{"c", "abc", 3}, Case{"B", "abc", 0}, Case{"bc", "abcbc", 2}, Case{"x", "", 0}})
        EXPECT_EQ(FindText(c.sub, c.s), c.position) << "'" << c.sub << "' in '" << c.s << "'";
}

TEST(Bounded, CopyText) {
    struct Case { const char* s; int index, count; const char* result; };
    for (const Case& c : {Case{"abcdef", 0, 2, "ab"}, Case{"abc", -3, 2, "ab"}, Case{"abc", 5, 1, ""},
                          Case{"abc", 4, 1, ""}, Case{"abc", 3, 1, "c"}, Case{"abcdef", 3, 100, "cdef"},
                          Case{"abc", 2, 0, ""}, Case{"abc", 2, -1, ""}})
        EXPECT_EQ(CopyText(c.s, c.index, c.count).View(), c.result) << c.s << " " << c.index << " " << c.count;
}

TEST(Bounded, DeleteText) {
    struct Case { const char* s; int index, count; const char* result; };
    for (const Case& c : {Case{"abcdef", 2, 2, "adef"}, Case{"abc", 0, 1, "abc"}, Case{"abc", 1, 0, "abc"},
                          Case{"abc", -1, 2, "abc"}, Case{"abc", 2, -1, "abc"}, Case{"abc", 4, 1, "abc"},
                          Case{"abc", 3, 10, "ab"}, Case{"abc", 1, 3, ""}}) {
        BoundedString s(c.s);
        DeleteText(s, c.index, c.count);
        EXPECT_EQ(s.View(), c.result) << c.s << " " << c.index << " " << c.count;
    }
}

TEST(Bounded, InsertText) {
    struct Case { const char* s; int index; const char* result; };
    for (const Case& c : {Case{"abc", 1, "Xabc"}, Case{"abc", 0, "Xabc"}, Case{"abc", -5, "Xabc"},
                          Case{"abc", 3, "abXc"}, Case{"abc", 4, "abcX"}, Case{"abc", 99, "abcX"}, Case{"", 1, "X"}}) {
        BoundedString s(c.s);
        InsertText("X", s, c.index);
        EXPECT_EQ(s.View(), c.result) << c.s << " " << c.index;
    }
    Bounded<4> small("abc");
    InsertText("XY", small, 2);
    EXPECT_EQ(small.View(), "aXYb");
    BoundedString full(std::string(255, 'a'));
    InsertText("b", full, 1);
    EXPECT_EQ(full.View(), "b" + std::string(254, 'a'));
}
