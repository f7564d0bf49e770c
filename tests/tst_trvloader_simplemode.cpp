// Simple mode as a new user sees it, at the window's default size, in English
// and in German: every text of the total bar whole, the failure of an unplug
// included.

#include "boardtable.h"
#include "instrument.h"
#include "testimage.h"
#include "testtiming.h"
#include "totalbar.h"
#include "translations.h"
#include "trvinstrument.h"
#include "trvloader.h"
#include "usbhid.h"
#include "usertexts.h"
#include "windowtesting.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTranslator>
#include <QtTest>

#include <cerrno>

namespace {

// The total bar's texts, by what the window is doing.
enum TotalText {
    Waiting,
    NotAllowed,
    InUse,
    Ready,
    FilesMissing,
    Succeeded,
    SensorsUnplugged,
    EveryGroupUnplugged,
    SensorRefused,
    GoneBeforeStart,
    LateWait,
    MainboardProcessing,
};

QString totalText(TotalText which)
{
    trvInstrument::Failure unplugged;
    unplugged.error = trvUpdater::TransferFailed;
    unplugged.disconnected = true;
    unplugged.boards = BoardTable::boardsOf(BoardTable::Sensors);
    switch (which) {
    case Waiting:
        return QStringLiteral("Waiting for USB connection");
    case NotAllowed:
        return UsbHid::refusalDescription(EACCES);
    case InUse:
        return UsbHid::refusalDescription(EBUSY);
    case Ready:
        return QCoreApplication::translate("trvLoader", "Ready to start firmware update");
    case FilesMissing:
        return QCoreApplication::translate("trvLoader", "One or more firmware files are missing");
    case Succeeded:
        return QCoreApplication::translate("trvLoader", "Firmware update successfull");
    case SensorsUnplugged:
        return UserTexts::failureText(unplugged);
    case EveryGroupUnplugged:
        unplugged.boards = BoardTable::boards();
        return UserTexts::failureText(unplugged);
    case SensorRefused: {
        trvInstrument::Failure refused;
        refused.error = trvUpdater::TransferFailed;
        refused.boards = BoardTable::boardsOf(BoardTable::Sensors);
        refused.refusing = trvInterface::Sensor2;
        return UserTexts::failureText(refused);
    }
    case GoneBeforeStart:
        return UserTexts::goneBeforeStartText();
    case LateWait:
        return UserTexts::lateWaitText(trvTiming().lateReturnTimeout);
    case MainboardProcessing:
        return partName(trvInterface::Mainboard) + ": " +
               trvUpdater::stateDesription(trvUpdater::Restarting) + " (Total 100%)";
    }
    return QString();
}

} // namespace

class tst_trvloader_simplemode : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void totalTextsShownWhole_data();
    void totalTextsShownWhole();
    void unplugFailureShownWhole_data();
    void unplugFailureShownWhole();
    void saysWhatItKnows_data();
    void saysWhatItKnows();

private:
    // Speaks the language of the row: "en" or "de".
    void speak(const QString& language);
    // Builds and shows the window at its default size, in simple mode.
    void showWindow();
    // Whether the user reads the whole text: in the bar, or in the label
    // beneath it with every line of it inside the label and the window.
    bool shownWhole(const QString& text) const;
    template <typename T> T* widget(const QString& name) { return child<T>(*window, name); }

    QScopedPointer<trvLoader> window;
    QScopedPointer<QTranslator> translator;
};

void tst_trvloader_simplemode::initTestCase()
{
    QApplication::setQuitOnLastWindowClosed(false);
    QVERIFY(applyStyleSheet());
}

void tst_trvloader_simplemode::init()
{
    sim::instrument().reset();
}

void tst_trvloader_simplemode::cleanup()
{
    window.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    translator.reset();
}

void tst_trvloader_simplemode::speak(const QString& language)
{
    if (language == "en") {
        return;
    }
    translator.reset(new QTranslator);
    QVERIFY(translator->load(QLocale(language), "trvloader", "_", Translations::builtInFolder()));
    QVERIFY(QCoreApplication::installTranslator(translator.data()));
}

void tst_trvloader_simplemode::showWindow()
{
    window.reset(new trvLoader(nullptr, TestTiming::inProcess()));
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.data()));
    QVERIFY(widget<QWidget>("controlWidget")->isHidden());
}

bool tst_trvloader_simplemode::shownWhole(const QString& text) const
{
    auto* bar = window->findChild<TotalBar*>("totalProgress");
    auto* label = window->findChild<QLabel*>("totalText");
    if (bar->wholeText() != text) {
        return false;
    }
    if (!bar->isShortened()) {
        return bar->text() == text && label->isHidden();
    }
    // The bar keeps the text's start; the label beneath has the whole of it.
    const QString start = bar->text().left(bar->text().size() - 1);
    const QRect inWindow(label->mapTo(window.data(), QPoint(0, 0)), label->size());
    return text.startsWith(start) && label->isVisible() && label->text() == text &&
           label->heightForWidth(label->width()) <= label->height() &&
           window->rect().contains(inWindow);
}

void tst_trvloader_simplemode::totalTextsShownWhole_data()
{
    QTest::addColumn<QString>("language");
    QTest::addColumn<int>("which");
    const QList<QPair<const char*, TotalText>> texts = {
        {"waiting", Waiting},
        {"not allowed to open", NotAllowed},
        {"in use", InUse},
        {"ready", Ready},
        {"files missing", FilesMissing},
        {"succeeded", Succeeded},
        {"sensor boards unplugged", SensorsUnplugged},
        {"every group unplugged", EveryGroupUnplugged},
        {"sensor board refused", SensorRefused},
        {"gone before the start", GoneBeforeStart},
        {"late main board", LateWait},
        {"main board processing", MainboardProcessing},
    };
    for (const char* language : {"en", "de"}) {
        for (const auto& text : texts) {
            QTest::addRow("%s, %s", language, text.first) << language << int(text.second);
        }
    }
}

