#ifndef FRMVENTOLIA_H
#define FRMVENTOLIA_H

#include "data/addressrecord.h"
#include "data/recordfile.h"

#include <QDialog>

#include <array>
#include <chrono>
#include <functional>

class FieldBox;
class HeldKeyFilter;
class QLabel;
class QPushButton;
class QScrollBar;

// The address book's one window: fifteen text boxes showing one contact, a
// scroll bar to choose it, a record counter, and the buttons that add a new
// contact at the end of the data file.
class frmVentolia : public QDialog
{
    Q_OBJECT

public:
    // waitLimit: how long an operation on the data file waits while another
    // program holds it.
    explicit frmVentolia(const QString &programDirectory,
                         std::chrono::milliseconds waitLimit = FileWait::DefaultLimit,
                         QWidget *parent = nullptr);

    // Reads the data file into the window before it is first shown. On a
    // failure it tells the user and returns false: the program must end.
    bool Form_Load();

protected:
    void changeEvent(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private slots:
    void cmdNuevo_Click();
    void cmdAceptar_Click();
    void hsbVentolia_Change();
    void hsbVentolia_Scroll();

private:
    void createButtons();
    void createFieldControls();
    void createScrollBar();
    void createCounter();
    void arrangeTabOrder();
    void layOutControls();
    void fitCounterFont();

    bool moveScrollBar(const QKeyEvent *key);
    bool isIdle() const { return !busy && !ending; }
    bool onDataFile(RecordFile::Access access, RecordFile::Creation creation,
                    const std::function<bool(RecordFile &)> &operation, QString *failure);
    bool loadRecords(RecordFile &file);
    void browseTo(int number);
    void keepScrollBarOnTheRecordShown();
    void ShowRecord(qint16 number);
    void enterNewRecordMode();
    void leaveNewRecordMode();
    bool saveRecord();
    void showTheFileAfresh();
    void showLastRecord();
    bool fillTextBoxesFromFile(qint16 number);
    void fillTextBoxes();
    void clearTextBoxes();
    void setTextBoxesEditable(bool editable);
    static void makeDefault(QPushButton *button);
    void showCounter();
    void showError(const QString &message);
    void endWithError(const QString &message);

    const QString programDirectory;
    const std::chrono::milliseconds waitLimit;
    QString dataFilePath;
    AddressRecord record;
    qint16 currentRecord = 0;
    qint16 recordCount = 0;

    std::array<QLabel *, AddressRecord::FieldCount> fieldLabels{};
    std::array<FieldBox *, AddressRecord::FieldCount> textBoxes{};
    QPushButton *cmdAceptar = nullptr;
    QPushButton *cmdNuevo = nullptr;
    QScrollBar *hsbVentolia = nullptr;
    QLabel *lblRegistro = nullptr;
    QPushButton *cancelButton = nullptr; // pressed by Escape; none at start
    HeldKeyFilter *heldKeys = nullptr;
    enum class Mode { Browse, NewRecord };
    Mode mode = Mode::Browse; // cmdNuevo's caption follows it
    bool busy = false;   // a handler is at work: on the data file, where it may wait, or telling of a failure
    bool ending = false; // a failure ends the program
    bool layingOut = false;
};

#endif // FRMVENTOLIA_H
