#include "tests/support/http_client.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <chrono>
#include <regex>

namespace {
sockaddr_in Address(const std::string &ip, int port) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(uint16_t(port));
  inet_pton(AF_INET, ip.c_str(), &a.sin_addr);
  return a;
}

// A socket connected to 127.0.0.1:port, or -1.
int Connect(int port, const std::string &source) {
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  sockaddr_in from = Address(source, 0);
  sockaddr_in to = Address("127.0.0.1", port);
  bool ok = (source.empty() || bind(fd, reinterpret_cast<sockaddr *>(&from), sizeof from) == 0) &&
            connect(fd, reinterpret_cast<sockaddr *>(&to), sizeof to) == 0;
  if (ok) return fd;
  close(fd);
  return -1;
}

bool SendAll(int fd, const std::string &bytes) {
  for (size_t sent = 0; sent < bytes.size();) {
    ssize_t n = send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) return false;
    sent += size_t(n);
  }
  return true;
}

// True once `bytes` hold a whole reply: its head and Content-Length bytes of body.
bool Complete(const std::string &bytes) {
  size_t headEnd = bytes.find("\r\n\r\n");
  if (headEnd == std::string::npos) return false;
  std::smatch m;
  std::string head = bytes.substr(0, headEnd);
  if (!std::regex_search(head, m, std::regex("\r\nContent-Length: *([0-9]+)", std::regex::icase)))
    return false;  // read until the server closes
  return bytes.size() >= headEnd + 4 + std::stoul(m[1]);
}

std::string ReadReply(int fd, double seconds) {
  auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  std::string bytes;
  while (!Complete(bytes)) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        end - std::chrono::steady_clock::now());
    pollfd p{fd, POLLIN, 0};
    if (left.count() <= 0 || poll(&p, 1, int(left.count())) <= 0) break;
    char buf[4096];
    ssize_t n = recv(fd, buf, sizeof buf, 0);
    if (n <= 0) break;
    bytes.append(buf, size_t(n));
  }
  return bytes;
}

HttpReply Parse(const std::string &bytes) {
  HttpReply reply;
  size_t headEnd = bytes.find("\r\n\r\n");
  if (bytes.compare(0, 9, "HTTP/1.1 ") != 0 || headEnd == std::string::npos) return reply;
  reply.status = atoi(bytes.c_str() + 9);
  size_t line = bytes.find("\r\n") + 2;
  while (line < headEnd) {
    size_t next = bytes.find("\r\n", line);
    std::string header = bytes.substr(line, next - line);
    size_t colon = header.find(':');
    std::string name = header.substr(0, colon);
    for (char &c : name) c = char(tolower(static_cast<unsigned char>(c)));
    if (colon != std::string::npos)
      reply.headers[name] = header.substr(header.find_first_not_of(' ', colon + 1));
    line = next + 2;
  }
  reply.body = bytes.substr(headEnd + 4);
  return reply;
}
}  // namespace

HttpReply HttpExchange(int port, const std::string &request, double seconds,
                       const std::string &source) {
  int fd = Connect(port, source);
  if (fd < 0) return {};
  std::string bytes;
  if (SendAll(fd, request)) bytes = ReadReply(fd, seconds);
  close(fd);
  return Parse(bytes);
}

std::string PageRequest(int port, const std::string &method, const std::string &target,
                        const std::string &page, const std::string &body,
                        const std::string &headers) {
  std::string request = method + " " + target +
                        " HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port) +
                        "\r\nConnection: close\r\n" + headers;
  if (!page.empty()) request += "X-Kestra-Page: " + page + "\r\n";
  if (method == "POST") request += "Content-Length: " + std::to_string(body.size()) + "\r\n";
  return request + "\r\n" + body;
}

int ConnectError(const std::string &address, int port) {
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in to = Address(address, port);
  int error = connect(fd, reinterpret_cast<sockaddr *>(&to), sizeof to) == 0 ? 0 : errno;
  close(fd);
  return error;
}
