#include "confirmations.h"

#include "samplestore.h"

#include <QAbstractButton>
#include <QCoreApplication>

namespace dialoghooks {

bool Question::offers(QMessageBox::StandardButton b) const
{
    for (const auto &button : buttons)
        if (button.first == b)
            return true;
    return false;
}

AskFn defaultAsk()
{
    return [](QWidget *parent, const Question &q) {
        QMessageBox box(q.icon, q.title, q.text, QMessageBox::NoButton, parent);
        QMessageBox::StandardButtons all;
        for (const auto &b : q.buttons)
            all |= b.first;
        box.setStandardButtons(all);
        for (const auto &b : q.buttons)
            box.button(b.first)->setText(b.second);
        if (q.offers(q.defaultButton))
            box.setDefaultButton(q.defaultButton);
        if (q.offers(q.escapeButton))
            box.setEscapeButton(q.escapeButton);
        const int chosen = box.exec();
        const auto answer = QMessageBox::StandardButton(chosen);
        return q.offers(answer) ? answer : q.escapeButton;
    };
}

} // namespace dialoghooks

void UnsavedSamples::markExported(const SampleStore &store)
{
    if (store.isEmpty())
        return;
    m_any = true;
    m_lastExportedMs = store.timeAt(store.size() - 1);
}

size_t UnsavedSamples::count(const SampleStore &store) const
{
    if (!m_any)
        return store.size();
    return store.size() - store.lowerBound(m_lastExportedMs + 1);
}

namespace Confirmations {

namespace {

QString tr(const char *source)
{
    return QCoreApplication::translate("Confirmations", source);
}

} // namespace

dialoghooks::Question closing(bool runInProgress, size_t unsaved, bool exportable)
{
    dialoghooks::Question q;
    q.icon = QMessageBox::Warning;
    q.title = tr("关闭程序");
    QStringList lines;
    if (runInProgress)
        lines << tr("放电正在进行：仪器会继续放电，但程序不再记录。");
    if (unsaved > 0)
        lines << tr("尚未导出的数据：%1 条，关闭后将丢失。").arg(unsaved);
    exportable = exportable && unsaved > 0;
    if (exportable) {
        lines << tr("关闭前先导出数据吗？");
        q.buttons.append({QMessageBox::Save, tr("导出数据...")});
        q.buttons.append({QMessageBox::Discard, tr("不导出，关闭")});
        q.defaultButton = QMessageBox::Save;
    } else {
        lines << tr("仍要关闭吗？");
        q.buttons.append({QMessageBox::Discard, tr("关闭")});
        q.defaultButton = QMessageBox::Cancel;
    }
    q.buttons.append({QMessageBox::Cancel, tr("取消")});
    q.text = lines.join(QLatin1Char('\n'));
    return q;
}

dialoghooks::Question clearingRecord(size_t unsaved)
{
    dialoghooks::Question q;
    q.icon = QMessageBox::Warning;
    q.title = tr("清除记录");
    q.text = tr("尚未导出的数据：%1 条，清除后无法恢复。仍要清除吗？").arg(unsaved);
    q.buttons = {{QMessageBox::Yes, tr("清除")}, {QMessageBox::Cancel, tr("取消")}};
    return q;
}

dialoghooks::Question factoryReset()
{
    dialoghooks::Question q;
    q.icon = QMessageBox::Warning;
    q.title = tr("恢复出厂设置");
    q.text = tr("仪器的全部设置将恢复为出厂值，包括校准系数和保护参数。确定要恢复出厂设置吗？");
    q.buttons = {{QMessageBox::Yes, tr("恢复出厂设置")}, {QMessageBox::Cancel, tr("取消")}};
    return q;
}

} // namespace Confirmations
