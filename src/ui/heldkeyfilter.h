#ifndef HELDKEYFILTER_H
#define HELDKEYFILTER_H

#include <QObject>
#include <QSet>

class QKeyEvent;

// A key held down acts once, wherever it is held, message boxes included.
// The repeat itself decides: a repeat of Enter or Escape, which press
// buttons, never acts, nor one of Space on a button, whether or not its
// first press was seen (it may have gone to another window, or come before
// the program started). A key whose first press pressed a button presses
// nothing more until it is let go, wherever the focus has gone meanwhile;
// other keys repeat as they do, so that held arrows browse and held letters
// type. Qt flags repeats, except on X11 where it may not: there each repeat
// comes as a release and a press with one timestamp, which a real second
// press never has.
//
// It alone decides what every key event does, the window's waits included:
// a wait's own filter lets keys through and says that the window waits
// (setWaiting), so that the two share one view of the keyboard. While the
// window waits, a press acts on nothing, and neither does anything that its
// key sends until it is let go.
class HeldKeyFilter : public QObject
{
public:
    explicit HeldKeyFilter(QObject *parent = nullptr);

    void setWaiting(bool waiting) { m_waiting = waiting; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool dropsPress(const QObject *receiver, const QKeyEvent *key);
    bool isRepeat(const QKeyEvent *key) const;

    int m_lastReleasedKey = 0;
    quint64 m_lastReleaseTime = 0; // 0: an event that a program made, which has no time
    QSet<int> m_heldWithoutActing; // keys down whose repeats act on nothing
    bool m_waiting = false;
};

#endif // HELDKEYFILTER_H
