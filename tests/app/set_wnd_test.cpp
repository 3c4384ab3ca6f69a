// The settings window as the main window opens it on simulated devices: the language list,
// placement, the update entries, and checks against a local HTTPS update service.
#include <gtest/gtest.h>

#include <QDate>
#include <QElapsedTimer>
#include <QFile>
#include <QTcpServer>
#include <QTimer>

#include <functional>

#include "app/app_profile_switcher.h"
#include "app/set_wnd.h"
#include "app/update_list_item.h"
#include "app/window_messages.h"
#include "box_answers.h"
#include "device/device_tables.h"
#include "sim_window.h"
#include "support/file_size_limit.h"
#include "support/local_update_service.h"
#include "ui/controls/device_key_button.h"
#include "ui/pages/device_page.h"
#include "ui/toolkit/containers.h"
#include "ui/toolkit/controls.h"
#include "ui/toolkit/paint_manager.h"
#include "update/update_check.h"

namespace morva::app {
namespace {

class SetWndTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(sim_.Start({sim::Link::Mouse, sim::Link::Pad, sim::Link::Headset}));
        ASSERT_TRUE(sim_.ConnectMouse());
        sim_.window->show();
    }

    // Opens the window the way `open` does and runs `inside` while it is shown; the window
    // is closed afterwards unless `inside` closed it. False when it never opened.
    bool WithSettingsWindow(const std::function<void()>& open,
                            const std::function<void(CSetWnd&)>& inside) {
        bool ran = false;
        QTimer::singleShot(0, [&] {
            CSetWnd* wnd = CSetWnd::Current();
            if (wnd == nullptr)
                return;
            ran = true;
            inside(*wnd);
            if (CSetWnd* still = CSetWnd::Current())
                still->Close(0);
        });
        open();
        return ran && CSetWnd::Current() == nullptr;
    }
    void ClickSettingsButton() {
        sim_.Route(ui::kNotifyClick, sim_.window->FindControl(QStringLiteral("setbtn")));
    }

    test::SimWindow sim_;
};

TEST_F(SetWndTest, OpensBesideTheSettingsButtonOrCentredAndOnlyOnce) {
    const QRect main = sim_.window->geometry();
    ASSERT_TRUE(WithSettingsWindow(
        [&] { ClickSettingsButton(); },
        [&](CSetWnd& wnd) {
            EXPECT_EQ(wnd.width(), ui::CPaintManagerUI::Scale(630));
            EXPECT_EQ(wnd.height(), ui::CPaintManagerUI::Scale(500));
            EXPECT_EQ(wnd.geometry().right(), main.right() - ui::CPaintManagerUI::Scale(30));
            EXPECT_EQ(wnd.geometry().top(), main.top() + ui::CPaintManagerUI::Scale(60));
            // A second request while it is open changes nothing.
            sim_.window->SendMessage(kMsgOpenSettingsCentred, 0, 0);
            EXPECT_EQ(CSetWnd::Current(), &wnd);
        }));
    ASSERT_TRUE(WithSettingsWindow([&] { sim_.window->SendMessage(kMsgOpenSettingsCentred, 0, 0); },
                                   [&](CSetWnd& wnd) {
                                       const QPoint off = wnd.geometry().center() - main.center();
                                       EXPECT_LE(off.manhattanLength(), 2);  // halves round
                                       QTest::keyClick(&wnd, Qt::Key_Escape);
                                       EXPECT_FALSE(wnd.isVisible()) << "Escape closes";
                                   }));
}

