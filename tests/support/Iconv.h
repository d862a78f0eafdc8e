// SPDX-License-Identifier: MIT

#pragma once

#include <iconv.h>

#include <optional>
#include <string>
#include <string_view>

namespace tessel::test {

// glibc iconv as an independent oracle for the program's own conversions.
class Iconv {
  public:
    Iconv(const char* to, const char* from) : handle_(iconv_open(to, from)) {}
    ~Iconv() {
        if (valid()) {
            iconv_close(handle_);
        }
    }
    Iconv(const Iconv&) = delete;
    Iconv& operator=(const Iconv&) = delete;

    bool valid() const { return handle_ != reinterpret_cast<iconv_t>(-1); }

    // The whole input converted, or nothing when iconv refuses any of it.
    std::optional<std::string> operator()(std::string_view input) const {
        iconv(handle_, nullptr, nullptr, nullptr, nullptr);
        std::string out(input.size() * 4 + 16, '\0');
        char* in = const_cast<char*>(input.data());
        std::size_t inLeft = input.size();
        char* dst = out.data();
        std::size_t outLeft = out.size();
        if (iconv(handle_, &in, &inLeft, &dst, &outLeft) == static_cast<std::size_t>(-1) ||
            iconv(handle_, nullptr, nullptr, &dst, &outLeft) == static_cast<std::size_t>(-1)) {
            return std::nullopt;
        }
        out.resize(out.size() - outLeft);
        return out;
    }

  private:
    iconv_t handle_;
};

}  // namespace tessel::test
