#pragma once
// The data field: a log of coloured text that only ever grows at its end.

#include <QPlainTextEdit>
#include <QTextCursor>
#include <QTimer>

class RichTextField : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit RichTextField(QWidget* parent = nullptr);

    // Colour of the next insertion; it stays in force until set again.
    void setSelColor(int colourNumber);
    int selColor() const { return selColor_; }
    // Inserts at the end of the field in the insertion colour. The operator's
    // own caret and selection are left alone.
    void setSelText(const QString& text);

    // Caret position; setting it collapses the selection and shows the caret.
    int selStart() const;
    void setSelStart(int position);

    // Characters in the field, each line end counted as one; O(1).
    int length() const;
    // The whole text, every line end read back as CR LF.
    QString text() const;
    // Replaces everything; the new text has the field's default colour.
    void setText(const QString& text);

signals:
    // After every change of the field's text.
    void changed();
    // After every SelText insertion, with the characters exactly as given
    // (the field itself keeps CR LF and a lone LF alike as one line break).
    void selTextInserted(const QString& text);
    // Before setText replaces the whole text, with the new text.
    void aboutToSetText(const QString& text);

private:
    void holdPaintingAfterInsert();

    int selColor_ = 0;
    QTextCursor tail_; // where SelText inserts: the end of the text
    // Open while an insertion has just been painted: further insertions until
    // it closes are painted together when it does.
    QTimer paintGate_;
};
