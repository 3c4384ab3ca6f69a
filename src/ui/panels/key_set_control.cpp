#include "ui/panels/key_set_control.h"

#include <QEvent>
#include <QKeyEvent>

#include <algorithm>

#include "device/device_tables.h"
#include "device/key_codes.h"
#include "ui/toolkit/controls.h"
#include "ui/toolkit/paint_manager.h"

namespace morva::ui {
namespace {

const char* TableCombo(int category) {
    switch (category) {
        case kCategoryMouseButton:
            return "keyset_mousekey_combo";
        case kCategoryDpi:
            return "keyset_mousedpi_combo";
        case kCategoryMedia:
            return "keyset_media_combo";
        case kCategorySystem:
            return "keyset_system_combo";
        case kCategoryShortcut:
            return "keyset_combokey_combo";
        default:
            return nullptr;
    }
}

QString ModifierName(int option) {
    return QStringLiteral("key_ComBox_check_") + QString::number(option);
}

}  // namespace

void CKeySetControlUI::DoInit() {
    // Keys pressed while the key edit has focus are captured, not typed.
    if (CControlUI* edit = Find("keyset_keyboard_text_edit"))
        edit->GetWidget()->installEventFilter(this);
}

bool CKeySetControlUI::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress)
        return CHorizontalLayoutUI::eventFilter(watched, event);
    const auto* key = static_cast<QKeyEvent*>(event);
    if (const auto scan = ScanCodeOfX11Keycode(static_cast<int>(key->nativeScanCode()))) {
        const int row = FindKeyNameRowByScanCode(scan->first, scan->second);
        if (row >= 0) {
            CaptureKeyRow(row, fnLayer_);
            SendNotify(QString::fromLatin1(kNotifyKeyCapture));
        }
    }
    return true;
}

CControlUI* CKeySetControlUI::Find(const char* name) const {
    return CPaintManagerUI::FindSubControlByName(this, QString::fromLatin1(name));
}

CComboUI* CKeySetControlUI::Combo(const char* name) const {
    return name != nullptr ? dynamic_cast<CComboUI*>(Find(name)) : nullptr;
}

int CKeySetControlUI::EditValue(const char* name) const {
    CControlUI* edit = Find(name);
    // Anything that is not a number counts as 0.
    return edit != nullptr ? edit->GetText().trimmed().toInt() : 0;
}

void CKeySetControlUI::SetEditValue(const char* name, int value) {
    if (CControlUI* edit = Find(name))
        edit->SetText(QString::number(value));
}

int CKeySetControlUI::ComboIndex(const char* name) const {
    const CComboUI* combo = Combo(name);
    return combo != nullptr ? combo->GetCurSel() : -1;
}

void CKeySetControlUI::SelectComboIndex(const char* name, int index) {
    if (CComboUI* combo = Combo(name))
        combo->SelectItem(index, false, false);
}

void CKeySetControlUI::SetPanelDeviceType(int type) {
    deviceType_ = type;
    if (type != kDeviceTypeKeyboard)
        return;
    // A keyboard has no DPI or gun key functions.
    if (CComboUI* functions = Combo("keyset_function_combo")) {
        for (int i = functions->GetCount() - 1; i >= 0; --i) {
            const int category = functions->GetItemUserData(i).toInt();
            if (category == kCategoryDpi || category == kCategoryGunKey)
                functions->RemoveAt(i);
        }
    }
}

void CKeySetControlUI::FillMacroList(const QStringList& names) {
    CComboUI* macros = Combo("keyset_macro_combo");
    if (macros == nullptr)
        return;
    macros->RemoveAll();
    for (const QString& name : names)
        macros->AddItem(name);
    macros->SelectItem(-1, false, false);
}

void CKeySetControlUI::SetKeyEntryParts(const KeyListEntry& entry, bool showFnLayer) {
    entry_ = entry;
    chosen_ = entry;
    fnLayer_ = showFnLayer;
    ShowKeyCode(showFnLayer ? entry.fnAssignment.code : entry.assignment.code);
}

const KeyListEntry& CKeySetControlUI::RestoreChosenEntry() {
    entry_ = chosen_;
    ShowKeyCode(fnLayer_ ? entry_.fnAssignment.code : entry_.assignment.code);
    return entry_;
}

