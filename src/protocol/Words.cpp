#include "protocol/Words.h"

#include <cstring>

namespace tessel {
namespace {

bool IsSeparator(char c) {
    return c == ' ' || c == '\t';
}

// Position of the start of word n, or npos when the text ends first.
std::size_t StartOfWord(std::string_view text, int n) {
    std::size_t p = 0;
    for (int i = 0; i < n; ++i) {
        while (p < text.size() && !IsSeparator(text[p])) {
            ++p;
        }
        while (p < text.size() && IsSeparator(text[p])) {
            ++p;
        }
        if (p >= text.size()) {
            return std::string_view::npos;
        }
    }
    return p;
}

}  // namespace

std::string_view TextOf(std::string_view text) {
    const void* zero = std::memchr(text.data(), '\0', text.size());
    return zero == nullptr ? text : text.substr(0, static_cast<const char*>(zero) - text.data());
}

std::string_view WordAt(std::string_view line, int n) {
    const std::string_view text = TextOf(line);
    const std::size_t start = StartOfWord(text, n);
    if (text.empty() || start == std::string_view::npos) {
        return {};
    }
    std::size_t end = start;
    while (end < text.size() && !IsSeparator(text[end]) && text[end] != '\n') {
        ++end;
    }
    return text.substr(start, end - start);
}

std::string_view RestFrom(std::string_view line, int n) {
    const std::string_view text = TextOf(line);
    const std::size_t start = StartOfWord(text, n);
    if (text.empty() || start == std::string_view::npos) {
        return {};
    }
    const std::size_t feed = text.find('\n', start);
    return text.substr(start, (feed == std::string_view::npos ? text.size() : feed) - start);
}

}  // namespace tessel
