#pragma once

#include <QList>
#include <QString>
#include <array>
#include <cstdint>
#include <optional>
#include <utility>

namespace tessaly {

// Serial parity as the dialog's list offers it; the values are the list positions.
enum class Parity { Unselected = -1, None = 0, Odd = 1, Even = 2 };

// The gateway's operation mode; the values are the document codes.
enum class OperationMode { Routing = 0, Nat = 1 };

// The rates of the baud-rate list; BAUD holds a position in it.
inline constexpr std::array<int, 8> BaudRates{1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};

// The longest community name the device keeps, in characters.
inline constexpr qsizetype CommunityNameMaxLength = 13;

// How many characters `text` holds: a surrogate pair counts once.
qsizetype characterCount(QStringView text);
// The first `CommunityNameMaxLength` characters of `name`, never half a surrogate pair.
QString cutCommunityName(const QString& name);

inline const QString PargenFileName = QStringLiteral("pargen.xml");
inline const QString GeneralParameterRoot = QStringLiteral("General_Parameter");

// The twenty elements of pargen.xml, in document order.
inline const std::array<QString, 20> GeneralParameterElements{
    QStringLiteral("TCP_IP1"),  QStringLiteral("TCP_IP2"),     QStringLiteral("TCP_IP3"),
    QStringLiteral("TCP_IP4"),  QStringLiteral("TCP_SUB1"),    QStringLiteral("TCP_SUB2"),
    QStringLiteral("TCP_SUB3"), QStringLiteral("TCP_SUB4"),    QStringLiteral("TCP_GAT1"),
    QStringLiteral("TCP_GAT2"), QStringLiteral("TCP_GAT3"),    QStringLiteral("TCP_GAT4"),
    QStringLiteral("TCP_PORT"), QStringLiteral("SNMP_PUBLIC"), QStringLiteral("SNMP_PRIVATE"),
    QStringLiteral("BAUD"),     QStringLiteral("PARITY"),      QStringLiteral("TIME_OUT"),
    QStringLiteral("OFFSET"),   QStringLiteral("MODE")};

// The values of pargen.xml in the forms the dialog holds them. Octets, time-out and
// offset stay the texts the user typed (a leading zero or blank is kept); they are
// checked only by ValidateGeneralParameters. A default-constructed record holds the
// defaults of a new project.
struct GeneralParameters {
    QString TCP_IP1 = QStringLiteral("0");
    QString TCP_IP2 = QStringLiteral("0");
    QString TCP_IP3 = QStringLiteral("0");
    QString TCP_IP4 = QStringLiteral("0");
    QString TCP_SUB1 = QStringLiteral("255");
    QString TCP_SUB2 = QStringLiteral("255");
    QString TCP_SUB3 = QStringLiteral("255");
    QString TCP_SUB4 = QStringLiteral("0");
    QString TCP_GAT1 = QStringLiteral("0");
    QString TCP_GAT2 = QStringLiteral("0");
    QString TCP_GAT3 = QStringLiteral("0");
    QString TCP_GAT4 = QStringLiteral("0");
    std::int32_t TCP_PORT = 502;
    QString SNMP_PUBLIC = QStringLiteral("harbor");   // read community name
    QString SNMP_PRIVATE = QStringLiteral("granite"); // write community name
    int BAUD = 3;                                     // position in BaudRates, -1 when none is selected
    Parity PARITY = Parity::None;
    QString TIME_OUT = QStringLiteral("1000"); // milliseconds
    QString OFFSET = QStringLiteral("0");      // system data offset
    OperationMode MODE = OperationMode::Nat;

    bool operator==(const GeneralParameters&) const = default;
};

// Document codes of the parity: NONE "0", ODD "3", EVEN "2"; no selection is stored as NONE.
int parityCode(Parity parity);
// 2 is EVEN, 3 is ODD, any other integer NONE.
Parity parityFromCode(std::int32_t code);
// 0 is Routing Mode, any other integer NAT Mode.
OperationMode operationModeFromCode(std::int32_t code);

// The twenty (element, text) pairs of the document for `parameters`, in document order.
QList<std::pair<QString, QString>> generalParameterTexts(const GeneralParameters& parameters);

// The whole pargen.xml for `parameters`: no declaration, no indentation, UTF-8. A
// value of blanks and line ends only is a CDATA section and a carriage return is
// "&#13;", so that every value reads back unchanged. Nothing when a value holds a
// character XML cannot carry, or a carriage return among blanks only.
std::optional<QByteArray> generalParametersDocument(const GeneralParameters& parameters);

// Why no document can be written for some values.
inline const QString UnwritableCharacterReason =
    QStringLiteral("A value holds a character XML cannot carry.");

// Replaces the file at `path` with the document for `parameters`, atomically: on
// failure the previous file stays whole. Returns the error text on failure.
std::optional<QString> WriteGeneralParameters(const GeneralParameters& parameters, const QString& path);

// What ReadGeneralParameters found: the values, or the defaults and the reason the
// file could not be loaded.
struct LoadedGeneralParameters {
    GeneralParameters parameters;
    QString error; // empty when the values were read (or there was no file)
    bool ok() const { return error.isEmpty(); }
};

// Reads pargen.xml at `path`. No file gives the defaults; a file that cannot be
// opened or parsed gives the defaults and the error. Otherwise every element is
// read on its own (first `General_Parameter` root, first child of each name) and
// falls back to its own value when it is missing, structured or does not convert;
// the community names then fall back to empty texts and are cut to 13 characters.
LoadedGeneralParameters ReadGeneralParameters(const QString& path);

} // namespace tessaly
