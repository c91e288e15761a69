#pragma once
// The data window's receive loop and the change reaction of its field.
//
// The port reports bytes; a pass then takes Input chunks of at most the
// input length, each transformed on its own (transformChunk) and given the
// time of its read, and inserts them in blue in one go, with one change
// reaction. A pass ends after a number of chunks or a few ms, so the
// operator's input and the painting go on during a flood; after a pass
// that took a bulk, the next waits a moment for more to collect. The loop
// runs only while bytes wait: an idle line costs nothing.
//
// The change reaction moves the caret to the end (a selection the operator
// holds stays, only the view follows) and may give the field the focus, but
// only when that takes nothing from the operator.

#include <QByteArray>
#include <QObject>

#include <functional>

class ByteView;
class FieldFind;
class OperatorInput;
class QCheckBox;
class QTimer;
class QWidget;
class RichTextField;
class SerialPortComponent;
enum class PortError;

class ReceiveLoop : public QObject {
    Q_OBJECT
public:
    struct Parts {
        SerialPortComponent* port;
        QTimer* timer; // the window's Timer1: a pass a tick
        RichTextField* field;
        QCheckBox* autoScroll;
        FieldFind* find;
        ByteView* bytes;
    };
    struct Calls {
        std::function<qint64()> now;                             // the session's clock
        std::function<void(const QByteArray&, qint64)> received; // each read, with its time
        std::function<void(PortError)> lost;                     // a held loss, once its text is in
    };
    ReceiveLoop(const Parts& parts, const Calls& calls, QWidget* window);

    // Timer1's "enabled": while enabled, passes run when bytes wait.
    void setEnabled(bool enabled);
    bool enabled() const { return enabled_; }
    // A pass is due: received bytes wait for their turn.
    bool passDue() const;
    // The device went away while its last text still waits: the loss is
    // told once that text is in (true), else at once by the caller (false).
    bool holdLoss(PortError error);

    // One pass (Timer1_Timer), and the change reaction (Text1_Change).
    void pass();
    void fieldChanged();

private:
    void bytesArrived();
    bool fieldMayTakeFocus() const;

    Parts parts_;
    Calls calls_;
    QWidget* window_;
    OperatorInput* operatorInput_;
    bool enabled_ = false;
    bool quietInsert_ = false;
    // The last pass took a bulk of text: a flood is on.
    bool flooding_ = false;
    PortError pendingLoss_{}; // PortError::None
};
