// SPDX-License-Identifier: MIT

#pragma once

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>

#include "integration/HostileCases.h"
#include "relay/RelayTestClient.h"
#include "relay/RelayWire.h"
#include "support/ChildProcess.h"
#include "support/LoopbackPeer.h"
#include "support/RelayPort.h"
#include "support/TempDirectory.h"

// What every front end's hostile-case helper shares: the client's working directory, the
// scripted server and the relay with its hostile clients, and the checks that hold for every
// case. A helper only starts its client in `work`, against `peer.port()` (the scripted
// server) or, after StartRelay(), `port`, and looks at what the user saw. The test target
// defines TESSEL_RELAY_BINARY.
namespace tessel::test {

namespace hostile_fs = std::filesystem;

inline std::string Reply(std::string_view commandLine, std::string_view body,
                         std::string_view type = "tesra/euc") {
    std::string out = "TesseraRELAY/0.1\ntoClient\n";
    out.append(commandLine).append("\n");
    if (!body.empty()) {
        out += "Content-length: " + std::to_string(body.size()) + "\nContent-type: ";
        out.append(type).append("\n");
    }
    out += "ID: s***001\n\n";
    out.append(body);
    return out;
}

inline void Replace(std::string& text, std::string_view from, std::string_view to) {
    for (std::size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size()) {
        text.replace(at, from.size(), to);
    }
}

// Bytes a terminal would act on: ESC, BEL, other C0 controls but tab and line feed, DEL and
// the C1 controls as UTF-8 encodes them.
inline std::string FirstControl(std::string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto b = static_cast<unsigned char>(text[i]);
        const bool c1 = b == 0xC2 && i + 1 < text.size() &&
                        static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
                        static_cast<unsigned char>(text[i + 1]) <= 0x9F;
        if ((b < 0x20 && b != '\t' && b != '\n' && b != '\r') || b == 0x7F || c1) {
            return "byte " + std::to_string(b) + " at " + std::to_string(i) + ": " +
                   std::string(text.substr(i > 40 ? i - 40 : 0, 80));
        }
    }
    return {};
}

struct Entry {
    std::string kind;  // "file", "link:<target>", "dir"
    std::string content;
    ino_t inode = 0;
    friend bool operator==(const Entry&, const Entry&) = default;
};

inline bool UsesRelay(const HostileCase& c) {
    for (const auto& step : c.steps) {
        if (step.route == Route::Relay) {
            return true;
        }
    }
    return false;
}

// The client's working directory, which is also its receive directory and holds its
// settings, key file with an include, and log, with links to them and to a file outside.
class HostileWorld {
  public:
    HostileWorld() {
        work = root.path() + "/work";
        hostile_fs::create_directory(work);
        hostile_fs::create_directory(work + "/wav");
        root.Write("outside.txt", "outside");
        root.Write("work/tessel.ini", "[Settings]\r\nautolog=1\r\nlogdir=" + work +
                                          "/\r\nautologname=%N.log\r\n[Options]\r\nisrecvfile=1\r\n"
                                          "isrecvwave=1\r\nsavefiledir=" +
                                          work + "/\r\n");
        root.Write("work/tessel.key", "1=2d6\r\ninclude=inc.key\r\n");
        root.Write("work/inc.key", "2=hello\r\n");
        root.Write("work/wav/ding.wav", "RIFF");
        hostile_fs::create_symlink("tessel.ini", work + "/ini-link");
        hostile_fs::create_symlink("../outside.txt", work + "/outside-link");
        hostile_fs::create_hard_link(work + "/tessel.key", work + "/hard.key");
    }

    // The log the client writes once its handle "taro" is acknowledged.
    static constexpr const char* kLog = "work/taro.log";

    void StartRelay() {
        relay = std::make_unique<ChildProcess>(
            std::vector<std::string>{TESSEL_RELAY_BINARY, "--listen", "127.0.0.1:0", "--seed", "1"},
            root.path());
        const std::string listening = ListeningPort(*relay);
        ASSERT_FALSE(listening.empty()) << relay->error();
        port = static_cast<std::uint16_t>(std::stoi(listening));
    }

