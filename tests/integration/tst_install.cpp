// Installing the tool: what `cmake --install` puts where, and the .deb that
// CPack builds from the same install rules.

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <QtTest>

class tst_install : public QObject
{
    Q_OBJECT

private slots:
    void installedFiles();
    void debianPackage();

private:
    // Runs a program to its end; its output, or a failed check with what it said.
    static bool run(const QString& program, const QStringList& arguments, QByteArray* output);
    static void checkInstalledTree(const QString& root);
};

bool tst_install::run(const QString& program, const QStringList& arguments, QByteArray* output)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    if (!process.waitForFinished(240000)) {
        qWarning() << program << arguments << "did not finish:" << process.errorString();
        process.kill();
        return false;
    }
    *output = process.readAll();
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        qWarning().noquote() << program << arguments.join(' ') << "failed:\n" << *output;
        return false;
    }
    return true;
}

// The files of one installation below root (a prefix such as /usr).
void tst_install::checkInstalledTree(const QString& root)
{
    // The window and the command-line tool, side by side.
    for (const char* name : {"trvloader", "trvloader-cli"}) {
        const QFileInfo program(root + "/bin/" + QString(name));
        QVERIFY2(program.isFile() && program.isExecutable(), qPrintable(program.filePath()));
    }

    // The copyright file in the machine-readable form, covering every file.
    QFile copyright(root + "/share/doc/trvloader/copyright");
    QVERIFY2(copyright.open(QIODevice::ReadOnly | QIODevice::Text),
             qPrintable(copyright.fileName()));
    const QByteArray copyrightText = copyright.readAll();
    QVERIFY(copyrightText.startsWith(
        "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n"));
    QVERIFY(copyrightText.contains("\nFiles: *\nCopyright: "));

    // Every program installed has its manual page, compressed as Debian keeps them.
    const QStringList programs = QDir(root + "/bin").entryList(QDir::Files);
    for (const QString& name : programs) {
        const QString pagePath = root + "/share/man/man1/" + name + ".1.gz";
        QVERIFY2(QFileInfo(pagePath).isFile(), qPrintable(pagePath));
        QByteArray page;
        QVERIFY(run("gzip", {"-dc", pagePath}, &page));
        QVERIFY2(page.startsWith(".TH " + name.toUpper().toLatin1() + " 1 "), qPrintable(pagePath));
    }

    // The rule must reach the instrument's hidraw node and hand it to the
    // user at the seat; anything else leaves the tool root-only.
    QFile rules(root + "/lib/udev/rules.d/70-trvloader.rules");
    QVERIFY2(rules.open(QIODevice::ReadOnly | QIODevice::Text), qPrintable(rules.fileName()));
    QStringList ruleLines;
    for (const QByteArray& line : rules.readAll().split('\n')) {
        if (!line.trimmed().isEmpty() && !line.trimmed().startsWith('#')) {
            ruleLines.append(QString::fromUtf8(line));
        }
    }
    QCOMPARE(ruleLines.size(), 1);
    const QStringList keys = ruleLines.first().split(QRegularExpression(",\\s*"));
    QVERIFY(keys.contains(R"(SUBSYSTEM=="hidraw")"));
    QVERIFY(keys.contains(R"(ATTRS{idVendor}=="04d8")"));
    QVERIFY(keys.contains(R"(ATTRS{idProduct}=="f93c")"));
    QVERIFY(keys.contains(R"(TAG+="uaccess")"));

    const QString desktopPath = root + "/share/applications/trvloader.desktop";
    QVERIFY2(QFileInfo(desktopPath).isFile(), qPrintable(desktopPath));
    QSettings desktop(desktopPath, QSettings::IniFormat);
    desktop.beginGroup("Desktop Entry");
    QCOMPARE(desktop.value("Type").toString(), QString("Application"));
    QCOMPARE(desktop.value("Name").toString(), QString("Tarvo QX40 Firmware Update Tool"));
    QCOMPARE(desktop.value("Exec").toString(), QString("trvloader"));
    QCOMPARE(desktop.value("Terminal").toString(), QString("false"));

    // The entry's icon name must find the installed icon.
    const QString iconName = desktop.value("Icon").toString();
    QFile icon(root + "/share/icons/hicolor/scalable/apps/" + iconName + ".svg");
    QVERIFY2(icon.open(QIODevice::ReadOnly), qPrintable(icon.fileName()));
    QXmlStreamReader svg(&icon);
    QVERIFY(svg.readNextStartElement());
    QCOMPARE(svg.name().toString(), QString("svg"));
    while (!svg.atEnd()) {
        svg.readNext();
    }
    QVERIFY2(!svg.hasError(), qPrintable(svg.errorString()));
}

void tst_install::installedFiles()
{
    QTemporaryDir prefix;
    QVERIFY(prefix.isValid());
    QByteArray output;
    QVERIFY(run(TRV_CMAKE, {"--install", TRV_BUILD_DIR, "--prefix", prefix.path()}, &output));
    checkInstalledTree(prefix.path());
}

void tst_install::debianPackage()
{
    if (QStandardPaths::findExecutable("dpkg-shlibdeps").isEmpty()) {
        QSKIP("dpkg-shlibdeps (Debian package dpkg-dev) is needed to build the .deb");
    }
    QTemporaryDir work;
    QVERIFY(work.isValid());
    QByteArray output;
    QVERIFY(run(TRV_CPACK,
                {"--config", QString(TRV_BUILD_DIR) + "/CPackConfig.cmake", "-G", "DEB", "-B",
                 work.filePath("out")},
                &output));
    const QStringList packages = QDir(work.filePath("out")).entryList({"*.deb"}, QDir::Files);
    QCOMPARE(packages.size(), 1);
    const QString package = work.filePath("out/" + packages.first());

    QVERIFY(run("dpkg-deb", {"--field", package, "Package", "Depends"}, &output));
    QVERIFY2(output.contains("Package: trvloader"), output.constData());
    // What the program needs at run time comes from the libraries it links;
    // libudev tells it when the instrument comes and goes.
    for (const char* dependency :
         {"libhidapi-hidraw0", "libqt5widgets5", "libqt5core5a", "libudev1"}) {
        QVERIFY2(output.contains(dependency), output.constData());
    }

    QVERIFY(run("dpkg-deb", {"--extract", package, work.filePath("root")}, &output));
    checkInstalledTree(work.filePath("root/usr"));
}

QTEST_GUILESS_MAIN(tst_install)
#include "tst_install.moc"
