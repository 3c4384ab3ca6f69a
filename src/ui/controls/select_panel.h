// A vertical layout whose direct "DeviceKeyButton" children can be picked with a rubber band.
#pragma once

#include <QImage>
#include <QPoint>
#include <QRect>

#include "ui/toolkit/containers.h"

namespace morva::ui {

inline constexpr char kNotifyClickSelectEnd[] = "click_select_end";

// A left press on the panel or on one of its direct children starts a band; moving drags it;
// the release marks every direct "DeviceKeyButton" child the band touches, clears the rest and
// sends "click_select_end". A press and release without movement stays a plain click.
class CSelectPanelUI : public CVerticalLayoutUI {
public:
    explicit CSelectPanelUI(QWidget* parent = nullptr);
    QString GetClass() const override { return QStringLiteral("SelectPanel"); }

    // "bkimage" is drawn by the panel itself (see picture_).
    void SetAttribute(const QString& name, const QString& value) override;
    const QString& PictureFile() const { return pictureFile_; }

    bool IsDragging() const { return dragging_; }
    // Panel coordinates; left()/top()/right()/bottom() are the band's corner points as dragged.
    QRect SelectionRect() const { return selection_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void childEvent(QChildEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Press(const QPoint& point);
    void Move(const QPoint& point);
    void Release();
    void ApplySelection();

    int mouseDown_ = 0;
    bool dragging_ = false;
    QPoint start_;
    QPoint current_;
    QRect selection_;
    // Drawn above the children while dragging; owned as a Qt child.
    QWidget* band_ = nullptr;
    // The device picture, decoded once per size: a style-sheet image is scaled from the file
    // for every cell that repaints above it, which cost most of a playing effect's time.
    QString pictureFile_;
    QImage picture_;
};

}  // namespace morva::ui
