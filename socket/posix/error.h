#pragma once

// Failures of the POSIX calls as the Windows Sockets error numbers that the socket component and
// its owner know, so that the texts and the comparisons of the component hold on this system.
namespace posix_error {

// An errno value (0 stays 0), always as a number that GetErrorText words: a value whose Windows
// Sockets counterpart has no text there takes the nearest number that has one, and a value with no
// counterpart at all becomes WSAENETDOWN, never a number the component treats specially, such as
// the would-block number.
int FromErrno(int err);

// A getaddrinfo or getnameinfo result; savedErrno is errno as it was right after the call, for
// EAI_SYSTEM.
int FromResolver(int status, int savedErrno);

// The calling thread's last error, as WSAGetLastError reports it.
int LastError();
// Makes error the thread's last error; returns SOCKET_ERROR, the failure result of most calls.
int Fail(int error);
// Fail with the translation of errno.
int FailErrno();

// A connect result that tells how the attempt ended rather than what was wrong with it; on a
// non-blocking socket it is reported through FD_CONNECT like a later outcome.
bool IsConnectOutcome(int err);
// An error after which the connection is gone: the peer reset it or it timed out.
bool EndsConnection(int err);

} // namespace posix_error