TEST_F(SetWndTest, StartingWithTheDesktopIsSwitchedOnAndOffFromTheWindow) {
    const test::ScopedEnv config("XDG_CONFIG_HOME", sim_.dir.File("config").c_str());
    const QString entry =
        QString::fromStdString(sim_.dir.File("config/autostart/morva-tr510.desktop"));
    ASSERT_TRUE(WithSettingsWindow(
        [&] { ClickSettingsButton(); },
        [&](CSetWnd& wnd) {
            ui::CControlUI* box = wnd.FindControl("set_autostart_check");
            ASSERT_NE(box, nullptr);
            EXPECT_FALSE(dynamic_cast<ui::CCheckBoxUI*>(box)->IsSelected());
            QTest::mouseClick(box->GetWidget(), Qt::LeftButton);
            QFile file(entry);
            ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << "the entry is written";
            EXPECT_NE(file.readAll().indexOf("--tray"), -1) << "it starts in the tray";
            QTest::mouseClick(box->GetWidget(), Qt::LeftButton);
            EXPECT_FALSE(QFile::exists(entry)) << "and is removed again";
        }));
}

TEST_F(SetWndTest, ASettingThatCannotBeWrittenIsSaidSoNotTakenAsSaved) {
    test::BoxAnswers boxes;
    ASSERT_TRUE(WithSettingsWindow([&] { ClickSettingsButton(); },
                                   [&](CSetWnd& wnd) {
                                       auto* box = wnd.FindControl("set_follow_check");
                                       ASSERT_NE(box, nullptr);
                                       const test::FileSizeLimit none(0);
                                       QTest::mouseClick(box->GetWidget(), Qt::LeftButton);
                                   }));
    EXPECT_EQ(boxes.texts, QStringList{sim_.language->Text(kMsgSettingNotSaved)});
    // A setting that could be written says nothing.
    boxes.texts.clear();
    sim_.window->SetFollowPrograms(false);
    EXPECT_EQ(boxes.texts, QStringList());
}

// The program in front is watched on a display that does not answer.
class SetWndFollowTest : public SetWndTest {
protected:
    void SetUp() override {
        sim_.followPrograms = true;
        sim_.inputDisplay = ":65000";
        SetWndTest::SetUp();
    }
};

TEST_F(SetWndFollowTest, ProfilesFollowingProgramsIsSwitchedHereAndSaysWhenTheDesktopCannot) {
    ASSERT_TRUE(QTest::qWaitFor([&] { return sim_.window->AppProfiles() != nullptr; }));
    ASSERT_TRUE(WithSettingsWindow(
        [&] { ClickSettingsButton(); },
        [&](CSetWnd& wnd) {
            auto* box = dynamic_cast<ui::CCheckBoxUI*>(wnd.FindControl("set_follow_check"));
            ui::CControlUI* notice = wnd.FindControl("set_follow_notice");
            ASSERT_TRUE(box != nullptr && notice != nullptr);
            const struct {
                bool on, noticeShown;
            } states[] = {{true, true}, {false, false}, {true, true}};
            for (const auto& state : states) {
                SCOPED_TRACE(state.on);
                if (&state != &states[0])
                    QTest::mouseClick(box->GetWidget(), Qt::LeftButton);
                EXPECT_EQ(box->IsSelected(), state.on);
                EXPECT_EQ(notice->IsVisible(), state.noticeShown);
                EXPECT_EQ(sim_.window->AppProfiles()->Enabled(), state.on);
                EXPECT_EQ(sim_.settings->value("APP_PROFILES", true).toBool(), state.on);
            }
        }));
}

TEST(SetWndDpi, OnlyAcceptedDpisAreTaken) {
    CSetWnd probe(nullptr, {});
    probe.SetWindowDpi(100);
    EXPECT_EQ(probe.WindowDpi(), 96);
    probe.SetWindowDpi(144);
    EXPECT_EQ(probe.WindowDpi(), 144);
    EXPECT_EQ(ui::CPaintManagerUI::GetDPI(), 144);
    ui::CPaintManagerUI::SetAllDPI(96);
}

