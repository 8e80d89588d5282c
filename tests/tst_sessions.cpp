// Sessions with the real window, made at random from a seed: text typed,
// keys pressed and held as the window systems deliver them, clicks, a screen
// reader's presses and texts, another program's hold on the file, failing
// system calls, and each message answered. A small model keeps what the
// user was told: the records saved (no message, the new record shown as the
// last), the mode and the record shown. After every step the file must hold
// the starting bytes and exactly those records, each once, in order.

#include "data/platformfile.h"
#include "data/windows1252.h"

#include "datafiles.h"
#include "fields.h"
#include "formcontrols.h"
#include "formfixture.h"
#include "systemcallrecorder.h"

#include <QAccessible>
#include <QDeadlineTimer>
#include <QRandomGenerator>
#include <QRegularExpression>

using namespace Qt::StringLiterals;
using namespace FormControls;

namespace {

constexpr std::chrono::milliseconds waitLimit{ 200 }; // for another program's hold on the file
const char *const buttonNames[] = { "cmdNuevo", "cmdAceptar" };

struct Step
{
    enum Kind { Type, Key, Click, ScreenReaderPress, ScreenReaderText, HoldLock, Fault } kind = Type;
    QString text;   // typed, or set by a screen reader; Fault: failAfter's entries
    int key = 0;
    int repeats = 0; // after the first press
    enum Delivery { Flagged, Pairs, FlaggedPairs } delivery = Pairs; // Windows; X11 without and with Qt's flag
    bool firstPress = true; // else it went elsewhere: another window, or before the start
    bool rollover = false;  // pressed at the time of the last key's release
    bool meanwhile = false; // begins 30 ms after the step before, not once that is over
    int control = 0;        // a button's index in buttonNames, or a field's
    int span = 0;           // HoldLock: ms; 0: until a save gives up, or the next moment ends
    int answer = 0; // a message is answered by Enter, Space, Escape or a click; or a screen reader
                    // presses Aceptar behind it first, and Enter answers
    bool answerAtOnce = false; // else once the moment's keys are let go

