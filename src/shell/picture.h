#pragma once
// A picture from the program's own artwork, stretched to the control.

#include <QSvgRenderer>
#include <QWidget>

class Picture : public QWidget {
    Q_OBJECT
public:
    Picture(const QString& resource, QWidget* parent = nullptr);
    QSize sizeHint() const override { return {160, 160}; }

signals:
    void clicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QSvgRenderer renderer_;
    bool pressed_ = false;
};
