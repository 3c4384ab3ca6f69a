// The key assignment panel: the selected key's function as a category with its parameters
// on the panel's controls, turned into the code the device's key table holds and back.
#pragma once

#include <QString>
#include <QStringList>

#include "device/models/key_assignment.h"
#include "profile/profile_records.h"
#include "ui/toolkit/containers.h"

namespace morva::ui {

class CComboUI;

// Notification the panel sends after it captured a key into the key edit.
inline constexpr char kNotifyKeyCapture[] = "keycapture";

class CKeySetControlUI : public CHorizontalLayoutUI {
public:
    void DoInit() override;
    QString GetClass() const override { return QStringLiteral("KeySetControl"); }

    // 1 keyboard (no DPI or gun key functions), 2 mouse.
    void SetPanelDeviceType(int type);
    int PanelDeviceType() const { return deviceType_; }
    void FillMacroList(const QStringList& names);

    // The selected key's parts; the assignment (or, on a keyboard's Fn layer, the Fn part)
    // is shown.
    void SetKeyEntryParts(const KeyListEntry& entry, bool showFnLayer = false);
    const KeyListEntry& KeyEntry() const { return entry_; }
    // Builds the code from the controls, stores it as the assignment (or the Fn part) and
    // returns the whole entry. Numbers beyond their field are shown as the key holds them.
    KeyListEntry ReadKeyEntry(bool fnLayer);
    // Shows a code on the controls; the "default" and "cancel" buttons show the default part
    // and the assignment part.
    void ShowKeyCode(KeyCode code);
    void ShowDefault() { ShowKeyCode(entry_.defaultAssignment.code); }
    void ShowAssignment() { ShowKeyCode(entry_.assignment.code); }
    // Back to the entry the key had when it was chosen (Cancel); returns it.
    const KeyListEntry& RestoreChosenEntry();

    void SetComboModifier(int option);
    int GetComboModifier() const;
    // Puts a key's name (a language key, translated) into the key text edit.
    void SetKeyboardText(const QString& languageKey);
    void SetEditButtonsEnabled(bool on);
    // Key capture: a key pressed while the key edit has focus (row of the key name table).
    void CaptureKeyRow(int row, bool fnLayer);

    // The category shown (user data of the function combo's item), -1 for none.
    int CurrentCategory() const;
    // Shows the page of a category and, for the keyboard category, starts from an empty key.
    void ShowCategory(int category);
    // The macro repeat combo's "a number of times" item shows the count row.
    void UpdateMacroCycleRow();

    // The fields as the controls hold them.
    KeyAssignFields Fields() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    CControlUI* Find(const char* name) const;
    CComboUI* Combo(const char* name) const;
    int EditValue(const char* name) const;
    void SetEditValue(const char* name, int value);
    int ComboIndex(const char* name) const;
    void SelectComboIndex(const char* name, int index);
    void ShowFields(const KeyAssignFields& fields);
    // The number edits of the category's page.
    void ShowNumbers(const KeyAssignFields& fields);

    KeyListEntry entry_;
    KeyListEntry chosen_;  // the entry as it was when the key was chosen
    int deviceType_ = 2;
    bool fnLayer_ = false;
};

}  // namespace morva::ui
