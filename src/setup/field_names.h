// The Control Display's fields by name: the captions the windows show, and
// the short names by which the command line and the library set them.
#pragma once

#include <string>

#include "port/display_port.h"

namespace lab {

// The caption of each field, by index.
extern const char* const kFieldCaptions[kControlFields];

// The field a set name (m1 m2 m3 dist1 dist2 start end tdfact dalpha)
// stands for, or -1; and the set name of a field ("?" for fields without one).
int FieldOfName(const std::string& name);
const char* NameOfField(int field);

// The set names, separated by blanks, for messages and help.
extern const char* const kFieldNameList;

}  // namespace lab
