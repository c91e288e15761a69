#pragma once
// The data field: a log of coloured text that only ever grows at its end.

#include <QPlainTextEdit>
#include <QPointer>
#include <QStringList>
#include <QTextCursor>
#include <QTimer>

#include <vector>

class RichTextField : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit RichTextField(QWidget* parent = nullptr);

    // A line longer than this is shown in pieces of this many characters.
    // Laying out a line costs in proportion to its length, and the last line
    // is laid out again after every insertion: without the pieces a device
    // line that never ends would make each insertion slower than the last.
    static constexpr int kDisplayPieceChars = 4096;

    // Colour of the next insertion; it stays in force until set again.
    void setSelColor(int colourNumber);
    int selColor() const { return selColor_; }
    // Inserts at the end of the field in the insertion colour. The operator's
    // own caret and selection are left alone.
    void setSelText(const QString& text);
    // The same for several texts one after another, as one change of the text
    // (one change notification). Each text keeps its own line ends: a CR that
    // ends one and an LF that starts the next are two line ends, as when each
    // is inserted by itself.
    void setSelTexts(const QStringList& texts);

    // Caret position; setting it collapses the selection and shows the caret.
    int selStart() const;
    void setSelStart(int position);
    // Brings the end into view now, not at the next screen refresh.
    void followNow();

    // Characters in the field, each line end counted as one; O(1).
    int length() const;
    // The whole text, every line end read back as CR LF.
    QString text() const;
    // Replaces everything; the new text has the field's default colour.
    void setText(const QString& text);

    // Enables or disables the field without moving the keyboard focus: a
    // focused widget that is disabled would otherwise hand the focus to the
    // next control, and nothing would give it back.
    void setEnabledKeepingFocus(bool enabled);

    // Whether insertions wait to be painted at the next screen refresh.
    bool paintingHeld() const;

signals:
    // After every change of the field's text.
    void changed();
    // After every SelText insertion, with the characters exactly as given
    // (the field itself keeps CR LF and a lone LF alike as one line break);
    // once for each text of setSelTexts.
    void selTextInserted(const QString& text);
    // Before setText replaces the whole text, with the new text.
    void aboutToSetText(const QString& text);

protected:
    bool focusNextPrevChild(bool next) override;
    QMimeData* createMimeDataFromSelection() const override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    friend class FieldAccessible;
    // Readers of assistive technology get the text without display breaks.
    static void installAccessibility();
    void holdPaintingAfterInsert();
    void holdPainting(bool hold);
    void insertTexts(const QStringList& texts, const QTextCharFormat& format);
    void scrollToEnd();
    // Document positions and the positions of the same characters in text().
    int toDocument(int position) const;
    int fromDocument(int position) const;
    // The document's characters from..to as text() reads them.
    QString textBetween(int from, int to, const QString& lineEnd) const;

    int selColor_ = 0;
    QTextCursor tail_; // where SelText inserts: the end of the text
    // Document positions of the block breaks that split a long line for
    // display only: text() and every other reader leave them out.
    std::vector<int> displayBreaks_;
    // Open while an insertion has just been painted: further insertions until
    // it closes are painted together when it does, and the end they bring
    // into view is scrolled to then.
    QTimer paintGate_;
    bool followPending_ = false;
    bool keepFocus_ = false;
    QPointer<QWidget> watchedWindow_;
};
