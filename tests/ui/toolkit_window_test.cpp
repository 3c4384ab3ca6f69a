// Windows: start-up notifications, modal runs, messages from other threads, caption
// dragging, language reload; menus and the tray icon.
#include <QMouseEvent>
#include <QTest>
#include <QThread>

#include <atomic>
#include <thread>

#include "toolkit_test_support.h"
#include "ui/toolkit/controls.h"
#include "ui/toolkit/menu.h"
#include "ui/toolkit/tray.h"

namespace morva::ui::test {
namespace {

constexpr char kSmallLayout[] = R"(<Window size="300,200" caption="40">
    <VerticalLayout name="root">
      <HorizontalLayout name="caption" height="40"><Label name="title" text="title_key"/>
        <Button name="closebtn" width="30" tooltip="close_tip"/></HorizontalLayout>
      <Combo name="combo"><ListLabelElement text="item_key"/></Combo>
      <Edit name="edit" prompttext="prompt_key"/>
      <Label name="plain" text="not a key"/>
    </VerticalLayout></Window>)";

using WindowTest = ToolkitTest;

TEST_F(WindowTest, InitWindowRunsBeforeWindowInitWhichComesOnceAfterTheFirstShow) {
    TestWindow w(Write("XML/small.xml", kSmallLayout));
    w.ShowWindow();
    EXPECT_EQ(w.initCount, 1);
    EXPECT_FALSE(w.Types().contains("windowinit")) << "queued after the show";
    ASSERT_TRUE(WaitUntil([&] { return w.Types().contains("windowinit"); }));
    EXPECT_EQ(w.notes.front().sender, "root");
    w.ShowWindow(false);
    w.ShowWindow(true);
    ProcessFor(20);
    EXPECT_EQ(w.Types().count("windowinit"), 1);
    EXPECT_EQ(w.initCount, 1);
}

// A window that starts hidden (or finishes its start-up before its first show) is never
// shown just to be started.
TEST_F(WindowTest, WindowInitSentBeforeAnyShowIsNotSentAgainByTheShow) {
    TestWindow w(Write("XML/small.xml", kSmallLayout));
    w.SendWindowInit();
    EXPECT_EQ(w.Types(), QStringList{"windowinit"}) << "at once";
    EXPECT_FALSE(w.isVisible());
    w.SendWindowInit();
    w.ShowWindow();
    ASSERT_TRUE(WaitUntil([&] { return w.isVisible(); }));
    // A first show queues its notice; anything queued after it runs after it.
    bool passed = false;
    QTimer::singleShot(0, [&] { passed = true; });
    ASSERT_TRUE(WaitUntil([&] { return passed; }));
    EXPECT_EQ(w.Types().count("windowinit"), 1);
    EXPECT_EQ(w.initCount, 1);
}

TEST_F(WindowTest, ShowModalReturnsTheCloseValueAndBlocksTheOwner) {
    const QString skin = Write("XML/small.xml", kSmallLayout);
    TestWindow owner(skin);
    owner.ShowWindow();
    auto* dialog = new TestWindow(skin, &owner);  // owned: deleted with the owner
    bool wasModal = false;
    QTimer::singleShot(20, dialog, [&] {
        wasModal = QApplication::activeModalWidget() == dialog && dialog->IsModalRunning() &&
                   dialog->windowModality() == Qt::WindowModal;
        dialog->Close(7);
    });
    EXPECT_EQ(dialog->ShowModal(), 7);
    EXPECT_TRUE(wasModal);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);

    // A close by the window system ends the run with kIdCancel ...
    QTimer::singleShot(10, dialog, [&] { dialog->close(); });
    EXPECT_EQ(dialog->ShowModal(), WindowImplBase::kIdCancel);

    // ... unless the window handles the close message and stays.
    int asked = 0;
    dialog->onMessage = [&](int msg, intptr_t, intptr_t, bool& handled) -> intptr_t {
        if (msg == WindowImplBase::kMsgClose) {
            handled = ++asked == 1;
        }
        return 0;
    };
    QTimer::singleShot(10, dialog, [&] {
        dialog->close();
        EXPECT_TRUE(dialog->isVisible());
        dialog->Close(3);
    });
    EXPECT_EQ(dialog->ShowModal(), 3);
}

TEST_F(WindowTest, CloseDuringInitWindowEndsShowModalAtOnce) {
    class Quick : public TestWindow {
    public:
        using TestWindow::TestWindow;
        bool shown = false;

    protected:
        void InitWindow() override { Close(42); }
        void showEvent(QShowEvent* e) override {
            shown = true;
            TestWindow::showEvent(e);
        }
    } quick(Write("XML/small.xml", kSmallLayout));
    EXPECT_EQ(quick.ShowModal(), 42);
    EXPECT_FALSE(quick.shown);
}

