// The library's version, the same as the programs'.
#pragma once

namespace encounter {

// "MAJOR.MINOR.PATCH".
const char* Version();

}  // namespace encounter
