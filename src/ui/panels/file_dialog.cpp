#include "ui/panels/file_dialog.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QStringList>

namespace morva::ui {
namespace {

FileDialogHook& OpenHook() {
    static FileDialogHook hook;
    return hook;
}

FileDialogHook& SaveHook() {
    static FileDialogHook hook;
    return hook;
}

// "Profile Files(*.json)" with "*.json;" becomes the Qt filter "Profile Files (*.json)".
QString QtFilter(const QString& filter, const QString& pattern) {
    const QStringList patterns = pattern.split(u';', Qt::SkipEmptyParts);
    QString name = filter;
    const qsizetype open = name.indexOf(u'(');
    if (open >= 0)
        name.truncate(open);
    name = name.trimmed();
    if (patterns.isEmpty())
        return filter;
    return name + QStringLiteral(" (") + patterns.join(u' ') + u')';
}

}  // namespace

QString ShowOpenFileDialog(QWidget* owner, const QString& filter, const QString& pattern) {
    if (OpenHook())
        return OpenHook()(owner, filter, pattern);
    return QFileDialog::getOpenFileName(owner, {}, {}, QtFilter(filter, pattern));
}

QString ShowSaveFileDialog(QWidget* owner, const QString& filter, const QString& pattern) {
    if (SaveHook())
        return SaveHook()(owner, filter, pattern);
    QString path = QFileDialog::getSaveFileName(owner, {}, {}, QtFilter(filter, pattern));
    // A name typed without an extension gets the filter's first one.
    const QStringList patterns = pattern.split(u';', Qt::SkipEmptyParts);
    if (!path.isEmpty() && QFileInfo(path).suffix().isEmpty() && !patterns.isEmpty() &&
        patterns.first().startsWith(QLatin1String("*."))) {
        path += patterns.first().mid(1);
    }
    return path;
}

void SetOpenFileDialogHook(FileDialogHook hook) {
    OpenHook() = std::move(hook);
}

void SetSaveFileDialogHook(FileDialogHook hook) {
    SaveHook() = std::move(hook);
}

}  // namespace morva::ui
