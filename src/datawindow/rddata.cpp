#include "datawindow/rddata.h"

#include "datawindow/controltable.h"
#include "datawindow/fieldviews.h"
#include "datawindow/journalhookup.h"
#include "datawindow/portmenu.h"
#include "datawindow/receiveloop.h"
#include "datawindow/recordwindow.h"
#include "datawindow/wrappedlines.h"
#include "link/frame.h"
#include "link/linesettings.h"
#include "link/portbinding.h"
#include "link/receive.h"
#include "link/serialportcomponent.h"
#include "link/sessionclock.h"
#include "link/wirerecord.h"
#include "logview/byteview.h"
#include "logview/colours.h"
#include "logview/fieldfind.h"
#include "logview/findbar.h"
#include "logview/richtextfield.h"
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
#include <QSet>
#include <QShortcut>
#include <QTimer>
#include <QVBoxLayout>

#include <map>
#include <memory>
#include <optional>
#include <type_traits>
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

RDData* RDData::instance(std::shared_ptr<krt::PortBindings> ports, const krt::Options& options) {
    if (!instance_) {
        instance_ = new RDData(std::move(ports));
        instance_->options_ = options;
        instance_->journal_ =
            new JournalHookup(options.journal, instance_->clock_->startMs(), instance_);
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

template <typename T> T* RDData::part(const char* name) const {
    const auto found = parts_.find(QLatin1String(name));
    T* p = found == parts_.end() ? nullptr : qobject_cast<T*>(found->second);
    if (!p) qFatal("The data window has no part %s of that kind", name);
    return p;
}

// Each named member is bound to the part of its own name.
#define KRT418_PART(member)                                                                        \
    member(part<std::remove_pointer_t<std::remove_cv_t<decltype(member)>>>(#member))

RDData::RDData(std::shared_ptr<krt::PortBindings> ports)
    : QWidget(nullptr), clock_(std::make_unique<SessionClock>(platform::now())),
      wire_(std::make_unique<WireRecord>()), parts_(makeParts(this, *wire_)),
      KRT418_PART(FrameQuery), KRT418_PART(GetDate), KRT418_PART(MemFree), KRT418_PART(ViewP),
      KRT418_PART(FrameCommands), KRT418_PART(SetDate), KRT418_PART(SetDefaults),
      KRT418_PART(NewSession), KRT418_PART(UploadTimes), KRT418_PART(UploadPrint),
      KRT418_PART(ClearMemory), KRT418_PART(FrameBuzzer), KRT418_PART(buzzer),
      KRT418_PART(FrameLockInput), KRT418_PART(lockinput), KRT418_PART(FrameIO),
      KRT418_PART(Manual), KRT418_PART(FrameLockTimes), KRT418_PART(Channel1),
      KRT418_PART(Channel4), KRT418_PART(Others), KRT418_PART(Lch1), KRT418_PART(Lch4),
      KRT418_PART(Lothers), KRT418_PART(FrameRunTime), KRT418_PART(AccuracyR),
      KRT418_PART(TaccuracyR), KRT418_PART(FramePrinter), KRT418_PART(AccuracyP),
      KRT418_PART(TaccuracyP), KRT418_PART(FramePort), Option1{part<QRadioButton>("Option1_0"),
                                                               part<QRadioButton>("Option1_1")},
      KRT418_PART(Command2), KRT418_PART(Command6), KRT418_PART(scroll), KRT418_PART(Times),
      KRT418_PART(Bytes), KRT418_PART(Label1), KRT418_PART(Command5), KRT418_PART(Command4),
      KRT418_PART(Shape2), KRT418_PART(Text1), KRT418_PART(Command3), KRT418_PART(Command1),
      KRT418_PART(Myhelp), KRT418_PART(Timer1), KRT418_PART(MSComm1), ports_(std::move(ports)),
      find_(part<FieldFind>("FieldFind")), byteView_(part<ByteView>("ByteView")) {
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Read Data"));
    setObjectName(QStringLiteral("RDData"));
    MSComm1->setBindings(ports_);
    // "1 ms, or the shortest tick the platform gives": a zero timer, and it
    // runs only while bytes are waiting, so an idle line costs nothing.
    Timer1->setInterval(0);
    const SessionClock* clock = clock_.get();
    Text1->setClock([clock] { return clock->nowMs(); });
    find_->addBytes(byteView_);
    views_ = new FieldViews({Text1, byteView_, Times, Bytes, scroll, find_}, this);
    receive_ = new ReceiveLoop(
        {MSComm1, Timer1, Text1, scroll, find_, byteView_},
        {[this] { return now(); },
         [this](const QByteArray& chunk, qint64 at) { recordWire(false, chunk, at); },
         [this](PortError error) { onPortLost(error, QString()); }},
        this);
    connectHandlers();
    installCursors();
    installContextHelp();
    receive_->setEnabled(true);
}

#undef KRT418_PART

qint64 RDData::now() const {
    return clock_->nowMs();
}

void RDData::recordWire(bool sent, const QByteArray& bytes, qint64 timeMs) {
    wire_->append(sent ? WireRecord::Direction::Sent : WireRecord::Direction::Received, bytes,
                  timeMs);
    if (journal_) journal_->wire(sent, bytes, timeMs);
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
    // The port's close is the session record's last event.
    if (MSComm1->portOpen()) MSComm1->setPortOpen(false);
    if (journal_) journal_->finish();
    for (const QPointer<QWidget>& dialog : std::exchange(dialogs_, {})) {
        if (dialog) {
            dialog->hide();
            dialog->deleteLater();
        }
    }
}

namespace {

QLabel* displayLabel(QWidget* parent) {
    auto* l = new QLabel(parent);
    l->setFrameShape(QFrame::Box);
    l->setAlignment(Qt::AlignCenter);
    l->setMinimumHeight(l->fontMetrics().height() + 4);
    return l;
}

QWidget* makeControl(const controls::Control& c, QWidget* parent) {
    using controls::Kind;
    const QString caption = QString::fromLatin1(c.caption ? c.caption : "");
    QWidget* made = nullptr;
    switch (c.kind) {
    case Kind::Button:
        made = namedButton(caption, QString::fromLatin1(c.name), parent);
        break;
    case Kind::CheckBox: {
        auto* box = new QCheckBox(caption, parent);
        // Read out without the mark of its key ("&Times": Alt+T).
        box->setAccessibleName(QString(caption).remove(QLatin1Char('&')));
        // "ON" alone says little: the frame's title tells what is switched.
        if (auto* frame = qobject_cast<QGroupBox*>(parent))
            box->setAccessibleDescription(frame->title());
        box->setChecked(c.state == controls::State::Ticked);
        made = box;
        break;
    }
    case Kind::Option:
        made = new QRadioButton(caption, parent);
        made->setAccessibleName(caption);
        break;
    case Kind::DisplayLabel:
        made = displayLabel(parent);
        break;
    case Kind::Field:
        made = new RichTextField(parent);
        made->setAccessibleName(caption);
        made->setMinimumSize(265, 297);
        break;
    }
    made->setObjectName(QString::fromLatin1(c.name));
    if (c.state == controls::State::Disabled) made->setEnabled(false);
    return made;
}

} // namespace

QWidget* RDData::control(const controls::Control& c) const {
    return part<QWidget>(c.name);
}

std::map<QString, QObject*> RDData::makeParts(QWidget* window, const WireRecord& wire) {
    using controls::Place;
    std::map<QString, QObject*> parts;
    const auto add = [&parts](QObject* made, const char* name) {
        made->setObjectName(QString::fromLatin1(name));
        parts[made->objectName()] = made;
    };
    add(new SerialPortComponent(window), "MSComm1");
    add(new QTimer(window), "Timer1");

    std::map<Place, QWidget*> containers;
    for (const controls::Group& g : controls::groups()) {
        auto* frame = new QGroupBox(QString::fromLatin1(g.caption), window);
        frame->setAccessibleName(frame->title());
        add(frame, g.name);
        containers[g.place] = frame;
    }
    auto* shape2 = new QFrame(window);
    shape2->setFrameShape(QFrame::Box);
    add(shape2, "Shape2");
    containers[Place::Field] = shape2;
    auto* fieldHeader = new QGridLayout;
    auto* fieldFooter = new QGridLayout;

    // Each control into the grid of its place, in the order of the table.
    std::map<Place, QGridLayout*> grids = {{Place::FieldHeader, fieldHeader},
                                           {Place::FieldFooter, fieldFooter}};
    QWidget* previous = nullptr;
    for (const controls::Control& c : controls::table()) {
        const auto container = containers.find(c.place);
        QWidget* parent = container == containers.end() ? window : container->second;
        QGridLayout*& grid = grids[c.place];
        if (!grid) grid = new QGridLayout(parent);
        QWidget* made = makeControl(c, parent);
        add(made, c.name);
        grid->addWidget(made, c.row, c.column);
        // The tab order is the order of the table.
        if (c.kind == controls::Kind::DisplayLabel) continue;
        if (previous) QWidget::setTabOrder(previous, made);
        previous = made;
    }
    // The byte view takes the field's place when the operator asks for it,
    // and its turn of Tab.
    auto* bytes = new ByteView(wire, shape2);
    add(bytes, "ByteView");
    bytes->setAccessibleName(QStringLiteral("Bytes from/to KRT 418"));
    bytes->setMinimumSize(265, 297);
    bytes->hide();
    grids[Place::Field]->addWidget(bytes, 0, 0);
    QWidget::setTabOrder(qobject_cast<QWidget*>(parts.at(QStringLiteral("Text1"))), bytes);
    grids[Place::Port]->setColumnStretch(1, 1);
    fieldFooter->setColumnStretch(3, 1);

    auto* label1 = new QLabel(QStringLiteral("Data from/to KRT 418"), window);
    add(label1, "Label1");
    QFont bold = label1->font();
    bold.setBold(true);
    label1->setFont(bold);
    fieldHeader->addWidget(label1, 0, 0);
    fieldHeader->setColumnStretch(0, 1);

    auto* help = new QLabel(window);
    add(help, "Myhelp");
    help->setFrameShape(QFrame::Box);
    help->setAutoFillBackground(true);
    QPalette helpPalette = help->palette();
    helpPalette.setColor(QPalette::Window, QColor(0x80, 0x80, 0x80));
    helpPalette.setColor(QPalette::WindowText, Qt::white);
    help->setPalette(helpPalette);
    help->setAccessibleDescription(QStringLiteral("Help"));

    // Left: the command groups, as the operator reads them top to bottom.
    const auto frame = [&containers](Place place) { return containers.at(place); };
    auto* left = new QVBoxLayout;
    left->addWidget(frame(Place::Query));
    left->addWidget(frame(Place::Commands));
    auto* switches = new QHBoxLayout;
    switches->addWidget(frame(Place::Buzzer));
    switches->addWidget(frame(Place::LockInput));
    switches->addWidget(frame(Place::IO));
    left->addLayout(switches);
    left->addWidget(frame(Place::LockTimes));
    auto* accuracies = new QHBoxLayout;
    accuracies->addWidget(frame(Place::RunTime));
    accuracies->addWidget(frame(Place::Printer));
    accuracies->addStretch(1);
    left->addLayout(accuracies);
    left->addWidget(frame(Place::Port));
    left->addStretch(1);

    // Right: the data field with its own controls around it, and the find
    // bar under it while it is open.
    auto* field = qobject_cast<RichTextField*>(parts.at(QStringLiteral("Text1")));
    auto* find = new FieldFind(field, window);
    add(find, "FieldFind");
    field->setToolTip(QStringLiteral("Ctrl+F finds a text in this field"));
    auto* right = new QVBoxLayout;
    right->addLayout(fieldHeader);
    right->addWidget(shape2, 1);
    right->addWidget(find->bar());
    right->addLayout(fieldFooter);

    auto* columns = new QHBoxLayout;
    columns->addLayout(left, 0);
    columns->addLayout(right, 1);
    auto* outer = new QVBoxLayout(window);
    outer->addLayout(columns, 1);
    outer->addWidget(help);
    return parts;
}

void RDData::connectHandlers() {
    connect(Timer1, &QTimer::timeout, this, &RDData::Timer1_Timer);
    connect(MSComm1, &SerialPortComponent::portLost, this, &RDData::onPortLost);
    connect(Text1, &RichTextField::changed, this, &RDData::Text1_Change);
    connect(new QShortcut(QKeySequence::Find, this), &QShortcut::activated, find_,
            &FieldFind::open);
    connect(new QShortcut(QKeySequence::Open, this), &QShortcut::activated, this,
            &RDData::Command4_Click);
    // Back to following the end once no match is held in view.
    connect(find_, &FieldFind::closed, this, [this] {
        if (scroll->isChecked()) Text1->setSelStart(Text1->length());
    });

    // The controls with a behaviour of their own; every other row that
    // names a command sends it as it stands.
    struct Handler {
        const char* control;
        void (RDData::*slot)();
    };
    static const Handler ownHandlers[] = {
        {"ViewP", &RDData::ViewP_Click},
        {"SetDefaults", &RDData::SetDefaults_Click},
        {"ClearMemory", &RDData::ClearMemory_Click},
        {"SetDate", &RDData::SetDate_Click},
        {"Manual", &RDData::Manual_Click},
        {"Channel1", &RDData::Channel1_Click},
        {"Channel4", &RDData::Channel4_Click},
        {"Others", &RDData::Others_Click},
        {"AccuracyR", &RDData::AccuracyR_Click},
        {"AccuracyP", &RDData::AccuracyP_Click},
        {"Command2", &RDData::Command2_Click},
        {"Command6", &RDData::Command6_Click},
        {"Command5", &RDData::Command5_Click},
        {"Command4", &RDData::Command4_Click},
        {"Command3", &RDData::Command3_Click},
        {"Command1", &RDData::Command1_Click},
    };
    QSet<QString> handled;
    for (const Handler& h : ownHandlers) {
        connect(part<QPushButton>(h.control), &QPushButton::clicked, this, h.slot);
        handled.insert(QLatin1String(h.control));
    }
    for (const controls::Control& c : controls::table()) {
        if (c.kind == controls::Kind::Option) {
            connectPortOption(c.option);
        } else if (!c.command || handled.contains(QLatin1String(c.name))) {
            continue;
        } else if (auto* box = qobject_cast<QCheckBox*>(control(c))) {
            // Whatever changes a box for the operator (mouse, keyboard,
            // assistive technology) sends, as a click does; the program
            // never sets them itself.
            connect(box, &QCheckBox::toggled, this, [this, box] { sendCommandOf(box); });
        } else {
            auto* button = part<QPushButton>(c.name);
            connect(button, &QPushButton::clicked, this, [this, button] { sendCommandOf(button); });
        }
    }
    portMenu_ = new PortMenu(ports_, this);
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
        portMenu_->appendHint(opened);
    if (ended) return;

    // The command buttons are enabled from their creation and nothing
    // disables them before this point, so start-up has none to enable: they
    // stay usable whatever the port did, and a failed command reports itself.
    Myhelp->setText(QString::fromLatin1(kHelpReady));
}

void RDData::setTimer1Enabled(bool enabled) {
    receive_->setEnabled(enabled);
}

bool RDData::timer1Enabled() const {
    return receive_->enabled();
}

void RDData::Timer1_Timer() {
    receive_->pass();
}

void RDData::Text1_Change() {
    receive_->fieldChanged();
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
    if (error == PortError::None) {
        recordWire(true, bytes, now());
        byteView_->recordChanged();
        return true;
    }
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
    return receive_->passDue();
}

void RDData::releaseDataField() {
    Text1->setEnabled(true);
    Text1->setFocus();
}

void RDData::onPortLost(PortError number, const QString&) {
    // The device went away: stop reading and say so once. A later
    // "Com1"/"Com2" opens it again when it is back. Text it sent before
    // going is still waiting: the receive loop takes it in first.
    if (receive_->holdLoss(number)) return;
    setTimer1Enabled(false);
    appendPortError(number);
    if (number == PortError::DeviceLost) watchForLostDevice();
}

bool RDData::sendCommandOf(const QAbstractButton* control) {
    const controls::Control* row = controls::find(control->objectName());
    const std::optional<krt::Cmd> id =
        row ? controls::commandFor(*row, control->isChecked()) : std::nullopt;
    if (!id) return false;
    const krt::Command& c = krt::command(*id);
    return sendFixedCommand(QString::fromLatin1(c.title), QByteArray(c.payload));
}

// The fixed command buttons send from their rows; these slots are the same
// sends for a caller of the handler by name.
void RDData::GetDate_Click() {
    sendCommandOf(GetDate);
}
void RDData::MemFree_Click() {
    sendCommandOf(MemFree);
}
void RDData::NewSession_Click() {
    sendCommandOf(NewSession);
}
void RDData::UploadTimes_Click() {
    sendCommandOf(UploadTimes);
}
void RDData::UploadPrint_Click() {
    sendCommandOf(UploadPrint);
}
void RDData::buzzer_Click() {
    sendCommandOf(buzzer);
}
void RDData::lockinput_Click() {
    sendCommandOf(lockinput);
}

void RDData::ClearMemory_Click() {
    // The one button that destroys the operator's work: it asks first.
    if (platform::confirm(this, QStringLiteral("Clear memory"),
                          QStringLiteral("Erase every time stored in the KRT 418?")))
        sendCommandOf(ClearMemory);
}

void RDData::ViewP_Click() {
    if (!sendCommandOf(ViewP)) return;
    Myhelp->setText(QStringLiteral("Ask the KRT 418 about all actual Parameters"));
}

void RDData::SetDefaults_Click() {
    if (!sendCommandOf(SetDefaults)) return;
    Myhelp->setText(QStringLiteral("Set the KRT418 to the factory default parameters"));
}

void RDData::Command4_Click() {
    RecordWindow::choose(this, options_.journal.folder);
}

void RDData::Command5_Click() {
    Text1->setText(QString());
    if (journal_) journal_->cleared(now());
    wire_->clear();
    byteView_->recordCleared();
}
