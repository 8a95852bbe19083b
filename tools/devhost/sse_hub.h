// Server-Sent Events: every event the plugin fires, handed to every connected client.
#ifndef PYX_DEVHOST_SSE_HUB_H_
#define PYX_DEVHOST_SSE_HUB_H_

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace Vane::DevHost {

// One event as an SSE message: "event: <name>\n", one "data: " line per line of `data`, then
// an empty line. Line breaks in the name become spaces.
std::string FormatSseMessage(std::string_view eventName, std::string_view data);

// Thread-safe. Each client has its own queue; a client that falls more than the capacity
// behind loses its oldest messages and is told so by a comment line.
class SseHub {
  public:
    class Client;

    explicit SseHub(size_t capacity = 10000) : capacity_(capacity == 0 ? 1 : capacity) {}

    // A new client that receives every message published from now on; null once closed.
    std::shared_ptr<Client> Connect();
    // Stops delivering to `client`.
    void Disconnect(const std::shared_ptr<Client>& client);

    // Queues the event for every client.
    void Publish(std::string_view eventName, std::string_view data);

    // Waits up to `timeout` for the client's next text to send and moves it into `out` ("" on
    // a timeout). False when the hub closed or the client was disconnected: the stream ends.
    bool Next(Client& client, std::string& out, std::chrono::milliseconds timeout);

    // Ends every stream and refuses new clients.
    void Close();

    size_t ClientCount() const;

  private:
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    size_t capacity_;
    bool closed_ = false;
    std::vector<std::shared_ptr<Client>> clients_;
};

class SseHub::Client {
  private:
    friend class SseHub;
    std::deque<std::string> queue;
    size_t lost = 0;
    bool gone = false;
};

}  // namespace Vane::DevHost

#endif  // PYX_DEVHOST_SSE_HUB_H_
