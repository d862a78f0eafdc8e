// SPDX-License-Identifier: MIT

#pragma once

namespace tessel {

// Socket failures are shown to the user with the Windows Sockets codes players know from the
// original program, so errno values are mapped onto them.
inline constexpr int kWsaWouldBlock = 10035;  // the connect continues in the background
inline constexpr int kWsaInvalidArgument = 10022;
inline constexpr int kWsaTimedOut = 10060;
inline constexpr int kWsaConnectionRefused = 10061;
inline constexpr int kWsaHostUnreachable = 10065;
inline constexpr int kWsaHostNotFound = 11001;  // the name lookup failed

// The Windows Sockets code for an errno value; unknown values keep a code of their own above
// the mapped range, so the user still sees a number to report.
int WinsockCodeFromErrno(int error);

}  // namespace tessel
