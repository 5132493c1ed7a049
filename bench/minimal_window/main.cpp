// The smallest Qt Widgets program the start-up benchmark compares the desktop program with:
// one window of the same client size holding one label. With KORVID_QUIT_AFTER_FIRST_PAINT
// set it ends as soon as the window has been painted once, as the desktop program does.

#include <QApplication>
#include <QEvent>
#include <QLabel>
#include <QTimer>
#include <QWidget>
#include <cstdlib>

namespace {

class QuitAfterFirstPaint : public QObject {
  public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            QTimer::singleShot(0, qApp, &QCoreApplication::quit);
            watched->removeEventFilter(this);
        }
        return false;
    }
};

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QWidget window;
    window.setFixedSize(1009, 530);
    window.setWindowTitle("Minimal window");
    QLabel label("Minimal window", &window);
    label.move(8, 8);
    if (std::getenv("KORVID_QUIT_AFTER_FIRST_PAINT") != nullptr) {
        window.installEventFilter(new QuitAfterFirstPaint(&window));
    }
    window.show();
    return QApplication::exec();
}
