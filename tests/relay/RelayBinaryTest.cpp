// SPDX-License-Identifier: MIT

// The built tessel-relay as users run it: options, exit codes, signals, memory.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <gtest/gtest.h>

#include <csignal>

#include "RelayProcess.h"
#include "RelayTestClient.h"
#include "RelayWire.h"

namespace tessel::relay {
namespace {

using namespace std::chrono_literals;
using test::RelayProcess;
using test::RelayTestClient;
using test::ToServer;

constexpr auto kWait = test::kWait;

TEST(RelayBinary, HelpPrintsUsageAndSucceeds) {
    RelayProcess relay({"--help"});
    ASSERT_TRUE(relay.started());
    EXPECT_EQ(relay.WaitExit(kWait), 0);
    EXPECT_TRUE(relay.out().starts_with("usage: tessel-relay [--listen ADDR:PORT]"));
}

TEST(RelayBinary, ABadOptionIsAUsageError) {
    RelayProcess relay({"--max-clients", "5000"});
    EXPECT_EQ(relay.WaitExit(kWait), 2);
    EXPECT_EQ(relay.err(),
              "tessel-relay: invalid value '5000' for --max-clients (expected 1 to 999)\n"
              "Try 'tessel-relay --help'.\n");
}

TEST(RelayBinary, APortInUseIsAClearFailure) {
    // Hold a port ourselves.
    UniqueFd holder(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in where{};
    where.sin_family = AF_INET;
    where.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(holder.get(), reinterpret_cast<sockaddr*>(&where), sizeof where), 0);
    ASSERT_EQ(::listen(holder.get(), 1), 0);
    socklen_t length = sizeof where;
    ::getsockname(holder.get(), reinterpret_cast<sockaddr*>(&where), &length);
    const std::string port = std::to_string(ntohs(where.sin_port));

    RelayProcess relay({"--listen", "127.0.0.1:" + port});
    EXPECT_EQ(relay.WaitExit(kWait), 1);
    EXPECT_EQ(relay.err(),
              "tessel-relay: cannot listen on 127.0.0.1:" + port + ": Address already in use\n");
}

class RelayBinarySignal : public ::testing::TestWithParam<int> {};

TEST_P(RelayBinarySignal, StopsCleanly) {
    RelayProcess relay({"--listen", "127.0.0.1:0", "--seed", "3"});
    const std::optional<std::uint16_t> port = relay.Port(kWait);
    ASSERT_TRUE(port.has_value()) << relay.err();
    RelayTestClient client(*port);
    ASSERT_EQ(client.Welcome(), 1);
    ASSERT_TRUE(relay.WaitForError("client 1 connected from 127.0.0.1:", kWait));
    relay.Signal(GetParam());
    EXPECT_EQ(relay.WaitExit(kWait), 0);
    EXPECT_NE(relay.err().find("tessel-relay: stopping with 1 clients connected\n"),
              std::string::npos);
    EXPECT_TRUE(client.WaitClosed());
}

INSTANTIATE_TEST_SUITE_P(RelayBinary, RelayBinarySignal, ::testing::Values(SIGINT, SIGTERM),
                         [](const ::testing::TestParamInfo<int>& info) {
                             return info.param == SIGINT ? "Interrupt" : "Terminate";
                         });

TEST(RelayBinary, MemoryStaysBoundedUnderAbuse) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the sanitizer's own bookkeeping dominates the resident size";
#endif
    RelayProcess relay({"--listen", "127.0.0.1:0", "--max-clients", "999"});
    const std::optional<std::uint16_t> port = relay.Port(kWait);
    ASSERT_TRUE(port.has_value()) << relay.err();
    for (int i = 0; i < 2000; ++i) {
        RelayTestClient c(*port);
        ASSERT_GT(c.Welcome(), 0);
    }
    for (int i = 0; i < 20; ++i) {
        RelayTestClient c(*port);
        c.Welcome();
        c.Send("TesseraRELAY 0.2\ntoServer\n" + std::string(1 << 20, 'x'));
        EXPECT_TRUE(c.WaitClosed());
    }
    // Many connections each holding a partial message at the caps.
    std::vector<std::unique_ptr<RelayTestClient>> holders;
    for (int i = 0; i < 200; ++i) {
        auto c = std::make_unique<RelayTestClient>(*port);
        c->Welcome();
        std::string header = "TesseraRELAY 0.2\ntoServer\nSENDMESG *\n";
        for (int line = 3; line < 31; ++line) {
            header += "Date: " + std::string(1000, 'd') + "\n";
        }
        c->Send(header + "Content-length: 4096\n\n" + std::string(4000, 'b'));
        holders.push_back(std::move(c));
    }
    RelayTestClient last(*port);
    ASSERT_GT(last.Welcome(), 0);
    last.Send(ToServer("GETUSER", "done"));
    ASSERT_TRUE(last.NextCommand("PUTUSER").has_value());
    const std::optional<long> peak = relay.StatusKb("VmHWM");
    ASSERT_TRUE(peak.has_value());
    // 200 connections at their caps hold about 200 * 40 KiB; the relay itself a few MiB.
    EXPECT_LT(*peak, 48 * 1024) << "peak resident size " << *peak << " kB";
    RecordProperty("relay_vmhwm_kb", std::to_string(*peak));
}

}  // namespace
}  // namespace tessel::relay
