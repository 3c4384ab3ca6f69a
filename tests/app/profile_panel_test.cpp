// The mouse page's profile panel in the main window on the simulated bus: the file
// operations as the window's entries run them, the delayed profile switch and the reset,
// each checked in the files, in the panel and in the simulated mouse's memory.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QTest>
#include <QTimer>

#include <filesystem>

#include "app/box_answers.h"
#include "app/main_wnd.h"
#include "app/msg_wnd.h"
#include "app/sim_window.h"
#include "device/models/mouse_device.h"
#include "device/protocol/command_report.h"
#include "profile/audio_style_store.h"
#include "profile/json_access.h"
#include "profile/json_file.h"
#include "sim/sim_bus.h"
#include "support/temp_dir.h"
#include "ui/language/language_manager.h"
#include "ui/pages/mouse_page.h"
#include "ui/panels/device_profile.h"
#include "ui/panels/file_dialog.h"
#include "ui/toolkit/controls.h"
#include "ui/toolkit/paint_manager.h"
#include "ui/toolkit/resource_manager.h"

namespace morva::app {
namespace {

using sim::Link;
using sim::Product;
using ui::CControlUI;

constexpr std::size_t kStage0Dpi = 14 + 2;  // stage 0's X value in the setting block
constexpr int kButton = 3;

struct Edit {
    int stage0 = 0;
    KeyCode button;
};

// Changes stage 0 and button kButton of a profile file.
void EditProfile(const std::string& path, const Edit& edit) {
    CMouseProfiledata profile;
    profile.SetDocumentPath(path);
    ASSERT_FALSE(profile.LoadDocument(path).isNull()) << path;
    std::vector<DpiStage> stages = profile.ReadDpiStages();
    ASSERT_FALSE(stages.empty());
    stages[0].SetDpiX(edit.stage0);
    stages[0].SetDpiY(edit.stage0);
    profile.WriteDpiStages(stages);
    std::vector<KeyListEntry> keys = CompleteKeyList(profile.ReadKeyList());
    keys[kButton].assignment.code = edit.button;
    profile.WriteKeyList(keys);
    profile.Save();
}

class ProfilePanelTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(sim_.Start({Link::Mouse}, nullptr, {}, "data"));
        bus_ = sim_.bus.get();
        window_ = sim_.window.get();
        devices_ = sim_.devices;
        page_ = dynamic_cast<ui::CMousePageUI*>(devices_->PageOfKind(kKindMouse));
        ASSERT_NE(page_, nullptr);
        panel_ = Find<ui::CDeviceProfileUI>("DeviceProfileItem");
        ASSERT_NE(panel_, nullptr);
    }
    void TearDown() override {
        ui::SetOpenFileDialogHook({});
        ui::SetSaveFileDialogHook({});
    }

    void Connect() { ASSERT_TRUE(sim_.ConnectMouse()); }

    CTessaronMouseDevice& Mouse() { return page_->Mouse(); }
    template <typename T = CControlUI>
    T* Find(const char* name) const {
        return dynamic_cast<T*>(
            ui::CPaintManagerUI::FindSubControlByName(page_, QLatin1String(name)));
    }
    void Click(const char* name) {
        CControlUI* button = Find(name);
        ASSERT_NE(button, nullptr) << name;
        window_->Route(ui::TNotifyUI{QStringLiteral("click"), button, 0, 0});
    }
    // The user picks combo entry `index`: the combo sends "itemselect" to the window.
    void Choose(int index) { panel_->Combo()->SelectItem(index, false, true); }

    std::string Folder() const { return page_->Mouse().GetUserDataFolder(); }
    Json::Value List() const { return ReadJsonFile(Folder() + "ProfileList.ini"); }
    int ListSelection() const { return json::ToInt(json::Get(List(), "profileselect"), -1); }
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const ProfileEntry& e : panel_->Store()->Entries())
            names.push_back(e.name);
        return names;
    }
    std::vector<std::string> ComboTexts() const {
        std::vector<std::string> texts;
        for (int i = 0; i < panel_->Combo()->GetCount(); ++i)
            texts.push_back(panel_->Combo()->GetItemText(i).toStdString());
        return texts;
    }
    std::string IdAt(int i) const {
        return panel_->Store()->Entries()[static_cast<std::size_t>(i)].id;
    }
    std::string ProfileFile(int i) const { return Folder() + IdAt(i) + ".Json"; }
    QString Translated(const char* key) { return window_->Translate(QLatin1String(key)); }

    // What the simulated mouse holds: stage 0's value and button kButton's code.
    int FirmwareStage0() {
        const auto setting = bus_->Firmware(Product::Mouse).ReadArea(sim::Area::Setting);
        return setting[kStage0Dpi] | setting[kStage0Dpi + 1] << 8;
    }
    KeyCode FirmwareButton() {
        const auto at = static_cast<std::size_t>(3 * Mouse().ButtonPosition(kButton));
        const auto held = bus_->Firmware(Product::Mouse).ReadArea(sim::Area::KeyTable, at, 3);
        return {held[0], held[1], held[2]};
    }
    int SettingWrites() const {
        int n = 0;
        for (const sim::Report& r : bus_->ReceivedReports(Product::Mouse))
            n += r[3] == cmd::kWriteSetting;
        return n;
    }

    test::SimWindow sim_;
    test::TempDir& dir_ = sim_.dir;
    sim::SimBus* bus_ = nullptr;
    CMainWnd* window_ = nullptr;
    CDeviceManager* devices_ = nullptr;
    ui::CMousePageUI* page_ = nullptr;
    ui::CDeviceProfileUI* panel_ = nullptr;
    test::BoxAnswers boxes_;
};

