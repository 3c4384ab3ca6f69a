// The main window's side of the music styles: the window, the capture's colour, the file.
#include "app/main_wnd.h"
#include "app/music_lighting.h"
#include "app/music_wnd.h"

#include "base/debug_log.h"
#include "profile/audio_style_store.h"

namespace morva::app {

void CMainWnd::OpenMusicWindow() {
    const std::optional<AudioStyle> chosen = ShowMusicWindow(this, audioStyles_->Current(), dpi_);
    if (!chosen)
        return;
    SendStyleColour(*chosen);
    audioStyles_->StoreAudioStyle(*chosen);
    if (audioStyles_->SaveAudioFile() < 0)
        DebugLog("music styles not saved to %s\n", audioStyles_->UserFile().c_str());
}

void CMainWnd::SendStyleColour(const AudioStyle& style) {
    if (music_ && style.style < kAudioStyleCount) {
        const AudioStyleColour& c = style.colour[style.style];
        music_->SendStyleColour(c.red, c.green, c.blue);
    }
    if (onStyleChosen_)
        onStyleChosen_(style);
}

void CMainWnd::ResetMusicStyles() {
    if (audioStyles_->ResetAudioStyles() < 0)
        DebugLog("music styles not reset from the factory file\n");
}

}  // namespace morva::app
