// The table rows a test needs to set a device model up as the program does for a product.
#pragma once

#include <cstdint>

#include "device/device_tables.h"

namespace morva::test {

// The device-type row of `kind`, -1 when there is none.
inline int TypeRowOfKind(int kind) {
    for (std::size_t row = 0; row < DeviceTypes().size(); ++row) {
        if (DeviceTypes()[row].kind == kind)
            return static_cast<int>(row);
    }
    return -1;
}

// The interface that carries the commands of `deviceType`.
inline const SupportedInterface& CommandRecord(std::uint16_t deviceType) {
    for (const SupportedInterface& r : SupportedInterfaces()) {
        if (r.deviceType == deviceType && r.role == kRoleCommand)
            return r;
    }
    return SupportedInterfaces()[0];
}

}  // namespace morva::test
