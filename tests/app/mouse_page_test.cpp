// The mouse page in the main window on the simulated bus: its cells, the DPI stages, polling
// rate and system values as the window's entries change them, the button list and the
// rubber band over the LEDs.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScreen>
#include <QSettings>
#include <QTest>
#include <QTimer>

#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <utility>

#include "app/main_wnd.h"
#include "app/msg_wnd.h"
#include "app/sim_window.h"
#include "device/key_codes.h"
#include "device/models/mouse_device.h"
#include "profile/json_file.h"
#include "sim/sim_bus.h"
#include "support/file_size_limit.h"
#include "support/temp_dir.h"
#include "tools/morvactl/cli.h"
#include "ui/controls/device_key_button.h"
#include "ui/language/language_manager.h"
#include "ui/pages/device_option.h"
#include "ui/pages/mouse_page.h"
#include "ui/pages/power_panel.h"
#include "ui/panels/key_set_control.h"
#include "ui/toolkit/controls.h"
#include "ui/toolkit/list.h"
#include "ui/toolkit/paint_manager.h"
#include "ui/toolkit/resource_manager.h"

#include <sstream>

namespace morva::app {
namespace {

using sim::Link;
using sim::Product;
using ui::CControlUI;

// Where stage i's bytes start in the mouse's setting block.
constexpr std::size_t StageAt(int i) {
    return 14 + 9 * static_cast<std::size_t>(i);
}

class MousePageTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(sim_.Start({Link::Mouse}));
        bus_ = sim_.bus.get();
        window_ = sim_.window.get();
        devices_ = sim_.devices;
        page_ = dynamic_cast<ui::CMousePageUI*>(devices_->PageOfKind(kKindMouse));
        ASSERT_NE(page_, nullptr);
        answer_.callOnTimeout([this] {
            for (QWidget* w : QApplication::topLevelWidgets()) {
                auto* box = qobject_cast<CMsgWnd*>(w);
                if (box == nullptr || !box->isVisible())
                    continue;
                if (CControlUI* text = box->FindControl(QStringLiteral("MessageText")))
                    boxTexts_ << text->GetText();
                if (beforeAnswer_)
                    std::exchange(beforeAnswer_, nullptr)();
                box->Close(confirm_ ? CMsgWnd::kResultConfirm : CMsgWnd::kResultCancel);
            }
        });
    }

    // Plugs the mouse in and waits until the page has read it.
    void Connect() { ASSERT_TRUE(sim_.ConnectMouse()); }

    CTessaronMouseDevice& Mouse() { return page_->Mouse(); }
    template <typename T = CControlUI>
    T* Find(const QString& name) const {
        return dynamic_cast<T*>(ui::CPaintManagerUI::FindSubControlByName(page_, name));
    }
    template <typename T = CControlUI>
    T* Stage(const char* prefix, int i) const {
        return Find<T>(QLatin1String(prefix) + QString::number(i));
    }
    bool Route(const char* type, CControlUI* sender, intptr_t wParam = 0) {
        return window_->Route(ui::TNotifyUI{QString::fromLatin1(type), sender, wParam, 0});
    }
    std::vector<std::uint8_t> Setting() {
        return bus_->Firmware(Product::Mouse).ReadArea(sim::Area::Setting);
    }
    // The profile as the file on disk holds it.
    CMouseProfiledata Saved() {
        CMouseProfiledata saved;
        saved.LoadDocument(Mouse().GetProfilePath());
        return saved;
    }
    std::vector<DpiStage> SavedStages() { return Saved().ReadDpiStages(); }
    QString EditText(int i) const { return Stage("DPI_edit_", i)->GetText(); }
    QString Dpi(int sliderValue) {
        return QString::number(Mouse().Sensor().DpiOfSliderValue(sliderValue));
    }
    void ClickCheck(const char* prefix, int i, bool on) {
        CControlUI* check = Stage(prefix, i);
        ASSERT_NE(check, nullptr);
        if (auto* option = dynamic_cast<ui::COptionUI*>(check))
            option->Selected(on, false);
        else
            dynamic_cast<ui::CCheckBoxUI*>(check)->Selected(on, false);
        Route("selectchanged", check);
    }
    // Answers every message box that opens with confirm (or cancel) and records its text;
    // `before` runs once, just before the first answer.
    void AnswerBoxes(bool confirm, std::function<void()> before = {}) {
        confirm_ = confirm;
        beforeAnswer_ = std::move(before);
        answer_.start(20);
    }

    test::SimWindow sim_;
    test::TempDir& dir_ = sim_.dir;
    sim::SimBus* bus_ = nullptr;
    CMainWnd* window_ = nullptr;
    CDeviceManager* devices_ = nullptr;
    ui::CMousePageUI* page_ = nullptr;
    QTimer answer_;
    bool confirm_ = false;
    std::function<void()> beforeAnswer_;
    QStringList boxTexts_;
};

