#include "app/color_select_wnd.h"

#include <QColor>
#include <QKeyEvent>
#include <QPointer>

#include <algorithm>

#include "app/about_wnd.h"
#include "app/msg_wnd.h"
#include "base/debug_log.h"
#include "base/name_index.h"
#include "device/device_folders.h"
#include "profile/json_access.h"
#include "profile/json_file.h"
#include "ui/panels/color_palette.h"
#include "ui/toolkit/controls.h"

namespace morva::app {

namespace {

constexpr char kSwatchPrefix[] = "color_option_";
constexpr char kFavouritePrefix[] = "collect_color_option_";
constexpr char kRoot[] = "coloroptioninfo";
constexpr char kSwatches[] = "palletDialogcoloroption";
constexpr char kSwatchItem[] = "palletDialogcoloroption_selectitem";
constexpr char kFavourites[] = "palletDialogcollectcoloroption";
constexpr char kFavouriteItem[] = "palletDialogcollectcoloroption_selectitem";
constexpr char kMulticolourImage[] = "common/base1.png";
constexpr const char* kEdits[3] = {"color_edit_r", "color_edit_g", "color_edit_b"};

QPointer<CColorSelectWnd>& OpenWindow() {
    static QPointer<CColorSelectWnd> open;
    return open;
}

std::uint32_t Argb(const QColor& c) {
    return c.isValid() ? c.rgba() : 0;
}

QString Numbered(const char* prefix, int n) {
    return QLatin1String(prefix) + QString::number(n);
}

// n when `name` is prefix + n with n a slot, else -1.
int SlotOf(const QString& name, const char* prefix) {
    const SplitName split = SplitNameIndex(name.toStdString());
    if (!split.hasIndex || !EqualsNoCase(split.prefix, prefix) || split.index < 0 ||
        split.index >= CColorSelectWnd::kSlots)
        return -1;
    return split.index;
}

}  // namespace

QString FormatArgb(std::uint32_t argb) {
    return QStringLiteral("%1").arg(argb, 8, 16, QLatin1Char('0')).toUpper();
}

std::optional<std::uint32_t> ParseArgb(const QString& text) {
    bool ok = false;
    const qulonglong value = text.trimmed().toULongLong(&ok, 16);
    if (!ok || value > 0xFFFFFFFFull)
        return std::nullopt;
    return static_cast<std::uint32_t>(value);
}

namespace {

PaletteSlots ReadSlots(const Json::Value& list, bool favourites) {
    PaletteSlots entries;
    for (Json::ArrayIndex i = 0; i < entries.size() && i < json::Size(list); ++i) {
        const Json::Value& entry = list[i];
        if (!entry.isObject() || !entry["color"].isString())
            continue;
        entries[i].colour = ParseArgb(QString::fromStdString(entry["color"].asString()));
        if (favourites) {
            // A number reads as its digits; a list or an object marks nothing.
            const Json::Value& filled = entry["UserData"];
            entries[i].userData = filled.isConvertibleTo(Json::stringValue)
                                      ? QString::fromStdString(filled.asString())
                                      : QString();
        }
    }
    return entries;
}

void WriteSlots(Json::Value& info, const char* member, const PaletteSlots& entries,
                bool favourites) {
    Json::Value& list = json::Arr(info, member);
    for (Json::ArrayIndex i = 0; i < entries.size(); ++i) {
        if (!entries[i].colour)
            continue;
        Json::Value& entry = json::At(list, i);
        json::Member(entry, "color") = FormatArgb(*entries[i].colour).toStdString();
        if (favourites)
            json::Member(entry, "UserData") = entries[i].userData.value_or(QString()).toStdString();
    }
}

}  // namespace

Json::Value ReadPaletteInfo(const std::string& file) {
    const Json::Value content = ReadJsonFile(file);
    const Json::Value& info = json::Get(content, kRoot);
    return info.isObject() ? info : Json::Value();
}

bool UpdatePaletteFile(const std::string& file, const std::function<void(Json::Value&)>& change) {
    Json::Value content = ReadJsonFile(file);
    change(json::Obj(content, kRoot));
    return WriteJsonFile(file, content) == 0;
}

PaletteSlots ReadSwatches(const Json::Value& info) {
    return ReadSlots(json::Get(info, kSwatches), false);
}

std::optional<int> ReadSwatchIndex(const Json::Value& info) {
    const Json::Value& index = json::Get(info, kSwatchItem);
    return index.isInt() ? std::optional<int>(index.asInt()) : std::nullopt;
}

PaletteSlots ReadFavourites(const Json::Value& info) {
    return ReadSlots(json::Get(info, kFavourites), true);
}

bool NamesArmedFavourite(const Json::Value& info) {
    return json::Has(info, kFavouriteItem);
}

void WriteSwatches(Json::Value& info, const PaletteSlots& swatches, int index) {
    WriteSlots(info, kSwatches, swatches, false);
    json::Member(info, kSwatchItem) = index;
}

void WriteFavourites(Json::Value& info, const PaletteSlots& favourites, int index) {
    WriteSlots(info, kFavourites, favourites, true);
    json::Member(info, kFavouriteItem) = index;
}

CColorSelectWnd::CColorSelectWnd(QWidget* owner, std::string userFile, std::string factoryFile)
    : WindowImplBase(owner), userFile_(std::move(userFile)), factoryFile_(std::move(factoryFile)) {
    setWindowFlags(Qt::Tool | Qt::FramelessWindowHint);
}

CColorSelectWnd* CColorSelectWnd::Current() {
    return OpenWindow().data();
}

void CColorSelectWnd::InitWindow() {
    palette_ = dynamic_cast<ui::CColorPaletteUI*>(FindControl(QStringLiteral("Pallet")));
    if (ui::CControlUI* title = FindControl(QStringLiteral("pallet_title")))
        setWindowTitle(title->GetText());
}

ui::COptionUI* CColorSelectWnd::Swatch(int n) const {
    return dynamic_cast<ui::COptionUI*>(FindControl(Numbered(kSwatchPrefix, n)));
}

ui::COptionUI* CColorSelectWnd::Favourite(int n) const {
    return dynamic_cast<ui::COptionUI*>(FindControl(Numbered(kFavouritePrefix, n)));
}

void CColorSelectWnd::ShowResult(std::uint32_t argb) {
    if (ui::CControlUI* shown = FindControl(QStringLiteral("color_show_btn")))
        shown->SetBkColor(QColor::fromRgba(argb));
}

void CColorSelectWnd::ShowChannels(std::uint32_t argb) {
    const int channels[3] = {qRed(argb), qGreen(argb), qBlue(argb)};
    for (int i = 0; i < 3; ++i) {
        if (ui::CControlUI* edit = FindControl(QLatin1String(kEdits[i])))
            edit->SetText(QString::number(channels[i]));
    }
}

void CColorSelectWnd::SetColour(std::uint32_t argb) {
    if (ui::CControlUI* shown = FindControl(QStringLiteral("color_show_btn")))
        shown->SetBkImage(QString());
    ShowResult(argb);
    if (palette_ != nullptr)
        palette_->SetSelectColor(argb);
    colour_ = argb;
    ShowChannels(argb);
}

std::uint32_t CColorSelectWnd::ShownColour() const {
    const ui::CControlUI* shown = FindControl(QStringLiteral("color_show_btn"));
    return shown != nullptr ? Argb(shown->GetBkColor()) : 0;
}

void CColorSelectWnd::SetPaletteMulticolour(bool on) {
    multicolour_ = on;
    if (auto* option = dynamic_cast<ui::COptionUI*>(FindControl(QStringLiteral("7color"))))
        option->Selected(on, false);
    if (ui::CControlUI* shown = FindControl(QStringLiteral("color_show_btn")))
        shown->SetBkImage(on ? QLatin1String(kMulticolourImage) : QString());
}

void CColorSelectWnd::EnablePaletteMulticolour(bool on) {
    auto* option = dynamic_cast<ui::COptionUI*>(FindControl(QStringLiteral("7color")));
    if (option != nullptr) {
        option->SetEnabled(on);
        if (!on)
            option->Selected(false, false);
    }
    if (ui::CControlUI* layout = FindControl(QStringLiteral("7color_layout")))
        layout->SetVisible(on);
}

void CColorSelectWnd::StoreInSelectedFavourite() {
    ui::COptionUI* slot = favouriteIndex_ >= 0 ? Favourite(favouriteIndex_) : nullptr;
    if (slot != nullptr && slot->IsSelected()) {
        slot->SetBkColor(QColor::fromRgba(colour_));
        slot->SetSelectedBkColor(QColor::fromRgba(colour_));
        slot->SetUserData(QStringLiteral("1"));
        slot->SetBorderSize(0);
        SaveFavourites();
    }
    ShowResult(colour_);
    SetPaletteMulticolour(false);
}

void CColorSelectWnd::Start() {
    if (!userFile_.empty() && ReadJsonFile(userFile_).isNull()) {
        // A missing factory file leaves the layout's colours; the user file then stays empty.
        const Json::Value factory = ReadJsonFile(factoryFile_);
        if (!factory.isNull() && WriteJsonFile(userFile_, factory) != 0)
            userFile_.clear();  // the folder cannot be written: nothing is kept this time
    }
    SetColour(colour_);
    SetPaletteMulticolour(multicolour_);
    LoadSwatches();
    LoadFavourites();
}

void CColorSelectWnd::LoadSwatches() {
    const Json::Value info = userFile_.empty() ? Json::Value() : ReadPaletteInfo(userFile_);
    if (info.isNull())
        return;
    const PaletteSlots swatches = ReadSwatches(info);
    for (int i = 0; i < kSlots; ++i) {
        const std::optional<std::uint32_t>& argb = swatches[static_cast<std::size_t>(i)].colour;
        if (ui::COptionUI* swatch = Swatch(i); swatch != nullptr && argb) {
            swatch->SetBkColor(QColor::fromRgba(*argb));
            swatch->SetSelectedBkColor(QColor::fromRgba(*argb));
        }
    }
    if (const std::optional<int> index = ReadSwatchIndex(info))
        swatchIndex_ = *index;
    if (ui::COptionUI* chosen = swatchIndex_ >= 0 ? Swatch(swatchIndex_) : nullptr)
        chosen->Selected(true, false);
}

void CColorSelectWnd::LoadFavourites() {
    const Json::Value info = userFile_.empty() ? Json::Value() : ReadPaletteInfo(userFile_);
    if (info.isNull())
        return;
    const PaletteSlots favourites = ReadFavourites(info);
    for (int i = 0; i < kSlots; ++i) {
        const PaletteSlot& entry = favourites[static_cast<std::size_t>(i)];
        ui::COptionUI* slot = Favourite(i);
        if (slot == nullptr || !entry.userData)
            continue;
        // An empty slot keeps the layout's look: a white one would read as a white favourite.
        slot->SetUserData(*entry.userData);
        if (entry.userData->compare(u"1", Qt::CaseInsensitive) == 0 && entry.colour) {
            slot->SetBkColor(QColor::fromRgba(*entry.colour));
            slot->SetSelectedBkColor(QColor::fromRgba(*entry.colour));
            slot->SetBorderSize(0);
        }
    }
    // A reopened picker arms no slot, whichever was armed before.
    if (NamesArmedFavourite(info))
        favouriteIndex_ = -1;
}

void CColorSelectWnd::SaveSwatches() {
    PaletteSlots swatches;
    for (int i = 0; i < kSlots; ++i) {
        if (const ui::COptionUI* swatch = Swatch(i))
            swatches[static_cast<std::size_t>(i)].colour = Argb(swatch->GetBkColor());
    }
    if (!userFile_.empty() && !UpdatePaletteFile(userFile_, [&](Json::Value& info) {
            WriteSwatches(info, swatches, swatchIndex_);
        }))
        DebugLog("palette: %s not written\n", userFile_.c_str());
}

void CColorSelectWnd::SaveFavourites() {
    PaletteSlots favourites;
    for (int i = 0; i < kSlots; ++i) {
        if (const ui::COptionUI* slot = Favourite(i))
            favourites[static_cast<std::size_t>(i)] = {Argb(slot->GetBkColor()),
                                                       slot->GetUserData()};
    }
    if (!userFile_.empty() && !UpdatePaletteFile(userFile_, [&](Json::Value& info) {
            WriteFavourites(info, favourites, favouriteIndex_);
        }))
        DebugLog("palette: %s not written\n", userFile_.c_str());
}

void CColorSelectWnd::TakeEdits() {
    int channels[3] = {0, 0, 0};
    for (int i = 0; i < 3; ++i) {
        ui::CControlUI* edit = FindControl(QLatin1String(kEdits[i]));
        if (edit == nullptr)
            continue;
        bool ok = false;
        const long value = edit->GetText().trimmed().toLong(&ok);
        // Empty, not a number or negative counts 0; above 255 is held at 255.
        channels[i] = ok ? static_cast<int>(std::clamp(value, 0L, 255L)) : 0;
        edit->SetText(QString::number(channels[i]));
    }
    colour_ = 0xFF000000u | static_cast<std::uint32_t>(channels[0]) << 16 |
              static_cast<std::uint32_t>(channels[1]) << 8 |
              static_cast<std::uint32_t>(channels[2]);
    if (palette_ != nullptr)
        palette_->SetSelectColor(colour_);
    StoreInSelectedFavourite();
}

void CColorSelectWnd::Notify(const ui::TNotifyUI& msg) {
    const QString name = msg.pSender != nullptr ? msg.pSender->GetName() : QString();
    const QString& type = msg.sType;
    if (type == QLatin1String(ui::kNotifyWindowInit)) {
        Start();
    } else if (type == QLatin1String(ui::kNotifyColorChanged) && msg.pSender == palette_ &&
               palette_ != nullptr) {
        colour_ = palette_->GetSelectColor();
        StoreInSelectedFavourite();
        ShowChannels(colour_);
    } else if (type == QLatin1String(ui::kNotifyKillFocus) ||
               type == QLatin1String(ui::kNotifyReturn)) {
        if (std::any_of(std::begin(kEdits), std::end(kEdits), [&](const char* edit) {
                return name.compare(QLatin1String(edit), Qt::CaseInsensitive) == 0;
            }))
            TakeEdits();
    } else if (type == QLatin1String(ui::kNotifySelectChanged)) {
        auto* option = dynamic_cast<ui::COptionUI*>(msg.pSender);
        if (const int n = SlotOf(name, kSwatchPrefix); n >= 0 && option && option->IsSelected()) {
            swatchIndex_ = n;
            SaveSwatches();
            colour_ = Argb(option->GetBkColor());
            if (palette_ != nullptr)
                palette_->SetSelectColor(colour_);
            StoreInSelectedFavourite();
            ShowChannels(colour_);
        } else if (const int f = SlotOf(name, kFavouritePrefix);
                   f >= 0 && option && option->IsSelected()) {
            favouriteIndex_ = f;
            // A filled slot shows its colour; an empty one waits for the next colour chosen.
            if (option->GetUserData() == QLatin1String("1")) {
                SaveFavourites();
                const std::uint32_t argb = Argb(option->GetBkColor());
                ShowResult(argb);
                SetPaletteMulticolour(false);
                if (palette_ != nullptr)
                    palette_->SetSelectColor(argb);
                ShowChannels(argb);
            }
        }
    } else if (type == QLatin1String(ui::kNotifyCheckClick) || type == QLatin1String("click")) {
        if (name.compare(u"7color", Qt::CaseInsensitive) == 0) {
            if (auto* option = dynamic_cast<ui::COptionUI*>(msg.pSender)) {
                multicolour_ = option->IsSelected();
                if (ui::CControlUI* shown = FindControl(QStringLiteral("color_show_btn")))
                    shown->SetBkImage(multicolour_ ? QLatin1String(kMulticolourImage) : QString());
            }
        } else if (type == QLatin1String("click")) {
            if (name.compare(u"okbtn", Qt::CaseInsensitive) == 0) {
                if (palette_ == nullptr) {
                    Close(kResultOkWithoutPalette);
                } else {
                    colour_ = ShownColour();
                    Close(kResultOk);
                }
                return;
            }
            if (name.compare(u"laterbtn", Qt::CaseInsensitive) == 0 ||
                HandleCaptionButton(*this, name))
                return;
        }
    }
    WindowImplBase::Notify(msg);
}

intptr_t CColorSelectWnd::HandleCustomMessage(int msg, intptr_t wParam, intptr_t lParam,
                                              bool& handled) {
    if (msg == CAboutWnd::kMsgLanguageChanged) {
        ReloadText();
        update();
        handled = true;
        return 0;
    }
    return WindowImplBase::HandleCustomMessage(msg, wParam, lParam, handled);
}

void CColorSelectWnd::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        Close(kResultClosed);
        return;
    }
    WindowImplBase::keyPressEvent(event);
}

