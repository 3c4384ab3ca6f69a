// Simulator requests given as words (from morvactl or the program's local socket), e.g.
// {"plug", "mouse"} or {"event", "mouse", "0401"}, checked and applied to a SimBus.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "sim/sim_bus.h"
#include "sim/sim_types.h"

namespace morva::sim {

enum class SimVerb { Plug, Unplug, Reach, Unreach, Event, Status, Mute };

struct SimCommand {
    SimVerb verb = SimVerb::Plug;
    Link link = Link::Mouse;           // plug, unplug, event, mute
    Product product = Product::Mouse;  // reach, unreach, status
    std::uint16_t word = 0;            // event; mute: how many reports go unanswered
    std::array<std::uint8_t, 6> status{};

    friend bool operator==(const SimCommand&, const SimCommand&) = default;
};

// Checks the words without a bus, so a client can refuse bad input before sending it. False
// with a message naming the offending word and what would have been accepted.
bool ParseSimCommand(const std::vector<std::string>& args, SimCommand& out, std::string& error);

// False with a message when the words do not parse or the bus refuses (an event on a link that
// is unplugged or whose wireless device is out of reach).
bool ApplySimCommand(SimBus& bus, const SimCommand& command, std::string& error);
bool ApplySimCommand(SimBus& bus, const std::vector<std::string>& args, std::string& error);

// The commands and their arguments, a few lines each ending in '\n', unindented.
std::string SimCommandUsage();

}  // namespace morva::sim
