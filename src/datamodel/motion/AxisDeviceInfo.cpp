#include "datamodel/motion/AxisDeviceInfo_p.h"

#include "datamodel/device/DescriptionBase.h"

#include <QCoreApplication>
#include <QRegularExpression>

namespace {

QString tr(const char* text)
{
    return QCoreApplication::translate("AxisModel", text);
}

// A pin name: the prefix before the first digit and the number after it, read in `base`.
bool parsePin(const QString& name, int base, QString& prefix, int& number)
{
    const QString text = name.trimmed();
    int digits = 0;
    while (digits < text.size() && !text.at(digits).isDigit())
        ++digits;
    bool ok = false;
    number = text.mid(digits).toInt(&ok, base);
    prefix = text.left(digits);
    return ok && digits < text.size() && number >= 0;
}

QString pinText(const QString& prefix, int number, int base)
{
    return prefix + QString::number(number, base).toUpper();
}

// Two consecutive pins of `pins` for channel `channel` in `format`; empty when the list is
// too short.
QString channelPins(const std::vector<AxisDeviceInfo::Pin>& pins, int channel, const char* format)
{
    const std::size_t first = static_cast<std::size_t>(channel) * 2;
    if (first + 1 >= pins.size())
        return QString();
    return tr(format).arg(pins[first].text, pins[first + 1].text);
}

} // namespace

std::vector<AxisDeviceInfo::Pin> AxisDeviceInfo::expandPins(const QString& text, int base)
{
    std::vector<Pin> out;
    for (const QString& item : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QStringList ends = item.split(QLatin1Char('-'));
        QString prefix, lastPrefix;
        int first = 0, last = 0;
        if (ends.size() > 2 || !parsePin(ends.first(), base, prefix, first))
            continue;
        last = first;
        if (ends.size() == 2 && (!parsePin(ends.last(), base, lastPrefix, last) || lastPrefix != prefix
                                 || last < first || last - first >= MaxRange))
            continue;
        for (int number = first; number <= last; ++number)
            out.push_back(Pin{pinText(prefix, number, base), number});
    }
    return out;
}

QVariant AxisDeviceInfo::value(const QString& key) const
{
    return m_descriptions->devProperty(m_device + key);
}

std::vector<AxisDeviceInfo::Pin> AxisDeviceInfo::pins(const QString& key) const
{
    return expandPins(value(key).toString(), pinBase);
}

void AxisDeviceInfo::build(const QString& device, const DescriptionBase& descriptions)
{
    *this = AxisDeviceInfo();
    m_device = device;
    m_descriptions = &descriptions;
    bool ok = false;
    const int base = value(QStringLiteral(".PinBase")).toString().toInt(&ok);
    pinBase = ok && base >= 2 && base <= 36 ? base : 10;
    readPins();
    readChannels();
    readAxisTypes();
    readHomeModes();
}

void AxisDeviceInfo::readPins()
{
    auto list = [this](const char* role, const std::vector<Pin>& found) {
        QStringList& texts = roles[QLatin1String(role)];
        for (const Pin& pin : found)
            texts << pin.text;
    };
    const std::vector<Pin> inputs = pins(QStringLiteral(".InputPin"));
    const std::vector<Pin> outputs = pins(QStringLiteral(".OutputPin"));
    list("InputPoint", inputs);
    list("OutputPoint", outputs);
    list("HightSpeedCountInputPoint", pins(QStringLiteral(".HightSpeedCountInputPin")));
    list("HightSpeedPlusOutputPoint", pins(QStringLiteral(".HightSpeedPlusOutputPin")));
    list("ProbelInputPoint", pins(QStringLiteral(".ProbePin")));
    for (const Pin& pin : inputs)
        inputPoints.insert(pin.number, pin.text);
    for (const Pin& pin : outputs)
        outputPoints.insert(pin.number, pin.text);
    // Signal sources number the on-board pins from 0xE0000000 up.
    for (const std::vector<Pin>* found : {&inputs, &outputs})
        for (const Pin& pin : *found)
            signalSource.insert(pin.text, static_cast<quint32>(pin.number) - 0x20000000u);
}

