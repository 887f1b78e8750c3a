// An address's busy flag (TargetDir\FileStem.bsy): while a mailer holds it, the
// address's files are the mailer's; while tolvex holds it, they are tolvex's.
#pragma once

#include <optional>

#include "input/addresses.hpp"
#include "outbound/paths.hpp"
#include "runtime/standard_files.hpp"

inline constexpr int kBusyWaitMilliseconds = 5000;
inline constexpr int kBusyCheckMilliseconds = 100;

class BusyFlag {
public:
    // Takes the flag, waiting for another program's to vanish; stops with
    // " Error! <address> is busy." when it stays. A flag that cannot be made
    // for another reason is gone without: the request file's own open tells.
    // While the flag is held, an interrupt waits for it to be given back.
    BusyFlag(const OutboundTarget& target, const NodeAddress& node);
    // Gives the flag back, also when the run stops; then an interrupt that
    // came meanwhile ends the process (HeldInterrupts).
    ~BusyFlag();
    BusyFlag(const BusyFlag&) = delete;
    BusyFlag& operator=(const BusyFlag&) = delete;

private:
    Place place_;  // in the address's held folder, where it is removed again
    std::optional<HeldInterrupts> held_;  // while the flag is there
};
