#pragma once

#include "host/api/IDialogs.h"

#include <QMutex>
#include <QString>
#include <QStringList>

#include <deque>
#include <optional>

namespace host {

// Answers every prompt from a queue of prepared answers and records what was asked, so that
// tests and the command-line tool never open a window. With no answer queued a prompt is
// cancelled.
class ScriptedDialogs : public IDialogs
{
public:
    struct Prompt
    {
        QString kind; // "open", "save", "text", "message"
        QString title;
        QString label;
        bool masked = false;
        QString filter; // of a file dialog
    };

    // An answer for the next prompt; std::nullopt answers with Cancel.
    void answer(std::optional<QString> text);
    void answerButton(Button button);
    std::vector<Prompt> prompts() const;
    void clear();

    QString openFileName(const QString& title, const QString& folder, const QString& filter) override;
    QString saveFileName(const QString& title, const QString& folder, const QString& filter) override;
    QString text(const QString& title, const QString& label, bool masked, bool* ok) override;
    Button message(const QString& title, const QString& text, bool question) override;

private:
    std::optional<QString> next(const Prompt& prompt);

    mutable QMutex m_mutex;
    std::deque<std::optional<QString>> m_answers;
    std::deque<Button> m_buttons;
    std::vector<Prompt> m_prompts;
};

} // namespace host
