#ifndef FORMLAYOUT_H
#define FORMLAYOUT_H

#include "data/addressrecord.h"

#include <QFont>
#include <QRect>

#include <array>

class QLabel;
class QLineEdit;
class QPushButton;
class QScrollBar;
class QWidget;

// Where the window's controls stand. The layout is drawn in twips, 15 to a
// device-independent pixel for the font that it was drawn with. Where the
// user's font needs more room, every position and size grows by one
// factor; the font itself is never made smaller.
class FormLayout
{
public:
    // A field's label stands left of its text box, at the same top, and
    // takes the size of its caption. The label is lbl<stem>, the box txt<stem>.
    static const char *stem(AddressRecord::Field field);
    static QString caption(AddressRecord::Field field);

    // The window's controls, which arrange() puts in their places.
    struct Controls
    {
        std::array<QLabel *, AddressRecord::FieldCount> labels;
        std::array<QLineEdit *, AddressRecord::FieldCount> boxes;
        QPushButton *aceptar;
        QPushButton *nuevo;
        QScrollBar *scrollBar;
        QLabel *counter;
    };
    // Lays out the controls for the fonts that they show now, measured on
    // the labels themselves, and gives window its fixed size.
    static void arrange(QWidget *window, const Controls &controls);

    // The record counter's font, which must show the widest counter text in
    // width pixels: base where it does, otherwise the largest smaller size of
    // base that does.
    static QFont counterFont(const QFont &base, int width);

private:
    // Grown by the smallest factor, at least 1, at which each field's
    // caption, captionWidths[field] pixels wide, ends before its box, and
    // every box is at least boxHeight pixels high.
    FormLayout(const std::array<int, AddressRecord::FieldCount> &captionWidths, int boxHeight);

    QSize clientSize() const;
    QPoint labelPosition(AddressRecord::Field field) const;
    QRect boxGeometry(AddressRecord::Field field) const;
    QRect aceptarGeometry() const;
    QRect nuevoGeometry() const;
    QRect scrollBarGeometry() const;
    QRect counterGeometry() const;

    int pixels(int twips) const;
    QRect twipsRect(int left, int top, int width, int height) const;
    bool fits(const std::array<int, AddressRecord::FieldCount> &captionWidths, int boxHeight) const;

    qreal m_factor = 1;
};

#endif // FORMLAYOUT_H
