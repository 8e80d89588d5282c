#include "busywait.h"

#include <QApplication>
#include <QWidget>

BusyWait::BusyWait(const QList<QWidget *> &stopped) : m_window(stopped.first()->window())
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
    giveBackFocus();
}

// Disabling the control that has the focus moves the focus on, or to
// nothing, and enabling it again does not bring it back.
void BusyWait::keepResponding()
{
    if (!m_waiting) {
        m_waiting = true;
        m_focus = QApplication::focusWidget();
        QApplication::setOverrideCursor(Qt::WaitCursor);
        qApp->installEventFilter(this);
        for (QWidget *widget : std::as_const(m_stopped))
            widget->setEnabled(false);
    }
    QCoreApplication::processEvents();
}

// To the control that had it, or where it can no longer take it, to the
// first control in tab order that can.
void BusyWait::giveBackFocus()
{
    const auto canTakeFocus = [](const QWidget *widget, Qt::FocusPolicy policy) {
        return widget->isEnabled() && widget->isVisible() && (widget->focusPolicy() & policy) == policy;
    };
    if (m_focus && canTakeFocus(m_focus, Qt::ClickFocus)) {
        m_focus->setFocus(Qt::OtherFocusReason);
        return;
    }
    for (QWidget *widget = m_window->nextInFocusChain(); widget != m_window; widget = widget->nextInFocusChain()) {
        if (canTakeFocus(widget, Qt::TabFocus)) {
            widget->setFocus(Qt::TabFocusReason);
            return;
        }
    }
}

// What the user clicks, types or composes would act, but a key's release,
// which acts on nothing here and tells a held key's repeats from presses;
// and the window must not close while it waits.
bool BusyWait::eventFilter(QObject *watched, QEvent *event)
{
    if ((event->isInputEvent() && event->type() != QEvent::KeyRelease) || event->type() == QEvent::InputMethod
        || event->type() == QEvent::Close)
        return true;
    return QObject::eventFilter(watched, event);
}
