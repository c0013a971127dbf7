#include "reportdecoder.h"

#include "logging.h"
#include "protocollog.h"

#include <QtEndian>

namespace {

constexpr unsigned FullReport = 64;
constexpr unsigned ScanAnswerLength = 10; // up to its EE FF trailer

// One scaled measurement field: (offset, limit, sign bit, target).
struct ScaledField
{
    int offset;
    quint32 limit;
    quint8 signBit; // 0: never negative
    float MeasurementRecord::*field;
};

const ScaledField scaledFields[] = {
    {8, Report::VoltageLimit, 0, &MeasurementRecord::voltage},
    {12, Report::CurrentLimit, Report::CurrentNegative, &MeasurementRecord::current},
    {16, Report::PowerLimit, 0, &MeasurementRecord::power},
    {20, Report::CounterLimit, 0, &MeasurementRecord::resistance},
    {24, Report::CounterLimit, 0, &MeasurementRecord::energy},
    {28, Report::CounterLimit, 0, &MeasurementRecord::capacity},
    {32, Report::TemperatureLimit, Report::CpuTempNegative, &MeasurementRecord::cpuTemp},
    {36, Report::TemperatureLimit, Report::NtcTempNegative, &MeasurementRecord::ntcTemp},
    {40, Report::TemperatureLimit, Report::MosTempNegative, &MeasurementRecord::mosTemp},
    {44, Report::FanLimit, 0, &MeasurementRecord::fanSpeed},
};

void decodeScanAnswer(const unsigned char *r, InstrumentState &state)
{
    const quint8 address = r[2];
    if (r[4] == 0x01) {
        state.masterAddress = address;
        state.busAddress = address;
    }
    qCDebug(lcProtocol) << "接收到设备扫描的数据:" << address;
    if (!state.addressList.contains(char(address)))
        state.addressList.append(char(address));
    for (int i = 0; i < 7; ++i)
        qCDebug(lcLinkBytes).noquote() << QStringLiteral("测试%1:").arg(i + 1) << r[i];
    qCDebug(lcProtocol) << "数组大小:" << state.addressList.size();
}

void decodeMeasurements(const unsigned char *r, InstrumentState &state)
{
    MeasurementRecord &rec = state.record;
    const quint8 signs = r[60];
    for (const ScaledField &f : scaledFields) {
        const quint32 raw = qFromLittleEndian<quint32>(r + f.offset);
        if (raw >= f.limit)
            continue;
        // Scaled in floating point, stored single precision: 12345 -> 12.345.
        float value = float(double(raw) / 1000.0);
        if (f.signBit && (signs & f.signBit))
            value = -value;
        rec.*f.field = value;
    }
    rec.signFlags = signs;
    ++state.measurementSerial;
    state.running = r[52] != 0;
    rec.promptCountdown = r[53];
    rec.promptChoiceCount = r[54] / 10;
    rec.promptSelection = r[54] % 10;
}

void decodeParameters(const unsigned char *r, InstrumentState &state)
{
    MeasurementRecord &rec = state.record;
    state.parametersArrived = true;
    int offset = 4;
    for (float MeasurementRecord::*field : ParameterReportFloats) {
        rec.*field = qFromBigEndian<float>(r + offset);
        offset += 4;
    }
    rec.workMode = r[48];
    rec.languageStyle = r[49];
    rec.workBrightness = r[50];
    rec.standbyBrightness = r[51];
    rec.standbyTime = r[52];
    rec.timeLimitHours = r[53];
    rec.timeLimitMinutes = r[54];
}

} // namespace

Report::Outcome decodeReport(const unsigned char *r, unsigned length, InstrumentState &state)
{
    if (!r || length < 4 || r[0] != 0xAA || r[1] != 0x05)
        return Report::Outcome::Ignored;

    const unsigned char kind = r[3];
    if (kind == Report::ScanAnswer && length >= ScanAnswerLength && r[8] == 0xEE && r[9] == 0xFF) {
        decodeScanAnswer(r, state);
        return Report::Outcome::ScanAnswer;
    }
    if (r[2] != state.busAddress)
        return Report::Outcome::OtherAddress;
    if (kind == Report::Measurements && length >= FullReport) {
        decodeMeasurements(r, state);
        return Report::Outcome::Measurements;
    }
    // The parameter trailer sits at the very end, so only a whole report has one.
    if (kind == Report::Parameters && length >= FullReport && r[62] == 0xEE && r[63] == 0xFF) {
        decodeParameters(r, state);
        return Report::Outcome::Parameters;
    }
    return Report::Outcome::Ignored;
}

Report::Outcome decodeReport(const QByteArray &report, InstrumentState &state)
{
    return decodeReport(reinterpret_cast<const unsigned char *>(report.constData()),
                        unsigned(report.size()), state);
}
