#ifndef BUSYWAIT_H
#define BUSYWAIT_H

#include <QList>
#include <QObject>
#include <QPointer>

class HeldKeyFilter;
class QWidget;

// While the window waits for something outside it, such as another
// program's hold on the data file: the busy cursor shows, the window keeps
// being drawn, the given controls are disabled, and what the user clicks or
// types meanwhile is dropped rather than acted on once the wait is over.
// The keys are the held-key rule's to drop, which it is told of the wait:
// it alone decides what every key does. Once the wait is over, the focus goes
// back where it was in the window, whether the window is active or not.
// None of it shows unless the wait begins: keepResponding() begins it.
class BusyWait : public QObject
{
public:
    BusyWait(const QList<QWidget *> &stopped, HeldKeyFilter *keys);
    ~BusyWait() override;

    // Handles what has happened meanwhile; call it now and then.
    void keepResponding();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void giveBackFocus();

    QList<QWidget *> m_stopped; // the enabled ones of the controls given
    QWidget *m_window;
    HeldKeyFilter *m_keys;
    QPointer<QWidget> m_focus; // where the focus was as the wait began
    bool m_waiting = false;
};

#endif // BUSYWAIT_H
