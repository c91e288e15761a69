#include "dialogs/locktime.h"

#include "datawindow/colours.h"
#include "datawindow/rddata.h"
#include "datawindow/richtextfield.h"
#include "dialogs/numbertext.h"
#include "link/frame.h"
#include "platform/seams.h"
#include "platform/controls.h"

#include <QButtonGroup>
#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

QPointer<LockTime> LockTime::instance_;

const char* const LockTime::PromptChannel1 = "Channel 1 Lock:";
const char* const LockTime::PromptChannel4 = "Channel 4 Lock:";
const char* const LockTime::PromptOthers = "Others channels Lock:";

namespace {

const char* const kInitialPrompt = "Select the time to lock:";

struct Group {
    const char* prompt;
    const char* code;
    QLabel* RDData::*label;
    const char* title;
};

// Compared in this order; the first exact match wins.
const std::array<Group, 3> kGroups = {{
    {LockTime::PromptChannel1, krt::code::LockChannel1, &RDData::Lch1, krt::title::LockChannel1},
    {LockTime::PromptChannel4, krt::code::LockChannel4, &RDData::Lch4, krt::title::LockChannel4},
    {LockTime::PromptOthers, krt::code::LockOthers, &RDData::Lothers, krt::title::LockOthers},
}};

struct Unit {
    char letter;
    const char* labelSuffix;
    const char* titleSuffix;
};

// By OTime index.
const std::array<Unit, 2> kUnits = {{
    {'S', " sec.", krt::title::LockSecondsSuffix},
    {'D', " 1/10 sec.", krt::title::LockTenthsSuffix},
}};

constexpr int kLowest = 0;
constexpr int kHighest = 99;

} // namespace

LockTime* LockTime::instance() {
    return single(instance_, [] { return new LockTime(); });
}

LockTime* LockTime::existing() {
    return live(instance_);
}

void LockTime::openFor(const char* prompt) {
    LockTime* d = instance();
    d->bringUp();
    d->LabelChannel->setText(QString::fromLatin1(prompt));
    d->LabelChannel->setAccessibleName(d->LabelChannel->text());
    d->TLock->setAccessibleName(d->LabelChannel->text());
}

LockTime::LockTime()
    : DataWindowDialog(QStringLiteral("LockTime"), QStringLiteral("Lock time select")) {

    LabelChannel = new QLabel(QString::fromLatin1(kInitialPrompt), this);
    LabelChannel->setObjectName(QStringLiteral("LabelChannel"));
    LabelChannel->setAccessibleName(LabelChannel->text());

    TLock = new QLineEdit(this);
    TLock->setObjectName(QStringLiteral("TLock"));
    TLock->setMaxLength(2);
    TLock->setAccessibleName(LabelChannel->text());
    TLock->setMaximumWidth(TLock->fontMetrics().horizontalAdvance(QStringLiteral("0000")) + 12);

    OTime[0] = new QRadioButton(QStringLiteral("seconds"), this);
    OTime[1] = new QRadioButton(QStringLiteral("1/10 seconds"), this);
    auto* units = new QButtonGroup(this);
    for (int i = 0; i < 2; ++i) {
        OTime[i]->setObjectName(QStringLiteral("OTime_%1").arg(i));
        OTime[i]->setAccessibleName(OTime[i]->text());
        units->addButton(OTime[i], i);
    }
    OTime[0]->setChecked(true);

    Command1 = namedButton("OK", "Command1", this);
    Command1->setDefault(true);
    Command2 = namedButton("Cancel", "Command2", this);

    auto* value = new QHBoxLayout;
    value->addWidget(TLock);
    auto* unitColumn = new QVBoxLayout;
    unitColumn->addWidget(OTime[0]);
    unitColumn->addWidget(OTime[1]);
    value->addLayout(unitColumn);
    value->addStretch(1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(Command1);
    buttons->addWidget(Command2);
    auto* outer = new QVBoxLayout(this);
    outer->addWidget(LabelChannel);
    outer->addLayout(value);
    outer->addLayout(buttons);

    setTabOrder(TLock, OTime[0]);
    setTabOrder(OTime[0], OTime[1]);
    setTabOrder(OTime[1], Command1);
    setTabOrder(Command1, Command2);
    TLock->setFocus();

    connect(Command1, &QPushButton::clicked, this, &LockTime::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &LockTime::Command2_Click);
}

void LockTime::Form_Load() {
    disableDataField();
}

void LockTime::Command1_Click() {
    const std::optional<int> number = numbertext::read(TLock->text(), 2);
    if (!number) return; // the operator corrects the value or cancels

    if (*number < kLowest || *number > kHighest) {
        platform::beep();
        close();
        return;
    }
    RDData* w = RDData::existing();
    if (!w) {
        close(); // nothing left to send to
        return;
    }

    const QString caption = LabelChannel->text();
    for (const Group& g : kGroups) {
        if (caption != QLatin1String(g.prompt)) continue;
        const Unit& unit = kUnits[OTime[0]->isChecked() ? 0 : 1];
        const QString typed = TLock->text();
        (w->*g.label)->setText(typed + QLatin1String(unit.labelSuffix));
        w->append(QLatin1String(g.title) + typed + QLatin1String(unit.titleSuffix) +
                      QStringLiteral("\r\n"),
                  colour::Black);
        if (typed.size() == 1) TLock->setText(QLatin1Char('0') + typed);
        const QByteArray payload = QByteArray(g.code) + unit.letter + krt::toWire(TLock->text());
        // A failed write is reported by the data window; the dialog stays
        // open so the operator can try again or cancel.
        if (!w->send(krt::buildFrame(payload))) return;
        w->append(krt::frameImage(payload) + QLatin1Char('\n'), colour::Red);
        break;
    }
    close();
}

void LockTime::Command2_Click() {
    close();
}
