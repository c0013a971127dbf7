#pragma once

#include "curvetable.h"

#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;

// The custom axis ranges panel: a minimum, a maximum and an on/off switch per
// charted quantity, kept in the settings file. A change to a range that is on
// is announced through RangChang_signal so the chart re-applies it.
class customcoordinates : public QWidget
{
    Q_OBJECT
public:
    explicit customcoordinates(QWidget *parent = nullptr);

    // Curve order of the chart (voltage, current, power, energy, capacity,
    // CPU, NTC and MOS temperature).
    bool isOpen(int curve) const { return m_open[curve] != 0; }
    float minValue(int curve) const { return m_value[2 * curve]; }
    float maxValue(int curve) const { return m_value[2 * curve + 1]; }

    QLineEdit *minBox(int curve) const { return m_minBox[curve]; }
    QLineEdit *maxBox(int curve) const { return m_maxBox[curve]; }
    QPushButton *switchButton(int curve) const { return m_switch[curve]; }

    // Shows the panel centred over area, or hides it when shown.
    void toggleOver(QWidget *area);

    static QString onStyle();
    static QString offStyle();

signals:
    void RangChang_signal();

public slots:
    void on_btn_CLOS_SET_clicked();
    void on_edit_VBUS_Min_editingFinished() { minEdited(Curves::Voltage); }
    void on_edit_VBUS_Max_editingFinished() { maxEdited(Curves::Voltage); }
    void on_edit_IBUS_Min_editingFinished() { minEdited(Curves::Current); }
    void on_edit_IBUS_Max_editingFinished() { maxEdited(Curves::Current); }
    void on_edit_POWER_Min_editingFinished() { minEdited(Curves::Power); }
    void on_edit_POWER_Max_editingFinished() { maxEdited(Curves::Power); }
    void on_edit_PD_Min_editingFinished() { minEdited(Curves::Energy); }
    void on_edit_PD_Max_editingFinished() { maxEdited(Curves::Energy); }
    void on_edit_PM_Min_editingFinished() { minEdited(Curves::Capacity); }
    void on_edit_PM_Max_editingFinished() { maxEdited(Curves::Capacity); }
    void on_edit_CC1_Min_editingFinished() { minEdited(Curves::CpuTemp); }
    void on_edit_CC1_Max_editingFinished() { maxEdited(Curves::CpuTemp); }
    void on_edit_CC2_Min_editingFinished() { minEdited(Curves::NtcTemp); }
    void on_edit_CC2_Max_editingFinished() { maxEdited(Curves::NtcTemp); }
    void on_edit_CPU_Min_editingFinished() { minEdited(Curves::MosTemp); }
    void on_edit_CPU_Max_editingFinished() { maxEdited(Curves::MosTemp); }
    void on_btn_VBUS_clicked() { toggle(Curves::Voltage); }
    void on_btn_IBUS_clicked() { toggle(Curves::Current); }
    void on_btn_POWER_clicked() { toggle(Curves::Power); }
    void on_btn_PD_clicked() { toggle(Curves::Energy); }
    void on_btn_PM_clicked() { toggle(Curves::Capacity); }
    void on_btn_CC1_clicked() { toggle(Curves::CpuTemp); }
    void on_btn_CC2_clicked() { toggle(Curves::NtcTemp); }
    void on_btn_CPU_clicked() { toggle(Curves::MosTemp); }

protected:
    void changeEvent(QEvent *event) override;

private:
    void buildForm();
    void retranslate();
    void load();
    void minEdited(int curve);
    void maxEdited(int curve);
    void edited(int curve, bool isMax);
    void toggle(int curve);
    void showSwitch(int curve);

    quint8 m_open[Curves::Count] = {};
    float m_value[2 * Curves::Count] = {};

    QLabel *m_header[4] = {};
    QLineEdit *m_minBox[Curves::Count] = {};
    QLineEdit *m_maxBox[Curves::Count] = {};
    QPushButton *m_switch[Curves::Count] = {};
    QPushButton *m_okButton = nullptr;
};
