#include "tools/morvactl/cli_common.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "device/device_tables.h"
#include "device/protocol/command_report.h"
#include "tools/morvactl/interface_scan.h"

namespace morva::cli {

std::string Hex(const std::uint8_t* bytes, std::size_t n) {
    std::string text;
    char b[4];
    for (std::size_t i = 0; i < n; ++i) {
        std::snprintf(b, sizeof b, i ? " %02x" : "%02x", bytes[i]);
        text += b;
    }
    return text;
}

std::string ResultText(int result) {
    switch (result) {
        case kResultNoAnswer:
            return "the device did not answer";
        case kResultWriteFailed:
            return "writing to the device failed";
        case kResultUnreachable:
            return "the wireless device is out of reach of its receiver";
        case kResultStatusFF:
            return "the device refused the command (status 0xff)";
        case kResultStatusFE:
            return "the device refused the command (status 0xfe)";
        case kResultBadPage:
            return "bad key table page";
        case kResultImageTooLarge:
            return "the image is too large for the device";
        default:
            return "error " + std::to_string(result);
    }
}

int OpenCommandLink(hid::IHidBackend& backend, std::initializer_list<int> rows,
                    const std::string& name, CProductLinks& links, std::ostream& err) {
    const ScanResult scan = ScanSupportedInterfaces(backend);
    for (const int row : rows) {
        for (const FoundInterface& f : scan.interfaces) {
            if (row < 0 || f.row != row)
                continue;
            const bool viaReceiver =
                IsReceiverType(SupportedInterfaces()[static_cast<std::size_t>(row)].deviceType);
            std::string error;
            if (!links.Open(viaReceiver ? ProductLink::Receiver : ProductLink::Cable, f.path,
                            &error)) {
                err << "morvactl: " << error << '\n';
                return kExitFailed;
            }
            return kExitOk;
        }
    }
    for (const std::string& e : scan.errors)
        err << "morvactl: " << e << '\n';
    if (scan.errors.empty())
        err << "morvactl: " << name << " is not connected\n";
    return kExitFailed;
}

std::string ResourceFolder() {
    namespace fs = std::filesystem;
    if (const char* env = std::getenv("MORVA_RES_DIR"); env != nullptr && env[0] != '\0')
        return env;
    std::error_code ec;
    const fs::path self = fs::read_symlink("/proc/self/exe", ec);
    if (!ec) {
        const fs::path installed = self.parent_path() / "../share/morva-tr510";
        // The same landmark the program looks for.
        if (fs::exists(installed / "skin/res.xml", ec))
            return installed.lexically_normal().string();
    }
    return MORVA_SOURCE_RES_DIR;
}

}  // namespace morva::cli
