#include "dialogs/manualwindow.h"

#include "datawindow/rddata.h"
#include "link/linesettings.h"
#include "logview/colours.h"
#include "platform/controls.h"
#include "platform/regularfile.h"
#include "platform/seams.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <limits>

QPointer<ManualWindow> ManualWindow::instance_;

namespace {
const QString kCrLf = QStringLiteral("\r\n");
const QString kLf = QStringLiteral("\n");

QString titleLine(const char* title) {
    return QString::fromLatin1(title) + kCrLf;
}
} // namespace

ManualWindow* ManualWindow::instance() {
    return single(instance_, [] { return new ManualWindow(); });
}

ManualWindow* ManualWindow::existing() {
    return live(instance_);
}

ManualWindow::ManualWindow()
    : DataWindowDialog(QStringLiteral("ManualWindow"), QStringLiteral("Manual command ...")) {
    // A fixed dialog frame, no minimise or maximise, no task-bar entry.
    setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    buildLayout();
    connectHandlers();
}

ManualWindow::~ManualWindow() {
    if (instance_ == this) instance_ = nullptr;
}

void ManualWindow::buildLayout() {
    commandtosend = new QLineEdit(this);
    commandtosend->setObjectName(QStringLiteral("commandtosend"));
    commandtosend->setAccessibleName(QStringLiteral("Command to send:"));
    // No length limit of its own (the line edit's default is 32767).
    commandtosend->setMaxLength(std::numeric_limits<int>::max());

    Label1 = new QLabel(QStringLiteral("Command to send:"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setAccessibleName(Label1->text());
    Label1->setBuddy(commandtosend);

    // Enter presses "Command to KRT" unless the focus is on another button
    // (a dialog's buttons are auto-default).
    Command1 = namedButton("Command to KRT", "Command1", this);
    Command1->setDefault(true);
    Command2 = namedButton("Close", "Command2", this);
    Command3 = namedButton("Send to Printer", "Command3", this);
    Command4 = namedButton("Send to Run.Time", "Command4", this);
    Command5 = namedButton("Import text file...", "Command5", this);
    Command6 = namedButton("Link Printer", "Command6", this);
    Command7 = namedButton("Link Line", "Command7", this);
    Command8 = namedButton("Link Off", "Command8", this);
    Command9 = namedButton("Send text", "Command9", this);

    Line1 = new QFrame(this);
    Line1->setObjectName(QStringLiteral("Line1"));
    Line1->setFrameShape(QFrame::HLine);
    Line1->setFrameShadow(QFrame::Sunken);

    auto* grid = new QGridLayout(this);
    grid->addWidget(Label1, 0, 0);
    grid->addWidget(commandtosend, 0, 1, 1, 2);
    grid->addWidget(Command3, 1, 0);
    grid->addWidget(Command4, 1, 1);
    grid->addWidget(Command1, 1, 2);
    grid->addWidget(Command6, 2, 0);
    grid->addWidget(Command7, 2, 1);
    grid->addWidget(Command8, 2, 2);
    grid->addWidget(Command9, 3, 1);
    grid->addWidget(Line1, 4, 0, 1, 3);
    grid->addWidget(Command5, 5, 0);
    grid->addWidget(Command2, 5, 2);

    // Three columns of equal width: as wide as the widest button or the label,
    // measured in the style and font they will be shown with.
    ensurePolished();
    int width = Label1->sizeHint().width();
    for (auto* b :
         {Command1, Command2, Command3, Command4, Command5, Command6, Command7, Command8, Command9})
        width = qMax(width, b->sizeHint().width());
    for (int column = 0; column < 3; ++column) {
        grid->setColumnMinimumWidth(column, width);
        grid->setColumnStretch(column, 1);
    }
    grid->setSizeConstraint(QLayout::SetFixedSize);

    QList<QWidget*> order = {commandtosend, Command1, Command2, Command3, Command4,
                             Command5,      Command6, Command7, Command8, Command9};
    for (int i = 0; i + 1 < order.size(); ++i)
        setTabOrder(order[i], order[i + 1]);
    commandtosend->setFocus();
}

void ManualWindow::connectHandlers() {
    connect(Command1, &QPushButton::clicked, this, &ManualWindow::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &ManualWindow::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &ManualWindow::Command3_Click);
    connect(Command4, &QPushButton::clicked, this, &ManualWindow::Command4_Click);
    connect(Command5, &QPushButton::clicked, this, &ManualWindow::Command5_Click);
    connect(Command6, &QPushButton::clicked, this, &ManualWindow::Command6_Click);
    connect(Command7, &QPushButton::clicked, this, &ManualWindow::Command7_Click);
    connect(Command8, &QPushButton::clicked, this, &ManualWindow::Command8_Click);
    connect(Command9, &QPushButton::clicked, this, &ManualWindow::Command9_Click);
}

void ManualWindow::Form_Load() {
    disableDataField();
}

void ManualWindow::closingSequence() {
    // Closing enables the data field again and gives it the focus.
    busy_ = false;
    close();
}

void ManualWindow::closeEvent(QCloseEvent* event) {
    // A message button is between its writes: it closes the window itself.
    if (busy_) {
        event->ignore();
        return;
    }
    // "Import text file..." is open over this window: cancel it first.
    if (platform::fileDialogRunning()) {
        platform::closeAfterFileDialog(this);
        event->ignore();
        return;
    }
    DataWindowDialog::closeEvent(event);
}

void ManualWindow::reject() {
    Command2_Click();
}

void ManualWindow::Command2_Click() {
    if (busy_) return;
    closingSequence();
}

// Free command: the typed text framed and checksummed. The image goes into
// the data field before the frame goes out.
void ManualWindow::Command1_Click() {
    if (busy_) return;
    if (RDData* dataWindow = RDData::existing()) {
        const QByteArray payload = krt::toWire(commandtosend->text());
        dataWindow->append(titleLine(krt::title::KrtCommand), colour::Black);
        dataWindow->append(krt::frameImage(payload) + kCrLf, colour::Red);
        dataWindow->send(krt::buildFrame(payload));
    }
    commandtosend->clear();
    closingSequence();
}

// Link buttons: the typed text is discarded, not sent.
void ManualWindow::sendLink(krt::Cmd link) {
    if (busy_) return;
    if (RDData* dataWindow = RDData::existing()) {
        const krt::Command& c = krt::command(link);
        dataWindow->sendTitledFrame(QString::fromLatin1(c.title), c.payload, kLf);
    }
    commandtosend->clear();
    closingSequence();
}

void ManualWindow::Command6_Click() {
    sendLink(krt::Cmd::LinkPrinter);
}
void ManualWindow::Command7_Click() {
    sendLink(krt::Cmd::LinkLine);
}
void ManualWindow::Command8_Click() {
    sendLink(krt::Cmd::LinkOff);
}

// Send text: the text and a carriage return, unframed. The title and the text
// are both black.
void ManualWindow::Command9_Click() {
    if (busy_) return;
    if (RDData* dataWindow = RDData::existing()) {
        const QByteArray bytes = krt::toWire(commandtosend->text());
        dataWindow->append(titleLine(krt::title::SendText), colour::Black);
        dataWindow->appendInCurrentColour(krt::fromWire(bytes) + kCrLf);
        dataWindow->send(bytes + '\r');
    }
    commandtosend->clear();
    closingSequence();
}

void ManualWindow::Command3_Click() {
    sendMessage(true);
}
void ManualWindow::Command4_Click() {
    sendMessage(false);
}

// A message for the printer or the running-time display: link frame, pause,
// then text and "LX" in one write. The device's answer to the link frame is
// let in between the link image and the message text.
void ManualWindow::sendMessage(bool toPrinter) {
    if (busy_) return;
    QPointer<RDData> dataWindow = RDData::existing();
    if (!dataWindow) {
        closingSequence();
        return;
    }
    busy_ = true;
    // The message is what the field held when the button was pressed.
    const QByteArray message = krt::toWire(commandtosend->text());
    const QByteArray link(
        krt::command(toPrinter ? krt::Cmd::LinkPrinter : krt::Cmd::LinkLine).payload);
    const QByteArray linkOff(krt::command(krt::Cmd::LinkOff).payload);

    dataWindow->append(
        titleLine(toPrinter ? krt::title::PrinterMessage : krt::title::RunningTimeMessage),
        colour::Black);
    if (!dataWindow->send(krt::buildFrame(link))) {
        closingSequence();
        return;
    }
    dataWindow->append(krt::frameImage(link) + kLf, colour::Red);
    platform::sleep(krt::line::MessagePauseMs);

    QPointer<ManualWindow> self(this);
    QApplication::processEvents();
    // The receive loop's tick is started by the arrival itself, so on the
    // pass that notices the bytes it is not yet due: give it its turn.
    if (dataWindow && dataWindow->receivePassDue()) QApplication::processEvents();
    // The data window may have been unloaded meanwhile, and this window with it.
    if (!self) return;
    if (!dataWindow) {
        busy_ = false;
        close();
        return;
    }

    dataWindow->append(krt::fromWire(message) + kCrLf, colour::Green);
    platform::sleep(krt::line::MessagePauseMs);
    QByteArray bytes = message;
    if (toPrinter) bytes += '\r';
    bytes += krt::buildFrame(linkOff);
    if (dataWindow->send(bytes)) {
        dataWindow->append(krt::frameImage(linkOff) + kLf, colour::Red);
        platform::sleep(toPrinter ? krt::line::PrinterEndPauseMs
                                  : krt::line::RunningTimeEndPauseMs);
    }
    commandtosend->clear();
    closingSequence();
}

void ManualWindow::reportImportFailure(const QString& fileName, const QString& reason) {
    if (RDData* dataWindow = RDData::existing())
        dataWindow->appendActionLine(QStringLiteral(">> IMPORT FAILED: ") +
                                     QDir::toNativeSeparators(fileName) + QStringLiteral(": ") +
                                     reason + QStringLiteral(" <<") + kCrLf);
}

namespace {

// The whole file, when it is a regular one within the limit and holds text.
// Returns the reason for a refusal, or an empty string.
QString readImportFile(const QString& fileName, QByteArray& bytes) {
    QFile file;
    const QString refusal = platform::openRegularFile(fileName, file);
    if (!refusal.isEmpty()) return refusal;
    // One byte past the limit tells a file that is too large.
    bytes = file.read(ManualWindow::ImportLimit + 1);
    if (file.error() != QFileDevice::NoError) return file.errorString();
    if (bytes.size() > ManualWindow::ImportLimit)
        return QStringLiteral("larger than 1 MiB, not a command text");
    if (bytes.contains('\0')) return QStringLiteral("holds NUL bytes, not a text file");
    return QString();
}

} // namespace

// Import: the whole file, line ends and all, becomes the text field's content.
void ManualWindow::Command5_Click() {
    if (busy_) return;
    QPointer<ManualWindow> self(this);
    const QString fileName = platform::chooseFileToOpen(this);
    // While the file dialog ran, the data window may have been unloaded.
    if (!self || fileName.isEmpty()) return;

    QByteArray bytes;
    const QString failure = readImportFile(fileName, bytes);
    if (!failure.isEmpty()) {
        reportImportFailure(fileName, failure);
        return;
    }
    commandtosend->setText(krt::fromWire(bytes));
}
