#include "busywait.h"

#include <QApplication>

BusyWait::BusyWait()
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    qApp->installEventFilter(this);
}

// What arrived in the last moments is dropped too.
BusyWait::~BusyWait()
{
    keepResponding();
    qApp->removeEventFilter(this);
    QApplication::restoreOverrideCursor();
}

void BusyWait::keepResponding()
{
    QCoreApplication::processEvents();
}

bool BusyWait::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Wheel:
    case QEvent::InputMethod:
    case QEvent::Close:
        return true;
    default:
        return QObject::eventFilter(watched, event);
    }
}
