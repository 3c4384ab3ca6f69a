// Profiles that follow the program in front, in the real window on simulated devices: an X
// server of the test's own, openbox on it, and xdotool activating the test's windows.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <QTimer>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "app/app_profile_switcher.h"
#include "app/main_wnd.h"
#include "app/program_bind_wnd.h"
#include "app/sim_window.h"
#include "profile/json_access.h"
#include "profile/json_file.h"
#include "profile/profile_bindings.h"
#include "ui/pages/mouse_page.h"
#include "ui/panels/device_profile.h"
#include "ui/toolkit/controls.h"
#include "ui/toolkit/paint_manager.h"

// Xlib last: its macros break the headers above.
#include "support/x11_test_client.h"

namespace morva::app {
namespace {

class AppProfilesX11Test : public ::testing::Test {
protected:
    void SetUp() override {
        if (!test::XvfbServer::Available() || std::system("command -v openbox >/dev/null") != 0)
            GTEST_SKIP() << "needs Xvfb, xdotool and openbox";
        ASSERT_TRUE(server_.Start());
        ASSERT_TRUE(client_.Open(server_.Display()));
        sim_.followPrograms = true;
        sim_.inputDisplay = server_.Display();
    }
    std::vector<std::uint8_t> Setting() {
        return sim_.bus->Firmware(sim::Product::Mouse).ReadArea(sim::Area::Setting);
    }
    bool Activate(Window w) {
        return server_.Xdotool({"windowactivate", "--sync", std::to_string(w)});
    }
    int StoredChoice() {
        const Json::Value list = ReadJsonFile(Panel().Store()->ListFilePath());
        return json::ToInt(json::Get(list, "profileselect"), -1);
    }
    ui::CDeviceProfileUI& Panel() { return *page_->ProfilePanel(); }
    // Opens the programs window from the profile menu and runs `inside` while it is shown.
    bool WithBindWindow(const std::function<void(CProgramBindWnd&)>& inside) {
        bool ran = false;
        QTimer::singleShot(0, [&] {
            for (QWidget* top : QApplication::topLevelWidgets()) {
                auto* wnd = qobject_cast<CProgramBindWnd*>(top);
                if (wnd == nullptr || !wnd->IsModalRunning())
                    continue;
                ran = true;
                inside(*wnd);
                Click(*wnd, "bind_close_btn");
            }
        });
        sim_.Route(ui::kNotifyClick, ui::CPaintManagerUI::FindSubControlByName(
                                         page_, QStringLiteral("device_programs_btn")));
        return ran;
    }
    // The shown control of that name in the window (with that user data, when given).
    static void Click(CProgramBindWnd& wnd, const char* name, const QString& data = {}) {
        for (QWidget* w : wnd.findChildren<QWidget*>()) {
            auto* control = dynamic_cast<ui::CControlUI*>(w);
            if (control != nullptr && w->isVisible() && control->GetName() == QLatin1String(name) &&
                (data.isEmpty() || control->GetUserData() == data)) {
                QTest::mouseClick(w, Qt::LeftButton);
                return;
            }
        }
        ADD_FAILURE() << "no " << name << " " << data.toStdString();
    }

