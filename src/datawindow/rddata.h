#pragma once
// The data window: the operator's working window. It owns the serial port,
// the data field, the command buttons and the display labels.
//
// Send path: a button of this window (rddata.cpp, portcontrol.cpp) or a
// dialog (src/dialogs, which asks krt::rules in src/link/devicerules for the
// title, payload and label) calls sendTitledFrame() or sendFixedCommand():
// the black title goes into the field, krt::buildFrame (src/link/frame)
// makes the frame, send() writes it in one Output of MSComm1 (the
// SerialPortComponent in src/link), and on success the red frame image
// follows; a failed write appends ">> PORT ERROR: n <<" instead.
//
// Receive path: the receive loop (ReceiveLoop, receiveloop.h) runs a pass
// of Timer1_Timer() whenever MSComm1 signals bytes: Input chunks of at most
// krt::line::InputLengthBytes, each recorded in the wire record with the
// time of its read, turned into field text with transformChunk
// (src/link/receive) and inserted in blue in one go into Text1
// (RichTextField, which keeps them in its LogStore); Text1_Change() then
// moves to the end and may give the field the focus. The journal hookup
// (journalhookup.h) writes what the field gets, the bytes of the line and
// the port's events. Ctrl+F opens the find bar under the field; "Times" and
// "Bytes" switch the field's views (fieldviews.h).

#include "link/devicerules.h"
#include "session/options.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <array>
#include <map>
#include <memory>

namespace controls {
struct Control;
}
namespace krt {
class PortBindings;
} // namespace krt
class ByteView;
class FieldFind;
class FieldViews;
class JournalHookup;
class LostDeviceWatch;
class PortMenu;
class ReceiveLoop;
class QAbstractButton;
class QCheckBox;
class QFrame;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QTimer;
class RichTextField;
class SerialPortComponent;
class SessionClock;
class WireRecord;
enum class PortError;

class RDData : public QWidget {
    Q_OBJECT
    // The session's clock, anchored to the wall clock as the window opens,
    // and every byte of the line; made before the parts that show them.
    const std::unique_ptr<SessionClock> clock_;
    const std::unique_ptr<WireRecord> wire_;
    // What the window is made of (makeParts), by object name. Declared first,
    // so the named members below are bound to it.
    const std::map<QString, QObject*> parts_;

public:
    // The live data window, created (and loaded) on first use with the
    // run's port bindings (the operator's choices in it are kept there) and
    // the options the program was started with, whole.
    static RDData*
    instance(std::shared_ptr<krt::PortBindings> ports,
             const krt::Options& options = krt::Options::fromSettingsAndEnvironment());
    // The same as a program started without options has them.
    static RDData* instance();
    // The live data window, or null when none is loaded.
    static RDData* existing();

    ~RDData() override;

    // Data field appends: set the colour, then insert at the end.
    void append(const QString& text, int colourNumber);
    // Insert at the end in the colour in force.
    void appendInCurrentColour(const QString& text);
    // A report of the operator's own action (a failed save or import): black,
    // like the titles, with the colour in force kept for what follows.
    void appendActionLine(const QString& text);
    // One Output of the bytes. On failure appends ">> PORT ERROR: n <<" CR LF
    // in the colour in force and returns false.
    bool send(const QByteArray& bytes);
    // Black title with CR LF, the frame in one write, red image with the line
    // end given. Returns false when the write failed (the image is then not
    // appended).
    bool sendTitledFrame(const QString& title, const QByteArray& payload,
                         const QString& imageLineEnd);
    // The data window's own buttons: the image ends with CR LF.
    bool sendFixedCommand(const QString& title, const QByteArray& payload);

    // A dialog that acts on this window; it is closed when this window unloads.
    void adoptDialog(QWidget* dialog);
    // Enable the data field and give it the focus: the end of every dialog.
    void releaseDataField();

    // What the dialogs change in this window, besides sending.
    // The data field takes no input while a dialog is open.
    void holdDataField();
    // The lock time shown for a group, the accuracies shown.
    void showLockTime(krt::rules::LockGroup group, const QString& text);
    void showPrinterAccuracy(const QString& text);
    void showRunTimeAccuracy(const QString& text);
    // A receive pass is due: received bytes wait for their turn.
    bool receivePassDue() const;

    // The receive loop's Timer1 "enabled" state. While enabled, ticks run
    // only when received bytes are waiting.
    void setTimer1Enabled(bool enabled);
    bool timer1Enabled() const;

    // The session's clock (ms since the epoch): the times of the field's
    // lines and of the wire record.
    qint64 now() const;
    // Every byte written to the port and read from it, and its view.
    const WireRecord& wireRecord() const { return *wire_; }
    ByteView* byteView() const { return byteView_; }

    // The remembered port number (0 until the first successful port choice).
    static qint16 rememberedPort;

