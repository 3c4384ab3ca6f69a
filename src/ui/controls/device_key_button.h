// A key or LED cell on a device picture: a button that previews the cell's light colour,
// marks keys that carry an assignment and shows the rubber-band selection.
#pragma once

#include <QColor>
#include <QImage>
#include <QPainterPath>
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

    QString GetLightImage() const { return m_lightImage; }
    void SetLightImage(const QString& image);
    QString GetKeysetImage() const { return m_keysetImage; }
    void SetKeysetImage(const QString& image);

    // Repaints the cell only when the light changed: frames arrive every few milliseconds and
    // most of them leave most cells as they were.
    void SetKeyLight(uint32_t colour, int alpha, bool shown);
    uint32_t GetKeyLightColour() const { return m_lightColour; }
    int GetKeyLightAlpha() const { return m_lightAlpha; }
    bool IsKeyLightShown() const { return m_lightShown; }

    void SetKeysetImageHidden(bool hidden);
    bool IsKeysetImageHidden() const { return m_keysetHidden; }

    // Non-zero: the cell lies in the last rubber-band selection.
    void SetKeySelected(int selected);
    int IsKeySelected() const { return m_keySelected; }

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

    QString m_lightImage;
    QString m_keysetImage;
    bool m_lightShown = false;
    uint32_t m_lightColour = 0x000000FF;
    int m_lightAlpha = 200;
    bool m_keysetHidden = true;
    int m_keySelected = 0;
    Picture m_lightShape;
    QRectF m_lightPathsFor;
    qreal m_lightPathsRadius = 0;
    QPainterPath m_lightBody;
    QPainterPath m_lightRim;
    Picture m_keysetPicture;
};

}  // namespace morva::ui
