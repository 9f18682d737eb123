// The order in which the program loads everything at start-up and saves
// everything at shut-down.
#pragma once

#include "base/Operator.h"
#include "program/AppState.h"

namespace zentavo {

// Creates the eight sub-directories in their order; failures are ignored.
void CreateDataDirectories(const DataFolder& folder);

// The start-up sequence: directories, settings, grid headers, staff, groups,
// template list (rebuilt from "TEIKEI" when "JIAN/teikei" is missing),
// signature; then the operator hears of files read only in part and of a
// notice that went out only in part when the program last ended. No step's
// failure stops the next.
void StartUp(AppState& state, Operator& op);

// The shut-down sequence: staff (back to "SYOKUIN/name" enciphered), groups,
// template list, signature, settings, then CleanTempFiles. Each step's
// failure is isolated; only the staff writer reports one.
void ShutDown(AppState& state, Operator& op);

// Steps 1 to 5 of the shut-down alone: what the session manager asks for
// when the desktop session ends (the program may yet go on).
void SaveAll(AppState& state, Operator& op);

}  // namespace zentavo
