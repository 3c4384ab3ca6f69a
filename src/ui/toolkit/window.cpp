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
    : QWidget(owner, Qt::Window | Qt::FramelessWindowHint), pm_(this) {
    setAttribute(Qt::WA_StyledBackground);
    setProperty("morvaWindow", true);
    pm_.AddNotifier(this);
    connect(&pm_, &CPaintManagerUI::scaleChanged, this, &WindowImplBase::OnScaleChanged);
}

WindowImplBase::~WindowImplBase() {
    if (modalLoop_ != nullptr) {
        modalLoop_->exit(kIdCancel);
    }
    // Senders still waiting get their answer: the window is gone.
    std::deque<Call> pending;
    {
        std::lock_guard lock(queueMutex_);
        pending.swap(queue_);
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
    pm_.RemoveNotifier(this);
    if (QWidget* root = pm_.GetRoot() != nullptr ? pm_.GetRoot()->GetWidget() : nullptr) {
        delete root;
    }
}

bool WindowImplBase::Create() {
    if (created_) {
        return GetRoot() != nullptr;
    }
    created_ = true;
    theme::EnsureApplied();
    setFont(pm_.GetDefaultFont());

    CDialogBuilder builder;
    CControlUI* root = builder.Create(GetSkinFile(), this, &pm_);
    design_ = builder.GetWindowAttributes();
    captionHeight_ = design_.captionHeight;
    if (!design_.title.isEmpty()) {
        setWindowTitle(design_.title);
    }
    if (design_.bkColor.isValid()) {
        setStyleSheet(QStringLiteral("*[morvaWindow=\"true\"] { background-color: %1; }")
                          .arg(design_.bkColor.name(QColor::HexArgb)));
    }
    ApplySizeLimits();
    if (design_.size.isValid() && !design_.size.isEmpty()) {
        resize(ScaledSize(design_.size));
    }
    // Fonts of the window's own font table take effect from here on.
    setFont(pm_.GetDefaultFont());
    if (root != nullptr) {
        QWidget* w = root->GetWidget();
        w->setParent(this);
        w->setGeometry(rect());
        w->setVisible(root->IsVisible());
        pm_.SetRoot(root);
        pm_.InitControls(root);
    }
    InitWindow();
    return root != nullptr;
}

void WindowImplBase::ApplySizeLimits() {
    if (design_.minSize.isValid() && !design_.minSize.isEmpty()) {
        setMinimumSize(ScaledSize(design_.minSize));
    }
    if (design_.maxSize.isValid() && !design_.maxSize.isEmpty()) {
        setMaximumSize(ScaledSize(design_.maxSize));
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
    closedEarly_ = false;
    modalResult_ = kIdCancel;
    // Close() may already come from InitWindow: then the window is not shown at all.
    Create();
    if (closedEarly_) {
        return modalResult_;
    }
    if (isVisible()) {
        hide();  // modality only takes effect when the window is shown
    }
    setWindowModality(parentWidget() != nullptr ? Qt::WindowModal : Qt::ApplicationModal);
    show();
    raise();
    activateWindow();
    int result = modalResult_;
    if (!closedEarly_) {
        QEventLoop loop;
        modalLoop_ = &loop;
        const QPointer<WindowImplBase> self = this;
        result = loop.exec(QEventLoop::DialogExec);
        if (!self) {
            return result;
        }
        modalLoop_ = nullptr;
    }
    hide();
    setWindowModality(Qt::NonModal);
    return result;
}

void WindowImplBase::Close(int result) {
    modalResult_ = result;
    closedEarly_ = true;
    closing_ = true;
    close();
    closing_ = false;
    if (modalLoop_ != nullptr) {
        modalLoop_->exit(result);
    }
}

void WindowImplBase::closeEvent(QCloseEvent* event) {
    if (!closing_) {
        bool handled = false;
        HandleCustomMessage(kMsgClose, 0, 0, handled);
        if (handled) {
            event->ignore();
            return;
        }
        modalResult_ = kIdCancel;
        closedEarly_ = true;
        if (modalLoop_ != nullptr) {
            modalLoop_->exit(kIdCancel);
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
    pm_.SetLanguageResolver(std::move(resolver));
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
    if (!initSent_) {
        initSent_ = true;
        QTimer::singleShot(0, this, [this] { pm_.SendNotify(GetRoot(), kNotifyWindowInit); });
    }
}

void WindowImplBase::SendWindowInit() {
    Create();
    if (initSent_) {
        return;
    }
    initSent_ = true;
    pm_.SendNotify(GetRoot(), kNotifyWindowInit);
}

void WindowImplBase::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (CControlUI* root = GetRoot()) {
        root->GetWidget()->setGeometry(rect());
        pm_.SendNotify(root, kNotifyWindowSize, width(), height());
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
    const int strip = CPaintManagerUI::Scale(captionHeight_);
    if (event->button() == Qt::LeftButton && strip > 0 && event->position().y() < strip) {
        QWindow* handle = windowHandle();
        if (handle != nullptr && handle->startSystemMove()) {
            event->accept();
            return;
        }
        dragOffset_ = event->globalPosition().toPoint() - frameGeometry().topLeft();
        event->accept();
        return;
    }
    QWidget::mousePressEvent(event);
}

void WindowImplBase::mouseMoveEvent(QMouseEvent* event) {
    if (dragOffset_ && (event->buttons() & Qt::LeftButton)) {
        move(event->globalPosition().toPoint() - *dragOffset_);
        event->accept();
        return;
    }
    QWidget::mouseMoveEvent(event);
}

void WindowImplBase::mouseReleaseEvent(QMouseEvent* event) {
    dragOffset_.reset();
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
        std::lock_guard lock(queueMutex_);
        queue_.push_back(Call{msg, wParam, lParam, reply});
    }
    // Invoked by name: the call crosses threads with no data of ours in it; the data goes
    // through queue_ under our own lock.
    QMetaObject::invokeMethod(this, "DrainMessages", Qt::QueuedConnection);
    return reply;
}

void WindowImplBase::DrainMessages() {
    for (;;) {
        Call call;
        {
            std::lock_guard lock(queueMutex_);
            if (queue_.empty()) {
                return;
            }
            call = std::move(queue_.front());
            queue_.pop_front();
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
    std::lock_guard lock(queueMutex_);
    return static_cast<int>(queue_.size());
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
