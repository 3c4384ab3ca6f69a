// A device that answers nonsense: each model reads its product as at its arrival, against
// the simulated product, while the input rewrites every answer the model reads (the next
// bytes of the input replace the answer's first bytes, for as long as the input lasts).
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <span>
#include <string>

#include "base/clock.h"
#include "device/device_tables.h"
#include "device/models/headset_device.h"
#include "device/models/keyboard_device.h"
#include "device/models/mouse_device.h"
#include "device/models/mousepad_device.h"
#include "scratch_folder.h"
#include "sim/sim_bus.h"
#include "support/device_rows.h"

namespace morva {
namespace {

struct Answers {
    std::mutex mutex;
    std::span<const std::uint8_t> left;
};

class RewritingConnection : public hid::IHidConnection {
public:
    RewritingConnection(std::unique_ptr<hid::IHidConnection> inner, Answers& answers)
        : inner_(std::move(inner)), answers_(answers) {}
    const hid::InterfaceInfo& Info() const override { return inner_->Info(); }
    hid::IoResult Read(std::span<std::uint8_t> buffer, std::size_t& transferred,
                       std::uint32_t timeoutMs) override {
        const hid::IoResult result = inner_->Read(buffer, transferred, timeoutMs);
        std::lock_guard lock(answers_.mutex);
        if (transferred > 0 && !answers_.left.empty()) {
            // The first byte says how much of the answer the next bytes replace.
            const std::size_t n = std::min<std::size_t>(
                {answers_.left[0] % (transferred + 1), transferred, answers_.left.size() - 1});
            std::memcpy(buffer.data(), answers_.left.data() + 1, n);
            answers_.left = answers_.left.subspan(1 + n);
        }
        return result;
    }
    hid::IoResult Write(std::span<const std::uint8_t> report, std::size_t& transferred,
                        std::uint32_t timeoutMs) override {
        return inner_->Write(report, transferred, timeoutMs);
    }
    void CancelPending() override { inner_->CancelPending(); }

private:
    std::unique_ptr<hid::IHidConnection> inner_;
    Answers& answers_;
};

class RewritingBackend : public hid::IHidBackend {
public:
    RewritingBackend(hid::IHidBackend& inner, Answers& answers)
        : inner_(inner), answers_(answers) {}
    bool Enumerate(std::vector<std::string>& paths) override { return inner_.Enumerate(paths); }
    std::unique_ptr<hid::IHidConnection> Open(const std::string& path, bool write,
                                              std::string* error) override {
        std::unique_ptr<hid::IHidConnection> inner = inner_.Open(path, write, error);
        if (!inner)
            return nullptr;
        return std::make_unique<RewritingConnection>(std::move(inner), answers_);
    }

private:
    hid::IHidBackend& inner_;
    Answers& answers_;
};

const std::string& DataFolder() {
    return fuzz::ScratchFolder();
}

template <class Model>
void ReadAsAtArrival(hid::IHidBackend& backend, sim::SimBus& bus, sim::Link link, int kind,
                     std::uint16_t deviceType) {
    CManualClock clock;
    Model model(backend, clock);
    model.SetDataRoots(DataFolder(), MORVA_RES_DIR);
    model.ApplyTypeRow(test::TypeRowOfKind(kind));
    model.SetSlotRecord(test::CommandRecord(deviceType));
    // A wrong answer waits for the right one until this passes.
    model.CommandChannel().cableTimeoutMs = 5;
    model.CommandChannel().receiverTimeoutMs = 5;
    if (!model.Links().Open(ProductLink::Cable, bus.CommandPath(link)))
        return;
    model.ReadFromDevice();
    model.StopLightThread();
}

}  // namespace
}  // namespace morva

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace morva;
    if (size == 0)
        return 0;
    Answers answers;
    answers.left = std::span<const std::uint8_t>(data + 1, size - 1);
    sim::SimBusOptions options;
    options.plugged = {sim::Link::Mouse, sim::Link::Keyboard, sim::Link::Pad, sim::Link::Headset};
    sim::SimBus bus(options);
    RewritingBackend backend(bus, answers);
    switch (data[0] % 4) {
        case 0:
            ReadAsAtArrival<CTessaronMouseDevice>(backend, bus, sim::Link::Mouse, kKindMouse,
                                                  kDeviceTypeMouse);
            break;
        case 1:
            ReadAsAtArrival<CTessaronKeyboardDevice>(backend, bus, sim::Link::Keyboard,
                                                     kKindKeyboard, kDeviceTypeKeyboard);
            break;
        case 2:
            ReadAsAtArrival<CTessaronMousePadDevice>(backend, bus, sim::Link::Pad, kKindMousePad,
                                                     kDeviceTypeMousePad);
            break;
        default:
            ReadAsAtArrival<CTessaronVU6533Device>(backend, bus, sim::Link::Headset, kKindHeadset,
                                                   kDeviceTypeHeadset);
            break;
    }
    return 0;
}
