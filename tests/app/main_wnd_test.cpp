#include "app/main_wnd.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QTimer>

#include "app/about_wnd.h"
#include "app/color_select_wnd.h"
#include "app/sim_window.h"
#include "base/ipc_protocol.h"
#include "profile/json_file.h"
#include "support/temp_dir.h"
#include "ui/language/language_manager.h"
#include "ui/toolkit/controls.h"
#include "ui/toolkit/menu.h"
#include "ui/toolkit/resource_manager.h"
#include "ui/toolkit/slider.h"

namespace morva::app {
namespace {

// The real main layout and language files, a settings file of the test's own.
class MainWndTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(test::BuildMainWindow(dir_, settings_, language_, window_));
        window_->ApplyLanguage(0);
    }

    ui::TNotifyUI Note(const char* type, ui::CControlUI* sender) {
        return ui::TNotifyUI{QString::fromLatin1(type), sender, 0, 0};
    }
    int Pending(const std::string& feature) {
        const auto& calls = window_->PendingFeatureCalls();
        const auto it = calls.find(feature);
        return it == calls.end() ? 0 : it->second;
    }

    test::TempDir dir_;
    std::unique_ptr<QSettings> settings_;
    std::unique_ptr<ui::CLanguageManager> language_;
    std::unique_ptr<CMainWnd> window_;
};

TEST_F(MainWndTest, LayoutHasEveryControlTheWindowNeeds) {
    for (const char* name :
         {"root", "closebtn", "maxbtn", "restorebtn", "minbtn", "skinbtn", "gamemodebtn",
          "cloudbtn", "smarteyesbtn", "setbtn", "No_device_Link", "control_light_status",
          "setting_progress", "device_select_layout", "device_select_prev", "device_select_next",
          "nodevice_ok_btn", "text_test", "str_test"}) {
        EXPECT_NE(window_->FindControl(QString::fromLatin1(name)), nullptr) << name;
    }
}

TEST_F(MainWndTest, DisplayRuleChoosesTheDpi) {
    EXPECT_EQ(CMainWnd::DpiForMonitor(1500, 960), 96);
    EXPECT_EQ(CMainWnd::DpiForMonitor(1501, 960), 96);
    EXPECT_EQ(CMainWnd::DpiForMonitor(1501, 961), 144);
    EXPECT_EQ(CMainWnd::DpiForMonitor(1920, 1080), 144);
}

TEST_F(MainWndTest, RoutesThroughTheWindowsOwnEntries) {
    ui::CControlUI* light = window_->FindControl("control_light_status");
    ASSERT_NE(light, nullptr);
    const QString on = light->GetText();
    EXPECT_TRUE(window_->Route(Note("click", light)));
    EXPECT_EQ(window_->LightControlFlag(), 0);
    EXPECT_NE(light->GetText(), on);
    window_->Route(Note("click", light));
    EXPECT_EQ(window_->LightControlFlag(), 1);
    EXPECT_EQ(light->GetText(), on);

    // A light control request from another program with wParam other than 1 is ignored.
    ipc::Message request;
    request.msg = ipc::kMsgLightControlRequest;
    request.wParam = 2;
    request.lParam = 0;
    window_->OnIpcMessage(request, nullptr);
    EXPECT_EQ(window_->LightControlFlag(), 1);
    request.wParam = 1;
    window_->OnIpcMessage(request, nullptr);
    EXPECT_EQ(window_->LightControlFlag(), 0);
}

TEST_F(MainWndTest, PanelEntriesWithoutADeviceDoNothingButAreNamed) {
    // Names of controls that live on device pages; routed by name alone here.
    ui::CControlUI* stand = window_->FindControl("setting_progress");
    stand->SetName("DPI_color_option_3");  // built: without a mouse no picker opens
    EXPECT_TRUE(window_->Route(Note("click", stand)));
    EXPECT_EQ(Pending("palette dialog"), 0);
    EXPECT_EQ(app::CColorSelectWnd::Current(), nullptr);
    stand->SetName("deng_same_mode");  // built: without devices it does nothing
    EXPECT_TRUE(window_->Route(Note("click", stand)));
    EXPECT_EQ(Pending("synchronised lighting"), 0);
    EXPECT_FALSE(window_->IsPendingEntry("deng_same_mode"));
    stand->SetName("hs_EQ_btn_save");  // built: without a headset it does nothing
    EXPECT_TRUE(window_->Route(Note("click", stand)));
    EXPECT_EQ(window_->PendingFeatureCalls().count("headset sound panels"), 0u);
    stand->SetName("KEY_12");  // built: without a mouse it does nothing and is not pending
    EXPECT_TRUE(window_->Route(Note("click", stand)));
    EXPECT_TRUE(window_->PendingFeatureCalls().count("key assignment panel") == 0);
    stand->SetName("Profile_Fun_Spread_Btn");
    EXPECT_FALSE(window_->Route(Note("click", stand))) << "a case-sensitive name";
    stand->SetName("keybutton");
    EXPECT_FALSE(window_->Route(Note("click", stand)));
}

