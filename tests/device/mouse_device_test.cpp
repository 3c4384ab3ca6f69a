// The mouse model against the simulated mouse: reading, downloads, event words, lighting.
#include <gtest/gtest.h>

#include <condition_variable>
#include <fstream>
#include <map>
#include <tuple>

#include <json/reader.h>
#include "base/clock.h"
#include "device/models/mouse_device.h"

#include "profile/json_file.h"
#include "sim/sim_bus.h"
#include "support/temp_dir.h"

namespace morva {
namespace {

Json::Value ReadJsonText(const char* text) {
    Json::Value v;
    Json::Reader().parse(text, v);
    return v;
}

using namespace std::chrono_literals;
using sim::Area;
using sim::Link;
using sim::Product;

class Host : public IDeviceHost {
public:
    void StartEntryTimer(int id, int ms) override {
        std::lock_guard lock(mutex);
        timers.emplace_back(id, ms);
    }
    void SendOwnerMessage(int message, std::intptr_t w, std::intptr_t) override {
        std::lock_guard lock(mutex);
        messages.emplace_back(message, static_cast<int>(w));
    }
    void ShowPowerStatus(std::span<const std::uint8_t> s) override {
        std::lock_guard lock(mutex);
        status.assign(s.begin(), s.end());
    }
    void RefreshPage() override {
        std::lock_guard lock(mutex);
        ++refreshes;
        changed.notify_all();
    }
    bool WaitForRefreshes(int n) {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, 2s, [&] { return refreshes >= n; });
    }

    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::pair<int, int>> timers;
    std::vector<std::pair<int, int>> messages;
    std::vector<std::uint8_t> status;
    int refreshes = 0;
};

class MouseDeviceTest : public ::testing::Test {
protected:
    void SetUp() override {
        sim::SimBusOptions options;
        options.plugged = {Link::Mouse, Link::MouseReceiver};
        bus_ = std::make_unique<sim::SimBus>(options);
        mouse_ = std::make_unique<CTessaronMouseDevice>(*bus_, clock_);
        mouse_->SetHost(&host_);
        mouse_->SetDataRoots(dir_.path().string(), MORVA_RES_DIR);
        mouse_->SetModelName("mouse");
        mouse_->SetDeviceKind(kKindMouse);
        mouse_->SetKeyCount(kMouseButtons);
        mouse_->SetLedCount(kMouseLeds);
        mouse_->SetLightConfigName("kaldo_light");
        mouse_->SetSlotRecord(SupportedInterfaces()[4]);
        mouse_->SetRandomSource([] { return 42; });
    }
    void TearDown() override { mouse_.reset(); }

    void Open(Link link) {
        CDeviceChannel& channel = mouse_->CommandChannel();
        channel.cableTimeoutMs = 200;
        channel.receiverTimeoutMs = 200;
        const bool receiver = sim::IsReceiver(link);
        ASSERT_TRUE(mouse_->Links().Open(receiver ? ProductLink::Receiver : ProductLink::Cable,
                                         bus_->CommandPath(link)));
    }
    void Read(Link link = Link::Mouse) {
        Open(link);
        mouse_->ReadFromDevice();
        mouse_->StopLightThread();
    }
    std::vector<std::uint8_t> Firmware(Area area) const {
        return bus_->Firmware(Product::Mouse).ReadArea(area);
    }
    KeyCode KeyAt(int position) const {
        const auto table = Firmware(Area::KeyTable);
        const auto at = static_cast<std::size_t>(3 * position);
        return {table[at], table[at + 1], table[at + 2]};
    }
    // A macro list of `count` macros, each with `events` press/release pairs.
    void WriteMacros(int count, int events = 1) {
        Json::Value list;
        for (int i = 0; i < count; ++i) {
            const std::string guid = "m" + std::to_string(i);
            list["MacroInfo"][i]["MacroName"] = "macro " + std::to_string(i);
            list["MacroInfo"][i]["Guid"] = guid;
            Json::Value mac;
            for (int e = 0; e < events; ++e) {
                Json::Value down;
                down["Action"] = "down";
                down["Button"] = 4 + i;
                down["Type"] = 10;
                down["Delay"] = "20";
                mac["Events"].append(down);
                down["Action"] = "up";
                mac["Events"].append(down);
            }
            ASSERT_EQ(WriteJsonFile(mouse_->GetUserDataFolder() + guid + ".mac", mac), 0);
        }
        ASSERT_EQ(WriteJsonFile(mouse_->GetUserDataFolder() + "macro.config", list), 0);
    }
    void Assign(int button, KeyCode code) {
        std::vector<KeyListEntry> keys = mouse_->KeyList();
        keys.at(static_cast<std::size_t>(button)).assignment.code = code;
        mouse_->SetKeyList(keys);
    }
    std::size_t Sent(std::uint8_t command) const {
        std::size_t n = 0;
        for (const sim::Report& r : bus_->ReceivedReports(Product::Mouse))
            n += r[3] == command;
        return n;
    }

