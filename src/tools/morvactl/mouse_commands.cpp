#include "tools/morvactl/mouse_commands.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "device/device_folders.h"
#include "device/device_tables.h"
#include "device/models/mouse_device.h"
#include "device/protocol/commands.h"
#include "device/protocol/macro_image.h"
#include "macro/macro_store.h"
#include "sim/sim_bus.h"
#include "tools/morvactl/cli_common.h"

namespace morva::cli {

namespace {

// Setting block layout (the same bytes the model writes).
constexpr std::size_t kReportRateByte = 11;
constexpr std::size_t kActiveStageByte = 12;
constexpr std::size_t kStageBase = 14;
constexpr std::size_t kStageSize = 9;
constexpr std::uint8_t kMacroType = 0x70;
constexpr std::uint8_t kMacroRepeatType = 0x71;

using SettingBlock = std::array<std::uint8_t, kMouseSettingReadSize>;

std::string HexCode(std::uint8_t a, std::uint8_t b, std::uint8_t c) {
    char text[8];
    std::snprintf(text, sizeof text, "%02x%02x%02x", a, b, c);
    return text;
}

bool IsMacro(const KeyCode& code) {
    return code.type == kMacroType || code.type == kMacroRepeatType;
}

class MouseSession {
public:
    MouseSession(const MouseEnvironment& env, std::ostream& out, std::ostream& err)
        : env_(env), out_(out), err_(err), mouse_(env.backend) {}

    int Run(const MouseRequest& r) {
        if (const int status = Connect(); status != kExitOk)
            return status;
        switch (r.op) {
            case MouseRequest::Op::Show:
                return Show();
            case MouseRequest::Op::Dpi:
                return Dpi(r.index, r.dpi);
            case MouseRequest::Op::Stage:
                return SelectStage(r.index);
            case MouseRequest::Op::Enable:
                return Enable(r.index, r.on);
            case MouseRequest::Op::Rate:
                return Rate(r.index);
            case MouseRequest::Op::Light:
                return Light(r.light);
            case MouseRequest::Op::Button:
                return Button(r.index, r.code);
            case MouseRequest::Op::Macros:
                return Macros();
            case MouseRequest::Op::Shoot:
                return Shoot(r.index, r.file);
        }
        return kExitUsage;
    }

private:
    // Sets the model up as the program's device page does, opens the link and reads the mouse.
    int Connect() {
        mouse_.SetScreenPixels(env_.screenWidth, env_.screenHeight);
        if (OpenModel(mouse_, kDeviceTypeMouse, "mouse", env_.backend, env_.dataDir,
                      env_.resourceFolder, err_) != kExitOk) {
            return kExitFailed;
        }
        CDeviceChannel& channel = mouse_.CommandChannel();
        mouse_.ReadFromDevice();
        // Only the program's preview needs the light thread.
        mouse_.StopLightThread();
        const auto info = mouse_.Info();
        if (std::all_of(info.begin(), info.end(), [](std::uint8_t b) { return b == 0; })) {
            return Fail(channel.ViaReceiver() && !CmdQueryWireless(channel)
                            ? ResultText(kResultUnreachable)
                            : "reading the information block and key table failed");
        }
        return kExitOk;
    }

    int Show() {
        SettingBlock block{};
        std::uint8_t active = 0;
        if (const int r = ReadSetting(&active, 1, 0); r != kResultOk)
            return Fail(ResultText(r));
        if (const int r = ReadSetting(block.data(), block.size(), Base(active)); r != kResultOk)
            return Fail(ResultText(r));
        const MouseSensor sensor = mouse_.Sensor();
        char id[8];
        std::snprintf(id, sizeof id, "%04x", sensor.id);
        out_ << "sensor " << id << " dpi " << sensor.DpiOfSliderValue(0) << '-'
             << sensor.DpiOfSliderValue(sensor.maxSlider) << '\n'
             << "macro capacity " << MacroCapacity() << " bytes\n"
             << "profile " << int{active} << '\n';
        for (int i = 0; i < kMouseDpiStages; ++i)
            out_ << StageLine(block, i);
        out_ << RateLine(block) << LightLine(block);
        // The mouse cannot report its active key table: the assignments are the profile's.
        const std::vector<KeyListEntry> keys = mouse_.KeyList();
        for (int j = 0; j < kMouseButtons; ++j) {
            const KeyCode code = static_cast<std::size_t>(j) < keys.size()
                                     ? keys[static_cast<std::size_t>(j)].assignment.code
                                     : KeyCode{};
            out_ << ButtonLine(j, HexCode(code.type, code.value1, code.value2));
        }
        return kExitOk;
    }

