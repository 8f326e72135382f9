#include "host/ScriptedDialogs.h"

namespace host {

void ScriptedDialogs::answer(std::optional<QString> text)
{
    QMutexLocker lock(&m_mutex);
    m_answers.push_back(std::move(text));
}

void ScriptedDialogs::answerButton(Button button)
{
    QMutexLocker lock(&m_mutex);
    m_buttons.push_back(button);
}

std::vector<ScriptedDialogs::Prompt> ScriptedDialogs::prompts() const
{
    QMutexLocker lock(&m_mutex);
    return m_prompts;
}

void ScriptedDialogs::clear()
{
    QMutexLocker lock(&m_mutex);
    m_answers.clear();
    m_buttons.clear();
    m_prompts.clear();
}

std::optional<QString> ScriptedDialogs::next(const Prompt& prompt)
{
    QMutexLocker lock(&m_mutex);
    m_prompts.push_back(prompt);
    if (m_answers.empty())
        return std::nullopt;
    std::optional<QString> answer = std::move(m_answers.front());
    m_answers.pop_front();
    return answer;
}

QString ScriptedDialogs::openFileName(const QString& title, const QString&, const QString& filter)
{
    return next({QStringLiteral("open"), title, QString(), false, filter}).value_or(QString());
}

QString ScriptedDialogs::saveFileName(const QString& title, const QString&, const QString& filter)
{
    return next({QStringLiteral("save"), title, QString(), false, filter}).value_or(QString());
}

QString ScriptedDialogs::text(const QString& title, const QString& label, bool masked, bool* ok)
{
    const std::optional<QString> answer = next({QStringLiteral("text"), title, label, masked, QString()});
    if (ok)
        *ok = answer.has_value();
    return answer.value_or(QString());
}

IDialogs::Button ScriptedDialogs::message(const QString& title, const QString& text, bool question)
{
    QMutexLocker lock(&m_mutex);
    m_prompts.push_back({QStringLiteral("message"), title, text, false, QString()});
    if (m_buttons.empty())
        return question ? Button::Cancel : Button::Ok;
    const Button button = m_buttons.front();
    m_buttons.pop_front();
    return button;
}

} // namespace host
