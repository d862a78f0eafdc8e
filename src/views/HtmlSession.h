// SPDX-License-Identifier: MIT

#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/FileSystem.h"
#include "platform/ShiftJisDecoder.h"
#include "settings/Settings.h"
#include "views/SessionRecord.h"

namespace tessel {

// How the page looks: the display pane's colours (COLORREF, 0x00BBGGRR) and font.
struct HtmlStyle {
    std::array<std::uint32_t, 4> colours{};  // by colour slot: normal, name, system, dice
    std::uint32_t background = 0;
    std::string fontName;  // Shift-JIS
    int fontSize = 120;    // tenths of a point

    friend bool operator==(const HtmlStyle&, const HtmlStyle&) = default;
};

// The display pane's colours and font as the settings hold them now.
HtmlStyle HtmlStyleOf(const Settings& settings);

// What a page or a logged session begins with. Texts are Shift-JIS and may be empty.
struct HtmlSessionHeader {
    std::string server;  // "host:port"
    std::string channel;
    std::string handle;
    std::int64_t time = 0;  // seconds since the epoch
};

// Turns recorded display lines into HTML, UTF-8. Every text that reaches the page (peer text,
// names, the header's values) is converted from Shift-JIS and escaped, and control characters
// are shown as "^X" as the text log shows them, so nothing a peer sends can become markup,
// script or a style: the only elements are the ones written here.
class HtmlRenderer {
  public:
    // The document from its doctype to the opened body, with the style inline. A browser shows
    // the page as far as it goes at any moment: closing tags are not needed.
    void AppendDocumentStart(std::string& out, const HtmlStyle& style, std::string_view title);
    // The server, channel, handle and date of a session, as a header element.
    void AppendSessionHeader(std::string& out, const HtmlSessionHeader& header);
    // One display line: one element holding its time and its coloured runs.
    void AppendLine(std::string& out, const RecordedLine& line);
    // A note of the program's own (not a display line), in the system colour.
    void AppendNote(std::string& out, std::string_view utf8);
    // The end of the document.
    static void AppendDocumentEnd(std::string& out);

    // `sjis` as page text: control characters shown, converted to UTF-8, escaped.
    void AppendText(std::string& out, std::string_view sjis);

  private:
    ShiftJisDecoder decoder_;
    std::string shown_;  // scratch, its room kept
    std::string utf8_;
};

// The whole record as one self-contained page.
std::string RenderSessionPage(const SessionRecord& record, const HtmlStyle& style,
                              const HtmlSessionHeader& header);

// Where the HTML log beside a text log goes: the same name with ".html" in place of a final
// ".log", or with ".html" added.
std::string HtmlLogPathBeside(std::string_view logPath);

// A session written as a page line by line: appended to, never truncated, each line one write,
// so the file reads in a browser at any moment and a crash loses nothing already shown. A new
// file starts with the document start; every open adds a session header.
class HtmlLogFile {
  public:
    bool Open(std::string path, const HtmlStyle& style, const HtmlSessionHeader& header);
    bool IsOpen() const { return file_.IsOpen(); }
    const std::string& Path() const { return path_; }
    // False when the write failed; the file is closed then.
    bool WriteLine(const RecordedLine& line);
    void Close();

  private:
    File file_;
    std::string path_;
    HtmlRenderer renderer_;
    std::string buffer_;
};

}  // namespace tessel
