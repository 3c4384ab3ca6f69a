// What the pages and their panels need of the window around them: message boxes, file
// dialogs, the screen, the key assignment's editing state and the profile switch timer.
// The main window implements it; pages and panels never reach for the window itself.
#pragma once

#include <QSize>
#include <QString>

#include <cstdint>
#include <optional>
#include <string>

#include "device/models/op_result.h"

namespace morva::ui {

class IPageServices {
public:
    // A box with one button showing a language key's text; "%d" in it becomes `detail`. The
    // system's `reason` for a failure ("No space left on device") follows on its own line.
    virtual void ShowMessage(const QString& key, int detail = 0, const QString& reason = {}) = 0;
    // A confirm/cancel box; true when the user confirmed.
    virtual bool Confirm(const QString& key) = 0;
    // A short note that goes by itself: that something the user asked for worked.
    virtual void ShowNote(const QString& key) = 0;
    // File dialogs; an empty path when the user cancelled.
    virtual QString OpenFile(const QString& filter, const QString& pattern) = 0;
    virtual QString SaveFile(const QString& filter, const QString& pattern) = 0;
    // The size in pixels of the screen the window is on.
    virtual QSize ScreenPixels() const = 0;
    // Key assignment: while `lock` is set the device tabs and the profile panel follow
    // `saved`; the panel's buttons are usable while a change is unsaved.
    virtual void SetEditingState(int lock, int saved) = 0;
    // (Re)starts the delay after which the profile chosen in the list is switched to.
    virtual void StartProfileSwitch() = 0;
    // A profile reset also puts the music lighting styles back to the factory ones.
    virtual void ResetMusicStyles() = 0;
    // The colour picker, modal, starting at `initial` (0xAARRGGBB); nothing when cancelled.
    virtual std::optional<std::uint32_t> PickColour(std::uint32_t initial) = 0;
    // The programs bound to a profile of the device whose profiles are in `userDataFolder`,
    // edited in a window of their own (modal); the devices follow the bindings as they are
    // afterwards.
    virtual void EditProgramBindings(const std::string& userDataFolder,
                                     const std::string& profileId, const QString& profileName) = 0;
    // Work that belongs to features not built yet: named and counted.
    virtual void NotBuiltYet(const std::string& feature) = 0;

    // Tells the user what an operation came to, when there is anything to tell.
    void Report(const OpResult& result) {
        if (!result.messageKey.empty())
            ShowMessage(QString::fromStdString(result.messageKey), result.detail,
                        QString::fromStdString(result.reason));
    }

protected:
    ~IPageServices() = default;
};

}  // namespace morva::ui
