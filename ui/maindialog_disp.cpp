// The display update: after every decoded report the window shows the
// record: the prompt, the readings page, the settings pages.
#include "cdpoptips.h"
#include "devicemodel.h"
#include "maindialog.h"
#include "maindialogui.h"
#include "readingsview.h"
#include "settingsmirror.h"

void MainDialog::updateDisplay()
{
    InstrumentState &st = m_session.state();
    const MeasurementRecord &r = st.record;
    popTips()->follow(r);
    ReadingsView::writeReadings(*ui, r);
    ReadingsView::writeWorkMode(*ui, r, deviceClass);
    ReadingsView::writeEdits(*ui, r);
    ReadingsView::writeLiveValues(*ui, r, deviceClass);
    if (st.parametersArrived) {
        st.parametersArrived = false;
        if (deviceClass == DeviceModel::ElectronicLoad)
            SettingsMirror::mirrorLoad(*ui, r);
        else if (deviceClass == DeviceModel::PowerTester)
            SettingsMirror::mirrorTester(*ui, r);
    }
}
