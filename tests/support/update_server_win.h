// The project's test update server (tests/e2e/server/update_server.py) for
// tests that run under Wine: Wine starts Linux programs given by their Z:
// path, so the server runs as a Linux python3 next to the test, in a folder
// of its own under the build tree. Its port comes from its port file; its
// JSON-lines access log is read back for evidence of what went over the
// wire. A watchdog (timeout(1)) ends a server whose test died.
#pragma once

#include "base/windows_win.h"
#include "net/internet_handle_win.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace testwin {

struct SAccessEntry {
    std::string method;
    std::string path;
    std::string range; // raw Range header, empty when none
    std::string outcome;
    long long conn = 0; // the server's connection number
    int status = 0;
    long long length = -1; // announced body length
    long long sent = 0;    // body bytes sent
};

class CUpdateServer {
public:
    struct SOptions {
        bool https = false;
        std::string faultsJson; // the server's rules, empty for none
    };

    CUpdateServer() {
        static LONG counter = 0;
        unixFolder = unixPath(LAUNCHER_BINARY_DIR) + "/net-server/" +
                     std::to_string(::GetCurrentProcessId()) + "-" +
                     std::to_string(::InterlockedIncrement(&counter));
        std::error_code ec;
        std::filesystem::remove_all(winPath(unixFolder), ec);
        std::filesystem::create_directories(winPath(unixFolder + "/root"), ec);
    }
    CUpdateServer(const CUpdateServer&) = delete;
    CUpdateServer& operator=(const CUpdateServer&) = delete;
    ~CUpdateServer() {
        stop();
        std::error_code ec;
        std::filesystem::remove_all(winPath(unixFolder), ec);
    }

    // Puts a file into the served tree ("/dir/name" is its URL path).
    bool writeFile(const std::string& urlPath, const std::string& bytes) const {
        const std::filesystem::path file = winPath(unixFolder + "/root" + urlPath);
        std::error_code ec;
        std::filesystem::create_directories(file.parent_path(), ec);
        std::ofstream out(file, std::ios::binary);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        return static_cast<bool>(out);
    }

    // Starts the server and waits (bounded) for its port.
    bool start(const SOptions& options) {
        std::string arguments = " --root '" + unixFolder + "/root' --port 0 --port-file '" +
                                unixFolder + "/port' --access-log '" + unixFolder + "/access.log'";
        if (!options.faultsJson.empty()) {
            std::ofstream(winPath(unixFolder + "/faults.json")) << options.faultsJson;
            arguments += " --faults '" + unixFolder + "/faults.json'";
        }
        if (options.https)
            arguments += " --https --cert-dir '" + unixFolder + "/cert'";
        // The descriptors Wine hands down (CTest's output pipes among them)
        // are closed first, so a server cannot keep CTest waiting.
        const std::string script = "export PATH=/usr/bin:/bin; for f in /proc/$$/fd/*; do "
                                   "n=${f##*/}; if [ $n -gt 2 ]; then eval \\\"exec $n>&-\\\"; fi; "
                                   "done 2>/dev/null; " +
                                   std::string(kWatchdog) + " /usr/bin/python3 '" + serverScript() +
                                   "'" + arguments + " >'" + unixFolder +
                                   "/server.out' 2>&1 & echo $! >'" + unixFolder +
                                   "/pid'; wait $!; echo done >'" + unixFolder + "/stopped'";
        if (!runShell(script))
            return false;
        started = true;
        for (int i = 0; i < kStartPolls; ++i) {
            std::ifstream in(winPath(unixFolder + "/port"));
            unsigned value = 0;
            if (in >> value && value != 0) {
                nPort = value;
                sScheme = options.https ? "https" : "http";
                return true;
            }
            ::Sleep(kPollMs);
        }
        return false;
    }

    // SIGTERM to the server (through the watchdog), then a bounded wait for
    // its end.
    void stop() {
        if (!started)
            return;
        started = false;
        // SIGTERM can deadlock the server (its handler sets an Event the main
        // thread may be inside): python is killed when it outlives the grace
        // period, and the watchdog follows it.
        runShell(
            "read p <'" + unixFolder +
            "/pid' && kill -TERM $p; i=0; while kill -0 $p && "
            "[ $i -lt 50 ]; do sleep 0.1; i=$((i+1)); done 2>/dev/null; kill -0 $p 2>/dev/null "
            "&& for c in $(cat /proc/$p/task/$p/children); do kill -KILL $c; done");
        for (int i = 0; i < kStopPolls; ++i) {
            if (std::filesystem::exists(winPath(unixFolder + "/stopped")))
                return;
            ::Sleep(kPollMs);
        }
    }