void AxisDeviceInfo::readChannels()
{
    const QString undistributed = tr("undistributed");
    for (const char* role : {"AxisVirtualInputDev", "AxisVirtualOutputDev", "AxisEtherCATInputDev",
                             "AxisEtherCATOutputDev", "AxisEncoderOutputDev", "AxisPulseInputDev"})
        roles[QLatin1String(role)] = QStringList{undistributed};

    const std::vector<Pin> counters = pins(QStringLiteral(".HightSpeedCountInputPin"));
    const std::vector<Pin> pulses = pins(QStringLiteral(".HightSpeedPlusOutputPin"));
    QStringList encoders{undistributed}, encoderPins, pulseOutputs{undistributed}, pulsePins;
    const int encoderCount = value(QStringLiteral(".Motion.Axis_Encoder.MaxAxis")).toString().toInt();
    for (int channel = 0; channel < encoderCount && channel < 255; ++channel) {
        encoders << tr("high speed counter %1").arg(channel + 1);
        encoderPins << channelPins(counters, channel, "%1-A %2-B");
    }
    const int pulseCount = value(QStringLiteral(".Motion.Axis_Pulse.MaxAxis")).toString().toInt();
    for (int channel = 0; channel < pulseCount && channel < 255; ++channel) {
        pulseOutputs << tr("pulse output %1").arg(channel + 1);
        pulsePins << channelPins(pulses, channel, "%1-Pulse %2-Direction");
    }
    roles[QStringLiteral("AxisEncoderInputDev")] = encoders;
    roles[QStringLiteral("AxisEncoderInputPins")] = encoderPins;
    roles[QStringLiteral("AxisPulseOutputDev")] = pulseOutputs;
    roles[QStringLiteral("AxisPulseOutputPins")] = pulsePins;

    const std::pair<const char*, quint8> encoderModes[] = {
        {"Pulse Direction", 0}, {"A/B phase 1 frequency multiplication", 1},
        {"A/B phase 2 frequency multiplication", 2}, {"A/B phase 4 frequency multiplication", 3},
        {"CW/CCW", 4}, {"Monophasic count", 128}};
    for (const auto& [text, code] : encoderModes) {
        encoderOutMode.insert(tr(text), code);
        roles[QStringLiteral("EncoderEncodeMode")] << tr(text);
    }
    encoderInputSignal.insert(tr("Internal 1ms"), 128);
    encoderInputSignal.insert(tr("Internal 1us"), 129);
    for (const Pin& pin : counters)
        if (pin.number < 128)
            encoderInputSignal.insert(pin.text, static_cast<quint8>(pin.number));

    const char* pulseModes[] = {"Monophasic pulse", "AB phase", "Pulse Direction", "CW/CCW"};
    for (quint8 code = 0; code < 4; ++code) {
        pulseOutMode.insert(tr(pulseModes[code]), code);
        roles[QStringLiteral("PulseEncodeMode")] << tr(pulseModes[code]);
    }
    for (const Pin& pin : pulses)
        if (pin.number <= 127)
            pulseOutputPin.insert(pin.text, static_cast<qint8>(pin.number));
}

void AxisDeviceInfo::readAxisTypes()
{
    bool ok = false;
    const uint all = value(QStringLiteral(".Motion.MaxAxis")).toString().toUInt(&ok);
    if (ok)
        maxAxis.insert(QStringLiteral("MaxAxis"), static_cast<quint8>(qMin(all, 255u)));
    QStringList offered;
    for (const QString& entry : value(QStringLiteral(".Motion.AxisType")).toString().split(QLatin1Char(','))) {
        const QString type = entry.trimmed();
        if (type.isEmpty())
            continue;
        const QString path = QStringLiteral(".Motion.") + type + QLatin1Char('.');
        auto number = [&](const char* item, bool* found) {
            const QVariant v = value(path + QLatin1String(item));
            return v.toString().toUInt(found);
        };
        const QString name = tr(type.toUtf8().constData());
        typeNames.insert(type, name);
        typeIds.insert(type, static_cast<quint16>(number("TypeID", &ok)));
        maxAxis.insert(name, static_cast<quint8>(qMin(number("MaxAxis", &ok), 255u)));
        for (const char* mask : {"TP1Mask", "TP2Mask", "CompareOutEnable", "PresetEnable"}) {
            const quint32 bits = number(mask, &ok);
            if (!ok)
                continue;
            const QString key = type + QLatin1Char('.') + QLatin1String(mask);
            if (mask[0] == 'T')
                probeEnable.insert(key, bits);
            else if (mask[0] == 'C')
                compareOutEnable.insert(key, bits);
            else
                presetEnable.insert(key, bits);
        }
        offered << name;
    }
    roles[QStringLiteral("AxisType")] = offered;
}

void AxisDeviceInfo::readHomeModes()
{
    QStringList& list = roles[QStringLiteral("HomeMode")];
    for (int mode = 17; mode <= 35; ++mode) {
        if (mode > 30 && mode < 35)
            continue; // 31 to 34 are not offered
        const QString text = tr("home mode %1").arg(mode);
        homeModes.insert(text, static_cast<quint8>(mode));
        list << text;
    }
}