    QString describe() const
    {
        const QString held = u" with %1 repeats (%2%3%4)"_s.arg(repeats).arg(
                QStringList{ u"flagged"_s, u"X11"_s, u"X11, flagged"_s }[delivery],
                firstPress ? QString() : u", no first press"_s, rollover ? u", rollover"_s : QString());
        const QString what = QStringList{ u"type \"%1\""_s.arg(text), u"key "_s + QKeySequence(key).toString() + held,
                                          u"click "_s + QLatin1String(buttonNames[control & 1]),
                                          u"screen reader presses "_s + QLatin1String(buttonNames[control & 1]),
                                          u"screen reader sets %1 to \"%2\""_s.arg(Fields::all[control].boxName(), text),
                                          u"hold the lock %1 ms"_s.arg(span), u"fault "_s + text }[kind];
        return (meanwhile ? u"meanwhile, "_s : QString()) + what + u"; a message answered "_s
                + (answerAtOnce ? u"at once, "_s : QString()) + u"by "_s
                + QStringList{ u"Enter"_s, u"Space"_s, u"Escape"_s, u"a click"_s,
                               u"Enter, after a screen reader presses cmdAceptar behind it"_s }[answer];
    }
};

QList<Step> randomSteps(QRandomGenerator &random, int count)
{
    const QStringList letters = { u"a"_s, u"Z"_s, u"5"_s, u" "_s, u"ñ"_s, u"é"_s, u"€"_s, u"œ"_s, u"“"_s,
                                  u"Ł"_s, u"Đ"_s, u"😀"_s, u"\u0301"_s };
    const int keys[] = { Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape, Qt::Key_Space, Qt::Key_Tab,
                         Qt::Key_Backtab, Qt::Key_Left, Qt::Key_Right, Qt::Key_A };
#ifdef Q_OS_WIN
    const QString full = QString::number(ERROR_DISK_FULL);
#else
    const QString full = QString::number(EFBIG);
#endif
    const QString faults[] = { u"write"_s, u"write:short"_s, u"write:nothing"_s, u"flush"_s, u"flush resize"_s,
                               u"write:short write:refused:"_s + full, u"read@save"_s };
    const int held[] = { Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape, Qt::Key_Space, Qt::Key_A, Qt::Key_A };
    const auto pick = [&](const auto &choices) { return choices[random.bounded(int(std::size(choices)))]; };
    const auto text = [&](int most) {
        QString typed;
        for (int i = random.bounded(1, most); i > 0; --i)
            typed += pick(letters);
        return typed;
    };
    const auto key = [&](int pressed) {
        Step step{ Step::Key, {}, pressed, random.bounded(2) ? 0 : random.bounded(1, 12),
                   Step::Delivery(random.bounded(3)), random.bounded(6) != 0, random.bounded(6) == 0 };
        step.answer = random.bounded(5);
        return step;
    };
    QList<Step> steps;
    while (steps.size() < count) {
        const int kind = random.bounded(100);
        if (kind < 10) {
            // A name typed, a save that waits for another program, and a key
            // held meanwhile, past the wait and its message.
            Step enter = key(Qt::Key_Return), name, hold, save, meanwhile = key(pick(held));
            enter.repeats = 0;
            name.text = text(7);
            hold.kind = Step::HoldLock;
            hold.span = random.bounded(2) ? 0 : random.bounded(int(waitLimit.count() / 4), int(waitLimit.count() / 2));
            save.kind = Step::Click;
            save.control = 1;
            meanwhile.meanwhile = true;
            meanwhile.repeats = random.bounded(10, 50);
            meanwhile.answerAtOnce = random.bounded(2);
            steps << enter << name << hold << save << meanwhile;
            continue;
        }
        Step step = kind < 60 && kind >= 28 ? key(random.bounded(2) ? Qt::Key_Return : pick(keys)) : Step{};
        step.kind = kind < 28 ? Step::Type : kind < 60 ? Step::Key : kind < 70 ? Step::Click
                  : kind < 74 ? Step::ScreenReaderPress : kind < 80 ? Step::ScreenReaderText
                  : kind < 86 ? Step::HoldLock : Step::Fault;
        if (step.kind == Step::Type)
            step.text = text(7);
        else if (step.kind == Step::Click || step.kind == Step::ScreenReaderPress)
            step.control = random.bounded(2);
        else if (step.kind == Step::ScreenReaderText)
            step.control = random.bounded(15);
        if (step.kind == Step::ScreenReaderText)
            step.text = random.bounded(2) ? text(20) : u"Ana María de los Ángeles García\nLópez"_s;
        else if (step.kind == Step::HoldLock)
            step.span = random.bounded(2) ? 0 : random.bounded(10, int(waitLimit.count() / 3));
        else if (step.kind == Step::Fault)
            step.text = pick(faults);
        step.answer = random.bounded(5);
        step.answerAtOnce = random.bounded(4) == 0;
        step.meanwhile = !steps.isEmpty() && steps.last().kind != Step::ScreenReaderPress
                && (step.kind == Step::Key || step.kind == Step::Click || step.kind == Step::ScreenReaderPress)
                && random.bounded(5) == 0;
        steps << step;
    }
    steps.resize(count);
    return steps;
}

// What a press acts on.
enum class Act { None, EnterNewRecord, Cancel, Save };

// One run of steps on a fresh window: the first place where the window
// breaks the promise, or nothing.
class Session : public QObject
{
public:
    explicit Session(quint32 seed)
    {
        QRandomGenerator random(seed);
        for (int i = random.bounded(4); i > 0; --i)
            m_start += DataFiles::record(QByteArray::number(i), char('a' + i));
        if (random.bounded(3) == 0)
            m_start += QByteArray(90, 'x'); // a piece of a record, which the first save writes over
        m_catcher.answer = [this](QMessageBox *box) { answer(box); };
    }

    // A screen reader's press lands when the button is let go.
    void watchPresses()
    {
        for (const char *name : buttonNames) {
            QPushButton *pressed = button(form(), name);
            connect(pressed, &QPushButton::released, this, [this, pressed] {
                if (m_pressing == pressed && pressed->isEnabled())
                    expect(waiting() || QApplication::activeModalWidget() ? Act::None : actOf(pressed));
                m_pressing = nullptr;
            });
        }
    }

