#include "ui/panels/macro_control.h"

#include <QScrollBar>

#include <algorithm>

#include "device/models/usb_device.h"
#include "macro/macro_store.h"
#include "macro/mouse_action_table.h"
#include "ui/panels/page_services.h"
#include "ui/toolkit/controls.h"
#include "ui/toolkit/list.h"
#include "ui/toolkit/menu.h"
#include "ui/toolkit/paint_manager.h"

namespace morva::ui {

namespace {

constexpr char kMacroFilter[] = "Macro Files(*.mac)";
constexpr char kMacroPattern[] = "*.mac;";
constexpr int kRowHeight = 30;
constexpr QRgb kKeyboardText = 0xFFE6E9EF;
constexpr QRgb kMouseText = 0xFF7CC8FF;
constexpr QRgb kDownText = 0xFF4CD08A;
constexpr QRgb kUpText = 0xFFFFA94D;
constexpr QRgb kDelayBackground = 0xFF444444;

// The recorder's memories outlive any one panel, as the hook that feeds them does.
RecorderMemories& Memories() {
    static RecorderMemories memories;
    return memories;
}

struct MenuInsert {
    const char* name;
    MouseInsert what;
};
constexpr MenuInsert kMenuInserts[] = {
    {"left_down", MouseInsert::kLeftDown},     {"left_up", MouseInsert::kLeftUp},
    {"left_click", MouseInsert::kLeftClick},   {"middle_down", MouseInsert::kMiddleDown},
    {"middle_up", MouseInsert::kMiddleUp},     {"middle_click", MouseInsert::kMiddleClick},
    {"right_down", MouseInsert::kRightDown},   {"right_up", MouseInsert::kRightUp},
    {"right_click", MouseInsert::kRightClick}, {"forward_down", MouseInsert::kForwardDown},
    {"forward_up", MouseInsert::kForwardUp},   {"forward_click", MouseInsert::kForwardClick},
    {"back_down", MouseInsert::kBackDown},     {"back_up", MouseInsert::kBackUp},
    {"back_click", MouseInsert::kBackClick},
};

struct MenuRecord {
    const char* name;
    int mode;  // 0: as the start button would
    RecordPlace place;
};
constexpr MenuRecord kMenuRecords[] = {
    {"redio_previous_record_time", 0, RecordPlace::kBefore},
    {"redio_previous_constant_time", 2, RecordPlace::kBefore},
    {"redio_previous_ignore_time", 3, RecordPlace::kBefore},
    {"redio_later_record_time", 0, RecordPlace::kAfter},
    {"redio_later_constant_time", 2, RecordPlace::kAfter},
    {"redio_later_ignore_time", 3, RecordPlace::kAfter},
    {"macro_action_edit", 3, RecordPlace::kReplace},
};

}  // namespace

CMacroControlUI::CMacroControlUI() : recorder_(Memories()) {}

CMacroControlUI::~CMacroControlUI() = default;

void CMacroControlUI::DoInit() {
    names_ = dynamic_cast<CListUI*>(Find("macro_name_list"));
    rows_ = dynamic_cast<CListUI*>(Find("macro_action_list"));
    SetRecordingUi(true);
}

void CMacroControlUI::Bind(CTessaronUSBDevice* model, IPageServices* services) {
    model_ = model;
    services_ = services;
}

CControlUI* CMacroControlUI::Find(const char* name) const {
    return CPaintManagerUI::FindSubControlByName(this, QString::fromLatin1(name));
}

void CMacroControlUI::Enable(const char* name, bool on) {
    if (CControlUI* c = Find(name))
        c->SetEnabled(on);
}

void CMacroControlUI::Report(const OpResult& result) {
    if (services_ != nullptr)
        services_->Report(result);
}

int CMacroControlUI::EditNumber(const char* name) const {
    const CControlUI* edit = Find(name);
    return edit != nullptr ? ::morva::ReadConstantDelay(edit->GetText().toStdString()) : 0;
}

// ---- The macro list ----

void CMacroControlUI::LoadMacroList(int select) {
    if (names_ == nullptr || model_ == nullptr)
        return;
    CMacroStore store(model_->GetUserDataFolder());
    store.LoadMacroList();
    names_->RemoveAll();
    macroNames_.clear();
    for (const MacroEntry& entry : store.Entries()) {
        auto* row = new CListLabelElementUI;
        row->SetFixedHeight(kRowHeight);
        names_->Add(row);
        row->setText(QString::fromStdString(entry.name));     // a name, not a language key
        row->setToolTip(QString::fromStdString(entry.name));  // long names are cut
        macroNames_.push_back(entry.name);
    }
    const bool any = select >= 0 && select < names_->GetCount();
    names_->SelectItem(any ? select : -1, false, false);
    ShowMacro();
}

int CMacroControlUI::GetSelectedMacro() const {
    return names_ != nullptr ? names_->GetCurSel() : -1;
}

void CMacroControlUI::ShowMacro() {
    const int macro = GetSelectedMacro();
    const bool shown = macro >= 0 && model_ != nullptr;
    for (const char* name : {"macro_action_layout", "mouse_move_layout", "macro_btn_export",
                             "macro_btn_name_sub", "macro_btn_name_edit", "macro_btn_starredio"})
        Enable(name, shown);
    std::vector<MacroEvent> events;
    if (shown) {
        CMacroStore store(model_->GetUserDataFolder());
        store.LoadMacroList();
        events = store.GetMacroEvents(macro);
        if (CControlUI* edit = Find("macro_edit_macroname"))
            edit->SetText(QString::fromStdString(store.GetMacroName(macro)));
    }
    actions_.Assign(std::move(events));
    ShowRows();
}

void CMacroControlUI::OnMacroAdd() {
    if (model_ == nullptr)
        return;
    std::string name;
    const OpResult result = model_->AddMacro(&name);
    Report(result);
    if (result.Ok())
        LoadMacroList(static_cast<int>(macroNames_.size()));
}

void CMacroControlUI::OnMacroRename() {
    const int macro = GetSelectedMacro();
    CControlUI* edit = Find("macro_edit_macroname");
    if (macro < 0 || model_ == nullptr || edit == nullptr)
        return;
    const OpResult result = model_->RenameMacro(macro, edit->GetText().trimmed().toStdString());
    Report(result);
    if (result.Ok())
        LoadMacroList(macro);
}

void CMacroControlUI::OnMacroDelete(const std::vector<std::string>& otherProfiles) {
    const int macro = GetSelectedMacro();
    if (macro < 0 || model_ == nullptr || services_ == nullptr)
        return;
    if (!services_->Confirm(QStringLiteral("message_text_4")))
        return;
    if (model_->KeysUseMacro(macro) && !services_->Confirm(QStringLiteral("message_text_2")))
        return;
    const OpResult result = model_->DeleteMacro(macro, otherProfiles);
    Report(result);
    LoadMacroList(std::min(macro, static_cast<int>(macroNames_.size()) - 2));
}

void CMacroControlUI::OnMacroImport() {
    if (model_ == nullptr || services_ == nullptr)
        return;
    const QString path = services_->OpenFile(kMacroFilter, kMacroPattern);
    if (path.isEmpty())
        return;
    const OpResult result = model_->ImportMacro(path.toStdString());
    Report(result);
    if (result.Ok())
        LoadMacroList(static_cast<int>(macroNames_.size()));
}

void CMacroControlUI::OnMacroExport() {
    const int macro = GetSelectedMacro();
    if (macro < 0 || model_ == nullptr || services_ == nullptr)
        return;
    const QString path = services_->SaveFile(kMacroFilter, kMacroPattern);
    if (!path.isEmpty())
        Report(model_->ExportMacro(macro, path.toStdString()));
}

// ---- Rows ----

CControlUI* CMacroControlUI::BuildRow() {
    auto* row = new CListContainerElementUI;
    row->SetName(QStringLiteral("macro_action"));
    row->SetFixedHeight(kRowHeight);
    row->SetAttribute(QStringLiteral("childpadding"), QStringLiteral("4"));
    row->SetAttribute(QStringLiteral("inset"), QStringLiteral("8,2,8,2"));
    row->SetAttribute(QStringLiteral("menu"), QStringLiteral("true"));
    auto* text = new CLabelUI;
    auto* action = new CLabelUI;
    action->SetFixedWidth(72);
    auto* delay = new CEditUI;
    delay->SetName(QStringLiteral("macro_delay"));
    delay->SetFixedWidth(72);
    delay->SetFixedHeight(25);
    delay->SetMaxChar(6);
    delay->SetAttribute(QStringLiteral("numberonly"), QStringLiteral("true"));
    delay->SetAttribute(QStringLiteral("align"), QStringLiteral("right"));
    delay->SetBkColor(QColor::fromRgba(kDelayBackground));
    row->Add(text);
    row->Add(action);
    row->Add(delay);
    return row;
}

void CMacroControlUI::ShowRowEvent(int row) {
    if (rows_ == nullptr || row < 0 || row >= rows_->GetCount() || row >= actions_.Count())
        return;
    auto* element = dynamic_cast<CContainerUI*>(rows_->GetItemAt(row));
    if (element == nullptr || element->GetCount() < 3)
        return;
    const MacroEvent& event = actions_.At(row);
    const MacroActionLabel label = LabelOfAction(event);
    CControlUI* text = element->GetItemAt(0);
    CControlUI* action = element->GetItemAt(1);
    CControlUI* delay = element->GetItemAt(2);
    text->SetText(QString::fromUtf8(label.nameKey.data(), static_cast<int>(label.nameKey.size())));
    text->SetTextColor(
        QColor::fromRgba(label.kind == MacroActionLabel::Kind::Mouse ? kMouseText : kKeyboardText));
    const bool move =
        event.type == macro_type::kMoveHorizontal || event.type == macro_type::kMoveVertical;
    if (move) {
        action->SetText({});
        static_cast<CLabelUI*>(action)->setText(QString::number(event.button));
    } else {
        action->SetText(event.down ? QStringLiteral("macro_action_down")
                                   : QStringLiteral("macro_action_up"));
    }
    action->SetTextColor(QColor::fromRgba(event.down ? kDownText : kUpText));
    if (delay->GetText() != QString::number(event.delay))
        delay->SetText(QString::number(event.delay));
}

void CMacroControlUI::ShowRows() {
    if (rows_ == nullptr)
        return;
    rowsStale_ = !GetWidget()->isVisible();
    if (rowsStale_)
        return;
    rows_->RemoveAll();
    for (int i = 0; i < actions_.Count(); ++i) {
        rows_->Add(BuildRow());
        ShowRowEvent(i);
    }
    SelectRow(actions_.Selected());
}

void CMacroControlUI::SelectRow(int row) {
    if (rows_ == nullptr)
        return;
    rows_->SelectItem(row, false, false);
    if (CControlUI* element = rows_->GetItemAt(row))
        rows_->ensureWidgetVisible(element->GetWidget(), 0, 0);
}

void CMacroControlUI::OnActionChosen(int row) {
    actions_.Select(row);
}

void CMacroControlUI::Save() {
    const int macro = GetSelectedMacro();
    if (macro >= 0 && model_ != nullptr)
        Report(model_->SaveMacro(macro, actions_.Events()));
}

void CMacroControlUI::Edited(bool changed) {
    if (changed) {
        ShowRows();
        Save();
    }
}

void CMacroControlUI::OnMoveUp() {
    Edited(actions_.MoveUp());
}

void CMacroControlUI::OnMoveDown() {
    Edited(actions_.MoveDown());
}

void CMacroControlUI::OnMoveToTop() {
    Edited(actions_.MoveToTop());
}

void CMacroControlUI::OnMoveToBottom() {
    Edited(actions_.MoveToBottom());
}

void CMacroControlUI::OnDeleteAction() {
    Edited(actions_.DeleteSelected());
}

void CMacroControlUI::OnDeleteAllActions() {
    actions_.DeleteAll();
    Edited(true);
}

void CMacroControlUI::OnDelayEdited(CControlUI* edit) {
    if (rows_ == nullptr || edit == nullptr)
        return;
    const int row = rows_->GetItemIndex(edit->GetParent());
    if (row < 0 || row >= actions_.Count())
        return;
    // An empty or oversized delay is saved as the row will hold it.
    const int delay = ::morva::ReadConstantDelay(edit->GetText().trimmed().toStdString());
    actions_.SetDelay(row, delay);
    ShowRowEvent(row);
    Save();
}

void CMacroControlUI::OnInsertMove(int direction) {
    static const char* const kEdits[] = {"mouse_x_left_edit", "mouse_x_right_edit",
                                         "mouse_y_up_edit", "mouse_y_down_edit"};
    if (direction < 0 || direction > 3 || GetSelectedMacro() < 0)
        return;
    const auto what =
        static_cast<MouseInsert>(static_cast<int>(MouseInsert::kMoveLeft) + direction);
    Edited(actions_.InsertMouseAction(what, EditNumber(kEdits[direction]),
                                      recorder_.ConstantDelay()) > 0);
}

void CMacroControlUI::OnMenuItem(const QString& name) {
    if (GetSelectedMacro() < 0)
        return;
    for (const MenuInsert& item : kMenuInserts) {
        if (name == QLatin1String(item.name)) {
            Edited(actions_.InsertMouseAction(item.what, 0, recorder_.ConstantDelay()) > 0);
            return;
        }
    }
    for (const MenuRecord& item : kMenuRecords) {
        if (name == QLatin1String(item.name)) {
            const int mode = item.mode != 0 ? item.mode : static_cast<int>(ButtonRecordMode());
            SendNotify(kNotifyMacroRecord, mode, static_cast<intptr_t>(item.place));
            return;
        }
    }
}

void CMacroControlUI::OpenActionMenu(CControlUI* row, const QPoint& globalPos) {
    if (const int index = rows_ != nullptr ? rows_->GetItemIndex(row) : -1; index >= 0) {
        actions_.Select(index);
        rows_->SelectItem(index, false, false);
    }
    if (menu_ != nullptr) {
        menu_->Close();
        menu_->deleteLater();
        return;
    }
    auto* menu = new CMenuWnd(GetWidget()->window());
    if (!menu->LoadLayout(QStringLiteral("XML/Menus/macro_action_menu.xml"))) {
        menu->deleteLater();
        return;
    }
    menu_ = menu;
    menu->SetItemHandler([this](const MenuCommand& command) { OnMenuItem(command.name); });
    QObject::connect(menu->GetMenu(), &QMenu::aboutToHide, menu, &QObject::deleteLater);
    menu->Popup(globalPos);
}

// ---- Recording ----

RecordMode CMacroControlUI::ButtonRecordMode() const {
    return IsOn(Find("macro_check_time")) ? RecordMode::kConstant : RecordMode::kRealTime;
}

int CMacroControlUI::ReadConstantDelay() {
    auto* edit = dynamic_cast<CEditUI*>(Find("macro_fixed_time_edit"));
    if (edit == nullptr)
        return recorder_.ConstantDelay();
    const int value = ::morva::ReadConstantDelay(edit->GetText().toStdString());
    if (value != recorder_.ConstantDelay() || edit->GetText() != QString::number(value)) {
        edit->SetText(QString::number(value));
        edit->setCursorPosition(static_cast<int>(edit->text().size()));
    }
    return value;
}

void CMacroControlUI::StartRecording(RecordMode mode, RecordPlace place) {
    const int constant =
        mode == RecordMode::kConstant ? ReadConstantDelay() : recorder_.ConstantDelay();
    recorder_.Start(mode, place, constant);
    SetRecordingUi(false);
}

void CMacroControlUI::StopRecording() {
    recorder_.Stop();
    SetRecordingUi(true);
}

void CMacroControlUI::SetRecordingUi(bool idle) {
    for (const char* name : {"macro_name_tab", "macro_tab_macroaction_edit",
                             "macro_tab_macrodelay_edit", "mouse_move_layout"})
        Enable(name, idle);
    if (rows_ != nullptr)
        rows_->GetWidget()->setAttribute(Qt::WA_TransparentForMouseEvents, !idle);
    if (CControlUI* start = Find("macro_btn_starredio"))
        start->SetVisible(idle);
    if (CControlUI* stop = Find("macro_btn_stopredio"))
        stop->SetVisible(!idle);
    if (idle)
        ShowRecordState(QStringLiteral("macro_record_hint"));
}

void CMacroControlUI::ShowRecordState(const QString& key) {
    if (CControlUI* state = Find("macro_record_state"))
        state->SetText(key);
}

void CMacroControlUI::showEvent(QShowEvent* event) {
    CHorizontalLayoutUI::showEvent(event);
    if (rowsStale_)
        ShowRows();
}

void CMacroControlUI::Apply(const RecordChange& change) {
    if (!change.recorded || rows_ == nullptr || rowsStale_)
        return;
    if (change.inserted)
        rows_->AddAt(BuildRow(), change.row);
    ShowRowEvent(change.row);
    ShowRowEvent(change.delayRow);
    rows_->SelectItem(actions_.Selected(), false, false);
    if (change.inserted)
        CPaintManagerUI::SetTimer(this, kMacroScrollTimer, 50);
}

void CMacroControlUI::RecordKey(bool press, std::uint8_t scanCode, bool extended) {
    Apply(recorder_.RecordKey(actions_, press, scanCode, extended));
}

void CMacroControlUI::RecordMouse(int message, int extra, const QPoint& globalPos) {
    bool onStop = false;
    if (const CControlUI* stop = Find("macro_btn_stopredio");
        stop != nullptr && stop->IsVisible()) {
        const QWidget* w = stop->GetWidget();
        onStop = QRect(w->mapToGlobal(QPoint(0, 0)), w->size()).contains(globalPos);
    }
    Apply(recorder_.RecordMouse(actions_, message, extra, onStop));
}

void CMacroControlUI::OnTimer(int id) {
    if (id != kMacroScrollTimer) {
        CHorizontalLayoutUI::OnTimer(id);
        return;
    }
    CPaintManagerUI::KillTimer(this, kMacroScrollTimer);
    if (rows_ != nullptr)
        rows_->verticalScrollBar()->setValue(rows_->verticalScrollBar()->maximum());
}

}  // namespace morva::ui
