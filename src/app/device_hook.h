// The program's input hook for macro recording and key capture. On X11 it watches the whole
// desktop and holds the keyboard while it records; elsewhere it sees only this program's own
// windows. Events reach the UI thread only, by queued calls, and only while installed: a
// call queued before Uninstall or a later Install is dropped.
#pragma once

#include <QObject>
#include <QPoint>

#include <cstdint>
#include <functional>
#include <memory>

namespace morva::x11 {
class CX11InputHook;
class CKeyboardGrab;
}  // namespace morva::x11

namespace morva {

class CDeviceHook : public QObject {
    Q_OBJECT

public:
    // What the hook serves; recording modes withhold keys from other programs.
    enum Mode {
        kNone = 0,
        kKeyCapture = 1,
        kRecord = 4,
        kRecordBefore = 8,
        kRecordAfter = 0x10,
        kReplace = 0x20
    };
    enum class Reach { Desktop, OwnWindows };
    enum class Grab { NotNeeded, Held, HeldElsewhere, Failed };

    using KeySink = std::function<void(bool press, std::uint8_t scanCode, bool extended)>;
    // message/extra as the macro recorder takes them; the pointer's global position.
    using ButtonSink = std::function<void(int message, int extra, const QPoint& global)>;

    // `display`: the X display to use (empty: $DISPLAY); `desktopWide` false keeps to the
    // program's own windows even where the desktop could be watched.
    explicit CDeviceHook(std::string display = {}, bool desktopWide = true);
    ~CDeviceHook() override;

    // Replaces whatever was installed. True when events will arrive.
    bool Install(int mode, KeySink keys, ButtonSink buttons = {});
    void Uninstall();
    int Mode() const { return mode_; }
    Reach CurrentReach() const { return reach_; }
    Grab GrabState() const { return grab_; }
    // The UI thread is alive: the keyboard grab stays (it lets go by itself otherwise).
    void KeepAlive();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void DeliverKey(unsigned generation, bool press, int x11Keycode);
    void DeliverButton(unsigned generation, int xButton, bool press, const QPoint& global);
    bool StartDesktopHook();

    std::string display_;
    bool desktopWide_;
    int mode_ = kNone;
    Reach reach_ = Reach::OwnWindows;
    Grab grab_ = Grab::NotNeeded;
    unsigned generation_ = 0;
    KeySink keys_;
    ButtonSink buttons_;
    std::unique_ptr<x11::CX11InputHook> hook_;
    std::unique_ptr<x11::CKeyboardGrab> keyboardGrab_;
    bool filtering_ = false;
};

}  // namespace morva
