#include "exitcode.h"

#include <QMetaEnum>

#include <csignal>

QString ExitCode::description(Code code)
{
    switch (code) {
    case Success:
        return QObject::tr("success");
    case InternalError:
        return trvUpdater::errorDescription(trvUpdater::InternalError);
    case UsageError:
        return QObject::tr("usage error: unknown command, option or board, or a wrong value");
    case NoInstrument:
        return QObject::tr("no instrument answered within the wait");
    case CannotOpen:
        return QObject::tr("the instrument is there but cannot be opened (no permission, or busy)");
    case AlreadyRunning:
        return QObject::tr("another copy of the update tool is running");
    case FileRefused:
        return QObject::tr("a firmware file is not usable (unreadable, corrupted, wrong part "
                           "code, out of order, too large), or it could not be sorted or stamped");
    case BoardMissing:
        return QObject::tr("a board asked for did not answer (see --skip-missing)");
    case OlderImage:
        return QObject::tr("an image is older than the version a board runs (see --allow-older)");
    case NoResponse:
        return trvUpdater::errorDescription(trvUpdater::NoResponse);
    case StartFailed:
        return trvUpdater::errorDescription(trvUpdater::StartFailed);
    case TransferFailed:
        return trvUpdater::errorDescription(trvUpdater::TransferFailed);
    case InvalidFirmware:
        return trvUpdater::errorDescription(trvUpdater::InvalidFirmware);
    case FinishFailed:
        return trvUpdater::errorDescription(trvUpdater::FinishFailed);
    case SeveralInstruments:
        return QObject::tr("several instruments are connected and none was chosen (see --serial)");
    case InstrumentsFailed:
        return QObject::tr("update --repeat: the update of one or more instruments failed");
    case NotCurrent:
        return QObject::tr("a board does not run its image's version, or did not answer "
                           "(versions --check)");
    case HungUp:
        return QObject::tr("stopped by SIGHUP (its terminal was closed), as with Ctrl-C");
    case Canceled:
        return QObject::tr("canceled with Ctrl-C");
    case Terminated:
        return QObject::tr("stopped by SIGTERM, as with Ctrl-C");
    }
    return trvUpdater::errorDescription(trvUpdater::InternalError);
}

QString ExitCode::name(Code code)
{
    QString key = QString::fromLatin1(QMetaEnum::fromType<Code>().valueToKey(code));
    if (!key.isEmpty()) {
        key[0] = key.at(0).toLower();
    }
    return key;
}

QList<ExitCode::Code> ExitCode::all()
{
    const QMetaEnum codes = QMetaEnum::fromType<Code>();
    QList<Code> result;
    for (int i = 0; i < codes.keyCount(); ++i) {
        result.append(static_cast<Code>(codes.value(i)));
    }
    return result;
}

ExitCode::Code ExitCode::ofEngineError(trvUpdater::Err error)
{
    switch (error) {
    case trvUpdater::NoResponse:
        return NoResponse;
    case trvUpdater::StartFailed:
        return StartFailed;
    case trvUpdater::TransferFailed:
        return TransferFailed;
    case trvUpdater::InvalidFirmware:
        return InvalidFirmware;
    case trvUpdater::FinishFailed:
        return FinishFailed;
    case trvUpdater::NoError:
    case trvUpdater::InternalError:
        break;
    }
    return InternalError;
}

ExitCode::Code ExitCode::ofStopSignal(int signalNumber)
{
#ifdef SIGHUP
    if (signalNumber == SIGHUP) {
        return HungUp;
    }
#endif
    return signalNumber == SIGTERM ? Terminated : Canceled;
}
