// The HID interfaces each simulated product exposes, as raw report descriptors: the bus
// parses them the way the OS does, so hosts see the same collections as on real hardware.
#pragma once

#include <cstdint>
#include <span>

#include "sim/sim_types.h"

namespace morva::sim {

struct HidInterface {
    std::uint16_t number = 0;  // USB interface number
    std::span<const std::uint8_t> descriptor;
};

// Every HID interface of a product in ascending order; a receiver exposes those of the
// product behind it.
std::span<const HidInterface> InterfacesOf(Product product);

inline constexpr std::uint8_t kCommandReportId = 4;
// The headset's LED register writes: id byte and 16 data bytes, output only.
inline constexpr std::uint8_t kLedReportId = 0xFF;

// Interface that carries both the command reports and the event reports.
std::uint16_t ConfigInterfaceOf(Product product);
// Report id of the consumer-control input that carries event words.
std::uint8_t EventReportIdOf(Product product);

}  // namespace morva::sim
