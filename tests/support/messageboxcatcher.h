#ifndef MESSAGEBOXCATCHER_H
#define MESSAGEBOXCATCHER_H

#include <QApplication>
#include <QMessageBox>
#include <QStringList>
#include <QTest>
#include <QTimer>

#include <functional>

// A modal message box would block a test: while a catcher lives, every one
// that opens is closed as soon as it is shown, and its text kept. Where
// catchers are nested, the latest made acts alone. One that expects no
// message fails the test when one opens.
class MessageBoxCatcher : public QObject
{
public:
    enum Expectation { Expected, Unexpected };

    explicit MessageBoxCatcher(Expectation expectation = Expected)
        : m_expected(expectation == Expected), m_outer(latest())
    {
        latest() = this;
        qApp->installEventFilter(this);
    }
    ~MessageBoxCatcher() override { latest() = m_outer; }

    QStringList texts() const { return m_texts; }
    // Keeps each box open this long, for a test to see what happens meanwhile.
    void keepOpenFor(int milliseconds) { m_openFor = milliseconds; }
    // Where set, answers each box as it is shown, instead of closing it.
    std::function<void(QMessageBox *)> answer;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        auto *box = qobject_cast<QMessageBox *>(watched);
        if (event->type() != QEvent::Show || !box || latest() != this)
            return false;
        m_texts.append(box->text());
        if (!m_expected)
            QTest::qFail(qPrintable(QStringLiteral("unexpected message: ") + box->text()), __FILE__, __LINE__);
        if (answer)
            answer(box);
        else
            QTimer::singleShot(m_openFor, box, [box] { box->done(QMessageBox::Ok); });
        return false;
    }

private:
    static MessageBoxCatcher *&latest()
    {
        static MessageBoxCatcher *catcher = nullptr;
        return catcher;
    }

    const bool m_expected;
    MessageBoxCatcher *const m_outer;
    QStringList m_texts;
    int m_openFor = 0;
};

#endif // MESSAGEBOXCATCHER_H
