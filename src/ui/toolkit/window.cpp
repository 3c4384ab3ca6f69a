#include "ui/toolkit/window.h"

#include <QCloseEvent>
#include <QEventLoop>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QScreen>
#include <QThread>
#include <QTimer>
#include <QWindow>

#include <cmath>

#include "ui/toolkit/theme.h"

namespace morva::ui {

namespace {

QSize ScaledSize(const QSize& design) {
    return {CPaintManagerUI::Scale(design.width()), CPaintManagerUI::Scale(design.height())};
}

}  // namespace

WindowImplBase::WindowImplBase(QWidget* owner)
    : QWidget(owner, Qt::Window | Qt::FramelessWindowHint), m_pm(this) {
    setAttribute(Qt::WA_StyledBackground);
    setProperty("morvaWindow", true);
    m_pm.AddNotifier(this);
    connect(&m_pm, &CPaintManagerUI::scaleChanged, this, &WindowImplBase::OnScaleChanged);
}

WindowImplBase::~WindowImplBase() {
    if (m_modalLoop != nullptr) {
        m_modalLoop->exit(kIdCancel);
    }
    // Senders still waiting get their answer: the window is gone.
    std::deque<Call> pending;
    {
        std::lock_guard lock(m_queueMutex);
        pending.swap(m_queue);
    }
    for (Call& call : pending) {
        if (call.reply) {
            std::lock_guard lock(call.reply->mutex);
            call.reply->finished = true;
            call.reply->done.notify_all();
        }
    }
    // The controls go now, while the manager they may still notify exists; the window part
    // that listened is already gone.
    m_pm.RemoveNotifier(this);
    if (QWidget* root = m_pm.GetRoot() != nullptr ? m_pm.GetRoot()->GetWidget() : nullptr) {
        delete root;
    }
}

bool WindowImplBase::Create() {
    if (m_created) {
        return GetRoot() != nullptr;
    }
    m_created = true;
    theme::EnsureApplied();
    setFont(m_pm.GetDefaultFont());

    CDialogBuilder builder;
    CControlUI* root = builder.Create(GetSkinFile(), this, &m_pm);
    m_design = builder.GetWindowAttributes();
    m_captionHeight = m_design.captionHeight;
    if (!m_design.title.isEmpty()) {
        setWindowTitle(m_design.title);
    }
    if (m_design.bkColor.isValid()) {
        setStyleSheet(QStringLiteral("*[morvaWindow=\"true\"] { background-color: %1; }")
                          .arg(m_design.bkColor.name(QColor::HexArgb)));
    }
    ApplySizeLimits();
    if (m_design.size.isValid() && !m_design.size.isEmpty()) {
        resize(ScaledSize(m_design.size));
    }
    // Fonts of the window's own font table take effect from here on.
    setFont(m_pm.GetDefaultFont());
    if (root != nullptr) {
        QWidget* w = root->GetWidget();
        w->setParent(this);
        w->setGeometry(rect());
        w->setVisible(root->IsVisible());
        m_pm.SetRoot(root);
        m_pm.InitControls(root);
    }
    InitWindow();
    return root != nullptr;
}

void WindowImplBase::ApplySizeLimits() {
    if (m_design.minSize.isValid() && !m_design.minSize.isEmpty()) {
        setMinimumSize(ScaledSize(m_design.minSize));
    }
    if (m_design.maxSize.isValid() && !m_design.maxSize.isEmpty()) {
        setMaximumSize(ScaledSize(m_design.maxSize));
    }
}

void WindowImplBase::ShowWindow(bool show) {
    Create();
    setVisible(show);
    if (show) {
        raise();
        activateWindow();
    }
}

int WindowImplBase::ShowModal() {
    m_closedEarly = false;
    m_modalResult = kIdCancel;
    // Close() may already come from InitWindow: then the window is not shown at all.
    Create();
    if (m_closedEarly) {
        return m_modalResult;
    }
    if (isVisible()) {
        hide();  // modality only takes effect when the window is shown
    }
    setWindowModality(parentWidget() != nullptr ? Qt::WindowModal : Qt::ApplicationModal);
    show();
    raise();
    activateWindow();
    int result = m_modalResult;
    if (!m_closedEarly) {
        QEventLoop loop;
        m_modalLoop = &loop;
        const QPointer<WindowImplBase> self = this;
        result = loop.exec(QEventLoop::DialogExec);
        if (!self) {
            return result;
        }
        m_modalLoop = nullptr;
    }
    hide();
    setWindowModality(Qt::NonModal);
    return result;
}

void WindowImplBase::Close(int result) {
    m_modalResult = result;
    m_closedEarly = true;
    m_closing = true;
    close();
    m_closing = false;
    if (m_modalLoop != nullptr) {
        m_modalLoop->exit(result);
    }
}

void WindowImplBase::closeEvent(QCloseEvent* event) {
    if (!m_closing) {
        bool handled = false;
        HandleCustomMessage(kMsgClose, 0, 0, handled);
        if (handled) {
            event->ignore();
            return;
        }
        m_modalResult = kIdCancel;
        m_closedEarly = true;
        if (m_modalLoop != nullptr) {
            m_modalLoop->exit(kIdCancel);
        }
    }
    event->accept();
}

void WindowImplBase::CenterWindow() {
    QRect area;
    QWidget* owner = parentWidget() != nullptr ? parentWidget()->window() : nullptr;
    if (owner != nullptr && owner->isVisible()) {
        area = owner->frameGeometry();
    } else {
        QScreen* s = screen() != nullptr ? screen() : QGuiApplication::primaryScreen();
        if (s == nullptr) {
            return;
        }
        area = s->availableGeometry();
    }
    move(area.center() - QPoint(width() / 2, height() / 2));
}

void WindowImplBase::SetLanguageResolver(CPaintManagerUI::LanguageResolver resolver) {
    m_pm.SetLanguageResolver(std::move(resolver));
}

void WindowImplBase::Notify(const TNotifyUI&) {}

intptr_t WindowImplBase::HandleCustomMessage(int, intptr_t, intptr_t, bool& handled) {
    handled = false;
    return 0;
}

CControlUI* WindowImplBase::CreateControl(const QString&) {
    return nullptr;
}

void WindowImplBase::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!m_initSent) {
        m_initSent = true;
        QTimer::singleShot(0, this, [this] { m_pm.SendNotify(GetRoot(), kNotifyWindowInit); });
    }
}

