#include "ui/frmventolia.h"

#include "datafiles.h"
#include "fields.h"
#include "formcontrols.h"
#include "formfixture.h"
#include "heldfile.h"
#include "messageboxcatcher.h"

#include <QAccessible>
#include <QApplication>
#include <QFontDatabase>
#include <QTest>

#include <QRegularExpression>

#include <optional>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

using namespace Qt::StringLiterals;
using namespace FormControls;

class tst_frmVentolia : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void windowFrame();
    void controlGeometry_data();
    void controlGeometry();
    void labelsFitBeforeTheirBoxes_data();
    void labelsFitBeforeTheirBoxes();
    void accessibleNames_data();
    void accessibleNames();
    void scalesWithTheScreen();
    void tabOrderAtStart();
    void lockedBoxesTakeFocusButNoTyping();
    void startsWithoutFile();
    void startsWithThreeRecords();
    void browsingReadsTheFileAfresh_data();
    void browsingReadsTheFileAfresh();
    void dragShowsTheRecordUnderTheThumb();
    void browsingWaitsWhileAnotherProgramHoldsTheFile_data();
    void browsingWaitsWhileAnotherProgramHoldsTheFile();
    void counterFitsItsLabel_data();
    void counterFitsItsLabel();
    void arbitraryBytesAreShown();
    void startFailures_data();
    void startFailures();
    void readFailureWhileBrowsingEndsTheProgram_data();
    void readFailureWhileBrowsingEndsTheProgram();

private:
    QString dataFilePath() const { return m_fixture->dataFilePath(); }
    bool start() { return m_fixture->start(); }
    bool startWith(const QByteArray &fileBytes) { return m_fixture->startWith(fileBytes); }
    frmVentolia *form() const { return m_fixture->form(); }

    std::optional<FormFixture> m_fixture;
    const QFont m_defaultFont = QApplication::font();
};

void tst_frmVentolia::init()
{
    m_fixture.emplace();
    QVERIFY(m_fixture->isValid());
}

void tst_frmVentolia::cleanup()
{
    m_fixture.reset();
    QApplication::setFont(m_defaultFont);
}

void tst_frmVentolia::windowFrame()
{
    QVERIFY(start());
    QCOMPARE(form()->objectName(), u"frmVentolia"_s);
    QCOMPARE(form()->windowTitle(), u"Ventolia"_s);
    // Fixed in size, and grown in proportion where the font needs it.
    const QSize size = form()->size();
    QCOMPARE(form()->minimumSize(), size);
    QCOMPARE(form()->maximumSize(), size);
    QVERIFY(size.width() >= 570);
    QVERIFY(qAbs(size.height() - qRound(241.0 * size.width() / 570)) <= 1);
    QCOMPARE(form()->windowIcon().availableSizes(), QList<QSize>{ QSize(32, 32) });
    const QImage icon = form()->windowIcon().pixmap(32, 32).toImage();
    QVERIFY(icon.hasAlphaChannel());
    QCOMPARE(icon.pixelColor(0, 0).alpha(), 0);            // transparent corner
    QCOMPARE(icon.pixelColor(10, 20), QColor(Qt::white)); // the notepad's paper

    // 16 labels, 15 text boxes, 2 buttons and 1 scroll bar, and nothing else.
    QCOMPARE(form()->findChildren<QLabel *>().size(), 16);
    QCOMPARE(form()->findChildren<QLineEdit *>().size(), 15);
    QCOMPARE(form()->findChildren<QPushButton *>().size(), 2);
    QCOMPARE(form()->findChildren<QScrollBar *>().size(), 1);
    QCOMPARE(form()->findChildren<QWidget *>().size(), 34);

}

void tst_frmVentolia::controlGeometry_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("twips");

    const auto row = [](const char *name, int left, int top, int width, int height) {
        QTest::newRow(name) << QString::fromUtf8(name) << QRect(left, top, width, height);
    };
    for (const Fields::Field &field : Fields::all)
        QTest::newRow(qPrintable(field.boxName())) << field.boxName() << field.box;
    row("cmdAceptar", 6000, 3000, 1095, 375);
    row("cmdNuevo", 7200, 3000, 1095, 375);
    row("hsbVentolia", 240, 3120, 5535, 255);
    row("lblRegistro", 6000, 3120, 1095, 255);
}

