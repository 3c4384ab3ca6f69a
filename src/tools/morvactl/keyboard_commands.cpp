#include "tools/morvactl/keyboard_commands.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>

#include "device/device_folders.h"
#include "device/device_tables.h"
#include "device/models/keyboard_device.h"
#include "device/protocol/commands.h"
#include "device/protocol/macro_image.h"
#include "macro/macro_store.h"
#include "sim/sim_bus.h"
#include "tools/morvactl/cli_common.h"

namespace morva::cli {

namespace {

bool ParseCode(const std::string& text, KeyCode& code) {
    std::array<std::uint8_t, 3> bytes{};
    if (!ParseThreeBytes(text, bytes))
        return false;
    code = {bytes[0], bytes[1], bytes[2]};
    return true;
}

std::string HexCode(std::uint8_t a, std::uint8_t b, std::uint8_t c) {
    char text[8];
    std::snprintf(text, sizeof text, "%02x%02x%02x", a, b, c);
    return text;
}

std::string HexCode(const KeyCode& c) {
    return HexCode(c.type, c.value1, c.value2);
}

bool IsMacro(const KeyCode& code) {
    return code.type == 0x70 || code.type == 0x71;
}

const char* OnOff(std::uint8_t v) {
    return v != 0 ? "on" : "off";
}

class KeyboardSession {
public:
    KeyboardSession(const KeyboardEnvironment& env, std::ostream& out, std::ostream& err)
        : env_(env), out_(out), err_(err), kb_(env.backend) {}

    int Run(const KeyboardRequest& r) {
        if (const int status = Connect(); status != kExitOk)
            return status;
        using Op = KeyboardRequest::Op;
        switch (r.op) {
            case Op::Show:
                return Show();
            case Op::Rate:
                return Record(kb_.ChangePollingRate(r.value), krec::kPollingRate, "rate");
            case Op::WinLock:
                return Record(kb_.ChangeWinLock(r.on), krec::kWinLock, "winlock");
            case Op::WFlag:
                return Record(kb_.ChangeWFlag(r.on), krec::kWFlag, "wflag");
            case Op::Rollover:
                return Record(kb_.ChangeRollover(r.on), krec::kRollover, "rollover");
            case Op::Debounce:
                return Record(kb_.ChangeDebounce(r.value), krec::kDebounce, "debounce");
            case Op::Light:
                return Light(r.light);
            case Op::Repeat:
            case Op::Delay:
                return ProfileOnly(r.op == Op::Repeat ? kb_.ChangeRepeatRate(r.value)
                                                      : kb_.ChangeRepeatDelay(r.value));
            case Op::Key:
                return Key(r.value, r.code, r.fnLayer);
            case Op::Macros:
                return Macros();
        }
        return kExitUsage;
    }

private:
    int Connect() {
        if (OpenModel(kb_, kDeviceTypeKeyboard, "keyboard", env_.backend, env_.dataDir,
                      env_.resourceFolder, err_) != kExitOk) {
            return kExitFailed;
        }
        kb_.ReadFromDevice();
        kb_.StopLightThread();
        if (kb_.KeyPositions() == 0) {
            CDeviceChannel& channel = kb_.CommandChannel();
            return Fail(channel.ViaReceiver() && !CmdQueryWireless(channel)
                            ? ResultText(kResultUnreachable)
                            : "reading the information block and key tables failed");
        }
        return kExitOk;
    }

    // The record of the profile the keyboard is using, read back.
    int ReadRecord(KeyboardRecord& record) {
        CDeviceChannel& channel = kb_.CommandChannel();
        if (channel.ViaReceiver() && !CmdQueryWireless(channel))
            return kResultUnreachable;
        // Reads need no begin and end, which frame what the keyboard is to store.
        std::uint8_t active = 0;
        int result = CmdReadSetting(channel, &active, 1, 0);
        if (result == kResultOk)
            result = CmdReadSetting(channel, record.data(), record.size(),
                                    static_cast<std::uint16_t>(active * kKeyboardRecordSize));
        return result;
    }

