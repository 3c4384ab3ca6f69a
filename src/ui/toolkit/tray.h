// The notification-area icon: reports left and right clicks to its owner.
#pragma once

#include <QIcon>
#include <QObject>
#include <QSystemTrayIcon>

#include <functional>

namespace morva::ui {

class CTrayIcon : public QObject {
    Q_OBJECT

public:
    explicit CTrayIcon(QObject* parent = nullptr);

    // Whether the desktop shows tray icons at all; without one the program must keep a way
    // back to its window (minimise instead of hiding).
    static bool IsAvailable();

    void Create(const QIcon& icon, const QString& toolTip);
    void Remove();
    bool IsVisible() const { return icon_.isVisible(); }
    void SetToolTip(const QString& text) { icon_.setToolTip(text); }

    void SetOnLeftClick(std::function<void()> handler) { onLeft_ = std::move(handler); }
    void SetOnRightClick(std::function<void()> handler) { onRight_ = std::move(handler); }
    QSystemTrayIcon& GetIcon() { return icon_; }

private:
    void OnActivated(QSystemTrayIcon::ActivationReason reason);

    QSystemTrayIcon icon_;
    std::function<void()> onLeft_;
    std::function<void()> onRight_;
};

}  // namespace morva::ui
