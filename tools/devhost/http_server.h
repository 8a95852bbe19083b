// The HTTP face of the development host, on 127.0.0.1: the plugin's routes, the event stream
// and the control endpoints (see endpoints.h).
#ifndef PYX_DEVHOST_HTTP_SERVER_H_
#define PYX_DEVHOST_HTTP_SERVER_H_

#include <memory>

namespace Vane::DevHost {

class DevHost;

class HttpServer {
  public:
    // A server for `host` with `threads` worker threads (each open connection, event streams
    // included, holds one while it lasts).
    HttpServer(DevHost& host, int threads);
    ~HttpServer();
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    // Binds 127.0.0.1:`port` (0 picks a free port) and returns the port, or -1 on failure.
    int Bind(int port);
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
