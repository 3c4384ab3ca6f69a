#include "app/about_wnd.h"

#include <QEvent>
#include <QPointer>

#include "app/msg_wnd.h"

namespace morva::app {

namespace {

QPointer<CAboutWnd>& OpenWindow() {
    static QPointer<CAboutWnd> open;
    return open;
}

}  // namespace

CAboutWnd::CAboutWnd(QWidget* owner, QString versionText)
    : WindowImplBase(owner), versionText_(std::move(versionText)) {
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
}

CAboutWnd* CAboutWnd::Current() {
    return OpenWindow().data();
}

void CAboutWnd::InitWindow() {
    // The label text comes through a control of this window, so it is translated the way
    // the window's own texts are.
    QString label;
    if (ui::CControlUI* probe = FindControl(QStringLiteral("text_test"))) {
        probe->SetText(QStringLiteral("software_rev_text"));
        label = probe->GetText();
    } else {
        label = ui::CPaintManagerUI::ResolveText(&GetPaintManager(),
                                                 QStringLiteral("software_rev_text"));
    }
    versionLine_ = label + versionText_;
    if (ui::CControlUI* version = FindControl(QStringLiteral("software_ver_label"))) {
        version->SetText(versionLine_);
    }
    if (ui::CControlUI* title = FindControl(QStringLiteral("about_title"))) {
        setWindowTitle(title->GetText());
    }
    SyncMaxRestoreButtons();
}

void CAboutWnd::OnLanguageChanged() {
    // The version line is no key: reloading leaves it as it was built.
    ReloadText();
    if (ui::CControlUI* title = FindControl(QStringLiteral("about_title"))) {
        setWindowTitle(title->GetText());
    }
    update();
}

void CAboutWnd::Notify(const ui::TNotifyUI& msg) {
    if (msg.sType == QLatin1String(ui::kNotifyClick) && msg.pSender != nullptr) {
        const QString name = msg.pSender->GetName();
        if (name.compare(u"homepage_btn", Qt::CaseInsensitive) == 0 ||
            HandleCaptionButton(*this, name)) {
            return;
        }
    }
    WindowImplBase::Notify(msg);
}

intptr_t CAboutWnd::HandleCustomMessage(int msg, intptr_t wParam, intptr_t lParam, bool& handled) {
    if (msg == kMsgLanguageChanged) {
        OnLanguageChanged();
        handled = true;
        return 0;
    }
    return WindowImplBase::HandleCustomMessage(msg, wParam, lParam, handled);
}

void CAboutWnd::changeEvent(QEvent* event) {
    WindowImplBase::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange) {
        SyncMaxRestoreButtons();
    }
}

void CAboutWnd::SyncMaxRestoreButtons() {
    const bool maximized = isMaximized();
    if (ui::CControlUI* maxBtn = FindControl(QStringLiteral("maxbtn"))) {
        maxBtn->SetVisible(!maximized);
    }
    if (ui::CControlUI* restoreBtn = FindControl(QStringLiteral("restorebtn"))) {
        restoreBtn->SetVisible(maximized);
    }
}

int OpenAboutWindow(QWidget* owner, const QString& versionText) {
    QPointer<CAboutWnd>& open = OpenWindow();
    if (open) {
        return -1;
    }
    // The owner (Qt parent) deletes the window should it go first; otherwise it goes below.
    const QPointer<CAboutWnd> wnd = new CAboutWnd(owner, versionText);
    open = wnd;
    wnd->Create();
    wnd->CenterWindow();
    const int result = wnd->ShowModal();
    open.clear();
    if (wnd) {
        wnd->deleteLater();
    }
    return result;
}

}  // namespace morva::app
