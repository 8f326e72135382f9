#include "datamodel/model/SqlText_p.h"

QString SqlText::literal(const QString& value)
{
    QString quoted = value;
    quoted.replace(QLatin1Char('\''), QLatin1String("''"));
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}

QString SqlText::literal(const std::string& utf8)
{
    return literal(QString::fromStdString(utf8));
}