TEST_F(ProfilePanelTest, FirstStartShowsOneProfileTheModelUses) {
    EXPECT_EQ(ComboTexts(), std::vector<std::string>{"profile1"});
    EXPECT_EQ(ListSelection(), 0);
    EXPECT_EQ(panel_->GetNameEditText(), "profile1");
    EXPECT_EQ(Mouse().ProfileName(), IdAt(0));
    const Json::Value profile = ReadJsonFile(ProfileFile(0));
    EXPECT_EQ(json::ToString(json::Get(profile, "profilename")), "profile1");
    EXPECT_TRUE(json::Has(profile, "Device")) << "a copy of the factory profile";
    // A mouse shows every tab but the headset's, and starts on the first.
    EXPECT_TRUE(Find("cursor_Op_tab")->IsVisible());
    EXPECT_FALSE(Find("magic_Op_tab")->IsVisible());
    EXPECT_TRUE(Find<ui::COptionUI>("deng_Op_tab")->IsSelected());
}

TEST_F(ProfilePanelTest, AddCopyRenameAndDeleteKeepComboListAndDeviceInStep) {
    Connect();
    Click("device_add_btn");
    EXPECT_EQ(ComboTexts(), (std::vector<std::string>{"profile1", "profile2"}));
    EXPECT_EQ(panel_->GetSelectedIndex(), 1);
    EXPECT_EQ(ListSelection(), 1);
    EXPECT_EQ(Mouse().ProfileName(), IdAt(1)) << "the mouse follows the new selection";

    Click("device_copy_btn");
    EXPECT_EQ(Names(), (std::vector<std::string>{"profile1", "profile2", "profile2 copy"}));
    EXPECT_EQ(panel_->GetSelectedIndex(), 1) << "a copy does not change the selection";
    EXPECT_EQ(json::ToString(json::Get(ReadJsonFile(ProfileFile(2)), "profileUUID")), IdAt(2));

    panel_->SetNameEditText(QStringLiteral("PROFILE1"));
    Click("device_profile_edit_save_btn");
    panel_->SetNameEditText(QStringLiteral("   "));
    Click("device_profile_edit_save_btn");
    EXPECT_EQ(boxes_.texts,
              QStringList({Translated("message_text_5"), Translated("message_text_25")}));
    panel_->SetNameEditText(QStringLiteral("Work"));
    Click("device_profile_edit_save_btn");
    EXPECT_EQ(ComboTexts()[1], "Work");
    EXPECT_EQ(json::ToString(json::Get(ReadJsonFile(ProfileFile(1)), "profilename")), "Work");
    EXPECT_EQ(boxes_.texts.size(), 2) << "a rename that worked says nothing";

    const std::string removed = ProfileFile(1);
    boxes_.confirm = false;
    Click("device_sub_btn");
    EXPECT_EQ(Names().size(), 3u) << "deleting waits for the user's yes";
    boxes_.confirm = true;
    Click("device_sub_btn");
    EXPECT_EQ(boxes_.texts.mid(2), QStringList(2, Translated("message_delete_profile")));
    EXPECT_EQ(Names(), (std::vector<std::string>{"profile1", "profile2 copy"}));
    EXPECT_FALSE(std::filesystem::exists(removed));
    EXPECT_EQ(ListSelection(), 0);
    EXPECT_EQ(panel_->GetSelectedIndex(), 0);
    // Left on the deleted file, the next setting change would have gone nowhere.
    EXPECT_EQ(Mouse().ProfileName(), IdAt(0));
    EXPECT_EQ(Mouse().GetProfilePath(), ProfileFile(0));

    Click("device_sub_btn");
    Click("device_sub_btn");
    EXPECT_EQ(Names(), std::vector<std::string>{"profile2 copy"}) << "the last one stays";
    EXPECT_EQ(boxes_.texts.size(), 5) << "and is not even asked about";
}

