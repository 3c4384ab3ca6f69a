#include "ui/controls/image_string.h"

#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QPixmapCache>
#include <QRegularExpression>

#include <algorithm>

#include "ui/toolkit/paint_manager.h"
#include "ui/toolkit/resource_manager.h"

namespace morva::ui {

namespace {

LayoutRect ScaleRect(const LayoutRect& r) {
    return {CPaintManagerUI::Scale(r.left), CPaintManagerUI::Scale(r.top),
            CPaintManagerUI::Scale(r.right), CPaintManagerUI::Scale(r.bottom)};
}

QRect ToQRect(const LayoutRect& r) {
    return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

}  // namespace

ImageString ImageString::Parse(const QString& value) {
    static const QRegularExpression pair(QStringLiteral("(\\w+)\\s*=\\s*'([^']*)'"));
    ImageString out;
    bool any = false;
    for (const QRegularExpressionMatch& m : pair.globalMatch(value)) {
        any = true;
        const QString key = m.captured(1).toLower();
        const QString text = m.captured(2);
        if (key == u"file") {
            out.file = text;
        } else if (key == u"source") {
            out.source = attr::ParseRect(text);
        } else if (key == u"dest") {
            out.dest = attr::ParseRect(text);
        } else if (key == u"fade") {
            out.fade = std::clamp(attr::ParseInt(text, 255), 0, 255);
        }
    }
    if (!any) {
        out.file = value.trimmed();
    }
    return out;
}

QString ImageString::Compose(const QString& file, const LayoutRect& source) {
    return QStringLiteral("file='%1' source='%2,%3,%4,%5'")
        .arg(file)
        .arg(source.left)
        .arg(source.top)
        .arg(source.right)
        .arg(source.bottom);
}

QString ResolveImageFile(const QString& file) {
    if (file.isEmpty()) {
        return {};
    }
    const QString path = CResourceManager::Instance().FilePath(file);
    return QFileInfo::exists(path) ? path : QString();
}

bool DrawImageString(QPainter& painter, const QRect& area, const QString& value) {
    if (value.isEmpty()) {
        return false;
    }
    const ImageString image = ImageString::Parse(value);
    const QString path = ResolveImageFile(image.file);
    if (path.isEmpty()) {
        return false;
    }
    // Panning pictures repaint on every mouse move; decoding each time would lag.
    const QString key = QStringLiteral("morva-image:") + path + u':' +
                        QString::number(QFileInfo(path).lastModified().toMSecsSinceEpoch());
    QPixmap pixmap;
    if (!QPixmapCache::find(key, &pixmap)) {
        pixmap = QPixmap::fromImage(QImage(path));
        if (pixmap.isNull()) {
            return false;
        }
        QPixmapCache::insert(key, pixmap);
    }
    QRect target = area;
    if (image.dest) {
        target = ToQRect(ScaleRect(*image.dest)).translated(area.topLeft());
    }
    QRect source = pixmap.rect();
    if (image.source) {
        source = ToQRect(*image.source) & pixmap.rect();
    }
    if (target.isEmpty() || source.isEmpty()) {
        return true;
    }
    painter.save();
    painter.setOpacity(painter.opacity() * image.fade / 255.0);
    painter.drawPixmap(target, pixmap, source);
    painter.restore();
    return true;
}

}  // namespace morva::ui
