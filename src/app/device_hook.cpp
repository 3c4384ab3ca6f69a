#include "app/device_hook.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMetaObject>
#include <QMouseEvent>
#include <QPointer>
#include <QWidget>

#include "device/key_codes.h"
#include "macro/mouse_action_table.h"
#include "platform/x11/keyboard_grab.h"
#include "platform/x11/x11_input_hook.h"

namespace morva {

namespace {

// Qt's buttons as X numbers them, for the in-window fallback.
int XButtonOf(Qt::MouseButton button) {
    switch (button) {
        case Qt::LeftButton:
            return 1;
        case Qt::MiddleButton:
            return 2;
        case Qt::RightButton:
            return 3;
        case Qt::BackButton:
            return 8;
        case Qt::ForwardButton:
            return 9;
        default:
            return 0;
    }
}

bool WithholdsKeys(int mode) {
    return mode != CDeviceHook::kNone;
}

}  // namespace

CDeviceHook::CDeviceHook(std::string display, bool desktopWide)
    : display_(std::move(display)), desktopWide_(desktopWide) {}

CDeviceHook::~CDeviceHook() {
    Uninstall();
}

bool CDeviceHook::Install(int mode, KeySink keys, ButtonSink buttons) {
    Uninstall();
    if (mode == kNone)
        return false;
    mode_ = mode;
    keys_ = std::move(keys);
    buttons_ = std::move(buttons);
    ++generation_;
    reach_ = Reach::OwnWindows;
    if (desktopWide_ && StartDesktopHook()) {
        reach_ = Reach::Desktop;
        // Keys typed while recording go into the macro only; the lock keys still switch,
        // as the server applies them under a grab too.
        keyboardGrab_ = std::make_unique<x11::CKeyboardGrab>(display_);
        switch (keyboardGrab_->Grab()) {
            case x11::CKeyboardGrab::GrabResult::Grabbed:
                grab_ = Grab::Held;
                break;
            case x11::CKeyboardGrab::GrabResult::AlreadyGrabbed:
                grab_ = Grab::HeldElsewhere;
                break;
            default:
                grab_ = Grab::Failed;
                break;
        }
        if (grab_ != Grab::Held)
            keyboardGrab_.reset();
    }
    if (qApp != nullptr) {
        // The program's own windows: the desktop hook already reports their events, so
        // here they are only kept from typing into the controls.
        qApp->installEventFilter(this);
        filtering_ = true;
    }
    return true;
}

bool CDeviceHook::StartDesktopHook() {
    if (!x11::X11InputAvailable(display_))
        return false;
    hook_ = std::make_unique<x11::CX11InputHook>(display_);
    QPointer<CDeviceHook> self(this);
    const unsigned generation = generation_;
    const auto started = hook_->Start([self, generation](const x11::InputEvent& event) {
        // Hook thread: hand over to the UI thread, which checks that the hook still serves
        // the same installation.
        QMetaObject::invokeMethod(
            self.data(),
            [self, generation, event] {
                if (self == nullptr)
                    return;
                if (event.kind == x11::InputEvent::Kind::Key)
                    self->DeliverKey(generation, event.press, event.keycode);
                else
                    self->DeliverButton(generation, event.button, event.press,
                                        QPoint(event.rootX, event.rootY));
            },
            Qt::QueuedConnection);
    });
    if (started != x11::CX11InputHook::StartResult::Started) {
        hook_.reset();
        return false;
    }
    return true;
}

void CDeviceHook::Uninstall() {
    ++generation_;
    if (hook_ != nullptr)
        hook_->Stop();
    hook_.reset();
    keyboardGrab_.reset();  // releases the keyboard
    grab_ = Grab::NotNeeded;
    if (filtering_ && qApp != nullptr)
        qApp->removeEventFilter(this);
    filtering_ = false;
    mode_ = kNone;
    keys_ = {};
    buttons_ = {};
}

void CDeviceHook::KeepAlive() {
    if (keyboardGrab_ != nullptr)
        keyboardGrab_->KeepAlive();
}

void CDeviceHook::DeliverKey(unsigned generation, bool press, int x11Keycode) {
    if (generation != generation_ || !keys_)
        return;
    if (const auto scan = ScanCodeOfX11Keycode(x11Keycode))
        keys_(press, scan->first, scan->second);
}

void CDeviceHook::DeliverButton(unsigned generation, int xButton, bool press,
                                const QPoint& global) {
    if (generation != generation_ || !buttons_)
        return;
    int extra = 0;
    const int message = MouseMessageOfXButton(xButton, press, &extra);
    if (message != 0)
        buttons_(message, extra, global);
}

bool CDeviceHook::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    const bool key = type == QEvent::KeyPress || type == QEvent::KeyRelease;
    const bool button = type == QEvent::MouseButtonPress || type == QEvent::MouseButtonRelease;
    if ((!key && !button) || !watched->isWidgetType())
        return QObject::eventFilter(watched, event);
    // Each input event reaches the filter once per widget it is offered to; only the one
    // that went to the window's focus widget or the widget under the pointer counts.
    if (key) {
        const auto* k = static_cast<QKeyEvent*>(event);
        if (watched != QApplication::focusWidget() && QApplication::focusWidget() != nullptr)
            return QObject::eventFilter(watched, event);
        if (reach_ == Reach::OwnWindows && !k->isAutoRepeat())
            DeliverKey(generation_, type == QEvent::KeyPress,
                       static_cast<int>(k->nativeScanCode()));
        return WithholdsKeys(mode_);
    }
    if (reach_ == Reach::OwnWindows) {
        const auto* m = static_cast<QMouseEvent*>(event);
        if (QApplication::widgetAt(m->globalPosition().toPoint()) == watched)
            DeliverButton(generation_, XButtonOf(m->button()), type == QEvent::MouseButtonPress,
                          m->globalPosition().toPoint());
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace morva