    QString run(const QList<Step> &steps)
    {
        if (!m_fixture.startWith(m_start, waitLimit))
            return u"the window did not start"_s;
        watchPresses();
        for (qsizetype first = 0, end = 1; first < steps.size() && m_failure.isEmpty(); first = end++) {
            while (end < steps.size() && steps[end].meanwhile)
                ++end;
            perform(steps.mid(first, end - first));
            if (m_failure.isEmpty())
                verify();
            if (!m_failure.isEmpty())
                m_failure = u"after step %1: "_s.arg(end) + m_failure;
        }
        letGo();
        return m_failure;
    }

private:
    struct Acted
    {
        Act act;
        QStringList texts; // in the boxes as it acted
        qsizetype fired;   // how many faults had fired
        bool held;         // another program held the lock for longer than a save waits
        QStringList messages;
    };

    frmVentolia *form() const { return m_fixture.form(); }
    bool newRecordMode() const { return button(form(), "cmdNuevo")->text() != u"Nuevo"; }
    bool waiting() const { return QApplication::overrideCursor(); }
    QStringList texts() const
    {
        QStringList texts;
        for (const QLineEdit *box : textBoxes(form()))
            texts << box->text();
        return texts;
    }
    // Where the window system sends keys: the message, or the window's focus.
    QWidget *target() const
    {
        QWidget *window = QApplication::activeModalWidget() ? QApplication::activeModalWidget() : form();
        return window->focusWidget() ? window->focusWidget() : window;
    }
    void fail(const QString &what)
    {
        if (m_failure.isEmpty())
            m_failure = what;
    }

    // The steps of one moment: the first, and those that begin while it lasts.
    void perform(const QList<Step> &steps)
    {
        m_acted.clear();
        m_before = texts();
        m_mayType = m_messageShown = false;
        m_mayBrowse = std::any_of(steps.begin(), steps.end(),
                                  [](const Step &step) { return step.key == Qt::Key_Left || step.key == Qt::Key_Right; });
        for (int i = 0, start = 0; i < steps.size(); ++i) {
            start += steps[i].meanwhile ? 30 : 0;
            m_end = qMax(m_end, start + schedule(steps[i], start));
        }
        m_answer = steps.last().answer;
        m_answerAtOnce = steps.last().answerAtOnce;
        QTest::qWait(m_end);
        const QDeadlineTimer deadline(20000);
        const auto busy = [this] { return m_pending > 0 || m_pressing || QApplication::activeModalWidget(); };
        while (busy() && !deadline.hasExpired())
            QTest::qWait(5);
        if (busy())
            fail(u"the window did not come back"_s);
        if (m_heldUntil == m_moment++)
            letGo();
        form()->activateWindow(); // as the window system does when a message closes
        if (m_messageShown && !QTest::qWaitForWindowActive(form()))
            fail(u"the window did not come back after its message"_s);
        m_end = 0;
    }

