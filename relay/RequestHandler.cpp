// SPDX-License-Identifier: MIT

#include "relay/RequestHandler.h"

#include <algorithm>
#include <iterator>

#include "protocol/Words.h"

namespace tessel::relay {
namespace {

// Control bytes in a name would break the client's user list lines or its log.
bool HasControlBytes(std::string_view text) {
    return std::any_of(text.begin(), text.end(), [](char c) {
        const auto b = static_cast<unsigned char>(c);
        return b < 0x20 || b == 0x7F;
    });
}

bool IsDigits(std::string_view word) {
    return !word.empty() &&
           std::all_of(word.begin(), word.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// A plain decimal number from `low` to `high`.
std::optional<int> Number(std::string_view word, int low, int high) {
    if (!IsDigits(word) || word.size() > 6) {
        return std::nullopt;
    }
    const int value = ReadDecimal(word);
    if (value < low || value > high) {
        return std::nullopt;
    }
    return value;
}

// Dice text as the client sends it back: lines of one to seven digits, each ended by a
// line feed.
bool IsDiceText(std::string_view text) {
    while (!text.empty()) {
        const std::size_t feed = text.find('\n');
        if (feed == std::string_view::npos) {
            return false;
        }
        const std::string_view value = text.substr(0, feed);
        if (!IsDigits(value) || value.size() > kMaxDieValueDigits) {
            return false;
        }
        text.remove_prefix(feed + 1);
    }
    return true;
}

}  // namespace

const RequestHandler::Route RequestHandler::kRoutes[] = {
    {CommandCode::Open, &RequestHandler::Open},
    {CommandCode::Join, &RequestHandler::Join},
    {CommandCode::Close, &RequestHandler::Close},
    {CommandCode::Mode, &RequestHandler::Mode},
    {CommandCode::Roll, &RequestHandler::Roll},
    {CommandCode::ReRoll, &RequestHandler::Roll},
    {CommandCode::FakeRoll, &RequestHandler::Roll},
    {CommandCode::SendMesg, &RequestHandler::SendMesg},
    {CommandCode::GetUser, &RequestHandler::GetUser},
    {CommandCode::List, &RequestHandler::List},
    {CommandCode::Operate, &RequestHandler::Operate},
    {CommandCode::Response, &RequestHandler::Response},
};

RequestHandler::RequestHandler(const RelayConfig& config, std::unique_ptr<DiceSource> dice)
    : groupName_(config.redisHost ? config.relayName : std::string()),
      writer_(config.crlf),
      dice_(std::move(dice)),
      users_(config.maxClients),
      probes_(config.probeInterval, config.probeTimeout) {}

Outcome PerRecipient(Output output) {
    Outcome outcome;
    for (const Outgoing& m : output.messages) {
        for (const int to : m.to) {
            outcome.deliveries.push_back({to, m.message.For(to)});
        }
    }
    outcome.closeSender = output.closeSender;
    outcome.refusal = std::move(output.refusal);
    return outcome;
}

std::optional<int> RequestHandler::Connect(Clock::time_point now, Output& out) {
    const std::optional<int> number = users_.Admit();
    if (number) {
        Probe(*number, out);
        probes_.Start(*number, now);
    }
    return number;
}

std::optional<int> RequestHandler::Connect(Clock::time_point now, Outcome& out) {
    Output output;
    const std::optional<int> number = Connect(now, output);
    Outcome laidOut = PerRecipient(std::move(output));
    std::move(laidOut.deliveries.begin(), laidOut.deliveries.end(),
              std::back_inserter(out.deliveries));
    return number;
}

void RequestHandler::Handle(int from, const Request& request, Clock::time_point now, Output& out) {
    if (!users_.active(from)) {
        return;
    }
    Turn turn{from, request, now, out, users_.at(from)};
    if (request.malformed) {
        Refuse(turn, *request.malformed, request.problem);
        return;
    }
    for (const Route& route : kRoutes) {
        if (route.code == request.code) {
            (this->*route.serve)(turn);
            return;
        }
    }
    Refuse(turn, ResponseCode::BadCommand, "not a request");
}

Outcome RequestHandler::Handle(int from, const Request& request, Clock::time_point now) {
    Output out;
    Handle(from, request, now, out);
    return PerRecipient(std::move(out));
}

void RequestHandler::Disconnect(int number, Output& out) {
    Leave(number, out);
}

Outcome RequestHandler::Disconnect(int number) {
    Output out;
    Leave(number, out);
    return PerRecipient(std::move(out));
}

void RequestHandler::Tick(Clock::time_point now, std::vector<int>& silent, Output& out) {
    ProbeSchedule::Due due = probes_.Collect(now);
    for (const int n : due.probe) {
        Probe(n, out);
    }
    silent = std::move(due.silent);
}

Outcome RequestHandler::Tick(Clock::time_point now, std::vector<int>& silent) {
    Output out;
    Tick(now, silent, out);
    return PerRecipient(std::move(out));
}

void RequestHandler::Open(Turn& turn) {
    const std::string_view address = WordAt(turn.request.line, 1);
    const std::string_view handle = WordAt(turn.request.line, 2);
    if (handle.empty()) {
        return Refuse(turn, ResponseCode::BadParameter, "no handle");
    }
    if (handle.size() > kMaxNameBytes || address.size() > kMaxNameBytes) {
        return Refuse(turn, ResponseCode::BadParameter, "handle or address longer than 63 bytes");
    }
    if (HasControlBytes(handle) || HasControlBytes(address)) {
        return Refuse(turn, ResponseCode::BadParameter, "control byte in handle or address");
    }
    if (const std::optional<int> owner = users_.FindHandle(handle); owner && *owner != turn.from) {
        return Refuse(turn, ResponseCode::HandleTaken, "handle in use");
    }
    if (turn.request.handleTakenElsewhere || !peers_.FindHandle(handle).empty()) {
        return Refuse(turn, ResponseCode::HandleTaken, "handle in use on another relay");
    }
    turn.out.usersChanged = true;
    turn.sender.handle = std::string(handle);
    turn.sender.address = std::string(address);
    Answer(turn, ResponseLine(ResponseCode::Accepted), ContentType::Euc,
           "OPEN " + turn.sender.handle);
    BroadcastUsers(turn.out);
}

void RequestHandler::Join(Turn& turn) {
    if (!turn.sender.registered()) {
        return Refuse(turn, ResponseCode::NoHandle, "no handle yet");
    }
    const std::string_view channel = WordAt(turn.request.line, 1);
    if (channel.size() < kMinChannelBytes || channel.size() > kMaxNameBytes ||
        channel.front() != '#' || HasControlBytes(channel)) {
        return Refuse(turn, ResponseCode::BadParameter,
                      "channel must start with # and have 2 to 63 bytes");
    }
    turn.out.usersChanged = true;
    turn.sender.channel = std::string(channel);
    Answer(turn, ResponseLine(ResponseCode::Accepted), ContentType::Euc,
           "JOIN " + turn.sender.channel);
    BroadcastUsers(turn.out);
}

void RequestHandler::Close(Turn& turn) {
    turn.out.closeSender = true;
    Leave(turn.from, turn.out);
}

void RequestHandler::Mode(Turn& turn) {
    const std::string_view mode = WordAt(turn.request.line, 1);
    const bool dice = mode == "+o" || mode == "-o";
    const bool master = mode == "+m" || mode == "-m";
    if (!dice && !master) {
        return Refuse(turn, ResponseCode::BadParameter, "mode is not +o, -o, +m or -m");
    }
    if (!turn.sender.registered()) {
        return Refuse(turn, ResponseCode::NoHandle, "no handle yet");
    }
    if (dice) {
        turn.sender.secretDice = mode == "-o";
        Answer(turn, ResponseLine(ResponseCode::Ok));
        return;
    }
    turn.out.usersChanged = true;
    turn.sender.master = mode == "+m";
    Answer(turn, ResponseLine(ResponseCode::Ok));
    BroadcastUsers(turn.out);
}

void RequestHandler::Roll(Turn& turn) {
    const Request& request = turn.request;
    if (turn.sender.channel.empty()) {
        return Refuse(turn, ResponseCode::NoChannel, "not in a channel");
    }
    const std::optional<int> count = Number(WordAt(request.line, 1), 1, kMaxDice);
    const std::optional<int> sides = Number(WordAt(request.line, 2), 1, kMaxSides);
    // A missing rule or parameter reads as 0, as the client's own number reading does.
    const std::string_view ruleWord = WordAt(request.line, 3);
    const std::string_view parameterWord = WordAt(request.line, 4);
    const std::optional<int> rule = ruleWord.empty() ? 0 : Number(ruleWord, 0, kMaxRule);
    const std::optional<int> parameter =
        parameterWord.empty() ? 0 : Number(parameterWord, 0, kMaxRuleParameter);
    if (!count || !sides) {
        return Refuse(turn, ResponseCode::BadParameter, "dice count and sides must be 1 to 255");
    }
    if (!rule || !parameter) {
        return Refuse(turn, ResponseCode::BadParameter,
                      "rule must be 0 to 255 and its parameter 0 to 127");
    }
    // The roll's ID goes to every recipient unchanged; a server-assigned form would make
    // each of them take the roller's number for its own.
    if (request.id.starts_with("s***")) {
        return Refuse(turn, ResponseCode::BadParameter, "a roll cannot carry a server ID");
    }
    // Its note is shown and logged by every recipient: no control bytes may ride in it.
    if (HasControlBytes(request.id)) {
        return Refuse(turn, ResponseCode::BadParameter, "a roll ID cannot hold control bytes");
    }

    const DiceRoll roll{*count, *sides, *rule, *parameter};
    int shownParameter = *parameter;
    std::string dice;
    if (request.code == CommandCode::FakeRoll) {
        if (request.body.empty() || !IsDiceText(request.body)) {
            return Refuse(turn, ResponseCode::BadParameter, "fake dice must be lines of digits");
        }
        dice = request.body;
    } else if (request.code == CommandCode::ReRoll) {
        if (!IsDiceText(request.body)) {
            return Refuse(turn, ResponseCode::BadParameter,
                          "previous dice must be lines of digits");
        }
        const std::size_t used = request.body.size() + 2;  // the previous dice and the "0" line
        const std::optional<std::string> rounds =
            used <= kMaxBodyBytes ? RollRounds(roll, *dice_, kMaxBodyBytes - used) : std::nullopt;
        if (!rounds) {
            return Refuse(turn, ResponseCode::BadParameter,
                          "previous dice leave no room for a new round");
        }
        dice = request.body + "0\n" + *rounds;
        shownParameter += kRerollFlag;
    } else {
        dice = RollRounds(roll, *dice_, kMaxBodyBytes).value_or("");
    }

    const std::string command = "SHOW " + std::to_string(*count) + " " + std::to_string(*sides) +
                                " " + turn.sender.handle + " " + std::to_string(*rule) + " " +
                                std::to_string(shownParameter);
    Outgoing show{request.id.empty()
                      ? writer_.WriteForEach(command, ContentType::Result, dice)
                      : writer_.WriteShared(command, request.id, ContentType::Result, dice),
                  users_.Members(turn.sender.channel)};
    if (turn.sender.secretDice) {
        std::erase_if(show.to, [&](int to) { return to != turn.from && !users_.at(to).master; });
    }
    turn.out.messages.push_back(std::move(show));
    if (!groupName_.empty()) {
        GroupMessage shown;
        shown.kind = GroupKind::Show;
        shown.where = turn.sender.channel;
        shown.handle = turn.sender.handle;
        shown.count = *count;
        shown.sides = *sides;
        shown.rule = *rule;
        shown.parameter = shownParameter;
        shown.secret = turn.sender.secretDice;
        shown.id = request.id;
        shown.body = std::move(dice);
        Publish(turn.out, false, turn.sender.channel, shown);
    }
}

void RequestHandler::SendMesg(Turn& turn) {
    const std::string_view target = WordAt(turn.request.line, 1);
    std::vector<int> recipients;
    if (target == "*") {
        if (turn.sender.channel.empty()) {
            return Refuse(turn, ResponseCode::NoChannel, "not in a channel");
        }
        recipients = users_.Members(turn.sender.channel);
        if (!groupName_.empty()) {
            GroupMessage said;
            said.kind = GroupKind::Say;
            said.where = turn.sender.channel;
            said.handle = turn.sender.handle;
            said.type = turn.request.contentType;
            said.body = turn.request.body.substr(0, kMaxBodyBytes);
            Publish(turn.out, false, turn.sender.channel, said);
        }
    } else {
        if (!turn.sender.registered()) {
            return Refuse(turn, ResponseCode::NoHandle, "no handle yet");
        }
        const std::optional<int> to = users_.FindHandle(target);
        const std::string relay = to ? std::string() : peers_.FindHandle(target);
        if (!to && relay.empty()) {
            return Refuse(turn, ResponseCode::BadParameter, "no user with that handle");
        }
        if (to) {
            recipients.push_back(*to);
        } else {
            GroupMessage told;
            told.kind = GroupKind::Tell;
            told.where = std::string(target);
            told.handle = turn.sender.handle;
            told.type = turn.request.contentType;
            told.body = turn.request.body.substr(0, kMaxBodyBytes);
            Publish(turn.out, true, relay, told);
        }
        if (to != turn.from) {
            recipients.push_back(turn.from);
        }
    }
    turn.out.messages.push_back({writer_.WriteForEach("SHOWMESG " + turn.sender.handle,
                                                      turn.request.contentType, turn.request.body),
                                 std::move(recipients)});
}

void RequestHandler::GetUser(Turn& turn) {
    Answer(turn, "PUTUSER", ContentType::Euc, UserListBody());
}

void RequestHandler::List(Turn& turn) {
    Answer(turn, "PUTCHANNEL", ContentType::Euc, users_.ChannelListBody(peers_.ChannelCounts()));
}

void RequestHandler::Operate(Turn& turn) {
    Refuse(turn, ResponseCode::NotAccepted, "OPERATE is not served");
}

void RequestHandler::Response(Turn& turn) {
    // Answers are never answered: two programs that did so could ping-pong forever.
    const std::string_view code = WordAt(turn.request.line, 1);
    const std::optional<int> number = Number(WordAt(turn.request.line, 2), 1, kMaxClientNumber);
    if (code == "000" && number == turn.from) {
        probes_.Answer(turn.from, turn.now);
    }
}

void RequestHandler::Answer(Turn& turn, std::string_view command, ContentType type,
                            std::string_view body) {
    const std::string id = turn.request.id.empty() ? ServerId(turn.from) : turn.request.id;
    turn.out.messages.push_back({writer_.WriteShared(command, id, type, body), {turn.from}});
}

void RequestHandler::Refuse(Turn& turn, ResponseCode code, std::string_view why) {
    Answer(turn, ResponseLine(code));
    turn.out.refusal = ResponseLine(code) + " (" + std::string(why) + ")";
}

void RequestHandler::Probe(int number, Output& out) {
    out.messages.push_back(
        {writer_.WriteShared("READY " + std::to_string(number), ServerId(number)), {number}});
}

void RequestHandler::BroadcastUsers(Output& out) {
    std::string body = UserListBody();
    if (body == broadcastUsers_) {
        return;
    }
    broadcastUsers_ = std::move(body);
    out.messages.push_back({writer_.WriteForEach("PUTUSER", ContentType::Euc, broadcastUsers_),
                            users_.connected(), true});
}

void RequestHandler::Leave(int number, Output& out) {
    if (!users_.active(number)) {
        return;
    }
    const bool listed = users_.at(number).registered();
    users_.Release(number);
    probes_.Stop(number);
    if (listed) {
        out.usersChanged = true;
        BroadcastUsers(out);
    }
}

std::string RequestHandler::UserListBody() const {
    if (peers_.relays().empty()) {
        return users_.UserListBody();
    }
    // Relays by name, each one's users in its connection order: every relay of the group
    // lists the same users in the same order.
    UserListBuilder list;
    bool localDone = false;
    const auto addLocal = [&] {
        localDone = true;
        for (const int n : users_.connected()) {
            const ClientRecord& r = users_.at(n);
            if (r.registered() && !list.Add(r.handle, r.channel, r.address, r.master)) {
                return false;
            }
        }
        return true;
    };
    for (const auto& [relay, users] : peers_.relays()) {
        if (!localDone && groupName_ < relay && !addLocal()) {
            return list.Finish();
        }
        for (const GroupUser& u : users) {
            if (!list.Add(u.handle, u.channel, u.address, u.master)) {
                return list.Finish();
            }
        }
    }
    if (!localDone) {
        addLocal();
    }
    return list.Finish();
}

std::vector<GroupUser> RequestHandler::LocalUsers() const {
    std::vector<GroupUser> users;
    for (const int n : users_.connected()) {
        const ClientRecord& r = users_.at(n);
        if (r.registered()) {
            users.push_back({r.handle, r.channel, r.address, r.master});
        }
    }
    return users;
}

void RequestHandler::Publish(Output& out, bool toRelay, std::string where,
                             const GroupMessage& message) const {
    GroupMessage stamped = message;
    stamped.relay = groupName_;
    out.publications.push_back({toRelay, std::move(where), EncodeGroupMessage(stamped)});
}

void RequestHandler::FromGroup(const GroupMessage& m, Output& out) {
    if (groupName_.empty() || m.relay == groupName_) {
        return;  // our own traffic was delivered here when it was sent
    }
    switch (m.kind) {
        case GroupKind::Say:
            out.messages.push_back({writer_.WriteForEach("SHOWMESG " + m.handle, m.type, m.body),
                                    users_.Members(m.where)});
            break;
        case GroupKind::Tell: {
            const std::optional<int> to = users_.FindHandle(m.where);
            if (to) {
                out.messages.push_back(
                    {writer_.WriteForEach("SHOWMESG " + m.handle, m.type, m.body), {*to}});
            }
            break;
        }
        case GroupKind::Show: {
            const std::string command = "SHOW " + std::to_string(m.count) + " " +
                                        std::to_string(m.sides) + " " + m.handle + " " +
                                        std::to_string(m.rule) + " " + std::to_string(m.parameter);
            Outgoing show{m.id.empty()
                              ? writer_.WriteForEach(command, ContentType::Result, m.body)
                              : writer_.WriteShared(command, m.id, ContentType::Result, m.body),
                          users_.Members(m.where)};
            if (m.secret) {
                std::erase_if(show.to, [&](int to) { return !users_.at(to).master; });
            }
            out.messages.push_back(std::move(show));
            break;
        }
        case GroupKind::State:
        case GroupKind::Sync:
        case GroupKind::Bye:
            break;  // the group's own bookkeeping
    }
}

void RequestHandler::ReplacePeer(const std::string& relay, std::vector<GroupUser> users,
                                 Output& out) {
    if (relay != groupName_ && peers_.Replace(relay, std::move(users))) {
        BroadcastUsers(out);
    }
}

void RequestHandler::RemovePeer(std::string_view relay, Output& out) {
    if (peers_.Remove(relay)) {
        BroadcastUsers(out);
    }
}

void RequestHandler::ClearPeers(Output& out) {
    if (!peers_.relays().empty()) {
        peers_.Clear();
        BroadcastUsers(out);
    }
}

}  // namespace tessel::relay
