#include "sim/sim_bus.h"

#include <json/value.h>

#include <algorithm>
#include <array>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <mutex>
#include <optional>
#include <utility>

#include "base/debug_log.h"
#include "device/hid/report_descriptor.h"
#include "profile/json_file.h"
#include "sim/descriptors.h"

namespace morva::sim {

namespace detail {

namespace {

using Clock = std::chrono::steady_clock;
using hid::IoResult;

// Per open handle, like the OS keeps it; the oldest report goes when it is full.
constexpr std::size_t kQueueLimit = 64;

struct Pending {
    Clock::time_point ready;
    Report bytes{};
    std::size_t size = 0;
};

struct LinkState {
    std::vector<hid::InterfaceInfo> interfaces;  // fixed after construction
    bool plugged = false;
    std::uint64_t generation = 0;  // bumped by every unplug
    std::deque<std::pair<Fault, int>> faults;
    int unplugAfter = 0;  // 0: no unplug scheduled
    SimBus::Traffic traffic;
};

std::size_t Index(Link link) {
    return static_cast<std::size_t>(link);
}
std::size_t Index(Product product) {
    return static_cast<std::size_t>(product);
}

// A command byte that is neither the request's nor the receiver's "out of reach" mark.
std::uint8_t OtherCommand(std::uint8_t code) {
    std::uint8_t other = code ^ 0x40;
    if (other == cmd::kQueryWireless)
        other ^= 0x01;
    return other;
}

std::string PathOf(Link link, std::uint16_t interfaceNumber, std::uint16_t collection) {
    const LinkIdentity id = IdentityOf(link);
    char buffer[96];
    std::snprintf(buffer, sizeof buffer, "sim/%s/%u#vid_%04x&pid_%04x&mi_%02x",
                  std::string(LinkName(link)).c_str(), unsigned{interfaceNumber},
                  unsigned{id.vendorId}, unsigned{id.productId}, unsigned{interfaceNumber});
    std::string path = buffer;
    if (collection != 0) {
        std::snprintf(buffer, sizeof buffer, "&col%02u", unsigned{collection});
        path += buffer;
    }
    return path;
}

std::vector<hid::InterfaceInfo> DescribeLink(Link link) {
    const LinkIdentity id = IdentityOf(link);
    std::vector<hid::InterfaceInfo> result;
    for (const HidInterface& iface : InterfacesOf(ProductOf(link))) {
        hid::ParsedDescriptor parsed;
        std::string error;
        if (!hid::ParseReportDescriptor(iface.descriptor, parsed, error)) {
            DebugLog("sim: descriptor of %s interface %u rejected: %s\n",
                     std::string(LinkName(link)).c_str(), unsigned{iface.number}, error.c_str());
            continue;
        }
        const bool several = parsed.collections.size() > 1;
        for (std::size_t i = 0; i < parsed.collections.size(); ++i) {
            hid::InterfaceInfo info;
            info.collectionNumber = several ? static_cast<std::uint16_t>(i + 1) : 0;
            info.path = PathOf(link, iface.number, info.collectionNumber);
            info.vendorId = id.vendorId;
            info.productId = id.productId;
            info.versionNumber = id.bcdDevice;
            info.interfaceNumber = iface.number;
            info.collection = std::move(parsed.collections[i]);
            result.push_back(std::move(info));
        }
    }
    return result;
}

bool HasOutputReport(const hid::TopLevelCollection& collection, std::uint8_t id) {
    return std::any_of(collection.fields.begin(), collection.fields.end(),
                       [id](const hid::ReportField& field) {
                           return field.kind == hid::ReportKind::Output && field.reportId == id;
                       });
}

// Bytes of output report `id` with its id byte (always counted, as outputLength does); 0
// when the collection has no such report.
std::size_t OutputReportLength(const hid::TopLevelCollection& collection, std::uint8_t id) {
    if (!HasOutputReport(collection, id))
        return 0;
    std::uint64_t bits = 0;
    for (const hid::ReportField& field : collection.fields) {
        if (field.kind == hid::ReportKind::Output && field.reportId == id)
            bits = std::max(bits, field.bitOffset + std::uint64_t{field.bitSize} * field.count);
    }
    return 1 + static_cast<std::size_t>((bits + 7) / 8);
}

bool OwnsReportId(const hid::TopLevelCollection& collection, std::uint8_t id) {
    if (collection.reportIds.empty())
        return id == 0;
    return std::find(collection.reportIds.begin(), collection.reportIds.end(), id) !=
           collection.reportIds.end();
}

std::string ToHex(const std::vector<std::uint8_t>& bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::size_t used = bytes.size();
    while (used > 0 && bytes[used - 1] == 0)
        --used;
    std::string text;
    text.reserve(used * 2);
    for (std::size_t i = 0; i < used; ++i) {
        text += kDigits[bytes[i] >> 4];
        text += kDigits[bytes[i] & 0xF];
    }
    return text;
}

std::optional<std::vector<std::uint8_t>> FromHex(const std::string& text, std::size_t limit) {
    const auto digit = [](char c) -> int {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        return -1;
    };
    if (text.size() % 2 != 0 || text.size() / 2 > limit)
        return std::nullopt;
    std::vector<std::uint8_t> bytes(text.size() / 2);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const int high = digit(text[2 * i]);
        const int low = digit(text[2 * i + 1]);
        if (high < 0 || low < 0)
            return std::nullopt;
        bytes[i] = static_cast<std::uint8_t>(high << 4 | low);
    }
    return bytes;
}

// Host-driven frames are a live stream; the device does not keep them across power cycles.
bool IsPersistent(Area area) {
    return area != Area::LightFrame;
}

}  // namespace

class SimConnection;

struct BusCore {
    explicit BusCore(const SimBusOptions& options);

