// The keyboard page in the main window on the simulated keyboard: each setting as the
// window's entries change it ends in the keyboard's record and the profile, the Fn-layer
// switch changes what the keys show and which take clicks, and an assignment made on the Fn
// layer lands in the Fn part.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QKeyEvent>
#include <QWidget>
#include <QWindow>

#include <algorithm>
#include <string>

#include "app/main_wnd.h"
#include "app/sim_window.h"
#include "device/models/keyboard_device.h"
#include "profile/keyboard_profiledata.h"
#include "profile/profile_list_store.h"
#include "sim/sim_bus.h"
#include "ui/controls/device_key_button.h"
#include "ui/pages/keyboard_page.h"
#include "ui/panels/key_set_control.h"
#include "ui/toolkit/controls.h"
#include "ui/toolkit/paint_manager.h"
#include "ui/toolkit/slider.h"

namespace morva::app {
namespace {

using sim::Link;
using sim::Product;
using ui::CControlUI;

class KeyboardPageTest : public ::testing::Test {
protected:
    void SetUp() override { StartOn(Link::Keyboard); }
    void StartOn(Link link) {
        ASSERT_TRUE(sim_.Start({link}));
        page_ = dynamic_cast<ui::CKeyboardPageUI*>(sim_.devices->PageOfKind(kKindKeyboard));
        ASSERT_NE(page_, nullptr);
        ASSERT_TRUE(sim_.ConnectKeyboard());
    }

    CTessaronKeyboardDevice& Keyboard() { return page_->Keyboard(); }
    template <typename T = CControlUI>
    T* Find(const char* name) const {
        return dynamic_cast<T*>(
            ui::CPaintManagerUI::FindSubControlByName(page_, QString::fromLatin1(name)));
    }
    bool Route(const char* type, CControlUI* sender, intptr_t wParam = 0) {
        return sim_.Route(type, sender, wParam);
    }
    // Selects (or clears) an option as a click does and sends its notification.
    void Toggle(const char* name, bool on) {
        auto* option = Find<ui::COptionUI>(name);
        ASSERT_NE(option, nullptr) << name;
        option->Selected(on, false);
        Route("selectchanged", option);
    }
    void Slide(const char* name, int value) {
        auto* slider = Find<ui::CSliderUI>(name);
        ASSERT_NE(slider, nullptr) << name;
        slider->SetValue(value);
        Route("valuechanged", slider, value);
    }
    // The record of the profile the keyboard uses, as its memory holds it.
    std::uint8_t RecordByte(std::size_t at) {
        const auto area = sim_.bus->Firmware(Product::Keyboard).ReadArea(sim::Area::Setting);
        return area.at(static_cast<std::size_t>(Keyboard().ActiveProfile()) * kKeyboardRecordSize +
                       at);
    }
    KeyboardSystemStages SavedStages() {
        CKeyboardProfiledata saved;
        saved.LoadDocument(Keyboard().GetProfilePath());
        return saved.ReadKeyboardStages();
    }
    KeyCode TableCode(sim::Area area, int key) {
        const auto bytes = sim_.bus->Firmware(Product::Keyboard).ReadArea(area);
        const auto at = static_cast<std::size_t>(3 * Keyboard().KeyPosition(key));
        return KeyCode{bytes.at(at), bytes.at(at + 1), bytes.at(at + 2)};
    }
    void ChooseTab(const char* name) { Toggle(name, true); }