TEST_F(WindowTest, MessagesFromOtherThreadsRunOnTheUiThreadInOrder) {
    TestWindow w(Write("XML/small.xml", kSmallLayout));
    std::vector<int> seen;
    std::atomic<bool> offThread{false};
    w.onMessage = [&](int msg, intptr_t wParam, intptr_t lParam, bool& handled) -> intptr_t {
        offThread = offThread || QThread::currentThread() != w.thread();
        seen.push_back(msg);
        handled = true;
        return wParam + lParam;
    };
    intptr_t sent = 0;
    std::thread worker([&] {
        w.PostMessage(0x0C12, 1, 2);
        w.PostMessage(0x0C13, 3, 4);
        sent = w.SendMessage(0x0D03, 40, 2);
    });
    ASSERT_TRUE(WaitUntil([&] { return seen.size() == 3; }));
    worker.join();
    EXPECT_EQ(seen, std::vector<int>({0x0C12, 0x0C13, 0x0D03}));
    EXPECT_EQ(sent, 42);
    EXPECT_FALSE(offThread);
    EXPECT_EQ(w.SendMessage(0x0C00, 1, 1), 2) << "on the UI thread: at once";
    EXPECT_EQ(seen.back(), 0x0C00);
}

TEST_F(WindowTest, ASenderGivesUpOnStopAndIsReleasedWhenTheWindowGoes) {
    auto w = std::make_unique<TestWindow>(Write("XML/small.xml", kSmallLayout));
    int handled = 0;
    w->onMessage = [&](int, intptr_t, intptr_t, bool&) -> intptr_t { return ++handled; };

    // The UI thread is busy (not running its loop) while the worker is told to stop.
    std::optional<intptr_t> stopped = 1;
    {
        std::jthread worker(
            [&](std::stop_token stop) { stopped = w->SendMessage(0x0C12, 0, 0, stop); });
        QThread::msleep(20);
        worker.request_stop();
    }
    EXPECT_FALSE(stopped.has_value());
    EXPECT_TRUE(WaitUntil([&] { return handled == 1; })) << "the message itself still runs";

    intptr_t result = -1;
    TestWindow* raw = w.get();
    std::thread worker([&] { result = raw->SendMessage(0x0C13, 0, 0); });
    while (w->PendingMessages() == 0) {
        QThread::msleep(1);
    }
    w.reset();
    worker.join();
    EXPECT_EQ(result, 0);
}

TEST_F(WindowTest, PressesInTheCaptionStripMoveTheWindow) {
    TestWindow w(Write("XML/small.xml", kSmallLayout));
    w.ShowWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    w.move(100, 100);
    auto drag = [&](QWidget* target, QPoint local, QPoint by) {
        const QPoint global = target->mapToGlobal(local);
        QMouseEvent press(QEvent::MouseButtonPress, local, global, Qt::LeftButton, Qt::LeftButton,
                          {});
        QApplication::sendEvent(target, &press);
        QMouseEvent move(QEvent::MouseMove, local + by, global + by, Qt::NoButton, Qt::LeftButton,
                         {});
        QApplication::sendEvent(target, &move);
        QMouseEvent release(QEvent::MouseButtonRelease, local + by, global + by, Qt::LeftButton,
                            Qt::NoButton, {});
        QApplication::sendEvent(target, &release);
    };
    drag(&w, QPoint(100, 10), QPoint(30, 20));
    EXPECT_EQ(w.pos(), QPoint(130, 120));
    drag(&w, QPoint(100, 100), QPoint(30, 20));
    EXPECT_EQ(w.pos(), QPoint(130, 120)) << "below the strip nothing moves";
    drag(w.FindControl("closebtn")->GetWidget(), QPoint(5, 5), QPoint(30, 20));
    EXPECT_EQ(w.pos(), QPoint(130, 120)) << "a button in the strip keeps its press";
}

TEST_F(WindowTest, CenterWindowCentresOverTheOwner) {
    const QString skin = Write("XML/small.xml", kSmallLayout);
    TestWindow owner(skin);
    owner.resize(600, 400);
    owner.ShowWindow();
    owner.move(50, 60);
    auto* child = new TestWindow(skin, &owner);
    child->Create();
    child->CenterWindow();
    const QPoint delta = child->geometry().center() - owner.frameGeometry().center();
    EXPECT_LE(delta.manhattanLength(), 2) << "up to rounding";
}

