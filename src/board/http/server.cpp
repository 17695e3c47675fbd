#include "board/http/server.h"

#include <boost/asio.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>

#include <array>
#include <atomic>
#include <iostream>
#include <optional>
#include <stdexcept>
#include <thread>
#include <vector>

namespace board::http {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace bhttp = boost::beast::http;
using tcp = asio::ip::tcp;

namespace {

// After an error answered before its body was read, the rest is read and
// dropped for a while, so that the client sees the answer rather than a reset.
constexpr std::size_t DrainBytes = 64u * 1024 * 1024;
constexpr std::chrono::seconds DrainTime{5};
constexpr std::chrono::seconds WriteTimeout{10};

struct Shared {
    ServerOptions options;
    Handler handler;
    std::atomic<std::size_t> connections{0};
};

api::Response transportError(int status, const std::string& message) {
    api::Response response = api::errorResponse(status, message);
    api::addCorsHeaders(response);
    return response;
}

class Session : public std::enable_shared_from_this<Session> {
public:
    Session(tcp::socket socket, Shared& shared)
        : socket_(std::move(socket)), timer_(socket_.get_executor()), shared_(shared) {
        ++shared_.connections;
    }
    ~Session() { --shared_.connections; }

    void start() {
        beast::error_code ec;
        const auto peer = socket_.remote_endpoint(ec);
        client_ = ec ? "unknown" : peer.address().to_string();
        waitForRequest();
    }

private:
    void arm(std::chrono::steady_clock::duration after) {
        timer_.expires_after(after);
        timer_.async_wait([self = shared_from_this()](beast::error_code ec) {
            if (ec)
                return; // cancelled: the operation finished in time
            self->timedOut_ = true;
            beast::error_code ignored;
            self->socket_.cancel(ignored);
        });
    }

    void waitForRequest() {
        timedOut_ = false;
        if (buffer_.size() > 0)
            return startRequest();
        arm(shared_.options.idleTimeout);
        socket_.async_wait(tcp::socket::wait_read, [self = shared_from_this()](beast::error_code ec) {
            self->timer_.cancel();
            if (ec || self->timedOut_)
                return self->close(); // idle too long, or gone
            self->startRequest();
        });
    }

    void startRequest() {
        parser_.emplace();
        parser_->header_limit(static_cast<std::uint32_t>(shared_.options.maxHeader));
        parser_->body_limit(shared_.options.maxBody);
        arm(shared_.options.readTimeout);
        bhttp::async_read_header(
            socket_, buffer_, *parser_,
            [self = shared_from_this()](beast::error_code ec, std::size_t) { self->onHeader(ec); });
    }

    void onHeader(beast::error_code ec) {
        if (ec)
            return fail(ec);
        const auto& request = parser_->get();
        if (beast::iequals(request[bhttp::field::expect], "100-continue")) {
            static const std::string proceed = "HTTP/1.1 100 Continue\r\n\r\n";
            asio::async_write(socket_, asio::buffer(proceed),
                              [self = shared_from_this()](beast::error_code e, std::size_t) {
                                  if (e)
                                      return self->fail(e);
                                  self->readBody();
                              });
            return;
        }
        readBody();
    }

    void readBody() {
        bhttp::async_read(socket_, buffer_, *parser_,
                          [self = shared_from_this()](beast::error_code ec, std::size_t) { self->onRequest(ec); });
    }

    void fail(beast::error_code ec) {
        timer_.cancel();
        if (timedOut_)
            return respond(transportError(408, "the request did not arrive in time"), true);
        if (ec == bhttp::error::body_limit)
            return respond(transportError(413, "the body is larger than " +
                                                   std::to_string(shared_.options.maxBody / 1024) + " KiB"),
                           true);
        if (ec == bhttp::error::header_limit)
            return respond(transportError(431, "the request's header is too large"), true);
        if (ec.category() == bhttp::make_error_code(bhttp::error::bad_method).category() &&
            ec != bhttp::error::end_of_stream && ec != bhttp::error::partial_message)
            return respond(transportError(400, "a malformed HTTP request"), true);
        close();
    }

    void onRequest(beast::error_code ec) {
        if (ec)
            return fail(ec);
        timer_.cancel();
        auto& request = parser_->get();
        api::Request mine;
        mine.method = std::string(request.method_string());
        mine.target = std::string(request.target());
        mine.contentType = std::string(request[bhttp::field::content_type]);
        mine.authorization = std::string(request[bhttp::field::authorization]);
        mine.body = std::move(request.body());
        mine.client = client_;
        mine.acceptEncoding = std::string(request[bhttp::field::accept_encoding]);
        mine.ifNoneMatch = std::string(request[bhttp::field::if_none_match]);
        for (auto [at, end] = request.equal_range("X-Forwarded-For"); at != end; ++at) {
            if (!mine.forwardedFor.empty())
                mine.forwardedFor.push_back(',');
            mine.forwardedFor.append(at->value().data(), at->value().size());
        }
        api::Response response;
        try {
            response = shared_.handler(mine);
        } catch (const std::exception& error) {
            std::cerr << "vexlo-board: " << error.what() << std::endl;
            response = transportError(500, "the server could not do that");
        }
        respond(std::move(response), !request.keep_alive());
    }

