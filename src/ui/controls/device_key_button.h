// A key or LED cell on a device picture: a button that previews the cell's light colour,
// marks keys that carry an assignment and shows the rubber-band selection. A keycap cell
// ("legend" attribute) draws a dark cap lit at its edge, with its legend on top.
#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPainterPath>
#include <QPixmap>
#include <QRectF>
#include <QSize>
#include <QString>

#include <cstdint>

#include "ui/toolkit/controls.h"

class QPainter;

namespace morva::ui {

// The toolkit already sends one "dbclick" per double click on an enabled button; this class
// only keeps a double click whose point lies outside the cell (a grabbed mouse) from counting.
class CDeviceKeyButtonUI : public CButtonUI {
public:
    explicit CDeviceKeyButtonUI(QWidget* parent = nullptr);
    QString GetClass() const override { return QStringLiteral("DeviceKeyButton"); }

    void SetAttribute(const QString& name, const QString& value) override;

    QString GetLightImage() const { return lightImage_; }
    void SetLightImage(const QString& image);
    QString GetKeysetImage() const { return keysetImage_; }
    void SetKeysetImage(const QString& image);

    // Repaints the cell only when the light changed: frames arrive every few milliseconds and
    // most of them leave most cells as they were.
    void SetKeyLight(uint32_t colour, int alpha, bool shown);
    uint32_t GetKeyLightColour() const { return lightColour_; }
    int GetKeyLightAlpha() const { return lightAlpha_; }
    bool IsKeyLightShown() const { return lightShown_; }

    // The text printed on a keycap cell; an empty legend keeps the plain light cell.
    QString GetLegend() const { return legend_; }
    void SetLegend(const QString& legend);
    bool IsKeycap() const { return keycap_; }

    void SetKeysetImageHidden(bool hidden);
    bool IsKeysetImageHidden() const { return keysetHidden_; }

    // Non-zero: the cell lies in the last rubber-band selection.
    void SetKeySelected(int selected);
    int IsKeySelected() const { return keySelected_; }

    // The device page packs its frame's colour bytes (red, green, blue) as
    // byte0 + byte2 * 256 + byte1 * 65536, so green sits highest and blue in the middle.
    static QColor LightColourToQColor(uint32_t packed, int alpha);

protected:
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    // Every repaint this control asks for goes through here.
    virtual void Invalidate();

private:
    // A picture decoded once for one file and pixel size.
    struct Picture {
        QString file;
        QSize pixels;
        QImage image;
    };
    static const QImage& Decoded(Picture& cache, const QString& file, const QSize& pixels);

    void PaintLight(QPainter& painter, const QRectF& cell, qreal radius);
    void PaintKeyset(QPainter& painter, const QRectF& cell);
    // The panel's colour behind the cell when it is one plain colour, else invalid.
    QColor Ground() const;
    QPixmap RenderCap(const QRectF& cap, const QSizeF& cell, qreal radius, qreal rim, int look,
                      const QColor& ground, qreal scale, qreal dpr);
    void PaintKeycap(QPainter& painter, const QRectF& cell, qreal radius, const QColor& ground);

    QString lightImage_;
    QString keysetImage_;
    bool lightShown_ = false;
    uint32_t lightColour_ = 0x000000FF;
    int lightAlpha_ = 200;
    bool keysetHidden_ = true;
    int keySelected_ = 0;
    Picture lightShape_;
    QRectF lightPathsFor_;
    qreal lightPathsRadius_ = 0;
    QPainterPath lightBody_;
    QPainterPath lightRim_;
    Picture keysetPicture_;
    bool keycap_ = false;
    QString legend_;
    // The cap and its legend drawn for one cell size, look (enabled, pressed, hovered),
    // scale and pixel ratio, so frames only blit it.
    QPixmap capImage_;
    QSizeF capFor_;
    int capLook_ = -1;
    qreal capScale_ = 0;
    qreal capDpr_ = 0;
    QColor capGround_;
};

}  // namespace morva::ui
