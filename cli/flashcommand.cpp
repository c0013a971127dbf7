// flash: the checks of image loading, then the whole upgrade through the
// link thread, as the upgrade page runs it.
#include "clicommand.h"
#include "firmwareimage.h"
#include "firmwareupgrade.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonObject>
#include <sys/stat.h>

namespace {

class FlashCommand : public CliCommand
{
public:
    FlashCommand(const CliOptions::Global &g, CliOutput &out, InstrumentSession &s, QString path,
                 QByteArray image)
        : CliCommand(g, out, s), m_path(std::move(path)), m_image(std::move(image))
    {
    }

    void start() override
    {
        m_session.attachUpgrade(&m_upgrade);
        connect(&m_upgrade, &FirmwareUpgrade::progressChanged, this, &FlashCommand::progress);
        // The end of the transfer (0xEE) moves no progress.
        connect(&m_upgrade, &FirmwareUpgrade::transferComplete, this, &FlashCommand::trackState);
        connect(&m_upgrade, &FirmwareUpgrade::finished, this, &FlashCommand::done);

        m_out.message(QStringLiteral("flashing %1 (%2 bytes); the instrument enters its bootloader")
                          .arg(m_path)
                          .arg(m_image.size()));
        m_total.start();
        if (!m_upgrade.start(m_image))
            fail(QStringLiteral("the upgrade did not start"));
    }

    void interrupt() override
    {
        m_upgrade.cancel();
        fail(QStringLiteral(
            "interrupted; the instrument may stay in its bootloader until flashed again"));
    }

private:
    void progress(int value, const QString &)
    {
        trackState();
        if (!m_out.errIsTerminal() || m_upgrade.state() == FirmwareUpgrade::State::Idle)
            return;
        constexpr int Width = 40;
        const int filled = value * Width / 100;
        m_out.status(
            QStringLiteral("[%1%2] %3%")
                .arg(QString(filled, QLatin1Char('#')), QString(Width - filled, QLatin1Char(' ')))
                .arg(value, 3));
    }

    // The transfer's own time, from the accepted handshake to the last byte.
    void trackState()
    {
        const FirmwareUpgrade::State st = m_upgrade.state();
        if (st == FirmwareUpgrade::State::Transferring && !m_transfer.isValid())
            m_transfer.start();
        if (st == FirmwareUpgrade::State::Burning && m_transferMs < 0 && m_transfer.isValid())
            m_transferMs = m_transfer.elapsed();
    }

    void done(FirmwareUpgrade::Outcome outcome)
    {
        trackState();
        m_out.endStatus();
        const double totalS = m_total.elapsed() / 1000.0;
        if (m_transferMs < 0 && m_transfer.isValid())
            m_transferMs = m_transfer.elapsed();
        const double transferS = qMax<qint64>(1, m_transferMs) / 1000.0;
        const double speed = m_transferMs > 0 ? m_image.size() / transferS : 0;
        QString result;
        switch (outcome) {
        case FirmwareUpgrade::Outcome::Done:
            result = QStringLiteral("done");
            break;
        case FirmwareUpgrade::Outcome::Failed:
            result = QStringLiteral("the instrument reported the upgrade failed");
            break;
        case FirmwareUpgrade::Outcome::TimedOut:
            result = m_upgrade.pastDeadline()
                         ? QStringLiteral("the upgrade did not finish within %1 s")
                               .arg(FirmwareUpgrade::deadlineMs(m_image.size()) / 1000)
                         : QStringLiteral("the instrument made no progress for 12 s");
            break;
        case FirmwareUpgrade::Outcome::SendError:
            result = QStringLiteral("a packet could not be written to the instrument");
            break;
        case FirmwareUpgrade::Outcome::EndedEarly:
            result = QStringLiteral("the instrument ended the upgrade early");
            break;
        case FirmwareUpgrade::Outcome::None:
            result = QStringLiteral("ended");
            break;
        }
        const bool ok = outcome == FirmwareUpgrade::Outcome::Done;
        if (m_out.json()) {
            QJsonObject o;
            o[QStringLiteral("event")] = QStringLiteral("flash-end");
            o[QStringLiteral("file")] = m_path;
            o[QStringLiteral("bytes")] = m_image.size();
            o[QStringLiteral("ok")] = ok;
            o[QStringLiteral("result")] = result;
            o[QStringLiteral("total_s")] = totalS;
            o[QStringLiteral("transfer_s")] = m_transferMs >= 0 ? m_transferMs / 1000.0 : 0.0;
            o[QStringLiteral("bytes_per_s")] = speed;
            m_out.object(o);
        }
        if (!ok)
            return fail(QStringLiteral("flash failed: %1 (progress %2%)")
                            .arg(result)
                            .arg(m_upgrade.progressValue()));
        if (!m_out.json())
            m_out.line(QStringLiteral("Flashed %1 bytes in %2 s (transfer %3 s, %4 KB/s); the "
                                      "instrument burned the image.")
                           .arg(m_image.size())
                           .arg(totalS, 0, 'f', 1)
                           .arg(m_transferMs / 1000.0, 0, 'f', 1)
                           .arg(speed / 1024.0, 0, 'f', 2));
        finish(CliExit::Done);
    }

    QString m_path;
    QByteArray m_image;
    FirmwareUpgrade m_upgrade;
    QElapsedTimer m_total;
    QElapsedTimer m_transfer;
    qint64 m_transferMs = -1;
};

QString fileKind(mode_t mode)
{
    if (S_ISFIFO(mode))
        return QStringLiteral("a named pipe");
    if (S_ISDIR(mode))
        return QStringLiteral("a directory");
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return QStringLiteral("a device");
    if (S_ISSOCK(mode))
        return QStringLiteral("a socket");
    return QStringLiteral("a special file");
}

} // namespace

std::unique_ptr<CliCommand> makeFlashCommand(const CliOptions::Global &g, CliOutput &out,
                                             InstrumentSession &s, QString *error)
{
    if (g.command != QLatin1String("flash"))
        return nullptr;
    CliOptions::CommandArgs a;
    if (!CliOptions::parseCommandArgs(g.args, {}, {}, &a, error))
        return nullptr;
    if (a.positional.size() != 1) {
        *error = QStringLiteral("usage: usb-tester-cli flash FILE.bin");
        return nullptr;
    }
    const QString path = a.positional.at(0);
    // Looked at before anything opens it: opening a named pipe waits for a
    // writer, and a device or a directory has no image to read.
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) == 0 && !S_ISREG(st.st_mode)) {
        *error = QStringLiteral("%1 is %2, not a regular file; give the firmware's .bin file")
                     .arg(path, fileKind(st.st_mode));
        return nullptr;
    }
    const FirmwareImage::LoadResult r = FirmwareImage::load(path);
    switch (r.status) {
    case FirmwareImage::Status::Ok:
        return std::make_unique<FlashCommand>(g, out, s, QFileInfo(path).absoluteFilePath(),
                                              r.data);
    case FirmwareImage::Status::NotRegular:
        *error = QStringLiteral("%1 is not a regular file").arg(path);
        break;
    case FirmwareImage::Status::OpenFailed:
        *error = QStringLiteral("cannot open the firmware file %1").arg(path);
        break;
    case FirmwareImage::Status::TooLarge:
        *error = QStringLiteral("the firmware file %1 is too large (%2 bytes at most)")
                     .arg(path)
                     .arg(FirmwareImage::MaxFirmwareSize);
        break;
    case FirmwareImage::Status::Empty:
        *error = QStringLiteral("the firmware file %1 is empty").arg(path);
        break;
    }
    return nullptr;
}
