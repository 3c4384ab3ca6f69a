#include "tools/morvactl/cli.h"

#include <cstdio>
#include <iomanip>
#include <memory>
#include <optional>
#include <sstream>
#include <string_view>

#include "base/debug_log.h"
#include "base/file_lock.h"
#include "base/install_paths.h"
#include "base/parse_int.h"
#include "device/device_folders.h"
#include "device/device_tables.h"
#include "device/hid/descriptor_dump.h"
#include "device/protocol/commands.h"
#include "platform/hidraw/hidraw_backend.h"
#include "sim/sim_bus.h"
#include "sim/sim_control.h"
#include "tools/morvactl/app_client.h"
#include "tools/morvactl/cli_common.h"
#include "tools/morvactl/device_names.h"
#include "tools/morvactl/headset_commands.h"
#include "tools/morvactl/interface_scan.h"
#include "tools/morvactl/keyboard_commands.h"
#include "tools/morvactl/macro_commands.h"
#include "tools/morvactl/mouse_commands.h"
#include "tools/morvactl/pad_commands.h"
#include "tools/morvactl/profile_commands.h"

namespace morva::cli {

namespace {

// How long a command waits for another one changing the data.
constexpr std::chrono::milliseconds kDataLockWait{30000};

const char* kHelpHead = R"(usage: morvactl [OPTIONS] COMMAND [ARGS]

Talks to the devices of the MORVA TR510 family without the desktop program.

Options:
  --simulate LIST     run on simulated devices instead of the HID bus; LIST names the
                      links plugged in, comma-separated: mouse, mouse-receiver, keyboard,
                      keyboard-receiver, pad, headset
  --sim-state FILE    keep the simulated devices' memory in FILE between runs
  --latency US|usb    with --simulate: each report spends US microseconds on the wire
                      (usb: 1000, as a full-speed USB device moves them), and the command
                      ends with a line on stderr: the time it took beside the reports sent
                      and the sequence ends waited for
  --trace             print every command report sent and received to stderr
  --data-dir DIR      the local application data folder the mouse and profile
                      commands keep the profiles in (under DIR/MORVA TR510 Device/
                      mouse/, keyboard/, MousePad/, HD/); default $XDG_DATA_HOME, else
                      ~/.local/share
  --screen WxH        the screen size the mouse commands send (default 1920x1080)
  --help              this text

Commands:
  list                       one line per supported interface found: path, vid:pid,
                             interface, collection, usage page:usage, role, device type
  info DEVICE                read the device information block (34 bytes, hex)
  send DEVICE CMD [LEN ADDR [HEX...]]
                             one raw command between begin and end; prints the answer
                             (a developer's tool: it can change what the device keeps)
  sim-dump DEVICE AREA       print a memory area of a simulated device, 16 bytes a line
                             (with --simulate); AREA: info, setting, keytable,
                             defaultkeytable, fnkeytable, lightindex, colours, macro,
                             shoot, status
  descriptor FILE            parse a raw HID report descriptor file and print its
                             top-level collections
  paths                      print the folders in use: "resources DIR" (the factory
                             data), "helper FILE" (the program's audio capture helper
                             beside this morvactl) and "data DIR" (the profiles)
)";

const char* kHelpApp =
    R"(  app status                 ask the running program which devices it sees, one line
                             each: KIND LINK connected|disconnected shown|hidden, and
                             "selected" for the one on screen
  app query                  print the running program's version and the interfaces it
                             looks for ("interface VID:PID INTERFACE", hex ids)
  app send MESSAGE [W [L]]   send one message to the running program (see the README's
                             message list), e.g. `app send Game_Start 0 3`
  app sim COMMAND [ARGS]     change the simulated devices of a program started with
                             --simulate, to watch hot-plug without hardware; prints
                             nothing when done. COMMAND is one of:
)";

const char* kHelpTail = R"(
Each mouse command prints what the mouse holds afterwards, one line per item: "stage N
on|off dpi D colour RRGGBB [active]", "rate N", "light N NAME brightness B speed S direction
D colour RRGGBB [multicolour]", "button N CODE position P" (with "unverified" on a real
mouse, which cannot report its key table) or "macros N image B of C bytes". Each keyboard
command does the same: "rate N", "winlock on|off", "debounce N", "light N NAME brightness
B …" as for the mouse, "key N [fn] CODE position P", … (repeat and delay come from the
profile). The resource folder holding the factory
profile is $MORVA_RES_DIR, else ../share/morva-tr510 beside morvactl, else (for a morvactl
in the build tree) the source tree's res/. Without --simulate the mouse, keyboard, pad, headset, macro and profile
commands refuse to run while the program runs: close it first, or use the app commands.

