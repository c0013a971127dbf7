#pragma once

#include "confirmations.h"
#include "measurementrecord.h"

#include <QWidget>
#include <memory>

class InstrumentSession;

namespace Ui {
class Rx41SettingsPage;
}

// The power tester's settings page: display style, brightness, standby,
// calibration, thresholds, shunt size, zeroing, clearing and factory reset.
// Every control the user works becomes one command of the session; the
// instrument's parameter report fills the controls without echoing back.
class Rx41SettingsPage : public QWidget
{
    Q_OBJECT
public:
    explicit Rx41SettingsPage(InstrumentSession &session, QWidget *parent = nullptr);
    ~Rx41SettingsPage() override;

    void setTitle(const QString &title);
    void showReturnGlyph();
    // Voltage, current and probe temperature, after every report.
    void showLiveValues(const MeasurementRecord &r);
    // The controls as a parameter report gives them.
    void showParameters(const MeasurementRecord &r);
    void retranslate();
    // The factory reset asks first; replaceable so tests need no modal dialog.
    void setAsk(dialoghooks::AskFn ask) { m_ask = std::move(ask); }

signals:
    void returnClicked();

private slots:
    void on_RX41_settings_btnReturn_clicked();
    void on_RX41_settings_btn_CN_clicked();
    void on_RX41_settings_btn_EN_clicked();
    void on_RX41_settings_btn_clearcurrent_clicked();
    void on_RX41_settings_btn_datazero_clicked();
    void on_RX41_settings_btn_factory_reset_clicked();
    void on_RX41_settings_slider_worklight_valueChanged(int value);
    void on_RX41_settings_slider_standlight_valueChanged(int value);
    void on_RX41_settings_slider_standtime_valueChanged(int value);
    void on_RX41_settings_slider_voltcali_valueChanged(int value);
    void on_RX41_settings_slider_currcali_valueChanged(int value);
    void on_RX41_settings_slider_tempcali_valueChanged(int value);
    void on_RX41_settings_edit_overvolt_editingFinished();
    void on_RX41_settings_edit_lowvolt_editingFinished();
    void on_RX41_settings_edit_overpower_editingFinished();
    void on_RX41_settings_edit_ntcover_editingFinished();
    void on_RX41_setting_comboBox_currentIndexChanged(int index);

private:
    void chooseStyle(int style);

    std::unique_ptr<Ui::Rx41SettingsPage> ui;
    InstrumentSession &m_session;
    dialoghooks::AskFn m_ask = dialoghooks::defaultAsk();
};
