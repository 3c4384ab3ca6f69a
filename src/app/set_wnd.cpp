#include "app/set_wnd.h"

#include <QCloseEvent>
#include <QDate>
#include <QKeyEvent>

#include <algorithm>
#include <array>

#include "app/autostart_entry.h"
#include "app/msg_wnd.h"
#include "app/update_list_item.h"
#include "app/window_messages.h"
#include "base/debug_log.h"
#include "ui/toolkit/containers.h"
#include "ui/toolkit/controls.h"
#include "ui/toolkit/list.h"
#include "ui/toolkit/paint_manager.h"

namespace morva::app {

namespace {

QPointer<CSetWnd>& OpenWindow() {
    static QPointer<CSetWnd> open;
    return open;
}

bool Is(const QString& name, const char* wanted) {
    return name.compare(QLatin1String(wanted), Qt::CaseInsensitive) == 0;
}

QString FromStd(const std::string& text) {
    return QString::fromUtf8(text.c_str());
}

constexpr std::array kNavPages{"set_nav_language", "set_nav_update", "set_nav_about"};

}  // namespace

CSetWnd::CSetWnd(QWidget* owner, SetWndOptions options)
    : WindowImplBase(owner), options_(std::move(options)) {
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
}

CSetWnd::~CSetWnd() = default;

CSetWnd* CSetWnd::Current() {
    return OpenWindow().data();
}

void CSetWnd::InitWindow() {
    resize(ui::CPaintManagerUI::Scale(630), ui::CPaintManagerUI::Scale(500));
    if (ui::CControlUI* title = FindControl(QStringLiteral("set_title")))
        setWindowTitle(title->GetText());
}

void CSetWnd::SetWindowDpi(int dpi) {
    if (dpi == dpi_)
        return;
    static constexpr std::array kAccepted{48, 72, 96, 120, 144, 168, 192};
    if (std::find(kAccepted.begin(), kAccepted.end(), dpi) != kAccepted.end()) {
        dpi_ = dpi;
    } else {
        DebugLog("SET_WND DPI SET ERROR\n");
        dpi_ = 96;
    }
    if (const int taken = ui::CPaintManagerUI::NormalizeDpi(dpi_);
        taken != ui::CPaintManagerUI::GetDPI())
        ui::CPaintManagerUI::SetAllDPI(taken);
}

void CSetWnd::SetOwner(ui::WindowImplBase* owner, int languagePosition) {
    owner_ = owner;
    languagePosition_ = languagePosition;
}

QString CSetWnd::Text(const QString& key) {
    return ui::CPaintManagerUI::ResolveText(&GetPaintManager(), key);
}

std::string CSetWnd::Today() const {
    const QDate today = QDate::currentDate();
    return update::DateText(today.year(), today.month(), today.day());
}

void CSetWnd::OnWindowInit() {
    if (initialised_)
        return;
    initialised_ = true;
    FillLanguageList();
    FillUpdateList();
    ShowVersionLine();
    if (auto* autoCheck =
            dynamic_cast<ui::CCheckBoxUI*>(FindControl(QStringLiteral("update_auto_check"))))
        autoCheck->Selected(options_.autoCheck, false);
    if (auto* autostart =
            dynamic_cast<ui::CCheckBoxUI*>(FindControl(QStringLiteral("set_autostart_check"))))
        autostart->Selected(CAutostartEntry().Enabled(), false);
    if (auto* follow =
            dynamic_cast<ui::CCheckBoxUI*>(FindControl(QStringLiteral("set_follow_check"))))
        follow->Selected(options_.followPrograms, false);
    ShowFollowNotice(!options_.followPrograms || options_.followWorks);
    // Nothing is asked of the service until the user wants it.
    if (options_.autoCheck)
        StartUpdateCheck();
    else
        SetUpdateStatus(kPageIdle);
}

void CSetWnd::FillLanguageList() {
    auto* combo = dynamic_cast<ui::CComboUI*>(FindControl(QStringLiteral("Language_combox_info")));
    if (combo == nullptr)
        return;
    combo->RemoveAll();
    for (const QString& key : options_.languageKeys)
        combo->AddItem(key);
    combo->SelectItem(languagePosition_, false, false);
}

void CSetWnd::FillUpdateList() {
    auto* list = dynamic_cast<ui::CListUI*>(FindControl(QStringLiteral("device_update_list_info")));
    if (list == nullptr)
        return;
    list->RemoveAll();
    for (const update::ModelEntry& entry : options_.entries) {
        auto* item = new CUpdateInfoListItemUI;  // the list owns it
        list->Add(item);
        item->SetName(FromStd(update::DisplayName(entry)));
        item->SetVersions(FromStd(update::LocalVersionText(entry)), QString());
        item->SetState(update::kItemUnchecked);
    }
    results_.assign(options_.entries.size(), update::UpdateInfo{});
}

int CSetWnd::ItemCount() const {
    const auto* list =
        dynamic_cast<const ui::CListUI*>(FindControl(QStringLiteral("device_update_list_info")));
    return list != nullptr ? list->GetCount() : 0;
}

CUpdateInfoListItemUI* CSetWnd::Item(int index) const {
    const auto* list =
        dynamic_cast<const ui::CListUI*>(FindControl(QStringLiteral("device_update_list_info")));
    return list != nullptr ? dynamic_cast<CUpdateInfoListItemUI*>(list->GetItemAt(index)) : nullptr;
}

bool CSetWnd::Checking() const {
    return client_ != nullptr && client_->Busy();
}

void CSetWnd::StartUpdateCheck() {
    if (Checking())
        return;
    if (!options_.dataFolder.empty())
        lastDate_ = update::CUpdateTimeStore(options_.dataFolder).ReadLastDate(Today());
    else if (lastDate_.empty())
        lastDate_ = Today();
    FillUpdateList();
    SyncUpdateButton();
    if (options_.serviceUrl.isEmpty()) {
        failureKey_ = QStringLiteral("UpdateNoServiceText");
        SetUpdateStatus(kPageNoAnswer);
        return;
    }
    client_ = std::make_unique<update::CUpdateClient>(options_.serviceUrl, options_.limits);
    client_->AddCaCertificates(options_.extraCas);
    connect(client_.get(), &update::CUpdateClient::EntryChecked, this,
            [this](int index, const update::UpdateInfo& info) { OnEntryChecked(index, info); });
    connect(client_.get(), &update::CUpdateClient::Finished, this,
            [this](int) { OnCheckFinished(); });
    SetUpdateStatus(kPageChecking);
    client_->Check(options_.entries);
}

void CSetWnd::OnEntryChecked(int index, const update::UpdateInfo& info) {
    CUpdateInfoListItemUI* item = Item(index);
    if (item == nullptr || index >= static_cast<int>(results_.size()))
        return;
    results_[index] = info;
    item->SetName(FromStd(info.name));
    item->SetVersions(FromStd(info.localVersion), info.status == update::kItemUpToDate
                                                      ? QString()
                                                      : FromStd(info.serverVersion));
    item->SetState(info.status);
    item->SetUserData(FromStd(info.path));
    item->SetSelectable(false);
    if (!options_.dataFolder.empty()) {
        lastDate_ = Today();
        update::CUpdateTimeStore(options_.dataFolder).WriteDate(lastDate_);
    }
}

void CSetWnd::OnCheckFinished() {
    bool anyUpdate = false;
    for (int i = 0; i < ItemCount(); ++i) {
        CUpdateInfoListItemUI* item = Item(i);
        const int state = item->State();
        const bool offered = state == update::kItemNeedUpdate ||
                             state == update::kItemNeedUpdateToo ||
                             state == update::kItemUpdateFailed;
        item->SetSelectable(offered);
        item->SetTicked(offered);
        anyUpdate = anyUpdate || offered;
    }
    SyncUpdateButton();
    const int status = update::PageStatus(results_);
    if (status == kPageNoAnswer) {
        const bool tls = std::any_of(results_.begin(), results_.end(), [](const auto& r) {
            return r.failure == update::CheckFailure::Tls;
        });
        failureKey_ =
            tls ? QStringLiteral("UpdateTlsFailText") : QStringLiteral("NoUpdateInfoText");
    }
    SetUpdateStatus(anyUpdate ? kPageHaveUpdate : status);
}

void CSetWnd::SetUpdateStatus(int status) {
    pageStatus_ = status;
    QString line;
    switch (status) {
        case kPageIdle:
            line = Text(QStringLiteral("UpdateIdleText"));
            break;
        case kPageChecking:
            line = Text(QStringLiteral("GetUpdateInfoText"));
            break;
        case kPageHaveUpdate:
            line = Text(QStringLiteral("HaveUpdateInfoText"));
            break;
        case kPageNoAnswer:
            line = Text(failureKey_.isEmpty() ? QStringLiteral("NoUpdateInfoText") : failureKey_);
            break;
        case kPageUpdating:
            line = Text(QStringLiteral("ISUpdateINGText"));
            break;
        default:
            line = Text(QStringLiteral("UpdateIsLastText")) + FromStd(lastDate_);
            break;
    }
    if (ui::CControlUI* text = FindControl(QStringLiteral("Update_Status_text")))
        text->SetText(line);
    if (ui::CControlUI* ring = FindControl(QStringLiteral("update_status_ring")))
        ring->SetVisible(status == kPageChecking);
    if (ui::CControlUI* image = FindControl(QStringLiteral("update_status_image")))
        image->SetVisible(status == kPageCurrent);
    if (ui::CControlUI* check = FindControl(QStringLiteral("update_check_btn")))
        check->SetEnabled(status != kPageChecking && status != kPageUpdating);
    if (status == kPageCurrent && owner_)
        owner_->SendMessage(kMsgClearUpdateBadge, 0, 0);
}

QString CSetWnd::StatusLine() const {
    const ui::CControlUI* text = FindControl(QStringLiteral("Update_Status_text"));
    return text != nullptr ? text->GetText() : QString();
}

void CSetWnd::SyncUpdateButton() {
    bool anyTicked = false;
    for (int i = 0; i < ItemCount(); ++i)
        anyTicked = anyTicked || Item(i)->Ticked();
    if (ui::CControlUI* button = FindControl(QStringLiteral("update_fw_and_ap"))) {
        button->SetEnabled(anyTicked);
        button->SetVisible(anyTicked);
    }
}

void CSetWnd::MarkSelectedForUpdate() {
    for (int i = 0; i < ItemCount(); ++i) {
        CUpdateInfoListItemUI* item = Item(i);
        if (item->State() != update::kItemNeedUpdate && item->State() != update::kItemNeedUpdateToo)
            continue;
        if (item->Ticked()) {
            item->SetState(update::kItemDownloadWait);
            item->SetTicked(true);  // the updater's reports are about the ticked entries
        } else {
            item->SetSelectable(false);
        }
    }
    if (ui::CControlUI* button = FindControl(QStringLiteral("update_fw_and_ap")))
        button->SetEnabled(false);
    if (auto* tabs =
            dynamic_cast<ui::CTabLayoutUI*>(FindControl(QStringLiteral("get_update_tab_layout"))))
        tabs->SelectItem(0);
}

void CSetWnd::OnUpdateRelay(int code, int value) {
    // The entry being updated: the first ticked one the updater has not finished.
    CUpdateInfoListItemUI* target = nullptr;
    for (int i = 0; i < ItemCount() && target == nullptr; ++i) {
        CUpdateInfoListItemUI* item = Item(i);
        if (item->Ticked() && item->State() >= update::kItemDownloadWait &&
            item->State() <= update::kItemUpdating)
            target = item;
    }
    if (target == nullptr)
        return;
    if (code == kRelayProgress) {
        if (target->State() == update::kItemDownloadWait)
            target->SetState(update::kItemDownloading);
        target->SetTicked(true);
        target->SetProgress(std::clamp(value, 0, 100));
        if (pageStatus_ != kPageUpdating)
            SetUpdateStatus(kPageUpdating);
        return;
    }
    if (code != kRelayFinished)
        return;  // nothing here acts on the updater's other codes
    target->SetVersions(target->OfferedVersion(), QString());
    target->SetState(update::kItemUpToDate);
    target->SetTicked(false);
    for (int i = 0; i < ItemCount(); ++i) {
        const CUpdateInfoListItemUI* item = Item(i);
        if (item->Ticked() && item->State() != update::kItemUpToDate)
            return;  // the updater goes on with the next one
    }
    bool left = false;
    for (int i = 0; i < ItemCount(); ++i) {
        CUpdateInfoListItemUI* item = Item(i);
        if (item->State() != update::kItemUpToDate && item->State() != update::kItemCheckFailed) {
            item->SetState(update::kItemNeedUpdate);
            left = true;
        }
    }
    SetUpdateStatus(left ? kPageHaveUpdate : kPageCurrent);
}

void CSetWnd::OnAutostartChanged(ui::CCheckBoxUI* box) {
    if (box == nullptr)
        return;
    CAutostartEntry entry;
    QString error;
    const bool done = entry.SetEnabled(box->IsSelected(), &error);
    // What the desktop will do is what the box shows.
    box->Selected(entry.Enabled(), false);
    if (ui::CControlUI* line = FindControl(QStringLiteral("set_autostart_error"))) {
        line->SetText(error);
        line->SetVisible(!done);
    }
}

void CSetWnd::OnFollowChanged(ui::CCheckBoxUI* box) {
    if (box == nullptr)
        return;
    const bool on = box->IsSelected();
    const bool works = options_.followProgramsChanged ? options_.followProgramsChanged(on) : true;
    ShowFollowNotice(!on || works);
}

void CSetWnd::ShowFollowNotice(bool works) {
    if (ui::CControlUI* notice = FindControl(QStringLiteral("set_follow_notice")))
        notice->SetVisible(!works);
}

void CSetWnd::ShowVersionLine() {
    if (ui::CControlUI* version = FindControl(QStringLiteral("set_version_label")))
        version->SetText(Text(QStringLiteral("software_rev_text")) + options_.versionText);
}

void CSetWnd::OnLanguageChanged() {
    ReloadText();
    // Lines made of a translated text and something else are rebuilt.
    SetUpdateStatus(pageStatus_);
    ShowVersionLine();
    if (ui::CControlUI* title = FindControl(QStringLiteral("set_title")))
        setWindowTitle(title->GetText());
    update();
}

void CSetWnd::Notify(const ui::TNotifyUI& msg) {
    if (msg.sType == QLatin1String(ui::kNotifyWindowInit)) {
        OnWindowInit();
        return;
    }
    if (msg.pSender == nullptr) {
        WindowImplBase::Notify(msg);
        return;
    }
    const QString name = msg.pSender->GetName();
    if (msg.sType == QLatin1String(ui::kNotifyClick)) {
        if (Is(name, "laterbtn")) {
            Close(0);
        } else if (Is(name, "homepage_btn")) {
        } else if (Is(name, "update_check_btn")) {
            StartUpdateCheck();
        } else if (Is(name, "update_fw_and_ap")) {
            if (auto* tabs = dynamic_cast<ui::CTabLayoutUI*>(
                    FindControl(QStringLiteral("get_update_tab_layout"))))
                tabs->SelectItem(1);
        } else if (Is(name, "update_OK_btn")) {
            MarkSelectedForUpdate();
        } else if (Is(name, "set_in_update_wnd_btn")) {
            if (ui::CControlUI* hint = FindControl(QStringLiteral("update_tishi_layout")))
                hint->SetVisible(false);
            resize(ui::CPaintManagerUI::Scale(630), ui::CPaintManagerUI::Scale(500));
        } else if (!HandleCaptionButton(*this, name)) {
            WindowImplBase::Notify(msg);
        }
        return;
    }
    if (msg.sType == QLatin1String(ui::kNotifyItemSelect) && Is(name, "Language_combox_info")) {
        auto* combo = dynamic_cast<ui::CComboUI*>(msg.pSender);
        if (owner_ && combo != nullptr && combo->GetCurSel() >= 0) {
            languagePosition_ = combo->GetCurSel();
            owner_->SendMessage(kMsgLanguageChanged, languagePosition_, 0);
        }
        return;
    }
    if (msg.sType == QLatin1String(ui::kNotifySelectChanged)) {
        if (Is(name, "check_name_select")) {
            SyncUpdateButton();
        } else if (Is(name, "set_autostart_check")) {
            OnAutostartChanged(dynamic_cast<ui::CCheckBoxUI*>(msg.pSender));
        } else if (Is(name, "set_follow_check")) {
            OnFollowChanged(dynamic_cast<ui::CCheckBoxUI*>(msg.pSender));
        } else if (Is(name, "update_auto_check")) {
            auto* box = dynamic_cast<ui::CCheckBoxUI*>(msg.pSender);
            options_.autoCheck = box != nullptr && box->IsSelected();
            if (options_.autoCheckChanged)
                options_.autoCheckChanged(options_.autoCheck);
        } else {
            for (std::size_t i = 0; i < kNavPages.size(); ++i) {
                auto* option = dynamic_cast<ui::COptionUI*>(msg.pSender);
                if (Is(name, kNavPages[i]) && option != nullptr && option->IsSelected()) {
                    if (auto* pages = dynamic_cast<ui::CTabLayoutUI*>(
                            FindControl(QStringLiteral("set_pages"))))
                        pages->SelectItem(static_cast<int>(i));
                }
            }
        }
        return;
    }
    WindowImplBase::Notify(msg);
}

intptr_t CSetWnd::HandleCustomMessage(int msg, intptr_t wParam, intptr_t lParam, bool& handled) {
    if (msg == kMsgSettingsRelayed) {
        OnUpdateRelay(static_cast<int>(wParam), static_cast<int>(lParam));
        handled = true;
        return 0;
    }
    if (msg == kMsgLanguageChanged) {
        OnLanguageChanged();
        handled = true;
        return 0;
    }
    return WindowImplBase::HandleCustomMessage(msg, wParam, lParam, handled);
}

void CSetWnd::closeEvent(QCloseEvent* event) {
    // Closing never waits for the service: a request still running is dropped.
    if (client_)
        client_->Abort();
    WindowImplBase::closeEvent(event);
}

void CSetWnd::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        Close(0);
        return;
    }
    WindowImplBase::keyPressEvent(event);
}

int OpenSetWnd(ui::WindowImplBase* owner, int languagePosition, SetWndOptions options, int dpi,
               bool centred) {
    QPointer<CSetWnd>& open = OpenWindow();
    if (open)
        return -1;
    // The owner (Qt parent) deletes the window should it go first; otherwise it goes below.
    const QPointer<CSetWnd> wnd = new CSetWnd(owner, std::move(options));
    open = wnd;
    wnd->Create();
    wnd->SetWindowDpi(dpi);
    wnd->SetOwner(owner, languagePosition);
    wnd->SendWindowInit();
    if (centred || owner == nullptr) {
        wnd->CenterWindow();
    } else {
        const QRect frame = owner->geometry();
        wnd->move(frame.right() + 1 - ui::CPaintManagerUI::Scale(30) - wnd->width(),
                  frame.top() + ui::CPaintManagerUI::Scale(60));
    }
    const int result = wnd->ShowModal();
    open.clear();
    if (wnd)
        wnd->deleteLater();
    return result;
}

}  // namespace morva::app
