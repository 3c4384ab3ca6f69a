#include "tools/morvactl/headset_commands.h"

#include <utility>

#include "device/device_tables.h"
#include "tools/morvactl/headset_audio_source.h"
#include "tools/morvactl/lit_light.h"

namespace morva::cli {

namespace {

constexpr int kEqGainMax = 20;

const std::pair<SoundFeature, const char*> kFeatureNames[] = {
    {SoundFeature::MicLevel, "microphone level"},  {SoundFeature::MicMute, "microphone mute"},
    {SoundFeature::MonitorLevel, "monitor level"}, {SoundFeature::MonitorMute, "monitor mute"},
    {SoundFeature::Equaliser, "equaliser"},        {SoundFeature::VoiceChanger, "voice changer"},
};

const char* FeatureName(SoundFeature feature) {
    for (const auto& [f, name] : kFeatureNames) {
        if (f == feature)
            return name;
    }
    return "sound";
}

std::string OnOff(bool on) {
    return on ? "on" : "off";
}

std::string Bands(const std::vector<int>& values) {
    std::string text;
    for (const int v : values)
        text += ' ' + std::to_string(v);
    return text;
}

class HeadsetSession {
public:
    HeadsetSession(const HeadsetEnvironment& env, std::ostream& out, std::ostream& err)
        : env_(env), out_(out), err_(err), headset_(env.backend) {}

    int Run(const HeadsetRequest& r) {
        if (OpenModel(headset_, kDeviceTypeHeadset, "headset", env_.backend, env_.dataDir,
                      env_.resourceFolder, err_) != kExitOk) {
            return kExitFailed;
        }
        headset_.SetScreenPixels(env_.screenWidth, env_.screenHeight);
        headset_.SetAudioBridge(
            HeadsetAudioBridge(env_.simBus != nullptr, env_.simStateFile, env_.backend));
        headset_.ReadFromDevice();
        headset_.StopLightThread();
        // The headset's record tells which profile it is on; writes go there.
        headset_.ReadActiveProfile();
        // After the profile, as the page does: the sound device's own state wins over it.
        headset_.StartAudio();
        return Dispatch(r);
    }

private:
    using Op = HeadsetRequest::Op;

    int Dispatch(const HeadsetRequest& r) {
        switch (r.op) {
            case Op::Show:
                return Show();
            case Op::Light:
                return Light(r.light);
            case Op::Eq:
                return Equaliser(headset_.SelectEqPreset(r.value));
            case Op::EqCustom:
                return SaveCurve(r.name, r.bands);
            case Op::EqDelete:
                return DeleteCurve(r.name);
            case Op::Mic:
                return Sound(headset_.SetMicLevel(r.value), SoundFeature::MicLevel);
            case Op::MicMute:
                return Sound(headset_.SetMicMuted(r.on), SoundFeature::MicMute);
            case Op::Monitor:
                return Sound(headset_.SetMonitorLevel(r.value), SoundFeature::MonitorLevel);
            case Op::MonitorMute:
                return Sound(headset_.SetMonitorMuted(r.on), SoundFeature::MonitorMute);
            case Op::Voice:
                return Sound(headset_.SetVoiceChanger(r.on), SoundFeature::VoiceChanger);
            case Op::VoiceEffect:
                return Sound(headset_.SetVoiceEffect(r.value), SoundFeature::VoiceChanger);
        }
        return kExitFailed;
    }

    int Show() {
        LitRecord record{};
        int active = 0;
        if (const int r = ReadLitRecord(headset_, record, active); r != kResultOk)
            return Fail(ResultText(r));
        out_ << "profile " << active << '\n' << LitLightLine(headset_, record);
        const HeadsetSoundView view = headset_.SoundView();
        out_ << MicLines(view) << EqLines(view);
        for (std::size_t i = 0; i < view.customNames.size(); ++i) {
            out_ << "curve " << i
                 << Bands(headset_.Profile().ReadCustomEqValues(static_cast<int>(i))) << ' '
                 << view.customNames[i] << '\n';
        }
        out_ << VoiceLine(view);
        const std::string reason = headset_.SoundUnavailableReason();
        for (const auto& [feature, name] : kFeatureNames) {
            if (!headset_.Available(feature))
                out_ << "not available on this system: " << name
                     << (reason.empty() ? "" : " (" + reason + ")") << '\n';
        }
        return kExitOk;
    }