void tst_frmVentolia::controlGeometry()
{
    QFETCH(QString, name);
    QFETCH(QRect, twips);

    QVERIFY(start());
    QWidget *control = form()->findChild<QWidget *>(name);
    QVERIFY(control);
    QVERIFY(standsAt(control, twips.x(), twips.y(), twips.width(), twips.height()));
    // Controls that share a side in twips share it in pixels: the columns are straight.
    const QRect left = textBox(form(), u"txtNombre"_s)->geometry();
    const QRect right = textBox(form(), u"txtProvincia"_s)->geometry();
    if (twips.x() == 1800)
        QCOMPARE(control->x(), left.x());
    if (twips.x() == 6000)
        QCOMPARE(control->x(), right.x());
    if (twips.x() + twips.width() == 8295)
        QCOMPARE(control->geometry().right(), right.right());
    if (auto *box = qobject_cast<QLineEdit *>(control)) {
        QVERIFY(box->text().isEmpty());
        QCOMPARE(box->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignLeft);
    }
}

void tst_frmVentolia::labelsFitBeforeTheirBoxes_data()
{
    QTest::addColumn<int>("field");

    for (const Fields::Field &field : Fields::all)
        QTest::newRow(qPrintable(field.stem)) << int(field.field);
}

void tst_frmVentolia::labelsFitBeforeTheirBoxes()
{
    QFETCH(int, field);
    const QString caption = Fields::all[field].caption;
    const QPoint twips = Fields::all[field].label;

    QVERIFY(start());
    const QLabel *label = form()->findChild<QLabel *>(Fields::all[field].labelName());
    const QLineEdit *box = textBox(form(), Fields::all[field].boxName());
    QVERIFY(label && box);
    QCOMPARE(label->text(), caption);
    QVERIFY(qAbs(label->x() - twips.x() * form()->width() / 8550.0) <= 1);
    QCOMPARE(label->y(), box->y()); // the rows are level
    QCOMPARE(label->size(), label->sizeHint());
    QCOMPARE(label->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignLeft);
    QCOMPARE(label->focusPolicy(), Qt::NoFocus);
    QCOMPARE(label->buddy(), box);

    // The whole caption is drawn, and it ends before the box begins.
    QVERIFY(label->fontMetrics().horizontalAdvance(caption) <= label->width());
    QVERIFY2(label->geometry().right() < box->x(),
             qPrintable(u"%1 ends at %2, its box begins at %3"_s.arg(caption)
                                .arg(label->geometry().right())
                                .arg(box->x())));
    // Both show the toolkit's default font, and a line of it fits the box.
    QCOMPARE(label->font(), QApplication::font(label));
    QCOMPARE(box->font(), QApplication::font(box));
    QVERIFY(box->minimumSizeHint().height() <= box->height());
}

void tst_frmVentolia::accessibleNames_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QAccessible::Role>("role");

    for (const Fields::Field &field : Fields::all)
        QTest::newRow(qPrintable(field.boxName())) << field.boxName() << field.caption << QAccessible::EditableText;
    QTest::newRow("hsbVentolia") << u"hsbVentolia"_s << u"Elegir registro"_s << QAccessible::ScrollBar;
    QTest::newRow("lblRegistro") << u"lblRegistro"_s << u"Registro 2/3"_s << QAccessible::StaticText;
    QTest::newRow("cmdNuevo") << u"cmdNuevo"_s << u"Nuevo"_s << QAccessible::Button;
}

// What a screen reader is told of each control.
void tst_frmVentolia::accessibleNames()
{
    QFETCH(QString, control);
    QFETCH(QString, name);
    QFETCH(QAccessible::Role, role);

    QVERIFY(startWith(DataFiles::threeRecords()));
    scrollBar(form())->setValue(2);
    QAccessibleInterface *accessible =
            QAccessible::queryAccessibleInterface(form()->findChild<QWidget *>(control));
    QVERIFY(accessible);
    QCOMPARE(accessible->text(QAccessible::Name), name);
    QCOMPARE(accessible->role(), role);
    if (role == QAccessible::ScrollBar)
        QCOMPARE(accessible->valueInterface()->currentValue().toInt(), 2);
}

