// httplib.h first: on Windows it brings winsock2.h, which must come before any windows.h.
#include <httplib.h>

#include "tools/kt57-run/studio_server.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <condition_variable>
#include <mutex>
#include <memory>
#include <optional>
#include <string_view>
#include <system_error>
#include <thread>

#include "tools/common/bounded_file.h"
#include "tools/kt57-run/studio_access.h"
#include "tools/kt57-run/studio_json.h"

namespace kt57 {
namespace {

// How often an idle event stream looks whether its page is still there.
constexpr auto streamLook = std::chrono::milliseconds(250);
// The page's keep-alive connections hold a thread each while idle; a short keep-alive lets the
// server stop without waiting long for them.
constexpr time_t keepAliveSeconds = 1;
// A drag asks a moment every frame over one connection: closed after a few requests (the
// library's default is 5), each reconnection would cost the next moment its frame.
constexpr size_t keepAliveRequests = 1000000;
// The event streams hold a thread each for as long as their pages are open.
constexpr size_t serverThreads = 16;

// The page works offline and alone: nothing from elsewhere, no framing by another page, no
// address leaked to another site, nothing cached.
void addPageHeaders(httplib::Response& response) {
    response.set_header("Content-Security-Policy",
                        "default-src 'self'; img-src 'self' data:; frame-ancestors 'none'; form-action 'none'");
    response.set_header("X-Frame-Options", "DENY");
    response.set_header("X-Content-Type-Options", "nosniff");
    response.set_header("Referrer-Policy", "no-referrer");
    response.set_header("Cache-Control", "no-store");
}

// A whole number of milliseconds, at most 15 digits.
bool parseMilliseconds(const std::string& text, int64_t& value) {
    if (text.empty() || text.size() > 15) return false;
    value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + (c - '0');
    }
    return true;
}

// The type of a file of the page by its name, or null for a name that is no file of the page: one
// name within the folder, of a kind the page is made of.
const char* pageFileType(const std::string& name) {
    if (name.empty() || name.front() == '.' || name.size() > 64) return nullptr;
    for (const char c : name) {
        const bool allowed = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
                             c == '-' || c == '_';
        if (!allowed) return nullptr;
    }
    const auto endsWith = [&name](std::string_view end) {
        return name.size() >= end.size() && name.compare(name.size() - end.size(), end.size(), end) == 0;
    };
    if (endsWith(".html")) return "text/html; charset=utf-8";
    if (endsWith(".css")) return "text/css; charset=utf-8";
    if (endsWith(".js")) return "text/javascript; charset=utf-8";
    return nullptr;
}

// Every answer goes as it is. Given with its length, cpp-httplib leaves a body uncompressed: over
// the loopback, compressing (brotli, when the browser accepts it) costs tens of milliseconds and
// saves nothing worth having.
void setBody(httplib::Response& response, std::string body, const char* type) {
    if (body.empty()) return response.set_content(body, type);  // nothing to compress
    const size_t length = body.size();
    auto shared = std::make_shared<std::string>(std::move(body));
    response.set_content_provider(length, type, [shared](size_t offset, size_t count, httplib::DataSink& sink) {
        return sink.write(shared->data() + offset, count);
    });
}

std::string serverSentEvent(const char* name, const std::string& data) {
    return std::string("event: ") + name + "\ndata: " + data + "\n\n";
}

}  // namespace

constexpr const char* jsonType = "application/json; charset=utf-8";

struct StudioServer::Impl {
    StudioRehearsal& rehearsal;
    StudioLife& life;
    RehearsalSource source;
    std::filesystem::path pageFolder;
    StudioAddress address;
    httplib::Server http;
    std::thread listener;

    std::mutex mutex;  // guards what follows
    std::condition_variable changed;
    uint64_t version = 0;
    std::string lastChange = "{}";  // the data of the last "changed" event
    std::string lastError;
    bool closing = false;

    Impl(StudioRehearsal& rehearsal, StudioLife& life, RehearsalSource source, std::filesystem::path pageFolder)
        : rehearsal(rehearsal), life(life), source(std::move(source)), pageFolder(std::move(pageFolder)) {}

