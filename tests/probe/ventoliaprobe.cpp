// Loaded into the program by Qt itself (QT_QPA_GENERIC_PLUGINS=ventoliaprobe),
// so that a test can drive the real executable without a display. It reports
// on standard output, one "what=text" line each:
//   message=...   every message box, which it then closes;
//   ready=...     the counter, once the window is shown.
// Then it carries out the lines it reads on standard input:
//   browse        reports the counter and txtNombre of the record shown, and
//                 of each record the scroll bar's right arrow reaches;
//   save <name>   presses Enter, types the name, presses Enter again, and
//                 reports the counter;
// and closes the window at the end of its input.

#include <QApplication>
#include <QGenericPlugin>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QScrollBar>
#include <QSocketNotifier>
#include <QTest>
#include <QTextStream>
#include <QTimer>

#include <unistd.h>

class VentoliaProbe : public QObject
{
public:
    VentoliaProbe() : m_input(STDIN_FILENO, QSocketNotifier::Read)
    {
        m_input.setEnabled(false);
        connect(&m_input, &QSocketNotifier::activated, this, &VentoliaProbe::readInput);
        connect(&m_timer, &QTimer::timeout, this, &VentoliaProbe::poll);
        m_timer.start(20);
    }

private:
    void poll()
    {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            report(QStringLiteral("message"), box->text());
            box->done(QMessageBox::Ok);
            return;
        }
        if (m_window)
            return;
        for (QWidget *window : QApplication::topLevelWidgets()) {
            if (window->objectName() == QLatin1String("frmVentolia") && window->isVisible()) {
                m_window = window;
                report(QStringLiteral("ready"), counter());
                m_input.setEnabled(true);
            }
        }
    }

    void readInput()
    {
        char buffer[4096];
        const ssize_t count = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (count <= 0) {
            m_input.setEnabled(false);
            m_window->close();
            return;
        }
        m_pending.append(buffer, count);
        m_input.setEnabled(false); // a message box's event loop must not read on
        for (qsizetype end; (end = m_pending.indexOf('\n')) >= 0; m_pending.remove(0, end + 1))
            carryOut(QString::fromUtf8(m_pending.left(end)));
        m_input.setEnabled(true);
    }

    void carryOut(const QString &command)
    {
        m_window->activateWindow(); // a closed message box may have taken the activation along
        if (!QTest::qWaitForWindowActive(m_window))
            report(QStringLiteral("error"), QStringLiteral("the window is not active"));
        else if (command == QLatin1String("browse"))
            browse();
        else if (command.startsWith(QLatin1String("save ")))
            save(command.mid(5));
    }

    void browse()
    {
        auto *scrollBar = m_window->findChild<QScrollBar *>(QStringLiteral("hsbVentolia"));
        reportRecord();
        while (scrollBar->value() < scrollBar->maximum()) {
            scrollBar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
            reportRecord();
        }
    }

    void save(const QString &name)
    {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QTest::keyClicks(QApplication::focusWidget(), name);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        report(QStringLiteral("counter"), counter());
    }

    void reportRecord()
    {
        report(QStringLiteral("counter"), counter());
        report(QStringLiteral("txtNombre"),
               m_window->findChild<QLineEdit *>(QStringLiteral("txtNombre"))->text());
    }

    QString counter() const
    {
        return m_window->findChild<QLabel *>(QStringLiteral("lblRegistro"))->text();
    }

    static void report(const QString &what, const QString &text)
    {
        QTextStream out(stdout);
        out << what << '=' << text << Qt::endl;
    }

    QTimer m_timer;
    QSocketNotifier m_input;
    QByteArray m_pending;
    QWidget *m_window = nullptr;
};

class VentoliaProbePlugin : public QGenericPlugin
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QGenericPluginFactoryInterface_iid FILE "ventoliaprobe.json")

public:
    QObject *create(const QString &, const QString &) override { return new VentoliaProbe; }
};

#include "ventoliaprobe.moc"
