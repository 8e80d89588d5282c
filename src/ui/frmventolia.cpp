#include "frmventolia.h"

#include "busywait.h"
#include "fieldbox.h"
#include "formlayout.h"
#include "heldkeyfilter.h"
#include "data/recordfile.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QScrollBar>

#include <cstdlib>
#include <optional>

namespace {

// The window's icon, drawn in XPM, which is C: compiled in, it needs no
// image reader at start-up.
#include "ventolia.xpm"

const QString title = QStringLiteral("Ventolia");
const QString nuevoCaption = QStringLiteral("Nuevo");

// The main window: a title bar with its buttons, a taskbar entry, a place
// in Alt+Tab. On Windows its type is a dialog's, with a window's buttons and
// so the same window styles: Qt's Windows platform asks Direct3D for the
// graphics card as it makes a top-level window of the type Qt::Window (to
// place OpenGL windows on machines with two cards), which starts the
// graphics driver at every start of the program (86 MiB more under Wine).
// Elsewhere a desktop would treat a dialog's type as a dialog.
#ifdef Q_OS_WIN
constexpr Qt::WindowType mainWindowType() { return Qt::Dialog; }
#else
constexpr Qt::WindowType mainWindowType() { return Qt::Window; }
#endif

} // namespace

frmVentolia::frmVentolia(const QString &programDirectory, std::chrono::milliseconds waitLimit,
                         QWidget *parent)
    : QDialog(parent), programDirectory(programDirectory), waitLimit(waitLimit)
{
    setObjectName(QStringLiteral("frmVentolia"));
    setWindowTitle(title);
    setWindowIcon(QIcon(QPixmap::fromImage(QImage(ventolia))));
    setWindowFlags(mainWindowType() | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint
                   | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    heldKeys = new HeldKeyFilter(this);
    qApp->installEventFilter(heldKeys); // every window's keys, message boxes' too

    // Created in tab order: the focus starts on the first control that takes it.
    createButtons();
    createFieldControls();
    createScrollBar();
    createCounter();
    arrangeTabOrder();
    layOutControls();
}

void frmVentolia::createButtons()
{
    cmdAceptar = new QPushButton(QStringLiteral("Aceptar"), this);
    cmdAceptar->setObjectName(QStringLiteral("cmdAceptar"));
    cmdAceptar->setAutoDefault(true);
    cmdAceptar->hide();
    connect(cmdAceptar, &QPushButton::clicked, this, &frmVentolia::cmdAceptar_Click);

    cmdNuevo = new QPushButton(nuevoCaption, this);
    cmdNuevo->setObjectName(QStringLiteral("cmdNuevo"));
    cmdNuevo->setAutoDefault(true);
    cmdNuevo->setDefault(true);
    connect(cmdNuevo, &QPushButton::clicked, this, &frmVentolia::cmdNuevo_Click);
}

void frmVentolia::createFieldControls()
{
    for (int i = 0; i < AddressRecord::FieldCount; ++i) {
        const auto field = AddressRecord::Field(i);
        const QString stem = QString::fromUtf8(FormLayout::stem(field));

        QLabel *label = new QLabel(FormLayout::caption(field), this);
        label->setObjectName(QLatin1String("lbl") + stem);
        fieldLabels[i] = label;

        auto *box = new FieldBox(AddressRecord::width(field), this);
        box->setObjectName(QLatin1String("txt") + stem);
        box->setReadOnly(true);
        textBoxes[i] = box;
        label->setBuddy(box); // a screen reader names the box after its label
    }
}

void frmVentolia::createScrollBar()
{
    hsbVentolia = new QScrollBar(Qt::Horizontal, this);
    hsbVentolia->setObjectName(QStringLiteral("hsbVentolia"));
    hsbVentolia->setAccessibleName(QStringLiteral("Elegir registro"));
    hsbVentolia->setRange(1, 1);
    hsbVentolia->setSingleStep(1);
    hsbVentolia->setPageStep(1);
    hsbVentolia->setFocusPolicy(Qt::StrongFocus);
    // The change handler runs once per new value, and only once at the end of
    // a drag; while dragging, the scroll handler follows the thumb.
    hsbVentolia->setTracking(false);
    connect(hsbVentolia, &QScrollBar::valueChanged, this, &frmVentolia::hsbVentolia_Change);
    connect(hsbVentolia, &QScrollBar::sliderMoved, this, &frmVentolia::hsbVentolia_Scroll);
    hsbVentolia->installEventFilter(this);
}

// The counter lies under "Aceptar", which hides it while it is shown.
void frmVentolia::createCounter()
{
    lblRegistro = new QLabel(this);
    lblRegistro->setObjectName(QStringLiteral("lblRegistro"));
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

// A font that the layout makes smaller, where the window would not fit its
// screen, comes back here as a change of font: it is already laid out.
void frmVentolia::layOutControls()
{
    if (layingOut)
        return;
    const QScopedValueRollback guard(layingOut, true);
    std::array<QLineEdit *, AddressRecord::FieldCount> boxes;
    std::copy(textBoxes.begin(), textBoxes.end(), boxes.begin());
    FormLayout::arrange(this, { fieldLabels, boxes, cmdAceptar, cmdNuevo, hsbVentolia, lblRegistro });
    fitCounterFont();
}

// The counter shows "Registro N/N" for the present count N in the window's
// font where that fits its fixed box, else in the largest smaller size that
// does. It is chosen when the count changes, never while browsing, so that
// the text does not change size as the user browses.
void frmVentolia::fitCounterFont()
{
    const QFont fitted = FormLayout::counterFont(font(), lblRegistro->contentsRect().width(), recordCount);
    lblRegistro->setFont(fitted == font() ? QFont() : fitted);
}

// The user's font has changed, and the controls have taken it already.
void frmVentolia::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::FontChange)
        layOutControls();
    QDialog::changeEvent(event);
}

