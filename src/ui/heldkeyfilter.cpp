#include "heldkeyfilter.h"

#include <QAbstractButton>
#include <QKeyEvent>

namespace {

// Keys that press a button, where they are pressed.
bool pressesAButton(const QObject *receiver, const QKeyEvent *key)
{
    return key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter || key->matches(QKeySequence::Cancel)
            || (key->key() == Qt::Key_Space && qobject_cast<const QAbstractButton *>(receiver));
}

} // namespace

HeldKeyFilter::HeldKeyFilter(QObject *parent) : QObject(parent)
{
}

// A button acts on Space's release, which on X11 comes before the press of
// its repeat: the first repeat's release presses it, and what follows does
// not, as the button is no longer down.
bool HeldKeyFilter::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyRelease) {
        const auto *key = static_cast<QKeyEvent *>(event);
        m_lastReleasedKey = key->key();
        m_lastReleaseTime = key->timestamp();
    } else if (event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (isRepeat(key))
            return m_heldKeyActsOnce;
        m_heldKeyActsOnce = pressesAButton(watched, key);
    }
    return QObject::eventFilter(watched, event);
}

bool HeldKeyFilter::isRepeat(const QKeyEvent *key) const
{
    return key->isAutoRepeat()
            || (key->timestamp() != 0 && key->timestamp() == m_lastReleaseTime && key->key() == m_lastReleasedKey);
}