    void DeliverLocked(Link link, std::uint16_t interfaceNumber,
                       std::span<const std::uint8_t> report, Clock::time_point ready);
    void UnplugLocked(Link link);
    Report AnswerLocked(Link link, const Report& request);
    IoResult CommandLocked(Link link, const Report& request, std::unique_lock<std::mutex>& lock);
    bool SaveState();
    bool LoadState();
    void ResetAll();

    const std::chrono::microseconds latency;
    const std::string stateFile;
    std::array<std::unique_ptr<VirtualFirmware>, kAllProducts.size()> firmware;

    mutable std::mutex mutex;  // everything below
    std::array<LinkState, kAllLinks.size()> links;
    std::array<bool, kAllProducts.size()> reachable{};
    std::vector<SimConnection*> connections;
    std::deque<std::pair<Link, Report>> log;

    std::mutex saveMutex;  // one writer of the state file at a time
};

class SimConnection final : public hid::IHidConnection {
public:
    SimConnection(std::shared_ptr<BusCore> core, Link link, hid::InterfaceInfo info, bool write,
                  std::uint64_t generation)
        : core_(std::move(core)),
          link_(link),
          info_(std::move(info)),
          write_(write),
          generation_(generation) {}

    ~SimConnection() override {
        const std::shared_ptr<BusCore> core = core_;
        std::unique_lock lock(core->mutex);
        closing_ = true;
        ++cancelGeneration_;
        cv_.notify_all();
        // Calls in progress return promptly once cancelled; none may be left inside.
        cv_.wait(lock, [this] { return inside_ == 0; });
        std::erase(core->connections, this);
    }

    const hid::InterfaceInfo& Info() const override { return info_; }

    IoResult Read(std::span<std::uint8_t> buffer, std::size_t& transferred,
                  std::uint32_t timeoutMs) override {
        transferred = 0;
        const std::shared_ptr<BusCore> core = core_;
        std::unique_lock lock(core->mutex);
        const Inside inside(*this);
        const std::uint64_t cancel = cancelGeneration_;
        std::optional<Clock::time_point> deadline;
        if (timeoutMs != hid::kNoTimeout)
            deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
        while (true) {
            if (cancelGeneration_ != cancel)
                return IoResult::Cancelled;
            const Clock::time_point now = Clock::now();
            if (!queue_.empty() && queue_.front().ready <= now) {
                const Pending& next = queue_.front();
                transferred = std::min(next.size, buffer.size());
                std::copy_n(next.bytes.begin(), transferred, buffer.begin());
                queue_.pop_front();
                return IoResult::Ok;
            }
            // Reports that arrived before an unplug are still handed out, as the OS does.
            if (queue_.empty() && DeadLocked())
                return IoResult::Failed;
            if (deadline && now >= *deadline)
                return IoResult::Timeout;
            std::optional<Clock::time_point> wake = deadline;
            if (!queue_.empty() && (!wake || queue_.front().ready < *wake))
                wake = queue_.front().ready;
            if (wake)
                cv_.wait_until(lock, *wake);
            else
                cv_.wait(lock);
        }
    }

