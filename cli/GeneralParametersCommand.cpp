#include "cli/CliContext.h"
#include "cli/CommandTable.h"
#include "documents/GeneralParameters.h"
#include "documents/ParameterAssignment.h"
#include "documents/ParseInt32.h"
#include "documents/ValidateGeneralParameters.h"

#include <vector>

namespace tessaly::cli {

namespace {
std::vector<Assignment> parseAssignments(const QStringList& args) {
    if (args.isEmpty())
        throw UsageError(QStringLiteral("set needs at least one KEY=VALUE"));
    std::vector<Assignment> assignments;
    for (const QString& arg : args) {
        const qsizetype equals = arg.indexOf(QLatin1Char('='));
        if (equals <= 0)
            throw UsageError(QStringLiteral("KEY=VALUE expected, not \"%1\"").arg(arg));
        ParameterAssignment parsed = parameterAssignment(arg.left(equals), arg.mid(equals + 1));
        if (!parsed.ok())
            throw UsageError(parsed.error);
        assignments.push_back(std::move(parsed.assign));
    }
    return assignments;
}

// What the dialog's OK or the image build allows in an element, where it checks it.
struct AllowedRange {
    const char* element; // a name, or the prefix of four octet names
    std::int32_t low, high;
};
constexpr AllowedRange AllowedRanges[] = {
    {"TCP_IP", 0, 255},     {"TCP_SUB", 0, 255},  {"TCP_GAT", 0, 255}, {"TCP_PORT", 1, 65535},
    {"TIME_OUT", 0, 65535}, {"OFFSET", 0, 65535}, {"BAUD", 0, 7},
};

// " # refused: low to high" for a value that would be refused, else nothing.
QString refusalNote(const QString& element, const QString& text) {
    for (const AllowedRange& range : AllowedRanges) {
        if (!element.startsWith(QLatin1String(range.element)))
            continue;
        const std::optional<std::int32_t> value = ParseInt32(text);
        if (value && *value >= range.low && *value <= range.high)
            return {};
        return QStringLiteral("  # refused: %1 to %2").arg(range.low).arg(range.high);
    }
    return {};
}

// The current project's parameters, or nothing after the reason went to stderr.
std::optional<GeneralParameters> loadParameters(CliContext& context) {
    if (!context.workspace.RequireProject(context.messages))
        return std::nullopt;
    LoadedGeneralParameters loaded = ReadGeneralParameters(context.workspace.paths().PargenFile);
    if (!loaded.ok()) {
        context.messages.error(loaded.error);
        return std::nullopt;
    }
    return loaded.parameters;
}
} // namespace

int runShow(CliContext& context, QStringList args) {
    context.selectProject(args);
    CliContext::refuseOptions(args);
    if (!args.isEmpty())
        throw UsageError(QStringLiteral("unexpected argument %1").arg(args.first()));
    const std::optional<GeneralParameters> parameters = loadParameters(context);
    if (!parameters)
        return 1;
    for (const auto& [element, text] : generalParameterTexts(*parameters))
        context.out << element << '=' << text << refusalNote(element, text) << '\n';
    context.out.flush();
    return 0;
}

int runSet(CliContext& context, QStringList args) {
    context.selectProject(args);
    CliContext::refuseOptions(args);
    const std::vector<Assignment> assignments = parseAssignments(args);
    std::optional<GeneralParameters> parameters = loadParameters(context);
    if (!parameters)
        return 1;
    for (const Assignment& assign : assignments)
        assign(*parameters);
    if (const std::optional<QString> refusal = ValidateGeneralParameters(*parameters)) {
        context.messages.error(*refusal);
        return 1;
    }
    if (const std::optional<QString> failure =
            WriteGeneralParameters(*parameters, context.workspace.paths().PargenFile)) {
        context.messages.error(*failure);
        return 1;
    }
    return 0;
}

} // namespace tessaly::cli
