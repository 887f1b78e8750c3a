// Sorting the items into the request list and the address text, the list
// files, the prompt mode, and the check of the file names.
#include "input/requests.hpp"

#include <gtest/gtest.h>

#include "config/configuration.hpp"
#include "runtime/console_texts.hpp"
#include "support/scratch.hpp"
#include "runtime/file_system.hpp"
#include "support/stops.hpp"

namespace {

class GatherRequestsTest : public ::testing::Test {
protected:
    Items Gather(std::vector<std::string> items, std::string_view defaultNode = "12", std::string_view typed = "") {
        scratch_.Write("typed.txt", typed);
        TextReader input(scratch_.At("typed.txt"));
        EXPECT_EQ(input.Open(), 0);
        scratch_.Write("console.txt", "");
        platform::Handle shown = platform::kNoHandle;
        EXPECT_EQ(platform::FileOpen(scratch_.At("console.txt"), platform::Access::Append, shown), 0);
        const struct Closed { platform::Handle handle; ~Closed() { LetGo(handle); } } closed{shown};
        Settings settings;
        settings.DefaultNode = defaultNode;
        return GatherRequests({items.begin(), items.end()}, settings, input, Console(shown));
    }
    std::string ListFile(std::string_view lines) {
        scratch_.Write("l.txt", lines);
        return "@" + scratch_.At("l.txt");
    }
    std::string Lines(const Items& r) {
        std::string all;
        for (const BoundedString& line : r.Requests) all += "[" + line.Str() + "]";
        return all;
    }
    ScratchDir scratch_;
};

TEST_F(GatherRequestsTest, AddressesBeginAtTheFirstItemWithASlashOrLeadingDot) {
    Items r = Gather({"pntlist.zip", "/36"});
    EXPECT_EQ(Lines(r), "[pntlist.zip ]");
    EXPECT_EQ(r.NodeString, "/36 ");
    r = Gather({"a.zip", "36"});
    EXPECT_EQ(Lines(r), "[a.zip 36 ]");
    EXPECT_EQ(r.NodeString, "12");
    r = Gather({"a.zip", ".1", "b.zip"});
    EXPECT_EQ(Lines(r), "[a.zip ]");
    EXPECT_EQ(r.NodeString, ".1 b.zip ");
    r = Gather({"a.zip", "/36", "37"});
    EXPECT_EQ(r.NodeString, "/36 37 ");
    // An "@" item is a list file wherever it lies, "/" or not; after the
    // first address it is an address like any other item.
    scratch_.Write("lists/l.txt", "x.zip\r\n");
    r = Gather({"a.zip", "@" + scratch_.At("lists/l.txt"), "/36", "@" + scratch_.At("lists/l.txt")});
    EXPECT_EQ(Lines(r), "[a.zip  x.zip ]");
    EXPECT_EQ(r.NodeString, "/36 @" + scratch_.At("lists/l.txt") + " ");
    EXPECT_EQ(StopLine([&] { Gather({"a.zip", "@lists/l.txt"}); }), " Error! Unable to open lists/l.txt");
}

TEST_F(GatherRequestsTest, NoAddressItemNeedsTheDefaultNode) {
    EXPECT_EQ(StopLine([&] { Gather({"a.zip", "b.zip"}, ""); }), std::string(text::kNoAddressItem.View()));
    EXPECT_EQ(Gather({"a.zip", "b.zip"}, "2:4600/12").NodeString, "2:4600/12");
}

TEST_F(GatherRequestsTest, ListFileWordsAndSpacing) {
    const std::string list = ListFile("x.zip\r\ny.zip\r\n");
    EXPECT_EQ(Lines(Gather({"a.zip", list, "b.zip", "/36"})), "[a.zip  x.zip y.zip b.zip ]");
    // Only the first word of a line counts; a line that begins with a blank,
    // and an empty line, add nothing; LF ends a line too.
    EXPECT_EQ(Lines(Gather({ListFile("x.zip old\r\n y.zip\r\n\r\nz.zip\nw.zip"), "/36"})), "[ x.zip   z.zip w.zip ]");
    EXPECT_EQ(Lines(Gather({ListFile("\xEF\xBB\xBFx.zip\r\n"), "/36"})), "[ x.zip ]");
}

TEST_F(GatherRequestsTest, MissingListFileIsNamed) {
    EXPECT_EQ(StopLine([&] { Gather({"@", "/36"}); }), " Error! Unable to open ");
    EXPECT_EQ(StopLine([&] { Gather({"@nope.txt", "/36"}); }), " Error! Unable to open nope.txt");
    scratch_.MakeDir("dir.txt");
    std::string folder = "@" + scratch_.At("dir.txt");
    for (char& c : folder)
        if (c == '/') c = '\\';
    EXPECT_EQ(StopLine([&] { Gather({folder, "/36"}); }), " Error! Unable to open " + folder.substr(1));
    const std::string utf16 = ListFile("\xFE\xFF");
    EXPECT_EQ(StopLine([&] { Gather({utf16, "/36"}); }),
              " Error! " + utf16.substr(1) + " is saved as UTF-16: save it as ANSI or UTF-8.");
}

TEST_F(GatherRequestsTest, LongLinesBreakAfter220Characters) {
    const std::string word100(99, 'a');  // with its blank, 100 characters
    // 220 characters still take the next word; 221 do not.
    Items r = Gather({word100, word100, std::string(19, 'b'), "c", "/36"});
    EXPECT_EQ(static_cast<int>(r.Requests.size()), 1);
    EXPECT_EQ(r.Requests[0].Length(), 222);
    r = Gather({word100, word100, std::string(20, 'b'), "c", "/36"});
    ASSERT_EQ(static_cast<int>(r.Requests.size()), 2);
    EXPECT_EQ(r.Requests[0].Length(), 221);
    EXPECT_EQ(r.Requests[1], "c ");
    // A word that would carry a line past 255 characters is cut short.
    r = Gather({std::string(200, 'x'), std::string(100, 'y'), "/36"});
    EXPECT_EQ(r.Requests[0].Length(), 255);
    EXPECT_EQ(r.Requests[0].View().substr(201), std::string(54, 'y'));
}

// A word of 221 characters fills a line of its own: 750 of them fit, the
// 751st stops the run.
TEST_F(GatherRequestsTest, TooManyRequestLinesStopBeforeTheTableIsPassed) {
    std::string words;
    for (int i = 0; i < kRequestLineCapacity; ++i) words += std::string(221, 'w') + "\r\n";
    EXPECT_EQ(Gather({ListFile(words), "/36"}).Requests.size(), 750u);
    EXPECT_EQ(StopLine([&] { Gather({ListFile(words + "x\r\n"), "/36"}); }), " Error! Too many files requested.");
}

TEST_F(GatherRequestsTest, PromptModeReadsTwoAnswers) {
    Items r = Gather({"/"}, "12", "a.zip b.zip!!pw\r\n/36 /37\r\n");
    EXPECT_EQ(Lines(r), "[a.zip b.zip!!pw]");
    EXPECT_EQ(r.NodeString, "/36 /37");
    EXPECT_EQ(scratch_.Read("console.txt"), "Request file(s): At node(s): \r\n");
    // An empty address answer takes the default node; blanks do not.
    EXPECT_EQ(Gather({"/"}, "12", "a.zip\n\n").NodeString, "12");
    EXPECT_EQ(Gather({"/"}, "12", "a.zip\n  \n").NodeString, "  ");
    // Answers are cut at 255 characters.
    EXPECT_EQ(Gather({"/"}, "12", std::string(300, 'f') + "\r\n36\r\n").Requests[0].Length(), 255);
}

TEST(CheckRequestList, EmptyLinesAndForbiddenCharacters) {
    const auto check = [](RequestList lines) { return StopLine([&] { CheckRequestList(lines); }); };
    const std::string noFile(text::kNoFile.View());
    const std::string badName(text::kBadFileName.View());
    EXPECT_EQ(check({"a.zip b*.? c!!pw @d \xa0\xff "}), "(no stop)");
    EXPECT_EQ(check({"a.zip / b.zip"}), "(no stop)");  // the "/" after a blank goes
    EXPECT_EQ(check({""}), noFile);
    EXPECT_EQ(check({"a.zip", "   "}), noFile);
    for (const char* bad : {"dir\\a.zip", "c:a.zip", "a\"b", "a<b", "a>b", "a|b", "a\tb", "a/b", "x\x1f"})
        EXPECT_EQ(check({bad}), badName) << bad;
}

// The request lines every address gets: the words of the normalised lines,
// in order, each with its first "!!" made " !".
TEST(CheckRequestList, GivesTheRequestLines) {
    EXPECT_EQ(CheckRequestList({"  a.zip  /b!!pw ", "c!!!d e"}), (std::vector<std::string>{"a.zip", "b !pw", "c !!d", "e"}));
}

TEST(RequestText, FirstDoubleExclamationBecomesBlankAndOne) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"pntlist.zip", "pntlist.zip"},  {"secret.zip!!pw", "secret.zip !pw"}, {"a!!b!!c", "a !b!!c"},
        {"!!pw", " !pw"},                {"a!!!b", "a !!b"},                   {"a!b", "a!b"},
        {"a!!", "a !"},
    };
    for (const auto& [word, text] : cases) EXPECT_EQ(RequestText(BoundedString(word)), text) << word;
    // The inserted blank may push the last character out of 255.
    EXPECT_EQ(RequestText(BoundedString(std::string(249, 'n') + "!!pwxy")), std::string(249, 'n') + " !pwx");
}

}  // namespace
