// SPDX-License-Identifier: MIT

// tessel-relay's request handling fed by three clients whose streams are the input, in
// interleaved pieces: every message it sends is framed as a client reads it, announces no
// body longer than a client takes, goes only to connected clients, and the same input gives
// the same output.
#include <map>
#include <set>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "relay/RelayLimits.h"
#include "relay/RequestHandler.h"

namespace tessel::relay {
namespace {

using fuzz::SplitMix;

constexpr int kClients = 3;

// The header lines and body of one sent message, checked for a client's reader.
void CheckFraming(const std::string& bytes) {
    FUZZ_CHECK(bytes.substr(0, 12) == "TesseraRELAY");
    const std::size_t headerEnd = bytes.find("\n\n");
    FUZZ_CHECK(headerEnd != std::string::npos);
    FUZZ_CHECK(headerEnd < 1024);
    std::size_t announced = 0;
    for (std::size_t at = bytes.find('\n'); at < headerEnd; at = bytes.find('\n', at + 1)) {
        const std::string_view line = std::string_view(bytes).substr(at + 1);
        if (line.substr(0, 16) == "Content-length: ") {
            announced = std::stoul(std::string(line.substr(16, line.find('\n') - 16)));
        }
    }
    FUZZ_CHECK(announced <= kMaxBodyBytes);
    FUZZ_CHECK(bytes.size() - headerEnd - 2 == announced);
}

std::vector<std::string> Run(std::string_view input) {
    const auto streams = fuzz::Parts(input, kClients);
    RelayConfig config;
    config.seed = 1;
    RequestHandler handler(config, std::make_unique<SeededDice>(1));
    Clock::time_point now{};
    std::vector<std::string> log;
    std::map<int, int> numberOf;  // stream index -> client number
    std::set<int> connected;

    auto deliver = [&](Output& output) {
        for (const Delivery& delivery : PerRecipient(std::move(output)).deliveries) {
            FUZZ_CHECK(connected.count(delivery.to) == 1);
            CheckFraming(delivery.bytes);
            log.push_back(std::to_string(delivery.to) + ":" + delivery.bytes);
        }
        output = Output();
    };

    Output out;
    for (int i = 0; i < kClients; ++i) {
        const auto number = handler.Connect(now, out);
        FUZZ_CHECK(number.has_value());
        numberOf[i] = *number;
        connected.insert(*number);
        deliver(out);
    }

    std::vector<RequestReader> readers(kClients);
    std::vector<std::string_view> left(streams.begin(), streams.end());
    SplitMix random(input);
    for (int turn = 0; turn < 4096; ++turn) {
        const int i = static_cast<int>(random.Below(kClients));
        if (left[i].empty() || !connected.count(numberOf[i])) {
            bool any = false;
            for (int j = 0; j < kClients; ++j) {
                any = any || (!left[j].empty() && connected.count(numberOf[j]));
            }
            if (!any) {
                break;
            }
            continue;
        }
        const std::size_t n = 1 + random.Below(std::min<std::size_t>(left[i].size(), 512));
        std::string_view piece = left[i].substr(0, n);
        left[i].remove_prefix(n);
        while (!piece.empty() && connected.count(numberOf[i])) {
            auto event = readers[i].Next(piece);
            if (!event) {
                break;
            }
            Request request = event->kind == ReaderEventKind::Message
                                  ? ParseRequest(std::move(event->message))
                                  : NoiseRequest(event->reason);
            if (event->kind == ReaderEventKind::Broken) {
                request.malformed = ResponseCode::BadParameter;
            }
            handler.Handle(numberOf[i], request, now, out);
            const bool close = out.closeSender || event->kind == ReaderEventKind::Broken;
            deliver(out);
            if (close) {
                connected.erase(numberOf[i]);
                handler.Disconnect(numberOf[i], out);
                deliver(out);
            }
        }
        now += std::chrono::milliseconds(random.Below(2000));
        std::vector<int> silent;
        handler.Tick(now, silent, out);
        deliver(out);
        for (const int number : silent) {
            connected.erase(number);
            handler.Disconnect(number, out);
            deliver(out);
        }
    }
    FUZZ_CHECK(handler.users().count() <= kClients);
    return log;
}

}  // namespace
}  // namespace tessel::relay

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tessel;
    const std::string_view input = fuzz::AsText(data, size);
    const auto first = relay::Run(input);
    FUZZ_CHECK(relay::Run(input) == first);
    return 0;
}
