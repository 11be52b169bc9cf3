#pragma once
// Where pdvhost finds the module libVak04100.so: beside its own executable (a build tree,
// a terminal's folder), else in the package's private library directory, found from the
// executable's directory (VAK_MODULE_RELDIR: ../lib/<multiarch>/vak04100 from /usr/bin),
// so that an installed or unpacked package needs no setting.

#include <QString>

namespace pdvhost {

// The module's path: the first candidate that exists, or the first candidate when none
// does (so that the loader's error names where it looked first).
QString modulePath();

}  // namespace pdvhost
