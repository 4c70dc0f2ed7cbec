#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>

namespace tessaly {

// A Windows INI file kept as its lines, so that a write changes one value and keeps
// every other section, key and comment. Values are stored raw: no escaping, so
// "projectname=\Plant1" stays as it is. Lines end with CR LF when written.
class SettingsFile {
public:
    static SettingsFile parse(const QByteArray& bytes);
    // The settings file holds one value; a file larger than this is not one and is
    // not read into memory.
    static constexpr qint64 MaxSize = qint64(1) << 20;
    // A missing, unreadable or oversized file reads as an empty one.
    static SettingsFile load(const QString& path);

    // Section and key names compare case-insensitively, as on Windows.
    QString value(const QString& section, const QString& key, const QString& fallback = {}) const;
    void setValue(const QString& section, const QString& key, const QString& value);

    QByteArray serialize() const;
    // Replaces the file atomically; returns the reason on failure.
    std::optional<QString> save(const QString& path) const;

private:
    struct Location {
        qsizetype sectionLine = -1; // index of "[section]", -1 when absent
        qsizetype keyLine = -1;     // index of "key=value", -1 when absent
        qsizetype sectionEnd = -1;  // one past the section's last key line
    };
    Location locate(const QString& section, const QString& key) const;

    QStringList lines_;
};

} // namespace tessaly
