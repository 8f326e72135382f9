#pragma once

#include "datamodel/model/DatamodelExport.h"

#include <QObject>
#include <QString>

#include <memory>

class DeviceDiagnosiInfoPrivate;

// Turns a device class id and an error code reported by a device into texts for the user
// (severity, message, detail, resolution tips) in one user interface language. The tables
// come from the diagnosis descriptions: at construction from the description catalogue
// (DevDescription), on a language change from the files in A/hardware/Diagnosis.
class DATAMODEL_EXPORT DeviceDiagnosiInfo : public QObject
{
    Q_OBJECT
public:
    enum ErrorType : qint32 { Error = 0, Warning = 1, Info = 2 };

    struct ErrorInfo
    {
        quint16 code = 0;
        qint32 type = Error;
        QString detail;
        QString message;
        QString resolveTips;
    };

    // The class names whose descriptions the catalogue is asked for, in this order. " ModbusTcp"
    // carries its leading blank: that is the name its description is filed under.
    static const QStringList& classNames();

    explicit DeviceDiagnosiInfo(const QString& lang, QObject* parent = nullptr);
    ~DeviceDiagnosiInfo() override;

    // Empties the tables and reads the diagnosis files again in `lang`; classes whose files
    // are gone do not keep the texts of the old language.
    void changLang(const QString& lang);

    // The entry of `code` in class `classId`. A code without a message text gets the message
    // "Unkown Erroe Code:%1 Of Device Class:%2" (code, class name); all other fields of an
    // unknown code are zero or empty.
    ErrorInfo errorInfo(quint8 classId, quint16 code) const;
    // Whether class `classId` lists `code` (its texts may still be empty in this language).
    bool contains(quint8 classId, quint16 code) const;
    // The name of class `classId`; empty when there is no such class.
    QString classType(quint8 classId) const;
    // The id of the first class (by id) called `name`; 255 when none is.
    quint8 classType(const QString& name) const;
    // The ids of the loaded classes, ascending.
    QList<quint8> classIds() const;

protected:
    // Reads one diagnosis file (its first member, in name order, is the class description).
    // False when the file cannot be read or parsed or holds no member.
    bool loadFile(const QString& path, const QString& lang);
    void reloadErrorInfoFromBin(const QString& lang);
    void reloadErrorInfo(const QString& lang);

private:
    std::unique_ptr<DeviceDiagnosiInfoPrivate> d;
};
