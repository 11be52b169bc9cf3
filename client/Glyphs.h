#pragma once
// The pictures of the screen's picture buttons, drawn rather than stored: one for the
// enabled and one for the disabled state of each button.

#include <QColor>
#include <QPixmap>

namespace Cli_Vak04100::glyphs {

enum class Kind { Search, Cancel, Confirm, Up, Down, Exit };

// A square picture of `size` pixels drawn with `color` on a transparent ground.
QPixmap draw(Kind kind, int size, const QColor& color);

}  // namespace Cli_Vak04100::glyphs
