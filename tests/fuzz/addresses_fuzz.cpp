// The address text, normalised and parsed against fuzzed defaults, and the
// outbound names of every address it gives. The input is DEFAULTNET, a NUL,
// DEFAULTNODE, a NUL and the address text.
#include "config/configuration.hpp"
#include "fuzz/fuzz_input.hpp"
#include "input/addresses.hpp"
#include "outbound/paths.hpp"
#include "runtime/errors.hpp"
#include "runtime/text_helpers.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::string_view> parts = Parts(AsText(data, size), '\0', 3);
    const BoundedString nodeString(parts[2]);
    const BoundedString normal = NormalizeLine(nodeString);
    FUZZ_CHECK(normal.Length() <= nodeString.Length());
    FUZZ_CHECK(normal.Empty() || normal.Last() != ' ');

    Settings settings;
    settings.DefaultNet = BoundedString(parts[0]);
    settings.DefaultNode = NormalizeLine(BoundedString(parts[1]));
    settings.Outbound = "C:\\FIDO";
    settings.DefaultOutbound = "OUT";
    settings.ZoneTable = {{"3", "OTHERNET"}, {"$10", ""}};
    try {
        const NodeDefaults defaults = LoadNodeDefaults(settings);
        const NodeList nodes = ParseNodeString(nodeString, defaults);
        FUZZ_CHECK(!nodes.empty() && nodes.size() <= static_cast<std::size_t>(kNodeCapacity));
        for (const NodeAddress& node : nodes) {
            // No field is negative, a negative DEFAULTNODE's neither.
            FUZZ_CHECK(node.Zone >= 0 && node.Net >= 0 && node.Node >= 0 && node.Point >= 0);
            FUZZ_CHECK(node.Net <= kMaxNetOrNode && node.Node <= kMaxNetOrNode);
            const std::string printed = PrintedForm(node);
            FUZZ_CHECK(printed.find(':') != std::string::npos && printed.find('.') != std::string::npos);
            const OutboundTarget target = OutboundNames(node, settings, defaults.MainZone);
            FUZZ_CHECK(target.NodeStem.size() == 8 && target.FileStem.size() == 8);
            FUZZ_CHECK(target.RequestFile.size() == target.TargetDir.size() + 13);
        }
    } catch (const RunStop& stop) {
        FUZZ_CHECK(stop.Lines.size() == 1);
    }
    return 0;
}
