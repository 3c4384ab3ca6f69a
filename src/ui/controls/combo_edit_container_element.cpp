#include "ui/controls/combo_edit_container_element.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>

#include "ui/toolkit/dialog_builder.h"
#include "ui/toolkit/paint_manager.h"

namespace morva::ui {

CComboEditContainerElementUI::CComboEditContainerElementUI(QWidget* parent)
    : CListContainerElementUI(parent) {
    // Return reaches the row only while it has focus.
    setFocusPolicy(Qt::ClickFocus);
}

void CComboEditContainerElementUI::DoInit() {
    CDialogBuilder builder;
    CControlUI* row = builder.Create(QString::fromLatin1(kItemLayout), nullptr, GetManager());
    RemoveAll();
    if (row != nullptr) {
        Add(row);
    }
    // Looked up below this row: every row of the list has parts of the same names.
    text1_ = CPaintManagerUI::FindSubControlByName(this, QStringLiteral("text1"));
    text2_ = CPaintManagerUI::FindSubControlByName(this, QStringLiteral("text2"));
    delayEdit_ = CPaintManagerUI::FindSubControlByName(this, QStringLiteral("delay_edit"));
}

bool CComboEditContainerElementUI::Activate() {
    if (!IsEnabled() || !IsVisible()) {
        return false;
    }
    SendNotify(kNotifyItemActivate);
    return true;
}

void CComboEditContainerElementUI::SetAttribute(const QString& name, const QString& value) {
    const QString n = name.toLower();
    if (n == u"normalimage" || n == u"hotimage" || n == u"selectedimage") {
        return;
    }
    CContainerUI::SetAttribute(name, value);
}

void CComboEditContainerElementUI::Press(const QMouseEvent& event) {
    setFocus(Qt::MouseFocusReason);
    if (event.modifiers() & Qt::ControlModifier) {
        Select(!IsSelected());
    } else {
        Select(true);
    }
}

bool CComboEditContainerElementUI::event(QEvent* event) {
    switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick: {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            event->accept();
            if (mouse->button() != Qt::LeftButton || !IsEnabled()) {
                return true;
            }
            if (event->type() == QEvent::MouseButtonPress) {
                Press(*mouse);
            } else if (event->type() == QEvent::MouseButtonDblClick) {
                Activate();
                update();
            } else if (rect().contains(mouse->position().toPoint())) {
                SendNotify(kNotifyItemClick);
            }
            return true;
        }
        case QEvent::Enter:
            if (IsEnabled()) {
                hot_ = true;
                update();
            }
            break;
        case QEvent::Leave:
            hot_ = false;
            update();
            break;
        default:
            break;
    }
    return CListContainerElementUI::event(event);
}

void CComboEditContainerElementUI::keyPressEvent(QKeyEvent* event) {
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (!enter || !IsEnabled()) {
        CListContainerElementUI::keyPressEvent(event);
        return;
    }
    // Enter passed up by the delay entry was the entry's own: it must not activate a row.
    if (QApplication::focusWidget() != this) {
        event->accept();
        return;
    }
    Activate();
    update();
    // Last: a handler may remove this row.
    SendNotify(kNotifyReturn);
}

}  // namespace morva::ui
