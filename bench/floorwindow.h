#ifndef FLOORWINDOW_H
#define FLOORWINDOW_H

#include <QDialog>

// The floor for the window's figures: the same 34 controls, with the same
// captions, laid out by the same layout code for the default font, in a
// plain window that reads no file, has no icon and no logic behind it.
class FloorWindow : public QDialog
{
public:
    FloorWindow();
};

#endif // FLOORWINDOW_H
