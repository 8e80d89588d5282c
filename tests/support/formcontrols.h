#ifndef FORMCONTROLS_H
#define FORMCONTROLS_H

#include "fields.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QStringList>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTest>

// The window's controls, found by name as a user finds them by sight.
namespace FormControls {

// In field order, which is also their order for Tab.
inline const QStringList textBoxNames = [] {
    QStringList names;
    for (const Fields::Field &field : Fields::all)
        names << field.boxName();
    return names;
}();

inline QLineEdit *textBox(const QWidget *form, const QString &name)
{
    return form->findChild<QLineEdit *>(name);
}

inline QList<QLineEdit *> textBoxes(const QWidget *form)
{
    QList<QLineEdit *> boxes;
    for (const QString &name : textBoxNames)
        boxes.append(textBox(form, name));
    return boxes;
}

inline QPushButton *button(const QWidget *form, const char *name)
{
    return form->findChild<QPushButton *>(QLatin1String(name));
}

inline QScrollBar *scrollBar(const QWidget *form)
{
    return form->findChild<QScrollBar *>(QStringLiteral("hsbVentolia"));
}

inline QLabel *counter(const QWidget *form)
{
    return form->findChild<QLabel *>(QStringLiteral("lblRegistro"));
}

// Where a part of the scroll bar (thumb, arrows, track) is drawn.
inline QRect scrollBarPart(const QScrollBar *bar, QStyle::SubControl part)
{
    QStyleOptionSlider option;
    option.initFrom(bar);
    option.orientation = bar->orientation();
    option.state |= QStyle::State_Horizontal;
    option.minimum = bar->minimum();
    option.maximum = bar->maximum();
    option.sliderPosition = bar->sliderPosition();
    option.sliderValue = bar->value();
    option.singleStep = bar->singleStep();
    option.pageStep = bar->pageStep();
    return bar->style()->subControlRect(QStyle::CC_ScrollBar, &option, part, bar);
}

// Types text as a user would, one key (one character) at a time;
// QTest::keyClicks() knows no key for a letter beyond ASCII, such as ñ.
inline void typeInto(QWidget *widget, const QString &text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i].unicode() < 0x80) {
            QTest::keyClick(widget, text[i].toLatin1());
            continue;
        }
        const qsizetype length = text[i].isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, text.mid(i, length), Qt::NoModifier);
        i += length - 1;
    }
}

// Where a control drawn at the given twips stands in a window that the
// layout has grown to its present width, to within a pixel of rounding.
inline bool standsAt(const QWidget *control, int left, int top, int width, int height)
{
    const qreal factor = control->window()->width() / 570.0;
    const auto pixels = [factor](int twips) { return twips * factor / 15; };
    const QRect expected(QPoint(qRound(pixels(left)), qRound(pixels(top))),
                         QPoint(qRound(pixels(left + width)) - 1, qRound(pixels(top + height)) - 1));
    const QRect actual = control->geometry();
    const bool near = qAbs(actual.left() - expected.left()) <= 1 && qAbs(actual.top() - expected.top()) <= 1
            && qAbs(actual.right() - expected.right()) <= 1 && qAbs(actual.bottom() - expected.bottom()) <= 1;
    if (!near)
        qWarning("%s at (%d,%d %dx%d), expected (%d,%d %dx%d)", qPrintable(control->objectName()),
                 actual.x(), actual.y(), actual.width(), actual.height(), expected.x(), expected.y(),
                 expected.width(), expected.height());
    return near;
}

} // namespace FormControls

#endif // FORMCONTROLS_H
