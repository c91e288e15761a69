#pragma once
// A past session, shown again from its record: everything its data field
// received, in order and in its colours, with the times of its lines and the
// bytes of its line, find, copy and Save. Where the operator cleared the
// field a rule marks the place. It sends nothing and opens no port; several
// may be open at once beside a live data window.
//
// The file is read in steps from the event loop, so a record of any size
// opens without freezing the desktop; what cannot be read is said in the
// line under the field and on the error output.

#include <QString>
#include <QStringList>
#include <QWidget>

#include <memory>

class ByteView;
class FieldFind;
class QCheckBox;
class QLabel;
class QPushButton;
class QTimer;
class RecordReader;
class RichTextField;
class WireRecord;

class RecordWindow : public QWidget {
    Q_OBJECT
public:
    // Opens the record in a window of its own, shown; it deletes itself
    // when closed.
    static RecordWindow* open(const QString& path);
    // Asks for a record in the sessions folder and opens it; null when the
    // operator cancels.
    static RecordWindow* choose(QWidget* parent, const QString& sessionsFolder);

    explicit RecordWindow(const QString& path, QWidget* parent = nullptr);
    ~RecordWindow() override;

    RichTextField* field() const { return field_; }
    ByteView* byteView() const { return bytes_; }
    const WireRecord& wireRecord() const { return *wire_; }
    QLabel* statusLine() const { return status_; }
    QCheckBox* timesBox() const { return times_; }
    QCheckBox* bytesBox() const { return showBytes_; }
    QPushButton* saveButton() const { return save_; }
    // Whether the file is still being read.
    bool reading() const;
    // What reading the file came to: why it was refused, or what was read
    // and what skipped; empty while reading.
    QString outcome() const { return outcome_; }

signals:
    // The whole file has been read (or refused).
    void readDone();

private:
    void readStep();
    void flushTexts();
    void finishReading();
    void save();

    const QString path_;
    const std::unique_ptr<WireRecord> wire_;
    std::unique_ptr<RecordReader> reader_;
    RichTextField* field_;
    ByteView* bytes_;
    FieldFind* find_;
    QCheckBox* times_;
    QCheckBox* showBytes_;
    QPushButton* save_;
    QPushButton* close_;
    QLabel* title_;
    QLabel* status_;
    QTimer* stepper_;
    QString outcome_;
    // The field's texts of one colour gathered in a step, inserted at once.
    QStringList texts_;
    QList<qint64> times_ms_;
    int colour_ = 0;
};
