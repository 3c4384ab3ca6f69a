// One opened HID top-level collection: the program's only gateway to a peripheral's
// interface. Lists interface paths, opens one, moves reports under a time limit and
// decodes input reports into active usages.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "device/hid/hid_backend.h"

namespace morva {

// One decoded input item: a button item (array or 1-bit fields) or a single value usage.
struct HidDataItem {
    bool isButtonData = false;
    std::uint16_t usagePage = 0;
    std::uint32_t status = 0;  // 0 after a successful decode, non-zero when the report was short
    std::uint32_t reportId = 0;
    bool isDataSet = false;
    // Button items.
    std::uint32_t usageMin = 0, usageMax = 0;
    std::uint32_t maxUsageLength = 0;
    std::vector<std::uint16_t> usages;  // active usages, zero-terminated when shorter
    // Value items.
    std::uint16_t usage = 0;
    std::uint32_t value = 0;
    std::int32_t scaledValue = 0;

    std::size_t fieldIndex = 0;  // field of the collection this item decodes
    std::uint32_t element = 0;   // element of that field (value items)
};

// Numbers after "vid_", "pid_", "&mi_", "&col" (hexadecimal, case-insensitive; 0 if absent).
std::uint16_t ParseVid(const std::string& path);
std::uint16_t ParsePid(const std::string& path);
std::uint16_t ParseInterfaceNumber(const std::string& path);
std::uint16_t ParseCollection(const std::string& path);

class CHidDevice {
public:
    explicit CHidDevice(hid::IHidBackend& backend);
    ~CHidDevice();
    CHidDevice(const CHidDevice&) = delete;
    CHidDevice& operator=(const CHidDevice&) = delete;

    // Path list.
    bool EnumeratePaths();
    // Next path of the list, or nothing at the end (and for an empty entry).
    std::optional<std::string> NextPath();
    void FreePaths();
    std::size_t PathCount() const { return paths_.size(); }

    // Connection. Every caller opens for reading and shared; `write` only for devices.
    bool Open(const std::string& path, bool read, bool write, bool overlapped = true,
              bool exclusive = false);
    bool Reopen();
    // Cancels transfers in progress and waits until none is inside before releasing.
    void Close();
    bool IsOpen() const;

    // 1 on success, 0 otherwise; `transferred` (optional) gets the byte count.
    int ReadReport(std::uint8_t* buffer, std::uint32_t length, std::uint32_t* transferred,
                   std::uint32_t timeoutMs);
    int WriteReport(const std::uint8_t* buffer, std::uint32_t length, std::uint32_t* transferred,
                    std::uint32_t timeoutMs);

    // Fills the input items whose report id is the report's first byte.
    bool UnpackInputReport(const std::uint8_t* report, std::uint32_t length);

    const std::string& InterfacePath() const { return interfacePath_; }
    // Why the last Open failed (e.g. a permission problem), empty after a success.
    const std::string& LastError() const { return lastError_; }
    std::uint16_t VendorId() const { return info_.vendorId; }
    std::uint16_t ProductId() const { return info_.productId; }
    std::uint16_t VersionNumber() const { return info_.versionNumber; }
    std::uint16_t UsagePage() const { return info_.collection.usagePage; }
    std::uint16_t Usage() const { return info_.collection.usage; }
    std::uint16_t InputReportLength() const { return info_.collection.inputLength; }
    std::uint16_t OutputReportLength() const { return info_.collection.outputLength; }
    std::uint32_t InterfaceNumber() const { return interfaceNumber_; }
    std::uint32_t CollectionNumber() const { return collectionNumber_; }
    std::vector<HidDataItem> InputItems() const;
    // Event code of the last decoded report: first active usage of input item 0.
    std::uint16_t FirstActiveUsage() const;

private:
    template <typename Fn>
    int RunTransfer(std::uint32_t* transferred, Fn&& transfer);
    void BuildItems();
    void ReleaseLocked(std::unique_lock<std::mutex>& lock);

    hid::IHidBackend& backend_;
    std::vector<std::string> paths_;
    std::size_t cursor_ = 0;
    bool openRead_ = false, openWrite_ = false, openOverlapped_ = false, openExclusive_ = false;

    mutable std::mutex mutex_;
    std::condition_variable idle_;
    int inside_ = 0;  // transfers in progress
    std::shared_ptr<hid::IHidConnection> connection_;

    std::string interfacePath_;
    std::string lastError_;
    hid::InterfaceInfo info_;
    std::vector<HidDataItem> items_;
    std::uint32_t interfaceNumber_ = 0;
    std::uint32_t collectionNumber_ = 0;
};

}  // namespace morva
