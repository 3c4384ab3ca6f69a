// The per-user autostart entry that starts the program hidden in the tray at log-in:
// $XDG_CONFIG_HOME/autostart/morva-tr510.desktop (~/.config/autostart without it), written
// from the installed template. Switching it off removes the file; nothing system-wide is
// touched, so each user decides for themselves.
#pragma once

#include <QString>

namespace morva::app {

class CAutostartEntry {
public:
    // `program`: the executable the entry starts (empty: the running one); `templatePath`:
    // the entry to copy (empty: <resources>/autostart/morva-tr510.desktop). A missing or
    // unreadable template is replaced by a built-in entry.
    explicit CAutostartEntry(QString program = {}, QString templatePath = {});

    // Where the entry lives; $XDG_CONFIG_HOME is read on every call.
    QString Path() const;
    // The entry exists and neither hides itself (Hidden=true) nor is switched off
    // (X-GNOME-Autostart-enabled=false), as desktops read it.
    bool Enabled() const;
    // Writes (atomically) or removes the entry. On failure returns false with the reason in
    // *error when given; switching off an absent entry succeeds.
    bool SetEnabled(bool on, QString* error);

private:
    QString EntryText() const;

    QString program_;
    QString template_;
};

}  // namespace morva::app
