// What the main window does for the pages' and panels' handlers: message boxes, notes, file
// dialogs, the screen size, the key assignment's editing state and the profile switch delay.
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>

#include "app/app_profile_switcher.h"
#include "app/color_select_wnd.h"
#include "app/main_wnd.h"
#include "app/msg_wnd.h"
#include "app/program_bind_wnd.h"
#include "base/debug_log.h"
#include "ui/pages/device_page.h"
#include "ui/panels/file_dialog.h"
#include "ui/panels/key_set_control.h"
#include "ui/toolkit/paint_manager.h"
#include "ui/toolkit/theme.h"

namespace morva::app {

namespace {

constexpr int kProfileSwitchDelayMs = 400;
constexpr int kNoteMs = 2500;

}  // namespace

void CMainWnd::ShowMessage(const QString& key, int detail, const QString& reason) {
    // The translation may be a format with "%d"; it is filled in as text, never as a format.
    QString text = Translate(key);
    text.replace(QLatin1String("%d"), QString::number(detail));
    if (!reason.isEmpty())
        text += QStringLiteral("\n\n") + reason;
    ShowMessageBox(this, {}, text, dpi_, false, kMsgButtonsConfirm);
}

bool CMainWnd::Confirm(const QString& key) {
    return ShowMessageBox(this, {}, Translate(key), dpi_, false, kMsgButtonsConfirmCancel) ==
           CMsgWnd::kResultConfirm;
}

void CMainWnd::ShowNote(const QString& key) {
    if (note_ == nullptr) {
        note_ = new QLabel(this);  // the window owns it
        note_->setObjectName(QStringLiteral("window_note"));
        note_->setAlignment(Qt::AlignCenter);
        note_->setStyleSheet(QStringLiteral("QLabel { background: #%1; color: #%2; border: 1px "
                                            "solid #%3; border-radius: 6px; padding: 6px 16px; }")
                                 .arg(ui::theme::kRaised & 0xFFFFFF, 6, 16, QLatin1Char('0'))
                                 .arg(ui::theme::kText & 0xFFFFFF, 6, 16, QLatin1Char('0'))
                                 .arg(ui::theme::kSuccess & 0xFFFFFF, 6, 16, QLatin1Char('0')));
    }
    note_->setText(Translate(key));
    note_->adjustSize();
    note_->move((width() - note_->width()) / 2, height() - note_->height() - 24);
    note_->show();
    note_->raise();
    QTimer::singleShot(kNoteMs, note_, [note = note_] {
        if (note)
            note->hide();
    });
}

QString CMainWnd::ShownNote() const {
    return note_ != nullptr && !note_->isHidden() ? note_->text() : QString();
}

QString CMainWnd::OpenFile(const QString& filter, const QString& pattern) {
    return ui::ShowOpenFileDialog(this, filter, pattern);
}

QString CMainWnd::SaveFile(const QString& filter, const QString& pattern) {
    return ui::ShowSaveFileDialog(this, filter, pattern);
}

QSize CMainWnd::ScreenPixels() const {
    const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    if (screen == nullptr)
        return {};
    return screen->size() * screen->devicePixelRatio();
}

void CMainWnd::SetEditingState(int lock, int saved) {
    ui::CDevicePageUI* page = devices_ ? devices_->CurrentDevice() : nullptr;
    if (lock != 0) {
        if (ui::CControlUI* tabs = FindControl(QStringLiteral("device_select_layout")))
            tabs->SetEnabled(saved != 0);
        if (page != nullptr) {
            if (ui::CControlUI* profiles = ui::CPaintManagerUI::FindSubControlByName(
                    page, QStringLiteral("DeviceProfileItem")))
                profiles->SetEnabled(saved != 0);
        }
    }
    if (ui::CKeySetControlUI* panel = page != nullptr ? page->KeySetPanel() : nullptr)
        panel->SetEditButtonsEnabled(saved == 0);
    editingSaved_ = saved;
}

void CMainWnd::StartProfileSwitch() {
    // A second choice within the delay restarts it: one switch, the last.
    if (GetRoot())
        ui::CPaintManagerUI::SetTimer(GetRoot(), kTimerProfileSwitch, kProfileSwitchDelayMs);
}

std::optional<std::uint32_t> CMainWnd::PickColour(std::uint32_t initial) {
    return ShowColorSelectWnd(this, initial, dpi_, localAppData_, resourceFolder_);
}

void CMainWnd::EditProgramBindings(const std::string& userDataFolder, const std::string& profileId,
                                   const QString& profileName) {
    ProgramBindOptions options;
    options.userDataFolder = userDataFolder;
    options.profileId = profileId;
    options.profileName = profileName;
    if (appProfiles_)
        options.openPrograms = appProfiles_->OpenProgramNames();
    if (!appProfiles_ || !appProfiles_->Enabled())
        options.notice = QStringLiteral("bind_follow_off");
    else if (!appProfiles_->Watching())
        options.notice = QStringLiteral("set_follow_unavailable");
    if (ShowProgramBindWnd(this, std::move(options), dpi_) > 0 && appProfiles_)
        appProfiles_->Reconsider();
}

void CMainWnd::NotBuiltYet(const std::string& feature) {
    ++pending_[feature];
    DebugLog("%s: not built yet\n", feature.c_str());
}

void CMainWnd::HideToTray() {
    if (tray_ && tray_->IsVisible()) {
        hide();
    } else {
        showMinimized();
    }
}

}  // namespace morva::app
