// The macro panel in the main window on simulated devices: edits made through the window's
// entries are saved at once, recording (here inside the program's own window) fills the rows,
// key capture goes through the same hook, and a macro bound to a key reaches the device's
// macro memory.
#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QTest>
#include <QTimer>

#include "app/box_answers.h"
#include "app/main_wnd.h"
#include "app/sim_window.h"
#include "device/key_codes.h"
#include "device/protocol/macro_image.h"
#include "macro/macro_store.h"
#include "ui/panels/file_dialog.h"
#include "ui/panels/key_set_control.h"
#include "ui/panels/macro_control.h"
#include "ui/toolkit/controls.h"
#include "ui/toolkit/list.h"
#include "ui/toolkit/menu.h"
#include "ui/toolkit/paint_manager.h"

namespace morva::app {
namespace {

using sim::Link;
using sim::Product;
using ui::CControlUI;

constexpr int kX11KeycodeA = 38;
constexpr int kX11KeycodeB = 56;
constexpr int kX11KeycodeF5 = 71;

std::vector<std::uint8_t> ImageOf(const std::vector<MacroEvent>& events) {
    std::vector<DeviceMacroEvent> device;
    for (const MacroEvent& e : events)
        device.push_back(ToDeviceMacroEvent(e));
    return BuildMacroImage({device}).value_or(std::vector<std::uint8_t>{});
}

class MacroPanelTest : public ::testing::Test {
protected:
    void Start(Link link) {
        ASSERT_TRUE(sim_.Start({link}));
        ASSERT_TRUE(link == Link::Mouse ? sim_.ConnectMouse() : sim_.ConnectKeyboard());
        page_ = sim_.devices->CurrentDevice();
        panel_ = page_->MacroPanel();
        ASSERT_NE(panel_, nullptr);
        page_->OnFunctionTab(3);  // the macro tab
        sim_.window->show();
    }
    void TearDown() override { ui::SetOpenFileDialogHook({}); }
    QString Translated(const char* key) { return sim_.window->Translate(QString::fromLatin1(key)); }
    template <typename T = CControlUI>
    T* Find(const char* name) const {
        return dynamic_cast<T*>(
            ui::CPaintManagerUI::FindSubControlByName(page_, QString::fromLatin1(name)));
    }
    bool Click(const char* name) { return sim_.Route("click", Find(name)); }
    // A key as the X server reports it, to whatever has the focus.
    void Key(QEvent::Type type, int keycode) {
        QWidget* target = QApplication::focusWidget();
        if (target == nullptr)
            target = sim_.window.get();
        QKeyEvent event(type, Qt::Key_unknown, Qt::NoModifier, static_cast<quint32>(keycode), 0, 0);
        QCoreApplication::sendEvent(target, &event);
    }
    void Tap(int keycode) {
        Key(QEvent::KeyPress, keycode);
        Key(QEvent::KeyRelease, keycode);
    }
    std::vector<MacroEvent> Saved(int macro) const {
        CMacroStore store(page_->Model().GetUserDataFolder());
        store.LoadMacroList();
        return store.GetMacroEvents(macro);
    }
    std::vector<std::uint8_t> MacroMemory(Product product) {
        return sim_.bus->Firmware(product).ReadArea(sim::Area::Macro);
    }
    // Binds key `key` to macro 0 as the key assignment panel does, with its macros.
    void BindToMacro0(int key) {
        KeyListEntry entry = page_->Model().KeyList().at(static_cast<std::size_t>(key));
        entry.assignment.code = MakeMacroCode(0, 0);
        ASSERT_TRUE(page_->Model()
                        .AssignKey(key, entry, CTessaronUSBDevice::KeySend::MacrosAndKeyTable)
                        .Ok());
    }
    void ExpectMemoryHolds(Product product, const std::vector<MacroEvent>& events) {
        const std::vector<std::uint8_t> image = ImageOf(events);
        const std::vector<std::uint8_t> memory = MacroMemory(product);
        ASSERT_FALSE(image.empty());
        ASSERT_GE(memory.size(), image.size());
        EXPECT_EQ(std::vector<std::uint8_t>(memory.begin(), memory.begin() + image.size()), image);
    }

