#ifndef BUSYWAIT_H
#define BUSYWAIT_H

#include <QObject>

// While the window waits for something outside it, such as another
// program's hold on the data file: the busy cursor shows, the window keeps
// being drawn, and what the user clicks or types meanwhile is dropped
// rather than acted on once the wait is over.
class BusyWait : public QObject
{
public:
    BusyWait();
    ~BusyWait() override;

    // Handles what has happened meanwhile; call it now and then.
    void keepResponding();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
};

#endif // BUSYWAIT_H
