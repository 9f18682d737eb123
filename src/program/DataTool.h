// zentavo-data: the administrator's tool for the data files, which are
// otherwise unreadable. Bytes in, bytes out.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace zentavo {

// `args` without the program name. Returns the exit status: 0 done, 1 a line
// that cannot be deciphered or an unreadable file, 2 a wrong call.
int RunDataTool(const std::vector<std::string>& args, std::istream& in, std::ostream& out, std::ostream& err);

}  // namespace zentavo
