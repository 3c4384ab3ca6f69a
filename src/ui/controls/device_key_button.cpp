#include "ui/controls/device_key_button.h"

#include <QFontMetricsF>
#include <QImage>
#include <QImageReader>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

#include "ui/controls/select_panel.h"
#include "ui/toolkit/paint_manager.h"
#include "ui/toolkit/theme.h"

namespace morva::ui {

CDeviceKeyButtonUI::CDeviceKeyButtonUI(QWidget* parent) : CButtonUI(parent) {
    // Installed after the toolkit's own filter, so it runs first and can drop the event
    // before that one turns it into "dbclick".
    installEventFilter(this);
}

bool CDeviceKeyButtonUI::eventFilter(QObject* watched, QEvent* event) {
    if (watched == this && event->type() == QEvent::MouseButtonDblClick) {
        const QPoint p = static_cast<QMouseEvent*>(event)->position().toPoint();
        return !rect().contains(p);
    }
    return CButtonUI::eventFilter(watched, event);
}

void CDeviceKeyButtonUI::SetAttribute(const QString& name, const QString& value) {
    if (name.compare(u"lightimage", Qt::CaseInsensitive) == 0) {
        SetLightImage(value);
    } else if (name.compare(u"keysetimage", Qt::CaseInsensitive) == 0) {
        SetKeysetImage(value);
    } else if (name.compare(u"legend", Qt::CaseInsensitive) == 0) {
        SetLegend(value);
    } else if (name.compare(u"gmnametextcolor", Qt::CaseInsensitive) == 0) {
        // Layouts may set it; this cell draws no name text, so the value is not needed.
    } else {
        CButtonUI::SetAttribute(name, value);
    }
}

void CDeviceKeyButtonUI::SetLightImage(const QString& image) {
    lightImage_ = image;
    Invalidate();
}

void CDeviceKeyButtonUI::SetLegend(const QString& legend) {
    keycap_ = true;
    legend_ = legend;
    capFor_ = QSizeF();
    Invalidate();
}

void CDeviceKeyButtonUI::SetKeysetImage(const QString& image) {
    keysetImage_ = image;
    Invalidate();
}

void CDeviceKeyButtonUI::SetKeyLight(uint32_t colour, int alpha, bool shown) {
    if (lightColour_ == colour && lightAlpha_ == alpha && lightShown_ == shown) {
        return;
    }
    lightColour_ = colour;
    lightAlpha_ = alpha;
    lightShown_ = shown;
    Invalidate();
}

void CDeviceKeyButtonUI::SetKeysetImageHidden(bool hidden) {
    if (keysetHidden_ == hidden) {
        return;
    }
    keysetHidden_ = hidden;
    Invalidate();
}

void CDeviceKeyButtonUI::SetKeySelected(int selected) {
    if (keySelected_ == selected) {
        return;
    }
    keySelected_ = selected;
    Invalidate();
}

QColor CDeviceKeyButtonUI::LightColourToQColor(uint32_t packed, int alpha) {
    return QColor(static_cast<int>(packed & 0xFF), static_cast<int>((packed >> 16) & 0xFF),
                  static_cast<int>((packed >> 8) & 0xFF), std::clamp(alpha, 0, 255));
}

void CDeviceKeyButtonUI::Invalidate() {
    update();
}

// Decoded at the device pixel size, so vector pictures stay sharp at scale 2; again only when
// the file or the size changed, not for every frame.
const QImage& CDeviceKeyButtonUI::Decoded(Picture& cache, const QString& file,
                                          const QSize& pixels) {
    if (cache.file != file || cache.pixels != pixels) {
        QImageReader reader(file);
        reader.setScaledSize(pixels);
        cache.file = file;
        cache.pixels = pixels;
        cache.image = reader.read().convertToFormat(QImage::Format_ARGB32_Premultiplied);
    }
    return cache.image;
}

void CDeviceKeyButtonUI::paintEvent(QPaintEvent* event) {
    // On a plain panel the cell paints every pixel of itself, the panel's colour where it
    // shows, so a frame does not repaint the panel (and its border) under each cell.
    const QColor ground = Ground();
    if (testAttribute(Qt::WA_OpaquePaintEvent) != ground.isValid())
        setAttribute(Qt::WA_OpaquePaintEvent, ground.isValid());
    // A keycap draws all of itself: the style's box and text would sit under the light.
    if (!keycap_) {
        if (ground.isValid())
            QPainter(this).fillRect(rect(), ground);
        CButtonUI::paintEvent(event);
    }
    if (!keycap_ && !lightShown_ && keysetHidden_ && keySelected_ == 0) {
        return;
    }
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF cell(rect());
    const qreal radius = std::min<qreal>(CPaintManagerUI::Scale(theme::kRadius) / 2.0,
                                         std::min(cell.width(), cell.height()) / 4.0);
    if (keycap_) {
        PaintKeycap(painter, cell, radius, ground);
    } else if (lightShown_) {
        PaintLight(painter, cell, radius);
    }
    if (!keysetHidden_) {
        PaintKeyset(painter, cell);
    }
    if (keySelected_ != 0) {
        // Inset by half the pen so the stroke lands on whole pixels at every scale.
        const qreal pen = CPaintManagerUI::Scale(2);
        painter.setPen(QPen(QColor::fromRgba(theme::kAccent), pen));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(cell.adjusted(pen / 2, pen / 2, -pen / 2, -pen / 2), radius,
                                radius);
    }
}

void CDeviceKeyButtonUI::PaintLight(QPainter& painter, const QRectF& cell, qreal radius) {
    const QColor colour = LightColourToQColor(lightColour_, lightAlpha_);
    const QString file = ImageFile(lightImage_);
    if (!file.isEmpty()) {
        const qreal dpr = devicePixelRatioF();
        QImage tinted = Decoded(lightShape_, file, (cell.size() * dpr).toSize());
        if (!tinted.isNull()) {
            // The picture gives the LED's shape; the colour replaces its pixels.
            QPainter tint(&tinted);
            tint.setCompositionMode(QPainter::CompositionMode_SourceIn);
            tint.fillRect(tinted.rect(), colour);
            tint.end();
            tinted.setDevicePixelRatio(dpr);
            painter.drawImage(cell, tinted);
            return;
        }
    }
    // The body and a one-unit rim inside its edge, as paths kept for the cell's size: a wave
    // repaints every LED many times a second, and stroking a rounded outline each time cost
    // more than everything else the cell draws.
    if (lightPathsFor_ != cell || lightPathsRadius_ != radius) {
        const qreal pen = CPaintManagerUI::Scale(1);
        const qreal inner = std::max<qreal>(0, radius - pen);
        lightBody_ = QPainterPath();
        lightBody_.addRoundedRect(cell, radius, radius);
        lightRim_ = QPainterPath();
        lightRim_.setFillRule(Qt::OddEvenFill);
        lightRim_.addRoundedRect(cell, radius, radius);
        lightRim_.addRoundedRect(cell.adjusted(pen, pen, -pen, -pen), inner, inner);
        lightPathsFor_ = cell;
        lightPathsRadius_ = radius;
    }
    QColor rim = colour.lighter(160);
    rim.setAlpha(colour.alpha() / 2);
    painter.fillPath(lightBody_, colour);
    painter.fillPath(lightRim_, rim);
}

QColor CDeviceKeyButtonUI::Ground() const {
    const auto* panel = dynamic_cast<const CSelectPanelUI*>(GetParent());
    if (panel == nullptr || !panel->PictureFile().isEmpty())
        return {};
    const QColor ground = panel->GetBkColor();
    return ground.isValid() && ground.alpha() == 255 ? ground : QColor();
}

void CDeviceKeyButtonUI::PaintKeycap(QPainter& painter, const QRectF& cell, qreal radius,
                                     const QColor& ground) {
    const qreal scale = CPaintManagerUI::GetScale();
    const bool lit = lightShown_ && lightAlpha_ > 0 && (lightColour_ & 0x00FFFFFF) != 0;
    const bool enabled = isEnabled();
    // The light shows as the cap's lit edge: the legend stays on the dark cap whatever the
    // colour, so it reads on white as well as on blue.
    QColor edge =
        lit ? LightColourToQColor(lightColour_, lightAlpha_) : QColor::fromRgba(theme::kBorder);
    if (!enabled)
        edge.setAlpha(edge.alpha() / 3);

    // On a plain panel the cap's picture carries the panel's colour in its corners, so a
    // frame does not rasterise a rounded edge: a fill or two and the cap's blit.
    if (ground.isValid()) {
        painter.setRenderHint(QPainter::Antialiasing, false);
        if (edge.alpha() < 255)
            painter.fillRect(rect(), ground);
        painter.fillRect(rect(), edge);
        painter.setRenderHint(QPainter::Antialiasing);
    } else {
        painter.setPen(Qt::NoPen);
        painter.setBrush(edge);
        painter.drawRoundedRect(cell, radius, radius);
    }

    const qreal rim = std::max<qreal>(1.0, 1.5 * scale);
    const QRectF cap = cell.adjusted(rim, rim, -rim, -rim * 2);
    // Frames change only the edge: the cap with its legend is drawn once per look and size.
    const int look = (enabled ? 1 : 0) | (isDown() ? 2 : 0) | (underMouse() ? 4 : 0);
    const qreal dpr = devicePixelRatioF();
    if (capFor_ != cell.size() || capLook_ != look || capScale_ != scale || capDpr_ != dpr ||
        capGround_ != ground) {
        capImage_ = RenderCap(cap.translated(-cell.topLeft()), cell.size(), radius, rim, look,
                              ground, scale, dpr);
        capFor_ = cell.size();
        capLook_ = look;
        capScale_ = scale;
        capDpr_ = dpr;
        capGround_ = ground;
    }
    painter.drawPixmap(cell.topLeft(), capImage_);
    if (lit && enabled) {
        // A faint wash of the light over the cap, square inside its rounded corners.
        QColor wash = edge;
        wash.setAlpha(edge.alpha() * 30 / 255);
        const qreal inset = std::max<qreal>(0, radius - rim / 2);
        painter.setRenderHint(QPainter::Antialiasing, false);
        painter.fillRect(cap.adjusted(inset / 2, inset / 2, -inset / 2, -inset / 2), wash);
        painter.setRenderHint(QPainter::Antialiasing);
    }
}

QPixmap CDeviceKeyButtonUI::RenderCap(const QRectF& cap, const QSizeF& cell, qreal radius,
                                      qreal rim, int look, const QColor& ground, qreal scale,
                                      qreal dpr) {
    QPixmap image((cell * dpr).toSize());
    image.setDevicePixelRatio(dpr);
    // Filled transparent first: an opaque fill would give the pixmap a format without alpha.
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    if (ground.isValid()) {
        // The panel's colour outside the cell's rounded outline; the edge shows through
        // inside it.
        painter.fillRect(QRectF(QPointF(0, 0), cell), ground);
        painter.setCompositionMode(QPainter::CompositionMode_Clear);
        painter.setPen(Qt::NoPen);
        painter.setBrush(Qt::black);
        painter.drawRoundedRect(QRectF(QPointF(0, 0), cell), radius, radius);
        painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    }
    const bool enabled = (look & 1) != 0;
    QColor top(0x2c, 0x30, 0x3a);
    QColor bottom(0x1d, 0x20, 0x27);
    if (!enabled) {
        top = bottom = QColor(0x19, 0x1b, 0x20);
    } else if ((look & 2) != 0) {
        top = bottom;
    } else if ((look & 4) != 0) {
        top = top.lighter(125);
        bottom = bottom.lighter(125);
    }
    QLinearGradient face(cap.topLeft(), cap.bottomLeft());
    face.setColorAt(0, top);
    face.setColorAt(1, bottom);
    painter.setPen(Qt::NoPen);
    painter.setBrush(face);
    const qreal capRadius = std::max<qreal>(0, radius - rim / 2);
    painter.drawRoundedRect(cap, capRadius, capRadius);
    if (legend_.isEmpty())
        return image;

    QFont font = this->font();
    const qreal room = cap.width() - 4 * scale;
    const qreal pixels = cap.height() * (legend_.size() == 1 ? 0.5 : 0.4);
    font.setPixelSize(std::max(6, qRound(pixels)));
    while (font.pixelSize() > 6 && QFontMetricsF(font).horizontalAdvance(legend_) > room)
        font.setPixelSize(font.pixelSize() - 1);
    font.setWeight(legend_.size() == 1 ? QFont::DemiBold : QFont::Medium);
    painter.setFont(font);
    const QRectF shadow = cap.translated(0, std::max<qreal>(1.0, scale));
    painter.setPen(QColor(0, 0, 0, 170));
    painter.drawText(shadow, Qt::AlignCenter, legend_);
    painter.setPen(enabled ? QColor::fromRgba(theme::kText) : QColor(0x5a, 0x60, 0x6c));
    painter.drawText(cap, Qt::AlignCenter, legend_);
    return image;
}

void CDeviceKeyButtonUI::PaintKeyset(QPainter& painter, const QRectF& cell) {
    const QString file = ImageFile(keysetImage_);
    if (!file.isEmpty()) {
        const qreal dpr = devicePixelRatioF();
        QImage image = Decoded(keysetPicture_, file, (cell.size() * dpr).toSize());
        if (!image.isNull()) {
            image.setDevicePixelRatio(dpr);
            painter.drawImage(cell, image);
            return;
        }
    }
    // Without a picture: a small accent triangle in the top-right corner.
    const qreal side =
        std::max<qreal>(CPaintManagerUI::Scale(6), std::min(cell.width(), cell.height()) / 4.0);
    const QPointF corner = cell.topRight();
    const QPointF mark[] = {corner, corner - QPointF(side, 0), corner + QPointF(0, side)};
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor::fromRgba(theme::kAccent));
    painter.drawPolygon(mark, 3);
}

}  // namespace morva::ui