    test::TempDir dir_;
    Host host_;
    CManualClock clock_;
    std::unique_ptr<sim::SimBus> bus_;
    std::unique_ptr<CTessaronMouseDevice> mouse_;
};

TEST_F(MouseDeviceTest, ReadFindsEveryButtonAndLoadsTheSelectedProfile) {
    Read();
    for (int j = 0; j < kMouseButtons; ++j) {
        const int position = mouse_->ButtonPosition(j);
        ASSERT_NE(position, kNoKeyPosition) << j;
        const auto factory = Firmware(Area::DefaultKeyTable);
        const auto at = static_cast<std::size_t>(3 * position);
        EXPECT_EQ((KeyCode{factory[at], factory[at + 1], factory[at + 2]}),
                  MouseButtonReferences()[static_cast<std::size_t>(j)]);
    }
    EXPECT_EQ(mouse_->CommandChannel().TransferSize(), 16 * 3);
    EXPECT_EQ(mouse_->Sensor().id, MouseSensor::kTwoRangeSensor);
    EXPECT_EQ(mouse_->KeyList().size(), 11u) << "the factory profile's buttons";
    EXPECT_EQ(mouse_->GetDpiStages().size(), 5u);
    EXPECT_TRUE(std::filesystem::exists(mouse_->GetProfilePath()));
    EXPECT_GE(host_.refreshes, 1);
}

TEST_F(MouseDeviceTest, ButtonMissingFromTheFactoryTableIsNeverWritten) {
    // The fire key's reference code disappears from the factory table.
    const auto factory = Firmware(Area::DefaultKeyTable);
    for (std::size_t at = 0; at + 2 < 48; at += 3) {
        if (KeyCode{factory[at], factory[at + 1], factory[at + 2]} == MouseButtonReferences()[10]) {
            const std::array<std::uint8_t, 3> off{0xA0, 0, 0};
            bus_->Firmware(Product::Mouse).WriteArea(Area::DefaultKeyTable, at, off);
        }
    }
    Read();
    EXPECT_EQ(mouse_->ButtonPosition(10), kNoKeyPosition);
    Assign(10, {0x30, 0xCD, 0x00});
    ASSERT_EQ(mouse_->DownloadCurrentKeyTable(0), kResultOk);
    const auto table = Firmware(Area::KeyTable);
    for (std::size_t at = 0; at + 2 < 48; at += 3)
        EXPECT_NE((KeyCode{table[at], table[at + 1], table[at + 2]}), (KeyCode{0x30, 0xCD, 0x00}));
}

TEST_F(MouseDeviceTest, MacrosAreNumberedByTheirSlotAmongTheUsedOnes) {
    Read();
    WriteMacros(3);
    Assign(0, {0x70, 2, 0});
    Assign(1, {0x71, 2, 5});  // the same macro, repeated: one slot
    Assign(3, {0x70, 0, 0});
    Assign(4, {0x70, 7, 0});  // beyond the list: its default goes out
    EXPECT_EQ(mouse_->GetUsedMacros(), (std::vector<int>{2, 0}));
    ASSERT_EQ(mouse_->DownloadCurrentKeyTable(0), kResultOk);
    EXPECT_EQ(KeyAt(mouse_->ButtonPosition(0)), (KeyCode{0x70, 0, 0}));
    EXPECT_EQ(KeyAt(mouse_->ButtonPosition(1)), (KeyCode{0x71, 0, 5}));
    EXPECT_EQ(KeyAt(mouse_->ButtonPosition(3)), (KeyCode{0x70, 1, 0}));
    EXPECT_EQ(KeyAt(mouse_->ButtonPosition(4)), MouseButtonReferences()[4]);

    ASSERT_EQ(mouse_->DownloadMacros(mouse_->GetUsedMacros()), 0);
    const auto image = Firmware(Area::Macro);
    // Header, two offsets, then macro 2's count and its first event.
    EXPECT_EQ(image[16 + 2 * 2 + 4 + 3], 4 + 2) << "the first written macro is macro 2";

    mouse_->RepairMacroBindings();
    EXPECT_EQ(mouse_->KeyList()[4].assignment.code, MouseButtonReferences()[4]);
    EXPECT_EQ(mouse_->KeyList()[0].assignment.code, (KeyCode{0x70, 2, 0})) << "valid ones stay";
}

TEST_F(MouseDeviceTest, MacrosWithoutAMouseSendNothingAndTheSequenceStillFails) {
    Read();
    WriteMacros(1);
    Assign(0, {0x70, 0, 0});
    mouse_->CommandChannel().SetOpen(false);
    const std::size_t before = Sent(cmd::kWriteMacro);
    EXPECT_EQ(mouse_->DownloadMacros(mouse_->GetUsedMacros()), 0);
    EXPECT_EQ(Sent(cmd::kWriteMacro), before);
    // The key table that follows the macros tells the user the mouse missed them.
    const OpResult applied = mouse_->ApplyProfile();
    EXPECT_FALSE(applied.Ok());
    EXPECT_EQ(applied.messageKey, kMsgDeviceWriteFailed);
    KeyListEntry entry = mouse_->KeyList()[1];
    entry.assignment.code = {0x70, 0, 0};
    const OpResult assigned =
        mouse_->AssignKey(1, entry, CTessaronUSBDevice::KeySend::MacrosAndKeyTable);
    EXPECT_EQ(assigned.messageKey, kMsgDeviceWriteFailed);
    EXPECT_EQ(mouse_->SaveKeysToDevice().messageKey, kMsgDeviceWriteFailed);
}

TEST_F(MouseDeviceTest, AProfileGoesToTheMouseInOneSequence) {
    Read(Link::MouseReceiver);
    WriteMacros(2, 20);
    Assign(1, {0x70, 0, 0});
    Assign(2, {0x70, 1, 0});
    ASSERT_EQ(mouse_->SaveProfile(), 0);
    bus_->ClearLog();
    ASSERT_TRUE(mouse_->ApplyProfile().Ok());
    // Settings, macros and key table between one begin and one end; the receiver is asked
    // once and the information block read once (two chunks through the receiver).
    const std::vector<sim::Report> sent = bus_->ReceivedReports(Product::Mouse);
    ASSERT_GE(sent.size(), 3u);
    EXPECT_EQ(sent[0][3], cmd::kQueryWireless);
    EXPECT_EQ(sent[1][3], cmd::kBegin);
    EXPECT_EQ(sent.back()[3], cmd::kEnd);
    EXPECT_EQ(Sent(cmd::kBegin), 1u);
    EXPECT_EQ(Sent(cmd::kEnd), 1u);
    EXPECT_EQ(Sent(cmd::kQueryWireless), 1u);
    EXPECT_EQ(Sent(cmd::kReadInfo), 2u);
    const auto setting = Firmware(Area::Setting);
    const auto copy = mouse_->SettingCopy();
    EXPECT_TRUE(std::equal(copy.begin(), copy.begin() + kMouseSettingWriteSize, setting.begin()));
    EXPECT_EQ(KeyAt(mouse_->ButtonPosition(2)), (KeyCode{0x70, 1, 0}));
    EXPECT_EQ(Firmware(Area::Macro)[0], 0xAA) << "the macro image's header";

    // A begin the mouse refuses is tried again by the next part, which then gets through.
    bus_->ClearLog();
    bus_->InjectFault(Link::MouseReceiver, sim::Fault::Pass, 1);
    bus_->InjectFault(Link::MouseReceiver, sim::Fault::StatusFF);
    EXPECT_FALSE(mouse_->ApplyProfile().Ok());
    EXPECT_EQ(Sent(cmd::kBegin), 2u);
    EXPECT_EQ(Sent(cmd::kEnd), 1u);
    EXPECT_GT(Sent(cmd::kWriteKeyTable), 0u);
}

TEST_F(MouseDeviceTest, MacroImageTooLargeIsNotSent) {
    Read();
    // 32 units of 128 bytes hold 4096 bytes: 600 press/release pairs do not fit.
    WriteMacros(1, 600);
    Assign(0, {0x70, 0, 0});
    const std::size_t before = Sent(cmd::kWriteMacro);
    const int excess = mouse_->DownloadMacros(mouse_->GetUsedMacros());
    EXPECT_EQ(excess, static_cast<int>((16 + 6 + 4 * 1200 - 4096) / 4 + 1));
    EXPECT_EQ(Sent(cmd::kWriteMacro), before);
    EXPECT_EQ(mouse_->DownloadMacros({}), 0) << "nothing to write is done";
}

TEST_F(MouseDeviceTest, SettingBlockCarriesLightStagesRateAndScreen) {
    Read();
    std::vector<DpiStage> stages = mouse_->GetDpiStages();
    stages[1].SetDpiX(49);
    mouse_->SetDpiStages(stages);
    mouse_->SelectDpiStage(1);
    mouse_->SetPollingRate(3);
    LightInfo light = mouse_->LightState();
    light.selectItem = 3;  // static
    light.light = 2;
    light.speed = 1;
    light.red = 0xFF;
    mouse_->Profile().WriteLightInfo(light);
    mouse_->ApplyLightSettings();
    ASSERT_EQ(mouse_->DownloadSettings(0, 0, 1, 2560, 1440), kResultOk);

    const auto block = Firmware(Area::Setting);
    EXPECT_EQ(block[1], mouse_->DefaultData().lightModeCodes[3]);
    EXPECT_EQ(block[2], 2);
    EXPECT_EQ(block[3], 3) << "speed is sent as 4 - speed";
    EXPECT_EQ(block[6], 0xFF);
    EXPECT_EQ(block[11], 3);
    EXPECT_EQ(block[12], 1);
    EXPECT_EQ(block[14 + 9 + 2], 49);
    EXPECT_EQ(block[59], 1);
    EXPECT_EQ(block[60] | block[61] << 8, 2560);
    EXPECT_EQ(block[62] | block[63] << 8, 1440);

    // A custom effect (mode 12) goes out as mode 0's code; the preview plays the list.
    light.selectItem = 12;
    mouse_->Profile().WriteLightInfo(light);
    mouse_->ApplyLightSettings();
    EXPECT_EQ(mouse_->BuildSettingBlock(0, 1, 0, 0)[1], mouse_->DefaultData().lightModeCodes[0]);
}

TEST_F(MouseDeviceTest, SelectedCorrectionOfTheProfileGoesToBytes64And65) {
    Read();
    Json::Value file = ReadJsonFile(mouse_->GetProfilePath());
    file["Device"][0]["CorrectInfo"] = ReadJsonText(R"([
        {"CorrectPixThresh": 9, "CorrectMinSq": 8, "CorrectSelect": 0, "CorrectName": "off"},
        {"CorrectPixThresh": 300, "CorrectMinSq": 7, "CorrectSelect": 1, "CorrectName": "on"},
        {"CorrectPixThresh": 5, "CorrectMinSq": 4, "CorrectSelect": 1, "CorrectName": "later"}])");
    ASSERT_EQ(WriteJsonFile(mouse_->GetProfilePath(), file), 0);
    mouse_->LoadProfile();
    ASSERT_EQ(mouse_->DownloadSettings(0, 0, 1, 1920, 1080), kResultOk);
    const auto block = Firmware(Area::Setting);
    EXPECT_EQ(block[64], 7) << "the first selected entry's CorrectMinSq";
    EXPECT_EQ(block[65], 300 & 0xFF) << "its CorrectPixThresh, truncated to a byte";