void tst_trvloader_simplemode::totalTextsShownWhole()
{
    QFETCH(QString, language);
    QFETCH(int, which);
    speak(language);
    sim::instrument().unplug();
    showWindow();

    const QString text = totalText(TotalText(which));
    window->findChild<TotalBar*>("totalProgress")->setText(text);
    QTRY_VERIFY2(shownWhole(text), qPrintable(text));
}

void tst_trvloader_simplemode::unplugFailureShownWhole_data()
{
    QTest::addColumn<QString>("language");
    QTest::newRow("English") << "en";
    QTest::newRow("German") << "de";
}

// The sentence the trial saw cut at both ends: an unplug during the update
// of the sensor boards, started in simple mode.
void tst_trvloader_simplemode::unplugFailureShownWhole()
{
    QFETCH(QString, language);
    speak(language);
    showWindow();
    // Every board has answered: simple mode updates them all.
    QVERIFY(waitUntil(
        [&] {
            for (trvInterface::PartType part : allBoards) {
                if (!widget<QWidget>("check" + boardSuffix(part))->isEnabled()) {
                    return false;
                }
            }
            return true;
        },
        2000));
    sim::instrument().unplugAtDataMessage(2);
    QTest::mouseClick(widget<QWidget>("startUpdate"), Qt::LeftButton);
    auto* bar = widget<TotalBar>("totalProgress");
    QVERIFY(waitUntil([&] { return bar->property("error").toBool(); }, 10000));

    const QString text = UserTexts::failureText(window->findChild<trvInstrument*>()->failure());
    QVERIFY2(text.contains(BoardTable::groupName(BoardTable::Sensors)), qPrintable(text));
    QTRY_VERIFY2(shownWhole(text), qPrintable(bar->text()));
    QVERIFY(widget<QWidget>("controlWidget")->isHidden());
}

void tst_trvloader_simplemode::saysWhatItKnows_data()
{
    QTest::addColumn<bool>("current");   // every board runs its image's version
    QTest::addColumn<bool>("silent");    // one sensor board does not answer
    QTest::addColumn<bool>("fileLoaded"); // a file replaces the control panel's image
    QTest::addColumn<QStringList>("notes");

    const QString current = "Every board that answered already runs the firmware this tool "
                            "installs.";
    const QString file = "The firmware file KTERM-new.hex replaces the built-in firmware of the "
                         "Control Panel.";
    QTest::newRow("boards older") << false << false << false << QStringList();
    QTest::newRow("every board current") << true << false << false << QStringList{current};
    QTest::newRow("every answering board current")
        << true << true << false << QStringList{current};
    QTest::newRow("a file loaded") << false << false << true << QStringList{file};
    QTest::newRow("a file loaded, boards current")
        << true << false << true << QStringList{current, file};
}

// Beneath the total bar, simple mode says what advanced mode's table shows:
// that there is nothing new for the boards, and which file replaces a
// built-in image.
void tst_trvloader_simplemode::saysWhatItKnows()
{
    QFETCH(bool, current);
    QFETCH(bool, silent);
    QFETCH(bool, fileLoaded);
    QFETCH(QStringList, notes);

    if (current) {
        for (auto board : {sim::Sensor1, sim::Sensor2, sim::Sensor3, sim::Sensor4, sim::Sensor5}) {
            sim::instrument().setVersion(board, 19);
        }
        sim::instrument().setVersion(sim::Terminal, 21);
        sim::instrument().setVersion(sim::Mainboard, 33);
    }
    if (silent) {
        sim::BoardFaults absent;
        absent.absent = true;
        sim::instrument().setFaults(sim::Sensor3, absent);
    }
    showWindow();
    QVERIFY(waitUntil([&] { return widget<QWidget>("checkMainboard")->isEnabled(); }, 2000));
    auto* note = widget<QLabel>("updateNote");
    QTemporaryDir folder;
    if (fileLoaded) {
        // The control panel's image from a file, at the version the board runs
        // when the boards are current.
        QFile image(folder.filePath("KTERM-new.hex"));
        QVERIFY(image.open(QIODevice::WriteOnly));
        QVERIFY(image.write(TestImage("KTERM", current ? "v2.1" : "v2.2").file()) > 0);
        image.close();
        QTest::mouseClick(widget<QWidget>("advanced"), Qt::LeftButton);
        QVERIFY(note->isHidden()); // the table shows it
        const QStringList seen = answerDialogs(
            [&] { QTest::mouseClick(widget<QWidget>("loadTerminal"), Qt::LeftButton); },
            {choose(folder.path(), {"KTERM-new.hex"}), press(QMessageBox::Yes)});
        QCOMPARE(seen.size(), 2);
        QTest::mouseClick(widget<QWidget>("advanced"), Qt::LeftButton);
    }
    if (notes.isEmpty()) {
        QVERIFY(waitUntil([&] { return widget<QWidget>("checkSensor4")->isEnabled(); }, 2000));
        QVERIFY2(note->isHidden(), qPrintable(note->text()));
    } else {
        QVERIFY(waitUntil([&] { return note->isVisible(); }, 2000));
        QCOMPARE(note->text(), notes.join("\n"));
    }
}

QTEST_MAIN(tst_trvloader_simplemode)
#include "tst_trvloader_simplemode.moc"
