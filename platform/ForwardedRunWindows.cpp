// A child run to its end with CreateProcessW and WaitForSingleObject alone. QProcess
// would do, but it also waits for the child's end on a thread-pool thread and posts the
// news to a notifier that it deletes once waitForFinished() returns; under Wine that
// post could reach the deleted notifier and crash this process after the child had
// ended well.
#include "platform/ForwardedRun.h"
#include "platform/SystemProgramLauncher.h"

#include <QDir>
#include <algorithm>
#include <array>
#include <string>
#include <windows.h>

namespace tessaly {

namespace {

QString lastErrorText() {
    return qt_error_string(static_cast<int>(::GetLastError()));
}

// One argument as CommandLineToArgvW and the C runtime read it back: quoted when it is
// empty or holds a blank or a quote; a quote escaped, and the backslashes before a
// quote or the closing quote doubled.
std::wstring quotedArgument(const QString& argument) {
    const QStringView special = u" \t\n\v\"";
    if (!argument.isEmpty() &&
        std::none_of(argument.begin(), argument.end(), [&](QChar c) { return special.contains(c); }))
        return argument.toStdWString();
    std::wstring quoted(1, L'"');
    std::size_t backslashes = 0;
    for (const QChar c : argument) {
        if (c == QLatin1Char('\\')) {
            ++backslashes;
            continue;
        }
        quoted.append(c == QLatin1Char('"') ? 2 * backslashes + 1 : backslashes, L'\\');
        backslashes = 0;
        quoted += static_cast<wchar_t>(c.unicode());
    }
    quoted.append(2 * backslashes, L'\\');
    quoted += L'"';
    return quoted;
}

// An inheritable copy of a standard handle, or null when this process has none.
class InheritableHandle {
public:
    explicit InheritableHandle(DWORD which) {
        const HANDLE own = ::GetStdHandle(which);
        if (own != nullptr && own != INVALID_HANDLE_VALUE &&
            !::DuplicateHandle(::GetCurrentProcess(), own, ::GetCurrentProcess(), &handle_, 0, TRUE,
                               DUPLICATE_SAME_ACCESS))
            handle_ = nullptr;
    }
    ~InheritableHandle() {
        if (handle_)
            ::CloseHandle(handle_);
    }
    InheritableHandle(const InheritableHandle&) = delete;
    InheritableHandle& operator=(const InheritableHandle&) = delete;
    HANDLE get() const { return handle_; }

private:
    HANDLE handle_ = nullptr;
};

BOOL WINAPI leaveToChild(DWORD event) {
    return event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT;
}

} // namespace

std::variant<int, QString> runForwarded(const QString& program, const QStringList& arguments) {
    const QString native = QDir::toNativeSeparators(program);
    const std::wstring path = native.toStdWString();
    std::wstring commandLine = quotedArgument(native);
    for (const QString& argument : arguments)
        commandLine += L' ' + quotedArgument(argument);

    const std::array<InheritableHandle, 3> streams{InheritableHandle(STD_INPUT_HANDLE),
                                                   InheritableHandle(STD_OUTPUT_HANDLE),
                                                   InheritableHandle(STD_ERROR_HANDLE)};
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = streams[0].get();
    startup.hStdOutput = streams[1].get();
    startup.hStdError = streams[2].get();
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(path.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                          &startup, &process))
        return cannotStartProgramMessage(program, lastErrorText());
    ::CloseHandle(process.hThread);
    ::SetConsoleCtrlHandler(leaveToChild, TRUE);
    DWORD status = 0;
    const bool ended = ::WaitForSingleObject(process.hProcess, INFINITE) == WAIT_OBJECT_0 &&
                       ::GetExitCodeProcess(process.hProcess, &status);
    const QString failure =
        ended ? QString() : QStringLiteral("Cannot wait for \"%1\" to end. %2").arg(native, lastErrorText());
    ::SetConsoleCtrlHandler(leaveToChild, FALSE);
    ::CloseHandle(process.hProcess);
    if (!ended)
        return failure;
    // An exception's code (0xC0000005 and the like) is no exit status of the program's own.
    const bool crashed = status >= 0x80000000u && status < 0xD0000000u;
    return crashed ? 1 : static_cast<int>(status);
}

} // namespace tessaly
