// The background of the main window: the small pop-up under "skinbtn" offers pictures,
// plain colours, a picture of the user's own and the default back; the choice goes to every
// registered receiver and is kept in "main.ini" for the next start.
#pragma once

#include <QPointer>
#include <QString>

#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "ui/toolkit/window.h"

namespace morva::app {

struct SkinChangedParam {
    bool isColour = false;
    std::uint32_t colour = 0;  // 0xAARRGGBB, when isColour
    QString image;             // a resource name or a full path, when not
    friend bool operator==(const SkinChangedParam&, const SkinChangedParam&) = default;
};

class ISkinReceiver {
public:
    virtual bool ReceiveChange(const SkinChangedParam& param) = 0;

protected:
    ~ISkinReceiver() = default;
};

// The program's one list of receivers, served in the order they registered.
class CSkinObserver {
public:
    static CSkinObserver& Instance();
    void RegisterReceiver(ISkinReceiver* receiver);
    void UnregisterReceiver(ISkinReceiver* receiver);
    void BroadcastChange(const SkinChangedParam& param);

private:
    std::map<int, ISkinReceiver*> receivers_;
    int next_ = 0;
};

// "main.ini" in the program data folder, section "SKINIMAGE": "FLAGS" and "IMAGE" record
// an offered picture ("1") or the reset ("0"); "SHOWN", "COLOUR" and "CUSTOM" record what
// is shown, whichever kind it is, so the next start shows it again.
class CSkinSettings {
public:
    static constexpr char kDefaultImage[] = "common/background.png";
    explicit CSkinSettings(std::string file) : file_(std::move(file)) {}
    // False when the file could not be written (a read-only folder, a full disk).
    [[nodiscard]] bool Record(const SkinChangedParam& param, bool offeredPicture);
    // What was last shown; nothing for the layout's own background.
    std::optional<SkinChangedParam> Shown() const;
    const std::string& File() const { return file_; }

private:
    std::string file_;
};

// Makes `param` the background of `root` (the main window's root control).
void ShowBackground(ui::CControlUI& root, const SkinChangedParam& param);

// Layout "XML/skin.xml": "skin_tab" (pictures 0, colours 1), "skin_image", "skin_color",
// "skin_image_btn" (user data: the picture), "skin_color_btn" (its background colour),
// "skin_reset", "skin_Custom". Closes as soon as it loses the focus and frees itself.
class CSkinFrame : public ui::WindowImplBase {
    Q_OBJECT

public:
    CSkinFrame(QWidget* owner, ui::CControlUI* anchor, CSkinSettings& settings);
    // Opens a new pop-up under `anchor` (right edges aligned).
    static CSkinFrame* Open(QWidget* owner, ui::CControlUI* anchor, CSkinSettings& settings);
    static CSkinFrame* Current();

signals:
    // The choice shows but could not be kept for the next start.
    void NotSaved();

protected:
    QString GetSkinFile() override { return QStringLiteral("XML/skin.xml"); }
    void Notify(const ui::TNotifyUI& msg) override;
    void hideEvent(QHideEvent* event) override;

private:
    void Choose(const SkinChangedParam& param, bool recordOffered);
    void PlaceUnderAnchor();

    QPointer<QWidget> anchor_;
    CSkinSettings& settings_;
};

}  // namespace morva::app
