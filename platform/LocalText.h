#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace tessaly {

// The local 8-bit encoding is what other programs of this system read from their
// command line and from settings files: the ANSI code page on Windows, UTF-8 elsewhere.
// Windows turns a character its code page lacks into a look-alike ("O" for "Ω") or a
// question mark, which would name another file; so text goes there only when it comes
// back exactly.

// `text` in the local 8-bit encoding, or nothing when that cannot carry it exactly.
std::optional<QByteArray> exactLocal8Bit(const QString& text);

// The characters of `text` that the local 8-bit encoding cannot carry, each once, in
// the order they appear; empty when it carries them all.
QString charactersOutsideLocal8Bit(const QString& text);

// The encoding's name for people: "the ANSI code page 1252" on Windows, "UTF-8" elsewhere.
QString local8BitName();

} // namespace tessaly
