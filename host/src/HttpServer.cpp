#include "HttpServer.h"

#include <boost/asio/executor_work_guard.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/thread_pool.hpp>
#include <thread>
#include <vector>

#include "HostLog.h"
#include "HttpIo.h"
#include "IoStandby.h"

namespace Corvan::Host {

namespace {

// I/O threads, each with its own context: it runs its connections'
// handlers and, at once, the blocking work they start. Two keep both cores
// busy without one thread ever waking the other.
constexpr int kIoThreads = 2;
// Blocking work that does not start on an I/O thread.
constexpr int kWorkers = 3;
// How long a failed accept (no descriptor left) waits before the next.
constexpr auto kAcceptRetry = std::chrono::milliseconds(50);

}  // namespace

// One I/O thread with a context of its own, and the standby that serves
// the context's connections while the thread is inside blocking work.
struct IoLane {
  asio::io_context io;
  // The accepts run on the first lane's context: the others would find
  // nothing to do and return until their first connection came.
  asio::executor_work_guard<asio::io_context::executor_type> running = asio::make_work_guard(io);
  IoStandby standby{io};
  std::thread thread;
};

// The Asio side of a server; destroyed by Stop, which destroys every
// connection with it.
struct Core {
  ServerContext context;
  // After the context: the lanes' contexts hold the connections.
  std::vector<std::unique_ptr<IoLane>> lanes;
  std::unique_ptr<tcp::acceptor> acceptor;
  std::unique_ptr<asio::steady_timer> acceptRetry;
  std::size_t nextLane = 0;

  Core() {
    for (int i = 0; i < kIoThreads; ++i) lanes.push_back(std::make_unique<IoLane>());
    acceptor = std::make_unique<tcp::acceptor>(lanes[0]->io);
    acceptRetry = std::make_unique<asio::steady_timer>(lanes[0]->io);
  }
  ~Core() {
    acceptRetry.reset();
    acceptor.reset();
    lanes.clear();
  }

  void Accept();
  void Refuse(Socket socket);
};

struct HttpServer::State {
  std::unique_ptr<Core> core = std::make_unique<Core>();
  std::uint16_t port = 0;
  std::unique_ptr<asio::thread_pool> workers = std::make_unique<asio::thread_pool>(kWorkers);
  bool stopped = false;
};

namespace {
// The lane whose thread this is; null on other threads.
thread_local IoLane* tLane = nullptr;
// Set on the thread that runs blocking work now.
thread_local bool tInBlockingWork = false;
}  // namespace

void Core::Accept() {
  // Connections go to the lanes in turn. A connection's handlers run on its
  // lane's thread, or on the standby while that thread is blocked, never on
  // both at once.
  IoLane& lane = *lanes[nextLane++ % lanes.size()];
  acceptor->async_accept(lane.io, [this](boost::system::error_code error,
                                                             Socket socket) {
    if (error == asio::error::operation_aborted || !acceptor->is_open()) return;
    if (error) {
      // Out of descriptors, most likely: try again shortly instead of
      // spinning on the same error.
      acceptRetry->expires_after(kAcceptRetry);
      acceptRetry->async_wait([this](boost::system::error_code e) {
        if (!e) Accept();
      });
      return;
    }
    boost::system::error_code ignored;
    socket.set_option(tcp::no_delay(true), ignored);
    if (context.connections.load() >= context.limits.connections) {
      Refuse(std::move(socket));
    } else {
      ConnectionTicket ticket(context);
      ServeConnection(std::move(socket), context, std::move(ticket));
    }
    Accept();
  });
}

void Core::Refuse(Socket socket) {
  // One small write that fits the socket's buffer; a client that cannot
  // take it loses the answer, not the server a descriptor.
  static const std::string kAnswer =
      CannedAnswer(503, R"({"httpStatus":503,"message":"Too many connections"})");
  boost::system::error_code ignored;
  socket.non_blocking(true, ignored);
  socket.write_some(asio::buffer(kAnswer), ignored);
  socket.shutdown(tcp::socket::shutdown_both, ignored);
}

HttpServer::HttpServer(HttpLimits limits) : state_(std::make_unique<State>()) {
  state_->core->context.limits = limits;
  state_->core->context.server = this;
}

HttpServer::~HttpServer() { Stop(); }

std::string HttpServer::Bind(std::uint16_t port) {
  tcp::acceptor& acceptor = *state_->core->acceptor;
  const tcp::endpoint endpoint(asio::ip::make_address_v4("127.0.0.1"), port);
  boost::system::error_code error;
  acceptor.open(endpoint.protocol(), error);
  // SO_REUSEADDR lets a restarted host take its port back at once (no
  // SO_REUSEPORT, with which a second host would share the port).
  if (!error) acceptor.set_option(tcp::acceptor::reuse_address(true), error);
  if (!error) acceptor.bind(endpoint, error);
  if (!error) acceptor.listen(asio::socket_base::max_listen_connections, error);
  if (error) {
    acceptor.close();
    if (error == asio::error::address_in_use) {
      return "port " + std::to_string(port) +
             " is in use (another kyn-host?): pass --port 0 for a free one";
    }
    return "cannot listen on 127.0.0.1:" + std::to_string(port) + ": " + error.message();
  }
  state_->port = acceptor.local_endpoint().port();
  state_->core->context.port = state_->port;
  return "";
}

std::uint16_t HttpServer::port() const { return state_->port; }

void HttpServer::Start(Handler handler, EventStream* events) {
  Core& core = *state_->core;
  core.context.handler = std::move(handler);
  core.context.events = events;
  core.Accept();
  for (const std::unique_ptr<IoLane>& lane : core.lanes) {
    lane->thread = std::thread([lane = lane.get()] {
      tLane = lane;
      lane->io.run();
    });
    lane->standby.Start();
  }
}

void HttpServer::RunBlocking(std::function<void()> work) {
  State& state = *state_;
  // Only an I/O thread runs blocking work itself: its standby keeps its
  // connections going meanwhile. A standby, running handlers in its
  // thread's stead, hands its blocking work on.
  IoLane* lane = tLane;
  if (lane == nullptr || tInBlockingWork) {
    asio::post(*state.workers, std::move(work));
    return;
  }
  tInBlockingWork = true;
  lane->standby.Enter();
  work();
  lane->standby.Leave();
  tInBlockingWork = false;
}

void HttpServer::Stop() {
  State& state = *state_;
  if (state.stopped) return;
  state.stopped = true;
  for (const std::unique_ptr<IoLane>& lane : state.core->lanes) lane->io.stop();
  for (const std::unique_ptr<IoLane>& lane : state.core->lanes) {
    if (lane->thread.joinable()) lane->thread.join();
    lane->standby.Stop();
  }
  // Work already running finishes (it may post its answer: the context
  // still lives); queued work is dropped.
  state.workers->stop();
  state.workers->join();
  state.workers.reset();
  // The pending handlers own the connections: destroying the contexts
  // destroys them and closes every socket.
  state.core.reset();
}

std::size_t HttpServer::ConnectionCount() const {
  return state_->core ? state_->core->context.connections.load() : 0;
}

}  // namespace Corvan::Host