    // None selected: both bytes 0.
    file["Device"][0]["CorrectInfo"][1]["CorrectSelect"] = 0;
    file["Device"][0]["CorrectInfo"][2]["CorrectSelect"] = 0;
    ASSERT_EQ(WriteJsonFile(mouse_->GetProfilePath(), file), 0);
    mouse_->LoadProfile();
    EXPECT_EQ(mouse_->BuildSettingBlock(0, 1, 0, 0)[64], 0);
    EXPECT_EQ(mouse_->BuildSettingBlock(0, 1, 0, 0)[65], 0);
}

// Every file below `root` with its bytes.
std::map<std::string, std::string> Snapshot(const std::filesystem::path& root) {
    std::map<std::string, std::string> files;
    for (const auto& item : std::filesystem::recursive_directory_iterator(root)) {
        if (item.is_regular_file())
            files[item.path().string()] = test::TempDir::Read(item.path().string());
    }
    return files;
}

TEST_F(MouseDeviceTest, PathLikeProfileIdsNameNoFile) {
    const std::string folder = mouse_->GetUserDataFolder();
    // Where each id would lead if it were joined into a path; each holds a profile whose
    // stage 0 is 1234, so reading one would show.
    Json::Value planted;
    planted["Device"][0]["DPIStages"]["StageDPIs"][0]["StageDPIX"] = 1234;
    std::filesystem::create_directories(folder + "etc");
    std::filesystem::create_directories(folder + "a");
    for (const std::string& path :
         {dir_.File("x.Json"), folder + "etc/passwd.Json", folder + "a/b.Json"})
        ASSERT_EQ(WriteJsonFile(path, planted), 0);

    for (const char* id : {"../../x", "/etc/passwd", "a/b", ".."}) {
        Json::Value list;
        list["profilelist"][0]["profilename"] = "evil";
        list["profilelist"][0]["profileUUID"] = id;
        list["profileselect"] = 0;
        ASSERT_EQ(WriteJsonFile(folder + "ProfileList.ini", list), 0);
        const auto before = Snapshot(dir_.path());

        mouse_->SetProfileName("");  // the list's selected profile
        EXPECT_EQ(mouse_->LoadProfile(), 0) << id;
        EXPECT_EQ(mouse_->GetProfilePath(), "") << id;
        ASSERT_FALSE(mouse_->GetDpiStages().empty()) << id;
        EXPECT_NE(mouse_->GetDpiStages()[0].DpiX(), 1234) << id << ": the factory profile plays";
        std::vector<DpiStage> stages = mouse_->GetDpiStages();
        stages[0].SetDpiX(77);
        mouse_->SetDpiStages(stages);
        EXPECT_EQ(mouse_->SaveProfile(), -1) << id;
        mouse_->LoadDefaultProfile();
        EXPECT_EQ(Snapshot(dir_.path()), before) << id << ": nothing read, renamed or written";
    }
    // A safe id after a hostile one gets its own file again.
    mouse_->SetProfileName("plain");
    mouse_->LoadProfile();
    EXPECT_EQ(mouse_->GetProfilePath(), folder + "plain.Json");
}

