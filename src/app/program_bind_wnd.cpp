#include "app/program_bind_wnd.h"

#include <QKeyEvent>
#include <QPointer>

#include <utility>

#include "app/msg_wnd.h"
#include "device/models/op_result.h"
#include "ui/toolkit/controls.h"
#include "ui/toolkit/dialog_builder.h"
#include "ui/toolkit/list.h"

namespace morva::app {
namespace {

constexpr char kRowName[] = "bind_program_name";
constexpr char kRemove[] = "bind_remove_btn";
// What the row leaves the name beside its button (layout units).
constexpr int kNameWidth = 310;

// One row of the list; the remove button carries the program's name.
constexpr char kRowLayout[] =
    R"(<ListContainerElement height="32" inset="10,0,6,0" childpadding="8">)"
    R"(<Label name="bind_program_name" font="3" mouse="false"/>)"
    R"(<Button name="bind_remove_btn" text="bind_remove_btn" font="2" width="80" height="26")"
    R"( padding="0,3,0,3" borderround="6"/></ListContainerElement>)";

bool Is(const QString& name, const char* wanted) {
    return name.compare(QLatin1String(wanted), Qt::CaseInsensitive) == 0;
}

}  // namespace

CProgramBindWnd::CProgramBindWnd(QWidget* owner, ProgramBindOptions options)
    : ui::WindowImplBase(owner), options_(std::move(options)), bindings_(options_.userDataFolder) {}

void CProgramBindWnd::InitWindow() {
    if (ui::CControlUI* label = FindControl(QStringLiteral("bind_profile_label")))
        label->SetText(options_.profileName);
    if (ui::CControlUI* title = FindControl(QStringLiteral("bind_title")))
        setWindowTitle(title->GetText());
    if (auto* combo =
            dynamic_cast<ui::CComboUI*>(FindControl(QStringLiteral("bind_window_combo")))) {
        combo->RemoveAll();
        combo->AddItem(QStringLiteral("bind_windows_prompt"));
        for (const std::string& name : options_.openPrograms)
            combo->AddItem(QString::fromStdString(name), QString::fromStdString(name));
        combo->SelectItem(0, false, false);
        combo->SetEnabled(!options_.openPrograms.empty());
    }
    ShowPrograms();
    ShowLine({});
}

QStringList CProgramBindWnd::Programs() const {
    QStringList names;
    auto* list = dynamic_cast<ui::CListUI*>(FindControl(QStringLiteral("bind_list")));
    for (int i = 0; list != nullptr && i < list->GetCount(); ++i) {
        if (const ui::CControlUI* remove = ui::CPaintManagerUI::FindSubControlByName(
                list->GetItemAt(i), QLatin1String(kRemove)))
            names.append(remove->GetUserData());
    }
    return names;
}

void CProgramBindWnd::ShowPrograms() {
    auto* list = dynamic_cast<ui::CListUI*>(FindControl(QStringLiteral("bind_list")));
    if (list == nullptr)
        return;
    list->RemoveAll();
    const std::vector<std::string> programs = bindings_.ProgramsOf(options_.profileId);
    for (const std::string& program : programs) {
        ui::CDialogBuilder builder;
        ui::CControlUI* row = builder.CreateFromText(QString::fromLatin1(kRowLayout), nullptr,
                                                     &GetPaintManager(), list);
        if (row == nullptr)
            continue;
        const QString name = QString::fromStdString(program);
        if (ui::CControlUI* label =
                ui::CPaintManagerUI::FindSubControlByName(row, QLatin1String(kRowName))) {
            // A long name is shortened in the middle; the tip has all of it.
            label->SetText(label->GetWidget()->fontMetrics().elidedText(
                name, Qt::ElideMiddle, ui::CPaintManagerUI::Scale(kNameWidth)));
            label->GetWidget()->setToolTip(name);
        }
        if (ui::CControlUI* remove =
                ui::CPaintManagerUI::FindSubControlByName(row, QLatin1String(kRemove)))
            remove->SetUserData(name);
    }
    if (ui::CControlUI* empty = FindControl(QStringLiteral("bind_empty")))
        empty->SetVisible(programs.empty());
}

void CProgramBindWnd::ShowLine(const QString& key) {
    const QString shown = key.isEmpty() ? options_.notice : key;
    if (ui::CControlUI* line = FindControl(QStringLiteral("bind_error"))) {
        line->SetText(shown);
        line->SetVisible(!shown.isEmpty());
    }
}

bool CProgramBindWnd::Took(int result) {
    if (result == CProfileBindings::kRefused) {
        ShowLine(QStringLiteral("bind_refused"));
        return false;
    }
    if (result == CProfileBindings::kWriteFailed) {
        ShowLine(QString::fromLatin1(kMsgProfileNotSaved));
        return false;
    }
    if (result == CProfileBindings::kChanged)
        ++changes_;
    ShowPrograms();
    ShowLine({});
    return true;
}

bool CProgramBindWnd::AddProgram(const QString& name) {
    if (!Took(bindings_.Bind(options_.profileId, name.toStdString())))
        return false;
    if (auto* edit = dynamic_cast<ui::CEditUI*>(FindControl(QStringLiteral("bind_program_edit"))))
        edit->SetText({});
    return true;
}

bool CProgramBindWnd::RemoveProgram(const QString& name) {
    return Took(bindings_.Unbind(name.toStdString()));
}

void CProgramBindWnd::Notify(const ui::TNotifyUI& msg) {
    const QString name = msg.pSender != nullptr ? msg.pSender->GetName() : QString();
    if (msg.sType == QLatin1String(ui::kNotifyClick)) {
        if (Is(name, kRemove)) {
            RemoveProgram(msg.pSender->GetUserData());
        } else if (Is(name, "bind_add_btn")) {
            if (auto* edit =
                    dynamic_cast<ui::CEditUI*>(FindControl(QStringLiteral("bind_program_edit"))))
                AddProgram(edit->GetText());
        } else if (Is(name, "bind_close_btn")) {
            Close(changes_);
        } else if (!HandleCaptionButton(*this, name)) {
            WindowImplBase::Notify(msg);
        }
        return;
    }
    if (msg.sType == QLatin1String(ui::kNotifyReturn) && Is(name, "bind_program_edit")) {
        AddProgram(msg.pSender->GetText());
        return;
    }
    if (msg.sType == QLatin1String(ui::kNotifyItemSelect) && Is(name, "bind_window_combo")) {
        auto* combo = dynamic_cast<ui::CComboUI*>(msg.pSender);
        auto* edit = dynamic_cast<ui::CEditUI*>(FindControl(QStringLiteral("bind_program_edit")));
        if (combo != nullptr && edit != nullptr && combo->GetCurSel() > 0)
            edit->SetText(combo->GetItemUserData(combo->GetCurSel()));
        return;
    }
    WindowImplBase::Notify(msg);
}

void CProgramBindWnd::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        Close(changes_);
        return;
    }
    WindowImplBase::keyPressEvent(event);
}

int ShowProgramBindWnd(QWidget* owner, ProgramBindOptions options, int dpi) {
    if (const int taken = ui::CPaintManagerUI::NormalizeDpi(dpi);
        taken != ui::CPaintManagerUI::GetDPI())
        ui::CPaintManagerUI::SetAllDPI(taken);
    // The owner (Qt parent) deletes the window should it go first; otherwise it goes below.
    const QPointer<CProgramBindWnd> wnd = new CProgramBindWnd(owner, std::move(options));
    wnd->Create();
    wnd->SendWindowInit();
    wnd->CenterWindow();
    wnd->ShowModal();
    const int changes = wnd ? wnd->Changes() : 0;
    if (wnd)
        wnd->deleteLater();
    return changes;
}

}  // namespace morva::app