The app commands ignore --simulate: they talk to the running program over its socket,
$MORVA_SOCKET when set, else $XDG_RUNTIME_DIR/morva-tr510.sock.

DEVICE is one of: mouse, mouse-receiver, keyboard, keyboard-receiver, pad, headset.
Numbers (CMD, LEN, ADDR, HEX bytes) are hexadecimal.

Without --simulate the HID bus is used; a device that cannot be opened for lack of
permission needs the udev rule packaging/70-morva-tr510.rules (see README).
)";

struct RegisteredCommand {
    std::string name;
    ExtraCommand run;
    std::string help;
};

std::vector<RegisteredCommand>& Registered() {
    static std::vector<RegisteredCommand> commands;
    return commands;
}

const RegisteredCommand* FindRegistered(const std::string& name) {
    for (const RegisteredCommand& c : Registered()) {
        if (c.name == name)
            return &c;
    }
    return nullptr;
}

struct Options {
    bool simulate = false;
    std::vector<sim::Link> links;
    std::string simState;
    bool trace = false;
    std::optional<std::chrono::microseconds> latency;
    std::string dataDir;
    int screenWidth = 1920;
    int screenHeight = 1080;
    std::vector<std::string> command;
};

std::string HelpText() {
    std::string text = std::string(kHelpHead) + MouseCommandUsage() + KeyboardCommandUsage() +
                       PadCommandUsage() + HeadsetCommandUsage() + MacroCommandUsage() +
                       ProfileCommandUsage() + kHelpApp;
    std::istringstream usage(sim::SimCommandUsage());
    for (std::string line; std::getline(usage, line);)
        text += "      " + line + "\n";
    for (const RegisteredCommand& c : Registered())
        text += c.help;
    return text + kHelpTail;
}

bool ParseHexByte(std::string_view text, unsigned max, unsigned& value) {
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
        text.remove_prefix(2);
    const std::optional<long long> v = ParseInt(text, 0, max, 16);
    if (v)
        value = static_cast<unsigned>(*v);
    return v.has_value();
}

class Session {
public:
    Session(const Options& options, std::ostream& out, std::ostream& err)
        : options_(options), out_(out), err_(err) {
        if (options.simulate) {
            sim::SimBusOptions simOptions;
            simOptions.plugged = options.links;
            simOptions.stateFile = options.simState;
            simOptions.latency = options.latency.value_or(std::chrono::microseconds{0});
            auto bus = std::make_unique<sim::SimBus>(simOptions);
            simBus_ = bus.get();
            backend_ = std::move(bus);
        } else {
            backend_ = std::make_unique<hid::HidrawBackend>();
        }
    }

    int Run(const std::string& name, const std::vector<std::string>& rest,
            const MouseRequest& mouse, const KeyboardRequest& keyboard, const PadRequest& pad,
            const HeadsetRequest& headset, const ProfileRequest& profile,
            const MacroRequest& macro);

    // After a command on the simulated bus: the time it took beside the least the link
    // needed for it (every report's time on the wire and every sequence end's wait).
    void PrintLinkTime(std::chrono::steady_clock::duration took) const {
        if (simBus_ == nullptr)
            return;
        std::uint64_t reports = 0;
        int ends = 0;
        for (const sim::Link link : sim::kAllLinks) {
            const sim::SimBus::Traffic t = simBus_->LinkTraffic(link);
            reports += t.toDevice + t.toHost;
            for (const sim::Report& r : simBus_->ReceivedReports(link))
                ends += r[3] == cmd::kEnd ? 1 : 0;
        }
        const auto us = [](auto d) {
            return std::chrono::duration_cast<std::chrono::microseconds>(d).count();
        };
        const long long least = static_cast<long long>(reports) * options_.latency->count() +
                                ends * us(kSequenceEndWait);
        char line[160];
        std::snprintf(line, sizeof line,
                      "morvactl: %.1f ms; %llu reports and %d sequence end%s need %.1f ms\n",
                      us(took) / 1000.0, static_cast<unsigned long long>(reports), ends,
                      ends == 1 ? "" : "s", least / 1000.0);
        err_ << line;
    }

