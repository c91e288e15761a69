#pragma once
// The About box: title, version, our address and a scrolling credits line.

#include <QDialog>
#include <QPointer>

class QLabel;
class QPushButton;
class QTimer;
class Picture;

class About : public QDialog {
    Q_OBJECT
public:
    // The live About box, created on first use.
    static About* instance();
    // The live About box, or null when none is loaded.
    static About* existing();

    ~About() override;

    // Program-wide: "About..." resets it, every tick advances it, and it
    // outlives the box.
    static qint16 scrollCounter;
    // 31 spaces, then the thanks: 168 characters in all.
    static const QString& creditsLine();
    // The 30 characters the box shows for a counter value c (1-based start).
    static QString creditsWindow(const QString& line, int c);

    QLabel* Label1;
    QLabel* message;
    QLabel* Label2;
    QLabel* Label3;
    QLabel* Label4;
    QLabel* Label5;
    QLabel* Label6;
    Picture* Image1;
    QPushButton* Command1;
    QTimer* Timer1;

public slots:
    void Timer1_Timer();
    void Command1_Click();

private:
    About();
    static QPointer<About> instance_;
};
