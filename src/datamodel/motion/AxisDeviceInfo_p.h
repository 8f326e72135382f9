#pragma once

#include <QMap>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <vector>

class DescriptionBase;

// What a controller's hardware description offers the axes of a project: the axis types with
// their limits and masks, the on-board pins, the channels of each axis type, the encoder and
// pulse modes and the home modes, as maps and as the role lists the axis settings choose from.
// Built anew from the description whenever the controller may have changed.
class AxisDeviceInfo
{
public:
    struct Pin
    {
        QString text; // prefix and number in the pin base ("X17" in base 8)
        int number = 0;
    };

    // Pin items joined by ","; an item is a name (prefix, then digits) or two names joined by
    // "-" for every number between them. Numbers are read and written in `base`; malformed
    // items are skipped, and a range yields at most MaxRange pins.
    static std::vector<Pin> expandPins(const QString& text, int base);
    static constexpr int MaxRange = 4096;

    // Reads everything for the controller `device` (a description name) from `descriptions`.
    void build(const QString& device, const DescriptionBase& descriptions);

    int pinBase = 10;
    QMap<QString, QString> typeNames;       // axis type -> translated name
    QMap<QString, quint16> typeIds;         // axis type -> TypeID
    QMap<QString, quint8> maxAxis;          // translated type name -> limit; "MaxAxis" -> all axes
    QMap<QString, quint32> compareOutEnable; // "TYPE.CompareOutEnable" -> mask
    QMap<QString, quint32> presetEnable;     // "TYPE.PresetEnable" -> mask
    QMap<QString, quint32> probeEnable;      // "TYPE.TP1Mask", "TYPE.TP2Mask" -> mask
    QMap<QString, quint8> encoderInputSignal;
    QMap<QString, quint8> encoderOutMode;
    QMap<QString, quint8> pulseOutMode;
    QMap<QString, qint8> pulseOutputPin;
    QMap<int, QString> inputPoints;
    QMap<int, QString> outputPoints;
    QMap<QString, quint32> signalSource;
    QMap<QString, quint8> homeModes;
    QMap<QString, QStringList> roles; // role key ("AxisPulseOutputDev", "HomeMode", ...) -> list

private:
    QVariant value(const QString& key) const;
    std::vector<Pin> pins(const QString& key) const;
    void readPins();
    void readChannels();
    void readAxisTypes();
    void readHomeModes();

    QString m_device;
    const DescriptionBase* m_descriptions = nullptr;
};
