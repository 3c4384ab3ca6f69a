// A progress value shown as a ring whose arc starts at the bottom and runs clockwise.
#pragma once

#include <QColor>

#include "ui/toolkit/controls.h"

namespace morva::ui {

// `bkcolor` colours the ring's track and `forecolor` its arc; the centre stays see-through so
// the ring sits on any background.
class CCircleProgressUI : public CProgressUI {
public:
    explicit CCircleProgressUI(QWidget* parent = nullptr);
    QString GetClass() const override { return QStringLiteral("CircleProgress"); }

    QColor GetForeColor() const { return foreColor_; }
    void SetForeColor(const QColor& color);
    QColor GetTrackColor() const;

    // The arc in whole degrees, 0..360; 0 while the range is empty.
    int SweepDegrees() const;
    // Ring width in pixels (layout units scaled).
    static int RingWidth();

    void SetAttribute(const QString& name, const QString& value) override;

protected:
    void paintEvent(QPaintEvent* event) override;
    // bkcolor belongs to the ring, not to a rectangle behind it.
    void CollectStyle(StyleRules& rules) const override;

private:
    QColor foreColor_;
};

}  // namespace morva::ui
