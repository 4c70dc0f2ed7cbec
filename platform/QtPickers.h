#pragma once

#include "platform/Pickers.h"

namespace tessaly {

class QtPickers final : public Pickers {
public:
    std::optional<QString> pickFolder(const QString& title, const QString& root,
                                      const QString& initialSelection) override;
    std::optional<QString> openFile(const QString& filterDescription, const QString& pattern,
                                    const QString& initialDirectory) override;
};

} // namespace tessaly