    int List() {
        const ScanResult scan = ScanSupportedInterfaces(*backend_);
        if (!scan.enumerated) {
            err_ << "morvactl: cannot list the HID devices\n";
            return kExitFailed;
        }
        for (const FoundInterface& f : scan.interfaces) {
            const SupportedInterface& row = SupportedInterfaces()[static_cast<std::size_t>(f.row)];
            char line[96];
            std::snprintf(line, sizeof line,
                          " %04x:%04x interface=%u collection=%u usage=%04x:%04x", f.info.vendorId,
                          f.info.productId, f.info.interfaceNumber, f.info.collectionNumber,
                          f.info.collection.usagePage, f.info.collection.usage);
            out_ << f.path << line << " role=" << (row.role == kRoleCommand ? "command" : "event")
                 << " type=" << row.deviceType << '(' << DeviceTypeName(row.deviceType) << ")\n";
        }
        for (const std::string& e : scan.errors)
            err_ << "morvactl: " << e << '\n';
        return scan.errors.empty() ? kExitOk : kExitFailed;
    }

    int Info(const std::string& device) {
        CDeviceChannel channel(*backend_);
        CProductLinks links(channel);
        if (const int status = OpenChannel(device, links); status != kExitOk)
            return status;
        std::array<std::uint8_t, kInfoBlockSize> info{};
        int result = CmdBegin(channel);
        if (result == kResultOk)
            result = CmdReadInfo(channel, info);
        const int end = CmdEnd(channel);
        if (result == kResultOk)
            result = end;
        if (result != kResultOk)
            return Fail(device, result);
        out_ << Hex(info.data(), info.size()) << '\n';
        return kExitOk;
    }

    int Send(const std::vector<std::string>& args) {
        const std::string& device = args[0];
        unsigned command = 0, length = 0, address = 0;
        std::vector<std::uint8_t> payload;
        bool ok = ParseHexByte(args[1], 0xFF, command);
        if (args.size() > 2)
            ok = ok && args.size() >= 4 && ParseHexByte(args[2], 0xFF, length) &&
                 ParseHexByte(args[3], 0xFFFF, address);
        for (std::size_t i = 4; ok && i < args.size(); ++i) {
            unsigned b = 0;
            ok = ParseHexByte(args[i], 0xFF, b) && payload.size() < kMaxPayload;
            payload.push_back(static_cast<std::uint8_t>(b));
        }
        if (!ok) {
            err_ << "morvactl: send takes DEVICE CMD [LEN ADDR [up to 56 payload bytes]] in hex\n";
            return kExitUsage;
        }
        CDeviceChannel channel(*backend_);
        CProductLinks links(channel);
        if (const int status = OpenChannel(device, links); status != kExitOk)
            return status;
        const CommandReport request = CommandReport::Request(
            static_cast<std::uint8_t>(command), static_cast<std::uint8_t>(length),
            static_cast<std::uint16_t>(address), payload);
        CommandReport answer;
        int result = CmdBegin(channel);
        if (result == kResultOk) {
            std::lock_guard lock(channel.commandLock);
            result = channel.Transact(request.bytes.data(), kReportSize, answer.bytes.data(),
                                      kReportSize, nullptr);
        }
        const int end = CmdEnd(channel);
        if (result == kResultOk)
            result = end;
        if (result != kResultOk)
            return Fail(device, result);
        out_ << Hex(answer.bytes.data(), 32) << '\n' << Hex(answer.bytes.data() + 32, 32) << '\n';
        return kExitOk;
    }