TEST_F(MousePageTest, ReceiverTabWaitsForTheWirelessMouseAndShowsItsBattery) {
    bus_->Unplug(Link::Mouse);
    bus_->Plug(Link::MouseReceiver);
    bus_->SetReachable(Product::Mouse, false);
    const std::array<std::uint8_t, 6> status = {85, 2, 0, 0, 0, 0};
    bus_->SetStatusBlock(Product::Mouse, status);
    Mouse().CommandChannel().receiverTimeoutMs = 100;
    devices_->PollDevicesOnce();
    QCoreApplication::processEvents();
    ASSERT_TRUE(Mouse().CommandChannel().ViaReceiver());
    ui::CDeviceOptionUI* entry = page_->TabEntry();
    ASSERT_TRUE(sim_.FireEntryTimer(entry, kEntryTimerStartup));  // finds nobody
    EXPECT_FALSE(entry->IsShown());
    EXPECT_EQ(Mouse().Sensor().maxSlider, 0) << "nothing read from a mouse that is away";

    bus_->SetReachable(Product::Mouse, true);
    ASSERT_TRUE(sim_.FireEntryTimer(entry, kEntryTimerStartup)) << "the start-up check retries";
    QCoreApplication::processEvents();
    EXPECT_TRUE(entry->IsShown());
    ASSERT_GT(Mouse().Sensor().maxSlider, 0);
    CControlUI* level = ui::CPaintManagerUI::FindSubControlByName(
        page_->PowerPanel(), QStringLiteral("device_power_value"));
    ASSERT_NE(level, nullptr);
    ASSERT_TRUE(sim_.FireEntryTimer(entry, kEntryTimerStatus));
    QCoreApplication::processEvents();
    EXPECT_EQ(level->GetText(), QLatin1String("85%"));
}

TEST_F(MousePageTest, SyncRequestBringsTheMouseSettingsToPageAndProfile) {
    Connect();
    // The mouse switched to stage 3 and green static lighting on its own.
    const std::array<std::uint8_t, 1> stage{3};
    bus_->Firmware(Product::Mouse).WriteArea(sim::Area::Setting, 12, stage);
    const std::array<std::uint8_t, 8> light = {
        static_cast<std::uint8_t>(Mouse().DefaultData().lightModeCodes[3]), 3, 1, 0, 0, 0, 255, 0};
    bus_->Firmware(Product::Mouse).WriteArea(sim::Area::Setting, 1, light);
    ASSERT_TRUE(bus_->SendEvent(Link::Mouse, 0x0401));
    // The event reader asks for the entry's timer; the settings are read when it fires.
    ASSERT_TRUE(sim_.FireEntryTimerOnceStarted(page_->TabEntry(), kEntryTimerActiveProfile));
    EXPECT_EQ(Mouse().ActiveDpiStage(), 3);
    QCoreApplication::processEvents();
    EXPECT_TRUE(Stage<ui::COptionUI>("DPI_select_check_", 3)->IsSelected());
    EXPECT_EQ(Mouse().LightState().selectItem, 3);
    EXPECT_EQ(Mouse().LightState().green, 255);
    EXPECT_EQ(Saved().ReadLightInfo().selectItem, 3);
    CMouseProfiledata saved = Saved();
    saved.ReadDpiStages();
    EXPECT_EQ(saved.StageActive(), 3);
}

TEST_F(MousePageTest, ProfileSwitchOnTheMouseRefreshesThePage) {
    Connect();
    auto* slider = Stage<ui::CSliderUI>("DPI_slider_", 1);
    ASSERT_NE(slider, nullptr);
    const int shown = slider->GetValue();
    slider->SetValue(shown + 5);  // the page drifted from the model
    ASSERT_TRUE(bus_->SendEvent(Link::Mouse, 0x1123));
    ASSERT_TRUE(QTest::qWaitFor([&] { return Mouse().ActiveProfile() == 3; }, 3000));
    EXPECT_EQ(Mouse().SettingCopy()[12], 2);
    EXPECT_TRUE(QTest::qWaitFor([&] { return slider->GetValue() == shown; }, 3000))
        << "shown again from the model";
}

