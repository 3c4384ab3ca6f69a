#include "device/models/headset_device.h"

#include <algorithm>

namespace morva {
namespace {

// Mode 7's bars: LEDs 1..12 mirrored round the band's middle, LED 0 left alone as on the pad.
// The headset has no LED 13 or 14, so it has six bars where the pad has seven.
constexpr std::array<LedPair, 6> kHeadsetPairs = {
    {{1, 12}, {2, 11}, {3, 10}, {4, 9}, {5, 8}, {6, 7}}};

constexpr std::uint8_t kGroups[] = {0x22, 0x44};
// Registers of LEDs 0..6 and 7..12 for red, green, blue.
constexpr std::uint8_t kRegisters[3][2] = {{0xAA, 0xAD}, {0xAB, 0xAE}, {0xAC, 0xAF}};
constexpr int kFirstHalf = 7;

}  // namespace

const std::array<EqBands, kEqPresetCount>& EqPresets() {
    static constexpr std::array<EqBands, kEqPresetCount> kPresets = {{
        {7, 11, 2, -3, -1, 4, 9, 12, 9, 5},
        {7, 11, 6, -3, -11, -1, 6, 13, 6, 13},
        {10, 4, 0, -3, -4, -3, -2, -1, 0, 0},
        {2, 1, -2, -3, -5, -7, 0, 4, 9, 8},
        {0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
        {7, 14, -13, -6, -1, 8, 13, 7, 2, 6},
        {14, 10, 4, 0, -4, -3, -1, 1, 2, 3},
        {2, 1, -2, -3, -5, -1, 7, 11, 15, 13},
        {8, 2, -4, -8, 1, 3, 8, 11, 14, 16},
        {-3, 4, 10, 0, -11, 3, 9, 13, 6, 0},
        {18, 14, 8, 2, -3, -6, -1, 2, 5, 6},
        {2, 1, -2, -4, -8, 4, 12, 16, 18, 15},
    }};
    return kPresets;
}

std::array<LedReport, 12> BuildLedReports(const LedFrame& rgb) {
    std::array<LedReport, 12> reports{};
    std::size_t n = 0;
    for (int channel = 0; channel < 3; ++channel) {
        for (std::uint8_t group : kGroups) {
            for (int half = 0; half < 2; ++half) {
                LedReport& r = reports[n++];
                r[0] = kLedReportId;
                r[1] = group;
                r[2] = kRegisters[channel][half];
                const int first = half == 0 ? 0 : kFirstHalf;
                const int last = half == 0 ? kFirstHalf : kHeadsetLeds;
                for (int led = first; led < last; ++led)
                    r[static_cast<std::size_t>(4 + led - first)] =
                        rgb[static_cast<std::size_t>(led)][static_cast<std::size_t>(channel)];
            }
        }
    }
    return reports;
}

CTessaronVU6533Device::CTessaronVU6533Device(hid::IHidBackend& backend, IClock& clock)
    : CLitAccessoryDevice(backend, clock, std::make_unique<CVu6533Profiledata>(),
                          kDeviceTypeHeadset, kKindHeadset) {}

CTessaronVU6533Device::~CTessaronVU6533Device() {
    StopThreads();
    sender_.request_stop();
    sendWake_.notify_all();
    if (sender_.joinable())
        sender_.join();
    if (bridge_)
        bridge_->Close();
}

void CTessaronVU6533Device::ReadFromDevice() {
    LoadProfile();
    if (audioReady_)
        ReadSoundState();
    RefreshPage();
    StartLightThread();
}

std::span<const LedPair> CTessaronVU6533Device::MusicPairs() const {
    return kHeadsetPairs;
}

bool CTessaronVU6533Device::PresentLightFrame() {
    if (!HostLighting())
        return false;
    CDeviceChannel& channel = CommandChannel();
    if (channel.ViaReceiver() || !channel.IsOpen())
        return true;
    LedFrame rgb{};
    for (int i = 0; i < std::min(LedCount(), kHeadsetLeds); ++i) {
        const LedColour c = LedColour::Unpack(GetLedColour(i));
        const auto scaled = [&](std::uint8_t v) {
            return static_cast<std::uint8_t>(std::min(v * c.alpha / 256, kHeadsetColourMax));
        };
        rgb[static_cast<std::size_t>(i)] = {scaled(c.c0), scaled(c.c1), scaled(c.c2)};
    }
    // An unchanged frame is sent again now and then only, as the other devices' frames are.
    const IClock::TimePoint now = TimeSource().Now();
    if (sentOnce_ && rgb == lastFrame_ && now - lastSentAt_ < kFrameRefresh)
        return true;
    lastFrame_ = rgb;
    lastSentAt_ = now;
    sentOnce_ = true;
    {
        std::lock_guard lock(sendLock_);
        pendingFrame_ = rgb;
        if (!sender_.joinable())
            sender_ = std::jthread([this](std::stop_token stop) { SendLoop(stop); });
    }
    sendWake_.notify_all();
    return true;
}

void CTessaronVU6533Device::SendLoop(std::stop_token stop) {
    std::unique_lock lock(sendLock_);
    while (sendWake_.wait(lock, stop, [&] { return pendingFrame_.has_value(); })) {
        const LedFrame frame = *pendingFrame_;
        pendingFrame_.reset();
        sending_ = true;
        lock.unlock();
        const auto start = std::chrono::steady_clock::now();
        bool whole = true;
        for (const LedReport& report : BuildLedReports(frame)) {
            // A lost report is mended by the next frame.
            if (stop.stop_requested() || CommandChannel().WriteOutputReport(report) != kResultOk) {
                whole = false;
                break;
            }
        }
        if (whole)
            frameRate_.Sent(start, std::chrono::steady_clock::now());
        lock.lock();
        sending_ = false;
        sendWake_.notify_all();
    }
}

bool CTessaronVU6533Device::WaitLedFramesSent(std::chrono::milliseconds limit) {
    std::unique_lock lock(sendLock_);
    return sendWake_.wait_for(lock, limit, [&] { return !pendingFrame_ && !sending_; });
}

void CTessaronVU6533Device::EffectWave() {
    PlayWave({16, 3, 0, 10});
}

}  // namespace morva
