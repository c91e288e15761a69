#include "datawindow/rddata.h"

#include "datawindow/colours.h"
#include "datawindow/journal.h"
#include "datawindow/richtextfield.h"
#include "datawindow/wrappedlines.h"
#include "link/frame.h"
#include "link/linesettings.h"
#include "link/receive.h"
#include "link/serialportcomponent.h"
#include "platform/controls.h"
#include "platform/seams.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QVBoxLayout>

#include <memory>
#include <utility>

QPointer<RDData> RDData::instance_;
qint16 RDData::rememberedPort = 0;

namespace {
const char* const kHelpStart = "Select communication port and activate it !";
const char* const kHelpReady =
    "Select a button an click right button to get a help about this function";
} // namespace

RDData* RDData::instance() {
    if (!instance_) {
        instance_ = new RDData();
        instance_->Form_Load();
        // "Save mesures ..." is offered once the field holds something written
        // after start-up, and goes again when "Clear" empties it.
        RDData* w = instance_;
        connect(w->Text1, &RichTextField::changed, w,
                [w] { w->Command3->setEnabled(w->Text1->length() > 0); });
    }
    return instance_;
}

RDData* RDData::existing() {
    return instance_;
}

RDData::RDData() : QWidget(nullptr) {
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Read Data"));
    setObjectName(QStringLiteral("RDData"));
    MSComm1 = new SerialPortComponent(this);
    Timer1 = new QTimer(this);
    // "1 ms, or the shortest tick the platform gives": a zero timer, and it
    // runs only while bytes are waiting, so an idle line costs nothing.
    Timer1->setInterval(0);
    buildLayout();
    connectHandlers();
    installCursors();
    installContextHelp();
    watchOperatorInput();
    timer1Enabled_ = true;
}

void RDData::closeEvent(QCloseEvent* event) {
    // A file dialog (ours or the manual window's) stands on this window:
    // cancel it first, and close once it has returned.
    if (platform::fileDialogRunning()) {
        platform::closeAfterFileDialog(this);
        event->ignore();
        return;
    }
    // Closed is unloaded: the port is released and the dialogs go at once,
    // so a new data window can open the port and no dialog outlives this one.
    unload();
    QWidget::closeEvent(event);
}

RDData::~RDData() {
    unload();
}

void RDData::unload() {
    // Forget this window first, so a dialog being closed finds no data window
    // to act on (a newer window may already have taken its place).
    if (instance_ == this) instance_ = nullptr;
    setTimer1Enabled(false);
    if (journal_) journal_->finish();
    if (MSComm1->portOpen()) MSComm1->setPortOpen(false);
    for (const QPointer<QWidget>& dialog : std::exchange(dialogs_, {})) {
        if (dialog) {
            dialog->hide();
            dialog->deleteLater();
        }
    }
}

namespace {

QLabel* displayLabel(const char* name, QWidget* parent) {
    auto* l = new QLabel(parent);
    l->setObjectName(QString::fromLatin1(name));
    l->setFrameShape(QFrame::Box);
    l->setAlignment(Qt::AlignCenter);
    l->setMinimumHeight(l->fontMetrics().height() + 4);
    return l;
}

QGroupBox* group(const char* caption, const char* name, QWidget* parent) {
    auto* g = new QGroupBox(QString::fromLatin1(caption), parent);
    g->setObjectName(QString::fromLatin1(name));
    g->setAccessibleName(g->title());
    return g;
}

} // namespace