    test::SimWindow sim_;
    ui::CKeyboardPageUI* page_ = nullptr;
};

class KeyboardPageLinkTest : public KeyboardPageTest, public ::testing::WithParamInterface<Link> {
protected:
    void SetUp() override { StartOn(GetParam()); }
};

INSTANTIATE_TEST_SUITE_P(Links, KeyboardPageLinkTest,
                         ::testing::Values(Link::Keyboard, Link::KeyboardReceiver),
                         [](const auto& info) {
                             return info.param == Link::Keyboard ? "Cable" : "Receiver";
                         });

TEST_P(KeyboardPageLinkTest, EachSettingEndsInTheRecordOrOnlyInTheProfile) {
    ChooseTab("system_Op_tab");
    using Stage = std::uint16_t KeyboardSystemStages::*;
    struct Case {
        const char* control;
        bool slider;
        int value;
        int recordByte;  // -1: the record does not carry it
        Stage stored;
    };
    const Case cases[] = {
        {"polling_rate_option_2", false, 2, krec::kPollingRate, &KeyboardSystemStages::pollingRate},
        {"winlockflag_option", false, 1, krec::kWinLock, &KeyboardSystemStages::winFlag},
        {"wflag_option", false, 1, krec::kWFlag, &KeyboardSystemStages::wFlag},
        {"6flag_option", false, 1, krec::kRollover, &KeyboardSystemStages::key6Flag},
        {"6flag_option", false, 0, krec::kRollover, &KeyboardSystemStages::key6Flag},
        {"key_shake_slider", true, 4, krec::kDebounce, &KeyboardSystemStages::keyShake},
        {"repeat_delay_check_3", false, 3, -1, &KeyboardSystemStages::repeatDelay},
        {"repeat_rate_slider", true, 7, -1, &KeyboardSystemStages::repeat},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.control) + " " + std::to_string(c.value));
        const auto before = sim_.bus->Firmware(Product::Keyboard).ReadArea(sim::Area::Setting);
        if (c.slider)
            Slide(c.control, c.value);
        else
            Toggle(c.control, c.value != 0);
        QCoreApplication::processEvents();
        EXPECT_EQ(Keyboard().GetSystemStages().*c.stored, c.value);
        EXPECT_EQ(SavedStages().*c.stored, c.value);
        if (c.recordByte >= 0) {
            EXPECT_EQ(RecordByte(static_cast<std::size_t>(c.recordByte)), c.value);
            EXPECT_EQ(Keyboard().RecordCopy()[static_cast<std::size_t>(c.recordByte)], c.value);
        } else {
            EXPECT_EQ(sim_.bus->Firmware(Product::Keyboard).ReadArea(sim::Area::Setting), before)
                << "kept by the program only";
        }
    }
    // The page shows what the model holds.
    EXPECT_EQ(Find("key_shake_text")->GetText(), QLatin1String("12 ms"));
    EXPECT_EQ(Find("repeat_delay_time_label1")->GetText(),
              sim_.window->Translate(QStringLiteral("Repeat_Delay_Time")) + "1000ms");
    EXPECT_TRUE(Find<ui::COptionUI>("repeat_delay_check_3")->IsSelected());
    EXPECT_FALSE(Find<ui::COptionUI>("repeat_delay_check_0")->IsSelected());

    auto* test = Find<ui::CRichEditUI>("repeat_input_richedit");
    test->setPlainText(QStringLiteral("aaaaaaa"));
    Route("click", Find("reset_repeat_btn"));
    EXPECT_TRUE(test->GetText().isEmpty());
    EXPECT_FALSE(test->placeholderText().isEmpty());
}