    int SimDump(const std::string& device, const std::string& areaName) {
        if (!simBus_) {
            err_ << "morvactl: sim-dump needs --simulate\n";
            return kExitUsage;
        }
        const std::optional<sim::Link> link = sim::ParseLink(device);
        const std::optional<sim::Area> area = sim::ParseArea(areaName);
        if (!link)
            return UnknownDevice(device);
        if (!area || *area == sim::Area::LightFrame) {
            err_ << "morvactl: unknown area '" << areaName
                 << "' (info, setting, keytable, defaultkeytable, fnkeytable, lightindex, "
                    "colours, macro, shoot, status)\n";
            return kExitUsage;
        }
        const std::vector<std::uint8_t> bytes =
            simBus_->Firmware(sim::ProductOf(*link)).ReadArea(*area);
        for (std::size_t at = 0; at < bytes.size(); at += 16) {
            char offset[24];
            std::snprintf(offset, sizeof offset, "%04zx: ", at);
            out_ << offset << Hex(bytes.data() + at, std::min<std::size_t>(16, bytes.size() - at))
                 << '\n';
        }
        return kExitOk;
    }

    // What the mouse, keyboard and macro commands run in.
    MouseEnvironment DeviceEnvironment() {
        return {*backend_,
                simBus_,
                options_.dataDir,
                ResourceFolder(),
                options_.screenWidth,
                options_.screenHeight};
    }

    int Mouse(const MouseRequest& request) {
        return RunMouseCommand(request, DeviceEnvironment(), out_, err_);
    }

    int Macro(const MacroRequest& request) {
        return RunMacroCommand(request, DeviceEnvironment(), out_, err_);
    }

    int Keyboard(const KeyboardRequest& request) {
        return RunKeyboardCommand(request, DeviceEnvironment(), out_, err_);
    }

    int Pad(const PadRequest& request) {
        return RunPadCommand(request, DeviceEnvironment(), out_, err_);
    }

    int Headset(const HeadsetRequest& request) {
        return RunHeadsetCommand(request, {DeviceEnvironment(), options_.simState}, out_, err_);
    }

    int Profile(const ProfileRequest& request) {
        const ProfileEnvironment environment{*backend_,
                                             simBus_,
                                             options_.dataDir,
                                             ResourceFolder(),
                                             options_.screenWidth,
                                             options_.screenHeight};
        return RunProfileCommand(request, environment, out_, err_);
    }

private:
    int UnknownDevice(const std::string& device) {
        err_ << "morvactl: unknown device '" << device << "' (one of " << DeviceNameList() << ")\n";
        return kExitUsage;
    }

    int Fail(const std::string& device, int result) {
        err_ << "morvactl: " << device << ": " << ResultText(result) << '\n';
        return kExitFailed;
    }

    // Opens the command interface of `device` as its cable or receiver.
    int OpenChannel(const std::string& device, CProductLinks& links) {
        const std::optional<DeviceName> name = FindDeviceName(device);
        if (!name)
            return UnknownDevice(device);
        const int wanted =
            FindInterfaceRow(name->vendorId, name->productId, name->deviceType, kRoleCommand);
        return OpenCommandLink(*backend_, {wanted}, device, links, err_);
    }

    const Options& options_;
    std::ostream& out_;
    std::ostream& err_;
    std::unique_ptr<hid::IHidBackend> backend_;
    sim::SimBus* simBus_ = nullptr;
};

class AppCommands {
public:
    AppCommands(const AppConnection& app, std::ostream& out, std::ostream& err)
        : app_(app), out_(out), err_(err) {}

    int Run(const std::vector<std::string>& args) {
        if (args.size() == 1 && args[0] == "status")
            return Status();
        if (!args.empty() && args[0] == "sim")
            return Sim({args.begin() + 1, args.end()});
        if (args.size() >= 2 && args.size() <= 4 && args[0] == "send")
            return Send({args.begin() + 1, args.end()});
        if (args.size() == 1 && args[0] == "query")
            return Query();
        err_ << "morvactl: app takes status, query, send MESSAGE [W [L]] or sim COMMAND [ARGS] "
                "(see --help)\n";
        return kExitUsage;
    }

private:
    int Status() {
        ipc::Message query;
        query.msg = ipc::kMsgAppStatusQuery;
        const std::optional<ipc::Message> report = Ask(query, ipc::kMsgAppStatusReport);
        if (!report)
            return kExitFailed;
        const Json::Value& devices = report->data["devices"];
        if (!devices.isArray())
            return Malformed();
        std::ostringstream lines;
        for (const Json::Value& d : devices) {
            if (!d.isObject() || !d["kind"].isString() || !d["link"].isString() ||
                !d["connected"].isBool() || !d["shown"].isBool() || !d["selected"].isBool()) {
                return Malformed();
            }
            lines << d["kind"].asString() << ' ' << d["link"].asString() << ' '
                  << (d["connected"].asBool() ? "connected" : "disconnected") << ' '
                  << (d["shown"].asBool() ? "shown" : "hidden")
                  << (d["selected"].asBool() ? " selected" : "") << '\n';
        }
        out_ << lines.str();
        return kExitOk;
    }

