// SPDX-License-Identifier: MIT

// The messages relays of a group exchange through Redis: what one relay writes the others
// read back unchanged, and anything outside the bounds a client's own request must meet is
// refused, whoever published it.

#include "relay/GroupWire.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace tessel::relay {
namespace {

GroupMessage Say() {
    GroupMessage m;
    m.kind = GroupKind::Say;
    m.relay = "relay-1";
    m.where = "#table";
    m.handle = "alice";
    m.type = ContentType::Binary;
    m.body = std::string("CC FILESEND x\0\n\xff", 16);
    return m;
}

GroupMessage Show() {
    GroupMessage m;
    m.kind = GroupKind::Show;
    m.relay = "relay.2";
    m.where = "#table";
    m.handle = "bob";
    m.count = 3;
    m.sides = 6;
    m.rule = 1;
    m.parameter = 128;
    m.id = "0+0:note";
    m.secret = true;
    m.body = "6\n2\n3\n0\n4\n1\n1\n";
    return m;
}

GroupMessage State() {
    GroupMessage m;
    m.kind = GroupKind::State;
    m.relay = "r_3";
    m.users = {{"alice", "#table", "a.example", true}, {"bob", "", "b", false}};
    return m;
}

void ExpectSame(const GroupMessage& a, const GroupMessage& b) {
    EXPECT_EQ(a.kind, b.kind);
    EXPECT_EQ(a.relay, b.relay);
    EXPECT_EQ(a.where, b.where);
    EXPECT_EQ(a.handle, b.handle);
    EXPECT_EQ(a.type, b.type);
    EXPECT_EQ(a.body, b.body);
    EXPECT_EQ(a.count, b.count);
    EXPECT_EQ(a.sides, b.sides);
    EXPECT_EQ(a.rule, b.rule);
    EXPECT_EQ(a.parameter, b.parameter);
    EXPECT_EQ(a.id, b.id);
    EXPECT_EQ(a.secret, b.secret);
    EXPECT_EQ(a.users, b.users);
}

TEST(GroupWire, EveryKindReadsBackAsWritten) {
    GroupMessage tell = Say();
    tell.kind = GroupKind::Tell;
    tell.where = "carol";
    GroupMessage sync;
    sync.kind = GroupKind::Sync;
    sync.relay = "r";
    GroupMessage bye = sync;
    bye.kind = GroupKind::Bye;
    GroupMessage empty = State();
    empty.users.clear();
    GroupMessage noId = Show();
    noId.id.clear();
    for (const GroupMessage& m : {Say(), tell, Show(), noId, State(), empty, sync, bye}) {
        std::string why;
        const std::optional<GroupMessage> back = ParseGroupMessage(EncodeGroupMessage(m), why);
        ASSERT_TRUE(back.has_value()) << why << "\n" << EncodeGroupMessage(m);
        ExpectSame(*back, m);
    }
}

struct Hostile {
    const char* what;
    std::string bytes;
};

void PrintTo(const Hostile& h, std::ostream* os) {
    *os << h.what;
}

class GroupWireRefuses : public ::testing::TestWithParam<Hostile> {};

TEST_P(GroupWireRefuses, Message) {
    std::string why;
    EXPECT_FALSE(ParseGroupMessage(GetParam().bytes, why).has_value());
    EXPECT_FALSE(why.empty());
}

std::string WithBody(std::size_t bytes) {
    return "tessel1 say r\n#t\nh\n4\n" + std::string(bytes, 'x');
}

INSTANTIATE_TEST_SUITE_P(
    GroupWire, GroupWireRefuses,
    ::testing::Values(
        Hostile{"empty", ""}, Hostile{"no line end", "tessel1 sync r"},
        Hostile{"other magic", "tessel2 sync r\n"}, Hostile{"unknown kind", "tessel1 kick r\n"},
        Hostile{"bad relay name", "tessel1 sync r/1\n"},
        Hostile{"long relay name", "tessel1 sync " + std::string(41, 'r') + "\n"},
        Hostile{"extra word", "tessel1 sync r x\n"},
        Hostile{"sync with a body", "tessel1 sync r\nx"},
        Hostile{"say without a type", "tessel1 say r\n#t\nh\n"},
        Hostile{"say to no channel", "tessel1 say r\nt\nh\n4\nhi"},
        Hostile{"say with a space in the handle", "tessel1 say r\n#t\nh h\n4\nhi"},
        Hostile{"say with an escape in the handle", "tessel1 say r\n#t\nh\x1b\n4\nhi"},
        Hostile{"say with a long handle", "tessel1 say r\n#t\n" + std::string(64, 'h') + "\n4\nhi"},
        Hostile{"say with a type that is no number", "tessel1 say r\n#t\nh\nx\nhi"},
        Hostile{"say past 4096 bytes", WithBody(4097)},
        Hostile{"tell to an empty handle", "tessel1 tell r\n\nh\n4\nhi"},
        Hostile{"show of 0 dice", "tessel1 show r\n#t\nh\n0 6 0 0 0\nid\n1\n"},
        Hostile{"show of 256 sides", "tessel1 show r\n#t\nh\n1 256 0 0 0\nid\n1\n"},
        Hostile{"show with a parameter past 255", "tessel1 show r\n#t\nh\n1 6 0 256 0\nid\n1\n"},
        Hostile{"show neither open nor secret", "tessel1 show r\n#t\nh\n1 6 0 0 2\nid\n1\n"},
        Hostile{"show with a server ID", "tessel1 show r\n#t\nh\n1 6 0 0 0\ns***001\n1\n"},
        Hostile{"show with a control byte in the ID",
                "tessel1 show r\n#t\nh\n1 6 0 0 0\ni\x07\n1\n"},
        Hostile{"show with letters for dice", "tessel1 show r\n#t\nh\n1 6 0 0 0\nid\nsix\n"},
        Hostile{"show with a die of 8 digits", "tessel1 show r\n#t\nh\n1 6 0 0 0\nid\n12345678\n"},
        Hostile{"show with an unended die", "tessel1 show r\n#t\nh\n1 6 0 0 0\nid\n1"},
        Hostile{"state with three words", "tessel1 state r\nh #t a\n"},
        Hostile{"state with a channel without #", "tessel1 state r\nh t a 0\n"},
        Hostile{"state with attribute 2", "tessel1 state r\nh #t a 2\n"},
        Hostile{"state with an unended line", "tessel1 state r\nh #t a 0"}),
    [](const ::testing::TestParamInfo<Hostile>& info) {
        std::string name;
        for (const char c : std::string(info.param.what)) {
            name.push_back(std::isalnum(static_cast<unsigned char>(c)) ? c : '_');
        }
        return name;
    });

TEST(GroupWire, AStateOfMoreUsersThanARelayCanHaveIsRefused) {
    std::string bytes = "tessel1 state r\n";
    for (int i = 0; i < 1000; ++i) {
        bytes += "u" + std::to_string(i) + " - a 0\n";
    }
    std::string why;
    EXPECT_FALSE(ParseGroupMessage(bytes, why).has_value());
    bytes.resize(bytes.rfind("u999"));
    EXPECT_EQ(ParseGroupMessage(bytes, why)->users.size(), 999u);
}

TEST(GroupWire, RelayNames) {
    for (const char* good : {"a", "relay-1", "host.example_2", "ABC"}) {
        EXPECT_TRUE(ValidRelayName(good)) << good;
    }
    for (const std::string& bad : {std::string(), std::string("a b"), std::string("a:b"),
                                   std::string(41, 'x'), std::string("r\n")}) {
        EXPECT_FALSE(ValidRelayName(bad)) << bad;
    }
}

}  // namespace
}  // namespace tessel::relay
