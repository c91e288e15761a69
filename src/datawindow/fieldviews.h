#pragma once
// The data field's two views and its time column, as the operator switches
// them with "Times" and "Bytes" (mouse, Alt+T, Alt+B) and Ctrl+Shift+T:
// the text with or without its times, or the bytes of the line in its
// place. The choices are remembered in the settings ("view/times",
// "view/timeMode", "view/bytes") and taken again by the next data window.

#include <QObject>

class ByteView;
class FieldFind;
class QCheckBox;
class QWidget;
class RichTextField;

class FieldViews : public QObject {
    Q_OBJECT
public:
    struct Parts {
        RichTextField* field;
        ByteView* bytes;
        QCheckBox* times;
        QCheckBox* showBytes;
        QCheckBox* autoScroll; // or null: the views stay where they are read
        FieldFind* find;
    };
    // Takes the remembered choices and follows the boxes from then on.
    FieldViews(const Parts& parts, QWidget* window);

    // Between the time of day and the time since the line before; shows
    // the column when it is hidden.
    void switchTimeMode();

private:
    void showTimes(bool shown);
    void showBytes(bool shown);
    Parts parts_;
};