// Run at QT_SCALE_FACTOR=2 as well: the same layout in device-independent
// pixels, drawn with twice as many device pixels.
void tst_frmVentolia::scalesWithTheScreen()
{
    QVERIFY(startWith(DataFiles::threeRecords()));
    const qreal scale = qEnvironmentVariableIsSet("QT_SCALE_FACTOR")
            ? qEnvironmentVariable("QT_SCALE_FACTOR").toDouble()
            : 1.0;
    QCOMPARE(form()->devicePixelRatio(), scale);
    const QPixmap picture = form()->grab();
    QCOMPARE(picture.size(), form()->size() * scale);
    QCOMPARE(picture.deviceIndependentSize().toSize(), form()->size());
}

void tst_frmVentolia::tabOrderAtStart()
{
    QVERIFY(startWith(DataFiles::threeRecords()));
    QCOMPARE(QApplication::focusWidget(), button(form(), "cmdNuevo"));

    QStringList expected = textBoxNames;
    expected << u"hsbVentolia"_s << u"cmdNuevo"_s;
    QStringList visited;
    for (int i = 0; i < expected.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited << QApplication::focusWidget()->objectName();
    }
    QCOMPARE(visited, expected);

    QStringList backwards;
    for (int i = 0; i < expected.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
        backwards << QApplication::focusWidget()->objectName();
    }
    QStringList expectedBackwards = { u"hsbVentolia"_s };
    for (auto name = textBoxNames.crbegin(); name != textBoxNames.crend(); ++name)
        expectedBackwards << *name;
    expectedBackwards << u"cmdNuevo"_s;
    QCOMPARE(backwards, expectedBackwards);
}

void tst_frmVentolia::lockedBoxesTakeFocusButNoTyping()
{
    QVERIFY(startWith(DataFiles::threeRecords()));
    for (QLineEdit *box : textBoxes(form())) {
        const QString before = box->text();
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(5, 5));
        QCOMPARE(QApplication::focusWidget(), box);
        QTest::keyClicks(box, u"xyz"_s);
        QTest::keyClick(box, Qt::Key_Backspace);
        QTest::keyClick(box, Qt::Key_Delete);
        QCOMPARE(box->text(), before);
        QTest::keySequence(box, QKeySequence::SelectAll);
        QCOMPARE(box->selectedText(), before);
    }
    QCOMPARE(DataFiles::read(dataFilePath()), DataFiles::threeRecords());
}

void tst_frmVentolia::startsWithoutFile()
{
    QVERIFY(!QFile::exists(dataFilePath()));
    QVERIFY(start());

    QVERIFY(QFile::exists(dataFilePath()));
    QCOMPARE(QFileInfo(dataFilePath()).size(), 0);
    for (QLineEdit *box : textBoxes(form()))
        QCOMPARE(box->text(), QString());
    QCOMPARE(counter(form())->text(), u"Registro 0/0"_s);

    QScrollBar *bar = scrollBar(form());
    QCOMPARE(bar->minimum(), 1);
    QCOMPARE(bar->maximum(), 1);
    QCOMPARE(bar->value(), 1);
    bar->setFocus();
    for (Qt::Key key : { Qt::Key_Right, Qt::Key_Left, Qt::Key_End, Qt::Key_PageDown })
        QTest::keyClick(bar, key);
    QTest::mouseClick(bar, Qt::LeftButton, {}, scrollBarPart(bar, QStyle::SC_ScrollBarAddLine).center());
    QCOMPARE(bar->value(), 1);
    QCOMPARE(counter(form())->text(), u"Registro 0/0"_s);
}

