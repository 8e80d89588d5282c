#ifndef MESSAGEBOXCATCHER_H
#define MESSAGEBOXCATCHER_H

#include <QApplication>
#include <QMessageBox>
#include <QStringList>
#include <QTimer>

// A modal message box would block a test: while a catcher lives, every one
// that appears is closed, and its text kept.
class MessageBoxCatcher : public QObject
{
public:
    MessageBoxCatcher()
    {
        connect(&m_timer, &QTimer::timeout, this, &MessageBoxCatcher::closeMessageBox);
        m_timer.start(10);
    }

    QStringList texts() const { return m_texts; }

private:
    void closeMessageBox()
    {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            m_texts.append(box->text());
            box->done(QMessageBox::Ok);
        }
    }

    QTimer m_timer;
    QStringList m_texts;
};

#endif // MESSAGEBOXCATCHER_H
