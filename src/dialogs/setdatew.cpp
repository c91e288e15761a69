#include "dialogs/setdatew.h"

#include "datawindow/colours.h"
#include "datawindow/rddata.h"
#include "datawindow/richtextfield.h"
#include "dialogs/numbertext.h"
#include "link/frame.h"
#include "platform/controls.h"
#include "platform/seams.h"

#include <QButtonGroup>
#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

QPointer<SetDateW> SetDateW::instance_;

namespace {

const char* const kTitleEnd = " <<";

QLineEdit* field(const char* name, const char* accessibleName, int maxLength, QWidget* parent) {
    auto* f = new QLineEdit(parent);
    f->setObjectName(QString::fromLatin1(name));
    f->setAccessibleName(QString::fromLatin1(accessibleName));
    f->setMaxLength(maxLength);
    f->setMaximumWidth(
        f->fontMetrics().horizontalAdvance(QString(maxLength + 2, QLatin1Char('0'))) + 12);
    return f;
}

// The text as two characters: a single character gets a leading zero.
void padToTwo(QLineEdit* f) {
    if (f->text().size() == 1) f->setText(QLatin1Char('0') + f->text());
}

} // namespace

SetDateW* SetDateW::instance() {
    return single(instance_, [] { return new SetDateW(); });
}

SetDateW* SetDateW::existing() {
    return live(instance_);
}

SetDateW::SetDateW() : DataWindowDialog(QStringLiteral("SetDateW"), QStringLiteral("Set Date")) {
    Label1 = new QLabel(QStringLiteral("Enter date to set (DD.MM.YYYY)"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setAccessibleName(Label1->text());
    TDay = field("TDay", "Day", 2, this);
    TMonth = field("TMonth", "Month", 2, this);
    TYear = field("TYear", "Year", 4, this);
    Label2 = new QLabel(QStringLiteral("Enter time to set (HH.MM)"), this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setAccessibleName(Label2->text());
    THour = field("THour", "Hour", 2, this);
    TMinute = field("TMinute", "Minute", 2, this);

    Command1 = namedButton("Send", "Command1", this);
    Command1->setDefault(true);
    Command2 = namedButton("Cancel", "Command2", this);

    FormatS = new QGroupBox(QStringLiteral("Format"), this);
    FormatS->setObjectName(QStringLiteral("FormatS"));
    FormatS->setAccessibleName(FormatS->title());
    Format[0] = nullptr;
    Format[1] = new QRadioButton(QStringLiteral("US"), FormatS);
    Format[2] = new QRadioButton(QStringLiteral("Standard"), FormatS);
    auto* forms = new QButtonGroup(this);
    auto* formLayout = new QVBoxLayout(FormatS);
    for (int i = 1; i <= 2; ++i) {
        Format[i]->setObjectName(QStringLiteral("Format_%1").arg(i));
        Format[i]->setAccessibleName(Format[i]->text());
        forms->addButton(Format[i], i);
        formLayout->addWidget(Format[i]);
    }
    Format[2]->setChecked(true);

    auto* dateRow = new QHBoxLayout;
    dateRow->addWidget(TDay);
    dateRow->addWidget(TMonth);
    dateRow->addWidget(TYear);
    dateRow->addStretch(1);
    auto* timeRow = new QHBoxLayout;
    timeRow->addWidget(THour);
    timeRow->addWidget(TMinute);
    timeRow->addStretch(1);
    auto* fields = new QVBoxLayout;
    fields->addWidget(Label1);
    fields->addLayout(dateRow);
    fields->addWidget(Label2);
    fields->addLayout(timeRow);
    auto* top = new QHBoxLayout;
    top->addLayout(fields, 1);
    top->addWidget(FormatS, 0, Qt::AlignTop);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(Command1);
    buttons->addWidget(Command2);
    buttons->addStretch(1);
    auto* outer = new QVBoxLayout(this);
    outer->addLayout(top);
    outer->addLayout(buttons);

    const QList<QWidget*> order = {TDay,     TMonth,   TYear,     THour,    TMinute,
                                   Command1, Command2, Format[1], Format[2]};
    for (int i = 0; i + 1 < order.size(); ++i)
        setTabOrder(order[i], order[i + 1]);
    TDay->setFocus();

    connect(Command1, &QPushButton::clicked, this, &SetDateW::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &SetDateW::Command2_Click);
}

void SetDateW::Form_Load() {
    disableDataField();
    const QDateTime now = platform::now();
    const QDate date = now.date();
    const QTime time = now.time();
    TDay->setText(QString::number(date.day()));
    TMonth->setText(QString::number(date.month()));
    TYear->setText(QString::number(date.year()));
    THour->setText(QString::number(time.hour()));
    TMinute->setText(QString::number(time.minute()));
}

void SetDateW::Command1_Click() {
    struct Check {
        QLineEdit* field;
        int digits;
        int lowestAbove; // the number must be greater than this
        bool lowestIncluded;
        int highest;
        const char* mark;
    };
    const std::array<Check, 5> checks = {{
        {TDay, 2, 0, false, 31, "??"},
        {TMonth, 2, 0, false, 12, "??"},
        {TYear, 4, 1996, false, 2050, "????"},
        {THour, 2, 0, true, 23, "??"},
        {TMinute, 2, 0, true, 59, "??"},
    }};

    bool allGood = true;
    for (const Check& c : checks) {
        const std::optional<int> number = numbertext::read(c.field->text(), c.digits);
        if (!number) return; // empty, letters or an earlier mark: the operator corrects it
        const bool aboveLowest =
            c.lowestIncluded ? *number >= c.lowestAbove : *number > c.lowestAbove;
        if (!aboveLowest || *number > c.highest) {
            allGood = false;
            c.field->setText(QString::fromLatin1(c.mark));
            c.field->setFocus();
            // Typing replaces the mark.
            c.field->selectAll();
        }
    }
    for (QLineEdit* f : {TDay, TMonth, THour, TMinute})
        padToTwo(f);
    if (!allGood) {
        platform::beep();
        return;
    }

    RDData* w = RDData::existing();
    if (!w) {
        close(); // nothing left to send to
        return;
    }

    const QString year = TYear->text().right(2);
    const bool us = Format[1]->isChecked();
    const QString first = us ? TMonth->text() : TDay->text();
    const QString second = us ? TDay->text() : TMonth->text();
    const QByteArray payload = QByteArray(us ? krt::code::UsDate : krt::code::StdDate) +
                               krt::toWire(first + second + year + THour->text() + TMinute->text());
    w->append(QLatin1String(us ? krt::title::UsDate : krt::title::StdDate) + first +
                  QLatin1Char(' ') + second + QLatin1Char(' ') + year + QLatin1String(kTitleEnd) +
                  QStringLiteral("\r\n"),
              colour::Black);
    // A failed write is reported by the data window; the dialog stays open
    // so the operator can try again or cancel.
    if (!w->send(krt::buildFrame(payload))) return;
    w->append(krt::frameImage(payload) + QLatin1Char('\n'), colour::Red);
    close();
}

void SetDateW::Command2_Click() {
    close();
}
