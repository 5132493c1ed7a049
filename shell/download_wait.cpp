#include "shell/download_wait.h"

#include <QAction>
#include <QCoreApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QMetaObject>
#include <algorithm>
#include <utility>

#include "shell/application.h"

namespace korvid {

// While it lives, the user's input to the window and its controls (mouse, keys, wheel,
// touch, shortcuts) is dropped, except the stop inputs. Qt counts a close request from the
// window manager among the user's input, so the download takes every event and this keeps
// the window's handlers from being entered again.
class DownloadWait::InputFilter : public QObject {
  public:
    explicit InputFilter(DownloadWait& wait) : wait_(wait) {
        QCoreApplication::instance()->installEventFilter(this);
    }
    ~InputFilter() override { QCoreApplication::instance()->removeEventFilter(this); }
    InputFilter(const InputFilter&) = delete;
    InputFilter& operator=(const InputFilter&) = delete;

    bool eventFilter(QObject* watched, QEvent* event) override {
        const bool input = event->isInputEvent() || event->type() == QEvent::Shortcut;
        if (!input || !wait_.BelongsToWindow(watched) || wait_.Allowed(watched)) {
            return false;
        }
        if (event->type() == QEvent::KeyPress &&
            static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
            wait_.Cancel();
        }
        return true;
    }

  private:
    DownloadWait& wait_;
};

bool DownloadWait::BelongsToWindow(const QObject* target) const {
    if (const auto* action = qobject_cast<const QAction*>(target)) {
        const QList<QObject*> shown_by = action->associatedObjects();
        if (std::any_of(shown_by.begin(), shown_by.end(),
                        [this](const QObject* object) { return BelongsToWindow(object); })) {
            return true;
        }
    }
    // A shortcut or an action belongs to the widget it was made for.
    while (target != nullptr && !target->isWidgetType()) {
        target = target->parent();
    }
    const auto* widget = static_cast<const QWidget*>(target);
    return widget != nullptr && (widget == &window_ || window_.isAncestorOf(widget));
}

bool DownloadWait::Allowed(const QObject* target) const {
    const auto allowed = [this](const QObject* object) {
        return std::find(allowed_.begin(), allowed_.end(), object) != allowed_.end();
    };
    if (const auto* action = qobject_cast<const QAction*>(target)) {
        const QList<QObject*> shown_by = action->associatedObjects();
        if (std::any_of(shown_by.begin(), shown_by.end(), allowed)) {
            return true;
        }
    }
    return allowed(target);
}

void DownloadWait::TakeEvents() {
    const InputFilter stop_inputs_only(*this);
    QCoreApplication::processEvents();
}

bool DownloadWait::KeepGoing() {
    TakeEvents();
    return !cancel_requested_ && !close_requested_;
}

void DownloadWait::Cancel() {
    if (running_) {
        cancel_requested_ = true;
    }
}

bool DownloadWait::DeferClose() {
    if (running_) {
        close_requested_ = true;
    }
    return running_;
}

void DownloadWait::AfterDownload(std::function<void()> work) {
    if (running_) {
        held_.push_back(std::move(work));
    } else {
        work();
    }
}

void DownloadWait::AfterAnyDownload(std::function<void()> work) {
    if (running_wait_ != nullptr) {
        running_wait_->AfterDownload(std::move(work));
    } else {
        work();
    }
}

DownloadWait::Scope::Scope(DownloadWait& wait) : wait_(wait), outer_(wait.running_) {
    if (!outer_) {
        wait_.running_ = true;
        wait_.cancel_requested_ = false;
        if (running_wait_ == nullptr) {
            running_wait_ = &wait_;
        }
    }
}

// A close request that came meanwhile is carried out from the message loop's next turn, once
// the download's caller has returned; then the work held meanwhile, each piece on its own,
// so that one that fails (its error box) leaves the others to run.
DownloadWait::Scope::~Scope() {
    if (outer_) {
        return;
    }
    wait_.running_ = false;
    wait_.cancel_requested_ = false;
    if (running_wait_ == &wait_) {
        running_wait_ = nullptr;
    }
    if (wait_.close_requested_) {
        wait_.close_requested_ = false;
        QMetaObject::invokeMethod(&wait_.window_, &QWidget::close, Qt::QueuedConnection);
    }
    if (!wait_.held_.empty()) {
        QMetaObject::invokeMethod(
            &wait_.window_,
            [wait = &wait_, held = std::exchange(wait_.held_, {})]() mutable {
                for (std::function<void()>& work : held) {
                    RunGuarded([&] { wait->AfterDownload(std::move(work)); });
                }
            },
            Qt::QueuedConnection);
    }
}

}  // namespace korvid
