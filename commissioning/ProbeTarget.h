#pragma once

#include "modbus/ReadExchange.h"

#include <QList>
#include <QString>
#include <variant>

namespace tessaly::commissioning {

// One row of the translate table as the probe reads it: its Address TCP and N° Point
// by its data type's function.
struct ProbeRead {
    QString mnemonic;
    modbus::ReadRequest request;
    QString fault; // a fault of the table that keeps the row from being sent; empty when none
};

struct ProbeOptions {
    int unit = 1;
    int timeoutMs = 1000; // each step's bound
};

// A device as its project describes it.
struct ProbeTarget {
    QString host; // dotted address
    int port = 502;
    int unit = 1;
    int timeoutMs = 1000;
    QList<ProbeRead> table; // read after the first read, in order
};

// The device a project's pargen.xml names, with the rows of its translate table
// (`varFile`) when `withTable`; or why there is none to probe: what deviceParameters
// finds (no pargen.xml, values that do not pass General Parameter's checks), the
// unspecified address 0.0.0.0, a table that cannot be read. Nothing is sent anywhere.
std::variant<ProbeTarget, QString> projectTarget(const QString& pargenFile, const QString& varFile,
                                                 const ProbeOptions& options, bool withTable);

} // namespace tessaly::commissioning