    test::SimWindow sim_;
    ui::CDevicePageUI* page_ = nullptr;
    ui::CMacroControlUI* panel_ = nullptr;
    test::BoxAnswers boxes_;
};

TEST_F(MacroPanelTest, EditsAndARecordingAreSavedAndTheBoundMacroReachesTheMouse) {
    Start(Link::Mouse);
    ASSERT_TRUE(Click("macro_btn_name_add"));
    ASSERT_EQ(panel_->GetSelectedMacro(), 0);
    Find("mouse_x_left_edit")->SetText(QStringLiteral("300"));  // cut to 8 bits
    ASSERT_TRUE(Click("macro_inset_moveleftkey_btn"));

    // The action menu of row 0: its "left_click" item adds a press and a release after it.
    auto* rows = Find<ui::CListUI>("macro_action_list");
    ASSERT_EQ(rows->GetCount(), 1);
    ASSERT_TRUE(sim_.Route("menu", rows->GetItemAt(0)));
    ui::CMenuWnd* menu = nullptr;
    for (ui::CMenuWnd* m : sim_.window->findChildren<ui::CMenuWnd*>()) {
        if (m->FindItem(QStringLiteral("left_click")) != nullptr)
            menu = m;
    }
    ASSERT_NE(menu, nullptr) << "the action menu opens";
    QAction* leftClick = menu->FindItem(QStringLiteral("left_click"));
    EXPECT_FALSE(leftClick->text().contains(QLatin1String("macro_menu"))) << "translated";
    leftClick->trigger();
    menu->Close();
    ASSERT_TRUE(QTest::qWaitFor([&] { return rows->GetCount() == 3; }));

    // Row 0 to the bottom, then row 1's delay edited past the device's range.
    ASSERT_TRUE(sim_.Route("itemselect", rows, 0));
    ASSERT_TRUE(Click("macro_btn_downbottom"));
    auto* delay = dynamic_cast<ui::CEditUI*>(ui::CPaintManagerUI::FindSubControlByName(
        rows->GetItemAt(1), QStringLiteral("macro_delay")));
    ASSERT_NE(delay, nullptr);
    delay->SetText(QStringLiteral("70000"));
    ASSERT_TRUE(sim_.Route("killfocus", delay));
    EXPECT_EQ(delay->GetText(), QLatin1String("65535"));

    // And a key recorded after them, in the program's own window.
    sim_.window->BeginRecording(RecordMode::kNoDelay, RecordPlace::kEnd);
    Tap(kX11KeycodeA);
    sim_.window->EndRecording();

    const std::vector<MacroEvent> expected = {{true, 1, macro_type::kMouseButton, 50},
                                              {false, 1, macro_type::kMouseButton, 65535},
                                              {true, 300 & 0xFF, macro_type::kMoveHorizontal, 50},
                                              {true, 4, macro_type::kKey, 0},
                                              {false, 4, macro_type::kKey, 0}};
    EXPECT_EQ(Saved(0), expected);
    BindToMacro0(3);
    ExpectMemoryHolds(Product::Mouse, expected);
}

TEST_F(MacroPanelTest, RecordingInTheWindowFillsTheMacroAndLocksTheDeviceTabs) {
    Start(Link::Keyboard);
    ASSERT_TRUE(Click("macro_btn_name_add"));
    Find<ui::CCheckBoxUI>("macro_check_time")->Selected(true, false);
    Find("macro_fixed_time_edit")->SetText(QStringLiteral("70000"));
    ASSERT_TRUE(Click("macro_btn_starredio"));
    ASSERT_TRUE(sim_.window->IsRecording());
    EXPECT_EQ(Find("macro_fixed_time_edit")->GetText(), QLatin1String("65535"));
    EXPECT_FALSE(sim_.window->FindControl(QStringLiteral("device_select_layout"))->IsEnabled());
    EXPECT_EQ(Find("macro_record_state")->GetText(),
              sim_.window->Translate(QStringLiteral("macro_record_window_only")));

    Tap(kX11KeycodeA);
    Key(QEvent::KeyPress, kX11KeycodeB);
    Key(QEvent::KeyPress, kX11KeycodeB);  // held: the repeat is not recorded
    Key(QEvent::KeyRelease, kX11KeycodeB);
    ASSERT_TRUE(Click("macro_btn_stopredio"));
    EXPECT_FALSE(sim_.window->IsRecording());
    EXPECT_TRUE(sim_.window->FindControl(QStringLiteral("device_select_layout"))->IsEnabled());

    const std::vector<MacroEvent> expected = {{true, 4, macro_type::kKey, 65535},
                                              {false, 4, macro_type::kKey, 65535},
                                              {true, 5, macro_type::kKey, 65535},
                                              {false, 5, macro_type::kKey, 65535}};
    EXPECT_EQ(Saved(0), expected) << "saved when recording ends";
    Tap(kX11KeycodeA);
    EXPECT_EQ(Saved(0).size(), 4u) << "nothing is recorded after the stop";

    constexpr int kKeyboardKeyA = 64;
    BindToMacro0(kKeyboardKeyA);
    ExpectMemoryHolds(Product::Keyboard, expected);
}

TEST_F(MacroPanelTest, KeyCaptureGoesThroughTheHookWhileTheKeyEditHasFocus) {
    Start(Link::Keyboard);
    page_->OnFunctionTab(2);
    page_->OnKeyClicked(64);
    ui::CKeySetControlUI* keys = page_->KeySetPanel();
    ASSERT_NE(keys, nullptr);
    keys->ShowCategory(kCategoryKeyboard);
    CControlUI* edit = ui::CPaintManagerUI::FindSubControlByName(
        keys, QStringLiteral("keyset_keyboard_text_edit"));
    ASSERT_NE(edit, nullptr);
    ASSERT_TRUE(sim_.Route("setfocus", edit));
    EXPECT_EQ(sim_.window->Hook().Mode(), CDeviceHook::kKeyCapture);
    Tap(kX11KeycodeF5);
    EXPECT_EQ(edit->GetText(), sim_.window->Translate(QStringLiteral("keyboard_key_F5")));
    EXPECT_EQ(keys->ReadKeyEntry(false).assignment.code, (KeyCode{kKeyTypeKeyboard, 0, 0x3E}));
    ASSERT_TRUE(sim_.Route("killfocus", edit));
    EXPECT_EQ(sim_.window->Hook().Mode(), CDeviceHook::kNone);

    // Another window coming to the front ends it, and so does hiding the window.
    sim_.window->activateWindow();
    ASSERT_TRUE(QTest::qWaitFor([&] { return sim_.window->isActiveWindow(); }));
    ASSERT_TRUE(sim_.Route("setfocus", edit));
    QWidget other;
    other.show();
    other.activateWindow();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !sim_.window->isActiveWindow(); }));
    EXPECT_EQ(sim_.window->Hook().Mode(), CDeviceHook::kNone);
    ASSERT_TRUE(sim_.Route("setfocus", edit));
    sim_.window->hide();
    EXPECT_EQ(sim_.window->Hook().Mode(), CDeviceHook::kNone);
}

