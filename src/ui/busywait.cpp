#include "busywait.h"

#include "heldkeyfilter.h"

#include <QApplication>
#include <QWidget>

BusyWait::BusyWait(const QList<QWidget *> &stopped, HeldKeyFilter *keys)
    : m_window(stopped.first()->window()), m_keys(keys)
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
    m_keys->setWaiting(false);
    QApplication::restoreOverrideCursor();
    for (QWidget *widget : std::as_const(m_stopped))
        widget->setEnabled(true);
    giveBackFocus();
}

// Disabling the control that has the focus moves the focus on, or to
// nothing, and enabling it again does not bring it back. The window keeps
// its focus while another window is active, and the keys that the window
// system sends it go there.
void BusyWait::keepResponding()
{
    if (!m_waiting) {
        m_waiting = true;
        m_focus = m_window->focusWidget();
        QApplication::setOverrideCursor(Qt::WaitCursor);
        qApp->installEventFilter(this);
        m_keys->setWaiting(true);
        for (QWidget *widget : std::as_const(m_stopped))
            widget->setEnabled(false);
    }
    QCoreApplication::processEvents();
}

// The controls that the wait stopped are enabled again, and nothing else
// changed meanwhile: the one that had the focus can take it back.
void BusyWait::giveBackFocus()
{
    if (m_focus)
        m_focus->setFocus(Qt::OtherFocusReason);
}

// What the user clicks or composes would act, and the window must not close
// while it waits. Keys go on to the held-key rule.
bool BusyWait::eventFilter(QObject *watched, QEvent *event)
{
    const bool key = event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease
            || event->type() == QEvent::ShortcutOverride;
    if ((event->isInputEvent() && !key) || event->type() == QEvent::InputMethod || event->type() == QEvent::Close)
        return true;
    return QObject::eventFilter(watched, event);
}
