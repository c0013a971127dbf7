#pragma once

#include <QtGlobal>
#include <random>

// The physical side of the simulated instruments: a battery behind an
// electronic load, the load's heat, and a USB source for the power tester.
namespace SimPhysics {

constexpr double AmbientC = 25.0;

// A one-cell Li-ion battery: open-circuit voltage falls with its charge.
struct Battery
{
    double capacityAh = 3.0;
    double internalOhm = 0.08;
    double stateOfCharge = 1.0; // 0..1

    double openCircuitVoltage() const;
    // Takes `amps` out for `seconds`; returns the mean current the cell
    // delivered, less than `amps` once it runs empty.
    double drain(double amps, double seconds);
};

// Regulation modes of the load as the instrument numbers them.
enum Regulation { ConstantCurrent, ConstantVoltage, ConstantResistance, ConstantPower };
Regulation regulationFor(quint8 workMode);

// The current a load draws from `battery` regulating to `setValue` (A, V, ohm
// or W), never above `maxAmps`.
double loadCurrent(const Battery &battery, Regulation mode, double setValue, double maxAmps);

// Heat of the load's transistor and its fan.
struct Thermal
{
    double mosC = AmbientC + 3;
    double ntcC = AmbientC;
    double cpuC = AmbientC + 8;
    double fanRpm = 0;

    void step(double dissipatedW, double batteryHeatW, double seconds);
};

// A USB source that steps between the fixed voltages of USB power delivery
// while a device on it draws a varying current.
struct UsbSource
{
    explicit UsbSource(unsigned seed);
    double volts = 5.0;
    double amps = 0.5;
    double timeS = 0;
    double nextSwitchS = 120;
    double phase;
    std::mt19937 random;

    void step(double seconds);
};

} // namespace SimPhysics
