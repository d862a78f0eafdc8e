#pragma once

#include <span>
#include <string>
#include <string_view>

#include "relay/OutputQueue.h"
#include "relay/RequestReader.h"
#include "relay/UniqueFd.h"

namespace tessel::relay {

enum class ReadStatus {
    Data,     // bytes to serve
    Nothing,  // the socket had nothing after all
    Closed,   // the peer closed its side
    Failed,   // the socket is gone
};

// One client's socket with its request framing, the input it has not served yet and its
// bounded output queue.
class Connection {
  public:
    Connection(UniqueFd fd, std::string peer) : fd_(std::move(fd)), peer_(std::move(peer)) {}

    int fd() const { return fd_.get(); }
    bool open() const { return fd_.valid(); }
    const std::string& peer() const { return peer_; }
    int number() const { return number_; }
    void setNumber(int number) { number_ = number; }
    RequestReader& reader() { return reader_; }

    // The bytes to serve next: what was left unserved last time, or else one read from the
    // socket into `scratch`. `data` stays valid until the next call or Keep.
    ReadStatus Receive(std::span<char> scratch, std::string_view& data);
    // Keeps the unserved tail of the data Receive gave; the socket is not read again until
    // it has been served, so a client that sends faster than it is served is held back by
    // TCP instead of by our memory.
    void Keep(std::string_view rest);
    bool hasUnread() const { return !unread_.empty(); }

    // False when the bytes do not fit even after writing what the socket takes now: the
    // client is not reading.
    bool Enqueue(std::string_view bytes);
    WriteStatus Flush() { return output_.WriteTo(fd_.get()); }
    bool hasOutput() const { return !output_.empty(); }
    std::size_t queuedBytes() const { return output_.size(); }

    // Closes the socket at once; the object stays until the loop sweeps it away.
    void Close() { fd_.reset(); }

  private:
    UniqueFd fd_;
    std::string peer_;
    int number_ = 0;
    RequestReader reader_;
    std::string unread_;
    OutputQueue output_;
};

}  // namespace tessel::relay
