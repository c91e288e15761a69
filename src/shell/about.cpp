#include "shell/about.h"

#include "logview/colours.h"
#include "platform/controls.h"
#include "platform/fonts.h"
#include "platform/seams.h"
#include "shell/picture.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

QPointer<About> About::instance_;
qint16 About::scrollCounter = 0;

namespace {
constexpr int kWindow = 30;
constexpr char kThanks[] = "Many thanks for using the KRT 418 controller. Ideas, questions and "
                           "fault reports are welcome: do write to us at the address above. "
                           "Enjoy!";
static_assert(sizeof(kThanks) - 1 == 137, "the credits line is 31 spaces and 137 characters");

QLabel* label(const QString& text, const char* name, QWidget* parent) {
    auto* l = new QLabel(text, parent);
    l->setObjectName(QString::fromLatin1(name));
    return l;
}
} // namespace

const QString& About::creditsLine() {
    // The leading spaces let the thanks scroll in from the right.
    static const QString line = QString(31, QLatin1Char(' ')) + QString::fromLatin1(kThanks);
    return line;
}

QString About::creditsWindow(const QString& line, int c) {
    if (c < line.size() - kWindow) return line.mid(c - 1, kWindow);
    return line.right(kWindow);
}

About* About::instance() {
    if (!instance_) instance_ = new About();
    return instance_;
}

About* About::existing() {
    return instance_;
}

About::~About() {
    instance_ = nullptr;
}

About::About() : QDialog(nullptr) {
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("About"));
    setWindowTitle(QStringLiteral("About"));
    setModal(false);

    Label1 = label(QStringLiteral("KRT 418 V 5.0"), "Label1", this);
    QFont title = Label1->font();
    title.setBold(true);
    title.setPointSize(12);
    Label1->setFont(title);
    Label1->setAlignment(Qt::AlignCenter);

    // Our own workshop; the address is where the thanks line sends people.
    Label2 = label(QStringLiteral("KRT Timing Workshop"), "Label2", this);
    Label3 = label(QStringLiteral("7 Chronometer Lane"), "Label3", this);
    Label4 = label(QStringLiteral("00000 Example Town"), "Label4", this);
    Label5 = label(QStringLiteral("Tel. 000 000 00 00"), "Label5", this);
    Label6 = label(QStringLiteral("KRT Timing 2024"), "Label6", this);
    Label6->setAlignment(Qt::AlignCenter);

    Image1 = new Picture(QStringLiteral(":/krt418/about.svg"), this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setFixedSize(96, 96);

    message = label(QString(), "message", this);
    // A label's accessible name is its text, so the scrolling line reads as it is.
    message->setAccessibleDescription(QStringLiteral("Credits"));
    message->setFont(platform::fixedPitchFont(QStringLiteral("Courier New")));
    message->setFrameShape(QFrame::Box);
    // Room for the whole window of text, so the line never jumps in width.
    message->setMinimumWidth(
        message->fontMetrics().horizontalAdvance(QString(kWindow, QLatin1Char('M'))) +
        2 * message->frameWidth() + 8);

    Command1 = namedButton("OK", "Command1", this);
    Command1->setDefault(true);

    auto* address = new QVBoxLayout;
    for (QLabel* l : {Label2, Label3, Label4, Label5})
        address->addWidget(l);
    address->addStretch(1);
    auto* side = new QVBoxLayout;
    side->addWidget(Image1, 0, Qt::AlignHCenter);
    side->addWidget(Label6);
    auto* middle = new QHBoxLayout;
    middle->addLayout(address, 1);
    middle->addLayout(side);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(Command1);
    buttons->addStretch(1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Label1);
    layout->addLayout(middle, 1);
    layout->addLayout(buttons);
    layout->addWidget(message);

    Timer1 = new QTimer(this);
    Timer1->setInterval(100);
    connect(Timer1, &QTimer::timeout, this, &About::Timer1_Timer);
    connect(Command1, &QPushButton::clicked, this, &About::Command1_Click);
    Timer1->start();
}

void About::Timer1_Timer() {
    if (scrollCounter > 200) scrollCounter = 0;
    ++scrollCounter;

    // Any colour but black: 1 to 0xFFFFFF.
    const int number = qBound(1, int(platform::random() * 16777215.0 + 1.0), 16777215);
    QPalette palette = Label1->palette();
    palette.setColor(QPalette::WindowText, colour::toQColor(number));
    Label1->setPalette(palette);

    message->setText(creditsWindow(creditsLine(), scrollCounter));
}

void About::Command1_Click() {
    close();
}
