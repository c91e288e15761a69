// Context help on the data window's controls, and their cursors.
//
// One event filter serves every control of the help table: it sees a mouse
// press before the control itself does, so the help line is written before
// a left press turns into the control's click. The press goes on to the
// control untouched; buttons and check boxes only act on the left button,
// so a right press gives help without acting.

#include "datawindow/helptexts.h"
#include "datawindow/rddata.h"
#include "datawindow/richtextfield.h"

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
    for (const help::Entry& entry : help::table()) {
        auto* control = findChild<QWidget*>(QString::fromLatin1(entry.control));
        Q_ASSERT(control);
        if (!control) continue;
        // The data field's presses land on its viewport, not on the field.
        if (control == Text1)
            Text1->viewport()->installEventFilter(this);
        else
            control->installEventFilter(this);
    }
}

void RDData::installCursors() {
    const QCursor own = helpCursor();
    for (QWidget* w : std::initializer_list<QWidget*>{
             SetDate, SetDefaults, NewSession, UploadTimes, UploadPrint, ClearMemory, Channel1,
             Channel4, Others, AccuracyR, AccuracyP, buzzer, lockinput, Command5, Command3})
        w->setCursor(own);
    for (QWidget* w : {GetDate, MemFree, ViewP})
        w->setCursor(Qt::WhatsThisCursor);
}

bool RDData::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::ToolTip) updatePortToolTips();
    // A double click's second press arrives as a double-click event and is
    // followed by a second click, so it is a mouse press all the same.
    if (event->type() != QEvent::MouseButtonPress && event->type() != QEvent::MouseButtonDblClick)
        return QWidget::eventFilter(watched, event);

    QWidget* control = watched == Text1->viewport() ? Text1 : qobject_cast<QWidget*>(watched);
    // A disabled control takes no presses, so it gives no help.
    if (!control || !control->isEnabled()) return false;
    if (const help::Entry* entry = help::find(control->objectName()))
        Myhelp->setText(help::textFor(*entry, static_cast<QMouseEvent*>(event)->button()));
    return false;
}