TEST_F(MousePageTest, KeyAssignmentPanelPutsTheRightBytesInTheKeyTable) {
    Connect();
    // Three macros; the button will use the third, repeated six times.
    Json::Value list;
    for (int i = 0; i < 3; ++i) {
        list["MacroInfo"][i]["MacroName"] = "m" + std::to_string(i);
        list["MacroInfo"][i]["Guid"] = "g" + std::to_string(i);
        Json::Value mac;
        mac["Events"][0]["Action"] = "down";
        mac["Events"][0]["Type"] = 10;
        mac["Events"][0]["Button"] = 4;
        ASSERT_EQ(
            WriteJsonFile(Mouse().GetUserDataFolder() + "g" + std::to_string(i) + ".mac", mac), 0);
    }
    ASSERT_EQ(WriteJsonFile(Mouse().GetUserDataFolder() + "macro.config", list), 0);

    Route("click", Find("key_3"));
    EXPECT_FALSE(page_->KeySetPanel()->IsVisible()) << "keys are chosen on the buttons tab";
    ClickCheck("mouse_device_seting_option_", 2, true);
    Route("click", Find("key_3"));
    ui::CKeySetControlUI* panel = page_->KeySetPanel();
    ASSERT_NE(panel, nullptr);
    ASSERT_TRUE(panel->IsVisible());
    auto* functions = Find<ui::CComboUI>("keyset_function_combo");
    auto choose = [&](int category) {
        for (int i = 0; i < functions->GetCount(); ++i) {
            if (functions->GetItemUserData(i).toInt() == category)
                functions->SelectItem(i, false, false);
        }
        Route("itemselect", functions);
    };
    auto pick = [&](const char* combo, int row) {
        Find<ui::CComboUI>(QString::fromLatin1(combo))->SelectItem(row, false, false);
        Route("itemselect", Find(QString::fromLatin1(combo)));
    };
    auto table = [&] {
        const auto bytes = bus_->Firmware(Product::Mouse).ReadArea(sim::Area::KeyTable);
        const auto at = static_cast<std::size_t>(3 * Mouse().ButtonPosition(3));
        return KeyCode{bytes[at], bytes[at + 1], bytes[at + 2]};
    };

    // The chosen button is marked on the picture and in the list.
    EXPECT_EQ(Find<ui::CDeviceKeyButtonUI>("key_3")->IsKeySelected(), 1);
    EXPECT_EQ(Find<ui::CDeviceKeyButtonUI>("key_0")->IsKeySelected(), 0);
    auto* keyList = Find<ui::CListUI>("device_setkeyinfo_list");
    EXPECT_TRUE(keyList->GetItemAt(3)->GetBkColor().isValid());
    EXPECT_FALSE(keyList->GetItemAt(0)->GetBkColor().isValid());

    const KeyCode chosen = table();
    choose(kCategoryMedia);
    pick("keyset_media_combo", 1);
    EXPECT_EQ(table(), (KeyCode{0x30, 0xCD, 0x00}));
    EXPECT_EQ(page_->KeyToolText(3), window_->Translate(QStringLiteral("media_play")));
    // Cancel undoes the instant apply, on the mouse too.
    Route("click", Find("key_butt_keycancel"));
    EXPECT_EQ(table(), chosen);
    EXPECT_EQ(Saved().ReadKeyList()[3].assignment.code, chosen);
    choose(kCategoryMedia);
    pick("keyset_media_combo", 1);
    EXPECT_EQ(table(), (KeyCode{0x30, 0xCD, 0x00}));

    choose(kCategoryDpi);
    pick("keyset_mousedpi_combo", 2);
    EXPECT_EQ(table(), (KeyCode{0x13, 0x03, 0x00}));

    choose(kCategoryMacro);
    pick("keyset_macro_combo", 2);
    pick("keyset_macro_over_combo", kMacroRepeatCounted);
    Find("keyset_macro_cycle_edit")->SetText(QStringLiteral("6"));
    Route("killfocus", Find("keyset_macro_cycle_edit"));
    EXPECT_EQ(Mouse().KeyList()[3].assignment.code, (KeyCode{0x71, 2, 6}));
    EXPECT_EQ(table(), (KeyCode{0x71, 0, 6})) << "the macro's slot among the used ones";

    choose(kCategoryShortcut);
    pick("keyset_combokey_combo", 0);
    EXPECT_EQ(table(), OfficeShortcutCodes[0]);

    Route("click", Find("key_butt_keydefalut"));
    Route("click", Find("key_butt_keysave"));
    EXPECT_EQ(table(), MouseButtonReferences()[3]);
    EXPECT_EQ(Saved().ReadKeyList()[3].assignment.code, MouseButtonReferences()[3]);
    EXPECT_EQ(window_->EditingSaved(), 0);
    EXPECT_TRUE(Find("key_butt_prosave")->IsEnabled()) << "a change waits to be saved";
    Route("click", Find("key_butt_prosave"));
    EXPECT_EQ(window_->EditingSaved(), 1);
    EXPECT_FALSE(Find("key_butt_prosave")->IsEnabled());

    // Macro recording locks the device tabs and the profile panel until it is saved.
    window_->SetEditingState(1, 0);
    EXPECT_FALSE(window_->FindControl("device_select_layout")->IsEnabled());
    EXPECT_FALSE(Find("DeviceProfileItem")->IsEnabled());
    window_->SetEditingState(1, 1);
    EXPECT_TRUE(window_->FindControl("device_select_layout")->IsEnabled());
}

TEST_F(MousePageTest, TheOnlyLeftButtonKeepsItsFunction) {
    Connect();
    ClickCheck("mouse_device_seting_option_", 2, true);
    AnswerBoxes(true);
    Route("click", Find("key_0"));
    answer_.stop();
    ASSERT_EQ(boxTexts_.size(), 1);
    EXPECT_EQ(boxTexts_.front(), window_->Translate(QStringLiteral("message_text_6")));
    EXPECT_FALSE(page_->KeySetPanel()->IsVisible());
}

