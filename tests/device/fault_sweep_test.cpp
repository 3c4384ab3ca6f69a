// Every read and download sequence of every model, cut at each of its exchanges in turn: once
// by a failing exchange and once by the device unplugging. Each cut run must end within the
// channel's limits, report the failure, leave every data file whole and either as it was or as
// the uncut run left it, and leave the model showing what its profile file holds.
#include <gtest/gtest.h>
#include <json/json.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>

#include "base/clock.h"
#include "device/device_tables.h"
#include "device/models/headset_device.h"
#include "device/models/keyboard_device.h"
#include "device/models/mouse_device.h"
#include "device/models/mousepad_device.h"
#include "macro/macro_store.h"
#include "profile/json_file.h"
#include "sim/sim_bus.h"
#include "support/device_rows.h"
#include "support/temp_dir.h"

namespace morva {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using sim::Fault;
using sim::Link;
using Model = CTessaronUSBDevice;

constexpr std::uint32_t kTimeoutMs = 20;
constexpr KeyCode kMacro0{0x70, 0, 0};

using Files = std::map<std::string, std::string>;

Files ReadTree(const fs::path& root) {
    Files files;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        if (entry.is_regular_file())
            files[fs::relative(entry.path(), root).string()] = ReadFileText(entry.path().string());
    }
    return files;
}

// A sequence: how the model is made and prepared (uncut), and the cut part. `run` gives the
// operation's result, or nothing for a read, whose failure the model keeps.
struct Sequence {
    const char* name;
    Link link;
    int kind;
    std::uint16_t deviceType;
    std::function<std::unique_ptr<Model>(hid::IHidBackend&, IClock&)> make;
    std::function<void(Model&)> prepare;
    std::function<std::optional<OpResult>(Model&)> run;
    bool isArrivalRead = false;
};

template <class T>
std::unique_ptr<Model> Make(hid::IHidBackend& bus, IClock& clock) {
    return std::make_unique<T>(bus, clock);
}

CTessaronMouseDevice& AsMouse(Model& m) {
    return static_cast<CTessaronMouseDevice&>(m);
}
CTessaronKeyboardDevice& AsKeyboard(Model& m) {
    return static_cast<CTessaronKeyboardDevice&>(m);
}

std::vector<MacroEvent> Clicks(int key) {
    return {MacroEvent{true, key, 10, 20}, MacroEvent{false, key, 10, 20}};
}

// A macro bound to a key, so the profile's download carries the macros too.
void BindMacro(Model& m, const std::function<OpResult(Model&)>& assign) {
    ASSERT_TRUE(m.AddMacro().Ok());
    ASSERT_TRUE(m.SaveMacro(0, Clicks(4)).Ok());
    ASSERT_TRUE(assign(m).Ok());
}
void BindMouseMacro(Model& m) {
    BindMacro(m, [](Model& model) {
        KeyListEntry entry = model.KeyList()[1];
        entry.assignment.code = kMacro0;
        return model.AssignKey(1, entry, Model::KeySend::MacrosAndKeyTable);
    });
}
void BindKeyboardMacro(Model& m) {
    BindMacro(m, [](Model& model) {
        return AsKeyboard(model).AssignKeyCode(64, kMacro0, false,
                                               Model::KeySend::MacrosAndKeyTable);
    });
}

LightInfo Brighter(Model& m) {
    LightInfo light = m.LightState();
    light.red = static_cast<std::uint8_t>(light.red + 17);
    light.light = light.light > 0 ? 0 : 1;
    return light;
}

