// Where one address's files lie in the outbound, and the folders for them.
#pragma once

#include <cstdint>
#include <string>

#include "config/configuration.hpp"
#include "input/addresses.hpp"
#include "runtime/file_system.hpp"

struct OutboundTarget {
    std::string ZoneOutbound;  // the zone's folder inside Outbound
    std::string NodeStem;      // 4 hex digits of the net, 4 of the node
    std::string TargetDir;     // the folder that receives the address's files
    std::string FileStem;      // NodeStem for a node, 8 hex digits of the point for a point
    std::string RequestFile;   // TargetDir\FileStem.req
    std::string FlowFile;      // TargetDir\FileStem.clo
    std::string BusyFlag;      // TargetDir\FileStem.bsy
    // TargetDir, held: others share the outbound with the mailer, so each of
    // the address's files is reached through it, and checked where it is opened.
    HeldFolder Folder;

    // The address's file of that extension (".req", ".clo", ".bsy").
    Place File(std::string_view extension) const { return {Folder, FileStem + std::string(extension)}; }
};

// Checks that Outbound can be entered, makes the zone and point folders,
// holds the one that receives the files, and names the files. Stops when no
// OUTBOUND line was read, with " Cannot find directory "..." when Outbound
// cannot be entered, and with " Error! Unable to open " + the request file's
// name when its folder cannot be made or entered. Names are built whole,
// however long.
OutboundTarget PrepareOutbound(const NodeAddress& node, const Settings& settings, std::int32_t mainZone);

// The names alone, without touching the disk.
OutboundTarget OutboundNames(const NodeAddress& node, const Settings& settings, std::int32_t mainZone);
