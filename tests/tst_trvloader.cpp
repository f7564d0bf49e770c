// The main window's frame: its widgets, its first look, the row helpers,
// the style sheet, and how it opens and closes.

#include "boardtable.h"
#include "instrument.h"
#include "stylesheet.h"
#include "trvloader.h"
#include "windowtesting.h"

#include <QApplication>
#include <QCheckBox>
#include <QGridLayout>
#include <QImage>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QToolButton>
#include <QtTest>

namespace {

// The window with its row helpers within reach of the tests.
class Window : public trvLoader
{
public:
    using trvLoader::isChecked;
    using trvLoader::showState;
};

} // namespace

class tst_trvloader : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void styleSheetText_data();
    void styleSheetText();

    void gridCells_data();
    void gridCells();
    void initialLook();

    void isChecked_data();
    void isChecked();
    void showStateFormat();
    void partName_data();
    void partName();
    void rowTextsFollowBoardTable();
    void repolishShowsDoneChunk();

    void showReturnsToSimpleMode();
    void escapeClosesWithoutQuestion();
};

void tst_trvloader::initTestCase()
{
    QApplication::setQuitOnLastWindowClosed(false);
    QVERIFY(applyStyleSheet());
}

// The frame is looked at without an instrument: the window stays in its waiting look.
void tst_trvloader::init()
{
    sim::instrument().reset();
    sim::instrument().unplug();
}

void tst_trvloader::styleSheetText_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");

    QTest::newRow("whole text") << QByteArray("* { color: white; }") << "* { color: white; }";
    QTest::newRow("cut at the NUL byte")
        << QByteArray("* { color: white; }\0a { color: red; }", 38) << "* { color: white; }";
    QTest::newRow("NUL first") << QByteArray("\0* { color: white; }", 20) << "";
    QTest::newRow("empty") << QByteArray() << "";
    QTest::newRow("Latin-1, not UTF-8")
        << QByteArray("/* caf\xe9 */") << QString("/* caf\u00e9 */");
}

void tst_trvloader::styleSheetText()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QCOMPARE(::styleSheetText(bytes), text);
}

void tst_trvloader::gridCells_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("column");
    QTest::addColumn<int>("columnSpan");

    QTest::newRow("headerSensor") << "headerSensor" << 0 << 0 << 3;
    QTest::newRow("fileStateLabelSensor") << "fileStateLabelSensor" << 1 << 0 << 2;
    QTest::newRow("layoutSensorFirmware") << "layoutSensorFirmware" << 1 << 2 << 1;
    int row = 2;
    for (const QString board : {"Sensor5", "Sensor1", "Sensor2", "Sensor3", "Sensor4"}) {
        QTest::addRow("check%s", qPrintable(board)) << "check" + board << row << 0 << 1;
        QTest::addRow("version%s", qPrintable(board)) << "version" + board << row << 1 << 1;
        QTest::addRow("progress%s", qPrintable(board)) << "progress" + board << row << 2 << 1;
        ++row;
    }
    QTest::newRow("headerTerminal") << "headerTerminal" << 8 << 0 << 3;
    QTest::newRow("fileStateLabelTerminal") << "fileStateLabelTerminal" << 9 << 0 << 2;
    QTest::newRow("layoutTerminalFirmware") << "layoutTerminalFirmware" << 9 << 2 << 1;
    QTest::newRow("checkTerminal") << "checkTerminal" << 10 << 0 << 1;
    QTest::newRow("versionTerminal") << "versionTerminal" << 10 << 1 << 1;
    QTest::newRow("progressTerminal") << "progressTerminal" << 10 << 2 << 1;
    QTest::newRow("headerMainboard") << "headerMainboard" << 11 << 0 << 3;
    QTest::newRow("fileStateLabelMainboard") << "fileStateLabelMainboard" << 12 << 0 << 2;
    QTest::newRow("layoutMainboardLayout") << "layoutMainboardLayout" << 12 << 2 << 1;
    QTest::newRow("checkMainboard") << "checkMainboard" << 13 << 0 << 1;
    QTest::newRow("versionMainboard") << "versionMainboard" << 13 << 1 << 1;
    QTest::newRow("progressMainboard") << "progressMainboard" << 13 << 2 << 1;
}

