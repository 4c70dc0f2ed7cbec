#pragma once

#include "platform/Messages.h"
#include "workspace/Workspace.h"

#include <QString>
#include <QStringList>
#include <QTextStream>
#include <optional>
#include <stdexcept>

namespace tessaly::cli {

// A mistake in the command line: exit status 2.
class UsageError : public std::runtime_error {
public:
    explicit UsageError(const QString& text) : std::runtime_error(text.toStdString()) {}
};

// The system's messages go to standard error, one per line.
class StderrMessages final : public Messages {
public:
    explicit StderrMessages(QTextStream& err) : err_(err) {}
    void plain(const QString& text) override { err_ << text << Qt::endl; }
    void error(const QString& text) override { err_ << text << Qt::endl; }

private:
    QTextStream& err_;
};

struct CliContext {
    CliContext(const QString& programDir);

    QTextStream out;
    QTextStream err;
    StderrMessages messages{err};
    Workspace workspace;

    // Removes "--name VALUE" (or "--name=VALUE") from `args` and returns VALUE.
    static std::optional<QString> takeOption(QStringList& args, const QString& name);
    // Removes "--name" from `args` and tells whether it was there.
    static bool takeFlag(QStringList& args, const QString& name);
    // Refuses any option left in `args`.
    static void refuseOptions(const QStringList& args);

    // Makes the project named by "--project P" current: P is a folder of PROJECTS
    // or a project directory. Without it, the last project as start-up finds it, or
    // none when start-up found none: the project commands then say "Project not valid".
    void selectProject(QStringList& args);
};

} // namespace tessaly::cli