    test::XvfbServer server_;
    test::XTestClient client_;
    test::SimWindow sim_;
    ui::CMousePageUI* page_ = nullptr;
};

TEST_F(AppProfilesX11Test, TheMouseTakesTheBoundProfileWhileItsProgramIsInFrontAndGoesBack) {
    // The program starts before the desktop has a window manager: it says so, then finds one.
    ASSERT_TRUE(sim_.Start({sim::Link::Mouse}));
    ASSERT_TRUE(sim_.ConnectMouse());
    sim_.window->show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return sim_.window->AppProfiles() != nullptr; }));
    CAppProfileSwitcher* switcher = sim_.window->AppProfiles();
    ASSERT_NE(switcher, nullptr);
    EXPECT_FALSE(switcher->Watching());
    EXPECT_EQ(switcher->Problem(), "the window manager does not report the active window");
    ASSERT_TRUE(client_.StartWindowManager());
    ASSERT_TRUE(QTest::qWaitFor([&] { return switcher->Watching(); }, 10000));
    EXPECT_EQ(switcher->Problem(), "");

    // A second profile on another DPI stage.
    page_ = dynamic_cast<ui::CMousePageUI*>(sim_.devices->CurrentDevice());
    ASSERT_NE(page_, nullptr);
    page_->OnProfileAdd();
    ASSERT_EQ(Panel().GetSelectedIndex(), 1);
    const std::string gameProfile = Panel().GetCurrentProfileId();
    ASSERT_TRUE(page_->Mouse().ChangeActiveStage(2).Ok());
    const std::vector<std::uint8_t> game = Setting();

    const Window shooter = client_.MapWindow("shooter", "Shooter");
    const Window editor = client_.MapWindow("editor", "Editor");
    ASSERT_NE(shooter, 0u);
    ASSERT_NE(editor, 0u);
    // The game is bound in the profile menu's window, picked from the windows open now; then
    // the user goes back to the first profile.
    ASSERT_TRUE(WithBindWindow([&](CProgramBindWnd& wnd) {
        auto* combo = dynamic_cast<ui::CComboUI*>(wnd.FindControl("bind_window_combo"));
        ASSERT_NE(combo, nullptr);
        QStringList offered;
        for (int i = 1; i < combo->GetCount(); ++i)
            offered.append(combo->GetItemUserData(i));
        EXPECT_TRUE(offered.contains("Shooter") && offered.contains("Editor"))
            << offered.join(",").toStdString();
        ASSERT_TRUE(combo->SelectItem(offered.indexOf("Shooter") + 1, false, true));
        Click(wnd, "bind_add_btn");
        EXPECT_EQ(wnd.Programs(), QStringList{"Shooter"});
        EXPECT_FALSE(wnd.AddProgram("games/shooter"));
        EXPECT_TRUE(wnd.FindControl("bind_error")->IsVisible());
        ASSERT_TRUE(wnd.AddProgram("Editor"));
        Click(wnd, "bind_remove_btn", "Editor");
        EXPECT_EQ(wnd.Programs(), QStringList{"Shooter"});
    }));
    EXPECT_EQ(CProfileBindings(Panel().Store()->UserDataFolder()).ProgramsOf(gameProfile),
              std::vector<std::string>{"Shooter"});
    ASSERT_GE(Panel().SelectProfile(0, false), 0);
    page_->OnProfileSwitch();
    const std::vector<std::uint8_t> own = Setting();
    ASSERT_NE(own, game);

    const struct {
        Window front;
        bool gameProfile;
    } steps[] = {{shooter, true}, {editor, false}, {shooter, true}};
    for (const auto& step : steps) {
        SCOPED_TRACE(step.front == shooter ? "shooter in front" : "editor in front");
        ASSERT_TRUE(Activate(step.front));
        const std::vector<std::uint8_t>& wanted = step.gameProfile ? game : own;
        ASSERT_TRUE(QTest::qWaitFor([&] { return Setting() == wanted; }, 5000));
        EXPECT_EQ(Panel().GetCurrentProfileId() == gameProfile, step.gameProfile);
        EXPECT_EQ(Panel().GetSelectedIndex(), step.gameProfile ? 1 : 0);
        // The user's own choice is what the next start reads.
        EXPECT_EQ(StoredChoice(), 0);
    }

    // Switched off with the game in front: the user's profile at once; on again: the game's.
    sim_.window->SetFollowPrograms(false);
    EXPECT_EQ(Setting(), own);
    EXPECT_FALSE(switcher->Watching());
    sim_.window->SetFollowPrograms(true);
    EXPECT_TRUE(switcher->Watching());
    EXPECT_EQ(Setting(), game);
    EXPECT_EQ(StoredChoice(), 0);
    EXPECT_EQ(switcher->FailedSwitches(), 0);
}

}  // namespace
}  // namespace morva::app

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    // The window itself is drawn off screen; only the devices watch the test's X server.
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