TEST_F(MouseDeviceTest, TwoRangeSensorScale) {
    MouseSensor s;
    s.id = MouseSensor::kTwoRangeSensor;
    s.minDpi = 100;
    s.step = 100;
    EXPECT_EQ(s.DpiOfSliderValue(48), 4900);
    EXPECT_EQ(s.DpiOfSliderValue(49), 5100);
    EXPECT_EQ(s.SliderValueOfDpi(5100), 49);
    EXPECT_EQ(s.SliderValueOfDpi(4900), 48);
    EXPECT_EQ(s.SliderValueOfDpi(50), 0) << "below the minimum counts as the minimum";
    for (int v = 0; v <= 128; ++v)
        ASSERT_EQ(s.SliderValueOfDpi(s.DpiOfSliderValue(v)), v) << "an edited value shows as typed";
    s.id = 0x1234;
    EXPECT_EQ(s.DpiOfSliderValue(49), 5000);
    std::array<std::uint8_t, kInfoBlockSize> info{};
    EXPECT_EQ(MouseSensor::FromInfo(info).step, 1) << "a zero step never divides";
}

TEST_F(MouseDeviceTest, ActiveProfileReadTakesTheMouseLighting) {
    Read();
    const std::array<std::uint8_t, 9> block = {
        0, static_cast<std::uint8_t>(mouse_->DefaultData().lightModeCodes[4]), 1, 0, 0, 1, 9, 8, 7};
    bus_->Firmware(Product::Mouse).WriteArea(Area::Setting, 0, block);
    const std::array<std::uint8_t, 1> stage{3};
    bus_->Firmware(Product::Mouse).WriteArea(Area::Setting, 12, stage);
    mouse_->ReadActiveProfile();
    EXPECT_EQ(mouse_->LightState().selectItem, 4) << "device code back to the page's mode";
    EXPECT_EQ(mouse_->LightState().speed, 4);
    EXPECT_EQ(mouse_->LightState().red, 9);
    EXPECT_EQ(mouse_->ActiveDpiStage(), 3);
    CMouseProfiledata saved;
    saved.LoadDocument(mouse_->GetProfilePath());
    EXPECT_EQ(saved.ReadLightInfo().selectItem, 4) << "written to the profile file";
}

