// The real trvloader as started from a shell: --help and --version without a
// display, and a second copy started while one runs. A library preloaded into
// the program (windowwatcher) reports the windows and message boxes it shows
// and its first calls into hidapi, and presses Return on each box.

#include "instancelock.h"

#include <QDeadlineTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

class tst_startup : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void answersWithoutDisplay_data();
    void answersWithoutDisplay();
    void refusesWrongArguments_data();
    void refusesWrongArguments();
    void saysWhenNoDisplay_data();
    void saysWhenNoDisplay();
    void secondCopyEndsWithoutDevice();

private:
    // The program's environment: no display at all, unless offscreen, where
    // it draws into memory; the lock file in runtimeFolder.
    QProcessEnvironment environment(bool offscreen, bool watched) const;
    // Waits until the process has said text (its standard output and error merged).
    static bool waitForOutput(QProcess& process, QByteArray& said, const QByteArray& text);

    QTemporaryDir runtimeFolder;
};

void tst_startup::initTestCase()
{
    QVERIFY(runtimeFolder.isValid());
}

QProcessEnvironment tst_startup::environment(bool offscreen, bool watched) const
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        environment.remove(name);
    }
    if (offscreen) {
        environment.insert("QT_QPA_PLATFORM", "offscreen");
    }
    environment.insert("XDG_RUNTIME_DIR", runtimeFolder.path());
    if (watched) {
        const QString preload = environment.value("LD_PRELOAD");
        environment.insert("LD_PRELOAD",
                           QString(TRV_WATCHER) + (preload.isEmpty() ? QString() : ':' + preload));
    }
    return environment;
}

bool tst_startup::waitForOutput(QProcess& process, QByteArray& said, const QByteArray& text)
{
    QSignalSpy output(&process, &QProcess::readyRead);
    const QDeadlineTimer deadline(20000);
    for (;;) {
        said += process.readAll();
        if (said.contains(text)) {
            return true;
        }
        if (process.state() == QProcess::NotRunning || deadline.hasExpired()) {
            qWarning().noquote() << "waited in vain for" << text << "; the program said:\n" << said;
            return false;
        }
        output.wait(100);
    }
}

void tst_startup::answersWithoutDisplay_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QStringList>("answer");

    const QStringList help = {
        "Usage: " TRV_LOADER " [options]\n",
        "Tarvo QX40 Firmware Update Tool: brings the firmware built into it",
        "  -h, --help ",
        "  -v, --version ",
    };
    QTest::newRow("--help") << QStringList{"--help"} << help;
    QTest::newRow("-h") << QStringList{"-h"} << help;
    QTest::newRow("--version") << QStringList{"--version"} << QStringList{"trvloader 1.15\n"};
    QTest::newRow("-v") << QStringList{"-v"} << QStringList{"trvloader 1.15\n"};
    // The toolkit's own options may stand beside them (-reverse is no -v).
    QTest::newRow("toolkit options and --version")
        << QStringList{"-platform", "xcb", "-reverse", "--version"}
        << QStringList{"trvloader 1.15\n"};
    QTest::newRow("--help-all") << QStringList{"--help-all"}
                                << QStringList{"  -v, --version ",
                                               "  --platform <platformName[:options]> "};
}

// Answered on standard output, with success, where there is no display to
// open a window on.
void tst_startup::answersWithoutDisplay()
{
    QFETCH(QStringList, arguments);
    QFETCH(QStringList, answer);

    QProcess program;
    program.setProcessEnvironment(environment(false, false));
    program.start(TRV_LOADER, arguments);
    QVERIFY(program.waitForFinished(20000));
    const QString said = QString::fromLocal8Bit(program.readAllStandardOutput());
    const QString complaints = QString::fromLocal8Bit(program.readAllStandardError());
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QVERIFY2(program.exitCode() == 0, qPrintable(complaints));
    if (answer.size() == 1) {
        QCOMPARE(said, answer.first());
    }
    for (const QString& part : answer) {
        QVERIFY2(said.contains(part), qPrintable(said));
    }
}

void tst_startup::refusesWrongArguments_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("complaint");

    QTest::newRow("unknown option")
        << QStringList{"--frobnicate"} << "trvloader: Unknown option 'frobnicate'.\n";
    QTest::newRow("a file name") << QStringList{"kzent.hex"}
                                 << "trvloader: Unexpected argument 'kzent.hex'.\n";
}

