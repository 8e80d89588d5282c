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

// Releases always go through: they act on nothing but a button held down by
// Space, and they tell a held key's repeats from presses. A button acts on
// Space's release, which on X11 comes before the press of each repeat: the
// first repeat's release presses it, and what follows does not, as the
// button is no longer down.
bool HeldKeyFilter::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::KeyRelease: {
        const auto *key = static_cast<QKeyEvent *>(event);
        m_lastReleasedKey = key->key();
        m_lastReleaseTime = key->timestamp();
        break;
    }
    case QEvent::KeyPress:
        if (dropsPress(watched, static_cast<QKeyEvent *>(event)))
            return true;
        break;
    case QEvent::ShortcutOverride:
        if (m_waiting)
            return true;
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

bool HeldKeyFilter::dropsPress(const QObject *receiver, const QKeyEvent *key)
{
    if (isRepeat(key))
        return pressesAButton(receiver, key) || m_heldWithoutActing.contains(key->key());
    m_heldWithoutActing.remove(key->key());
    if (m_waiting || pressesAButton(receiver, key))
        m_heldWithoutActing.insert(key->key());
    return m_waiting;
}

bool HeldKeyFilter::isRepeat(const QKeyEvent *key) const
{
    return key->isAutoRepeat()
            || (key->timestamp() != 0 && key->timestamp() == m_lastReleaseTime && key->key() == m_lastReleasedKey);
}
