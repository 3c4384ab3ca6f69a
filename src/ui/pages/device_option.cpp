#include "ui/pages/device_option.h"

#include <algorithm>

#include <QDateTime>
#include <QElapsedTimer>

#include "base/debug_log.h"
#include "device/models/device_host.h"
#include "ui/toolkit/controls.h"
#include "ui/toolkit/paint_manager.h"
// device_page.h keeps a QPointer to a window class it only declares.
#include "ui/toolkit/window.h"

#include "ui/pages/device_page.h"
#include "ui/panels/page_services.h"

namespace morva::ui {
namespace {

const QString kSelectOption = QStringLiteral("device_select");
const QString kSyncOption = QStringLiteral("synchro_device_select");
const QString kNameLabel = QStringLiteral("device_select_name");

constexpr int kTimerReserved1 = 1003;
constexpr int kTimerReserved2 = 1004;

constexpr int kStartupMs = 500;
// Frames go over the cable as fast as the device takes them; a receiver link is far slower.
constexpr int kFrameCableMs = 5;
constexpr int kFrameReceiverMs = 50;
constexpr int kFrameIdleMs = 250;
constexpr int kFrameWatchedIdleMs = 50;
// A frame only the page shows (the device plays the effect itself): 25 a second is smooth,
// and nobody needs them while the window is away.
constexpr int kFramePreviewMs = 40;
constexpr int kFirstStatusMs = 50;
constexpr int kStatusMs = 5000;
constexpr int kUnreachableRetryMs = 3000;
// A device still starting up often answers a moment later; the user hears of the last miss.
constexpr int kReadAttempts = 3;
constexpr int kReadRetryMs = 2000;
constexpr int kFirstReachMs = 2000;
constexpr int kReachMs = 3000;

}  // namespace

std::optional<DeviceIconSet> IconSetFor(int deviceType, int subKey) {
    QString prefix;
    switch (deviceType) {
        case 1:
            prefix = QStringLiteral("kb");
            break;
        case 2:
            prefix = QStringLiteral("ms");
            break;
        case 3:
            if (subKey == 0)
                prefix = QStringLiteral("hard_mp");
            else if (subKey == 1)
                prefix = QStringLiteral("soft_mp");
            else
                return std::nullopt;
            break;
        case 4:
        case 7:
            prefix = QStringLiteral("hd");
            break;
        case 5:
            prefix = QStringLiteral("hub");
            break;
        default:
            prefix = QStringLiteral("unknow");
            break;
    }
    const QString base = QStringLiteral("common/device_ico/") + prefix;
    return DeviceIconSet{base + QStringLiteral("_device_normal.png"),
                         base + QStringLiteral("_device_selected.png"),
                         base + QStringLiteral("_device_synchro_normal.png"),
                         base + QStringLiteral("_device_synchro_selected.png"),
                         prefix + QStringLiteral("_device_name_text")};
}

CDeviceOptionUI::CDeviceOptionUI() : icons_(*IconSetFor(0, 0)) {}

CDeviceOptionUI::~CDeviceOptionUI() {
    // The page hands timer requests to its entry: it must not keep a dead one.
    if (device_ != nullptr && device_->TabEntry() == this)
        device_->SetTabEntry(nullptr);
}

COptionUI* CDeviceOptionUI::SelectOption() const {
    if (selectOption_ == nullptr)
        selectOption_ =
            dynamic_cast<COptionUI*>(CPaintManagerUI::FindSubControlByName(this, kSelectOption));
    return selectOption_;
}

COptionUI* CDeviceOptionUI::SyncOption() const {
    if (syncOption_ == nullptr)
        syncOption_ =
            dynamic_cast<COptionUI*>(CPaintManagerUI::FindSubControlByName(this, kSyncOption));
    return syncOption_;
}

CControlUI* CDeviceOptionUI::NameLabel() const {
    if (nameLabel_ == nullptr)
        nameLabel_ = CPaintManagerUI::FindSubControlByName(this, kNameLabel);
    return nameLabel_;
}

void CDeviceOptionUI::SetEntryDeviceType(int deviceType, int subKey) {
    deviceType_ = deviceType;
    subKey_ = subKey;
    const std::optional<DeviceIconSet> icons = IconSetFor(deviceType, subKey);
    if (!icons)
        return;
    icons_ = *icons;
    if (COptionUI* option = SelectOption()) {
        option->SetNormalImage(icons_.normal);
        option->SetDisabledImage(icons_.normal);
        option->SetSelectedImage(icons_.selected);
        // The toolkit has no hover colour for pictures: hovering previews the selected look.
        option->SetHotImage(icons_.selected);
        option->SetToolTip(icons_.nameKey);
    }
}

void CDeviceOptionUI::ApplyIcons(bool synchro) {
    COptionUI* option = SelectOption();
    if (option == nullptr)
        return;
    option->SetNormalImage(synchro ? icons_.synchroNormal : icons_.normal);
    const QString& selected = synchro ? icons_.synchroSelected : icons_.selected;
    option->SetSelectedImage(selected);
    option->SetHotImage(selected);
}

void CDeviceOptionUI::BindPage(const QString& layoutName, int index) {
    pageLayout_ = layoutName;
    pageIndex_ = index;
}

int CDeviceOptionUI::GetPageIndex() const {
    return SelectOption() != nullptr ? pageIndex_ : -1;
}

void CDeviceOptionUI::ShowBoundPage() {
    CPaintManagerUI* pm = GetManager();
    if (pm == nullptr || pageIndex_ < 0)
        return;
    if (auto* pages = dynamic_cast<CTabLayoutUI*>(pm->FindControl(pageLayout_)))
        pages->SelectItem(pageIndex_);
}

void CDeviceOptionUI::SetPowerSwitch(const QString& name, int index) {
    powerSwitchName_ = name;
    if (index >= 0)
        powerIndex_ = index;
}

void CDeviceOptionUI::SetEntryGroup(const QString& group) {
    if (COptionUI* option = SelectOption())
        option->SetGroup(group);
}

void CDeviceOptionUI::SetNameText(const QString& text) {
    if (CControlUI* label = NameLabel())
        label->SetText(text);
}

void CDeviceOptionUI::SetDevice(CDevicePageUI* device) {
    device_ = device;
    if (device != nullptr)
        device->SetTabEntry(this);
}

CDevicePageUI* CDeviceOptionUI::GetDevice() const {
    return device_;
}

void CDeviceOptionUI::SetKeyLightArea(CControlUI* area) {
    keyLightArea_ = area != nullptr ? area->GetWidget() : nullptr;
}

void CDeviceOptionUI::SelectEntry(bool on) {
    if (COptionUI* option = SelectOption())
        option->Selected(on, true);
}

bool CDeviceOptionUI::IsEntrySelected() const {
    const COptionUI* option = SelectOption();
    return option != nullptr && option->IsSelected();
}

void CDeviceOptionUI::SetSyncMarkVisible(bool on) {
    COptionUI* mark = SyncOption();
    if (mark != nullptr)
        mark->SetVisible(on);
    ApplyIcons(mark != nullptr && mark->IsSelected());
}

void CDeviceOptionUI::SetSyncMarkSelected(bool on) {
    if (COptionUI* mark = SyncOption())
        mark->Selected(on, true);
    ApplyIcons(on);
}

bool CDeviceOptionUI::IsSyncMarkSelected() const {
    const COptionUI* mark = SyncOption();
    return mark != nullptr && mark->IsSelected();
}

void CDeviceOptionUI::SetVisible(bool visible) {
    shown_ = visible;
    CHorizontalLayoutUI::SetVisible(visible);
}

void CDeviceOptionUI::SetEntryTimer(int id, int ms) {
    CPaintManagerUI::SetTimer(this, id, ms);
}

void CDeviceOptionUI::KillEntryTimer(int id) {
    CPaintManagerUI::KillTimer(this, id);
}

void CDeviceOptionUI::StartStartupTimer() {
    startupMissReported_ = false;
    SetEntryTimer(kEntryTimerStartup, kStartupMs);
}

void CDeviceOptionUI::StartReachabilityTimer(int ms) {
    if (ChannelOpen())
        SetEntryTimer(kEntryTimerReach, ms);
}

bool CDeviceOptionUI::ChannelOpen() const {
    return device_ != nullptr && device_->Model().CommandChannel().IsOpen();
}

bool CDeviceOptionUI::ViaReceiver() const {
    return device_ != nullptr && device_->Model().CommandChannel().ViaReceiver();
}

void CDeviceOptionUI::SendNotice(bool reachable) {
    device_->SendOwnerMessage(kMsgDeviceOptionNotice, device_->Model().TypeRow(),
                              reachable ? 1 : 0);
}

void CDeviceOptionUI::OnTimer(int id) {
    switch (id) {
        case kEntryTimerFrame:
        case kEntryTimerStartup:
        case kEntryTimerActiveProfile:
        case kTimerReserved1:
        case kTimerReserved2:
        case kEntryTimerStatus:
        case kEntryTimerReach:
            break;
        default:
            CHorizontalLayoutUI::OnTimer(id);
            return;
    }
    // Every entry timer is one-shot; the handlers restart those that repeat.
    KillEntryTimer(id);
    if (device_ == nullptr)
        return;
    switch (id) {
        case kEntryTimerFrame:
            OnFrameTimer();
            break;
        case kEntryTimerStartup:
            OnStartupTimer();
            break;
        case kEntryTimerActiveProfile:
            device_->Model().ReadActiveProfile();
            break;
        case kTimerReserved1:
            device_->Model().ReservedEntryOperation1();
            break;
        case kTimerReserved2:
            device_->Model().ReservedEntryOperation2();
            break;
        case kEntryTimerStatus:
            OnStatusTimer();
            break;
        case kEntryTimerReach:
            OnReachabilityTimer();
            break;
    }
}

void CDeviceOptionUI::OnFrameTimer() {
    // The cells repaint themselves, and only those whose colour changed: repainting the
    // whole area with every frame kept the window busy while nothing moved.
    device_->PresentLightFrame();
    if (!ChannelOpen())
        return;
    int ms = ViaReceiver() ? kFrameReceiverMs : kFrameCableMs;
    // Frames go to the device as often as the effect steps (a little sooner, so no step is
    // missed) and, once nothing moves any more, every 250 ms while nobody is looking; while
    // the page is watched every 50 ms, so a change made in the window shows without delay.
    // Frames that change at every tick keep the full rate.
    const CTessaronUSBDevice& model = device_->Model();
    const std::uint32_t generation = model.Engine().Generation();
    unchangedFrames_ = generation == lastFrameGeneration_ ? unchangedFrames_ + 1 : 0;
    const int step = static_cast<int>(model.LightStepPeriod().count()) - kFrameCableMs;
    // Ticking a little faster than the steps sees some ticks without a change.
    const int still = step > 0 ? 2 : 1;
    // A device that shows frames as they come gets every one the link takes, moving or not.
    const bool streams = model.StreamsFrames();
    if (!streams && unchangedFrames_ >= still)
        ms = std::max(ms, model.WindowActive() ? kFrameWatchedIdleMs : kFrameIdleMs);
    else if (!streams && step > 0)
        ms = std::max(ms, step);
    if (!model.FramesGoToDevice())
        ms = std::max(ms, model.WindowActive() ? kFramePreviewMs : kFrameIdleMs);
    lastFrameGeneration_ = generation;
    SetEntryTimer(kEntryTimerFrame, ms);
}

void CDeviceOptionUI::OnStartupTimer() {
    CTessaronUSBDevice& model = device_->Model();
    const bool open = ChannelOpen();
    const bool receiver = ViaReceiver();
    if (receiver && open) {
        if (!model.IsWirelessReachable()) {
            // A receiver without its device: keep the tab away until the device answers. The
            // owner hears of it once, also when the tab was never shown, so it can say why.
            if (shown_ || !startupMissReported_) {
                SetVisible(false);
                SendNotice(false);
            }
            startupMissReported_ = true;
            SetEntryTimer(kEntryTimerStartup, kUnreachableRetryMs);
            return;
        }
        SendNotice(true);
    }
    model.TakeReadFailure();  // an earlier read's, not this one's
    QElapsedTimer reading;
    reading.start();
    model.ReadFromDevice();
    // For measuring start-up: when the first page shows what its device holds.
    DebugLog("device page %d: read and filled in %lld ms, at %lld ms since the epoch\n",
             model.DeviceType(), static_cast<long long>(reading.elapsed()),
             static_cast<long long>(QDateTime::currentMSecsSinceEpoch()));
    if (model.TakeReadFailure())
        OnReadFailed();
    else
        readFailures_ = 0;
    SetEntryTimer(kEntryTimerFrame, kFrameCableMs);
    if (model.PowerPanelShown() && open)
        SetEntryTimer(kEntryTimerStatus, kFirstStatusMs);
    if (receiver)
        StartReachabilityTimer(kFirstReachMs);
}

void CDeviceOptionUI::OnReadFailed() {
    // The page shows the saved profile meanwhile, which may not be what the device holds.
    if (++readFailures_ < kReadAttempts) {
        SetEntryTimer(kEntryTimerStartup, kReadRetryMs);
        return;
    }
    readFailures_ = 0;
    if (device_ != nullptr && device_->Services() != nullptr)
        device_->Services()->ShowMessage(QStringLiteral("device_read_failed"));
}

void CDeviceOptionUI::OnStatusTimer() {
    CTessaronUSBDevice& model = device_->Model();
    model.RefreshPowerStatus();
    if (model.PowerPanelShown())
        SetEntryTimer(kEntryTimerStatus, kStatusMs);
}

void CDeviceOptionUI::OnReachabilityTimer() {
    CTessaronUSBDevice& model = device_->Model();
    const bool receiver = ViaReceiver();
    if (receiver) {
        const bool reachable = model.IsWirelessReachable();
        if (!reachable && shown_) {
            SendNotice(false);
            DebugLog("2.4gcesvdfherhue\n");
        } else if (reachable && !shown_) {
            SendNotice(true);
            if (model.PowerPanelShown())
                model.RefreshPowerStatus();
            DebugLog("2.4gcesvdfherhue  12312423 123342341\n");
        }
    } else if (ChannelOpen()) {
        DebugLog("2.4gcesvdfherhue  12312423\n");
    }
    if (receiver)
        StartReachabilityTimer(kReachMs);
}

}  // namespace morva::ui
