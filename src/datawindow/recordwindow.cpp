#include "datawindow/recordwindow.h"

#include "datawindow/fieldviews.h"
#include "datawindow/savelog.h"
#include "link/wirerecord.h"
#include "logview/byteview.h"
#include "logview/fieldfind.h"
#include "logview/findbar.h"
#include "logview/richtextfield.h"
#include "platform/controls.h"
#include "platform/seams.h"
#include "session/recordreader.h"

#include <QCheckBox>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QShortcut>
#include <QTimer>
#include <QVBoxLayout>

#include <cstdio>

namespace {
// What one step reads: a few MB, some tens of ms, so the desktop stays
// answered while a large record comes in.
constexpr qint64 kStepBytes = 2 * 1024 * 1024;

void tellErrorOutput(const QString& line) {
    std::fprintf(stderr, "krt418: %s\n", line.toLocal8Bit().constData());
    std::fflush(stderr);
}
} // namespace

RecordWindow* RecordWindow::open(const QString& path) {
    auto* w = new RecordWindow(path);
    w->show();
    w->raise();
    w->activateWindow();
    return w;
}

RecordWindow* RecordWindow::choose(QWidget* parent, const QString& sessionsFolder) {
    const QString path = platform::chooseRecordToOpen(parent, sessionsFolder);
    return path.isEmpty() ? nullptr : open(path);
}

RecordWindow::RecordWindow(const QString& path, QWidget* parent)
    : QWidget(parent, Qt::Window), path_(path), wire_(std::make_unique<WireRecord>()) {
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("RecordWindow"));
    const QString fileName = QFileInfo(path).fileName();
    setWindowTitle(fileName + QStringLiteral(" - Session"));

    title_ = new QLabel(QDir::toNativeSeparators(path), this);
    title_->setObjectName(QStringLiteral("Label1"));
    QFont bold = title_->font();
    bold.setBold(true);
    title_->setFont(bold);

    auto* frame = new QFrame(this);
    frame->setFrameShape(QFrame::Box);
    auto* cell = new QGridLayout(frame);
    field_ = new RichTextField(frame);
    field_->setObjectName(QStringLiteral("Text1"));
    field_->setAccessibleName(QStringLiteral("Data from/to KRT 418"));
    field_->setMinimumSize(400, 297);
    bytes_ = new ByteView(*wire_, frame);
    bytes_->setObjectName(QStringLiteral("ByteView"));
    bytes_->setAccessibleName(QStringLiteral("Bytes from/to KRT 418"));
    bytes_->hide();
    cell->addWidget(field_, 0, 0);
    cell->addWidget(bytes_, 0, 0);
    find_ = new FieldFind(field_, this);
    find_->addBytes(bytes_);
    connect(new QShortcut(QKeySequence::Find, this), &QShortcut::activated, find_,
            &FieldFind::open);

    times_ = new QCheckBox(QStringLiteral("&Times"), this);
    times_->setObjectName(QStringLiteral("Times"));
    times_->setAccessibleName(QStringLiteral("Times"));
    showBytes_ = new QCheckBox(QStringLiteral("&Bytes"), this);
    showBytes_->setObjectName(QStringLiteral("Bytes"));
    showBytes_->setAccessibleName(QStringLiteral("Bytes"));
    save_ = namedButton("Save mesures ...", "Command3", this);
    save_->setEnabled(false);
    close_ = namedButton("Close", "Command1", this);
    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("Myhelp"));
    status_->setFrameShape(QFrame::Box);
    status_->setWordWrap(true);
    status_->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* footer = new QHBoxLayout;
    footer->addWidget(times_);
    footer->addWidget(showBytes_);
    footer->addStretch(1);
    footer->addWidget(save_);
    footer->addWidget(close_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(title_);
    layout->addWidget(frame, 1);
    layout->addWidget(find_->bar());
    layout->addLayout(footer);
    layout->addWidget(status_);
    setTabOrder(field_, bytes_);
    setTabOrder(bytes_, times_);
    setTabOrder(times_, showBytes_);
    setTabOrder(showBytes_, save_);
    setTabOrder(save_, close_);

    new FieldViews({field_, bytes_, times_, showBytes_, nullptr, find_}, this);
    connect(save_, &QPushButton::clicked, this, &RecordWindow::save);
    connect(close_, &QPushButton::clicked, this, &QWidget::close);
    resize(760, 560);

    RecordReader::Sink sink;
    sink.header = [this, fileName](const RecordReader::Header& h) {
        const QString opened = QLocale::system().toString(
            QDateTime::fromMSecsSinceEpoch(h.openedMs), QLocale::ShortFormat);
        setWindowTitle(fileName + QStringLiteral(" - Session of ") + opened);
        title_->setText(QStringLiteral("Session of %1 on COM%2 (%3, %4)")
                            .arg(opened)
                            .arg(h.com)
                            .arg(QDir::toNativeSeparators(h.device), h.settings));
    };
    sink.field = [this](const QString& text, int colour, qint64 timeMs) {
        if (colour != colour_) flushTexts();
        colour_ = colour;
        texts_.append(text);
        times_ms_.append(timeMs);
    };
    sink.wire = [this](bool sent, const QByteArray& bytes, qint64 timeMs) {
        wire_->append(sent ? WireRecord::Direction::Sent : WireRecord::Direction::Received, bytes,
                      timeMs);
    };
    sink.clear = [this](qint64) {
        flushTexts();
        field_->addPlaceMark(field_->length());
    };
    reader_ = std::make_unique<RecordReader>(sink);
    stepper_ = new QTimer(this);
    stepper_->setInterval(0);
    connect(stepper_, &QTimer::timeout, this, &RecordWindow::readStep);

    const QString refused = reader_->open(path);
    if (!refused.isEmpty()) {
        status_->setText(reader_->summary());
        // The window still opens, empty, so the reason stands where it was asked for.
        QTimer::singleShot(0, this, &RecordWindow::finishReading);
        return;
    }
    status_->setText(QStringLiteral("Reading %1 ...").arg(QDir::toNativeSeparators(path)));
    stepper_->start();
}