    // Delivers the step's events from timers, so that they arrive while the
    // window waits or shows a message too; returns how long it takes.
    int schedule(const Step &step, int start)
    {
        const auto at = [&](int offset, std::function<void()> event) {
            ++m_pending;
            QTimer::singleShot(start + offset, this, [this, event] {
                event();
                --m_pending;
            });
        };
        QPushButton *pressed = button(form(), buttonNames[step.control & 1]);
        switch (step.kind) {
        case Step::Type:
            m_mayType = true;
            for (int i = 0; i < step.text.size(); ++i) {
                const QString character = step.text.mid(i, step.text[i].isHighSurrogate() ? 2 : 1);
                const int key = character[0].unicode() < 0x100 ? character[0].toUpper().unicode() : int(Qt::Key_unknown);
                at(4 * i, [=] {
                    expect(predictKey(key)); // a space on a button presses it
                    send(QEvent::KeyPress, key, character, false);
                    send(QEvent::KeyRelease, key, character, false);
                });
                i += int(character.size()) - 1;
            }
            return 4 * int(step.text.size()) + 4;
        case Step::Key: {
            const QString text = QHash<int, QString>{ { Qt::Key_Return, u"\r"_s }, { Qt::Key_Enter, u"\r"_s },
                                                      { Qt::Key_Escape, u"\x1b"_s }, { Qt::Key_Space, u" "_s },
                                                      { Qt::Key_Tab, u"\t"_s }, { Qt::Key_A, u"a"_s } }[step.key];
            // A letter types on while held, unless its first press was dropped;
            // so does Space, from a box.
            m_mayType |= !step.firstPress && (step.key == Qt::Key_A || step.key == Qt::Key_Space);
            if (step.firstPress) {
                at(0, [=] {
                    m_mayType |= !waiting()
                            && (step.key == Qt::Key_A || (step.key == Qt::Key_Space && qobject_cast<QLineEdit *>(target())));
                    expect(predictKey(step.key));
                    send(QEvent::KeyPress, step.key, text, false, step.rollover ? At::Rollover : At::Later);
                });
            }
            for (int i = 1; i <= step.repeats; ++i) {
                at(8 * i, [=] {
                    if (step.delivery != Step::Flagged)
                        send(QEvent::KeyRelease, step.key, text, step.delivery == Step::FlaggedPairs);
                    send(QEvent::KeyPress, step.key, text, step.delivery != Step::Pairs, At::LastRelease);
                });
            }
            at(8 * step.repeats + 8, [=] { send(QEvent::KeyRelease, step.key, text, false); });
            return 8 * step.repeats + 10;
        }
        case Step::Click: // the window system keeps a click from a window behind a message
            at(0, [=] {
                if (pressed->isVisible() && !QApplication::activeModalWidget()) {
                    expect(waiting() ? Act::None : actOf(pressed));
                    click(pressed);
                }
            });
            return 4;
        case Step::ScreenReaderPress: // which reaches it behind a message too
            at(0, [=] {
                m_pressing = pressed->isEnabled() ? pressed : nullptr; // else nothing lands
                QAccessible::queryAccessibleInterface(pressed)->actionInterface()->doAction(
                        QAccessibleActionInterface::pressAction());
            });
            return 150; // the press lands after 100 ms
        case Step::ScreenReaderText:
            m_mayType = true;
            at(0, [=] {
                QAccessibleInterface *box =
                        QAccessible::queryAccessibleInterface(textBox(form(), Fields::all[step.control].boxName()));
                if (step.text.size() % 2)
                    box->setText(QAccessible::Value, step.text);
                else
                    box->editableTextInterface()->insertText(0, step.text);
            });
            return 10;
        case Step::HoldLock:
            at(0, [=] {
                QString reason;
                if (m_holder.isOpen()
                    || PlatformFile::open(m_holder, m_fixture.dataFilePath(), PlatformFile::Access::ReadWrite,
                                          false, &reason, &reason)
                               != PlatformFile::Outcome::Done
                    || PlatformFile::tryLock(m_holder, &reason) != PlatformFile::Outcome::Done)
                    return;
                if (step.span > 0)
                    QTimer::singleShot(step.span, this, [this] { letGo(); });
                else
                    m_heldUntil = m_moment + 1;
            });
            return 2;
        case Step::Fault:
            at(0, [=] { m_recorder.failAfter << step.text.split(u' '); });
            return 2;
        }
        return 0;
    }

