// A device's tab entry and its battery panel, built from the shipped layouts and pictures.
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>

#include <numeric>

#include "support/fake_hid_backend.h"
#include "toolkit_test_support.h"
#include "ui/language/language_manager.h"
#include "ui/pages/device_option.h"
#include "ui/pages/device_page.h"
#include "ui/pages/power_panel.h"
#include "ui/pages/register_pages.h"
#include "ui/toolkit/controls.h"

namespace morva::ui::test {
namespace {

const QString kSkin = QStringLiteral(MORVA_RES_DIR "/skin");

bool PictureExists(QString image) {
    image.remove(QStringLiteral("file='")).remove(u'\'');
    return QFileInfo::exists(kSkin + u'/' + image);
}

// The picture a control draws in a state ("" plain, ":checked", ...), from its style sheet.
QString Picture(const CControlUI* control, const QString& state = {}) {
    static const QRegularExpression rule(R"re(\]([:a-z]*) \{[^}]*url\("([^"]+)"\))re");
    for (auto it = rule.globalMatch(control->GetWidget()->styleSheet()); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        if (m.captured(1) == state)
            return QFileInfo(m.captured(2)).fileName();
    }
    return {};
}

bool BothLanguagesHave(const QString& key) {
    CLanguageTable en, cn;
    return en.Load(kSkin + "/lan_en.xml") && cn.Load(kSkin + "/lan_cn.xml") && en.Has(key) &&
           cn.Has(key);
}

class FakeModel : public CTessaronUSBDevice {
public:
    using CTessaronUSBDevice::CTessaronUSBDevice;
    ~FakeModel() override { StopThreads(); }

    bool reachable = true;
    int reachChecks = 0, reads = 0, profileReads = 0, refreshes = 0, op1 = 0, op2 = 0;

    bool IsWirelessReachable() override {
        ++reachChecks;
        return reachable;
    }
    void ReadFromDevice() override { ++reads; }
    void ReadActiveProfile() override { ++profileReads; }
    void RefreshPowerStatus() override { ++refreshes; }
    void ReservedEntryOperation1() override { ++op1; }
    void ReservedEntryOperation2() override { ++op2; }

    // Mode 1 steps like a product's effect; every other mode has no timed steps.
protected:
    EffectStep LightModeStep(int mode) const override {
        return mode == 1 ? &CTessaronUSBDevice::EffectStatic : nullptr;
    }
};

class FakePage : public CDevicePageUI {
public:
    explicit FakePage(hid::IHidBackend& backend)
        : CDevicePageUI(std::make_unique<FakeModel>(backend), QStringLiteral("FakePage")) {}
    int frames = 0;
    void PresentLightFrame() override { ++frames; }
    FakeModel& Fake() { return static_cast<FakeModel&>(Model()); }
};

using Timers = std::map<int, int>;
using Notices = std::vector<std::pair<intptr_t, intptr_t>>;

// Keeps its timers in a table instead of starting them, so each tick is driven by hand.
class ManualEntry : public CDeviceOptionUI {
public:
    Timers timers;

protected:
    void SetEntryTimer(int id, int ms) override { timers[id] = ms; }
    void KillEntryTimer(int id) override { timers.erase(id); }
};

class PagesTest : public ::testing::Test {
protected:
    void SetUp() override {
        RegisterPageControls();
        RegisterPageControls();
        CResourceManager::Instance().SetResourcePath(kSkin);
        const std::filesystem::path file = dir.path() / "window.xml";
        std::ofstream(file) << R"(<Window size="640,400"><VerticalLayout name="root">
            <HorizontalLayout name="device_select_layout" height="80"/>
            <TabLayout name="device_switch"><Control/><Control/><Control/></TabLayout>
            <Label name="not_tabs" height="20"/></VerticalLayout></Window>)";
        w = std::make_unique<TestWindow>(QString::fromStdString(file.string()));
        w->Create();
    }
    void TearDown() override { CResourceManager::Instance().SetResourcePath({}); }

    CControlUI* Build(const QString& layout) {
        auto* strip = w->Find<CHorizontalLayoutUI>("device_select_layout");
        return CDialogBuilder().Create(layout, w.get(), &w->GetPaintManager(), strip);
    }

    morva::test::TempDir dir;
    morva::test::FakeHidBackend backend;
    std::unique_ptr<TestWindow> w;
};

class EntryTest : public PagesTest {
protected:
    void SetUp() override {
        PagesTest::SetUp();
        w->factory = [](const QString& tag) -> CControlUI* {
            return tag == u"DeviceOption" ? new ManualEntry : nullptr;
        };
        w->onMessage = [this](int msg, intptr_t wParam, intptr_t lParam, bool& handled) {
            if (msg == kMsgDeviceOptionNotice)
                notices.emplace_back(wParam, lParam);
            handled = true;
            return intptr_t{0};
        };
        entry = dynamic_cast<ManualEntry*>(Build("XML/CustomControlXML/DeviceOption.xml"));
        ASSERT_NE(entry, nullptr);
        select = dynamic_cast<COptionUI*>(
            CPaintManagerUI::FindSubControlByName(entry, QStringLiteral("device_select")));
        sync = dynamic_cast<COptionUI*>(
            CPaintManagerUI::FindSubControlByName(entry, QStringLiteral("synchro_device_select")));
        ASSERT_TRUE(select && sync);
        page = std::make_unique<FakePage>(backend);
        page->SetOwnerWindow(w.get());
        page->Model().SetTypeRow(4);
        entry->SetDevice(page.get());
    }

