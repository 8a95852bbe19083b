// devhost_load: N concurrent clients calling one route of a running devhost on 127.0.0.1 for T
// seconds, then requests per second, latency percentiles and errors. Loopback only, by design:
// it is a tool for measuring the host on this machine, not for loading anything else.
#include <httplib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace {

struct Settings {
    int port = 8080;
    int clients = 50;
    double seconds = 10;
    std::string path = "/pyx-missions/v1/missions";
};

const char* kUsage =
    "Usage: devhost_load [--port N] [--clients N] [--seconds T] [--path P]\n"
    "  --port N      devhost's port on 127.0.0.1 (default 8080)\n"
    "  --clients N   concurrent clients, each with one keep-alive connection (default 50)\n"
    "  --seconds T   how long to run (default 10)\n"
    "  --path P      route to GET (default /pyx-missions/v1/missions)\n"
    "Prints requests per second, latency p50/p90/p99/max and the number of errors (no answer\n"
    "or a status other than 200).\n";

bool ParseArguments(int argc, char** argv, Settings& settings) {
    for (int i = 1; i < argc; ++i) {
        const std::string name = argv[i];
        if (name == "--help") return false;
        if (i + 1 >= argc) return false;
        const std::string value = argv[++i];
        char* end = nullptr;
        if (name == "--port") {
            const long port = std::strtol(value.c_str(), &end, 10);
            if (*end != '\0' || port < 1 || port > 65535) return false;
            settings.port = static_cast<int>(port);
        } else if (name == "--clients") {
            const long clients = std::strtol(value.c_str(), &end, 10);
            if (*end != '\0' || clients < 1 || clients > 1000) return false;
            settings.clients = static_cast<int>(clients);
        } else if (name == "--seconds") {
            const double seconds = std::strtod(value.c_str(), &end);
            if (*end != '\0' || !(seconds > 0) || seconds > 3600) return false;
            settings.seconds = seconds;
        } else if (name == "--path") {
            if (value.empty() || value[0] != '/') return false;
            settings.path = value;
        } else {
            return false;
        }
    }
    return true;
}

double Percentile(const std::vector<double>& sorted, double fraction) {
    if (sorted.empty()) return 0;
    const size_t index =
        static_cast<size_t>(fraction * static_cast<double>(sorted.size() - 1) + 0.5);
    return sorted[std::min(index, sorted.size() - 1)];
}

}  // namespace

int main(int argc, char** argv) {
    Settings settings;
    if (!ParseArguments(argc, argv, settings)) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    const auto end = start + std::chrono::duration_cast<Clock::duration>(
                                 std::chrono::duration<double>(settings.seconds));
    std::vector<std::vector<double>> latencies(static_cast<size_t>(settings.clients));
    std::atomic<uint64_t> errors{0};
    std::atomic<uint64_t> bytes{0};
    std::vector<std::thread> threads;
    for (int c = 0; c < settings.clients; ++c) {
        threads.emplace_back([&, c] {
            httplib::Client client("127.0.0.1", settings.port);
            client.set_keep_alive(true);
            client.set_tcp_nodelay(true);
            client.set_read_timeout(std::chrono::seconds(30));
            std::vector<double>& mine = latencies[static_cast<size_t>(c)];
            while (Clock::now() < end) {
                const auto sent = Clock::now();
                httplib::Result result = client.Get(settings.path);
                const auto received = Clock::now();
                if (!result || result->status != 200) {
                    ++errors;
                    if (!result) std::this_thread::sleep_for(std::chrono::milliseconds(10));
                    continue;
                }
                bytes += result->body.size();
                mine.push_back(std::chrono::duration<double, std::milli>(received - sent).count());
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();

    std::vector<double> all;
    for (const std::vector<double>& mine : latencies)
        all.insert(all.end(), mine.begin(), mine.end());
    std::sort(all.begin(), all.end());
    std::printf("path            %s\n", settings.path.c_str());
    std::printf("clients         %d\n", settings.clients);
    std::printf("duration        %.2f s\n", elapsed);
    std::printf("requests        %zu ok, %llu errors\n", all.size(),
                static_cast<unsigned long long>(errors.load()));
    std::printf("throughput      %.0f requests/s, %.1f MB/s\n",
                static_cast<double>(all.size()) / elapsed,
                static_cast<double>(bytes.load()) / elapsed / 1e6);
    std::printf("latency (ms)    p50 %.2f  p90 %.2f  p99 %.2f  max %.2f\n", Percentile(all, 0.50),
                Percentile(all, 0.90), Percentile(all, 0.99), all.empty() ? 0.0 : all.back());
    return errors.load() == 0 ? 0 : 1;
}