TEST_F(ProfilePanelTest, ExportAndImportGoThroughTheFileDialogs) {
    Connect();
    const std::string exported = dir_.File("Gaming.json");
    QStringList filters;
    ui::SetSaveFileDialogHook([&](QWidget*, const QString& filter, const QString& pattern) {
        filters << filter + pattern;
        return QString::fromStdString(exported);
    });
    Click("device_export_btn");
    EXPECT_EQ(window_->ShownNote(), Translated("op_export_done"));
    const Json::Value file = ReadJsonFile(exported);
    EXPECT_EQ(json::ToString(json::Get(file, "profileUUID")), IdAt(0));
    EXPECT_EQ(json::ToString(json::Get(file, "profilename")), "profile1");

    QString picked = QString::fromStdString(exported);
    ui::SetOpenFileDialogHook([&](QWidget*, const QString& filter, const QString& pattern) {
        filters << filter + pattern;
        return picked;
    });
    Click("device_import_btn");
    Click("device_import_btn");
    EXPECT_EQ(Names(), (std::vector<std::string>{"profile1", "Gaming", "Gaming(1)"}));
    EXPECT_EQ(panel_->GetSelectedIndex(), 0);
    EXPECT_NE(IdAt(1), IdAt(0)) << "an import gets its own identifier";
    EXPECT_EQ(json::ToString(json::Get(ReadJsonFile(ProfileFile(2)), "profilename")), "Gaming(1)");
    EXPECT_EQ(filters, QStringList(3, QStringLiteral("Profile Files(*.json)*.json;")));

    picked = QString::fromStdString(dir_.Write("notes.json", R"({"profilename": "x"})"));
    Click("device_import_btn");
    picked.clear();  // cancelled
    Click("device_import_btn");
    EXPECT_EQ(Names().size(), 3u);
    EXPECT_EQ(boxes_.texts, QStringList{Translated("profile_import_error")});
}

TEST_F(ProfilePanelTest, FailedWritesAreReportedAndChangeNothing) {
    Connect();
    const std::string before = test::TempDir::Read(Folder() + "ProfileList.ini");
    panel_->SetJsonWriter([](const std::string&, const Json::Value&) { return -1; });
    panel_->SetFolders(Folder(), Mouse().GetDefaultProfilePath());
    panel_->InitProfileList();
    const std::string id = Mouse().ProfileName();

    Click("device_add_btn");
    Click("device_copy_btn");
    panel_->SetNameEditText(QStringLiteral("Other"));
    Click("device_profile_edit_save_btn");
    EXPECT_EQ(boxes_.texts, QStringList(3, Translated("profile_file_error")));
    EXPECT_EQ(test::TempDir::Read(Folder() + "ProfileList.ini"), before);
    EXPECT_EQ(ComboTexts(), std::vector<std::string>{"profile1"});
    EXPECT_EQ(Mouse().ProfileName(), id);
}

TEST_F(ProfilePanelTest, TwoChoicesWithin400msSwitchOnceToTheSecondWithItsSettingsAndKeys) {
    Connect();
    Click("device_add_btn");
    Click("device_add_btn");
    const int range = Mouse().Sensor().maxSlider;
    const Edit first{range / 3, KeyCode{0x30, 0xE9, 0x00}};
    const Edit second{range / 2, KeyCode{0x30, 0xCD, 0x00}};
    EditProfile(ProfileFile(0), first);
    EditProfile(ProfileFile(1), second);
    ASSERT_EQ(Mouse().ProfileName(), IdAt(2));
    // One download's worth of setting reports, to count switches by.
    bus_->ClearLog();
    ASSERT_EQ(Mouse().DownloadSettings(0, 0, 1, 1920, 1080), kResultOk);
    const int perDownload = SettingWrites();
    ASSERT_GT(perDownload, 0);

    bus_->ClearLog();
    Choose(0);
    sim_.timers.Advance(300);
    Choose(1);
    sim_.timers.Advance(200);  // 500 ms after the first choice: it would have switched by now
    EXPECT_EQ(SettingWrites(), 0);
    EXPECT_EQ(Mouse().ProfileName(), IdAt(2));
    sim_.timers.Advance(199);
    EXPECT_EQ(Mouse().ProfileName(), IdAt(2));
    sim_.timers.Advance(1);  // 400 ms after the second
    EXPECT_EQ(Mouse().ProfileName(), IdAt(1));
    sim_.timers.Advance(500);
    EXPECT_EQ(SettingWrites(), perDownload) << "one switch";
    EXPECT_EQ(ListSelection(), 1);
    EXPECT_EQ(FirmwareStage0(), second.stage0);
    EXPECT_EQ(FirmwareButton(), second.button) << "the key table came with the profile";

    Choose(0);
    sim_.timers.Advance(400);
    ASSERT_EQ(Mouse().ProfileName(), IdAt(0));
    EXPECT_EQ(FirmwareStage0(), first.stage0);
    EXPECT_EQ(FirmwareButton(), first.button);
    EXPECT_TRUE(boxes_.texts.isEmpty()) << boxes_.texts.join(u'|').toStdString();
}

