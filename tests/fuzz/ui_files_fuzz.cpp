// The files the desktop program reads, each read as the program reads it: the first byte
// picks the file, the rest is its content. Every input gets a folder of its own in the
// scratch folder, so no file (nor QSettings' cache of one) carries over to the next input.
// Layout files are not among them: they come from the installed data folder only.

#include <QApplication>
#include <QSettings>
#include <QUrl>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <string_view>

#include "app/color_select_wnd.h"
#include "app/skin_frame.h"
#include "scratch_folder.h"
#include "ui/language/language_manager.h"
#include "ui/toolkit/dialog_builder.h"
#include "ui/toolkit/resource_manager.h"
#include "update/update_client.h"

namespace morva {
namespace {

using ui::CLanguageManager;

const QString kRes = QStringLiteral(MORVA_RES_DIR);

struct Ui {
    int argc = 1;
    char name[16] = "fuzz_ui_files";
    char* argv[2] = {name, nullptr};
    QApplication app{argc, argv};
    // The main window's root, which takes the background last chosen.
    std::unique_ptr<QWidget> root;
};

std::unique_ptr<Ui>& TheUi() {
    static std::unique_ptr<Ui> ui;
    return ui;
}

void Put(const std::string& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

QString Q(const std::string& path) {
    return QString::fromStdString(path);
}

// As at start (the saved choice), then as a user who tries each language of the list.
void UseLanguages(CLanguageManager& language) {
    (void)language.ApplyLanguage(language.GetSavedLanguage());
    const QVector<ui::LanguageEntry> entries = language.Entries();
    for (int i = 0; i < std::min<int>(static_cast<int>(entries.size()), 4); ++i) {
        (void)language.ApplyLanguage(i);
        for (const ui::LanguageEntry& e : entries)
            (void)language.Text(e.textKey);
    }
}

constexpr std::string_view kTwoLanguages =
    R"({"Language":[{"Language_ID":1033,"Language_file":"lan.xml","Language_name":"en",)"
    R"("Language_text":"language_english"},{"Language_ID":2052,"Language_file":"lan.xml",)"
    R"("Language_name":"zh_CN","Language_text":"language_chinese"}]})";

// The picker opening on the file; then the user picks a swatch, which fills a favourite.
void UsePalette(const std::string& file) {
    const Json::Value info = app::ReadPaletteInfo(file);
    app::PaletteSlots swatches = app::ReadSwatches(info);
    app::PaletteSlots favourites = app::ReadFavourites(info);
    const int swatch = std::clamp(app::ReadSwatchIndex(info).value_or(4), 0, 19);
    (void)app::NamesArmedFavourite(info);
    // Slots the file says nothing of keep the layout's colours.
    for (app::PaletteSlot& slot : swatches)
        slot.colour = slot.colour.value_or(0xFF808080);
    for (app::PaletteSlot& slot : favourites) {
        slot.colour = slot.colour.value_or(0xFFFFFFFF);
        slot.userData = slot.userData.value_or(QString());
    }
    favourites[0] = {swatches[static_cast<std::size_t>(swatch)].colour, QStringLiteral("1")};
    (void)app::UpdatePaletteFile(file,
                                 [&](Json::Value& i) { app::WriteSwatches(i, swatches, swatch); });
    (void)app::UpdatePaletteFile(file,
                                 [&](Json::Value& i) { app::WriteFavourites(i, favourites, 0); });
    // What was written reads back as written.
    const Json::Value written = app::ReadPaletteInfo(file);
    const app::PaletteSlots back = app::ReadFavourites(written);
    if (back[0].colour != favourites[0].colour || back[0].userData != favourites[0].userData ||
        app::ReadSwatches(written)[19].colour != swatches[19].colour)
        std::abort();
}

void UseBackground(const std::string& file) {
    const app::CSkinSettings skin(file);
    const std::optional<app::SkinChangedParam> shown = skin.Shown();
    auto* root = dynamic_cast<ui::CControlUI*>(TheUi()->root.get());
    if (!shown || root == nullptr)
        return;
    app::ShowBackground(*root, *shown);
    // The same colour chosen again is what the next start shows.
    if (shown->isColour) {
        if (!app::CSkinSettings(file).Record(*shown, false) || skin.Shown() != shown)
            std::abort();
    }
    root->SetBkColor(QColor());
    root->SetBkImage(QString());
}

// What the program takes from its settings file, and the switches the user flips there.
void UseSettings(const std::string& file) {
    QSettings settings(Q(file), QSettings::IniFormat);
    CLanguageManager language(kRes + QStringLiteral("/DefaultData"), kRes + QStringLiteral("/skin"),
                              settings);
    (void)language.ApplyLanguage(language.GetSavedLanguage());
    const bool follow = settings.value(QStringLiteral("APP_PROFILES"), true).toBool();
    const bool autoCheck = settings.value(QStringLiteral("UPDATE_AUTO"), false).toBool();
    (void)QUrl(update::UpdateServiceUrl(settings)).resolved(QUrl(QStringLiteral("updates")));
    (void)ui::SaveSetting(settings, QStringLiteral("APP_PROFILES"), !follow);
    (void)ui::SaveSetting(settings, QStringLiteral("UPDATE_AUTO"), !autoCheck);
}

void ReadFile(int kind, const std::string& folder, std::string_view bytes) {
    const std::string settingsFile = folder + "settings.conf";
    switch (kind) {
        case 0: {  // the list of languages
            Put(folder + "Language.config", bytes);
            QSettings settings(Q(settingsFile), QSettings::IniFormat);
            CLanguageManager language(Q(folder), kRes + QStringLiteral("/skin"), settings);
            UseLanguages(language);
            break;
        }
        case 1: {  // a language file
            Put(folder + "Language.config", kTwoLanguages);
            Put(folder + "lan.xml", bytes);
            QSettings settings(Q(settingsFile), QSettings::IniFormat);
            CLanguageManager language(Q(folder), Q(folder), settings);
            UseLanguages(language);
            for (const QString& key : language.Table().Texts().keys())
                (void)language.Text(key);
            break;
        }
        case 2:  // the background chosen, "main.ini"
            Put(folder + "main.ini", bytes);
            UseBackground(folder + "main.ini");
            break;
        case 3:  // the colour picker's swatches and favourites
            Put(folder + app::CColorSelectWnd::kFileName, bytes);
            UsePalette(folder + app::CColorSelectWnd::kFileName);
            break;
        default:  // the settings file (the language chosen, following programs, updates)
            Put(settingsFile, bytes);
            UseSettings(settingsFile);
            break;
    }
}

}  // namespace
}  // namespace morva

// Font configuration keeps its caches for the life of the process.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    using namespace morva;
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    unsetenv("MORVA_UPDATE_URL");
    TheUi() = std::make_unique<Ui>();
    // libFuzzer ends with exit(): the application goes first, as at the end of main(), while
    // Qt's own statics still live (the main thread's thread_local objects go before them).
    static thread_local const struct AtExit {
        ~AtExit() { TheUi().reset(); }
    } atExit;
    (void)atExit;
    ui::CResourceManager::Instance().SetResourcePath(kRes + QStringLiteral("/skin"));
    ui::CResourceManager::Instance().LoadResource();
    TheUi()->root.reset(
        ui::CDialogBuilder::CreateBuiltin(QStringLiteral("verticallayout"))->GetWidget());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    static int inputs = 0;
    const std::string folder = morva::fuzz::ScratchFolder() + std::to_string(++inputs) + "/";
    std::filesystem::create_directory(folder);
    morva::ReadFile(data[0] % 5, folder,
                    std::string_view(reinterpret_cast<const char*>(data + 1), size - 1));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
    return 0;
}
