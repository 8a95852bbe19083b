// The HTTP face of the development host, on 127.0.0.1 unless told otherwise: the plugin's routes,
// the event stream and the control endpoints (see endpoints.h).
#ifndef PYX_DEVHOST_HTTP_SERVER_H_
#define PYX_DEVHOST_HTTP_SERVER_H_

#include <chrono>
#include <cstddef>
#include <memory>
#include <string>

#include "devhost/access_guard.h"

namespace Vane::DevHost {

class DevHost;

// What a client may take of the server. Bodies above kMaxBodyBytes get 413 unread, requests
// with more than kMaxHeaderBytes of headers 431, with Transfer-Encoding 411 (the server library
// would read such a body whole whatever its size), each followed by closing the connection. A
// request line longer than 8192 bytes gets 414 and a single header line that long 400: the
// server library answers both itself.
constexpr size_t kMaxBodyBytes = size_t{16} << 20;
constexpr size_t kMaxHeaderBytes = size_t{32} << 10;
// A connection that sends nothing is closed after the idle timeout (one second); one that
// stops in the middle of a request, or does not take what it is sent, after this long.
constexpr std::chrono::seconds kReadTimeout{5};
constexpr std::chrono::seconds kWriteTimeout{5};
// What a refused event stream is told to wait before trying again.
constexpr int kStreamRetryAfterSeconds = 5;

struct HttpLimits {
    // Worker threads: each open connection, event streams included, holds one while it lasts.
    int threads = 64;
    // Event streams open at once; past it a new one gets 503 with Retry-After. Kept below
    // `threads` so that streams never take every worker.
    int maxStreams = 32;
};

class HttpServer {
  public:
    // A server for `host` within `limits`, letting in whom `access` allows (access_guard.h).
    HttpServer(DevHost& host, HttpLimits limits, AccessOptions access);
    ~HttpServer();
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    // Binds the access options' address on `port` (0 picks a free port) and returns the port,
    // or -1 on failure.
    int Bind(int port);
    // A one-time code for the console link "/?code=CODE" of a server with a token (empty
    // without one, or before Bind); a new code replaces the previous one.
    std::string NewConsoleCode();
    // Serves until Stop; false when serving could not start. Blocks.
    bool Serve();
    // Ends the event streams, stops accepting and lets Serve return. Callable from any thread.
    void Stop();

  private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace Vane::DevHost

#endif  // PYX_DEVHOST_HTTP_SERVER_H_
