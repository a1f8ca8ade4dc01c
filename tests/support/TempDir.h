#pragma once

#include <filesystem>
#include <random>
#include <string>

namespace testing_support {

// A fresh directory under the system's temporary folder, removed with
// everything in it when the object goes.
class TempDir {
public:
    TempDir()
    {
        std::random_device random;
        const auto base = std::filesystem::temp_directory_path();
        for (;;) {
            m_path = base / ("orvalis-test-" + std::to_string(random()));
            if (std::filesystem::create_directory(m_path))
                break;
        }
    }
    ~TempDir()
    {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    std::string File(const std::string& name) const { return (m_path / name).string(); }
    const std::filesystem::path& Path() const { return m_path; }

private:
    std::filesystem::path m_path;
};

} // namespace testing_support
