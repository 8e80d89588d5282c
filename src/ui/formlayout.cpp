#include "formlayout.h"

#include <QFontInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>
#include <QWindow>

#include <QtMath>

namespace {

constexpr int twipsPerPixel = 15;

struct FieldTwips
{
    const char *stem;
    const char *caption;
    int labelLeft;
    int top;
    int boxLeft;
    int boxWidth;
};
constexpr int boxHeight = 285;
constexpr int captionGap = 30; // between the end of a caption and its box

// In the order of AddressRecord's fields.
constexpr FieldTwips fields[AddressRecord::FieldCount] = {
    { "Nombre", "Nombre:", 240, 360, 1800, 2295 },
    { "Apellidos", "Apellidos:", 240, 720, 1800, 2295 },
    { "FechaDeNacimiento", "Fecha de nacimiento:", 240, 1080, 1800, 2295 },
    { "Calle", "Calle:", 240, 1440, 1800, 2295 },
    { "Portal", "Nº de portal:", 240, 1800, 1800, 735 },
    { "Piso", "Piso:", 2880, 1800, 3360, 735 },
    { "Letra", "Letra:", 240, 2160, 1800, 2295 },
    { "Ciudad", "Ciudad:", 240, 2520, 1800, 2295 },
    { "Provincia", "Provincia:", 4440, 360, 6000, 2295 },
    { "CodPostal", "Código postal:", 4440, 720, 6000, 2295 },
    { "Teléfono", "Nº de teléfono:", 4440, 1080, 6000, 2295 },
    { "Email", "E-mail:", 4440, 1440, 6000, 2295 },
    { "Web", "Web:", 4440, 1800, 6000, 2295 },
    { "Padre", "Nombre del padre:", 4440, 2160, 6000, 2295 },
    { "Madre", "Nombre de la madre:", 4440, 2520, 6000, 2295 },
};

bool fitsWithin(QSize size, QSize room)
{
    return size.width() <= room.width() && size.height() <= room.height();
}

} // namespace

const char *FormLayout::stem(AddressRecord::Field field)
{
    return fields[field].stem;
}

QString FormLayout::caption(AddressRecord::Field field)
{
    return QString::fromUtf8(fields[field].caption);
}

void FormLayout::arrange(QWidget *window, const Controls &controls)
{
    if (window->testAttribute(Qt::WA_SetFont))
        window->setFont(QFont()); // the user's font, as far as it was made smaller
    FormLayout layout(measure(controls));
    const QSize room = roomOnScreen(window);
    if (!room.isEmpty() && !fitsWithin(layout.clientSize(), room)) {
        layout.holdWithin(room);
        shrinkFont(window, controls, layout);
    }

    window->setFixedSize(layout.clientSize());
    for (int field = 0; field < AddressRecord::FieldCount; ++field) {
        controls.labels[field]->move(layout.labelPosition(AddressRecord::Field(field)));
        controls.labels[field]->adjustSize();
        controls.boxes[field]->setGeometry(layout.boxGeometry(AddressRecord::Field(field)));
    }
    controls.aceptar->setGeometry(layout.aceptarGeometry());
    controls.nuevo->setGeometry(layout.nuevoGeometry());
    controls.scrollBar->setGeometry(layout.scrollBarGeometry());
    controls.counter->setGeometry(layout.counterGeometry());
}

FormLayout::Needs FormLayout::measure(const Controls &controls)
{
    Needs needs;
    for (int field = 0; field < AddressRecord::FieldCount; ++field)
        needs.captionWidths[field] = controls.labels[field]->sizeHint().width();
    needs.boxHeight = controls.boxes.front()->minimumSizeHint().height();
    return needs;
}

// The free area of the window's screen, less the window's frame: measured
// where the window system knows it already, else as the style draws a
// title bar and its border.
QSize FormLayout::roomOnScreen(QWidget *window)
{
    const QScreen *screen = window->screen();
    if (!screen)
        return {};
    QMargins frame = window->windowHandle() ? window->windowHandle()->frameMargins() : QMargins();
    if (frame.isNull()) {
        const QStyle *style = window->style();
        const int border = style->pixelMetric(QStyle::PM_MdiSubWindowFrameWidth, nullptr, window);
        const int titleBar = style->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, window);
        frame = QMargins(border, titleBar + border, border, border);
    }
    return screen->availableGeometry().size().shrunkBy(frame);
}

// The largest whole pixel size of the user's font at which the captions
// and the boxes fit the layout as it stands, measured on the labels. Text
// grows with the font nearly in proportion: each try is the size that the
// last measurement allows, and the size found is then raised while it fits.
void FormLayout::shrinkFont(QWidget *window, const Controls &controls, const FormLayout &layout)
{
    QFont font = window->font();
    const int userSize = QFontInfo(font).pixelSize();
    const auto measureAt = [&](int pixelSize) {
        font.setPixelSize(pixelSize);
        window->setFont(font);
        return measure(controls);
    };
    int size = userSize;
    for (Needs needs = measure(controls); size > 1 && !layout.fits(needs); needs = measureAt(size))
        size = qBound(1, int(size * layout.shrinkFactor(needs)), size - 1);
    while (size + 1 < userSize && layout.fits(measureAt(size + 1)))
        ++size;
    measureAt(size);
}

