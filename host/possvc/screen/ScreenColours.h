#pragma once
// The terminal's colours (inCor1..inCor6 of its parameter file) as Qt colours. They are
// stored as the register's colour values: 0x00BBGGRR, blue in the high byte.

#include <QColor>

#include <optional>

namespace possvc::sim {

// The colour of a terminal colour value; none for values outside 0..0xFFFFFF (system
// colour references, unset values).
inline std::optional<QColor> terminalColour(int value)
{
    if (value < 0 || value > 0xFFFFFF)
        return std::nullopt;
    return QColor(value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF);
}

// A background and a text colour taken together: both are used only when both are valid
// and differ (terminals often leave every colour at 0, which would hide the text).
struct ColourPair {
    std::optional<QColor> background;
    std::optional<QColor> text;
};
inline ColourPair terminalColours(int background, int text)
{
    const auto bg = terminalColour(background);
    const auto fg = terminalColour(text);
    if (!bg || !fg || *bg == *fg)
        return {};
    return {bg, fg};
}

}  // namespace possvc::sim