TEST_F(WindowTest, ReloadTextResolvesEveryKeyAgain) {
    std::map<QString, QString> table{{"title_key", "Mouse"},
                                     {"close_tip", "Close"},
                                     {"item_key", "Profile"},
                                     {"prompt_key", "DPI"}};
    auto resolver = [&](const QString& key) {
        const auto it = table.find(key);
        return it != table.end() ? it->second : QString();
    };
    CPaintManagerUI::SetDefaultLanguageResolver(resolver);
    TestWindow w(Write("XML/small.xml", kSmallLayout));
    w.Create();
    auto* title = w.FindControl("title");
    EXPECT_EQ(title->GetText(), "Mouse");
    EXPECT_EQ(title->GetTextKey(), "title_key");
    EXPECT_EQ(w.FindControl("closebtn")->GetToolTip(), "Close");
    EXPECT_EQ(w.Find<CComboUI>("combo")->GetItemText(0), "Profile");
    EXPECT_EQ(w.Find<CEditUI>("edit")->placeholderText(), "DPI");
    EXPECT_EQ(w.FindControl("plain")->GetText(), "not a key");

    table = {{"title_key", "Maus"}, {"close_tip", "Schließen"}, {"item_key", "Profil"}};
    w.ReloadText();
    EXPECT_EQ(title->GetText(), "Maus");
    EXPECT_EQ(title->GetTextKey(), "title_key");
    EXPECT_EQ(w.FindControl("closebtn")->GetToolTip(), "Schließen");
    EXPECT_EQ(w.Find<CComboUI>("combo")->GetItemText(0), "Profil");
    EXPECT_EQ(w.Find<CEditUI>("edit")->placeholderText(), "prompt_key")
        << "a key the table lacks shows as written";

    // A window's own resolver comes before the default; texts set later resolve at once.
    w.SetLanguageResolver(
        [](const QString& key) { return key == "title_key" ? "Own" : QString(); });
    w.ReloadText();
    EXPECT_EQ(title->GetText(), "Own");
    title->SetText("close_tip");
    EXPECT_EQ(title->GetText(), "close_tip") << "the own resolver does not know it";
    w.Find<CEditUI>("edit")->SetText("title_key");
    EXPECT_EQ(w.Find<CEditUI>("edit")->GetText(), "title_key") << "edit contents are no keys";
}

TEST_F(WindowTest, MenuLayoutGivesItemsThatReportTheirNamesAfterClosing) {
    Write("menu.xml", R"(<Menu>
        <MenuElement name="about_menu" text="about_key"/>
        <MenuElement name="setwnd_menu" text="Settings" userdata="centred"/>
        <MenuElement line="true"/>
        <MenuElement name="more" text="More"><MenuElement name="inner" text="Inner"/></MenuElement>
        <MenuElement name="exit" text="Exit"/>
      </Menu>)");
    TestWindow owner(Write("XML/small.xml", kSmallLayout));
    owner.SetLanguageResolver([](const QString& key) {
        return key == "about_key" ? QStringLiteral("About") : QString();
    });
    owner.Create();
    CMenuWnd menu(&owner);
    ASSERT_TRUE(menu.LoadLayout("menu.xml"));
    EXPECT_EQ(menu.ItemNames(),
              QStringList({"about_menu", "setwnd_menu", "more", "inner", "exit"}));
    EXPECT_EQ(menu.FindItem("ABOUT_MENU")->text(), "About");

    std::vector<MenuCommand> got;
    menu.SetItemHandler([&](const MenuCommand& c) { got.push_back(c); });
    menu.FindItem("setwnd_menu")->trigger();
    EXPECT_TRUE(got.empty()) << "delivered after the menu closed";
    menu.FindItem("inner")->trigger();
    ASSERT_TRUE(WaitUntil([&] { return got.size() == 2; }));
    EXPECT_EQ(got[0].name, "setwnd_menu");
    EXPECT_EQ(got[0].userData, "centred");
    EXPECT_EQ(got[1].name, "inner");

    menu.Popup(QPoint(300, 300), Qt::AlignRight | Qt::AlignBottom);
    ASSERT_TRUE(WaitUntil([&] { return menu.GetMenu()->isVisible(); }));
    EXPECT_EQ(menu.GetMenu()->geometry().bottomRight(), QPoint(299, 299));
    menu.Close();

    EXPECT_FALSE(menu.LoadLayout("missing.xml"));
}

TEST_F(WindowTest, TrayReportsLeftAndRightClicks) {
    CTrayIcon tray;
    int left = 0;
    int right = 0;
    tray.SetOnLeftClick([&] { ++left; });
    tray.SetOnRightClick([&] { ++right; });
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::blue);
    tray.Create(QIcon(pixmap), "MORVA TR510");
    emit tray.GetIcon().activated(QSystemTrayIcon::Trigger);
    emit tray.GetIcon().activated(QSystemTrayIcon::Context);
    emit tray.GetIcon().activated(QSystemTrayIcon::Context);
    emit tray.GetIcon().activated(QSystemTrayIcon::MiddleClick);
    EXPECT_EQ(left, 1);
    EXPECT_EQ(right, 2);
    EXPECT_EQ(tray.IsVisible(), CTrayIcon::IsAvailable()) << "shown only where a tray exists";
}

}  // namespace
}  // namespace morva::ui::test
