#include "app/msg_wnd.h"

#include <QAbstractButton>
#include <QKeyEvent>
#include <QPointer>

#include "base/debug_log.h"

namespace morva::app {

namespace {

bool SameName(const QString& a, const char* b) {
    return a.compare(QLatin1String(b), Qt::CaseInsensitive) == 0;
}

}  // namespace

bool HandleCaptionButton(ui::WindowImplBase& wnd, const QString& name) {
    if (SameName(name, "closebtn")) {
        wnd.Close(0);
    } else if (SameName(name, "minbtn")) {
        wnd.showMinimized();
    } else if (SameName(name, "maxbtn")) {
        wnd.showMaximized();
    } else if (SameName(name, "restorebtn")) {
        wnd.showNormal();
    } else if (!SameName(name, "menubtn")) {
        return false;
    }
    return true;
}

void CMsgTextUI::SetText(const QString& text) {
    if (resourceText_) {
        plain_.clear();
        CTextUI::SetText(text);
        return;
    }
    // No key stays behind, so a language change cannot replace the text.
    CTextUI::SetText(QString());
    plain_ = text;
    ShowText(text);
}

QString CMsgTextUI::GetText() const {
    return resourceText_ ? CTextUI::GetText() : plain_;
}

CMsgWnd::CMsgWnd(QWidget* owner) : WindowImplBase(owner), dpi_(ui::CPaintManagerUI::GetDPI()) {
    // A dialog: no task bar entry of its own, kept with its owner by the window manager.
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
}

void CMsgWnd::InitWindow() {
    if (ui::CControlUI* title = FindControl(QStringLiteral("MessageTitle"))) {
        setWindowTitle(title->GetText());
    }
}

void CMsgWnd::SetTitle(const QString& title) {
    if (ui::CControlUI* control = FindControl(QStringLiteral("MessageTitle"))) {
        control->SetText(title);
        setWindowTitle(control->GetText());
    }
}

void CMsgWnd::SetMessage(const QString& text, bool isKey) {
    ui::CControlUI* control = FindControl(QStringLiteral("MessageText"));
    if (control == nullptr) {
        return;
    }
    // A plain Text control resolves everything; texts that are no key still show as written.
    if (auto* message = dynamic_cast<CMsgTextUI*>(control)) {
        message->SetResourceText(isKey);
    }
    control->SetText(text);
}

void CMsgWnd::SetButtons(int mode) {
    if (mode != kMsgButtonsConfirm && mode != kMsgButtonsConfirmCancel) {
        return;
    }
    if (ui::CControlUI* confirm = FindControl(QStringLiteral("confirm_btn"))) {
        confirm->SetVisible(true);
    }
    if (ui::CControlUI* cancel = FindControl(QStringLiteral("cancel_btn"))) {
        cancel->SetVisible(mode == kMsgButtonsConfirmCancel);
    }
}

int CMsgWnd::SetDPI(int dpi) {
    if (dpi == dpi_) {
        return dpi_;
    }
    const int taken = ui::CPaintManagerUI::NormalizeDpi(dpi);
    if (taken != dpi) {
        DebugLog("MSG_WND DPI SET ERROR\n");
    }
    dpi_ = taken;
    if (taken != ui::CPaintManagerUI::GetDPI()) {
        ui::CPaintManagerUI::SetAllDPI(taken);
    }
    return dpi_;
}

void CMsgWnd::Notify(const ui::TNotifyUI& msg) {
    if (msg.sType == QLatin1String(ui::kNotifyClick) && msg.pSender != nullptr) {
        const QString name = msg.pSender->GetName();
        if (SameName(name, "confirm_btn")) {
            Close(kResultConfirm);
            return;
        }
        if (SameName(name, "cancel_btn")) {
            Close(kResultCancel);
            return;
        }
        if (HandleCaptionButton(*this, name)) {
            return;
        }
    }
    WindowImplBase::Notify(msg);
}

ui::CControlUI* CMsgWnd::CreateControl(const QString& tag) {
    if (SameName(tag, "MsgText")) {
        return new CMsgTextUI;  // the builder gives it its parent
    }
    return WindowImplBase::CreateControl(tag);
}

void CMsgWnd::showEvent(QShowEvent* event) {
    // Return answers with the confirm button unless the user moves the focus elsewhere.
    if (ui::CControlUI* confirm = FindControl(QStringLiteral("confirm_btn"));
        confirm != nullptr && confirm->IsVisible()) {
        confirm->GetWidget()->setFocus(Qt::OtherFocusReason);
    }
    WindowImplBase::showEvent(event);
}

void CMsgWnd::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        Close(kResultCancel);
        return;
    }
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        // Outside a dialog a push button lets Return pass; the box presses it itself.
        auto* button = qobject_cast<QAbstractButton*>(focusWidget());
        if (button == nullptr || !button->isVisible()) {
            ui::CControlUI* confirm = FindControl(QStringLiteral("confirm_btn"));
            button =
                confirm != nullptr ? qobject_cast<QAbstractButton*>(confirm->GetWidget()) : nullptr;
        }
        if (button != nullptr && button->isVisible() && button->isEnabled()) {
            button->click();
        }
        return;
    }
    WindowImplBase::keyPressEvent(event);
}

int ShowMessageBox(QWidget* owner, const QString& title, const QString& text, int dpi,
                   bool textIsKey, int buttons) {
    // The owner (Qt parent) deletes the box should it go first; otherwise it goes below.
    const QPointer<CMsgWnd> wnd = new CMsgWnd(owner);
    wnd->Create();
    if (!title.isEmpty()) {
        wnd->SetTitle(title);
    }
    if (!text.isEmpty()) {
        wnd->SetMessage(text, textIsKey);
    }
    wnd->SetDPI(dpi);
    wnd->SetButtons(buttons);
    wnd->CenterWindow();
    const int result = wnd->ShowModal();
    if (wnd) {
        wnd->deleteLater();
    }
    // A close by the window system ends with the toolkit's own cancel code.
    return result == CMsgWnd::kResultConfirm ? CMsgWnd::kResultConfirm : CMsgWnd::kResultCancel;
}

}  // namespace morva::app