TEST_F(KeyboardPageTest, KeysTypedInTheWindowLightTheReactivePreviewAndColourMode19Keys) {
    constexpr int kKeyA = 64;
    constexpr int kX11KeycodeA = 38;
    Keyboard().StopLightThread();  // the steps would fade the key before it is looked at
    LightInfo light = Keyboard().LightState();
    light.selectItem = 7;
    ASSERT_TRUE(Keyboard().ChangeLight(light, true).Ok());
    QWidget* window = page_->GetWidget()->window();
    window->show();
    ASSERT_TRUE(page_->GetWidget()->isVisible());
    QKeyEvent press(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, kX11KeycodeA, 0, 0);
    QCoreApplication::sendEvent(window->windowHandle(), &press);
    EXPECT_EQ(Keyboard().EffectState().level[kKeyA], 255);
    EXPECT_EQ(Keyboard().EffectState().hit[kKeyA], 1);
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_A, Qt::NoModifier, kX11KeycodeA, 0, 0);
    QCoreApplication::sendEvent(window->windowHandle(), &release);
    EXPECT_EQ(Keyboard().EffectState().hit[kKeyA], 2);

    // Mode 19: the panel's group and its fill button, then a click on a key.
    light.selectItem = kCustomColourMode;
    light.red = 10, light.green = 20, light.blue = 30;
    ASSERT_TRUE(Keyboard().ChangeLight(light, true).Ok());
    auto* groups = Find<ui::CComboUI>("light_combo_custommodeSelect");
    ASSERT_NE(groups, nullptr);
    groups->SelectItem(2, false, false);
    Route("itemselect", groups);
    EXPECT_EQ(RecordByte(krec::kCustomGroup), 2);
    Route("click", Find("custom_off_color_btn"));
    ChooseTab("deng_Op_tab");
    page_->OnKeyClicked(kKeyA);
    const auto colours = sim_.bus->Firmware(Product::Keyboard).ReadArea(sim::Area::Colours);
    const auto at =
        2 * kCustomGroupStride + 3 * static_cast<std::size_t>(Keyboard().KeyLight(kKeyA));
    EXPECT_EQ(std::vector<std::uint8_t>(colours.begin() + at, colours.begin() + at + 3),
              (std::vector<std::uint8_t>{10, 20, 30}));
    const auto esc = 2 * kCustomGroupStride;  // Esc is LED 0, filled black
    EXPECT_EQ(colours[esc] + colours[esc + 1] + colours[esc + 2], 0);
}

TEST_F(KeyboardPageTest, FnLayerSwitchShowsTheFnPartAndKeepsTheReservedKeys) {
    constexpr int kM = 91;  // M: the Fn layer does not keep it
    const KeyCode b{0x20, 0x00, 0x05};
    ASSERT_TRUE(Keyboard().AssignKeyCode(kM, b, true, CTessaronUSBDevice::KeySend::KeyTable).Ok());
    CControlUI* fnLayout = Find("Keyset_Fn_Layout");
    ASSERT_NE(fnLayout, nullptr);
    EXPECT_FALSE(fnLayout->IsVisible()) << "only on the key tab";
    ChooseTab("key_Op_tab");
    EXPECT_TRUE(fnLayout->IsVisible());
    const QString mText = page_->KeyToolText(kM);
    EXPECT_TRUE(mText.endsWith(u'M')) << mText.toStdString();
    const QString title = page_->KeyToolTitle(kM);
    EXPECT_FALSE(title.isEmpty());

    const std::vector<int>& reserved = FnReservedUiKeys();
    ASSERT_FALSE(reserved.empty());
    auto enabled = [&](int key) { return page_->KeyButtons()[key]->IsEnabled(); };
    EXPECT_TRUE(enabled(reserved.front()));
    EXPECT_FALSE(enabled(kKeyboardFnKey));

    for (const bool on : {true, false}) {
        SCOPED_TRACE(on ? "Fn layer" : "normal layer");
        Route("click", Find("keyset_fn"));
        QCoreApplication::processEvents();
        EXPECT_EQ(Keyboard().FnLayerView(), on);
        EXPECT_EQ(Find<ui::COptionUI>("keyset_fn")->IsSelected(), on);
        EXPECT_TRUE(page_->KeyToolText(kM).endsWith(on ? u'B' : u'M'));
        // The key still is A: its title keeps the factory name, the mark shows the change.
        EXPECT_EQ(page_->KeyToolTitle(kM), title);
        EXPECT_EQ(page_->KeyButtons()[kM]->IsKeysetImageHidden(), !on);
        for (const int key : reserved)
            EXPECT_EQ(enabled(key), !on) << key;
        EXPECT_FALSE(enabled(kKeyboardFnKey));
        EXPECT_TRUE(enabled(kM));
    }
    ChooseTab("deng_Op_tab");
    EXPECT_TRUE(enabled(kKeyboardFnKey)) << "every key takes clicks off the key tab";
}

