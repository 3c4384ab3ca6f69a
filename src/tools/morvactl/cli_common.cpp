#include "tools/morvactl/cli_common.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string_view>

#include "base/parse_int.h"
#include "device/device_folders.h"
#include "device/device_tables.h"
#include "device/models/usb_device.h"
#include "device/protocol/command_report.h"
#include "device/protocol/macro_image.h"
#include "macro/macro_store.h"
#include "tools/morvactl/interface_scan.h"

namespace morva::cli {

bool ParseNumber(const std::string& text, int min, int max, int& value) {
    const std::optional<long long> v = ParseInt(text, min, max);
    if (v)
        value = static_cast<int>(*v);
    return v.has_value();
}

bool ParseThreeBytes(const std::string& text, std::array<std::uint8_t, 3>& bytes) {
    if (text.size() != 6)
        return false;
    for (std::size_t i = 0; i < 3; ++i) {
        const std::optional<long long> v =
            ParseInt(std::string_view(text).substr(2 * i, 2), 0, 0xFF, 16);
        if (!v)
            return false;
        bytes[i] = static_cast<std::uint8_t>(*v);
    }
    return true;
}

bool ParseLightRequest(const std::vector<std::string>& words, const std::string& family,
                       LightRequest& request, std::string& error) {
    const std::string command = family + " light";
    LightRequest light;
    if (words.size() < 2 || !ParseNumber(words[1], 0, 255, light.mode)) {
        error = command + " takes a MODE 0..255";
        return false;
    }
    for (std::size_t i = 2; i < words.size(); ++i) {
        const std::string& w = words[i];
        if (w == "--multicolor") {
            light.multicolour = true;
            continue;
        }
        if (i + 1 >= words.size()) {
            error = command + ": unknown option or missing value: " + w;
            return false;
        }
        const std::string& value = words[++i];
        int n = 0;
        if (w == "--brightness" || w == "--speed" || w == "--direction") {
            const int max = w == "--direction" ? 1 : kLightLevelMax;
            if (!ParseNumber(value, 0, max, n)) {
                error = command + ": " + w + " takes 0.." + std::to_string(max);
                return false;
            }
            (w == "--brightness" ? light.brightness
             : w == "--speed"    ? light.speed
                                 : light.direction) = n;
        } else if (w == "--color") {
            std::array<std::uint8_t, 3> rgb{};
            if (!ParseThreeBytes(value, rgb)) {
                error = command + ": --color takes RRGGBB in hex";
                return false;
            }
            light.colour = rgb;
        } else {
            error = command + ": unknown option " + w;
            return false;
        }
    }
    request = light;
    return true;
}

LightInfo AppliedLight(LightInfo light, const LightRequest& request) {
    light.selectItem = static_cast<std::uint8_t>(request.mode);
    if (request.brightness)
        light.light = static_cast<std::uint8_t>(*request.brightness);
    if (request.speed)
        light.speed = static_cast<std::uint8_t>(*request.speed);
    if (request.direction)
        light.fx = static_cast<std::uint8_t>(*request.direction);
    if (request.colour) {
        light.red = (*request.colour)[0];
        light.green = (*request.colour)[1];
        light.blue = (*request.colour)[2];
        light.multiColor = 0;  // a colour of its own means one colour
    }
    if (request.multicolour)
        light.multiColor = 1;
    return light;
}

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

ProductRows RowsOf(std::uint16_t deviceType) {
    ProductRows rows;
    rows.typeRow = DeviceTypeRowFor(deviceType);
    const DeviceTypeInfo& type = DeviceTypes()[static_cast<std::size_t>(rows.typeRow)];
    rows.cableRow = FindInterfaceRow(type.vendorId, type.productId, type.deviceType, kRoleCommand);
    const SupportedInterface& cable =
        SupportedInterfaces()[static_cast<std::size_t>(rows.cableRow)];
    rows.receiverRow = cable.hasPartner ? cable.partnerIndex : -1;
    return rows;
}

int OpenModel(CTessaronUSBDevice& model, std::uint16_t deviceType, const std::string& name,
              hid::IHidBackend& backend, const std::string& dataDir,
              const std::string& resourceFolder, std::ostream& err) {
    const ProductRows rows = RowsOf(deviceType);
    model.SetDataRoots(dataDir, resourceFolder);
    model.ApplyTypeRow(rows.typeRow);
    model.SetSlotRecord(SupportedInterfaces()[static_cast<std::size_t>(rows.cableRow)]);
    // Without these the profile would land in the working directory, or be empty.
    if (model.GetUserDataFolder().empty()) {
        err << "morvactl: " << name << ": cannot create the data folder under "
            << LocalAppDataFolder(dataDir) << '\n';
        return kExitFailed;
    }
    std::error_code ec;
    if (!std::filesystem::exists(model.GetDefaultProfilePath(), ec)) {
        err << "morvactl: " << name << ": no factory profile at " << model.GetDefaultProfilePath()
            << " (set MORVA_RES_DIR to the folder holding DefaultData/)\n";
        return kExitFailed;
    }
    return OpenCommandLink(backend, {rows.cableRow, rows.receiverRow}, name, model.Links(), err);
}

std::string ExplainShared(const OpResult& r, const CTessaronUSBDevice& model,
                          const std::string& name) {
    const std::string n = std::to_string(r.detail);
    const std::string& key = r.messageKey;
    if (key == kMsgValueOutOfRange)
        return "value out of range";
    if (key == kMsgUnknownMacro) {
        return "there is no macro " + n + " (the list has " +
               std::to_string(ReadMacroNames(model.GetUserDataFolder()).size()) + ")";
    }
    if (key == kMsgMacrosTooLarge)
        return "the macros do not fit: about " + n + " events too many";
    if (key == kMsgProfileNotSaved)
        return "the " + name + " has the change, but the profile file could not be written";
    return {};
}

int WriteUsedMacros(CTessaronUSBDevice& model, const std::string& name, std::ostream& out,
                    std::string& problem) {
    const std::vector<int> used = model.GetUsedMacros();
    const std::size_t size =
        used.empty() ? 0 : MacroImageLength(LoadMacroEvents(model.GetUserDataFolder(), used));
    const std::size_t capacity = model.Info()[6] * 128u;
    if (const OpResult r = model.DownloadUsedMacros(); !r.Ok()) {
        problem = ExplainShared(r, model, name);
        if (problem.empty())
            problem = ResultText(r.code);
        if (r.messageKey == kMsgMacrosTooLarge)
            problem += " (" + std::to_string(size) + " of " + std::to_string(capacity) + " bytes)";
        return kExitFailed;
    }
    out << "macros " << used.size() << " image " << size << " of " << capacity << " bytes\n";
    return kExitOk;
}

}  // namespace morva::cli
