#include "ui/toolkit/paint_manager.h"

#include <QHash>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <utility>

#include "ui/toolkit/theme.h"

namespace morva::ui {

namespace {

// Control timers as QTimer children of the control's widget, found again by their id.
class CQtTimerSource final : public ITimerSource {
public:
    void Start(CControlUI* control, int id, int ms) override {
        QWidget* widget = control->GetWidget();
        QTimer* timer = Find(widget, id);
        if (timer == nullptr) {
            timer = new QTimer(widget);
            timer->setTimerType(Qt::PreciseTimer);
            timer->setProperty(kTimerIdProperty, id);
            QObject::connect(timer, &QTimer::timeout, widget,
                             [control, id] { control->OnTimer(id); });
        }
        timer->start(ms);
    }
    bool Stop(CControlUI* control, int id) override {
        QTimer* timer = Find(control->GetWidget(), id);
        if (timer == nullptr || !timer->isActive()) {
            return false;
        }
        // Kept for the next Start: handlers that restart themselves every few milliseconds
        // would otherwise make and destroy a timer object each time.
        timer->stop();
        return true;
    }
    void StopAll(CControlUI* control) override {
        for (QObject* child : control->GetWidget()->children()) {
            auto* timer = qobject_cast<QTimer*>(child);
            if (timer != nullptr && timer->property(kTimerIdProperty).isValid()) {
                Retire(timer);
            }
        }
    }

private:
    static constexpr char kTimerIdProperty[] = "morvaTimerId";