    int Sim(const std::vector<std::string>& words) {
        sim::SimCommand parsed;
        std::string error;
        if (!sim::ParseSimCommand(words, parsed, error)) {
            err_ << "morvactl: " << error << '\n';
            return kExitUsage;
        }
        ipc::Message request;
        request.msg = ipc::kMsgSimRequest;
        request.data["args"] = Json::Value(Json::arrayValue);
        for (const std::string& w : words)
            request.data["args"].append(w);
        const std::optional<ipc::Message> reply = Ask(request, ipc::kMsgSimReply);
        if (!reply)
            return kExitFailed;
        if (!reply->data["ok"].isBool())
            return Malformed();
        if (reply->data["ok"].asBool())
            return kExitOk;
        const Json::Value& text = reply->data["error"];
        err_ << "morvactl: "
             << (text.isString() && !text.asString().empty() ? text.asString()
                                                             : "the program refused the request")
             << '\n';
        return kExitFailed;
    }

    int Send(const std::vector<std::string>& words) {
        static constexpr const char* kSendable[] = {
            ipc::kMsgActivateInstance,
            ipc::kMsgLightControlRequest,
            ipc::kMsgSettingsRelay,
            ipc::kGameStart,
            ipc::kGameEnd,
            ipc::kGameKill,
            ipc::kGameDeath,
        };
        ipc::Message message;
        for (const char* name : kSendable) {
            if (words[0] == name)
                message.msg = name;
        }
        if (message.msg.empty()) {
            err_ << "morvactl: app send takes one of MsgActivateInstance, "
                    "MsgLightControlRequest, MsgSettingsRelay, Game_Start, Game_End, "
                    "Game_Kill, Game_Death\n";
            return kExitUsage;
        }
        long long* params[] = {&message.wParam, &message.lParam};
        for (std::size_t i = 1; i < words.size(); ++i) {
            const std::optional<long long> v = ParseInt(words[i], -0x7FFFFFFFLL - 1, 0x7FFFFFFF);
            if (!v) {
                err_ << "morvactl: not a 32-bit integer: " << words[i] << '\n';
                return kExitUsage;
            }
            *params[i - 1] = *v;
        }
        const std::string path = SocketPath();
        if (path.empty())
            return kExitFailed;
        std::string error;
        if (!SendToApp(path, message, app_.timeout, error)) {
            err_ << "morvactl: " << error << '\n';
            return kExitFailed;
        }
        return kExitOk;
    }

    int Query() {
        ipc::Message query;
        query.msg = ipc::kMsgWorkToolQuery;
        const std::optional<ipc::Message> report = Ask(query, "WorkToolReport");
        if (!report)
            return kExitFailed;
        const Json::Value& version = report->data["version"];
        const Json::Value& interfaces = report->data["interfaces"];
        if (!version.isArray() || !interfaces.isArray())
            return Malformed();
        std::ostringstream lines;
        lines << "version";
        for (const Json::Value& v : version) {
            if (!v.isInt())
                return Malformed();
            lines << (&v == &version[0] ? " " : ".") << v.asInt();
        }
        lines << '\n';
        for (const Json::Value& row : interfaces) {
            if (!row.isArray() || row.size() != 3 || !row[0].isInt() || !row[1].isInt() ||
                !row[2].isInt()) {
                return Malformed();
            }
            char text[64];
            std::snprintf(text, sizeof text, "interface %04x:%04x %d\n", row[0].asInt(),
                          row[1].asInt(), row[2].asInt());
            lines << text;
        }
        out_ << lines.str();
        return kExitOk;
    }

    std::string SocketPath() {
        std::string error;
        std::string path = app_.socketPath;
        if (path.empty())
            path = ipc::SocketPath(error);
        if (path.empty())
            err_ << "morvactl: cannot tell where the program's socket is: " << error << '\n';
        return path;
    }

