#include "devicemodel.h"

#include <QCoreApplication>
#include <QDebug>

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

Identification identify(const QString &word, quint8 currentClass, int currentPage)
{
    Identification id;
    id.deviceClass = currentClass;
    id.page = currentPage;
    const Class c = classOf(word);
    if (c == NoClass)
        return id;
    id.recognised = true;
    id.deviceClass = c;
    qDebug() << "当前设备型号:" << word;
    if (currentPage == StartPage)
        id.page = c == ElectronicLoad ? LoadHomePage : TesterHomePage;
    return id;
}

int settingsPage(quint8 deviceClass, int currentPage)
{
    switch (deviceClass) {
    case ElectronicLoad:
        return LoadSettingsPage;
    case PowerTester:
        return TesterSettingsPage;
    default:
        return currentPage;
    }
}

HomeReturn homeReturn(quint8 deviceClass, int currentPage)
{
    HomeReturn r;
    r.page = currentPage;
    if (deviceClass == ElectronicLoad) {
        r.moves = true;
        r.page = LoadHomePage;
        r.title = QCoreApplication::translate("MainDialog", "测试仪主界面");
    } else if (deviceClass == PowerTester) {
        r.moves = true;
        r.page = TesterHomePage;
        r.title = QCoreApplication::translate("MainDialog", "电能表主界面");
    }
    return r;
}

bool samplingAllowed(quint8 deviceClass, bool curveRunFlag, bool running)
{
    if (deviceClass == PowerTester)
        return true;
    return deviceClass == ElectronicLoad && curveRunFlag && running;
}

} // namespace DeviceModel
