#pragma once

#include "host/api/IDialogs.h"

namespace host {

// The prompts of a desktop host: QFileDialog, QInputDialog and QMessageBox.
class QtDialogs : public IDialogs
{
public:
    QString openFileName(const QString& title, const QString& folder, const QString& filter) override;
    QString saveFileName(const QString& title, const QString& folder, const QString& filter) override;
    QString text(const QString& title, const QString& label, bool masked, bool* ok) override;
    Button message(const QString& title, const QString& text, bool question) override;
};

} // namespace host
