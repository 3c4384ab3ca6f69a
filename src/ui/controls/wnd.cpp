#include "ui/controls/wnd.h"

#include <QEvent>
#include <QWindow>

namespace morva::ui {

CWndUI::CWndUI(QWidget* parent) : QWidget(parent), CControlUI(this) {}

void CWndUI::SetHostedWidget(QWidget* widget) {
    // Hosting itself or an ancestor would move the control with itself.
    if (widget != nullptr && (widget == this || widget->isAncestorOf(this))) {
        return;
    }
    hosted_ = widget;
    WatchAncestors();
    Sync();
}

QWidget* CWndUI::SetHostedWindow(QWindow* window) {
    QWidget* container = window != nullptr ? QWidget::createWindowContainer(window, this) : nullptr;
    SetHostedWidget(container);
    return container;
}

void CWndUI::SetVisible(bool visible) {
    CControlUI::SetVisible(visible);
    Sync();
}

void CWndUI::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    Sync();
}

void CWndUI::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    Sync();
}

void CWndUI::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    Sync();
}

void CWndUI::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    Sync();
}

void CWndUI::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ParentChange) {
        WatchAncestors();
        Sync();
    }
}

void CWndUI::WatchAncestors() {
    for (const QPointer<QWidget>& w : watched_) {
        if (w != nullptr) {
            w->removeEventFilter(this);
        }
    }
    watched_.clear();
    if (hosted_ == nullptr) {
        return;
    }
    // Moving an ancestor moves this control on screen without a move event of its own.
    for (QWidget* w = parentWidget(); w != nullptr; w = w->parentWidget()) {
        w->installEventFilter(this);
        watched_.emplace_back(w);
        if (w->isWindow()) {
            break;
        }
    }
}

bool CWndUI::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Move && watched != this) {
        Sync();
    }
    return QWidget::eventFilter(watched, event);
}

void CWndUI::Sync() {
    QWidget* hosted = hosted_;
    if (hosted == nullptr) {
        return;
    }
    const QPoint global = mapToGlobal(QPoint(0, 0));
    QWidget* parent = hosted->isWindow() ? nullptr : hosted->parentWidget();
    const QPoint origin = parent != nullptr ? parent->mapFromGlobal(global) : global;
    hosted->setGeometry(QRect(origin, size()));
    hosted->setVisible(isVisible());
}

}  // namespace morva::ui
