#ifndef UNPRIVILEGED_H
#define UNPRIVILEGED_H

#include <QtGlobal>

#include <csignal>

#ifdef Q_OS_UNIX
#include <sys/resource.h>
#endif
#ifdef Q_OS_LINUX
#include <linux/capability.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

// Root writes into read-only files and folders regardless of their
// permissions. Without the capabilities that allow it, this process and the
// programs it starts meet permissions as an ordinary user does.
inline bool dropPermissionOverrides()
{
#ifdef Q_OS_LINUX
    if (geteuid() != 0)
        return true;
    const unsigned overrides[] = { CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH };
    for (unsigned capability : overrides) {
        if (prctl(PR_CAPBSET_DROP, capability, 0, 0, 0) != 0) // for child processes
            return false;
    }
    __user_cap_header_struct header = { _LINUX_CAPABILITY_VERSION_3, 0 };
    __user_cap_data_struct sets[2] = {};
    if (syscall(SYS_capget, &header, sets) != 0)
        return false;
    for (unsigned capability : overrides) {
        sets[0].effective &= ~(1u << capability);
        sets[0].permitted &= ~(1u << capability);
    }
    return syscall(SYS_capset, &header, sets) == 0;
#else
    return true;
#endif
}

#ifdef Q_OS_UNIX
// For tests that make writes fail: permissions hold as for a user, and a
// write past a file-size limit (RLIMIT_FSIZE) fails with EFBIG instead of
// ending the test with SIGXFSZ.
inline bool prepareForFailingWrites()
{
    std::signal(SIGXFSZ, SIG_IGN);
    return dropPermissionOverrides();
}

// The process's file-size limit, for as long as this lives.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(qint64 bytes)
    {
        m_set = getrlimit(RLIMIT_FSIZE, &m_saved) == 0;
        rlimit limited = m_saved;
        limited.rlim_cur = rlim_t(bytes);
        m_set = m_set && setrlimit(RLIMIT_FSIZE, &limited) == 0;
    }
    ~FileSizeLimit()
    {
        if (m_set)
            setrlimit(RLIMIT_FSIZE, &m_saved);
    }
    bool isSet() const { return m_set; }

private:
    rlimit m_saved;
    bool m_set;
};
#else
inline bool prepareForFailingWrites()
{
    return dropPermissionOverrides();
}
#endif

#endif // UNPRIVILEGED_H
