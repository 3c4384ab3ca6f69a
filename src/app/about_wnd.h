// The modal about window: program name, what it is for and the software version.
#pragma once

#include <QString>

#include "ui/toolkit/window.h"

namespace morva::app {

// Layout "XML/AboutWnd.xml" (under the resource root) with "software_ver_label" and the hidden
// "text_test"; optional caption buttons and "homepage_btn".
class CAboutWnd : public ui::WindowImplBase {
    Q_OBJECT

public:
    // Sent to open windows after the interface language changed.
    static constexpr int kMsgLanguageChanged = 0x0C11;

    // versionText: the version of the program as the caller shows it (e.g. "1.0.3").
    CAboutWnd(QWidget* owner, QString versionText);

    QString GetVersionText() const { return versionText_; }
    // The translated label text plus the version, as built when the window was created.
    QString GetVersionLine() const { return versionLine_; }
    // Texts follow the new language; the version line stays as built.
    void OnLanguageChanged();

    // The window OpenAboutWindow shows, or null.
    static CAboutWnd* Current();

protected:
    QString GetSkinFile() override { return QStringLiteral("XML/AboutWnd.xml"); }
    void InitWindow() override;
    void Notify(const ui::TNotifyUI& msg) override;
    intptr_t HandleCustomMessage(int msg, intptr_t wParam, intptr_t lParam, bool& handled) override;
    void changeEvent(QEvent* event) override;

private:
    void SyncMaxRestoreButtons();

    QString versionText_;
    QString versionLine_;
};

// Shows the about window modal and centred over `owner` and frees it afterwards. Gives 0
// after "closebtn"; -1 at once when it is open already.
int OpenAboutWindow(QWidget* owner, const QString& versionText);

}  // namespace morva::app
