#include "app-core/PetSound.hpp"

#include "platform/InstallLayout.hpp"

#include <system_error>

namespace PupnikCore {

std::optional<PetSound> PetSound::fromRawValue(std::string_view text)
{
    for (Value value : allCases)
        if (PetSound(value).rawValue() == text)
            return PetSound(value);
    return std::nullopt;
}

std::string_view PetSound::rawValue() const
{
    switch (m_value) {
    case woof:
        return "woof";
    case whimper:
        return "whimper";
    case yip:
        return "yip";
    case snore:
        return "snore";
    }
    return "woof";
}

std::string PetSound::fileName() const
{
    return std::string(rawValue()) + ".wav";
}

std::optional<std::filesystem::path> PetSound::resourceURL(std::optional<std::filesystem::path> const& localizationFolder) const
{
    if (!localizationFolder || localizationFolder->empty())
        return std::nullopt;
    // "<share>/i18n/" names the same folder as "<share>/i18n"; its sibling is "<share>/sounds" either way.
    auto folder = localizationFolder->has_filename() ? *localizationFolder : localizationFolder->parent_path();
    auto candidate = folder.parent_path() / "sounds" / fileName();
    std::error_code error;
    if (!std::filesystem::is_regular_file(candidate, error))
        return std::nullopt;
    return candidate;
}

std::optional<std::filesystem::path> PetSound::resourceURL() const
{
    auto layout = Platform::InstallLayout::ofRunningProgram();
    if (!layout)
        return std::nullopt;
    auto folder = layout->shareDirectory() / "i18n";
    std::error_code error;
    if (!std::filesystem::is_directory(folder, error))
        return std::nullopt;
    return resourceURL(folder);
}

}