    int Show() {
        KeyboardRecord record{};
        if (const int r = ReadRecord(record); r != kResultOk)
            return Fail(ResultText(r));
        out_ << "keys " << kb_.KeyPositions() << " macro capacity " << MacroCapacity() << " bytes\n"
             << "profile " << kb_.ActiveProfile() << '\n';
        PrintRecord(record);
        PrintProfileValues();
        const std::vector<KeyListEntry> keys = kb_.KeyList();
        for (int j = 0; j < kKeyboardUiKeys; ++j) {
            if (kb_.KeyPosition(j) != kKeyAbsent)
                out_ << KeyLine(j, keys[static_cast<std::size_t>(j)]);
        }
        return kExitOk;
    }

    void PrintRecord(const KeyboardRecord& r) {
        out_ << LightLine(r) << "rate " << int{r[krec::kPollingRate]} << '\n'
             << "winlock " << OnOff(r[krec::kWinLock]) << '\n'
             << "wflag " << OnOff(r[krec::kWFlag]) << '\n'
             << "rollover " << OnOff(r[krec::kRollover]) << '\n'
             << "debounce " << int{r[krec::kDebounce]} << '\n';
    }

    void PrintProfileValues() {
        const KeyboardSystemStages s = kb_.GetSystemStages();
        out_ << "repeat " << s.repeat << '\n'
             << "delay " << s.repeatDelay << ' ' << RepeatDelayMs(s.repeatDelay) << " ms\n";
    }

    std::string KeyLine(int key, const KeyListEntry& e) const {
        return "key " + std::to_string(key) + ' ' + HexCode(e.assignment.code) + " fn " +
               HexCode(e.fnAssignment.code) + " position " + std::to_string(kb_.KeyPosition(key)) +
               '\n';
    }

    std::string LightLine(const KeyboardRecord& r) {
        const std::uint8_t code = r[krec::kMode];
        int mode = kb_.LightModeOfCode(code);
        // The modes the program plays share one code: which one it is the profile says.
        if (const int chosen = kb_.Profile().CurrentLightInfo().selectItem;
            mode < 0 && kb_.LightModeCode(chosen) == code) {
            mode = chosen;
        }
        const std::vector<std::string>& names = kb_.DefaultData().lightModeNames;
        std::string line = "light ";
        if (mode < 0)
            line += "? code " + std::to_string(code);
        else
            line += std::to_string(mode) + ' ' +
                    (static_cast<std::size_t>(mode) < names.size() ? names[mode] : "-");
        line += " brightness " + std::to_string(r[krec::kBrightness]) + " speed " +
                std::to_string(kLightLevelMax - std::min<int>(r[krec::kSpeed], kLightLevelMax)) +
                " direction " + std::to_string(r[krec::kDirection]) + " colour " +
                HexCode(r[krec::kRed], r[krec::kGreen], r[krec::kBlue]);
        if (r[krec::kMultiColour] != 0)
            line += " multicolour";
        return line + '\n';
    }

    // A record change: the keyboard must hold exactly what the model wrote.
    template <typename Print>
    int Change(const OpResult& result, Print print) {
        if (!result.Ok())
            return Fail(Explain(result));
        KeyboardRecord held{};
        if (const int r = ReadRecord(held); r != kResultOk)
            return Fail(ResultText(r));
        if (held != kb_.RecordCopy())
            return Fail("the keyboard did not keep the new settings");
        print(held);
        return kExitOk;
    }

    int Record(const OpResult& result, std::size_t byte, const char* name) {
        return Change(result, [&](const KeyboardRecord& held) {
            const std::uint8_t v = held[byte];
            const bool flag = byte != krec::kPollingRate && byte != krec::kDebounce;
            out_ << name << ' ' << (flag ? std::string(OnOff(v)) : std::to_string(v)) << '\n';
        });
    }

