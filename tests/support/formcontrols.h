#ifndef FORMCONTROLS_H
#define FORMCONTROLS_H

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

inline const QStringList textBoxNames = {
    QStringLiteral("txtNombre"),    QStringLiteral("txtApellidos"),
    QStringLiteral("txtFechaDeNacimiento"), QStringLiteral("txtCalle"),
    QStringLiteral("txtPortal"),    QStringLiteral("txtPiso"),
    QStringLiteral("txtLetra"),     QStringLiteral("txtCiudad"),
    QStringLiteral("txtProvincia"), QStringLiteral("txtCodPostal"),
    QStringLiteral("txtTeléfono"),  QStringLiteral("txtEmail"),
    QStringLiteral("txtWeb"),       QStringLiteral("txtPadre"),
    QStringLiteral("txtMadre"),
};

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

// Types text as a user would, one key at a time; QTest::keyClicks() knows
// no key for a letter beyond ASCII, such as ñ.
inline void typeInto(QWidget *widget, const QString &text)
{
    for (QChar character : text) {
        if (character.unicode() < 0x80)
            QTest::keyClick(widget, character.toLatin1());
        else
            QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(character),
                                Qt::NoModifier);
    }
}

} // namespace FormControls

#endif // FORMCONTROLS_H