    IoResult Write(std::span<const std::uint8_t> report, std::size_t& transferred,
                   std::uint32_t timeoutMs) override {
        transferred = 0;
        const std::shared_ptr<BusCore> core = core_;
        std::unique_lock lock(core->mutex);
        const Inside inside(*this);
        const std::uint64_t cancel = cancelGeneration_;
        if (!write_ || DeadLocked())
            return IoResult::Failed;
        if (report.empty() || report.size() != OutputReportLength(info_.collection, report[0]))
            return IoResult::Failed;
        if (core->latency.count() > 0) {
            const auto limit = std::chrono::milliseconds(timeoutMs);
            const bool timesOut = timeoutMs != hid::kNoTimeout && limit < core->latency;
            const Clock::time_point done =
                Clock::now() + (timesOut
                                    ? std::chrono::duration_cast<std::chrono::microseconds>(limit)
                                    : core->latency);
            cv_.wait_until(lock, done, [&] { return cancelGeneration_ != cancel || DeadLocked(); });
            if (cancelGeneration_ != cancel)
                return IoResult::Cancelled;
            if (DeadLocked())
                return IoResult::Failed;
            if (timesOut)
                return IoResult::Timeout;
        }
        ++core->links[Index(link_)].traffic.toDevice;
        if (report[0] != kCommandReportId) {
            // Other output reports (keyboard LEDs, the headset's LED registers) are the
            // product's business and get no answer.
            core->firmware[Index(ProductOf(link_))]->HandleOutputReport(report);
            transferred = report.size();
            return IoResult::Ok;
        }
        Report request{};
        std::copy(report.begin(), report.end(), request.begin());
        const IoResult result = core->CommandLocked(link_, request, lock);
        if (result == IoResult::Ok)
            transferred = report.size();
        return result;
    }

    void CancelPending() override {
        std::lock_guard lock(core_->mutex);
        ++cancelGeneration_;
        cv_.notify_all();
    }

    // The rest is called with the core mutex held.
    bool Accepts(Link link, std::uint16_t interfaceNumber, std::uint8_t reportId) const {
        return link == link_ && interfaceNumber == info_.interfaceNumber &&
               OwnsReportId(info_.collection, reportId) && !DeadLocked();
    }
    void Push(std::span<const std::uint8_t> report, Clock::time_point ready) {
        if (queue_.size() >= kQueueLimit)
            queue_.pop_front();
        Pending pending;
        pending.ready = ready;
        pending.size = std::min(report.size(), pending.bytes.size());
        std::copy_n(report.begin(), pending.size, pending.bytes.begin());
        queue_.push_back(pending);
        cv_.notify_all();
    }
    void Wake() { cv_.notify_all(); }
    Link link() const { return link_; }

private:
    // Counts a call in progress; leaves with the core mutex held.
    class Inside {
    public:
        explicit Inside(SimConnection& c) : c_(c) { ++c_.inside_; }
        ~Inside() {
            if (--c_.inside_ == 0)
                c_.cv_.notify_all();
        }
        Inside(const Inside&) = delete;
        Inside& operator=(const Inside&) = delete;

    private:
        SimConnection& c_;
    };

    bool DeadLocked() const {
        const LinkState& state = core_->links[Index(link_)];
        return closing_ || !state.plugged || state.generation != generation_;
    }

    const std::shared_ptr<BusCore> core_;
    const Link link_;
    const hid::InterfaceInfo info_;
    const bool write_;
    const std::uint64_t generation_;

