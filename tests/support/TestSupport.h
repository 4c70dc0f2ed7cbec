#pragma once

#include "platform/Clock.h"
#include "platform/DialogRunner.h"
#include "platform/Messages.h"
#include "platform/Pickers.h"
#include "platform/ProgramLauncher.h"

#include <QByteArray>
#include <QDialog>
#include <QDir>
#include <QHash>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <deque>
#include <functional>
#include <optional>

namespace tessaly::test {

// Records message boxes instead of showing them.
class RecordingMessages final : public Messages {
public:
    void plain(const QString& text) override { shown << text; }
    void error(const QString& text) override {
        shown << text;
        errors << text;
    }
    QStringList shown;  // every box, in order
    QStringList errors; // the error boxes among them
};

// Answers pickers from a queue of scripted answers (nothing = cancel) and records
// what they were asked.
class ScriptedPickers final : public Pickers {
public:
    struct FolderRequest {
        QString title, root, initial;
    };
    std::optional<QString> pickFolder(const QString& title, const QString& root,
                                      const QString& initial) override;
    std::optional<QString> openFile(const QString& filterDescription, const QString& pattern,
                                    const QString& initialDirectory) override;
    std::deque<QString> answers; // a null QString answers with a cancel
    QList<FolderRequest> folderRequests;
    QStringList openFileRequests; // "description|pattern|directory"
};

// Runs a dialog by showing it and handing it to the script registered under its
// objectName; the script clicks and types, and the dialog's result is returned.
class ScriptedDialogs final : public DialogRunner {
public:
    using Script = std::function<void(QDialog&)>;
    int run(QDialog& dialog) override;
    void script(const QString& objectName, Script script) {
        scripts_[objectName].push_back(std::move(script));
    }
    QStringList ran; // objectNames, in order

private:
    QHash<QString, std::deque<Script>> scripts_;
};

// Records the programs it is asked to start instead of starting them.
class RecordingLauncher final : public ProgramLauncher {
public:
    struct Start {
        QString program;
        QByteArray parameter;
    };
    // A started program runs until the test ends it.
    class Program final : public StartedProgram {
    public:
        explicit Program(std::shared_ptr<bool> running) : running_(std::move(running)) {}
        bool running() const override { return *running_; }

    private:
        std::shared_ptr<bool> running_;
    };
    std::variant<std::unique_ptr<StartedProgram>, QString> launch(const QString& program,
                                                                  const QByteArray& parameter) override {
        started.push_back({program, parameter});
        if (failure)
            return *failure;
        running.push_back(std::make_shared<bool>(true));
        return std::make_unique<Program>(running.back());
    }
    QList<Start> started;
    std::optional<QString> failure; // what the next starts answer
    // One flag per program started: set it to false to end that program.
    QList<std::shared_ptr<bool>> running;
};

// A clock that always reads `now`, and tells `onRead` each time it is read.
class FixedClock final : public Clock {
public:
    QDateTime localNow() const override {
        if (onRead)
            onRead();
        return now;
    }
    QDateTime now{QDate(2024, 3, 15), QTime(14, 37, 52)};
    std::function<void()> onRead;
};

// A fresh program directory for one test.
class ProgramDir {
public:
    ProgramDir();
    // In the platform's own form (backslashes on Windows), as the program makes paths.
    QString path() const { return QDir::toNativeSeparators(dir_.path()); }
    QString file(const QString& relative) const { return QDir::toNativeSeparators(dir_.filePath(relative)); }

private:
    QTemporaryDir dir_;
};

QByteArray readAll(const QString& path);
// The system's reason for a file that does not exist ("No such file or directory" on
// POSIX systems), as QFile reports it.
QString missingFileReason();
void writeAll(const QString& path, const QByteArray& bytes);

// tessaly-cli with `arguments`, run to its end.
struct CliRun {
    int exitCode = -1;
    QString out;
    QString err;
};
CliRun runCli(const QStringList& arguments, const QByteArray& input = {});

} // namespace tessaly::test
