// One product's model on the simulated bus with a USB-like latency, set up as the program's
// device page sets it up, with what an operation cost on the wire.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "device/models/usb_device.h"
#include "sim/sim_bus.h"

namespace morva::bench {

// What one run of an operation took and what the link had to carry for it.
struct Cost {
    std::chrono::duration<double, std::milli> took{};
    std::uint64_t reports = 0;  // both ways
    int sequenceEnds = 0;       // each one sleeps the time the protocol asks for
    std::chrono::duration<double, std::milli> Sleeps() const;
    // The time the link needs at the least: every report's wire time and the mandated sleeps.
    std::chrono::duration<double, std::milli> Minimum(std::chrono::microseconds perReport) const;
};

class DeviceRig {
public:
    // `link` plugged in alone, `latency` per report; the data folder is a fresh one.
    DeviceRig(sim::Link link, std::chrono::microseconds latency);
    ~DeviceRig();
    DeviceRig(const DeviceRig&) = delete;
    DeviceRig& operator=(const DeviceRig&) = delete;

    CTessaronUSBDevice& Model() { return *model_; }
    sim::Link Link() const { return link_; }
    std::chrono::microseconds Latency() const { return latency_; }

    // Runs `op` and says what it cost.
    template <class Op>
    Cost Measure(Op&& op) {
        const sim::SimBus::Traffic before = bus_->LinkTraffic(link_);
        bus_->ClearLog();
        const auto start = std::chrono::steady_clock::now();
        op();
        Cost cost;
        cost.took = std::chrono::steady_clock::now() - start;
        const sim::SimBus::Traffic after = bus_->LinkTraffic(link_);
        cost.reports = after.toDevice - before.toDevice + after.toHost - before.toHost;
        cost.sequenceEnds = CountSequenceEnds();
        return cost;
    }

private:
    int CountSequenceEnds() const;

    sim::Link link_;
    std::chrono::microseconds latency_;
    std::filesystem::path folder_;
    std::unique_ptr<sim::SimBus> bus_;
    std::unique_ptr<CTessaronUSBDevice> model_;
};

// Ten macros of forty events each bound to keys of the current profile, then a copy of that
// profile: the two profiles a switch goes between. False when something could not be set up.
bool PrepareProfilesWithMacros(CTessaronUSBDevice& model, std::string& first, std::string& second);
// The current profile and a copy of it, for the families without keys.
bool CopyCurrentProfile(CTessaronUSBDevice& model, std::string& first, std::string& second);

}  // namespace morva::bench
