// Music-reactive lighting: the capture helper runs beside the program, sends spectrum blocks
// while some device's light mode follows the music, and its bands reach every device's music
// mode; the lighting panels say when the music has no audio to follow.
#pragma once

#include <QTimer>

#include <functional>

#include "app/audio_capture_link.h"
#include "device/models/music_bands.h"

namespace morva::app {

class CDeviceManager;

class CMusicLighting {
public:
    // `tellFailure` is asked once, on the UI thread, when the helper cannot be started.
    CMusicLighting(CDeviceManager& devices, std::function<void()> tellFailure,
                   QString helper = CaptureHelperPath(), QStringList arguments = {});

    void Start();
    void Stop();
    // Asks for blocks only while some device follows the music; the panels show whether the
    // music has audio. Cheap: run after every user action and once a second.
    void Refresh();

    // The music style's colour (levels 0..9); a green of 0 goes as 1.
    void SendStyleColour(int red, int green, int blue);
    // Commands 6, 7, 8 from the colour sliders.
    bool SendChannel(capture::Command channel, int level);

    bool Listening() const { return listening_; }
    CAudioCaptureLink& Link() { return link_; }
    const CMusicBands& Bands() const { return bands_; }
    int SpectraDelivered() const { return delivered_; }

private:
    void OnSamples(const capture::Samples& block);
    void OnLevels(const capture::Levels& levels);

    CDeviceManager& devices_;
    CAudioCaptureLink link_;
    CMusicBands bands_;
    QTimer refresh_;
    bool listening_ = false;
    int delivered_ = 0;
};

}  // namespace morva::app
