#include "ui/toolkit/tray.h"

namespace morva::ui {

CTrayIcon::CTrayIcon(QObject* parent) : QObject(parent) {
    connect(&icon_, &QSystemTrayIcon::activated, this, &CTrayIcon::OnActivated);
}

bool CTrayIcon::IsAvailable() {
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void CTrayIcon::Create(const QIcon& icon, const QString& toolTip) {
    icon_.setIcon(icon);
    icon_.setToolTip(toolTip);
    if (IsAvailable()) {
        icon_.show();
    }
}

void CTrayIcon::Remove() {
    icon_.hide();
}

// Trigger is the left button; Context the right one (no context menu is attached, so the
// owner opens its own).
void CTrayIcon::OnActivated(QSystemTrayIcon::ActivationReason reason) {
    if (reason == QSystemTrayIcon::Trigger && onLeft_) {
        onLeft_();
    } else if (reason == QSystemTrayIcon::Context && onRight_) {
        onRight_();
    }
}

}  // namespace morva::ui