TEST_F(MouseDeviceTest, EventWordsSwitchProfileStageAndTriggerReactive) {
    Read();
    const int before = host_.refreshes;
    mouse_->OnEventWord(0x1123, EventLink::Receiver);
    EXPECT_EQ(mouse_->ActiveProfile(), 3);
    EXPECT_EQ(mouse_->SettingCopy()[12], 2);
    EXPECT_EQ(host_.refreshes, before + 1);

    LightInfo light = mouse_->LightState();
    light.selectItem = 6;
    light.light = 4;
    light.multiColor = 1;
    mouse_->SetLightInfo(light);
    mouse_->OnEventWord(0x0403, EventLink::Receiver);
    EXPECT_EQ(mouse_->Engine().MusicLevel(0), 0) << "only the cable's clicks light up";
    mouse_->OnEventWord(0x0403, EventLink::Cable);
    EXPECT_EQ(mouse_->Engine().MusicLevel(0), 255);
    mouse_->Engine().EffectReactive();
    EXPECT_EQ(LedColour::Unpack(mouse_->GetLedColour(0)).alpha, 255 * 255 / 256)
        << "falls from here";
    mouse_->Engine().EffectReactive();
    EXPECT_EQ(mouse_->Engine().MusicLevel(0), 240);
    const Rgb wheel = preview::ColourWheel()[42];
    const LedColour lit = LedColour::Unpack(mouse_->GetLedColour(0));
    EXPECT_EQ((Rgb{lit.c0, lit.c1, lit.c2}), wheel);

    mouse_->CommandChannel().SetOpen(false);
    mouse_->OnEventWord(0x1005, EventLink::Cable);
    EXPECT_EQ(mouse_->ActiveProfile(), 3) << "ignored while closed";
}

TEST_F(MouseDeviceTest, CustomEffectListPlaysAndAdvances) {
    Read();
    // An empty list blanks the LEDs at every pass.
    mouse_->SetLedColour(0, 0xFFFFFFFF);
    LightInfo light = mouse_->LightState();
    light.selectItem = 12;
    mouse_->Profile().WriteLightInfo(light);
    mouse_->ApplyLightSettings();
    mouse_->CommandChannel().SetOpen(true);
    mouse_->StartLightThread();
    ASSERT_TRUE(clock_.AwaitWaiters(1));
    EXPECT_EQ(mouse_->GetLedColour(0), 0u);
    mouse_->SetLedColour(0, 0xFFFFFFFF);
    ASSERT_TRUE(clock_.Advance(10ms));
    mouse_->StopLightThread();
    EXPECT_EQ(mouse_->GetLedColour(0), 0u) << "and again at the next pass";
}

// Runs the custom effect player by hand.
class PlayerProbe : public CTessaronMouseDevice {
public:
    using CTessaronMouseDevice::CTessaronMouseDevice;
    using CTessaronMouseDevice::PlayCustomEffects;
};

// The player set up as the mouse page sets its model up, its data folder below `root`.
void PlaceAsTheMouse(PlayerProbe& player, const std::string& root) {
    player.SetDataRoots(root, MORVA_RES_DIR);
    player.SetModelName("mouse");
    player.SetDeviceKind(kKindMouse);
    player.SetLedCount(kMouseLeds);
    player.SetLightConfigName("kaldo_light");
}

