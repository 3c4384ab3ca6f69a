#include "device/hid/hid_device.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <span>

#include "base/debug_log.h"
#include "base/parse_int.h"

namespace morva {

namespace {

std::uint16_t ParseTag(const std::string& path, const char* tag) {
    std::string lower(path);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    const std::size_t at = lower.find(tag);
    if (at == std::string::npos)
        return 0;
    // Read like a "%x" scan: stops at the first character that is not a hex digit.
    return static_cast<std::uint16_t>(
        ParseLeadingInt(std::string_view(path).substr(at + 4), 0, 0xFFFF, 16));
}

}  // namespace

std::uint16_t ParseVid(const std::string& path) {
    return ParseTag(path, "vid_");
}
std::uint16_t ParsePid(const std::string& path) {
    return ParseTag(path, "pid_");
}
std::uint16_t ParseInterfaceNumber(const std::string& path) {
    return ParseTag(path, "&mi_");
}
std::uint16_t ParseCollection(const std::string& path) {
    return ParseTag(path, "&col");
}

CHidDevice::CHidDevice(hid::IHidBackend& backend) : backend_(backend) {}

CHidDevice::~CHidDevice() {
    Close();
    FreePaths();
}

bool CHidDevice::EnumeratePaths() {
    cursor_ = 0;
    std::vector<std::string> paths;
    if (!backend_.Enumerate(paths)) {
        paths_.clear();
        return false;
    }
    paths_ = std::move(paths);
    return true;
}

std::optional<std::string> CHidDevice::NextPath() {
    if (cursor_ >= paths_.size())
        return std::nullopt;
    const std::string& path = paths_[cursor_++];
    if (path.empty())
        return std::nullopt;
    return path;
}

void CHidDevice::FreePaths() {
    paths_.clear();
    cursor_ = 0;
}

bool CHidDevice::Open(const std::string& path, bool read, bool write, bool overlapped,
                      bool exclusive) {
    openRead_ = read;
    openWrite_ = write;
    openOverlapped_ = overlapped;
    openExclusive_ = exclusive;
    interfacePath_ = path;
    return Reopen();
}

bool CHidDevice::Reopen() {
    Close();
    std::string error;
    std::unique_ptr<hid::IHidConnection> connection =
        backend_.Open(interfacePath_, openWrite_, &error);
    std::unique_lock lock(mutex_);
    if (!connection) {
        lastError_ = error.empty() ? "cannot open " + interfacePath_ : error;
        DebugLog("%s\n", lastError_.c_str());
        return false;
    }
    lastError_.clear();
    info_ = connection->Info();
    connection_ = std::move(connection);
    interfaceNumber_ = ParseInterfaceNumber(interfacePath_);
    collectionNumber_ = ParseCollection(interfacePath_);
    BuildItems();
    return true;
}

void CHidDevice::ReleaseLocked(std::unique_lock<std::mutex>& lock) {
    std::shared_ptr<hid::IHidConnection> connection = std::move(connection_);
    if (!connection)
        return;
    // No new transfer can start now; cancel the ones inside until all have left, so the
    // connection is never freed under a reader (a transfer may begin just after a cancel).
    while (inside_ > 0) {
        connection->CancelPending();
        idle_.wait_for(lock, std::chrono::milliseconds(10));
    }
    items_.clear();
    info_ = hid::InterfaceInfo{};
    lock.unlock();
    connection.reset();
    lock.lock();
}

void CHidDevice::Close() {
    std::unique_lock lock(mutex_);
    ReleaseLocked(lock);
}

bool CHidDevice::IsOpen() const {
    std::lock_guard lock(mutex_);
    return connection_ != nullptr;
}

template <typename Fn>
int CHidDevice::RunTransfer(std::uint32_t* transferred, Fn&& transfer) {
    if (transferred)
        *transferred = 0;
    std::shared_ptr<hid::IHidConnection> connection;
    {
        std::lock_guard lock(mutex_);
        if (!connection_)
            return 0;
        connection = connection_;
        ++inside_;
    }
    std::size_t done = 0;
    const hid::IoResult result = transfer(*connection, done);
    {
        std::lock_guard lock(mutex_);
        --inside_;
    }
    idle_.notify_all();
    if (result != hid::IoResult::Ok)
        return 0;
    if (transferred)
        *transferred = static_cast<std::uint32_t>(done);
    return 1;
}

int CHidDevice::ReadReport(std::uint8_t* buffer, std::uint32_t length, std::uint32_t* transferred,
                           std::uint32_t timeoutMs) {
    return RunTransfer(transferred, [&](hid::IHidConnection& c, std::size_t& done) {
        return c.Read(std::span(buffer, length), done, timeoutMs);
    });
}

int CHidDevice::WriteReport(const std::uint8_t* buffer, std::uint32_t length,
                            std::uint32_t* transferred, std::uint32_t timeoutMs) {
    return RunTransfer(transferred, [&](hid::IHidConnection& c, std::size_t& done) {
        return c.Write(std::span(buffer, length), done, timeoutMs);
    });
}

void CHidDevice::BuildItems() {
    items_.clear();
    const auto& fields = info_.collection.fields;
    // Button items first (arrays and one-bit fields), then one value item per usage.
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const hid::ReportField& f = fields[i];
        if (f.kind != hid::ReportKind::Input || f.isConstant)
            continue;
        if (f.isVariable && f.bitSize != 1)
            continue;
        HidDataItem item;
        item.isButtonData = true;
        item.usagePage = f.usagePage;
        item.reportId = f.reportId;
        if (f.hasRange) {
            item.usageMin = f.usageMin;
            item.usageMax = f.usageMax;
        } else if (!f.usages.empty()) {
            const auto [lo, hi] = std::minmax_element(f.usages.begin(), f.usages.end());
            item.usageMin = *lo;
            item.usageMax = *hi;
        }
        item.maxUsageLength = f.count;
        item.usages.assign(f.count, 0);
        item.fieldIndex = i;
        items_.push_back(std::move(item));
    }
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const hid::ReportField& f = fields[i];
        if (f.kind != hid::ReportKind::Input || f.isConstant)
            continue;
        if (!f.isVariable || f.bitSize == 1)
            continue;
        for (std::uint32_t e = 0; e < f.count; ++e) {
            HidDataItem item;
            item.usagePage = f.usagePage;
            item.reportId = f.reportId;
            item.usage = f.UsageAt(e);
            item.fieldIndex = i;
            item.element = e;
            items_.push_back(std::move(item));
        }
    }
}

