#include "data/platformfile.h"
#include "ui/frmventolia.h"

#include <QApplication>

#include <cstdlib>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    PlatformFile::failWritesPastSizeLimit();
    frmVentolia form(PlatformFile::programDirectory());
    if (!form.Form_Load())
        return EXIT_FAILURE;
    form.show();
    return app.exec();
}