    int Dpi(int stage, int dpi) {
        return Change(mouse_.ChangeStageDpiValue(stage, dpi),
                      [&](const SettingBlock& block) { out_ << StageLine(block, stage); });
    }

    int SelectStage(int stage) {
        return Change(mouse_.ChangeActiveStage(stage),
                      [&](const SettingBlock& block) { out_ << StageLine(block, stage); });
    }

    int Enable(int stage, bool on) {
        return Change(mouse_.ChangeStageEnabled(stage, on),
                      [&](const SettingBlock& block) { out_ << StageLine(block, stage); });
    }

    int Rate(int option) {
        return Change(mouse_.ChangeReportRate(option),
                      [&](const SettingBlock& block) { out_ << RateLine(block); });
    }

    int Light(const LightRequest& request) {
        return Change(
            mouse_.ChangeLight(AppliedLight(mouse_.Profile().CurrentLightInfo(), request), true),
            [&](const SettingBlock& block) { out_ << LightLine(block); });
    }

    int Button(int button, const KeyCode& code) {
        std::vector<KeyListEntry> keys = mouse_.KeyList();
        KeyListEntry entry = static_cast<std::size_t>(button) < keys.size()
                                 ? keys[static_cast<std::size_t>(button)]
                                 : KeyListEntry{};
        entry.assignment.code = code;
        if (const OpResult r =
                mouse_.AssignKey(button, entry, CTessaronUSBDevice::KeySend::MacrosAndKeyTable);
            !r.Ok()) {
            return Fail(Explain(r));
        }
        const int position = mouse_.ButtonPosition(button);
        if (env_.simBus == nullptr) {
            // No command reads the active key table back from a real mouse.
            out_ << ButtonLine(button, HexCode(code.type, code.value1, code.value2), " unverified");
            return kExitOk;
        }
        const std::vector<std::uint8_t> held =
            env_.simBus->Firmware(sim::Product::Mouse)
                .ReadArea(sim::Area::KeyTable, static_cast<std::size_t>(3 * position), 3);
        if (held.size() != 3)
            return Fail("the key table cannot be read back");
        // A macro is stored under its download slot, not its list number.
        if (held[0] != code.type || (!IsMacro(code) && KeyCode{held[0], held[1], held[2]} != code))
            return Fail("the mouse did not keep the assignment");
        out_ << ButtonLine(button, HexCode(held[0], held[1], held[2]));
        return kExitOk;
    }

    int Macros() {
        std::string problem;
        const int status = WriteUsedMacros(mouse_, "mouse", out_, problem);
        return status == kExitOk ? status : Fail(problem);
    }

    // The program's import and save, then the mouse's shoot memory read back where it can be.
    int Shoot(int pattern, const std::string& file) {
        // As the program does when it builds the mouse page: the other three are sent too.
        mouse_.RestoreShootPatterns();
        if (const OpResult r = mouse_.ImportShootPattern(pattern, file); !r.Ok())
            return Fail(Explain(r));
        if (const OpResult r = mouse_.SendShootPatterns(); !r.Ok())
            return Fail(Explain(r));
        const std::optional<std::vector<std::uint8_t>> image =
            BuildShootImage(mouse_.GetUserDataFolder());
        if (!image)
            return Fail("the recoil patterns changed while they were sent");
        std::size_t bullets = 0;
        for (const ShootBullet& b : mouse_.ShootPattern(pattern))
            bullets += b.x != 0 || b.y != 0 || b.delay != 0;
        const char* suffix = " unverified";
        if (env_.simBus != nullptr) {
            const std::vector<std::uint8_t> held =
                env_.simBus->Firmware(sim::Product::Mouse)
                    .ReadArea(sim::Area::Shoot, 0, image->size());
            if (held != *image)
                return Fail("the mouse did not keep the recoil patterns");
            suffix = "";
        }
        out_ << "shoot " << pattern << " bullets " << bullets << " image " << image->size()
             << " bytes" << suffix << '\n';
        return kExitOk;
    }

