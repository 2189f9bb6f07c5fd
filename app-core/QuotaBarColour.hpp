#pragma once

namespace PupnikCore {

// The fill colour of a usage bar; the drawing maps each to the desktop's shade of it.
enum class QuotaBarColour {
    orange,
    green,
    gray,
};

}
