#pragma once

class DispPage;
class FivePage;
class FourPage;
class HomePage;
class InstrumentSession;
class MainFrame;
class ProgramPage;
class Rx41HomePage;
class Rx41SettingsPage;
class SettingsPage;
class SixPage;
class StartPage;
class UpgradePage;

// The window's pages but the history's, built into the frame's stack in the order of
// MainDialog::Page. The stack owns them.
struct WindowPages
{
    HomePage *home = nullptr;
    UpgradePage *upgrade = nullptr;
    DispPage *disp = nullptr;
    SettingsPage *settings = nullptr;
    FourPage *four = nullptr;
    FivePage *five = nullptr;
    SixPage *six = nullptr;
    Rx41HomePage *rx41Home = nullptr;
    StartPage *start = nullptr;
    Rx41SettingsPage *rx41Settings = nullptr;
    ProgramPage *program = nullptr;

    void build(MainFrame &frame, InstrumentSession &session);
    // The test program page, after the history page the window adds itself.
    void buildProgram(MainFrame &frame, InstrumentSession &session);
    // Sets every text of every page again in the current language.
    void retranslate();
};
