#include "device/discovery/interface_slots.h"

namespace morva {

namespace {

bool Free(const SupportedInterface& s) {
    return s.connected == 0 && s.path.empty();
}

bool SameInterface(const SupportedInterface& a, const SupportedInterface& b) {
    return a.vendorId == b.vendorId && a.productId == b.productId &&
           a.interfaceNumber == b.interfaceNumber && a.collection == b.collection;
}

bool SameCollection(const SupportedInterface& a, const SupportedInterface& b) {
    return SameInterface(a, b) && a.usagePage == b.usagePage && a.usage == b.usage;
}

}  // namespace

CInterfaceSlots::CInterfaceSlots() {
    const auto rows = SupportedInterfaces();
    slots_.assign(rows.begin(), rows.end());
}

bool CInterfaceSlots::AllSlotsClaimed() const {
    std::lock_guard lock(mutex_);
    for (const SupportedInterface& s : slots_) {
        if (Free(s))
            return false;
    }
    return true;
}

bool CInterfaceSlots::IsCandidate(const SupportedInterface& record) const {
    bool inTable = false;
    for (const SupportedInterface& row : SupportedInterfaces()) {
        if (SameInterface(row, record))
            inTable = true;
    }
    if (!inTable)
        return false;
    std::lock_guard lock(mutex_);
    for (const SupportedInterface& s : slots_) {
        if (SameInterface(s, record) && Free(s))
            return true;
    }
    return false;
}

int CInterfaceSlots::ClaimSlot(SupportedInterface& record) {
    const SupportedInterface* row = nullptr;
    for (const SupportedInterface& r : SupportedInterfaces()) {
        if (SameCollection(r, record)) {
            row = &r;
            break;
        }
    }
    if (row == nullptr)
        return -1;
    record.deviceType = row->deviceType;
    record.role = row->role;
    std::lock_guard lock(mutex_);
    for (std::size_t i = 0; i < slots_.size(); ++i) {
        SupportedInterface& s = slots_[i];
        if (SameCollection(s, record) && Free(s)) {
            s.connected = 1;
            s.path = record.path;
            return static_cast<int>(i);
        }
    }
    return -1;
}

bool CInterfaceSlots::ReleaseSlot(int index) {
    std::lock_guard lock(mutex_);
    if (index < 0 || index >= static_cast<int>(slots_.size()))
        return false;
    SupportedInterface& s = slots_[static_cast<std::size_t>(index)];
    if (Free(s))
        return false;
    s.connected = 0;
    s.path.clear();
    return true;
}

SupportedInterface CInterfaceSlots::Slot(int index) const {
    std::lock_guard lock(mutex_);
    if (index < 0 || index >= static_cast<int>(slots_.size()))
        return {};
    return slots_[static_cast<std::size_t>(index)];
}

std::vector<int> CInterfaceSlots::Claimed() const {
    std::lock_guard lock(mutex_);
    std::vector<int> claimed;
    for (std::size_t i = 0; i < slots_.size(); ++i) {
        if (!Free(slots_[i]))
            claimed.push_back(static_cast<int>(i));
    }
    return claimed;
}

}  // namespace morva