TEST_F(SetWndTest, ALanguagePickedAppliesEverywhereAtOnceAndIsKept) {
    ui::CDevicePageUI* mouse = sim_.devices->PageOfKind(kKindMouse);
    ASSERT_TRUE(mouse != nullptr && !mouse->KeyButtons().empty());
    const QString englishTip = mouse->KeyButtons()[0]->GetWidget()->toolTip();
    ASSERT_TRUE(WithSettingsWindow(
        [&] { ClickSettingsButton(); },
        [&](CSetWnd& wnd) {
            auto* combo = dynamic_cast<ui::CComboUI*>(wnd.FindControl("Language_combox_info"));
            ASSERT_NE(combo, nullptr);
            ASSERT_EQ(combo->GetCount(), 2);
            EXPECT_EQ(combo->GetCurSel(), 0);
            combo->SelectItem(1, false, true);
            EXPECT_EQ(wnd.LanguagePosition(), 1);
            EXPECT_EQ(wnd.FindControl("set_title")->GetText(), QStringLiteral("设置"));
            EXPECT_EQ(sim_.window->FindControl("nodevice_ok_btn")->GetText(),
                      QStringLiteral("确定"));
        }));
    QCoreApplication::processEvents();  // the key labels are renamed once the reload is done
    EXPECT_NE(mouse->KeyButtons()[0]->GetWidget()->toolTip(), englishTip);
    // The next start reads the same choice.
    ui::CLanguageManager restarted(test::ResDir() + "/DefaultData", test::ResDir() + "/skin",
                                   *sim_.settings);
    EXPECT_EQ(restarted.GetSavedLanguage(), 1);
}

TEST_F(SetWndTest, UpdateEntriesFollowTheDeviceTypeRowNotTheTabOrder) {
    // Pad and headset connected, the mouse too; the keyboard is not there.
    sim_.devices->PollDevicesOnce();
    QCoreApplication::processEvents();
    std::vector<std::pair<std::string, std::uint32_t>> seen;
    for (const update::ModelEntry& e : sim_.window->UpdateEntries())
        seen.emplace_back(e.modelCode, e.version);
    const std::vector<std::pair<std::string, std::uint32_t>> expected{
        {"RB42M03X", 0x0105}, {"RB42K01X_1", 0x0100}, {"ALL", 1000}};
    EXPECT_EQ(seen, expected);
}

// Checks against the local HTTPS service, set the way a user sets it: $MORVA_UPDATE_URL and
// $MORVA_UPDATE_CA.
class SetWndServiceTest : public SetWndTest {
protected:
    static void SetUpTestSuite() {
        service_ = std::make_unique<test::LocalService>();
        if (!service_->Start())
            FAIL() << service_->error;
    }
    static void TearDownTestSuite() { service_.reset(); }

    void UseService(const QUrl& url) {
        url_.emplace("MORVA_UPDATE_URL", url.toString().toUtf8().constData());
        ca_.emplace("MORVA_UPDATE_CA", service_->ca.c_str());
    }
    static void Click(CSetWnd& wnd, const char* name) {
        ui::CControlUI* control = wnd.FindControl(QString::fromLatin1(name));
        ASSERT_NE(control, nullptr) << name;
        QTest::mouseClick(control->GetWidget(), Qt::LeftButton);
    }
    static void ClickItem(CSetWnd& wnd, int index) {
        ui::CControlUI* box = ui::CPaintManagerUI::FindSubControlByName(
            wnd.Item(index), QStringLiteral("check_name_select"));
        ASSERT_NE(box, nullptr);
        QTest::mouseClick(box->GetWidget(), Qt::LeftButton);
    }
    // Clicks "Check now" and waits for the run to end.
    static bool CheckNow(CSetWnd& wnd) {
        Click(wnd, "update_check_btn");
        return QTest::qWaitFor([&] { return !wnd.Checking(); }, 10000);
    }
    void Relay(long long code, long long value) {
        ipc::Message relay;
        relay.msg = ipc::kMsgSettingsRelay;
        relay.wParam = code;
        relay.lParam = value;
        sim_.window->OnIpcMessage(relay, nullptr);
    }
    static std::string Today() {
        const QDate d = QDate::currentDate();
        return update::DateText(d.year(), d.month(), d.day());
    }
    QString Text(const char* key) const { return sim_.language->Text(QString::fromLatin1(key)); }
    ui::CButtonUI* SetButton() const {
        return dynamic_cast<ui::CButtonUI*>(sim_.window->FindControl(QStringLiteral("setbtn")));
    }

