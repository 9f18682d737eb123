// What reaches the sign-in from outside: the token endpoint's answer
// (HTTP, handed over a few bytes at a time, then its JSON) and a request
// that any program on the machine may send to the loopback redirect. No
// crash, no hang, no body over its limit, and no token or error code that
// could not go into a SASL line or the operator's message.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "oauth/HttpsPost.h"
#include "oauth/LoopbackRedirect.h"
#include "oauth/TokenEndpoint.h"

namespace {

bool Printable(const std::string& text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return c > ' ' && c < 0x7F; });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  std::size_t at = 0;
  try {
    const zentavo::HttpResponse response = zentavo::ReadHttpResponse(
        [&](char* buffer, std::size_t want) {
          const std::size_t n = std::min({want, std::size_t{5}, bytes.size() - at});
          bytes.copy(buffer, n, at);
          at += n;
          return n;
        },
        1024);
    if (response.body.size() > 1024) std::abort();
  } catch (const zentavo::HttpError&) {}
  for (const int status : {200, 400}) {
    const zentavo::TokenReply reply = zentavo::ReadTokenReply({status, bytes});
    if (reply.grant && (!Printable(reply.grant->accessToken) || !Printable(reply.grant->refreshToken))) std::abort();
    if (!Printable(reply.error) || reply.error.size() > 64) std::abort();
  }
  zentavo::ParseRedirectRequest(bytes);
  return 0;
}
