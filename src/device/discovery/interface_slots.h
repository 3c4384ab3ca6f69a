// The interface slot list: one slot per row of the supported-interface table. The device
// monitor claims a slot for each supported interface it finds and frees it when the
// interface goes away; slot indexes are what arrival and removal messages carry.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "device/device_tables.h"

namespace morva {

class CInterfaceSlots {
public:
    // A copy of the supported-interface table, in row order, nothing claimed.
    CInterfaceSlots();

    // True when no slot is free (connected 0 and no path).
    bool AllSlotsClaimed() const;
    // True when a table row has the record's vendor, product, interface and collection and
    // a slot with those four values is free.
    bool IsCandidate(const SupportedInterface& record) const;
    // When a row matches vendor, product, interface, collection, usage page and usage: the
    // record takes the row's type and role, the first free slot with those six values is
    // claimed with the record's path, and its index is returned; -1 otherwise.
    int ClaimSlot(SupportedInterface& record);
    // Frees a claimed slot; false when it was not claimed.
    bool ReleaseSlot(int index);

    // A copy of one slot (empty record for an index outside the list).
    SupportedInterface Slot(int index) const;
    int Count() const { return static_cast<int>(slots_.size()); }
    // Indexes of the claimed slots.
    std::vector<int> Claimed() const;

private:
    mutable std::mutex mutex_;  // the monitor thread and the UI thread both look
    std::vector<SupportedInterface> slots_;
};

}  // namespace morva
