#pragma once
// Fingerprints of the market a run read: 64-bit FNV-1a over what the run took from each file
// (kospi.lst's records, each price file's numbers, ksp.txt's rows with automatic setting), as
// 16 hex digits. Two runs whose fingerprints agree read the same market; one that differs names
// the file. Cheap beside the run (one pass over numbers already in memory).

#include "engine/RunInputs.h"

#include <string>
#include <utility>
#include <vector>

namespace kestrelan {

/// The files of a run's market as ("kospi.lst" | "ksp.txt" | stock code, fingerprint), in the
/// order of kospi.lst, ksp.txt (only when the funds took their conditions from it) and the
/// portfolio's stocks (each once).
std::vector<std::pair<std::string, std::string>> marketFingerprints(const RunData& data);

} // namespace kestrelan
