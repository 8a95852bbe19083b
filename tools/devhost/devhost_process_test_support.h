// Runs the devhost program for integration tests: starts it on a free port, drives it over
// HTTP, listens to its event stream and stops it the way a user or a process manager does
// (signals on Linux, console control events on Windows).
#ifndef PYX_DEVHOST_DEVHOST_PROCESS_TEST_SUPPORT_H_
#define PYX_DEVHOST_DEVHOST_PROCESS_TEST_SUPPORT_H_

// (httplib.h brings winsock2.h, which must come before windows.h.)
#include <httplib.h>

#ifdef _WIN32
#include "devhost/console_control_test_support.h"
#else
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "util/shared_library.h"

#ifndef _WIN32
extern char** environ;
#endif

namespace Vane::DevHost::testing {

// Polls `condition` every 20 ms until it holds or `timeout` passes; the result of the last poll.
inline bool Eventually(const std::function<bool()>& condition,
                       std::chrono::milliseconds timeout = std::chrono::seconds(15)) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end) return condition();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

inline std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// A program or library of the build as the build names it: on Windows a file beside the test
// program (its folder as Windows sees it, whatever Wine maps it from), elsewhere a full path.
inline std::string BuiltFile(const char* name) {
#ifdef _WIN32
    return Platform::PathBesideExecutable(name);
#else
    return name;
#endif
}

// How a test asks devhost to stop: as a user at its console (SIGINT; Ctrl-C), as a process
// manager (SIGTERM; Ctrl-Break, the console event one process can send another), or, on
// Windows only, by closing its console.
enum class StopWith { kInterrupt, kTerminate, kConsoleClose };

#ifdef _WIN32
// A command line Windows' C runtime splits back into `arguments`: every argument quoted, a
// quote escaped with a backslash, backslashes doubled only before a quote.
inline std::string WindowsCommandLine(const std::vector<std::string>& arguments) {
    std::string line;
    for (const std::string& argument : arguments) {
        if (!line.empty()) line += ' ';
        line += '"';
        size_t backslashes = 0;
        for (char c : argument) {
            if (c == '\\') {
                ++backslashes;
                continue;
            }
            line.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
            backslashes = 0;
            line += c;
        }
        line.append(2 * backslashes, '\\');
        line += '"';
    }
    return line;
}
#endif

// One devhost process whose stdout and stderr go to a file (so it never blocks on a pipe).
class DevHostProcess {
  public:
    // Starts `binary` with `arguments` plus "--port 0" and waits for its listening line. Null,
    // with `error` set, when it does not come up.
    static std::unique_ptr<DevHostProcess> Start(const std::string& binary,
                                                 std::vector<std::string> arguments,
                                                 std::string& error) {
        auto process = std::unique_ptr<DevHostProcess>(new DevHostProcess());
        arguments.insert(arguments.begin(), binary);
        arguments.push_back("--port");
        arguments.push_back("0");
        if (!process->Spawn(binary, arguments, error)) return nullptr;
        const std::string listening = "devhost listening on http://";
        const bool up = Eventually([&] {
            const std::string output = process->Output();
            const size_t at = output.find(listening);
            if (at == std::string::npos) return false;
            const size_t start = at + listening.size();
            const size_t end = output.find('\n', start);
            if (end == std::string::npos) return false;  // the line is not complete yet
            const size_t colon = output.rfind(':', end);
            if (colon == std::string::npos || colon < start) return false;
            process->address_ = output.substr(start, colon - start);
            process->port_ = std::atoi(output.substr(colon + 1, end - colon - 1).c_str());
            return process->port_ > 0;
        });
        if (!up) {
            error = "devhost did not start; its output:\n" + process->Output();
            return nullptr;
        }
        return process;
    }

    ~DevHostProcess() {
#ifdef _WIN32
        if (process_ != nullptr) {
            ::TerminateProcess(process_, 1);
            ::WaitForSingleObject(process_, INFINITE);
            ::CloseHandle(process_);
        }
#else
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
#endif
        if (!outputPath_.empty()) std::remove(outputPath_.c_str());
    }

    int Port() const {
        return port_;
    }
    // The address it listens on, as it printed it.
    const std::string& Address() const {
        return address_;
    }
    std::string Output() const {
        return ReadWholeFile(outputPath_);
    }

    // A client for the process, with generous timeouts for a loaded machine.
    std::unique_ptr<httplib::Client> Client() const {
        auto client = std::make_unique<httplib::Client>(address_, port_);
        client->set_read_timeout(std::chrono::seconds(20));
        return client;
    }

    // Asks the process to stop and waits for the exit; the exit status, or -1 when it did not
    // exit normally within `timeout` (or the request cannot be made here).
    int Stop(StopWith how = StopWith::kTerminate,
             std::chrono::seconds timeout = std::chrono::seconds(20)) {
        const auto waitFor = std::chrono::duration_cast<std::chrono::milliseconds>(timeout);
#ifdef _WIN32
        if (process_ == nullptr) return -1;
        const DWORD event = how == StopWith::kInterrupt   ? CTRL_C_EVENT
                            : how == StopWith::kTerminate ? CTRL_BREAK_EVENT
                                                          : CTRL_CLOSE_EVENT;
        if (!DeliverConsoleControl(process_, event)) return -1;
        if (::WaitForSingleObject(process_, static_cast<DWORD>(waitFor.count())) != WAIT_OBJECT_0) {
            return -1;
        }
        DWORD status = 0;
        const bool read = ::GetExitCodeProcess(process_, &status) != 0;
        ::CloseHandle(process_);
        process_ = nullptr;
        return read ? static_cast<int>(status) : -1;
#else
        if (pid_ <= 0 || how == StopWith::kConsoleClose) return -1;
        kill(pid_, how == StopWith::kInterrupt ? SIGINT : SIGTERM);
        int status = 0;
        const bool exited =
            Eventually([&] { return waitpid(pid_, &status, WNOHANG) == pid_; }, waitFor);
        if (!exited) return -1;
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
    }

