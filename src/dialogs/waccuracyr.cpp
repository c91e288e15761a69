#include "dialogs/waccuracyr.h"

#include "datawindow/rddata.h"
#include "link/devicerules.h"
#include "platform/controls.h"

#include <QButtonGroup>
#include <QCloseEvent>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>

QPointer<WaccuracyR> WaccuracyR::instance_;

namespace {

// By Option1 index, as krt::rules::runTimeAccuracy takes them.
const std::array<const char*, krt::rules::RunTimeAccuracyChoices> kCaptions = {
    "OFF",
    "1/10 Seconds",
};

} // namespace

WaccuracyR* WaccuracyR::instance() {
    return single(instance_, [] { return new WaccuracyR(); });
}

WaccuracyR* WaccuracyR::existing() {
    return live(instance_);
}

WaccuracyR::WaccuracyR()
    : DataWindowDialog(QStringLiteral("WaccuracyR"), QStringLiteral("Running time Selection")) {

    auto* options = new QButtonGroup(this);
    for (int i = 0; i < 2; ++i) {
        Option1[i] = new QRadioButton(QString::fromLatin1(kCaptions[i]), this);
        Option1[i]->setObjectName(QStringLiteral("Option1_%1").arg(i));
        Option1[i]->setAccessibleName(Option1[i]->text());
        options->addButton(Option1[i], i);
    }
    Command1 = namedButton("SET", "Command1", this);
    Command1->setDefault(true);

    auto* grid = new QGridLayout(this);
    grid->addWidget(Option1[0], 0, 0);
    grid->addWidget(Option1[1], 1, 0);
    grid->addWidget(Command1, 0, 1, 2, 1, Qt::AlignVCenter);

    setTabOrder(Option1[0], Option1[1]);
    setTabOrder(Option1[1], Command1);
    Option1[0]->setFocus();

    connect(Command1, &QPushButton::clicked, this, &WaccuracyR::Command1_Click);
}

void WaccuracyR::Form_Load() {
    disableDataField();
}

void WaccuracyR::Command1_Click() {
    RDData* w = RDData::existing();
    for (int i = 0; w && i < krt::rules::RunTimeAccuracyChoices; ++i) {
        if (!Option1[i]->isChecked()) continue;
        const krt::rules::Outgoing out = krt::rules::runTimeAccuracy(i);
        w->showRunTimeAccuracy(out.label);
        // A failed write is reported by the data window; the dialog closes
        // all the same, as after any SET.
        w->sendTitledFrame(out.title, out.payload, QStringLiteral("\n"));
    }
    close();
}
