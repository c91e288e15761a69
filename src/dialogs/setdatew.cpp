#include "dialogs/setdatew.h"

#include "datawindow/rddata.h"
#include "link/devicerules.h"
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

QLineEdit* field(const char* name, const char* accessibleName, int maxLength, QWidget* parent) {
    auto* f = new QLineEdit(parent);
    f->setObjectName(QString::fromLatin1(name));
    f->setAccessibleName(QString::fromLatin1(accessibleName));
    f->setMaxLength(maxLength);
    f->setMaximumWidth(
        f->fontMetrics().horizontalAdvance(QString(maxLength + 2, QLatin1Char('0'))) + 12);
    return f;
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
    using krt::rules::DateFieldCount;
    const std::array<QLineEdit*, DateFieldCount> fields = {TDay, TMonth, TYear, THour, TMinute};
    krt::rules::DateTexts typed;
    for (int f = 0; f < DateFieldCount; ++f)
        typed[f] = fields[f]->text();
    const krt::rules::DateVerdict v = krt::rules::date(typed, Format[1]->isChecked());

    for (int f = 0; f < DateFieldCount; ++f) {
        if (fields[f]->text() != v.texts[f]) fields[f]->setText(v.texts[f]);
        if (v.marked[f]) {
            fields[f]->setFocus();
            // Typing replaces the mark.
            fields[f]->selectAll();
        }
    }
    if (v.unreadable) return; // empty, letters or an earlier mark: the operator corrects it
    if (!v.send) {
        platform::beep();
        return;
    }

    RDData* w = RDData::existing();
    if (!w) {
        close(); // nothing left to send to
        return;
    }
    // A failed write is reported by the data window; the dialog stays open
    // so the operator can try again or cancel.
    if (!w->sendTitledFrame(v.send->title, v.send->payload, QStringLiteral("\n"))) return;
    close();
}

void SetDateW::Command2_Click() {
    close();
}
