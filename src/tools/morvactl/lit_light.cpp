#include "tools/morvactl/lit_light.h"

#include <algorithm>
#include <cstdio>

#include "device/protocol/commands.h"

namespace morva::cli {

namespace {

std::string HexColour(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    char text[8];
    std::snprintf(text, sizeof text, "%02x%02x%02x", r, g, b);
    return text;
}

std::string ExplainLight(const OpResult& r, const CLitAccessoryDevice& model,
                         const std::string& name) {
    if (std::string shared = ExplainShared(r, model, name); !shared.empty())
        return shared;
    if (r.messageKey == kMsgUnknownLightMode)
        return "light mode " + std::to_string(r.detail) + " is not offered by this " + name;
    if (r.code == kResultRefused)
        return "refused (" + r.messageKey + ")";
    return ResultText(r.code);
}

}  // namespace

int ReadLitRecord(CLitAccessoryDevice& model, LitRecord& record, int& active) {
    CDeviceChannel& channel = model.CommandChannel();
    // Reads need no begin and end, which frame what the device is to store.
    std::uint8_t index = 0;
    int result = CmdReadSetting(channel, &index, 1, 0);
    if (result == kResultOk)
        result = CmdReadSetting(channel, record.data(), record.size(), LitRecordAddress(index));
    active = index;
    return result;
}

std::string LitLightLine(const CLitAccessoryDevice& model, const LitRecord& r) {
    const int mode = model.LightModeOfCode(r[litrec::kMode]);
    const std::vector<std::string>& names = model.DefaultData().lightModeNames;
    std::string line = "light ";
    if (mode < 0)
        line += "? code " + std::to_string(r[litrec::kMode]);
    else
        line += std::to_string(mode) + ' ' +
                (static_cast<std::size_t>(mode) < names.size() ? names[mode] : "-");
    line += " brightness " + std::to_string(r[litrec::kBrightness]) + " speed " +
            std::to_string(kLightLevelMax - std::min<int>(r[litrec::kSpeed], kLightLevelMax)) +
            " colour " + HexColour(r[litrec::kRed], r[litrec::kGreen], r[litrec::kBlue]);
    if (r[litrec::kMultiColour] != 0)
        line += " multicolour";
    return line + '\n';
}

bool ChangeLitLight(CLitAccessoryDevice& model, const LightRequest& request,
                    const std::string& name, std::string& line, std::string& error) {
    const OpResult result =
        model.ChangeLight(AppliedLight(model.ProfileData()->CurrentLightInfo(), request), true);
    if (!result.Ok()) {
        error = ExplainLight(result, model, name);
        return false;
    }
    LitRecord held{};
    int active = 0;
    if (const int r = ReadLitRecord(model, held, active); r != kResultOk) {
        error = ResultText(r);
        return false;
    }
    LitRecord expected = model.BuildRecord();
    expected[litrec::kProfile] = static_cast<std::uint8_t>(active);
    if (held != expected) {
        error = "the " + name + " did not keep the new settings";
        return false;
    }
    line = LitLightLine(model, held);
    return true;
}

}  // namespace morva::cli