    // Guarded by the core mutex.
    std::deque<Pending> queue_;
    std::condition_variable cv_;
    std::uint64_t cancelGeneration_ = 0;
    int inside_ = 0;
    bool closing_ = false;
};

BusCore::BusCore(const SimBusOptions& options)
    : latency(std::max(options.latency, std::chrono::microseconds{0})),
      stateFile(options.stateFile) {
    for (Product product : kAllProducts) {
        firmware[Index(product)] = MakeFirmware(product);
        reachable[Index(product)] = true;
    }
    for (Link link : kAllLinks)
        links[Index(link)].interfaces = DescribeLink(link);
    for (Link link : options.plugged)
        links[Index(link)].plugged = true;
}

void BusCore::DeliverLocked(Link link, std::uint16_t interfaceNumber,
                            std::span<const std::uint8_t> report, Clock::time_point ready) {
    ++links[Index(link)].traffic.toHost;
    for (SimConnection* connection : connections) {
        if (connection->Accepts(link, interfaceNumber, report[0]))
            connection->Push(report, ready);
    }
}

void BusCore::UnplugLocked(Link link) {
    LinkState& state = links[Index(link)];
    if (!state.plugged)
        return;
    state.plugged = false;
    ++state.generation;
    state.unplugAfter = 0;
    for (SimConnection* connection : connections) {
        if (connection->link() == link)
            connection->Wake();
    }
}

Report BusCore::AnswerLocked(Link link, const Report& request) {
    const Product product = ProductOf(link);
    if (IsReceiver(link) && !reachable[Index(product)]) {
        // The receiver answers for its absent device.
        if (!HasValidChecksum(request))
            return MakeAnswer(request, kStatusBadChecksum);
        Report answer = MakeAnswer(request, kStatusOk);
        if (request[3] != cmd::kQueryWireless)
            answer[3] = cmd::kQueryWireless;
        SealReport(answer);  // byte 8 stays 0: not reachable
        return answer;
    }
    return firmware[Index(product)]->HandleCommand(request);
}

IoResult BusCore::CommandLocked(Link link, const Report& request,
                                std::unique_lock<std::mutex>& lock) {
    LinkState& state = links[Index(link)];
    std::optional<Fault> fault;
    if (!state.faults.empty()) {
        fault = state.faults.front().first;
        if (--state.faults.front().second <= 0)
            state.faults.pop_front();
    }
    if (fault == Fault::WriteFailure)
        return IoResult::Failed;

    log.emplace_back(link, request);
    if (log.size() > SimBus::kReportLogLimit)
        log.pop_front();
    if (fault == Fault::UnplugBeforeAnswer) {
        UnplugLocked(link);
        return IoResult::Ok;
    }

    const Product product = ProductOf(link);
    Report answer;
    std::vector<std::uint16_t> events;
    bool stored = false;
    if (fault == Fault::StatusFF || fault == Fault::StatusFE) {
        answer = MakeAnswer(request, fault == Fault::StatusFF ? kStatusFailed : kStatusBadChecksum);
    } else {
        answer = AnswerLocked(link, request);
        events = firmware[Index(product)]->TakeEvents();
        stored = request[3] == cmd::kEnd && answer[3] == cmd::kEnd && answer[7] == kStatusOk;
    }

    const Clock::time_point ready = Clock::now() + latency;
    const std::uint16_t interfaceNumber = ConfigInterfaceOf(product);
    if (fault == Fault::StrayAnswerFirst) {
        Report stray{};
        stray[0] = kCommandReportId;
        stray[3] = OtherCommand(request[3]);
        SealReport(stray);
        DeliverLocked(link, interfaceNumber, stray, ready);
    }
    if (fault == Fault::WrongEcho) {
        answer[3] = OtherCommand(request[3]);
        SealReport(answer);
    }
    if (fault != Fault::NoAnswer)
        DeliverLocked(link, interfaceNumber, answer, ready);

    const std::uint8_t eventId = EventReportIdOf(product);
    for (std::uint16_t word : events) {
        const std::array<std::uint8_t, 3> report{eventId, static_cast<std::uint8_t>(word & 0xFF),
                                                 static_cast<std::uint8_t>(word >> 8)};
        DeliverLocked(link, interfaceNumber, report, ready);
    }

    if (state.unplugAfter > 0 && --state.unplugAfter == 0)
        UnplugLocked(link);

    if (stored) {
        lock.unlock();
        SaveState();
        lock.lock();
    }
    return IoResult::Ok;
}

bool BusCore::SaveState() {
    if (stateFile.empty())
        return false;
    std::lock_guard save(saveMutex);
    Json::Value root(Json::objectValue);
    for (Product product : kAllProducts) {
        Json::Value& areas = root[std::string(ProductName(product))];
        areas = Json::Value(Json::objectValue);
        for (Area area : kAllAreas) {
            if (IsPersistent(area))
                areas[std::string(AreaName(area))] =
                    ToHex(firmware[Index(product)]->ReadArea(area));
        }
    }
    if (WriteJsonFile(stateFile, root) != 0) {
        DebugLog("sim: cannot write %s\n", stateFile.c_str());
        return false;
    }
    return true;
}

void BusCore::ResetAll() {
    for (const std::unique_ptr<VirtualFirmware>& fw : firmware)
        fw->ResetToFactory();
}

bool BusCore::LoadState() {
    const Json::Value root = stateFile.empty() ? Json::Value() : ReadJsonFile(stateFile);
    if (!root.isObject()) {
        ResetAll();
        return false;
    }
    // Check everything before touching the firmware, so a bad file changes nothing halfway.
    using Contents = std::array<std::optional<std::vector<std::uint8_t>>, kAreaCount>;
    std::array<Contents, kAllProducts.size()> loaded;
    for (Product product : kAllProducts) {
        const std::string productName(ProductName(product));
        if (!root.isMember(productName))
            continue;
        const Json::Value& areas = root[productName];
        if (!areas.isObject()) {
            DebugLog("sim: %s: \"%s\" is not an object\n", stateFile.c_str(), productName.c_str());
            ResetAll();
            return false;
        }
        for (Area area : kAllAreas) {
            const std::string areaName(AreaName(area));
            if (!IsPersistent(area) || !areas.isMember(areaName))
                continue;
            const Json::Value& text = areas[areaName];
            std::optional<std::vector<std::uint8_t>> bytes;
            if (text.isString())
                bytes = FromHex(text.asString(), AreaSize(area));
            if (!bytes) {
                DebugLog("sim: %s: bad %s/%s\n", stateFile.c_str(), productName.c_str(),
                         areaName.c_str());
                ResetAll();
                return false;
            }
            loaded[Index(product)][static_cast<std::size_t>(area)] = std::move(bytes);
        }
    }
    // Areas the file does not name keep their factory contents.
    for (Product product : kAllProducts) {
        VirtualFirmware& fw = *firmware[Index(product)];
        fw.ResetToFactory();
        for (Area area : kAllAreas) {
            const auto& bytes = loaded[Index(product)][static_cast<std::size_t>(area)];
            if (bytes)
                fw.SetArea(area, *bytes);
        }
    }
    return true;
}

}  // namespace detail

