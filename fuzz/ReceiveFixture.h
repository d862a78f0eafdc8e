// SPDX-License-Identifier: MIT

#pragma once

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "platform/OwnFiles.h"
#include "platform/SoundPlayer.h"

namespace tessel::fuzz {

// A working directory that is also the receive directory (the worst place a user can choose),
// holding the program's own files and links to them and to a file outside, next to a file
// that nothing may touch. After every input Check() asserts that only plain files of at most
// one file's size appeared, and only in the receive directory, and Clean() removes them.
//   root/outside.txt                 never touched
//   root/work/{tessel.ini, tessel.key, log.txt}   the program's own files
//   root/work/link.txt -> ../outside.txt, root/work/ini-link -> tessel.ini,
//   root/work/hard.key (a hard link to tessel.key), root/work/wav/ (sounds, read only)
//   root/alias -> work               another spelling of the directory
class ReceiveFixture {
  public:
    // `iniText` gives the settings file's text for the working directory's path.
    explicit ReceiveFixture(const std::function<std::string(const std::string&)>& iniText = {}) {
        namespace fs = std::filesystem;
        work_ = root_.path() + "/work";
        fs::create_directory(work_);
        fs::create_directory(work_ + "/wav");
        Write(root_.path() + "/outside.txt", "outside");
        Write(work_ + "/tessel.ini", iniText ? iniText(work_) : std::string());
        Write(work_ + "/tessel.key", "1=own key file\n");
        Write(work_ + "/log.txt", "own log\n");
        Write(work_ + "/wav/ding.wav", "RIFF");
        fs::create_symlink("../outside.txt", work_ + "/link.txt");
        fs::create_symlink("tessel.ini", work_ + "/ini-link");
        fs::create_hard_link(work_ + "/tessel.key", work_ + "/hard.key");
        fs::create_directory_symlink("work", root_.path() + "/alias");
        for (const char* name : {"tessel.ini", "tessel.key", "log.txt"}) {
            own_.Add(work_ + "/" + name);
        }
        baseline_ = Snapshot();
    }

    const std::string& root() const { return root_.path(); }
    const std::string& work() const { return work_; }
    const OwnFiles& own() const { return own_; }

    // The receive directory as a user may have spelt it.
    std::vector<std::string> Spellings() const {
        return {work_ + "/", work_, work_ + "/./", root_.path() + "/alias/",
                root_.path() + "/work/../work/"};
    }

    void Check() const {
        const auto now = Snapshot();
        for (const auto& entry : baseline_) {
            const auto it = std::find_if(now.begin(), now.end(),
                                         [&](const auto& e) { return e.first == entry.first; });
            FUZZ_CHECK(it != now.end());
            FUZZ_CHECK(it->second == entry.second);  // own files, links, the outside file intact
        }
        for (const auto& [path, content] : now) {
            if (Known(path)) {
                continue;
            }
            // A received file: a plain file directly in the receive directory.
            const std::filesystem::path full = root_.path() + "/" + path;
            FUZZ_CHECK(full.parent_path() == std::filesystem::path(work_));
            FUZZ_CHECK(std::filesystem::is_regular_file(std::filesystem::symlink_status(full)));
            FUZZ_CHECK(content.size() <= 32768);
        }
    }

    void Clean() const {
        for (const auto& entry : Snapshot()) {
            if (!Known(entry.first)) {
                std::error_code ignored;
                std::filesystem::remove_all(root_.path() + "/" + entry.first, ignored);
            }
        }
    }

  private:
    bool Known(const std::string& path) const {
        return std::any_of(baseline_.begin(), baseline_.end(),
                           [&](const auto& entry) { return entry.first == path; });
    }

    static void Write(const std::string& path, std::string_view bytes) {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }

    // Every entry with what identifies its content: a link's target, a file's bytes and inode.
    std::vector<std::pair<std::string, std::string>> Snapshot() const {
        namespace fs = std::filesystem;
        std::vector<std::pair<std::string, std::string>> entries;
        for (const std::string& relative : TreeOf(root_.path())) {
            const fs::path full = root_.path() + "/" + relative;
            const auto status = fs::symlink_status(full);
            std::string content;
            if (fs::is_symlink(status)) {
                content = "link:" + fs::read_symlink(full).string();
            } else if (fs::is_regular_file(status)) {
                std::ifstream in(full, std::ios::binary);
                content.assign(std::istreambuf_iterator<char>(in), {});
            } else {
                content = "dir";
            }
            entries.emplace_back(relative, std::move(content));
        }
        return entries;
    }

    ScratchDirectory root_;
    std::string work_;
    OwnFiles own_;
    std::vector<std::pair<std::string, std::string>> baseline_;
};

// Records what a peer asked to play; every path must name a file directly in the sound
// directory.
class CheckingSoundPlayer : public SoundPlayer {
  public:
    explicit CheckingSoundPlayer(std::string waveDirectory)
        : waveDirectory_(std::move(waveDirectory)) {}

    void Play(const std::string& path) override {
        FUZZ_CHECK(path.substr(0, waveDirectory_.size()) == waveDirectory_);
        const std::string name = path.substr(waveDirectory_.size());
        FUZZ_CHECK(!name.empty() && name != "." && name != "..");
        FUZZ_CHECK(name.find('/') == std::string::npos);
        for (const char c : name) {
            FUZZ_CHECK(static_cast<unsigned char>(c) >= 0x20 && c != 0x7F);
        }
        ++plays_;
    }
    int plays() const { return plays_; }

  private:
    std::string waveDirectory_;
    int plays_ = 0;
};

}  // namespace tessel::fuzz
