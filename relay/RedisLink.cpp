// SPDX-License-Identifier: MIT

#include "relay/RedisLink.h"

#include <hiredis/async.h>
#include <hiredis/hiredis.h>

namespace tessel::relay {
namespace {

RedisLink* LinkOf(const redisAsyncContext* context) {
    return static_cast<RedisLink*>(context->ev.data);
}

}  // namespace

void RedisLink::Free::operator()(redisAsyncContext* context) const {
    redisAsyncFree(context);
}

RedisLink::~RedisLink() {
    Close();
}

bool RedisLink::Open(const std::string& host, int port, void* owner, std::string& error) {
    Close();
    connected_ = false;
    reading_ = false;
    writing_ = false;
    error_.clear();
    openedAt_ = std::chrono::steady_clock::now();
    redisAsyncContext* context = redisAsyncConnect(host.c_str(), port);
    if (context == nullptr) {
        error = "out of memory";
        return false;
    }
    if (context->err != 0) {
        error = context->errstr;
        redisAsyncFree(context);
        return false;
    }
    context_.reset(context);
    context->data = owner;
    context->ev.data = this;
    context->ev.addRead = AddRead;
    context->ev.delRead = DelRead;
    context->ev.addWrite = AddWrite;
    context->ev.delWrite = DelWrite;
    context->ev.cleanup = Cleanup;
    // The hooks must be in place first: setting the connect callback asks for a write event.
    redisAsyncSetConnectCallback(context, Connected);
    redisAsyncSetDisconnectCallback(context, Disconnected);
    return true;
}

void RedisLink::Close() {
    if (context_) {
        // hiredis runs Cleanup from inside, which lets go of the pointer.
        redisAsyncFree(context_.get());
    }
    context_.release();
    connected_ = false;
}

int RedisLink::fd() const {
    return context_ ? context_->c.fd : -1;
}

void RedisLink::AddPoll(std::vector<pollfd>& fds) const {
    if (!context_) {
        return;
    }
    short events = 0;
    if (reading_) {
        events |= POLLIN;
    }
    if (writing_) {
        events |= POLLOUT;
    }
    fds.push_back({context_->c.fd, events, 0});
}

void RedisLink::OnPoll(short revents) {
    if (context_ && (revents & (POLLIN | POLLHUP | POLLERR))) {
        redisAsyncHandleRead(context_.get());
    }
    // Reading may have ended the connection, and hiredis freed the context with it.
    if (context_ && (revents & (POLLOUT | POLLERR))) {
        redisAsyncHandleWrite(context_.get());
    }
}

bool RedisLink::Command(ReplyFn reply, void* privdata,
                        std::initializer_list<std::string_view> args) {
    if (!context_) {
        return false;
    }
    std::vector<const char*> argv;
    std::vector<std::size_t> lengths;
    argv.reserve(args.size());
    lengths.reserve(args.size());
    for (const std::string_view a : args) {
        argv.push_back(a.data());
        lengths.push_back(a.size());
    }
    return redisAsyncCommandArgv(context_.get(), reply, privdata, static_cast<int>(argv.size()),
                                 argv.data(), lengths.data()) == REDIS_OK;
}

void RedisLink::AddRead(void* data) {
    static_cast<RedisLink*>(data)->reading_ = true;
}
void RedisLink::DelRead(void* data) {
    static_cast<RedisLink*>(data)->reading_ = false;
}
void RedisLink::AddWrite(void* data) {
    static_cast<RedisLink*>(data)->writing_ = true;
}
void RedisLink::DelWrite(void* data) {
    static_cast<RedisLink*>(data)->writing_ = false;
}

void RedisLink::Cleanup(void* data) {
    RedisLink* link = static_cast<RedisLink*>(data);
    if (link->context_ && link->context_->err != 0) {
        link->error_ = link->context_->errstr;
    }
    link->context_.release();
    link->connected_ = false;
    link->reading_ = false;
    link->writing_ = false;
}

void RedisLink::Connected(const redisAsyncContext* context, int status) {
    RedisLink* link = LinkOf(context);
    if (status == REDIS_OK) {
        link->connected_ = true;
    } else {
        link->error_ = context->errstr;
    }
}

void RedisLink::Disconnected(const redisAsyncContext* context, int status) {
    RedisLink* link = LinkOf(context);
    link->connected_ = false;
    if (status != REDIS_OK && context->err != 0) {
        link->error_ = context->errstr;
    } else if (link->error_.empty()) {
        link->error_ = "connection closed";
    }
}

}  // namespace tessel::relay
