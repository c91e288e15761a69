#include "dialogs/waccuracyp.h"

#include "datawindow/colours.h"
#include "datawindow/rddata.h"
#include "datawindow/richtextfield.h"
#include "link/frame.h"
#include "platform/controls.h"

#include <QButtonGroup>
#include <QCloseEvent>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>

QPointer<WaccuracyP> WaccuracyP::instance_;

namespace {

struct Choice {
    const char* caption;
    krt::Cmd command;
    const char* shown; // in the data window's TaccuracyP
};

// By Option1 index.
const std::array<Choice, 5> kChoices = {{
    {"Seconds", krt::Cmd::Printer0, "Seconds"},
    {"1/10 Seconds", krt::Cmd::Printer1, "1/10 sec."},
    {"1/100 Seconds", krt::Cmd::Printer2, "1/100 sec."},
    {"1/1'000 Seconds", krt::Cmd::Printer3, "1/1'000 sec."},
    {"1/10'000 Seconds", krt::Cmd::Printer4, "1/10'000 sec."},
}};

} // namespace

WaccuracyP* WaccuracyP::instance() {
    return single(instance_, [] { return new WaccuracyP(); });
}

WaccuracyP* WaccuracyP::existing() {
    return live(instance_);
}

WaccuracyP::WaccuracyP()
    : DataWindowDialog(QStringLiteral("WaccuracyP"), QStringLiteral("Accuracy Printer Time")) {

    auto* options = new QButtonGroup(this);
    for (int i = 0; i < 5; ++i) {
        Option1[i] = new QRadioButton(QString::fromLatin1(kChoices[i].caption), this);
        Option1[i]->setObjectName(QStringLiteral("Option1_%1").arg(i));
        Option1[i]->setAccessibleName(Option1[i]->text());
        options->addButton(Option1[i], i);
    }
    Command1 = namedButton("SET", "Command1", this);
    // Enter does not press SET: the operator chooses it deliberately.
    Command1->setAutoDefault(false);
    Command1->setDefault(false);

    auto* grid = new QGridLayout(this);
    grid->addWidget(Option1[0], 0, 0);
    grid->addWidget(Option1[1], 1, 0);
    grid->addWidget(Option1[2], 2, 0);
    grid->addWidget(Option1[3], 0, 1);
    grid->addWidget(Option1[4], 1, 1);
    grid->addWidget(Command1, 3, 1, Qt::AlignRight);

    for (int i = 0; i < 4; ++i)
        setTabOrder(Option1[i], Option1[i + 1]);
    setTabOrder(Option1[4], Command1);
    Option1[0]->setFocus();

    connect(Command1, &QPushButton::clicked, this, &WaccuracyP::Command1_Click);
}

void WaccuracyP::Form_Load() {
    disableDataField();
}

void WaccuracyP::Command1_Click() {
    RDData* w = RDData::existing();
    for (int i = 0; w && i < 5; ++i) {
        if (!Option1[i]->isChecked()) continue;
        const krt::Command& c = krt::command(kChoices[i].command);
        w->TaccuracyP->setText(QString::fromLatin1(kChoices[i].shown));
        // A failed write is reported by the data window; the dialog closes
        // all the same, as after any SET.
        w->sendTitledFrame(QString::fromLatin1(c.title), c.payload, QStringLiteral("\n"));
    }
    close();
}
