// Sound cards coming and going: udev's events of the sound subsystem, for a headset whose
// card appears after (or goes before) its HID interface.
#pragma once

#include <memory>
#include <string>

namespace morva::alsa {

class CSoundCardMonitor {
public:
    // Starts listening; Fd() is -1 (and Reason() says why) where udev events cannot be had.
    CSoundCardMonitor();
    ~CSoundCardMonitor();
    CSoundCardMonitor(const CSoundCardMonitor&) = delete;
    CSoundCardMonitor& operator=(const CSoundCardMonitor&) = delete;

    // Readable when events wait; for the caller's event loop.
    int Fd() const;
    const std::string& Reason() const { return reason_; }
    // Takes every waiting event; true when a sound card was added or removed among them.
    bool TakeEvents();

private:
    struct Udev;
    std::unique_ptr<Udev> udev_;
    std::string reason_;
};

}  // namespace morva::alsa
