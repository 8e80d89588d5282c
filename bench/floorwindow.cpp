#include "floorwindow.h"

#include "ui/formlayout.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>

FloorWindow::FloorWindow()
{
    setWindowTitle(QStringLiteral("Ventolia"));
    setFixedSize(FormLayout::clientSize());
    setFont(FormLayout::fittingFont(font(), style()));

    auto *aceptar = new QPushButton(QStringLiteral("Aceptar"), this);
    aceptar->setGeometry(FormLayout::aceptarGeometry());
    aceptar->hide();
    auto *nuevo = new QPushButton(QStringLiteral("Nuevo"), this);
    nuevo->setGeometry(FormLayout::nuevoGeometry());

    for (int field = 0; field < AddressRecord::FieldCount; ++field) {
        const auto controls = FormLayout::fieldControls(AddressRecord::Field(field));
        auto *label = new QLabel(QString::fromUtf8(controls.caption), this);
        label->move(controls.labelPosition);
        label->adjustSize();
        auto *box = new QLineEdit(this);
        box->setGeometry(controls.boxGeometry);
    }

    auto *scrollBar = new QScrollBar(Qt::Horizontal, this);
    scrollBar->setGeometry(FormLayout::scrollBarGeometry());
    scrollBar->setRange(1, 1);
    auto *counter = new QLabel(this);
    counter->setGeometry(FormLayout::counterGeometry());
}
