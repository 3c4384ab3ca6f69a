// The colour picker: a palette field, red/green/blue edits, twenty preset swatches and twenty
// favourite slots the user fills. Swatches and favourites are kept in
// "color_option_info.config" in the program data folder.
#pragma once

#include <json/value.h>
#include <QString>

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "ui/toolkit/window.h"

namespace morva::ui {
class CColorPaletteUI;
class COptionUI;
}  // namespace morva::ui

namespace morva::app {

// Eight upper-case hex digits of 0xAARRGGBB, and back (nothing for anything else).
QString FormatArgb(std::uint32_t argb);
std::optional<std::uint32_t> ParseArgb(const QString& text);

// Layout "XML/PalletDialog.xml": "Pallet", "color_edit_r/g/b", "color_show_btn", "okbtn",
// "color_option_0..19", "collect_color_option_0..19", "7color", "7color_layout" and the
// caption buttons. Ends with 1 after "okbtn" (2 without a palette), 0 when closed.
class CColorSelectWnd : public ui::WindowImplBase {
    Q_OBJECT

public:
    static constexpr int kSlots = 20;
    static constexpr int kResultClosed = 0;
    static constexpr int kResultOk = 1;
    static constexpr int kResultOkWithoutPalette = 2;
    static constexpr char kFileName[] = "color_option_info.config";

    // userFile: the user's copy (empty: nothing is kept); factoryFile: copied to it when it
    // cannot be read.
    CColorSelectWnd(QWidget* owner, std::string userFile, std::string factoryFile);

    void SetColour(std::uint32_t argb);
    std::uint32_t GetColour() const { return colour_; }
    // The result swatch's colour (0 without one).
    std::uint32_t ShownColour() const;
    void SetPaletteMulticolour(bool on);
    void EnablePaletteMulticolour(bool on);
    int SwatchIndex() const { return swatchIndex_; }
    // The slot a chosen colour goes to, -1 for none.
    int FavouriteIndex() const { return favouriteIndex_; }

    // The window ShowColorSelectWnd shows, or null.
    static CColorSelectWnd* Current();

protected:
    QString GetSkinFile() override { return QStringLiteral("XML/PalletDialog.xml"); }
    void InitWindow() override;
    void Notify(const ui::TNotifyUI& msg) override;
    intptr_t HandleCustomMessage(int msg, intptr_t wParam, intptr_t lParam, bool& handled) override;
    // Escape closes, as the close button does.
    void keyPressEvent(QKeyEvent* event) override;

private:
    void Start();
    void LoadSwatches();
    void LoadFavourites();
    void SaveSwatches();
    void SaveFavourites();
    void StoreInSelectedFavourite();
    void ShowChannels(std::uint32_t argb);
    void ShowResult(std::uint32_t argb);
    void TakeEdits();
    ui::COptionUI* Swatch(int n) const;
    ui::COptionUI* Favourite(int n) const;

    std::string userFile_;
    std::string factoryFile_;
    ui::CColorPaletteUI* palette_ = nullptr;
    std::uint32_t colour_ = 0xFFFFFFFF;
    int swatchIndex_ = 4;
    int favouriteIndex_ = 0;
    bool multicolour_ = false;
};

// What the picker's file says of one swatch or favourite slot; nothing where it says nothing
// usable (the slot keeps the layout's look).
struct PaletteSlot {
    std::optional<std::uint32_t> colour;
    std::optional<QString> userData;  // favourites: "1" for a filled slot
};
using PaletteSlots = std::array<PaletteSlot, CColorSelectWnd::kSlots>;
// The "coloroptioninfo" object of the file, read and updated by the picker. The file is the
// user's: members of the wrong type read as absent and are replaced when written.
Json::Value ReadPaletteInfo(const std::string& file);
// The file with `change` applied to that object; every other member is kept. False when
// the file could not be written.
bool UpdatePaletteFile(const std::string& file, const std::function<void(Json::Value&)>& change);
PaletteSlots ReadSwatches(const Json::Value& info);
std::optional<int> ReadSwatchIndex(const Json::Value& info);
PaletteSlots ReadFavourites(const Json::Value& info);
// Whether the file names an armed favourite (a reopened picker then arms none).
bool NamesArmedFavourite(const Json::Value& info);
// Slots without a colour are left as the file has them.
void WriteSwatches(Json::Value& info, const PaletteSlots& swatches, int index);
void WriteFavourites(Json::Value& info, const PaletteSlots& favourites, int index);

// Shows the picker modal over `owner` at `dpi`, starting at `argb`; the colour on OK,
// nothing when closed or when a picker is open already. Files as for the window; the
// user's copy lies in the program data folder below `localAppData` (empty: the user's own).
std::optional<std::uint32_t> ShowColorSelectWnd(QWidget* owner, std::uint32_t argb, int dpi,
                                                const std::string& localAppData,
                                                const std::string& resourceFolder);

}  // namespace morva::app
