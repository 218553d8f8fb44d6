// The project's fuzz targets: each feeds one input of libFuzzer's to a loader or decoder of the
// project, through the same calls the production and its tools make. A target must not crash,
// leak or read outside a buffer on any input; the sanitizers of the fuzzing build catch that.
//
// Each is registered under a name. A fuzzing build links one target and fuzz_main.cpp into a
// program of its own (fuzz_<name>); the ordinary build links them all into the replay tests,
// which run every input kept in tests/data/fuzz/<name>/.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <span>
#include <string>

namespace tincrates::fuzz {

using Target = std::function<void(std::span<const uint8_t> input)>;

// Every registered target, by name.
std::map<std::string, Target>& targets();

// Registers `target` under `name`; returns true, so that it can initialise a static.
bool registerTarget(const std::string& name, Target target);

// Makes a folder of its own the current directory the first time it is called, with an empty
// data/ (the loaders look for "stashpack" and "data/" there); removes "stashpack" on every
// call.
void enterWorkFolder();

// Writes `content` to `path`, relative to the work folder.
void writeWorkFile(const std::string& path, std::span<const uint8_t> content);

} // namespace tincrates::fuzz

#define TINCRATES_FUZZ_CONCAT2(a, b) a##b
#define TINCRATES_FUZZ_CONCAT(a, b) TINCRATES_FUZZ_CONCAT2(a, b)

// Defines and registers a target: TINCRATES_FUZZ_TARGET(meshFile) { ... input ... }
#define TINCRATES_FUZZ_TARGET(name)                                                              \
    static void TINCRATES_FUZZ_CONCAT(fuzz_, name)(std::span<const uint8_t> input);             \
    [[maybe_unused]] static const bool TINCRATES_FUZZ_CONCAT(isRegistered_, name) =             \
        ::tincrates::fuzz::registerTarget(#name, TINCRATES_FUZZ_CONCAT(fuzz_, name));           \
    static void TINCRATES_FUZZ_CONCAT(fuzz_, name)(std::span<const uint8_t> input)