  private:
    DevHostProcess() = default;

#ifdef _WIN32
    bool Spawn(const std::string& binary, const std::vector<std::string>& arguments,
               std::string& error) {
        char folder[MAX_PATH + 1] = {};
        char name[MAX_PATH + 1] = {};
        if (::GetTempPathA(sizeof folder, folder) == 0 ||
            ::GetTempFileNameA(folder, "dht", 0, name) == 0) {
            error = "cannot make a temporary file";
            return false;
        }
        outputPath_ = name;
        // Inherited as the child's stdout and stderr; shared so that Output can read it while
        // the child writes.
        SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
        const HANDLE output = ::CreateFileA(
            name, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &inherit,
            CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (output == INVALID_HANDLE_VALUE) {
            error = "cannot open " + outputPath_;
            return false;
        }
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = INVALID_HANDLE_VALUE;
        startup.hStdOutput = output;
        startup.hStdError = output;
        std::string commandLine = WindowsCommandLine(arguments);
        PROCESS_INFORMATION started{};
        // A process group of its own, as launchers start programs: Ctrl-C then arrives turned
        // off, and devhost has to take it back.
        const BOOL created =
            ::CreateProcessA(binary.c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                             CREATE_NEW_PROCESS_GROUP, nullptr, nullptr, &startup, &started);
        const DWORD why = ::GetLastError();
        ::CloseHandle(output);
        if (!created) {
            error = "cannot start " + binary + ": error " + std::to_string(why);
            return false;
        }
        ::CloseHandle(started.hThread);
        process_ = started.hProcess;
        return true;
    }

    HANDLE process_ = nullptr;
#else
    bool Spawn(const std::string& binary, std::vector<std::string>& arguments, std::string& error) {
        char name[] = "/tmp/devhost-test-XXXXXX";
        const int fd = mkstemp(name);
        if (fd < 0) {
            error = "mkstemp failed";
            return false;
        }
        outputPath_ = name;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, fd, 1);
        posix_spawn_file_actions_adddup2(&actions, fd, 2);
        std::vector<char*> argv;
        for (std::string& argument : arguments) argv.push_back(argument.data());
        argv.push_back(nullptr);
        const int spawned =
            posix_spawn(&pid_, binary.c_str(), &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        close(fd);
        if (spawned != 0) {
            error = "cannot start " + binary;
            pid_ = -1;
            return false;
        }
        return true;
    }

    pid_t pid_ = -1;
#endif
    int port_ = 0;
    std::string address_;
    std::string outputPath_;
};

// Listens to GET /events on a thread of its own and keeps every event.
class EventStreamListener {
  public:
    struct Event {
        std::string name;
        std::string data;
    };

    explicit EventStreamListener(int port) : client_("127.0.0.1", port) {
        client_.set_read_timeout(std::chrono::seconds(60));
        thread_ = std::thread([this] {
            client_.Get("/events", [this](const char* data, size_t size) {
                std::lock_guard<std::mutex> lock(mutex_);
                buffer_.append(data, size);
                Parse();
                return !stopping_.load();
            });
        });
    }

    ~EventStreamListener() { Stop(); }

    // True once the stream is attached (its first comment arrived).
    bool WaitConnected() {
        return Eventually([this] {
            std::lock_guard<std::mutex> lock(mutex_);
            return connected_;
        });
    }

    std::vector<Event> Events() {
        std::lock_guard<std::mutex> lock(mutex_);
        return events_;
    }

    size_t Count(const std::string& name) {
        size_t count = 0;
        for (const Event& event : Events()) count += event.name == name ? 1 : 0;
        return count;
    }

    void Stop() {
        stopping_ = true;
        client_.stop();
        if (thread_.joinable()) thread_.join();
    }

  private:
    void Parse() {
        for (size_t end; (end = buffer_.find("\n\n")) != std::string::npos;) {
            const std::string block = buffer_.substr(0, end);
            buffer_.erase(0, end + 2);
            Event event;
            std::istringstream lines(block);
            for (std::string line; std::getline(lines, line);) {
                if (line.rfind(": connected", 0) == 0) connected_ = true;
                if (line.rfind("event: ", 0) == 0) event.name = line.substr(7);
                if (line.rfind("data: ", 0) == 0) event.data += line.substr(6);
            }
            if (!event.name.empty()) events_.push_back(event);
        }
    }

    httplib::Client client_;
    std::thread thread_;
    std::atomic<bool> stopping_{false};
    std::mutex mutex_;
    std::string buffer_;
    bool connected_ = false;
    std::vector<Event> events_;
};

}  // namespace Vane::DevHost::testing

#endif  // PYX_DEVHOST_DEVHOST_PROCESS_TEST_SUPPORT_H_
