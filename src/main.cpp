#include "ui/frmventolia.h"

#include <QApplication>

#include <cstdlib>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    frmVentolia form(QCoreApplication::applicationDirPath());
    if (!form.Form_Load())
        return EXIT_FAILURE;
    form.show();
    return app.exec();
}