void RDData::buildLayout() {
    FrameQuery = group("Query controls", "FrameQuery", this);
    GetDate = namedButton("Get Date", "GetDate", FrameQuery);
    MemFree = namedButton("Memory Free", "MemFree", FrameQuery);
    ViewP = namedButton("View Param.", "ViewP", FrameQuery);
    auto* queryLayout = new QHBoxLayout(FrameQuery);
    for (auto* b : {GetDate, MemFree, ViewP})
        queryLayout->addWidget(b);

    FrameCommands = group("Commands", "FrameCommands", this);
    SetDate = namedButton("Set Date...", "SetDate", FrameCommands);
    SetDefaults = namedButton("Set Defaults", "SetDefaults", FrameCommands);
    NewSession = namedButton("New Session", "NewSession", FrameCommands);
    UploadTimes = namedButton("Upload times", "UploadTimes", FrameCommands);
    UploadPrint = namedButton("Upload + Print", "UploadPrint", FrameCommands);
    ClearMemory = namedButton("Clear memory", "ClearMemory", FrameCommands);
    auto* commandsLayout = new QGridLayout(FrameCommands);
    commandsLayout->addWidget(SetDate, 0, 0);
    commandsLayout->addWidget(SetDefaults, 0, 1);
    commandsLayout->addWidget(NewSession, 0, 2);
    commandsLayout->addWidget(UploadTimes, 1, 0);
    commandsLayout->addWidget(UploadPrint, 1, 1);
    commandsLayout->addWidget(ClearMemory, 1, 2);

    FrameBuzzer = group("Buzzer control", "FrameBuzzer", this);
    buzzer = new QCheckBox(QStringLiteral("ON"), FrameBuzzer);
    buzzer->setObjectName(QStringLiteral("buzzer"));
    buzzer->setAccessibleName(QStringLiteral("ON"));
    buzzer->setAccessibleDescription(FrameBuzzer->title());
    (new QHBoxLayout(FrameBuzzer))->addWidget(buzzer);

    FrameLockInput = group("Lock input 5/16", "FrameLockInput", this);
    lockinput = new QCheckBox(QStringLiteral("ON"), FrameLockInput);
    lockinput->setObjectName(QStringLiteral("lockinput"));
    lockinput->setAccessibleName(QStringLiteral("ON"));
    lockinput->setAccessibleDescription(FrameLockInput->title());
    (new QHBoxLayout(FrameLockInput))->addWidget(lockinput);

    FrameIO = group("I/O control", "FrameIO", this);
    Manual = namedButton("Command ...", "Manual", FrameIO);
    (new QHBoxLayout(FrameIO))->addWidget(Manual);

    FrameLockTimes = group("Lock times", "FrameLockTimes", this);
    Channel1 = namedButton("Channel 1 ...", "Channel1", FrameLockTimes);
    Channel4 = namedButton("Channel 4 ...", "Channel4", FrameLockTimes);
    Others = namedButton("Others ...", "Others", FrameLockTimes);
    Lch1 = displayLabel("Lch1", FrameLockTimes);
    Lch4 = displayLabel("Lch4", FrameLockTimes);
    Lothers = displayLabel("Lothers", FrameLockTimes);
    auto* lockLayout = new QGridLayout(FrameLockTimes);
    lockLayout->addWidget(Channel1, 0, 0);
    lockLayout->addWidget(Channel4, 0, 1);
    lockLayout->addWidget(Others, 0, 2);
    lockLayout->addWidget(Lch1, 1, 0);
    lockLayout->addWidget(Lch4, 1, 1);
    lockLayout->addWidget(Lothers, 1, 2);

    FrameRunTime = group("Run.Time", "FrameRunTime", this);
    AccuracyR = namedButton("Select ...", "AccuracyR", FrameRunTime);
    TaccuracyR = displayLabel("TaccuracyR", FrameRunTime);
    auto* runLayout = new QVBoxLayout(FrameRunTime);
    runLayout->addWidget(AccuracyR);
    runLayout->addWidget(TaccuracyR);

    FramePrinter = group("Printer Time", "FramePrinter", this);
    AccuracyP = namedButton("Accuracy...", "AccuracyP", FramePrinter);
    TaccuracyP = displayLabel("TaccuracyP", FramePrinter);
    auto* printerLayout = new QVBoxLayout(FramePrinter);
    printerLayout->addWidget(AccuracyP);
    printerLayout->addWidget(TaccuracyP);

    FramePort = group("Serial Port communication control", "FramePort", this);
    Option1[0] = new QRadioButton(QStringLiteral("Com1"), FramePort);
    Option1[1] = new QRadioButton(QStringLiteral("Com2"), FramePort);
    Option1[0]->setObjectName(QStringLiteral("Option1_0"));
    Option1[1]->setObjectName(QStringLiteral("Option1_1"));
    for (auto* o : Option1)
        o->setAccessibleName(o->text());
    Command2 = namedButton("9600 bds", "Command2", FramePort);
    Command2->setEnabled(false); // the line stays at 9600 bit/s
    Command6 = namedButton("Activate", "Command6", FramePort);
    auto* portLayout = new QGridLayout(FramePort);
    portLayout->addWidget(Option1[0], 0, 0);
    portLayout->addWidget(Option1[1], 1, 0);
    portLayout->addWidget(Command2, 0, 1);
    portLayout->addWidget(Command6, 1, 2);
    portLayout->setColumnStretch(1, 1);

    scroll = new QCheckBox(QStringLiteral("Auto Scroll"), this);
    scroll->setObjectName(QStringLiteral("scroll"));
    scroll->setAccessibleName(scroll->text());
    scroll->setChecked(true);

    Label1 = new QLabel(QStringLiteral("Data from/to KRT 418"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    QFont bold = Label1->font();
    bold.setBold(true);
    Label1->setFont(bold);

    Command5 = namedButton("Clear", "Command5", this);

    Shape2 = new QFrame(this);
    Shape2->setObjectName(QStringLiteral("Shape2"));
    Shape2->setFrameShape(QFrame::Box);
    Text1 = new RichTextField(Shape2);
    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setAccessibleName(QStringLiteral("Data from/to KRT 418"));
    Text1->setMinimumSize(265, 297);
    auto* shapeLayout = new QVBoxLayout(Shape2);
    shapeLayout->addWidget(Text1);

    Command3 = namedButton("Save mesures ...", "Command3", this);
    Command3->setEnabled(false);
    Command1 = namedButton("Close", "Command1", this);

    Myhelp = new QLabel(this);
    Myhelp->setObjectName(QStringLiteral("Myhelp"));
    Myhelp->setFrameShape(QFrame::Box);
    Myhelp->setAutoFillBackground(true);
    QPalette helpPalette = Myhelp->palette();
    helpPalette.setColor(QPalette::Window, QColor(0x80, 0x80, 0x80));
    helpPalette.setColor(QPalette::WindowText, Qt::white);
    Myhelp->setPalette(helpPalette);
    Myhelp->setAccessibleDescription(QStringLiteral("Help"));

    // Left: the command groups, as the operator reads them top to bottom.
    auto* left = new QVBoxLayout;
    left->addWidget(FrameQuery);
    left->addWidget(FrameCommands);
    auto* switches = new QHBoxLayout;
    switches->addWidget(FrameBuzzer);
    switches->addWidget(FrameLockInput);
    switches->addWidget(FrameIO);
    left->addLayout(switches);
    left->addWidget(FrameLockTimes);
    auto* accuracies = new QHBoxLayout;
    accuracies->addWidget(FrameRunTime);
    accuracies->addWidget(FramePrinter);
    accuracies->addStretch(1);
    left->addLayout(accuracies);
    left->addWidget(FramePort);
    left->addStretch(1);

    // Right: the data field with its own controls around it.
    auto* right = new QVBoxLayout;
    auto* fieldHeader = new QHBoxLayout;
    fieldHeader->addWidget(Label1, 1);
    fieldHeader->addWidget(Command5);
    right->addLayout(fieldHeader);
    right->addWidget(Shape2, 1);
    auto* fieldFooter = new QHBoxLayout;
    fieldFooter->addWidget(scroll);
    fieldFooter->addStretch(1);
    fieldFooter->addWidget(Command3);
    fieldFooter->addWidget(Command1);
    right->addLayout(fieldFooter);

    auto* columns = new QHBoxLayout;
    columns->addLayout(left, 0);
    columns->addLayout(right, 1);
    auto* outer = new QVBoxLayout(this);
    outer->addLayout(columns, 1);
    outer->addWidget(Myhelp);

    // Tab order follows the groups, then the data field and its buttons.
    QList<QWidget*> order = {
        GetDate,     MemFree,     ViewP,     SetDate,    SetDefaults, NewSession, UploadTimes,
        UploadPrint, ClearMemory, buzzer,    lockinput,  Manual,      Channel1,   Channel4,
        Others,      AccuracyR,   AccuracyP, Option1[0], Option1[1],  Command2,   Command6,
        Command5,    Text1,       scroll,    Command3,   Command1};
    for (int i = 0; i + 1 < order.size(); ++i)
        setTabOrder(order[i], order[i + 1]);
}

void RDData::connectHandlers() {
    connect(Timer1, &QTimer::timeout, this, &RDData::Timer1_Timer);
    connect(MSComm1, &SerialPortComponent::bytesArrived, this, &RDData::onBytesArrived);
    connect(MSComm1, &SerialPortComponent::portLost, this, &RDData::onPortLost);
    connect(Text1, &RichTextField::changed, this, &RDData::Text1_Change);

    connect(GetDate, &QPushButton::clicked, this, &RDData::GetDate_Click);
    connect(MemFree, &QPushButton::clicked, this, &RDData::MemFree_Click);
    connect(ViewP, &QPushButton::clicked, this, &RDData::ViewP_Click);
    connect(SetDefaults, &QPushButton::clicked, this, &RDData::SetDefaults_Click);
    connect(NewSession, &QPushButton::clicked, this, &RDData::NewSession_Click);
    connect(UploadTimes, &QPushButton::clicked, this, &RDData::UploadTimes_Click);
    connect(UploadPrint, &QPushButton::clicked, this, &RDData::UploadPrint_Click);
    connect(ClearMemory, &QPushButton::clicked, this, &RDData::ClearMemory_Click);
    // Whatever changes a box for the operator (mouse, keyboard, assistive
    // technology) sends, as a click does; the program never sets them itself.
    connect(buzzer, &QCheckBox::toggled, this, &RDData::buzzer_Click);
    connect(lockinput, &QCheckBox::toggled, this, &RDData::lockinput_Click);

    connect(SetDate, &QPushButton::clicked, this, &RDData::SetDate_Click);
    connect(Manual, &QPushButton::clicked, this, &RDData::Manual_Click);
    connect(Channel1, &QPushButton::clicked, this, &RDData::Channel1_Click);
    connect(Channel4, &QPushButton::clicked, this, &RDData::Channel4_Click);
    connect(Others, &QPushButton::clicked, this, &RDData::Others_Click);
    connect(AccuracyR, &QPushButton::clicked, this, &RDData::AccuracyR_Click);
    connect(AccuracyP, &QPushButton::clicked, this, &RDData::AccuracyP_Click);

    // A port is chosen when its button turns on, however that happens; a
    // click on the button already on changes nothing and re-opens all the same.
    const auto wasOn = std::make_shared<std::array<bool, 2>>();
    for (int i : {0, 1}) {
        QRadioButton* o = Option1[size_t(i)];
        connect(o, &QRadioButton::pressed, this,
                [o, i, wasOn] { (*wasOn)[size_t(i)] = o->isChecked(); });
        connect(o, &QRadioButton::toggled, this, [this, i](bool on) {
            if (on) Option1_Click(i);
        });
        connect(o, &QRadioButton::clicked, this, [this, i, wasOn] {
            if ((*wasOn)[size_t(i)]) Option1_Click(i);
        });
    }
    connect(Command6, &QPushButton::clicked, this, &RDData::Command6_Click);
    connect(Command2, &QPushButton::clicked, this, &RDData::Command2_Click);
    connect(Command1, &QPushButton::clicked, this, &RDData::Command1_Click);
    connect(Command5, &QPushButton::clicked, this, &RDData::Command5_Click);
    connect(Command3, &QPushButton::clicked, this, &RDData::Command3_Click);
    installPortMenus();
}

void RDData::Form_Load() {
    journal_ = Journal::attach(this);
    Text1->setSelColor(colour::Red);
    Command6->setText(QStringLiteral("Send XOFF"));
    Command6->setAccessibleName(Command6->text());
    Myhelp->setText(QString::fromLatin1(kHelpStart));

    // Steps from the open on are each checked; the first failure decides.
    const auto errorText = [this](PortError error) -> QString {
        return QStringLiteral("Error # ") + QLatin1Char(' ') +
               QString::number(printedNumber(error)) + QStringLiteral("\r\n") +
               wrappedLines(MSComm1->errorDescription(), kHintColumns);
    };
    const auto handle = [&](PortError number) {
        if (number == PortError::None || number == PortError::DeviceNotOpen) return true;
        if (number == PortError::PortNotOpen) return false;
        if (number == PortError::AlreadyOpen) {
            platform::beep();
            Text1->setText(Text1->text() + errorText(number));
            return false;
        }
        platform::beep();
        platform::beep();
        Text1->setText(Text1->text() + errorText(number));
        return true;
    };

    bool ended = false;
    const auto outcome =
        MSComm1->openPort(1, QLatin1String(krt::line::Settings9600),
                          [&](OpenStep, PortError error) { return ended = !handle(error); });
    // After the error text of a failed open, a line on how to reach the device.
    const PortError opened = outcome.step == OpenStep::Open ? outcome.error : PortError::None;
    if (opened != PortError::None && opened != PortError::DeviceNotOpen &&
        opened != PortError::PortNotOpen)
        appendPortHint(opened);
    if (ended) return;

    // The command buttons are enabled from their creation and nothing
    // disables them before this point, so start-up has none to enable: they
    // stay usable whatever the port did, and a failed command reports itself.
    Myhelp->setText(QString::fromLatin1(kHelpReady));
}

void RDData::setTimer1Enabled(bool enabled) {
    timer1Enabled_ = enabled;
    if (!enabled)
        Timer1->stop();
    else if (MSComm1->bytesWaiting() > 0)
        Timer1->start();
}

void RDData::append(const QString& text, int colourNumber) {
    Text1->setSelColor(colourNumber);
    Text1->setSelText(text);
}

void RDData::appendInCurrentColour(const QString& text) {
    Text1->setSelText(text);
}

void RDData::appendActionLine(const QString& text) {
    const int previous = Text1->selColor();
    append(text, colour::Black);
    Text1->setSelColor(previous);
}

void RDData::appendPortError(PortError error) {
    appendInCurrentColour(QStringLiteral(">> PORT ERROR: ") +
                          QString::number(printedNumber(error)) + QStringLiteral(" <<\r\n"));
}

bool RDData::send(const QByteArray& bytes) {
    const PortError error = MSComm1->output(bytes);
    if (error == PortError::None) return true;
    appendPortError(error);
    return false;
}

bool RDData::sendTitledFrame(const QString& title, const QByteArray& payload,
                             const QString& imageLineEnd) {
    append(title + QStringLiteral("\r\n"), colour::Black);
    if (!send(krt::buildFrame(payload))) return false;
    append(krt::frameImage(payload) + imageLineEnd, colour::Red);
    return true;
}

bool RDData::sendFixedCommand(const QString& title, const QByteArray& payload) {
    return sendTitledFrame(title, payload, QStringLiteral("\r\n"));
}

void RDData::adoptDialog(QWidget* dialog) {
    dialogs_.removeAll(nullptr);
    if (!dialogs_.contains(dialog)) dialogs_.append(dialog);
}

void RDData::holdDataField() {
    Text1->setEnabled(false);
}

void RDData::showLockTime(krt::rules::LockGroup group, const QString& text) {
    using krt::rules::LockGroup;
    QLabel* label = group == LockGroup::Channel1   ? Lch1
                    : group == LockGroup::Channel4 ? Lch4
                                                   : Lothers;
    label->setText(text);
}

void RDData::showPrinterAccuracy(const QString& text) {
    TaccuracyP->setText(text);
}

void RDData::showRunTimeAccuracy(const QString& text) {
    TaccuracyR->setText(text);
}

bool RDData::receivePassDue() const {
    return Timer1->isActive();
}

void RDData::releaseDataField() {
    Text1->setEnabled(true);
    Text1->setFocus();
}

void RDData::onPortLost(PortError number, const QString&) {
    // The device went away: stop reading and say so once. A later
    // "Com1"/"Com2" opens it again when it is back. Text it sent before
    // going is still waiting: the receive loop takes it in first.
    if (timer1Enabled_ && MSComm1->bytesWaiting() > 0) {
        pendingLoss_ = number;
        Timer1->start();
        return;
    }
    setTimer1Enabled(false);
    appendPortError(number);
    if (number == PortError::DeviceLost) watchForLostDevice();
}

namespace {
bool sendCommand(RDData* w, krt::Cmd id) {
    const krt::Command& c = krt::command(id);
    return w->sendFixedCommand(QString::fromLatin1(c.title), QByteArray(c.payload));
}
} // namespace

void RDData::GetDate_Click() {
    sendCommand(this, krt::Cmd::GetDate);
}
void RDData::MemFree_Click() {
    sendCommand(this, krt::Cmd::MemFree);
}
void RDData::NewSession_Click() {
    sendCommand(this, krt::Cmd::NewSession);
}
void RDData::UploadTimes_Click() {
    sendCommand(this, krt::Cmd::UploadTimes);
}
void RDData::UploadPrint_Click() {
    sendCommand(this, krt::Cmd::UploadPrint);
}
void RDData::ClearMemory_Click() {
    // The one button that destroys the operator's work: it asks first.
    if (platform::confirm(this, QStringLiteral("Clear memory"),
                          QStringLiteral("Erase every time stored in the KRT 418?")))
        sendCommand(this, krt::Cmd::ClearMemory);
}

void RDData::ViewP_Click() {
    if (!sendCommand(this, krt::Cmd::ViewParameters)) return;
    Myhelp->setText(QStringLiteral("Ask the KRT 418 about all actual Parameters"));
}

void RDData::SetDefaults_Click() {
    if (!sendCommand(this, krt::Cmd::SetDefaults)) return;
    Myhelp->setText(QStringLiteral("Set the KRT418 to the factory default parameters"));
}

void RDData::buzzer_Click() {
    sendCommand(this, buzzer->isChecked() ? krt::Cmd::BuzzerOn : krt::Cmd::BuzzerOff);
}

void RDData::lockinput_Click() {
    sendCommand(this, lockinput->isChecked() ? krt::Cmd::LockInputs : krt::Cmd::UnlockInputs);
}

void RDData::Command5_Click() {
    Text1->setText(QString());
}
