#ifndef FLOORWINDOW_H
#define FLOORWINDOW_H

#include <QDialog>

// The floor for the window's figures: the same 34 controls, with the same
// captions, laid out by the same layout code for the default font, in a
// plain window that reads no file, has no icon and no logic behind it. With
// a count of records, the texts that the window shows for them, each field
// of the first record spaces.
class FloorWindow : public QDialog
{
public:
    explicit FloorWindow(int records = -1);
};

#endif // FLOORWINDOW_H