    // Controls, by their names: the widgets made from the table of controls
    // (controltable.h) and around it. Bound once at construction; the widgets
    // are reached through them, never replaced.
    QGroupBox* const FrameQuery;
    QPushButton* const GetDate;
    QPushButton* const MemFree;
    QPushButton* const ViewP;
    QGroupBox* const FrameCommands;
    QPushButton* const SetDate;
    QPushButton* const SetDefaults;
    QPushButton* const NewSession;
    QPushButton* const UploadTimes;
    QPushButton* const UploadPrint;
    QPushButton* const ClearMemory;
    QGroupBox* const FrameBuzzer;
    QCheckBox* const buzzer;
    QGroupBox* const FrameLockInput;
    QCheckBox* const lockinput;
    QGroupBox* const FrameIO;
    QPushButton* const Manual;
    QGroupBox* const FrameLockTimes;
    QPushButton* const Channel1;
    QPushButton* const Channel4;
    QPushButton* const Others;
    QLabel* const Lch1;
    QLabel* const Lch4;
    QLabel* const Lothers;
    QGroupBox* const FrameRunTime;
    QPushButton* const AccuracyR;
    QLabel* const TaccuracyR;
    QGroupBox* const FramePrinter;
    QPushButton* const AccuracyP;
    QLabel* const TaccuracyP;
    QGroupBox* const FramePort;
    const std::array<QRadioButton*, 2> Option1;
    QPushButton* const Command2;
    QPushButton* const Command6;
    QCheckBox* const scroll;
    QCheckBox* const Times;
    QCheckBox* const Bytes;
    QLabel* const Label1;
    QPushButton* const Command5;
    QPushButton* const Command4;
    QFrame* const Shape2;
    RichTextField* const Text1;
    QPushButton* const Command3;
    QPushButton* const Command1;
    QLabel* const Myhelp;
    QTimer* const Timer1;
    SerialPortComponent* const MSComm1;

public slots:
    void Form_Load();
    void Timer1_Timer();
    void Text1_Change();

    // Device command buttons.
    void GetDate_Click();
    void MemFree_Click();
    void ViewP_Click();
    void SetDefaults_Click();
    void NewSession_Click();
    void UploadTimes_Click();
    void UploadPrint_Click();
    void ClearMemory_Click();
    void buzzer_Click();
    void lockinput_Click();

    // Openers of the dialogs and the manual window.
    void SetDate_Click();
    void Manual_Click();
    void Channel1_Click();
    void Channel4_Click();
    void Others_Click();
    void AccuracyR_Click();
    void AccuracyP_Click();

    // Port and link control.
    void Option1_Click(int index);
    // Right click or the context-menu key on "Com1"/"Com2": the ports present,
    // "Other device..." and the platform default.
    void Option1_ContextMenu(int index, const QPoint& globalPosition);
    void Command6_Click();
    void Command2_Click();
    void Command1_Click();

    // Clear and save of the data field, and a past session opened again.
    void Command5_Click();
    void Command4_Click();
    void Command3_Click();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    // Closed is unloaded: from here on "Configure ..." builds a new window,
    // even before Qt has deleted this one.
    void closeEvent(QCloseEvent* event) override;

private:
    explicit RDData(std::shared_ptr<krt::PortBindings> ports);
    // The controls of the table in the grids of their places, the frames,
    // the help line, the port and the receive timer, all in their layout.
    static std::map<QString, QObject*> makeParts(QWidget* window, const WireRecord& wire);
    // The part of that name, of that kind (it must be there).
    template <typename T> T* part(const char* name) const;
    QWidget* control(const controls::Control& c) const;
    void connectHandlers();
    // Sends the fixed command the control's row names (a box's by its new
    // tick), as the window's buttons send. False when nothing went out.
    bool sendCommandOf(const QAbstractButton* control);
    void connectPortOption(int index);
    void installContextHelp();
    void installCursors();
    void onPortLost(PortError error, const QString& description);
    void appendPortError(PortError error);
    // While a device that went away is missing: open it again when it is back.
    void watchForLostDevice();
    void stopWatchingLostDevice();
    // A step of a port re-open: 8012 is ignored, any other error is reported
    // as a ">> PORT ERROR: " line and ends the re-open (true).
    bool portStepFailed(PortError error);
    // Port closed, receive loop stopped, dialogs gone, instance forgotten.
    void unload();

    static QPointer<RDData> instance_;
    std::shared_ptr<krt::PortBindings> ports_;
    // What the program was started with (the journal's folder is where the
    // open dialog for past sessions starts).
    krt::Options options_;
    // The session journal and record (journalhookup.h).
    JournalHookup* journal_ = nullptr;
    QList<QPointer<QWidget>> dialogs_;
    // The Com1/Com2 menus, tips and hints (portmenu.h).
    PortMenu* portMenu_ = nullptr;
    // The receive loop and the change reaction (receiveloop.h).
    ReceiveLoop* receive_ = nullptr;
    // Find in the data field: Ctrl+F, the bar under the field.
    FieldFind* const find_;
    ByteView* const byteView_;
    FieldViews* views_ = nullptr;
    // The bytes just written or read go into the wire record and the
    // journal's record (the byte view is told by the caller, once a pass).
    void recordWire(bool sent, const QByteArray& bytes, qint64 timeMs);
    // The last receive pass took a bulk of text: a flood is on.
    bool flooding_ = false;
    // A lost device waiting to be reported once its last text is in.
    PortError pendingLoss_{}; // PortError::None
    LostDeviceWatch* portWatch_ = nullptr;
};
