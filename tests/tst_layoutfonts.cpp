// The window in the user's own font, whatever its size: the font is kept,
// and the layout grows by one factor until every caption fits.

#include "datafiles.h"
#include "formcontrols.h"
#include "formfixture.h"

#include <QApplication>
#include <QFontInfo>
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
    // Every caption in the application's font, ending before its box, and a
    // line of text fitting each box; at a factor 2 pixels of width smaller,
    // something would not fit.
    static void checkTheLayoutFits(const QWidget *form);

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

void tst_LayoutFonts::checkTheLayoutFits(const QWidget *form)
{
    const qreal factor = form->width() / 570.0;
    const qreal smaller = (form->width() - 2) / 570.0;
    bool tight = factor == 1;
    for (const QString &name : textBoxNames) {
        const QLineEdit *box = textBox(form, name);
        const QLabel *label = form->findChild<QLabel *>(u"lbl"_s + name.mid(3));
        QCOMPARE(label->font(), QApplication::font());
        QCOMPARE(box->font(), QApplication::font());
        QCOMPARE(label->size(), label->sizeHint());
        QVERIFY2(label->geometry().right() < box->x(), qPrintable(label->text()));
        QVERIFY(box->minimumSizeHint().height() <= box->height());
        const qreal room = (box->x() - label->x()) / factor;
        tight = tight || label->width() > room * smaller || box->minimumSizeHint().height() > 19 * smaller;
    }
    QVERIFY2(tight, qPrintable(u"%1 could be smaller"_s.arg(factor)));
    QCOMPARE(form->minimumSize(), form->size());
    QCOMPARE(form->maximumSize(), form->size());
}

void tst_LayoutFonts::layoutGrowsWithTheFont_data()
{
    QTest::addColumn<qreal>("pointSize");

    for (qreal size : { 6.0, 9.0, 11.0, 14.0, 20.0 })
        QTest::addRow("%g pt", size) << size;
}

void tst_LayoutFonts::layoutGrowsWithTheFont()
{
    QFETCH(qreal, pointSize);
    setApplicationPointSize(pointSize);
    FormFixture fixture;
    QVERIFY(DataFiles::writeSized(fixture.dataFilePath(), 32767));
    QVERIFY(fixture.start());
    const QWidget *form = fixture.form();

    checkTheLayoutFits(form);
    if (pointSize == 6)
        QCOMPARE(form->size(), QSize(570, 241));
    QVERIFY(qAbs(form->height() - form->width() * 241 / 570.0) <= 1);
    QVERIFY(standsAt(textBox(form, u"txtNombre"_s), 1800, 360, 2295, 285));
    QVERIFY(standsAt(textBox(form, u"txtPiso"_s), 3360, 1800, 735, 285));
    QVERIFY(standsAt(textBox(form, u"txtMadre"_s), 6000, 2520, 2295, 285));
    QVERIFY(standsAt(button(form, "cmdNuevo"), 7200, 3000, 1095, 375));
    QVERIFY(standsAt(scrollBar(form), 240, 3120, 5535, 255));

    // The widest counter there can be shows whole in its fixed label.
    scrollBar(form)->setValue(32767);
    const QLabel *label = counter(form);
    QCOMPARE(label->text(), u"Registro 32767/32767"_s);
    QVERIFY(standsAt(label, 6000, 3120, 1095, 255));
    QVERIFY(label->fontMetrics().horizontalAdvance(label->text()) <= label->contentsRect().width());
    // Made no smaller than it must be, but for a pixel that the size's
    // estimate from one measurement may take off.
    QFont larger = label->font();
    larger.setPixelSize(QFontInfo(larger).pixelSize() + 2);
    QVERIFY(label->font() == QApplication::font()
            || QFontMetrics(larger).horizontalAdvance(label->text()) > label->contentsRect().width());
}

void tst_LayoutFonts::followsAFontChange()
{
    setApplicationPointSize(6);
    FormFixture fixture;
    QVERIFY(fixture.startWith(DataFiles::threeRecords()));
    QCOMPARE(fixture.form()->size(), QSize(570, 241));

    setApplicationPointSize(14); // reaches the window through its event queue
    QTRY_VERIFY(fixture.form()->width() > 570);
    checkTheLayoutFits(fixture.form());
    QVERIFY(standsAt(textBox(fixture.form(), u"txtMadre"_s), 6000, 2520, 2295, 285));
    QVERIFY(standsAt(counter(fixture.form()), 6000, 3120, 1095, 255));
}

QTEST_MAIN(tst_LayoutFonts)
#include "tst_layoutfonts.moc"
