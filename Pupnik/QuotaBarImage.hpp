#pragma once

#include <QColor>
#include <QImage>
#include <string_view>

namespace Pupnik::QuotaBarImage {

// A menu usage bar, 120 × 8 points at the given whole scale: a rounded track in a faint shade of
// the text colour, and over it the source's coloured fill as wide as the fraction says.
QImage draw(std::string_view source, double fraction, QColor const& textColour, int scale);

}