// The style sheet and the row helpers find the rows by these names and cells.
void tst_trvloader::gridCells()
{
    QFETCH(QString, name);
    QFETCH(int, row);
    QFETCH(int, column);
    QFETCH(int, columnSpan);

    Window window;
    auto* grid = child<QGridLayout>(window, "controlLayout");
    QCOMPARE(grid->parentWidget()->objectName(), QString("controlWidget"));
    int found = -1;
    for (int i = 0; i < grid->count(); ++i) {
        QLayoutItem* item = grid->itemAt(i);
        QObject* object = item->widget() ? static_cast<QObject*>(item->widget()) : item->layout();
        if (object && object->objectName() == name) {
            found = i;
        }
    }
    QVERIFY2(found >= 0, qPrintable(name));
    int r, c, rowSpan, colSpan;
    grid->getItemPosition(found, &r, &c, &rowSpan, &colSpan);
    QCOMPARE(r, row);
    QCOMPARE(c, column);
    QCOMPARE(rowSpan, 1);
    QCOMPARE(colSpan, columnSpan);
    QCOMPARE(grid->columnStretch(2), 1);
}

void tst_trvloader::initialLook()
{
    Window window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    QCOMPARE(window.windowTitle(), QString("Tarvo QX40 Firmware Update Tool"));
    QCOMPARE(child<QLabel>(window, "tarvoInfo")->text(),
             QString("Tarvo QX40 Firmware Update Tool v1.15"));
    QVERIFY(child<QPushButton>(window, "startUpdate")->isDefault());
    QVERIFY(!child<QWidget>(window, "mainControl")->isEnabled());
    QVERIFY(!child<QWidget>(window, "controlWidget")->isEnabled());
    QVERIFY(child<QWidget>(window, "controlWidget")->isHidden());
    QVERIFY(!child<QCheckBox>(window, "advanced")->isChecked());

    auto* total = child<QProgressBar>(window, "totalProgress");
    QCOMPARE(total->format(), QString("Waiting for USB connection"));
    QCOMPARE(total->text(), QString("Waiting for USB connection"));
    QCOMPARE(total->value(), 0);

    for (trvInterface::PartType part : allBoards) {
        auto* bar = child<QProgressBar>(window, "progress" + boardSuffix(part));
        QCOMPARE(bar->value(), 0);
        QCOMPARE(bar->text(), QString());
        QVERIFY(!child<QCheckBox>(window, "check" + boardSuffix(part))->isChecked());
    }
}

void tst_trvloader::isChecked_data()
{
    QTest::addColumn<bool>("advanced");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<bool>("checked");
    QTest::addColumn<bool>("ancestorDisabled");
    QTest::addColumn<bool>("expected");

    for (int i = 0; i < 16; ++i) {
        const bool advanced = i & 8, enabled = i & 4, checked = i & 2, ancestorDisabled = i & 1;
        const bool expected = enabled && !ancestorDisabled && (checked || !advanced);
        QTest::addRow("%s %s %s%s", advanced ? "advanced" : "simple",
                      enabled ? "enabled" : "disabled", checked ? "checked" : "unchecked",
                      ancestorDisabled ? " in disabled table" : "")
            << advanced << enabled << checked << ancestorDisabled << expected;
    }
}

void tst_trvloader::isChecked()
{
    QFETCH(bool, advanced);
    QFETCH(bool, enabled);
    QFETCH(bool, checked);
    QFETCH(bool, ancestorDisabled);
    QFETCH(bool, expected);

    Window window;
    child<QWidget>(window, "mainControl")->setEnabled(true);
    child<QWidget>(window, "controlWidget")->setEnabled(!ancestorDisabled);
    child<QCheckBox>(window, "advanced")->setChecked(advanced);
    for (trvInterface::PartType part : allBoards) {
        auto* box = child<QCheckBox>(window, "check" + boardSuffix(part));
        box->setEnabled(enabled);
        box->setChecked(checked);
    }
    for (trvInterface::PartType part : allBoards) {
        QCOMPARE(window.isChecked(part), expected);
    }
    QCOMPARE(window.isChecked(trvInterface::NoPart), false);
    QCOMPARE(window.isChecked(static_cast<trvInterface::PartType>(8)), false);
}

