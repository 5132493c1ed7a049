#include "shell/application.h"

#include <QIcon>
#include <QMessageBox>
#include <QMetaObject>

#include "common/errors.h"
#include "shell/download_wait.h"
#include "shell/png_image.h"

namespace korvid {

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool TApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        ShowError(std::current_exception());
        return false;
    }
}

// Never in the middle of a lookup: the box waits for its end (shell/download_wait.h).
void TApplication::ShowError(std::exception_ptr error) {
    DownloadWait::AfterAnyDownload([this, error = std::move(error)] { ShowErrorNow(error); });
}

void TApplication::ShowErrorNow(const std::exception_ptr& error) {
    std::string text;
    try {
        std::rethrow_exception(error);
    } catch (const SilentAbort&) {
        return;
    } catch (const std::exception& e) {
        text = ErrorBoxText(e);
    } catch (...) {
        text = "Unknown error";
    }
    if (prompts_ != nullptr) {
        prompts_->ShowError(text);
    } else {
        QMessageBox::critical(activeWindow(), QStringLiteral("Korvid"), QString::fromLatin1(text));
    }
}

void TApplication::ReportError(std::exception_ptr error) {
    if (auto* app = qobject_cast<TApplication*>(QCoreApplication::instance())) {
        app->ShowError(std::move(error));
    }
}

void TApplication::ReportErrorLater(std::exception_ptr error) {
    if (auto* app = qobject_cast<TApplication*>(QCoreApplication::instance())) {
        QMetaObject::invokeMethod(
            app, [app, error = std::move(error)]() { app->ShowError(error); },
            Qt::QueuedConnection);
    }
}

void NameApplication(const char* version) {
    QApplication::setApplicationName(QStringLiteral("Korvid"));
    QApplication::setApplicationVersion(QString::fromLatin1(version));
    // The icon in the installed theme's sizes, for window switchers and task bars that take
    // the window's own icon. Decoded here: Qt's own readers would load its image-format
    // plugins first.
    QIcon icon;
    for (const int size : {16, 24, 32, 48, 64, 128, 256}) {
        icon.addPixmap(BuiltInPng(QStringLiteral(":/korvid/window-%1.png").arg(size)));
    }
    QApplication::setWindowIcon(icon);
}

void RunGuarded(const std::function<void()>& handler) {
    try {
        handler();
    } catch (...) {
        TApplication::ReportError(std::current_exception());
    }
}

}  // namespace korvid
