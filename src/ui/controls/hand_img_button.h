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

    QString GetHandImage() const { return m_handImage; }
    void SetHandImage(const QString& image);
    QString GetDeleteNormalImage() const { return m_deleteNormal; }
    QString GetDeleteHotImage() const { return m_deleteHot; }
    QString GetCurrentDeleteImage() const { return m_deleteCurrent; }
    bool IsDeleteHidden() const { return m_deleteHidden; }
    // 20 × 20 layout units near the bottom-right corner.
    QRect DeleteArea() const;

    void SetAttribute(const QString& name, const QString& value) override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QString m_handImage;
    QString m_deleteNormal;
    QString m_deleteHot;
    QString m_deleteCurrent;
    bool m_deleteHidden = true;
};

}  // namespace morva::ui
