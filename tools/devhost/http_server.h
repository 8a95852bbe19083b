// The HTTP face of the development host, on 127.0.0.1 unless told otherwise: the plugin's routes,
// the event stream and the control endpoints (see endpoints.h).
#ifndef PYX_DEVHOST_HTTP_SERVER_H_
#define PYX_DEVHOST_HTTP_SERVER_H_

#include <memory>
#include <string>

#include "devhost/access_guard.h"

namespace Vane::DevHost {

class DevHost;

class HttpServer {
  public:
    // A server for `host` with `threads` worker threads (each open connection, event streams
    // included, holds one while it lasts), letting in whom `access` allows (access_guard.h).
    HttpServer(DevHost& host, int threads, AccessOptions access);
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