TEST_F(MousePageTest, BindsElevenKeysAndFifteenLedsOnTheDrawnMouse) {
    EXPECT_EQ(page_->GetClass(), "TessaronUSBDevice");
    CControlUI* panel = page_->SelectPanel();
    ASSERT_NE(panel, nullptr);
    EXPECT_EQ(panel->GetName(), "mouse_device_key_light");
    EXPECT_EQ(panel->GetParent()->GetName(), "mouse_device_seting_layout");
    ASSERT_EQ(page_->KeyButtons().size(), 11u);
    ASSERT_EQ(page_->LedControls().size(), 15u);
    for (int i = 0; i < 11; ++i) {
        ui::CDeviceKeyButtonUI* key = page_->KeyButtons()[static_cast<std::size_t>(i)];
        ASSERT_NE(key, nullptr) << i;
        EXPECT_EQ(key->GetName(), QStringLiteral("key_%1").arg(i));
        EXPECT_EQ(key->GetParent(), panel) << "a direct child: the rubber band only sees those";
    }
    for (int i = 0; i < 15; ++i) {
        ui::CDeviceKeyButtonUI* led = page_->LedControls()[static_cast<std::size_t>(i)];
        ASSERT_NE(led, nullptr) << i;
        EXPECT_EQ(led->GetUserData(), QStringLiteral("light_%1").arg(i));
        EXPECT_EQ(led->GetParent(), panel);
        EXPECT_TRUE(led->IsKeyLightShown());
    }
    EXPECT_EQ(page_->LogoLed(), page_->LedControls()[14]);
}

TEST_F(MousePageTest, ProfileWritesThatFailAreReportedWithTheSystemsReasonAndLeaveTheFilesWhole) {
    Connect();
    const std::filesystem::path folder =
        std::filesystem::path(Mouse().GetProfilePath()).parent_path();
    const auto files = [&] {
        std::map<std::string, std::string> texts;
        for (const auto& entry : std::filesystem::directory_iterator(folder))
            texts[entry.path().filename().string()] = ReadFileText(entry.path().string());
        return texts;
    };
    const auto before = files();
    auto* slider = Stage<ui::CSliderUI>("DPI_slider_", 2);
    AnswerBoxes(true);
    {
        const test::FileSizeLimit full(256);
        slider->SetValue(slider->GetValue() + 3);
        Route("valuechanged", slider);  // a change the device takes and the file cannot
        Route("click", Find(QStringLiteral("device_add_btn")));
    }
    answer_.stop();
    ASSERT_EQ(boxTexts_.size(), 2);
    for (const QString& text : boxTexts_) {
        EXPECT_TRUE(text.startsWith(window_->Translate(QStringLiteral("profile_file_error"))))
            << text.toStdString();
        EXPECT_TRUE(text.contains(QString::fromLocal8Bit(std::strerror(EFBIG))))
            << text.toStdString();
    }
    EXPECT_EQ(files(), before) << "every file as it was, and no half-written one beside it";
}

TEST_F(MousePageTest, AMouseThatDoesNotAnswerIsReadAgainAndTheUserHearsOfTheLastMiss) {
    Mouse().CommandChannel().cableTimeoutMs = 20;
    ui::CDeviceOptionUI* entry = page_->TabEntry();
    bus_->InjectFault(Link::Mouse, sim::Fault::WriteFailure, 1000);
    devices_->PollDevicesOnce();
    QCoreApplication::processEvents();
    AnswerBoxes(true);
    ASSERT_TRUE(sim_.FireEntryTimer(entry, kEntryTimerStartup));
    ASSERT_EQ(Mouse().Sensor().maxSlider, 0) << "the read was meant to fail";

    // Answered the next time: read, nothing to tell, no more tries.
    bus_->ClearFaults(Link::Mouse);
    ASSERT_TRUE(sim_.FireEntryTimer(entry, kEntryTimerStartup));
    EXPECT_GT(Mouse().Sensor().maxSlider, 0);
    EXPECT_LT(sim_.timers.DueIn(entry, kEntryTimerStartup), 0);
    EXPECT_TRUE(boxTexts_.isEmpty());

    // Never answered: three tries, then the user is told once, in words.
    bus_->InjectFault(Link::Mouse, sim::Fault::WriteFailure, 1000);
    entry->StartStartupTimer();
    for (int attempt = 0; attempt < 3; ++attempt) {
        ASSERT_TRUE(sim_.FireEntryTimer(entry, kEntryTimerStartup)) << attempt;
        EXPECT_EQ(boxTexts_.size(), attempt == 2 ? 1 : 0) << attempt;
    }
    EXPECT_LT(sim_.timers.DueIn(entry, kEntryTimerStartup), 0);
    ASSERT_EQ(boxTexts_.size(), 1);
    EXPECT_TRUE(boxTexts_[0].contains(QStringLiteral("did not answer")))
        << boxTexts_[0].toStdString();
}

TEST_F(MousePageTest, StagesSurviveAMouseThatCouldNotBeRead) {
    Mouse().CommandChannel().cableTimeoutMs = 100;
    bus_->InjectFault(Link::Mouse, sim::Fault::NoAnswer, 3);
    devices_->PollDevicesOnce();
    QCoreApplication::processEvents();
    ASSERT_TRUE(sim_.FireEntryTimer(page_->TabEntry(), kEntryTimerStartup));
    ASSERT_FALSE(Mouse().GetDpiStages().empty());
    ASSERT_EQ(Mouse().Sensor().maxSlider, 0) << "the read was meant to fail";
    QCoreApplication::processEvents();
    for (int i = 0; i < kMouseDpiStages; ++i)
        EXPECT_FALSE(Stage("DPI_edit_", i)->IsEnabled()) << "no typing without the sensor's scale";
    const std::vector<DpiStage> stored = Mouse().GetDpiStages();
    AnswerBoxes(true);  // the mouse does not take the settings
    ClickCheck("DPI_select_check_", 1, true);
    const std::vector<DpiStage> saved = SavedStages();
    ASSERT_EQ(saved.size(), stored.size());
    for (std::size_t i = 0; i < stored.size(); ++i)
        EXPECT_EQ(saved[i].DpiX(), stored[i].DpiX()) << i;
}

