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

// Why SseHub::Connect gave no client.
enum class SseRefusal {
    kNone,
    // The hub is closed: devhost is stopping.
    kClosed,
    // As many clients as the limit allows are connected already.
    kFull,
};

// Thread-safe. Each client has its own queue; a client that falls more than the capacity
// behind loses its oldest messages and is told so by a comment line. Each connected client
// holds an HTTP worker while its stream lasts, so their number can be limited.
class SseHub {
  public:
    class Client;

    explicit SseHub(size_t capacity = 10000) : capacity_(capacity == 0 ? 1 : capacity) {}

    // A new client that receives every message published from now on; null, with `refusal`
    // (when given) saying why, once closed or while the client limit is reached.
    std::shared_ptr<Client> Connect(SseRefusal* refusal = nullptr);
    // At most `limit` clients at once from now on (those connected stay); unlimited at first.
    void SetClientLimit(size_t limit);
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
    size_t clientLimit_ = static_cast<size_t>(-1);
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