    static std::unique_ptr<test::LocalService> service_;
    std::optional<test::ScopedEnv> url_, ca_;
};

std::unique_ptr<test::LocalService> SetWndServiceTest::service_;

TEST_F(SetWndServiceTest, OfferedUpdatesAreMarkedAndTheUpdaterRelayCarriesThemToTheEnd) {
    UseService(service_->trusted.Url("newer"));
    ASSERT_TRUE(WithSettingsWindow(
        [&] { ClickSettingsButton(); },
        [&](CSetWnd& wnd) {
            ASSERT_EQ(wnd.PageStatus(), kPageIdle) << "nothing is asked before the user wants it";
            ASSERT_TRUE(CheckNow(wnd));
            EXPECT_EQ(wnd.PageStatus(), kPageHaveUpdate);
            EXPECT_EQ(wnd.StatusLine(), Text("HaveUpdateInfoText"));
            ASSERT_EQ(wnd.ItemCount(), 3);  // mouse, pad, program; the headset has no row
            const char* offered[] = {"V2000", "V2000", "V2.0.0.0"};
            for (int i = 0; i < 3; ++i) {
                EXPECT_EQ(wnd.Item(i)->State(), update::kItemNeedUpdate) << i;
                EXPECT_TRUE(wnd.Item(i)->Ticked()) << i;
                EXPECT_EQ(wnd.Item(i)->OfferedVersion(), offered[i]) << i;
            }
            EXPECT_EQ(wnd.Item(1)->CurrentVersion(), "V0100");
            EXPECT_EQ(wnd.Item(1)->GetUserData().toStdString(),
                      "app_key=KALDO_2_RB42K01X_1_T33_1&version=100")
                << "the pad's own version went to the service";
            QFile stamp(
                QString::fromStdString(sim_.dir.File("MORVA TR510 Device/updatetime.config")));
            ASSERT_TRUE(stamp.open(QIODevice::ReadOnly));
            EXPECT_NE(stamp.readAll().indexOf(QByteArray::fromStdString('"' + Today() + '"')), -1);

            // The pad is left out; the mouse and the program go to the updater.
            ClickItem(wnd, 1);
            Click(wnd, "update_fw_and_ap");
            auto* tabs = dynamic_cast<ui::CTabLayoutUI*>(wnd.FindControl("get_update_tab_layout"));
            ASSERT_EQ(tabs->GetCurSel(), 1);
            Click(wnd, "update_OK_btn");
            EXPECT_EQ(tabs->GetCurSel(), 0);
            EXPECT_EQ(wnd.Item(0)->State(), update::kItemDownloadWait);
            EXPECT_EQ(wnd.Item(2)->State(), update::kItemDownloadWait);
            EXPECT_FALSE(wnd.Item(1)->Selectable());

            Relay(kRelayProgress, 40);
            ASSERT_TRUE(
                QTest::qWaitFor([&] { return wnd.Item(0)->ProgressText() == "40%"; }, 2000));
            EXPECT_EQ(wnd.Item(0)->State(), update::kItemDownloading);
            EXPECT_EQ(wnd.PageStatus(), kPageUpdating);
            Relay(kRelayFinished, 0);
            ASSERT_TRUE(QTest::qWaitFor(
                [&] { return wnd.Item(0)->State() == update::kItemUpToDate; }, 2000));
            EXPECT_EQ(wnd.Item(0)->CurrentVersion(), "V2000");
            EXPECT_EQ(wnd.PageStatus(), kPageUpdating) << "the program is still being updated";
            Relay(kRelayFinished, 0);
            ASSERT_TRUE(QTest::qWaitFor([&] { return wnd.PageStatus() == kPageHaveUpdate; }, 2000));
            EXPECT_EQ(wnd.Item(2)->CurrentVersion(), "V2.0.0.0");
            EXPECT_TRUE(wnd.Item(1)->Selectable()) << "the pad's update is still offered";
        }));
}

