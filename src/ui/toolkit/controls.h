// The standard leaf controls. Setters change state silently unless they take a `notify`
// flag; notifications come from the user's input.
#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTextEdit>

#include "ui/toolkit/control.h"
#include "ui/toolkit/slider.h"

namespace morva::ui {

// "Control": an empty block (spacer, or a colour or picture through bkcolor / bkimage).
class CPlainControlUI : public QWidget, public CControlUI {
public:
    explicit CPlainControlUI(QWidget* parent = nullptr);
    QString GetClass() const override { return QStringLiteral("ControlUI"); }
};

// Plain text, left and vertically centred unless `align` says otherwise; `wordwrap`.
class CLabelUI : public QLabel, public CControlUI {
public:
    explicit CLabelUI(QWidget* parent = nullptr);
    QString GetClass() const override { return QStringLiteral("LabelUI"); }
    void SetAttribute(const QString& name, const QString& value) override;

protected:
    void ShowText(const QString& text) override { setText(text); }
    void ApplyTextAlign() override;
    virtual Qt::Alignment DefaultAlign() const { return Qt::AlignLeft | Qt::AlignVCenter; }
};

// "Text": a label that wraps, from the top left.
class CTextUI : public CLabelUI {
public:
    explicit CTextUI(QWidget* parent = nullptr);
    QString GetClass() const override { return QStringLiteral("TextUI"); }

protected:
    Qt::Alignment DefaultAlign() const override { return Qt::AlignLeft | Qt::AlignTop; }
};

// Sends "click" when activated (mouse or keyboard) and "dbclick" on a double click.
class CButtonUI : public QPushButton, public CControlUI {
public:
    explicit CButtonUI(QWidget* parent = nullptr);
    QString GetClass() const override { return QStringLiteral("ButtonUI"); }
    // A picture drawn in the button's middle; "" removes it.
    void SetForeImage(const QString& image);
    QString GetForeImage() const { return foreImage_; }
    void SetAttribute(const QString& name, const QString& value) override;

protected:
    void ShowText(const QString& text) override { setText(text); }
    void CollectStyle(StyleRules& rules) const override;
    void ApplyTextAlign() override { UpdateStyle(); }
    void resizeEvent(QResizeEvent* event) override;
    virtual void OnClicked();

private:
    QString foreImage_;
};

// A button with a selected state. Options sharing a `group` name in one window are
// exclusive: selecting one deselects the others silently, and clicking the selected one
// keeps it selected. A click sends "click" and then, if the state changed, "selectchanged".
class COptionUI : public CButtonUI {
public:
    explicit COptionUI(QWidget* parent = nullptr);
    QString GetClass() const override { return QStringLiteral("OptionUI"); }

    bool IsSelected() const { return selected_; }
    // "selectchanged" only when notify is set and the state changes.
    void Selected(bool selected, bool notify = true);
    QString GetGroup() const { return group_; }
    void SetGroup(const QString& group) { group_ = group; }
    // The look while selected ("selectedbkcolor", "selectedbordercolor"); invalid: the theme's.
    QColor GetSelectedBkColor() const { return selectedBkColor_; }
    void SetSelectedBkColor(const QColor& color);
    void SetSelectedBorderColor(const QColor& color);
    void SetAttribute(const QString& name, const QString& value) override;

protected:
    void CollectStyle(StyleRules& rules) const override;
    void nextCheckState() override;
    void OnClicked() override;

private:
    void DeselectGroup();

    QString group_;
    bool selected_ = false;
    QColor selectedBkColor_;
    QColor selectedBorderColor_;
};

// A click sends "click" and then "selectchanged".
class CCheckBoxUI : public QCheckBox, public CControlUI {
public:
    explicit CCheckBoxUI(QWidget* parent = nullptr);
    QString GetClass() const override { return QStringLiteral("CheckBoxUI"); }

    bool IsSelected() const { return isChecked(); }
    void Selected(bool selected, bool notify = true);
    void SetAttribute(const QString& name, const QString& value) override;

protected:
    void ShowText(const QString& text) override { setText(text); }
};

// Items are texts (language keys like every text) with user data. A choice by the user sends
// "itemselect" with wParam = new index, lParam = old index, only when the index changes.
// Use these operations, not QComboBox's own, to change items: they keep the reported index.
class CComboUI : public QComboBox, public CControlUI {
public:
    explicit CComboUI(QWidget* parent = nullptr);
    QString GetClass() const override { return QStringLiteral("ComboUI"); }

    int GetCount() const { return count(); }
    int AddItem(const QString& text, const QString& userData = {});
    bool InsertItem(int index, const QString& text, const QString& userData = {});
    bool RemoveAt(int index);
    void RemoveAll();
    QString GetItemText(int index) const;
    QString GetItemTextKey(int index) const;
    QString GetItemUserData(int index) const;
    bool SetItemText(int index, const QString& text);

    // -1 when nothing is selected.
    int GetCurSel() const { return currentIndex(); }
    // index -1 clears the selection; an index out of range changes nothing and gives false.
    bool SelectItem(int index, bool takeFocus = false, bool notify = true);

    void RefreshText() override;

private:
    template <class F>
    void Quietly(F&& change);

    bool internal_ = false;
    bool userChanged_ = false;
    int known_ = -1;
    int previous_ = -1;
};

// Single line. "textchanged" per user edit, "return" on Enter; SetText is silent and
// shows its text as written (no language lookup).
class CEditUI : public QLineEdit, public CControlUI {
public:
    explicit CEditUI(QWidget* parent = nullptr);
    QString GetClass() const override { return QStringLiteral("EditUI"); }

    void SetText(const QString& text) override { setText(text); }
    QString GetText() const override { return text(); }
    void SetReadOnly(bool readOnly) { setReadOnly(readOnly); }
    void SetMaxChar(int count) { setMaxLength(count > 0 ? count : 32767); }
    void SetAttribute(const QString& name, const QString& value) override;
    void RefreshText() override;

protected:
    void ApplyTextAlign() override;

private:
    QString promptKey_;
};

// Multi-line plain text. "textchanged" per user edit; SetText is silent.
class CRichEditUI : public QTextEdit, public CControlUI {
public:
    explicit CRichEditUI(QWidget* parent = nullptr);
    QString GetClass() const override { return QStringLiteral("RichEditUI"); }

    void SetText(const QString& text) override;
    QString GetText() const override { return toPlainText(); }
    void SetAttribute(const QString& name, const QString& value) override;

private:
    bool internal_ = false;
};

class CProgressUI : public QProgressBar, public CControlUI {
public:
    explicit CProgressUI(QWidget* parent = nullptr);
    QString GetClass() const override { return QStringLiteral("ProgressUI"); }

    int GetValue() const { return value(); }
    void SetValue(int value) { setValue(std::clamp(value, minimum(), maximum())); }
    int GetMinValue() const { return minimum(); }
    void SetMinValue(int value) { setMinimum(value); }
    int GetMaxValue() const { return maximum(); }
    void SetMaxValue(int value) { setMaximum(value); }
    void SetAttribute(const QString& name, const QString& value) override;
};

// The checked state of an option or check box (false for other controls), and setting it
// without notification.
bool IsOn(const CControlUI* control);
void SetOn(CControlUI* control, bool on);

}  // namespace morva::ui
