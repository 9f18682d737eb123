#include "store/Signature.h"

#include "base/DiagnosticLog.h"
#include "store/StoredFile.h"

namespace zentavo {

ReadResult LoadSignature(const DataFolder& folder, std::vector<std::string>& signature) {
  StoredFile read = ReadStoredFile(folder.Path(kSignatureFile));
  signature = std::move(read.lines);
  return read.result;
}

bool SaveSignature(const DataFolder& folder, const std::vector<std::string>& signature) {
  try {
    WriteStoredFile(folder.Path(kSignatureFile), signature);
    return true;
  } catch (const std::exception& e) {
    LogDiagnostic(e.what());
    return false;
  }
}

void AppendSignature(const std::vector<std::string>& signature, std::vector<std::string>& body) {
  body.insert(body.end(), signature.begin(), signature.end());
}

}  // namespace zentavo