void tst_trvloader::showStateFormat()
{
    Window window;
    auto* bar = child<QProgressBar>(window, "progressSensor3");
    bar->setValue(50);

    window.showState(trvInterface::Sensor3, QString("Transferring firmware file"));
    QCOMPARE(bar->format(), QString("Transferring firmware file (%p%)"));
    QCOMPARE(bar->text(), QString("Transferring firmware file (50%)"));
    QCOMPARE(bar->value(), 50);

    window.showState(trvInterface::Sensor3, QString());
    QCOMPARE(bar->format(), QString());
    QCOMPARE(bar->text(), QString());

    // No row: nothing happens.
    window.showState(trvInterface::NoPart, QString("x"));
    window.showState(static_cast<trvInterface::PartType>(8), QString("x"));
    for (auto* other : window.findChildren<QProgressBar*>()) {
        QVERIFY(!other->format().contains('x'));
    }
}

void tst_trvloader::partName_data()
{
    QTest::addColumn<int>("part");
    QTest::addColumn<QString>("name");

    for (int part = 0; part <= 5; ++part) {
        QTest::addRow("%d", part) << part << "Sensor Boards";
    }
    QTest::newRow("6") << 6 << "Control Panel";
    QTest::newRow("7") << 7 << "Main Board";
    QTest::newRow("8") << 8 << "Unknown Board";
    QTest::newRow("-1") << -1 << "Unknown Board";
}

void tst_trvloader::partName()
{
    QFETCH(int, part);
    QFETCH(QString, name);
    QCOMPARE(::partName(static_cast<trvInterface::PartType>(part)), name);
}

// The form names the rows and their groups as the board table does: a board
// alone in its group shows its image's part code, the group its name above.
void tst_trvloader::rowTextsFollowBoardTable()
{
    Window window;
    const QString headers[] = {"headerSensor", "headerTerminal", "headerMainboard"};
    for (BoardTable::Group group : BoardTable::groups()) {
        QCOMPARE(child<QLabel>(window, headers[group])->text(), BoardTable::groupName(group));
    }
    for (trvInterface::PartType part : allBoards) {
        const BoardTable::Group group = BoardTable::groupOf(part);
        const QString expected = BoardTable::boardsOf(group).size() == 1
                                     ? BoardTable::partCode(group)
                                     : BoardTable::rowName(part);
        QCOMPARE(child<QCheckBox>(window, "check" + boardSuffix(part))->text(), expected);
    }
    QCOMPARE(allBoards, BoardTable::boards());
    QCOMPARE(BoardTable::rowName(trvInterface::Terminal), BoardTable::groupName(BoardTable::Terminal));
    QCOMPARE(BoardTable::rowName(trvInterface::Mainboard),
             BoardTable::groupName(BoardTable::Mainboard));
}

void tst_trvloader::repolishShowsDoneChunk()
{
    Window window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    child<QWidget>(window, "controlWidget")->setEnabled(true);
    child<QWidget>(window, "controlWidget")->show();
    auto* bar = child<QProgressBar>(window, "progressSensor3");
    bar->setValue(100);
    QTRY_VERIFY(bar->isVisible());

    const QColor green(0x4d, 0x9a, 0x4d);
    auto chunkColour = [bar] {
        const QImage image = bar->grab().toImage();
        return image.pixelColor(image.width() / 4, image.height() / 2);
    };
    const QColor before = chunkColour();
    QVERIFY(before != green);

    bar->setProperty("done", true);
    QCOMPARE(chunkColour(), before);

    repolish(bar);
    QCOMPARE(chunkColour(), green);
}

void tst_trvloader::showReturnsToSimpleMode()
{
    Window window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const QSize simpleSize = window.size();

    child<QCheckBox>(window, "advanced")->setChecked(true);
    child<QWidget>(window, "controlWidget")->show();
    QTRY_VERIFY(window.height() > simpleSize.height());

    window.hide();
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QVERIFY(child<QWidget>(window, "controlWidget")->isHidden());
    QVERIFY(!child<QCheckBox>(window, "advanced")->isChecked());
    QTRY_COMPARE(window.size(), simpleSize);
}

void tst_trvloader::escapeClosesWithoutQuestion()
{
    Window window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QSignalSpy rejected(&window, &QDialog::rejected);

    QTest::keyClick(&window, Qt::Key_Escape);
    QVERIFY(!window.isVisible());
    QVERIFY(!QApplication::activeModalWidget());
    QCOMPARE(rejected.count(), 0); // closed, not rejected
}

QTEST_MAIN(tst_trvloader)
#include "tst_trvloader.moc"
