// The window in the user's own font, whatever its size: the font is kept,
// and the layout grows by one factor until every caption fits, clear of its
// box. Run twice: on a large screen, and on a small one at 240 DPI, where
// the grown window would not fit and the font is made just small enough.

#include "datafiles.h"
#include "formcontrols.h"
#include "formfixture.h"

#include <QApplication>
#include <QFontInfo>
#include <QScreen>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace FormControls;

class tst_LayoutFonts : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void layoutGrowsWithTheFont_data();
    void layoutGrowsWithTheFont();
    void followsAFontChange();

private:
    static void setApplicationPointSize(qreal size);
    // Every caption ends at least 2 pixels times the factor before its box,
    // and a line of text fits each box. The window and its frame fit the
    // screen. In the user's font, a factor 2 pixels of width smaller would
    // not fit; in a font made smaller, one pixel more would not.
    static void checkTheLayoutFits(const QWidget *form);
    static bool fitsAt(const QWidget *form, const QFont &font);

    QFont m_defaultFont;
};

void tst_LayoutFonts::initTestCase()
{
    m_defaultFont = QApplication::font();
}

void tst_LayoutFonts::cleanup()
{
    QApplication::setFont(m_defaultFont);
}

void tst_LayoutFonts::setApplicationPointSize(qreal size)
{
    QFont font = QApplication::font();
    font.setPointSizeF(size);
    QApplication::setFont(font);
}

bool tst_LayoutFonts::fitsAt(const QWidget *form, const QFont &font)
{
    const qreal factor = form->width() / 570.0;
    QLabel label;
    QLineEdit box;
    label.setFont(font);
    box.setFont(font);
    for (const Fields::Field &field : Fields::all) {
        label.setText(field.caption);
        const QRect boxRect = textBox(form, field.boxName())->geometry();
        const int labelLeft = form->findChild<QLabel *>(field.labelName())->x();
        if (labelLeft + label.sizeHint().width() + 2 * factor > boxRect.x()
            || box.minimumSizeHint().height() > boxRect.height())
            return false;
    }
    return true;
}

void tst_LayoutFonts::checkTheLayoutFits(const QWidget *form)
{
    const qreal factor = form->width() / 570.0;
    const QFont font = form->font();
    for (const Fields::Field &field : Fields::all) {
        const QLineEdit *box = textBox(form, field.boxName());
        const QLabel *label = form->findChild<QLabel *>(field.labelName());
        QCOMPARE(label->font(), font);
        QCOMPARE(box->font(), font);
        QCOMPARE(label->size(), label->sizeHint());
        QVERIFY2(box->x() - (label->x() + label->width()) >= 2 * factor,
                 qPrintable(u"%1 ends %2 px before its box"_s.arg(label->text()).arg(box->x() - label->x() - label->width())));
        QVERIFY(box->minimumSizeHint().height() <= box->height());
    }
    QVERIFY2(form->screen()->availableGeometry().contains(form->frameGeometry()),
             qPrintable(u"the window, with its frame, is not on the screen"_s));
    QCOMPARE(form->minimumSize(), form->size());
    QCOMPARE(form->maximumSize(), form->size());

    if (font == QApplication::font()) {
        bool tight = factor == 1;
        const qreal smaller = (form->width() - 2) / 570.0;
        for (const Fields::Field &field : Fields::all) {
            const QLabel *label = form->findChild<QLabel *>(field.labelName());
            const qreal room = (field.box.x() - field.label.x()) / 15.0;
            tight = tight || label->width() + 2 * smaller > room * smaller
                    || textBox(form, field.boxName())->minimumSizeHint().height() > 19 * smaller;
        }
        QVERIFY2(tight, qPrintable(u"%1 could be smaller"_s.arg(factor)));
    } else {
        QVERIFY(QFontInfo(font).pixelSize() < QFontInfo(QApplication::font()).pixelSize());
        QFont larger = font;
        larger.setPixelSize(QFontInfo(font).pixelSize() + 1);
        QVERIFY2(!fitsAt(form, larger), "the font could be larger");
    }
}

void tst_LayoutFonts::layoutGrowsWithTheFont_data()
{
    QTest::addColumn<qreal>("pointSize");
    QTest::addColumn<int>("records");

    for (qreal size : { 6.0, 9.0, 11.0, 14.0, 20.0 })
        QTest::addRow("%g pt, 32767 records", size) << size << 32767;
    QTest::addRow("9 pt, 3 records") << 9.0 << 3;
    QTest::addRow("14 pt, 3 records") << 14.0 << 3;
}

void tst_LayoutFonts::layoutGrowsWithTheFont()
{
    QFETCH(qreal, pointSize);
    QFETCH(int, records);
    setApplicationPointSize(pointSize);
    FormFixture fixture;
    QVERIFY(DataFiles::writeSized(fixture.dataFilePath(), records));
    QVERIFY(fixture.start());
    const QWidget *form = fixture.form();

    checkTheLayoutFits(form);
    if (pointSize == 6 && form->font() == QApplication::font())
        QCOMPARE(form->size(), QSize(570, 241));
    QVERIFY(qAbs(form->height() - form->width() * 241 / 570.0) <= 1);
    QVERIFY(standsAt(textBox(form, u"txtNombre"_s), 1800, 360, 2295, 285));
    QVERIFY(standsAt(textBox(form, u"txtPiso"_s), 3360, 1800, 735, 285));
    QVERIFY(standsAt(textBox(form, u"txtMadre"_s), 6000, 2520, 2295, 285));
    QVERIFY(standsAt(button(form, "cmdNuevo"), 7200, 3000, 1095, 375));
    QVERIFY(standsAt(scrollBar(form), 240, 3120, 5535, 255));

    // The counter is in the window's font where the widest counter of this
    // book fits its fixed label; else in the largest size that fits, but
    // for a pixel that the size's estimate from one measurement may take off.
    const QLabel *label = counter(form);
    QVERIFY(standsAt(label, 6000, 3120, 1095, 255));
    const QString widest = u"Registro %1/%1"_s.arg(records);
    const int room = label->contentsRect().width();
    if (QFontMetrics(form->font()).horizontalAdvance(widest) <= room) {
        QCOMPARE(label->font(), form->font());
    } else {
        QVERIFY(QFontMetrics(label->font()).horizontalAdvance(widest) <= room);
        QFont larger = label->font();
        larger.setPixelSize(QFontInfo(larger).pixelSize() + 2);
        QVERIFY(QFontMetrics(larger).horizontalAdvance(widest) > room);
    }
    scrollBar(form)->setValue(records);
    QCOMPARE(label->text(), widest);
    QVERIFY(QFontMetrics(label->font()).horizontalAdvance(label->text()) <= room);
}

void tst_LayoutFonts::followsAFontChange()
{
    setApplicationPointSize(6);
    FormFixture fixture;
    QVERIFY(fixture.startWith(DataFiles::threeRecords()));

    setApplicationPointSize(14); // reaches the window through its event queue
    FormFixture started;         // as a window started in the new font stands
    QVERIFY(started.startWith(DataFiles::threeRecords()));
    QTRY_COMPARE(fixture.form()->size(), started.form()->size());
    QCOMPARE(fixture.form()->font(), started.form()->font());
    checkTheLayoutFits(fixture.form());
    QVERIFY(standsAt(textBox(fixture.form(), u"txtMadre"_s), 6000, 2520, 2295, 285));
    QVERIFY(standsAt(counter(fixture.form()), 6000, 3120, 1095, 255));
}

QTEST_MAIN(tst_LayoutFonts)
#include "tst_layoutfonts.moc"