    httplib::Server::HandlerResponse guard(const httplib::Request& request, httplib::Response& response) {
        std::optional<std::string_view> origin;
        const std::string originValue = request.get_header_value("Origin");
        if (request.has_header("Origin")) origin = originValue;
        addPageHeaders(response);
        const AccessRefusal refusal = refusalOf(address, request.path, request.get_header_value("Host"), origin);
        if (refusal == AccessRefusal::None) return httplib::Server::HandlerResponse::Unhandled;
        response.status = 403;
        setBody(response, std::string(refusalText(refusal)) + "\n", "text/plain; charset=utf-8");
        return httplib::Server::HandlerResponse::Handled;
    }

    void answerRehearsal(httplib::Response& response) {
        const std::lock_guard lock(mutex);
        setBody(response, "{\"folder\":" + jsonString(source.directory) + ",\"events\":" +
                                 jsonString(source.eventsFile) + ",\"until\":" + std::to_string(source.until) +
                                 ",\"version\":" + std::to_string(version) + ",\"error\":" + jsonString(lastError) +
                                 "}",
                             jsonType);
    }

    void answerMoment(const httplib::Request& request, httplib::Response& response) {
        int64_t at = 0;
        if (!parseMilliseconds(request.get_param_value("at"), at) || at > source.until) {
            response.status = 400;
            setBody(response, "at: a whole number of milliseconds from 0 to " + std::to_string(source.until) + "\n",
                                 "text/plain; charset=utf-8");
            return;
        }
        setBody(response, momentJson(rehearsal.momentAt(at)), jsonType);
    }

    // A file of the page, read at each request so that an edit shows at the next reload.
    void answerPageFile(const httplib::Request& request, httplib::Response& response) {
        const std::string name = request.matches.size() > 1 && request.matches[1].length() > 0
                                     ? std::string(request.matches[1])
                                     : std::string("index.html");
        const char* type = pageFileType(name);
        std::string body;
        std::string why;
        if (type == nullptr ||
            readBoundedFile((pageFolder / name).string().c_str(), body, why) != FileReadResult::Read) {
            response.status = 404;
            setBody(response, "no such file of the page\n", "text/plain; charset=utf-8");
            return;
        }
        setBody(response, std::move(body), type);
    }

    static void refuse(httplib::Response& response, const std::string& text) {
        response.status = 400;
        setBody(response, text + "\n", "text/plain; charset=utf-8");
    }

    bool timeParameter(const httplib::Request& request, const char* name, int64_t& at, httplib::Response& response) {
        if (parseMilliseconds(request.get_param_value(name), at) && at <= source.until) return true;
        refuse(response, std::string(name) + ": a whole number of milliseconds from 0 to " + std::to_string(source.until));
        return false;
    }

    static bool direction(const httplib::Request& request, int& value, httplib::Response& response) {
        const std::string text = request.get_param_value("dir");
        if (text == "1" || text == "-1") {
            value = text == "1" ? 1 : -1;
            return true;
        }
        refuse(response, "dir: 1 or -1");
        return false;
    }

    void answerStep(const httplib::Request& request, httplib::Response& response) {
        int64_t from = 0;
        int way = 0;
        const std::string by = request.get_param_value("by");
        if (!parseMilliseconds(request.get_param_value("from"), from) || from > UINT32_MAX) {
            return refuse(response, "from: a position, a whole number");
        }
        if (by != "message" && by != "line") return refuse(response, "by: message or line");
        if (!direction(request, way, response)) return;
        const StepKind kind = by == "line" ? StepKind::Line : StepKind::Message;
        setBody(response, momentJson(rehearsal.step(static_cast<uint32_t>(from), kind, way)), jsonType);
    }

