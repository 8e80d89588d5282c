// The floor of the start-up instruction counts (startup-instructions): the
// plain window with the same controls, started and shown as the program
// starts and shows its window.

#include "floorwindow.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    FloorWindow floor;
    floor.show();
    return app.exec();
}