    // When a press comes: later, at the time of the release before it (a
    // repeat on X11), or rolling over from another key's release, at its time.
    enum class At { Later, LastRelease, Rollover };
    void send(QEvent::Type type, int key, const QString &text, bool flagged, At at = At::Later)
    {
        if (type == QEvent::KeyPress && (at == At::Later || (at == At::Rollover && key == m_lastReleased)))
            m_time += 7;
        QKeyEvent event(type, key, key == Qt::Key_Enter ? Qt::KeypadModifier
                                   : key == Qt::Key_Backtab ? Qt::ShiftModifier : Qt::NoModifier, text, flagged);
        event.setTimestamp(type == QEvent::KeyRelease ? (m_time += 7) : m_time);
        if (type == QEvent::KeyRelease)
            m_lastReleased = key;
        QApplication::sendEvent(target(), &event);
    }
    static void click(QWidget *widget)
    {
        for (QEvent::Type type : { QEvent::MouseButtonPress, QEvent::MouseButtonRelease }) {
            const QPoint centre = widget->rect().center();
            QMouseEvent event(type, centre, widget->mapToGlobal(centre), Qt::LeftButton,
                              type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, {});
            QApplication::sendEvent(widget, &event);
        }
    }
    void letGo()
    {
        if (m_holder.isOpen())
            PlatformFile::unlock(m_holder);
        m_holder.close();
        m_heldUntil = -1;
    }

    // What the first press of a key acts on, where it goes now.
    Act predictKey(int key) const
    {
        auto *focused = qobject_cast<QPushButton *>(target());
        if (waiting() || QApplication::activeModalWidget())
            return Act::None;
        if (key == Qt::Key_Return || key == Qt::Key_Enter)
            return actOf(focused ? focused : button(form(), newRecordMode() ? "cmdAceptar" : "cmdNuevo"));
        if (key == Qt::Key_Escape)
            return m_cancelExists ? actOf(button(form(), "cmdNuevo")) : Act::None;
        return key == Qt::Key_Space && focused ? actOf(focused) : Act::None;
    }
    Act actOf(const QPushButton *pressed) const
    {
        if (pressed->objectName() == u"cmdNuevo")
            return newRecordMode() ? Act::Cancel : Act::EnterNewRecord;
        return newRecordMode() ? Act::Save : Act::None;
    }
    void expect(Act act)
    {
        m_cancelExists |= act == Act::EnterNewRecord;
        if (act != Act::None)
            m_acted.append({ act, texts(), m_recorder.fired().size(), m_heldUntil >= 0, {} });
    }

    void answer(QMessageBox *box)
    {
        m_messageShown = true;
        if (m_acted.isEmpty())
            fail(u"a message that no save explains: "_s + box->text());
        else
            m_acted.last().messages << box->text();
        if (box->text().contains(u"otro programa"_s))
            letGo();
        if (m_answer == 4) {
            QPushButton *behind = button(form(), "cmdAceptar");
            m_pressing = behind;
            QAccessible::queryAccessibleInterface(behind)->actionInterface()->doAction(
                    QAccessibleActionInterface::pressAction());
        }
        QTimer::singleShot(m_answerAtOnce ? 10 : m_end + 10 + (m_answer == 4 ? 150 : 0), box, [this, box] {
            m_time += 50;
            const int key = QList<int>{ Qt::Key_Return, Qt::Key_Space, Qt::Key_Escape, 0, Qt::Key_Return }[m_answer];
            if (key == 0)
                click(box->buttons().first());
            for (QEvent::Type type : { QEvent::KeyPress, QEvent::KeyRelease }) {
                if (key != 0)
                    send(type, key, key == Qt::Key_Space ? u" "_s : QString(), false);
            }
            QTimer::singleShot(2000, box, [this, box] {
                fail(u"the message was not closed by its answer"_s);
                box->done(QMessageBox::Ok);
            });
        });
    }