    FakeModel& Model() { return page->Fake(); }
    void Link(bool open, int type, bool powerPanel = false) {
        Model().CommandChannel().SetOpen(open);
        Model().CommandChannel().SetLinkType(type);
        Model().SetPowerPanelShown(powerPanel);
    }

    std::unique_ptr<FakePage> page;
    ManualEntry* entry = nullptr;
    COptionUI* select = nullptr;
    COptionUI* sync = nullptr;
    Notices notices;
};

// ---- Icons and entry state ----

TEST(DeviceIcons, EveryKindHasItsFourPicturesAndANameInBothLanguages) {
    const std::tuple<int, int, const char*> kinds[] = {
        {1, 0, "kb"}, {2, 0, "ms"},  {3, 0, "hard_mp"}, {3, 1, "soft_mp"}, {4, 0, "hd"},
        {7, 0, "hd"}, {5, 0, "hub"}, {0, 0, "unknow"},  {6, 0, "unknow"},  {-1, 3, "unknow"},
    };
    for (const auto& [type, subKey, prefix] : kinds) {
        const std::optional<DeviceIconSet> set = IconSetFor(type, subKey);
        ASSERT_TRUE(set.has_value()) << prefix;
        EXPECT_EQ(set->nameKey, QString(prefix) + "_device_name_text");
        EXPECT_TRUE(BothLanguagesHave(set->nameKey)) << prefix;
        const QStringList four{set->normal, set->selected, set->synchroNormal,
                               set->synchroSelected};
        EXPECT_EQ(QSet<QString>(four.begin(), four.end()).size(), 4);
        for (const QString& picture : four) {
            EXPECT_TRUE(picture.startsWith(QString("common/device_ico/") + prefix + "_device_"));
            EXPECT_TRUE(PictureExists(picture)) << picture.toStdString();
        }
    }
    EXPECT_FALSE(IconSetFor(3, 2).has_value());
}

TEST_F(EntryTest, DeviceTypeAndSyncMarkChooseTheOptionPictures) {
    EXPECT_EQ(Picture(select), "unknow_device_normal.png");
    entry->SetEntryDeviceType(1, 0);
    EXPECT_EQ(Picture(select), "kb_device_normal.png");
    EXPECT_EQ(Picture(select, ":checked"), "kb_device_selected.png");
    EXPECT_EQ(Picture(select, ":disabled"), "kb_device_normal.png");
    EXPECT_EQ(select->GetToolTipKey(), "kb_device_name_text");

    // A pad of an unknown kind: the values are kept, the pictures are not touched.
    entry->SetEntryDeviceType(3, 2);
    EXPECT_EQ(std::pair(entry->GetDeviceType(), entry->GetSubKey()), std::pair(3, 2));
    EXPECT_EQ(entry->GetIconSet(), *IconSetFor(1, 0));
    EXPECT_EQ(Picture(select), "kb_device_normal.png");
    EXPECT_EQ(select->GetToolTipKey(), "kb_device_name_text");

    entry->SetSyncMarkVisible(true);
    EXPECT_TRUE(sync->IsVisible());
    EXPECT_EQ(Picture(select), "kb_device_normal.png");
    entry->SetSyncMarkSelected(true);
    EXPECT_TRUE(w->Trace().contains("selectchanged:synchro_device_select"));
    EXPECT_EQ(Picture(select), "kb_device_synchro_normal.png");
    EXPECT_EQ(Picture(select, ":checked"), "kb_device_synchro_selected.png");
    // Hiding the mark keeps the pictures of its state.
    entry->SetSyncMarkVisible(false);
    EXPECT_FALSE(sync->IsVisible());
    EXPECT_EQ(Picture(select), "kb_device_synchro_normal.png");
    entry->SetSyncMarkSelected(false);
    EXPECT_EQ(Picture(select, ":checked"), "kb_device_selected.png");
}

TEST_F(EntryTest, BoundPagePowerSwitchAndSelection) {
    auto* tabs = w->Find<CTabLayoutUI>("device_switch");
    entry->BindPage("device_switch", 2);
    entry->ShowBoundPage();
    EXPECT_EQ(tabs->GetCurSel(), 2);
    entry->BindPage("not_tabs", 1);  // no tab layout: nothing moves
    entry->ShowBoundPage();
    EXPECT_EQ(tabs->GetCurSel(), 2);
    CDeviceOptionUI bare;
    bare.BindPage("device_switch", 1);
    EXPECT_EQ(bare.GetPageIndex(), -1);

    entry->SetPowerSwitch("device_power_switch", 2);
    entry->SetPowerSwitch("other_switch", -1);
    EXPECT_EQ(entry->GetPowerSwitchName(), "other_switch");
    EXPECT_EQ(entry->GetPowerIndex(), 2);

    entry->SelectEntry(true);
    EXPECT_EQ(w->Trace(), QStringList{"selectchanged:device_select"});
}

// ---- Timers ----

TEST_F(EntryTest, StartupOverCableReadsAndStartsTheFramesWithoutAskingForTheDevice) {
    Link(true, kLinkCable, true);
    entry->StartStartupTimer();
    EXPECT_EQ(entry->timers, (Timers{{kEntryTimerStartup, 500}}));
    entry->OnTimer(kEntryTimerStartup);
    EXPECT_EQ(Model().reads, 1);
    EXPECT_EQ(Model().reachChecks, 0);
    EXPECT_TRUE(notices.empty());
    EXPECT_EQ(entry->timers, (Timers{{kEntryTimerFrame, 5}, {kEntryTimerStatus, 50}}));
}

TEST_F(EntryTest, StartupThroughAReceiverWaitsHiddenUntilTheDeviceAnswers) {
    Link(true, kLinkReceiver, true);
    Model().reachable = false;
    for (int tick = 0; tick < 2; ++tick) {
        entry->OnTimer(kEntryTimerStartup);
        EXPECT_FALSE(entry->IsShown());
        EXPECT_FALSE(entry->IsVisible());
        EXPECT_EQ(notices, (Notices{{4, 0}}));  // once, not per tick
        EXPECT_EQ(Model().reads, 0);
        EXPECT_EQ(entry->timers, (Timers{{kEntryTimerStartup, 3000}}));
    }
    Model().reachable = true;
    entry->OnTimer(kEntryTimerStartup);
    EXPECT_EQ(notices, (Notices{{4, 0}, {4, 1}}));
    EXPECT_EQ(Model().reads, 1);
    EXPECT_EQ(entry->timers,
              (Timers{{kEntryTimerFrame, 5}, {kEntryTimerStatus, 50}, {kEntryTimerReach, 2000}}));
}

TEST_F(EntryTest, ClosedChannelReadsOnceAndStopsTheFrames) {
    Link(false, kLinkReceiver, true);
    Model().reachable = false;
    entry->OnTimer(kEntryTimerStartup);
    EXPECT_EQ(Model().reachChecks, 0);
    EXPECT_EQ(Model().reads, 1);
    EXPECT_TRUE(entry->IsShown());
    EXPECT_EQ(entry->timers, (Timers{{kEntryTimerFrame, 5}}));

    entry->OnTimer(kEntryTimerFrame);
    EXPECT_EQ(page->frames, 1);
    EXPECT_TRUE(entry->timers.empty());
    Link(true, kLinkReceiver);
    entry->OnTimer(kEntryTimerFrame);
    EXPECT_EQ(entry->timers, (Timers{{kEntryTimerFrame, 50}}));
    Link(true, kLinkCable);
    Model().SetLedCount(1);
    Model().SetLedColour(0, 0xFF0000FF);  // a moving frame goes at the cable's full rate
    entry->OnTimer(kEntryTimerFrame);
    EXPECT_EQ(entry->timers, (Timers{{kEntryTimerFrame, 5}}));
}

TEST_F(EntryTest, FramesFollowTheStepsAndSlowDownMostWhileNothingMovesAndTheWindowIsAway) {
    Link(true, kLinkCable);
    Model().SetLedCount(3);
    Model().SetWindowActive(false);
    entry->OnTimer(kEntryTimerFrame);  // the first look at this frame
    EXPECT_EQ(entry->timers, (Timers{{kEntryTimerFrame, 5}}));
    entry->OnTimer(kEntryTimerFrame);
    EXPECT_EQ(entry->timers, (Timers{{kEntryTimerFrame, 250}})) << "unchanged, nobody looking";
    Model().SetLedColour(1, 0xFF0000FF);
    entry->OnTimer(kEntryTimerFrame);
    EXPECT_EQ(entry->timers, (Timers{{kEntryTimerFrame, 5}})) << "a change: full speed again";
    Model().SetLedColour(1, 0xFF0000FF);  // the same colour is no change
    entry->OnTimer(kEntryTimerFrame);
    EXPECT_EQ(entry->timers, (Timers{{kEntryTimerFrame, 250}}));
    // Watched, a still frame is looked at again soon; a change is sent and shown at once.
    Model().SetWindowActive(true);
    entry->OnTimer(kEntryTimerFrame);
    EXPECT_EQ(entry->timers, (Timers{{kEntryTimerFrame, 50}})) << "the page is watched";
    Model().SetLedColour(1, 0xFF00FF00);
    entry->OnTimer(kEntryTimerFrame);
    EXPECT_EQ(entry->timers, (Timers{{kEntryTimerFrame, 5}}));

    // An effect that steps every 36 ms (speed 2): frames follow its steps, a little sooner;
    // one tick between two steps is no pause, two in a row are.
    Model().SetWindowActive(false);
    Model().SetLightInfo(LightInfo{1, 4, 2, 0, 0, 1, 2, 3});
    Model().SetLedColour(0, 0xFF010101);
    entry->OnTimer(kEntryTimerFrame);
    EXPECT_EQ(entry->timers, (Timers{{kEntryTimerFrame, 31}}));
    entry->OnTimer(kEntryTimerFrame);
    EXPECT_EQ(entry->timers, (Timers{{kEntryTimerFrame, 31}}));
    entry->OnTimer(kEntryTimerFrame);
    EXPECT_EQ(entry->timers, (Timers{{kEntryTimerFrame, 250}}));
}

TEST_F(EntryTest, PowerStatusRepeatsOnlyWithAPowerPanel) {
    Link(true, kLinkReceiver);
    entry->OnTimer(kEntryTimerStatus);
    EXPECT_TRUE(entry->timers.empty());
    Model().SetPowerPanelShown(true);
    entry->OnTimer(kEntryTimerStatus);
    EXPECT_EQ(Model().refreshes, 2);
    EXPECT_EQ(entry->timers, (Timers{{kEntryTimerStatus, 5000}}));
}

TEST_F(EntryTest, ReachabilityReportsOnlyChangesAndOnlyThroughAnOpenReceiver) {
    Link(true, kLinkReceiver, true);
    entry->OnTimer(kEntryTimerReach);
    EXPECT_TRUE(notices.empty());
    EXPECT_EQ(entry->timers, (Timers{{kEntryTimerReach, 3000}}));

    // Gone: the owner is told and hides the entry itself.
    Model().reachable = false;
    entry->OnTimer(kEntryTimerReach);
    EXPECT_EQ(notices, (Notices{{4, 0}}));
    EXPECT_TRUE(entry->IsShown());
    entry->SetVisible(false);
    entry->OnTimer(kEntryTimerReach);
    EXPECT_EQ(notices.size(), 1u);

    // Back: told again, with a fresh power status.
    Model().reachable = true;
    entry->OnTimer(kEntryTimerReach);
    EXPECT_EQ(notices, (Notices{{4, 0}, {4, 1}}));
    EXPECT_EQ(Model().refreshes, 1);

    Link(false, kLinkReceiver);
    entry->OnTimer(kEntryTimerReach);
    EXPECT_TRUE(entry->timers.empty());
    Link(true, kLinkCable);
    const int checks = Model().reachChecks;
    entry->OnTimer(kEntryTimerReach);
    EXPECT_EQ(Model().reachChecks, checks);
    EXPECT_TRUE(entry->timers.empty());
}

TEST_F(EntryTest, OneShotTimersRunTheirOperationOnce) {
    for (int id : {kEntryTimerActiveProfile, 1003, 1004}) {
        entry->timers[id] = 10;
        entry->OnTimer(id);
    }
    EXPECT_EQ(std::tuple(Model().profileReads, Model().op1, Model().op2), std::tuple(1, 1, 1));
    EXPECT_TRUE(entry->timers.empty());
}

TEST_F(PagesTest, RealTimersTickAndStopThemselves) {
    auto* entry = dynamic_cast<CDeviceOptionUI*>(Build("XML/CustomControlXML/DeviceOption.xml"));
    ASSERT_NE(entry, nullptr);
    FakePage page(backend);
    entry->SetDevice(&page);
    page.Model().CommandChannel().SetLinkType(kLinkReceiver);
    entry->StartReachabilityTimer(1);
    ProcessFor(30);
    EXPECT_EQ(page.Fake().reachChecks, 0);

    page.Model().CommandChannel().SetOpen(true);
    entry->StartReachabilityTimer(1);
    // Closed before the tick: the tick itself must stop the timer, it does not restart.
    page.Model().CommandChannel().SetOpen(false);
    ASSERT_TRUE(WaitUntil([&] { return page.Fake().reachChecks > 0; }));
    ProcessFor(50);
    EXPECT_EQ(page.Fake().reachChecks, 1);
}

// ---- Power panel ----

class PowerTest : public PagesTest {
protected:
    void SetUp() override {
        PagesTest::SetUp();
        Use(CDialogBuilder().Create("XML/CustomControlXML/MpDevicePower.xml"));
    }
    void Use(CControlUI* root) {
        panel.reset(dynamic_cast<CMpDevicePowerUI*>(root));
        ASSERT_NE(panel, nullptr);
        const auto find = [&](const char* name) {
            return CPaintManagerUI::FindSubControlByName(panel.get(), name);
        };
        progress = dynamic_cast<CProgressUI*>(find("device_Power_progress"));
        value = find("device_power_value");
        logo = find("device_wuxian_logo");
        status = find("device_power_status");
        phone = find("device_phone_type");
    }
    void Show(int level, int state, int wireless = 0, int phoneKind = 0) {
        const std::uint8_t block[] = {
            std::uint8_t(level),    std::uint8_t(state), 0, std::uint8_t(wireless), 0,
            std::uint8_t(phoneKind)};
        panel->ShowPowerStatus(block, 6);
    }

