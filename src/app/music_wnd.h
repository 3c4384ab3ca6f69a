// The music style window: four named style colours for the music lighting, one of them
// chosen, each channel a level 0..9.
#pragma once

#include <QString>

#include <memory>
#include <optional>
#include <string>

#include "profile/audio_style_store.h"
#include "ui/toolkit/window.h"

namespace morva::app {

// Layout "XML/music.xml": "audio_select_tab1".."4" (one option group), "audio_edit_name1".."4",
// "audio_r_slider", "audio_g_slider", "audio_b_slider", "audio_style_swatch1".."4", "okbtn"
// and "closebtn". Ends with 1 after "okbtn", 0 after "closebtn".
class CMusicWnd : public ui::WindowImplBase {
    Q_OBJECT

public:
    static constexpr int kResultOk = 1;
    static constexpr int kResultClose = 0;

    CMusicWnd(QWidget* owner, AudioStyle style);

    // The working record: what the window shows, with every name edit taken in.
    const AudioStyle& Style() const { return style_; }
    // The window OpenMusicWindow shows, or null.
    static CMusicWnd* Current();

protected:
    QString GetSkinFile() override { return QStringLiteral("XML/music.xml"); }
    void InitWindow() override;
    void Notify(const ui::TNotifyUI& msg) override;
    // A language change: the texts are shown again; the names typed stay.
    intptr_t HandleCustomMessage(int msg, intptr_t wParam, intptr_t lParam, bool& handled) override;

private:
    void ShowAll();
    void SelectStyle(int style);
    void ShowColour();
    void ShowSwatch(int style);
    void SetChannel(const QString& slider, int value);
    // Name `n` (0..3) from its edit; an empty edit gets the default name back.
    void TakeName(int n);

    AudioStyle style_;
};

// Shows the window modal over `owner` (may be null) at `dpi` and frees it afterwards: the
// record on "okbtn", nothing otherwise or when the window is open already.
std::optional<AudioStyle> ShowMusicWindow(QWidget* owner, const AudioStyle& style, int dpi);

// The program's store: "AudioFile.json" in the program data folder below `localAppData`
// (empty: the user's own) and the factory file under `resourceFolder`'s DefaultData, loaded.
std::unique_ptr<CAudioStyleStore> MakeAudioStyleStore(const std::string& localAppData,
                                                      const std::string& resourceFolder);

}  // namespace morva::app
