// The keyboard model against the simulated keyboard: reading and key matching, the setting
// record, both key tables and the macros, the faults the record read and the downloads
// must survive, and the event words.
#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <cstring>

#include "base/clock.h"
#include "device/models/keyboard_device.h"
#include "profile/json_file.h"
#include "sim/sim_bus.h"
#include "support/temp_dir.h"

namespace morva {
namespace {

using sim::Area;
using sim::Link;
using sim::Product;

constexpr int kKeyA = 64;
constexpr int kKeyF5 = 5;
constexpr int kKeyEsc = 0;
constexpr int kKeyQ = 43;

class Host : public IDeviceHost {
public:
    void StartEntryTimer(int id, int ms) override {
        std::lock_guard lock(mutex);
        timers.emplace_back(id, ms);
    }
    void SendOwnerMessage(int, std::intptr_t, std::intptr_t) override {}
    void ShowPowerStatus(std::span<const std::uint8_t>) override {}
    void RefreshPage() override {
        std::lock_guard lock(mutex);
        ++refreshes;
    }
    void ReloadProfileList() override { ++listReloads; }

    std::mutex mutex;
    std::vector<std::pair<int, int>> timers;
    int refreshes = 0;
    int listReloads = 0;
};

class KeyboardDeviceTest : public ::testing::TestWithParam<Link> {
protected:
    void SetUp() override {
        sim::SimBusOptions options;
        options.plugged = {Link::Keyboard, Link::KeyboardReceiver};
        bus_ = std::make_unique<sim::SimBus>(options);
        kb_ = std::make_unique<CTessaronKeyboardDevice>(*bus_, clock_);
        kb_->SetHost(&host_);
        kb_->SetDataRoots(dir_.path().string(), MORVA_RES_DIR);
        kb_->ApplyTypeRow(1);
        kb_->SetSlotRecord(SupportedInterfaces()[0]);
        CTessaronKeyboardDevice::ClearProfileListChanged();
    }
    void TearDown() override { kb_.reset(); }

    void Open(Link link) {
        CDeviceChannel& channel = kb_->CommandChannel();
        channel.cableTimeoutMs = 200;
        channel.receiverTimeoutMs = 200;
        ASSERT_TRUE(
            kb_->Links().Open(sim::IsReceiver(link) ? ProductLink::Receiver : ProductLink::Cable,
                              bus_->CommandPath(link)));
    }
    void Read(Link link = Link::Keyboard) {
        Open(link);
        kb_->ReadFromDevice();
        kb_->StopLightThread();
    }
    sim::VirtualFirmware& Firmware() { return bus_->Firmware(Product::Keyboard); }
    KeyCode CodeAt(Area area, int position) {
        const auto t = Firmware().ReadArea(area, static_cast<std::size_t>(3 * position), 3);
        return {t[0], t[1], t[2]};
    }
    std::uint8_t RecordByte(int profile, std::size_t byte) {
        return Firmware().ReadArea(Area::Setting, profile * kKeyboardRecordSize + byte, 1)[0];
    }
    std::size_t Sent(std::uint8_t command) const {
        std::size_t n = 0;
        for (const sim::Report& r : bus_->ReceivedReports(Product::Keyboard))
            n += r[3] == command;
        return n;
    }
    Json::Value SavedProfile() const { return ReadJsonFile(kb_->GetProfilePath()); }
    void WriteMacros(int count, int events) {
        Json::Value list;
        for (int i = 0; i < count; ++i) {
            const std::string guid = "k" + std::to_string(i);
            list["MacroInfo"][i]["MacroName"] = "macro " + std::to_string(i);
            list["MacroInfo"][i]["Guid"] = guid;
            Json::Value mac;
            for (int e = 0; e < events; ++e) {
                Json::Value ev;
                ev["Action"] = e % 2 == 0 ? "down" : "up";
                ev["Button"] = 4 + i;
                ev["Type"] = 1;
                ev["Delay"] = "30";
                mac["Events"].append(ev);
            }
            ASSERT_EQ(WriteJsonFile(kb_->GetUserDataFolder() + guid + ".mac", mac), 0);
        }
        ASSERT_EQ(WriteJsonFile(kb_->GetUserDataFolder() + "macro.config", list), 0);
    }