    relay::test::RelayTestClient& Hostile(const std::string& handle) {
        auto& client = hostile[handle];
        if (!client) {
            client = std::make_unique<relay::test::RelayTestClient>(port);
            client->Welcome();
            client->Send(relay::test::ToServer("OPEN 127.0.0.1:1 " + handle, "a00100000001"));
            client->Send(relay::test::ToServer("JOIN #main", "a00100001000"));
        }
        return *client;
    }

    void Play(const HostileStep& step) {
        std::string body = step.body;
        Replace(body, "$DIR", work);
        for (std::size_t i = 0; i < step.repeat; ++i) {
            if (step.route == Route::Relay) {
                ASSERT_TRUE(Hostile(step.line).Send(
                    relay::test::ToServer("SENDMESG *", "a00100002000", step.type, body)));
            } else if (step.raw) {
                peer.Write(body);
            } else {
                peer.Write(Reply(step.line, body, step.type));
            }
        }
    }

    // Every entry under the test's root, without following links.
    std::map<std::string, Entry> Tree() const {
        std::map<std::string, Entry> tree;
        for (const auto& item : hostile_fs::recursive_directory_iterator(root.path())) {
            Entry entry;
            const auto status = hostile_fs::symlink_status(item.path());
            struct stat info {};
            ::lstat(item.path().c_str(), &info);
            entry.inode = info.st_ino;
            if (hostile_fs::is_symlink(status)) {
                entry.kind = "link:" + hostile_fs::read_symlink(item.path()).string();
            } else if (hostile_fs::is_regular_file(status)) {
                entry.kind = "file";
                std::ifstream in(item.path(), std::ios::binary);
                entry.content.assign(std::istreambuf_iterator<char>(in), {});
            } else {
                entry.kind = "dir";
            }
            tree[hostile_fs::relative(item.path(), root.path()).string()] = entry;
        }
        return tree;
    }

    // Nothing of the program's own changed (the log only grew), and only plain files appeared,
    // directly in the receive directory, none of them with a hostile payload.
    void ExpectOnlyReceivedFiles(const std::map<std::string, Entry>& before,
                                 const std::map<std::string, Entry>& after) const {
        for (const auto& [path, entry] : before) {
            ASSERT_TRUE(after.count(path)) << path << " is gone";
            const Entry& now = after.at(path);
            EXPECT_EQ(now.inode, entry.inode) << path << " was replaced";
            if (path == kLog) {
                EXPECT_EQ(now.content.substr(0, entry.content.size()), entry.content);
            } else {
                EXPECT_EQ(now.kind, entry.kind) << path;
                EXPECT_EQ(now.content, entry.content) << path << " was changed";
            }
        }
        for (const auto& [path, entry] : after) {
            if (before.count(path)) {
                continue;
            }
            EXPECT_EQ(hostile_fs::path(path).parent_path(), hostile_fs::path("work")) << path;
            EXPECT_EQ(entry.kind, "file") << path;
            EXPECT_EQ(entry.content.find(kPayload), std::string::npos) << path;
        }
    }

    // Sends the line that shows the client is still live, from the side the case used.
    void SendStillThere(bool viaRelay) {
        if (viaRelay) {
            ASSERT_TRUE(Hostile("mallory").Send(
                relay::test::ToServer("SENDMESG *", "a00100003000", "tesra/euc", "still-there")));
        } else {
            peer.Write(Reply("SHOWMESG bob", "still-there"));
        }
    }

    TempDirectory root;
    std::string work;
    LoopbackPeer peer;
    std::unique_ptr<ChildProcess> relay;
    std::uint16_t port = 0;
    std::map<std::string, std::unique_ptr<relay::test::RelayTestClient>> hostile;
};

}  // namespace tessel::test