void tst_frmVentolia::startsWithThreeRecords()
{
    QVERIFY(startWith(DataFiles::threeRecords()));

    QCOMPARE(textBox(form(), u"txtNombre"_s)->text(), u"Ana            "_s);
    QCOMPARE(textBox(form(), u"txtApellidos"_s)->text(), QString(50, u'a'));
    QCOMPARE(textBox(form(), u"txtMadre"_s)->text(), QString(15, u'a'));
    for (QLineEdit *box : textBoxes(form()))
        QCOMPARE(box->cursorPosition(), 0); // the beginning shows, not the end
    QCOMPARE(counter(form())->text(), u"Registro 1/3"_s);

    const QScrollBar *bar = scrollBar(form());
    QCOMPARE(bar->minimum(), 1);
    QCOMPARE(bar->maximum(), 3);
    QCOMPARE(bar->value(), 1);
    QCOMPARE(bar->focusPolicy() & Qt::TabFocus, Qt::TabFocus);
    QCOMPARE(DataFiles::read(dataFilePath()), DataFiles::threeRecords()); // browsing writes nothing
}

void tst_frmVentolia::browsingReadsTheFileAfresh_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<QString>("reader"); // how another program reads the file as the window moves to 2

    QTest::newRow("program sets the value") << u"value"_s << QString();
    QTest::newRow("arrow keys") << u"keys"_s << QString();
    QTest::newRow("the keypad's arrow keys, NumLock off") << u"keypad"_s << QString();
    QTest::newRow("arrow buttons") << u"arrows"_s << QString();
    QTest::newRow("clicks on the track") << u"track"_s << QString();
#ifdef Q_OS_WIN
    QTest::newRow("arrow keys, the file shared for reading alone") << u"keys"_s << u"read-shared"_s;
#elif defined(Q_OS_LINUX)
    QTest::newRow("arrow keys, the file leased for reading") << u"keys"_s << u"lease"_s;
#endif
}

// Moves to record 2 and back to 1, which another program has meanwhile
// rewritten on disk: the window must show what the file holds now. Another
// program that only reads the file keeps no browse waiting.
void tst_frmVentolia::browsingReadsTheFileAfresh()
{
    QFETCH(QString, how);
    QFETCH(QString, reader);
    QVERIFY(startWith(DataFiles::threeRecords()));
    HeldFile held;
    if (!reader.isEmpty())
        QVERIFY(held.hold(dataFilePath(), reader));
    const MessageBoxCatcher noMessage(MessageBoxCatcher::Unexpected);
    QScrollBar *bar = scrollBar(form());
    QLineEdit *nombre = textBox(form(), u"txtNombre"_s);

    const auto step = [&](int direction) {
        if (how == u"value") {
            bar->setValue(bar->value() + direction);
        } else if (how == u"keys" || how == u"keypad") {
            bar->setFocus();
            QTest::keyClick(bar, direction > 0 ? Qt::Key_Right : Qt::Key_Left,
                            how == u"keypad" ? Qt::KeypadModifier : Qt::NoModifier);
        } else if (how == u"arrows") {
            const auto arrow = direction > 0 ? QStyle::SC_ScrollBarAddLine : QStyle::SC_ScrollBarSubLine;
            QTest::mouseClick(bar, Qt::LeftButton, {}, scrollBarPart(bar, arrow).center());
        } else {
            const QRect thumb = scrollBarPart(bar, QStyle::SC_ScrollBarSlider);
            const QRect groove = scrollBarPart(bar, QStyle::SC_ScrollBarGroove);
            const QPoint target = direction > 0 ? QPoint((thumb.right() + groove.right()) / 2, thumb.center().y())
                                                : QPoint((thumb.left() + groove.left()) / 2, thumb.center().y());
            QTest::mouseClick(bar, Qt::LeftButton, {}, target);
        }
    };

    step(+1);
    QCOMPARE(bar->value(), 2);
    QCOMPARE(nombre->text(), u"Bea            "_s);
    QCOMPARE(textBox(form(), u"txtWeb"_s)->text(), QString(60, u'b'));
    QCOMPARE(counter(form())->text(), u"Registro 2/3"_s);
    held.letGo();

    QByteArray changed = DataFiles::threeRecords();
    changed.replace(0, 255, DataFiles::record("Zoe", 'z'));
    QVERIFY(DataFiles::write(dataFilePath(), changed));
    step(-1);
    QCOMPARE(bar->value(), 1);
    QCOMPARE(nombre->text(), u"Zoe            "_s);
    QCOMPARE(textBox(form(), u"txtWeb"_s)->text(), QString(60, u'z'));
    QCOMPARE(counter(form())->text(), u"Registro 1/3"_s);
    QCOMPARE(DataFiles::read(dataFilePath()), changed);
}