    void answerChanges(const httplib::Request& request, httplib::Response& response) {
        int64_t t0 = 0;
        int64_t t1 = 0;
        int64_t buckets = 0;
        if (!timeParameter(request, "from", t0, response) || !timeParameter(request, "to", t1, response)) return;
        if (!parseMilliseconds(request.get_param_value("buckets"), buckets) || buckets < 1 || buckets > 10000) {
            return refuse(response, "buckets: from 1 to 10000");
        }
        std::vector<Signal> signals;
        const std::string list = request.get_param_value("signals");
        for (size_t start = 0; start <= list.size() && !list.empty();) {
            const size_t comma = std::min(list.find(',', start), list.size());
            Signal signal;
            if (!parseSignal(std::string_view(list).substr(start, comma - start), signal) || signals.size() >= 64) {
                return refuse(response, "signals: out0 to out23, in0 to in23, line, running, comma-separated");
            }
            signals.push_back(signal);
            start = comma + 1;
        }
        const bool before = request.get_param_value("before") == "1";
        setBody(response, tracesJson(rehearsal.changes(signals, t0, std::max(t0, t1), static_cast<int>(buckets), before)),
                             jsonType);
    }

    void answerChange(const httplib::Request& request, httplib::Response& response) {
        int64_t at = 0;
        int way = 0;
        Signal signal;
        if (!parseSignal(request.get_param_value("signal"), signal)) return refuse(response, "signal: a pin, line or running");
        if (!timeParameter(request, "at", at, response) || !direction(request, way, response)) return;
        const std::optional<int64_t> change = rehearsal.changeNear(signal, at, way);
        setBody(response, std::string("{\"at\":") + (change ? std::to_string(*change) : "null") + "}",
                             jsonType);
    }

    void answerWhy(const httplib::Request& request, httplib::Response& response) {
        int64_t at = 0;
        PinName pin;
        if (!parsePinName(request.get_param_value("pin"), pin)) return refuse(response, "pin: out0 to out23 or in0 to in23");
        if (!timeParameter(request, "at", at, response)) return;
        setBody(response, whyJson(rehearsal.why(pin, at)), jsonType);
    }

    void answerFork(httplib::Response& response) {
        std::string lines;
        for (const std::string& line : rehearsal.forkLines()) lines += (lines.empty() ? "" : ",") + jsonString(line);
        setBody(response, "{\"lines\":[" + lines + "]}", jsonType);
    }

    void answerEvents(httplib::Response& response) {
        life.streamOpened();
        uint64_t seen = 0;
        {
            const std::lock_guard lock(mutex);
            seen = version;
        }
        bool greeted = false;
        response.set_chunked_content_provider(
            "text/event-stream",
            [this, seen, greeted](size_t, httplib::DataSink& sink) mutable {
                if (!greeted) {
                    greeted = true;
                    const std::string ready = serverSentEvent("ready", "{\"version\":" + std::to_string(seen) + "}");
                    return sink.write(ready.data(), ready.size());
                }
                std::unique_lock lock(mutex);
                changed.wait_for(lock, streamLook, [&] { return closing || version != seen; });
                if (closing) {
                    sink.done();
                    return true;
                }
                if (version == seen) {
                    lock.unlock();
                    return sink.is_writable();  // false once the page has gone: the stream ends
                }
                seen = version;
                const std::string event = serverSentEvent("changed", lastChange);
                lock.unlock();
                return sink.write(event.data(), event.size());
            },
            [this](bool) { life.streamClosed(); });
    }
};

StudioServer::StudioServer(StudioRehearsal& rehearsal, StudioLife& life, RehearsalSource source,
                           std::filesystem::path pageFolder)
    : impl_(std::make_unique<Impl>(rehearsal, life, std::move(source), std::move(pageFolder))) {}

StudioServer::~StudioServer() { stop(); }