RecordWindow::~RecordWindow() = default;

bool RecordWindow::reading() const {
    return outcome_.isEmpty();
}

void RecordWindow::readStep() {
    const bool more = reader_->step(kStepBytes);
    flushTexts();
    bytes_->recordChanged();
    if (more) {
        const qint64 size = std::max<qint64>(1, reader_->size());
        status_->setText(QStringLiteral("Reading %1 ... %2 %")
                             .arg(QDir::toNativeSeparators(path_))
                             .arg(reader_->position() * 100 / size));
        return;
    }
    stepper_->stop();
    finishReading();
}

void RecordWindow::flushTexts() {
    if (texts_.isEmpty()) return;
    field_->setSelColor(colour_);
    field_->setSelTexts(texts_, times_ms_);
    texts_.clear();
    times_ms_.clear();
}

void RecordWindow::finishReading() {
    outcome_ = reader_->summary();
    status_->setText(outcome_);
    // A record read whole without a fault says so here only; anything else
    // is told on the error output too, for a record opened from a terminal.
    if (!reader_->refusal().isEmpty() || reader_->skippedLines() > 0)
        tellErrorOutput(QDir::toNativeSeparators(path_) + QStringLiteral(": ") + outcome_);
    save_->setEnabled(field_->length() > 0);
    field_->followNow();
    emit readDone();
}

void RecordWindow::save() {
    const QByteArray bytes = fieldFileBytes(field_);
    const QString fileName = platform::chooseFileToSave(this, QString::fromLatin1(kSaveFileTypes),
                                                        QFileInfo(path_).completeBaseName());
    if (fileName.isEmpty()) return;
    const QString failure = writeWhole(fileName, bytes);
    status_->setText(failure.isEmpty()
                         ? QStringLiteral("Saved to %1.").arg(QDir::toNativeSeparators(fileName))
                         : QStringLiteral(">> SAVE ERROR: %1: %2 <<")
                               .arg(QDir::toNativeSeparators(fileName), failure));
}
