// The main window's frame: its widgets, its first look, the table's layout,
// the rows' names, the style sheet, and how it opens and closes.

#include "boardtable.h"
#include "instrument.h"
#include "stylesheet.h"
#include "trvloader.h"
#include "windowtesting.h"

#include <QApplication>
#include <QCheckBox>
#include <QImage>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QToolButton>
#include <QtTest>

#include <algorithm>

class tst_trvloader : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void styleSheetText_data();
    void styleSheetText();

    void rowsLineUpInTheTable();
    void initialLook();

    void partName_data();
    void partName();
    void rowTextsFollowBoardTable();
    void repolishShowsDoneChunk();

    void advancedFitsTheScreen();
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

namespace {

// A widget's place in the table of advanced mode, in the table's coordinates.
QRect placeIn(QWidget& window, const QString& name)
{
    QWidget* table = child<QWidget>(window, "controlWidget");
    QWidget* widget = child<QWidget>(window, name);
    return QRect(widget->mapTo(table, QPoint(0, 0)), widget->size());
}

// Whether two widgets sit on one line: each one's middle within the other's height.
bool onOneLine(const QRect& a, const QRect& b)
{
    const auto middleWithin = [](const QRect& outer, const QRect& inner) {
        return outer.top() <= inner.center().y() && inner.center().y() <= outer.bottom();
    };
    return middleWithin(a, b) && middleWithin(b, a);
}

QString describe(const QRect& place)
{
    return QString("(%1, %2) %3 x %4")
        .arg(place.x())
        .arg(place.y())
        .arg(place.width())
        .arg(place.height());
}

} // namespace

// The table of advanced mode, as the user sees it: each group under its
// header, the image for the group on the line below it beside its caption
// and above its boards' rows; each row's check box, version and bar on one
// line from left to right, the rows in the order of the boards, the three
// kinds in columns of their own, and the bars as wide as the table.
void tst_trvloader::rowsLineUpInTheTable()
{
    sim::instrument().plug();
    trvLoader window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    auto* advanced = child<QCheckBox>(window, "advanced");
    QTRY_VERIFY(advanced->isEnabled());
    QTest::mouseClick(advanced, Qt::LeftButton);
    QVERIFY(child<QWidget>(window, "controlWidget")->isVisible());
    QTRY_VERIFY(child<QWidget>(window, "progressMainboard")->isVisible());

    const struct
    {
        QString suffix;
        QList<trvInterface::PartType> boards;
    } groups[] = {
        {"Sensor",
         {trvInterface::Sensor5, trvInterface::Sensor1, trvInterface::Sensor2,
          trvInterface::Sensor3, trvInterface::Sensor4}},
        {"Terminal", {trvInterface::Terminal}},
        {"Mainboard", {trvInterface::Mainboard}},
    };
    const QRect firstBox = placeIn(window, "checkSensor5");
    const QRect firstVersion = placeIn(window, "versionSensor5");
    const QRect firstBar = placeIn(window, "progressSensor5");
    int bottomSoFar = -1;
    QList<trvInterface::PartType> rowsSeen;
    for (const auto& group : groups) {
        const QRect header = placeIn(window, "header" + group.suffix);
        const QRect caption = placeIn(window, "fileStateLabel" + group.suffix);
        const QRect file = placeIn(window, "fileState" + group.suffix);
        const QRect load = placeIn(window, "load" + group.suffix);
        const QString where = group.suffix + ": header " + describe(header) + ", caption " +
                              describe(caption) + ", file " + describe(file) + ", load " +
                              describe(load);

        // The header spans the table, below what came before.
        QVERIFY2(header.top() > bottomSoFar, qPrintable(where));
        QCOMPARE(header.left(), firstBox.left());
        QCOMPARE(header.right(), firstBar.right());
        // Caption, image and its load button on one line under the header;
        // the image in the column of the bars.
        QVERIFY2(caption.top() > header.bottom(), qPrintable(where));
        QVERIFY2(onOneLine(caption, file) && onOneLine(file, load), qPrintable(where));
        QCOMPARE(caption.left(), firstBox.left());
        QVERIFY2(caption.right() < file.left(), qPrintable(where));
        QCOMPARE(file.left(), firstBar.left());
        QVERIFY2(file.right() < load.left() && load.right() <= firstBar.right(), qPrintable(where));
        bottomSoFar = std::max({caption.bottom(), file.bottom(), load.bottom()});

        for (trvInterface::PartType part : group.boards) {
            const QRect box = placeIn(window, "check" + boardSuffix(part));
            const QRect version = placeIn(window, "version" + boardSuffix(part));
            const QRect bar = placeIn(window, "progress" + boardSuffix(part));
            const QString row = boardSuffix(part) + ": box " + describe(box) + ", version " +
                                describe(version) + ", bar " + describe(bar);
            QVERIFY2(box.top() > bottomSoFar, qPrintable(row));
            QVERIFY2(onOneLine(box, version) && onOneLine(version, bar), qPrintable(row));
            QVERIFY2(box.right() < version.left() && version.right() < bar.left(), qPrintable(row));
            QCOMPARE(box.left(), firstBox.left());
            QCOMPARE(version.left(), firstVersion.left());
            QCOMPARE(bar.left(), firstBar.left());
            QCOMPARE(bar.right(), header.right());
            bottomSoFar = std::max({box.bottom(), version.bottom(), bar.bottom()});
            rowsSeen << part;
        }
    }
    QCOMPARE(rowsSeen, allBoards);
}