TEST_F(MousePageTest, SliderReleaseSavesTheStageAndSendsTheSettingBlock) {
    Connect();
    auto* slider = Stage<ui::CSliderUI>("DPI_slider_", 2);
    slider->SetValue(20);
    EXPECT_TRUE(Route("valuechanged", slider, 20));
    EXPECT_EQ(EditText(2), Dpi(20));
    EXPECT_EQ(SavedStages().at(2).DpiX(), 20);
    EXPECT_EQ(SavedStages().at(2).DpiY(), 20) << "X and Y move together while not split";
    const std::vector<std::uint8_t> block = Setting();
    EXPECT_EQ(block[StageAt(2) + 2], 20);
    EXPECT_EQ(block[StageAt(2) + 3], 0);
    EXPECT_EQ(block[StageAt(2) + 4], 20);
    EXPECT_EQ(block[StageAt(1) + 2], Mouse().GetDpiStages()[1].DpiX()) << "the others as they were";
    const QScreen* screen = window_->screen();
    const QSize pixels = screen->size() * screen->devicePixelRatio();
    EXPECT_EQ(block[60] | block[61] << 8, pixels.width());
    EXPECT_EQ(block[62] | block[63] << 8, pixels.height());
}

// One change, from the page and from morvactl, ends up as the same setting block: both go
// through the mouse model's operation.
TEST_F(MousePageTest, ThePageAndMorvactlWriteTheSameBytesForTheSameChange) {
    const QSize pixels = window_->ScreenPixels();
    const std::string state = dir_.File("cli-sim.json");
    std::ostringstream out, err;
    const int status = cli::RunMorvactl(
        {"--simulate", "mouse", "--sim-state", state, "--data-dir", dir_.File("cli-data"),
         "--screen", std::to_string(pixels.width()) + "x" + std::to_string(pixels.height()),
         "mouse", "dpi", "1", "1600"},
        out, err, {});
    ASSERT_EQ(status, 0) << err.str();
    const std::vector<std::uint8_t> byTool =
        sim::SimBus({{}, {}, state}).Firmware(Product::Mouse).ReadArea(sim::Area::Setting);

    Connect();
    auto* edit = Stage<ui::CEditUI>("DPI_edit_", 1);
    edit->SetText(QStringLiteral("1600"));
    Route("return", edit);
    const std::vector<std::uint8_t> byPage = Setting();
    ASSERT_GE(byPage.size(), kMouseSettingWriteSize);
    ASSERT_GE(byTool.size(), kMouseSettingWriteSize);
    for (std::size_t i = 0; i < kMouseSettingWriteSize; ++i)
        EXPECT_EQ(int{byPage[i]}, int{byTool[i]}) << "setting byte " << i;
    EXPECT_EQ(byPage[StageAt(1) + 2], Mouse().Sensor().SliderValueOfDpi(1600));
}

TEST_F(MousePageTest, DraggingShowsTheValueWithoutWritingAnything) {
    Connect();
    // The simulated sensor: 100 DPI per step from 100 DPI, two ranges.
    ASSERT_EQ(Mouse().Sensor().id, MouseSensor::kTwoRangeSensor);
    const std::vector<std::uint8_t> before = Setting();
    const int saved = SavedStages().at(1).DpiX();
    auto* slider = Stage<ui::CSliderUI>("DPI_slider_", 1);
    Route("movevaluechanged", slider, 48);
    EXPECT_EQ(EditText(1), "4900");
    Route("movevaluechanged", slider, 49);
    EXPECT_EQ(EditText(1), "5100") << "200 DPI per step above step 48";
    EXPECT_EQ(Setting(), before);
    EXPECT_EQ(SavedStages().at(1).DpiX(), saved);
}

TEST_F(MousePageTest, TypedDpiIsRaisedToTheMinimumAndHeldInRange) {
    Connect();
    auto* edit = Stage("DPI_edit_", 3);
    auto type = [&](const char* text) {
        edit->SetText(QString::fromLatin1(text));
        Route("killfocus", edit);
    };
    type("50");
    EXPECT_EQ(EditText(3), "100");
    EXPECT_EQ(page_->GetDpiSliderValue(3), 0);
    EXPECT_EQ(Setting()[StageAt(3) + 2], 0);
    EXPECT_EQ(SavedStages().at(3).DpiX(), 0);
    type("5100");
    EXPECT_EQ(EditText(3), "5100") << "a value of the upper range shows as typed";
    EXPECT_EQ(Setting()[StageAt(3) + 2], 49);
    type("5000");
    EXPECT_EQ(EditText(3), "4900") << "between two steps: the lower one";
    type("99999999999999");
    EXPECT_EQ(page_->GetDpiSliderValue(3), Mouse().Sensor().maxSlider);
    EXPECT_EQ(Setting()[StageAt(3) + 2], Mouse().Sensor().maxSlider);
    type("");
    EXPECT_EQ(EditText(3), Dpi(Mouse().Sensor().maxSlider))
        << "an empty edit shows the value again";
    edit->SetText(QStringLiteral("1600"));
    Route("return", edit);
    EXPECT_EQ(EditText(3), "1600") << "Return commits";
    EXPECT_EQ(SavedStages().at(3).DpiX(), Mouse().Sensor().SliderValueOfDpi(1600));
}

