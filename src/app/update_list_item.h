// One entry of the settings window's update list: a name ticked to mark it for updating, the
// version in use, the version offered and the entry's state.
#pragma once

#include <QString>

#include "ui/toolkit/list.h"

namespace morva::ui {
class CCheckBoxUI;
class CProgressUI;
}  // namespace morva::ui

namespace morva::app {

// Rows come from "XML/CustomControlXML/device_Update_list_item.xml"; states are the update
// item states (update/update_check.h). The entry's download location is its user data.
class CUpdateInfoListItemUI : public ui::CListContainerElementUI {
public:
    static constexpr char kLayout[] = "XML/CustomControlXML/device_Update_list_item.xml";

    explicit CUpdateInfoListItemUI(QWidget* parent = nullptr);
    QString GetClass() const override { return QStringLiteral("UpdateInfoListItemUI"); }

    void SetName(const QString& name);
    QString Name() const;
    void SetVersions(const QString& current, const QString& offered);
    QString CurrentVersion() const;
    QString OfferedVersion() const;

    // Shows the state's text, progress and done mark, and the name's colours.
    void SetState(int state);
    int State() const { return state_; }
    // The language key the state shows.
    static QString StateTextKey(int state);

    // Whether the user may tick the entry; an entry that may not is unticked.
    void SetSelectable(bool selectable);
    bool Selectable() const;
    bool Ticked() const;
    void SetTicked(bool ticked);
    // "%d%" beside the progress bar.
    void SetProgress(int percent);
    QString ProgressText() const;

private:
    ui::CControlUI* Part(const char* name) const;

    ui::CCheckBoxUI* name_ = nullptr;
    ui::CProgressUI* progress_ = nullptr;
    int state_ = -1;
};

}  // namespace morva::app
