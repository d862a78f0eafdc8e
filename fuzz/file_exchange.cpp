// SPDX-License-Identifier: MIT

// Received file pieces and sound requests as a peer can send them, into a receive directory
// that holds the program's own files: nothing is written outside it, no own file and no file
// behind a link is touched, no file grows past what a sender can send, and no sound is played
// from outside the sound directory.
#include <string>

#include "DisplayChecks.h"
#include "ReceiveFixture.h"
#include "session/FileExchange.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tessel;
    using namespace tessel::fuzz;
    static ReceiveFixture fixture;
    static const auto spellings = fixture.Spellings();

    QuietFrontEnd frontEnd;
    DisplayQueue display(frontEnd);
    CheckingSoundPlayer player(fixture.work() + "/wav/");
    // Each part is one body; its first byte picks the kind of request and the spelling of the
    // receive directory.
    for (const std::string_view part : Parts(AsText(data, size), 8)) {
        if (part.empty()) {
            continue;
        }
        const auto choice = static_cast<unsigned char>(part[0]);
        const std::string_view body = part.substr(1);
        if (choice & 0x80) {
            ReceiveSoundRequest("peer", body, fixture.work() + "/wav/", display, &player);
        } else {
            ReceiveFilePiece("peer", body, spellings[choice % spellings.size()], display,
                             &fixture.own());
        }
    }
    // Once per input: a write outside the directory or to an own file is never undone later.
    fixture.Check();
    DrainChecked(display);
    fixture.Clean();
    return 0;
}
