// SPDX-License-Identifier: MIT

#include "session/FileSender.h"

#include <condition_variable>

#include "platform/FileSystem.h"

namespace tessel {

FileSender::FileSender(Post post, Report report, std::chrono::milliseconds pause)
    : post_(std::move(post)), report_(std::move(report)), pause_(pause) {}

FileSender::~FileSender() {
    if (worker_.joinable()) {
        worker_.request_stop();
        worker_.join();
    }
}

bool FileSender::Busy() const {
    std::lock_guard guard(lock_);
    return busy_;
}

FileSender::Start FileSender::Send(std::string_view destination, const std::string& path) {
    {
        std::lock_guard guard(lock_);
        if (busy_) {
            return Start::Busy;
        }
    }
    // Only a regular file is read, through its file system name: a FIFO chosen by mistake
    // never stalls the caller, and a path in a folder with a Japanese name is found.
    const FileBytes file = ReadRegularFile(path, kMaxSendFileSize);
    if (file.status == ReadStatus::kTooLarge) {
        return Start::TooLarge;
    }
    if (file.status != ReadStatus::kOk) {
        return Start::CannotRead;
    }
    std::string name(SentFileName(path));
    std::vector<std::string> blocks = FileSendBlocks(destination, name, file.bytes);
    if (worker_.joinable()) {
        worker_.join();  // the last send has ended; its thread is only finishing
    }
    {
        std::lock_guard guard(lock_);
        busy_ = true;
    }
    // Told at once, so whatever the front end showed of an earlier send is replaced now.
    report_(FileSendProgress{name, 0, static_cast<int>(blocks.size())});
    worker_ = std::jthread(
        [this, blocks = std::move(blocks), name = std::move(name)](std::stop_token stop) mutable {
            Run(std::move(stop), std::move(blocks), std::move(name));
        });
    return Start::Started;
}

void FileSender::Run(std::stop_token stop, std::vector<std::string> blocks, std::string name) {
    FileSendProgress progress;
    progress.name = std::move(name);
    progress.total = static_cast<int>(blocks.size());
    // A stop wakes the pause at once, so closing the program never waits one out.
    std::mutex pauseLock;
    std::condition_variable pauseEnds;
    const std::stop_callback wake(stop, [&] {
        std::lock_guard guard(pauseLock);
        pauseEnds.notify_all();
    });
    for (const std::string& block : blocks) {
        if (stop.stop_requested() || !post_(block)) {
            break;
        }
        ++progress.sent;
        if (progress.sent == progress.total) {
            break;
        }
        report_(progress);
        std::unique_lock guard(pauseLock);
        pauseEnds.wait_for(guard, pause_, [&stop] { return stop.stop_requested(); });
    }
    progress.state = progress.sent == progress.total ? FileSendProgress::State::Sent
                                                     : FileSendProgress::State::Stopped;
    {
        std::lock_guard guard(lock_);
        busy_ = false;
    }
    report_(progress);
}

}  // namespace tessel
