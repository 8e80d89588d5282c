#include "fieldinputlimit.h"

#include <QLineEdit>

namespace {

bool isSecondHalf(QStringView text, qsizetype i)
{
    return text[i].isLowSurrogate() && i > 0 && text[i - 1].isHighSurrogate();
}

qsizetype characterCount(QStringView text)
{
    qsizetype count = 0;
    for (qsizetype i = 0; i < text.size(); ++i)
        count += isSecondHalf(text, i) ? 0 : 1;
    return count;
}

QString firstCharacters(const QString &text, qsizetype count)
{
    qsizetype end = 0;
    for (qsizetype taken = 0; end < text.size() && taken < count; ++taken)
        end += end + 1 < text.size() && isSecondHalf(text, end + 1) ? 2 : 1;
    return text.left(end);
}

QString firstLine(const QString &text)
{
    QString line;
    for (QChar character : text) {
        if (character == u'\n' || character == u'\r')
            break;
        if (character == u'\t')
            line += u' ';
        else if (character.unicode() >= 0x20)
            line += character;
    }
    return line;
}

} // namespace

FieldInputLimit::FieldInputLimit(QLineEdit *box, int maxCharacters)
    : QObject(box), m_box(box), m_maxCharacters(maxCharacters)
{
    // The box's own maximum length stays as it is, far beyond any field: it
    // counts UTF-16 units, and would cut a character in two.
    connect(box, &QLineEdit::textEdited, this, &FieldInputLimit::limitEdit);
    connect(box, &QLineEdit::textChanged, this, [this] { m_before = m_box->text(); });
}

// The text after the cursor is what followed the edit; what stands before
// it, past the beginning that the edit left alone, is what the user put in.
void FieldInputLimit::limitEdit()
{
    const QString text = m_box->text();
    const qsizetype cursor = m_box->cursorPosition();
    const QStringView after = QStringView(text).sliced(cursor);
    const qsizetype unchangedEnd = qMin(cursor, m_before.size() - after.size());
    qsizetype start = 0;
    while (start < unchangedEnd && text[start] == m_before[start])
        ++start;
    if (start > 0 && isSecondHalf(text, start))
        --start;

    const QString kept = text.left(start);
    const QString inserted = text.mid(start, cursor - start);
    const QString limited = firstCharacters(
            firstLine(inserted), m_maxCharacters - characterCount(kept) - characterCount(after));
    if (limited == inserted)
        return;
    m_box->setText(kept + limited + after.toString());
    m_box->setCursorPosition(int(kept.size() + limited.size()));
}
