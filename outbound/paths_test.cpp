// Outbound names, and the check of the outbound folder before each address.
#include "outbound/paths.hpp"

#include <gtest/gtest.h>

#include <filesystem>

#include "config/configuration.hpp"
#include "support/scratch.hpp"
#include "support/stops.hpp"

namespace {

Settings Standard(std::string_view outbound = "C:\\FIDO", std::string_view defaultOutbound = "OUT") {
    Settings settings;
    settings.Outbound = outbound;
    settings.OutboundSet = true;
    settings.DefaultOutbound = defaultOutbound;
    settings.ZoneTable = {{"3", "OTHERNET"}};
    return settings;
}

TEST(OutboundNames, ZonesPointsAndHexDigits) {
    struct Case {
        NodeAddress node;
        std::string targetDir, requestFile;
    };
    const std::vector<Case> cases = {
        {{2, 4600, 36, 0}, "C:\\FIDO\\OUT", "C:\\FIDO\\OUT\\11f80024.req"},
        {{2, 4600, 36, 7}, "C:\\FIDO\\OUT\\11f80024.pnt", "C:\\FIDO\\OUT\\11f80024.pnt\\00000007.req"},
        {{1, 123, 456, 0}, "C:\\FIDO\\OUT.001", "C:\\FIDO\\OUT.001\\007b01c8.req"},
        {{3, 45, 6, 0}, "C:\\FIDO\\OTHERNET.003", "C:\\FIDO\\OTHERNET.003\\002d0006.req"},
        {{3, 45, 6, 1}, "C:\\FIDO\\OTHERNET.003\\002d0006.pnt", "C:\\FIDO\\OTHERNET.003\\002d0006.pnt\\00000001.req"},
        {{4097, 70000, 65536, 0}, "C:\\FIDO\\OUT.001", "C:\\FIDO\\OUT.001\\11700000.req"},
        {{4096, 1, 1, 0x7fffffff}, "C:\\FIDO\\OUT.000\\00010001.pnt", "C:\\FIDO\\OUT.000\\00010001.pnt\\7fffffff.req"},
        // Negative numbers are taken as unsigned 32-bit numbers.
        {{-1, 4600, -1, -1}, "C:\\FIDO\\OUT.fff\\11f8ffff.pnt", "C:\\FIDO\\OUT.fff\\11f8ffff.pnt\\ffffffff.req"},
    };
    for (const Case& c : cases) {
        const OutboundTarget target = OutboundNames(c.node, Standard(), 2);
        EXPECT_EQ(target.TargetDir, c.targetDir) << PrintedForm(c.node);
        EXPECT_EQ(target.RequestFile, c.requestFile) << PrintedForm(c.node);
        EXPECT_EQ(target.FlowFile, c.requestFile.substr(0, c.requestFile.size() - 3) + "clo");
        EXPECT_EQ(target.BusyFlag, c.requestFile.substr(0, c.requestFile.size() - 3) + "bsy");
    }
}

TEST(OutboundNames, SettingsThatShapeTheNames) {
    // An empty DEFAULTOUTBOUND: two separators in a row, and bare extensions.
    EXPECT_EQ(OutboundNames({2, 4600, 36, 0}, Standard("C:\\FIDO", ""), 2).RequestFile, "C:\\FIDO\\\\11f80024.req");
    EXPECT_EQ(OutboundNames({1, 1, 1, 0}, Standard("C:\\FIDO", ""), 2).TargetDir, "C:\\FIDO\\.001");
    // An empty OUTBOUND names the root.
    EXPECT_EQ(OutboundNames({2, 4600, 36, 0}, Standard(""), 2).RequestFile, "\\OUT\\11f80024.req");
    // A zone number that is no number matches zone 0 only; without DEFAULTNET's
    // zone, zone 0 is the main zone.
    Settings settings = Standard();
    settings.ZoneTable = {{"X", "NOTNUM"}, {"0", "ZERO"}};
    EXPECT_EQ(OutboundNames({0, 1, 1, 0}, settings, 2).ZoneOutbound, "NOTNUM.000");
    EXPECT_EQ(OutboundNames({0, 1, 1, 0}, settings, 0).ZoneOutbound, "OUT");
    // The main zone never takes an extension; the first entry of a zone wins;
    // an empty folder name leaves the extension alone.
    settings.ZoneTable = {{"2", "MAINZONE"}, {"5", "FIRST"}, {"5", "SECOND"}, {"6", ""}};
    EXPECT_EQ(OutboundNames({2, 1, 1, 0}, settings, 2).ZoneOutbound, "OUT");
    EXPECT_EQ(OutboundNames({5, 1, 1, 0}, settings, 2).ZoneOutbound, "FIRST.005");
    EXPECT_EQ(OutboundNames({6, 1, 1, 0}, settings, 2).ZoneOutbound, ".006");
    // Names past 255 characters are built whole.
    const std::string deep(250, 'D');
    EXPECT_EQ(OutboundNames({2, 4600, 36, 0}, Standard(deep), 2).RequestFile, deep + "\\OUT\\11f80024.req");
}

TEST(PrepareOutbound, ChecksTheOutboundForEveryAddress) {
    ScratchDir dir;
    dir.MakeDir("fido");
    const Settings settings = Standard(dir.At("fido"), "OUT");
    const std::string before = std::filesystem::current_path();
    EXPECT_EQ(StopLine([&] { PrepareOutbound({2, 4600, 36, 7}, settings, 2); }), "(no stop)");
    EXPECT_TRUE(dir.Exists("fido/out/11f80024.pnt"));
    EXPECT_EQ(std::filesystem::current_path(), before);
    std::filesystem::remove_all(dir.At("fido"));
    EXPECT_EQ(StopLine([&] { PrepareOutbound({2, 4600, 37, 0}, settings, 2); }),
              " Cannot find directory \"" + dir.At("fido") + "\"");
    EXPECT_FALSE(dir.Exists("fido"));
}

}  // namespace
