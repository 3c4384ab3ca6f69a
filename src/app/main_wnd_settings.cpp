// The main window's side of the settings window: what it is opened with and where.
#include <QSettings>

#include "app/app_profile_switcher.h"
#include "app/main_wnd.h"
#include "app/set_wnd.h"
#include "base/debug_log.h"
#include "device/device_folders.h"
#include "device/device_tables.h"
#include "ui/language/language_manager.h"
#include "ui/pages/device_page.h"
#include "update/update_client.h"

namespace morva::app {

namespace {

constexpr char kAutoCheckSetting[] = "UPDATE_AUTO";

std::uint16_t ConnectedVersion(const CTessaronUSBDevice& model) {
    const CDeviceChannel& channel = model.CommandChannel();
    if (!channel.IsOpen())
        return 0;
    return channel.ViaReceiver() ? channel.Receiver().VersionNumber()
                                 : channel.Wired().VersionNumber();
}

}  // namespace

std::vector<update::ModelEntry> CMainWnd::UpdateEntries() const {
    std::vector<update::ModelEntry> rows = update::ModelEntries();
    const auto types = DeviceTypes();
    for (std::size_t k = 0; k + 1 < rows.size(); ++k) {
        // Row k of the model table is the device type of row k, wherever its tab sits.
        const ui::CDevicePageUI* page =
            devices_ && k < types.size() ? devices_->PageOfKind(types[k].kind) : nullptr;
        rows[k].version = page != nullptr ? ConnectedVersion(page->Model()) : 0;
    }
    if (!rows.empty()) {
        std::string text = rows.back().versionText;
        if (!text.empty() && (text.front() == 'V' || text.front() == 'v'))
            text.erase(0, 1);
        rows.back().version = update::InstalledVersionFrom(text);
    }
    std::erase_if(rows, [](const update::ModelEntry& e) { return e.version == 0; });
    return rows;
}

void CMainWnd::OpenSettingsWindow(bool centred) {
    QSettings& settings = language_.Settings();
    SetWndOptions options;
    for (const ui::LanguageEntry& entry : language_.Entries())
        options.languageKeys.append(entry.textKey);
    options.entries = UpdateEntries();
    options.serviceUrl = QUrl(update::UpdateServiceUrl(settings));
    QString caError;
    options.extraCas = update::CaCertificatesFromEnvironment(&caError);
    if (!caError.isEmpty())
        DebugLog("update CA: %s\n", caError.toLocal8Bit().constData());
    options.dataFolder = GetProgramDataFolder(LocalAppDataFolder(localAppData_));
    options.autoCheck = settings.value(QLatin1String(kAutoCheckSetting), false).toBool();
    options.autoCheckChanged = [this, &settings](bool on) {
        if (!ui::SaveSetting(settings, QLatin1String(kAutoCheckSetting), on))
            ShowMessage(QString::fromLatin1(kMsgSettingNotSaved));
    };
    options.followPrograms = appProfiles_ && appProfiles_->Enabled();
    options.followWorks = appProfiles_ && appProfiles_->Watching();
    options.followProgramsChanged = [this](bool on) {
        SetFollowPrograms(on);
        return appProfiles_ && appProfiles_->Watching();
    };
    options.versionText = QString::fromUtf8(std::string(Models().back().versionText).c_str());
    OpenSetWnd(this, language_.CurrentPosition(), std::move(options), dpi_, centred);
}

}  // namespace morva::app
