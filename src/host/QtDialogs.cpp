#include "host/QtDialogs.h"

#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>

namespace host {

QString QtDialogs::openFileName(const QString& title, const QString& folder, const QString& filter)
{
    return QFileDialog::getOpenFileName(nullptr, title, folder, filter);
}

QString QtDialogs::saveFileName(const QString& title, const QString& folder, const QString& filter)
{
    return QFileDialog::getSaveFileName(nullptr, title, folder, filter);
}

QString QtDialogs::text(const QString& title, const QString& label, bool masked, bool* ok)
{
    QInputDialog dialog;
    dialog.setWindowTitle(title);
    dialog.setLabelText(label);
    dialog.setTextEchoMode(masked ? QLineEdit::Password : QLineEdit::Normal);
    dialog.setOkButtonText(QStringLiteral("OK"));
    dialog.setCancelButtonText(QStringLiteral("Cancel"));
    const bool accepted = dialog.exec() == QDialog::Accepted;
    if (ok)
        *ok = accepted;
    return accepted ? dialog.textValue() : QString();
}

IDialogs::Button QtDialogs::message(const QString& title, const QString& text, bool question)
{
    if (!question) {
        QMessageBox::information(nullptr, title, text);
        return Button::Ok;
    }
    return QMessageBox::question(nullptr, title, text) == QMessageBox::Yes ? Button::Yes : Button::No;
}

} // namespace host
