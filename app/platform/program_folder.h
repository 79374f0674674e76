// The folder the program runs from: its read-me lies there, and the save
// dialog of the export opens there when it may be written to.
#pragma once

#include <QString>

namespace tarvic {

// The running program's folder (no trailing slash).
QString programFolder();
// Replaces the folder (tests); an empty text restores the program's own.
void setProgramFolder(const QString& folder);

}  // namespace tarvic
