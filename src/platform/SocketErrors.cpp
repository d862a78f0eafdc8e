// SPDX-License-Identifier: MIT

#include "platform/SocketErrors.h"

#include <cerrno>

namespace tessel {

int WinsockCodeFromErrno(int error) {
    switch (error) {
        case 0:
            return 0;
        case EINTR:
            return 10004;
        case EBADF:
            return 10009;
        case EACCES:
            return 10013;
        case EFAULT:
            return 10014;
        case EINVAL:
            return kWsaInvalidArgument;
        case EMFILE:
            return 10024;
        case EAGAIN:
        case EINPROGRESS:
            return kWsaWouldBlock;
        case EALREADY:
            return 10037;
        case ENOTSOCK:
            return 10038;
        case EMSGSIZE:
            return 10040;
        case EPROTOTYPE:
            return 10041;
        case EPROTONOSUPPORT:
            return 10043;
        case EAFNOSUPPORT:
            return 10047;
        case EADDRINUSE:
            return 10048;
        case EADDRNOTAVAIL:
            return 10049;
        case ENETDOWN:
            return 10050;
        case ENETUNREACH:
            return 10051;
        case ENETRESET:
            return 10052;
        case ECONNABORTED:
            return 10053;
        case ECONNRESET:
            return 10054;
        case ENOBUFS:
            return 10055;
        case EISCONN:
            return 10056;
        case ENOTCONN:
            return 10057;
        case ETIMEDOUT:
            return kWsaTimedOut;
        case ECONNREFUSED:
            return kWsaConnectionRefused;
        case EHOSTDOWN:
            return 10064;
        case EHOSTUNREACH:
            return kWsaHostUnreachable;
        default:
            return 20000 + error;
    }
}

}  // namespace tessel
