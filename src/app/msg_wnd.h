// The program's own modal message box, and the caption buttons the shell's small windows
// share.
#pragma once

#include <QString>

#include "ui/toolkit/controls.h"
#include "ui/toolkit/window.h"

namespace morva::app {

// Button modes of ShowMessageBox; any other value keeps the buttons the layout shows.
inline constexpr int kMsgButtonsConfirm = 0;
inline constexpr int kMsgButtonsConfirmCancel = 1;

// "closebtn" closes with 0, "minbtn", "maxbtn" and "restorebtn" change the window state,
// "menubtn" is taken and ignored. Names compare without case. False for any other name.
bool HandleCaptionButton(ui::WindowImplBase& wnd, const QString& name);

// The message text ("MsgText" in a layout): either a language key, resolved again after a
// language change, or a text shown exactly as given even when it looks like a key.
class CMsgTextUI : public ui::CTextUI {
public:
    QString GetClass() const override { return QStringLiteral("MsgTextUI"); }

    // Applies to the texts set afterwards; texts are keys unless told otherwise.
    void SetResourceText(bool isKey) { resourceText_ = isKey; }
    bool IsResourceText() const { return resourceText_; }
    void SetText(const QString& text) override;
    QString GetText() const override;

private:
    bool resourceText_ = true;
    QString plain_;
};

// Layout "XML_MSG" with "MessageTitle", "MessageText", "confirm_btn", "cancel_btn" and
// optional caption buttons. Ends with 1 after "confirm_btn", 0 after "cancel_btn",
// "closebtn" or Escape. Return presses the focused button, at first "confirm_btn".
class CMsgWnd : public ui::WindowImplBase {
    Q_OBJECT

public:
    static constexpr int kResultConfirm = 1;
    static constexpr int kResultCancel = 0;

    explicit CMsgWnd(QWidget* owner = nullptr);

    // Call after Create(); a missing control leaves things as they are.
    void SetTitle(const QString& title);
    void SetMessage(const QString& text, bool isKey);
    void SetButtons(int mode);
    // 48, 72, 96, 120, 144, 168 or 192; anything else becomes 96 (with a debug line). A new
    // value rescales every window of the program. Returns the DPI in use.
    int SetDPI(int dpi);
    int GetDPI() const { return dpi_; }

protected:
    QString GetSkinFile() override { return QStringLiteral("XML_MSG"); }
    void InitWindow() override;
    void Notify(const ui::TNotifyUI& msg) override;
    ui::CControlUI* CreateControl(const QString& tag) override;
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    int dpi_;
};

// Shows a message box over `owner` (may be null) and waits for the answer: 1 when the user
// confirmed, otherwise 0. An empty title or text keeps the layout's own. The window is freed
// afterwards.
int ShowMessageBox(QWidget* owner, const QString& title, const QString& text, int dpi,
                   bool textIsKey, int buttons);

}  // namespace morva::app