    int Light(const LightRequest& request) {
        return Change(
            kb_.ChangeLight(AppliedLight(kb_.Profile().CurrentLightInfo(), request), true),
            [&](const KeyboardRecord& held) { out_ << LightLine(held); });
    }

    int ProfileOnly(const OpResult& result) {
        if (!result.Ok())
            return Fail(Explain(result));
        PrintProfileValues();
        return kExitOk;
    }

    int Key(int key, const KeyCode& code, bool fnLayer) {
        const OpResult r =
            kb_.AssignKeyCode(key, code, fnLayer, CTessaronUSBDevice::KeySend::MacrosAndKeyTable);
        if (!r.Ok())
            return Fail(Explain(r));
        const KeyListEntry entry = kb_.KeyList()[static_cast<std::size_t>(key)];
        if (env_.simBus == nullptr) {
            // A real keyboard cannot report its key tables.
            std::string line = KeyLine(key, entry);
            line.insert(line.size() - 1, " unverified");
            out_ << line;
            return kExitOk;
        }
        const auto at = static_cast<std::size_t>(3 * kb_.KeyPosition(key));
        const std::vector<std::uint8_t> held =
            env_.simBus->Firmware(sim::Product::Keyboard)
                .ReadArea(fnLayer ? sim::Area::FnKeyTable : sim::Area::KeyTable, at, 3);
        if (held.size() != 3)
            return Fail("the key table cannot be read back");
        const KeyCode kept{held[0], held[1], held[2]};
        // The Fn table says 000000 for a key that does what its factory code does; a macro
        // is stored under its slot, not its list number.
        const bool factoryFn = fnLayer && code == KeyboardFactoryCode(key) && kept == KeyCode{};
        if (!factoryFn && (kept.type != code.type || (!IsMacro(code) && kept != code)))
            return Fail("the keyboard did not keep the assignment");
        out_ << "key " << key << (fnLayer ? " fn " : " ") << HexCode(kept) << " position "
             << kb_.KeyPosition(key) << '\n';
        return kExitOk;
    }

    int Macros() {
        std::string problem;
        const int status = WriteUsedMacros(kb_, "keyboard", out_, problem);
        return status == kExitOk ? status : Fail(problem);
    }

    std::size_t MacroCapacity() const { return kb_.Info()[6] * 128u; }

    std::string Explain(const OpResult& r) const {
        if (std::string shared = ExplainShared(r, kb_, "keyboard"); !shared.empty())
            return shared;
        const std::string n = std::to_string(r.detail);
        const std::string& key = r.messageKey;
        if (key == kMsgUnknownLightMode)
            return "light mode " + n + " is not offered by this keyboard";
        if (key == kMsgButtonWithoutKey)
            return "key " + n + " is not on this keyboard";
        if (key == kMsgKeyKeptByKeyboard)
            return "key " + n + " is kept by the keyboard on this layer";
        if (key == kMsgMacroKeysReset)
            return "the macros could not be written; the keys bound to them keep their factory "
                   "function";
        if (r.code == kResultRefused)
            return "refused (" + key + ")";
        return ResultText(r.code);
    }

    int Fail(const std::string& text) {
        err_ << "morvactl: keyboard: " << text << '\n';
        return kExitFailed;
    }

