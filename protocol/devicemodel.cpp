#include "devicemodel.h"

namespace DeviceModel {

Class classOf(const QString &word)
{
    static const char *const testers[] = {"RX41", "PB66", "PB62"};
    static const char *const loads[] = {"KV33", "HM307", "KV37"};
    for (const char *m : testers)
        if (word == QLatin1String(m))
            return PowerTester;
    for (const char *m : loads)
        if (word == QLatin1String(m))
            return ElectronicLoad;
    return NoClass;
}

QString modelWord(const QString &productString)
{
    return productString.section(QLatin1Char(' '), 0, 0);
}

bool samplingAllowed(quint8 deviceClass, bool curveRunFlag, bool running)
{
    if (deviceClass == PowerTester)
        return true;
    return deviceClass == ElectronicLoad && curveRunFlag && running;
}

quint8 shuntReportCode(int index)
{
    return index == 0 ? 30 : index == 7 ? 10 : quint8(index);
}

int shuntIndexOf(quint8 reportCode)
{
    if (reportCode == 30)
        return 0;
    if (reportCode == 10)
        return 7;
    return reportCode >= 1 && reportCode <= 6 ? reportCode : -1;
}

} // namespace DeviceModel
