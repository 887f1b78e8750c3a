// Reading configuration lines into the settings.
#include "config/configuration.hpp"

#include <gtest/gtest.h>

#include <ctime>

#include "runtime/console_texts.hpp"
#include "support/console_bytes.hpp"
#include "support/scratch.hpp"
#include "support/stops.hpp"

namespace {

struct Read {
    Settings settings;
    ActivityLog log;
    int linesTaken = 0;
};

// Feeds the lines as the reader would, up to the line that ends the reading.
void Apply(Read& read, const std::vector<std::string>& lines) {
    for (const std::string& line : lines) {
        if (!ApplyConfigLine(BoundedString(line), read.settings, read.log)) break;
        ++read.linesTaken;
    }
}

TEST(ApplyConfigLine, KeywordsAndTheirValues) {
    Read r;
    Apply(r, {"outbound c:\\my fido\\", "DefaultOutbound  o u t", "DEFAULTNET 2 : 4600", "DEFAULTNODE   12   x  ",
              "CHECKDUPES yes", "CREATECLO Y E S"});
    EXPECT_EQ(r.settings.Outbound, "C:\\MYFIDO\\");
    EXPECT_EQ(r.settings.DefaultOutbound, "OUT");
    EXPECT_EQ(r.settings.DefaultNet, "2:4600");
    EXPECT_EQ(r.settings.DefaultNode, "12 X");
    EXPECT_TRUE(r.settings.CheckDupes);
    EXPECT_TRUE(r.settings.CreateClo);
}

TEST(ApplyConfigLine, QuirksOfTheKeywordSearch) {
    Read r;
    // OUTBOUND must open its line; DEFAULTOUTBOUND holds "OUTBOUND " too.
    Apply(r, {"  OUTBOUND C:\\FIDO", "DEFAULTOUTBOUND OUTBOUND"});
    EXPECT_EQ(r.settings.Outbound, "");
    EXPECT_FALSE(r.settings.OutboundSet);
    Apply(r, {"OUTBOUND  "});  // an empty value is set all the same
    EXPECT_TRUE(r.settings.OutboundSet);
    EXPECT_EQ(r.settings.DefaultOutbound, "OUTBOUND");
    // Further in the line, the line's first N characters are cut, whatever they are.
    Apply(r, {"xxDEFAULTNET 2:450"});
    EXPECT_EQ(r.settings.DefaultNet, "T2:450");
    const ScratchDir dir;
    Apply(r, {"  LOG " + dir.At("x.log")});
    EXPECT_EQ(r.log.Name, "G" + Upper(dir.At("x.log")));
    // A keyword without its blank, or with a tab, is no keyword.
    Apply(r, {"DEFAULTNODE", "DEFAULTNODE\t5"});
    EXPECT_EQ(r.settings.DefaultNode, "");
    // A longer value is cut to the setting's width, and remembered as too
    // long until a later DEFAULTNODE line fits.
    Apply(r, {"DEFAULTNODE " + std::string(30, '7')});
    EXPECT_FALSE(r.settings.DefaultNodeTooLong);
    Apply(r, {"DEFAULTNODE " + std::string(31, '7') + "  "});
    EXPECT_EQ(r.settings.DefaultNode, std::string(30, '7'));
    EXPECT_TRUE(r.settings.DefaultNodeTooLong);
    Apply(r, {"DEFAULTNODE 12"});
    EXPECT_FALSE(r.settings.DefaultNodeTooLong);
}

TEST(ApplyConfigLine, SwitchesAreOnlySwitchedOn) {
    Read r;
    Apply(r, {"CHECKDUPES YES!", "CREATECLO ON"});
    EXPECT_FALSE(r.settings.CheckDupes);
    EXPECT_FALSE(r.settings.CreateClo);
    Apply(r, {"CHECKDUPES YES", "CHECKDUPES NO"});
    EXPECT_TRUE(r.settings.CheckDupes);
}

TEST(ApplyConfigLine, CommentsAndTheEndLine) {
    Read r;
    Apply(r, {" ;DEFAULTNODE 2", ";DEFAULTNODE 1"});
    EXPECT_EQ(r.settings.DefaultNode, "E 2");  // only the very first character makes a comment
    Apply(r, {"LOG C:\\FIDO\\Complete.log", "DEFAULTNODE 3"});
    EXPECT_EQ(r.linesTaken, 2);
    EXPECT_FALSE(r.log.Enabled);
    EXPECT_EQ(r.settings.DefaultNode, "E 2");
}

TEST(ApplyConfigLine, ZoneEntries) {
    Read r;
    Apply(r, {"ZONE 12345 X", "ZONE 3", "ZONE", "ZONE   3    ZONE3   ", "ZONE 4 my zone dir name that is long"});
    ASSERT_EQ(r.settings.ZoneTable.size(), 4u);
    EXPECT_EQ(r.settings.ZoneTable[0].ZoneNumber, "1234");
    EXPECT_EQ(r.settings.ZoneTable[0].ZoneDir, "X");
    EXPECT_EQ(r.settings.ZoneTable[1].ZoneNumber, "3");
    EXPECT_EQ(r.settings.ZoneTable[1].ZoneDir, "");
    EXPECT_EQ(r.settings.ZoneTable[2].ZoneDir, "ZONE3");
    EXPECT_EQ(r.settings.ZoneTable[3].ZoneDir, "MY ZONE DIR NAME THA");
    // "ZONE " needs its blank; the empty value after it still is an entry.
    Apply(r, {"ZONE  "});
    ASSERT_EQ(r.settings.ZoneTable.size(), 5u);
    EXPECT_EQ(r.settings.ZoneTable[4].ZoneNumber, "");
    std::vector<std::string> more(15, "ZONE 9 X");
    Apply(r, more);
    EXPECT_EQ(r.settings.ZoneTable.size(), 20u);
    EXPECT_EQ(StopLine([&] { Apply(r, {"ZONE 10 Y"}); }), " Error! Too many ZONE lines.");
}

// A later LOG line takes over; the log's lines carry the day it was opened.
TEST(ApplyConfigLine, LaterLogLineTakesOver) {
    ScratchDir dir;
    Read r;
    dir.Write("old.log", "kept\r\n");
    const auto today = [] {
        const std::time_t now = std::time(nullptr);
        const std::tm* local = std::localtime(&now);
        return std::make_pair(local->tm_mday, local->tm_mon + 1);
    };
    const auto before = today();
    Apply(r, {"LOG " + dir.At("first.log"), "LOG " + dir.At("old.log")});
    const auto opened = std::make_pair(r.log.Date.Day, r.log.Date.Month);
    EXPECT_TRUE(opened == before || opened == today()) << opened.first << "/" << opened.second;
    EXPECT_TRUE(r.log.Enabled);
    EXPECT_EQ(r.log.File.WriteLine("a line"), 0);
    CloseLog(r.log);
    EXPECT_EQ(dir.Read("first.log"), "");
    EXPECT_EQ(dir.Read("old.log"), "kept\r\na line\r\n");
}

// Whole files as a run reads them, named by the option: the first line's
// byte-order mark, the end line, a LOG line that cannot be opened, and the
// stops, made only once the whole file is read.
TEST(LoadConfiguration, ReadsTheFileToItsEndOrStops) {
    const ScratchDir dir;
    const std::string path = dir.At("t.cfg");
    Settings settings;
    ActivityLog log;
    const auto load = [&](std::string_view bytes) {
        dir.Write("t.cfg", bytes);
        settings = Settings();
        return StopLine([&] { settings = LoadConfiguration(path, Program{"C:", "TOLVEX.CFG"}, log); });
    };
    EXPECT_EQ(load("OUTBOUND C:\\FIDO\\\\\r\nLOG \r\n"), "(no stop)");
    EXPECT_EQ(settings.Outbound, "C:\\FIDO\\");  // one trailing backslash taken off
    EXPECT_EQ(log.Name, "");  // LOG with nothing after it names standard output
    EXPECT_TRUE(log.Enabled);
    EXPECT_EQ(load("\xEF\xBB\xBFOUTBOUND C:\\FIDO\r\n"), "(no stop)");
    EXPECT_TRUE(settings.OutboundSet);
    EXPECT_EQ(load("x complete. y\r\nDEFAULTNODE 12\r\n"), "(no stop)");
    EXPECT_EQ(settings.DefaultNode, "");
    EXPECT_EQ(load("LOG " + dir.At("missing/t.log") + "\r\nDEFAULTNODE 12\r\n"), "(no stop)");
    EXPECT_EQ(settings.DefaultNode, "12");
    EXPECT_EQ(load("\xFF\xFE" "O"), " Error! " + path + " is saved as UTF-16: save it as ANSI or UTF-8.");
    CloseLog(log);
    EXPECT_EQ(load("DEFAULTNODE " + std::string(31, '1') + "\r\nLOG \r\n"), text::kDefaultNodeTooLong);
    EXPECT_TRUE(log.Enabled);  // the line after it was read
    // The option: its first three characters dropped wherever it stands.
    EXPECT_TRUE(IsConfigurationOption("x/C:" + path));
    EXPECT_EQ(StopLine([&] { LoadConfiguration(OptionFileName("x/C:" + path).View(), Program{"C:", "T.CFG"}, log); }),
              " Error! Unable to open :" + path);
}

TEST(CheckDefaultNode, OneItemOtherThanASlashNeedsIt) {
    Settings settings;
    const auto check = [&](std::vector<BoundedString> items) {
        return StopLine([&] { CheckDefaultNode(items, settings); });
    };
    const std::string none(text::kNoDefaultNode);
    EXPECT_EQ(check({"a.zip"}), none);
    EXPECT_EQ(check({"/36"}), none);
    EXPECT_EQ(check({"/"}), "(no stop)");
    EXPECT_EQ(check({"a.zip", "b.zip"}), "(no stop)");
    settings.DefaultNode = "12";
    EXPECT_EQ(check({"a.zip"}), "(no stop)");
}

}  // namespace
