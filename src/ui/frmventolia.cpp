#include "frmventolia.h"

#include "formlayout.h"
#include "data/recordfile.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>

#include <cstdlib>

namespace {

const QString title = QStringLiteral("Ventolia");
const QString nuevoCaption = QStringLiteral("Nuevo");

} // namespace

frmVentolia::frmVentolia(const QString &programDirectory, QWidget *parent)
    : QDialog(parent), programDirectory(programDirectory)
{
    setObjectName(QStringLiteral("frmVentolia"));
    setWindowTitle(title);
    setWindowIcon(QIcon(QStringLiteral(":/icons/ventolia.png")));
    setWindowFlags(Qt::Window | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(FormLayout::clientSize());
    // Before the controls exist, so that they are created with it.
    setFont(FormLayout::fittingFont(font(), style()));

    // Created in tab order: the focus starts on the first control that takes it.
    createButtons();
    createFieldControls();
    createScrollBar();
    createCounter();
    arrangeTabOrder();
    counterFonts = FittedFonts(font(), lblRegistro->contentsRect().width());
}

void frmVentolia::createButtons()
{
    cmdAceptar = new QPushButton(QStringLiteral("Aceptar"), this);
    cmdAceptar->setObjectName(QStringLiteral("cmdAceptar"));
    cmdAceptar->setGeometry(FormLayout::aceptarGeometry());
    cmdAceptar->setAutoDefault(true);
    cmdAceptar->hide();
    connect(cmdAceptar, &QPushButton::clicked, this, &frmVentolia::cmdAceptar_Click);

    cmdNuevo = new QPushButton(nuevoCaption, this);
    cmdNuevo->setObjectName(QStringLiteral("cmdNuevo"));
    cmdNuevo->setGeometry(FormLayout::nuevoGeometry());
    cmdNuevo->setAutoDefault(true);
    cmdNuevo->setDefault(true);
    connect(cmdNuevo, &QPushButton::clicked, this, &frmVentolia::cmdNuevo_Click);
}

void frmVentolia::createFieldControls()
{
    for (int field = 0; field < AddressRecord::FieldCount; ++field) {
        const FormLayout::FieldControls controls = FormLayout::fieldControls(AddressRecord::Field(field));
        const QString stem = QString::fromUtf8(controls.stem);

        QLabel *label = new QLabel(QString::fromUtf8(controls.caption), this);
        label->setObjectName(QLatin1String("lbl") + stem);
        label->move(controls.labelPosition);
        label->adjustSize();
        fieldLabels[field] = label;

        QLineEdit *box = new QLineEdit(this);
        box->setObjectName(QLatin1String("txt") + stem);
        box->setGeometry(controls.boxGeometry);
        box->setMaxLength(AddressRecord::width(AddressRecord::Field(field)));
        box->setReadOnly(true);
        textBoxes[field] = box;
        label->setBuddy(box); // a screen reader names the box after its label
    }
}

void frmVentolia::createScrollBar()
{
    hsbVentolia = new QScrollBar(Qt::Horizontal, this);
    hsbVentolia->setObjectName(QStringLiteral("hsbVentolia"));
    hsbVentolia->setGeometry(FormLayout::scrollBarGeometry());
    hsbVentolia->setAccessibleName(QStringLiteral("Elegir registro"));
    hsbVentolia->setRange(1, 1);
    hsbVentolia->setSingleStep(1);
    hsbVentolia->setPageStep(1);
    hsbVentolia->setFocusPolicy(Qt::StrongFocus);
    hsbVentolia->installEventFilter(this);
    // The change handler runs once per new value, and only once at the end of
    // a drag; while dragging, the scroll handler follows the thumb.
    hsbVentolia->setTracking(false);
    connect(hsbVentolia, &QScrollBar::valueChanged, this, &frmVentolia::hsbVentolia_Change);
    connect(hsbVentolia, &QScrollBar::sliderMoved, this, &frmVentolia::hsbVentolia_Scroll);
}

// The counter lies under "Aceptar", which hides it while it is shown.
void frmVentolia::createCounter()
{
    lblRegistro = new QLabel(this);
    lblRegistro->setObjectName(QStringLiteral("lblRegistro"));
    lblRegistro->setGeometry(FormLayout::counterGeometry());
    lblRegistro->stackUnder(cmdAceptar);
}

void frmVentolia::arrangeTabOrder()
{
    QList<QWidget *> chain = { cmdAceptar, cmdNuevo };
    chain.append(QList<QWidget *>(textBoxes.begin(), textBoxes.end()));
    chain.append(hsbVentolia);
    for (qsizetype i = 1; i < chain.size(); ++i)
        QWidget::setTabOrder(chain[i - 1], chain[i]);
}

// Escape presses the cancel button, if there is one. QDialog's own Escape
// would reject the dialog, which closes the window and ends the program.
void frmVentolia::keyPressEvent(QKeyEvent *event)
{
    if (!event->matches(QKeySequence::Cancel)) {
        QDialog::keyPressEvent(event);
        return;
    }
    if (cancelButton)
        cancelButton->click();
}

// Qt 6.4 moves a horizontal scroll bar backwards on the Right arrow key (its
// inverted controls are applied to Left and Right): the arrows move it here.
bool frmVentolia::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != hsbVentolia || event->type() != QEvent::KeyPress)
        return QDialog::eventFilter(watched, event);
    const auto *key = static_cast<QKeyEvent *>(event);
    if ((key->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier
        || (key->key() != Qt::Key_Left && key->key() != Qt::Key_Right))
        return false;
    const bool forward = (key->key() == Qt::Key_Right) != hsbVentolia->isRightToLeft();
    hsbVentolia->triggerAction(forward ? QAbstractSlider::SliderSingleStepAdd
                                       : QAbstractSlider::SliderSingleStepSub);
    return true;
}

