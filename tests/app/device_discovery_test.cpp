// Discovery through the main window on the simulated bus: pages, links, tabs and timers.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QTest>
#include <QThread>

#include "app/main_wnd.h"
#include "app/sim_window.h"
#include "device/hid/hid_backend.h"
#include "sim/sim_bus.h"
#include "sim/sim_control.h"
#include "support/fake_hid_backend.h"
#include "support/temp_dir.h"
#include "ui/language/language_manager.h"
#include "ui/pages/device_option.h"
#include "ui/pages/device_page.h"
#include "ui/toolkit/containers.h"
#include "ui/toolkit/resource_manager.h"

namespace morva::app {
namespace {

using namespace std::chrono_literals;
using sim::Link;
using sim::Product;

// A model that reads its information block like a product does and counts what the
// program asks of it.
class ProbeModel : public CTessaronUSBDevice {
public:
    using CTessaronUSBDevice::CTessaronUSBDevice;
    ~ProbeModel() override { StopThreads(); }

    void ReadFromDevice() override {
        ++reads;
        std::array<std::uint8_t, kInfoBlockSize> info{};
        CDeviceChannel& channel = CommandChannel();
        int result = CmdBegin(channel);
        if (result == kResultOk)
            result = CmdReadInfo(channel, info);
        CmdEnd(channel);
        lastReadResult = result;
    }
    void ReadActiveProfile() override {
        ++activeProfileReads;
        activeProfileOnUiThread = QThread::currentThread() == qApp->thread();
    }
    bool IsWirelessReachable() override { return CmdQueryWireless(CommandChannel()); }

    int reads = 0;
    int lastReadResult = 0;
    int activeProfileReads = 0;
    bool activeProfileOnUiThread = false;
};

class DeviceDiscoveryTest : public ::testing::Test {
protected:
    void Start(std::vector<Link> plugged, hid::IHidBackend* backend = nullptr) {
        auto probe = [](hid::IHidBackend& b) -> std::unique_ptr<CTessaronUSBDevice> {
            auto model = std::make_unique<ProbeModel>(b);
            model->CommandChannel().cableTimeoutMs = 100;
            model->CommandChannel().receiverTimeoutMs = 100;
            return model;
        };
        ASSERT_TRUE(sim_.Start(std::move(plugged), backend, probe));
        bus_ = sim_.bus.get();
        window_ = sim_.window.get();
        devices_ = sim_.devices;
    }

    void Poll() {
        devices_->PollDevicesOnce();
        QCoreApplication::processEvents();
    }
    ui::CDevicePageUI* Page(int kind) const { return devices_->PageOfKind(kind); }
    ProbeModel& Probe(int kind) const { return static_cast<ProbeModel&>(Page(kind)->Model()); }
    CDeviceChannel& Channel(int kind) const { return Page(kind)->Model().CommandChannel(); }
    ui::CDeviceOptionUI* Entry(int kind) const { return Page(kind)->TabEntry(); }
    bool Visible(const char* name) const {
        ui::CControlUI* c = window_->FindControl(QString::fromLatin1(name));
        return c != nullptr && c->IsVisible();
    }
    std::string StatusText() const {
        std::string text;
        for (const DeviceStatus& s : devices_->Status()) {
            text += s.kind + " " + s.link + (s.connected ? " connected" : " disconnected") +
                    (s.shown ? " shown" : " hidden") + (s.selected ? " selected" : "") + "\n";
        }
        return text;
    }