    void respond(api::Response mine, bool closeAfter) {
        auto response = std::make_shared<bhttp::response<bhttp::string_body>>();
        response->version(11);
        response->result(static_cast<unsigned>(mine.status));
        if (!mine.contentType.empty())
            response->set(bhttp::field::content_type, mine.contentType);
        response->set("X-Content-Type-Options", "nosniff");
        for (const auto& [name, value] : mine.headers)
            response->set(name, value);
        response->keep_alive(!closeAfter);
        if (mine.headOnly) {
            response->content_length(mine.body.size()); // what GET would send
        } else {
            response->body() = std::move(mine.body);
            response->prepare_payload();
        }
        timedOut_ = false;
        arm(WriteTimeout);
        bhttp::async_write(socket_, *response,
                           [self = shared_from_this(), response, closeAfter](beast::error_code ec, std::size_t) {
                               self->timer_.cancel();
                               if (ec || self->timedOut_)
                                   return self->close();
                               if (closeAfter)
                                   return self->drain();
                               self->waitForRequest();
                           });
    }

    // Says no more, then reads what the client still sends until it stops.
    void drain() {
        beast::error_code ignored;
        socket_.shutdown(tcp::socket::shutdown_send, ignored);
        timedOut_ = false;
        arm(DrainTime);
        drainSome();
    }

    void drainSome() {
        socket_.async_read_some(asio::buffer(scratch_),
                                [self = shared_from_this()](beast::error_code ec, std::size_t n) {
                                    self->drained_ += n;
                                    if (ec || self->timedOut_ || self->drained_ > DrainBytes)
                                        return self->close();
                                    self->drainSome();
                                });
    }

    void close() {
        timer_.cancel();
        beast::error_code ignored;
        socket_.shutdown(tcp::socket::shutdown_both, ignored);
        socket_.close(ignored);
    }

    tcp::socket socket_;
    asio::steady_timer timer_;
    Shared& shared_;
    beast::flat_buffer buffer_;
    std::optional<bhttp::request_parser<bhttp::string_body>> parser_;
    std::string client_;
    bool timedOut_ = false;
    std::size_t drained_ = 0;
    std::array<char, 16384> scratch_{};
};

} // namespace

struct Server::Impl {
    Shared shared;
    asio::io_context io;
    tcp::acceptor acceptor{io};
    asio::signal_set signals{io, SIGINT, SIGTERM};

    void accept() {
        acceptor.async_accept(asio::make_strand(io), [this](beast::error_code ec, tcp::socket socket) {
            if (ec == asio::error::operation_aborted)
                return;
            if (!ec && shared.connections < shared.options.maxConnections) {
                socket.set_option(tcp::no_delay(true), ec);
                std::make_shared<Session>(std::move(socket), shared)->start();
            }
            accept();
        });
    }
};

Server::Server(const ServerOptions& options, Handler handler) : impl_(std::make_unique<Impl>()) {
    impl_->shared.options = options;
    impl_->shared.handler = std::move(handler);
    beast::error_code ec;
    const auto address = asio::ip::make_address(options.address, ec);
    if (ec)
        throw std::runtime_error("not an address to listen on: " + options.address);
    const tcp::endpoint endpoint(address, options.port);
    auto& acceptor = impl_->acceptor;
    acceptor.open(endpoint.protocol(), ec);
    if (!ec)
        acceptor.set_option(asio::socket_base::reuse_address(true), ec);
    if (!ec)
        acceptor.bind(endpoint, ec);
    if (!ec)
        acceptor.listen(asio::socket_base::max_listen_connections, ec);
    if (ec)
        throw std::runtime_error("cannot listen on " + options.address + ":" + std::to_string(options.port) +
                                 ": " + ec.message());
}

Server::~Server() = default;

unsigned short Server::port() const { return impl_->acceptor.local_endpoint().port(); }

void Server::run() {
    impl_->signals.async_wait([this](beast::error_code ec, int) {
        if (!ec)
            stop();
    });
    impl_->accept();
    std::vector<std::thread> threads;
    for (int i = 1; i < impl_->shared.options.threads; ++i)
        threads.emplace_back([this] { impl_->io.run(); });
    impl_->io.run();
    for (auto& t : threads)
        t.join();
}

void Server::stop() {
    asio::post(impl_->io, [this] {
        beast::error_code ignored;
        impl_->acceptor.close(ignored);
        impl_->signals.cancel(ignored);
        impl_->io.stop();
    });
}

} // namespace board::http
