// FidoNet addresses: the defaults from DEFAULTNET and DEFAULTNODE, and the
// parse of the address text into the list of up to ten addresses.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "config/configuration.hpp"
#include "runtime/bounded.hpp"

struct NodeAddress {
    std::int32_t Zone = 0;
    std::int32_t Net = 0;
    std::int32_t Node = 0;
    std::int32_t Point = 0;  // 0: the node itself

    friend bool operator==(const NodeAddress&, const NodeAddress&) = default;
};

// Zone ":" net "/" node "." point in decimal, the point always shown.
std::string PrintedForm(const NodeAddress& address);

inline constexpr int kNodeCapacity = 10;
inline constexpr std::int32_t kMaxNetOrNode = 65535;

struct NodeDefaults {
    NodeAddress Slot;                   // what every slot holds before the parse
    std::int32_t MainZone = 0;          // the zone of DEFAULTNET, 0 without ":"
    std::int32_t DefaultNodeValue = 0;  // what "." stands for when no node digits precede it
    bool TooLarge = false;              // DEFAULTNET or DEFAULTNODE holds a number beyond 32 bits
};

// The addresses in the order given: at least one, at most kNodeCapacity.
using NodeList = std::vector<NodeAddress>;

NodeDefaults LoadNodeDefaults(const Settings& settings);
NodeDefaults LoadNodeDefaults(std::string_view defaultNet, std::string_view defaultNode);

// Parses the address text; stops the run on an empty text, a character an
// address cannot hold, a separator out of its order (":" "/" "." at most once
// each, in that order, within one address), a number beyond 2147483647, an
// eleventh address, defaults with a number too large to hold, or a negative
// field or a net or node above 65535 in any address it gives.
NodeList ParseNodeString(const BoundedString& nodeString, const NodeDefaults& defaults);