std::vector<Sequence> Sequences() {
    const auto none = [](Model&) {};
    const auto read = [](Model& m) -> std::optional<OpResult> {
        m.ReadFromDevice();
        m.StopLightThread();
        return std::nullopt;
    };
    const auto readActive = [](Model& m) -> std::optional<OpResult> {
        m.ReadActiveProfile();
        return std::nullopt;
    };
    const auto apply = [](Model& m) -> std::optional<OpResult> { return m.ApplyProfile(); };
    const auto defaults = [](Model& m) -> std::optional<OpResult> { return m.RestoreDefaults(); };
    const auto light = [](Model& m) -> std::optional<OpResult> {
        return m.ChangeLight(Brighter(m), true);
    };
    const auto mouse = [](Link link, const char* name, auto prepare, auto run) {
        return Sequence{name,    link, kKindMouse, kDeviceTypeMouse, Make<CTessaronMouseDevice>,
                        prepare, run};
    };
    const auto arrival = [](Sequence s) {
        s.isArrivalRead = true;
        return s;
    };
    const auto keyboard = [](const char* name, auto prepare, auto run) {
        return Sequence{name,
                        Link::Keyboard,
                        kKindKeyboard,
                        kDeviceTypeKeyboard,
                        Make<CTessaronKeyboardDevice>,
                        prepare,
                        run};
    };
    const auto pad = [](const char* name, auto run) {
        return Sequence{name,
                        Link::Pad,
                        kKindMousePad,
                        kDeviceTypeMousePad,
                        Make<CTessaronMousePadDevice>,
                        [](Model&) {},
                        run};
    };
    const auto headset = [](const char* name, auto run) {
        return Sequence{name,
                        Link::Headset,
                        kKindHeadset,
                        kDeviceTypeHeadset,
                        Make<CTessaronVU6533Device>,
                        [](Model&) {},
                        run};
    };
    return {
        arrival(mouse(Link::Mouse, "mouse read at arrival", none, read)),
        mouse(Link::Mouse, "mouse active profile", none, readActive),
        mouse(Link::Mouse, "mouse profile with macros", BindMouseMacro, apply),
        mouse(Link::MouseReceiver, "mouse profile via receiver", BindMouseMacro, apply),
        mouse(Link::Mouse, "mouse factory profile", BindMouseMacro, defaults),
        mouse(Link::Mouse, "mouse light", none, light),
        mouse(Link::Mouse, "mouse DPI stage", none,
              [](Model& m) -> std::optional<OpResult> {
                  return AsMouse(m).ChangeStageDpiValue(1, 1600);
              }),
        mouse(Link::Mouse, "mouse report rate", none,
              [](Model& m) -> std::optional<OpResult> { return AsMouse(m).ChangeReportRate(2); }),
        mouse(Link::Mouse, "mouse macro the keys use", BindMouseMacro,
              [](Model& m) -> std::optional<OpResult> { return m.SaveMacro(0, Clicks(5)); }),
        mouse(Link::Mouse, "mouse recoil patterns", none,
              [](Model& m) -> std::optional<OpResult> { return AsMouse(m).SendShootPatterns(); }),
        arrival(keyboard("keyboard read at arrival", none, read)),
        keyboard("keyboard profile with macros", BindKeyboardMacro, apply),
        keyboard("keyboard factory profile", none, defaults),
        keyboard("keyboard light", none, light),
        keyboard(
            "keyboard polling rate", none,
            [](Model& m) -> std::optional<OpResult> { return AsKeyboard(m).ChangePollingRate(1); }),
        keyboard("keyboard key", none,
                 [](Model& m) -> std::optional<OpResult> {
                     return AsKeyboard(m).AssignKeyCode(64, KeyCode{0x02, 0x05, 0}, false,
                                                        Model::KeySend::KeyTable);
                 }),
        keyboard(
            "keyboard custom key colour",
            [](Model& m) {
                LightInfo custom = m.LightState();
                custom.selectItem = kCustomColourMode;
                custom.red = 200;
                ASSERT_TRUE(m.ChangeLight(custom, true).Ok());
                ASSERT_TRUE(m.ChangeCustomGroup(1).Ok());
            },
            [](Model& m) -> std::optional<OpResult> { return m.SetCustomKeyColour(64, 1); }),
        arrival(pad("pad read at arrival", read)),
        pad("pad active profile", readActive),
        pad("pad profile", apply),
        pad("pad light", light),
        headset("headset profile", apply),
        headset("headset light", light),
    };
}

struct Outcome {
    std::optional<OpResult> result;
    bool readFailed = false;
    Clock::duration took{};
    std::size_t exchanges = 0;
    Files files;
    std::string shown;   // the profile the model holds
    std::string stored;  // the profile file
};

void PrintTo(const Sequence& s, std::ostream* os) {
    *os << s.name;
}

class FaultSweep : public ::testing::TestWithParam<Sequence> {
protected:
    void SetUp() override { folder_ = dir_.path() / "data"; }