    static QTimer* Find(QWidget* widget, int id) {
        for (QObject* child : widget->children()) {
            auto* timer = qobject_cast<QTimer*>(child);
            if (timer != nullptr) {
                const QVariant v = timer->property(kTimerIdProperty);
                if (v.isValid() && v.toInt() == id) {
                    return timer;
                }
            }
        }
        return nullptr;
    }
    // Killing may happen inside the timer's own timeout: stop now, delete later.
    static void Retire(QTimer* timer) {
        timer->stop();
        timer->setProperty(kTimerIdProperty, QVariant());
        timer->deleteLater();
    }
};

ITimerSource& QtTimers() {
    static CQtTimerSource source;
    return source;
}

// UI-thread state of the toolkit: which widget each manager serves, the shared fonts, the
// default language resolver, the DPI and where control timers run.
struct ToolkitState {
    QHash<const QWidget*, CPaintManagerUI*> hosts;
    std::map<int, FontInfo> sharedFonts;
    FontInfo sharedDefault{QStringLiteral("Noto Sans"), 14};
    CPaintManagerUI::LanguageResolver defaultResolver;
    int dpi = 96;
    ITimerSource* timers = &QtTimers();
};

ToolkitState& State() {
    static ToolkitState state;
    return state;
}

QFont MakeFont(const FontInfo& info) {
    QFont font;
    QStringList families;
    if (!info.face.isEmpty()) {
        families << info.face;
    }
    families << QStringLiteral("Noto Sans") << QStringLiteral("Noto Sans CJK SC")
             << QStringLiteral("DejaVu Sans");
    font.setFamilies(families);
    font.setPixelSize(std::max(1, CPaintManagerUI::Scale(info.size)));
    font.setBold(info.bold);
    font.setUnderline(info.underline);
    font.setItalic(info.italic);
    return font;
}

}  // namespace

CPaintManagerUI::CPaintManagerUI(QWidget* host) : host_(host) {
    State().hosts.insert(host, this);
}

CPaintManagerUI::~CPaintManagerUI() {
    auto& hosts = State().hosts;
    for (auto it = hosts.begin(); it != hosts.end();) {
        it = it.value() == this ? hosts.erase(it) : std::next(it);
    }
}

CPaintManagerUI* CPaintManagerUI::FromHost(const QWidget* widget) {
    return State().hosts.value(widget, nullptr);
}

CControlUI* CPaintManagerUI::GetRoot() const {
    return root_ ? dynamic_cast<CControlUI*>(root_.data()) : nullptr;
}

void CPaintManagerUI::SetRoot(CControlUI* root) {
    root_ = root != nullptr ? root->GetWidget() : nullptr;
}

CControlUI* CPaintManagerUI::FindControl(const QString& name) const {
    if (name.isEmpty() || !host_) {
        return nullptr;
    }
    CControlUI* found = nullptr;
    ForEachControl(host_, [&](CControlUI* c) {
        if (c->GetName().compare(name, Qt::CaseInsensitive) == 0) {
            found = c;
            return false;
        }
        return true;
    });
    return found;
}

CControlUI* CPaintManagerUI::FindSubControlByName(const CControlUI* parent, const QString& name) {
    if (parent == nullptr || name.isEmpty()) {
        return nullptr;
    }
    CControlUI* found = nullptr;
    ForEachControl(parent->GetWidget(), [&](CControlUI* c) {
        if (c != parent && c->GetName().compare(name, Qt::CaseInsensitive) == 0) {
            found = c;
            return false;
        }
        return true;
    });
    return found;
}

void CPaintManagerUI::ForEachControl(QWidget* from, const std::function<bool(CControlUI*)>& visit) {
    if (from == nullptr) {
        return;
    }
    Walk(from, true, visit);
}

bool CPaintManagerUI::Walk(QWidget* widget, bool isStart,
                           const std::function<bool(CControlUI*)>& visit) {
    if (!isStart && widget->isWindow()) {
        return true;
    }
    if (auto* control = dynamic_cast<CControlUI*>(widget)) {
        if (control->removed_) {
            return true;
        }
        if (!visit(control)) {
            return false;
        }
    }
    // A copy: visiting may add children (DoInit building a subtree).
    const QObjectList children = widget->children();
    for (QObject* child : children) {
        if (auto* w = qobject_cast<QWidget*>(child)) {
            if (!Walk(w, false, visit)) {
                return false;
            }
        }
    }
    return true;
}

void CPaintManagerUI::InitControls(CControlUI* root) {
    if (root == nullptr) {
        return;
    }
    ForEachControl(root->GetWidget(), [](CControlUI* c) {
        c->ApplyFont();
        c->RefreshText();
        if (!c->initialised_) {
            c->initialised_ = true;
            c->DoInit();
        }
        return true;
    });
}

void CPaintManagerUI::AddNotifier(INotifyUI* notifier) {
    if (notifier != nullptr &&
        std::find(notifiers_.begin(), notifiers_.end(), notifier) == notifiers_.end()) {
        notifiers_.push_back(notifier);
    }
}

void CPaintManagerUI::RemoveNotifier(INotifyUI* notifier) {
    std::erase(notifiers_, notifier);
}

void CPaintManagerUI::SendNotify(CControlUI* sender, const QString& type, intptr_t wParam,
                                 intptr_t lParam) {
    Q_ASSERT(QThread::currentThread() == thread());
    const TNotifyUI msg{type, sender, wParam, lParam};
    const QPointer<QWidget> senderAlive = sender != nullptr ? sender->GetWidget() : nullptr;
    const QPointer<CPaintManagerUI> self = this;
    // Handlers may add or remove notifiers, or destroy the sender or the window.
    const std::vector<INotifyUI*> notifiers = notifiers_;
    for (INotifyUI* n : notifiers) {
        if (!self || (sender != nullptr && !senderAlive)) {
            return;
        }
        if (std::find(notifiers_.begin(), notifiers_.end(), n) != notifiers_.end()) {
            n->Notify(msg);
        }
    }
}

ITimerSource* CPaintManagerUI::SetTimerSource(ITimerSource* source) {
    return std::exchange(State().timers, source != nullptr ? source : &QtTimers());
}

bool CPaintManagerUI::SetTimer(CControlUI* control, int id, int ms) {
    if (control == nullptr || ms < 0) {
        return false;
    }
    State().timers->Start(control, id, ms);
    return true;
}

bool CPaintManagerUI::KillTimer(CControlUI* control, int id) {
    return control != nullptr && State().timers->Stop(control, id);
}

void CPaintManagerUI::KillTimer(CControlUI* control) {
    if (control != nullptr) {
        State().timers->StopAll(control);
    }
}

void CPaintManagerUI::AddFont(int id, const FontInfo& font, bool shared) {
    (shared ? State().sharedFonts : fonts_)[id] = font;
}

void CPaintManagerUI::SetDefaultFont(const FontInfo& font, bool shared) {
    if (shared) {
        State().sharedDefault = font;
    } else {
        defaultFont_ = font;
    }
}

void CPaintManagerUI::AddSharedFont(int id, const FontInfo& font) {
    State().sharedFonts[id] = font;
}

void CPaintManagerUI::SetSharedDefaultFont(const FontInfo& font) {
    State().sharedDefault = font;
}

void CPaintManagerUI::RemoveAllFonts() {
    fonts_.clear();
    defaultFont_.reset();
}

void CPaintManagerUI::RemoveAllSharedFonts() {
    State().sharedFonts.clear();
    State().sharedDefault = FontInfo{QStringLiteral("Noto Sans"), 14};
}

QFont CPaintManagerUI::FontFor(const CPaintManagerUI* pm, int id) {
    const ToolkitState& state = State();
    if (id >= 0) {
        if (pm != nullptr) {
            const auto own = pm->fonts_.find(id);
            if (own != pm->fonts_.end()) {
                return MakeFont(own->second);
            }
        }
        const auto shared = state.sharedFonts.find(id);
        if (shared != state.sharedFonts.end()) {
            return MakeFont(shared->second);
        }
    }
    if (pm != nullptr && pm->defaultFont_) {
        return MakeFont(*pm->defaultFont_);
    }
    return MakeFont(state.sharedDefault);
}

void CPaintManagerUI::ApplyFonts() {
    if (!host_) {
        return;
    }
    host_->setFont(GetDefaultFont());
    ForEachControl(host_, [](CControlUI* c) {
        c->ApplyFont();
        return true;
    });
}

void CPaintManagerUI::SetLanguageResolver(LanguageResolver resolver) {
    resolver_ = std::move(resolver);
}

void CPaintManagerUI::SetDefaultLanguageResolver(LanguageResolver resolver) {
    State().defaultResolver = std::move(resolver);
}

QString CPaintManagerUI::ResolveText(const CPaintManagerUI* pm, const QString& key) {
    if (key.isEmpty()) {
        return key;
    }
    const LanguageResolver& resolver =
        pm != nullptr && pm->resolver_ ? pm->resolver_ : State().defaultResolver;
    if (!resolver) {
        return key;
    }
    const QString text = resolver(key);
    return text.isNull() ? key : text;
}

void CPaintManagerUI::ReloadText() {
    ForEachControl(host_, [](CControlUI* c) {
        c->RefreshText();
        return true;
    });
}

int CPaintManagerUI::NormalizeDpi(int dpi) {
    switch (dpi) {
        case 48:
        case 72:
        case 96:
        case 120:
        case 144:
        case 168:
        case 192:
            return dpi;
        default:
            return 96;
    }
}

int CPaintManagerUI::SetAllDPI(int dpi) {
    const int taken = NormalizeDpi(dpi);
    const double oldScale = GetScale();
    State().dpi = taken;
    if (GetScale() != oldScale) {
        theme::Reapply();
        const QList<CPaintManagerUI*> managers = State().hosts.values();
        for (CPaintManagerUI* pm : managers) {
            pm->ApplyScale(oldScale);
        }
    }
    return taken;
}

int CPaintManagerUI::GetDPI() {
    return State().dpi;
}

double CPaintManagerUI::GetScale() {
    return State().dpi / 96.0;
}

int CPaintManagerUI::Scale(int value) {
    return static_cast<int>(std::lround(value * GetScale()));
}

void CPaintManagerUI::ApplyScale(double oldScale) {
    if (!host_) {
        return;
    }
    host_->setFont(GetDefaultFont());
    ForEachControl(host_, [](CControlUI* c) {
        c->ApplyScale();
        return true;
    });
    emit scaleChanged(oldScale, GetScale());
}

}  // namespace morva::ui
