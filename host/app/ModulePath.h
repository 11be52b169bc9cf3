#pragma once
// Where pdvhost finds the module libVak04100.so: beside its own executable (a build tree,
// a terminal's folder), else in the private library directory of an installed system
// (VAK_MODULE_DIR, /usr/lib/<multiarch>/vak04100 in the Debian package).

#include <QString>

namespace pdvhost {

// The module's path: the first candidate that exists, or the first candidate when none
// does (so that the loader's error names where it looked first).
QString modulePath();

}  // namespace pdvhost
