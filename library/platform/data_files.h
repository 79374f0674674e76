#pragma once

// Where the data files that ship with the library (the Sobol direction
// numbers) are looked for, in this order:
//  1. beside the library itself, wherever its caller lives;
//  2. beside the running executable;
//  3. in the installed data folder: relative to the library's folder as
//     the install lays them out, then the folder the build was configured
//     to install into.

#include <string>
#include <vector>

namespace tarvic {

// Folder of the file that holds this code (libtarvic.so, or the executable
// it is linked into), with a trailing '/'; empty when it cannot be told.
std::string libraryFolder();

// Folder of the running executable, with a trailing '/'; empty when the
// link cannot be read.
std::string executableFolder();

// The folders above, in order, each with a trailing '/'.
std::vector<std::string> dataFolders();

// The path of the first file called name in those folders; empty when none
// holds one.
std::string findDataFile(const std::string& name);

}  // namespace tarvic