    int Light(const LightRequest& request) {
        std::string line, error;
        if (!ChangeLitLight(headset_, request, "headset", line, error))
            return Fail(error);
        out_ << line;
        return kExitOk;
    }

    // An equaliser curve under `name`: overwritten when one is named so, else added; then
    // it plays.
    int SaveCurve(const std::string& name, const EqBands& bands) {
        const int existing = headset_.FindCustomEq(name);
        const OpResult saved = existing >= 0 ? headset_.SaveCustomEq("", existing, bands)
                                             : headset_.SaveCustomEq(name, -1, bands);
        if (!saved.Ok())
            return Fail(Explain(saved, SoundFeature::Equaliser));
        return Equaliser(headset_.SelectEqPreset(kEqCustom, headset_.FindCustomEq(name)));
    }

    int DeleteCurve(const std::string& name) {
        const int index = headset_.FindCustomEq(name);
        if (index < 0)
            return Fail("there is no equaliser curve named " + name);
        return Equaliser(headset_.DeleteCustomEq(index));
    }

    int Equaliser(const OpResult& result) {
        if (!result.Ok())
            return Fail(Explain(result, SoundFeature::Equaliser));
        out_ << EqLines(headset_.SoundView());
        Note(SoundFeature::Equaliser);
        return kExitOk;
    }

    int Sound(const OpResult& result, SoundFeature feature) {
        if (!result.Ok())
            return Fail(Explain(result, feature));
        const HeadsetSoundView view = headset_.SoundView();
        out_ << (feature == SoundFeature::VoiceChanger ? VoiceLine(view) : MicLines(view));
        if (feature == SoundFeature::VoiceChanger)
            Note(feature);
        return kExitOk;
    }

    // The equaliser and voice settings are stored even where the sound device lacks them.
    void Note(SoundFeature feature) {
        if (!headset_.Available(feature))
            out_ << "note: the " << FeatureName(feature)
                 << " is kept in the profile only: not available on this system\n";
    }

    static std::string MicLines(const HeadsetSoundView& v) {
        return "mic " + std::to_string(v.stages.micInValue) + ' ' +
               OnOff(v.stages.micInSelect != 0) + "\nmonitor " +
               std::to_string(v.stages.micMoniterValue) + ' ' +
               OnOff(v.stages.micMoniterSelect != 0) + '\n';
    }

    static std::string EqLines(const HeadsetSoundView& v) {
        std::string line = "equaliser ";
        if (v.stages.eqType != kEqCustom)
            line += std::to_string(v.stages.eqType);
        else if (v.customShown >= 0 && v.customShown < static_cast<int>(v.customNames.size()))
            line += "custom " + v.customNames[static_cast<std::size_t>(v.customShown)];
        else
            line += "custom";
        return line + "\nbands" + Bands({v.bands.begin(), v.bands.end()}) + '\n';
    }

    static std::string VoiceLine(const HeadsetSoundView& v) {
        return "voice " + OnOff(v.stages.magicEnable != 0) + " effect " +
               std::to_string(v.stages.magicType) + '\n';
    }

    std::string Explain(const OpResult& r, SoundFeature feature) const {
        if (std::string shared = ExplainShared(r, headset_, "headset"); !shared.empty())
            return shared;
        if (r.messageKey == kMsgNameTaken)
            return "another equaliser curve has that name";
        if (r.messageKey == kMsgSoundUnavailable) {
            const std::string reason = headset_.SoundUnavailableReason();
            return std::string(FeatureName(feature)) + " is not available on this system" +
                   (reason.empty() ? "" : ": " + reason);
        }
        if (r.messageKey == kMsgSoundWriteFailed)
            return "the sound device did not take the change";
        if (r.code == kResultRefused && r.messageKey.empty() && r.detail == kMaxCustomEqs)
            return "there are already " + std::to_string(kMaxCustomEqs) + " equaliser curves";
        if (r.code == kResultRefused)
            return r.messageKey.empty() ? "refused" : "refused (" + r.messageKey + ")";
        return ResultText(r.code);
    }

    int Fail(const std::string& text) {
        err_ << "morvactl: headset: " << text << '\n';
        return kExitFailed;
    }

