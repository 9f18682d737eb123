#include "store/Signature.h"

#include "store/NameList.h"

namespace zentavo {

void LoadSignature(const DataFolder& folder, std::vector<std::string>& signature) {
  signature = ReadCipherLines(folder.Path(kSignatureFile)).lines;
}

bool SaveSignature(const DataFolder& folder, const std::vector<std::string>& signature) {
  try {
    WriteCipherLines(folder.Path(kSignatureFile), signature);
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

void AppendSignature(const std::vector<std::string>& signature, std::vector<std::string>& body) {
  body.insert(body.end(), signature.begin(), signature.end());
}

}  // namespace zentavo
