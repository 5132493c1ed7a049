// TImage, the picture control declared in picture.h beside the pictures it shows.

#include <QMouseEvent>
#include <QPaintEvent>
#include <exception>

#include "shell/application.h"
#include "shell/picture.h"

namespace korvid {

TImage::TImage(QWidget* parent) : QWidget(parent) {}

void TImage::paintEvent(QPaintEvent* /*event*/) {
    TGraphic* graphic = picture_.Graphic();
    if (graphic == nullptr) {
        return;
    }
    QPainter painter(this);
    // No error may unwind through Qt's frames; a modal box must not open while painting.
    try {
        graphic->Draw(painter, rect());
    } catch (...) {
        TApplication::ReportErrorLater(std::current_exception());
    }
}

void TImage::mousePressEvent(QMouseEvent* event) {
    const QPoint position = event->position().toPoint();
    emit MouseDown(event->button(), position.x(), position.y());
}

}  // namespace korvid
