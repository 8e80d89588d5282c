#ifndef HELDKEYFILTER_H
#define HELDKEYFILTER_H

#include <QObject>

class QKeyEvent;

// A key held down acts once, wherever it is held, message boxes included:
// the repeats of Enter and Escape, which press buttons, are dropped, and so
// are those of Space held from a button, which presses it; in a text box
// Space types on. Qt flags repeats, except on X11 where it may not: there
// each repeat comes as a release and a press with one timestamp, which a
// real second press never has. Installed on the application, it sees every
// key event first.
class HeldKeyFilter : public QObject
{
public:
    explicit HeldKeyFilter(QObject *parent = nullptr);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool isRepeat(const QKeyEvent *key) const;

    int m_lastReleasedKey = 0;
    quint64 m_lastReleaseTime = 0; // 0: an event that a program made, which has no time
    bool m_heldKeyActsOnce = false;
};

#endif // HELDKEYFILTER_H
