#pragma once

#include <QByteArray>

// Command frames the program sends to an instrument: 55 05 <address> <code>
// <value field> EE FF (10 bytes), or the 9-byte short form with a 3-byte
// argument used by the parameter/measurement requests and the download request.
namespace CommandFrame {

enum Code : unsigned char {
    FirmwareDownload = 0x02,
    ReadParameters = 0x03,
    ScanProbe = 0x04,
    ReadMeasurements = 0x05,
    DisplayStyle = 0x20,
    SetValue = 0x21,
    WorkBrightness = 0x22,
    StandbyBrightness = 0x23,
    StandbyTime = 0x24,
    RunStop = 0x25,
    TempCalibration = 0x26,
    VoltCalibration = 0x27,
    CurrCalibration = 0x28,
    CutoffVoltage = 0x29,
    FullVoltage = 0x2A,
    FullCurrent = 0x2B,
    OverCurrent = 0x2C,
    OverPower = 0x2D,
    NtcOverTemp = 0x2E,
    MosOverTemp = 0x2F,
    TimeLimit = 0x31,
    ZeroCurrent = 0x32,
    FactoryReset = 0x33,
    ClearData = 0x34,
    PromptAnswer = 0x35,
    ShuntSize = 0x36,
    PageHome = 0x45,
    PageSettings = 0x46,
    ModeConstantCurrent = 0x47,
    ModeConstantVoltage = 0x48,
    ModeConstantResistance = 0x49,
    ModeConstantPower = 0x4A,
    ModeInternalResistance = 0x4B,
    ModePowerSupplyTest = 0x4C,
    ModeCableTest = 0x4D,
    ModeChargeDischargeCharge = 0x4E,
    ModeCdcdc = 0x4F,
    ModeCycleTest = 0x50,
    ModeMore = 0x51,
};

enum TimeUnit : unsigned char { Hours = 1, Minutes = 2 };

constexpr int LongLength = 10;
constexpr int ShortLength = 9;
constexpr unsigned char FirmwareAddress = 0x09;

// Long form, value field 00 00 00 00.
QByteArray plain(unsigned char address, unsigned char code);
// Long form, IEEE-754 single precision, most significant byte first.
QByteArray withFloat(unsigned char address, unsigned char code, float value);
// Long form, the value's low 8 bits in the last value byte (00 00 00 v).
QByteArray withLowByte(unsigned char address, unsigned char code, int value);
// Long form, the value's low 8 bits in the first value byte (v 00 00 00).
QByteArray withLeadByte(unsigned char address, unsigned char code, int value);
// Long form, v 00 00 u: the time limit in hours or minutes.
QByteArray withTime(unsigned char address, int value, TimeUnit unit);
// Short form with a 3-byte argument.
QByteArray shortForm(unsigned char address, unsigned char code, unsigned char a0, unsigned char a1,
                     unsigned char a2);

// The poll requests of the 500 ms tick: parameters on even, measurements on odd ticks.
QByteArray parameterPoll(unsigned char address);
QByteArray measurementPoll(unsigned char address);
// Settings read request sent before opening a settings page (argument 00 00 00).
QByteArray parameterRequest(unsigned char address);
// The request that puts the instrument into its bootloader; fixed address 0x09.
QByteArray firmwareDownloadRequest();
// Scan probe for one bus address.
QByteArray scanProbe(unsigned char probeAddress);

// The 64-byte output report carrying a frame: the frame, then zeros. Longer
// frames are cut to 64 bytes.
QByteArray toReport(const QByteArray &frame);

} // namespace CommandFrame