bool frmVentolia::Form_Load()
{
    dataFilePath = RecordFile::dataFilePath(programDirectory);
    RecordFile file(dataFilePath);
    if (!loadRecords(file)) {
        showError(file.errorString());
        return false;
    }
    file.close();
    showCounter();
    return true;
}

// Counts the records and shows the first, if there is one.
bool frmVentolia::loadRecords(RecordFile &file)
{
    if (!file.open())
        return false;
    const std::optional<qint16> count = file.countRecords();
    if (!count)
        return false;
    recordCount = *count;
    if (recordCount == 0)
        return true;
    if (!file.readRecord(1, record))
        return false;
    fillTextBoxes();
    currentRecord = 1;
    hsbVentolia->setMaximum(recordCount);
    return true;
}

void frmVentolia::hsbVentolia_Change()
{
    ShowRecord(qint16(hsbVentolia->value()));
}

// With tracking off, the value changes only when the drag ends; the thumb's
// position is the value under it meanwhile.
void frmVentolia::hsbVentolia_Scroll()
{
    ShowRecord(qint16(hsbVentolia->sliderPosition()));
}

void frmVentolia::ShowRecord(qint16 number)
{
    if (!fillTextBoxesFromFile(number))
        return;
    currentRecord = number;
    showCounter();
}

// The mode is the caption of cmdNuevo: "Nuevo" while browsing.
void frmVentolia::cmdNuevo_Click()
{
    if (cmdNuevo->text() == nuevoCaption)
        enterNewRecordMode();
    else
        leaveNewRecordMode();
}

void frmVentolia::enterNewRecordMode()
{
    hsbVentolia->hide();
    cmdNuevo->setText(QStringLiteral("Cancelar"));
    cancelButton = cmdNuevo;
    cmdAceptar->show();
    cmdAceptar->setDefault(true);
    setCounterCaption(QStringLiteral("Nuevo registro"));
    setTextBoxesEditable(true);
    textBoxes[AddressRecord::Nombre]->setFocus();
    clearTextBoxes();
}

// Shows again the current record, or empty boxes while there is none, and
// leaves the focus where it is.
void frmVentolia::leaveNewRecordMode()
{
    if (currentRecord == 0)
        clearTextBoxes();
    else if (!fillTextBoxesFromFile(currentRecord))
        return;
    hsbVentolia->show();
    cmdNuevo->setText(nuevoCaption);
    cmdNuevo->setDefault(true);
    cmdAceptar->hide();
    showCounter();
    setTextBoxesEditable(false);
}

// A failed save leaves everything as it was, typed texts included, so that
// the user can try again or cancel.
void frmVentolia::cmdAceptar_Click()
{
    if (!saveRecord())
        return;
    showCounter();
    hsbVentolia->setMaximum(recordCount);
    hsbVentolia->setValue(recordCount); // shows the new record, if the value changes
    cmdNuevo_Click();
}

// The new record's number comes from the file: if another copy of the
// program has added records meanwhile, the count jumps past them.
bool frmVentolia::saveRecord()
{
    for (int field = 0; field < AddressRecord::FieldCount; ++field)
        record.setField(AddressRecord::Field(field), textBoxes[field]->text());

    RecordFile file(dataFilePath);
    const std::optional<qint16> number = file.open() ? file.appendRecord(record) : std::nullopt;
    if (!number) {
        showError(file.errorString());
        return false;
    }
    file.close();
    recordCount = *number;
    currentRecord = recordCount;
    return true;
}

// Opens the file, reads the record, closes the file and shows the record. A
// failure ends the program.
bool frmVentolia::fillTextBoxesFromFile(qint16 number)
{
    RecordFile file(dataFilePath);
    if (!file.open() || !file.readRecord(number, record)) {
        endWithError(file.errorString());
        return false;
    }
    file.close();
    fillTextBoxes();
    return true;
}

void frmVentolia::fillTextBoxes()
{
    for (int field = 0; field < AddressRecord::FieldCount; ++field) {
        QLineEdit *box = textBoxes[field];
        box->setText(record.field(AddressRecord::Field(field)));
        box->setCursorPosition(0); // show the beginning, not the trailing spaces
    }
}

void frmVentolia::clearTextBoxes()
{
    for (QLineEdit *box : textBoxes)
        box->clear();
}

// Locked boxes still take a click and let their text be selected; Tab skips
// them.
void frmVentolia::setTextBoxesEditable(bool editable)
{
    for (QLineEdit *box : textBoxes) {
        box->setReadOnly(!editable);
        box->setFocusPolicy(editable ? Qt::StrongFocus : Qt::ClickFocus);
    }
}

void frmVentolia::showCounter()
{
    setCounterCaption(QStringLiteral("Registro %1/%2").arg(currentRecord).arg(recordCount));
}

// The counter keeps its size: a caption too wide for it is narrowed to fit.
void frmVentolia::setCounterCaption(const QString &caption)
{
    lblRegistro->setText(caption);
    lblRegistro->setFont(counterFonts.fontFor(caption));
}

void frmVentolia::showError(const QString &message)
{
    QMessageBox::critical(this, title, message);
}

// One message is enough: a failure that follows one that ends the program
// (reading back a record just saved, say) is not shown.
void frmVentolia::endWithError(const QString &message)
{
    if (ending)
        return;
    ending = true;
    showError(message);
    QCoreApplication::exit(EXIT_FAILURE);
}