void WindowImplBase::SendWindowInit() {
    Create();
    if (m_initSent) {
        return;
    }
    m_initSent = true;
    m_pm.SendNotify(GetRoot(), kNotifyWindowInit);
}

void WindowImplBase::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (CControlUI* root = GetRoot()) {
        root->GetWidget()->setGeometry(rect());
        m_pm.SendNotify(root, kNotifyWindowSize, width(), height());
    }
}

void WindowImplBase::OnScaleChanged(double oldScale, double newScale) {
    ApplySizeLimits();
    if (oldScale > 0) {
        const double f = newScale / oldScale;
        resize(static_cast<int>(std::lround(width() * f)),
               static_cast<int>(std::lround(height() * f)));
    }
    if (CControlUI* root = GetRoot()) {
        root->GetWidget()->setGeometry(rect());
    }
}

// Presses reach the window only when no control took them, so buttons in the caption
// strip keep working.
void WindowImplBase::mousePressEvent(QMouseEvent* event) {
    const int strip = CPaintManagerUI::Scale(m_captionHeight);
    if (event->button() == Qt::LeftButton && strip > 0 && event->position().y() < strip) {
        QWindow* handle = windowHandle();
        if (handle != nullptr && handle->startSystemMove()) {
            event->accept();
            return;
        }
        m_dragOffset = event->globalPosition().toPoint() - frameGeometry().topLeft();
        event->accept();
        return;
    }
    QWidget::mousePressEvent(event);
}

void WindowImplBase::mouseMoveEvent(QMouseEvent* event) {
    if (m_dragOffset && (event->buttons() & Qt::LeftButton)) {
        move(event->globalPosition().toPoint() - *m_dragOffset);
        event->accept();
        return;
    }
    QWidget::mouseMoveEvent(event);
}

void WindowImplBase::mouseReleaseEvent(QMouseEvent* event) {
    m_dragOffset.reset();
    QWidget::mouseReleaseEvent(event);
}

intptr_t WindowImplBase::Dispatch(int msg, intptr_t wParam, intptr_t lParam) {
    bool handled = false;
    return HandleCustomMessage(msg, wParam, lParam, handled);
}

std::shared_ptr<WindowImplBase::Reply> WindowImplBase::Enqueue(int msg, intptr_t wParam,
                                                               intptr_t lParam, bool wantReply) {
    auto reply = wantReply ? std::make_shared<Reply>() : nullptr;
    {
        std::lock_guard lock(m_queueMutex);
        m_queue.push_back(Call{msg, wParam, lParam, reply});
    }
    // Invoked by name: the call crosses threads with no data of ours in it; the data goes
    // through m_queue under our own lock.
    QMetaObject::invokeMethod(this, "DrainMessages", Qt::QueuedConnection);
    return reply;
}

void WindowImplBase::DrainMessages() {
    for (;;) {
        Call call;
        {
            std::lock_guard lock(m_queueMutex);
            if (m_queue.empty()) {
                return;
            }
            call = std::move(m_queue.front());
            m_queue.pop_front();
        }
        const QPointer<WindowImplBase> self = this;
        const intptr_t result = Dispatch(call.msg, call.wParam, call.lParam);
        if (call.reply) {
            std::lock_guard lock(call.reply->mutex);
            call.reply->result = result;
            call.reply->finished = true;
            call.reply->done.notify_all();
        }
        if (!self) {
            return;
        }
    }
}

int WindowImplBase::PendingMessages() {
    std::lock_guard lock(m_queueMutex);
    return static_cast<int>(m_queue.size());
}

void WindowImplBase::PostMessage(int msg, intptr_t wParam, intptr_t lParam) {
    Enqueue(msg, wParam, lParam, false);
}

intptr_t WindowImplBase::SendMessage(int msg, intptr_t wParam, intptr_t lParam) {
    if (QThread::currentThread() == thread()) {
        return Dispatch(msg, wParam, lParam);
    }
    const std::shared_ptr<Reply> reply = Enqueue(msg, wParam, lParam, true);
    std::unique_lock lock(reply->mutex);
    reply->done.wait(lock, [&] { return reply->finished; });
    return reply->result;
}

std::optional<intptr_t> WindowImplBase::SendMessage(int msg, intptr_t wParam, intptr_t lParam,
                                                    std::stop_token stop) {
    if (QThread::currentThread() == thread()) {
        return Dispatch(msg, wParam, lParam);
    }
    const std::shared_ptr<Reply> reply = Enqueue(msg, wParam, lParam, true);
    std::unique_lock lock(reply->mutex);
    if (!reply->done.wait(lock, stop, [&] { return reply->finished; })) {
        return std::nullopt;
    }
    return reply->result;
}

}  // namespace morva::ui
