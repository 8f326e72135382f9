#pragma once

#include <QElapsedTimer>
#include <QString>

namespace plcproj {

// The progress of a long command, as one line on standard error that updates in place:
//
//     check: POU logic 4200/10000, 3.1 s
//
// It is shown only where a person watches: standard error is a terminal, the output is not
// JSON, and --quiet was not given. Redrawn at most ten times a second; the line is cleared
// when the command ends, so that nothing of it stays among the command's output.
class Progress
{
public:
    // Off for --json and --quiet; on by default.
    static void setEnabled(bool enabled);

    explicit Progress(const QString& command);
    ~Progress();
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    // Step `step`, `done` of `total` items (a total of 0 shows the step alone).
    void update(const QString& step, int done, int total);
    // Clears the line before the command prints its results; a later update draws it again.
    void done();
    bool shown() const { return m_shown; }

private:
    void draw(const QString& text);

    QString m_command;
    QElapsedTimer m_clock;
    qint64 m_lastDraw = -1;
    bool m_shown = false;
    bool m_drawn = false;
};

} // namespace plcproj
