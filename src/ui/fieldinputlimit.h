#ifndef FIELDINPUTLIMIT_H
#define FIELDINPUTLIMIT_H

#include <QObject>
#include <QString>

class QLineEdit;

// Keeps what the user types, pastes or drops into a field's box to one line
// of at most the field's width in characters: a paste keeps its first line,
// a tab becomes a space, other control characters are left out, and what
// goes past the width is cut, never half a character. A character is a
// code point, so an emoji counts once. Text that the program sets is shown
// as it is.
class FieldInputLimit : public QObject
{
public:
    FieldInputLimit(QLineEdit *box, int maxCharacters);

private:
    void limitEdit();

    QLineEdit *m_box;
    int m_maxCharacters;
    QString m_before; // the box's text before the user's latest edit
};

#endif // FIELDINPUTLIMIT_H
