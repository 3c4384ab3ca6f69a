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
    bool IsVisible() const { return m_icon.isVisible(); }
    void SetToolTip(const QString& text) { m_icon.setToolTip(text); }

    void SetOnLeftClick(std::function<void()> handler) { m_onLeft = std::move(handler); }
    void SetOnRightClick(std::function<void()> handler) { m_onRight = std::move(handler); }
    QSystemTrayIcon& GetIcon() { return m_icon; }

private:
    void OnActivated(QSystemTrayIcon::ActivationReason reason);

    QSystemTrayIcon m_icon;
    std::function<void()> m_onLeft;
    std::function<void()> m_onRight;
};

}  // namespace morva::ui
