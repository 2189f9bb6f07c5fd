#pragma once

#include "shared/ActivityContentFields.hpp"
#include "shared/Localizer.hpp"
#include "shared/PetSnapshot.hpp"
#include "shared/StatusDot.hpp"

#include <QColor>
#include <QFont>
#include <QPainter>
#include <QRectF>
#include <QSizeF>
#include <optional>
#include <string>
#include <vector>

namespace PawletShared {

// One line under the pet: the status word, then a faint "·" and per agent a dot in its collar
// colour with its session count. A value made anew for every update; it keeps no state.
class StatusLineView final {
public:
    static constexpr double spacing = 6;
    static constexpr double dotSpacing = 3;
    static constexpr double separatorOpacity = 0.4;
    static constexpr double dotOutlineOpacity = 0.55;
    // A long word shrinks to this share of the font before it is cut.
    static constexpr double minimumScale = 0.7;

    StatusLineView(std::string word, std::vector<StatusDot> dots, std::string line, QFont font, QColor color, double dotSize);

    // Nothing when the fields hold no status line.
    static std::optional<StatusLineView> fromFields(ActivityContentFields const& fields, QFont font, QColor color, double dotSize);
    // Nothing when hidden.
    static std::optional<StatusLineView> fromSnapshot(PetSnapshot const& snapshot, bool hidden, Localizer const& localizer, QFont font, QColor color, double dotSize);

    std::string const& word() const { return m_word; }
    std::vector<StatusDot> const& dots() const { return m_dots; }
    // The whole line, as assistive technology reads it.
    std::string const& accessibleName() const { return m_line; }
    double dotSize() const { return m_dotSize; }

    // The size the row takes at its natural font size.
    QSizeF sizeHint() const;
    // Draws the row from the left of the rectangle, centred vertically in it; the word shrinks, then
    // is cut, to keep the row within the rectangle's width.
    void draw(QPainter& painter, QRectF const& bounds) const;

private:
    std::string m_word;
    std::vector<StatusDot> m_dots;
    std::string m_line;
    QFont m_font;
    QColor m_color;
    double m_dotSize;
};

}
