// Loaded into the program by Qt itself (QT_QPA_GENERIC_PLUGINS=ventoliaprobe),
// so that a test can watch the real executable without a display. It prints
// and closes every message box, prints the window's counter and first field
// for each record that the scroll bar reaches, and then closes the window.

#include <QApplication>
#include <QGenericPlugin>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QScrollBar>
#include <QTextStream>
#include <QTimer>

class VentoliaProbe : public QObject
{
public:
    VentoliaProbe()
    {
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
        for (QWidget *window : QApplication::topLevelWidgets()) {
            if (window->objectName() == QLatin1String("frmVentolia") && window->isVisible()) {
                m_timer.stop();
                browse(window);
                window->close();
            }
        }
    }

    void browse(QWidget *window)
    {
        report(QStringLiteral("title"), window->windowTitle());
        auto *scrollBar = window->findChild<QScrollBar *>(QStringLiteral("hsbVentolia"));
        reportRecord(window);
        while (scrollBar->value() < scrollBar->maximum()) {
            scrollBar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
            reportRecord(window);
        }
    }

    void reportRecord(QWidget *window)
    {
        report(QStringLiteral("counter"),
               window->findChild<QLabel *>(QStringLiteral("lblRegistro"))->text());
        report(QStringLiteral("txtNombre"),
               window->findChild<QLineEdit *>(QStringLiteral("txtNombre"))->text());
    }

    static void report(const QString &what, const QString &text)
    {
        QTextStream out(stdout);
        out << what << '=' << text << Qt::endl;
    }

    QTimer m_timer;
};

class VentoliaProbePlugin : public QGenericPlugin
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QGenericPluginFactoryInterface_iid FILE "ventoliaprobe.json")

public:
    QObject *create(const QString &, const QString &) override { return new VentoliaProbe; }
};

#include "ventoliaprobe.moc"