    test::TempDir dir_;
    Host host_;
    CManualClock clock_;
    std::unique_ptr<sim::SimBus> bus_;
    std::unique_ptr<CTessaronKeyboardDevice> kb_;
};

INSTANTIATE_TEST_SUITE_P(Links, KeyboardDeviceTest,
                         ::testing::Values(Link::Keyboard, Link::KeyboardReceiver),
                         [](const auto& info) {
                             return info.param == Link::Keyboard ? "Cable" : "Receiver";
                         });

TEST_P(KeyboardDeviceTest, ReadMatchesKeysToPositionsAndLeds) {
    Read(GetParam());
    EXPECT_EQ(kb_->KeyPositions(), 112);
    EXPECT_EQ(kb_->CommandChannel().TransferSize(), 336);
    // The matrix runs row by row: Esc first, 'A' after Caps on the home row.
    EXPECT_EQ(kb_->KeyPosition(kKeyEsc), 0);
    EXPECT_EQ(kb_->KeyPosition(kKeyA), 61);
    EXPECT_EQ(kb_->KeyLight(kKeyA), 61);
    EXPECT_EQ(kb_->KeyPosition(kKeyboardFnKey), 98);
    // Blanks and the ISO/JIS extras are not on this keyboard.
    for (int absent : {18, 62, 79, 102})
        EXPECT_EQ(kb_->KeyPosition(absent), kKeyAbsent) << absent;
    // The factory profile came in, and the record's values with it.
    EXPECT_EQ(kb_->KeyList().size(), 126u);
    EXPECT_EQ(kb_->GetSystemStages().keyShake, 1);
    EXPECT_EQ(kb_->LightState().selectItem, 1);
}

TEST_P(KeyboardDeviceTest, EachSettingLandsInItsRecordByteOfTheActiveProfile) {
    Read(GetParam());
    struct Case {
        const char* name;
        std::function<OpResult()> change;
        std::size_t byte;
        std::uint8_t value;
    };
    const std::vector<Case> cases = {
        {"polling rate", [&] { return kb_->ChangePollingRate(1); }, krec::kPollingRate, 1},
        {"W flag", [&] { return kb_->ChangeWFlag(true); }, krec::kWFlag, 1},
        {"rollover", [&] { return kb_->ChangeRollover(true); }, krec::kRollover, 1},
        {"Windows lock", [&] { return kb_->ChangeWinLock(true); }, krec::kWinLock, 1},
        {"debounce", [&] { return kb_->ChangeDebounce(4); }, krec::kDebounce, 4},
    };
    // The keyboard switched itself to on-board profile 2: the record goes there.
    Firmware().WriteArea(Area::Setting, 0, std::vector<std::uint8_t>{2});
    kb_->ReadActiveProfile();
    ASSERT_EQ(kb_->ActiveProfile(), 2);
    for (const Case& c : cases) {
        EXPECT_TRUE(c.change().Ok()) << c.name;
        EXPECT_EQ(RecordByte(2, c.byte), c.value) << c.name;
    }
    EXPECT_EQ(RecordByte(0, 0), 2) << "the keyboard stays on its profile";
    EXPECT_EQ(RecordByte(0, krec::kPollingRate), 3) << "profile 0 untouched";
    // Repeat rate and delay live in the profile only.
    const std::size_t writes = Sent(0x06);
    EXPECT_TRUE(kb_->ChangeRepeatDelay(3).Ok());
    EXPECT_TRUE(kb_->ChangeRepeatRate(7).Ok());
    EXPECT_EQ(Sent(0x06), writes);
    const Json::Value stages = SavedProfile()["Device"][0]["SystemStages"];
    EXPECT_EQ(stages["RepeatDelay"].asInt(), 3);
    EXPECT_EQ(stages["Repeat"].asInt(), 7);
    EXPECT_EQ(stages["PollingRate"].asInt(), 1);
    EXPECT_EQ(stages["KeyShake"].asInt(), 4);
    EXPECT_EQ(RepeatDelayMs(3), 1000);
    EXPECT_EQ(RepeatDelayMs(7), 250);
    EXPECT_FALSE(kb_->ChangeDebounce(6).Ok());
    EXPECT_FALSE(kb_->ChangePollingRate(4).Ok());
}

TEST_P(KeyboardDeviceTest, AssignmentsLandAtTheKeyPositionOfEachLayer) {
    Read(GetParam());
    WriteMacros(2, 4);
    const KeyCode media{0x30, 0xE9, 0x00};     // volume up
    const KeyCode shortcut{0x20, 0x01, 0x06};  // Ctrl+C
    const KeyCode macro{0x70, 0x01, 0x00};     // the second macro
    const int pF5 = kb_->KeyPosition(kKeyF5);
    const int pA = kb_->KeyPosition(kKeyA);
    const int pEsc = kb_->KeyPosition(kKeyEsc);
    using Send = CTessaronUSBDevice::KeySend;
    ASSERT_TRUE(kb_->AssignKeyCode(kKeyF5, media, false, Send::MacrosAndKeyTable).Ok());
    ASSERT_TRUE(kb_->AssignKeyCode(kKeyA, shortcut, false, Send::MacrosAndKeyTable).Ok());
    ASSERT_TRUE(kb_->AssignKeyCode(kKeyEsc, macro, true, Send::MacrosAndKeyTable).Ok());
    EXPECT_EQ(CodeAt(Area::KeyTable, pF5), media);
    EXPECT_EQ(CodeAt(Area::KeyTable, pA), shortcut);
    EXPECT_EQ(CodeAt(Area::KeyTable, pEsc), KeyboardFactoryCode(kKeyEsc));
    // Macro 1 is the only one used: it is slot 0 of the image.
    EXPECT_EQ(CodeAt(Area::FnKeyTable, pEsc), (KeyCode{0x70, 0x00, 0x00}));
    // A Fn part equal to the factory code tells the keyboard there is none.
    EXPECT_EQ(CodeAt(Area::FnKeyTable, pA), KeyCode{});
    const auto image = Firmware().ReadArea(Area::Macro, 0, 16 + 2 + 4 + 16);
    const std::vector<std::uint8_t> header = {0xAA, 0x55, 38, 0, 1, 0};
    EXPECT_EQ(std::vector<std::uint8_t>(image.begin(), image.begin() + 6), header);
    EXPECT_EQ(image[16], 18);    // block offset
    EXPECT_EQ(image[18], 4);     // event count
    EXPECT_EQ(image[22], 30);    // delay
    EXPECT_EQ(image[24], 0x81);  // type, pressed
    EXPECT_EQ(image[25], 5);     // macro 1's button
    // The Fn layer keeps its reserved keys and the Fn key for the keyboard.
    EXPECT_FALSE(kb_->AssignKeyCode(kKeyQ, media, true, Send::KeyTable).Ok());
    EXPECT_FALSE(kb_->AssignKeyCode(kKeyboardFnKey, media, false, Send::KeyTable).Ok());
    EXPECT_FALSE(kb_->AssignKeyCode(62, media, false, Send::KeyTable).Ok()) << "absent key";
}

TEST_F(KeyboardDeviceTest, MacroKeysFallBackWhenTheMacrosCannotBeWritten) {
    Firmware().WriteArea(Area::Info, 6, std::vector<std::uint8_t>{1});  // 128 bytes
    Read();
    WriteMacros(1, 40);  // 16 + 6 + 160 bytes
    const int pA = kb_->KeyPosition(kKeyA);
    // The panel's instant apply writes only the key table: the macro must come first.
    const OpResult r =
        kb_->AssignKeyCode(kKeyA, {0x70, 0, 0}, false, CTessaronUSBDevice::KeySend::KeyTable);
    EXPECT_EQ(r.messageKey, kMsgMacroKeysReset);
    EXPECT_EQ(CodeAt(Area::KeyTable, pA), KeyboardFactoryCode(kKeyA));
    EXPECT_EQ(Sent(0x15), 0u) << "no macro image was sent";
    // With room for it, the same assignment sends the macro and then the key.
    Firmware().WriteArea(Area::Info, 6, std::vector<std::uint8_t>{8});
    EXPECT_TRUE(
        kb_->AssignKeyCode(kKeyA, {0x70, 0, 0}, false, CTessaronUSBDevice::KeySend::KeyTable).Ok());
    EXPECT_EQ(CodeAt(Area::KeyTable, pA), (KeyCode{0x70, 0, 0}));
}

TEST_F(KeyboardDeviceTest, FailedRecordReadKeepsTheStoredProfile) {
    Read();
    ASSERT_TRUE(kb_->ChangeDebounce(3).Ok());
    const Json::Value before = SavedProfile();
    bus_->InjectFault(Link::Keyboard, sim::Fault::StatusFF, 2);
    kb_->ReadActiveProfile();
    EXPECT_EQ(SavedProfile(), before);
    kb_->CommandChannel().SetOpen(false);
    kb_->ReadActiveProfile();
    EXPECT_EQ(SavedProfile(), before);
    EXPECT_EQ(kb_->GetSystemStages().keyShake, 3);
}

TEST_F(KeyboardDeviceTest, RefusedTransferSizeStillClosesTheSequence) {
    Firmware().WriteArea(Area::Info, 5, std::vector<std::uint8_t>{200});  // 600 bytes
    Read();
    EXPECT_EQ(kb_->KeyPositions(), 0);
    EXPECT_EQ(Sent(0x01), Sent(0x02));
}

TEST_F(KeyboardDeviceTest, DownloadsReportTheFirstFailingExchange) {
    Read();
    bus_->InjectFault(Link::Keyboard, sim::Fault::StatusFF, 3);
    EXPECT_EQ(kb_->DownloadSettings(0, 0, 1, 0, 0), kResultStatusFF);
    bus_->ClearFaults(Link::Keyboard);
    bus_->InjectFault(Link::Keyboard, sim::Fault::StatusFE, 4);
    EXPECT_EQ(kb_->DownloadCurrentKeyTable(0), kResultStatusFE);
}

TEST_F(KeyboardDeviceTest, ShortImportedKeyListIsCompletedFromTheFactory) {
    Read();
    Json::Value doc = SavedProfile();
    doc["Device"][0]["KeyList"].resize(10);
    ASSERT_EQ(WriteJsonFile(kb_->GetProfilePath(), doc), 0);
    kb_->LoadProfile();
    const std::vector<KeyListEntry> keys = kb_->KeyList();
    ASSERT_EQ(keys.size(), 126u);
    EXPECT_EQ(keys[100].assignment.code, KeyboardFactoryCode(100));
    EXPECT_EQ(kb_->DownloadCurrentKeyTable(0), kResultOk);
}

TEST_F(KeyboardDeviceTest, LightModeCodesStayInTheTable) {
    Read();
    EXPECT_EQ(kb_->LightModeCode(6), 6);
    EXPECT_EQ(kb_->LightModeCode(29), 0xFE);
    EXPECT_EQ(kb_->LightModeCode(40), 0xFE);  // a user effect: the program plays it
    EXPECT_EQ(kb_->LightModeCode(-3), 0xFE);
    // A record read with the program's own mode keeps the program's mode.
    LightInfo light = kb_->LightState();
    light.selectItem = 6;
    kb_->Profile().WriteLightInfo(light);
    kb_->ApplyLightSettings();
    Firmware().WriteArea(Area::Setting, 1, std::vector<std::uint8_t>{0xFE});
    kb_->ReadActiveProfile();
    EXPECT_EQ(kb_->LightState().selectItem, 6);
}

TEST_F(KeyboardDeviceTest, EventWordsSwitchProfilesAndReloadTheList) {
    Read();
    kb_->OnEventWord(0x1123, EventLink::Cable);
    EXPECT_EQ(kb_->ActiveProfile(), 3);
    EXPECT_EQ(kb_->RecordCopy()[krec::kOther], 2);
    kb_->OnEventWord(0x1021, EventLink::Cable);
    EXPECT_EQ(kb_->ActiveProfile(), 1);
    EXPECT_EQ(kb_->RecordCopy()[krec::kOther], 2);
    kb_->OnEventWord(CTessaronKeyboardDevice::kEventProfileListChanged, EventLink::Cable);
    EXPECT_TRUE(CTessaronKeyboardDevice::ProfileListChanged());
    ASSERT_FALSE(host_.timers.empty());
    EXPECT_EQ(host_.timers.back().first, kEntryTimerActiveProfile);
    kb_->ReadActiveProfile();
    EXPECT_EQ(host_.listReloads, 1);
    EXPECT_FALSE(CTessaronKeyboardDevice::ProfileListChanged());
}

TEST_F(KeyboardDeviceTest, OnlyTheProgramsModesSendFramesEachKeyAtItsLed) {
    // The keyboard names an LED index beyond any frame for 'S': it is left out.
    constexpr int kKeyS = 65;
    Firmware().WriteArea(Area::LightIndex, 62, std::vector<std::uint8_t>{200});
    Read();
    ASSERT_EQ(kb_->KeyLight(kKeyS), 200);
    kb_->SetExternalLightControl(true);
    kb_->StopLightThread();
    auto paint = [&](int mode) {
        LightInfo light = kb_->LightState();
        light.selectItem = static_cast<std::uint8_t>(mode);
        kb_->SetLightInfo(light);
        kb_->SetLedColour(kKeyA, LedColour{200, 100, 50, 128}.Pack());
        kb_->SetLedColour(kKeyS, LedColour{255, 255, 255, 255}.Pack());
        return kb_->PresentLightFrame();
    };
    EXPECT_TRUE(paint(1));
    EXPECT_EQ(Sent(0x12), 0u) << "the keyboard plays its own modes";
    EXPECT_TRUE(paint(30));
    EXPECT_GT(Sent(0x12), 0u);
    const auto frame = Firmware().ReadArea(Area::LightFrame);
    const auto at = static_cast<std::size_t>(3 * kb_->KeyLight(kKeyA));
    EXPECT_EQ(std::vector<std::uint8_t>(frame.begin() + at, frame.begin() + at + 3),
              (std::vector<std::uint8_t>{100, 50, 25}));
    EXPECT_TRUE(std::all_of(frame.begin() + 3 * 112, frame.end(), [](auto b) { return b == 0; }))
        << "only the keyboard's N x 3 bytes";
    // The keyboard shows these frames as they come: an unchanged one goes out again.
    const std::size_t sent = Sent(0x12);
    EXPECT_TRUE(kb_->PresentLightFrame());
    EXPECT_GT(Sent(0x12), sent);
}

TEST_F(KeyboardDeviceTest, CustomGroupsAreKeptAndSentPlainWithinTheirOwnBytes) {
    // 'S' names an LED index inside the frame but beyond a group: it must not spill into the next
    // group.
    constexpr int kKeyS = 65;
    Firmware().WriteArea(Area::LightIndex, 62, std::vector<std::uint8_t>{150});
    Read();
    LightInfo light = kb_->LightState();
    light.selectItem = kCustomColourMode;
    light.light = 0;  // alpha 30: a scaled colour would differ from the plain one
    light.red = 200;
    light.green = 100;
    light.blue = 50;
    ASSERT_TRUE(kb_->ChangeLight(light, true).Ok());
    ASSERT_TRUE(kb_->ChangeCustomGroup(1).Ok());
    EXPECT_EQ(RecordByte(kb_->ActiveProfile(), krec::kCustomGroup), 1);
    EXPECT_FALSE(kb_->ChangeCustomGroup(kKeyboardCustomGroups).Ok());

    auto groupBytes = [&](int group, int led) {
        return Firmware().ReadArea(Area::Colours, group * kCustomGroupStride + 3 * led, 3);
    };
    const int ledA = kb_->KeyLight(kKeyA);
    // No group chosen on the panel: only the preview changes.
    ASSERT_TRUE(kb_->SetCustomKeyColour(kKeyA, -1).Ok());
    EXPECT_EQ(LedColour::Unpack(kb_->GetLedColour(kKeyA)).c0, 200);
    EXPECT_EQ(groupBytes(1, ledA), (std::vector<std::uint8_t>{0, 0, 0}));

    ASSERT_TRUE(kb_->SetCustomKeyColour(kKeyA, 1).Ok());
    ASSERT_TRUE(kb_->SetCustomKeyColour(kKeyS, 1).Ok());
    EXPECT_EQ(groupBytes(1, ledA), (std::vector<std::uint8_t>{200, 100, 50}));
    EXPECT_EQ(SavedProfile()["Device"][0]["CustomLightMode"]["LightColorInfo"][1][kKeyA]["Red"],
              200);
    const auto next =
        Firmware().ReadArea(Area::Colours, 2 * kCustomGroupStride, kCustomGroupStride);
    EXPECT_TRUE(std::all_of(next.begin(), next.end(), [](auto b) { return b == 0; }));

    // Filling black sends the whole group; the preview keeps its brightness.
    ASSERT_TRUE(kb_->FillCustomGroup(false, 1).Ok());
    EXPECT_EQ(groupBytes(1, ledA), (std::vector<std::uint8_t>{0, 0, 0}));
    ASSERT_TRUE(kb_->FillCustomGroup(true, 1).Ok());
    EXPECT_EQ(groupBytes(1, kb_->KeyLight(kKeyEsc)), (std::vector<std::uint8_t>{200, 100, 50}));

    // Each group keeps its own colours.
    ASSERT_TRUE(kb_->ChangeCustomGroup(0).Ok());
    EXPECT_EQ(LedColour::Unpack(kb_->GetLedColour(kKeyA)).c0, 0) << "group 0 was never coloured";

    light.selectItem = 1;
    ASSERT_TRUE(kb_->ChangeLight(light, true).Ok());
    EXPECT_FALSE(kb_->SetCustomKeyColour(kKeyA, 1).Ok()) << "only mode 19 colours keys";
}

// The audio path reaches the light from its own thread: spectra feed sub-mode 2's ripple,
// levels become mode 30's colour, which the light thread then shows.
TEST_F(KeyboardDeviceTest, AudioPathDrivesTheHostModes) {
    Read();
    std::vector<std::uint8_t> full(100);
    for (std::size_t i = 0; i < 25; ++i) {
        const std::int32_t band = 2000;  // every bar at 0: 25 energy a spectrum
        std::memcpy(full.data() + 4 * i, &band, 4);
    }
    auto lightMode = [&](int mode, int subMode) {
        LightInfo light = kb_->LightState();
        light.selectItem = static_cast<std::uint8_t>(mode);
        light.light = 4;
        kb_->Profile().WriteLightInfo(light);
        kb_->Profile().WriteAudioLightInfo({.audioMode = static_cast<std::uint8_t>(subMode)});
        kb_->ApplyLightSettings();
    };
    auto seeded = [&] { return kb_->EffectState().masks[0][10] == 1 << 2; };  // I: column 10, row 2
    lightMode(29, 0);
    for (int i = 0; i < 3; ++i)
        kb_->OnAudioSpectrum(full.data(), 25);
    EXPECT_FALSE(seeded()) << "only sub-mode 2 takes spectra at once";
    lightMode(29, 2);
    kb_->OnAudioSpectrum(full.data(), 25);
    kb_->OnAudioSpectrum(full.data(), 25);
    EXPECT_FALSE(seeded());
    kb_->OnAudioSpectrum(full.data(), 25);
    EXPECT_TRUE(seeded()) << "75 reaches 71";

    lightMode(30, 0);
    const int levels[6] = {0x1A0, 0x50, 0x0F, 0, 0, 0};
    kb_->OnAudioLevels(levels);
    kb_->CommandChannel().SetOpen(true);
    kb_->StartLightThread();
    ASSERT_TRUE(clock_.AwaitWaiters(1));
    ASSERT_TRUE(clock_.Advance(std::chrono::milliseconds(10)));
    kb_->StopLightThread();
    EXPECT_EQ(LedColour::Unpack(kb_->GetLedColour(kKeyA)), (LedColour{0xA0, 0x50, 0x0F, 255}));
}

// With its page off screen nobody sees a preview the keyboard plays itself: it is not
// stepped; frames the keyboard takes go on.
TEST_F(KeyboardDeviceTest, AHiddenPagePausesOnlyThePreviewTheKeyboardPlaysItself) {
    Read();
    auto stepsIn = [&](int mode, bool shown) {
        LightInfo light = kb_->LightState();
        light.selectItem = static_cast<std::uint8_t>(mode);
        light.speed = 4;
        kb_->Profile().WriteLightInfo(light);
        kb_->ApplyLightSettings();
        kb_->SetPageShown(shown);
        const std::uint32_t before = kb_->Engine().Generation();
        kb_->StartLightThread();
        EXPECT_TRUE(clock_.AwaitWaiters(1));
        EXPECT_TRUE(clock_.Advance(std::chrono::milliseconds(300)));
        kb_->StopLightThread();
        return kb_->Engine().Generation() != before;
    };
    EXPECT_TRUE(stepsIn(1, true));
    EXPECT_FALSE(stepsIn(1, false));
    kb_->OnAudioLevels(std::array<int, 6>{0x40, 0x80, 0xC0, 0, 0, 0}.data());
    EXPECT_TRUE(stepsIn(30, false)) << "the keyboard shows the program's frames";
}

TEST_F(KeyboardDeviceTest, FnLayerViewDisablesTheReservedKeysOnTheKeyTab) {
    Read();
    kb_->SetFunctionType(2);
    EXPECT_TRUE(kb_->KeyEnabled(kKeyQ));
    EXPECT_FALSE(kb_->KeyEnabled(kKeyboardFnKey));
    ASSERT_TRUE(kb_->ChangeFnLayerView(true).Ok());
    EXPECT_TRUE(SavedProfile()["Device"][0]["FnKeysetFlag"].asBool());
    EXPECT_EQ(FnReservedUiKeys().size(), 32u);
    for (int key : FnReservedUiKeys())
        EXPECT_FALSE(kb_->KeyEnabled(key)) << key;
    EXPECT_TRUE(kb_->KeyEnabled(kKeyEsc));
    kb_->SetFunctionType(1);
    EXPECT_TRUE(kb_->KeyEnabled(kKeyQ));
}

}  // namespace
}  // namespace morva