TEST_F(MouseDeviceTest, CustomEffectEntriesWithoutTimeGiveWayAtEveryTick) {
    PlayerProbe player(*bus_, clock_);
    PlaceAsTheMouse(player, dir_.path().string());
    const std::string folder = player.GetUserDataFolder();
    ASSERT_EQ(WriteJsonFile(folder + "kaldo_light.config", ReadJsonText(R"({"LightInfo": [[],
        [{"LightName": "fx", "Guid": "fx"}, {"LightName": "slow", "Guid": "slow"}]]})")),
              0);
    ASSERT_EQ(WriteJsonFile(folder + "fx.light", ReadJsonText(R"({"LEDEffectList": [
        {"LEDREGMode": 1, "LEDBrightness": 4, "LEDSpeed": 4, "red": 255, "Time": 0},
        {"LEDREGMode": 1, "LEDBrightness": 4, "LEDSpeed": 4, "blue": 255, "Time": 0}]})")),
              0);
    ASSERT_EQ(WriteJsonFile(folder + "slow.light", ReadJsonText(R"({"LEDEffectList": [
        {"LEDREGMode": 1, "LEDBrightness": 4, "LEDSpeed": 4, "green": 255, "Time": 60000},
        {"LEDREGMode": 1, "LEDBrightness": 4, "LEDSpeed": 4, "blue": 255, "Time": 0}]})")),
              0);
    player.LoadProfile();
    LightInfo light = player.LightState();
    light.selectItem = 10;
    player.Profile().WriteLightInfo(light);
    player.ApplyLightSettings();

    // Speed 4 draws every 7th pass. With "Time" 0 every pass after the first (no time has
    // passed yet then) hands over to the next entry: pass 7 plays entry 1, pass 14 entry 0.
    auto run = [&](int passes) {
        for (int i = 0; i < passes; ++i) {
            player.PlayCustomEffects();
            clock_.Advance(1ms);
        }
        return LedColour::Unpack(player.GetLedColour(0));
    };
    EXPECT_EQ(run(7).c2, 255) << "pass 7 plays entry 1";
    EXPECT_EQ(run(7).c0, 255) << "pass 14 plays entry 0: the last is followed by the first";

    light.selectItem = 11;
    player.Profile().WriteLightInfo(light);
    player.ApplyLightSettings();
    run(20);
    EXPECT_EQ(player.EffectPosition(), 0) << "a minute-long entry stays";
    EXPECT_EQ(LedColour::Unpack(player.GetLedColour(0)).c1, 255);
}

TEST_F(MouseDeviceTest, CustomEffectStepsCountOneMillisecondPasses) {
    PlayerProbe player(*bus_);
    PlaceAsTheMouse(player, dir_.path().string());
    const std::string folder = player.GetUserDataFolder();
    ASSERT_EQ(WriteJsonFile(folder + "kaldo_light.config", ReadJsonText(R"({"LightInfo": [[],
        [{"LightName": "fx", "Guid": "fx"}]]})")),
              0);
    player.LoadProfile();
    LightInfo light = player.LightState();
    light.selectItem = 10;
    player.Profile().WriteLightInfo(light);
    // Static at speed 0 and 4 (28 and 7 passes a step), spectrum at speed 2 (3 passes).
    struct Case {
        int mode, speed, passes;
    };
    for (const Case c : {Case{1, 0, 28}, Case{1, 4, 7}, Case{5, 2, 3}}) {
        Json::Value list = ReadJsonText(R"({"LEDEffectList": [{"LEDBrightness": 4, "red": 255,
            "Time": 60000}]})");
        list["LEDEffectList"][0]["LEDREGMode"] = c.mode;
        list["LEDEffectList"][0]["LEDSpeed"] = c.speed;
        ASSERT_EQ(WriteJsonFile(folder + "fx.light", list), 0);
        player.ApplyLightSettings();
        // Two steps apart: the time the loop waits between them is the effect's pace.
        auto untilDrawn = [&] {
            std::chrono::milliseconds waited{0};
            for (int pass = 0; pass < 100; ++pass) {
                player.SetLedColour(0, 0);
                waited += player.PlayCustomEffects();
                if (player.GetLedColour(0) != 0)
                    return waited;
            }
            return std::chrono::milliseconds(-1);
        };
        untilDrawn();
        EXPECT_EQ(untilDrawn(), std::chrono::milliseconds(c.passes))
            << "mode " << c.mode << " speed " << c.speed;
    }
}

TEST_F(MouseDeviceTest, ShortKeyListKeepsTheOtherButtonsAtTheirFactoryFunction) {
    Read();
    std::vector<KeyListEntry> keys = mouse_->KeyList();
    keys.resize(3);
    keys[0].assignment.code = {0x30, 0xCD, 0x00};
    mouse_->SetKeyList(keys);
    mouse_->SaveProfile();
    mouse_->LoadProfile();
    ASSERT_EQ(mouse_->KeyList().size(), 11u);
    EXPECT_EQ(mouse_->KeyList()[0].assignment.code, (KeyCode{0x30, 0xCD, 0x00}));
    EXPECT_EQ(mouse_->KeyList()[7].assignment.code, MouseButtonReferences()[7]);
    ASSERT_EQ(mouse_->DownloadCurrentKeyTable(0), kResultOk);
    EXPECT_EQ(KeyAt(mouse_->ButtonPosition(9)), MouseButtonReferences()[9]);
}

TEST_F(MouseDeviceTest, ShootPatternsGoOutWholeOrNotAtAll) {
    Read();
    for (int i = 0; i < 4; ++i) {
        std::filesystem::copy_file(
            std::string(MORVA_RES_DIR) + "/DefaultData/ShootData_" + std::to_string(i) + ".Shoot",
            mouse_->GetUserDataFolder() + "ShootData_" + std::to_string(i) + ".Shoot");
    }
    ASSERT_EQ(mouse_->DownloadShootPatterns(), kResultOk);
    const auto image = Firmware(Area::Shoot);
    EXPECT_EQ(image[4] | image[5] << 8, 4) << "four patterns";

    // 17,000 events do not fit the image's 16-bit lengths: refused, nothing sent.
    Json::Value big;
    for (int e = 0; e < 17000; ++e) {
        Json::Value ev;
        ev["Action"] = "down";
        ev["Type"] = 4;
        ev["Button"] = 1;
        ev["Delay"] = "1";
        big["Events"].append(ev);
    }
    ASSERT_EQ(WriteJsonFile(mouse_->GetUserDataFolder() + "ShootData_2.Shoot", big), 0);
    const std::size_t before = Sent(cmd::kWriteShoot);
    EXPECT_EQ(mouse_->DownloadShootPatterns(), kResultImageTooLarge);
    EXPECT_EQ(Sent(cmd::kWriteShoot), before);
}

