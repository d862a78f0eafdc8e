// SPDX-License-Identifier: MIT

// A server's stream through the message reader into received-message dispatch, with file and
// sound receiving on and the receive directory holding the program's own files: every line
// shown carries only the program's own colour markers, no file outside the receive directory
// or of the program's own is touched, and answers stay within a request's header.
#include <string>

#include "DisplayChecks.h"
#include "ReceiveFixture.h"
#include "connection/ConnectionState.h"
#include "connection/MessageReader.h"
#include "session/Dispatcher.h"

namespace tessel::fuzz {
namespace {

class CountingFrontEnd : public QuietFrontEnd {
  public:
    void UserListRefresh() override { ++refreshes; }
    int refreshes = 0;
};

std::string IniText(const std::string& receiveDirectory) {
    return "[Options]\nisrecvfile=1\nisrecvwave=1\nsavefiledir=" + receiveDirectory + "\n";
}

}  // namespace
}  // namespace tessel::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tessel;
    using namespace tessel::fuzz;
    // The receive directory is the working directory itself, beside tessel.ini and the key
    // file, spelt with a "./" in it.
    static ReceiveFixture fixture([](const std::string& work) { return IniText(work + "/./"); });
    static const auto settings = [] {
        auto opened = Settings::Open(fixture.work());
        FUZZ_CHECK(opened.has_value());
        FUZZ_CHECK(opened->GetInt(SettingKey::isrecvfile) == 1);
        return *opened;
    }();

    ResetProtocolState();
    ResetConnectionState();
    CountingFrontEnd frontEnd;
    DisplayQueue display(frontEnd);
    UserTable users;
    CheckingSoundPlayer player(settings.WaveDirectory());
    std::size_t answers = 0;
    Dispatcher dispatcher{Dispatcher::Services{display, frontEnd, users, &settings, &player,
                                               [&](std::string_view bytes) {
                                                   FUZZ_CHECK(bytes.size() < kHeaderAreaSize);
                                                   ++answers;
                                                   return true;
                                               },
                                               [] {}, &fixture.own()}};

    MessageReader reader;
    const MessageReader::Clock::time_point now{};
    reader.Feed(AsText(data, size), now);
    reader.EndOfStream();
    ProtocolMessage message;
    std::size_t messages = 0;
    while (reader.Next(message, now)) {
        dispatcher.OnMessage(message);
        ++messages;
        DrainChecked(display);
        for (const UserEntry& row : users.Snapshot()) {
            FUZZ_CHECK(row.handle.data()[kNameFieldSize - 1] == '\0');
            FUZZ_CHECK(row.channel.data()[kNameFieldSize - 1] == '\0');
        }
    }
    FUZZ_CHECK(answers <= messages);
    // Once per input: a write outside the directory or to an own file is never undone later.
    fixture.Check();
    fixture.Clean();
    return 0;
}
