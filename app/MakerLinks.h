#pragma once

#include <QString>

namespace tessaly {

// The maker's addresses shown in the main window and the About box.
inline const QString MakerWebAddress = QStringLiteral("https://www.corvanti.example/");
inline const QString MakerMailAddress = QStringLiteral("support@corvanti.example");

} // namespace tessaly
