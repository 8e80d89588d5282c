#include "fieldbox.h"

#include "data/windows1252.h"

#include <QScopedValueRollback>

namespace {

// The first line of what was put in, as the file can store it.
QString storable(const QString &text)
{
    QString line;
    for (QChar character : text.normalized(QString::NormalizationForm_C)) {
        if (character == u'\n' || character == u'\r')
            break;
        if (character == u'\t')
            line += u' ';
        else if (character.category() != QChar::Other_Control && Windows1252::holds(character))
            line += character;
    }
    return line;
}

} // namespace

// Every route by which text enters the box changes its text, and the
// change is checked there; an edit of the user's says so first. The box's
// own maximum length stays as it is, far beyond any field: it would cut a
// paste before it is composed.
FieldBox::FieldBox(int width, QWidget *parent) : QLineEdit(parent), m_width(width)
{
    connect(this, &QLineEdit::textEdited, this, [this] { m_edited = true; });
    connect(this, &QLineEdit::textChanged, this, &FieldBox::keepToTheRules);
}

// The beginning shows, not the trailing spaces.
void FieldBox::showStored(const QString &text)
{
    correct(text, 0);
}

// What the change put in lies between what it left alone at the beginning
// and at the end. After an edit, the end is what follows the cursor; after
// any other change, what the text still shares with the text before.
void FieldBox::keepToTheRules()
{
    const bool edited = std::exchange(m_edited, false);
    if (m_settingText) {
        m_before = text();
        return;
    }
    if (isReadOnly()) {
        correct(m_before, 0);
        return;
    }
    const QString now = text();
    qsizetype after = 0; // characters at the end that the change left alone
    if (edited) {
        after = now.size() - cursorPosition();
    } else {
        const qsizetype shared = qMin(now.size(), m_before.size());
        while (after < shared && now[now.size() - after - 1] == m_before[m_before.size() - after - 1])
            ++after;
    }
    const qsizetype end = now.size() - after;
    const qsizetype unchangedEnd = qMin(end, m_before.size() - after);
    qsizetype start = 0;
    while (start < unchangedEnd && now[start] == m_before[start])
        ++start;

    const QString inserted = now.mid(start, end - start);
    const QString limited = storable(inserted).left(m_width - start - after);
    if (limited == inserted)
        m_before = now;
    else
        correct(now.left(start) + limited + now.right(after), start + limited.size());
}

void FieldBox::correct(const QString &text, qsizetype cursor)
{
    const QScopedValueRollback guard(m_settingText, true);
    setText(text);
    setCursorPosition(int(cursor));
}
