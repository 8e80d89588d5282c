#include "floorwindow.h"

#include "ui/formlayout.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>

#include <array>

// Named as the window's controls are, so that the test plugin that reports
// the window (tests/probe) finds it too.
FloorWindow::FloorWindow()
{
    setObjectName(QStringLiteral("frmVentolia"));
    setWindowTitle(QStringLiteral("Ventolia"));

    auto *aceptar = new QPushButton(QStringLiteral("Aceptar"), this);
    aceptar->hide();
    auto *nuevo = new QPushButton(QStringLiteral("Nuevo"), this);
    std::array<QLabel *, AddressRecord::FieldCount> labels;
    std::array<QLineEdit *, AddressRecord::FieldCount> boxes;
    std::array<int, AddressRecord::FieldCount> captionWidths;
    for (int field = 0; field < AddressRecord::FieldCount; ++field) {
        labels[field] = new QLabel(FormLayout::caption(AddressRecord::Field(field)), this);
        boxes[field] = new QLineEdit(this);
        captionWidths[field] = labels[field]->sizeHint().width();
    }
    auto *scrollBar = new QScrollBar(Qt::Horizontal, this);
    scrollBar->setRange(1, 1);
    auto *counter = new QLabel(this);
    counter->setObjectName(QStringLiteral("lblRegistro"));

    const FormLayout layout(captionWidths, boxes.front()->minimumSizeHint().height());
    setFixedSize(layout.clientSize());
    for (int field = 0; field < AddressRecord::FieldCount; ++field) {
        labels[field]->move(layout.labelPosition(AddressRecord::Field(field)));
        labels[field]->adjustSize();
        boxes[field]->setGeometry(layout.boxGeometry(AddressRecord::Field(field)));
    }
    aceptar->setGeometry(layout.aceptarGeometry());
    nuevo->setGeometry(layout.nuevoGeometry());
    scrollBar->setGeometry(layout.scrollBarGeometry());
    counter->setGeometry(layout.counterGeometry());
}
