// devhost under abuse, through real connections: many event streams, bodies and headers too
// large, and clients that send nothing. Whatever a client does, the others keep being served.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "devhost/devhost_process_test_support.h"

namespace Vane::DevHost {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using testing::BuiltFile;
using testing::DevHostProcess;
using testing::Eventually;

constexpr const char* kMissions = "/pyx-missions/v1/missions";

double MillisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// One TCP connection to devhost, written and read byte for byte as a client that does not
// follow HTTP's rules would.
class RawConnection {
  public:
    explicit RawConnection(int port) {
        socket_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<uint16_t>(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        connected_ = socket_ != INVALID_SOCKET &&
                     ::connect(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    }
    ~RawConnection() {
        if (socket_ == INVALID_SOCKET) return;
#ifdef _WIN32
        ::closesocket(socket_);
#else
        ::close(socket_);
#endif
    }
    RawConnection(const RawConnection&) = delete;
    RawConnection& operator=(const RawConnection&) = delete;

    bool Connected() const {
        return connected_;
    }

    // False once the peer stopped taking data.
    bool Send(std::string_view data) {
        while (!data.empty()) {
            const auto sent =
                ::send(socket_, data.data(), static_cast<int>(data.size()), kNoSignal);
            if (sent <= 0) return false;
            data.remove_prefix(static_cast<size_t>(sent));
        }
        return true;
    }

    // Reads until `marker` has arrived, the peer closed or `timeout` passed; everything read.
    std::string ReadUntil(std::string_view marker, std::chrono::milliseconds timeout) {
        const auto end = Clock::now() + timeout;
        while (received_.find(marker) == std::string::npos && !closed_ && Clock::now() < end) {
            ReadSome(std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()));
        }
        return received_;
    }

    // Reads until the peer closes the connection; true when it did within `timeout`.
    bool WaitClosed(std::chrono::milliseconds timeout) {
        const auto end = Clock::now() + timeout;
        while (!closed_ && Clock::now() < end) {
            ReadSome(std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()));
        }
        return closed_;
    }

    // The status code of the answer's first line, once its headers are in; 0 before.
    int Status(std::chrono::milliseconds timeout = 10s) {
        const std::string text = ReadUntil("\r\n\r\n", timeout);
        if (text.rfind("HTTP/1.1 ", 0) != 0 || text.find("\r\n\r\n") == std::string::npos) {
            return 0;
        }
        return std::atoi(text.c_str() + 9);
    }

    const std::string& Received() const {
        return received_;
    }

  private:
#ifdef MSG_NOSIGNAL
    static constexpr int kNoSignal = MSG_NOSIGNAL;
#else
    static constexpr int kNoSignal = 0;
#endif

    void ReadSome(std::chrono::milliseconds timeout) {
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(socket_, &readable);
        timeval wait{};
        wait.tv_sec = static_cast<long>(timeout.count() / 1000);
        wait.tv_usec = static_cast<long>(timeout.count() % 1000 * 1000);
        if (::select(static_cast<int>(socket_ + 1), &readable, nullptr, nullptr, &wait) <= 0) {
            return;
        }
        char buffer[16384];
        const auto got = ::recv(socket_, buffer, sizeof buffer, 0);
        if (got <= 0) {
            closed_ = true;  // closed, or reset after a refusal: either way the end
            return;
        }
        received_.append(buffer, static_cast<size_t>(got));
    }

    socket_t socket_ = INVALID_SOCKET;
    bool connected_ = false;
    bool closed_ = false;
    std::string received_;
};

std::string HostHeader(int port) {
    return "Host: 127.0.0.1:" + std::to_string(port) + "\r\n";
}

class LimitsTest : public ::testing::Test {
  protected:
    void Start(std::vector<std::string> arguments = {}) {
        arguments.insert(arguments.begin(), {"--plugin", BuiltFile(MISSIONS_PLUGIN), "--quiet"});
        std::string error;
        process_ = DevHostProcess::Start(BuiltFile(DEVHOST_BINARY), arguments, error);
        ASSERT_NE(process_, nullptr) << error;
        client_ = process_->Client();
    }

    // The missions route's status and how long it took to answer.
    std::pair<int, double> TimedMissions() {
        const auto start = Clock::now();
        httplib::Result result = client_->Get(kMissions);
        return {result ? result->status : 0, MillisecondsSince(start)};
    }

