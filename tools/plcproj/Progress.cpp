#include "Progress.h"

#include <cstdio>

#include <unistd.h>

namespace plcproj {

namespace {

bool enabledByOptions = true;
constexpr qint64 redrawMs = 100;

} // namespace

void Progress::setEnabled(bool enabled)
{
    enabledByOptions = enabled;
}

Progress::Progress(const QString& command) : m_command(command)
{
    m_shown = enabledByOptions && ::isatty(STDERR_FILENO) == 1;
    m_clock.start();
}

Progress::~Progress()
{
    done();
}

void Progress::done()
{
    if (!m_drawn)
        return;
    std::fputs("\r\033[K", stderr);
    std::fflush(stderr);
    m_drawn = false;
    m_lastDraw = -1;
}

void Progress::update(const QString& step, int done, int total)
{
    if (!m_shown)
        return;
    const qint64 now = m_clock.elapsed();
    if (m_lastDraw >= 0 && now - m_lastDraw < redrawMs && done != total)
        return;
    m_lastDraw = now;
    QString text = m_command + QStringLiteral(": ") + step;
    if (total > 0)
        text += QStringLiteral(" %1/%2").arg(done).arg(total);
    text += QStringLiteral(", %1 s").arg(now / 1000.0, 0, 'f', 1);
    draw(text);
}

void Progress::draw(const QString& text)
{
    // Back to the start of the line, the text, the rest of the line cleared.
    std::fputs(("\r" + text + "\033[K").toUtf8().constData(), stderr);
    std::fflush(stderr);
    m_drawn = true;
}

} // namespace plcproj
