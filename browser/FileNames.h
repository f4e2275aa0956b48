// File names as the file system gives them: bytes, not necessarily UTF-8.
// The window shows them as text, but opens and decodes them by their bytes.
#pragma once

#include <QByteArray>
#include <QString>

namespace vekdc {

// The text shown for a name or path: as UTF-8 where it is valid; else as
// CP932 (names from old Windows archives) where that decodes; else UTF-8 with
// each byte that does not decode shown as \xNN.
QString DisplayName(const QByteArray& bytes);

// True when the bytes are valid UTF-8, so that the shown text names them again.
bool IsUtf8(const QByteArray& bytes);

}  // namespace vekdc
