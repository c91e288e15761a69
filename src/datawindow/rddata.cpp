#include "datawindow/rddata.h"

#include "datawindow/colours.h"
#include "datawindow/controltable.h"
#include "datawindow/fieldfind.h"
#include "datawindow/findbar.h"
#include "datawindow/richtextfield.h"
#include "datawindow/wrappedlines.h"
#include "link/frame.h"
#include "link/linesettings.h"
#include "link/portbinding.h"
#include "link/receive.h"
#include "link/serialportcomponent.h"
#include "platform/controls.h"
#include "platform/seams.h"
#include "session/journal.h"

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
#include <QShortcut>
#include <QTimer>
#include <QVBoxLayout>

#include <map>
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
    return instance(std::make_shared<krt::PortBindings>());
}

RDData* RDData::instance(std::shared_ptr<krt::PortBindings> ports,
                         const krt::JournalOptions& journal) {
    if (!instance_) {
        instance_ = new RDData(std::move(ports));
        instance_->startJournal(journal);
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

RDData::RDData(std::shared_ptr<krt::PortBindings> ports)
    : QWidget(nullptr), ports_(std::move(ports)) {
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Read Data"));
    setObjectName(QStringLiteral("RDData"));
    MSComm1 = new SerialPortComponent(this);
    MSComm1->setBindings(ports_);
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

} // namespace

QWidget* RDData::control(const controls::Control& c) const {
    using controls::Kind;
    switch (c.kind) {
    case Kind::Button:
        return this->*c.button;
    case Kind::CheckBox:
        return this->*c.box;
    case Kind::Option:
        return Option1[size_t(c.option)];
    case Kind::DisplayLabel:
        return this->*c.label;
    case Kind::Field:
        break;
    }
    return Text1;
}

QWidget* RDData::makeControl(const controls::Control& c, QWidget* parent) {
    using controls::Kind;
    const QString caption = QString::fromLatin1(c.caption ? c.caption : "");
    switch (c.kind) {
    case Kind::Button:
        this->*c.button = namedButton(caption, QString::fromLatin1(c.name), parent);
        break;
    case Kind::CheckBox: {
        auto* box = new QCheckBox(caption, parent);
        box->setAccessibleName(caption);
        // "ON" alone says little: the frame's title tells what is switched.
        if (auto* frame = qobject_cast<QGroupBox*>(parent))
            box->setAccessibleDescription(frame->title());
        box->setChecked(c.state == controls::State::Ticked);
        this->*c.box = box;
        break;
    }
    case Kind::Option:
        Option1[size_t(c.option)] = new QRadioButton(caption, parent);
        Option1[size_t(c.option)]->setAccessibleName(caption);
        break;
    case Kind::DisplayLabel:
        this->*c.label = displayLabel(c.name, parent);
        break;
    case Kind::Field:
        Text1 = new RichTextField(parent);
        Text1->setAccessibleName(caption);
        Text1->setMinimumSize(265, 297);
        break;
    }
    QWidget* made = control(c);
    made->setObjectName(QString::fromLatin1(c.name));
    if (c.state == controls::State::Disabled) made->setEnabled(false);
    return made;
}

void RDData::buildLayout() {
    using controls::Place;
    std::map<Place, QWidget*> containers;
    for (const controls::Group& g : controls::groups()) {
        auto* frame = new QGroupBox(QString::fromLatin1(g.caption), this);
        frame->setObjectName(QString::fromLatin1(g.name));
        frame->setAccessibleName(frame->title());
        this->*g.member = frame;
        containers[g.place] = frame;
    }
    Shape2 = new QFrame(this);
    Shape2->setObjectName(QStringLiteral("Shape2"));
    Shape2->setFrameShape(QFrame::Box);
    containers[Place::Field] = Shape2;
    auto* fieldHeader = new QGridLayout;
    auto* fieldFooter = new QGridLayout;

    // Each control into the grid of its place, in the order of the table.
    std::map<Place, QGridLayout*> grids = {{Place::FieldHeader, fieldHeader},
                                           {Place::FieldFooter, fieldFooter}};
    QWidget* previous = nullptr;
    for (const controls::Control& c : controls::table()) {
        const auto container = containers.find(c.place);
        QWidget* parent = container == containers.end() ? this : container->second;
        QGridLayout*& grid = grids[c.place];
        if (!grid) grid = new QGridLayout(parent);
        QWidget* made = makeControl(c, parent);
        grid->addWidget(made, c.row, c.column);
        // The tab order is the order of the table.
        if (c.kind == controls::Kind::DisplayLabel) continue;
        if (previous) setTabOrder(previous, made);
        previous = made;
    }
    grids[Place::Port]->setColumnStretch(1, 1);
    fieldFooter->setColumnStretch(1, 1);

    Label1 = new QLabel(QStringLiteral("Data from/to KRT 418"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    QFont bold = Label1->font();
    bold.setBold(true);
    Label1->setFont(bold);
    fieldHeader->addWidget(Label1, 0, 0);
    fieldHeader->setColumnStretch(0, 1);

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

    // Right: the data field with its own controls around it, and the find
    // bar under it while it is open.
    find_ = new FieldFind(Text1, this);
    Text1->setToolTip(QStringLiteral("Ctrl+F finds a text in this field"));
    auto* right = new QVBoxLayout;
    right->addLayout(fieldHeader);
    right->addWidget(Shape2, 1);
    right->addWidget(find_->bar());
    right->addLayout(fieldFooter);

    auto* columns = new QHBoxLayout;
    columns->addLayout(left, 0);
    columns->addLayout(right, 1);
    auto* outer = new QVBoxLayout(this);
    outer->addLayout(columns, 1);
    outer->addWidget(Myhelp);
}

void RDData::connectHandlers() {
    connect(Timer1, &QTimer::timeout, this, &RDData::Timer1_Timer);
    connect(MSComm1, &SerialPortComponent::bytesArrived, this, &RDData::onBytesArrived);
    connect(MSComm1, &SerialPortComponent::portLost, this, &RDData::onPortLost);
    connect(Text1, &RichTextField::changed, this, &RDData::Text1_Change);
    connect(new QShortcut(QKeySequence::Find, this), &QShortcut::activated, find_,
            &FieldFind::open);
    // Back to following the end once no match is held in view.
    connect(find_, &FieldFind::closed, this, [this] {
        if (scroll->isChecked()) Text1->setSelStart(Text1->length());
    });

    for (const controls::Control& c : controls::table()) {
        if (c.kind == controls::Kind::Option) {
            connectPortOption(c.option);
        } else if (c.handler && c.kind == controls::Kind::Button) {
            connect(this->*c.button, &QPushButton::clicked, this, c.handler);
        } else if (c.handler && c.kind == controls::Kind::CheckBox) {
            // Whatever changes a box for the operator (mouse, keyboard,
            // assistive technology) sends, as a click does; the program
            // never sets them itself.
            connect(this->*c.box, &QCheckBox::toggled, this, c.handler);
        }
    }
    installPortMenus();
}

void RDData::connectPortOption(int i) {
    // A port is chosen when its button turns on, however that happens; a
    // click on the button already on changes nothing and re-opens all the same.
    QRadioButton* o = Option1[size_t(i)];
    auto wasOn = std::make_shared<bool>(false);
    connect(o, &QRadioButton::pressed, this, [o, wasOn] { *wasOn = o->isChecked(); });
    connect(o, &QRadioButton::toggled, this, [this, i](bool on) {
        if (on) Option1_Click(i);
    });
    connect(o, &QRadioButton::clicked, this, [this, i, wasOn] {
        if (*wasOn) Option1_Click(i);
    });
}

void RDData::Form_Load() {
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
    appendInCurrentColour(text);
}

void RDData::appendInCurrentColour(const QString& text) {
    // What the program writes starts a line of its own: the device's line
    // may still be open, and a title glued to its end would read as the
    // device's. The rest of the device's line follows on the next line.
    const bool glued = Text1->lastLineOpen() && !text.startsWith(QLatin1Char('\r')) &&
                       !text.startsWith(QLatin1Char('\n'));
    Text1->setSelText(glued ? QStringLiteral("\r\n") + text : text);
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
