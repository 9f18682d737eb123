// The secrets of one sign-in (RFC 7636, RFC 6749): the PKCE verifier that
// only this program knows, its S256 challenge that goes out through the
// browser, and the state that ties the browser's answer to this request.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace zentavo {

// BASE64URL without padding (RFC 4648 section 5).
std::string EncodeBase64Url(std::string_view bytes);

// `bytes` from OpenSSL's CSPRNG in BASE64URL. Throws std::runtime_error
// when the generator cannot give them.
std::string RandomBase64Url(std::size_t bytes);

// A fresh verifier: 64 unreserved characters (48 random bytes), within
// RFC 7636's 43 to 128.
std::string NewCodeVerifier();

// BASE64URL(SHA-256(verifier)).
std::string CodeChallenge(std::string_view verifier);

}  // namespace zentavo