    std::unique_ptr<DevHostProcess> process_;
    std::unique_ptr<httplib::Client> client_;
};

TEST_F(LimitsTest, EventStreamsPastTheBudgetGet503AndTheRouteIsStillServed) {
    // The defaults: 64 workers, of which event streams may take half.
    Start();
    const int port = process_->Port();
    ASSERT_EQ(TimedMissions().first, 200);

    std::vector<std::unique_ptr<RawConnection>> streams;
    for (int i = 0; i < 100; ++i) {
        streams.push_back(std::make_unique<RawConnection>(port));
        ASSERT_TRUE(streams.back()->Connected());
        ASSERT_TRUE(streams.back()->Send("GET /events HTTP/1.1\r\n" + HostHeader(port) + "\r\n"));
    }
    int open = 0;
    int refused = 0;
    for (auto& stream : streams) {
        const int status = stream->Status();
        if (status == 200) {
            ++open;
            EXPECT_NE(stream->ReadUntil(": connected", 10s).find(": connected"), std::string::npos);
        } else {
            ASSERT_EQ(status, 503) << stream->Received();
            ++refused;
            // Refused streams give their worker back at once.
            EXPECT_TRUE(stream->WaitClosed(5s));
            EXPECT_NE(stream->Received().find("Retry-After: 5\r\n"), std::string::npos)
                << stream->Received();
            EXPECT_NE(stream->Received().find("--max-streams"), std::string::npos);
        }
    }
    EXPECT_EQ(open, 32);
    EXPECT_EQ(refused, 68);

    // Ordinary requests are served beside the open streams, one after another.
    double slowest = 0;
    for (int i = 0; i < 20; ++i) {
        const auto [status, ms] = TimedMissions();
        EXPECT_EQ(status, 200);
        slowest = std::max(slowest, ms);
    }
    std::printf("missions route with %d open event streams: slowest of 20 answers %.1f ms\n", open,
                slowest);
    EXPECT_LT(slowest, 1000.0);

    // Streams whose clients left make room again: their places are not held until a write fails.
    for (auto& stream : streams) stream.reset();
    const auto start = Clock::now();
    bool admitted = false;
    ASSERT_TRUE(Eventually([&] {
        RawConnection again(port);
        admitted = again.Send("GET /events HTTP/1.1\r\n" + HostHeader(port) + "\r\n") &&
                   again.Status() == 200;
        return admitted;
    }));
    std::printf("a new stream was admitted %.0f ms after every client left\n",
                MillisecondsSince(start));
}

TEST_F(LimitsTest, ABudgetGivenOnTheCommandLineIsKept) {
    Start({"--http-threads", "8", "--max-streams", "2"});
    const int port = process_->Port();
    std::vector<std::unique_ptr<RawConnection>> streams;
    std::vector<int> statuses;
    for (int i = 0; i < 4; ++i) {
        streams.push_back(std::make_unique<RawConnection>(port));
        ASSERT_TRUE(streams.back()->Send("GET /events HTTP/1.1\r\n" + HostHeader(port) + "\r\n"));
        statuses.push_back(streams.back()->Status());
    }
    EXPECT_EQ(statuses, (std::vector<int>{200, 200, 503, 503}));
    EXPECT_EQ(TimedMissions().first, 200);
}

TEST_F(LimitsTest, ABodyTooLargeIsRefusedUnreadAndNeverTakenAsTheNextRequest) {
    Start();
    const int port = process_->Port();

    // 100 MB announced; the client sends as fast as the server takes it.
    RawConnection connection(port);
    const std::string headers =
        "POST /devhost/player-update HTTP/1.1\r\n" + HostHeader(port) +
        "Content-Type: application/json\r\nContent-Length: 104857600\r\n\r\n";
    const auto start = Clock::now();
    ASSERT_TRUE(connection.Send(headers));
    std::thread sender([&] {
        const std::string block(1 << 16, ' ');
        for (size_t sent = 0; sent < 104857600 && connection.Send(block); sent += block.size()) {
        }
    });
    const int status = connection.Status(10s);
    const double refusedAfter = MillisecondsSince(start);
    // The server closes its end; the sender stops when its writes fail.
    EXPECT_TRUE(connection.WaitClosed(10s));
    sender.join();
    EXPECT_EQ(status, 413) << connection.Received();
    EXPECT_NE(connection.Received().find("takes at most 16777216"), std::string::npos);
    std::printf("100 MB body refused with %d after %.1f ms\n", status, refusedAfter);
    EXPECT_LT(refusedAfter, 2000.0);

    // A body that carries a request of its own behind a length too large: the smuggled logout
    // must never run.
    RawConnection smuggler(port);
    ASSERT_TRUE(smuggler.Send("POST /devhost/player-update HTTP/1.1\r\n" + HostHeader(port) +
                              "Content-Type: application/json\r\nContent-Length: 16777217\r\n\r\n"
                              "POST /devhost/logout HTTP/1.1\r\n" +
                              HostHeader(port) + "Content-Length: 0\r\n\r\n"));
    EXPECT_EQ(smuggler.Status(), 413);
    EXPECT_TRUE(smuggler.WaitClosed(10s));
    httplib::Result logout = client_->Post("/devhost/logout");
    ASSERT_TRUE(logout);
    EXPECT_EQ(logout->status, 204) << "the player was logged out already: " << logout->body;

    // A body within the limit is still taken.
    httplib::Result update = client_->Post("/devhost/player-update", "{}", "application/json");
    ASSERT_TRUE(update);
    EXPECT_EQ(update->status, 200);
}

TEST_F(LimitsTest, RequestLinesAndHeadersPastTheLimitsAreRefusedAndTheServerGoesOn) {
    Start();
    const int port = process_->Port();
    std::string manyHeaders;
    for (int i = 0; i < 40; ++i) {
        manyHeaders += "X-Filler-" + std::to_string(i) + ": " + std::string(1000, 'h') + "\r\n";
    }
    const struct {
        const char* what;
        std::string request;
        int status;
    } cases[] = {
        {"a URL of 9000 bytes",
         "GET /" + std::string(9000, 'u') + " HTTP/1.1\r\n" + HostHeader(port) + "\r\n", 414},
        // The server library refuses a single line this long itself, with 400.
        {"one header of 9000 bytes",
         "GET / HTTP/1.1\r\n" + HostHeader(port) + "X-Long: " + std::string(9000, 'h') + "\r\n\r\n",
         400},
        {"40 KB of headers",
         "GET " + std::string(kMissions) + " HTTP/1.1\r\n" + HostHeader(port) + manyHeaders +
             "\r\n",
         431},
        {"a chunked body",
         "POST /devhost/player-update HTTP/1.1\r\n" + HostHeader(port) +
             "Content-Type: application/json\r\nTransfer-Encoding: "
             "chunked\r\n\r\n2\r\n{}\r\n0\r\n\r\n",
         411},
        // A body the library would not read, carrying a request of its own.
        {"a GET with a body",
         "GET " + std::string(kMissions) + " HTTP/1.1\r\n" + HostHeader(port) +
             "Content-Length: 33\r\n\r\nPOST /devhost/logout HTTP/1.1\r\n\r\n",
         400},
        {"a Content-Length that is no number",
         "POST /devhost/player-update HTTP/1.1\r\n" + HostHeader(port) +
             "Content-Type: application/json\r\nContent-Length: 2x\r\n\r\n{}",
         400},
    };
    for (const auto& c : cases) {
        RawConnection connection(port);
        ASSERT_TRUE(connection.Send(c.request)) << c.what;
        EXPECT_EQ(connection.Status(), c.status) << c.what << ": " << connection.Received();
        EXPECT_EQ(TimedMissions().first, 200) << "after " << c.what;
    }
}

TEST_F(LimitsTest, ClientsThatSendNothingAreDisconnectedAndTheirWorkersFreed) {
    // Two workers, both taken by clients that never finish a request.
    Start({"--http-threads", "2", "--max-streams", "1"});
    const int port = process_->Port();
    const auto start = Clock::now();
    RawConnection silent(port);
    RawConnection stalled(port);
    ASSERT_TRUE(silent.Connected());
    ASSERT_TRUE(stalled.Send("GET /pyx-missions/v1/missions HTTP/1.1\r\n"));

    // Queued behind them, an ordinary request is served once they are dropped.
    const auto [status, ms] = TimedMissions();
    EXPECT_EQ(status, 200);
    EXPECT_TRUE(silent.WaitClosed(10s));
    const double silentClosed = MillisecondsSince(start);
    EXPECT_TRUE(stalled.WaitClosed(10s));
    const double stalledClosed = MillisecondsSince(start);
    std::printf(
        "silent client closed after %.0f ms, one stalled within its request after %.0f ms; a "
        "request queued behind both answered after %.0f ms\n",
        silentClosed, stalledClosed, ms);
    // One second of idle timeout and five of read timeout, with room for a loaded machine.
    EXPECT_LT(silentClosed, 4000.0);
    EXPECT_LT(stalledClosed, 9000.0);
    EXPECT_LT(ms, 9000.0);
    EXPECT_EQ(TimedMissions().first, 200);
}

}  // namespace
}  // namespace Vane::DevHost
