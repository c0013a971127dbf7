#include "programwords.h"

#include "readingformat.h"

#include <cmath>

namespace {

QString number(double v)
{
    return QString::number(v, 'g', 10);
}

} // namespace

QString ProgramWords::kind(StepKind kind)
{
    switch (kind) {
    case StepKind::Discharge:
        return tr("放电");
    case StepKind::Rest:
        return tr("静置");
    case StepKind::Dcir:
        return tr("直流内阻");
    case StepKind::Repeat:
        return tr("循环");
    case StepKind::Pause:
        break;
    }
    return tr("暂停");
}

QString ProgramWords::mode(quint8 mode)
{
    switch (mode) {
    case 0:
        return tr("恒流");
    case 1:
        return tr("恒压");
    case 2:
        return tr("恒阻");
    default:
        break;
    }
    return tr("恒功率");
}

QString ProgramWords::end(StepResult::End end)
{
    switch (end) {
    case StepResult::End::CutOff:
        return tr("截止电压");
    case StepResult::End::Duration:
        return tr("时长");
    case StepResult::End::Capacity:
        return tr("容量");
    case StepResult::End::Energy:
        return tr("能量");
    case StepResult::End::Recovered:
        return tr("电压恢复");
    case StepResult::End::Done:
        return tr("完成");
    case StepResult::End::Confirmed:
        return tr("已确认");
    case StepResult::End::Aborted:
        return tr("已中止");
    case StepResult::End::Failed:
        break;
    }
    return tr("失败");
}

QString ProgramWords::state(ProgramRunner::State state, ProgramRunner::Outcome outcome)
{
    using S = ProgramRunner::State;
    switch (state) {
    case S::Idle:
        return tr("未运行");
    case S::Running:
        return tr("运行中");
    case S::Pausing:
        return tr("正在暂停");
    case S::Paused:
        return tr("已暂停");
    case S::WaitingForUser:
        return tr("等待确认");
    case S::InstrumentLost:
        return tr("仪表已断开，程序暂停");
    case S::AskingToResume:
        return tr("仪表已重新连接：继续运行还是中止？");
    case S::Stopping:
        return tr("正在停止负载");
    case S::Finished:
        break;
    }
    switch (outcome) {
    case ProgramRunner::Outcome::Completed:
        return tr("已完成");
    case ProgramRunner::Outcome::Aborted:
        return tr("已中止");
    case ProgramRunner::Outcome::Failed:
        break;
    }
    return tr("失败");
}

QString ProgramWords::failure(ProgramRunner::Failure f, ProgramRunner::Setting s)
{
    using F = ProgramRunner::Failure;
    using S = ProgramRunner::Setting;
    QString setting;
    switch (s) {
    case S::ClearData:
        setting = tr("数据清零");
        break;
    case S::Mode:
        setting = tr("工作模式");
        break;
    case S::Value:
        setting = tr("设定值");
        break;
    case S::Cutoff:
        setting = tr("截止电压");
        break;
    case S::TimeLimit:
        setting = tr("定时");
        break;
    case S::Run:
        setting = tr("启动负载");
        break;
    case S::Stop:
        setting = tr("停止负载");
        break;
    case S::Readings:
    case S::None:
        setting = tr("设置");
        break;
    }
    switch (f) {
    case F::None:
        return QString();
    case F::InvalidProgram:
        return tr("程序未通过检查");
    case F::NotConnected:
        return tr("未连接仪表");
    case F::NotALoad:
        return tr("测试程序需要电子负载");
    case F::NotConfirmed:
        return tr("仪表未确认%1").arg(setting);
    case F::WriteFailed:
        return tr("无法向仪表发送%1").arg(setting);
    case F::NoReadings:
        return tr("仪表没有发送读数");
    case F::InstrumentStopped:
        return tr("仪表自行停止了负载（保护动作或被人为停止）");
    case F::NoCurrentChange:
        return tr("直流内阻步骤的两个电流没有按设定变化");
    case F::StopUnconfirmed:
        return tr("仪表未确认负载已停止，负载可能仍在运行");
    case F::InstrumentGone:
        break;
    }
    return tr("程序结束时仪表已断开，负载可能仍在运行");
}

