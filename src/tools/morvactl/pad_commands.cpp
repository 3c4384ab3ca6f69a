#include "tools/morvactl/pad_commands.h"

#include "device/device_tables.h"
#include "device/models/mousepad_device.h"
#include "tools/morvactl/lit_light.h"

namespace morva::cli {

namespace {

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
    int Show() {
        LitRecord record{};
        int active = 0;
        if (const int r = ReadLitRecord(pad_, record, active); r != kResultOk)
            return Fail(ResultText(r));
        out_ << "profile " << active << '\n' << LitLightLine(pad_, record);
        return kExitOk;
    }

    int Light(const LightRequest& request) {
        std::string line, error;
        if (!ChangeLitLight(pad_, request, "pad", line, error))
            return Fail(error);
        out_ << line;
        return kExitOk;
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
