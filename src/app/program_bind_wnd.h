// The programs bound to one profile of a device, in a window of their own: the list with a
// remove button each, a name to add (typed, or taken from the windows open now), and a line
// saying what keeps the device from switching. The bindings file is written at each change.
#pragma once

#include <QString>
#include <QStringList>

#include <string>
#include <vector>

#include "profile/profile_bindings.h"
#include "ui/toolkit/window.h"

namespace morva::app {

struct ProgramBindOptions {
    std::string userDataFolder;  // the device's, holding "ProfileList.ini"
    std::string profileId;
    QString profileName;
    // The names of the programs with windows open now, offered for adding.
    std::vector<std::string> openPrograms;
    // Language key of why bound programs do not switch the device now; empty: they do.
    QString notice;
};

// Layout "XML/programbind.xml". Ends with the number of changes written.
class CProgramBindWnd : public ui::WindowImplBase {
    Q_OBJECT

public:
    CProgramBindWnd(QWidget* owner, ProgramBindOptions options);

    // The programs as the list shows them.
    QStringList Programs() const;
    // Binds `name` to the profile (taking it from any other); false, with the reason shown,
    // when it is not a program name or the file could not be written.
    bool AddProgram(const QString& name);
    bool RemoveProgram(const QString& name);
    int Changes() const { return changes_; }

protected:
    QString GetSkinFile() override { return QStringLiteral("XML/programbind.xml"); }
    void InitWindow() override;
    void Notify(const ui::TNotifyUI& msg) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void ShowPrograms();
    // Empty key: the line shows the notice, if any.
    void ShowLine(const QString& key);
    bool Took(int result);

    ProgramBindOptions options_;
    CProfileBindings bindings_;
    int changes_ = 0;
};

// Shows the window over `owner`, modal, and frees it afterwards; the number of changes.
int ShowProgramBindWnd(QWidget* owner, ProgramBindOptions options, int dpi);

}  // namespace morva::app
