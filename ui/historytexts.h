#pragma once

#include "runrecord.h"

#include <QList>
#include <QPair>
#include <QString>

// The window's words for runs: how they ended, their summary's rows and
// the report's labels, in the window's language.
namespace HistoryTexts {

QString endReason(const QString &reason);
// Name and value of every summary row, in the order shown.
QList<QPair<QString, QString>> summaryRows(const RunSummary &summary, const QString &reason);
// The mode and set value of a run ("恒电流模式 1.000 A"), or the family for a power tester.
QString modeText(const RunInfo &info);
QString deviceText(const RunInfo &info); // "KV37 4B5633"

} // namespace HistoryTexts