    std::unique_ptr<Model> MakeModel(sim::SimBus& bus) {
        const Sequence& s = GetParam();
        std::unique_ptr<Model> m = s.make(bus, clock_);
        m->SetDataRoots(folder_.string(), MORVA_RES_DIR);
        m->ApplyTypeRow(test::TypeRowOfKind(s.kind));
        m->SetSlotRecord(test::CommandRecord(s.deviceType));
        m->CommandChannel().cableTimeoutMs = kTimeoutMs;
        m->CommandChannel().receiverTimeoutMs = kTimeoutMs;
        const ProductLink link =
            sim::IsReceiver(s.link) ? ProductLink::Receiver : ProductLink::Cable;
        EXPECT_TRUE(m->Links().Open(link, bus.CommandPath(s.link)));
        return m;
    }
    // The device keeps its memory in a state file, so each run starts from the one the
    // preparation left.
    std::unique_ptr<sim::SimBus> MakeBus() {
        sim::SimBusOptions options;
        options.plugged = {GetParam().link};
        options.stateFile = (dir_.path() / "device.state").string();
        return std::make_unique<sim::SimBus>(options);
    }
    // The data folder as the device's arrival and the sequence's preparation leave it.
    Files Prepare() {
        {
            std::unique_ptr<sim::SimBus> bus = MakeBus();
            std::unique_ptr<Model> m = MakeModel(*bus);
            ArrivalRead(*m);
            GetParam().prepare(*m);
            m->StopLightThread();
        }
        deviceState_ = ReadFileText((dir_.path() / "device.state").string());
        EXPECT_FALSE(deviceState_.empty());
        return ReadTree(folder_);
    }
    static void ArrivalRead(Model& m) {
        m.ReadFromDevice();
        m.StopLightThread();
    }
    // The sequence on a fresh device and `files`, after an uncut arrival read (unless the
    // sequence is that read), with `cut` set up just before it.
    Outcome Run(const Files& files, const std::function<void(sim::SimBus&)>& cut) {
        const Sequence& s = GetParam();
        fs::remove_all(folder_);
        for (const auto& [name, text] : files) {
            fs::create_directories((folder_ / name).parent_path());
            EXPECT_EQ(WriteFileText((folder_ / name).string(), text), 0) << name;
        }
        EXPECT_EQ(WriteFileText((dir_.path() / "device.state").string(), deviceState_), 0);
        std::unique_ptr<sim::SimBus> bus = MakeBus();
        std::unique_ptr<Model> m = MakeModel(*bus);
        if (!s.isArrivalRead)
            ArrivalRead(*m);
        EXPECT_FALSE(m->TakeReadFailure());
        bus->ClearLog();
        cut(*bus);
        Outcome o;
        const Clock::time_point start = Clock::now();
        o.result = s.run(*m);
        o.took = Clock::now() - start;
        o.readFailed = m->TakeReadFailure();
        m->StopLightThread();
        o.exchanges = bus->ReceivedReports(s.link).size();
        o.files = ReadTree(folder_);
        // The file keeps one document for each device kind that shares it. Compared as text:
        // a number read back may be of another integer type than the one in memory.
        o.shown = StyledJsonText(m->ProfileData()->Document());
        const Json::Value file = ReadJsonFile(m->ProfileData()->GetDocumentPath());
        for (const Json::Value& stored : file["Device"]) {
            if (StyledJsonText(stored) == o.shown)
                o.stored = o.shown;
        }
        return o;
    }

    test::TempDir dir_;
    fs::path folder_;
    std::string deviceState_;
    CManualClock clock_;
};

TEST_P(FaultSweep, EveryCutEndsInTimeIsReportedAndLeavesTheFilesWholeAndTheModelTrue) {
    const Sequence& s = GetParam();
    const Files before = Prepare();
    const Outcome uncut = Run(before, [](sim::SimBus&) {});
    if (uncut.result) {
        ASSERT_TRUE(uncut.result->Ok()) << uncut.result->messageKey;
    }
    ASSERT_GT(uncut.exchanges, 0u) << "the sequence talks to the device";
    ASSERT_FALSE(uncut.readFailed);
    ASSERT_EQ(uncut.shown, uncut.stored);
    const Clock::duration limit =
        uncut.took + 4 * std::chrono::milliseconds(kTimeoutMs) + std::chrono::milliseconds(500);

    // Each failure kind in turn, so every kind meets every part of a sequence.
    constexpr Fault kFailures[] = {Fault::NoAnswer, Fault::StatusFF, Fault::WriteFailure,
                                   Fault::WrongEcho};
    int runs = 0;
    for (std::size_t step = 0; step < uncut.exchanges; ++step) {
        for (const Fault fault : {kFailures[step % 4], Fault::UnplugBeforeAnswer}) {
            SCOPED_TRACE(testing::Message() << "exchange " << step << " of " << uncut.exchanges
                                            << ", fault " << static_cast<int>(fault));
            const Outcome cut = Run(before, [&](sim::SimBus& bus) {
                bus.InjectFault(s.link, Fault::Pass, static_cast<int>(step));
                bus.InjectFault(s.link, fault);
            });
            ++runs;
            EXPECT_LT(cut.took, limit);
            if (cut.result) {
                EXPECT_FALSE(cut.result->Ok());
                EXPECT_EQ(cut.result->messageKey, kMsgDeviceWriteFailed);
            } else {
                EXPECT_TRUE(cut.readFailed) << "a cut read is not taken for the device's word";
            }
            for (const auto& [name, text] : cut.files) {
                const bool old = before.contains(name) && before.at(name) == text;
                const bool now = uncut.files.contains(name) && uncut.files.at(name) == text;
                EXPECT_TRUE(old || now) << name << " is neither the old nor the new version";
            }
            for (const auto& [name, text] : before) {
                EXPECT_TRUE(!uncut.files.contains(name) || cut.files.contains(name))
                    << name << " went missing";
            }
            EXPECT_EQ(cut.shown, cut.stored) << "the model shows what its file holds";
            if (HasFailure())
                return;
        }
    }
    RecordProperty("exchanges", static_cast<int>(uncut.exchanges));
    RecordProperty("runs", runs);
}

INSTANTIATE_TEST_SUITE_P(Sequences, FaultSweep, ::testing::ValuesIn(Sequences()),
                         [](const testing::TestParamInfo<Sequence>& info) {
                             std::string name = info.param.name;
                             for (char& c : name)
                                 c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                             return name;
                         });

}  // namespace
}  // namespace morva
