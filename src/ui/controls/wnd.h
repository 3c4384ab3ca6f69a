// A placeholder that keeps another widget (or a foreign window) over its own area.
#pragma once

#include <QPointer>
#include <QWidget>

#include <vector>

#include "ui/toolkit/control.h"

class QWindow;

namespace morva::ui {

// The hosted widget takes the control's rectangle and follows its visibility: when the
// control moves, resizes, is shown or hidden (itself or through an ancestor), and when the
// window moves. A hosted widget in another window (or none) is placed in screen coordinates.
class CWndUI : public QWidget, public CControlUI {
public:
    explicit CWndUI(QWidget* parent = nullptr);
    QString GetClass() const override { return QStringLiteral("Wnd"); }

    // Not owned; null stops hosting. The hosted widget is placed at once.
    void SetHostedWidget(QWidget* widget);
    QWidget* GetHostedWidget() const { return hosted_; }
    // Wraps a foreign window in a container owned by this control and hosts that.
    QWidget* SetHostedWindow(QWindow* window);

    void SetVisible(bool visible = true) override;

protected:
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Sync();
    void WatchAncestors();

    QPointer<QWidget> hosted_;
    std::vector<QPointer<QWidget>> watched_;
};

}  // namespace morva::ui
