#include "documents/GeneralParameters.h"

#include "documents/ParseInt32.h"
#include "documents/XmlText.h"
#include "platform/AtomicFile.h"

#include <QFileInfo>
#include <QXmlStreamWriter>
#include <algorithm>

namespace tessaly {

namespace {
// The members kept as texts, with the text each falls back to when its element
// cannot be read.
struct TextMember {
    const char* element;
    QString GeneralParameters::*member;
    const char* fallback;
};

const TextMember textMembers[] = {
    {"TCP_IP1", &GeneralParameters::TCP_IP1, "0"},
    {"TCP_IP2", &GeneralParameters::TCP_IP2, "0"},
    {"TCP_IP3", &GeneralParameters::TCP_IP3, "0"},
    {"TCP_IP4", &GeneralParameters::TCP_IP4, "0"},
    {"TCP_SUB1", &GeneralParameters::TCP_SUB1, "255"},
    {"TCP_SUB2", &GeneralParameters::TCP_SUB2, "255"},
    {"TCP_SUB3", &GeneralParameters::TCP_SUB3, "255"},
    {"TCP_SUB4", &GeneralParameters::TCP_SUB4, "0"},
    {"TCP_GAT1", &GeneralParameters::TCP_GAT1, "0"},
    {"TCP_GAT2", &GeneralParameters::TCP_GAT2, "0"},
    {"TCP_GAT3", &GeneralParameters::TCP_GAT3, "0"},
    {"TCP_GAT4", &GeneralParameters::TCP_GAT4, "0"},
    {"SNMP_PUBLIC", &GeneralParameters::SNMP_PUBLIC, ""},
    {"SNMP_PRIVATE", &GeneralParameters::SNMP_PRIVATE, ""},
    {"TIME_OUT", &GeneralParameters::TIME_OUT, "1000"},
    {"OFFSET", &GeneralParameters::OFFSET, "0"},
};

std::optional<std::int32_t> integerOf(const std::optional<QString>& text) {
    if (!text)
        return std::nullopt;
    return ParseInt32(*text);
}
} // namespace

int parityCode(Parity parity) {
    switch (parity) {
    case Parity::Odd:
        return 3;
    case Parity::Even:
        return 2;
    case Parity::None:
    case Parity::Unselected:
        break;
    }
    return 0;
}

Parity parityFromCode(std::int32_t code) {
    if (code == 3)
        return Parity::Odd;
    if (code == 2)
        return Parity::Even;
    return Parity::None;
}

OperationMode operationModeFromCode(std::int32_t code) {
    return code == 0 ? OperationMode::Routing : OperationMode::Nat;
}

QList<std::pair<QString, QString>> generalParameterTexts(const GeneralParameters& p) {
    const QString texts[] = {p.TCP_IP1,
                             p.TCP_IP2,
                             p.TCP_IP3,
                             p.TCP_IP4,
                             p.TCP_SUB1,
                             p.TCP_SUB2,
                             p.TCP_SUB3,
                             p.TCP_SUB4,
                             p.TCP_GAT1,
                             p.TCP_GAT2,
                             p.TCP_GAT3,
                             p.TCP_GAT4,
                             QString::number(p.TCP_PORT),
                             p.SNMP_PUBLIC,
                             p.SNMP_PRIVATE,
                             QString::number(p.BAUD),
                             QString::number(parityCode(p.PARITY)),
                             p.TIME_OUT,
                             p.OFFSET,
                             QString::number(static_cast<int>(p.MODE))};
    static_assert(std::size(texts) == GeneralParameterElements.size());
    QList<std::pair<QString, QString>> pairs;
    for (std::size_t i = 0; i < GeneralParameterElements.size(); ++i)
        pairs.append({GeneralParameterElements[i], texts[i]});
    return pairs;
}

namespace {
bool isXmlSpace(QChar c) {
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r';
}

// Writes `text` as an element's content in a form the reader gives back unchanged.
// A reader turns a raw carriage return into a line feed, so it goes as a character
// reference. The reader drops content made only of blanks and line ends, even as
// references, but keeps a CDATA section; a carriage return cannot be in one, so such
// a text with one cannot be written at all.
bool writeExactText(QXmlStreamWriter& writer, const QString& text) {
    if (!text.isEmpty() && std::all_of(text.begin(), text.end(), isXmlSpace)) {
        if (text.contains(u'\r'))
            return false;
        writer.writeCDATA(text);
        return true;
    }
    const QStringList lines = text.split(u'\r');
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (i > 0)
            writer.writeEntityReference(QStringLiteral("#13"));
        writer.writeCharacters(lines[i]);
    }
    return true;
}
} // namespace

