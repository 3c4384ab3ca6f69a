// Discovery on the simulated bus.
#include "device/discovery/device_monitor.h"

#include <gtest/gtest.h>

#include <mutex>
#include <thread>

#include "sim/sim_bus.h"
#include "support/fake_hid_backend.h"

namespace morva {
namespace {

using sim::Link;

struct Recorder : IDiscoveryListener {
    std::mutex mutex;
    std::vector<std::string> events;
    void OnDeviceArrived(int slot) override { Add("+" + std::to_string(slot)); }
    void OnDeviceRemoved(int slot) override { Add("-" + std::to_string(slot)); }
    void OnFirstPass() override { Add("first"); }
    void Add(std::string e) {
        std::lock_guard lock(mutex);
        events.push_back(std::move(e));
    }
    std::size_t Count() {
        std::lock_guard lock(mutex);
        return events.size();
    }
    std::vector<std::string> Take() {
        std::lock_guard lock(mutex);
        return std::exchange(events, {});
    }
};

sim::SimBusOptions Plugged(std::vector<Link> links) {
    sim::SimBusOptions options;
    options.plugged = std::move(links);
    return options;
}

TEST(DeviceMonitor, ClaimsArrivalsOnceAndReleasesRemovals) {
    sim::SimBus bus(Plugged({}));
    CInterfaceSlots slots;
    Recorder recorder;
    CDeviceMonitor monitor(bus, slots, recorder);

    monitor.PollOnce();
    EXPECT_EQ(recorder.Take(), std::vector<std::string>{"first"}) << "announced without devices";

    bus.Plug(Link::MouseReceiver);
    monitor.PollOnce();
    EXPECT_EQ(recorder.Take(), (std::vector<std::string>{"+7", "+6"}))
        << "the receiver's event (col03) and command (col04) collections, in path order";
    monitor.PollOnce();
    EXPECT_TRUE(recorder.Take().empty()) << "claimed slots are not announced again";

    bus.Plug(Link::Mouse);
    bus.Plug(Link::Headset);
    monitor.PollOnce();
    auto events = recorder.Take();
    std::sort(events.begin(), events.end());
    EXPECT_EQ(events, (std::vector<std::string>{"+10", "+4", "+5"}));

    bus.Unplug(Link::Mouse);
    monitor.PollOnce();
    events = recorder.Take();
    std::sort(events.begin(), events.end());
    EXPECT_EQ(events, (std::vector<std::string>{"-4", "-5"}));
    EXPECT_EQ(slots.Slot(4).path, "");

    bus.Plug(Link::Mouse);
    monitor.PollOnce();
    EXPECT_EQ(recorder.Take().size(), 2u) << "plugging again is an arrival again";
}

TEST(DeviceMonitor, FailedEnumerationIsRetriedAndRemovesNothing) {
    test::FakeHidBackend backend;
    hid::InterfaceInfo info;
    info.path = "x#vid_320f&pid_1004&mi_01&col04";
    info.vendorId = 0x320F;
    info.productId = 0x1004;
    info.interfaceNumber = 1;
    info.collectionNumber = 4;
    info.collection.usagePage = 0xFF1C;
    info.collection.usage = 0x92;
    backend.Add(info);
    CInterfaceSlots slots;
    Recorder recorder;
    CDeviceMonitor monitor(backend, slots, recorder);

    monitor.PollOnce();
    EXPECT_EQ(recorder.Take(), (std::vector<std::string>{"+8", "first"}));
    backend.enumerateOk = false;
    monitor.PollOnce();
    monitor.PollOnce();
    EXPECT_TRUE(recorder.Take().empty()) << "no list: no removal";
    backend.enumerateOk = true;
    backend.paths.clear();
    monitor.PollOnce();
    EXPECT_EQ(recorder.Take(), std::vector<std::string>{"-8"}) << "the monitor kept going";
}

TEST(DeviceMonitor, RunWaitsBetweenPassesAndStopsAtOnce) {
    sim::SimBus bus(Plugged({Link::Pad}));
    CInterfaceSlots slots;
    Recorder recorder;
    CDeviceMonitor monitor(bus, slots, recorder);
    std::jthread thread(
        [&](std::stop_token stop) { monitor.Run(stop, std::chrono::milliseconds(20)); });
    for (int i = 0; i < 200 && recorder.Count() < 3; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    const auto begin = std::chrono::steady_clock::now();
    thread.request_stop();
    thread.join();
    EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::milliseconds(200));
    EXPECT_EQ(recorder.Take().size(), 3u) << "two arrivals and the first pass, nothing more";
}

}  // namespace
}  // namespace morva