TEST_F(KeyboardPageTest, AssignmentOnTheFnLayerLandsInTheFnPart) {
    constexpr int kKey = 91;  // M
    ChooseTab("key_Op_tab");
    Route("click", Find("keyset_fn"));
    ASSERT_TRUE(Keyboard().FnLayerView());
    const KeyCode normal = TableCode(sim::Area::KeyTable, kKey);
    Route("click", Find("key_91"));
    ui::CKeySetControlUI* panel = page_->KeySetPanel();
    ASSERT_TRUE(panel != nullptr && panel->IsVisible());

    auto* functions = Find<ui::CComboUI>("keyset_function_combo");
    for (int i = 0; i < functions->GetCount(); ++i) {
        if (functions->GetItemUserData(i).toInt() == kCategoryMedia)
            functions->SelectItem(i, false, false);
    }
    Route("itemselect", functions);
    Find<ui::CComboUI>("keyset_media_combo")->SelectItem(1, false, false);
    Route("itemselect", Find("keyset_media_combo"));

    const KeyCode play{0x30, 0xCD, 0x00};
    EXPECT_EQ(Keyboard().KeyList()[kKey].fnAssignment.code, play);
    EXPECT_EQ(Keyboard().KeyList()[kKey].assignment.code, normal) << "the normal layer stays";
    EXPECT_EQ(TableCode(sim::Area::FnKeyTable, kKey), play);
    EXPECT_EQ(TableCode(sim::Area::KeyTable, kKey), normal);
    CKeyboardProfiledata saved;
    saved.LoadDocument(Keyboard().GetProfilePath());
    EXPECT_EQ(saved.ReadKeyList()[kKey].fnAssignment.code, play);
    EXPECT_EQ(page_->KeyToolText(kKey), sim_.window->Translate(QStringLiteral("Key_Set")) +
                                            sim_.window->Translate(QStringLiteral("media_play")));
}

TEST_F(KeyboardPageTest, OnBoardProfileSwitchAndListChangeReachThePage) {
    ChooseTab("system_Op_tab");
    sim::VirtualFirmware& firmware = sim_.bus->Firmware(Product::Keyboard);
    // The keyboard's own profile key: on-board profile 2, whose record has debounce 5.
    firmware.WriteArea(sim::Area::Setting, 2 * kKeyboardRecordSize + krec::kDebounce,
                       std::vector<std::uint8_t>{5});
    firmware.WriteArea(sim::Area::Setting, 0, std::vector<std::uint8_t>{2});
    ASSERT_TRUE(sim_.bus->SendEvent(Link::Keyboard, CTessaronUSBDevice::kEventActiveProfile));
    ASSERT_TRUE(sim_.FireEntryTimerOnceStarted(page_->TabEntry(), kEntryTimerActiveProfile));
    QCoreApplication::processEvents();
    EXPECT_EQ(Keyboard().ActiveProfile(), 2);
    EXPECT_EQ(Find<ui::CSliderUI>("key_shake_slider")->GetValue(), 5);
    EXPECT_EQ(Find("key_shake_text")->GetText(), QLatin1String("15 ms"));

    // Another program adds a profile to the list; the keyboard says the list changed.
    auto* combo = Find<ui::CComboUI>("device_profile_combo");
    ASSERT_NE(combo, nullptr);
    const int before = combo->GetCount();
    CProfileListStore store(kDeviceTypeKeyboard, Keyboard().GetUserDataFolder(),
                            Keyboard().GetDefaultProfilePath());
    ASSERT_GE(store.InitProfileList(), 0);
    ASSERT_GE(store.AddProfile(), 0);
    ASSERT_TRUE(
        sim_.bus->SendEvent(Link::Keyboard, CTessaronKeyboardDevice::kEventProfileListChanged));
    ASSERT_TRUE(sim_.FireEntryTimerOnceStarted(page_->TabEntry(), kEntryTimerActiveProfile));
    QCoreApplication::processEvents();
    EXPECT_EQ(combo->GetCount(), before + 1);
    EXPECT_EQ(Keyboard().ProfileName(), store.GetCurrentProfileId());
}

}  // namespace
}  // namespace morva::app
