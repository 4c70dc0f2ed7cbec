#include "cli/CliContext.h"

#include "platform/PathForms.h"

#include <QDir>
#include <QFileInfo>
#include <cstdio>

namespace tessaly::cli {

CliContext::CliContext(const QString& programDir) : out(stdout), err(stderr) {
    workspace.InitWorkspace(programDir);
}

std::optional<QString> CliContext::takeOption(QStringList& args, const QString& name) {
    for (qsizetype i = 0; i < args.size(); ++i) {
        if (args[i] == name) {
            if (i + 1 >= args.size())
                throw UsageError(QStringLiteral("%1 needs a value").arg(name));
            const QString value = args[i + 1];
            args.remove(i, 2);
            return value;
        }
        if (args[i].startsWith(name + QLatin1Char('='))) {
            const QString value = args[i].mid(name.size() + 1);
            args.removeAt(i);
            return value;
        }
    }
    return std::nullopt;
}

bool CliContext::takeFlag(QStringList& args, const QString& name) { return args.removeAll(name) > 0; }

void CliContext::refuseOptions(const QStringList& args) {
    for (const QString& arg : args) {
        if (arg.startsWith(QLatin1String("--")))
            throw UsageError(QStringLiteral("unknown option %1").arg(arg));
    }
}

void CliContext::selectProject(QStringList& args) {
    const std::optional<QString> project = takeOption(args, QStringLiteral("--project"));
    if (!project) {
        // Without a last project the configurator works in PROJECTS itself; a command
        // line that names none refuses instead ("Project not valid") of writing a
        // project's files there.
        const ProjectPaths& paths = workspace.paths();
        if (QDir::cleanPath(paths.ProjectDir) == QDir::cleanPath(paths.ProjectsDir))
            workspace.selectProjectDirectory(QString());
        return;
    }
    const QString underProjects = joinPath(workspace.paths().ProjectsDir, nativeFromStored(*project));
    QString directory;
    if (!project->contains(QLatin1Char('/')) && QFileInfo(underProjects).isDir())
        directory = underProjects;
    else if (QFileInfo(*project).isDir())
        directory = QDir::toNativeSeparators(QDir::cleanPath(QFileInfo(*project).absoluteFilePath()));
    else
        throw UsageError(QStringLiteral("no project %1").arg(*project));
    workspace.selectProjectDirectory(directory);
}

} // namespace tessaly::cli
