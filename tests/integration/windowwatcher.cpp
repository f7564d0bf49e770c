// Preloaded (LD_PRELOAD) into a trvloader that a test starts: reports on
// standard error, one line each, every window the program shows, the text of
// every message box, and the first call of each hidapi function that looks
// for or opens the instrument; and answers each message box by pressing
// Return, as a user would. The program itself knows nothing of it.

#include <QApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>

#include <hidapi.h>

#include <cstdio>
#include <dlfcn.h>

namespace {

void report(const QString& line)
{
    std::fprintf(stderr, "[watcher] %s\n", qUtf8Printable(line));
    std::fflush(stderr);
}

class WindowWatcher : public QObject
{
public:
    using QObject::QObject;

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::Show || !watched->isWidgetType() ||
            !static_cast<QWidget*>(watched)->isWindow()) {
            return false;
        }
        report(QStringLiteral("shown %1").arg(watched->metaObject()->className()));
        if (auto* box = qobject_cast<QMessageBox*>(watched)) {
            report(QStringLiteral("box %1 | %2 | %3")
                       .arg(box->icon() == QMessageBox::Critical ? "critical" : "other",
                            box->windowTitle(), box->text()));
            QPointer<QMessageBox> shown(box);
            QTimer::singleShot(200, box, [shown] {
                if (shown) {
                    QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
                    QCoreApplication::sendEvent(shown, &press);
                }
            });
        }
        return false;
    }
};

void watchWindows()
{
    if (qobject_cast<QApplication*>(QCoreApplication::instance())) {
        qApp->installEventFilter(new WindowWatcher(qApp));
    }
}

template <typename Function> Function next(const char* name, bool* reported)
{
    if (!*reported) {
        *reported = true;
        report(QStringLiteral("hidapi %1").arg(name));
    }
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(watchWindows)

extern "C" {

int hid_init(void)
{
    static bool reported = false;
    const auto real = next<int (*)(void)>("hid_init", &reported);
    return real ? real() : -1;
}

struct hid_device_info* hid_enumerate(unsigned short vendor, unsigned short product)
{
    static bool reported = false;
    const auto real =
        next<hid_device_info* (*)(unsigned short, unsigned short)>("hid_enumerate", &reported);
    return real ? real(vendor, product) : nullptr;
}

hid_device* hid_open(unsigned short vendor, unsigned short product, const wchar_t* serial)
{
    static bool reported = false;
    const auto real = next<hid_device* (*)(unsigned short, unsigned short, const wchar_t*)>(
        "hid_open", &reported);
    return real ? real(vendor, product, serial) : nullptr;
}

hid_device* hid_open_path(const char* path)
{
    static bool reported = false;
    const auto real = next<hid_device* (*)(const char*)>("hid_open_path", &reported);
    return real ? real(path) : nullptr;
}
}