    const HeadsetEnvironment& env_;
    std::ostream& out_;
    std::ostream& err_;
    CTessaronVU6533Device headset_;
};

bool ParseOnOff(const std::string& text, bool& on) {
    if (text != "on" && text != "off")
        return false;
    on = text == "on";
    return true;
}

}  // namespace

const char* HeadsetCommandUsage() {
    return R"(  headset show               the headset's on-board profile and its record's light,
                             then its sound: "mic L on|off", "monitor L on|off" (off:
                             muted), "equaliser N|custom [NAME]", "bands G1..G10", "curve I
                             G1..G10 NAME" per saved curve, "voice on|off effect E", and
                             "not available on this system: FEATURE" for each the sound
                             device lacks
  headset light MODE [options]
                             as pad light
  headset eq PRESET          equaliser preset 1..12
  headset eq-custom NAME G1 .. G10
                             saves ten band gains (-20..20) as curve NAME (replacing the
                             curve of that name, ignoring case) and plays it
  headset eq-delete NAME     deletes curve NAME
  headset mic LEVEL          microphone level 0..100
  headset mic-mute on|off
  headset monitor LEVEL      microphone monitor level 0..100
  headset monitor-mute on|off
  headset voice on|off       the voice changer
  headset voice-effect N     voice changer effect 1..4
                             The equaliser and voice settings are kept in the profile even
                             where the sound device lacks them (a note says so)
)";
}

bool ParseHeadsetCommand(const std::vector<std::string>& words, HeadsetRequest& request,
                         std::string& error) {
    const std::string verb = words.empty() ? std::string() : words[0];
    const std::size_t args = words.empty() ? 0 : words.size() - 1;
    const auto number = [&](int min, int max, const char* what) {
        if (args == 1 && ParseNumber(words[1], min, max, request.value))
            return true;
        error = "headset " + verb + " takes " + what + ' ' + std::to_string(min) + ".." +
                std::to_string(max);
        return false;
    };
    const auto onOff = [&] {
        if (args == 1 && ParseOnOff(words[1], request.on))
            return true;
        error = "headset " + verb + " takes on or off";
        return false;
    };
    using Op = HeadsetRequest::Op;
    request = HeadsetRequest{};
    if (verb == "show" && args == 0) {
        request.op = Op::Show;
        return true;
    }
    if (verb == "light" && args >= 1) {
        request.op = Op::Light;
        return ParseLightRequest(words, "headset", request.light, error);
    }
    if (verb == "eq") {
        request.op = Op::Eq;
        return number(1, kEqPresetCount, "a PRESET");
    }
    if (verb == "eq-custom") {
        request.op = Op::EqCustom;
        bool ok = args == 1 + kEqBandCount && !words[1].empty();
        for (int i = 0; ok && i < kEqBandCount; ++i) {
            ok = ParseNumber(words[static_cast<std::size_t>(i) + 2], -kEqGainMax, kEqGainMax,
                             request.bands[static_cast<std::size_t>(i)]);
        }
        if (!ok) {
            error = "headset eq-custom takes a NAME and ten gains -20..20";
            return false;
        }
        request.name = words[1];
        return true;
    }
    if (verb == "eq-delete") {
        request.op = Op::EqDelete;
        if (args != 1 || words[1].empty()) {
            error = "headset eq-delete takes a NAME";
            return false;
        }
        request.name = words[1];
        return true;
    }
    if (verb == "mic" || verb == "monitor") {
        request.op = verb == "mic" ? Op::Mic : Op::Monitor;
        return number(0, 100, "a LEVEL");
    }
    if (verb == "mic-mute" || verb == "monitor-mute" || verb == "voice") {
        request.op = verb == "mic-mute" ? Op::MicMute
                     : verb == "voice"  ? Op::Voice
                                        : Op::MonitorMute;
        return onOff();
    }
    if (verb == "voice-effect") {
        request.op = Op::VoiceEffect;
        return number(1, kVoiceEffects, "an EFFECT");
    }
    error =
        "headset takes show, light, eq, eq-custom, eq-delete, mic, mic-mute, monitor, "
        "monitor-mute, voice or voice-effect (see --help)";
    return false;
}

int RunHeadsetCommand(const HeadsetRequest& request, const HeadsetEnvironment& environment,
                      std::ostream& out, std::ostream& err) {
    return HeadsetSession(environment, out, err).Run(request);
}

}  // namespace morva::cli
