#include "floorwindow.h"

#include "ui/formlayout.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>

// Named as the window's controls are, so that the test plugin that reports
// the window (tests/probe) finds it too.
FloorWindow::FloorWindow(int records)
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
    if (records < 0)
        return;
    controls.counter->setText(QStringLiteral("Registro %1/%2").arg(qMin(records, 1)).arg(records));
    for (int field = 0; records > 0 && field < AddressRecord::FieldCount; ++field) {
        controls.boxes[field]->setText(QString(AddressRecord::width(AddressRecord::Field(field)), u' '));
        controls.boxes[field]->setCursorPosition(0);
    }
}
