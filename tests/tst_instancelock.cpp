// InstanceLock between real processes: this program started a second time
// holds the lock, as a second copy of the tool would.

#include "instancelock.h"

#include <QDateTime>
#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <cstdio>

#include <unistd.h>

namespace {

// Set in the environment of the copy of this program that holds the lock.
const char* const holdLockVariable = "TST_INSTANCELOCK_HOLD";

// The holding copy: takes the lock at the default place, says so, and keeps
// it until its standard input closes (or it is killed).
int holdLock(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    InstanceLock lock;
    if (!lock.acquire()) {
        std::printf("refused %lld\n", static_cast<long long>(lock.holderProcess()));
        return 1;
    }
    std::printf("held\n");
    std::fflush(stdout);
    while (std::getchar() != EOF) {
    }
    return 0;
}

} // namespace

class tst_instancelock : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void heldByAnotherProcess();
    void takenOverFromDeadHolder();
    void lockFileCannotBeMade();
    void withoutRuntimeFolder();

private:
    // Starts a copy of this program that holds the lock; false if it did not get it.
    bool startHolder(QProcess& holder);

    QTemporaryDir runtimeFolder;
    QByteArray previousRuntimeFolder;
    QByteArray previousTemporaryFolder;
};

void tst_instancelock::init()
{
    QVERIFY(runtimeFolder.isValid());
    // The default lock file is the one in the user's runtime folder; the
    // holders started below inherit this one.
    previousRuntimeFolder = qgetenv("XDG_RUNTIME_DIR");
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtimeFolder.path()));
    previousTemporaryFolder = qgetenv("TMPDIR");
}

void tst_instancelock::cleanup()
{
    if (previousRuntimeFolder.isNull()) {
        qunsetenv("XDG_RUNTIME_DIR");
    } else {
        qputenv("XDG_RUNTIME_DIR", previousRuntimeFolder);
    }
    if (previousTemporaryFolder.isNull()) {
        qunsetenv("TMPDIR");
    } else {
        qputenv("TMPDIR", previousTemporaryFolder);
    }
    QFile::remove(runtimeFolder.filePath("trvloader.lock"));
}

bool tst_instancelock::startHolder(QProcess& holder)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(holdLockVariable, "1");
    holder.setProcessEnvironment(environment);
    holder.start(QCoreApplication::applicationFilePath(), QStringList());
    if (!holder.waitForStarted()) {
        return false;
    }
    QSignalSpy output(&holder, &QProcess::readyReadStandardOutput);
    const QDeadlineTimer deadline(10000);
    while (!holder.canReadLine() && holder.state() == QProcess::Running && !deadline.hasExpired()) {
        output.wait(100);
    }
    const QByteArray said = holder.readLine();
    if (said != "held\n") {
        qWarning() << "the holder said" << said << holder.readAllStandardError();
        return false;
    }
    return true;
}

// A second copy is refused while the first lives, and learns who holds the
// lock, even when the lock file is old; it gets the lock once the first ends.
void tst_instancelock::heldByAnotherProcess()
{
    QProcess holder;
    QVERIFY(startHolder(holder));
    const QString lockPath = runtimeFolder.filePath("trvloader.lock");
    QVERIFY2(QFileInfo::exists(lockPath), qPrintable(lockPath));

    // A copy of the tool may run for hours.
    QFile lockFile(lockPath);
    QVERIFY(lockFile.open(QIODevice::ReadWrite));
    QVERIFY(lockFile.setFileTime(QDateTime::currentDateTime().addSecs(-3600),
                                 QFileDevice::FileModificationTime));
    lockFile.close();

    InstanceLock second;
    QVERIFY(!second.acquire());
    QCOMPARE(second.holderProcess(), holder.processId());
    QCOMPARE(second.holderName(), QString("tst_instancelock"));
    QCOMPARE(second.failureText(), InstanceLock::alreadyRunningText(holder.processId()));
    QVERIFY(second.failureText().contains(QString::number(holder.processId())));

    holder.closeWriteChannel();
    QVERIFY(holder.waitForFinished(10000));
    QCOMPARE(holder.exitCode(), 0);
    QVERIFY(second.acquire());
    QCOMPARE(second.holderProcess(), qint64(0));
}

// A copy that died holding the lock (killed, crashed, power cut of its
// session) leaves the lock file behind; the next copy takes it over, and a
// copy after that is refused again.
void tst_instancelock::takenOverFromDeadHolder()
{
    QProcess holder;
    QVERIFY(startHolder(holder));
    const qint64 deadProcess = holder.processId();
    holder.kill();
    QVERIFY(holder.waitForFinished(10000));
    QCOMPARE(holder.exitStatus(), QProcess::CrashExit);
    QVERIFY(QFileInfo::exists(runtimeFolder.filePath("trvloader.lock")));

    InstanceLock next;
    QVERIFY2(next.acquire(), qPrintable(QString::number(deadProcess)));

    QProcess after;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(holdLockVariable, "1");
    after.setProcessEnvironment(environment);
    after.start(QCoreApplication::applicationFilePath(), QStringList());
    QVERIFY(after.waitForFinished(10000));
    QCOMPARE(after.exitCode(), 1);
    QCOMPARE(after.readAllStandardOutput(),
             QByteArray("refused ") + QByteArray::number(QCoreApplication::applicationPid()) +
                 '\n');
}

// Without a lock nothing would stop a second copy: the tool does not start,
// and says where the lock file should have been.
void tst_instancelock::lockFileCannotBeMade()
{
    const QString lockPath = runtimeFolder.filePath("missing/trvloader.lock");
    InstanceLock lock(lockPath);
    QVERIFY(!lock.acquire());
    QCOMPARE(lock.holderProcess(), qint64(0));
    const QString text = lock.failureText();
    QVERIFY2(text.contains(lockPath) && text.contains("its folder does not exist"),
             qPrintable(text));
    QVERIFY2(!text.contains("already running"), qPrintable(text));
}

// Root under sudo, or a login without a desktop session, has no runtime
// folder: the lock file is then in the folder for temporary files, named for
// the user, and the tool says nothing about the missing folder.
void tst_instancelock::withoutRuntimeFolder()
{
    QTemporaryDir temporaryFolder;
    QVERIFY(temporaryFolder.isValid());
    qunsetenv("XDG_RUNTIME_DIR");
    qputenv("TMPDIR", QFile::encodeName(temporaryFolder.path()));

    QProcess holder;
    QVERIFY(startHolder(holder));
    const QString lockPath =
        temporaryFolder.filePath(QStringLiteral("trvloader-%1.lock").arg(::getuid()));
    QCOMPARE(InstanceLock::defaultPath(), lockPath);
    QVERIFY2(QFileInfo::exists(lockPath), qPrintable(lockPath));
    InstanceLock second;
    QVERIFY(!second.acquire());
    QCOMPARE(second.holderProcess(), holder.processId());

    holder.closeWriteChannel();
    QVERIFY(holder.waitForFinished(10000));
    QCOMPARE(holder.exitCode(), 0);
    QCOMPARE(QString::fromLocal8Bit(holder.readAllStandardError()), QString());
}

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsSet(holdLockVariable)) {
        return holdLock(argc, argv);
    }
    QCoreApplication application(argc, argv);
    tst_instancelock test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_instancelock.moc"
