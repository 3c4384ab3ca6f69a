#include "ui/pages/page_routes.h"

#include <string>

#include "ui/pages/desktop_settings.h"
#include "ui/pages/device_page.h"
#include "ui/pages/headset_page.h"
#include "ui/pages/keyboard_page.h"
#include "ui/pages/mouse_page.h"
#include "ui/panels/key_set_control.h"
#include "ui/panels/light_control.h"
#include "ui/panels/macro_control.h"
#include "ui/panels/page_services.h"
#include "ui/panels/shoot_control.h"
#include "ui/toolkit/controls.h"

namespace morva::ui {

namespace {

const char* const kClick = kNotifyClick;
const char* const kSelectChanged = kNotifySelectChanged;
const char* const kItemSelect = kNotifyItemSelect;
const char* const kValueChanged = kNotifyValueChanged;
const char* const kMoveValueChanged = kNotifyMoveValueChanged;
const char* const kKillFocus = kNotifyKillFocus;
const char* const kReturn = kNotifyReturn;
const char* const kColorChanged = kNotifyColorChanged;

const char* const kOperationTabs[] = {"deng_Op_tab",   "key_Op_tab",       "macro_Op_tab",
                                      "system_Op_tab", "cursor_Op_tab",    "6533_voice_Op_tab",
                                      "magic_Op_tab",  "Virtual7.1_Op_tab"};

// An entry that hands (page, notification, index) to `f` when a device is on screen.
template <typename F>
PageRouter::Handler OnPage(const CurrentPage& current, F f) {
    return [current, f](const TNotifyUI& msg, int n) {
        if (CDevicePageUI* page = current())
            f(*page, msg, n);
    };
}

// The same for the mouse page's own controls.
template <typename F>
PageRouter::Handler OnMouse(const CurrentPage& current, F f) {
    return [current, f](const TNotifyUI& msg, int n) {
        if (auto* page = dynamic_cast<CMousePageUI*>(current()))
            f(*page, msg, n);
    };
}

// The same for the headset page's sound panels.
template <typename F>
PageRouter::Handler OnHeadset(const CurrentPage& current, F f) {
    return [current, f](const TNotifyUI&, int n) {
        if (auto* page = dynamic_cast<CHeadsetPageUI*>(current()))
            f(*page, n);
    };
}

// The same for the keyboard page's own controls.
template <typename F>
PageRouter::Handler OnKeyboard(const CurrentPage& current, F f) {
    return [current, f](const TNotifyUI& msg, int n) {
        if (auto* page = dynamic_cast<CKeyboardPageUI*>(current()))
            f(*page, msg, n);
    };
}

// The current page's lighting panel, with its model and the window's services.
template <typename F>
PageRouter::Handler OnLight(const CurrentPage& current, F f) {
    return [current, f](const TNotifyUI&, int n) {
        CDevicePageUI* page = current();
        if (page != nullptr && page->LightPanel() != nullptr && page->Services() != nullptr) {
            page->SyncScreen();
            f(*page->LightPanel(), page->Model(), *page->Services(), n);
        }
    };
}

// The current page's macro panel.
template <typename F>
PageRouter::Handler OnMacro(const CurrentPage& current, F f) {
    return [current, f](const TNotifyUI& msg, int n) {
        CDevicePageUI* page = current();
        if (page != nullptr && page->MacroPanel() != nullptr)
            f(*page, *page->MacroPanel(), msg, n);
    };
}

// The mouse page's recoil panel, with its mouse and the window's services.
template <typename F>
PageRouter::Handler OnShoot(const CurrentPage& current, F f) {
    return [current, f](const TNotifyUI&, int n) {
        auto* page = dynamic_cast<CMousePageUI*>(current());
        if (page != nullptr && page->ShootPanel() != nullptr && page->Services() != nullptr)
            f(*page->ShootPanel(), page->Mouse(), *page->Services(), n);
    };
}

// Options and check boxes announce both states; other senders count as chosen.
bool Selected(const TNotifyUI& msg) {
    const bool toggles = dynamic_cast<const COptionUI*>(msg.pSender) != nullptr ||
                         dynamic_cast<const CCheckBoxUI*>(msg.pSender) != nullptr;
    return !toggles || IsOn(msg.pSender);
}

}  // namespace

void AddProfileRoutes(PageRouter& router, const CurrentPage& current) {
    auto page = [&current](void (CDevicePageUI::*handler)()) {
        return OnPage(current,
                      [handler](CDevicePageUI& p, const TNotifyUI&, int) { (p.*handler)(); });
    };
    router.AddExact(kItemSelect, "device_profile_combo",
                    OnPage(current, [](CDevicePageUI& p, const TNotifyUI&, int) {
                        // A second choice within the delay restarts it: one switch, the last.
                        if (p.Services() != nullptr)
                            p.Services()->StartProfileSwitch();
                    }));
    router.AddLateExact(kClick, "device_add_btn", page(&CDevicePageUI::OnProfileAdd));
    router.AddLateExact(kClick, "device_sub_btn", page(&CDevicePageUI::OnProfileDelete));
    router.AddLateExact(kClick, "device_copy_btn", page(&CDevicePageUI::OnProfileCopy));
    router.AddLateExact(kClick, "device_import_btn", page(&CDevicePageUI::OnProfileImport));
    router.AddLateExact(kClick, "device_export_btn", page(&CDevicePageUI::OnProfileExport));
    router.AddLateExact(kClick, "device_reset_btn", page(&CDevicePageUI::OnProfileReset));
    router.AddLateExact(kClick, "device_programs_btn", page(&CDevicePageUI::OnProfilePrograms));
    router.AddLateExact(kClick, "device_profile_edit_save_btn",
                        page(&CDevicePageUI::OnProfileRename));
    router.AddLateExact(kClick, "profile_fun_spread_btn", page(&CDevicePageUI::OnProfileMenuToggle),
                        true);
    for (int type = 1; type <= 8; ++type) {
        router.AddLateExact(kSelectChanged, kOperationTabs[type - 1],
                            OnPage(current, [type](CDevicePageUI& p, const TNotifyUI& msg, int) {
                                if (Selected(msg))
                                    p.OnFunctionTab(type);
                            }));
    }
}

void AddMousePageRoutes(PageRouter& router, const CurrentPage& current) {
    using Page = CMousePageUI;
    auto indexed = [&current](void (Page::*handler)(int)) {
        return OnMouse(current, [handler](Page& p, const TNotifyUI&, int n) { (p.*handler)(n); });
    };
    auto moved = [&current](void (Page::*handler)(int, int)) {
        return OnMouse(current, [handler](Page& p, const TNotifyUI& msg, int n) {
            (p.*handler)(n, static_cast<int>(msg.wParam));
        });
    };
    auto system =
        OnMouse(current, [](Page& p, const TNotifyUI&, int) { p.OnSystemValueChanged(); });
    router.AddPrefix(kSelectChanged, "DPI_enable_check_", indexed(&Page::OnStageEnableChanged));
    router.AddPrefix(kSelectChanged, "DPI_select_check_", indexed(&Page::OnStageChosen));
    router.AddPrefix(kClick, "DPI_color_option_", indexed(&Page::OnStageColourClicked));
    router.AddPrefix(kValueChanged, "DPI_slider_", indexed(&Page::OnStageSliderReleased));
    router.AddPrefix(kMoveValueChanged, "DPI_slider_", moved(&Page::OnStageSliderMoved));
    router.AddPrefix(kKillFocus, "DPI_edit_", indexed(&Page::OnStageEditCommitted));
    router.AddPrefix(kReturn, "DPI_edit_", indexed(&Page::OnStageEditCommitted));
    router.AddPrefix(kMoveValueChanged, "kaldo_DPI_slider_", moved(&Page::OnKaldoSliderMoved));
    router.AddPrefix(kKillFocus, "kaldo_DPI_edit_", indexed(&Page::OnKaldoEditCommitted));
    // Shared with the keyboard page: one entry that asks the page on screen.
    router.AddPrefix(kSelectChanged, "polling_rate_option_",
                     OnPage(current, [](CDevicePageUI& p, const TNotifyUI&, int n) {
                         if (auto* mouse = dynamic_cast<Page*>(&p))
                             mouse->OnReportRateChosen(n);
                         else if (auto* keyboard = dynamic_cast<CKeyboardPageUI*>(&p))
                             keyboard->OnPollingRateChosen(n);
                     }));
    router.AddLateExact(kSelectChanged, "pointer_precision_check", system);
    router.AddLateExact(kSelectChanged, "scrolls_page_check", system);
    router.AddLateExact(kValueChanged, "pointer_speed_slider", system);
    router.AddLateExact(kValueChanged, "scroll_speed_slider", system);
    router.AddLateExact(kValueChanged, "double_click_slider", system);
    router.AddPrefix(kSelectChanged, "mouse_device_seting_option_",
                     indexed(&Page::OnSettingsTabChosen));
    router.AddExact("click_select_end", "mouse_device_key_light",
                    OnPage(current, [](CDevicePageUI& p, const TNotifyUI& msg, int) {
                        p.OnLedSelectionEnd(msg.pSender);
                    }));
    // The desktop's own settings need no device.
    router.AddPrefix(kClick, "windowdeviceset_",
                     [](const TNotifyUI&, int n) { OpenDesktopSettings(n); });
    router.AddLateExact(kClick, "default_btn",
                        OnPage(current, [](CDevicePageUI& p, const TNotifyUI&, int) {
                            if (auto* mouse = dynamic_cast<Page*>(&p))
                                mouse->OnRestoreDefaults();
                            else if (auto* keyboard = dynamic_cast<CKeyboardPageUI*>(&p))
                                keyboard->OnRestoreDefaults();
                        }));
}

// "polling_rate_option_" and "default_btn" are the mouse table's entries (they ask the page).
void AddKeyboardPageRoutes(PageRouter& router, const CurrentPage& current) {
    using Page = CKeyboardPageUI;
    auto plain = [&current](void (Page::*handler)()) {
        return OnKeyboard(current, [handler](Page& p, const TNotifyUI&, int) { (p.*handler)(); });
    };
    router.AddPrefix(
        kSelectChanged, "repeat_delay_check_",
        OnKeyboard(current, [](Page& p, const TNotifyUI&, int n) { p.OnRepeatDelayChosen(n); }));
    router.AddLateExact(kSelectChanged, "winlockflag_option", plain(&Page::OnWinLockChanged));
    router.AddLateExact(kSelectChanged, "wflag_option", plain(&Page::OnWFlagChanged));
    router.AddLateExact(kSelectChanged, "6flag_option", plain(&Page::OnRolloverChanged));
    router.AddLateExact(kValueChanged, "repeat_rate_slider", plain(&Page::OnRepeatRateChanged));
    router.AddLateExact(kValueChanged, "key_shake_slider", plain(&Page::OnDebounceChanged));
    router.AddLateExact(kClick, "keyset_fn", plain(&Page::OnFnLayerToggled));
    router.AddLateExact(kClick, "reset_repeat_btn", plain(&Page::OnRepeatTestReset));
}

void AddLightRoutes(PageRouter& router, const CurrentPage& current) {
    using Light = CLightControlUI;
    using Model = CTessaronUSBDevice;
    using Services = IPageServices;
    auto plain = [&current](void (Light::*handler)(Model&, Services&)) {
        return OnLight(current,
                       [handler](Light& l, Model& m, Services& s, int) { (l.*handler)(m, s); });
    };
    auto indexed = [&current](void (Light::*handler)(int, Model&, Services&)) {
        return OnLight(
            current, [handler](Light& l, Model& m, Services& s, int n) { (l.*handler)(n, m, s); });
    };
    auto fixed = [&current](void (Light::*handler)(int, Model&, Services&), int value) {
        return OnLight(current, [handler, value](Light& l, Model& m, Services& s, int) {
            (l.*handler)(value, m, s);
        });
    };
    auto audio = [&current](bool takeColour) {
        return OnLight(current, [takeColour](Light& l, Model& m, Services& s, int) {
            l.OnAudioShown(takeColour, m, s);
        });
    };
    router.AddExact(kItemSelect, "light_combo_modeSelect", plain(&Light::OnModeChosen));
    router.AddLateExact(kValueChanged, "deng_light_slider", plain(&Light::OnBrightnessChanged));
    router.AddLateExact(kValueChanged, "deng_speed_slider", plain(&Light::OnSpeedChanged));
    router.AddLateExact(kSelectChanged, "deng_7color_check", plain(&Light::OnMulticolourChanged));
    router.AddLateExact(kSelectChanged, "deng_FXL_check", fixed(&Light::OnDirectionChosen, 1));
    router.AddLateExact(kSelectChanged, "deng_FXR_check", fixed(&Light::OnDirectionChosen, 0));
    router.AddExact(kColorChanged, "deng_Color_Pallet", plain(&Light::OnPaletteColour));
    router.AddPrefix(kClick, "color_option_", indexed(&Light::OnSwatch));
    router.AddExact(kItemSelect, "light_combo_ZZCCmodeSelect", plain(&Light::OnZoneModeChosen));
    router.AddExact(kItemSelect, "light_combo_custommodeSelect",
                    plain(&Light::OnCustomGroupChosen));
    router.AddExact(kClick, "custom_bright_color_btn", fixed(&Light::OnCustomFill, 1));
    router.AddExact(kClick, "custom_off_color_btn", fixed(&Light::OnCustomFill, 0));
    const char* const colourEdits[] = {"deng_edit_R", "deng_edit_G", "deng_edit_B"};
    for (int channel = 0; channel < 3; ++channel)
        router.AddLateExact(kKillFocus, colourEdits[channel],
                            fixed(&Light::OnColourEdited, channel));
    router.AddExact(kItemSelect, "light_combo_audiomodeSelect", audio(true));
    router.AddLateExact(kSelectChanged, "deng_7audiocolor_check", audio(true));
    router.AddLateExact(kClick, "Close_bkColor_btn", audio(true));
    router.AddLateExact(kSelectChanged, "audio_BkColor_check", audio(false));
    router.AddLateExact(kSelectChanged, "audio_FgColor_check", audio(false));
    router.AddExact(kColorChanged, "deng_audioColor_Pallet", plain(&Light::OnAudioPaletteColour));
    router.AddPrefix(kClick, "audiocolor_option_", indexed(&Light::OnAudioSwatch));
    const char* const audioEdits[] = {"deng_audioedit_R", "deng_audioedit_G", "deng_audioedit_B"};
    for (int channel = 0; channel < 3; ++channel)
        router.AddLateExact(kKillFocus, audioEdits[channel], fixed(&Light::OnAudioEdited, channel));
}

void AddKeySetRoutes(PageRouter& router, const CurrentPage& current) {
    using Page = CDevicePageUI;
    auto page = [&current](void (Page::*handler)()) {
        return OnPage(current, [handler](Page& p, const TNotifyUI&, int) { (p.*handler)(); });
    };
    auto apply = OnPage(current, [](Page& p, const TNotifyUI&, int) { p.ApplyKeyAssignment(); });
    router.AddPrefix(kClick, "key_",
                     OnPage(current, [](Page& p, const TNotifyUI&, int n) { p.OnKeyClicked(n); }));
    router.AddExact(kItemSelect, "keyset_function_combo", page(&Page::OnKeyCategoryChosen));
    router.AddExact(kItemSelect, "keyset_macro_over_combo", page(&Page::OnKeyMacroRepeatChosen));
    for (const char* name :
         {"keyset_mousekey_combo", "keyset_mouseswing_combo", "keyset_mousewheel_combo",
          "keyset_mousedpi_combo", "keyset_media_combo", "keyset_system_combo",
          "keyset_macro_combo", "keyset_gunkey_combo", "keyset_combokey_combo"}) {
        router.AddExact(kItemSelect, name, apply);
    }
    for (const char* name : {"keyset_mouseswing_num_edit", "keyset_mouseswing_delay_edit",
                             "keyset_mouseswing_speed_edit", "keyset_mousewheel_num_edit",
                             "keyset_mousewheel_delay_edit", "keyset_mousewheel_speed_edit",
                             "keyset_mousefire_interval_edit", "keyset_mousefire_num_edit",
                             "keyset_macro_cycle_edit"}) {
        router.AddExact(kKillFocus, name, apply);
    }
    router.AddExact(kNotifyKeyCapture, "KeySetControlItem", apply);
    router.AddPrefix(kSelectChanged, "key_ComBox_check_",
                     OnPage(current, [](Page& p, const TNotifyUI& msg, int n) {
                         p.OnKeyModifierChosen(n, Selected(msg));
                     }));
    router.AddExact(kClick, "key_butt_keysave", apply);
    router.AddExact(kClick, "key_butt_keydefalut", page(&Page::OnKeyDefault));
    router.AddExact(
        kClick, "key_butt_keycancel",
        OnPage(current, [](Page& p, const TNotifyUI&, int) { p.ApplyKeyAssignment(true); }));
    router.AddExact(kClick, "key_butt_prosave", page(&Page::OnKeySaveToDevice));
}

void AddMacroRoutes(PageRouter& router, const CurrentPage& current) {
    using Panel = CMacroControlUI;
    auto plain = [&current](void (Panel::*handler)()) {
        return OnMacro(current, [handler](CDevicePageUI&, Panel& m, const TNotifyUI&, int) {
            (m.*handler)();
        });
    };
    router.AddExact(kItemSelect, "macro_name_list", plain(&Panel::ShowMacro));
    router.AddExact(kItemSelect, "macro_action_list",
                    OnMacro(current, [](CDevicePageUI&, Panel& m, const TNotifyUI& msg, int) {
                        m.OnActionChosen(static_cast<int>(msg.wParam));
                    }));
    const std::pair<const char*, void (Panel::*)()> clicks[] = {
        {"macro_btn_name_add", &Panel::OnMacroAdd},
        {"macro_btn_name_edit", &Panel::OnMacroRename},
        {"macro_btn_import", &Panel::OnMacroImport},
        {"macro_btn_export", &Panel::OnMacroExport},
        {"macro_btn_save", &Panel::Save},
        {"macro_btn_cancel", &Panel::ShowMacro},
        {"macro_btn_up", &Panel::OnMoveUp},
        {"macro_btn_down", &Panel::OnMoveDown},
        {"macro_btn_uptop", &Panel::OnMoveToTop},
        {"macro_btn_downbottom", &Panel::OnMoveToBottom},
        {"macro_btn_delete", &Panel::OnDeleteAction},
        {"macro_btn_deleteall", &Panel::OnDeleteAllActions},
    };
    for (const auto& [name, handler] : clicks)
        router.AddExact(kClick, name, plain(handler));
    router.AddExact(kClick, "macro_btn_name_sub",
                    OnMacro(current, [](CDevicePageUI& p, Panel& m, const TNotifyUI&, int) {
                        m.OnMacroDelete(p.OtherProfilePaths());
                    }));
    const char* const moves[] = {"macro_inset_moveleftkey_btn", "macro_inset_moverightkey_btn",
                                 "macro_inset_moveupkey_btn", "macro_inset_movedownkey_btn"};
    for (int direction = 0; direction < 4; ++direction) {
        router.AddExact(kClick, moves[direction],
                        OnMacro(current, [direction](CDevicePageUI&, Panel& m, const TNotifyUI&,
                                                     int) { m.OnInsertMove(direction); }));
    }
    auto delay = OnMacro(current, [](CDevicePageUI&, Panel& m, const TNotifyUI& msg, int) {
        m.OnDelayEdited(msg.pSender);
    });
    router.AddExact(kKillFocus, "macro_delay", delay);
    router.AddExact(kReturn, "macro_delay", delay);
    router.AddExact(kNotifyMenu, "macro_action",
                    OnMacro(current, [](CDevicePageUI&, Panel& m, const TNotifyUI& msg, int) {
                        if (msg.pSender == nullptr || msg.pSender->GetWidget() == nullptr)
                            return;
                        const QPoint at(static_cast<int>(msg.wParam), static_cast<int>(msg.lParam));
                        m.OpenActionMenu(msg.pSender, msg.pSender->GetWidget()->mapToGlobal(at));
                    }));
}

void AddShootRoutes(PageRouter& router, const CurrentPage& current) {
    using Shoot = CShootControlUI;
    using Mouse = CTessaronMouseDevice;
    using Services = IPageServices;
    auto indexed = [&current](void (Shoot::*handler)(int, Mouse&)) {
        return OnShoot(current,
                       [handler](Shoot& s, Mouse& m, Services&, int n) { (s.*handler)(n, m); });
    };
    auto withMouse = [&current](void (Shoot::*handler)(Mouse&)) {
        return OnShoot(current, [handler](Shoot& s, Mouse& m, Services&, int) { (s.*handler)(m); });
    };
    auto served = [&current](void (Shoot::*handler)(Mouse&, Services&)) {
        return OnShoot(current,
                       [handler](Shoot& s, Mouse& m, Services& v, int) { (s.*handler)(m, v); });
    };
    auto plain = [&current](void (Shoot::*handler)()) {
        return OnShoot(current, [handler](Shoot& s, Mouse&, Services&, int) { (s.*handler)(); });
    };
    router.AddLateExact(
        kSelectChanged, "mouse_recoil_option",
        OnMouse(current, [](CMousePageUI& p, const TNotifyUI&, int) { p.OnRecoilTabChosen(); }));
    router.AddPrefix(kSelectChanged, "shoot_gun_op_", indexed(&Shoot::OnWeaponChosen));
    router.AddPrefix(kSelectChanged, "bullet_op_", indexed(&Shoot::OnBulletChosen));
    router.AddLateExact(kClick, "bullet_selected_prev", withMouse(&Shoot::OnPreviousBullet));
    router.AddLateExact(kClick, "bullet_selected_next", withMouse(&Shoot::OnNextBullet));
    router.AddLateExact(kSelectChanged, "bullet_x_check", plain(&Shoot::UpdateXDirectionText));
    router.AddLateExact(kSelectChanged, "bullet_y_check", plain(&Shoot::UpdateYDirectionText));
    for (const char* name : {"bullet_x_eidt", "bullet_y_eidt", "bullet_delay_eidt"})
        router.AddLateExact(kKillFocus, name, served(&Shoot::OnBulletEdited));
    router.AddLateExact(kClick, "shootdate_save_btn", served(&Shoot::OnSave));
    router.AddLateExact(kClick, "shootdate_reset_btn", served(&Shoot::OnReset));
    router.AddLateExact(kClick, "shootdate_import_btn", served(&Shoot::OnImport));
    router.AddLateExact(kClick, "shootdate_export_btn", served(&Shoot::OnExport));
}

void AddHeadsetRoutes(PageRouter& router, const CurrentPage& current) {
    using Page = CHeadsetPageUI;
    auto plain = [&current](void (Page::*handler)()) {
        return OnHeadset(current, [handler](Page& p, int) { (p.*handler)(); });
    };
    auto indexed = [&current](void (Page::*handler)(int)) {
        return OnHeadset(current, [handler](Page& p, int n) { (p.*handler)(n); });
    };
    router.AddLateExact(kSelectChanged, "magic_enable_option",
                        plain(&Page::OnVoiceChangerSwitched));
    router.AddPrefix(kSelectChanged, "magic_option_", indexed(&Page::OnVoiceEffectChosen));
    router.AddLateExact(kSelectChanged, "6533_MicIn_option", plain(&Page::OnMicSwitched));
    router.AddLateExact(kSelectChanged, "6533_MicMoniter_option", plain(&Page::OnMonitorSwitched));
    router.AddPrefix(kSelectChanged, "6533_eq_option_", indexed(&Page::OnEqPresetChosen));
    router.AddLateExact(kValueChanged, "6533_MicIn_slider", plain(&Page::OnMicLevelMoved));
    router.AddLateExact(kValueChanged, "6533_MicMoniter_slider", plain(&Page::OnMonitorLevelMoved));
    router.AddPrefix(kValueChanged, "6533_eq_hz_slider_", indexed(&Page::OnEqBandMoved));
    router.AddExact(kItemSelect, "custom_eq_name_combo", plain(&Page::OnCustomEqChosen));
    router.AddLateExact(kClick, "hs_EQ_btn_save", plain(&Page::OnSaveCustomEq));
    router.AddLateExact(kClick, "hs_EQ_btn_delete", plain(&Page::OnDeleteCustomEq));
}

}  // namespace morva::ui