std::optional<QByteArray> generalParametersDocument(const GeneralParameters& parameters) {
    QByteArray bytes;
    QXmlStreamWriter writer(&bytes);
    writer.writeStartElement(GeneralParameterRoot);
    for (const auto& [element, text] : generalParameterTexts(parameters)) {
        writer.writeStartElement(element);
        if (!writeExactText(writer, text))
            return std::nullopt;
        writer.writeEndElement();
    }
    writer.writeEndElement();
    // The writer drops characters XML cannot carry; a document without them
    // would not hold what the user entered.
    if (writer.hasError())
        return std::nullopt;
    return bytes;
}

std::optional<QString> WriteGeneralParameters(const GeneralParameters& parameters, const QString& path) {
    const std::optional<QByteArray> document = generalParametersDocument(parameters);
    if (!document)
        return cannotCreateFileMessage(path, UnwritableCharacterReason);
    return writeXmlFile(path, *document);
}

namespace {
// Where the character after the one starting at `i` starts.
qsizetype nextCharacter(QStringView text, qsizetype i) {
    const bool pair = text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate();
    return i + (pair ? 2 : 1);
}
} // namespace

qsizetype characterCount(QStringView text) {
    qsizetype count = 0;
    for (qsizetype i = 0; i < text.size(); i = nextCharacter(text, i))
        ++count;
    return count;
}

QString cutCommunityName(const QString& name) {
    qsizetype end = 0;
    for (qsizetype count = 0; end < name.size() && count < CommunityNameMaxLength; ++count)
        end = nextCharacter(name, end);
    return name.left(end);
}

LoadedGeneralParameters ReadGeneralParameters(const QString& path) {
    LoadedGeneralParameters result;
    if (!documentPresent(path))
        return result;
    const LoadedXml loaded = loadXmlFile(path);
    if (!loaded.ok()) {
        result.error = loaded.error;
        return result;
    }
    const QDomElement root = topLevelElement(loaded.document, GeneralParameterRoot);
    const auto textOf = [&root](const QString& element) {
        return elementText(firstChildElement(root, element));
    };

    GeneralParameters& p = result.parameters;
    for (const TextMember& m : textMembers)
        p.*m.member = textOf(QLatin1String(m.element)).value_or(QLatin1String(m.fallback));
    p.SNMP_PUBLIC = cutCommunityName(p.SNMP_PUBLIC);
    p.SNMP_PRIVATE = cutCommunityName(p.SNMP_PRIVATE);

    p.TCP_PORT = integerOf(textOf(QStringLiteral("TCP_PORT"))).value_or(502);
    const std::int32_t baud = integerOf(textOf(QStringLiteral("BAUD"))).value_or(3);
    p.BAUD = baud >= 0 && baud < static_cast<std::int32_t>(BaudRates.size()) ? baud : -1;
    p.PARITY = parityFromCode(integerOf(textOf(QStringLiteral("PARITY"))).value_or(0));
    p.MODE = operationModeFromCode(integerOf(textOf(QStringLiteral("MODE"))).value_or(1));
    return result;
}

} // namespace tessaly
