#include "datawindow/fieldviews.h"

#include "logview/byteview.h"
#include "logview/fieldfind.h"
#include "logview/richtextfield.h"
#include "session/options.h"

#include <QCheckBox>
#include <QSettings>
#include <QShortcut>

namespace {
const char* const kTimesKey = "view/times";
const char* const kModeKey = "view/timeMode";
const char* const kBytesKey = "view/bytes";
const char* const kSinceBefore = "sincePrevious";

using TimeColumn = RichTextField::TimeColumn;

TimeColumn rememberedMode() {
    return QSettings().value(QLatin1String(kModeKey)).toString() == QLatin1String(kSinceBefore)
               ? TimeColumn::SincePrevious
               : TimeColumn::TimeOfDay;
}
} // namespace

FieldViews::FieldViews(const Parts& parts, QWidget* window) : QObject(window), parts_(parts) {
    const QSettings settings;
    parts_.times->setChecked(krt::switchSetting(settings, kTimesKey, false));
    parts_.showBytes->setChecked(krt::switchSetting(settings, kBytesKey, false));
    showTimes(parts_.times->isChecked());
    showBytes(parts_.showBytes->isChecked());
    // A window without "Auto Scroll" (a past session) stays where it is read.
    parts_.bytes->setFollowing(parts_.autoScroll && parts_.autoScroll->isChecked());
    if (parts_.autoScroll)
        connect(parts_.autoScroll, &QCheckBox::toggled, parts_.bytes, &ByteView::setFollowing);

    connect(parts_.times, &QCheckBox::toggled, this, [this](bool on) {
        showTimes(on);
        QSettings().setValue(QLatin1String(kTimesKey), on);
    });
    connect(parts_.showBytes, &QCheckBox::toggled, this, [this](bool on) {
        showBytes(on);
        QSettings().setValue(QLatin1String(kBytesKey), on);
    });
    // A click on the column switches its mode: the box and the settings follow.
    connect(parts_.field, &RichTextField::timeColumnChanged, this, [this](TimeColumn column) {
        if (column == TimeColumn::Hidden) return;
        QSettings().setValue(QLatin1String(kModeKey), column == TimeColumn::SincePrevious
                                                          ? QLatin1String(kSinceBefore)
                                                          : QLatin1String("timeOfDay"));
    });
    auto* modeKey = new QShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_T), window);
    connect(modeKey, &QShortcut::activated, this, &FieldViews::switchTimeMode);
}

void FieldViews::switchTimeMode() {
    if (!parts_.times->isChecked()) {
        parts_.times->setChecked(true);
        return;
    }
    parts_.field->setTimeColumn(parts_.field->timeColumn() == TimeColumn::TimeOfDay
                                    ? TimeColumn::SincePrevious
                                    : TimeColumn::TimeOfDay);
}

void FieldViews::showTimes(bool shown) {
    parts_.field->setTimeColumn(shown ? rememberedMode() : TimeColumn::Hidden);
}

void FieldViews::showBytes(bool shown) {
    // The focus goes along to the view that takes the field's place.
    QWidget* from = shown ? static_cast<QWidget*>(parts_.field) : parts_.bytes;
    QWidget* to = shown ? static_cast<QWidget*>(parts_.bytes) : parts_.field;
    const bool hadFocus = from->hasFocus();
    to->setVisible(true);
    from->setVisible(false);
    if (hadFocus) to->setFocus();
    parts_.find->searchBytes(shown);
}
