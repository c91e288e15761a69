#include "shell/krt418.h"

#include "datawindow/rddata.h"
#include "datawindow/recordwindow.h"
#include "link/portbinding.h"
#include "platform/controls.h"
#include "platform/fonts.h"
#include "platform/seams.h"
#include "shell/about.h"
#include "shell/picture.h"

#include <QCoreApplication>
#include <QGridLayout>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QShortcut>
#include <QTimer>
#include <QVBoxLayout>

namespace {

QLabel* clockLabel(const char* name, QWidget* parent) {
    auto* l = new QLabel(parent);
    l->setObjectName(QString::fromLatin1(name));
    l->setFrameShape(QFrame::Box);
    l->setAlignment(Qt::AlignCenter);
    l->setAutoFillBackground(true);
    l->setMinimumWidth(120);
    // The clock stands on the picture, but a click on it is not a click on
    // the picture.
    l->setAttribute(Qt::WA_NoMousePropagation);
    return l;
}

// The locale's long time format carries hours, minutes and seconds, and on
// some systems a time zone, which a clock on the desk does not need.
QString timeFormat() {
    QString format = QLocale::system().timeFormat(QLocale::LongFormat);
    format.remove(QLatin1Char('t'));
    return format.trimmed();
}

} // namespace

KRT418::KRT418(QWidget* parent)
    : KRT418(krt::Options{{}, krt::JournalOptions::fromSettings(), {}}, parent) {}

KRT418::KRT418(const krt::Options& options, QWidget* parent)
    : QWidget(parent), ports_(std::make_shared<krt::PortBindings>(options.ports)),
      options_(options) {
    setWindowTitle(QStringLiteral("KRT 418"));
    setObjectName(QStringLiteral("KRT418"));

    Label1 = new QLabel(QStringLiteral("KRT 418 controller 5.0"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    QFont serif(QStringLiteral("Times New Roman"));
    serif.setStyleHint(QFont::Serif);
    serif.setPointSize(14);
    Label1->setFont(serif);
    Label1->setAlignment(Qt::AlignCenter);
    Label1->setAutoFillBackground(true);
    QPalette grey = Label1->palette();
    grey.setColor(QPalette::Window, QColor(0xC0, 0xC0, 0xC0));
    grey.setColor(QPalette::WindowText, Qt::black);
    Label1->setPalette(grey);

    Image1 = new Picture(QStringLiteral(":/krt418/stopwatch.svg"), this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setMinimumSize(225, 217);
    MSGtime = clockLabel("MSGtime", Image1);
    MSGtime->setFont(platform::fixedPitchFont(QStringLiteral("Courier")));
    MSGDate = clockLabel("MSGDate", Image1);
    // The clock labels' own text is what assistive technology reads.
    MSGtime->setAccessibleDescription(QStringLiteral("Time"));
    MSGDate->setAccessibleDescription(QStringLiteral("Date"));
    // The clock stands on the stopwatch's face.
    auto* face = new QVBoxLayout(Image1);
    face->addStretch(3);
    face->addWidget(MSGtime, 0, Qt::AlignHCenter);
    face->addStretch(2);
    face->addWidget(MSGDate, 0, Qt::AlignHCenter);
    face->addStretch(2);

    Label2 = new QLabel(QStringLiteral("Used with new KRT418 (hardware version 11)"), this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setFrameShape(QFrame::Box);
    Label2->setAlignment(Qt::AlignCenter);

    Image2 = new Picture(QStringLiteral(":/krt418/timer-device.svg"), this);
    Image2->setObjectName(QStringLiteral("Image2"));
    Image2->setFixedSize(97, 89);

    Command1 = namedButton("Configure ...", "Command1", this);
    Command2 = namedButton("About...", "Command2", this);
    Command3 = namedButton("Quit", "Command3", this);
    Command4 = namedButton("Open session ...", "Command4", this);
    Command4->setToolTip(QStringLiteral("Open a session kept on the PC (Ctrl+O)"));

    auto* left = new QVBoxLayout;
    left->addWidget(Label1);
    left->addWidget(Image1, 1);
    left->addWidget(Label2);
    auto* right = new QVBoxLayout;
    right->addWidget(Image2, 0, Qt::AlignHCenter);
    right->addStretch(2);
    right->addWidget(Command1);
    right->addStretch(1);
    right->addWidget(Command4);
    right->addWidget(Command2);
    right->addWidget(Command3);
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(left, 1);
    layout->addSpacing(24);
    layout->addLayout(right);

    Timer1 = new QTimer(this);
    Timer1->setInterval(100);
    connect(Timer1, &QTimer::timeout, this, &KRT418::Timer1_Timer);
    connect(Command1, &QPushButton::clicked, this, &KRT418::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &KRT418::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &KRT418::Command3_Click);
    connect(Command4, &QPushButton::clicked, this, &KRT418::Command4_Click);
    connect(new QShortcut(QKeySequence::Open, this), &QShortcut::activated, this,
            &KRT418::Command4_Click);
    connect(Image1, &Picture::clicked, this, &KRT418::Image1_Click);

    Form_Load();
    Timer1_Timer();
    Timer1->start();
}

void KRT418::Form_Load() {
    Command1->setEnabled(true);
}

void KRT418::Timer1_Timer() {
    const QDateTime now = platform::now();
    const QLocale locale = QLocale::system();
    MSGtime->setText(locale.toString(now.time(), timeFormat()));
    MSGDate->setText(locale.toString(now.date(), QLocale::ShortFormat));
}

void KRT418::Command1_Click() {
    RDData* dataWindow = RDData::instance(ports_, options_);
    dataWindow->show();
    dataWindow->raise();
    dataWindow->activateWindow();
}

void KRT418::Command2_Click() {
    // Every "About..." starts the credits line from its beginning.
    About::scrollCounter = 0;
    About* about = About::instance();
    about->show();
    about->raise();
    about->activateWindow();
}

void KRT418::Command3_Click() {
    // Ends everything at once: no window is asked, nothing is saved.
    QCoreApplication::exit(0);
}

void KRT418::Command4_Click() {
    RecordWindow::choose(this, options_.journal.folder);
}

void KRT418::Image1_Click() {
    platform::beep();
}
