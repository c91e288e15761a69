#include "dialogs/waccuracyp.h"

#include "datawindow/rddata.h"
#include "link/devicerules.h"
#include "platform/controls.h"

#include <QButtonGroup>
#include <QCloseEvent>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>

QPointer<WaccuracyP> WaccuracyP::instance_;

namespace {

// By Option1 index, as krt::rules::printerAccuracy takes them.
const std::array<const char*, krt::rules::PrinterAccuracyChoices> kCaptions = {
    "Seconds", "1/10 Seconds", "1/100 Seconds", "1/1'000 Seconds", "1/10'000 Seconds",
};

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
        Option1[i] = new QRadioButton(QString::fromLatin1(kCaptions[i]), this);
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
    for (int i = 0; w && i < krt::rules::PrinterAccuracyChoices; ++i) {
        if (!Option1[i]->isChecked()) continue;
        const krt::rules::Outgoing out = krt::rules::printerAccuracy(i);
        w->showPrinterAccuracy(out.label);
        // A failed write is reported by the data window; the dialog closes
        // all the same, as after any SET.
        w->sendTitledFrame(out.title, out.payload, QStringLiteral("\n"));
    }
    close();
}
