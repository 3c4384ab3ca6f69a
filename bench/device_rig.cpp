#include "bench/device_rig.h"

#include <unistd.h>

#include <atomic>
#include <vector>

#include "device/device_tables.h"
#include "device/key_codes.h"
#include "device/models/headset_device.h"
#include "device/models/keyboard_device.h"
#include "device/models/mouse_device.h"
#include "device/models/mousepad_device.h"
#include "device/protocol/command_report.h"
#include "device/protocol/commands.h"
#include "macro/macro_store.h"
#include "profile/profile_list_store.h"

namespace morva::bench {

namespace {

constexpr int kMacros = 10;
constexpr int kEventsPerMacro = 40;

std::uint16_t DeviceTypeOf(sim::Link link) {
    switch (sim::ProductOf(link)) {
        case sim::Product::Mouse:
            return kDeviceTypeMouse;
        case sim::Product::Keyboard:
            return kDeviceTypeKeyboard;
        case sim::Product::Pad:
            return kDeviceTypeMousePad;
        case sim::Product::Headset:
            return kDeviceTypeHeadset;
    }
    return 0;
}

std::unique_ptr<CTessaronUSBDevice> MakeModel(std::uint16_t deviceType, hid::IHidBackend& bus) {
    switch (deviceType) {
        case kDeviceTypeMouse:
            return std::make_unique<CTessaronMouseDevice>(bus);
        case kDeviceTypeKeyboard:
            return std::make_unique<CTessaronKeyboardDevice>(bus);
        case kDeviceTypeMousePad:
            return std::make_unique<CTessaronMousePadDevice>(bus);
        default:
            return std::make_unique<CTessaronVU6533Device>(bus);
    }
}

std::filesystem::path FreshFolder() {
    static std::atomic<int> counter{0};
    std::filesystem::path p =
        std::filesystem::temp_directory_path() /
        ("morva-bench-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
    std::filesystem::remove_all(p);
    std::filesystem::create_directories(p);
    return p;
}

// Presses and releases with the delays a recorded macro has.
std::vector<MacroEvent> Recorded(int seed) {
    std::vector<MacroEvent> events;
    for (int i = 0; i < kEventsPerMacro; ++i)
        events.push_back(MacroEvent{i % 2 == 0, 4 + (seed + i / 2) % 26, 10, 30 + i});
    return events;
}

}  // namespace

std::chrono::duration<double, std::milli> Cost::Sleeps() const {
    return sequenceEnds * kSequenceEndWait;
}

std::chrono::duration<double, std::milli> Cost::Minimum(std::chrono::microseconds perReport) const {
    return static_cast<double>(reports) * perReport + Sleeps();
}

DeviceRig::DeviceRig(sim::Link link, std::chrono::microseconds latency)
    : link_(link), latency_(latency), folder_(FreshFolder()) {
    sim::SimBusOptions options;
    options.plugged = {link};
    options.latency = latency;
    bus_ = std::make_unique<sim::SimBus>(options);
    const std::uint16_t deviceType = DeviceTypeOf(link);
    model_ = MakeModel(deviceType, *bus_);
    const int typeRow = DeviceTypeRowFor(deviceType);
    const DeviceTypeInfo& type = DeviceTypes()[static_cast<std::size_t>(typeRow)];
    const int cableRow =
        FindInterfaceRow(type.vendorId, type.productId, type.deviceType, kRoleCommand);
    model_->SetDataRoots(folder_.string(), MORVA_RES_DIR);
    model_->ApplyTypeRow(typeRow);
    model_->SetSlotRecord(SupportedInterfaces()[static_cast<std::size_t>(cableRow)]);
    model_->Links().Open(sim::IsReceiver(link) ? ProductLink::Receiver : ProductLink::Cable,
                         bus_->CommandPath(link));
}

DeviceRig::~DeviceRig() {
    model_.reset();
    bus_.reset();
    std::error_code ec;
    std::filesystem::remove_all(folder_, ec);
}

int DeviceRig::CountSequenceEnds() const {
    int ends = 0;
    for (const sim::Report& r : bus_->ReceivedReports(link_))
        ends += r[3] == cmd::kEnd ? 1 : 0;
    return ends;
}

bool PrepareProfilesWithMacros(CTessaronUSBDevice& model, std::string& first, std::string& second) {
    const bool keyboard = model.DeviceType() == kDeviceTypeKeyboard;
    for (int m = 0; m < kMacros; ++m) {
        if (!model.AddMacro().Ok() || !model.SaveMacro(m, Recorded(m)).Ok())
            return false;
        const KeyCode macro{kKeyTypeMacro, static_cast<std::uint8_t>(m), 0};
        // Letter keys on the keyboard, every button but the left one on the mouse.
        const int key = keyboard ? 30 + m : 1 + m;
        OpResult r;
        if (keyboard) {
            r = static_cast<CTessaronKeyboardDevice&>(model).AssignKeyCode(
                key, macro, false, CTessaronUSBDevice::KeySend::KeyTable);
        } else {
            KeyListEntry entry = model.KeyList().at(static_cast<std::size_t>(key));
            entry.assignment.code = macro;
            r = model.AssignKey(key, entry, CTessaronUSBDevice::KeySend::KeyTable);
        }
        if (!r.Ok())
            return false;
    }
    if (model.GetUsedMacros().size() != static_cast<std::size_t>(kMacros))
        return false;
    return CopyCurrentProfile(model, first, second);
}

bool CopyCurrentProfile(CTessaronUSBDevice& model, std::string& first, std::string& second) {
    CProfileListStore store(model.DeviceType(), model.GetUserDataFolder(),
                            model.GetDefaultProfilePath());
    if (store.InitProfileList() < 0 || store.CopyProfile() < 0 || store.Entries().size() < 2)
        return false;
    first = store.Entries()[0].id;
    second = store.Entries()[1].id;
    return true;
}

}  // namespace morva::bench
