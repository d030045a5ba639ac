// A scratch directory per fuzz process, on tmpfs where there is one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tarvel::fuzz {

// Created on first use, emptied by Reset(), removed at exit.
const std::string& ScratchDir();
void Reset();
void Write(const std::string& path, std::string_view bytes);
// Aborts with `what` when `condition` is false, so the fuzzer keeps the input.
void Require(bool condition, const std::string& what);

}  // namespace tarvel::fuzz
