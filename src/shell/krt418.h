#pragma once
// The main window: title, clock, and the way into the data window.

#include <QWidget>

#include <memory>

class QLabel;
class QPushButton;
class QTimer;
class Picture;
namespace krt {
class PortBindings;
}

class KRT418 : public QWidget {
    Q_OBJECT
public:
    // `ports`: the run's port bindings, handed to every data window it opens.
    explicit KRT418(std::shared_ptr<krt::PortBindings> ports = {}, QWidget* parent = nullptr);

    QLabel* Label1;
    QLabel* MSGtime;
    QLabel* MSGDate;
    QLabel* Label2;
    Picture* Image1;
    Picture* Image2;
    QPushButton* Command1;
    QPushButton* Command2;
    QPushButton* Command3;
    QTimer* Timer1;

public slots:
    void Form_Load();
    void Timer1_Timer();
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Image1_Click();

private:
    std::shared_ptr<krt::PortBindings> ports_;
};
