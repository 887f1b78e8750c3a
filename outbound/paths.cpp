// Outbound names and folders.
#include "outbound/paths.hpp"

#include "config/configuration.hpp"
#include "runtime/console_texts.hpp"
#include "runtime/errors.hpp"
#include "runtime/numbers.hpp"
#include "runtime/text_helpers.hpp"

namespace {

// The last `width` hex digits of n, zeros in front.
std::string FixedHex(std::int32_t n, std::size_t width) {
    const std::string digits = std::string(width, '0') + HexString(n).Str();
    return digits.substr(digits.size() - width);
}

std::string ZoneOutboundOf(const NodeAddress& node, const Settings& settings, std::int32_t mainZone) {
    if (node.Zone == mainZone) return settings.DefaultOutbound.Str();
    std::string stem = settings.DefaultOutbound.Str();
    for (const ZoneEntry& entry : settings.ZoneTable)
        if (TextToInt(entry.ZoneNumber.View()) == node.Zone) {
            stem = entry.ZoneDir.Str();
            break;
        }
    return stem + "." + FixedHex(node.Zone, 3);
}

}  // namespace

OutboundTarget OutboundNames(const NodeAddress& node, const Settings& settings, std::int32_t mainZone) {
    OutboundTarget target;
    target.ZoneOutbound = ZoneOutboundOf(node, settings, mainZone);
    target.NodeStem = FixedHex(node.Net, 4) + FixedHex(node.Node, 4);
    target.TargetDir = settings.Outbound.Str() + "\\" + target.ZoneOutbound;
    target.FileStem = target.NodeStem;
    if (node.Point != 0) {
        target.TargetDir += "\\" + target.NodeStem + ".pnt";
        target.FileStem = FixedHex(node.Point, 8);
    }
    const std::string stem = target.TargetDir + "\\" + target.FileStem;
    target.RequestFile = stem + ".req";
    target.FlowFile = stem + ".clo";
    target.BusyFlag = stem + ".bsy";
    return target;
}

OutboundTarget PrepareOutbound(const NodeAddress& node, const Settings& settings, std::int32_t mainZone) {
    // Without an OUTBOUND line the names would begin at the root of the drive.
    if (!settings.OutboundSet) StopRunNaming(text::kNoOutbound, settings.ConfigPath.View());
    // The folder the names go on from: OUTBOUND, as the sysop named it (empty:
    // the root).
    HeldFolder outbound;
    if (outbound.Open(settings.Outbound.Str() + "\\") != 0)
        StopRunNaming(std::string(text::kCannotFindDirectory) + "\"", settings.Outbound.View(), "\"");
    OutboundTarget target = OutboundNames(node, settings, mainZone);
    // An existing folder is the usual case.
    HeldFolder zone;
    int error = outbound.Enter(target.ZoneOutbound, true, zone);
    if (error == 0 && node.Point != 0) error = zone.Enter(target.NodeStem + ".pnt", true, target.Folder);
    if (error == 0 && node.Point == 0) target.Folder = std::move(zone);
    if (error != 0) StopRunNaming(text::kUnableToOpen, target.RequestFile);
    return target;
}
