#pragma once
// File associations on a freedesktop system: a shared-mime-info package naming the
// two disc file types and a .desktop entry that opens them with this program, both
// under the user's data folder (~/.local/share). Turning an association off removes
// nothing; it stays until something else replaces it.
#include <QString>

namespace morvex::app {

enum class FileType { Bdmv, Mnu };

struct FileTypeInfo {
  QString extension;  // ".bdmv"
  QString typeName;   // "BD.movie.info"
  QString mimeType;   // "application/x-bd-movie-info"
};
FileTypeInfo fileTypeInfo(FileType t);

// A shared-mime-info package holding only `mimeType`, cut from the package the
// program installs (dist/linux/morvex.xml, built in as a resource); empty when that
// package has no such type.
QString mimePackageFor(const QString& mimeType);

// Writes <data>/mime/packages/morvex-<ext>.xml and adds the type to
// <data>/applications/morvex.desktop, whose Exec line is the program path followed by
// the quoted file argument. Then asks the desktop databases to refresh (when their
// tools exist). `dataDir` defaults to the user's generic data location.
bool registerFileType(FileType t, const QString& programPath, const QString& dataDir = QString());

}  // namespace morvex::app