    // Replaces the rules of the running server (its control endpoint, plain
    // HTTP only); true when the server took them.
    bool configure(const std::string& faultsJson) const {
        using NetEx::CInternetHandle;
        const CInternetHandle session(
            ::InternetOpenA("test", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0));
        const CInternetHandle connection(
            session
                ? ::InternetConnectA(session.get(), "127.0.0.1", static_cast<INTERNET_PORT>(nPort),
                                     nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0)
                : nullptr);
        const CInternetHandle request(
            connection ? ::HttpOpenRequestA(connection.get(), "POST", "/__control/config", nullptr,
                                            nullptr, nullptr,
                                            INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE, 0)
                       : nullptr);
        std::string body = faultsJson;
        DWORD status = 0;
        DWORD size = sizeof(status);
        return sScheme == "http" && request &&
               ::HttpSendRequestA(request.get(), nullptr, 0, body.data(),
                                  static_cast<DWORD>(body.size())) &&
               ::HttpQueryInfoA(request.get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER,
                                &status, &size, nullptr) &&
               status == 200;
    }

    unsigned port() const { return nPort; }
    std::string baseUrl() const { return sScheme + "://127.0.0.1:" + std::to_string(nPort); }
    // What the server printed (errors end up here).
    std::string output() const { return readAll(unixFolder + "/server.out"); }

    // The access log entries for `path`, once there are at least `count`
    // (or what there is after `timeoutMs`): a line is written when its
    // exchange ends, which may be a moment after the client has the answer.
    std::vector<SAccessEntry> entries(const std::string& path, size_t count = 1,
                                      DWORD timeoutMs = 10000) const {
        std::vector<SAccessEntry> found;
        const ULONGLONG start = ::GetTickCount64();
        do {
            found.clear();
            std::istringstream lines(readAll(unixFolder + "/access.log"));
            for (std::string line; std::getline(lines, line);) {
                SAccessEntry entry = parseEntry(line);
                if (entry.path == path)
                    found.push_back(entry);
            }
            if (found.size() >= count)
                break;
            ::Sleep(kPollMs);
        } while (::GetTickCount64() - start < timeoutMs);
        return found;
    }

private:
    static constexpr int kPollMs = 50;
    static constexpr int kStartPolls = 600; // 30 s: a cold python and openssl
    static constexpr int kStopPolls = 200;
    static constexpr const char* kWatchdog = "/usr/bin/timeout 300";

    static std::string unixPath(const std::string& path) {
        std::string out = path.size() >= 2 && path[1] == ':' ? path.substr(2) : path;
        for (char& c : out) {
            if (c == '\\')
                c = '/';
        }
        return out;
    }
    static std::filesystem::path winPath(const std::string& unix) {
        return std::filesystem::path(L"Z:" + std::filesystem::path(unix).wstring());
    }
    static std::string serverScript() {
        return unixPath(LAUNCHER_FIXTURES_DIR) + "/../e2e/server/update_server.py";
    }
    static std::string readAll(const std::string& unix) {
        std::ifstream in(winPath(unix), std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }

    // Wine runs a Linux binary named by its Z: path; there is no process
    // handle to wait on, so the script reports through files.
    static bool runShell(const std::string& script) {
        std::wstring line =
            L"Z:\\bin\\bash -c \"" + std::filesystem::path(script).wstring() + L"\"";
        STARTUPINFOW si{};
        si.cb = sizeof(si);
        PROCESS_INFORMATION pi{};
        if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                              &si, &pi))
            return false;
        // Wine gives no process handle for a Unix program and leaves the
        // thread handle undefined then.
        if (pi.hProcess != nullptr) {
            const CHandle process(pi.hProcess);
            const CHandle thread(pi.hThread);
        }
        return true;
    }

    static std::string jsonValue(const std::string& line, const std::string& key) {
        const std::string marker = "\"" + key + "\": ";
        const size_t at = line.find(marker);
        if (at == std::string::npos)
            return {};
        size_t i = at + marker.size();
        if (i < line.size() && line[i] == '"') {
            std::string value;
            for (++i; i < line.size() && line[i] != '"'; ++i) {
                if (line[i] == '\\' && i + 1 < line.size())
                    ++i;
                value += line[i];
            }
            return value;
        }
        const size_t end = line.find_first_of(",}", i);
        const std::string value = line.substr(i, end - i);
        return value == "null" ? std::string() : value;
    }

    static SAccessEntry parseEntry(const std::string& line) {
        SAccessEntry entry;
        entry.method = jsonValue(line, "method");
        entry.path = jsonValue(line, "path");
        entry.range = jsonValue(line, "range");
        entry.outcome = jsonValue(line, "outcome");
        const std::string conn = jsonValue(line, "conn");
        entry.conn = conn.empty() ? 0 : std::stoll(conn);
        const std::string status = jsonValue(line, "status");
        entry.status = status.empty() ? 0 : std::stoi(status);
        const std::string length = jsonValue(line, "length");
        entry.length = length.empty() ? -1 : std::stoll(length);
        const std::string sent = jsonValue(line, "sent");
        entry.sent = sent.empty() ? 0 : std::stoll(sent);
        return entry;
    }

    std::string unixFolder;
    std::string sScheme = "http";
    unsigned nPort = 0;
    bool started = false;
};

} // namespace testwin
