#pragma once

#include <filesystem>

// A fresh folder under the system's temporary folder, removed with everything in it at the end.
class TemporaryDirectory final {
public:
    TemporaryDirectory();
    ~TemporaryDirectory();
    TemporaryDirectory(TemporaryDirectory const&) = delete;
    TemporaryDirectory& operator=(TemporaryDirectory const&) = delete;

    std::filesystem::path const& path() const { return m_path; }

private:
    std::filesystem::path m_path;
};
