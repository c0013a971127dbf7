#include "dataexport.h"

#include "samplestore.h"
#include "savedatadeal.h"
#include "setting.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QProgressDialog>
#include <QStandardPaths>
#include <QStringList>

namespace dialoghooks {

SaveFileFn defaultSaveFile()
{
    return [](QWidget *parent, const QString &caption, const QString &dir, const QString &filter) {
        return QFileDialog::getSaveFileName(parent, caption, dir, filter);
    };
}

SaveFileFn defaultOpenFile()
{
    return [](QWidget *parent, const QString &caption, const QString &dir, const QString &filter) {
        return QFileDialog::getOpenFileName(parent, caption, dir, filter);
    };
}

MessageFn defaultMessage()
{
    return [](QWidget *parent, QMessageBox::Icon icon, const QString &title, const QString &text) {
        QMessageBox box(icon, title, text, QMessageBox::Ok, parent);
        box.exec();
    };
}

} // namespace dialoghooks

DataExport::DataExport(QWidget *window)
    : QObject(window), m_window(window), m_saveFile(dialoghooks::defaultSaveFile()),
      m_message(dialoghooks::defaultMessage())
{
}

QString DataExport::folderOf(const QString &fileName)
{
    const QStringList parts = fileName.split(QLatin1Char('/'));
    if (parts.size() == 1)
        return QString();
    if (parts.size() == 2)
        return parts.first() + QLatin1Char('/');
    return parts.mid(0, parts.size() - 1).join(QLatin1Char('/'));
}

QString DataExport::startFolder() const
{
    const QString saved = Setting().read(QStringLiteral("save_path"));
    if (!saved.isEmpty())
        return saved;
    const QString appDir = m_appDir.isEmpty() ? QCoreApplication::applicationDirPath() : m_appDir;
    const QString data = appDir + QStringLiteral("/Data");
    // One level only, as a missing parent means the program sits somewhere odd.
    if (QDir(data).exists() || QDir().mkdir(data))
        return data;
    // An installed program's folder is not ours to write in.
    const QString docs = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return docs.isEmpty() ? QDir::homePath() : docs;
}

DataExport::Result DataExport::exportCsv(const SampleStore &store, quint8 deviceClass)
{
    if (store.size() < size_t(MinimumSamples)) {
        m_message(m_window, QMessageBox::Information, tr("提示信息"),
                  tr("<font color='red'>数据太少了吧，请记录至少十条数据。</font>"));
        return TooFewSamples;
    }

    QString fileName = m_saveFile(m_window, tr("Excel file"), startFolder(), tr("Files (*.csv)"));
    if (fileName.isEmpty())
        return Cancelled;
    // A name typed without a suffix gets the one the filter names, as the
    // image export adds ".png"; a suffix of the user's own stays.
    if (QFileInfo(fileName).suffix().isEmpty())
        fileName += QStringLiteral(".csv");

    QProgressDialog progress(tr("正在导出数据..."), QString(), 0, 1000, m_window);
    progress.setWindowTitle(tr("导出数据(.csv)"));
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(m_progressDelay);
    progress.setAutoClose(false);
    progress.setAutoReset(false);
    progress.setValue(0);

    saveDataDeal deal;
    deal.setProgressHandler([&progress](qint64 done, qint64 total) {
        progress.setValue(total > 0 ? int(done * 1000 / total) : 1000);
    });
    const bool ok = deal.writeCsv(store, fileName, deviceClass);
    progress.close();

    if (!ok) {
        // save_path stays as it was: this folder gave nothing to come back to.
        m_message(
            m_window, QMessageBox::Warning, tr("错误"),
            tr("无法写入文件 %1：%2").arg(QDir::toNativeSeparators(fileName), deal.errorString()));
        return Failed;
    }
    Setting().write(QStringLiteral("save_path"), folderOf(fileName));
    return Written;
}
