#pragma once

#include "shared/Language.hpp"

namespace PupnikCore {

// The application's texts come in the languages of the pet's displays.
using PawletShared::Language;

}
