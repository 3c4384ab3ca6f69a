// The key assignment panel's entries: choosing a key on the mouse picture, changing its
// function, and saving it to the mouse.
#include "app/main_wnd.h"
#include "app/msg_wnd.h"
#include "device/models/mouse_device.h"
#include "profile/json_file.h"
#include "ui/pages/mouse_page.h"
#include "ui/panels/key_set_control.h"
#include "ui/toolkit/controls.h"
#include "ui/toolkit/paint_manager.h"

namespace morva::app {
namespace {

using ui::TNotifyUI;

constexpr KeyCode kLeftButton{0x10, 0x01, 0x00};
// The mouse page's settings tab that lists the buttons.
constexpr int kButtonsPage = 2;

// The mouse keeps one left button: the last one cannot be given another function.
bool IsLastLeftButton(const std::vector<KeyListEntry>& keys, int n) {
    if (n < 0 || static_cast<std::size_t>(n) >= keys.size() ||
        keys[static_cast<std::size_t>(n)].assignment.code != kLeftButton) {
        return false;
    }
    for (std::size_t i = 0; i < keys.size(); ++i) {
        if (static_cast<int>(i) != n && keys[i].assignment.code == kLeftButton)
            return false;
    }
    return true;
}

}  // namespace

void CMainWnd::SetEditingState(int lock, int saved) {
    ui::CDevicePageUI* page = devices_ ? devices_->CurrentDevice() : nullptr;
    if (lock != 0) {
        if (ui::CControlUI* tabs = FindControl(QStringLiteral("device_select_layout")))
            tabs->SetEnabled(saved != 0);
        if (page != nullptr) {
            if (ui::CControlUI* profiles = ui::CPaintManagerUI::FindSubControlByName(
                    page, QStringLiteral("DeviceProfileItem")))
                profiles->SetEnabled(saved != 0);
        }
    }
    if (auto* mouse = dynamic_cast<ui::CMousePageUI*>(page)) {
        if (ui::CKeySetControlUI* panel = mouse->KeySetPanel())
            panel->SetEditButtonsEnabled(saved == 0);
    }
    editingSaved_ = saved;
}

void CMainWnd::BuildKeySetRouter() {
    using Page = ui::CMousePageUI;
    auto withPanel = [this](auto f) {
        return [this, f](const TNotifyUI& msg, int n) {
            auto* page = devices_ ? dynamic_cast<Page*>(devices_->CurrentDevice()) : nullptr;
            ui::CKeySetControlUI* panel = page != nullptr ? page->KeySetPanel() : nullptr;
            if (panel != nullptr)
                f(*page, *panel, msg, n);
        };
    };
    // Apply: the panel's code becomes the selected button's assignment and goes to the mouse.
    auto apply = [this](Page& page, ui::CKeySetControlUI& panel) {
        CTessaronMouseDevice& mouse = page.Mouse();
        const int key = mouse.SelectedKey();
        std::vector<KeyListEntry> keys = mouse.KeyList();
        if (key < 0 || static_cast<std::size_t>(key) >= keys.size())
            return;
        keys[static_cast<std::size_t>(key)] = panel.ReadKeyEntry(false);
        mouse.SetKeyList(keys);
        mouse.SaveProfile();
        mouse.DownloadCurrentKeyTable(0);
        page.UpdateKeyLabels();
        SetEditingState(0, 0);
    };

    router_.AddPrefix(ui::kNotifyClick, "key_",
                      withPanel([this](Page& page, ui::CKeySetControlUI&, const TNotifyUI&, int n) {
                          if (IsLastLeftButton(page.Mouse().KeyList(), n)) {
                              ShowMessageBox(this, {}, Translate(QStringLiteral("message_text_6")),
                                             Dpi(), false, kMsgButtonsConfirm);
                              return;
                          }
                          page.SelectKey(n);
                          page.SelectSettingsPage(kButtonsPage);
                      }));
    router_.AddExact(
        ui::kNotifyItemSelect, "keyset_function_combo",
        withPanel([apply](Page& page, ui::CKeySetControlUI& panel, const TNotifyUI&, int) {
            const int category = panel.CurrentCategory();
            panel.ShowCategory(category);
            if (category == kCategoryKeyboard) {
                panel.SetKeyboardText(QString());
                panel.SetComboModifier(-1);
            }
            apply(page, panel);
        }));
    router_.AddExact(
        ui::kNotifyItemSelect, "keyset_macro_over_combo",
        withPanel([apply](Page& page, ui::CKeySetControlUI& panel, const TNotifyUI&, int) {
            panel.UpdateMacroCycleRow();
            apply(page, panel);
        }));
    auto applyOnly = withPanel([apply](Page& page, ui::CKeySetControlUI& panel, const TNotifyUI&,
                                       int) { apply(page, panel); });
    for (const char* name :
         {"keyset_mousekey_combo", "keyset_mouseswing_combo", "keyset_mousewheel_combo",
          "keyset_mousedpi_combo", "keyset_media_combo", "keyset_system_combo",
          "keyset_macro_combo", "keyset_gunkey_combo", "keyset_combokey_combo"}) {
        router_.AddExact(ui::kNotifyItemSelect, name, applyOnly);
    }
    for (const char* name : {"keyset_mouseswing_num_edit", "keyset_mouseswing_delay_edit",
                             "keyset_mouseswing_speed_edit", "keyset_mousewheel_num_edit",
                             "keyset_mousewheel_delay_edit", "keyset_mousewheel_speed_edit",
                             "keyset_mousefire_interval_edit", "keyset_mousefire_num_edit",
                             "keyset_macro_cycle_edit"}) {
        router_.AddExact(ui::kNotifyKillFocus, name, applyOnly);
    }
    router_.AddExact(QString::fromLatin1(ui::kNotifyKeyCapture).toStdString(), "KeySetControlItem",
                     applyOnly);
    router_.AddPrefix(
        ui::kNotifySelectChanged, "key_ComBox_check_",
        withPanel([apply](Page& page, ui::CKeySetControlUI& panel, const TNotifyUI& msg, int n) {
            auto* option = dynamic_cast<ui::COptionUI*>(msg.pSender);
            if (option == nullptr || !option->IsSelected())
                return;
            panel.SetComboModifier(n);
            apply(page, panel);
        }));
    router_.AddExact(ui::kNotifyClick, "key_butt_keysave", applyOnly);
    router_.AddExact(ui::kNotifyClick, "key_butt_keydefalut",
                     withPanel([this](Page&, ui::CKeySetControlUI& panel, const TNotifyUI&, int) {
                         panel.ShowDefault();
                         SetEditingState(0, 0);
                     }));
    router_.AddExact(ui::kNotifyClick, "key_butt_keycancel",
                     withPanel([this](Page&, ui::CKeySetControlUI& panel, const TNotifyUI&, int) {
                         panel.ShowAssignment();
                         SetEditingState(0, 1);
                     }));
    router_.AddExact(
        ui::kNotifyClick, "key_butt_prosave",
        withPanel([this, apply](Page& page, ui::CKeySetControlUI& panel, const TNotifyUI&, int) {
            CTessaronMouseDevice& mouse = page.Mouse();
            const int result = mouse.DownloadMacros(mouse.GetUsedMacros());
            ShowMacroDownloadResult(result);
            if (result > 0) {
                // The macros do not fit: the change is given up.
                panel.ShowDefault();
                apply(page, panel);
                return;
            }
            if (mouse.DownloadCurrentKeyTable(0) != kResultOk)
                ShowMessageBox(this, {}, Translate(QStringLiteral("message_text_7")), Dpi(), false,
                               kMsgButtonsConfirm);
            mouse.SaveProfile();
            SetEditingState(0, 1);
        }));
}

}  // namespace morva::app