// The scroll bar's keys come here first.
bool frmVentolia::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == hsbVentolia && event->type() == QEvent::KeyPress)
        return moveScrollBar(static_cast<QKeyEvent *>(event));
    return QDialog::eventFilter(watched, event);
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
bool frmVentolia::moveScrollBar(const QKeyEvent *key)
{
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
    if (programDirectory.isEmpty()) {
        showError(QStringLiteral("No se pudo saber en qué carpeta está el programa, que es donde "
                                 "guarda su archivo de datos, Ventolia.dat."));
        return false;
    }
    dataFilePath = RecordFile::dataFilePath(programDirectory);
    QString failure;
    const auto load = [this](RecordFile &file) { return loadRecords(file); };
    if (!onDataFile(RecordFile::Access::Read, RecordFile::CreateIfMissing, load, &failure)) {
        showError(failure);
        return false;
    }
    fitCounterFont();
    showCounter();
    return true;
}

// Opens the data file for one operation, and closes it: for reading, but
// for a save. While another program holds the file, the window waits,
// busy, and no handler starts.
bool frmVentolia::onDataFile(RecordFile::Access access, RecordFile::Creation creation,
                             const std::function<bool(RecordFile &)> &operation, QString *failure)
{
    const QScopedValueRollback guard(busy, true);
    BusyWait busyWait({ cmdNuevo, cmdAceptar, hsbVentolia }, heldKeys);
    RecordFile file(dataFilePath, { waitLimit, [&busyWait] { busyWait.keepResponding(); } });
    const bool done = file.open(access, creation) && operation(file);
    *failure = file.errorString();
    return done;
}

// Counts the records and shows the first, if there is one.
bool frmVentolia::loadRecords(RecordFile &file)
{
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
    browseTo(hsbVentolia->value());
}

// With tracking off, the value changes only when the drag ends; the thumb's
// position is the value under it meanwhile.
void frmVentolia::hsbVentolia_Scroll()
{
    browseTo(hsbVentolia->sliderPosition());
}

// Only browse mode browses. The hidden scroll bar can still be moved, through
// the accessibility interface, while a contact is typed: it goes back to the
// current record, and the typed texts stay. A save that has just made its
// record current leaves new-record mode, which shows that record. While a
// handler waits, the bar is stopped, and the values that it took before it
// stopped are dropped: it is put back once the handler is done.
void frmVentolia::browseTo(int number)
{
    if (!isIdle())
        return;
    if (mode == Mode::Browse)
        ShowRecord(qint16(number));
    keepScrollBarOnTheRecordShown();
}

// Except while the user drags the thumb, which the change at the end of the
// drag follows, and behind the message of a failure that ends the program.
void frmVentolia::keepScrollBarOnTheRecordShown()
{
    if (currentRecord == 0 || ending || hsbVentolia->isSliderDown())
        return;
    const QSignalBlocker blocker(hsbVentolia);
    hsbVentolia->setValue(currentRecord);
}

void frmVentolia::ShowRecord(qint16 number)
{
    if (!fillTextBoxesFromFile(number))
        return;
    currentRecord = number;
    showCounter();
}

void frmVentolia::cmdNuevo_Click()
{
    if (!isIdle())
        return;
    if (mode == Mode::Browse)
        enterNewRecordMode();
    else
        leaveNewRecordMode();
}

