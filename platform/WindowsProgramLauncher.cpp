// Starts programs on Windows with CreateProcessA, so that the parameter string goes
// into the command line as the raw bytes it is (0xB6 stays one byte, the pilcrow of
// the ANSI code page). The command line is the quoted program path, one blank and the
// parameter string, as a shell would make it.
#include "platform/LocalText.h"
#include "platform/SystemProgramLauncher.h"

#include <QDir>
#include <QFileInfo>
#include <QProcessEnvironment>
#include <windows.h>

namespace tessaly {

namespace {

const QString PathNotAnsi = QStringLiteral("Its path cannot be written in the ANSI code page");

QString lastErrorText() {
    return qt_error_string(static_cast<int>(::GetLastError()));
}

// The folder of this program, which holds the Qt and runtime DLLs.
QString ownFolder() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = ::GetModuleFileNameW(nullptr, path.data(), DWORD(path.size()));
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);
    }
    return QFileInfo(QString::fromStdWString(path)).absolutePath();
}

// This process's environment with this program's folder last on the DLL search path
// (PATH) and the Qt plugin path: a program started from a per-user folder (the
// flashing tool linked there) finds the DLLs and plugins it shares with the installed
// programs, while its own folder, the system's and the earlier entries come first. A
// block of UTF-16 "NAME=value" strings.
std::wstring environmentForStart() {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    const QString own = QDir::toNativeSeparators(ownFolder());
    for (const QString& name : {QStringLiteral("PATH"), QStringLiteral("QT_PLUGIN_PATH")}) {
        const QString list = environment.value(name);
        environment.insert(name, list.isEmpty() ? own : list + QLatin1Char(';') + own);
    }
    std::wstring block;
    for (const QString& entry : environment.toStringList()) {
        block += entry.toStdWString();
        block += L'\0';
    }
    block += L'\0';
    return block;
}

struct Started {
    PROCESS_INFORMATION process{};
    std::optional<QString> failure;
};

Started createProcess(const QString& program, const QByteArray& parameter) {
    Started started;
    if (parameter.contains('\0')) {
        started.failure = cannotStartProgramMessage(program, ParameterHoldsNulReason);
        return started;
    }
    const std::optional<QByteArray> path = exactLocal8Bit(QDir::toNativeSeparators(program));
    if (!path) {
        started.failure = cannotStartProgramMessage(program, PathNotAnsi);
        return started;
    }
    // CreateProcessA may write into the command line: it gets a copy of its own.
    QByteArray commandLine = '"' + *path + "\" " + parameter;
    std::wstring environment = environmentForStart();
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    if (!::CreateProcessA(path->constData(), commandLine.data(), nullptr, nullptr, FALSE,
                          CREATE_UNICODE_ENVIRONMENT, environment.data(), nullptr, &startup,
                          &started.process))
        started.failure = cannotStartProgramMessage(program, lastErrorText());
    return started;
}

void closeHandles(const PROCESS_INFORMATION& process) {
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
}

// Holds the process handle, so that the program's end can be asked for.
class WindowsStartedProgram final : public StartedProgram {
public:
    explicit WindowsStartedProgram(HANDLE process) : process_(process) {}
    ~WindowsStartedProgram() override { ::CloseHandle(process_); }
    WindowsStartedProgram(const WindowsStartedProgram&) = delete;
    WindowsStartedProgram& operator=(const WindowsStartedProgram&) = delete;

    bool running() const override { return ::WaitForSingleObject(process_, 0) == WAIT_TIMEOUT; }

private:
    HANDLE process_;
};

class WindowsProgramLauncher final : public ProgramLauncher {
public:
    std::variant<std::unique_ptr<StartedProgram>, QString> launch(const QString& program,
                                                                  const QByteArray& parameter) override {
        const Started started = createProcess(program, parameter);
        if (started.failure)
            return *started.failure;
        ::CloseHandle(started.process.hThread);
        return std::make_unique<WindowsStartedProgram>(started.process.hProcess);
    }
};

} // namespace

std::unique_ptr<ProgramLauncher> createSystemProgramLauncher() {
    return std::make_unique<WindowsProgramLauncher>();
}

std::variant<int, QString> runProgramAndWait(const QString& program, const QByteArray& parameter) {
    const Started started = createProcess(program, parameter);
    if (started.failure)
        return *started.failure;
    DWORD status = 0;
    const bool ended = ::WaitForSingleObject(started.process.hProcess, INFINITE) == WAIT_OBJECT_0 &&
                       ::GetExitCodeProcess(started.process.hProcess, &status);
    const QString failure = ended ? QString() : cannotStartProgramMessage(program, lastErrorText());
    closeHandles(started.process);
    if (!ended)
        return failure;
    return static_cast<int>(status);
}

} // namespace tessaly
