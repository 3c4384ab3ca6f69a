#include "ui/panels/color_palette.h"

#include <QColor>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

#include "ui/toolkit/paint_manager.h"
#include "ui/toolkit/theme.h"

namespace morva::ui {
namespace {

constexpr int kStripHeight = 14;  // layout units
constexpr int kGap = 6;
constexpr int kMarker = 5;

double Fraction(int offset, int length) {
    return length > 1 ? std::clamp(static_cast<double>(offset) / (length - 1), 0.0, 1.0) : 0.0;
}

}  // namespace

CColorPaletteUI::CColorPaletteUI(QWidget* parent) : CPlainControlUI(parent) {
    setCursor(Qt::CrossCursor);
}

void CColorPaletteUI::SetSelectColor(std::uint32_t argb) {
    const QColor c = QColor::fromRgb(argb | 0xFF000000u).toHsv();
    value_ = c.valueF();
    // Black has no hue or saturation of its own: keep the ones shown.
    if (c.valueF() > 0.0) {
        saturation_ = c.hsvSaturationF();
        if (c.hsvHueF() >= 0.0)
            hue_ = c.hsvHueF();
    }
    update();
}

std::uint32_t CColorPaletteUI::GetSelectColor() const {
    return QColor::fromHsvF(static_cast<float>(hue_), static_cast<float>(saturation_),
                            static_cast<float>(value_))
               .rgba() |
           0xFF000000u;
}

QRect CColorPaletteUI::FieldRect() const {
    const int strip = CPaintManagerUI::Scale(kStripHeight) + CPaintManagerUI::Scale(kGap);
    return QRect(0, 0, width(), std::max(1, height() - strip));
}

QRect CColorPaletteUI::StripRect() const {
    const int h = CPaintManagerUI::Scale(kStripHeight);
    return QRect(0, std::max(0, height() - h), width(), h);
}

void CColorPaletteUI::paintEvent(QPaintEvent* event) {
    CPlainControlUI::paintEvent(event);
    QPainter p(this);
    const QRect field = FieldRect();
    QLinearGradient hues(field.topLeft(), field.topRight());
    for (int i = 0; i <= 6; ++i)
        hues.setColorAt(i / 6.0, QColor::fromHsvF(i == 6 ? 0.0f : i / 6.0f, 1.0f, 1.0f));
    p.fillRect(field, hues);
    QLinearGradient fade(field.topLeft(), field.bottomLeft());
    fade.setColorAt(0.0, QColor(255, 255, 255, 0));
    fade.setColorAt(1.0, QColor(255, 255, 255, 255));
    p.fillRect(field, fade);

    const QRect strip = StripRect();
    QLinearGradient dark(strip.topLeft(), strip.topRight());
    dark.setColorAt(0.0, Qt::black);
    dark.setColorAt(
        1.0, QColor::fromHsvF(static_cast<float>(hue_), static_cast<float>(saturation_), 1.0f));
    p.fillRect(strip, dark);

    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor::fromRgba(theme::kText), 2));
    const int r = CPaintManagerUI::Scale(kMarker);
    const QPointF at(field.left() + hue_ * (field.width() - 1),
                     field.top() + (1.0 - saturation_) * (field.height() - 1));
    p.drawEllipse(at, r, r);
    const double x = strip.left() + value_ * (strip.width() - 1);
    p.drawRect(QRectF(x - 2, strip.top(), 4, strip.height()));
}

void CColorPaletteUI::PickAt(QPoint point) {
    if (drag_ == Drag::Field) {
        const QRect f = FieldRect();
        hue_ = Fraction(point.x() - f.left(), f.width());
        saturation_ = 1.0 - Fraction(point.y() - f.top(), f.height());
        // A pick in the field after the strip was at black would show nothing.
        if (value_ <= 0.0)
            value_ = 1.0;
    } else if (drag_ == Drag::Strip) {
        const QRect s = StripRect();
        value_ = Fraction(point.x() - s.left(), s.width());
    }
    update();
}

void CColorPaletteUI::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !IsEnabled())
        return;
    const QPoint at = event->position().toPoint();
    drag_ = StripRect().contains(at)   ? Drag::Strip
            : FieldRect().contains(at) ? Drag::Field
                                       : Drag::None;
    PickAt(at);
}

void CColorPaletteUI::mouseMoveEvent(QMouseEvent* event) {
    if (drag_ != Drag::None)
        PickAt(event->position().toPoint());
}

void CColorPaletteUI::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || drag_ == Drag::None)
        return;
    PickAt(event->position().toPoint());
    drag_ = Drag::None;
    // One notification per pick: each one sends the colour to the device.
    SendNotify(QStringLiteral("colorchanged"));
}

}  // namespace morva::ui