    // Plays what acted through the model, then checks the window and the file.
    void verify()
    {
        const QByteArray file = DataFiles::read(m_fixture.dataFilePath());
        for (qsizetype i = 0; i < m_acted.size(); ++i)
            play(m_acted[i], i + 1 < m_acted.size() ? m_acted[i + 1].fired : m_recorder.fired().size(), file,
                 i + 1 == m_acted.size());
        const qint64 records = file.size() / 255;
        const QString counterText = counter(form())->text();
        if (newRecordMode() != m_newRecordMode)
            fail(u"the window is in the wrong mode"_s);
        if (m_acted.isEmpty() && newRecordMode() && texts() != m_before && !m_mayType)
            fail(u"the boxes changed: "_s + texts().join(u'|'));
        if (file != (m_told.isEmpty() ? m_start : m_start.left(m_start.size() / 255 * 255) + m_told.join()))
            fail(u"the file holds %1 bytes, other than the model's"_s.arg(file.size()));
        checkDurability();
        if (!newRecordMode() && m_mayBrowse && m_acted.isEmpty())
            m_shown = qBound(1, counterText.section(u' ', 1).section(u'/', 0, 0).toInt(), int(qMax(records, 1LL)));
        AddressRecord shown;
        const bool showable = m_shown >= 1 && m_shown <= records;
        if (showable)
            shown.setBytes(file.mid((m_shown - 1) * 255, 255));
        for (int i = 0; i < 15; ++i) {
            const QString text = texts()[i];
            if (newRecordMode() && (text.size() > Fields::all[i].width
                                    || text.contains(QRegularExpression(u"[\\x00-\\x1f\\x7f-\\x9f]"_s))
                                    || !std::all_of(text.begin(), text.end(), Windows1252::holds)))
                fail(u"%1 holds what no key can put there: \"%2\""_s.arg(Fields::all[i].boxName(), text));
            else if (!newRecordMode() && text != (showable ? shown.field(AddressRecord::Field(i)) : QString()))
                fail(u"%1 shows \"%2\", not the record's field"_s.arg(Fields::all[i].boxName(), text));
        }
        if (!newRecordMode() && counterText != u"Registro %1/%2"_s.arg(records ? m_shown : 0).arg(records))
            fail(u"the counter says %1 for %2 records, record %3 expected"_s.arg(counterText).arg(records).arg(m_shown));
    }

    // What the last act leaves shows in the boxes.
    void play(const Acted &acted, qsizetype firedAfter, const QByteArray &file, bool last)
    {
        const bool typedMeanwhile = !last || m_mayType;
        if (acted.act != Act::Save && !acted.messages.isEmpty())
            return fail(u"a message that no save explains: "_s + acted.messages.first());
        if (acted.act != Act::Save) {
            m_newRecordMode = acted.act == Act::EnterNewRecord;
            if (m_newRecordMode)
                m_shownBefore = m_shown;
            else
                m_shown = m_shownBefore;
            if (m_newRecordMode && !typedMeanwhile && texts() != QStringList(15, QString()))
                fail(u"new-record mode did not empty the boxes: "_s + texts().join(u'|'));
            return;
        }
        // A save: what another program's hold, and the faults that fired
        // meanwhile, make of it; and what the user is told.
        enum Outcome { Saved, Failed, UndoFailed };
        Outcome expected = acted.held ? Failed : Saved;
        for (const QString &fault : m_recorder.fired().mid(acted.fired, firedAfter - acted.fired)) {
            if (!fault.endsWith(u":short"))
                expected = expected == Saved ? Failed : fault.startsWith(u"flush") ? expected : UndoFailed;
        }
        const Outcome told = acted.messages.isEmpty() ? Saved
                : acted.messages.last().contains(u"Puede que el registro se haya guardado"_s) ? UndoFailed : Failed;
        if (told != expected)
            return fail(u"a save told %1 where %2 was expected: %3"_s.arg(told).arg(expected).arg(acted.messages.join(u' ')));
        if (told == Failed) {
            if (!typedMeanwhile && texts() != acted.texts)
                fail(u"the typed texts are gone after a failed save"_s);
            return;
        }
        AddressRecord record;
        for (int i = 0; i < 15; ++i)
            record.setField(AddressRecord::Field(i), acted.texts[i]);
        m_newRecordMode = false;
        if (told == Saved) {
            m_told << record.bytes();
        } else { // the model takes the file as it is
            m_start = file;
            m_told.clear();
        }
        m_shown = int(m_start.size() / 255 + m_told.size());
    }

    // What a save wrote is flushed before its lock is let go: the record it
    // stored, or what it put back after a call failed (a write of the record
    // that failed may have changed nothing).
    void checkDurability()
    {
        bool unflushed = false;
        for (const SystemCallRecorder::Call &call : m_recorder.calls()) {
            if (call.name == u"flush" || (call.failed && call.name != u"unlock"))
                unflushed = false; // a flush that fails is told
            else if (call.name == u"write" || call.name == u"resize")
                unflushed = true;
            else if (call.name == u"unlock" && unflushed)
                fail(u"a write was not flushed before the unlock"_s);
        }
    }

