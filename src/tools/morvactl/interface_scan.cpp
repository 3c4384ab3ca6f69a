#include "tools/morvactl/interface_scan.h"

#include "device/device_tables.h"
#include "device/hid/hid_device.h"

namespace morva::cli {

namespace {

bool ProductSupported(std::uint16_t vendorId, std::uint16_t productId) {
    for (const SupportedInterface& row : SupportedInterfaces()) {
        if (row.vendorId == vendorId && row.productId == productId)
            return true;
    }
    return false;
}

int MatchRow(const hid::InterfaceInfo& info) {
    const auto rows = SupportedInterfaces();
    for (std::size_t i = 0; i < rows.size(); ++i) {
        SupportedInterface found = rows[i];
        found.vendorId = info.vendorId;
        found.productId = info.productId;
        found.interfaceNumber = info.interfaceNumber;
        found.collection = info.collectionNumber;
        found.usagePage = info.collection.usagePage;
        found.usage = info.collection.usage;
        if (RecordsEqual(found, rows[i]))
            return static_cast<int>(i);
    }
    return -1;
}

}  // namespace

ScanResult ScanSupportedInterfaces(hid::IHidBackend& backend) {
    ScanResult result;
    std::vector<std::string> paths;
    result.enumerated = backend.Enumerate(paths);
    for (const std::string& path : paths) {
        // Other products are never opened.
        if (!ProductSupported(ParseVid(path), ParsePid(path)))
            continue;
        std::string error;
        const std::unique_ptr<hid::IHidConnection> connection = backend.Open(path, false, &error);
        if (!connection) {
            result.errors.push_back(error.empty() ? "cannot open " + path : error);
            continue;
        }
        const int row = MatchRow(connection->Info());
        if (row >= 0)
            result.interfaces.push_back({path, row, connection->Info()});
    }
    return result;
}

}  // namespace morva::cli
