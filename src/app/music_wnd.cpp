#include "app/music_wnd.h"

#include <QColor>
#include <QPointer>

#include <algorithm>

#include "app/about_wnd.h"
#include "device/device_folders.h"
#include "ui/toolkit/controls.h"
#include "ui/toolkit/slider.h"

namespace morva::app {

namespace {

constexpr char kTab[] = "audio_select_tab";
constexpr char kNameEdit[] = "audio_edit_name";
constexpr char kSwatch[] = "audio_style_swatch";
constexpr char kDefaultName[] = "music_style_name_";
constexpr const char* kSliders[3] = {"audio_r_slider", "audio_g_slider", "audio_b_slider"};
constexpr std::uint8_t AudioStyleColour::*kChannels[3] = {
    &AudioStyleColour::red, &AudioStyleColour::green, &AudioStyleColour::blue};

QString Numbered(const char* prefix, int n) {
    return QLatin1String(prefix) + QString::number(n);
}

// "audio_select_tab3" -> 2; -1 for any other name.
int StyleOf(const QString& name, const char* prefix) {
    for (int n = 1; n <= kAudioStyleCount; ++n) {
        if (name.compare(Numbered(prefix, n), Qt::CaseInsensitive) == 0)
            return n - 1;
    }
    return -1;
}

QPointer<CMusicWnd>& OpenWindow() {
    static QPointer<CMusicWnd> open;
    return open;
}

// A level 0..9 as the colour it stands for at full loudness.
int LevelColour(int level) {
    return std::clamp(level, 0, kAudioStyleLevelMax) * 255 / kAudioStyleLevelMax;
}

}  // namespace

CMusicWnd::CMusicWnd(QWidget* owner, AudioStyle style) : WindowImplBase(owner), style_(style) {
    // A tool window: no task bar entry of its own, kept above its owner.
    setWindowFlags(Qt::Tool | Qt::FramelessWindowHint);
    style_.style = std::min<std::uint8_t>(style_.style, kAudioStyleCount - 1);
}

CMusicWnd* CMusicWnd::Current() {
    return OpenWindow().data();
}

void CMusicWnd::InitWindow() {
    if (ui::CControlUI* title = FindControl(QStringLiteral("music_title")))
        setWindowTitle(title->GetText());
}

void CMusicWnd::ShowAll() {
    for (const char* name : kSliders) {
        if (auto* slider = dynamic_cast<ui::CSliderUI*>(FindControl(QLatin1String(name)))) {
            slider->SetMinValue(0);
            slider->SetMaxValue(kAudioStyleLevelMax);
        }
    }
    if (auto* tab = dynamic_cast<ui::COptionUI*>(FindControl(Numbered(kTab, style_.style + 1))))
        tab->Selected(true, false);
    for (int n = 0; n < kAudioStyleCount; ++n) {
        if (ui::CControlUI* edit = FindControl(Numbered(kNameEdit, n + 1)))
            edit->SetText(QString::fromStdString(style_.names[static_cast<std::size_t>(n)]));
        TakeName(n);  // a style without a name shows and keeps its default one
        ShowSwatch(n);
    }
    ShowColour();
}

void CMusicWnd::SelectStyle(int style) {
    style_.style = static_cast<std::uint8_t>(style);
    ShowColour();
}

void CMusicWnd::ShowColour() {
    const AudioStyleColour& c = style_.colour[style_.style];
    for (int i = 0; i < 3; ++i) {
        if (auto* slider = dynamic_cast<ui::CSliderUI*>(FindControl(QLatin1String(kSliders[i]))))
            slider->SetValue(c.*kChannels[i]);
    }
}

void CMusicWnd::ShowSwatch(int style) {
    ui::CControlUI* swatch = FindControl(Numbered(kSwatch, style + 1));
    if (swatch == nullptr)
        return;
    const AudioStyleColour& c = style_.colour[static_cast<std::size_t>(style)];
    swatch->SetBkColor(QColor(LevelColour(c.red), LevelColour(c.green), LevelColour(c.blue)));
}

void CMusicWnd::SetChannel(const QString& slider, int value) {
    for (int i = 0; i < 3; ++i) {
        if (slider.compare(QLatin1String(kSliders[i]), Qt::CaseInsensitive) == 0) {
            style_.colour[style_.style].*kChannels[i] =
                static_cast<std::uint8_t>(std::clamp(value, 0, kAudioStyleLevelMax));
            ShowSwatch(style_.style);
            return;
        }
    }
}

void CMusicWnd::TakeName(int n) {
    ui::CControlUI* edit = FindControl(Numbered(kNameEdit, n + 1));
    if (edit == nullptr)
        return;
    QString text = edit->GetText();
    if (text.trimmed().isEmpty()) {
        text = ui::CPaintManagerUI::ResolveText(&GetPaintManager(), Numbered(kDefaultName, n + 1));
        edit->SetText(text);
    }
    style_.names[static_cast<std::size_t>(n)] = text.toStdString();
}

void CMusicWnd::Notify(const ui::TNotifyUI& msg) {
    const QString name = msg.pSender != nullptr ? msg.pSender->GetName() : QString();
    if (msg.sType == QLatin1String(ui::kNotifyWindowInit)) {
        ShowAll();
    } else if (msg.sType == QLatin1String(ui::kNotifyClick)) {
        if (name.compare(u"okbtn", Qt::CaseInsensitive) == 0) {
            // An edit still being typed in has not lost its focus yet.
            for (int n = 0; n < kAudioStyleCount; ++n)
                TakeName(n);
            Close(kResultOk);
            return;
        }
        if (name.compare(u"closebtn", Qt::CaseInsensitive) == 0) {
            Close(kResultClose);
            return;
        }
    } else if (msg.sType == QLatin1String(ui::kNotifySelectChanged)) {
        auto* tab = dynamic_cast<ui::COptionUI*>(msg.pSender);
        if (const int style = StyleOf(name, kTab); style >= 0 && tab && tab->IsSelected())
            SelectStyle(style);
    } else if (msg.sType == QLatin1String(ui::kNotifyValueChanged) ||
               msg.sType == QLatin1String(ui::kNotifyMoveValueChanged)) {
        SetChannel(name, static_cast<int>(msg.wParam));
    } else if (msg.sType == QLatin1String(ui::kNotifyKillFocus)) {
        if (const int n = StyleOf(name, kNameEdit); n >= 0)
            TakeName(n);
    }
    WindowImplBase::Notify(msg);
}

intptr_t CMusicWnd::HandleCustomMessage(int msg, intptr_t wParam, intptr_t lParam, bool& handled) {
    if (msg == CAboutWnd::kMsgLanguageChanged) {
        ReloadText();
        update();
        handled = true;
        return 0;
    }
    return WindowImplBase::HandleCustomMessage(msg, wParam, lParam, handled);
}

std::optional<AudioStyle> ShowMusicWindow(QWidget* owner, const AudioStyle& style, int dpi) {
    QPointer<CMusicWnd>& open = OpenWindow();
    if (open)
        return std::nullopt;
    if (const int taken = ui::CPaintManagerUI::NormalizeDpi(dpi);
        taken != ui::CPaintManagerUI::GetDPI())
        ui::CPaintManagerUI::SetAllDPI(taken);
    // The owner (Qt parent) deletes the window should it go first; otherwise it goes below.
    const QPointer<CMusicWnd> wnd = new CMusicWnd(owner, style);
    open = wnd;
    wnd->Create();
    wnd->SendWindowInit();  // the controls show the record before the window maps
    wnd->CenterWindow();
    const int result = wnd->ShowModal();
    open.clear();
    std::optional<AudioStyle> chosen;
    if (wnd) {
        if (result == CMusicWnd::kResultOk)
            chosen = wnd->Style();
        wnd->deleteLater();
    }
    return chosen;
}

std::unique_ptr<CAudioStyleStore> MakeAudioStyleStore(const std::string& localAppData,
                                                      const std::string& resourceFolder) {
    // Without a folder there is no file: the styles then live in memory only.
    const std::string folder = GetProgramDataFolder(LocalAppDataFolder(localAppData));
    auto store = std::make_unique<CAudioStyleStore>(
        folder.empty() ? std::string() : folder + CAudioStyleStore::kFileName,
        GetDefaultDataFolder(resourceFolder) + CAudioStyleStore::kFileName);
    store->Load();
    return store;
}

}  // namespace morva::app