TEST_F(MouseDeviceTest, EditedBulletReachesTheShootMemoryAndKeepsTheFileOtherwise) {
    Read();
    const std::string folder = mouse_->GetUserDataFolder();
    std::filesystem::remove(folder + "ShootData_3.Shoot");
    std::ofstream(folder + "ShootData_2.Shoot") << "{\"Events\": [";  // cut short
    mouse_->RestoreShootPatterns();
    for (int w : {2, 3}) {
        const std::string name = "ShootData_" + std::to_string(w) + ".Shoot";
        EXPECT_EQ(test::TempDir::Read(folder + name),
                  test::TempDir::Read(std::string(MORVA_RES_DIR) + "/DefaultData/" + name));
    }

    Json::Value pattern = ReadJsonFile(folder + "ShootData_1.Shoot");
    pattern["Note"] = "kept";
    ASSERT_EQ(WriteJsonFile(folder + "ShootData_1.Shoot", pattern), 0);
    ShootBullet b;
    b.left = false;
    b.x = 3;
    b.up = true;
    b.y = 12;
    b.delay = 95;
    ASSERT_TRUE(mouse_->ChangeShootBullet(1, 4, b).Ok());
    pattern = ReadJsonFile(folder + "ShootData_1.Shoot");
    EXPECT_EQ(pattern["Note"].asString(), "kept");
    const char* const expected[] = {"down/1/10/1",  "up/1/0/1", "up/3/5/4",
                                    "down/12/95/5", "up/0/0/4", "down/0/0/5"};
    for (int k = 0; k < 6; ++k) {
        const Json::Value& e = pattern["Events"][24 + k];
        EXPECT_EQ(e["Action"].asString() + "/" + std::to_string(e["Button"].asInt()) + "/" +
                      std::to_string(e["Delay"].asInt()) + "/" + std::to_string(e["Type"].asInt()),
                  expected[k]);
    }
    EXPECT_FALSE(mouse_->ChangeShootBullet(4, 0, b).Ok());
    EXPECT_FALSE(mouse_->ChangeShootBullet(0, 30, b).Ok());

    ASSERT_TRUE(mouse_->SendShootPatterns().Ok());
    const auto image = Firmware(Area::Shoot);
    // 16-byte header, four offsets, then per weapon a count, two zero bytes and 180 events.
    const std::size_t weapon1 = 16 + 2 * 4 + (4 + 180 * 4);
    EXPECT_EQ(image[16 + 2] | image[16 + 3] << 8, static_cast<int>(weapon1));
    const std::vector<std::uint8_t> bullet4(image.begin() + weapon1 + 4 + 24 * 4,
                                            image.begin() + weapon1 + 4 + 30 * 4);
    EXPECT_EQ(bullet4, (std::vector<std::uint8_t>{10, 0, 0x81, 1,  0, 0, 0x01, 1, 5, 0, 0x04, 3,
                                                  95, 0, 0x85, 12, 0, 0, 0x04, 0, 0, 0, 0x85, 0}));
}

TEST_F(MouseDeviceTest, ShootValuesAreHeldToWhatTheMouseTakes) {
    Read();
    mouse_->RestoreShootPatterns();
    struct Case {
        int x, y, delay;
        int heldX, heldY, heldDelay;
    };
    const Case cases[] = {
        {-1, -7, -5, 0, 0, 0},
        {0, 0, 0, 0, 0, 0},
        {255, 255, 65535, 255, 255, 65535},
        {256, 300, 65536, 255, 255, 65535},
        {100000, 1, 70000, 255, 1, 65535},
    };
    for (const Case& c : cases) {
        ShootBullet b;
        b.x = c.x;
        b.y = c.y;
        b.delay = c.delay;
        ASSERT_TRUE(mouse_->ChangeShootBullet(0, 7, b).Ok());
        const ShootBullet held = mouse_->ShootPattern(0)[7];
        EXPECT_EQ(std::tie(held.x, held.y, held.delay), std::tie(c.heldX, c.heldY, c.heldDelay))
            << c.x << " " << c.y << " " << c.delay;
    }
    // A file written elsewhere is shown, and sent, held as well: not wrapped to its low bits.
    const std::string path = mouse_->GetUserDataFolder() + "ShootData_0.Shoot";
    Json::Value pattern = ReadJsonFile(path);
    pattern["Events"][3]["Button"] = 300;
    pattern["Events"][3]["Delay"] = "70000";
    pattern["Events"][2]["Button"] = -4;
    ASSERT_EQ(WriteJsonFile(path, pattern), 0);
    const ShootBullet shown = mouse_->ShootPattern(0)[0];
    EXPECT_EQ(std::tie(shown.x, shown.y, shown.delay), std::make_tuple(0, 255, 65535));
    ASSERT_TRUE(mouse_->SendShootPatterns().Ok());
    const auto image = Firmware(Area::Shoot);
    const std::size_t first = 16 + 2 * 4 + 4;
    EXPECT_EQ(image[first + 2 * 4 + 3], 0) << "x";
    EXPECT_EQ(
        std::vector<std::uint8_t>(image.begin() + first + 3 * 4, image.begin() + first + 4 * 4),
        (std::vector<std::uint8_t>{0xFF, 0xFF, 0x05, 255}))
        << "delay 65535, a move down by 255";
}

