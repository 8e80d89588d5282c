// The floor of the start-up figures (startup-instructions, windows-startup):
// the plain window with the same controls, started and shown as the program
// starts and shows its window. Given a count of records, it shows the texts
// that the program shows for a file of so many records of spaces: the
// counter's text, in the window's font, and the first record's fields.

#include "floorwindow.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    FloorWindow floor(argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : -1);
    floor.show();
    return app.exec();
}
