// The program's own windows in each language, built as the program builds them: texts come
// from the main window's language manager, never from a resolver of the test's own.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <QSettings>
#include <QTimer>

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>

#include "app/about_wnd.h"
#include "app/color_select_wnd.h"
#include "app/fit_check.h"
#include "app/main_wnd.h"
#include "app/msg_wnd.h"
#include "app/music_wnd.h"
#include "app/program_bind_wnd.h"
#include "app/set_wnd.h"
#include "app/sim_window.h"
#include "app/skin_frame.h"
#include "app/update_list_item.h"
#include "support/temp_dir.h"
#include "ui/language/language_manager.h"
#include "ui/toolkit/containers.h"
#include "ui/toolkit/resource_manager.h"

namespace morva::app {
namespace {

// Every key of every language file.
QSet<QString> AllLanguageKeys() {
    QSet<QString> keys;
    for (const char* file : {"lan_en.xml", "lan_cn.xml"}) {
        ui::CLanguageTable table;
        EXPECT_TRUE(table.Load(test::ResDir() + "/skin/" + file)) << file;
        for (auto it = table.Texts().cbegin(); it != table.Texts().cend(); ++it)
            keys.insert(it.key());
    }
    return keys;
}

// Texts a user can see in a window (its title, visible texts and tool tips) that are still
// language keys, or read like one.
QStringList RawKeysShown(ui::WindowImplBase& wnd) {
    static const QSet<QString> keys = AllLanguageKeys();
    static const QRegularExpression keyLike(QStringLiteral("^[A-Za-z][A-Za-z0-9]*(_\\w+)+$"));
    QStringList raw;
    auto check = [&](const QString& where, const QString& text) {
        if (keys.contains(text) || keyLike.match(text).hasMatch())
            raw << where + ": " + text;
    };
    check(QStringLiteral("title"), wnd.windowTitle());
    ui::CPaintManagerUI::ForEachControl(&wnd, [&](ui::CControlUI* c) {
        if (c->GetWidget()->isVisible()) {
            check(c->GetName(), c->GetText());
            check(c->GetName() + " tip", c->GetToolTip());
        }
        return true;
    });
    return raw;
}

// The main window as main.cpp sets it up; param: the language position.
class WindowTextsTest : public ::testing::TestWithParam<int> {
protected:
    void SetUp() override {
        ASSERT_TRUE(test::BuildMainWindow(dir_, settings_, language_, window_));
        window_->ApplyLanguage(GetParam());
        window_->resize(1000, 640);
        window_->ShowWindow(true);
    }
    void TearDown() override {
        window_.reset();
        ui::CResourceManager::Instance().Release();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    // Runs `open` (which blocks in a modal window) and `inspect` on the window it shows; the
    // window is closed afterwards whatever `inspect` found.
    template <class Wnd>
    void WhileOpen(const std::function<void()>& open, const std::function<void(Wnd&)>& inspect) {
        bool seen = false;
        QTimer::singleShot(0, [&] {
            for (QWidget* w : QApplication::topLevelWidgets()) {
                if (auto* wnd = qobject_cast<Wnd*>(w); wnd && wnd->isVisible()) {
                    seen = true;
                    inspect(*wnd);
                    wnd->Close(0);
                    return;
                }
            }
        });
        open();
        EXPECT_TRUE(seen) << "no window opened";
    }

    QString Text(const char* key) const { return language_->Text(QString::fromLatin1(key)); }

    test::TempDir dir_;
    std::unique_ptr<QSettings> settings_;
    std::unique_ptr<ui::CLanguageManager> language_;
    std::unique_ptr<CMainWnd> window_;
};

TEST_P(WindowTextsTest, MessageBoxesAndAboutShowTextsNotKeys) {
    for (QWidget* owner : {static_cast<QWidget*>(window_.get()), static_cast<QWidget*>(nullptr)}) {
        WhileOpen<CMsgWnd>(
            [&] {
                ShowMessageBox(owner, {}, QStringLiteral("message_text_22"), window_->Dpi(), true,
                               kMsgButtonsConfirmCancel);
            },
            [&](CMsgWnd& box) {
                EXPECT_EQ(RawKeysShown(box), QStringList()) << "owner " << (owner != nullptr);
                EXPECT_EQ(box.FindControl(QStringLiteral("MessageText"))->GetText(),
                          Text("message_text_22"));
                EXPECT_EQ(box.FindControl(QStringLiteral("confirm_btn"))->GetText(),
                          Text("msg_confirm"));
            });
    }
    WhileOpen<CAboutWnd>([&] { OpenAboutWindow(window_.get(), QStringLiteral("1.0.3")); },
                         [&](CAboutWnd& about) {
                             EXPECT_EQ(RawKeysShown(about), QStringList());
                             EXPECT_EQ(about.GetVersionLine(), Text("software_rev_text") + "1.0.3");
                         });
}

// At its design size in each DPI, with the default names a style without one gets.
TEST_P(WindowTextsTest, MusicWindowShowsTextsNotKeysAndFitsInEachDpi) {
    for (const int dpi : {96, 144}) {
        WhileOpen<CMusicWnd>(
            [&] { ShowMusicWindow(window_.get(), AudioStyle{}, dpi); },
            [&](CMusicWnd& w) {
                EXPECT_EQ(RawKeysShown(w), QStringList());
                EXPECT_EQ(w.FindControl(QStringLiteral("audio_edit_name4"))->GetText(),
                          Text("music_style_name_4"));
                EXPECT_EQ(w.size(),
                          QSize(ui::CPaintManagerUI::Scale(369), ui::CPaintManagerUI::Scale(276)));
                for (const test::FitProblem& p : test::FindFitProblems(&w))
                    ADD_FAILURE() << "DPI " << dpi << ": " << p.control.toStdString() << " "
                                  << p.problem.toStdString() << " " << p.detail.toStdString();
            });
    }
    ui::CPaintManagerUI::SetAllDPI(96);
}

// The programs of a profile with a long name listed, the windows offered and the notice shown.
TEST_P(WindowTextsTest, ProgramsWindowShowsTextsNotKeysAndFitsInEachDpi) {
    const std::string folder = dir_.File("programs") + "/";
    std::filesystem::create_directories(folder);
    CProfileBindings bindings(folder);
    ASSERT_EQ(bindings.Bind("p1", std::string(40, 'w')), CProfileBindings::kChanged);
    ASSERT_EQ(bindings.Bind("p1", "steam"), CProfileBindings::kChanged);
    for (const int dpi : {96, 144}) {
        WhileOpen<CProgramBindWnd>(
            [&] {
                ShowProgramBindWnd(window_.get(),
                                   {folder,
                                    "p1",
                                    QStringLiteral("profile1"),
                                    {"Firefox", "steam"},
                                    QStringLiteral("set_follow_unavailable")},
                                   dpi);
            },
            [&](CProgramBindWnd& w) {
                EXPECT_EQ(w.Programs(), (QStringList{QString(40, 'w'), "steam"}));
                EXPECT_TRUE(w.FindControl(QStringLiteral("bind_error"))->IsVisible());
                EXPECT_EQ(RawKeysShown(w), QStringList()) << "DPI " << dpi;
                for (const test::FitProblem& p : test::FindFitProblems(&w))
                    ADD_FAILURE() << "DPI " << dpi << ": " << p.control.toStdString() << " "
                                  << p.problem.toStdString() << " " << p.detail.toStdString();
            });
    }
    ui::CPaintManagerUI::SetAllDPI(96);
}

// The colour picker and the background pop-up, in each DPI.
TEST_P(WindowTextsTest, PickerAndBackgroundPopUpShowTextsNotKeysAndFit) {
    auto inspect = [](ui::WindowImplBase& w, int dpi) {
        EXPECT_EQ(RawKeysShown(w), QStringList()) << "DPI " << dpi;
        for (const test::FitProblem& p : test::FindFitProblems(&w))
            ADD_FAILURE() << "DPI " << dpi << ": " << p.control.toStdString() << " "
                          << p.problem.toStdString() << " " << p.detail.toStdString();
    };
    for (const int dpi : {96, 144}) {
        WhileOpen<CColorSelectWnd>(
            [&] {
                (void)ShowColorSelectWnd(window_.get(), 0xFF00A2FF, dpi, dir_.path().string(), {});
            },
            [&](CColorSelectWnd& w) {
                inspect(w, dpi);
                EXPECT_EQ(w.size(),
                          QSize(ui::CPaintManagerUI::Scale(800), ui::CPaintManagerUI::Scale(572)));
            });
        CSkinFrame* frame =
            CSkinFrame::Open(window_.get(), window_->FindControl("skinbtn"), window_->Skin());
        inspect(*frame, dpi);
        frame->close();
    }
    ui::CPaintManagerUI::SetAllDPI(96);
}

// Every page of the settings window, in each DPI, with the status line it shows without a
// service.
TEST_P(WindowTextsTest, SettingsWindowPagesShowTextsNotKeysAndFit) {
    for (const int dpi : {96, 144}) {
        SetWndOptions options;
        for (const ui::LanguageEntry& entry : language_->Entries())
            options.languageKeys.append(entry.textKey);
        options.entries = window_->UpdateEntries();
        options.versionText = QStringLiteral("V1.0.0.0");
        options.followWorks = false;  // its notice is measured too
        WhileOpen<CSetWnd>(
            [&] { OpenSetWnd(window_.get(), GetParam(), options, dpi, true); },
            [&](CSetWnd& w) {
                EXPECT_EQ(w.size(),
                          QSize(ui::CPaintManagerUI::Scale(630), ui::CPaintManagerUI::Scale(500)));
                w.StartUpdateCheck();
                EXPECT_EQ(w.StatusLine(), Text("UpdateNoServiceText"));
                ASSERT_EQ(w.ItemCount(), 1);
                EXPECT_EQ(w.Item(0)->Name(), Text("AP"));
                auto* pages = dynamic_cast<ui::CTabLayoutUI*>(w.FindControl("set_pages"));
                ASSERT_NE(pages, nullptr);
                pages->SelectItem(1);
                // Every state's text and marks fit the row, under the state's heading even
                // without an offer.
                std::optional<int> stateColumn;
                for (const int state : {0, 1, 3, 4, 5, 7, 8, 9}) {
                    w.Item(0)->SetState(state);
                    w.Item(0)->SetVersions(QStringLiteral("V1.0.0.0"),
                                           state == 7 ? QString() : QStringLiteral("V2.0.0.0"));
                    w.Item(0)->SetProgress(100);
                    QCoreApplication::processEvents();  // the row lays itself out again
                    QWidget* text = ui::CPaintManagerUI::FindSubControlByName(
                                        w.Item(0), QStringLiteral("update_status_text"))
                                        ->GetWidget();
                    const int x = text->mapTo(w.Item(0), QPoint()).x();
                    EXPECT_EQ(x, stateColumn.value_or(x)) << "state " << state;
                    stateColumn = x;
                    for (const test::FitProblem& p : test::FindFitProblems(w.Item(0)))
                        ADD_FAILURE() << "DPI " << dpi << " state " << state << ": "
                                      << p.control.toStdString() << " " << p.problem.toStdString()
                                      << " " << p.detail.toStdString();
                }
                for (int page = 0; page < pages->GetCount(); ++page) {
                    pages->SelectItem(page);
                    EXPECT_EQ(RawKeysShown(w), QStringList()) << "DPI " << dpi << " page " << page;
                    for (const test::FitProblem& p : test::FindFitProblems(&w))
                        ADD_FAILURE()
                            << "DPI " << dpi << " page " << page << ": " << p.control.toStdString()
                            << " " << p.problem.toStdString() << " " << p.detail.toStdString();
                }
            });
    }
    ui::CPaintManagerUI::SetAllDPI(96);
}

INSTANTIATE_TEST_SUITE_P(EnglishAndChinese, WindowTextsTest, ::testing::Values(0, 1));

}  // namespace
}  // namespace morva::app