// How much smaller the text must be to fit: the tightest of the captions'
// room and the boxes' height.
qreal FormLayout::shrinkFactor(const Needs &needs) const
{
    qreal factor = qreal(boxGeometry(AddressRecord::Nombre).height()) / needs.boxHeight;
    for (int field = 0; field < AddressRecord::FieldCount; ++field) {
        const int room = boxGeometry(AddressRecord::Field(field)).left()
                - labelPosition(AddressRecord::Field(field)).x() - gap();
        factor = qMin(factor, qreal(room) / needs.captionWidths[field]);
    }
    return factor;
}

// Each requirement gives the factor at which it is just met; rounding to
// whole pixels can take up to a pixel more, which the last steps add.
FormLayout::FormLayout(const Needs &needs)
{
    m_factor = qMax(1.0, qreal(needs.boxHeight) * twipsPerPixel / ::boxHeight);
    for (int field = 0; field < AddressRecord::FieldCount; ++field) {
        const int room = fields[field].boxLeft - fields[field].labelLeft - captionGap;
        m_factor = qMax(m_factor, qreal(needs.captionWidths[field]) * twipsPerPixel / room);
    }
    while (!fits(needs))
        m_factor += 1.0 / 1024;
}

void FormLayout::holdWithin(QSize room)
{
    const QSize size = clientSize();
    m_factor *= qMin(qreal(room.width()) / size.width(), qreal(room.height()) / size.height());
    while (!fitsWithin(clientSize(), room))
        m_factor -= 1.0 / 1024;
}

bool FormLayout::fits(const Needs &needs) const
{
    for (int field = 0; field < AddressRecord::FieldCount; ++field) {
        const QRect box = boxGeometry(AddressRecord::Field(field));
        if (labelPosition(AddressRecord::Field(field)).x() + needs.captionWidths[field] + gap() > box.left()
            || box.height() < needs.boxHeight)
            return false;
    }
    return true;
}

// At least captionGap twips, in whole pixels.
int FormLayout::gap() const
{
    return qCeil(captionGap * m_factor / twipsPerPixel);
}

// Positions are rounded, and so are the edges opposite them: controls that
// share a top or a side in twips share it in pixels.
int FormLayout::pixels(int twips) const
{
    return qRound(twips * m_factor / twipsPerPixel);
}

QRect FormLayout::twipsRect(int left, int top, int width, int height) const
{
    return QRect(QPoint(pixels(left), pixels(top)),
                 QPoint(pixels(left + width) - 1, pixels(top + height) - 1));
}

QSize FormLayout::clientSize() const
{
    return QSize(pixels(8550), pixels(3615));
}

QPoint FormLayout::labelPosition(AddressRecord::Field field) const
{
    return QPoint(pixels(fields[field].labelLeft), pixels(fields[field].top));
}

QRect FormLayout::boxGeometry(AddressRecord::Field field) const
{
    const FieldTwips &twips = fields[field];
    return twipsRect(twips.boxLeft, twips.top, twips.boxWidth, ::boxHeight);
}

QRect FormLayout::aceptarGeometry() const
{
    return twipsRect(6000, 3000, 1095, 375);
}

QRect FormLayout::nuevoGeometry() const
{
    return twipsRect(7200, 3000, 1095, 375);
}

QRect FormLayout::scrollBarGeometry() const
{
    return twipsRect(240, 3120, 5535, 255);
}

QRect FormLayout::counterGeometry() const
{
    return twipsRect(6000, 3120, 1095, 255);
}

// The widest text that the counter shows with count records: "Registro "
// and, on either side of the "/", as many of the font's widest digit as
// count has digits. Where digits differ in width, "Registro 1008/1111" is
// wider than "Registro 1111/1111".
static QString widestCounter(const QFontMetrics &metrics, qint16 count)
{
    QChar widestDigit = u'0';
    for (char16_t digit = u'1'; digit <= u'9'; ++digit) {
        if (metrics.horizontalAdvance(QChar(digit)) > metrics.horizontalAdvance(widestDigit))
            widestDigit = QChar(digit);
    }
    const QString digits(QString::number(count).size(), widestDigit);
    return QStringLiteral("Registro ") + digits + u'/' + digits;
}

// A text's width grows with the font's size, glyph for glyph: each try takes
// the largest whole pixel size that the last measurement allows. A smaller
// size of the same font is cheaper to draw than a narrowed one, which every
// glyph would have to be transformed for.
QFont FormLayout::counterFont(const QFont &base, int width, qint16 count)
{
    QFont font = base;
    for (;;) {
        const QFontMetrics metrics(font);
        const int advance = metrics.horizontalAdvance(widestCounter(metrics, count));
        const int pixelSize = QFontInfo(font).pixelSize();
        if (advance <= width || pixelSize <= 1)
            return font;
        font.setPixelSize(qBound(1, pixelSize * width / advance, pixelSize - 1));
    }
}
