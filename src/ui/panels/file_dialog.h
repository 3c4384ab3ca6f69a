// Open and save dialogs for files the user picks, replaceable so tests can answer them.
#pragma once

#include <QString>

#include <functional>

class QWidget;

namespace morva::ui {

// filter: e.g. "Profile Files(*.json)"; pattern: "*.json;" (the extensions offered, ';'
// separated). An empty result means the user cancelled.
using FileDialogHook =
    std::function<QString(QWidget* owner, const QString& filter, const QString& pattern)>;

QString ShowOpenFileDialog(QWidget* owner, const QString& filter, const QString& pattern);
QString ShowSaveFileDialog(QWidget* owner, const QString& filter, const QString& pattern);

// An empty hook brings the real dialog back.
void SetOpenFileDialogHook(FileDialogHook hook);
void SetSaveFileDialogHook(FileDialogHook hook);

}  // namespace morva::ui