    const KeyboardEnvironment& env_;
    std::ostream& out_;
    std::ostream& err_;
    CTessaronKeyboardDevice kb_;
};

}  // namespace

const char* KeyboardCommandUsage() {
    return R"(  keyboard show              key count, macro capacity, active on-board profile, the
                             record's light mode and settings, repeat rate and delay, and
                             every key: "key N CODE fn CODE position P"
  keyboard rate N            polling rate option N (0..3: 125, 250, 500, 1000 Hz)
  keyboard repeat N          key repeat rate N (0..20; kept in the profile only)
  keyboard delay N           repeat delay option N (0..3: 250..1000 ms; profile only)
  keyboard winlock on|off    lock the Windows keys
  keyboard wflag on|off      the W flag of the setting record
  keyboard rollover on|off   6-key rollover
  keyboard debounce N        debounce step N (0..5, 3 ms each)
  keyboard light MODE [--brightness B] [--speed S] [--direction D] [--color RRGGBB]
                      [--multicolor]
                             light mode MODE: a preset the keyboard page lists (1..29), or
                             31 and up a custom effect; the program plays music (29) and
                             the custom effects. B and S 0..4, D 0..1; --color means one
                             colour unless --multicolor is given
  keyboard key UI CODE [--fn]
                             assign CODE (six hex digits, e.g. 30E900 volume up, 200106
                             Ctrl+C, 700000 macro 0) to on-screen key UI (0..125), on
                             the Fn layer with --fn
  keyboard macros            write the macros the keys use; prints their count and the
                             image size against the capacity
)";
}

bool ParseKeyboardCommand(const std::vector<std::string>& words, KeyboardRequest& request,
                          std::string& error) {
    using Op = KeyboardRequest::Op;
    const std::string verb = words.empty() ? std::string() : words[0];
    const std::size_t n = words.size();
    KeyboardRequest r;
    struct Numbered {
        const char* verb;
        Op op;
        int max;
    };
    static constexpr Numbered kNumbered[] = {
        {"rate", Op::Rate, kKeyboardPollingRates - 1},
        {"repeat", Op::Repeat, kKeyboardRepeatRateMax},
        {"delay", Op::Delay, kKeyboardRepeatDelays - 1},
        {"debounce", Op::Debounce, kKeyboardDebounceMax},
    };
    static constexpr std::pair<const char*, Op> kFlags[] = {
        {"winlock", Op::WinLock}, {"wflag", Op::WFlag}, {"rollover", Op::Rollover}};
    const auto numbered = std::find_if(std::begin(kNumbered), std::end(kNumbered),
                                       [&](const Numbered& e) { return verb == e.verb; });
    const auto flag = std::find_if(std::begin(kFlags), std::end(kFlags),
                                   [&](const auto& e) { return verb == e.first; });
    if ((verb == "show" || verb == "macros") && n == 1) {
        r.op = verb == "show" ? Op::Show : Op::Macros;
    } else if (numbered != std::end(kNumbered) && n == 2) {
        r.op = numbered->op;
        if (!ParseNumber(words[1], 0, numbered->max, r.value)) {
            error = "keyboard " + verb + " takes 0.." + std::to_string(numbered->max);
            return false;
        }
    } else if (flag != std::end(kFlags) && n == 2) {
        r.op = flag->second;
        r.on = words[1] == "on";
        if (words[1] != "on" && words[1] != "off") {
            error = "keyboard " + verb + " takes on or off";
            return false;
        }
    } else if (verb == "light" && n >= 2) {
        r.op = Op::Light;
        if (!ParseLightRequest(words, "keyboard", r.light, error))
            return false;
    } else if (verb == "key" && (n == 3 || (n == 4 && words[3] == "--fn"))) {
        r.op = Op::Key;
        r.fnLayer = n == 4;
        if (!ParseNumber(words[1], 0, kKeyboardUiKeys - 1, r.value) ||
            !ParseCode(words[2], r.code)) {
            error = "keyboard key takes UI 0..125 and CODE as six hex digits (e.g. 30E900)";
            return false;
        }
    } else {
        error =
            "keyboard takes show, rate, repeat, delay, winlock, wflag, rollover, debounce, "
            "light, key or macros (see --help)";
        return false;
    }
    request = r;
    return true;
}

int RunKeyboardCommand(const KeyboardRequest& request, const KeyboardEnvironment& environment,
                       std::ostream& out, std::ostream& err) {
    return KeyboardSession(environment, out, err).Run(request);
}

}  // namespace morva::cli
