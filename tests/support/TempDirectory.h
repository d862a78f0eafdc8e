// SPDX-License-Identifier: MIT

#pragma once

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

namespace tessel::test {

// A fresh directory under the system's temporary directory, removed with everything in it.
class TempDirectory {
  public:
    TempDirectory() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "tessel-test-XXXXXX").string();
        path_ = ::mkdtemp(pattern.data());
    }
    ~TempDirectory() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempDirectory(const TempDirectory&) = delete;
    TempDirectory& operator=(const TempDirectory&) = delete;

    const std::string& path() const { return path_; }
    // The directory with a trailing "/", as the program keeps its directories.
    std::string dir() const { return path_ + "/"; }

    std::string Read(std::string_view name) const {
        std::ifstream in(path_ + "/" + std::string(name), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    void Write(std::string_view name, std::string_view bytes) const {
        std::ofstream out(path_ + "/" + std::string(name), std::ios::binary);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }

    bool Exists(std::string_view name) const {
        return std::filesystem::exists(path_ + "/" + std::string(name));
    }

  private:
    std::string path_;
};

}  // namespace tessel::test
