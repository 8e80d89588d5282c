// Loaded into the program by Qt itself (QT_QPA_GENERIC_PLUGINS=ventoliaprobe),
// so that a test can drive the real executable without a display. It reports
// on standard output, one "what=text" line each:
//   message=...   every message box, which it then closes, with its
//                 buttons' texts in brackets after it;
//   ready=...     the counter, once the window is shown and drawn.
// Then it carries out the lines it reads on standard input:
//   browse        reports the counter and txtNombre of the record shown, and
//                 of each record the scroll bar's right arrow reaches;
//   save <name>   presses Enter, types the name, presses Enter again, and
//                 reports the counter; "busy" first, if the window waits;
//   menu          reports the actions of txtNombre's right-click menu, as
//                 menu=text|text|...;
// and closes the window at the end of its input.

#include <QAbstractButton>
#include <QApplication>
#include <QGenericPlugin>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QScrollBar>
#include <QTest>
#include <QTextStream>
#include <QTimer>

#include <cstdio>
#include <memory>
#include <thread>

#ifdef Q_OS_WIN
#include <fcntl.h>
#include <io.h>
#endif

class VentoliaProbe : public QObject
{
public:
    VentoliaProbe()
    {
#ifdef Q_OS_WIN
        _setmode(_fileno(stdout), _O_BINARY); // lines end in \n, as on POSIX
#endif
        qApp->installEventFilter(this);
        // Standard input is read in a thread of its own: a pipe cannot be
        // watched by the event loop on every platform. The thread may still
        // be waiting for input when the program ends, so it is let go.
        std::thread([probe = QPointer<VentoliaProbe>(this)] {
            char line[4096];
            while (std::fgets(line, sizeof line, stdin))
                QMetaObject::invokeMethod(probe, [probe, text = QString::fromUtf8(line).trimmed()] {
                    probe->receive(text);
                });
            QMetaObject::invokeMethod(probe, [probe] { probe->receive(QString()); });
        }).detach();
    }

protected:
    // The window is ready once it has been drawn for the first time.
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Show) {
            if (auto *box = qobject_cast<QMessageBox *>(watched)) {
                QStringList buttons;
                for (const QAbstractButton *button : box->buttons())
                    buttons << button->text();
                report(QStringLiteral("message"), box->text() + QStringLiteral(" [%1]").arg(buttons.join(u'|')));
                QTimer::singleShot(0, box, [box] { box->done(QMessageBox::Ok); });
            }
        } else if (event->type() == QEvent::Paint && !m_window
                   && watched->objectName() == QLatin1String("frmVentolia")) {
            m_window = static_cast<QWidget *>(watched);
            QTimer::singleShot(0, this, [this] {
                report(QStringLiteral("ready"), counter());
                carryOutPending();
            });
        }
        return false;
    }

private:
    // An empty line stands for the end of the input.
    void receive(const QString &line)
    {
        m_pending.append(line);
        carryOutPending();
    }

    // One at a time: a message box's own event loop must not start the next.
    void carryOutPending()
    {
        if (!m_window || m_busy)
            return;
        m_busy = true;
        while (!m_pending.isEmpty()) {
            const QString command = m_pending.takeFirst();
            if (command.isEmpty()) {
                m_window->close();
                break;
            }
            carryOut(command);
        }
        m_busy = false;
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
        else if (command == QLatin1String("menu"))
            reportMenu();
    }

    void reportMenu()
    {
        const std::unique_ptr<QMenu> menu(
                m_window->findChild<QLineEdit *>(QStringLiteral("txtNombre"))->createStandardContextMenu());
        QStringList actions;
        for (const QAction *action : menu->actions()) {
            if (!action->isSeparator())
                actions << action->text();
        }
        report(QStringLiteral("menu"), actions.join(u'|'));
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
        for (QChar character : name)
            QTest::sendKeyEvent(QTest::Click, QApplication::focusWidget(), Qt::Key_unknown,
                                QString(character), Qt::NoModifier);
        // The window keeps handling its events while it waits busy.
        QTimer busy;
        connect(&busy, &QTimer::timeout, this, [&busy] {
            if (QApplication::overrideCursor()) {
                report(QStringLiteral("busy"), QString());
                busy.stop();
            }
        });
        busy.start(10);
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

    QPointer<QWidget> m_window;
    QStringList m_pending;
    bool m_busy = false;
};

class VentoliaProbePlugin : public QGenericPlugin
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QGenericPluginFactoryInterface_iid FILE "ventoliaprobe.json")

public:
    QObject *create(const QString &, const QString &) override { return new VentoliaProbe; }
};

#include "ventoliaprobe.moc"
