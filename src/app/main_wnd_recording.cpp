// Macro recording and key capture: the window owns the input hook and hands its events to
// the panel of the device on screen.
#include "app/main_wnd.h"

#include "device/key_codes.h"
#include "ui/pages/device_page.h"
#include "ui/panels/key_set_control.h"
#include "ui/panels/macro_control.h"

namespace morva::app {

namespace {

int HookModeOf(RecordPlace place) {
    switch (place) {
        case RecordPlace::kBefore:
            return CDeviceHook::kRecordBefore;
        case RecordPlace::kAfter:
            return CDeviceHook::kRecordAfter;
        case RecordPlace::kReplace:
            return CDeviceHook::kReplace;
        case RecordPlace::kEnd:
            break;
    }
    return CDeviceHook::kRecord;
}

// The keyboard grab lets go by itself when the UI thread stops saying it is alive.
constexpr int kKeepAliveMs = 2000;

}  // namespace

void CMainWnd::BeginRecording(RecordMode mode, RecordPlace place) {
    ui::CDevicePageUI* page = devices_ ? devices_->CurrentDevice() : nullptr;
    ui::CMacroControlUI* panel = page != nullptr ? page->MacroPanel() : nullptr;
    if (panel == nullptr || panel->GetSelectedMacro() < 0 || IsRecording())
        return;
    SetKeyCapture(false);
    panel->StartRecording(mode, place);
    QPointer<ui::CMacroControlUI> target(panel);
    (void)hook_->Install(
        HookModeOf(place),
        [target](bool press, std::uint8_t scan, bool extended) {
            if (target != nullptr)
                target->RecordKey(press, scan, extended);
        },
        [target](int message, int extra, const QPoint& global) {
            if (target != nullptr)
                target->RecordMouse(message, extra, global);
        });
    const char* state = "macro_recording_state";
    if (hook_->CurrentReach() == CDeviceHook::Reach::OwnWindows)
        state = "macro_record_window_only";
    else if (hook_->GrabState() != CDeviceHook::Grab::Held)
        state = "macro_keyboard_busy";
    panel->ShowRecordState(QString::fromLatin1(state));
    recordingPage_ = page->GetWidget();
    hookKeepAlive_->start(kKeepAliveMs);
    SetEditingState(1, 0);
}

void CMainWnd::EndRecording() {
    if (!IsRecording())
        return;
    hook_->Uninstall();
    hookKeepAlive_->stop();
    auto* page = dynamic_cast<ui::CDevicePageUI*>(recordingPage_.data());
    if (ui::CMacroControlUI* panel = page != nullptr ? page->MacroPanel() : nullptr) {
        panel->StopRecording();
        panel->Save();
    }
    recordingPage_ = nullptr;
    SetEditingState(1, 1);
}

void CMainWnd::SetKeyCapture(bool on) {
    if (IsRecording())
        return;
    if (!on) {
        if (hook_->Mode() == CDeviceHook::kKeyCapture) {
            hook_->Uninstall();
            hookKeepAlive_->stop();
        }
        return;
    }
    ui::CDevicePageUI* page = devices_ ? devices_->CurrentDevice() : nullptr;
    if (page == nullptr || page->KeySetPanel() == nullptr)
        return;
    QPointer<ui::CKeySetControlUI> target(page->KeySetPanel());
    (void)hook_->Install(CDeviceHook::kKeyCapture,
                         [target](bool press, std::uint8_t scan, bool extended) {
                             if (press && target != nullptr)
                                 target->CaptureScanCode(scan, extended);
                         });
    hookKeepAlive_->start(kKeepAliveMs);
}

}  // namespace morva::app
