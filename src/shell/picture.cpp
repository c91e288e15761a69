#include "shell/picture.h"

#include <QMouseEvent>
#include <QPainter>

// The artwork lives in the static core library; make sure its resources are
// linked in and registered before the first picture loads.
static void initArtwork() {
    Q_INIT_RESOURCE(krt418);
}

Picture::Picture(const QString& resource, QWidget* parent) : QWidget(parent) {
    initArtwork();
    renderer_.load(resource);
}

void Picture::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    renderer_.render(&painter, QRectF(rect()));
}

void Picture::mousePressEvent(QMouseEvent* event) {
    pressed_ = event->button() == Qt::LeftButton;
}

void Picture::mouseReleaseEvent(QMouseEvent* event) {
    if (pressed_ && event->button() == Qt::LeftButton &&
        rect().contains(event->position().toPoint()))
        emit clicked();
    pressed_ = false;
}