    std::unique_ptr<CMpDevicePowerUI> panel;
    CProgressUI* progress = nullptr;
    CControlUI *value = nullptr, *logo = nullptr, *status = nullptr, *phone = nullptr;
};

TEST_F(PowerTest, LevelAndPowerStateFillGaugeTextAndStatusPicture) {
    ASSERT_TRUE(progress && value && logo && status && phone);
    EXPECT_FALSE(progress->IsVisible()) << "no bar before the first status";
    progress->SetVisible(true);
    Show(50, 3);  // unknown state: the bar stays, no picture
    EXPECT_TRUE(progress->IsVisible());
    EXPECT_TRUE(status->GetBkImage().isEmpty());
    const std::tuple<int, int, int, const char*> cases[] = {
        {100, 0, 0, "powered"},         {85, 0, 1, "powered"}, {0, 1, 0, "powering"},
        {255, 1, 1, "wuxian_powering"}, {50, 2, 0, "power"},   {50, 2, 1, "power"},
    };
    for (const auto& [level, state, wireless, picture] : cases) {
        progress->SetVisible(true);
        Show(level, state, wireless);
        EXPECT_EQ(progress->GetValue(), std::max(0, 100 - level));  // a drain gauge
        EXPECT_EQ(value->GetText(), QString::number(level) + "%");
        EXPECT_FALSE(progress->IsVisible()) << state;
        EXPECT_EQ(status->GetBkImage(), QString("file='power/%1.png'").arg(picture));
        EXPECT_TRUE(PictureExists(status->GetBkImage())) << picture;
    }
    Show(40, 3, 1);
    EXPECT_FALSE(progress->IsVisible());
    EXPECT_EQ(status->GetBkImage(), "file='power/power.png'");
}

TEST_F(PowerTest, WirelessMarkOnKeyboardAndMousePanelsPhoneKindOnPadPanels) {
    for (int type : {1, 2}) {
        panel->SetPowerPanelType(type, 0);
        Show(50, 2, 1, 2);
        EXPECT_TRUE(logo->IsVisible() && panel->IsWireless()) << type;
        Show(50, 2, 0, 2);
        EXPECT_FALSE(logo->IsVisible() || panel->IsWireless()) << type;
        EXPECT_TRUE(phone->GetToolTipKey().isEmpty() && phone->GetBkImage().isEmpty());
    }
    panel->SetPowerPanelType(3, 0);
    Show(50, 1, 1);
    EXPECT_FALSE(logo->IsVisible());
    EXPECT_EQ(status->GetBkImage(), "file='power/wuxian_powering.png'");
    const std::pair<int, const char*> kinds[] = {{1, "Phone_type_iphone"},
                                                 {2, "Phone_type_samsung"},
                                                 {3, "Phone_type_other"},
                                                 {0, "Phone_type_no_device"},
                                                 {9, "Phone_type_no_device"}};
    for (const auto& [kind, key] : kinds) {
        Show(50, 0, 0, kind);
        EXPECT_EQ(phone->GetToolTipKey(), key);
        EXPECT_EQ(phone->GetBkImage(), QString("file='power/%1.png'").arg(key));
        EXPECT_TRUE(PictureExists(phone->GetBkImage()) && BothLanguagesHave(key)) << key;
    }
}

TEST_F(PowerTest, BlocksAreCutOrPaddedToSixtyFourBytes) {
    panel->SetPowerPanelType(3, 0);
    std::vector<std::uint8_t> longBlock(100);
    std::iota(longBlock.begin(), longBlock.end(), std::uint8_t{1});
    panel->ShowPowerStatus(longBlock.data(), 100);
    EXPECT_TRUE(
        std::equal(panel->LastStatus().begin(), panel->LastStatus().end(), longBlock.begin()));

    // After a full block, what a short one lacks reads as zero.
    Show(60, 1, 1, 1);
    const std::uint8_t shortBlock[] = {30, 1, 0, 1};
    panel->ShowPowerStatus(shortBlock, 4);
    EXPECT_EQ(phone->GetToolTipKey(), "Phone_type_no_device");
    EXPECT_EQ(status->GetBkImage(), "file='power/wuxian_powering.png'");

    for (const std::uint8_t* bytes : {longBlock.data(), static_cast<std::uint8_t*>(nullptr)}) {
        Show(60, 2, 1, 1);
        panel->ShowPowerStatus(bytes, bytes ? -5 : 10);
        EXPECT_EQ(value->GetText(), "0%");
        EXPECT_EQ(status->GetBkImage(), "file='power/powered.png'");
    }
}

TEST_F(PowerTest, MissingControlChangesNothingUntilItIsThere) {
    Use(CDialogBuilder().CreateFromText(
        R"(<MpDevicePower><HorizontalLayout name="device_power_Layout">
             <Control name="device_power_status"/><Progress name="device_Power_progress"/>
             <Label name="device_power_value" text="--"/><Control name="device_wuxian_logo"/>
           </HorizontalLayout></MpDevicePower>)"));
    Show(70, 0);
    EXPECT_EQ(value->GetText(), "--");
    EXPECT_TRUE(status->GetBkImage().isEmpty());

    auto* layout = CPaintManagerUI::FindSubControlByName(panel.get(), "device_power_Layout");
    auto* added = new CPlainControlUI;  // the layout takes it
    added->SetName("device_phone_type");
    dynamic_cast<IContainerUI*>(layout)->Add(added);
    Show(70, 0);
    EXPECT_EQ(value->GetText(), "70%");
    EXPECT_EQ(status->GetBkImage(), "file='power/powered.png'");

    panel->SetPowerLayoutVisible(false);
    EXPECT_FALSE(layout->IsVisible());
}

}  // namespace
}  // namespace morva::ui::test
