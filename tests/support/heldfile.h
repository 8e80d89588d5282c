#ifndef HELDFILE_H
#define HELDFILE_H

#include "systemcallrecorder.h"

#include <QProcess>

// Another program's hold on a data file, until letGo() returns: a lock, a
// file shared with no one (Windows) or a lease (Linux), taken by
// otherprogram; or "read", records that another program has locked
// (Windows). Wine lets such a read through, so the recorder fails it as
// Windows does.
class HeldFile
{
public:
    ~HeldFile() { letGo(); }

    bool hold(const QString &path, const QString &how)
    {
        if (how == u"read") {
            m_recorder.failAfter = QStringList(1000, QStringLiteral("read:held"));
            return true;
        }
        m_holder.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_holder.start(QStringLiteral(OTHER_PROGRAM), { QStringLiteral("hold"), path, how });
        return m_holder.waitForReadyRead(30000) && m_holder.readLine().trimmed() == "held";
    }

    void letGo()
    {
        m_holder.closeWriteChannel();
        m_holder.waitForFinished(30000);
        m_recorder.failAfter.clear();
    }

private:
    QProcess m_holder;
    SystemCallRecorder m_recorder;
};

#endif // HELDFILE_H
