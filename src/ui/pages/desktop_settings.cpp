#include "ui/pages/desktop_settings.h"

#include <QProcess>
#include <QStandardPaths>
#include <QStringList>

#include "base/debug_log.h"

namespace morva::ui {

bool OpenDesktopSettings(int which) {
    struct Program {
        const char* desktop;
        const char* name;
        const char* keyboardArg;
        const char* mouseArg;
    };
    static const Program kPrograms[] = {
        {"GNOME", "gnome-control-center", "keyboard", "mouse"},
        {"KDE", "systemsettings", "kcm_keyboard", "kcm_mouse"},
        {"KDE", "systemsettings5", "kcm_keyboard", "kcm_mouse"},
        {"XFCE", "xfce4-keyboard-settings", nullptr, nullptr},
        {"XFCE", "xfce4-mouse-settings", nullptr, nullptr},
        {"MATE", "mate-keyboard-properties", nullptr, nullptr},
        {"MATE", "mate-mouse-properties", nullptr, nullptr},
        {"X-Cinnamon", "cinnamon-settings", "keyboard", "mouse"},
        {"LXQt", "lxqt-config-input", nullptr, nullptr},
    };
    if (which != 0 && which != 1)
        return false;
    // The single-purpose programs of a desktop serve one device each.
    auto serves = [which](const Program& p) {
        const QString name = QString::fromLatin1(p.name);
        if (name.contains(QLatin1String("-keyboard-")))
            return which == 0;
        if (name.contains(QLatin1String("-mouse-")))
            return which == 1;
        return true;
    };
    const QStringList desktops =
        qEnvironmentVariable("XDG_CURRENT_DESKTOP").split(u':', Qt::SkipEmptyParts);
    for (const bool ownDesktop : {true, false}) {
        for (const Program& p : kPrograms) {
            const bool own = desktops.contains(QLatin1String(p.desktop), Qt::CaseInsensitive);
            if (own != ownDesktop || !serves(p))
                continue;
            const QString path = QStandardPaths::findExecutable(QString::fromLatin1(p.name));
            if (path.isEmpty())
                continue;
            const char* arg = which == 0 ? p.keyboardArg : p.mouseArg;
            QStringList args;
            if (arg != nullptr)
                args << QString::fromLatin1(arg);
            if (QProcess::startDetached(path, args))
                return true;
        }
    }
    DebugLog("no desktop settings program for the %s\n", which == 0 ? "keyboard" : "mouse");
    return false;
}

}  // namespace morva::ui
