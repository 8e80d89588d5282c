#ifndef FIELDBOX_H
#define FIELDBOX_H

#include <QLineEdit>

// The text box of one field. Whatever enters it, by typing, pasting,
// dropping, an input method, or a screen reader or another program through
// the accessibility interface, is what the data file can store: one line of
// at most the field's width in characters, each one that Windows-1252 has. A
// paste keeps its first line, composed, a tab becomes a space, and other
// control characters, and characters that the file cannot hold, are left
// out, as is what goes past the width. While the box is locked nothing
// enters it. What the program shows from the file is shown as it is.
class FieldBox : public QLineEdit
{
public:
    FieldBox(int width, QWidget *parent);

    void showStored(const QString &text);

private:
    void keepToTheRules();
    void correct(const QString &text, qsizetype cursor);

    const int m_width;
    QString m_before;      // the text before the latest change
    bool m_edited = false; // the latest change was an edit, which ends at the cursor
    bool m_settingText = false;
};

#endif // FIELDBOX_H
