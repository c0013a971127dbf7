#pragma once

#include <QByteArray>
#include <QList>

// The commands the server knows, as the parser hands them on.
namespace Scpi {

enum class Command {
    Identify, // *IDN?
    Reset,    // *RST
    Clear,    // *CLS
    OperationComplete,
    Wait,
    EventStatus, // *ESR?
    SystemError,
    SystemErrorCount,
    SystemVersion,
    MeasureVoltage,
    MeasureCurrent,
    MeasurePower,
    MeasureResistance,
    MeasureTemperature,
    MeasureAll,
    FetchCapacity,
    FetchEnergy,
    Function,
    Current,
    Voltage,
    Resistance,
    Power,
    Cutoff,
    Input,
};

// The words FUNCtion takes, in the order of the load's work modes 0 to 3.
enum Function { FunctionCurrent, FunctionVoltage, FunctionResistance, FunctionPower };
// The words MEASure:TEMPerature? takes; the probe when none is given.
enum Sensor { SensorProbe, SensorTransistor, SensorProcessor };

// Commands answered from the server's own state, with no instrument behind.
bool isLocal(Command c);

// One command of a line, its parameter checked against what the command takes.
struct ParsedCommand
{
    Command command = Command::Identify;
    bool query = false;
    double number = 0; // a level, in volts, amperes, ohms or watts
    int choice = 0;    // a Function, a Sensor, or 1/0 for INPut
};

// One item of a parsed line: a command, or the error that ended the line.
struct Item
{
    int error = 0; // 0: `command` holds a command
    QByteArray info;
    ParsedCommand command;
};

// Parses one program message (the line without its terminator) into its
// commands, in order. A header without a leading colon is looked up first
// under the path of the previous command of the line (MEAS:VOLT?;CURR? asks
// MEAS:CURR?), then from the root. A command that is whole but wrong (no such
// header, wrong parameters) becomes an error item and the line goes on; text
// that cannot be read as commands (-102) ends the line with its error item.
QList<Item> parseLine(const QByteArray &line);

} // namespace Scpi