void tst_trvloader::initialLook()
{
    trvLoader window;
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
    trvLoader window;
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
    trvLoader window;
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

// Advanced mode on a screen smaller than the window would be (the test's
// screen is 800 x 600): the window stays on the screen with its buttons, and
// the board table scrolls to the row the keyboard is on.
void tst_trvloader::advancedFitsTheScreen()
{
    sim::instrument().plug();
    trvLoader window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    auto* advanced = child<QCheckBox>(window, "advanced");
    QTRY_VERIFY(advanced->isEnabled());
    window.move(40, 300); // a window placed low, as a window system may
    QTest::mouseClick(advanced, Qt::LeftButton);

    const QRect screen = window.screen()->availableGeometry();
    const auto onScreen = [&](const QString& name) {
        QWidget* widget = child<QWidget>(window, name);
        const QRect place(widget->mapToGlobal(QPoint(0, 0)), widget->size());
        return widget->isVisible() && screen.contains(place) &&
               window.frameGeometry().contains(place);
    };
    QTRY_VERIFY2(screen.contains(window.frameGeometry()),
                 qPrintable(describe(window.frameGeometry())));
    for (const char* name :
         {"frameworkInfo", "totalProgress", "advanced", "startUpdate", "supportReport"}) {
        QVERIFY2(onScreen(name), qPrintable(name));
    }
    auto* table = child<QScrollArea>(window, "boardTable");
    QVERIFY(table->verticalScrollBar()->isVisible());

    // Each row in view once the keyboard is on it.
    for (trvInterface::PartType part : allBoards) {
        QWidget* box = child<QWidget>(window, "check" + boardSuffix(part));
        QWidget* bar = child<QWidget>(window, "progress" + boardSuffix(part));
        box->setFocus(Qt::TabFocusReason);
        QTest::keyClick(box, Qt::Key_Tab, Qt::ShiftModifier);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), box);
        const QRect view(table->viewport()->mapToGlobal(QPoint(0, 0)), table->viewport()->size());
        for (QWidget* widget : {box, bar}) {
            const QRect place(widget->mapToGlobal(QPoint(0, 0)), widget->size());
            QVERIFY2(view.contains(place),
                     qPrintable(boardSuffix(part) + ": " + describe(place) + " in " +
                                describe(view)));
        }
    }
}

void tst_trvloader::showReturnsToSimpleMode()
{
    trvLoader window;
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
    trvLoader window;
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