void tst_frmVentolia::dragShowsTheRecordUnderTheThumb()
{
    QVERIFY(startWith(DataFiles::threeRecords()));
    QScrollBar *bar = scrollBar(form());
    QLineEdit *nombre = textBox(form(), u"txtNombre"_s);
    const QRect groove = scrollBarPart(bar, QStyle::SC_ScrollBarGroove);
    QPoint grip = scrollBarPart(bar, QStyle::SC_ScrollBarSlider).center();

    QTest::mousePress(bar, Qt::LeftButton, {}, grip);
    QVERIFY(bar->isSliderDown());
    QStringList seen;
    while (grip.x() < groove.right()) {
        grip.rx() += 4;
        QTest::mouseMove(bar, grip);
        if (seen.isEmpty() || seen.last() != nombre->text().trimmed())
            seen << nombre->text().trimmed();
        QCOMPARE(bar->value(), 1); // the value waits for the end of the drag
        QCOMPARE(counter(form())->text(),
                 u"Registro %1/3"_s.arg(bar->sliderPosition()));
    }
    QCOMPARE(seen, (QStringList{ u"Ana"_s, u"Bea"_s, u"Carmen"_s }));

    // The end of the drag shows the final record once more, read afresh.
    QByteArray changed = DataFiles::threeRecords();
    changed.replace(510, 255, DataFiles::record("Carla", 'c'));
    QVERIFY(DataFiles::write(dataFilePath(), changed));
    QTest::mouseRelease(bar, Qt::LeftButton, {}, grip);
    QCOMPARE(bar->value(), 3);
    QCOMPARE(nombre->text(), u"Carla          "_s);
    QCOMPARE(counter(form())->text(), u"Registro 3/3"_s);
}

void tst_frmVentolia::browsingWaitsWhileAnotherProgramHoldsTheFile_data()
{
    QTest::addColumn<QString>("hold"); // how the other program holds the file

#ifdef Q_OS_WIN
    QTest::newRow("shared with no one") << u"unshared"_s;
    QTest::newRow("records locked") << u"read"_s;
#elif defined(Q_OS_LINUX)
    QTest::newRow("leased for writing") << u"write-lease"_s;
#endif
}

// The user holds the scroll bar's arrow down while another program holds
// the file: the window waits, its scroll bar stopped, and once the file is
// let go shows the record that the arrow asked for. The arrow, whose repeat
// begins after 500 ms, repeats no more; a screen reader's move and a key
// that arrives as the wait ends are dropped; the bar stays on the record
// shown, with the focus, and the arrow keys browse on. Another window is
// active meanwhile, as on a desktop where the user has turned to another
// program, or with no window manager.
void tst_frmVentolia::browsingWaitsWhileAnotherProgramHoldsTheFile()
{
    QFETCH(QString, hold);
    QVERIFY(startWith(DataFiles::threeRecords() + DataFiles::record("Dora", 'd')));
    HeldFile held;
    QVERIFY(held.hold(dataFilePath(), hold));

    QScrollBar *bar = scrollBar(form());
    bar->setFocus();
    QWidget otherWindow;
    otherWindow.show();
    otherWindow.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&otherWindow));
    const QPoint arrow = scrollBarPart(bar, QStyle::SC_ScrollBarAddLine).center();
    bool barStopped = false;
    QTimer::singleShot(300, this, [&] {
        barStopped = !bar->isEnabled();
        QAccessible::queryAccessibleInterface(bar)->valueInterface()->setCurrentValue(4);
        QCoreApplication::postEvent(bar, new QKeyEvent(QEvent::KeyPress, Qt::Key_Right, Qt::NoModifier));
        held.letGo();
    });
    QTest::mousePress(bar, Qt::LeftButton, {}, arrow);
    QTest::qWait(1000);
    QTest::mouseRelease(bar, Qt::LeftButton, {}, arrow);

    QVERIFY(barStopped);
    QVERIFY(bar->isEnabled());
    QCOMPARE(bar->value(), 2);
    QCOMPARE(textBox(form(), u"txtNombre"_s)->text(), u"Bea            "_s);
    QCOMPARE(counter(form())->text(), u"Registro 2/4"_s);
    QCOMPARE(form()->focusWidget(), bar);
    QTest::keyClick(bar, Qt::Key_Right);
    QCOMPARE(counter(form())->text(), u"Registro 3/4"_s);
}

