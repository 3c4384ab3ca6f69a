// The base of every window: a frameless top-level widget built from a layout file.
#pragma once

#include <QPoint>
#include <QPointer>
#include <QWidget>

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <stop_token>

#include "ui/toolkit/dialog_builder.h"
#include "ui/toolkit/paint_manager.h"

class QEventLoop;

namespace morva::ui {

// Life of a window: construct (optionally with an owner window), Create() builds the tree
// from GetSkinFile() and calls InitWindow(); ShowWindow()/ShowModal() create it when needed.
// The first show sends "windowinit" (sender: the root) once, queued after the show, unless
// SendWindowInit() sent it before.
// An owned window stays above its owner and is deleted with it (Qt parent).
class WindowImplBase : public QWidget, public INotifyUI, public IDialogBuilderCallback {
    Q_OBJECT

public:
    // ShowModal results for Close() without a value and for a close by the window system.
    static constexpr int kIdOk = 1;
    static constexpr int kIdCancel = 2;
    // Offered to HandleCustomMessage when the window system (or QWidget::close) asks the
    // window to close; handled leaves it open, otherwise it closes with kIdCancel.
    static constexpr int kMsgClose = 0x0010;

    explicit WindowImplBase(QWidget* owner = nullptr);
    ~WindowImplBase() override;

    // Builds once; later calls only report whether a root control exists.
    bool Create();
    void ShowWindow(bool show = true);
    // Shows the window modal (its owner, or every window without one, takes no input) until
    // Close(value); returns that value.
    int ShowModal();
    // Hides the window and ends ShowModal with `result`.
    void Close(int result = kIdOk);
    bool IsModalRunning() const { return modalLoop_ != nullptr; }
    // Over the owner when it is visible, else over the screen's free area.
    void CenterWindow();
    // Sends "windowinit" now, once: for a window that starts hidden, or that finishes its
    // start-up before it is first shown.
    void SendWindowInit();

    CPaintManagerUI& GetPaintManager() { return pm_; }
    CControlUI* GetRoot() const { return pm_.GetRoot(); }
    CControlUI* FindControl(const QString& name) const { return pm_.FindControl(name); }
    // Presses in this top strip (layout units) move the window.
    int GetCaptionHeight() const { return captionHeight_; }
    void SetCaptionHeight(int height) { captionHeight_ = height; }

    // Messages to HandleCustomMessage on the UI thread, from any thread. Post queues it;
    // Send runs it at once on the UI thread and otherwise waits until the UI thread ran it
    // (0 when the window went away first). With a stop token the wait also ends on a stop
    // request, giving nothing.
    void PostMessage(int msg, intptr_t wParam = 0, intptr_t lParam = 0);
    intptr_t SendMessage(int msg, intptr_t wParam = 0, intptr_t lParam = 0);
    std::optional<intptr_t> SendMessage(int msg, intptr_t wParam, intptr_t lParam,
                                        std::stop_token stop);
    // Messages posted or sent from other threads that the UI thread has not run yet.
    int PendingMessages();

    void SetLanguageResolver(CPaintManagerUI::LanguageResolver resolver);
    // Every text and tool tip of the window through the resolver again.
    void ReloadText() { pm_.ReloadText(); }

protected:
    // A res.xml id or a layout file under the resource root.
    virtual QString GetSkinFile() = 0;
    // The control tree exists (it may be empty when the layout could not be built).
    virtual void InitWindow() {}
    void Notify(const TNotifyUI& msg) override;
    virtual intptr_t HandleCustomMessage(int msg, intptr_t wParam, intptr_t lParam, bool& handled);
    CControlUI* CreateControl(const QString& tag) override;

    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    struct Reply {
        std::mutex mutex;
        std::condition_variable_any done;
        bool finished = false;
        intptr_t result = 0;
    };
    struct Call {
        int msg = 0;
        intptr_t wParam = 0;
        intptr_t lParam = 0;
        std::shared_ptr<Reply> reply;
    };

    Q_INVOKABLE void DrainMessages();
    std::shared_ptr<Reply> Enqueue(int msg, intptr_t wParam, intptr_t lParam, bool wantReply);
    intptr_t Dispatch(int msg, intptr_t wParam, intptr_t lParam);
    void OnScaleChanged(double oldScale, double newScale);
    void ApplySizeLimits();

    CPaintManagerUI pm_;
    bool created_ = false;
    bool initSent_ = false;
    bool closing_ = false;
    WindowAttributes design_;
    int captionHeight_ = 0;
    std::optional<QPoint> dragOffset_;
    QEventLoop* modalLoop_ = nullptr;
    bool closedEarly_ = false;
    int modalResult_ = kIdCancel;

    std::mutex queueMutex_;
    std::deque<Call> queue_;
};

}  // namespace morva::ui
