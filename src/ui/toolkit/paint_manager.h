// The per-window hub of the toolkit: control lookup, notification dispatch, control timers,
// the font table and the language hook; plus the toolkit-wide DPI scale.
#pragma once

#include <QFont>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <vector>

#include "ui/toolkit/control.h"
#include "ui/toolkit/timer_source.h"

namespace morva::ui {

// A font table entry; size is a pixel height in layout units (scaled by DPI when used).
struct FontInfo {
    QString face;
    int size = 14;
    bool bold = false;
    bool underline = false;
    bool italic = false;
};

class CPaintManagerUI : public QObject {
    Q_OBJECT

public:
    // Text for a language key, or a null QString when the text is no key (it is then shown
    // as written).
    using LanguageResolver = std::function<QString(const QString& key)>;

    // host: the top-level widget whose controls this manager serves.
    explicit CPaintManagerUI(QWidget* host);
    ~CPaintManagerUI() override;

    // The manager serving exactly this widget, or null.
    static CPaintManagerUI* FromHost(const QWidget* widget);
    QWidget* GetPaintWindow() const { return host_; }
    CControlUI* GetRoot() const;
    void SetRoot(CControlUI* root);

    // First control in tree order with that name (case ignored), or null.
    CControlUI* FindControl(const QString& name) const;
    // The same below parent, parent itself excluded.
    static CControlUI* FindSubControlByName(const CControlUI* parent, const QString& name);
    // Pre-order over the controls from `from` (included when it is one); visit returns false
    // to stop. Other top-level windows (owned dialogs, menus) and removed controls are skipped.
    static void ForEachControl(QWidget* from, const std::function<bool(CControlUI*)>& visit);

    // Fonts, texts and DoInit for a subtree that joined this window.
    void InitControls(CControlUI* root);

    // Notifiers get every notification, in the order they were added.
    void AddNotifier(INotifyUI* notifier);
    void RemoveNotifier(INotifyUI* notifier);
    void SendNotify(CControlUI* sender, const QString& type, intptr_t wParam = 0,
                    intptr_t lParam = 0);

    // Repeats every `ms` until killed; the same id again restarts it. Timers belong to the
    // control and end with it.
    static bool SetTimer(CControlUI* control, int id, int ms);
    static bool KillTimer(CControlUI* control, int id);
    static void KillTimer(CControlUI* control);
    // The source every control timer runs on from now on; null goes back to Qt timers.
    // Returns the source used until now. UI thread only.
    static ITimerSource* SetTimerSource(ITimerSource* source);

    // Font table. Shared entries serve every window; a window's own entries come first.
    void AddFont(int id, const FontInfo& font, bool shared = false);
    void SetDefaultFont(const FontInfo& font, bool shared = false);
    void RemoveAllFonts();
    static void AddSharedFont(int id, const FontInfo& font);
    static void SetSharedDefaultFont(const FontInfo& font);
    // Back to the toolkit's default: no shared ids, Noto Sans 14 as the default.
    static void RemoveAllSharedFonts();
    // Scaled by the current DPI; unknown ids give the default font.
    static QFont FontFor(const CPaintManagerUI* pm, int id);
    QFont GetFont(int id) const { return FontFor(this, id); }
    QFont GetDefaultFont() const { return FontFor(this, -1); }
    void ApplyFonts();

    // The window's resolver comes first; the toolkit default serves windows without one.
    void SetLanguageResolver(LanguageResolver resolver);
    static void SetDefaultLanguageResolver(LanguageResolver resolver);
    static QString ResolveText(const CPaintManagerUI* pm, const QString& key);
    // Every text and tool tip of the window resolved again.
    void ReloadText();

    // DPI: only 48, 72, 96, 120, 144, 168 and 192 are accepted; anything else becomes 96.
    static int NormalizeDpi(int dpi);
    // Sets the toolkit-wide DPI and rescales every open window; returns the DPI taken.
    static int SetAllDPI(int dpi);
    static int GetDPI();
    static double GetScale();
    static int Scale(int value);

signals:
    // Emitted after the controls of this window followed a DPI change.
    void scaleChanged(double oldScale, double newScale);

private:
    static bool Walk(QWidget* widget, bool isStart, const std::function<bool(CControlUI*)>& visit);
    void ApplyScale(double oldScale);

    QPointer<QWidget> host_;
    QPointer<QWidget> root_;
    std::vector<INotifyUI*> notifiers_;
    std::map<int, FontInfo> fonts_;
    std::optional<FontInfo> defaultFont_;
    LanguageResolver resolver_;
};

}  // namespace morva::ui