    // What an operation came to, in words: the result, else the setting block read back
    // from the mouse and checked against what the model wrote.
    template <typename Print>
    int Change(const OpResult& result, Print print) {
        if (!result.Ok())
            return Fail(Explain(result));
        SettingBlock block{};
        if (const int r = ReadSetting(block.data(), block.size(), Base(0)); r != kResultOk)
            return Fail(ResultText(r));
        const SettingBlock written = mouse_.SettingCopy();
        if (!std::equal(written.begin(), written.begin() + kMouseSettingWriteSize, block.begin()))
            return Fail("the mouse did not keep the new settings");
        print(block);
        return kExitOk;
    }

    // A read needs no begin and end: those frame what the mouse is to store (the model reads
    // the active profile the same way).
    int ReadSetting(std::uint8_t* bytes, std::size_t length, std::uint16_t base) {
        CDeviceChannel& channel = mouse_.CommandChannel();
        if (channel.ViaReceiver() && !CmdQueryWireless(channel))
            return kResultUnreachable;
        return CmdReadSetting(channel, bytes, length, base);
    }

    static std::uint16_t Base(int profile) { return static_cast<std::uint16_t>(profile * 128); }

    std::size_t MacroCapacity() const { return mouse_.Info()[6] * 128u; }

    std::string StageLine(const SettingBlock& block, int stage) const {
        const std::size_t at = kStageBase + kStageSize * static_cast<std::size_t>(stage);
        const MouseSensor sensor = mouse_.Sensor();
        const int x = sensor.DpiOfSliderValue(block[at + 2] | block[at + 3] << 8);
        const int y = sensor.DpiOfSliderValue(block[at + 4] | block[at + 5] << 8);
        std::string line = "stage " + std::to_string(stage) + (block[at] ? " on" : " off") +
                           " dpi " + std::to_string(x);
        if (y != x)
            line += "/" + std::to_string(y);
        line += " colour " + HexCode(block[at + 6], block[at + 7], block[at + 8]);
        if (block[kActiveStageByte] == stage)
            line += " active";
        return line + '\n';
    }

    static std::string RateLine(const SettingBlock& block) {
        return "rate " + std::to_string(block[kReportRateByte]) + '\n';
    }

    std::string LightLine(const SettingBlock& block) const {
        const int mode = mouse_.LightModeOfCode(block[1]);
        const std::vector<std::string>& names = mouse_.DefaultData().lightModeNames;
        std::string line = "light ";
        if (mode < 0)
            line += "? code " + std::to_string(block[1]);
        else
            line += std::to_string(mode) + ' ' +
                    (static_cast<std::size_t>(mode) < names.size() ? names[mode] : "-");
        line += " brightness " + std::to_string(block[2]) + " speed " +
                std::to_string(kLightLevelMax - std::min<int>(block[3], kLightLevelMax)) +
                " direction " + std::to_string(block[4]) + " colour " +
                HexCode(block[6], block[7], block[8]);
        if (block[5] != 0)
            line += " multicolour";
        return line + '\n';
    }

    std::string ButtonLine(int button, const std::string& code, const char* suffix = "") const {
        const int position = mouse_.ButtonPosition(button);
        return "button " + std::to_string(button) + ' ' + code + " position " +
               (position == kNoKeyPosition ? std::string("none") : std::to_string(position)) +
               suffix + '\n';
    }

    // The operations' messages as the command line says them.
    std::string Explain(const OpResult& r) const {
        if (std::string shared = ExplainShared(r, mouse_, "mouse"); !shared.empty())
            return shared;
        const std::string n = std::to_string(r.detail);
        const std::string& key = r.messageKey;
        if (key == kMsgStageIsActive)
            return "stage " + n + " is the active one: select another stage first";
        if (key == kMsgLastStageOn)
            return "stage " + n + " is the last one switched on: it cannot be switched off";
        if (key == kMsgStageIsOff)
            return "stage " + n + " is switched off: enable it first";
        if (key == kMsgUnknownLightMode)
            return "light mode " + n + " is not offered by this mouse";
        if (key == kMsgButtonWithoutKey)
            return "button " + n + " has no key on this mouse";
        if (key == kMsgLastLeftButton)
            return "button " + n + " is the last left button: it keeps its function";
        if (key == kMsgNotSupported)
            return "the mouse has not been read (no DPI scale)";
        if (key == kMsgShootFileUnreadable)
            return "the file cannot be read as a recoil pattern; nothing was changed";
        if (key == kMsgShootImageTooLarge)
            return "the recoil patterns are too long for the mouse's image; nothing was sent";
        if (r.code == kResultRefused)
            return "refused (" + key + ")";
        return ResultText(r.code);
    }

    int Fail(const std::string& text) {
        err_ << "morvactl: mouse: " << text << '\n';
        return kExitFailed;
    }

