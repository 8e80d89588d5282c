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
// user's font needs more room, every position and size grows by one factor.
// Only where the grown window would not fit its screen is the factor held
// back, and the font made just small enough for the captions and the boxes.
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
    // Lays out the controls for the user's font, measured on the labels
    // themselves, and gives window its fixed size.
    static void arrange(QWidget *window, const Controls &controls);

    // The record counter's font, which must show "Registro n/N" for a count
    // of N and any n up to N in width pixels: base where it does, otherwise
    // the largest smaller size of base that does.
    static QFont counterFont(const QFont &base, int width, qint16 count);

private:
    // What the fonts shown now need: each field's caption's width, and the
    // height of a line in a box.
    struct Needs
    {
        std::array<int, AddressRecord::FieldCount> captionWidths;
        int boxHeight;
    };
    static Needs measure(const Controls &controls);
    static QSize roomOnScreen(QWidget *window);
    static void shrinkFont(QWidget *window, const Controls &controls, const FormLayout &layout);

    // Grown by the smallest factor, at least 1, at which what is measured fits.
    explicit FormLayout(const Needs &needs);
    // The largest factor, at most factor, at which the window fits room.
    void holdWithin(QSize room);

    QSize clientSize() const;
    QPoint labelPosition(AddressRecord::Field field) const;
    QRect boxGeometry(AddressRecord::Field field) const;
    QRect aceptarGeometry() const;
    QRect nuevoGeometry() const;
    QRect scrollBarGeometry() const;
    QRect counterGeometry() const;

    int pixels(int twips) const;
    QRect twipsRect(int left, int top, int width, int height) const;
    // Each caption ends at least 30 twips (2 pixels at a factor of 1) before
    // its box, and a line of text fits each box.
    bool fits(const Needs &needs) const;
    qreal shrinkFactor(const Needs &needs) const;
    int gap() const;

    qreal m_factor = 1;
};

#endif // FORMLAYOUT_H
