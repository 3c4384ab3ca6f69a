#include "tools/morvactl/pad_commands.h"

#include <algorithm>
#include <cstdio>

#include "device/device_tables.h"
#include "device/models/mousepad_device.h"
#include "device/protocol/commands.h"

namespace morva::cli {

namespace {

std::string HexColour(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    char text[8];
    std::snprintf(text, sizeof text, "%02x%02x%02x", r, g, b);
    return text;
}

class PadSession {
public:
    PadSession(const PadEnvironment& env, std::ostream& out, std::ostream& err)
        : env_(env), out_(out), err_(err), pad_(env.backend) {}

    int Run(const PadRequest& r) {
        if (OpenModel(pad_, kDeviceTypeMousePad, "pad", env_.backend, env_.dataDir,
                      env_.resourceFolder, err_) != kExitOk) {
            return kExitFailed;
        }
        pad_.SetScreenPixels(env_.screenWidth, env_.screenHeight);
        pad_.ReadFromDevice();
        pad_.StopLightThread();
        // The pad's record tells which profile it is on; writes go there.
        pad_.ReadActiveProfile();
        return r.op == PadRequest::Op::Show ? Show() : Light(r.light);
    }

private:
    // The record of the profile the pad is on, read back.
    int ReadRecord(LitRecord& record, int& active) {
        CDeviceChannel& channel = pad_.CommandChannel();
        std::uint8_t index = 0;
        int result = CmdBegin(channel);
        if (result == kResultOk)
            result = CmdReadSetting(channel, &index, 1, 0);
        if (result == kResultOk)
            result = CmdReadSetting(channel, record.data(), record.size(), LitRecordAddress(index));
        const int end = CmdEnd(channel);
        active = index;
        return result == kResultOk ? end : result;
    }

    int Show() {
        LitRecord record{};
        int active = 0;
        if (const int r = ReadRecord(record, active); r != kResultOk)
            return Fail(ResultText(r));
        out_ << "profile " << active << '\n' << LightLine(record);
        return kExitOk;
    }

    int Light(const LightRequest& request) {
        const OpResult result =
            pad_.ChangeLight(AppliedLight(pad_.Profile().CurrentLightInfo(), request), true);
        if (!result.Ok())
            return Fail(Explain(result));
        LitRecord held{};
        int active = 0;
        if (const int r = ReadRecord(held, active); r != kResultOk)
            return Fail(ResultText(r));
        LitRecord expected = pad_.BuildRecord();
        expected[litrec::kProfile] = static_cast<std::uint8_t>(active);
        if (held != expected)
            return Fail("the pad did not keep the new settings");
        out_ << LightLine(held);
        return kExitOk;
    }

    std::string LightLine(const LitRecord& r) const {
        const int mode = pad_.LightModeOfCode(r[litrec::kMode]);
        const std::vector<std::string>& names = pad_.DefaultData().lightModeNames;
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

    std::string Explain(const OpResult& r) const {
        if (std::string shared = ExplainShared(r, pad_, "pad"); !shared.empty())
            return shared;
        if (r.messageKey == kMsgUnknownLightMode)
            return "light mode " + std::to_string(r.detail) + " is not offered by this pad";
        if (r.code == kResultRefused)
            return "refused (" + r.messageKey + ")";
        return ResultText(r.code);
    }

    int Fail(const std::string& text) {
        err_ << "morvactl: pad: " << text << '\n';
        return kExitFailed;
    }

    const PadEnvironment& env_;
    std::ostream& out_;
    std::ostream& err_;
    CTessaronMousePadDevice pad_;
};

}  // namespace

const char* PadCommandUsage() {
    return R"(  pad show                   the pad's on-board profile and its record's light mode
                             and settings
  pad light MODE [--brightness B] [--speed S] [--direction D] [--color RRGGBB]
                 [--multicolor]
                             light mode MODE: a preset the pad page lists (0..8), or 10
                             and up a custom effect; written to the profile the pad is on
)";
}

bool ParsePadCommand(const std::vector<std::string>& words, PadRequest& request,
                     std::string& error) {
    const std::string verb = words.empty() ? std::string() : words[0];
    PadRequest r;
    if (verb == "show" && words.size() == 1) {
        r.op = PadRequest::Op::Show;
    } else if (verb == "light" && words.size() >= 2) {
        r.op = PadRequest::Op::Light;
        if (!ParseLightRequest(words, "pad", r.light, error))
            return false;
    } else {
        error = "pad takes show or light (see --help)";
        return false;
    }
    request = r;
    return true;
}

int RunPadCommand(const PadRequest& request, const PadEnvironment& environment, std::ostream& out,
                  std::ostream& err) {
    return PadSession(environment, out, err).Run(request);
}

}  // namespace morva::cli