    const MouseEnvironment& env_;
    std::ostream& out_;
    std::ostream& err_;
    CTessaronMouseDevice mouse_;
};

}  // namespace

const char* MouseCommandUsage() {
    return R"(  mouse show                 the mouse's sensor, DPI range, macro capacity, active
                             profile, DPI stages, report rate, light mode and buttons
  mouse dpi STAGE VALUE      set stage STAGE (0..4) to VALUE DPI (raised to the minimum,
                             lowered to the maximum, down to the sensor's step)
  mouse stage N              make stage N (0..4) the active one; it must be switched on
  mouse enable STAGE on|off  switch a stage on or off (neither the active one nor the
                             last one left on can be switched off)
  mouse rate N               report rate option N (0..4)
  mouse light MODE [--brightness B] [--speed S] [--direction D] [--color RRGGBB]
                   [--multicolor]
                             light mode MODE (0..9; 10 and up a custom effect, which the
                             program plays while the mouse keeps mode 0); B and S 0..4, D
                             0..1; --color means one colour unless --multicolor is given
  mouse button N CODE        assign CODE (six hex digits: type, value 1, value 2, e.g.
                             30CD00 play/pause) to on-screen button N (0..10)
  mouse macros               write the macros the buttons use; prints their count and
                             the image size against the capacity
  mouse shoot N FILE         recoil pattern N (0..3) becomes a copy of FILE, then all four
                             are written to the mouse; prints the bullets that move or
                             pause and the image size
)";
}

bool ParseMouseCommand(const std::vector<std::string>& words, MouseRequest& request,
                       std::string& error) {
    using Op = MouseRequest::Op;
    const std::string verb = words.empty() ? std::string() : words[0];
    const std::size_t n = words.size();
    MouseRequest r;
    if (verb == "show" && n == 1) {
        r.op = Op::Show;
    } else if (verb == "macros" && n == 1) {
        r.op = Op::Macros;
    } else if (verb == "dpi" && n == 3) {
        r.op = Op::Dpi;
        if (!ParseNumber(words[1], 0, kMouseDpiStages - 1, r.index) ||
            !ParseNumber(words[2], 1, 0xFFFF, r.dpi)) {
            error = "mouse dpi takes STAGE 0..4 and a DPI value";
            return false;
        }
    } else if (verb == "stage" && n == 2) {
        r.op = Op::Stage;
        if (!ParseNumber(words[1], 0, kMouseDpiStages - 1, r.index)) {
            error = "mouse stage takes 0..4";
            return false;
        }
    } else if (verb == "enable" && n == 3) {
        r.op = Op::Enable;
        r.on = words[2] == "on";
        if (!ParseNumber(words[1], 0, kMouseDpiStages - 1, r.index) ||
            (words[2] != "on" && words[2] != "off")) {
            error = "mouse enable takes STAGE 0..4 and on or off";
            return false;
        }
    } else if (verb == "rate" && n == 2) {
        r.op = Op::Rate;
        if (!ParseNumber(words[1], 0, 4, r.index)) {
            error = "mouse rate takes an option 0..4";
            return false;
        }
    } else if (verb == "light" && n >= 2) {
        r.op = Op::Light;
        if (!ParseLightRequest(words, "mouse", r.light, error))
            return false;
    } else if (verb == "shoot" && n == 3) {
        r.op = Op::Shoot;
        r.file = words[2];
        if (!ParseNumber(words[1], 0, kShootWeapons - 1, r.index) || r.file.empty()) {
            error = "mouse shoot takes a pattern 0..3 and a file";
            return false;
        }
    } else if (verb == "button" && n == 3) {
        r.op = Op::Button;
        std::array<std::uint8_t, 3> code{};
        if (!ParseNumber(words[1], 0, kMouseButtons - 1, r.index) ||
            !ParseThreeBytes(words[2], code)) {
            error = "mouse button takes N 0..10 and CODE as six hex digits (e.g. 30CD00)";
            return false;
        }
        r.code = {code[0], code[1], code[2]};
    } else {
        error =
            "mouse takes show, dpi, stage, enable, rate, light, button, macros or shoot (see "
            "--help)";
        return false;
    }
    request = r;
    return true;
}

int RunMouseCommand(const MouseRequest& request, const MouseEnvironment& environment,
                    std::ostream& out, std::ostream& err) {
    return MouseSession(environment, out, err).Run(request);
}

}  // namespace morva::cli