std::optional<std::uint32_t> ShowColorSelectWnd(QWidget* owner, std::uint32_t argb, int dpi,
                                                const std::string& localAppData,
                                                const std::string& resourceFolder) {
    QPointer<CColorSelectWnd>& open = OpenWindow();
    if (open)
        return std::nullopt;
    if (const int taken = ui::CPaintManagerUI::NormalizeDpi(dpi);
        taken != ui::CPaintManagerUI::GetDPI())
        ui::CPaintManagerUI::SetAllDPI(taken);
    const std::string folder = GetProgramDataFolder(LocalAppDataFolder(localAppData));
    // The owner (Qt parent) deletes the window should it go first; otherwise it goes below.
    const QPointer<CColorSelectWnd> wnd = new CColorSelectWnd(
        owner, folder.empty() ? std::string() : folder + CColorSelectWnd::kFileName,
        GetDefaultDataFolder(resourceFolder) + CColorSelectWnd::kFileName);
    open = wnd;
    wnd->Create();
    wnd->SetColour(argb);
    wnd->EnablePaletteMulticolour(false);
    wnd->SendWindowInit();  // the controls show the colours before the window maps
    wnd->CenterWindow();
    const int result = wnd->ShowModal();
    open.clear();
    std::optional<std::uint32_t> chosen;
    if (wnd) {
        if (result == CColorSelectWnd::kResultOk)
            chosen = wnd->GetColour();
        wnd->deleteLater();
    }
    return chosen;
}

}  // namespace morva::app
