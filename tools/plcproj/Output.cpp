#include "Output.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>

namespace plcproj {

void Output::line(const QString& text) const
{
    std::fputs(text.toUtf8().constData(), stdout);
    std::fputc('\n', stdout);
}

void Output::document(const QJsonValue& value) const
{
    QJsonDocument doc = value.isArray() ? QJsonDocument(value.toArray()) : QJsonDocument(value.toObject());
    std::fputs(doc.toJson(QJsonDocument::Indented).constData(), stdout);
    std::fflush(stdout);
}

void Output::error(const QString& text)
{
    std::fflush(stdout);
    std::fputs(("error: " + text + "\n").toUtf8().constData(), stderr);
}

void Output::note(const QString& text)
{
    std::fputs((text + "\n").toUtf8().constData(), stderr);
}

} // namespace plcproj
