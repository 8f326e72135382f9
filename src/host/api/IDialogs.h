#pragma once

#include "host/api/IService.h"

#include <QString>

namespace host {

// Service "Dialogs": every prompt that the library shows to a user goes through here, so
// that tests and the command-line tool can answer without a window.
class IDialogs : public IService
{
public:
    static constexpr const char* ServiceName = "Dialogs";

    enum class Button { Ok, Cancel, Yes, No };

    // An empty result means that the user cancelled.
    virtual QString openFileName(const QString& title, const QString& folder, const QString& filter) = 0;
    virtual QString saveFileName(const QString& title, const QString& folder, const QString& filter) = 0;
    // Asks for one line of text; `masked` hides the input (passwords). `ok` is false on Cancel.
    virtual QString text(const QString& title, const QString& label, bool masked, bool* ok) = 0;
    virtual Button message(const QString& title, const QString& text, bool question) = 0;
};

} // namespace host
