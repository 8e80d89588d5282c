#include "ui/fittedfonts.h"
#include "ui/formlayout.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

using namespace Qt::StringLiterals;

class tst_LayoutFonts : public QObject
{
    Q_OBJECT

private slots:
    void fittingFontIsTheLargestThatFits_data();
    void fittingFontIsTheLargestThatFits();
    void captionsFitTheirWidth_data();
    void captionsFitTheirWidth();
    void rememberedFontIsCheckedAgainstEachCaption();

private:
    static bool labelsFit(const QFont &font);
};

// Measured with real labels and a real box, as the window shows them.
bool tst_LayoutFonts::labelsFit(const QFont &font)
{
    QWidget window;
    window.setFont(font);
    QLineEdit box(&window);
    box.setGeometry(FormLayout::fieldControls(AddressRecord::Nombre).boxGeometry);
    if (box.fontMetrics().height() > box.height() - 2)
        return false;
    for (int field = 0; field < AddressRecord::FieldCount; ++field) {
        const auto controls = FormLayout::fieldControls(AddressRecord::Field(field));
        QLabel label(QString::fromUtf8(controls.caption), &window);
        label.move(controls.labelPosition);
        label.adjustSize();
        if (label.geometry().right() >= controls.boxGeometry.left())
            return false;
    }
    return true;
}

void tst_LayoutFonts::fittingFontIsTheLargestThatFits_data()
{
    QTest::addColumn<QString>("family");
    QTest::addColumn<qreal>("defaultSize");

    for (const QString &family : { QApplication::font().family(), u"DejaVu Serif"_s, u"DejaVu Sans Mono"_s }) {
        for (qreal size : { 5.0, 7.0, 8.5, 9.0, 11.0, 16.0, 24.0 }) {
            QTest::addRow("%s %.1f pt", qPrintable(family), size) << family << size;
        }
    }
}

void tst_LayoutFonts::fittingFontIsTheLargestThatFits()
{
    QFETCH(QString, family);
    QFETCH(qreal, defaultSize);
    QFont font(family);
    font.setPointSizeF(defaultSize);

    const QFont fitted = FormLayout::fittingFont(font, QApplication::style());
    QCOMPARE(fitted.family(), font.family());
    QVERIFY(fitted.pointSizeF() <= defaultSize);
    QVERIFY2(labelsFit(fitted), qPrintable(u"%1 pt does not fit"_s.arg(fitted.pointSizeF())));
    if (fitted.pointSizeF() < defaultSize) {
        QFont larger = fitted;
        larger.setPointSizeF(qMin(defaultSize, fitted.pointSizeF() + 1));
        QVERIFY2(!labelsFit(larger), qPrintable(u"%1 pt fits too"_s.arg(larger.pointSizeF())));
    }
}

void tst_LayoutFonts::captionsFitTheirWidth_data()
{
    QTest::addColumn<QString>("caption");
    QTest::addColumn<int>("width");

    QTest::newRow("fits as it is") << u"Registro 1/3"_s << 73;
    QTest::newRow("a little too wide") << u"Registro 123/456"_s << 73;
    QTest::newRow("the widest counter") << u"Registro 32767/32767"_s << 73;
    QTest::newRow("narrowing alone is not enough") << u"Registro 32767/32767"_s << 30;
    QTest::newRow("nothing fits in 1 pixel") << u"Registro 32767/32767"_s << 1;
}

void tst_LayoutFonts::captionsFitTheirWidth()
{
    QFETCH(QString, caption);
    QFETCH(int, width);
    const QFont base = QApplication::font();
    FittedFonts fonts(base, width);

    const QFont font = fonts.fontFor(caption);
    const int advance = QFontMetrics(font).horizontalAdvance(caption);
    if (QFontMetrics(base).horizontalAdvance(caption) <= width) {
        QCOMPARE(font, base);
    } else if (width > 1) {
        QVERIFY2(advance <= width, qPrintable(u"%1 px"_s.arg(advance)));
        QVERIFY(font.stretch() < 100 || font.pointSizeF() < base.pointSizeF());
    }
    QCOMPARE(fonts.fontFor(caption), font); // the same again
}

// Two captions as wide in the base font may need different fonts: what was
// remembered for one must still fit the other.
void tst_LayoutFonts::rememberedFontIsCheckedAgainstEachCaption()
{
    const QFont base = QApplication::font();
    const int width = 73;
    FittedFonts fonts(base, width);
    QVERIFY(QFontMetrics(base).horizontalAdvance(u"Registro 10000/32767"_s) > width);
    int seen = 0;
    for (int number = 10000; number <= 32767; number += 997) {
        const QString caption = u"Registro %1/32767"_s.arg(number);
        const QFont font = fonts.fontFor(caption);
        QVERIFY2(QFontMetrics(font).horizontalAdvance(caption) <= width, qPrintable(caption));
        ++seen;
    }
    QVERIFY(seen > 20);
}

QTEST_MAIN(tst_LayoutFonts)
#include "tst_layoutfonts.moc"