using detail::BusCore;
using detail::Index;
using detail::SimConnection;

SimBus::SimBus(SimBusOptions options) : core_(std::make_shared<BusCore>(options)) {
    std::error_code ec;
    if (!options.stateFile.empty() && std::filesystem::exists(options.stateFile, ec))
        core_->LoadState();
}

SimBus::~SimBus() {
    core_->SaveState();
    std::lock_guard lock(core_->mutex);
    for (Link link : kAllLinks)
        core_->UnplugLocked(link);
}

bool SimBus::Enumerate(std::vector<std::string>& paths) {
    paths.clear();
    std::lock_guard lock(core_->mutex);
    for (Link link : kAllLinks) {
        const detail::LinkState& state = core_->links[Index(link)];
        if (!state.plugged)
            continue;
        for (const hid::InterfaceInfo& info : state.interfaces)
            paths.push_back(info.path);
    }
    return true;
}

std::unique_ptr<hid::IHidConnection> SimBus::Open(const std::string& path, bool write,
                                                  std::string* error) {
    std::lock_guard lock(core_->mutex);
    for (Link link : kAllLinks) {
        const detail::LinkState& state = core_->links[Index(link)];
        for (const hid::InterfaceInfo& info : state.interfaces) {
            if (info.path != path || !state.plugged)
                continue;
            auto connection =
                std::make_unique<SimConnection>(core_, link, info, write, state.generation);
            core_->connections.push_back(connection.get());
            return connection;
        }
    }
    if (error)
        *error = "device not present";
    return nullptr;
}

void SimBus::Plug(Link link) {
    std::lock_guard lock(core_->mutex);
    core_->links[Index(link)].plugged = true;
}