void frmVentolia::enterNewRecordMode()
{
    mode = Mode::NewRecord;
    hsbVentolia->hide();
    cmdNuevo->setText(QStringLiteral("Cancelar"));
    cancelButton = cmdNuevo;
    cmdAceptar->show();
    makeDefault(cmdAceptar);
    lblRegistro->setText(QStringLiteral("Nuevo registro"));
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
    mode = Mode::Browse;
    hsbVentolia->show();
    cmdNuevo->setText(nuevoCaption);
    makeDefault(cmdNuevo);
    cmdAceptar->hide();
    showCounter();
    setTextBoxesEditable(false);
}

// Saves only from new-record mode, and once: a press that reaches the hidden
// button, or that comes while a save waits, does nothing. A failed save
// leaves everything as it was, typed texts included, so that the user can
// try again or cancel.
void frmVentolia::cmdAceptar_Click()
{
    if (isIdle() && mode == Mode::NewRecord && saveRecord())
        showLastRecord();
}

// The new record's number comes from the file: if another copy of the
// program has added records meanwhile, the count jumps past them. While
// another program holds the file, the window waits, busy. A save that could
// not be undone may have stored the record: the window then shows the file
// as it is, counted afresh, the last record the one the user is asked to
// check.
bool frmVentolia::saveRecord()
{
    for (int field = 0; field < AddressRecord::FieldCount; ++field)
        record.setField(AddressRecord::Field(field), textBoxes[field]->text());

    std::optional<qint16> number;
    bool mayRemain = false;
    QString failure;
    const auto append = [&](RecordFile &file) {
        number = file.appendRecord(record);
        mayRemain = file.failedSaveMayRemain();
        return number.has_value();
    };
    if (!onDataFile(RecordFile::Access::ReadWrite, RecordFile::MustExist, append, &failure)) {
        showError(failure);
        if (mayRemain)
            showTheFileAfresh();
        return false;
    }
    recordCount = *number;
    return true;
}

void frmVentolia::showTheFileAfresh()
{
    QString failure;
    std::optional<qint16> count;
    const auto countRecords = [&](RecordFile &file) { return (count = file.countRecords()).has_value(); };
    if (!onDataFile(RecordFile::Access::Read, RecordFile::MustExist, countRecords, &failure)) {
        endWithError(failure);
        return;
    }
    recordCount = *count;
    showLastRecord();
}

// The count's last record, in browse mode: after a save, the record saved.
void frmVentolia::showLastRecord()
{
    currentRecord = recordCount;
    fitCounterFont();
    hsbVentolia->setMaximum(qMax<int>(recordCount, 1));
    keepScrollBarOnTheRecordShown();
    leaveNewRecordMode();
}

// Opens the file, reads the record, closes the file and shows the record. A
// failure ends the program.
bool frmVentolia::fillTextBoxesFromFile(qint16 number)
{
    QString failure;
    const auto read = [&](RecordFile &file) { return file.readRecord(number, record); };
    if (!onDataFile(RecordFile::Access::Read, RecordFile::MustExist, read, &failure)) {
        endWithError(failure);
        return false;
    }
    fillTextBoxes();
    return true;
}

void frmVentolia::fillTextBoxes()
{
    for (int field = 0; field < AddressRecord::FieldCount; ++field)
        textBoxes[field]->showStored(record.field(AddressRecord::Field(field)));
}

void frmVentolia::clearTextBoxes()
{
    for (FieldBox *box : textBoxes)
        box->showStored(QString());
}

// A button that has the focus is the default for as long as it has it, and
// setDefault(true) does nothing to it then: the window's own default would
// stay with the other button, hidden, once the focus moves on, and Enter
// would press nothing. It is set afresh.
void frmVentolia::makeDefault(QPushButton *button)
{
    button->setDefault(false);
    button->setDefault(true);
}

// Locked boxes still take a click and let their text be selected; Tab skips
// them.
void frmVentolia::setTextBoxesEditable(bool editable)
{
    for (FieldBox *box : textBoxes) {
        box->setReadOnly(!editable);
        box->setFocusPolicy(editable ? Qt::StrongFocus : Qt::ClickFocus);
    }
}

void frmVentolia::showCounter()
{
    lblRegistro->setText(QStringLiteral("Registro %1/%2").arg(currentRecord).arg(recordCount));
}

// No handler starts while the message is read: a screen reader can still
// press the buttons behind it.
void frmVentolia::showError(const QString &message)
{
    const QScopedValueRollback guard(busy, true);
    QMessageBox::critical(this, title, message);
}

// One message is enough: a failure that follows one that ends the program
// (reading back a record just saved, say) is not shown. Nothing behind the
// message changes while it is read: the handlers stop, and a scroll bar
// held down stops repeating.
void frmVentolia::endWithError(const QString &message)
{
    if (ending)
        return;
    ending = true;
    hsbVentolia->setEnabled(false);
    showError(message);
    QCoreApplication::exit(EXIT_FAILURE);
}
