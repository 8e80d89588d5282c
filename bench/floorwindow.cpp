#include "floorwindow.h"

#include "ui/formlayout.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>

// Named as the window's controls are, so that the test plugin that reports
// the window (tests/probe) finds it too.
FloorWindow::FloorWindow()
{
    setObjectName(QStringLiteral("frmVentolia"));
    setWindowTitle(QStringLiteral("Ventolia"));

    FormLayout::Controls controls;
    controls.aceptar = new QPushButton(QStringLiteral("Aceptar"), this);
    controls.aceptar->hide();
    controls.nuevo = new QPushButton(QStringLiteral("Nuevo"), this);
    for (int field = 0; field < AddressRecord::FieldCount; ++field) {
        controls.labels[field] = new QLabel(FormLayout::caption(AddressRecord::Field(field)), this);
        controls.boxes[field] = new QLineEdit(this);
    }
    controls.scrollBar = new QScrollBar(Qt::Horizontal, this);
    controls.scrollBar->setRange(1, 1);
    controls.counter = new QLabel(this);
    controls.counter->setObjectName(QStringLiteral("lblRegistro"));
    FormLayout::arrange(this, controls);
}
