#pragma once

#include <QString>

// The saved queries of a file made before the program wrote one SQL text for both engines are in
// the file's older spelling: [bracketed] names, SQLite's null-safe "a IS b" and "a IS NOT b", and
// strftime('%w', [Date]) for the day of the week. A copy to a server gives such a text the
// server's words once; a copy back gives the file's spelling again, so that a text goes there and
// back unchanged. Every other text is the site's own and is copied as it is: quoted text ('...'),
// double-quoted names and comments are never touched.
namespace SavedQuerySpelling {
// The text in the server's words, or the text itself when it is not in the file's older spelling
// (it has no [name], or already one of the server's forms).
QString toServer(const QString &fileText);
// The file's spelling of a text toServer could have made; any other text as it is.
QString toFile(const QString &serverText);
} // namespace SavedQuerySpelling
