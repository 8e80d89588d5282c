#include "busywait.h"

#include <QApplication>
#include <QWidget>

BusyWait::BusyWait(const QList<QWidget *> &stopped)
{
    for (QWidget *widget : stopped) {
        if (widget->isEnabled())
            m_stopped.append(widget);
    }
}

// What arrived in the last moments is dropped too.
BusyWait::~BusyWait()
{
    if (!m_waiting)
        return;
    QCoreApplication::processEvents();
    qApp->removeEventFilter(this);
    QApplication::restoreOverrideCursor();
    for (QWidget *widget : std::as_const(m_stopped))
        widget->setEnabled(true);
}

void BusyWait::keepResponding()
{
    if (!m_waiting) {
        m_waiting = true;
        QApplication::setOverrideCursor(Qt::WaitCursor);
        qApp->installEventFilter(this);
        for (QWidget *widget : std::as_const(m_stopped))
            widget->setEnabled(false);
    }
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
