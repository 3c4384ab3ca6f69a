// Which supported interfaces are present on a HID backend.
#pragma once

#include <string>
#include <vector>

#include "device/hid/hid_backend.h"

namespace morva::cli {

struct FoundInterface {
    std::string path;
    int row = -1;  // row of the supported-interface table
    hid::InterfaceInfo info;
};

struct ScanResult {
    bool enumerated = false;
    std::vector<FoundInterface> interfaces;
    // Interfaces of a supported product that could not be opened, with the reason.
    std::vector<std::string> errors;
};

ScanResult ScanSupportedInterfaces(hid::IHidBackend& backend);

}  // namespace morva::cli
