// A picture larger than its button, panned by dragging it with the mouse.
#pragma once

#include <QPoint>
#include <QSize>

#include "ui/toolkit/controls.h"

namespace morva::ui {

// Shows the part of the picture that fits the button, one picture pixel per pixel. Dragging
// moves the picture with the mouse until one of its edges reaches the button's edge. Sends
// "msenter"/"msleave" but never "click" or "dbclick" from the mouse.
class CHandImgSelectButtonUI : public CButtonUI {
public:
    explicit CHandImgSelectButtonUI(QWidget* parent = nullptr);
    QString GetClass() const override { return QStringLiteral("HandImgSelectButton"); }

    // A picture that cannot be read changes nothing.
    void SetHandImage(const QString& file);
    QString GetImageFile() const { return m_file; }
    QSize GetImageSize() const { return m_imageSize; }
    // The image value painted over the button.
    QString GetDrawnImage() const { return m_drawn; }
    // The shown part, in picture pixels; always the button's size.
    LayoutRect GetSource() const { return m_source; }
    bool IsDragging() const { return m_dragging; }

    // "arrow", "ibeam", "wait", "cross", "uparrow", "size", "icon", "sizenwse", "sizenesw",
    // "sizewe", "sizens", "sizeall", "no", "hand"; false for other names (cursor unchanged).
    bool SetCursorName(const QString& name);

    void SetAttribute(const QString& name, const QString& value) override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FitSource();
    void Pan(const QPoint& to);

    QString m_file;
    QString m_drawn;
    QSize m_imageSize;
    LayoutRect m_source;
    bool m_dragging = false;
    bool m_captured = false;
    QPoint m_last;
};

}  // namespace morva::ui
