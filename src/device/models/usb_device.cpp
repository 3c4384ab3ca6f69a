#include "device/models/usb_device.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "base/debug_log.h"
#include "device/device_folders.h"
#include "profile/json_file.h"

namespace morva {
namespace {

// Ticks of 2 ms between two effect steps, by speed.
constexpr std::array<int, 5> kLightThreshold = {28, 23, 18, 13, 7};
constexpr std::chrono::milliseconds kLightTick{2};
constexpr std::chrono::milliseconds kIdleWait{100};
// A reader whose interface fails waits this long before trying again.
constexpr std::chrono::milliseconds kReaderRetry{100};

}  // namespace

CTessaronUSBDevice::CTessaronUSBDevice(hid::IHidBackend& backend, IClock& clock)
    : clock_(clock),
      commandChannel_(backend),
      readers_{std::make_unique<EventReader>(backend), std::make_unique<EventReader>(backend)},
      engine_([&clock] { return clock.NowMs(); }) {}

CTessaronUSBDevice::~CTessaronUSBDevice() {
    StopThreads();
}

void CTessaronUSBDevice::StopThreads() {
    StopLightThread();
    CloseEventLink(EventLink::Cable);
    CloseEventLink(EventLink::Receiver);
}

std::array<std::uint8_t, kInfoBlockSize> CTessaronUSBDevice::Info() const {
    std::lock_guard lock(infoLock_);
    return info_;
}

void CTessaronUSBDevice::SetInfo(const std::array<std::uint8_t, kInfoBlockSize>& info) {
    std::lock_guard lock(infoLock_);
    info_ = info;
}

void CTessaronUSBDevice::SetDataRoots(const std::string& localAppData,
                                      const std::string& resourceFolder) {
    localAppData_ = localAppData;
    resourceFolder_ = resourceFolder;
}

std::string CTessaronUSBDevice::GetUserDataFolder() const {
    return morva::GetUserDataFolder(LocalAppDataFolder(localAppData_), modelName_);
}

std::string CTessaronUSBDevice::GetDefaultDataFolder() const {
    return morva::GetDefaultDataFolder(resourceFolder_);
}

std::string CTessaronUSBDevice::GetDefaultProfilePath() const {
    return morva::GetDefaultProfilePath(resourceFolder_, modelName_);
}

std::string CTessaronUSBDevice::ProfileFilePath() const {
    return FileInFolder(GetUserDataFolder(), profileName_, ".Json");
}

void CTessaronUSBDevice::ApplyTypeRow(int typeRow) {
    if (typeRow < 0 || typeRow >= static_cast<int>(DeviceTypes().size()))
        return;
    const DeviceTypeInfo& type = DeviceTypes()[static_cast<std::size_t>(typeRow)];
    const DevicePageInfo& page = DevicePages()[static_cast<std::size_t>(typeRow)];
    SetModelName(std::string(type.typeName));
    SetDeviceKind(type.kind);
    SetKeyCount(page.keyCount);
    SetLedCount(page.ledCount);
    SetTypeRow(typeRow);
    SetPowerPanelShown(page.powerPanel);
    SetLogoLed(page.logoLed);
    SetLightConfigName(std::string(page.lightConfigName));
}

void CTessaronUSBDevice::SetSlotRecord(const SupportedInterface& record) {
    record_ = record;
    deviceType_ = record.deviceType;
    role_ = record.role;
    frameRate_.SetDeviceType(deviceType_);
}

void CTessaronUSBDevice::SetKeyCount(int count) {
    keyCount_ = std::max(count, 0);
}

void CTessaronUSBDevice::SetLedCount(int count) {
    count = std::max(count, 0);
    if (count == engine_.LedCount())
        return;
    engine_.SetLedCount(count);
    std::lock_guard lock(ledListLock_);
    ledLightList_.assign(static_cast<std::size_t>(count), LightInfo{});
}

void CTessaronUSBDevice::SetExternalLightControl(bool on) {
    hostLighting_ = on;
    if (on && deviceType_ == kDeviceTypeKeyboard && commandChannel_.IsOpen())
        CmdLightControl(commandChannel_);
}

void CTessaronUSBDevice::SetLightInfo(const LightInfo& info) {
    lightState_ = info;
    engine_.SetLight(PreviewLight{info.selectItem, info.light, info.speed, info.fx, info.multiColor,
                                  info.red, info.green, info.blue});
}

bool CTessaronUSBDevice::PresentLightFrame() {
    if (!hostLighting_)
        return false;
    std::vector<std::uint8_t> frame = engine_.FrameBytes();
    frame.resize(static_cast<std::size_t>(3 * engine_.LedCount()));
    SendLightFrame(frame);
    return true;
}

void CTessaronUSBDevice::SendLightFrame(std::span<const std::uint8_t> frame) {
    if (commandChannel_.ViaReceiver() || !commandChannel_.IsOpen() || frame.empty())
        return;
    // The frame stream only writes what changed (and refreshes now and then); after a failed
    // send the device is left alone for a while instead of blocking the UI thread.
    const IClock::TimePoint now = clock_.Now();
    if (now < quietUntil_)
        return;
    const bool same = std::equal(frame.begin(), frame.end(), lastFrame_.begin(), lastFrame_.end());
    if (same && !StreamsFrames() && now - lastSent_ < kFrameRefresh)
        return;
    if (CmdWriteLightFrame(commandChannel_, frame.data(), frame.size()) != 1) {
        quietUntil_ = now + kFrameBackoff;
        lastFrame_.clear();
        return;
    }
    lastFrame_.assign(frame.begin(), frame.end());
    lastSent_ = now;
    frameRate_.Sent(now, clock_.Now());
}

void CTessaronUSBDevice::OnEventWord(std::uint16_t word, EventLink /*link*/) {
    if (word == kEventActiveProfile) {
        DebugLog("接收到自动添加设备的同步信息要求\n");
        if (host_ != nullptr)
            host_->StartEntryTimer(kEntryTimerActiveProfile, ActiveProfileTimerMs());
    }
}

int CTessaronUSBDevice::ActiveProfileTimerMs() const {
    return kind_ == kKindMouse || kind_ == kKindKeyboard ? 50 : 500;
}

bool CTessaronUSBDevice::WaitFor(std::stop_token stop, std::chrono::milliseconds time) {
    return SteadyClock().WaitFor(std::move(stop), time);
}

// ---- Event links ----

bool CTessaronUSBDevice::OpenEventLink(EventLink link, const std::string& path) {
    CloseEventLink(link);
    EventReader& reader = Reader(link);
    std::size_t length = 0;
    {
        std::lock_guard lock(reader.lock);
        reader.open = reader.iface.Open(path, true, true);
        if (!reader.open)
            return false;
        length = std::max<std::size_t>(reader.iface.InputReportLength(), 64);
    }
    reader.thread = std::jthread([this, &reader, link, length](std::stop_token stop) {
        ReaderLoop(stop, reader, link, length);
    });
    return true;
}

void CTessaronUSBDevice::CloseEventLink(EventLink link) {
    EventReader& reader = Reader(link);
    if (reader.thread.joinable()) {
        reader.thread.request_stop();
        // Closing cancels the read that waits without a time limit.
        reader.iface.Close();
        reader.thread.join();
    }
    std::lock_guard lock(reader.lock);
    reader.open = false;
    reader.iface.Close();
}

bool CTessaronUSBDevice::IsEventLinkOpen(EventLink link) const {
    const EventReader& reader = Reader(link);
    std::lock_guard lock(reader.lock);
    return reader.open;
}

void CTessaronUSBDevice::ReaderLoop(std::stop_token stop, EventReader& reader, EventLink link,
                                    std::size_t reportLength) {
    std::vector<std::uint8_t> buffer(reportLength);
    while (!stop.stop_requested()) {
        std::uint32_t got = 0;
        if (reader.iface.ReadReport(buffer.data(), static_cast<std::uint32_t>(buffer.size()), &got,
                                    hid::kNoTimeout) != 1) {
            if (!clock_.WaitFor(stop, kReaderRetry))
                break;
            continue;
        }
        if (!reader.iface.UnpackInputReport(buffer.data(), got))
            continue;
        const std::uint16_t word = reader.iface.FirstActiveUsage();
        DebugLog("接收到自动添加设备的同步信息要求  TEST\n");
        OnEventWord(word, link);
    }
    DebugLog("MS 设备同步线程设定退出\n");
}

// ---- Light thread ----

void CTessaronUSBDevice::StartLightThread() {
    StopLightThread();
    lightThread_ = std::jthread([this](std::stop_token stop) { LightLoop(stop); });
}

void CTessaronUSBDevice::StopLightThread() {
    if (lightThread_.joinable()) {
        lightThread_.request_stop();
        lightThread_.join();
    }
}

std::chrono::milliseconds CTessaronUSBDevice::LightStepPeriod() const {
    const PreviewLight light = engine_.Light();
    if (LightModeStep(light.mode) == nullptr)
        return std::chrono::milliseconds(0);
    const int ticks = LightStepTicks(light.mode, std::min<int>(light.speed, 4));
    // A mode stepped at every pass still waits a little, so the loop never spins.
    return ticks > 0 ? kLightTick * ticks : std::chrono::milliseconds(1);
}

bool CTessaronUSBDevice::PaintSynchronised(std::uint32_t packed) {
    std::lock_guard lock(paintLock_);
    if (!TakesPartInSync())
        return false;
    for (int i = 0; i < LedCount(); ++i)
        SetLedColour(i, packed);
    return true;
}

std::chrono::milliseconds CTessaronUSBDevice::PlayCustomEffects() {
    return effectPlayer_.Pass(engine_, clock_.Now(), engine_.Light().speed);
}

int CTessaronUSBDevice::LightStepTicks(int /*mode*/, int speed) const {
    return kLightThreshold[static_cast<std::size_t>(std::clamp(speed, 0, 4))];
}

void CTessaronUSBDevice::LightLoop(std::stop_token stop) {
    while (!stop.stop_requested()) {
        // The main window paints colours it receives while the external override is on; a
        // preview nobody can see and the device does not take waits too.
        if (!commandChannel_.IsOpen() || commandChannel_.externalColour ||
            (!pageShown_ && !FramesGoToDevice())) {
            if (!clock_.WaitFor(stop, kIdleWait))
                break;
            continue;
        }
        const PreviewLight light = engine_.Light();
        const EffectStep step = LightModeStep(light.mode);
        if (step == nullptr) {
            std::chrono::milliseconds wait = kIdleWait;
            {
                std::lock_guard lock(paintLock_);
                if (!commandChannel_.externalColour) {
                    wait = PlayCustomEffects();
                    AfterLightPass();
                }
            }
            if (!clock_.WaitFor(stop, wait))
                break;
            continue;
        }
        if (!clock_.WaitFor(stop, LightStepPeriod()))
            break;
        // The synchronised lighting may have taken the LEDs over during the wait.
        std::lock_guard lock(paintLock_);
        if (commandChannel_.externalColour)
            continue;
        (this->*step)();
        AfterLightPass();
    }
    DebugLog("light thread: exit\n");
}

void CTessaronUSBDevice::OnAudioSpectrum(const std::uint8_t* bytes100, int count) {
    const int bars = std::min(MusicBarCount(engine_.Light().mode), 170);
    if (bars <= 0 || bytes100 == nullptr)
        return;
    const int bands = std::clamp(count, 0, 25);
    // A band value of 500 (a loud change) lights a bar fully; each bar takes the loudest of
    // its share of the 25 bands.
    constexpr std::int64_t kFullBar = 500;
    std::array<std::uint8_t, 170> levels{};
    for (int b = 0; b < bars; ++b) {
        const int first = b * 25 / bars;
        const int last = std::max(first + 1, (b + 1) * 25 / bars);
        std::int64_t loudest = 0;
        for (int j = first; j < last && j < bands; ++j) {
            std::int32_t v = 0;
            std::memcpy(&v, bytes100 + 4 * j, 4);
            loudest = std::max<std::int64_t>(loudest, v);
        }
        levels[static_cast<std::size_t>(b)] =
            static_cast<std::uint8_t>(std::clamp<std::int64_t>(loudest * 255 / kFullBar, 0, 255));
    }
    engine_.RaiseMusicLevels(std::span(levels.data(), static_cast<std::size_t>(bars)));
}

}  // namespace morva
