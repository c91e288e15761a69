#include "datawindow/operatorinput.h"

#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QWidget>

OperatorInput::OperatorInput(QObject* parent) : QObject(parent) {
    qApp->installEventFilter(this);
}

bool OperatorInput::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease: {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->isAutoRepeat()) break;
        if (event->type() == QEvent::KeyPress)
            held_.insert(key->key());
        else
            held_.remove(key->key());
        break;
    }
    case QEvent::ApplicationDeactivate:
        // Releases made elsewhere are never seen here.
        held_.clear();
        break;
    case QEvent::FocusIn: {
        if (!watched->isWidgetType()) break; // the style watches focus changes too
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason)
            break; // the focus comes back to where it was
        const bool keyboard = reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason ||
                              reason == Qt::ShortcutFocusReason;
        chosen_ = keyboard ? static_cast<QWidget*>(watched) : nullptr;
        break;
    }
    default:
        break;
    }
    return false;
}
