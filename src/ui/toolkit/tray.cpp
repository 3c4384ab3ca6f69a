#include "ui/toolkit/tray.h"

namespace morva::ui {

CTrayIcon::CTrayIcon(QObject* parent) : QObject(parent) {
    connect(&m_icon, &QSystemTrayIcon::activated, this, &CTrayIcon::OnActivated);
}

bool CTrayIcon::IsAvailable() {
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void CTrayIcon::Create(const QIcon& icon, const QString& toolTip) {
    m_icon.setIcon(icon);
    m_icon.setToolTip(toolTip);
    if (IsAvailable()) {
        m_icon.show();
    }
}

void CTrayIcon::Remove() {
    m_icon.hide();
}

// Trigger is the left button; Context the right one (no context menu is attached, so the
// owner opens its own).
void CTrayIcon::OnActivated(QSystemTrayIcon::ActivationReason reason) {
    if (reason == QSystemTrayIcon::Trigger && m_onLeft) {
        m_onLeft();
    } else if (reason == QSystemTrayIcon::Context && m_onRight) {
        m_onRight();
    }
}

}  // namespace morva::ui