TEST_F(MouseDeviceTest, ShootCopiesNeverLeaveHalfAFile) {
    Read();
    mouse_->RestoreShootPatterns();
    const std::string folder = mouse_->GetUserDataFolder();
    ShootBullet b;
    b.x = 42;
    ASSERT_TRUE(mouse_->ChangeShootBullet(0, 0, b).Ok());
    const std::string exported = dir_.File("mine.shoot");
    ASSERT_TRUE(mouse_->ExportShootPattern(0, exported).Ok());
    ASSERT_TRUE(mouse_->ImportShootPattern(2, exported).Ok());
    EXPECT_EQ(test::TempDir::Read(folder + "ShootData_2.Shoot"),
              test::TempDir::Read(folder + "ShootData_0.Shoot"));
    EXPECT_EQ(mouse_->ShootPattern(2)[0].x, 42);

    const std::string whole = test::TempDir::Read(exported);
    const std::string target = folder + "ShootData_2.Shoot";
    const std::string sources[] = {
        dir_.File("missing.shoot"),
        dir_.path().string(),  // a folder cannot be read as a file
        dir_.Write("empty.shoot", ""),
        dir_.Write("cut.shoot", whole.substr(0, whole.size() / 2)),
        dir_.Write("list.shoot", "[1, 2]"),
    };
    for (const std::string& source : sources) {
        const OpResult r = mouse_->ImportShootPattern(2, source);
        EXPECT_EQ(r.messageKey, kMsgShootFileUnreadable) << source;
        EXPECT_EQ(test::TempDir::Read(target), whole) << source;
    }
    // An export whose target cannot be written leaves the pattern and reports it.
    EXPECT_EQ(mouse_->ExportShootPattern(0, dir_.File("no/such/folder.shoot")).code,
              kResultNotSaved);
    ASSERT_TRUE(mouse_->ResetShootPattern(2).Ok());
    EXPECT_EQ(test::TempDir::Read(target),
              test::TempDir::Read(std::string(MORVA_RES_DIR) + "/DefaultData/ShootData_2.Shoot"));

    // Too many events for one image: the user is told, and the mouse gets nothing.
    Json::Value big;
    for (int e = 0; e < 17000; ++e)
        big["Events"][e]["Type"] = 4;
    ASSERT_EQ(WriteJsonFile(dir_.File("big.shoot"), big), 0);
    ASSERT_TRUE(mouse_->ImportShootPattern(3, dir_.File("big.shoot")).Ok());
    const std::size_t before = Sent(cmd::kWriteShoot);
    const OpResult r = mouse_->SendShootPatterns();
    EXPECT_EQ(r.code, kResultImageTooLarge);
    EXPECT_EQ(r.messageKey, kMsgShootImageTooLarge);
    EXPECT_EQ(Sent(cmd::kWriteShoot), before);
}

TEST_F(MouseDeviceTest, StatusGoesToThePowerPanelAndTheOwner) {
    const std::array<std::uint8_t, 6> status = {77, 2, 0, 0, 5, 0};
    bus_->SetStatusBlock(Product::Mouse, status);
    Read(Link::MouseReceiver);
    mouse_->RefreshPowerStatus();
    std::lock_guard lock(host_.mutex);
    EXPECT_EQ(host_.status, (std::vector<std::uint8_t>{77, 2, 0, 1, 5, 0})) << "byte 3: receiver";
    ASSERT_FALSE(host_.messages.empty());
    EXPECT_EQ(host_.messages.back(), std::make_pair(0x0D01, 5));
}

TEST_F(MouseDeviceTest, DownloadsReportTheFirstFailingExchange) {
    Read();
    bus_->InjectFault(Link::Mouse, sim::Fault::StatusFF, 3);
    EXPECT_EQ(mouse_->DownloadSettings(0, 0, 1, 1920, 1080), kResultStatusFF);
    bus_->ClearFaults(Link::Mouse);
    bus_->InjectFault(Link::Mouse, sim::Fault::StatusFE, 4);
    EXPECT_EQ(mouse_->DownloadCurrentKeyTable(0), kResultStatusFE);
    bus_->ClearFaults(Link::Mouse);
    bus_->SetReachable(Product::Mouse, false);
    mouse_->CommandChannel().SetOpen(false);
    Open(Link::MouseReceiver);
    EXPECT_FALSE(mouse_->IsWirelessReachable());
    EXPECT_EQ(mouse_->DownloadSettings(0, 0, 1, 1920, 1080), kResultNoAnswer);
    EXPECT_EQ(mouse_->DownloadMacros({0}), kResultWriteFailed);
}

}  // namespace
}  // namespace morva
