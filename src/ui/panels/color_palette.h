// A colour field to pick from: hue across, saturation down, and a brightness strip below.
// A pick by the user sends "colorchanged"; setting the colour from code sends nothing.
#pragma once

#include <QRect>

#include <cstdint>

#include "ui/toolkit/controls.h"

namespace morva::ui {

class CColorPaletteUI : public CPlainControlUI {
public:
    explicit CColorPaletteUI(QWidget* parent = nullptr);
    QString GetClass() const override { return QStringLiteral("ColorPaletteUI"); }

    // 0xAARRGGBB; the alpha is always 0xFF.
    void SetSelectColor(std::uint32_t argb);
    std::uint32_t GetSelectColor() const;

    // The field and the strip in widget coordinates (for painting and for tests' clicks).
    QRect FieldRect() const;
    QRect StripRect() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    enum class Drag { None, Field, Strip };
    void PickAt(QPoint point);

    // Kept apart from the colour: black or grey would otherwise lose the hue the user chose.
    double hue_ = 0.0;  // 0..1
    double saturation_ = 1.0;
    double value_ = 1.0;
    Drag drag_ = Drag::None;
};

}  // namespace morva::ui