void SimBus::Unplug(Link link) {
    std::lock_guard lock(core_->mutex);
    core_->UnplugLocked(link);
}

bool SimBus::IsPlugged(Link link) const {
    std::lock_guard lock(core_->mutex);
    return core_->links[Index(link)].plugged;
}

void SimBus::SetReachable(Product product, bool reachable) {
    std::lock_guard lock(core_->mutex);
    core_->reachable[Index(product)] = reachable;
}

bool SimBus::IsReachable(Product product) const {
    std::lock_guard lock(core_->mutex);
    return core_->reachable[Index(product)];
}

VirtualFirmware& SimBus::Firmware(Product product) {
    return *core_->firmware[Index(product)];
}

void SimBus::SetStatusBlock(Product product, std::span<const std::uint8_t, 6> status) {
    Firmware(product).WriteArea(Area::Status, 0, status);
}

bool SimBus::SendEvent(Link link, std::uint16_t word) {
    const Product product = ProductOf(link);
    std::lock_guard lock(core_->mutex);
    if (!core_->links[Index(link)].plugged ||
        (IsReceiver(link) && !core_->reachable[Index(product)])) {
        return false;
    }
    const std::array<std::uint8_t, 3> report{EventReportIdOf(product),
                                             static_cast<std::uint8_t>(word & 0xFF),
                                             static_cast<std::uint8_t>(word >> 8)};
    core_->DeliverLocked(link, ConfigInterfaceOf(product), report,
                         detail::Clock::now() + core_->latency);
    return true;
}

std::vector<hid::InterfaceInfo> SimBus::Interfaces(Link link) const {
    return core_->links[Index(link)].interfaces;
}

namespace {

std::string FindPath(const std::vector<hid::InterfaceInfo>& interfaces,
                     std::uint16_t interfaceNumber, std::uint8_t reportId) {
    for (const hid::InterfaceInfo& info : interfaces) {
        const auto& ids = info.collection.reportIds;
        if (info.interfaceNumber == interfaceNumber &&
            std::find(ids.begin(), ids.end(), reportId) != ids.end()) {
            return info.path;
        }
    }
    return {};
}

}  // namespace

std::string SimBus::CommandPath(Link link) const {
    return FindPath(core_->links[Index(link)].interfaces, ConfigInterfaceOf(ProductOf(link)),
                    kCommandReportId);
}

std::string SimBus::EventPath(Link link) const {
    const Product product = ProductOf(link);
    return FindPath(core_->links[Index(link)].interfaces, ConfigInterfaceOf(product),
                    EventReportIdOf(product));
}

std::vector<Report> SimBus::ReceivedReports(Link link) const {
    std::lock_guard lock(core_->mutex);
    std::vector<Report> reports;
    for (const auto& [from, report] : core_->log) {
        if (from == link)
            reports.push_back(report);
    }
    return reports;
}

std::vector<Report> SimBus::ReceivedReports(Product product) const {
    std::lock_guard lock(core_->mutex);
    std::vector<Report> reports;
    for (const auto& [from, report] : core_->log) {
        if (ProductOf(from) == product)
            reports.push_back(report);
    }
    return reports;
}

SimBus::Traffic SimBus::LinkTraffic(Link link) const {
    std::lock_guard lock(core_->mutex);
    return core_->links[Index(link)].traffic;
}

void SimBus::ClearLog() {
    std::lock_guard lock(core_->mutex);
    core_->log.clear();
}

bool SimBus::SaveState() {
    return core_->SaveState();
}

bool SimBus::LoadState() {
    return core_->LoadState();
}

void SimBus::InjectFault(Link link, Fault fault, int times) {
    if (times <= 0)
        return;
    std::lock_guard lock(core_->mutex);
    core_->links[Index(link)].faults.emplace_back(fault, times);
}

void SimBus::UnplugAfterReports(Link link, int n) {
    std::lock_guard lock(core_->mutex);
    if (n <= 0)
        core_->UnplugLocked(link);
    else
        core_->links[Index(link)].unplugAfter = n;
}

void SimBus::ClearFaults(Link link) {
    std::lock_guard lock(core_->mutex);
    core_->links[Index(link)].faults.clear();
    core_->links[Index(link)].unplugAfter = 0;
}

}  // namespace morva::sim