    test::SimWindow sim_;
    sim::SimBus* bus_ = nullptr;
    CMainWnd* window_ = nullptr;
    CDeviceManager* devices_ = nullptr;
};

TEST_F(DeviceDiscoveryTest, TheShownWindowPaintsFirstAndNeverSaysNoDeviceBeforeTheSearch) {
    sim_.startsAsTheProgram = true;
    ASSERT_TRUE(sim_.Start({}));
    devices_ = sim_.devices;
    window_ = sim_.window.get();
    EXPECT_EQ(devices_->EntryCount(), 0) << "no page before the window's first frame";
    EXPECT_FALSE(Visible("No_device_Link")) << "not known yet";
    window_->ShowWindow(true);
    const auto until = [](const std::function<bool()>& done) {
        const auto deadline = std::chrono::steady_clock::now() + 5s;
        while (!done() && std::chrono::steady_clock::now() < deadline)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        return done();
    };
    ASSERT_TRUE(until([&] { return devices_->EntryCount() == 2; }));
    ASSERT_TRUE(until([&] { return Visible("No_device_Link"); }))
        << "nothing is connected: the window says so once it has looked";
}

TEST_F(DeviceDiscoveryTest, ReceiverFirstIsServedByTheStartupMousePage) {
    Start({Link::MouseReceiver});
    ASSERT_EQ(devices_->EntryCount(), 2) << "mouse and keyboard pages exist from the start";
    Poll();
    EXPECT_EQ(devices_->EntryCount(), 2) << "no second mouse page for the receiver";
    EXPECT_TRUE(Channel(kKindMouse).IsOpen());
    EXPECT_TRUE(Channel(kKindMouse).ViaReceiver());
    EXPECT_EQ(Channel(kKindMouse).ChunkSize(), 24);
    EXPECT_TRUE(RecordsEqual(Page(kKindMouse)->Model().Record(), SupportedInterfaces()[4]))
        << "keyed by the cable's row";
    EXPECT_TRUE(devices_->PageExists(6));
    EXPECT_TRUE(devices_->PageExists(7)) << "the receiver's event interface too";
    // A receiver's tab waits for the wireless device to answer.
    EXPECT_FALSE(Entry(kKindMouse)->IsShown());
    ASSERT_TRUE(sim_.FireEntryTimer(Entry(kKindMouse), kEntryTimerStartup));
    EXPECT_TRUE(Entry(kKindMouse)->IsShown());
    EXPECT_EQ(StatusText(),
              "mouse receiver connected shown selected\nkeyboard none disconnected hidden\n");
}

TEST_F(DeviceDiscoveryTest, CableTakesOverFromTheReceiverAndGivesItBack) {
    Start({Link::MouseReceiver});
    Poll();
    bus_->Plug(Link::Mouse);
    Poll();
    EXPECT_TRUE(Channel(kKindMouse).IsOpen());
    EXPECT_FALSE(Channel(kKindMouse).ViaReceiver());
    EXPECT_EQ(Channel(kKindMouse).ChunkSize(), 56);
    EXPECT_TRUE(Entry(kKindMouse)->IsShown()) << "the cable shows the tab at once";
    ASSERT_TRUE(sim_.FireEntryTimer(Entry(kKindMouse), kEntryTimerStartup));
    EXPECT_EQ(Probe(kKindMouse).reads, 1);

    // Pulling the cable hands the mouse back to the receiver, whose mouse is asleep: every
    // one of the 25 reachability polls misses, and the window goes on meanwhile.
    bus_->SetReachable(Product::Mouse, false);
    bus_->ClearLog();
    const auto start = std::chrono::steady_clock::now();
    bus_->Unplug(Link::Mouse);
    Poll();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 25 * 50ms) << "the UI thread polls nothing";
    EXPECT_TRUE(Channel(kKindMouse).IsOpen());
    EXPECT_TRUE(Channel(kKindMouse).ViaReceiver());
    EXPECT_EQ(Channel(kKindMouse).ChunkSize(), 24);
    ASSERT_TRUE(QTest::qWaitFor([&] { return devices_->ReachPollsDone() == 1; }, 25 * 150 + 2000));
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_GE(took, 25 * 50ms);
    EXPECT_LT(took, 25 * 50ms + 25 * 150ms) << "each poll is bounded by the receiver time limit";
    std::size_t queries = 0;
    for (const sim::Report& r : bus_->ReceivedReports(Link::MouseReceiver))
        queries += r[3] == cmd::kQueryWireless;
    EXPECT_EQ(queries, 25u);
}

TEST_F(DeviceDiscoveryTest, OutOfReachIsNamedInTheWindowUntilTheDeviceAnswers) {
    // Entry timers run on the test's clock; device answers come back on their threads.
    auto advanceUntil = [&](auto done) {
        for (int ms = 0; ms < 10000 && !done(); ms += 100) {
            sim_.timers.Advance(100);
            QCoreApplication::processEvents();
        }
        return done();
    };
    // The receiver is found while its mouse sleeps: the window says why no tab shows.
    Start({Link::MouseReceiver});
    std::string error;
    ASSERT_TRUE(sim::ApplySimCommand(*bus_, {"unreach", "mouse"}, error)) << error;
    Poll();
    ui::CControlUI* notice = window_->FindControl("device_unreach_notice");
    ASSERT_NE(notice, nullptr);
    EXPECT_FALSE(notice->IsVisible());
    ASSERT_TRUE(advanceUntil([&] { return notice->IsVisible(); }));
    EXPECT_FALSE(Entry(kKindMouse)->IsShown());
    EXPECT_EQ(notice->GetText(), window_->Translate("ms_out_of_reach_text"));
    EXPECT_NE(notice->GetText(), "ms_out_of_reach_text") << "a text of the language file";
    EXPECT_TRUE(Visible("No_device_Link"));

    ASSERT_TRUE(sim::ApplySimCommand(*bus_, {"reach", "mouse"}, error)) << error;
    ASSERT_TRUE(advanceUntil([&] { return Entry(kKindMouse)->IsShown(); }));
    EXPECT_FALSE(notice->IsVisible());
    EXPECT_EQ(devices_->CurrentDevice(), Page(kKindMouse));

    // Going out of reach later hides the tab and names the mouse again.
    ASSERT_TRUE(sim::ApplySimCommand(*bus_, {"unreach", "mouse"}, error)) << error;
    ASSERT_TRUE(advanceUntil([&] { return !Entry(kKindMouse)->IsShown(); }));
    EXPECT_TRUE(notice->IsVisible());
    EXPECT_EQ(notice->GetText(), window_->Translate("ms_out_of_reach_text"));
}

TEST_F(DeviceDiscoveryTest, LightControlReachesEveryDevice) {
    Start({Link::Mouse, Link::Keyboard});
    Poll();
    auto lightControls = [&] {
        std::size_t n = 0;
        for (const sim::Report& r : bus_->ReceivedReports(Link::Keyboard))
            n += r[3] == cmd::kLightControl;
        return n;
    };
    auto request = [&](int flag) {
        ipc::Message message;
        message.msg = ipc::kMsgLightControlRequest;
        message.wParam = 1;
        message.lParam = flag;
        window_->OnIpcMessage(message, nullptr);
    };
    auto lit = [&](int kind) { return Page(kind)->Model().HostLighting(); };

    request(0);
    EXPECT_FALSE(lit(kKindMouse));
    EXPECT_FALSE(lit(kKindKeyboard));
    // Pages made later start with the choice.
    bus_->Plug(Link::Pad);
    bus_->Plug(Link::Headset);
    Poll();
    ASSERT_NE(Page(kKindMousePad), nullptr);
    EXPECT_FALSE(lit(kKindMousePad));
    EXPECT_FALSE(lit(kKindHeadset));
    EXPECT_EQ(lightControls(), 0u);

    // Each step: what happens, then whether the program drives the lights and how many
    // light control commands the wired keyboard has received in all.
    struct Step {
        const char* name;
        std::function<void()> run;
        bool on;
        std::size_t commands;
    };
    const Step steps[] = {
        {"request on", [&] { request(1); }, true, 1},
        {"suspend", [&] { window_->SetAwake(false); }, false, 1},
        {"resume", [&] { window_->SetAwake(true); }, true, 2},
        {"request off", [&] { request(0); }, false, 2},
        {"suspend while off", [&] { window_->SetAwake(false); }, false, 2},
        {"resume while off", [&] { window_->SetAwake(true); }, false, 2},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        step.run();
        for (int kind : {kKindMouse, kKindKeyboard, kKindMousePad, kKindHeadset})
            EXPECT_EQ(lit(kind), step.on) << "kind " << kind;
        EXPECT_EQ(lightControls(), step.commands);
    }
}

// The simulated bus as a user without the device rule meets it: every open is refused.
class DeniedBus : public hid::IHidBackend {
public:
    explicit DeniedBus(hid::IHidBackend& bus) : bus_(bus) {}
    bool Enumerate(std::vector<std::string>& paths) override { return bus_.Enumerate(paths); }
    std::unique_ptr<hid::IHidConnection> Open(const std::string&, bool,
                                              std::string* error) override {
        if (error)
            *error = std::string(hid::kNoPermissionError) + "/dev/hidraw3: permission denied";
        return nullptr;
    }

private:
    hid::IHidBackend& bus_;
};

TEST_F(DeviceDiscoveryTest, ADeviceThisUserMayNotOpenIsNamedWithTheCommandsThatMendIt) {
    sim::SimBusOptions options;
    options.plugged = {Link::Mouse};
    sim::SimBus own(options);
    DeniedBus denied(own);
    Start({}, &denied);
    Poll();
    EXPECT_TRUE(Visible("No_device_Link"));
    ASSERT_TRUE(Visible("nodevice_access"));
    const std::string text =
        window_->FindControl(QStringLiteral("nodevice_access_text"))->GetText().toStdString();
    for (const char* part :
         {"Mouse (/dev/hidraw3)", "packaging/70-morva-tr510.rules",
          "sudo udevadm control --reload-rules", "sudo udevadm trigger --subsystem-match=hidraw"})
        EXPECT_NE(text.find(part), std::string::npos) << part << " in " << text;
}

TEST_F(DeviceDiscoveryTest, AfterSleepDevicesAreReadAgainAndOneThatLeftIsReleased) {
    Start({Link::Mouse, Link::Keyboard});
    Poll();
    ASSERT_TRUE(sim_.FireEntryTimer(Entry(kKindMouse), kEntryTimerStartup));
    window_->SetAwake(false);
    bus_->Unplug(Link::Keyboard);
    bus_->ClearLog();
    window_->SetAwake(true);
    Poll();  // what the monitor's next pass sees
    EXPECT_FALSE(Channel(kKindKeyboard).IsOpen()) << "released";
    EXPECT_FALSE(Entry(kKindKeyboard)->IsShown());
    ASSERT_TRUE(sim_.FireEntryTimer(Entry(kKindMouse), kEntryTimerStartup))
        << "the mouse is read again";
    std::size_t infoReads = 0;
    for (const sim::Report& r : bus_->ReceivedReports(Link::Mouse))
        infoReads += r[3] == cmd::kReadInfo;
    EXPECT_GE(infoReads, 1u);
    EXPECT_TRUE(Entry(kKindMouse)->IsShown());
}

TEST_F(DeviceDiscoveryTest, ReceiverPluggedWhileTheCableServesChangesNothing) {
    Start({Link::Mouse});
    Poll();
    ASSERT_FALSE(Channel(kKindMouse).ViaReceiver());
    bus_->ClearLog();
    bus_->Plug(Link::MouseReceiver);
    Poll();
    EXPECT_FALSE(Channel(kKindMouse).ViaReceiver());
    EXPECT_EQ(Channel(kKindMouse).ChunkSize(), 56);
    EXPECT_TRUE(bus_->ReceivedReports(Link::MouseReceiver).empty());
    EXPECT_EQ(devices_->Slots().Slot(6).connected, 1) << "the receiver is claimed all the same";
}

TEST_F(DeviceDiscoveryTest, ActivationIsPostedOnceAfterTheFirstPass) {
    Start({});
    Poll();
    Poll();
    bus_->Plug(Link::Pad);
    Poll();
    EXPECT_EQ(devices_->ActivationsPosted(), 1);
}

TEST_F(DeviceDiscoveryTest, TabsFollowTheDevicesThatAreThere) {
    Start({});
    Poll();
    EXPECT_TRUE(Visible("No_device_Link"));
    EXPECT_FALSE(Visible("device_switch"));
    EXPECT_EQ(devices_->CurrentDevice(), nullptr);

    bus_->Plug(Link::Mouse);
    Poll();
    EXPECT_FALSE(Visible("No_device_Link"));
    EXPECT_TRUE(Visible("device_switch"));
    EXPECT_EQ(devices_->CurrentDevice(), Page(kKindMouse));
    EXPECT_FALSE(Visible("device_select_prev"));
    EXPECT_FALSE(Visible("device_select_next"));

    bus_->Plug(Link::Keyboard);
    bus_->Plug(Link::Headset);
    Poll();
    EXPECT_EQ(devices_->EntryCount(), 3) << "the headset's page arrives with it";
    EXPECT_EQ(devices_->CountConnectedDevices(), 3);
    EXPECT_EQ(devices_->CurrentDevice(), Page(kKindMouse)) << "a new device does not steal";
    EXPECT_TRUE(Visible("device_select_prev"));
    EXPECT_TRUE(Visible("device_select_next"));
    EXPECT_TRUE(RecordsEqual(Page(kKindHeadset)->Model().Record(), SupportedInterfaces()[10]));

    auto* pages = dynamic_cast<ui::CTabLayoutUI*>(window_->FindControl("device_switch"));
    ASSERT_NE(pages, nullptr);
    // Only the chosen page of a shown window steps a preview nobody else sees.
    auto shownPages = [&] {
        std::vector<int> kinds;
        for (const int kind : {kKindMouse, kKindKeyboard, kKindHeadset}) {
            if (Page(kind)->Model().PageShown())
                kinds.push_back(kind);
        }
        return kinds;
    };
    devices_->SetWindowState(true, true);
    EXPECT_EQ(shownPages(), std::vector<int>{kKindMouse});
    devices_->SelectNextDevice();
    EXPECT_EQ(devices_->CurrentDevice(), Page(kKindKeyboard));
    EXPECT_EQ(pages->GetItemAt(pages->GetCurSel()), Page(kKindKeyboard));
    EXPECT_EQ(shownPages(), std::vector<int>{kKindKeyboard});
    devices_->SetWindowState(false, false);
    EXPECT_TRUE(shownPages().empty());
    devices_->SetWindowState(true, true);
    EXPECT_EQ(shownPages(), std::vector<int>{kKindKeyboard});
    devices_->SelectNextDevice();
    EXPECT_EQ(devices_->CurrentDevice(), Page(kKindHeadset));
    devices_->SelectNextDevice();
    EXPECT_EQ(devices_->CurrentDevice(), Page(kKindHeadset)) << "no wrap past the last";
    devices_->SelectPreviousDevice();
    EXPECT_EQ(devices_->CurrentDevice(), Page(kKindKeyboard));

    // The current device going away selects another one.
    bus_->Unplug(Link::Keyboard);
    Poll();
    EXPECT_FALSE(Entry(kKindKeyboard)->IsShown());
    EXPECT_EQ(devices_->CurrentDevice(), Page(kKindMouse));
    EXPECT_EQ(pages->GetItemAt(pages->GetCurSel()), Page(kKindMouse));

    bus_->Unplug(Link::Mouse);
    bus_->Unplug(Link::Headset);
    Poll();
    EXPECT_EQ(devices_->CountConnectedDevices(), 0);
    EXPECT_TRUE(Visible("No_device_Link"));
    EXPECT_FALSE(Visible("device_select_next"));
}

TEST_F(DeviceDiscoveryTest, SyncRequestReachesActiveProfileOnTheUiThread) {
    Start({Link::Mouse});
    Poll();
    ASSERT_TRUE(Page(kKindMouse)->Model().IsEventLinkOpen(EventLink::Cable));
    ASSERT_TRUE(bus_->SendEvent(Link::Mouse, 0x0401));
    ASSERT_TRUE(sim_.FireEntryTimerOnceStarted(Entry(kKindMouse), kEntryTimerActiveProfile));
    EXPECT_EQ(Probe(kKindMouse).activeProfileReads, 1);
    EXPECT_TRUE(Probe(kKindMouse).activeProfileOnUiThread);

    bus_->Unplug(Link::Mouse);
    Poll();
    EXPECT_FALSE(Page(kKindMouse)->Model().IsEventLinkOpen(EventLink::Cable));
}

TEST_F(DeviceDiscoveryTest, UnplugDuringTheReadHidesTheTabAndReplugReadsAgain) {
    Start({Link::Mouse});
    Poll();
    // The start-up timer reads the device 500 ms after the link opened; the cable goes after
    // the first answer of that read.
    bus_->UnplugAfterReports(Link::Mouse, 1);
    ASSERT_TRUE(sim_.FireEntryTimer(Entry(kKindMouse), kEntryTimerStartup));
    EXPECT_EQ(Probe(kKindMouse).reads, 1);
    EXPECT_NE(Probe(kKindMouse).lastReadResult, kResultOk);
    Poll();
    EXPECT_FALSE(Entry(kKindMouse)->IsShown());
    EXPECT_FALSE(Channel(kKindMouse).IsOpen());

    bus_->Plug(Link::Mouse);
    Poll();
    EXPECT_TRUE(Entry(kKindMouse)->IsShown());
    ASSERT_TRUE(sim_.FireEntryTimer(Entry(kKindMouse), kEntryTimerStartup));
    EXPECT_EQ(Probe(kKindMouse).reads, 2);
    EXPECT_EQ(Probe(kKindMouse).lastReadResult, kResultOk);
}

TEST_F(DeviceDiscoveryTest, SecondIdenticalInterfaceIsIgnored) {
    test::FakeHidBackend fake;
    for (const char* path :
         {"a#vid_320f&pid_1004&mi_01&col04", "b#vid_320f&pid_1004&mi_01&col04"}) {
        hid::InterfaceInfo info;
        info.path = path;
        info.vendorId = 0x320F;
        info.productId = 0x1004;
        info.interfaceNumber = 1;
        info.collectionNumber = 4;
        info.collection.usagePage = 0xFF1C;
        info.collection.usage = 0x92;
        fake.Add(info);
    }
    Start({}, &fake);
    Poll();
    EXPECT_EQ(devices_->EntryCount(), 3) << "one pad page";
    EXPECT_EQ(devices_->Slots().Slot(8).path, "a#vid_320f&pid_1004&mi_01&col04");
    EXPECT_EQ(Page(kKindMousePad)->Model().CommandChannel().Wired().InterfacePath(),
              "a#vid_320f&pid_1004&mi_01&col04");
    sim_.window.reset();  // its pages hold connections of the local backend
}

// The simulated bus, refusing the device's own (writable) opens of one path a number of times.
class RefusingBackend : public hid::IHidBackend {
public:
    explicit RefusingBackend(sim::SimBus& bus) : bus_(bus) {}
    bool Enumerate(std::vector<std::string>& paths) override { return bus_.Enumerate(paths); }
    std::unique_ptr<hid::IHidConnection> Open(const std::string& path, bool write,
                                              std::string* error) override {
        if (write && path == refusedPath && refusals > 0) {
            --refusals;
            return nullptr;
        }
        return bus_.Open(path, write, error);
    }
    std::string refusedPath;
    int refusals = 0;

private:
    sim::SimBus& bus_;
};

TEST_F(DeviceDiscoveryTest, FailedSwitchReleasesTheSlotAndTheNextPollRetries) {
    auto owned = std::make_unique<sim::SimBus>(sim::SimBusOptions{});
    sim::SimBus* bus = owned.get();
    auto backend = std::make_unique<RefusingBackend>(*bus);
    Start({}, backend.get());
    bus->Plug(Link::MouseReceiver);
    Poll();
    ASSERT_TRUE(Channel(kKindMouse).ViaReceiver());

    backend->refusedPath = bus->CommandPath(Link::Mouse);
    backend->refusals = 1;
    bus->Plug(Link::Mouse);
    Poll();
    EXPECT_TRUE(Channel(kKindMouse).IsOpen()) << "the receiver keeps serving";
    EXPECT_TRUE(Channel(kKindMouse).ViaReceiver());
    EXPECT_EQ(devices_->Slots().Slot(4).connected, 0) << "released for the next poll";

    Poll();
    EXPECT_TRUE(Channel(kKindMouse).IsOpen());
    EXPECT_FALSE(Channel(kKindMouse).ViaReceiver()) << "the retry switched to the cable";
    sim_.window.reset();
}

}  // namespace
}  // namespace morva::app
