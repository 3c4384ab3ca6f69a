// A button with a picture drawn over its face (a hand-drawn image, a thumbnail).
#pragma once

#include <QRect>

#include "ui/toolkit/controls.h"

namespace morva::ui {

// Clicks like any button: pressed while the mouse is down over it, "click" on a release over
// it. A double click counts as a second press, not as "dbclick". The delete corner only
// tracks which of its two pictures applies; it is never drawn or clicked.
class CHandImgButtonUI : public CButtonUI {
public:
    explicit CHandImgButtonUI(QWidget* parent = nullptr);
    QString GetClass() const override { return QStringLiteral("HandImgButton"); }

    QString GetHandImage() const { return handImage_; }
    void SetHandImage(const QString& image);
    QString GetDeleteNormalImage() const { return deleteNormal_; }
    QString GetDeleteHotImage() const { return deleteHot_; }
    QString GetCurrentDeleteImage() const { return deleteCurrent_; }
    bool IsDeleteHidden() const { return deleteHidden_; }
    // 20 × 20 layout units near the bottom-right corner.
    QRect DeleteArea() const;

    void SetAttribute(const QString& name, const QString& value) override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QString handImage_;
    QString deleteNormal_;
    QString deleteHot_;
    QString deleteCurrent_;
    bool deleteHidden_ = true;
};

}  // namespace morva::ui
