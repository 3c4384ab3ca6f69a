#include "app/music_lighting.h"

#include "app/device_manager.h"
#include "ui/pages/device_page.h"
#include "ui/panels/light_control.h"

namespace morva::app {

CMusicLighting::CMusicLighting(CDeviceManager& devices, std::function<void()> tellFailure,
                               QString helper, QStringList arguments)
    : devices_(devices),
      link_(std::move(helper), std::move(arguments),
            CaptureEvents{
                .onSamples = [this](const capture::Samples& b) { OnSamples(b); },
                .onLevels = [this](const capture::Levels& l) { OnLevels(l); },
                .onStatus = [this](CaptureStatus) { Refresh(); },
                .onFirstFailure = std::move(tellFailure),
            }) {
    refresh_.setInterval(1000);
    QObject::connect(&refresh_, &QTimer::timeout, [this] { Refresh(); });
}

void CMusicLighting::Start() {
    link_.Start();
    refresh_.start();
    Refresh();
}

void CMusicLighting::Stop() {
    refresh_.stop();
    link_.Stop();
}

void CMusicLighting::Refresh() {
    bool anyone = false;
    const bool heard = link_.Status() == CaptureStatus::Running;
    for (ui::CDevicePageUI* page : devices_.AllPages()) {
        const bool follows = page->Model().FollowsMusic();
        anyone = anyone || follows;
        if (ui::CLightControlUI* panel = page->LightPanel())
            panel->ShowMusicWaiting(follows && link_.Status() != CaptureStatus::Stopped && !heard);
    }
    if (anyone != listening_) {
        listening_ = anyone;
        if (!anyone)
            bands_.Reset();
        link_.SetSending(anyone);
    }
}

void CMusicLighting::SendStyleColour(int red, int green, int blue) {
    link_.SendColour(red, green == 0 ? 1 : green, blue);
}

bool CMusicLighting::SendChannel(capture::Command channel, int level) {
    return link_.SendChannel(channel, level);
}

void CMusicLighting::OnSamples(const capture::Samples& block) {
    const std::optional<MusicBandValues> bands = bands_.Process(block);
    if (!bands)
        return;
    const auto bytes = CMusicBands::Bytes(*bands);
    ++delivered_;
    for (ui::CDevicePageUI* page : devices_.AllPages())
        page->Model().OnAudioSpectrum(bytes.data(), kMusicBands);
}

void CMusicLighting::OnLevels(const capture::Levels& levels) {
    const std::array<int, capture::kCaptureLevels> values{levels[0], levels[1], levels[2],
                                                          levels[3], levels[4], levels[5]};
    // Only the keyboards take them (their external colour); the others ignore them.
    for (ui::CDevicePageUI* page : devices_.AllPages())
        page->Model().OnAudioLevels(values.data());
}

}  // namespace morva::app
