#pragma once

// Failures of the POSIX calls as the Windows Sockets error numbers that the socket component and
// its owner know, so that the texts and the comparisons of the component hold on this system.
namespace posix_error {

// An errno value (0 stays 0). Values with no Windows Sockets counterpart become WSAENETDOWN: never
// a number the component treats specially, such as the would-block number.
int FromErrno(int err);

// A getaddrinfo or getnameinfo result; savedErrno is errno as it was right after the call, for
// EAI_SYSTEM.
int FromResolver(int status, int savedErrno);

} // namespace posix_error