int CKeySetControlUI::CurrentCategory() const {
    const CComboUI* functions = Combo("keyset_function_combo");
    if (functions == nullptr || functions->GetCurSel() < 0)
        return kCategoryNone;
    bool ok = false;
    const int category = functions->GetItemUserData(functions->GetCurSel()).toInt(&ok);
    return ok ? category : kCategoryNone;
}

void CKeySetControlUI::ShowCategory(int category) {
    CComboUI* functions = Combo("keyset_function_combo");
    int item = -1;
    for (int i = 0; functions != nullptr && i < functions->GetCount(); ++i) {
        if (functions->GetItemUserData(i).toInt() == category)
            item = i;
    }
    if (functions != nullptr)
        functions->SelectItem(item, false, false);
    if (auto* pages = dynamic_cast<CTabLayoutUI*>(Find("function_switch_tablayout"));
        pages && item >= 0)
        pages->SelectItem(category);
    if (CControlUI* layout = Find("keyset_layout"))
        layout->SetVisible(item >= 0);
}

void CKeySetControlUI::UpdateMacroCycleRow() {
    if (CControlUI* row = Find("keyset_macro_cycle_layout"))
        row->SetVisible(ComboIndex("keyset_macro_over_combo") == kMacroRepeatCounted);
}

void CKeySetControlUI::SetComboModifier(int option) {
    for (int i = 0; i < kModifierOptionCount; ++i) {
        if (auto* o = dynamic_cast<COptionUI*>(
                CPaintManagerUI::FindSubControlByName(this, ModifierName(i))))
            o->Selected(i == option, false);
    }
}

int CKeySetControlUI::GetComboModifier() const {
    for (int i = 0; i < kModifierOptionCount; ++i) {
        auto* o =
            dynamic_cast<COptionUI*>(CPaintManagerUI::FindSubControlByName(this, ModifierName(i)));
        if (o != nullptr && o->IsSelected())
            return i;
    }
    return -1;
}

void CKeySetControlUI::SetKeyboardText(const QString& languageKey) {
    CControlUI* edit = Find("keyset_keyboard_text_edit");
    if (edit == nullptr)
        return;
    edit->SetUserData(languageKey);
    QString text = languageKey;
    // The hidden label of the window translates the key as every layout text is.
    if (CPaintManagerUI* manager = GetManager(); manager != nullptr && !languageKey.isEmpty()) {
        if (CControlUI* probe = manager->FindControl(QStringLiteral("text_test"))) {
            probe->SetText(languageKey);
            text = probe->GetText();
        }
    }
    edit->SetText(text);
}

void CKeySetControlUI::SetEditButtonsEnabled(bool on) {
    for (const char* name :
         {"key_butt_keydefalut", "key_butt_keysave", "key_butt_keycancel", "key_butt_prosave"}) {
        if (CControlUI* button = Find(name))
            button->SetEnabled(on);
    }
}

KeyAssignFields CKeySetControlUI::Fields() const {
    KeyAssignFields f;
    f.category = CurrentCategory();
    f.tableRow = ComboIndex(TableCombo(f.category));
    const bool wheel = f.category == kCategoryWheel;
    f.delay = EditValue(wheel ? "keyset_mousewheel_delay_edit" : "keyset_mouseswing_delay_edit");
    f.speed = EditValue(wheel ? "keyset_mousewheel_speed_edit" : "keyset_mouseswing_speed_edit");
    f.count = EditValue(wheel ? "keyset_mousewheel_num_edit" : "keyset_mouseswing_num_edit");
    f.variant =
        std::max(ComboIndex(wheel ? "keyset_mousewheel_combo" : "keyset_mouseswing_combo"), 0);
    f.fireInterval = EditValue("keyset_mousefire_interval_edit");
    f.fireCount = EditValue("keyset_mousefire_num_edit");
    f.modifierOption = GetComboModifier();
    if (const CControlUI* edit = Find("keyset_keyboard_text_edit");
        edit && !edit->GetText().isEmpty())
        f.keyName = edit->GetUserData().isEmpty() ? edit->GetText().toStdString()
                                                  : edit->GetUserData().toStdString();
    f.macroRow = ComboIndex("keyset_macro_combo");
    f.macroRepeat = ComboIndex("keyset_macro_over_combo");
    f.macroCycles = EditValue("keyset_macro_cycle_edit");
    f.gunKey = std::max(ComboIndex("keyset_gunkey_combo"), 0);
    return f;
}

