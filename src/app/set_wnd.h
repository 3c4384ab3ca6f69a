// The settings window: the interface language, the update page (one entry for the program and
// one per connected model) and the about page.
#pragma once

#include <QList>
#include <QPointer>
#include <QSslCertificate>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ui/toolkit/window.h"
#include "update/update_check.h"
#include "update/update_client.h"

namespace morva::ui {
class CCheckBoxUI;
}

namespace morva::app {

class CUpdateInfoListItemUI;

// Page statuses of the update page; kPageIdle until a check runs.
inline constexpr int kPageIdle = -1;
inline constexpr int kPageChecking = 0;
inline constexpr int kPageHaveUpdate = 1;
inline constexpr int kPageNoAnswer = 2;
inline constexpr int kPageUpdating = 3;
inline constexpr int kPageCurrent = 4;

// Relay codes an outside updater sends about the entry it is updating.
inline constexpr int kRelayFinished = 1;
inline constexpr int kRelayProgress = 4;

struct SetWndOptions {
    QStringList languageKeys;                 // how each language is shown, in list order
    std::vector<update::ModelEntry> entries;  // only those with a version
    QUrl serviceUrl;                          // empty: no update service
    QList<QSslCertificate> extraCas;
    update::UpdateLimits limits;
    std::string dataFolder;  // holds "updatetime.config"; empty: the date is not kept
    bool autoCheck = false;  // check as soon as the window opens
    std::function<void(bool)> autoCheckChanged;
    QString versionText;  // the program's, for the about page
    // Profiles follow the program in front; the change returns whether the desktop says
    // which window is active (a notice shows when it does not).
    bool followPrograms = true;
    bool followWorks = true;
    std::function<bool(bool)> followProgramsChanged;
};

// Layout "XML/setwnd.xml". The owner gets kMsgLanguageChanged (wParam: position) when the
// user picks a language and kMsgClearUpdateBadge when everything is current.
class CSetWnd : public ui::WindowImplBase {
    Q_OBJECT

public:
    CSetWnd(QWidget* owner, SetWndOptions options);
    ~CSetWnd() override;

    // 48, 72, 96, 120, 144, 168 or 192; anything else is taken as 96.
    void SetWindowDpi(int dpi);
    int WindowDpi() const { return dpi_; }
    void SetOwner(ui::WindowImplBase* owner, int languagePosition);
    int LanguagePosition() const { return languagePosition_; }

    // Runs a check over the entries now (nothing while one runs).
    void StartUpdateCheck();
    bool Checking() const;
    void SetUpdateStatus(int status);
    int PageStatus() const { return pageStatus_; }
    QString StatusLine() const;
    QString LastCheckDate() const { return QString::fromStdString(lastDate_); }

    int ItemCount() const;
    CUpdateInfoListItemUI* Item(int index) const;
    // "update_OK_btn": ticked entries wait for the updater, the others can no longer be ticked.
    void MarkSelectedForUpdate();
    // What an outside updater reports about the entry it is updating.
    void OnUpdateRelay(int code, int value);

    // The window OpenSetWnd shows, or null.
    static CSetWnd* Current();

protected:
    QString GetSkinFile() override { return QStringLiteral("XML/setwnd.xml"); }
    void InitWindow() override;
    void Notify(const ui::TNotifyUI& msg) override;
    intptr_t HandleCustomMessage(int msg, intptr_t wParam, intptr_t lParam, bool& handled) override;
    // Escape closes, as the close button does.
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void OnWindowInit();
    void FillLanguageList();
    void FillUpdateList();
    void OnEntryChecked(int index, const update::UpdateInfo& info);
    void OnCheckFinished();
    void OnLanguageChanged();
    void SyncUpdateButton();
    void ShowVersionLine();
    void OnAutostartChanged(ui::CCheckBoxUI* box);
    void OnFollowChanged(ui::CCheckBoxUI* box);
    void ShowFollowNotice(bool works);
    QString Text(const QString& key);
    std::string Today() const;

    SetWndOptions options_;
    QPointer<ui::WindowImplBase> owner_;
    int languagePosition_ = -1;
    int dpi_ = 96;
    int pageStatus_ = kPageIdle;
    QString failureKey_;  // the status line of kPageNoAnswer
    std::vector<update::UpdateInfo> results_;
    std::string lastDate_;
    std::unique_ptr<update::CUpdateClient> client_;
    bool initialised_ = false;
};

// Shows the settings window modal over `owner` at `dpi`: centred, or from the settings button
// with its right edge 30 units left of the owner's and its top 60 units below the owner's.
// -1 at once when it is open already.
int OpenSetWnd(ui::WindowImplBase* owner, int languagePosition, SetWndOptions options, int dpi,
               bool centred);

}  // namespace morva::app
