// The signature: one block of text kept in "SYOMEI/Syomei" and appended to
// the notice body by "署名".
#pragma once

#include <string>
#include <vector>

#include "store/DataFolder.h"
#include "store/StoredFile.h"

namespace zentavo {

ReadResult LoadSignature(const DataFolder& folder, std::vector<std::string>& signature);
// Silent on failure, as at shut-down; returns false when the write failed.
bool SaveSignature(const DataFolder& folder, const std::vector<std::string>& signature);
// "署名": appends every signature line to the body, nothing in between.
void AppendSignature(const std::vector<std::string>& signature, std::vector<std::string>& body);

}  // namespace zentavo
