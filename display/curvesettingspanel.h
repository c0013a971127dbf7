#pragma once

#include <QTableView>

class QComboBox;
class QPushButton;
class QStandardItemModel;
class RealTimeChart;

// The curve settings panel over the chart area: a colour button and a width
// box per curve, and the chart theme. Every choice takes effect on the chart
// and is written to the settings file at once.
class CurveSettingsPanel : public QTableView
{
    Q_OBJECT
public:
    CurveSettingsPanel(RealTimeChart *chart, QWidget *area);

    void placeOver(QWidget *area);
    QPushButton *colourButton(int curve) const { return m_colourButtons[curve]; }
    QComboBox *widthBox(int curve) const { return m_widthBoxes[curve]; }
    QComboBox *themeBox() const { return m_themeBox; }
    QPushButton *okButton() const { return m_okButton; }

public slots:
    void onBtn_1_Slot() { chooseColour(0); }
    void onBtn_2_Slot() { chooseColour(1); }
    void onBtn_3_Slot() { chooseColour(2); }
    void onBtn_4_Slot() { chooseColour(3); }
    void onBtn_5_Slot() { chooseColour(4); }
    void onBtn_6_Slot() { chooseColour(5); }
    void onBtn_7_Slot() { chooseColour(6); }
    void onBtn_8_Slot() { chooseColour(7); }
    void onCBox_1_Slot(int index) { chooseWidth(0, index); }
    void onCBox_2_Slot(int index) { chooseWidth(1, index); }
    void onCBox_3_Slot(int index) { chooseWidth(2, index); }
    void onCBox_4_Slot(int index) { chooseWidth(3, index); }
    void onCBox_5_Slot(int index) { chooseWidth(4, index); }
    void onCBox_6_Slot(int index) { chooseWidth(5, index); }
    void onCBox_7_Slot(int index) { chooseWidth(6, index); }
    void onCBox_8_Slot(int index) { chooseWidth(7, index); }
    void onCBox_9_Slot(int index);
    void onBtn_close_Slot();

protected:
    void changeEvent(QEvent *event) override;

private:
    void setTexts();
    void chooseColour(int curve);
    void chooseWidth(int curve, int index);
    static QString buttonStyle(const QColor &colour);

    RealTimeChart *m_chart;
    QStandardItemModel *m_model;
    QPushButton *m_colourButtons[8] = {};
    QComboBox *m_widthBoxes[8] = {};
    QComboBox *m_themeBox = nullptr;
    QPushButton *m_okButton = nullptr;
};