    FormFixture m_fixture;
    SystemCallRecorder m_recorder;
    MessageBoxCatcher m_catcher;
    QByteArray m_start; // the file before the records told
    QByteArrayList m_told;
    QFile m_holder;     // another program's lock
    QPushButton *m_pressing = nullptr; // by a screen reader
    QList<Acted> m_acted;
    QStringList m_before;
    QString m_failure;
    bool m_newRecordMode = false, m_cancelExists = false, m_messageShown = false;
    bool m_mayType = false, m_mayBrowse = false; // the moment's steps may type into a box, or browse
    bool m_answerAtOnce = false;
    int m_shown = 1, m_shownBefore = 1;
    int m_pending = 0, m_end = 0, m_answer = 0;
    int m_moment = 0, m_heldUntil = -1; // a hold without a span ends after this moment
    int m_lastReleased = 0;
    ulong m_time = 100000;
};

} // namespace

class tst_Sessions : public QObject
{
    Q_OBJECT

private slots:
    void fileHoldsWhatTheUserWasTold_data();
    void fileHoldsWhatTheUserWasTold();
};

// make soak: random seeds for as long as asked; VENTOLIA_SESSION_SEED runs
// one again, VENTOLIA_SESSION_STEPS makes the fixed seeds' sessions shorter.
void tst_Sessions::fileHoldsWhatTheUserWasTold_data()
{
    QTest::addColumn<quint32>("seed");
    QTest::addColumn<int>("steps"); // soak: seconds
    const int steps = qEnvironmentVariableIsSet("VENTOLIA_SESSION_STEPS")
            ? qEnvironmentVariableIntValue("VENTOLIA_SESSION_STEPS") : 80;
    if (const int soak = qEnvironmentVariableIntValue("VENTOLIA_SOAK_SECONDS"))
        QTest::newRow("soak") << quint32(0) << soak;
    else if (qEnvironmentVariableIsSet("VENTOLIA_SESSION_SEED"))
        QTest::newRow("again") << quint32(qEnvironmentVariableIntValue("VENTOLIA_SESSION_SEED")) << steps;
    else
        for (quint32 seed = 1; seed <= 8; ++seed)
            QTest::addRow("seed %u", seed) << seed << steps;
}

void tst_Sessions::fileHoldsWhatTheUserWasTold()
{
    QFETCH(quint32, seed);
    QFETCH(int, steps);
    const bool soak = seed == 0;
    const QDeadlineTimer end(std::chrono::seconds(soak ? steps : 0));
    do {
        if (soak)
            seed = QRandomGenerator::global()->generate() | 1;
        QRandomGenerator random(seed);
        QList<Step> session = randomSteps(random, soak ? 200 : steps);
        const qsizetype length = session.size();
        QString failure = Session(seed).run(session);
        // The shortest list that still fails: halve it while it fails, then
        // leave out smaller pieces.
        for (qsizetype piece = session.size() / 2; piece > 0 && !failure.isEmpty();) {
            bool shorter = false;
            for (qsizetype at = 0; at + piece <= session.size() && !shorter; at += piece) {
                QList<Step> tried = session;
                tried.remove(at, piece);
                if (const QString again = Session(seed).run(tried); !again.isEmpty()) {
                    session = tried;
                    failure = again;
                    shorter = true;
                }
            }
            piece = shorter ? piece : piece / 2;
        }
        if (failure.isEmpty())
            continue;
        QStringList list;
        for (const Step &step : session)
            list << step.describe();
        QFAIL(qPrintable(u"seed %1, %2 steps: %3\nShortest list of steps that still fails:\n  "_s.arg(seed).arg(length).arg(failure)
                         + list.join(u"\n  "_s)));
    } while (!end.hasExpired());
}

QTEST_MAIN(tst_Sessions)
#include "tst_sessions.moc"
