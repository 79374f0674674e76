#pragma once

#include <string>

namespace tarvic {

// Folder of the running program's executable, with a trailing '/'.
// Data files that ship with the program (the Sobol direction numbers) are
// looked for there. Throws std::runtime_error when the link cannot be read.
std::string executableFolder();

}  // namespace tarvic
