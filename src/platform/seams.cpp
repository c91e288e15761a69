#include "platform/seams.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QThread>
#include <random>

namespace platform {

namespace {

Seams productionSeams() {
    Seams s;
    s.beep = [] { QApplication::beep(); };
    s.now = [] { return QDateTime::currentDateTime(); };
    s.sleep = [](int ms) { QThread::msleep(static_cast<unsigned long>(ms)); };
    s.random = [] {
        // Deliberately not seeded from the clock: the sequence is the same every run.
        static std::mt19937 generator;
        static std::uniform_real_distribution<double> uniform(0.0, 1.0);
        return uniform(generator);
    };
    s.openFileName = [](QWidget* parent) { return QFileDialog::getOpenFileName(parent); };
    s.saveFileName = [](QWidget* parent, const QString& filter, const QString& suggested) {
        return QFileDialog::getSaveFileName(parent, QString(), suggested, filter);
    };
    s.confirm = [](QWidget* parent, const QString& title, const QString& text) {
        QMessageBox box(QMessageBox::Question, title, text, QMessageBox::Yes | QMessageBox::No,
                        parent);
        box.setDefaultButton(QMessageBox::No);
        box.setEscapeButton(QMessageBox::No);
        return box.exec() == QMessageBox::Yes;
    };
    return s;
}

} // namespace

Seams& seams() {
    static Seams current = productionSeams();
    return current;
}

void resetSeams() { seams() = productionSeams(); }

} // namespace platform