bool StudioServer::start(const std::string& token, std::string& error) {
    Impl& impl = *impl_;
    httplib::Server& http = impl.http;
    impl.address.token = token;
    // No address reuse: the system picks a port no one holds, and on Windows no other program may
    // bind it beside us.
    http.set_socket_options([](socket_t socket) {
#ifdef _WIN32
        BOOL exclusive = TRUE;
        setsockopt(socket, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&exclusive),
                   sizeof exclusive);
#else
        (void)socket;
#endif
    });
    // The page asks many small questions over one kept-alive connection: each answer goes at once.
    http.set_tcp_nodelay(true);
    http.new_task_queue = [] { return new httplib::ThreadPool(serverThreads); };
    http.set_keep_alive_timeout(keepAliveSeconds);
    http.set_keep_alive_max_count(keepAliveRequests);
    http.set_pre_routing_handler(
        [&impl](const httplib::Request& request, httplib::Response& response) { return impl.guard(request, response); });

    const std::string base = "/" + token;
    std::error_code folderError;
    if (!std::filesystem::is_directory(impl.pageFolder, folderError)) {
        error = impl.pageFolder.string() + ": not a folder";
        return false;
    }
    http.Get(base + "/api/rehearsal",
             [&impl](const httplib::Request&, httplib::Response& response) { impl.answerRehearsal(response); });
    http.Get(base + "/api/moment", [&impl](const httplib::Request& request, httplib::Response& response) {
        impl.answerMoment(request, response);
    });
    http.Get(base + "/api/step", [&impl](const httplib::Request& request, httplib::Response& response) {
        impl.answerStep(request, response);
    });
    http.Get(base + "/api/changes", [&impl](const httplib::Request& request, httplib::Response& response) {
        impl.answerChanges(request, response);
    });
    http.Get(base + "/api/marks", [&impl](const httplib::Request&, httplib::Response& response) {
        setBody(response, marksJson(impl.rehearsal.marks()), jsonType);
    });
    http.Get(base + "/api/change", [&impl](const httplib::Request& request, httplib::Response& response) {
        impl.answerChange(request, response);
    });
    http.Get(base + "/api/why", [&impl](const httplib::Request& request, httplib::Response& response) {
        impl.answerWhy(request, response);
    });
    http.Get(base + "/api/program", [&impl](const httplib::Request&, httplib::Response& response) {
        setBody(response, programJson(impl.rehearsal.programLines()), jsonType);
    });
    http.Get(base + "/api/fork",
             [&impl](const httplib::Request&, httplib::Response& response) { impl.answerFork(response); });
    http.Post(base + "/api/fork", [&impl](const httplib::Request& request, httplib::Response& response) {
        std::string error;
        if (!impl.rehearsal.fork(request.body, error)) return Impl::refuse(response, error);
        impl.answerFork(response);
    });
    http.Post(base + "/api/fork/drop", [&impl](const httplib::Request&, httplib::Response& response) {
        impl.rehearsal.dropFork();
        impl.answerFork(response);
    });
    http.Post(base + "/api/fork/dismiss", [&impl](const httplib::Request&, httplib::Response& response) {
        impl.rehearsal.dismissBefore();
        impl.answerFork(response);
    });
    http.Post(base + "/api/fork/save", [&impl](const httplib::Request&, httplib::Response& response) {
        std::string error;
        if (!impl.rehearsal.saveFork(error)) return Impl::refuse(response, error);
        setBody(response, "{\"saved\":" + jsonString(impl.source.eventsFile) + "}", jsonType);
    });
    http.Get(base + "/api/events",
             [&impl](const httplib::Request&, httplib::Response& response) { impl.answerEvents(response); });
    // Last: what no question of the API took is a file of the page.
    http.Get(base + "/([^/]*)", [&impl](const httplib::Request& request, httplib::Response& response) {
        impl.answerPageFile(request, response);
    });

    const int port = http.bind_to_any_port("127.0.0.1");
    if (port < 0) {
        error = "no port to listen on";
        return false;
    }
    impl.address.port = port;
    impl.listener = std::thread([&http] { http.listen_after_bind(); });
    // stop() ends only a server that is running: an interrupt right after the start must not
    // find it still starting. It marks itself running at once, so this wait is brief.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!http.is_running() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

std::string StudioServer::url() const { return pageUrl(impl_->address); }

void StudioServer::announceChange(const std::vector<std::string>& files, const std::string& error) {
    std::string list;
    for (const std::string& file : files) list += (list.empty() ? "" : ",") + jsonString(file);
    {
        const std::lock_guard lock(impl_->mutex);
        ++impl_->version;
        impl_->lastError = error;
        impl_->lastChange = "{\"version\":" + std::to_string(impl_->version) + ",\"files\":[" + list +
                            "],\"error\":" + jsonString(error) + "}";
    }
    impl_->changed.notify_all();
}

void StudioServer::stop() {
    {
        const std::lock_guard lock(impl_->mutex);
        impl_->closing = true;
    }
    impl_->changed.notify_all();
    impl_->http.stop();
    if (impl_->listener.joinable()) impl_->listener.join();
}

}  // namespace kt57
