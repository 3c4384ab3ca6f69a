// The macro panel of the keyboard and mouse pages: the device's macros, the actions of the one
// chosen as rows, the hand edits and the recorder that turns live input into rows. Every change
// is saved through the device model at once, so the macro file always matches the rows.
#pragma once

#include <QPoint>
#include <QPointer>
#include <QString>

#include <cstdint>
#include <string>
#include <vector>

#include "device/models/op_result.h"
#include "macro/macro_action_list.h"
#include "macro/macro_recorder.h"
#include "ui/toolkit/containers.h"

namespace morva {
class CTessaronUSBDevice;
}

namespace morva::ui {

class CListUI;
class CMenuWnd;
class IPageServices;

// The panel asks the window to start recording: wParam the RecordMode, lParam the RecordPlace.
inline constexpr char kNotifyMacroRecord[] = "macrorecord";
// The timer that scrolls the action list to its end after rows were recorded.
inline constexpr int kMacroScrollTimer = 0x1005;

class CMacroControlUI : public CHorizontalLayoutUI {
public:
    CMacroControlUI();
    ~CMacroControlUI() override;
    QString GetClass() const override { return QStringLiteral("MacroControlUI"); }
    void DoInit() override;
    void OnTimer(int id) override;

protected:
    void showEvent(QShowEvent* event) override;

public:
    // The model whose macros the panel edits, and the window's services for its messages.
    void Bind(CTessaronUSBDevice* model, IPageServices* services);
    // Reads the macro list again and selects `select` (nothing when out of range).
    void LoadMacroList(int select = -1);
    int GetSelectedMacro() const;
    // The rows of the chosen macro from its file; edits since the last save are dropped.
    void ShowMacro();
    const CMacroActionList& Actions() const { return actions_; }

    // ---- The panel's own input ----
    void OnMacroAdd();
    void OnMacroRename();
    // `otherProfiles`: the device's profile files other than the current one.
    void OnMacroDelete(const std::vector<std::string>& otherProfiles);
    void OnMacroImport();
    void OnMacroExport();
    void OnActionChosen(int row);
    void OnMoveUp();
    void OnMoveDown();
    void OnMoveToTop();
    void OnMoveToBottom();
    void OnDeleteAction();
    void OnDeleteAllActions();
    void OnDelayEdited(CControlUI* edit);
    // 0 left, 1 right, 2 up, 3 down.
    void OnInsertMove(int direction);
    // An item of the action menu: inserts, or asks the window to record.
    void OnMenuItem(const QString& name);
    // The action menu of `row` (the row it was asked on becomes the selected one).
    void OpenActionMenu(CControlUI* row, const QPoint& globalPos);
    void Save();

    // ---- Recording ----
    // What the start button records with: the fixed delay when its box is ticked.
    RecordMode ButtonRecordMode() const;
    void StartRecording(RecordMode mode, RecordPlace place);
    void StopRecording();
    bool IsRecording() const { return recorder_.IsRecording(); }
    // A state line under the record button (a language key).
    void ShowRecordState(const QString& key);
    void RecordKey(bool press, std::uint8_t scanCode, bool extended);
    // `globalPos`: where the pointer was, to leave out the click on the stop button.
    void RecordMouse(int message, int extra, const QPoint& globalPos);

private:
    CControlUI* Find(const char* name) const;
    void Enable(const char* name, bool on);
    void SetRecordingUi(bool idle);
    void ShowRows();
    // After an edit of the rows: shown again and saved, when anything changed.
    void Edited(bool changed);
    CControlUI* BuildRow();
    void ShowRowEvent(int row);
    void SelectRow(int row);
    void Apply(const RecordChange& change);
    int ReadConstantDelay();
    int EditNumber(const char* name) const;
    void Report(const OpResult& result);

    CTessaronUSBDevice* model_ = nullptr;
    IPageServices* services_ = nullptr;
    CListUI* names_ = nullptr;
    CListUI* rows_ = nullptr;
    CMacroActionList actions_;
    CMacroRecorder recorder_;
    QPointer<CMenuWnd> menu_;
    std::vector<std::string> macroNames_;
    // The rows are built when the panel is first seen, not with the page (a macro may hold
    // thousands of actions).
    bool rowsStale_ = false;
};

}  // namespace morva::ui
