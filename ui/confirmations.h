#pragma once

#include "dataexport.h"

#include <QMessageBox>
#include <QPair>
#include <QString>
#include <QVector>
#include <functional>

class SampleStore;

namespace dialoghooks {
// A question with buttons of its own words. The answer is the button chosen;
// closing the box answers `escapeButton`.
struct Question
{
    QMessageBox::Icon icon = QMessageBox::Question;
    QString title;
    QString text;
    QVector<QPair<QMessageBox::StandardButton, QString>> buttons;
    QMessageBox::StandardButton defaultButton = QMessageBox::Cancel;
    QMessageBox::StandardButton escapeButton = QMessageBox::Cancel;

    bool offers(QMessageBox::StandardButton b) const;
};
using AskFn = std::function<QMessageBox::StandardButton(QWidget *parent, const Question &q)>;

AskFn defaultAsk();
} // namespace dialoghooks

// Which samples of the record a CSV export has written: what closing the
// window or clearing the record would lose. Samples are told apart by their
// times, so a record emptied and filled again counts all its new samples.
class UnsavedSamples
{
public:
    void markExported(const SampleStore &store);
    size_t count(const SampleStore &store) const;

private:
    bool m_any = false;
    qint64 m_lastExportedMs = 0;
};

// The questions asked before something is lost, in the current language.
namespace Confirmations {

// Closing the window: a discharge runs and/or `unsaved` samples were not
// exported. Offers to export (QMessageBox::Save) when `exportable`, to close
// anyway (Discard) and to stay (Cancel).
dialoghooks::Question closing(bool runInProgress, size_t unsaved, bool exportable);
// Emptying the record with `unsaved` samples not exported: Yes or Cancel.
dialoghooks::Question clearingRecord(size_t unsaved);
// Sending the factory reset: Yes or Cancel.
dialoghooks::Question factoryReset();

} // namespace Confirmations