TEST_F(SetWndServiceTest, RefusedCertificatesAndSilenceAreNeverShownAsCurrent) {
    // The automatic check, once turned on, runs as the window opens.
    sim_.settings->setValue("UPDATE_AUTO", true);
    QTcpServer closed;
    ASSERT_TRUE(closed.listen(QHostAddress::LocalHost));
    const QUrl nobody(QStringLiteral("https://127.0.0.1:%1/current/").arg(closed.serverPort()));
    closed.close();
    const std::pair<QUrl, const char*> cases[] = {
        {service_->selfSigned.Url("current"), "UpdateTlsFailText"},
        {service_->otherName.Url("current"), "UpdateTlsFailText"},
        {nobody, "NoUpdateInfoText"},
    };
    for (const auto& [url, line] : cases) {
        SCOPED_TRACE(url.toString().toStdString());
        UseService(url);
        SetButton()->SetForeImage(QStringLiteral("image/set.svg"));
        ASSERT_TRUE(WithSettingsWindow(
            [&] { ClickSettingsButton(); },
            [&](CSetWnd& wnd) {
                EXPECT_TRUE(wnd.Checking());
                EXPECT_NE(wnd.Item(0)->State(), update::kItemUpToDate)
                    << "no entry reads current before its answer";
                ASSERT_TRUE(QTest::qWaitFor([&] { return !wnd.Checking(); }, 10000));
                EXPECT_EQ(wnd.PageStatus(), kPageNoAnswer);
                EXPECT_EQ(wnd.StatusLine(), Text(line));
                for (int i = 0; i < wnd.ItemCount(); ++i) {
                    EXPECT_EQ(wnd.Item(i)->State(), update::kItemCheckFailed);
                    EXPECT_FALSE(wnd.Item(i)->Ticked());
                }
            }));
        EXPECT_FALSE(SetButton()->GetForeImage().isEmpty()) << "the badge stays";
    }
}

TEST_F(SetWndServiceTest, ACurrentAnswerShowsTheDateInTheLanguageChosen) {
    UseService(service_->trusted.Url("current"));
    SetButton()->SetForeImage(QStringLiteral("image/set.svg"));
    ASSERT_TRUE(WithSettingsWindow(
        [&] { ClickSettingsButton(); },
        [&](CSetWnd& wnd) {
            ASSERT_TRUE(CheckNow(wnd));
            EXPECT_EQ(wnd.PageStatus(), kPageCurrent);
            EXPECT_EQ(wnd.StatusLine().toStdString(),
                      (Text("UpdateIsLastText")).toStdString() + Today());
            EXPECT_TRUE(SetButton()->GetForeImage().isEmpty()) << "the badge goes";
            auto* combo = dynamic_cast<ui::CComboUI*>(wnd.FindControl("Language_combox_info"));
            combo->SelectItem(1, false, true);
            EXPECT_EQ(wnd.StatusLine(), QStringLiteral("全部为最新版本。上次检查：") +
                                            QString::fromStdString(Today()));
        }));
}

TEST_F(SetWndServiceTest, ClosingWhileTheServiceIsSlowEndsAtOnce) {
    UseService(service_->trusted.Url("slow"));
    QElapsedTimer closing;
    ASSERT_TRUE(WithSettingsWindow(
        [&] { ClickSettingsButton(); },
        [&](CSetWnd& wnd) {
            Click(wnd, "update_check_btn");
            ASSERT_TRUE(service_->trusted.WaitForLine(QStringLiteral("request slow")));
            ASSERT_TRUE(wnd.Checking());
            closing.start();
            Click(wnd, "closebtn");
        }));
    EXPECT_LT(closing.elapsed(), 1000);
    EXPECT_TRUE(service_->trusted.WaitForLine(QStringLiteral("gone slow")))
        << "the request was dropped";
}

}  // namespace
}  // namespace morva::app
