#pragma once

#include <QByteArray>
#include <QStringList>

namespace tessaly::test {

// The default pargen.xml, as a new project gets it, with `changes` applied:
// "NAME=text" puts text (raw XML) into NAME, a bare "NAME" leaves NAME out.
inline QByteArray pargenText(const QStringList& changes = {}) {
    static const char* const defaults[][2] = {
        {"TCP_IP1", "0"},
        {"TCP_IP2", "0"},
        {"TCP_IP3", "0"},
        {"TCP_IP4", "0"},
        {"TCP_SUB1", "255"},
        {"TCP_SUB2", "255"},
        {"TCP_SUB3", "255"},
        {"TCP_SUB4", "0"},
        {"TCP_GAT1", "0"},
        {"TCP_GAT2", "0"},
        {"TCP_GAT3", "0"},
        {"TCP_GAT4", "0"},
        {"TCP_PORT", "502"},
        {"SNMP_PUBLIC", "harbor"},
        {"SNMP_PRIVATE", "granite"},
        {"BAUD", "3"},
        {"PARITY", "0"},
        {"TIME_OUT", "1000"},
        {"OFFSET", "0"},
        {"MODE", "1"},
    };
    QByteArray xml = "<General_Parameter>";
    for (const auto& [name, value] : defaults) {
        QByteArray text = value;
        bool omitted = false;
        for (const QString& change : changes) {
            const QByteArray c = change.toUtf8();
            if (c == name)
                omitted = true;
            else if (c.startsWith(QByteArray(name) + '='))
                text = c.mid(qstrlen(name) + 1);
        }
        if (!omitted)
            xml += '<' + QByteArray(name) + '>' + text + "</" + QByteArray(name) + '>';
    }
    return xml + "</General_Parameter>";
}

} // namespace tessaly::test