TEST_F(MacroPanelTest, ImportAtTheLimitAndAConfirmedDeleteChangeOnlyWhatTheySay) {
    Start(Link::Mouse);
    CMacroStore store(page_->Model().GetUserDataFolder());
    for (int i = 0; i < CMacroStore::kMaxMacros; ++i)
        ASSERT_EQ(store.AddMacro(), MacroResult::kOk);
    ASSERT_EQ(store.SaveMacroEvents(1, {{true, 4, macro_type::kKey, 5}}), MacroResult::kOk);
    panel_->LoadMacroList(1);
    const std::string list = test::TempDir::Read(store.ListFilePath());
    const std::string second = test::TempDir::Read(store.GetMacroFilePath(1));

    const std::string file = sim_.dir.Write("in.mac", R"({"Events":[]})");
    ui::SetOpenFileDialogHook(
        [&](QWidget*, const QString&, const QString&) { return QString::fromStdString(file); });
    ASSERT_TRUE(Click("macro_btn_import"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !boxes_.texts.isEmpty(); }));
    EXPECT_EQ(boxes_.texts.front(), Translated("macro_msg_limit").replace("%d", "50"));
    EXPECT_EQ(test::TempDir::Read(store.ListFilePath()), list);
    EXPECT_EQ(test::TempDir::Read(store.GetMacroFilePath(1)), second) << "the selected macro";

    // Macro 1 is bound to a button: both questions come, and a "no" to the second keeps all.
    KeyListEntry entry = page_->Model().KeyList().at(3);
    entry.assignment.code = MakeMacroCode(1, 0);
    ASSERT_TRUE(
        page_->Model().AssignKey(3, entry, CTessaronUSBDevice::KeySend::MacrosAndKeyTable).Ok());
    boxes_.texts.clear();
    boxes_.queue = {true, false};
    ASSERT_TRUE(Click("macro_btn_name_sub"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return boxes_.texts.size() == 2; }));
    EXPECT_EQ(boxes_.texts,
              (QStringList{Translated("message_text_4"), Translated("message_text_2")}));
    EXPECT_EQ(test::TempDir::Read(store.ListFilePath()), list);
    EXPECT_EQ(page_->Model().KeyList().at(3).assignment.code, MakeMacroCode(1, 0));

    boxes_.queue = {true, true};
    ASSERT_TRUE(Click("macro_btn_name_sub"));
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return store.LoadMacroList() == CMacroStore::kMaxMacros - 1; }));
    EXPECT_EQ(page_->Model().KeyList().at(3).assignment,
              page_->Model().KeyList().at(3).defaultAssignment);
}

}  // namespace
}  // namespace morva::app
