#pragma once

#include <filesystem>
#include <optional>

namespace PupnikCore {

// Where the application's resources are, located once per process and then kept. The resource
// bundle is the installation's share folder (<prefix>/share/pupnik, beside bin/ of the running
// program; the build tree stages the same layout); tables are looked for in its "i18n" folder.
// Neither being there is an error: texts then show English or their keys.
std::optional<std::filesystem::path> const& resourceBundle();
// The share folder's "i18n" folder, the second place tables are looked for.
std::optional<std::filesystem::path> const& localizationFolder();

}
