#pragma once
// A plain HTTP/1.1 exchange over TCP, written from the protocol alone, so
// that a test can send what no browser would.
#include <map>
#include <string>

struct HttpReply {
  int status = 0;  // 0: no reply (the connection closed first, or the time ran out)
  std::map<std::string, std::string> headers;  // names in lower case
  std::string body;
};

// Sends `request` as it is to 127.0.0.1:`port`, from the address `source`
// when one is given, and reads the reply: its Content-Length bytes, else
// until the server closes the connection; at most for `seconds`.
HttpReply HttpExchange(int port, const std::string &request, double seconds = 30,
                       const std::string &source = "");

// A request as the page sends it (Host, X-Kestra-Page, Connection: close);
// `headers` are further header lines, each ending in "\r\n".
std::string PageRequest(int port, const std::string &method, const std::string &target,
                        const std::string &page, const std::string &body = "",
                        const std::string &headers = "");

// The errno of a connection attempt to `address`:`port`; 0 when it connected.
int ConnectError(const std::string &address, int port);
