#include "app/device_manager.h"

#include <QWidget>

#include <algorithm>
#include <filesystem>

#include "base/debug_log.h"
#include "device/device_tables.h"
#include "device/hid/hid_backend.h"
#include "device/links/product_links.h"
#include "device/models/headset_device.h"
#include "device/models/keyboard_device.h"
#include "device/models/mouse_device.h"
#include "device/models/mousepad_device.h"
#include "device/protocol/commands.h"
#include "ui/pages/device_option.h"
#include "ui/pages/device_page.h"
#include "ui/pages/headset_page.h"
#include "ui/pages/keyboard_page.h"
#include "ui/pages/mouse_page.h"
#include "ui/pages/mousepad_page.h"
#include "ui/pages/power_panel.h"
#include "ui/toolkit/containers.h"
#include "ui/toolkit/dialog_builder.h"
#include "ui/toolkit/paint_manager.h"
#include "ui/toolkit/window.h"

namespace morva::app {
namespace {

constexpr char kPowerPanelLayout[] = "XML/CustomControlXML/MpDevicePower.xml";
// The first reachability check after a product went over to its receiver.
constexpr int kFirstReachMs = 2000;

bool IsKeyboardType(int type) {
    return type == kDeviceTypeKeyboard || type == kDeviceTypeKeyboardReceiver;
}
bool IsMouseType(int type) {
    return type == kDeviceTypeMouse || type == kDeviceTypeMouseReceiver;
}
bool IsCableWithReceiver(int type) {
    return type == kDeviceTypeMouse || type == kDeviceTypeKeyboard;
}

const char* KindName(int kind) {
    switch (kind) {
        case kKindMouse:
            return "mouse";
        case kKindKeyboard:
            return "keyboard";
        case kKindMousePad:
            return "pad";
        case kKindHeadset:
            return "headset";
        default:
            return "unknown";
    }
}

// A freshly built control that has not joined the window yet belongs to its guard.
struct Built {
    explicit Built(ui::CControlUI* built)
        : control(built), widget(built != nullptr ? built->GetWidget() : nullptr) {}
    ui::CControlUI* Release() {
        widget.release();
        return control;
    }
    ui::CControlUI* control;
    std::unique_ptr<QWidget> widget;
};

}  // namespace

CDeviceManager::CDeviceManager(ui::WindowImplBase& window, hid::IHidBackend& backend,
                               Options options)
    : window_(window),
      backend_(backend),
      options_(std::move(options)),
      monitor_(backend_, slots_, listener_),
      sync_(options_.syncClock != nullptr ? *options_.syncClock : SteadyClock()) {}

CDeviceManager::~CDeviceManager() = default;

ui::CControlUI* CDeviceManager::CreatePageControl(const QString& tag) {
    if (tag.compare(QLatin1String("TessaronMouseDevice"), Qt::CaseInsensitive) == 0) {
        std::unique_ptr<CTessaronUSBDevice> model =
            options_.makeModel ? options_.makeModel(backend_)
                               : std::make_unique<CTessaronMouseDevice>(backend_);
        if (auto* mouse = dynamic_cast<CTessaronMouseDevice*>(model.get())) {
            std::unique_ptr<CTessaronMouseDevice> owned(mouse);
            model.release();
            return new ui::CMousePageUI(std::move(owned));
        }
        // A test's own model that is no mouse gets the plain page.
        return new ui::CDevicePageUI(std::move(model), QStringLiteral("TessaronUSBDevice"));
    }
    if (tag.compare(QLatin1String("TessaronKeyboardDevice"), Qt::CaseInsensitive) == 0) {
        std::unique_ptr<CTessaronUSBDevice> model =
            options_.makeModel ? options_.makeModel(backend_)
                               : std::make_unique<CTessaronKeyboardDevice>(backend_);
        if (auto* keyboard = dynamic_cast<CTessaronKeyboardDevice*>(model.get())) {
            std::unique_ptr<CTessaronKeyboardDevice> owned(keyboard);
            model.release();
            return new ui::CKeyboardPageUI(std::move(owned));
        }
        return new ui::CDevicePageUI(std::move(model), QStringLiteral("TessaronKeyboardDevice"));
    }
    if (tag.compare(QLatin1String("TessaronVU6533Device"), Qt::CaseInsensitive) == 0) {
        std::unique_ptr<CTessaronUSBDevice> model =
            options_.makeModel ? options_.makeModel(backend_)
                               : std::make_unique<CTessaronVU6533Device>(backend_);
        if (auto* headset = dynamic_cast<CTessaronVU6533Device*>(model.get())) {
            std::unique_ptr<CTessaronVU6533Device> owned(headset);
            model.release();
            return new ui::CHeadsetPageUI(std::move(owned));
        }
        return new ui::CDevicePageUI(std::move(model), QStringLiteral("TessaronVU6533Device"));
    }
    if (tag.compare(QLatin1String("TessaronMousePadDevice"), Qt::CaseInsensitive) == 0) {
        std::unique_ptr<CTessaronUSBDevice> model =
            options_.makeModel ? options_.makeModel(backend_)
                               : std::make_unique<CTessaronMousePadDevice>(backend_);
        if (auto* pad = dynamic_cast<CTessaronMousePadDevice*>(model.get())) {
            std::unique_ptr<CTessaronMousePadDevice> owned(pad);
            model.release();
            return new ui::CMousePadPageUI(std::move(owned));
        }
        return new ui::CDevicePageUI(std::move(model), QStringLiteral("TessaronMousePadDevice"));
    }
    static const char* const kPageClasses[][2] = {
        {"TessaronUSBDevice", "TessaronUSBDevice"},
    };
    for (const auto& [pageTag, className] : kPageClasses) {
        if (tag.compare(QLatin1String(pageTag), Qt::CaseInsensitive) == 0) {
            std::unique_ptr<CTessaronUSBDevice> model =
                options_.makeModel ? options_.makeModel(backend_)
                                   : std::make_unique<CTessaronUSBDevice>(backend_);
            return new ui::CDevicePageUI(std::move(model), QString::fromLatin1(className));
        }
    }
    return nullptr;
}

void CDeviceManager::Start(CWorkerTable& workers, int workerSlot) {
    CreateFixedPages();
    UpdateStrip();
    workers.Start(workerSlot, [this](std::stop_token stop) {
        monitorStop_ = stop;
        monitor_.Run(stop);
    });
    sync_.Start();
}

bool CDeviceManager::HandleMessage(int msg, intptr_t wParam, intptr_t lParam) {
    switch (msg) {
        case kMsgDeviceArrived:
            OnDeviceArrived(static_cast<int>(wParam));
            return true;
        case kMsgDeviceRemoved:
            OnDeviceRemoved(static_cast<int>(wParam));
            return true;
        case kMsgDeviceOptionNotice:
            OnDeviceOptionNotice(wParam, lParam);
            return true;
        case kMsgAccessDenied:
            ShowAccessNotice(static_cast<int>(wParam),
                             *reinterpret_cast<const std::string*>(lParam));
            return true;
        default:
            return false;
    }
}

// ---- Monitor thread side: every arrival and removal is handled before the monitor goes on.

void CDeviceManager::MonitorListener::OnDeviceArrived(int slot) {
    owner_.window_.SendMessage(kMsgDeviceArrived, slot, 0, owner_.monitorStop_);
}

void CDeviceManager::MonitorListener::OnDeviceRemoved(int slot) {
    owner_.window_.SendMessage(kMsgDeviceRemoved, slot, 0, owner_.monitorStop_);
}

void CDeviceManager::MonitorListener::OnAccessDenied(const SupportedInterface& record,
                                                     const std::string& error) {
    int typeRow = -1;
    const auto types = DeviceTypes();
    for (std::size_t i = 0; i < types.size(); ++i) {
        if (types[i].vendorId == record.vendorId && types[i].productId == record.productId)
            typeRow = static_cast<int>(i);
    }
    // Waits until handled: the error lives on this thread's stack.
    owner_.window_.SendMessage(kMsgAccessDenied, typeRow, reinterpret_cast<intptr_t>(&error),
                               owner_.monitorStop_);
}

void CDeviceManager::MonitorListener::OnFirstPass() {
    ++owner_.activations_;
    owner_.window_.PostMessage(kMsgActivateInstance, 0, 0);
}

// ---- Handlers ----

void CDeviceManager::CreateFixedPages() {
    for (int typeRow : {0, 1}) {
        const DeviceTypeInfo& type = DeviceTypes()[static_cast<std::size_t>(typeRow)];
        const int interfaceRow =
            FindInterfaceRow(type.vendorId, type.productId, type.deviceType, kRoleCommand);
        if (interfaceRow >= 0)
            CreateDevicePage(interfaceRow, 0);
    }
}

void CDeviceManager::OnDeviceArrived(int slot) {
    if (slot < 0 || slot >= slots_.Count())
        return;
    const SupportedInterface rec = slots_.Slot(slot);
    const int interfaceRow = FindInterfaceRow(rec.vendorId, rec.productId, rec.deviceType, 0);
    const bool exists = PageExists(slot);
    const int type = rec.deviceType;
    if (IsKeyboardType(type)) {
        DebugLog("添加一个键盘设备\n");
    } else if (IsMouseType(type)) {
        DebugLog("添加一个鼠标设备\n");
    } else if (type == kDeviceTypeMousePad) {
        DebugLog("添加一个鼠标垫设备\n");
    } else if (type != kDeviceTypeHeadset) {
        return;
    }
    if (!exists)
        CreateDevicePage(interfaceRow, 0);
    AttachCommandInterface(slot);
    if (options_.onArrival)
        options_.onArrival();
}

void CDeviceManager::OnDeviceRemoved(int slot) {
    if (slot < 0 || slot >= slots_.Count())
        return;
    DetachCommandInterface(slot);
}

bool CDeviceManager::PageExists(int slot) const {
    SupportedInterface key = slots_.Slot(slot);
    const int partner = key.partnerIndex;
    if (key.role == kRoleEvent) {
        for (int i = 0; i < slots_.Count(); ++i) {
            const SupportedInterface other = slots_.Slot(i);
            if (other.vendorId == key.vendorId && other.productId == key.productId &&
                other.deviceType == key.deviceType && other.role == kRoleCommand) {
                key = other;
                if (IsReceiverType(other.deviceType) && other.hasPartner)
                    key = slots_.Slot(other.partnerIndex);
                break;
            }
        }
    } else if (IsReceiverType(key.deviceType) && key.hasPartner &&
               slots_.Slot(partner).partnerIndex == slot) {
        key = slots_.Slot(partner);
    }
    return FindDevice(key) != nullptr;
}

ui::CDevicePageUI* CDeviceManager::CreateDevicePage(int interfaceRow, int subKey) {
    if (interfaceRow < 0 || interfaceRow >= slots_.Count())
        return nullptr;
    SupportedInterface row = slots_.Slot(interfaceRow);
    int type = row.deviceType;
    if (IsReceiverType(type)) {
        type = CableDeviceType(static_cast<std::uint16_t>(type));
        if (row.hasPartner)
            row = slots_.Slot(row.partnerIndex);
    }
    const int typeRow =
        FindDeviceTypeRow(row.vendorId, row.productId, static_cast<std::uint16_t>(type),
                          static_cast<std::uint16_t>(subKey));
    if (typeRow < 0)
        return nullptr;
    const DeviceTypeInfo& info = DeviceTypes()[static_cast<std::size_t>(typeRow)];
    const DevicePageInfo& pageInfo = DevicePages()[static_cast<std::size_t>(typeRow)];
    auto* pages = Tabs("device_switch");
    auto* powers = Tabs("device_power_switch");
    auto* strip = dynamic_cast<ui::CContainerUI*>(Find("device_select_layout"));
    if (pages == nullptr || powers == nullptr || strip == nullptr)
        return nullptr;

    auto build = [this](std::string_view layout) {
        ui::CDialogBuilder builder;
        return builder.Create(QString::fromUtf8(layout.data(), static_cast<int>(layout.size())),
                              &window_, &window_.GetPaintManager());
    };
    Built powerRoot(build(kPowerPanelLayout));
    Built entryRoot(build(info.entryLayout));
    Built pageRoot(build(pageInfo.pageLayout));
    auto* power = dynamic_cast<ui::CMpDevicePowerUI*>(powerRoot.control);
    auto* entry = dynamic_cast<ui::CDeviceOptionUI*>(entryRoot.control);
    auto* page = dynamic_cast<ui::CDevicePageUI*>(pageRoot.control);
    if (power == nullptr || entry == nullptr || page == nullptr) {
        DebugLog("device page %d: a layout could not be built\n", typeRow);
        return nullptr;
    }

    page->Model().SetExternalLightControl(externalLight_);
    page->Model().SetWindowActive(windowActive_);
    page->Model().SetPageShown(false);  // until its tab is chosen
    powers->Add(powerRoot.Release());
    powerPanels_.push_back(power);
    power->SetPowerPanelType(type, 0);
    CTessaronUSBDevice& model = page->Model();
    model.SetDataRoots(options_.localAppData, options_.resourceFolder);
    model.SetDeviceXmlPath(std::string(pageInfo.pageLayout));
    page->SetOwnerWindow(&window_);
    page->SetServices(options_.services);
    model.ApplyTypeRow(typeRow);
    model.SetProfileName(options_.profileName);
    page->SetPowerPanel(power);
    model.SetSlotRecord(row);

    if (auto* headset = dynamic_cast<CTessaronVU6533Device*>(&model);
        headset != nullptr && options_.makeAudioBridge)
        headset->SetAudioBridge(options_.makeAudioBridge(row));
    pages->Add(pageRoot.Release());
    page->InitPage();
    ListOf(type).push_back(page);
    sync_.AddDevice(model);

    entry->SetVisible(false);
    strip->Add(entryRoot.Release());
    entry->SetEntryGroup(
        QString::fromUtf8(info.tabHeaderName.data(), static_cast<int>(info.tabHeaderName.size())));
    entry->BindPage(QStringLiteral("device_switch"), pages->GetItemIndex(page));
    entry->SetPowerSwitch(QString::fromUtf8(info.powerSwitchName.data(),
                                            static_cast<int>(info.powerSwitchName.size())),
                          powers->GetItemIndex(power));
    entry->SetEntryDeviceType(type, subKey);
    entry->SetNameText(
        QString::fromUtf8(info.typeName.data(), static_cast<int>(info.typeName.size())));
    entry->SetDevice(page);
    entry->SetKeyLightArea(page->SelectPanel());
    entry->SetSyncMarkVisible(false);
    return page;
}

void CDeviceManager::AttachCommandInterface(int slot) {
    const SupportedInterface rec = slots_.Slot(slot);
    const int type = rec.deviceType;
    if (rec.role == kRoleEvent) {
        AttachEventInterface(slot, type);
        return;
    }
    if (BothLinksPresent(slot)) {
        // The cable takes over from the receiver; a receiver arriving changes nothing.
        if (IsCableWithReceiver(type))
            SwitchLink(slot);
        return;
    }
    const bool receiver = IsReceiverType(static_cast<std::uint16_t>(type));
    const int keyRow = receiver && rec.hasPartner ? rec.partnerIndex : slot;
    const SupportedInterface key = slots_.Slot(keyRow);
    ui::CDevicePageUI* page = FindDevice(key);
    if (page == nullptr)
        return;
    CTessaronUSBDevice& model = page->Model();
    if (model.CommandChannel().IsOpen())
        return;
    std::string error;
    const bool opened =
        model.Links().Open(receiver ? ProductLink::Receiver : ProductLink::Cable, rec.path, &error);
    if (opened)
        model.SetSlotRecord(key);
    else
        DebugLog("device %04x: cannot open %s: %s\n", rec.productId, rec.path.c_str(),
                 error.c_str());
    if (!opened && hid::IsNoPermissionError(error))
        ShowAccessNotice(page->Model().TypeRow(), error);
    // A device that cannot be opened stays closed; its slot stays claimed until it goes.
    ui::CDeviceOptionUI* entry = page->TabEntry();
    if (!opened || entry == nullptr)
        return;
    if (!receiver) {
        const bool select = CountConnectedDevices() == 0;
        ShowDeviceTab(EntryIndexOfRow(page->Model().TypeRow()), true, select);
    }
    entry->StartStartupTimer();
}

void CDeviceManager::DetachCommandInterface(int slot) {
    const SupportedInterface rec = slots_.Slot(slot);
    const int type = rec.deviceType;
    if (rec.role == kRoleEvent) {
        DetachEventInterface(slot, type);
        return;
    }
    if (IsKeyboardType(type))
        DebugLog("键盘设备丢失\n");
    else if (IsMouseType(type))
        DebugLog("鼠标设备丢失\n");
    if (BothLinksPresent(slot)) {
        if (IsCableWithReceiver(type))
            SwitchLink(slot);
        return;
    }
    ui::CDevicePageUI* page = FindDevice(rec);
    if (page == nullptr && IsReceiverType(static_cast<std::uint16_t>(type)) && rec.hasPartner)
        page = FindDevice(slots_.Slot(rec.partnerIndex));
    if (page == nullptr)
        return;
    page->Model().Links().Close();
    SetOutOfReach(page->Model().TypeRow(), false);
    HideDeviceTab(EntryIndexOfRow(page->Model().TypeRow()));
}

void CDeviceManager::SwitchLink(int slot) {
    const SupportedInterface rec = slots_.Slot(slot);
    ui::CDevicePageUI* page = FindDevice(rec);
    if (page == nullptr && rec.hasPartner)
        page = FindDevice(slots_.Slot(rec.partnerIndex));
    if (page == nullptr)
        return;
    CTessaronUSBDevice& model = page->Model();
    const int target = model.CommandChannel().ViaReceiver() ? slot : rec.partnerIndex;
    std::string error;
    const std::optional<ProductLink> now = model.Links().Switch(slots_.Slot(target).path, &error);
    ui::CDeviceOptionUI* entry = page->TabEntry();
    if (!now) {
        // Released, the slot is claimed again at the next poll and the switch is retried.
        DebugLog("link switch of %04x failed (%s): slot %d released\n", rec.productId,
                 error.c_str(), target);
        slots_.ReleaseSlot(target);
        if (!model.CommandChannel().IsOpen()) {
            SetOutOfReach(model.TypeRow(), false);
            HideDeviceTab(EntryIndexOfRow(model.TypeRow()));
        }
        return;
    }
    if (*now == ProductLink::Cable) {
        if (entry != nullptr)
            entry->StartStartupTimer();
        OnDeviceOptionNotice(model.TypeRow(), 1);
        if (model.PowerPanelShown())
            model.RefreshPowerStatus();
        return;
    }
    if (!model.PowerPanelShown()) {
        if (entry != nullptr)
            entry->StartReachabilityTimer(kFirstReachMs);
        return;
    }
    // The wireless device may take a while to answer: the links poll it on their own thread
    // and the result comes back queued onto the UI thread.
    model.Links().PollReachability([this, page](bool, std::uint64_t ticket) {
        QMetaObject::invokeMethod(
            page, [this, page, ticket] { OnReachPollDone(*page, ticket); }, Qt::QueuedConnection);
    });
}

void CDeviceManager::OnReachPollDone(ui::CDevicePageUI& page, std::uint64_t ticket) {
    CTessaronUSBDevice& model = page.Model();
    if (!model.Links().IsCurrent(ticket))
        return;
    model.RefreshPowerStatus();
    if (ui::CDeviceOptionUI* entry = page.TabEntry())
        entry->StartReachabilityTimer(kFirstReachMs);
    ++reachPollsDone_;
}

ui::CDevicePageUI* CDeviceManager::EventOwner(int slot) const {
    // The device whose record has the slot's product and type; a receiver's event slot is
    // compared through its partner, the cable's.
    const SupportedInterface rec = slots_.Slot(slot);
    auto owns = [](const SupportedInterface& own, const SupportedInterface& r) {
        return own.vendorId == r.vendorId && own.productId == r.productId &&
               own.deviceType == r.deviceType;
    };
    for (const auto* list : {&mice_, &keyboards_, &pads_, &headsets_}) {
        for (ui::CDevicePageUI* page : *list) {
            const SupportedInterface& own = page->Model().Record();
            if (owns(own, rec) || (rec.hasPartner && owns(own, slots_.Slot(rec.partnerIndex))))
                return page;
        }
    }
    return nullptr;
}

void CDeviceManager::AttachEventInterface(int slot, int deviceType) {
    const EventLink link = IsReceiverType(static_cast<std::uint16_t>(deviceType))
                               ? EventLink::Receiver
                               : EventLink::Cable;
    ui::CDevicePageUI* page = EventOwner(slot);
    if (page == nullptr || page->Model().IsEventLinkOpen(link))
        return;
    page->Model().OpenEventLink(link, slots_.Slot(slot).path);
}

void CDeviceManager::DetachEventInterface(int slot, int deviceType) {
    const EventLink link = IsReceiverType(static_cast<std::uint16_t>(deviceType))
                               ? EventLink::Receiver
                               : EventLink::Cable;
    if (ui::CDevicePageUI* page = EventOwner(slot))
        page->Model().CloseEventLink(link);
}

// ---- Tab strip ----

void CDeviceManager::ShowDeviceTab(int index, bool visible, bool select) {
    ui::CDeviceOptionUI* entry = EntryAt(index);
    if (entry == nullptr)
        return;
    entry->SetVisible(visible);
    if (select) {
        entry->SelectEntry(true);
        OnDeviceTabSelected(entry);
    }
    UpdateStrip();
}

void CDeviceManager::HideDeviceTab(int index) {
    ui::CDeviceOptionUI* entry = EntryAt(index);
    if (entry == nullptr)
        return;
    int other = -1;
    const bool wasCurrent = entry->IsShown() && entry->IsEntrySelected();
    if (wasCurrent) {
        if (options_.endPanelWork)
            options_.endPanelWork();
        for (int i = 0; i < EntryCount(); ++i) {
            if (i != index && EntryAt(i)->IsShown()) {
                other = i;
                break;
            }
        }
    }
    entry->SetVisible(false);
    if (other >= 0)
        ShowDeviceTab(other, true, true);
    else
        UpdateStrip();
}

void CDeviceManager::OnDeviceTabSelected(ui::CControlUI* control) {
    ui::CDeviceOptionUI* entry = nullptr;
    for (ui::CControlUI* c = control; c != nullptr && entry == nullptr; c = c->GetParent())
        entry = dynamic_cast<ui::CDeviceOptionUI*>(c);
    if (entry == nullptr)
        return;
    for (int i = 0; i < EntryCount(); ++i) {
        if (EntryAt(i) == entry)
            selectedEntry_ = i;
    }
    if (auto* pages = Tabs("device_switch"); pages != nullptr && entry->GetPageIndex() >= 0)
        pages->SelectItem(entry->GetPageIndex());
    if (auto* powers = Tabs("device_power_switch")) {
        const int power = entry->GetPowerIndex();
        powers->SetVisible(power >= 0);
        if (power >= 0)
            powers->SelectItem(power);
    }
    UpdatePagesShown();
}

void CDeviceManager::SelectPreviousDevice() {
    const int from = selectedEntry_;
    for (int i = from - 1; i >= 0; --i) {
        if (EntryAt(i)->IsShown()) {
            ShowDeviceTab(i, true, true);
            return;
        }
    }
}

void CDeviceManager::SelectNextDevice() {
    for (int i = selectedEntry_ + 1; i < EntryCount(); ++i) {
        if (EntryAt(i)->IsShown()) {
            ShowDeviceTab(i, true, true);
            return;
        }
    }
}

int CDeviceManager::CountConnectedDevices(int* first) const {
    int count = 0;
    if (first != nullptr)
        *first = -1;
    for (int i = 0; i < EntryCount(); ++i) {
        if (!EntryAt(i)->IsShown())
            continue;
        if (count++ == 0 && first != nullptr)
            *first = i;
    }
    return count;
}

ui::CDevicePageUI* CDeviceManager::CurrentDevice() const {
    for (int i = 0; i < EntryCount(); ++i) {
        ui::CDeviceOptionUI* entry = EntryAt(i);
        if (entry->IsShown() && entry->IsEntrySelected())
            return entry->GetDevice();
    }
    return nullptr;
}

void CDeviceManager::SetWindowState(bool active, bool shown) {
    windowActive_ = active;
    windowShown_ = shown;
    for (const auto* list : {&mice_, &keyboards_, &pads_, &headsets_}) {
        for (ui::CDevicePageUI* page : *list)
            page->Model().SetWindowActive(active);
    }
    UpdatePagesShown();
}

void CDeviceManager::UpdatePagesShown() {
    const ui::CDeviceOptionUI* entry = EntryAt(selectedEntry_);
    const ui::CDevicePageUI* chosen =
        entry != nullptr && entry->IsShown() ? entry->GetDevice() : nullptr;
    for (const auto* list : {&mice_, &keyboards_, &pads_, &headsets_}) {
        for (ui::CDevicePageUI* page : *list)
            page->Model().SetPageShown(windowShown_ && page == chosen);
    }
}

void CDeviceManager::OnDeviceOptionNotice(intptr_t row, intptr_t reachable) {
    const int index = EntryIndexOfRow(static_cast<int>(row));
    if (reachable == 0) {
        HideDeviceTab(index);
        DebugLog("2.4gcesvdfherhue 1\n");
        SetOutOfReach(static_cast<int>(row), true);
    } else if (reachable == 1) {
        const bool select = CountConnectedDevices() == 0;
        if (ui::CDeviceOptionUI* entry = EntryAt(index); entry != nullptr && !entry->IsShown())
            ShowDeviceTab(index, true, select);
        SetOutOfReach(static_cast<int>(row), false);
    }
}

void CDeviceManager::OnSoundCardsChanged() {
    if (!options_.makeAudioBridge)
        return;
    for (ui::CDevicePageUI* page : headsets_) {
        if (auto* headset = dynamic_cast<ui::CHeadsetPageUI*>(page))
            headset->RestartAudio(options_.makeAudioBridge(headset->Model().Record()));
    }
}

void CDeviceManager::ShowAccessNotice(int typeRow, const std::string& openError) {
    if (accessNoticeShown_)
        return;
    accessNoticeShown_ = true;
    const std::string rest = openError.substr(hid::kNoPermissionError.size());
    const std::string node = rest.substr(0, rest.find(':'));
    // The rule beside the data: installed under the prefix, or in the source tree.
    namespace fs = std::filesystem;
    std::string rule = "70-morva-tr510.rules";
    for (const char* candidate :
         {"../../lib/udev/rules.d/70-morva-tr510.rules", "../packaging/70-morva-tr510.rules"}) {
        std::error_code ec;
        const fs::path path =
            fs::weakly_canonical(fs::path(options_.resourceFolder) / candidate, ec);
        if (!ec && fs::exists(path, ec)) {
            rule = path.string();
            break;
        }
    }
    const auto types = DeviceTypes();
    const QString name =
        typeRow >= 0 && static_cast<std::size_t>(typeRow) < types.size()
            ? ui::CPaintManagerUI::ResolveText(
                  &window_.GetPaintManager(),
                  QString::fromLatin1(types[typeRow].typeName.data(),
                                      static_cast<qsizetype>(types[typeRow].typeName.size())))
            : QString();
    const QString text = name + QStringLiteral(" (") + QString::fromStdString(node) +
                         QStringLiteral(")\n\n") +
                         QStringLiteral(
                             "sudo install -m 0644 %1 /etc/udev/rules.d/70-morva-tr510.rules\n"
                             "sudo udevadm control --reload-rules\n"
                             "sudo udevadm trigger --subsystem-match=hidraw")
                             .arg(QString::fromStdString(rule));
    if (ui::CControlUI* edit = Find("nodevice_access_text"))
        edit->SetText(text);
    if (ui::CControlUI* box = Find("nodevice_access"))
        box->SetVisible(true);
    // Room for the commands.
    if (ui::CControlUI* image = Find("nodevice_image"))
        image->SetVisible(false);
}

void CDeviceManager::ReadAgainAfterSleep() {
    // A device may have lost or changed its settings while the machine slept.
    for (const auto* list : {&mice_, &keyboards_, &pads_, &headsets_}) {
        for (ui::CDevicePageUI* page : *list) {
            if (page->Model().CommandChannel().IsOpen() && page->TabEntry() != nullptr)
                page->TabEntry()->StartStartupTimer();
        }
    }
}

void CDeviceManager::SetExternalLightControl(bool on) {
    externalLight_ = on;
    for (const auto* list : {&mice_, &keyboards_, &pads_, &headsets_}) {
        for (ui::CDevicePageUI* page : *list)
            page->Model().SetExternalLightControl(on);
    }
}

void CDeviceManager::SetOutOfReach(int typeRow, bool out) {
    const bool changed = out ? outOfReach_.insert(typeRow).second : outOfReach_.erase(typeRow) > 0;
    if (changed)
        UpdateReachNotice();
}

void CDeviceManager::UpdateReachNotice() {
    ui::CControlUI* notice = Find("device_unreach_notice");
    if (notice == nullptr)
        return;
    bool mouse = false;
    bool keyboard = false;
    for (const int row : outOfReach_) {
        if (row < 0 || row >= static_cast<int>(DeviceTypes().size()))
            continue;
        const int kind = DeviceTypes()[static_cast<std::size_t>(row)].kind;
        mouse = mouse || kind == kKindMouse;
        keyboard = keyboard || kind == kKindKeyboard;
    }
    notice->SetVisible(mouse || keyboard);
    if (mouse && keyboard)
        notice->SetText(QStringLiteral("devices_out_of_reach_text"));
    else if (mouse)
        notice->SetText(QStringLiteral("ms_out_of_reach_text"));
    else if (keyboard)
        notice->SetText(QStringLiteral("kb_out_of_reach_text"));
}

void CDeviceManager::SetSearching(bool on) {
    searching_ = on;
    UpdateStrip();
}

void CDeviceManager::UpdateStrip() {
    int first = -1;
    const int connected = CountConnectedDevices(&first);
    ui::CControlUI* noDevice = Find("No_device_Link");
    ui::CTabLayoutUI* pages = Tabs("device_switch");
    ui::CTabLayoutUI* powers = Tabs("device_power_switch");
    if (noDevice != nullptr)
        noDevice->SetVisible(connected == 0 && !searching_);
    if (pages != nullptr)
        pages->SetVisible(connected > 0);
    if (connected == 0) {
        if (pages != nullptr)
            pages->SelectItem(0);
        if (powers != nullptr)
            powers->SelectItem(0);
    }
    // The strip is as wide as its shown entries, so the arrows sit right beside them.
    if (auto* strip = dynamic_cast<ui::CContainerUI*>(Find("device_select_layout"))) {
        int width = 0;
        for (int i = 0; i < EntryCount(); ++i) {
            if (EntryAt(i)->IsShown())
                width += EntryAt(i)->GetFixedWidth() + (width > 0 ? strip->GetChildPadding() : 0);
        }
        strip->SetFixedWidth(std::max(width, 1));
    }
    for (const char* arrow : {"device_select_prev", "device_select_next"}) {
        if (ui::CControlUI* c = Find(arrow))
            c->SetVisible(connected > 1);
    }
    UpdateSameModePermission(connected);
    // Nothing shows or selects the synchronisation mark: keep it cleared.
    for (int i = 0; i < EntryCount(); ++i)
        EntryAt(i)->SetSyncMarkSelected(false);
}

// ---- Lookups ----

std::vector<DeviceStatus> CDeviceManager::Status() const {
    std::vector<DeviceStatus> lines;
    const ui::CDevicePageUI* current = CurrentDevice();
    for (const auto* list : {&mice_, &keyboards_, &pads_, &headsets_}) {
        for (const ui::CDevicePageUI* page : *list) {
            const CTessaronUSBDevice& model = page->Model();
            const CDeviceChannel& channel = model.CommandChannel();
            DeviceStatus line;
            line.kind = KindName(model.GetDeviceKind());
            line.connected = channel.IsOpen();
            line.link = !line.connected ? "none" : channel.ViaReceiver() ? "receiver" : "cable";
            line.shown = page->TabEntry() != nullptr && page->TabEntry()->IsShown();
            line.selected = page == current;
            lines.push_back(line);
        }
    }
    return lines;
}

ui::CDevicePageUI* CDeviceManager::PageOfKind(int kind) const {
    const std::vector<ui::CDevicePageUI*>* list = nullptr;
    switch (kind) {
        case kKindMouse:
            list = &mice_;
            break;
        case kKindKeyboard:
            list = &keyboards_;
            break;
        case kKindMousePad:
            list = &pads_;
            break;
        case kKindHeadset:
            list = &headsets_;
            break;
        default:
            return nullptr;
    }
    return list->empty() ? nullptr : list->front();
}

int CDeviceManager::EntryIndexOfRow(int typeRow) const {
    // The strip holds the entries in creation order, which is not the type row order once
    // a headset arrives before a pad.
    for (int i = 0; i < EntryCount(); ++i) {
        ui::CDeviceOptionUI* entry = EntryAt(i);
        if (entry->GetDevice() != nullptr && entry->GetDevice()->Model().TypeRow() == typeRow)
            return i;
    }
    return -1;
}

ui::CDeviceOptionUI* CDeviceManager::EntryAt(int index) const {
    auto* strip = dynamic_cast<ui::CContainerUI*>(Find("device_select_layout"));
    if (strip == nullptr || index < 0 || index >= strip->GetCount())
        return nullptr;
    return dynamic_cast<ui::CDeviceOptionUI*>(strip->GetItemAt(index));
}

int CDeviceManager::EntryCount() const {
    auto* strip = dynamic_cast<ui::CContainerUI*>(Find("device_select_layout"));
    return strip == nullptr ? 0 : strip->GetCount();
}

std::vector<ui::CDevicePageUI*> CDeviceManager::AllPages() const {
    std::vector<ui::CDevicePageUI*> pages;
    for (const auto* list : {&keyboards_, &mice_, &pads_, &headsets_})
        pages.insert(pages.end(), list->begin(), list->end());
    return pages;
}

std::vector<ui::CDevicePageUI*>& CDeviceManager::ListOf(int deviceType) {
    return const_cast<std::vector<ui::CDevicePageUI*>&>(
        static_cast<const CDeviceManager*>(this)->ListOf(deviceType));
}

const std::vector<ui::CDevicePageUI*>& CDeviceManager::ListOf(int deviceType) const {
    if (IsKeyboardType(deviceType))
        return keyboards_;
    if (deviceType == kDeviceTypeMousePad)
        return pads_;
    if (deviceType == kDeviceTypeHeadset)
        return headsets_;
    return mice_;
}

ui::CDevicePageUI* CDeviceManager::FindDevice(const SupportedInterface& record) const {
    for (const auto* list : {&mice_, &keyboards_, &pads_, &headsets_}) {
        for (ui::CDevicePageUI* page : *list) {
            if (RecordsEqual(page->Model().Record(), record))
                return page;
        }
    }
    return nullptr;
}

bool CDeviceManager::BothLinksPresent(int slot) const {
    const SupportedInterface rec = slots_.Slot(slot);
    if (!rec.hasPartner)
        return false;
    const SupportedInterface partner = slots_.Slot(rec.partnerIndex);
    return partner.partnerIndex == slot && partner.connected != 0 && !partner.path.empty();
}

ui::CControlUI* CDeviceManager::Find(const char* name) const {
    return window_.FindControl(QString::fromLatin1(name));
}

ui::CTabLayoutUI* CDeviceManager::Tabs(const char* name) const {
    return dynamic_cast<ui::CTabLayoutUI*>(Find(name));
}

}  // namespace morva::app
