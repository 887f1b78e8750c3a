// Where one address's files lie in the outbound, and the directories for them.
#pragma once

#include <cstdint>
#include <string>

#include "config/configuration.hpp"
#include "input/addresses.hpp"
#include "runtime/platform.hpp"

struct OutboundTarget {
    std::string ZoneOutbound;  // the zone's directory inside Outbound
    std::string NodeStem;      // 4 hex digits of the net, 4 of the node
    std::string TargetDir;     // the directory that receives the address's files
    std::string FileStem;      // NodeStem for a node, 8 hex digits of the point for a point
    std::string RequestFile;   // TargetDir\FileStem.req
    std::string FlowFile;      // TargetDir\FileStem.clo
    std::string BusyFlag;      // TargetDir\FileStem.bsy
    // Where the outbound's own part of each name begins, after Outbound:
    // others share the outbound with the mailer, so what they may have put
    // there is checked before it is used.
    std::size_t Shared = 0;

    platform::Path InOutbound(const std::string& name) const { return {name, Shared}; }
};

// Checks that Outbound can be entered, makes the zone and point directories
// and names the files. Stops when no OUTBOUND line was read, and with
// " Cannot find directory "..." when Outbound cannot be entered. Names are
// built whole, however long.
OutboundTarget PrepareOutbound(const NodeAddress& node, const Settings& settings, std::int32_t mainZone);

// The names alone, without touching the disk.
OutboundTarget OutboundNames(const NodeAddress& node, const Settings& settings, std::int32_t mainZone);