QString ProgramWords::issue(const ProgramIssue &i)
{
    using P = ProgramIssue;
    QString where;
    if (!i.step.isEmpty())
        where = i.kind.isEmpty()
                    ? tr("第 %1 步").arg(i.step)
                    : tr("第 %1 步（%2）")
                          .arg(i.step,
                               kind(StepKind(qMax(0, ProgramFile::kindWords().indexOf(i.kind)))));
    if (!i.field.isEmpty())
        where += (where.isEmpty() ? QString() : tr("，")) + tr("字段“%1”").arg(i.field);
    const QString prefix = where.isEmpty() ? QString() : where + tr("：");
    switch (i.problem) {
    case P::None:
        return QString();
    case P::NotJson:
        return tr("不是 JSON：第 %1 行第 %2 列（%3）").arg(i.line).arg(i.column).arg(i.found);
    case P::NotAnObject:
        return i.step.isEmpty() ? tr("不是测试程序") : prefix + tr("步骤必须是 JSON 对象");
    case P::UnknownFormat:
        return prefix + tr("%1 不是测试程序的格式").arg(i.found);
    case P::UnknownVersion:
        return prefix +
               tr("不认识的版本 %1（本程序读取版本 %2）").arg(i.found).arg(ProgramFile::Version);
    case P::MissingField:
        return prefix + tr("缺少");
    case P::WrongType:
        return prefix + tr("%1 的类型不对").arg(i.found);
    case P::UnknownField:
        return prefix + tr("没有这个字段");
    case P::UnknownKind:
        return prefix + tr("不认识的步骤类型 %1").arg(i.found);
    case P::UnknownMode:
        return prefix + tr("不认识的模式 %1").arg(i.found);
    case P::OutOfRange: {
        const QString unit = i.unit.isEmpty() ? QString() : QLatin1Char(' ') + i.unit;
        return prefix + (i.lowOpen ? tr("%1 超出范围（大于 %2，至多 %3%4）")
                                   : tr("%1 超出范围（%2 至 %3%4）"))
                            .arg(i.found, number(i.low), number(i.high), unit);
    }
    case P::NoSteps:
        return prefix + tr("没有步骤");
    case P::NoEndCondition:
        return prefix + (i.kind == QLatin1String("repeat")
                             ? tr("不会结束：请设定次数、静置电压条件或截止条件")
                             : tr("不会结束：请设定截止电压、时长、容量或能量"));
    case P::NeedsRest:
        return prefix + tr("循环内需要一个静置步骤");
    case P::NeedsCutoff:
        return prefix + tr("循环内需要一个设了截止电压的放电步骤");
    case P::NotAbove:
        return prefix + tr("%1 必须大于 %2").arg(i.found, i.other);
    case P::TooDeep:
        return prefix + tr("循环最多嵌套 %1 层").arg(ProgramFile::MaxDepth);
    case P::TooManySteps:
        break;
    }
    return prefix + tr("步骤超过 %1 个").arg(ProgramFile::MaxSteps);
}

QString ProgramWords::settings(const ProgramStep &s)
{
    switch (s.kind) {
    case StepKind::Discharge:
        return QStringLiteral("%1 %2 %3")
            .arg(mode(s.mode), number(s.value), QStringList{"A", "V", "Ω", "W"}.value(s.mode));
    case StepKind::Rest:
        return tr("负载关闭");
    case StepKind::Dcir:
        return QStringLiteral("%1 A %2 s → %3 A %4 s")
            .arg(number(s.i1A), number(s.t1S), number(s.i2A), number(s.t2S));
    case StepKind::Repeat:
        return tr("%1 个步骤").arg(s.steps.size());
    case StepKind::Pause:
        break;
    }
    return s.message;
}

QString ProgramWords::ends(const ProgramStep &s)
{
    QStringList parts;
    switch (s.kind) {
    case StepKind::Discharge:
        if (s.cutoffV > 0)
            parts << tr("截止 %1 V").arg(number(s.cutoffV));
        if (s.durationS > 0)
            parts << ReadingFormat::durationText(s.durationS);
        if (s.capacityMah > 0)
            parts << QStringLiteral("%1 mAh").arg(number(s.capacityMah));
        if (s.energyWh > 0)
            parts << QStringLiteral("%1 Wh").arg(number(s.energyWh));
        break;
    case StepKind::Rest:
        if (s.untilV > 0)
            parts << tr("恢复到 %1 V").arg(number(s.untilV));
        parts << (s.untilV > 0 ? tr("至多 %1").arg(ReadingFormat::durationText(s.durationS))
                               : ReadingFormat::durationText(s.durationS));
        break;
    case StepKind::Dcir:
        parts << ReadingFormat::durationText(s.t1S + s.t2S);
        if (s.cutoffV > 0)
            parts << tr("截止 %1 V").arg(number(s.cutoffV));
        break;
    case StepKind::Repeat:
        if (s.times > 0)
            parts << tr("%1 次").arg(s.times);
        if (s.untilRestBelowV > 0)
            parts << tr("静置电压低于 %1 V").arg(number(s.untilRestBelowV));
        if (s.untilCutoff)
            parts << tr("放电到截止电压");
        break;
    case StepKind::Pause:
        parts << tr("确认后继续");
        break;
    }
    return parts.join(tr("，"));
}

QString ProgramWords::templateName(const QString &id)
{
    if (id == QLatin1String("capacity"))
        return tr("容量测试");
    if (id == QLatin1String("dcir"))
        return tr("直流内阻测试");
    return tr("容量测试（定期测内阻）");
}
