// A simulated HID bus: the products' firmware behind the same backend interface the host
// uses on real hardware, with links that come and go, latency, fault injection, inspection
// and a state file that keeps the firmware memory between runs.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "device/hid/hid_backend.h"
#include "sim/firmware.h"
#include "sim/sim_types.h"

namespace morva::sim {

// About one report per millisecond, as a full-speed USB interrupt endpoint moves them.
inline constexpr std::chrono::microseconds kUsbLatency{1000};

// What goes wrong with the next command report(s) on a link.
enum class Fault {
    NoAnswer,            // the device acts on the request but its answer is lost
    WrongEcho,           // the only answer carries another command byte (never 0xAA)
    StrayAnswerFirst,    // an unrelated answer with another command byte comes first
    StatusFF,            // refused with status 0xFF; nothing is stored
    StatusFE,            // refused with status 0xFE; nothing is stored
    WriteFailure,        // the host's Write fails; the request never arrives
    UnplugBeforeAnswer,  // the link unplugs as the request arrives
    Pass,                // nothing goes wrong: queued first, it lets a fault land on report n
};

struct SimBusOptions {
    std::vector<Link> plugged;             // links present from the start
    std::chrono::microseconds latency{0};  // time each report spends on the wire
    std::string stateFile;                 // empty: the firmware starts from factory each run
};

namespace detail {
struct BusCore;
}

class SimBus : public hid::IHidBackend {
public:
    // Every product's firmware exists from the start. The state file is loaded when it exists;
    // a missing or unreadable one leaves the factory state.
    explicit SimBus(SimBusOptions options = {});
    // Saves the state; connections still open die as if every link were unplugged.
    ~SimBus() override;
    SimBus(const SimBus&) = delete;
    SimBus& operator=(const SimBus&) = delete;

    bool Enumerate(std::vector<std::string>& paths) override;
    std::unique_ptr<hid::IHidConnection> Open(const std::string& path, bool write,
                                              std::string* error) override;

    // Unplugging ends every connection of the link for good, even after it is plugged again.
    void Plug(Link link);
    void Unplug(Link link);
    bool IsPlugged(Link link) const;
    // Whether a receiver's wireless device answers (products without receiver ignore it).
    void SetReachable(Product product, bool reachable);
    bool IsReachable(Product product) const;

    // Thread-safe access to a product's memory, for inspection and set-up.
    VirtualFirmware& Firmware(Product product);
    void SetStatusBlock(Product product, std::span<const std::uint8_t, 6> status);

    // An event word on the link's consumer collection; false when the link is unplugged or
    // its wireless device is out of reach.
    bool SendEvent(Link link, std::uint16_t word);

    // Every top-level collection of the link, plugged or not, as Open reports it.
    std::vector<hid::InterfaceInfo> Interfaces(Link link) const;
    std::string CommandPath(Link link) const;  // the collection that owns report id 4
    std::string EventPath(Link link) const;    // the collection that carries event words

    // Command reports that arrived on a link (or any link of a product), oldest first; the log
    // keeps the latest kReportLogLimit.
    static constexpr std::size_t kReportLogLimit = 8192;
    std::vector<Report> ReceivedReports(Link link) const;
    std::vector<Report> ReceivedReports(Product product) const;
    void ClearLog();
    // Reports that crossed a link's wire since the bus began, each of which spent the latency
    // there: requests and output reports one way, answers and event reports the other.
    struct Traffic {
        std::uint64_t toDevice = 0;
        std::uint64_t toHost = 0;
    };
    Traffic LinkTraffic(Link link) const;

    // Also done after every successful end command (0x02). False without a state file or
    // when it cannot be written.
    bool SaveState();
    // False (and every product back to factory) when the file is missing or corrupt.
    bool LoadState();

    // Applies to the next `times` command reports that arrive on the link; faults queue up
    // in the order they were injected.
    void InjectFault(Link link, Fault fault, int times = 1);
    // The link unplugs right after its next `n` command reports have been answered (n <= 0:
    // now).
    void UnplugAfterReports(Link link, int n);
    void ClearFaults(Link link);

private:
    std::shared_ptr<detail::BusCore> core_;
};

}  // namespace morva::sim