TEST_F(MousePageTest, SecondDpiFamilyClampsTypedValues) {
    Connect();
    // Another mouse's layout carries these; the entries only need them on the current page.
    auto* edit = new ui::CEditUI;
    auto* slider = new ui::CSliderUI;
    page_->Add(edit);
    page_->Add(slider);
    edit->SetName(QStringLiteral("kaldo_DPI_edit_2"));
    slider->SetName(QStringLiteral("kaldo_DPI_slider_2"));
    slider->SetMinValue(200);
    slider->SetMaxValue(6500);
    const std::vector<std::uint8_t> before = Setting();
    edit->SetText(QStringLiteral("50"));
    Route("killfocus", edit);
    EXPECT_EQ(edit->GetText(), "200");
    EXPECT_EQ(slider->GetValue(), 200);
    edit->SetText(QStringLiteral("99999"));
    Route("killfocus", edit);
    EXPECT_EQ(edit->GetText(), "6500");
    EXPECT_EQ(slider->GetValue(), 6500);
    Route("movevaluechanged", slider, 3150);
    EXPECT_EQ(edit->GetText(), "3150");
    EXPECT_EQ(Setting(), before);
}

TEST_F(MousePageTest, TheStageInUseAndTheLastEnabledStageStayOn) {
    Connect();
    ASSERT_EQ(Mouse().ActiveDpiStage(), 0);
    for (int i : {1, 2, 3}) {
        ClickCheck("DPI_enable_check_", i, false);
        EXPECT_FALSE(page_->IsDpiStageEnabled(i));
        EXPECT_FALSE(Stage("DPI_slider_", i)->IsEnabled());
        EXPECT_TRUE(Stage("DPI_enable_check_", i)->IsEnabled()) << "and it can come back";
        EXPECT_EQ(Setting()[StageAt(i)], 0);
    }
    EXPECT_TRUE(Stage("DPI_enable_check_", 4)->IsEnabled());
    ClickCheck("DPI_enable_check_", 4, false);
    EXPECT_FALSE(Stage("DPI_enable_check_", 0)->IsEnabled()) << "the last one left";

    // Even a notification that gets through changes nothing but says why.
    AnswerBoxes(true);
    ClickCheck("DPI_enable_check_", 0, false);
    EXPECT_EQ(boxTexts_.size(), 1);
    EXPECT_TRUE(page_->IsDpiStageEnabled(0));
    EXPECT_EQ(SavedStages().at(0).stageActive, 1);
    EXPECT_EQ(Setting()[StageAt(0)], 1);

    // A switched-off stage cannot become the one in use.
    ClickCheck("DPI_select_check_", 2, true);
    EXPECT_EQ(Mouse().ActiveDpiStage(), 0);
    EXPECT_FALSE(Stage<ui::COptionUI>("DPI_select_check_", 2)->IsSelected());

    ClickCheck("DPI_enable_check_", 2, true);
    ClickCheck("DPI_select_check_", 2, true);
    EXPECT_EQ(Mouse().ActiveDpiStage(), 2);
    EXPECT_EQ(Setting()[12], 2);
    EXPECT_FALSE(Stage<ui::COptionUI>("DPI_select_check_", 0)->IsSelected());
    EXPECT_FALSE(Stage("DPI_enable_check_", 2)->IsEnabled());
    EXPECT_TRUE(Stage("DPI_enable_check_", 0)->IsEnabled()) << "no longer in use, no longer last";
    ClickCheck("DPI_enable_check_", 0, false);
    EXPECT_EQ(Setting()[StageAt(0)], 0);
    EXPECT_FALSE(Stage("DPI_enable_check_", 2)->IsEnabled());
}