void tst_frmVentolia::counterFitsItsLabel_data()
{
    QTest::addColumn<QString>("font"); // a font file; else the toolkit's default
    QTest::addColumn<int>("records");
    QTest::addColumn<int>("shown"); // -1: one more, saved
    QTest::addColumn<QString>("text");

    QTest::newRow("0/0") << QString() << 0 << 0 << u"Registro 0/0"_s;
    QTest::newRow("3/7") << QString() << 7 << 3 << u"Registro 3/7"_s;
    QTest::newRow("32767/32767") << QString() << 32767 << 32767 << u"Registro 32767/32767"_s;
    QTest::newRow("10000/10000, saved after 9999") << QString() << 9999 << -1 << u"Registro 10000/10000"_s;
    // Where the digits differ in width, as in GNOME's own font, a counter
    // below the count may be wider than the count's.
    QTest::newRow("1008/1111, digits of different widths")
            << u"" PROPORTIONAL_DIGITS_FONT ""_s << 1111 << 1008 << u"Registro 1008/1111"_s;
}

void tst_frmVentolia::counterFitsItsLabel()
{
    QFETCH(QString, font);
    QFETCH(int, records);
    QFETCH(int, shown);
    QFETCH(QString, text);

    if (!font.isEmpty()) {
        const int id = QFontDatabase::addApplicationFont(font);
        QVERIFY2(id >= 0, qPrintable(font));
        QFont userFont = QApplication::font();
        userFont.setFamily(QFontDatabase::applicationFontFamilies(id).first());
        QApplication::setFont(userFont);
    }
    QVERIFY(DataFiles::writeSized(dataFilePath(), records));
    QVERIFY(start());
    if (shown < 0) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    } else if (shown > 1) {
        scrollBar(form())->setValue(shown);
    }

    const QLabel *label = counter(form());
    QCOMPARE(label->text(), text);
    QVERIFY(standsAt(label, 6000, 3120, 1095, 255));
    QVERIFY2(label->fontMetrics().horizontalAdvance(text) <= label->contentsRect().width(),
             qPrintable(u"%1 px wide"_s.arg(label->fontMetrics().horizontalAdvance(text))));
}

// Every byte value, as a file from elsewhere might hold. The e-mail box of
// record 1 holds the bytes 0x87 to 0xA4, where Windows-1252 differs from
// Latin-1 and leaves five bytes undefined; record 2 begins with 0xFF 0x00.
void tst_frmVentolia::arbitraryBytesAreShown()
{
    QByteArray bytes;
    for (int i = 0; i < 2 * 255; ++i)
        bytes += char(i % 256);
    QVERIFY(startWith(bytes));

    QCOMPARE(textBox(form(), u"txtEmail"_s)->text(),
             u"‡ˆ‰Š‹Œ\u008DŽ\u008F\u0090‘’“”•–—˜™š›œ\u009DžŸ\u00A0¡¢£¤"_s);
    scrollBar(form())->setValue(2);
    QCOMPARE(textBox(form(), u"txtNombre"_s)->text(),
             u"ÿ\u0000\u0001\u0002\u0003\u0004\u0005\u0006\u0007\b\t\n\u000B\f\r"_s);
    for (int field = 0; field < AddressRecord::FieldCount; ++field)
        QCOMPARE(textBoxes(form())[field]->text().size(), Fields::all[field].width);
    QCOMPARE(DataFiles::read(dataFilePath()), bytes);
}