KeyListEntry CKeySetControlUI::ReadKeyEntry(bool fnLayer) {
    const bool fn = fnLayer && deviceType_ == kDeviceTypeKeyboard;
    IndexedKeyCode& part = fn ? entry_.fnAssignment : entry_.assignment;
    const CComboUI* macros = Combo("keyset_macro_combo");
    const KeyAssignFields typed = Fields();
    const KeyAssignFields held = HoldKeyFields(typed);
    part.code = ReadKeyCode(held, part.code, entry_.defaultAssignment.code,
                            macros != nullptr ? macros->GetCount() : 0);
    if (held != typed)
        ShowNumbers(held);
    return entry_;
}

void CKeySetControlUI::ShowNumbers(const KeyAssignFields& f) {
    if (f.category == kCategoryRepeat || f.category == kCategoryWheel) {
        const bool wheel = f.category == kCategoryWheel;
        SetEditValue(wheel ? "keyset_mousewheel_delay_edit" : "keyset_mouseswing_delay_edit",
                     f.delay);
        SetEditValue(wheel ? "keyset_mousewheel_speed_edit" : "keyset_mouseswing_speed_edit",
                     f.speed);
        SetEditValue(wheel ? "keyset_mousewheel_num_edit" : "keyset_mouseswing_num_edit", f.count);
    }
    if (f.category == kCategoryFire) {
        SetEditValue("keyset_mousefire_interval_edit", f.fireInterval);
        SetEditValue("keyset_mousefire_num_edit", f.fireCount);
    }
    if (f.category == kCategoryMacro && f.macroRepeat == kMacroRepeatCounted)
        SetEditValue("keyset_macro_cycle_edit", f.macroCycles);
}

void CKeySetControlUI::ShowFields(const KeyAssignFields& f) {
    if (const char* combo = TableCombo(f.category))
        SelectComboIndex(combo, f.tableRow);
    if (f.category == kCategoryRepeat || f.category == kCategoryWheel) {
        const bool wheel = f.category == kCategoryWheel;
        SelectComboIndex(wheel ? "keyset_mousewheel_combo" : "keyset_mouseswing_combo", f.variant);
    }
    if (f.category == kCategoryKeyboard) {
        SetComboModifier(f.modifierOption);
        SetKeyboardText(QString::fromStdString(f.keyName));
    }
    if (f.category == kCategoryMacro) {
        SelectComboIndex("keyset_macro_combo", f.macroRow);
        SelectComboIndex("keyset_macro_over_combo", f.macroRepeat);
        if (CControlUI* row = Find("keyset_macro_cycle_layout"))
            row->SetVisible(f.macroCyclesShown);
    }
    if (f.category == kCategoryGunKey)
        SelectComboIndex("keyset_gunkey_combo", f.gunKey);
    ShowNumbers(f);
    ShowCategory(f.category);
}

void CKeySetControlUI::ShowKeyCode(KeyCode code) {
    const CComboUI* macros = Combo("keyset_macro_combo");
    bool cleared = false;
    const KeyAssignFields f = morva::ShowKeyCode(
        code, entry_.defaultAssignment.code, macros != nullptr ? macros->GetCount() : 0, &cleared);
    if (cleared) {
        IndexedKeyCode& part = fnLayer_ ? entry_.fnAssignment : entry_.assignment;
        part.code.value1 = part.code.value2 = 0;
    }
    ShowFields(f);
}

void CKeySetControlUI::CaptureKeyRow(int row, bool fnLayer) {
    const auto table = KeyNameTable();
    if (row < 0 || row >= kScanCodeRowCount ||
        table[static_cast<std::size_t>(row)].code.type != kKeyTypeKeyboard)
        return;
    const bool fn = fnLayer && deviceType_ == kDeviceTypeKeyboard;
    IndexedKeyCode& part = fn ? entry_.fnAssignment : entry_.assignment;
    const KeyNameEntry& key = table[static_cast<std::size_t>(row)];
    if (row < kModifierRowCount) {
        SetComboModifier(row + 1);
        SetKeyboardText(QString());
        part.code = KeyCode{kKeyTypeKeyboard, static_cast<std::uint8_t>(1u << row), 0};
        return;
    }
    std::uint8_t modifiers = 0;
    if (GetComboModifier() < 0)
        SetComboModifier(0);
    else
        modifiers = ModifierOptionBits(GetComboModifier());
    SetKeyboardText(QString::fromStdString(key.languageKey));
    part.code = KeyCode{kKeyTypeKeyboard, modifiers, key.code.value2};
}

}  // namespace morva::ui