TEST_F(MainWndTest, CloseKeepsTheProgramAndActivationBringsItBack) {
    window_->show();
    ui::CControlUI* close = window_->FindControl("closebtn");
    window_->Route(Note("click", close));
    // No tray offscreen: the window is minimised so the user can get back to it.
    EXPECT_TRUE(window_->isMinimized() || !window_->isVisible());

    ipc::Message activate;
    activate.msg = ipc::kMsgActivateInstance;
    activate.lParam = 1;
    window_->OnIpcMessage(activate, nullptr);
    EXPECT_TRUE(window_->isVisible());
    EXPECT_FALSE(window_->isMinimized());
    EXPECT_TRUE(window_->FindControl("No_device_Link")->IsVisible());
}

TEST(MainWndTray, StartedInTheTrayTheWindowComesUpOnlyWhenTheUserOpensIt) {
    test::SimWindow sim;
    ASSERT_TRUE(sim.Start({sim::Link::Mouse}));
    sim.window->SetStartHidden(true);
    sim.window->SendWindowInit();
    sim.timers.Advance(200);  // the display adapted
    // The first discovery pass asks for activation, as arrivals do: not while in the tray.
    sim.window->SendMessage(kMsgActivateInstance);
    EXPECT_FALSE(sim.window->isVisible());
    sim.window->ToggleFromTray();
    EXPECT_TRUE(sim.window->isVisible());
    sim.window->ToggleFromTray();
    EXPECT_FALSE(sim.window->isVisible());
    sim.window->SendMessage(kMsgActivateInstance);
    EXPECT_TRUE(sim.window->isVisible()) << "once opened, arrivals bring it back";
}

TEST(MainWndMusic, TheLiveColourSlidersShowTheirValueWithOrWithoutAHelper) {
    test::SimWindow sim;
    ASSERT_TRUE(sim.Start({sim::Link::Keyboard}));
    ui::CControlUI* page = sim.devices->PageOfKind(kKindKeyboard);
    for (const char channel : {'R', 'G', 'B'}) {
        const QString name = QString(QLatin1Char(channel));
        auto* slider = dynamic_cast<ui::CSliderUI*>(
            ui::CPaintManagerUI::FindSubControlByName(page, name + "_light_slider"));
        ui::CControlUI* label =
            ui::CPaintManagerUI::FindSubControlByName(page, name + "_light_label");
        ASSERT_NE(slider, nullptr);
        ASSERT_NE(label, nullptr);
        slider->SetValue(4);
        EXPECT_TRUE(sim.Route("valuechanged", slider, 4));
        EXPECT_EQ(label->GetText(), name + " 4");
    }
}

TEST(MainWndGame, AGamesLightLastsFiveSecondsAfterItsLastMessageAndIsNeverStored) {
    test::SimWindow sim;
    ASSERT_TRUE(sim.Start({sim::Link::Keyboard}));
    ASSERT_TRUE(sim.ConnectKeyboard());
    CTessaronUSBDevice& keyboard = sim.devices->CurrentDevice()->Model();
    LightInfo user = keyboard.LightState();
    user.selectItem = 5;
    ASSERT_TRUE(keyboard.ChangeLight(user, true).Ok());
    const std::string file = keyboard.GetProfilePath();
    const auto stored = [&] {
        return ReadJsonFile(file)["Device"][0]["LightInfo"]["SelectItem"].asInt();
    };
    const auto send = [&](const char* name, long long wParam, long long lParam) {
        ipc::Message message;
        message.msg = name;
        message.wParam = wParam;
        message.lParam = lParam;
        sim.window->OnIpcMessage(message, nullptr);
    };

    send(ipc::kGameStart, 0, 7);
    EXPECT_EQ(keyboard.LightState().selectItem, 7);
    sim.timers.Advance(3000);
    send(ipc::kGameKill, 1, 3);  // a second game during the first
    EXPECT_EQ(keyboard.LightState().selectItem, 3);
    // What a game may not ask changes nothing and does not prolong the effect.
    for (const auto& [w, l] :
         {std::pair{0LL, 999LL}, std::pair{7LL, 4LL}, std::pair{-1LL, 4LL}, std::pair{0LL, -2LL}})
        send(ipc::kGameDeath, w, l);
    EXPECT_EQ(keyboard.LightState().selectItem, 3);
    EXPECT_EQ(stored(), 5) << "a game's mode is never stored";
    sim.timers.Advance(4000);
    EXPECT_EQ(keyboard.LightState().selectItem, 3) << "five seconds from the last message";
    sim.timers.Advance(1100);
    EXPECT_EQ(keyboard.LightState().selectItem, 5) << "the user's lighting, not the first game's";
    EXPECT_EQ(stored(), 5);
    EXPECT_FALSE(keyboard.ShowsGameLight());
}

