// SPDX-License-Identifier: MIT

#pragma once

#include <poll.h>

#include <chrono>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

struct redisAsyncContext;

namespace tessel::relay {

// One connection to Redis through hiredis's asynchronous API, driven by the relay's own
// poll loop: hiredis says when it wants to read or write, the loop polls for that and hands
// the events back. No thread, and nothing here waits on Redis.
//
// hiredis frees a context itself when the connection fails or the server closes it; the link
// then simply is no longer alive. Replies and the end of the connection reach the owner
// through the callbacks it passes with each command, with `owner` as the context's data.
class RedisLink {
  public:
    using ReplyFn = void (*)(redisAsyncContext* context, void* reply, void* privdata);

    RedisLink() = default;
    ~RedisLink();
    RedisLink(const RedisLink&) = delete;
    RedisLink& operator=(const RedisLink&) = delete;

    // Starts connecting; false with `error` when that cannot even begin.
    bool Open(const std::string& host, int port, void* owner, std::string& error);
    // Ends the connection at once; commands still waiting get a null reply.
    void Close();

    bool alive() const { return context_ != nullptr; }
    int fd() const;
    bool connected() const { return alive() && connected_; }
    std::chrono::steady_clock::time_point openedAt() const { return openedAt_; }
    // Why the last connection ended, as hiredis told.
    const std::string& error() const { return error_; }

    // The descriptor and events to poll for; nothing when the link is down.
    void AddPoll(std::vector<pollfd>& fds) const;
    void OnPoll(short revents);

    // Sends one command; its reply goes to `reply`. False when the link is down.
    bool Command(ReplyFn reply, void* privdata, std::initializer_list<std::string_view> args);

  private:
    struct Free {
        void operator()(redisAsyncContext* context) const;
    };
    static void AddRead(void* data);
    static void DelRead(void* data);
    static void AddWrite(void* data);
    static void DelWrite(void* data);
    static void Cleanup(void* data);
    static void Connected(const redisAsyncContext* context, int status);
    static void Disconnected(const redisAsyncContext* context, int status);

    // Owned until hiredis frees it itself, which Cleanup reports.
    std::unique_ptr<redisAsyncContext, Free> context_;
    bool connected_ = false;
    bool reading_ = false;
    bool writing_ = false;
    std::string error_;
    std::chrono::steady_clock::time_point openedAt_{};
};

}  // namespace tessel::relay
