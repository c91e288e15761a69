// Context help on the data window's controls, and their cursors.
//
// One event filter serves every control with help in the table of controls: it sees a mouse
// press before the control itself does, so the help line is written before
// a left press turns into the control's click. The press goes on to the
// control untouched; buttons and check boxes only act on the left button,
// so a right press gives help without acting.

#include "datawindow/controltable.h"
#include "datawindow/portmenu.h"
#include "datawindow/rddata.h"
#include "logview/richtextfield.h"

#include <QCheckBox>
#include <QCursor>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QSvgRenderer>

static void initArtwork() {
    Q_INIT_RESOURCE(krt418);
}

namespace {

// Our own cursor: the arrow with a help balloon, hot spot on the arrow's tip.
QCursor helpCursor() {
    initArtwork();
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QSvgRenderer svg(QStringLiteral(":/krt418/help-cursor.svg"));
    QPainter painter(&pixmap);
    svg.render(&painter);
    painter.end();
    return QCursor(pixmap, 1, 1);
}

} // namespace

void RDData::installContextHelp() {
    for (const controls::Control& c : controls::table()) {
        if (!c.longHelp) continue;
        // The data field's presses land on its viewport, not on the field.
        if (c.kind == controls::Kind::Field)
            Text1->viewport()->installEventFilter(this);
        else
            control(c)->installEventFilter(this);
    }
}

void RDData::installCursors() {
    const QCursor own = helpCursor();
    for (const controls::Control& c : controls::table()) {
        if (c.cursor == controls::Cursor::Help) control(c)->setCursor(own);
        if (c.cursor == controls::Cursor::WhatsThis) control(c)->setCursor(Qt::WhatsThisCursor);
    }
}

bool RDData::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::ToolTip) portMenu_->updateToolTips();
    // A double click's second press arrives as a double-click event and is
    // followed by a second click, so it is a mouse press all the same.
    if (event->type() != QEvent::MouseButtonPress && event->type() != QEvent::MouseButtonDblClick)
        return QWidget::eventFilter(watched, event);

    QWidget* pressed = watched == Text1->viewport() ? Text1 : qobject_cast<QWidget*>(watched);
    // A disabled control takes no presses, so it gives no help.
    if (!pressed || !pressed->isEnabled()) return false;
    const controls::Control* c = controls::find(pressed->objectName());
    if (c && c->longHelp)
        Myhelp->setText(controls::helpFor(*c, static_cast<QMouseEvent*>(event)->button()));
    return false;
}