TEST_F(MainWndTest, SwitchingLanguageChangesVisibleTexts) {
    ui::CControlUI* ok = window_->FindControl("nodevice_ok_btn");
    ASSERT_NE(ok, nullptr);
    EXPECT_EQ(ok->GetText(), "OK");
    window_->ApplyLanguage(1);
    EXPECT_EQ(ok->GetText(), QStringLiteral("确定"));
    EXPECT_EQ(settings_->value("LANGUAGE").toInt(), 2052) << "the choice is saved";
    window_->ApplyLanguage(0);
    EXPECT_EQ(ok->GetText(), "OK");
}

TEST_F(MainWndTest, TheLanguageMessageReachesTheOpenSecondaryWindows) {
    window_->show();
    QString title;
    QTimer::singleShot(0, [&] {
        CAboutWnd* about = CAboutWnd::Current();
        ASSERT_NE(about, nullptr);
        window_->SendMessage(kMsgLanguageChanged, 1, 0);
        title = about->FindControl("about_title")->GetText();
        about->Close(0);
    });
    OpenAboutWindow(window_.get(), QStringLiteral("1.0"));
    EXPECT_EQ(title, QStringLiteral("关于"));
    EXPECT_EQ(settings_->value("LANGUAGE").toInt(), 2052);
}

TEST_F(MainWndTest, CaptionMessagesShowProgressAndClearTheUpdateBadge) {
    auto* set = dynamic_cast<ui::CButtonUI*>(window_->FindControl("setbtn"));
    ui::CControlUI* progress = window_->FindControl("setting_progress");
    ASSERT_TRUE(set != nullptr && progress != nullptr);
    set->SetForeImage(QStringLiteral("image/set.svg"));
    window_->SendMessage(kMsgClearUpdateBadge, 0, 0);
    EXPECT_TRUE(set->GetForeImage().isEmpty());
    EXPECT_FALSE(progress->IsVisible());
    window_->SendMessage(kMsgSettingProgress, 0, 0);
    EXPECT_TRUE(progress->IsVisible());
}

TEST_F(MainWndTest, TranslatesThroughTheHiddenLabelAndKeepsTheFontTable) {
    EXPECT_EQ(window_->Translate("nodevice_ok"), "OK");
    window_->ApplyLanguage(1);
    EXPECT_EQ(window_->Translate("nodevice_ok"), QStringLiteral("确定"));
    EXPECT_EQ(window_->Translate("no_such_key"), "no_such_key");

    CMainWnd::ResetFontTable("Verdana Unicode MS");
    const QFont big = ui::CPaintManagerUI::FontFor(nullptr, 3);
    const QFont bold = ui::CPaintManagerUI::FontFor(nullptr, 50);
    EXPECT_EQ(big.family(), "Verdana Unicode MS");
    EXPECT_EQ(big.pixelSize(), ui::CPaintManagerUI::Scale(30));
    EXPECT_TRUE(bold.bold());
    EXPECT_FALSE(big.bold());
}

TEST_F(MainWndTest, TrayMenuOffersAboutSettingsAndExit) {
    ui::CMenuWnd menu(window_.get());
    ASSERT_TRUE(menu.LoadLayout("menu.xml"));
    EXPECT_EQ(menu.ItemNames(), (QStringList{"about_menu", "setwnd_menu", "exit"}));
}

}  // namespace
}  // namespace morva::app
