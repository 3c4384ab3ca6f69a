// The profile panel of a device page: a combo of the device's profiles, a name edit, a
// collapsible menu of profile operations and the row of function tabs. The files belong to
// the core's CProfileListStore; the panel keeps the combo in step with it.
#pragma once

#include <memory>
#include <string>

#include "profile/profile_list_store.h"
#include "ui/toolkit/containers.h"

namespace morva::ui {

class CComboUI;
class CEditUI;
class COptionUI;

class CDeviceProfileUI : public CHorizontalLayoutUI {
public:
    static constexpr int kItemHeight = 30;
    static constexpr int kOperationPages = 8;

    CDeviceProfileUI();
    ~CDeviceProfileUI() override;

    QString GetClass() const override { return QStringLiteral("DeviceProfileUI"); }

    // Set-up by the device page, in this order.
    void SetDeviceType(int type) { deviceType_ = type; }
    int DeviceType() const { return deviceType_; }
    void SetFolders(const std::string& userDataFolder, const std::string& defaultProfilePath);
    // Reads (or creates) the list, fills the combo, selects the stored profile and shows the
    // function tabs of the device type. -1 when a needed file could not be written.
    int InitProfileList();

    // -1 when nothing is selected or there is no combo.
    int GetSelectedIndex() const;
    std::string GetCurrentProfileId() const;
    // The current profile's file; empty before the list was read.
    std::string GetCurrentProfilePath() const;
    QString GetNameEditText() const;
    void SetNameEditText(const QString& text);
    void ShowProfileMenu(bool show);
    bool IsProfileMenuShown() const;
    int GetProfileCount();
    std::string GetProfilePathAt(int index) const;

    // Operations. Each returns the store's result (-1: nothing done or a write failed); the
    // combo afterwards shows the store's list and selection.
    int SelectProfile(int index, bool notify);
    // The store's SelectForProgram; the combo shows it, silently.
    int SelectForProgram(const std::string& id);
    int AddProfile();
    int CopyProfile();
    int DeleteProfile();
    // 1 renamed, 0 the name is taken, 2 blank, -1 failure.
    int RenameProfile(const QString& name);
    int ImportProfile(const std::string& path);
    int ExportProfile(const std::string& path);
    int ResetProfile();
    // Selects function tab `page` (1..8) without a notification.
    void SelectOperationPage(int page);

    // Null until SetFolders.
    CProfileListStore* Store() { return store_.get(); }
    CComboUI* Combo() const;

    // Tests replace the writer to make single writes fail; applies from the next SetFolders.
    void SetJsonWriter(CProfileListStore::JsonWriter writer) { writer_ = std::move(writer); }

private:
    template <typename T>
    T* Sub(const char* name) const;
    COptionUI* OperationTab(int page) const;
    // Refills the combo from the store's entries and selects the store's selection, silently.
    void ShowStore();
    void ApplyTabVisibility();

    int deviceType_ = 0;
    std::string userDataFolder_;
    std::string defaultProfilePath_;
    CProfileListStore::JsonWriter writer_;
    std::unique_ptr<CProfileListStore> store_;
};

}  // namespace morva::ui
