#include "ui/toolkit/theme.h"

#include <QApplication>
#include <QPalette>
#include <QRegularExpression>
#include <QStyleFactory>

#include <cmath>

#include "ui/toolkit/paint_manager.h"

namespace morva::ui::theme {

namespace {

bool g_applied = false;

// "@name" stands for a palette colour, "@Npx" for N layout units at the current scale.
// Widgets with a "selected" or "listItem" property are list elements. Buttons, combos and edits
// keep 2 units above and below their text: a line of body text fits a 28 unit control.
constexpr char kSheet[] = R"(
QWidget { color: @text; }
*[morvaWindow="true"] { background-color: @window; }
QToolTip { background-color: @raised; color: @text; border: 1px solid @border; padding: @4px; }
QLabel { background: transparent; }

QPushButton {
    background-color: @raised; border: 1px solid @border; border-radius: @6px;
    padding: @2px @8px;
}
QPushButton:hover { border-color: @accenthover; }
QPushButton:pressed { background-color: @accentpressed; border-color: @accentpressed; }
QPushButton:checked { background-color: @accent; border-color: @accent; }
QPushButton:disabled { color: @secondary; background-color: @panel; }

QCheckBox { background: transparent; spacing: @8px; }
QCheckBox::indicator {
    width: @16px; height: @16px; border: 1px solid @border; border-radius: @4px;
    background-color: @raised;
}
QCheckBox::indicator:hover { border-color: @accenthover; }
QCheckBox::indicator:checked { background-color: @accent; border-color: @accent; }
QCheckBox:disabled { color: @secondary; }

QComboBox {
    background-color: @raised; border: 1px solid @border; border-radius: @6px;
    padding: @2px @8px;
}
QComboBox:hover { border-color: @accenthover; }
QComboBox QAbstractItemView {
    background-color: @panel; border: 1px solid @border; outline: 0;
    selection-background-color: @accent;
}

QLineEdit, QTextEdit {
    background-color: @panel; border: 1px solid @border; border-radius: @6px;
    padding: @2px @8px; selection-background-color: @accent;
}
QLineEdit:focus, QTextEdit:focus { border-color: @accent; }
QLineEdit:disabled, QTextEdit:disabled { color: @secondary; }

QSlider { background: transparent; }
QSlider::groove:horizontal { height: @4px; background: @border; border-radius: @2px; }
QSlider::sub-page:horizontal { background: @accent; border-radius: @2px; }
QSlider::handle:horizontal {
    background: @text; width: @16px; height: @16px; margin: -@6px 0; border-radius: @8px;
}
QSlider::handle:horizontal:hover { background: @accenthover; }
QSlider::sub-page:horizontal:disabled { background: @secondary; }
QSlider::groove:vertical { width: @4px; background: @border; border-radius: @2px; }
QSlider::add-page:vertical { background: @accent; border-radius: @2px; }
QSlider::handle:vertical {
    background: @text; width: @16px; height: @16px; margin: 0 -@6px; border-radius: @8px;
}
QSlider::handle:vertical:hover { background: @accenthover; }
QSlider::add-page:vertical:disabled { background: @secondary; }

QProgressBar {
    background-color: @raised; border: none; border-radius: @4px; text-align: center;
}
QProgressBar::chunk { background-color: @accent; border-radius: @4px; }

QScrollArea { background: transparent; border: none; }
QWidget#list_body { background: transparent; }
QScrollBar:vertical { background: transparent; width: @8px; margin: 0; }
QScrollBar::handle:vertical { background: @border; border-radius: @4px; min-height: @24px; }
QScrollBar::add-line:vertical, QScrollBar::sub-line:vertical { height: 0; }
QScrollBar::add-page:vertical, QScrollBar::sub-page:vertical { background: transparent; }

*[listItem="true"]:hover { background-color: @panel; }
*[selected="true"] { background-color: @raised; }

QMenu { background-color: @panel; border: 1px solid @border; padding: @4px; }
QMenu::item { padding: @6px @16px; border-radius: @4px; }
QMenu::item:selected { background-color: @accent; }
QMenu::item:disabled { color: @secondary; }
QMenu::separator { height: 1px; background: @border; margin: @4px @8px; }
)";

QString Hex(QRgb rgb) {
    return QColor::fromRgba(rgb).name(QColor::HexRgb);
}

}  // namespace

QString StyleSheet(double scale) {
    QString sheet = QString::fromUtf8(kSheet);
    static const QRegularExpression metric(QStringLiteral("@(\\d+)px"));
    QString scaled;
    qsizetype last = 0;
    for (auto it = metric.globalMatch(sheet); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        scaled += sheet.mid(last, m.capturedStart() - last);
        const int units = m.captured(1).toInt();
        scaled += QString::number(std::max(1L, std::lround(units * scale))) + QStringLiteral("px");
        last = m.capturedEnd();
    }
    scaled += sheet.mid(last);
    // Longer names first: "@accenthover" before "@accent".
    const std::pair<const char*, QRgb> colours[] = {
        {"@accentpressed", kAccentPressed},
        {"@accenthover", kAccentHover},
        {"@accent", kAccent},
        {"@secondary", kTextSecondary},
        {"@window", kWindow},
        {"@panel", kPanel},
        {"@raised", kRaised},
        {"@border", kBorder},
        {"@text", kText},
        {"@danger", kDanger},
        {"@success", kSuccess},
    };
    for (const auto& [name, rgb] : colours) {
        scaled.replace(QLatin1String(name), Hex(rgb));
    }
    return scaled;
}

void Apply() {
    auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
    if (app == nullptr) {
        return;
    }
    g_applied = true;
    if (QStyle* fusion = QStyleFactory::create(QStringLiteral("Fusion"))) {
        QApplication::setStyle(fusion);
    }
    QPalette palette;
    palette.setColor(QPalette::Window, QColor::fromRgba(kWindow));
    palette.setColor(QPalette::WindowText, QColor::fromRgba(kText));
    palette.setColor(QPalette::Base, QColor::fromRgba(kPanel));
    palette.setColor(QPalette::AlternateBase, QColor::fromRgba(kRaised));
    palette.setColor(QPalette::Text, QColor::fromRgba(kText));
    palette.setColor(QPalette::Button, QColor::fromRgba(kRaised));
    palette.setColor(QPalette::ButtonText, QColor::fromRgba(kText));
    palette.setColor(QPalette::Highlight, QColor::fromRgba(kAccent));
    palette.setColor(QPalette::HighlightedText, QColor::fromRgba(kText));
    palette.setColor(QPalette::ToolTipBase, QColor::fromRgba(kRaised));
    palette.setColor(QPalette::ToolTipText, QColor::fromRgba(kText));
    palette.setColor(QPalette::PlaceholderText, QColor::fromRgba(kTextSecondary));
    palette.setColor(QPalette::Disabled, QPalette::Text, QColor::fromRgba(kTextSecondary));
    palette.setColor(QPalette::Disabled, QPalette::WindowText, QColor::fromRgba(kTextSecondary));
    palette.setColor(QPalette::Disabled, QPalette::ButtonText, QColor::fromRgba(kTextSecondary));
    QApplication::setPalette(palette);
    Reapply();
}

void EnsureApplied() {
    if (!g_applied) {
        Apply();
    }
}

void Reapply() {
    auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
    if (app == nullptr || !g_applied) {
        return;
    }
    QApplication::setFont(CPaintManagerUI::FontFor(nullptr, -1));
    app->setStyleSheet(StyleSheet(CPaintManagerUI::GetScale()));
}

}  // namespace morva::ui::theme
