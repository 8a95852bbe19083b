#include "devhost/sse_hub.h"

#include <algorithm>

namespace Vane::DevHost {

std::string FormatSseMessage(std::string_view eventName, std::string_view data) {
    std::string message = "event: ";
    for (char c : eventName) message += (c == '\n' || c == '\r') ? ' ' : c;
    message += '\n';
    size_t position = 0;
    do {
        const size_t end = std::min(data.find('\n', position), data.size());
        std::string_view line = data.substr(position, end - position);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        message += "data: ";
        message += line;
        message += '\n';
        position = end + 1;
    } while (position <= data.size());
    message += '\n';
    return message;
}

std::shared_ptr<SseHub::Client> SseHub::Connect(SseRefusal* refusal) {
    std::lock_guard<std::mutex> lock(mutex_);
    const SseRefusal why = closed_                           ? SseRefusal::kClosed
                           : clients_.size() >= clientLimit_ ? SseRefusal::kFull
                                                             : SseRefusal::kNone;
    if (refusal != nullptr) *refusal = why;
    if (why != SseRefusal::kNone) return nullptr;
    clients_.push_back(std::shared_ptr<Client>(new Client()));
    return clients_.back();
}

void SseHub::SetClientLimit(size_t limit) {
    std::lock_guard<std::mutex> lock(mutex_);
    clientLimit_ = limit;
}

void SseHub::Disconnect(const std::shared_ptr<Client>& client) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        client->gone = true;
        clients_.erase(std::remove(clients_.begin(), clients_.end(), client), clients_.end());
    }
    wake_.notify_all();
}

void SseHub::Publish(std::string_view eventName, std::string_view data) {
    const std::string message = FormatSseMessage(eventName, data);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (const std::shared_ptr<Client>& client : clients_) {
            client->queue.push_back(message);
            while (client->queue.size() > capacity_) {
                client->queue.pop_front();
                ++client->lost;
            }
        }
    }
    wake_.notify_all();
}

bool SseHub::Next(Client& client, std::string& out, std::chrono::milliseconds timeout) {
    out.clear();
    std::unique_lock<std::mutex> lock(mutex_);
    wake_.wait_for(lock, timeout, [&] { return closed_ || client.gone || !client.queue.empty(); });
    if (closed_ || client.gone) return false;
    if (client.lost > 0) {
        out = ": " + std::to_string(client.lost) + " events dropped, the client fell behind\n\n";
        client.lost = 0;
    }
    while (!client.queue.empty()) {
        out += client.queue.front();
        client.queue.pop_front();
    }
    return true;
}

void SseHub::Close() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        closed_ = true;
        for (const std::shared_ptr<Client>& client : clients_) client->gone = true;
        clients_.clear();
    }
    wake_.notify_all();
}

size_t SseHub::ClientCount() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return clients_.size();
}

}  // namespace Vane::DevHost
