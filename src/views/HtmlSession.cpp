// SPDX-License-Identifier: MIT

#include "views/HtmlSession.h"

#include <array>
#include <cstdio>
#include <ctime>

#include "views/DisplayLine.h"

namespace tessel {
namespace {

// "#RRGGBB" of a COLORREF (0x00BBGGRR).
std::string CssColour(std::uint32_t colour) {
    std::array<char, 8> text{};
    std::snprintf(text.data(), text.size(), "#%02x%02x%02x", colour & 0xFFu, (colour >> 8) & 0xFFu,
                  (colour >> 16) & 0xFFu);
    return text.data();
}

std::tm LocalTm(std::int64_t seconds) {
    const auto time = static_cast<std::time_t>(seconds);
    std::tm local{};
    ::localtime_r(&time, &local);
    return local;
}

std::string Formatted(std::int64_t seconds, const char* format) {
    const std::tm local = LocalTm(seconds);
    std::array<char, 64> text{};
    const std::size_t n = std::strftime(text.data(), text.size(), format, &local);
    return std::string(text.data(), n);
}

// HTML-escaped UTF-8: the five characters that could open markup or leave an attribute.
void AppendEscaped(std::string& out, std::string_view utf8) {
    std::size_t plain = 0;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const char* entity = nullptr;
        switch (utf8[i]) {
            case '&':
                entity = "&amp;";
                break;
            case '<':
                entity = "&lt;";
                break;
            case '>':
                entity = "&gt;";
                break;
            case '"':
                entity = "&quot;";
                break;
            case '\'':
                entity = "&#39;";
                break;
            default:
                continue;
        }
        out.append(utf8, plain, i - plain);
        out += entity;
        plain = i + 1;
    }
    out.append(utf8, plain, utf8.size() - plain);
}

// A font name goes inside a quoted CSS string in the style element: only characters that can
// neither end the string nor the element are kept.
std::string CssFontName(std::string_view utf8) {
    std::string name;
    for (const char c : utf8) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x20 || b == 0x7F || c == '"' || c == '\\' || c == '<' || c == '>' || c == '{' ||
            c == '}' || c == ';') {
            continue;
        }
        name += c;
    }
    return name;
}

constexpr const char* kSlotClass[] = {"c0", "c1", "c2", "c3"};

}  // namespace

HtmlStyle HtmlStyleOf(const Settings& settings) {
    HtmlStyle style;
    const SettingKey keys[] = {SettingKey::dispcolor, SettingKey::dispnamecolor,
                               SettingKey::dispsyscolor, SettingKey::dispdicecolor};
    for (std::size_t i = 0; i < style.colours.size(); ++i) {
        style.colours[i] = static_cast<std::uint32_t>(settings.GetInt(keys[i]));
    }
    style.background = static_cast<std::uint32_t>(settings.GetInt(SettingKey::dispbkcolor));
    style.fontName = settings.GetString(SettingKey::fontname);
    style.fontSize = settings.GetInt(SettingKey::fontsize);
    return style;
}

void HtmlRenderer::AppendText(std::string& out, std::string_view sjis) {
    shown_.clear();
    AppendLogText(shown_, sjis);
    utf8_.clear();
    decoder_.AppendUtf8(utf8_, shown_);
    AppendEscaped(out, utf8_);
}

void HtmlRenderer::AppendDocumentStart(std::string& out, const HtmlStyle& style,
                                       std::string_view title) {
    std::string font;
    decoder_.AppendUtf8(font, style.fontName);
    font = CssFontName(font);
    const int size = style.fontSize > 0 ? style.fontSize : 120;
    std::array<char, 32> points{};
    std::snprintf(points.data(), points.size(), "%d.%dpt", size / 10, size % 10);

    out += "<!DOCTYPE html>\n<html lang=\"ja\">\n<head>\n<meta charset=\"utf-8\">\n";
    out += "<meta name=\"generator\" content=\"tessel\">\n<title>";
    AppendText(out, title);
    out += "</title>\n<style>\n";
    out += "body { background: " + CssColour(style.background) +
           "; color: " + CssColour(style.colours[0]) + "; font-family: ";
    if (!font.empty()) {
        out += "\"" + font + "\", ";
    }
    out += "\"Noto Sans CJK JP\", \"IPAPGothic\", sans-serif; font-size: ";
    out += points.data();
    out += "; margin: 1em; }\n";
    out += "header { border-bottom: 1px solid; margin: 1em 0 0.5em; }\n";
    out += "header h1 { font-size: 110%; margin: 0; }\n";
    out += "header dl { margin: 0.2em 0; }\n";
    out += "header dt, header dd { display: inline; margin: 0 0.3em 0 0; }\n";
    out += "header dt { opacity: 0.7; }\n";
    out += "header dd + dt { margin-left: 1em; }\n";
    out += ".line { white-space: pre-wrap; overflow-wrap: anywhere; min-height: 1.2em; }\n";
    out += ".line time { opacity: 0.55; font-size: 80%; margin-right: 0.6em; }\n";
    out += ".note { font-style: italic; }\n";
    for (std::size_t i = 0; i < style.colours.size(); ++i) {
        out +=
            std::string(".") + kSlotClass[i] + " { color: " + CssColour(style.colours[i]) + "; }\n";
    }
    // Browsers leave backgrounds out when printing; the pane's light text would vanish on
    // white paper, so the page asks for its colours to be printed as they are.
    out +=
        "@media print { body { margin: 0; -webkit-print-color-adjust: exact; "
        "print-color-adjust: exact; } .line { break-inside: avoid; } }\n";
    out += "</style>\n</head>\n<body>\n";
}

