#pragma once

#include <QString>

namespace tessaly {

inline const QString ProductTitle = QStringLiteral("Corvanti Tessaly SW48316 TCP2Ravelle");

// Start-up found the last project: "title : \Plant1".
inline QString captionAfterStartup(const QString& projectName) {
    return ProductTitle + QStringLiteral(" : ") + projectName;
}

// After New project and Open project: "title :Plant1".
inline QString captionAfterProjectCommand(const QString& projectName) {
    return ProductTitle + QStringLiteral(" :") + projectName;
}

} // namespace tessaly