void tst_frmVentolia::startFailures_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("message"); // a pattern

    QTest::newRow("folder missing") << u"folder missing"_s << u"^No se pudo abrir .*Ventolia.dat"_s;
    QTest::newRow("program's folder unknown") << u"folder unknown"_s
                                              << u"^No se pudo saber en qué carpeta .*Ventolia.dat"_s;
    QTest::newRow("32768 records") << u"32768 records"_s << u"^Desbordamiento: .*Ventolia.dat"_s;
#ifdef Q_OS_UNIX
    QTest::newRow("a FIFO in the file's place")
            << u"FIFO"_s << u"^No se pudo abrir .*Ventolia.dat»: no es un archivo normal\\.$"_s;
#endif
}

void tst_frmVentolia::startFailures()
{
    QFETCH(QString, fault);
    QFETCH(QString, message);

    QString folder = m_fixture->directory();
    if (fault == u"folder missing")
        folder += u"/missing"_s;
    else if (fault == u"folder unknown")
        folder.clear();
    else if (fault == u"32768 records")
        QVERIFY(DataFiles::writeSized(dataFilePath(), 32768));
#ifdef Q_OS_UNIX
    else if (fault == u"FIFO")
        QCOMPARE(mkfifo(QFile::encodeName(dataFilePath()).constData(), 0600), 0);
#endif
    MessageBoxCatcher catcher;
    frmVentolia form(folder);
    QVERIFY(!form.Form_Load());
    QCOMPARE(catcher.texts().size(), 1);
    QVERIFY2(catcher.texts().first().contains(QRegularExpression(message)),
             qPrintable(catcher.texts().first()));
}

void tst_frmVentolia::readFailureWhileBrowsingEndsTheProgram_data()
{
    QTest::addColumn<bool>("removed");   // else cut to one record
    QTest::addColumn<bool>("arrowHeld"); // else the value is set once
    QTest::addColumn<QString>("message"); // a pattern

    QTest::newRow("file cut short") << false << false
                                    << u"^No se pudo leer el registro 3 .*: el archivo termina antes"_s;
    QTest::newRow("file removed") << true << false << u"^El archivo de datos «.*Ventolia.dat» ya no existe\\.$"_s;
    QTest::newRow("file cut short, arrow held down") << false << true << u"^No se pudo leer el registro 2 "_s;
}

// Another program changes the file while the window shows it. While the
// message is read, nothing behind it changes, even with the scroll bar's
// arrow held down.
void tst_frmVentolia::readFailureWhileBrowsingEndsTheProgram()
{
    QFETCH(bool, removed);
    QFETCH(bool, arrowHeld);
    QFETCH(QString, message);
    QVERIFY(startWith(DataFiles::threeRecords()));
    if (removed)
        QVERIFY(QFile::remove(dataFilePath()));
    else
        QVERIFY(DataFiles::write(dataFilePath(), DataFiles::threeRecords().left(255)));

    MessageBoxCatcher catcher;
    QScrollBar *bar = scrollBar(form());
    if (arrowHeld) {
        catcher.keepOpenFor(1000); // the arrow repeats after 500 ms
        QTimer::singleShot(0, this, [bar] {
            QTest::mousePress(bar, Qt::LeftButton, {}, scrollBarPart(bar, QStyle::SC_ScrollBarAddLine).center());
        });
    } else {
        QTimer::singleShot(0, this, [bar] { bar->setValue(3); });
    }
    QCOMPARE(QCoreApplication::exec(), EXIT_FAILURE); // the program's own loop, ended
    QCOMPARE(catcher.texts().size(), 1);
    QVERIFY2(catcher.texts().first().contains(QRegularExpression(message)),
             qPrintable(catcher.texts().first()));
    QCOMPARE(QFile::exists(dataFilePath()), !removed); // a file gone is not made again
    QCOMPARE(bar->value(), arrowHeld ? 2 : 3);
    QCOMPARE(textBox(form(), u"txtNombre"_s)->text(), u"Ana            "_s);
}

QTEST_MAIN(tst_frmVentolia)
#include "tst_frmventolia.moc"
