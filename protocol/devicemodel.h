#pragma once

#include <QString>

// Instrument families told apart by the model word at the start of the USB
// product string, and the page choices of the main window that follow.
namespace DeviceModel {

enum Class : quint8 { NoClass = 0, ElectronicLoad = 1, PowerTester = 4 };

// Positions in the main window's page stack that depend on the class.
enum Page : int {
    LoadHomePage = 0,
    LoadSettingsPage = 3,
    TesterHomePage = 7,
    StartPage = 8,
    TesterSettingsPage = 9,
};

// The class of a model word (exact, case-sensitive), NoClass when unknown.
Class classOf(const QString &modelWord);

// The model word of a product string: the part before the first blank.
QString modelWord(const QString &productString);

struct Identification
{
    bool recognised = false;
    quint8 deviceClass = NoClass; // unchanged when not recognised
    int page = 0;                 // unchanged unless the start page was showing
};

// Classifies a model word while `currentPage` is shown. A recognised model
// sets the class and leaves the start page for the family's home menu (and
// logs it); an unknown one changes nothing.
Identification identify(const QString &modelWord, quint8 currentClass, int currentPage);

// The page the settings entry opens; the current page for other classes.
int settingsPage(quint8 deviceClass, int currentPage);

// Return from the readings page (or the placeholder page) to the home menu.
struct HomeReturn
{
    bool moves = false;
    int page = 0;
    QString title; // for labTitle, translated
};
HomeReturn homeReturn(quint8 deviceClass, int currentPage);

// Whether the poll tick samples the record into the chart and the recorder on
// its odd counts: a power tester always, a load while it runs.
bool samplingAllowed(quint8 deviceClass, bool curveRunFlag, bool running);

} // namespace DeviceModel
