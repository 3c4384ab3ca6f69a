#include "sim/firmware.h"

#include <algorithm>
#include <utility>

namespace morva::sim {

namespace {

struct AreaCommand {
    std::uint8_t code;
    Area area;
};

constexpr AreaCommand kReads[] = {
    {cmd::kReadInfo, Area::Info},
    {cmd::kReadSetting, Area::Setting},
    {cmd::kReadFactoryKeyTable, Area::DefaultKeyTable},
    {cmd::kReadStatus, Area::Status},
    {cmd::kReadLightIndex, Area::LightIndex},
};

constexpr AreaCommand kWrites[] = {
    {cmd::kWriteSetting, Area::Setting},       {cmd::kWriteKeyTable, Area::KeyTable},
    {cmd::kWriteFnKeyTable, Area::FnKeyTable}, {cmd::kWriteLightColours, Area::Colours},
    {cmd::kWriteLightFrame, Area::LightFrame}, {cmd::kWriteMacro, Area::Macro},
    {cmd::kWriteShoot, Area::Shoot},
};

const AreaCommand* Find(std::span<const AreaCommand> table, std::uint8_t code) {
    for (const AreaCommand& entry : table) {
        if (entry.code == code)
            return &entry;
    }
    return nullptr;
}

bool Fits(std::size_t offset, std::size_t length, std::size_t size) {
    return offset <= size && length <= size - offset;
}

}  // namespace

std::uint16_t ReportChecksum(const Report& report) {
    unsigned sum = 0;
    for (std::size_t i = 3; i < report.size(); ++i)
        sum += report[i];
    return static_cast<std::uint16_t>(sum);
}

bool HasValidChecksum(const Report& report) {
    const unsigned stored = report[1] | (unsigned{report[2]} << 8);
    return stored == ReportChecksum(report);
}

void SealReport(Report& report) {
    const std::uint16_t sum = ReportChecksum(report);
    report[1] = static_cast<std::uint8_t>(sum & 0xFF);
    report[2] = static_cast<std::uint8_t>(sum >> 8);
}

Report MakeAnswer(const Report& request, std::uint8_t status) {
    Report answer{};
    answer[0] = request[0];
    std::copy(request.begin() + 3, request.begin() + 7, answer.begin() + 3);
    answer[7] = status;
    SealReport(answer);
    return answer;
}

VirtualFirmware::VirtualFirmware(Product product) : product_(product), areas_(kAreaCount) {
    for (Area area : kAllAreas)
        Memory(area).assign(AreaSize(area), 0);
}

VirtualFirmware::~VirtualFirmware() = default;

Report VirtualFirmware::HandleCommand(const Report& request) {
    std::lock_guard lock(mutex_);
    return HandleLocked(request);
}

Report VirtualFirmware::HandleLocked(const Report& request) {
    if (!HasValidChecksum(request))
        return MakeAnswer(request, kStatusBadChecksum);

    const std::uint8_t code = request[3];
    const std::size_t length = request[4];
    const std::size_t address = request[5] | (std::size_t{request[6]} << 8);
    Report answer = MakeAnswer(request, kStatusOk);

    if (const AreaCommand* read = Find(kReads, code)) {
        const std::vector<std::uint8_t>& area = Memory(read->area);
        if (length > kMaxPayload || !Fits(address, length, area.size()))
            return MakeAnswer(request, kStatusFailed);
        std::copy_n(area.begin() + static_cast<std::ptrdiff_t>(address), length,
                    answer.begin() + 8);
    } else if (const AreaCommand* write = Find(kWrites, code)) {
        std::vector<std::uint8_t>& area = Memory(write->area);
        if (length > kMaxPayload || !Fits(address, length, area.size()))
            return MakeAnswer(request, kStatusFailed);
        std::copy_n(request.begin() + 8, length,
                    area.begin() + static_cast<std::ptrdiff_t>(address));
        AfterWrite(write->area, address, length);
    } else {
        switch (code) {
            case cmd::kBegin:
                OnBegin();
                break;
            case cmd::kEnd:
                OnEnd();
                break;
            case cmd::kLightControl:
                OnLightControl();
                break;
            case cmd::kQueryWireless:
                // Answered by the device itself, so it is within reach.
                answer[8] = 0xFF;
                break;
            default:
                if (!HandleOther(request, answer))
                    return MakeAnswer(request, kStatusFailed);
                break;
        }
    }
    SealReport(answer);
    return answer;
}

std::vector<std::uint8_t> VirtualFirmware::ReadArea(Area area) const {
    std::lock_guard lock(mutex_);
    return areas_[static_cast<std::size_t>(area)];
}

std::vector<std::uint8_t> VirtualFirmware::ReadArea(Area area, std::size_t offset,
                                                    std::size_t length) const {
    std::lock_guard lock(mutex_);
    const std::vector<std::uint8_t>& bytes = areas_[static_cast<std::size_t>(area)];
    if (offset >= bytes.size())
        return {};
    length = std::min(length, bytes.size() - offset);
    const auto first = bytes.begin() + static_cast<std::ptrdiff_t>(offset);
    return {first, first + static_cast<std::ptrdiff_t>(length)};
}

bool VirtualFirmware::WriteArea(Area area, std::size_t offset,
                                std::span<const std::uint8_t> bytes) {
    std::lock_guard lock(mutex_);
    std::vector<std::uint8_t>& memory = Memory(area);
    if (!Fits(offset, bytes.size(), memory.size()))
        return false;
    std::copy(bytes.begin(), bytes.end(), memory.begin() + static_cast<std::ptrdiff_t>(offset));
    return true;
}

bool VirtualFirmware::SetArea(Area area, std::span<const std::uint8_t> bytes) {
    std::lock_guard lock(mutex_);
    std::vector<std::uint8_t>& memory = Memory(area);
    if (bytes.size() > memory.size())
        return false;
    std::fill(std::copy(bytes.begin(), bytes.end(), memory.begin()), memory.end(), 0);
    return true;
}

void VirtualFirmware::ResetToFactory() {
    std::lock_guard lock(mutex_);
    for (std::vector<std::uint8_t>& area : areas_)
        std::fill(area.begin(), area.end(), 0);
    events_.clear();
    leds_ = {};
    FillFactory();
    Memory(Area::KeyTable) = Memory(Area::DefaultKeyTable);
}

void VirtualFirmware::HandleOutputReport(std::span<const std::uint8_t> report) {
    std::lock_guard lock(mutex_);
    OnOutputReport(report);
}

LedRow VirtualFirmware::Leds(std::uint8_t group) const {
    std::lock_guard lock(mutex_);
    for (const auto& [id, row] : leds_.groups) {
        if (id == group)
            return row;
    }
    return {};
}

std::size_t VirtualFirmware::LedReportCount() const {
    std::lock_guard lock(mutex_);
    return leds_.reports;
}

std::size_t VirtualFirmware::IgnoredLedReportCount() const {
    std::lock_guard lock(mutex_);
    return leds_.ignored;
}

std::vector<std::uint16_t> VirtualFirmware::TakeEvents() {
    std::lock_guard lock(mutex_);
    return std::exchange(events_, {});
}

}  // namespace morva::sim
