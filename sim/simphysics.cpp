#include "simphysics.h"

#include <algorithm>
#include <cmath>

namespace SimPhysics {

double Battery::openCircuitVoltage() const
{
    // Typical rest voltages of a Li-ion cell by state of charge. The last
    // percent falls steeply to nothing, as an empty cell does: every cut-off
    // is reached, and the current a load can draw vanishes with the charge.
    // The knee is sharp, so a cut-off of 2.5 to 3 V leaves well under 2 % in
    // the cell at the usual rates, as a capacity test expects of a good cell.
    static const double soc[] = {0.0, 0.003, 0.006, 0.02, 0.10, 0.20, 0.40, 0.60, 0.80, 0.90, 1.00};
    static const double ocv[] = {0.0, 2.00, 3.00, 3.30, 3.45, 3.60, 3.70, 3.80, 3.95, 4.05, 4.18};
    constexpr int points = int(sizeof soc / sizeof soc[0]);
    const double s = std::clamp(stateOfCharge, 0.0, 1.0);
    for (int i = 1; i < points; ++i) {
        if (s <= soc[i]) {
            const double f = (s - soc[i - 1]) / (soc[i] - soc[i - 1]);
            return ocv[i - 1] + f * (ocv[i] - ocv[i - 1]);
        }
    }
    return ocv[points - 1];
}

double Battery::drain(double amps, double seconds)
{
    // An empty cell gives no more than it holds.
    const double wanted = std::max(0.0, amps * seconds / 3600.0 / capacityAh);
    const double taken = std::min(wanted, std::clamp(stateOfCharge, 0.0, 1.0));
    stateOfCharge = std::clamp(stateOfCharge - taken, 0.0, 1.0);
    return wanted > 0 ? amps * taken / wanted : 0.0;
}

Regulation regulationFor(quint8 workMode)
{
    switch (workMode) {
    case 1:
        return ConstantVoltage;
    case 2:
        return ConstantResistance;
    case 3:
        return ConstantPower;
    default:
        // The tests and the charge-discharge cycles discharge at a set current.
        return ConstantCurrent;
    }
}

double loadCurrent(const Battery &battery, Regulation mode, double setValue, double maxAmps)
{
    const double e = battery.openCircuitVoltage();
    const double r = battery.internalOhm;
    const double shortCircuit = e / r;
    double i = 0;
    switch (mode) {
    case ConstantCurrent:
        i = setValue;
        break;
    case ConstantVoltage:
        i = e > setValue ? (e - setValue) / r : 0.0;
        break;
    case ConstantResistance:
        i = setValue > 0 ? e / (r + setValue) : maxAmps;
        break;
    case ConstantPower: {
        // P = (E - I r) I: the smaller root, or the maximum-power point.
        const double disc = e * e - 4 * r * setValue;
        i = disc >= 0 ? (e - std::sqrt(disc)) / (2 * r) : e / (2 * r);
        break;
    }
    }
    if (!(i > 0))
        return 0.0;
    return std::min({i, maxAmps, shortCircuit});
}

void Thermal::step(double dissipatedW, double batteryHeatW, double seconds)
{
    // The fan halves the heat sink's thermal resistance.
    const double rth = fanRpm > 0 ? 0.6 : 1.2;
    const double mosTarget = AmbientC + 3 + rth * dissipatedW;
    const double a = 1.0 - std::exp(-seconds / 60.0);
    mosC += (mosTarget - mosC) * a;
    const double ntcTarget = AmbientC + 4.0 * batteryHeatW;
    ntcC += (ntcTarget - ntcC) * (1.0 - std::exp(-seconds / 120.0));
    cpuC = AmbientC + 8 + 0.1 * (mosC - AmbientC);
    if (mosC > 45)
        fanRpm = std::min(6000.0, 2000 + 100 * (mosC - 45));
    else if (mosC < 40)
        fanRpm = 0;
}

UsbSource::UsbSource(unsigned seed) : random(seed)
{
    phase = std::uniform_real_distribution<double>(0, 6.28)(random);
}

void UsbSource::step(double seconds)
{
    static const double levels[] = {5.0, 9.0, 12.0, 15.0, 20.0};
    timeS += seconds;
    if (timeS >= nextSwitchS) {
        nextSwitchS = timeS + std::uniform_real_distribution<double>(60, 240)(random);
        volts = levels[std::uniform_int_distribution<int>(0, 4)(random)];
    }
    const double noise = std::normal_distribution<double>(0, 0.02)(random);
    amps = std::max(0.05, 1.0 + 0.6 * std::sin(timeS / 37.0 * 6.283 + phase) +
                              0.25 * std::sin(timeS / 11.0 * 6.283) + noise);
}

} // namespace SimPhysics