void HtmlRenderer::AppendSessionHeader(std::string& out, const HtmlSessionHeader& header) {
    out += "<header>\n<h1>tessel セッション記録</h1>\n<dl>";
    const std::pair<const char*, std::string_view> fields[] = {
        {"サーバー", header.server},
        {"チャネル", header.channel},
        {"ハンドル", header.handle},
    };
    for (const auto& [label, value] : fields) {
        out += "<dt>";
        out += label;
        out += "</dt><dd>";
        AppendText(out, value);
        out += "</dd>";
    }
    out += "<dt>日時</dt><dd><time datetime=\"" + Formatted(header.time, "%Y-%m-%dT%H:%M:%S") +
           "\">" + Formatted(header.time, "%Y-%m-%d %H:%M:%S") + "</time></dd></dl>\n</header>\n";
}

void HtmlRenderer::AppendLine(std::string& out, const RecordedLine& line) {
    out += "<div class=\"line\"><time datetime=\"";
    out += Formatted(line.time, "%Y-%m-%dT%H:%M:%S");
    out += "\">";
    out += Formatted(line.time, "%H:%M:%S");
    out += "</time>";
    ForEachRecordedRun(line, [&](ColourMarker slot, std::string_view text) {
        out += "<span class=\"";
        out += kSlotClass[static_cast<int>(slot)];
        out += "\">";
        AppendText(out, text);
        out += "</span>";
    });
    out += "</div>\n";
}

void HtmlRenderer::AppendNote(std::string& out, std::string_view utf8) {
    out += "<div class=\"note c2\">";
    AppendEscaped(out, utf8);
    out += "</div>\n";
}

void HtmlRenderer::AppendDocumentEnd(std::string& out) {
    out += "</body>\n</html>\n";
}

std::string RenderSessionPage(const SessionRecord& record, const HtmlStyle& style,
                              const HtmlSessionHeader& header) {
    HtmlRenderer renderer;
    std::string page;
    page.reserve(record.Bytes() * 2 + 4096);
    std::string title = "tessel";
    if (!header.channel.empty()) {
        title += " ";
        title += header.channel;
    }
    renderer.AppendDocumentStart(page, style, title);
    renderer.AppendSessionHeader(page, header);
    if (record.Dropped() > 0) {
        renderer.AppendNote(page, "記録の上限を超えたため、最初の " +
                                      std::to_string(record.Dropped()) +
                                      " 行はこのページに含まれていません。");
    }
    for (const RecordedLine& line : record.Lines()) {
        renderer.AppendLine(page, line);
    }
    if (const RecordedLine* open = record.OpenLine()) {
        renderer.AppendLine(page, *open);
    }
    HtmlRenderer::AppendDocumentEnd(page);
    return page;
}

std::string HtmlLogPathBeside(std::string_view logPath) {
    constexpr std::string_view kLog = ".log";
    std::string path(logPath);
    if (path.size() > kLog.size() &&
        path.compare(path.size() - kLog.size(), kLog.size(), kLog) == 0 &&
        path[path.size() - kLog.size() - 1] != '/') {
        path.resize(path.size() - kLog.size());
    }
    return path + ".html";
}

bool HtmlLogFile::Open(std::string path, const HtmlStyle& style, const HtmlSessionHeader& header) {
    Close();
    path_ = std::move(path);
    file_ = OpenForAppend(path_);
    if (!file_.IsOpen()) {
        return false;
    }
    buffer_.clear();
    if (file_.Size().value_or(0) == 0) {
        renderer_.AppendDocumentStart(buffer_, style, "tessel");
    }
    renderer_.AppendSessionHeader(buffer_, header);
    if (!file_.Write(buffer_)) {
        Close();
        return false;
    }
    return true;
}

bool HtmlLogFile::WriteLine(const RecordedLine& line) {
    if (!file_.IsOpen()) {
        return false;
    }
    buffer_.clear();
    renderer_.AppendLine(buffer_, line);
    if (!file_.Write(buffer_)) {
        Close();
        return false;
    }
    return true;
}

void HtmlLogFile::Close() {
    file_ = File();
}

}  // namespace tessel
