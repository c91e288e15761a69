#pragma once
// The main window: title, clock, and the way into the data window.

#include "session/options.h"

#include <QWidget>

#include <memory>

class QLabel;
class QPushButton;
class QTimer;
class Picture;

class KRT418 : public QWidget {
    Q_OBJECT
public:
    // With the options the program was started with, handed to every data
    // window it opens (with the port bindings of the run).
    explicit KRT418(const krt::Options& options, QWidget* parent = nullptr);
    // As a program started without options has them.
    explicit KRT418(QWidget* parent = nullptr);

    QLabel* Label1;
    QLabel* MSGtime;
    QLabel* MSGDate;
    QLabel* Label2;
    Picture* Image1;
    Picture* Image2;
    QPushButton* Command1;
    QPushButton* Command2;
    QPushButton* Command3;
    QPushButton* Command4;
    QTimer* Timer1;

public slots:
    void Form_Load();
    void Timer1_Timer();
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    // A past session opened again, from the sessions folder.
    void Command4_Click();
    void Image1_Click();

private:
    std::shared_ptr<krt::PortBindings> ports_;
    krt::Options options_;
};