bool CHidDevice::UnpackInputReport(const std::uint8_t* report, std::uint32_t length) {
    if (report == nullptr || length == 0)
        return false;
    std::lock_guard lock(mutex_);  // Close may clear the items from another thread
    const std::span<const std::uint8_t> bytes(report, length);
    const auto& fields = info_.collection.fields;
    for (HidDataItem& item : items_) {
        if (item.reportId != report[0])
            continue;
        const hid::ReportField& f = fields[item.fieldIndex];
        const std::uint32_t bitsNeeded = f.bitOffset + f.bitSize * f.count;
        const bool fits = (length - 1) * 8u >= bitsNeeded;
        if (item.isButtonData) {
            item.status = fits ? 0 : 1;
            std::fill(item.usages.begin(), item.usages.end(), 0);
            std::size_t kept = 0;
            for (std::uint16_t u : hid::ActiveUsages(f, bytes)) {
                if (u < item.usageMin || u > item.usageMax)
                    continue;
                if (kept >= item.usages.size())
                    break;
                item.usages[kept++] = u;
            }
        } else {
            if (!fits) {
                item.status = 1;
                return false;
            }
            item.status = 0;
            item.scaledValue = hid::FieldValue(f, bytes, item.element);
            item.value = static_cast<std::uint32_t>(item.scaledValue);
        }
        item.isDataSet = true;
    }
    return true;
}

std::vector<HidDataItem> CHidDevice::InputItems() const {
    std::lock_guard lock(mutex_);
    return items_;
}

std::uint16_t CHidDevice::FirstActiveUsage() const {
    std::lock_guard lock(mutex_);
    if (items_.empty() || !items_[0].isButtonData || items_[0].usages.empty())
        return 0;
    return items_[0].usages[0];
}

}  // namespace morva
