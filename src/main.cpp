#include "data/platformfile.h"
#include "ui/frmventolia.h"

#include <QApplication>
#include <QTranslator>

#include <cstdlib>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    // Spanish whatever the desktop's language, Qt's own texts too (a
    // message's buttons, a box's menu): Qt's translation is compiled in.
    QTranslator qtSpanish;
    if (qtSpanish.load(QStringLiteral(":/translations/qtbase_es.qm")))
        QCoreApplication::installTranslator(&qtSpanish);
    PlatformFile::failWritesPastSizeLimit();
    frmVentolia form(PlatformFile::programDirectory());
    if (!form.Form_Load())
        return EXIT_FAILURE;
    form.show();
    return app.exec();
}
