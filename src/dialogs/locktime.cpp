#include "dialogs/locktime.h"

#include "datawindow/rddata.h"
#include "link/devicerules.h"
#include "platform/controls.h"
#include "platform/seams.h"

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
    krt::rules::LockGroup group;
};

// Compared in this order; the first exact match wins.
const std::array<Group, 3> kGroups = {{
    {LockTime::PromptChannel1, krt::rules::LockGroup::Channel1},
    {LockTime::PromptChannel4, krt::rules::LockGroup::Channel4},
    {LockTime::PromptOthers, krt::rules::LockGroup::Others},
}};

// The group the prompt names, if any.
std::optional<krt::rules::LockGroup> groupOf(const QString& prompt) {
    for (const Group& g : kGroups)
        if (prompt == QLatin1String(g.prompt)) return g.group;
    return std::nullopt;
}

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
    using krt::rules::LockTimeVerdict;
    const std::optional<krt::rules::LockGroup> group = groupOf(LabelChannel->text());
    const krt::rules::LockUnit unit =
        OTime[0]->isChecked() ? krt::rules::LockUnit::Seconds : krt::rules::LockUnit::Tenths;
    // Without a group the value is still checked; nothing is sent.
    const LockTimeVerdict v =
        krt::rules::lockTime(group.value_or(krt::rules::LockGroup::Channel1), TLock->text(), unit);
    if (v.kind == LockTimeVerdict::Unreadable) return; // the operator corrects the value or cancels
    if (v.kind == LockTimeVerdict::OutOfRange) {
        platform::beep();
        close();
        return;
    }
    RDData* w = RDData::existing();
    if (!w) {
        close(); // nothing left to send to
        return;
    }
    if (group) {
        w->showLockTime(*group, v.out.label);
        TLock->setText(v.fieldText);
        // A failed write is reported by the data window; the dialog stays
        // open so the operator can try again or cancel.
        if (!w->sendTitledFrame(v.out.title, v.out.payload, QStringLiteral("\n"))) return;
    }
    close();
}

void LockTime::Command2_Click() {
    close();
}
