#ifndef MAKERSERVER_H
#define MAKERSERVER_H

#include <QString>
#include <QtGlobal>

// The maker's web server, which serves the default parameter files and the
// version file. Its address is one constant; the environment variable
// KELVARA_SERVER_URL (scheme, host and optional port, e.g.
// "http://127.0.0.1:8080") points the suite at another server, such as a
// local copy or a test server.
namespace MakerServer {

extern const char* const defaultAddress;
extern const char* const addressVariable;

// The most one reply of the server may bring: its index pages and default
// files are far smaller, and a reply that never ends must not fill the
// memory.
constexpr qint64 maxReplyBytes = 8 * 1024 * 1024;

// Scheme, host and port without a trailing "/": the override when it is a
// usable http(s) address, else the maker's.
QString address();
// The host name alone, as messages name the server.
QString host();
// address() followed by an absolute path such as "/downloads/kl/".
QString url(const QString& path);

} // namespace MakerServer

#endif // MAKERSERVER_H
