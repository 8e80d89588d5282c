#ifndef FORMFIXTURE_H
#define FORMFIXTURE_H

#include "ui/frmventolia.h"

#include "datafiles.h"
#include "messageboxcatcher.h"

#include <QTemporaryDir>
#include <QTest>

#include <memory>

// A window whose program folder, and so whose data file, is a fresh
// temporary folder of its own. It waits a short while for another program
// that holds the file; a message box that the test does not catch itself
// fails the test.
class FormFixture
{
public:
    static constexpr std::chrono::milliseconds waitLimit{ 750 };

    bool isValid() const { return m_directory.isValid(); }
    QString directory() const { return m_directory.path(); }
    QString dataFilePath() const { return m_directory.filePath(QStringLiteral("Ventolia.dat")); }
    frmVentolia *form() const { return m_form.get(); }

    // Loads and shows the window as the program does, and waits until it
    // has the keyboard focus.
    bool start(std::chrono::milliseconds limit = waitLimit)
    {
        m_form = std::make_unique<frmVentolia>(directory(), limit);
        if (!m_form->Form_Load())
            return false;
        m_form->show();
        return QTest::qWaitForWindowActive(m_form.get());
    }

    bool startWith(const QByteArray &fileBytes, std::chrono::milliseconds limit = waitLimit)
    {
        return DataFiles::write(dataFilePath(), fileBytes) && start(limit);
    }

private:
    MessageBoxCatcher m_unexpected{ MessageBoxCatcher::Unexpected };
    QTemporaryDir m_directory;
    std::unique_ptr<frmVentolia> m_form;
};

#endif // FORMFIXTURE_H
