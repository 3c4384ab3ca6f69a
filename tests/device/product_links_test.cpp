// A product's links on the simulated bus: switching between cable and receiver, and the
// reachability poll on the links' own thread.
#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <optional>

#include "device/links/product_links.h"
#include "device/protocol/commands.h"
#include "sim/sim_bus.h"

namespace morva {
namespace {

using namespace std::chrono_literals;
using sim::Link;
using sim::Product;

// The result a poll hands over, waited for with a deadline.
struct PollResult {
    std::mutex lock;
    std::condition_variable changed;
    std::optional<bool> reachable;

    CProductLinks::ReachDone Callback() {
        return [this](bool r, std::uint64_t) {
            std::lock_guard guard(lock);
            reachable = r;
            changed.notify_all();
        };
    }
    std::optional<bool> Wait(std::chrono::milliseconds deadline) {
        std::unique_lock guard(lock);
        changed.wait_for(guard, deadline, [this] { return reachable.has_value(); });
        return reachable;
    }
};

class ProductLinksTest : public ::testing::Test {
protected:
    ProductLinksTest() {
        sim::SimBusOptions options;
        options.plugged = {Link::Mouse, Link::MouseReceiver};
        bus_ = std::make_unique<sim::SimBus>(options);
        channel_ = std::make_unique<CDeviceChannel>(*bus_);
        channel_->cableTimeoutMs = 200;
        channel_->receiverTimeoutMs = 200;
    }
    CProductLinks& Links(ReachPoll poll = {}) {
        links_ = std::make_unique<CProductLinks>(*channel_, poll);
        return *links_;
    }
    std::size_t Queries() const {
        std::size_t n = 0;
        for (const sim::Report& r : bus_->ReceivedReports(Link::MouseReceiver))
            n += r[3] == cmd::kQueryWireless;
        return n;
    }

    std::unique_ptr<sim::SimBus> bus_;
    std::unique_ptr<CDeviceChannel> channel_;
    std::unique_ptr<CProductLinks> links_;
};

TEST_F(ProductLinksTest, SwitchServesTheOtherLinkOrWhatIsLeft) {
    struct Case {
        const char* name;
        ProductLink from;
        bool targetPresent;
        std::optional<ProductLink> now;
        bool open, viaReceiver, wiredOpen;
        int chunk;
    };
    const Case cases[] = {
        {"cable takes over", ProductLink::Receiver, true, ProductLink::Cable, true, false, true,
         56},
        {"receiver takes back", ProductLink::Cable, true, ProductLink::Receiver, true, true, false,
         24},
        {"cable cannot open: receiver serves on", ProductLink::Receiver, false, std::nullopt, true,
         true, false, 24},
        {"receiver cannot open: nothing serves", ProductLink::Cable, false, std::nullopt, false,
         false, false, 56},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CProductLinks& links = Links();
        const bool fromReceiver = c.from == ProductLink::Receiver;
        ASSERT_TRUE(links.Open(
            c.from, bus_->CommandPath(fromReceiver ? Link::MouseReceiver : Link::Mouse)));
        const Link target = fromReceiver ? Link::Mouse : Link::MouseReceiver;
        std::string error;
        EXPECT_EQ(links.Switch(c.targetPresent ? bus_->CommandPath(target) : "", &error), c.now);
        EXPECT_EQ(error.empty(), c.now.has_value());
        EXPECT_EQ(channel_->IsOpen(), c.open);
        EXPECT_EQ(channel_->ViaReceiver(), c.viaReceiver);
        EXPECT_EQ(channel_->Wired().IsOpen(), c.wiredOpen);
        EXPECT_EQ(channel_->ChunkSize(), c.chunk);
        if (c.open) {
            std::array<std::uint8_t, kInfoBlockSize> info{};
            EXPECT_EQ(CmdReadInfo(*channel_, info), kResultOk) << "the serving link answers";
        }
        links.Close();
        EXPECT_FALSE(channel_->IsOpen());
        EXPECT_FALSE(channel_->Receiver().IsOpen());
    }
}

TEST_F(ProductLinksTest, PollAsksUntilTheDeviceAnswersOrThePollsAreSpent) {
    for (const bool reachable : {true, false}) {
        SCOPED_TRACE(reachable ? "reachable" : "asleep");
        bus_->SetReachable(Product::Mouse, reachable);
        bus_->ClearLog();
        CProductLinks& links = Links({3, 20ms});
        ASSERT_TRUE(links.Open(ProductLink::Receiver, bus_->CommandPath(Link::MouseReceiver)));
        PollResult result;
        const auto start = std::chrono::steady_clock::now();
        const std::uint64_t ticket = links.PollReachability(result.Callback());
        ASSERT_EQ(result.Wait(5s), reachable);
        EXPECT_EQ(Queries(), reachable ? 1u : 3u);
        if (!reachable) {
            EXPECT_GE(std::chrono::steady_clock::now() - start, 3 * 20ms)
                << "a gap after each miss";
        }
        EXPECT_TRUE(links.IsCurrent(ticket));
        EXPECT_FALSE(links.Polling());
    }
}

TEST_F(ProductLinksTest, ClosingEndsAPollWithoutItsResult) {
    bus_->SetReachable(Product::Mouse, false);
    CProductLinks& links = Links({1000, 20ms});
    ASSERT_TRUE(links.Open(ProductLink::Receiver, bus_->CommandPath(Link::MouseReceiver)));
    PollResult result;
    const std::uint64_t ticket = links.PollReachability(result.Callback());
    EXPECT_TRUE(links.Polling());
    const auto start = std::chrono::steady_clock::now();
    links.Close();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s) << "no waiting through the polls";
    EXPECT_FALSE(links.Polling());
    EXPECT_FALSE(links.IsCurrent(ticket));
    EXPECT_FALSE(result.Wait(0ms).has_value());
}

}  // namespace
}  // namespace morva
