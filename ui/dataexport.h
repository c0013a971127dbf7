#pragma once

#include <QMessageBox>
#include <QObject>
#include <QString>
#include <functional>

class SampleStore;
class QWidget;

// Ways to ask the user, replaceable so that tests need no modal dialog.
namespace dialoghooks {
// Same arguments and result as QFileDialog::getSaveFileName; empty means cancelled.
using SaveFileFn = std::function<QString(QWidget *parent, const QString &caption,
                                         const QString &dir, const QString &filter)>;
using MessageFn = std::function<void(QWidget *parent, QMessageBox::Icon icon, const QString &title,
                                     const QString &text)>;

SaveFileFn defaultSaveFile();
// QFileDialog::getOpenFileName, in the same shape.
SaveFileFn defaultOpenFile();
MessageFn defaultMessage();
} // namespace dialoghooks

// The chart menu's "export data" flow: checks there is enough to export, asks
// for a file in the remembered folder, writes the record store as CSV with a
// progress dialog for long records, warns when the file cannot be written and
// remembers the folder only when it was.
class DataExport : public QObject
{
    Q_OBJECT
public:
    enum Result { TooFewSamples, Cancelled, Written, Failed };
    static constexpr int MinimumSamples = 10;

    // window: parent of every dialog the export opens.
    explicit DataExport(QWidget *window);

    void setSaveFileDialog(dialoghooks::SaveFileFn fn) { m_saveFile = std::move(fn); }
    void setMessageBox(dialoghooks::MessageFn fn) { m_message = std::move(fn); }
    // Folder the default "Data" folder is made in; the executable's by default.
    void setApplicationDir(const QString &dir) { m_appDir = dir; }
    // How long a write may run before the progress dialog shows, in ms.
    void setProgressDelay(int ms) { m_progressDelay = ms; }

    Result exportCsv(const SampleStore &store, quint8 deviceClass);

    // Folder the save dialog opens in: save_path, else "Data" beside the
    // executable (made if missing), else the user's documents folder.
    QString startFolder() const;

    // Folder remembered after saving fileName: split at "/", one part gives
    // "", two parts the first with "/" (a drive root), more all but the last.
    static QString folderOf(const QString &fileName);

private:
    QWidget *m_window;
    dialoghooks::SaveFileFn m_saveFile;
    dialoghooks::MessageFn m_message;
    QString m_appDir;
    int m_progressDelay = 400;
};
