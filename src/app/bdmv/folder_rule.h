#pragma once
#include <QString>

namespace morvex::app {

// The folder choice always ends in the BDMV folder: a trailing "/" is added, and
// "BDMV/" too unless the four characters before that "/" are "BDMV" (case-sensitive), so
// choosing a disc's root or its BDMV folder gives the same result.
QString completeBdmvFolder(QString chosen);

// The disc label shown in the window title: the name of the folder that holds BDMV,
// or, when BDMV sits at the root of a mounted file system, that file system's label
// (the mount point's name when it has none).
QString discLabel(const QString& bdmvFolder);

}  // namespace morvex::app
