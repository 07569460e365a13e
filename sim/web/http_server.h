#pragma once
// kestra-sim's page server: HTTP on 127.0.0.1 in front of the page's model
// (sim/web/web_page.h). Only kestra-sim links the HTTP library.
#include <memory>
#include <string>

#include "sim/web/web_page.h"
#include "sim/world/options.h"

class PageServer {
 public:
  PageServer(Simulation &sim, World *world);
  ~PageServer();
  PageServer(const PageServer &) = delete;
  PageServer &operator=(const PageServer &) = delete;

  // Listens on 127.0.0.1:`port`: 0 any free port, −1 PAGE_DEFAULT_PORT or,
  // when that is taken, any free port. False with the reason.
  bool Start(int port, std::string &error);
  void Stop();
  void Attach(Works *works) { page_.Attach(works); }
  std::string Address() const;

 private:
  struct Http;
  WebPage page_;
  std::unique_ptr<Http> http_;
  int port_ = 0;
};
