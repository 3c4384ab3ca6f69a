#include "app/skin_frame.h"

#include <QColor>
#include <QFileInfo>
#include <QSettings>

#include <algorithm>

#include "app/color_select_wnd.h"
#include "ui/panels/file_dialog.h"
#include "ui/toolkit/containers.h"
#include "ui/toolkit/controls.h"

namespace morva::app {

namespace {

constexpr char kGroup[] = "SKINIMAGE";

QPointer<CSkinFrame>& OpenFrame() {
    static QPointer<CSkinFrame> open;
    return open;
}

bool Is(const QString& name, const char16_t* wanted) {
    return name.compare(QStringView(wanted), Qt::CaseInsensitive) == 0;
}

}  // namespace

CSkinObserver& CSkinObserver::Instance() {
    static CSkinObserver observer;
    return observer;
}

void CSkinObserver::RegisterReceiver(ISkinReceiver* receiver) {
    receivers_[next_++] = receiver;
}

void CSkinObserver::UnregisterReceiver(ISkinReceiver* receiver) {
    std::erase_if(receivers_, [receiver](const auto& entry) { return entry.second == receiver; });
}

void CSkinObserver::BroadcastChange(const SkinChangedParam& param) {
    // A receiver may unregister while it is served: walk a copy.
    const std::map<int, ISkinReceiver*> receivers = receivers_;
    for (const auto& [id, receiver] : receivers)
        receiver->ReceiveChange(param);
}

bool CSkinSettings::Record(const SkinChangedParam& param, bool offeredPicture) {
    if (file_.empty())
        return true;
    QSettings ini(QString::fromStdString(file_), QSettings::IniFormat);
    ini.beginGroup(QLatin1String(kGroup));
    const bool reset = !param.isColour && param.image == QLatin1String(kDefaultImage);
    if (offeredPicture || reset) {
        ini.setValue(QStringLiteral("FLAGS"), reset ? QStringLiteral("0") : QStringLiteral("1"));
        ini.setValue(QStringLiteral("IMAGE"), param.image);
    }
    if (reset) {
        ini.remove(QStringLiteral("SHOWN"));
    } else if (param.isColour) {
        ini.setValue(QStringLiteral("SHOWN"), QStringLiteral("colour"));
        ini.setValue(QStringLiteral("COLOUR"), FormatArgb(param.colour));
    } else {
        ini.setValue(QStringLiteral("SHOWN"),
                     offeredPicture ? QStringLiteral("image") : QStringLiteral("custom"));
        ini.setValue(offeredPicture ? QStringLiteral("IMAGE") : QStringLiteral("CUSTOM"),
                     param.image);
    }
    ini.endGroup();
    ini.sync();
    // A fresh object: its status is this write's alone.
    return ini.status() == QSettings::NoError;
}

std::optional<SkinChangedParam> CSkinSettings::Shown() const {
    if (file_.empty())
        return std::nullopt;
    const QSettings ini(QString::fromStdString(file_), QSettings::IniFormat);
    const QString group = QLatin1String(kGroup) + QLatin1Char('/');
    const QString shown = ini.value(group + QStringLiteral("SHOWN")).toString();
    SkinChangedParam param;
    if (shown == QLatin1String("colour")) {
        const auto argb = ParseArgb(ini.value(group + QStringLiteral("COLOUR")).toString());
        if (!argb)
            return std::nullopt;
        param.isColour = true;
        param.colour = *argb;
        return param;
    }
    if (shown == QLatin1String("image") || shown == QLatin1String("custom")) {
        param.image =
            ini.value(group + (shown == QLatin1String("image") ? QStringLiteral("IMAGE")
                                                               : QStringLiteral("CUSTOM")))
                .toString();
        // A picture of the user's own that has gone is not shown as an empty background.
        if (param.image.isEmpty() ||
            (shown == QLatin1String("custom") && !QFileInfo::exists(param.image)))
            return std::nullopt;
        return param;
    }
    return std::nullopt;
}

void ShowBackground(ui::CControlUI& root, const SkinChangedParam& param) {
    if (param.isColour) {
        root.SetBkColor(QColor::fromRgba(param.colour));
        root.SetBkImage(QString());
    } else {
        root.SetBkColor(QColor::fromRgba(0));
        root.SetBkImage(param.image);
    }
}

CSkinFrame::CSkinFrame(QWidget* owner, ui::CControlUI* anchor, CSkinSettings& settings)
    : WindowImplBase(owner),
      anchor_(anchor != nullptr ? anchor->GetWidget() : nullptr),
      settings_(settings) {
    // A pop-up: any press outside it closes it, as does losing the focus.
    setWindowFlags(Qt::Popup | Qt::FramelessWindowHint);
    setAttribute(Qt::WA_DeleteOnClose);
}

CSkinFrame* CSkinFrame::Current() {
    return OpenFrame().data();
}

CSkinFrame* CSkinFrame::Open(QWidget* owner, ui::CControlUI* anchor, CSkinSettings& settings) {
    if (CSkinFrame* old = Current())
        old->close();
    auto* frame = new CSkinFrame(owner, anchor, settings);  // frees itself when it closes
    OpenFrame() = frame;
    frame->Create();
    frame->PlaceUnderAnchor();
    frame->ShowWindow(true);
    return frame;
}

void CSkinFrame::PlaceUnderAnchor() {
    if (anchor_ == nullptr)
        return;
    const QPoint corner = anchor_->mapToGlobal(QPoint(anchor_->width(), anchor_->height()));
    move(corner.x() - width(), corner.y());
}

void CSkinFrame::hideEvent(QHideEvent* event) {
    WindowImplBase::hideEvent(event);
    close();  // hidden by a press outside: gone for good, the next click builds a new one
}

void CSkinFrame::Choose(const SkinChangedParam& param, bool recordOffered) {
    CSkinObserver::Instance().BroadcastChange(param);
    if (!settings_.Record(param, recordOffered))
        emit NotSaved();
}

void CSkinFrame::Notify(const ui::TNotifyUI& msg) {
    if (msg.sType == QLatin1String(ui::kNotifyClick) && msg.pSender != nullptr) {
        const QString name = msg.pSender->GetName();
        auto* tab = dynamic_cast<ui::CTabLayoutUI*>(FindControl(QStringLiteral("skin_tab")));
        if (Is(name, u"skin_image_btn")) {
            SkinChangedParam param;
            param.image = msg.pSender->GetUserData();
            Choose(param, true);
        } else if (Is(name, u"skin_color_btn")) {
            SkinChangedParam param;
            param.isColour = true;
            param.colour = msg.pSender->GetBkColor().rgba();
            Choose(param, false);
        } else if (Is(name, u"skin_image") && tab != nullptr) {
            tab->SelectItem(0);
        } else if (Is(name, u"skin_color") && tab != nullptr) {
            tab->SelectItem(1);
        } else if (Is(name, u"skin_reset")) {
            SkinChangedParam param;
            param.image = QLatin1String(CSkinSettings::kDefaultImage);
            Choose(param, false);
        } else if (Is(name, u"skin_Custom")) {
            // The dialog takes the focus: the pop-up goes first (it is freed only once the
            // event loop is back here) and the dialog belongs to the main window.
            QWidget* owner = parentWidget();
            close();
            const QString file = ui::ShowOpenFileDialog(
                owner, QStringLiteral("Pictures"), QStringLiteral("*.png;*.jpg;*.jpeg;*.svg;"));
            if (!file.isEmpty()) {
                SkinChangedParam param;
                param.image = QFileInfo(file).absoluteFilePath();
                Choose(param, false);
            }
        }
    }
    WindowImplBase::Notify(msg);
}

}  // namespace morva::app
