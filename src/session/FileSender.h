// SPDX-License-Identifier: MIT

#pragma once

#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "platform/FrontEnd.h"
#include "session/FileExchange.h"

namespace tessel {

// One file send at a time, its pieces handed over from a worker thread with a pause between
// them, so the server's queue keeps up and the front end stays live. The file is read whole
// before the send starts: one that cannot be read, or is too large, is refused at once and
// nothing goes out.
class FileSender {
  public:
    enum class Start { Started, Busy, CannotRead, TooLarge };

    // `post` hands one block to the connection, false when there is none any more (the send
    // stops there); `report` hears of every piece and of the end, on the worker thread.
    using Post = std::function<bool(std::string_view block)>;
    using Report = std::function<void(const FileSendProgress&)>;

    FileSender(Post post, Report report, std::chrono::milliseconds pause = kPiecePause);
    // Stops a send in progress between two pieces and waits for the worker.
    ~FileSender();
    FileSender(const FileSender&) = delete;
    FileSender& operator=(const FileSender&) = delete;

    // `path` in Shift-JIS, as the core keeps paths; the file goes under its last component.
    Start Send(std::string_view destination, const std::string& path);
    bool Busy() const;

  private:
    void Run(std::stop_token stop, std::vector<std::string> blocks, std::string name);

    Post post_;
    Report report_;
    std::chrono::milliseconds pause_;
    mutable std::mutex lock_;
    bool busy_ = false;
    std::jthread worker_;
};

}  // namespace tessel