    std::optional<ipc::Message> Ask(const ipc::Message& request, std::string_view reply) {
        const std::string path = SocketPath();
        if (path.empty())
            return std::nullopt;
        std::string error;
        std::optional<ipc::Message> answer = AskApp(path, request, reply, app_.timeout, error);
        if (!answer)
            err_ << "morvactl: " << error << '\n';
        return answer;
    }

    int Malformed() {
        err_ << "morvactl: the program's answer is malformed\n";
        return kExitFailed;
    }

    const AppConnection& app_;
    std::ostream& out_;
    std::ostream& err_;
};

// A running program answers a status query on its socket.
bool ProgramRunning(const AppConnection& app) {
    std::string error;
    const std::string path = app.socketPath.empty() ? ipc::SocketPath(error) : app.socketPath;
    if (path.empty())
        return false;
    ipc::Message query;
    query.msg = ipc::kMsgAppStatusQuery;
    return AskApp(path, query, ipc::kMsgAppStatusReport, app.timeout, error).has_value();
}

// "WxH", each side 1..65535.
bool ParseScreenSize(const std::string& text, int& width, int& height) {
    const auto side = [](std::string_view digits, int& value) {
        const std::optional<long long> v = ParseInt(digits, 1, 0xFFFF);
        if (v)
            value = static_cast<int>(*v);
        return v.has_value();
    };
    const std::size_t x = text.find('x');
    const std::string_view whole = text;
    return x != std::string::npos && side(whole.substr(0, x), width) &&
           side(whole.substr(x + 1), height);
}

// Restores the default debug sink when --trace installed one.
struct TraceSink {
    explicit TraceSink(bool on, std::ostream& err) : on_(on) {
        if (on_)
            SetDebugSink([&err](std::string_view text) { err << text; });
    }
    ~TraceSink() {
        if (on_)
            SetDebugSink({});
    }
    bool on_;
};

}  // namespace

void RegisterCommand(std::string name, ExtraCommand command, std::string help) {
    if (!help.empty() && help.back() != '\n')
        help += '\n';
    for (RegisteredCommand& c : Registered()) {
        if (c.name == name) {
            c.run = std::move(command);
            c.help = std::move(help);
            return;
        }
    }
    Registered().push_back({std::move(name), std::move(command), std::move(help)});
}

