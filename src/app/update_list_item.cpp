#include "app/update_list_item.h"

#include <QColor>

#include "ui/toolkit/controls.h"
#include "ui/toolkit/dialog_builder.h"
#include "ui/toolkit/paint_manager.h"
#include "update/update_check.h"

namespace morva::app {

namespace {

void Show(ui::CControlUI* part, bool visible) {
    if (part != nullptr)
        part->SetVisible(visible);
}

}  // namespace

CUpdateInfoListItemUI::CUpdateInfoListItemUI(QWidget* parent) : CListContainerElementUI(parent) {
    ui::CDialogBuilder builder;
    if (ui::CControlUI* row = builder.Create(QString::fromLatin1(kLayout)))
        Add(row);
    name_ = dynamic_cast<ui::CCheckBoxUI*>(Part("check_name_select"));
    progress_ = dynamic_cast<ui::CProgressUI*>(Part("update_status_ing"));
    if (progress_ != nullptr) {
        progress_->SetMinValue(0);
        progress_->SetMaxValue(100);
    }
    SetState(update::kItemUpToDate);
}

ui::CControlUI* CUpdateInfoListItemUI::Part(const char* name) const {
    return ui::CPaintManagerUI::FindSubControlByName(this, QString::fromLatin1(name));
}

void CUpdateInfoListItemUI::SetName(const QString& name) {
    if (name_ != nullptr)
        name_->SetText(name);
}

QString CUpdateInfoListItemUI::Name() const {
    return name_ != nullptr ? name_->GetText() : QString();
}

void CUpdateInfoListItemUI::SetVersions(const QString& current, const QString& offered) {
    if (ui::CControlUI* old = Part("OldRev"))
        old->SetText(current);
    // An empty offer keeps its column: the state text stays under its own heading.
    if (ui::CControlUI* rev = Part("updateRev"))
        rev->SetText(offered);
}

QString CUpdateInfoListItemUI::CurrentVersion() const {
    const ui::CControlUI* old = Part("OldRev");
    return old != nullptr ? old->GetText() : QString();
}

QString CUpdateInfoListItemUI::OfferedVersion() const {
    const ui::CControlUI* rev = Part("updateRev");
    return rev != nullptr ? rev->GetText() : QString();
}

QString CUpdateInfoListItemUI::StateTextKey(int state) {
    switch (state) {
        case update::kItemLessUpdate:
            return QStringLiteral("LessUpdateText");
        case update::kItemNeedUpdate:
        case update::kItemNeedUpdateToo:
            return QStringLiteral("NeedUpdateText");
        case update::kItemDownloadWait:
            return QStringLiteral("DownloadWaitText");
        case update::kItemDownloading:
            return QStringLiteral("DownloadIngText");
        case update::kItemDownloaded:
            return QStringLiteral("DownloadOkText");
        case update::kItemUpdating:
            return QStringLiteral("UpdateIngText");
        case update::kItemUpdateFailed:
            return QStringLiteral("UpdateFailText");
        case update::kItemCheckFailed:
            return QStringLiteral("UpdateCheckFailText");
        case update::kItemUpToDate:
            return QStringLiteral("UpdateOkText");
        default:
            return QString();
    }
}

void CUpdateInfoListItemUI::SetState(int state) {
    state_ = state;
    if (ui::CControlUI* text = Part("update_status_text"))
        text->SetText(StateTextKey(state));
    const bool busy = state == update::kItemDownloading || state == update::kItemUpdating;
    Show(Part("update_progress_row"), busy);
    Show(Part("update_status_ok"), state == update::kItemDownloaded);
    const bool selectable = state == update::kItemNeedUpdate ||
                            state == update::kItemNeedUpdateToo ||
                            state == update::kItemUpdateFailed;
    if (name_ == nullptr)
        return;
    if (selectable) {
        name_->SetTextColor(QColor::fromRgba(0xFF0099FF));
        name_->SetAttribute(QStringLiteral("hottextcolor"), QStringLiteral("#FF0078C8"));
    } else if (state == update::kItemLessUpdate) {
        name_->SetTextColor(QColor::fromRgba(0xFF666666));
    } else {
        name_->SetTextColor(QColor::fromRgba(0xFFFFFFFF));
        name_->SetAttribute(QStringLiteral("hottextcolor"), QStringLiteral("#FF666666"));
    }
    SetSelectable(selectable);
}

void CUpdateInfoListItemUI::SetSelectable(bool selectable) {
    if (name_ == nullptr)
        return;
    name_->SetEnabled(selectable);
    if (!selectable)
        name_->Selected(false, false);
}

bool CUpdateInfoListItemUI::Selectable() const {
    return name_ != nullptr && name_->IsEnabled();
}

bool CUpdateInfoListItemUI::Ticked() const {
    return name_ != nullptr && name_->IsSelected();
}

void CUpdateInfoListItemUI::SetTicked(bool ticked) {
    if (name_ != nullptr)
        name_->Selected(ticked, false);
}

void CUpdateInfoListItemUI::SetProgress(int percent) {
    if (progress_ != nullptr)
        progress_->SetValue(percent);
    if (ui::CControlUI* value = Part("update_progress_value"))
        value->SetText(QStringLiteral("%1%").arg(percent));
}

QString CUpdateInfoListItemUI::ProgressText() const {
    const ui::CControlUI* value = Part("update_progress_value");
    return value != nullptr ? value->GetText() : QString();
}

}  // namespace morva::app
