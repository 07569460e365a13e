#include "sim/web/http_server.h"

#include <httplib.h>

#include <thread>

namespace {
constexpr size_t WORKERS = 16;  // open pages hold a few connections each
constexpr size_t MAX_PAYLOAD = 4096;
constexpr time_t IO_TIMEOUT_SECONDS = 5;
constexpr const char *LOOPBACK = "127.0.0.1";

void Send(const PageReply &reply, httplib::Response &res) {
  res.status = reply.status;
  res.set_header("Cache-Control", "no-store");
  if (reply.image) {
    res.set_header("X-Frame", std::to_string(reply.frame));
    res.set_content(reinterpret_cast<const char *>(reply.image->data()), reply.image->size(),
                    reply.type.c_str());
  } else if (!reply.body.empty()) {
    res.set_content(reply.body, reply.type.c_str());
  }
}

std::string PageName(const httplib::Request &req) { return req.get_header_value("X-Kestra-Page"); }
}  // namespace

struct PageServer::Http {
  httplib::Server server;
  std::thread thread;
};

PageServer::PageServer(Simulation &sim, World *world)
    : page_(sim, world, DefaultPageDir()), http_(std::make_unique<Http>()) {}

PageServer::~PageServer() { Stop(); }

std::string PageServer::Address() const {
  return "http://" + std::string(LOOPBACK) + ":" + std::to_string(port_) + "/";
}

bool PageServer::Start(int port, std::string &error) {
  httplib::Server &s = http_->server;
  s.new_task_queue = [] { return new httplib::ThreadPool(WORKERS); };
  s.set_payload_max_length(MAX_PAYLOAD);
  s.set_read_timeout(IO_TIMEOUT_SECONDS);
  s.set_write_timeout(IO_TIMEOUT_SECONDS);
  s.set_keep_alive_max_count(1000);
  s.set_pre_routing_handler([this](const httplib::Request &req, httplib::Response &res) {
    PageRequester from{req.remote_addr, req.get_header_value("Host"),
                       req.get_header_value("Origin")};
    PageReply refusal;
    if (page_.Admit(from, refusal)) return httplib::Server::HandlerResponse::Unhandled;
    Send(refusal, res);
    return httplib::Server::HandlerResponse::Handled;
  });
  s.set_error_handler([](const httplib::Request &, httplib::Response &res) {
    if (res.body.empty())
      res.set_content("refused: status " + std::to_string(res.status), "text/plain");
  });
  for (const char *path : {"/", "/page.css", "/page.js"})
    s.Get(path, [this](const httplib::Request &req, httplib::Response &res) {
      Send(page_.File(req.path), res);
    });
  s.Get("/frame", [this](const httplib::Request &req, httplib::Response &res) {
    Send(page_.Frame(PageName(req), req.get_param_value("after")), res);
  });
  s.Get("/state", [this](const httplib::Request &req, httplib::Response &res) {
    Send(page_.State(PageName(req)), res);
  });
  s.Post("/key", [this](const httplib::Request &req, httplib::Response &res) {
    Send(page_.Key(PageName(req), req.body), res);
  });
  s.Post("/event", [this](const httplib::Request &req, httplib::Response &res) {
    Send(page_.Event(PageName(req), req.body), res);
  });

  bool bound = false;
  if (port < 0) {
    bound = s.bind_to_port(LOOPBACK, PAGE_DEFAULT_PORT);
    port_ = PAGE_DEFAULT_PORT;
  } else if (port > 0) {
    bound = s.bind_to_port(LOOPBACK, port);
    port_ = port;
  }
  if (!bound && port <= 0) {
    port_ = s.bind_to_any_port(LOOPBACK);
    bound = port_ > 0;
  }
  if (!bound) {
    error = "the page cannot listen on " + std::string(LOOPBACK) + ":" + std::to_string(port);
    return false;
  }
  page_.Start(port_);
  http_->thread = std::thread([this] { http_->server.listen_after_bind(); });
  return true;
}

void PageServer::Stop() {
  if (!http_->thread.joinable()) return;
  http_->server.stop();
  page_.Stop();  // wakes the frame requests that wait
  http_->thread.join();
}