int RunMorvactl(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                const AppConnection& app) {
    Options options;
    std::size_t i = 0;
    for (; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--help" || a == "-h") {
            out << HelpText();
            return kExitOk;
        }
        if (a == "--trace") {
            options.trace = true;
        } else if (a == "--latency" && i + 1 < args.size()) {
            const std::string& value = args[++i];
            const std::optional<long long> us =
                value == "usb" ? std::optional<long long>(sim::kUsbLatency.count())
                               : ParseInt(value, 0, 1000000, 10);
            if (!us) {
                err << "morvactl: --latency takes microseconds per report (0..1000000) or usb\n";
                return kExitUsage;
            }
            options.latency = std::chrono::microseconds(*us);
        } else if (a == "--data-dir" && i + 1 < args.size()) {
            options.dataDir = args[++i];
        } else if (a == "--screen" && i + 1 < args.size()) {
            if (!ParseScreenSize(args[++i], options.screenWidth, options.screenHeight)) {
                err << "morvactl: --screen takes WIDTHxHEIGHT, e.g. 2560x1440\n";
                return kExitUsage;
            }
        } else if ((a == "--simulate" || a == "--sim-state") && i + 1 < args.size()) {
            const std::string& value = args[++i];
            if (a == "--sim-state") {
                options.simState = value;
                continue;
            }
            std::string error;
            if (!sim::ParseLinkList(value, options.links, error)) {
                err << "morvactl: " << error << '\n';
                return kExitUsage;
            }
            options.simulate = true;
        } else if (a.rfind("--", 0) == 0) {
            err << "morvactl: unknown option " << a << " (see --help)\n";
            return kExitUsage;
        } else {
            break;
        }
    }
    if (options.latency && !options.simulate) {
        err << "morvactl: --latency needs --simulate\n";
        return kExitUsage;
    }
    options.command.assign(args.begin() + static_cast<std::ptrdiff_t>(i), args.end());
    if (options.command.empty()) {
        err << HelpText();
        return kExitUsage;
    }
    const std::string& name = options.command[0];
    const std::vector<std::string> rest(options.command.begin() + 1, options.command.end());

    if (const RegisteredCommand* extra = FindRegistered(name))
        return extra->run(rest, out, err);

    if (name == "descriptor") {
        if (rest.size() != 1) {
            err << "morvactl: descriptor takes one FILE\n";
            return kExitUsage;
        }
        return hid::DumpDescriptorFile(rest[0], out, err);
    }

    if (name == "app")
        return AppCommands(app, out, err).Run(rest);

    if (name == "paths" && rest.empty()) {
        out << "resources " << ResourceFolder() << "\nhelper " << CaptureHelperPath() << "\ndata "
            << LocalAppDataFolder(options.dataDir) << "MORVA TR510 Device/\n";
        return kExitOk;
    }

    MouseRequest mouse;
    KeyboardRequest keyboard;
    PadRequest pad;
    HeadsetRequest headset;
    ProfileRequest profile;
    MacroRequest macro;
    const bool changesData = name == "mouse" || name == "keyboard" || name == "pad" ||
                             name == "headset" || name == "profile" || name == "macro";
    if (changesData) {
        std::string error;
        const bool parsed = name == "mouse"      ? ParseMouseCommand(rest, mouse, error)
                            : name == "keyboard" ? ParseKeyboardCommand(rest, keyboard, error)
                            : name == "pad"      ? ParsePadCommand(rest, pad, error)
                            : name == "headset"  ? ParseHeadsetCommand(rest, headset, error)
                            : name == "macro"    ? ParseMacroCommand(rest, macro, error)
                                                 : ParseProfileCommand(rest, profile, error);
        if (!parsed) {
            err << "morvactl: " << error << '\n';
            return kExitUsage;
        }
        // Two writers would undo each other's settings.
        if (!options.simulate && ProgramRunning(app)) {
            err << "morvactl: the program is running: close it first, or use `morvactl app …`\n";
            return kExitFailed;
        }
    }

    // Commands that change the data take turns: two at once would each write back the list
    // as they read it, and one's change would be lost.
    std::optional<CFileLock> dataLock;
    if (changesData) {
        const std::string folder = GetProgramDataFolder(LocalAppDataFolder(options.dataDir));
        std::string error;
        if (!folder.empty()) {
            // The running program holds it for as long as it runs: no use waiting then.
            dataLock = CFileLock::Acquire(folder + kDataLockFileName, {}, error);
            if (!dataLock && ProgramRunning(app)) {
                err << "morvactl: the program is running on this data folder: close it first, "
                       "or use `morvactl app …`\n";
                return kExitFailed;
            }
            if (!dataLock)
                dataLock = CFileLock::Acquire(folder + kDataLockFileName, kDataLockWait, error);
        }
        if (!dataLock) {
            err << "morvactl: " << (folder.empty() ? "the data folder cannot be created" : error)
                << '\n';
            return kExitFailed;
        }
    }

    const TraceSink trace(options.trace, err);
    Session session(options, out, err);
    const auto start = std::chrono::steady_clock::now();
    const int status = session.Run(name, rest, mouse, keyboard, pad, headset, profile, macro);
    if (options.latency)
        session.PrintLinkTime(std::chrono::steady_clock::now() - start);
    return status;
}

int Session::Run(const std::string& name, const std::vector<std::string>& rest,
                 const MouseRequest& mouse, const KeyboardRequest& keyboard, const PadRequest& pad,
                 const HeadsetRequest& headset, const ProfileRequest& profile,
                 const MacroRequest& macro) {
    Session& session = *this;
    if (name == "mouse")
        return session.Mouse(mouse);
    if (name == "keyboard")
        return session.Keyboard(keyboard);
    if (name == "pad")
        return session.Pad(pad);
    if (name == "headset")
        return session.Headset(headset);
    if (name == "profile")
        return session.Profile(profile);
    if (name == "macro")
        return session.Macro(macro);
    if (name == "list" && rest.empty())
        return session.List();
    if (name == "info" && rest.size() == 1)
        return session.Info(rest[0]);
    if (name == "send" && rest.size() >= 2)
        return session.Send(rest);
    if (name == "sim-dump" && rest.size() == 2)
        return session.SimDump(rest[0], rest[1]);
    err_ << "morvactl: unknown command or wrong arguments: " << name << " (see --help)\n";
    return kExitUsage;
}

}  // namespace morva::cli