TEST_F(ProfilePanelTest, ResetRestoresTheFactoryProfileOnlyAfterConfirmation) {
    Connect();
    CMouseProfiledata factory;
    factory.LoadDocument(Mouse().GetDefaultProfilePath());
    const int factoryStage0 = factory.ReadDpiStages()[0].DpiX();
    const KeyCode factoryButton = CompleteKeyList(factory.ReadKeyList())[kButton].assignment.code;
    const Edit edit{factoryStage0 + 7, KeyCode{0x30, 0xCD, 0x00}};
    ASSERT_NE(edit.button, factoryButton);
    EditProfile(ProfileFile(0), edit);
    Mouse().LoadProfile();
    LightInfo light = factory.ReadLightInfo();
    light.selectItem = light.selectItem == 1 ? 2 : 1;
    ASSERT_TRUE(Mouse().ChangeLight(light, true).Ok());
    ASSERT_NE(Mouse().LightState(), factory.ReadLightInfo());
    ASSERT_EQ(Mouse().DownloadCurrentKeyTable(0), kResultOk);
    const std::string edited = test::TempDir::Read(ProfileFile(0));
    CAudioStyleStore& styles = window_->AudioStyles();
    AudioStyle mine = styles.Current();
    mine.names[0] = "mine";
    styles.StoreAudioStyle(mine);
    ASSERT_EQ(styles.SaveAudioFile(), 0);

    boxes_.confirm = false;
    Click("device_reset_btn");
    EXPECT_EQ(boxes_.texts, QStringList{Translated("message_text_22")});
    EXPECT_EQ(test::TempDir::Read(ProfileFile(0)), edited);
    EXPECT_EQ(FirmwareStage0(), edit.stage0);
    EXPECT_EQ(styles.Current(), mine);

    boxes_.confirm = true;
    Click("device_reset_btn");
    CMouseProfiledata reset;
    reset.LoadDocument(ProfileFile(0));
    const Json::Value doc = ReadJsonFile(ProfileFile(0));
    EXPECT_EQ(json::ToString(json::Get(doc, "profilename")), "profile1");
    EXPECT_EQ(json::ToString(json::Get(doc, "profileUUID")), IdAt(0));
    EXPECT_EQ(reset.ReadDpiStages()[0].DpiX(), factoryStage0);
    EXPECT_EQ(FirmwareStage0(), factoryStage0);
    EXPECT_EQ(FirmwareButton(), factoryButton);
    EXPECT_EQ(Mouse().KeyList()[kButton].assignment.code, factoryButton) << "reloaded";
    EXPECT_EQ(Mouse().LightState(), factory.ReadLightInfo()) << "the preview plays the reset";
    EXPECT_EQ(window_->EditingSaved(), 1) << "nothing is left unsaved";
    EXPECT_EQ(test::TempDir::Read(styles.UserFile()),
              test::TempDir::Read(test::ResDir().toStdString() + "/DefaultData/AudioFile.json"))
        << "the music styles are the factory ones again";
    EXPECT_NE(styles.Current(), mine);
}

TEST_F(ProfilePanelTest, FunctionTabsSetTheFunctionTypeAndTheMenuOpensAndCloses) {
    Connect();
    auto* keyTab = Find<ui::COptionUI>("key_Op_tab");
    keyTab->Selected(true, false);
    window_->Route(ui::TNotifyUI{QStringLiteral("selectchanged"), keyTab, 0, 0});
    EXPECT_EQ(Mouse().GetFunctionType(), 2);
    EXPECT_TRUE(keyTab->IsSelected());
    EXPECT_FALSE(Find<ui::COptionUI>("deng_Op_tab")->IsSelected());

    const int height = panel_->GetFixedHeight();
    Click("profile_fun_spread_btn");
    EXPECT_TRUE(panel_->IsProfileMenuShown());
    EXPECT_GT(panel_->GetFixedHeight(), height);
    Click("profile_fun_spread_btn");
    EXPECT_FALSE(panel_->IsProfileMenuShown());
    EXPECT_EQ(panel_->GetFixedHeight(), height);
}

}  // namespace
}  // namespace morva::app

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