TEST_F(MousePageTest, PollingRateAndSystemValues) {
    Connect();
    ClickCheck("polling_rate_option_", 3, true);
    EXPECT_EQ(Setting()[11], 3);
    EXPECT_EQ(Saved().ReadMouseStages().reportRate, 3);
    for (int i : {0, 1, 2, 4})
        EXPECT_FALSE(Stage<ui::COptionUI>("polling_rate_option_", i)->IsSelected()) << i;

    // Pointer and wheel values only go into the profile.
    const std::vector<std::uint8_t> block = Setting();
    auto* speed = Find<ui::CSliderUI>(QStringLiteral("pointer_speed_slider"));
    speed->SetValue(17);
    Route("valuechanged", speed, 17);
    auto* lines = Find<ui::CSliderUI>(QStringLiteral("scroll_speed_slider"));
    lines->SetValue(7);
    Route("valuechanged", lines, 7);
    auto* click = Find<ui::CSliderUI>(QStringLiteral("double_click_slider"));
    click->SetValue(650);
    Route("valuechanged", click, 650);
    auto* byPage = Find<ui::CCheckBoxUI>(QStringLiteral("scrolls_page_check"));
    byPage->Selected(true, false);
    Route("selectchanged", byPage);
    EXPECT_FALSE(lines->IsEnabled()) << "lines per notch mean nothing while scrolling by page";
    const MouseSystemStages saved = Saved().ReadMouseStages();
    EXPECT_EQ(saved.mouseSpeed, 17);
    EXPECT_EQ(saved.wheelScorlllinse, 7);
    EXPECT_EQ(saved.doubleClickTime, 650);
    EXPECT_EQ(saved.scorllPage, 1);
    EXPECT_EQ(saved.reportRate, 3);
    EXPECT_EQ(Setting(), block);
}

TEST_F(MousePageTest, ButtonListHasALabelledItemPerVisibleButton) {
    Connect();
    auto* list = Find<ui::CListUI>(QStringLiteral("device_setkeyinfo_list"));
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->GetCount(), 11);
    auto labels = [&](int i) {
        auto* row = dynamic_cast<ui::IContainerUI*>(list->GetItemAt(i));
        return std::pair{dynamic_cast<QLabel*>(row->GetItemAt(0)->GetWidget())->text(),
                         dynamic_cast<QLabel*>(row->GetItemAt(1)->GetWidget())->text()};
    };
    for (int i = 0; i < 11; ++i) {
        EXPECT_TRUE(list->GetItemAt(i)->IsVisible()) << i;
        EXPECT_EQ(labels(i).first, page_->KeyToolTitle(i));
        EXPECT_EQ(labels(i).second, page_->KeyToolText(i));
        EXPECT_FALSE(page_->KeyToolText(i).isEmpty()) << i;
        EXPECT_FALSE(page_->KeyToolTitle(i).startsWith(QLatin1String("mouse_key_"))) << i;
    }
    EXPECT_EQ(labels(0).first, window_->Translate(QStringLiteral("mouse_key_left")));
    EXPECT_EQ(labels(1).second, window_->Translate(QStringLiteral("mouse_key_right")));
    EXPECT_FALSE(labels(8).first.startsWith(QLatin1String("keyboard_key_")))
        << "the keyboard's key name, shown by its label while the language has none";

    // A hidden button hides its item; an assignment without a name has none.
    page_->KeyButtons()[3]->SetVisible(false);
    std::vector<KeyListEntry> keys = Mouse().KeyList();
    keys[5].assignment.code = KeyCode{0x15, 0, 0};
    keys[6].assignment.code = KeyCode{0x20, kModLeftCtrl | kModLeftShift, 0x06};
    Mouse().SetKeyList(keys);
    Mouse().RefreshPage();
    EXPECT_FALSE(list->GetItemAt(3)->IsVisible());
    EXPECT_FALSE(list->GetItemAt(5)->IsVisible());
    EXPECT_TRUE(page_->KeyToolText(5).isEmpty());
    EXPECT_EQ(labels(6).second.count(u'+'), 2) << labels(6).second.toStdString();
    EXPECT_FALSE(labels(6).second.contains(QLatin1String("keyboard_key_")));

    const QString english = labels(0).first;
    window_->ApplyLanguage(1);
    QCoreApplication::processEvents();
    EXPECT_NE(labels(0).first, english);
    EXPECT_EQ(labels(0).first, window_->Translate(QStringLiteral("mouse_key_left")));
}

TEST_F(MousePageTest, RubberBandOverTheWholeMouseReloadsTheProfileAndSendsIt) {
    Connect();
    // The profile file changes behind the page's back; the mouse forgets stage 3.
    CMouseProfiledata file;
    file.SetDocumentPath(Mouse().GetProfilePath());
    file.LoadDocument(Mouse().GetProfilePath());
    std::vector<DpiStage> stages = file.ReadDpiStages();
    stages.at(3).SetDpiX(40);
    file.WriteDpiStages(stages);
    file.Save();
    const std::array<std::uint8_t, 2> zero{};
    bus_->Firmware(Product::Mouse).WriteArea(sim::Area::Setting, StageAt(3) + 2, zero);
    CControlUI* panel = page_->SelectPanel();

    // Some LEDs: nothing happens.
    for (std::size_t i = 0; i < 8; ++i)
        page_->LedControls()[i]->SetKeySelected(1);
    EXPECT_TRUE(Route("click_select_end", panel));
    EXPECT_EQ(Setting()[StageAt(3) + 2], 0);
    EXPECT_NE(page_->GetDpiSliderValue(3), 40);

    // Every LED, a hidden one counting as selected.
    for (std::size_t i = 0; i < 14; ++i)
        page_->LedControls()[i]->SetKeySelected(1);
    page_->LedControls()[14]->SetVisible(false);
    EXPECT_TRUE(Route("click_select_end", panel));
    EXPECT_EQ(page_->GetDpiSliderValue(3), 40);
    EXPECT_EQ(Setting()[StageAt(3) + 2], 40);
}

