#include "cli/CliContext.h"
#include "cli/CommandTable.h"
#include "cli/ParameterAssignment.h"
#include "documents/GeneralParameters.h"
#include "documents/ParseInt32.h"
#include "documents/ValidateGeneralParameters.h"

#include <vector>

namespace tessaly::cli {

namespace {
UsageError badValue(const QString& key, const QString& value) {
    return UsageError(QStringLiteral("bad value for %1: \"%2\"").arg(key, value));
}

std::int32_t integer(const QString& key, const QString& value) {
    const std::optional<std::int32_t> number = ParseInt32(value);
    if (!number)
        throw badValue(key, value);
    return *number;
}

std::int32_t oneOf(const QString& key, const QString& value, std::initializer_list<std::int32_t> allowed) {
    const std::int32_t number = integer(key, value);
    if (std::find(allowed.begin(), allowed.end(), number) == allowed.end())
        throw badValue(key, value);
    return number;
}

QString communityName(const QString& key, const QString& value) {
    if (characterCount(value) > CommunityNameMaxLength)
        throw UsageError(
            QStringLiteral("%1 holds at most %2 characters").arg(key).arg(CommunityNameMaxLength));
    return value;
}

Assignment textOf(QString GeneralParameters::*member, const QString& value) {
    return [member, value](GeneralParameters& p) { p.*member = value; };
}

// "a.b.c.d" into four octet members; the octets themselves are checked as the
// dialog checks them.
Assignment dotted(const QString& key, const QString& value,
                  std::array<QString GeneralParameters::*, 4> members) {
    const QStringList octets = value.split(QLatin1Char('.'));
    if (octets.size() != 4)
        throw badValue(key, value);
    return [octets, members](GeneralParameters& p) {
        for (int i = 0; i < 4; ++i)
            p.*members[i] = octets[i];
    };
}

constexpr std::array<QString GeneralParameters::*, 4> ipMembers{
    &GeneralParameters::TCP_IP1, &GeneralParameters::TCP_IP2, &GeneralParameters::TCP_IP3,
    &GeneralParameters::TCP_IP4};
constexpr std::array<QString GeneralParameters::*, 4> maskMembers{
    &GeneralParameters::TCP_SUB1, &GeneralParameters::TCP_SUB2, &GeneralParameters::TCP_SUB3,
    &GeneralParameters::TCP_SUB4};
constexpr std::array<QString GeneralParameters::*, 4> gatewayMembers{
    &GeneralParameters::TCP_GAT1, &GeneralParameters::TCP_GAT2, &GeneralParameters::TCP_GAT3,
    &GeneralParameters::TCP_GAT4};

Assignment aliasAssignment(const QString& key, const QString& value) {
    if (key == QLatin1String("ip"))
        return dotted(key, value, ipMembers);
    if (key == QLatin1String("mask"))
        return dotted(key, value, maskMembers);
    if (key == QLatin1String("gateway"))
        return dotted(key, value, gatewayMembers);
    if (key == QLatin1String("port")) {
        const std::int32_t port = integer(key, value);
        return [port](GeneralParameters& p) { p.TCP_PORT = port; };
    }
    if (key == QLatin1String("baud")) {
        const auto rate = std::find(BaudRates.begin(), BaudRates.end(), integer(key, value));
        if (rate == BaudRates.end())
            throw badValue(key, value);
        const int position = static_cast<int>(rate - BaudRates.begin());
        return [position](GeneralParameters& p) { p.BAUD = position; };
    }
    if (key == QLatin1String("parity")) {
        const QString name = value.toLower();
        Parity parity = Parity::None;
        if (name == QLatin1String("odd"))
            parity = Parity::Odd;
        else if (name == QLatin1String("even"))
            parity = Parity::Even;
        else if (name != QLatin1String("none"))
            throw badValue(key, value);
        return [parity](GeneralParameters& p) { p.PARITY = parity; };
    }
    if (key == QLatin1String("timeout"))
        return textOf(&GeneralParameters::TIME_OUT, value);
    if (key == QLatin1String("offset"))
        return textOf(&GeneralParameters::OFFSET, value);
    if (key == QLatin1String("mode")) {
        const QString name = value.toLower();
        if (name != QLatin1String("routing") && name != QLatin1String("nat"))
            throw badValue(key, value);
        const OperationMode mode = name == QLatin1String("nat") ? OperationMode::Nat : OperationMode::Routing;
        return [mode](GeneralParameters& p) { p.MODE = mode; };
    }
    if (key == QLatin1String("public"))
        return textOf(&GeneralParameters::SNMP_PUBLIC, communityName(key, value));
    if (key == QLatin1String("private"))
        return textOf(&GeneralParameters::SNMP_PRIVATE, communityName(key, value));
    throw UnknownKeyError(QStringLiteral("unknown key %1").arg(key));
}

} // namespace

// An element name takes the text the document would hold for it.
Assignment parameterAssignment(const QString& key, const QString& value) {
    const std::array<QString GeneralParameters::*, 4>* groups[] = {&ipMembers, &maskMembers, &gatewayMembers};
    const QString prefixes[] = {QStringLiteral("TCP_IP"), QStringLiteral("TCP_SUB"),
                                QStringLiteral("TCP_GAT")};
    for (int g = 0; g < 3; ++g) {
        for (int i = 0; i < 4; ++i) {
            if (key == prefixes[g] + QString::number(i + 1))
                return textOf((*groups[g])[i], value);
        }
    }
    if (key == QLatin1String("TCP_PORT")) {
        const std::int32_t port = integer(key, value);
        return [port](GeneralParameters& p) { p.TCP_PORT = port; };
    }
    if (key == QLatin1String("SNMP_PUBLIC"))
        return textOf(&GeneralParameters::SNMP_PUBLIC, communityName(key, value));
    if (key == QLatin1String("SNMP_PRIVATE"))
        return textOf(&GeneralParameters::SNMP_PRIVATE, communityName(key, value));
    if (key == QLatin1String("BAUD")) {
        const int position = oneOf(key, value, {-1, 0, 1, 2, 3, 4, 5, 6, 7});
        return [position](GeneralParameters& p) { p.BAUD = position; };
    }
    if (key == QLatin1String("PARITY")) {
        const Parity parity = parityFromCode(oneOf(key, value, {0, 2, 3}));
        return [parity](GeneralParameters& p) { p.PARITY = parity; };
    }
    if (key == QLatin1String("TIME_OUT"))
        return textOf(&GeneralParameters::TIME_OUT, value);
    if (key == QLatin1String("OFFSET"))
        return textOf(&GeneralParameters::OFFSET, value);
    if (key == QLatin1String("MODE")) {
        const OperationMode mode = operationModeFromCode(oneOf(key, value, {0, 1}));
        return [mode](GeneralParameters& p) { p.MODE = mode; };
    }
    return aliasAssignment(key, value);
}

namespace {
std::vector<Assignment> parseAssignments(const QStringList& args) {
    if (args.isEmpty())
        throw UsageError(QStringLiteral("set needs at least one KEY=VALUE"));
    std::vector<Assignment> assignments;
    for (const QString& arg : args) {
        const qsizetype equals = arg.indexOf(QLatin1Char('='));
        if (equals <= 0)
            throw UsageError(QStringLiteral("KEY=VALUE expected, not \"%1\"").arg(arg));
        assignments.push_back(parameterAssignment(arg.left(equals), arg.mid(equals + 1)));
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
