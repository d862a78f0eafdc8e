// SPDX-License-Identifier: MIT

#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "relay/UniqueFd.h"

namespace tessel::relay {

enum class AcceptStatus {
    Accepted,
    None,       // nobody is waiting
    Exhausted,  // the process or system is out of descriptors or memory for now
};

struct Accepted {
    AcceptStatus status = AcceptStatus::None;
    UniqueFd fd;       // non-blocking
    std::string peer;  // "address:port"
    int error = 0;     // errno when Exhausted
};

// The listening socket (IPv4, non-blocking).
class Listener {
  public:
    // Binds and listens; on failure `error` says why and nothing is returned.
    static std::optional<Listener> Open(const std::string& address, std::uint16_t port,
                                        std::string& error);

    int fd() const { return fd_.get(); }
    std::uint16_t port() const { return port_; }

    Accepted Accept();

  private:
    Listener(UniqueFd fd, std::uint16_t port) : fd_(std::move(fd)), port_(port) {}

    UniqueFd fd_;
    std::uint16_t port_ = 0;
};

}  // namespace tessel::relay