TEST_F(MousePageTest, DefaultsAfterConfirmationAndAMissedWriteIsReported) {
    Connect();
    const int factory = Mouse().GetDpiStages()[2].DpiX();
    auto* slider = Stage<ui::CSliderUI>("DPI_slider_", 2);
    slider->SetValue(factory + 9);
    Route("valuechanged", slider);
    CControlUI* button = Find(QStringLiteral("default_btn"));

    AnswerBoxes(false);
    Route("click", button);
    EXPECT_EQ(SavedStages().at(2).DpiX(), factory + 9);
    ASSERT_EQ(boxTexts_.size(), 1);

    // The first exchange after the confirmation is lost: the macros' turn.
    AnswerBoxes(true, [this] { bus_->InjectFault(Link::Mouse, sim::Fault::WriteFailure); });
    Route("click", button);
    answer_.stop();
    EXPECT_EQ(SavedStages().at(2).DpiX(), factory);
    EXPECT_EQ(page_->GetDpiSliderValue(2), factory);
    EXPECT_EQ(Setting()[StageAt(2) + 2], factory);
    ASSERT_EQ(boxTexts_.size(), 3);
    EXPECT_EQ(boxTexts_[2], window_->Translate(QStringLiteral("message_text_7")));
}

TEST_F(MousePageTest, SettingsTabsFollowTheirOptions) {
    Connect();
    auto* tabs = dynamic_cast<ui::CTabLayoutUI*>(
        Find(QStringLiteral("DPI_layout_0"))->GetParent()->GetParent());
    ASSERT_NE(tabs, nullptr);
    // The settings tabs and the profile panel's function tabs are one set.
    EXPECT_EQ(tabs->GetCurSel(), 3) << "the page opens on the lighting the model starts with";
    ClickCheck("mouse_device_seting_option_", 2, true);
    EXPECT_EQ(tabs->GetCurSel(), 2);
    EXPECT_EQ(Mouse().GetFunctionType(), 2);
    EXPECT_TRUE(Find<ui::COptionUI>("key_Op_tab")->IsSelected());
    EXPECT_FALSE(Stage<ui::COptionUI>("mouse_device_seting_option_", 0)->IsSelected());
    auto* system = Find<ui::COptionUI>("system_Op_tab");
    system->Selected(true, false);
    Route("selectchanged", system);
    EXPECT_EQ(tabs->GetCurSel(), 1) << "system settings: the performance tab";
    EXPECT_EQ(Mouse().GetFunctionType(), 4);
    page_->SelectSettingsPage(7);
    EXPECT_EQ(tabs->GetCurSel(), 0) << "out of range: the first";
    EXPECT_TRUE(Stage<ui::COptionUI>("mouse_device_seting_option_", 0)->IsSelected());
    EXPECT_FALSE(Stage<ui::COptionUI>("mouse_device_seting_option_", 2)->IsSelected());
    page_->SetFunctionType(2);
    EXPECT_FALSE(Find(QStringLiteral("device_tishi_info"))->IsVisible());
}

TEST_F(MousePageTest, DesktopSettingsStartTheInstalledProgram) {
    const QString bin = QString::fromStdString(dir_.path().string()) + "/bin";
    ASSERT_TRUE(QDir().mkpath(bin));
    // Each stand-in program leaves a file named after itself.
    for (const char* name : {"xfce4-keyboard-settings", "xfce4-mouse-settings"}) {
        QFile script(bin + "/" + name);
        ASSERT_TRUE(script.open(QIODevice::WriteOnly));
        script.write("#!/bin/sh\n: > \"$0.started\"\n");
        script.close();
        script.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                              QFileDevice::ExeOwner);
    }
    auto started = [&](const char* name) {
        return QTest::qWaitFor([&] { return QFileInfo::exists(bin + "/" + name + ".started"); },
                               5000);
    };
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", bin.toUtf8());
    Route("click", Find(QStringLiteral("windowdeviceset_1")));
    const bool mouse = started("xfce4-mouse-settings");
    Route("click", Find(QStringLiteral("windowdeviceset_0")));
    const bool keyboard = started("xfce4-keyboard-settings");
    qputenv("PATH", path);
    EXPECT_TRUE(mouse);
    EXPECT_TRUE(keyboard);
    EXPECT_EQ(QDir(bin).entryList({QStringLiteral("*.started")}).size(), 2);
}

TEST_F(MousePageTest, EntriesWithoutTheMouseDoNothing) {
    // Not connected: no current device.
    const std::vector<std::uint8_t> before = Setting();
    auto* slider = Stage<ui::CSliderUI>("DPI_slider_", 0);
    slider->SetValue(30);
    EXPECT_TRUE(Route("valuechanged", slider));
    ClickCheck("polling_rate_option_", 2, true);
    EXPECT_EQ(Setting(), before);
    EXPECT_EQ(Mouse().GetDpiStages(), std::vector<DpiStage>{}) << "nothing was read or stored";
    EXPECT_EQ(window_->PendingFeatureCalls().count("device settings"), 0u);
}

}  // namespace
}  // namespace morva::app
