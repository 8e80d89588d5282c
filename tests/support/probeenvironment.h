#ifndef PROBEENVIRONMENT_H
#define PROBEENVIRONMENT_H

#include <QProcessEnvironment>

// The environment in which the real program runs without a display, with
// the test plugin (tests/probe) loaded into it by Qt, in a desktop whose
// language is C, as many minimal desktops start programs: the program
// speaks Spanish all the same. PROBE_PLUGIN_PATH is defined by the test's
// build.
inline QProcessEnvironment probeEnvironment()
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LANG"), QStringLiteral("C"));
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
    environment.remove(QStringLiteral("LANGUAGE"));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("QT_PLUGIN_PATH"), QStringLiteral(PROBE_PLUGIN_PATH));
    environment.insert(QStringLiteral("QT_QPA_GENERIC_PLUGINS"), QStringLiteral("ventoliaprobe"));
    return environment;
}

#endif // PROBEENVIRONMENT_H