// Nothing the program does not understand is passed over in silence.
void tst_startup::refusesWrongArguments()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, complaint);

    QProcess program;
    program.setProcessEnvironment(environment(true, true));
    program.start(TRV_LOADER, arguments);
    QVERIFY(program.waitForFinished(20000));
    const QString said = QString::fromLocal8Bit(program.readAllStandardError());
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 1);
    QVERIFY2(said.contains(complaint), qPrintable(said));
    QVERIFY2(!said.contains("[watcher]"), qPrintable(said));
}

void tst_startup::saysWhenNoDisplay_data()
{
    QTest::addColumn<QString>("platform"); // QT_QPA_PLATFORM; empty: not set
    QTest::addColumn<QStringList>("arguments");

    QTest::newRow("the default window system") << QString() << QStringList();
    QTest::newRow("X11 from the environment") << "xcb" << QStringList();
    QTest::newRow("X11 as argument") << "offscreen" << QStringList{"-platform", "xcb"};
}

// Started from a terminal without a desktop session, the window's program
// says in one line what it needs and ends with a failure, not with an abort.
void tst_startup::saysWhenNoDisplay()
{
    QFETCH(QString, platform);
    QFETCH(QStringList, arguments);

    QProcessEnvironment noDisplay = environment(false, false);
    if (!platform.isEmpty()) {
        noDisplay.insert("QT_QPA_PLATFORM", platform);
    }
    QProcess program;
    program.setProcessEnvironment(noDisplay);
    program.start(TRV_LOADER, arguments);
    QVERIFY(program.waitForFinished(20000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 1);
    QCOMPARE(QString::fromLocal8Bit(program.readAllStandardError()),
             QString("trvloader: No display found. The tool shows a window and needs a desktop "
                     "session; from a terminal, use trvloader-cli.\n"));
    QCOMPARE(program.readAllStandardOutput(), QByteArray());
}

// While one copy runs, a second one shows the box that says so, ends with a
// failure once it is answered, and has neither opened a window nor looked for
// the instrument. A copy that dies leaves its lock behind; the next start
// takes it over and opens its window.
void tst_startup::secondCopyEndsWithoutDevice()
{
    QProcess first;
    first.setProcessChannelMode(QProcess::MergedChannels);
    first.setProcessEnvironment(environment(true, true));
    first.start(TRV_LOADER, QStringList());
    QByteArray firstSaid;
    QVERIFY(waitForOutput(first, firstSaid, "[watcher] shown trvLoader\n"));
    // The watcher sees the link reach hidapi, in the copy that has the window.
    QVERIFY(waitForOutput(first, firstSaid, "[watcher] hidapi "));

    QProcess second;
    second.setProcessChannelMode(QProcess::MergedChannels);
    second.setProcessEnvironment(environment(true, true));
    second.start(TRV_LOADER, QStringList());
    QVERIFY(second.waitForFinished(20000));
    const QString secondSaid = QString::fromUtf8(second.readAll());
    QCOMPARE(second.exitStatus(), QProcess::NormalExit);
    QVERIFY2(second.exitCode() == 1, qPrintable(secondSaid));
    const QString box = "[watcher] box critical | Tarvo QX40 Firmware Update Tool | " +
                        InstanceLock::alreadyRunningText(first.processId(), "trvloader") + '\n';
    QVERIFY2(secondSaid.contains(box), qPrintable(secondSaid));
    QVERIFY2(!secondSaid.contains("shown trvLoader"), qPrintable(secondSaid));
    QVERIFY2(!secondSaid.contains("[watcher] hidapi"), qPrintable(secondSaid));
    QCOMPARE(first.state(), QProcess::Running);

    first.kill();
    QVERIFY(first.waitForFinished(10000));
    QProcess third;
    third.setProcessChannelMode(QProcess::MergedChannels);
    third.setProcessEnvironment(environment(true, true));
    third.start(TRV_LOADER, QStringList());
    QByteArray thirdSaid;
    QVERIFY(waitForOutput(third, thirdSaid, "[watcher] shown trvLoader\n"));
    QVERIFY2(!thirdSaid.contains("[watcher] box"), thirdSaid.constData());
    third.kill();
    QVERIFY(third.waitForFinished(10000));
}

QTEST_GUILESS_MAIN(tst_startup)
#include "tst_startup.moc"
