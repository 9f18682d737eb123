#include "text/KeptConverter.h"

#include <iconv.h>

#include <cctype>
#include <cerrno>
#include <map>
#include <utility>

namespace zentavo {

namespace {

// Mail names many charsets, most of them seldom: past this many kept per
// thread, a conversion gets a descriptor of its own.
constexpr std::size_t kMostKept = 32;

// The Unicode forms other than UTF-8 read (or write) a byte order mark at a
// descriptor's first use only, which would then hold for every later text:
// these get a descriptor of their own each time.
bool ReadsByteOrderMark(const std::string& name) {
  std::string plain;  // lower case, letters and digits only: "UTF-16LE" -> "utf16le"
  for (const char c : name)
    if (std::isalnum(static_cast<unsigned char>(c)))
      plain += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  for (const char* form : {"utf16", "utf32", "ucs2", "ucs4", "unicode", "utf7", "iso10646", "10646"})
    if (plain.starts_with(form)) return true;
  return false;
}

}  // namespace

void KeptConverter::Closer::operator()(void* cd) const { iconv_close(static_cast<iconv_t>(cd)); }

KeptConverter::KeptConverter(const std::string& to, const std::string& from) {
  thread_local std::map<std::pair<std::string, std::string>, std::unique_ptr<void, Closer>> kept;
  if (const auto found = kept.find({to, from}); found != kept.end()) {
    cd_ = found->second.get();
    iconv(static_cast<iconv_t>(cd_), nullptr, nullptr, nullptr, nullptr);
    return;
  }
  const iconv_t cd = iconv_open(to.c_str(), from.c_str());
  if (cd == reinterpret_cast<iconv_t>(-1)) return;
  std::unique_ptr<void, Closer> opened(cd);
  cd_ = cd;
  if (kept.size() < kMostKept && !ReadsByteOrderMark(to) && !ReadsByteOrderMark(from))
    kept.emplace(std::pair(to, from), std::move(opened));
  else
    own_ = std::move(opened);
}

int KeptConverter::Run(std::string_view& in, std::string& out) {
  if (!ok()) return EBADF;
  char buffer[1024];
  while (!in.empty()) {
    char* src = const_cast<char*>(in.data());
    std::size_t left = in.size();
    char* dst = buffer;
    std::size_t room = sizeof buffer;
    const std::size_t rc = iconv(static_cast<iconv_t>(cd_), &src, &left, &dst, &room);
    const int error = errno;
    out.append(buffer, static_cast<std::size_t>(dst - buffer));
    in.remove_prefix(in.size() - left);
    if (rc == static_cast<std::size_t>(-1) && error != E2BIG) return error;
  }
  return 0;
}

}  // namespace zentavo
