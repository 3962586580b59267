#pragma once
// The fuzz harnesses. Each takes one input, runs it through the code it
// covers and checks the results; a failed check aborts with a message, so
// libFuzzer reports it like a crash and the replay test fails.
//
// The same functions serve the libFuzzer entry point (FuzzMain.cpp) and the
// plain replay driver (ReplayMain.cpp) that runs corpus/ and regressions/
// as ordinary tests.

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace quorl::fuzz {

// Bytes from the unit into the decoder and the dispatcher, with sweep steps
// interleaved (see UnitStreamHarness.cpp for the input layout).
int FuzzUnitStream(const std::uint8_t* data, std::size_t size);
// The input as a projection file through the projection load.
int FuzzProjection(const std::uint8_t* data, std::size_t size);
// The input as an existing collection file: opened, listed, a point deleted
// and one appended.
int FuzzCollection(const std::uint8_t* data, std::size_t size);
// The input as a collection file through every export format.
int FuzzExport(const std::uint8_t* data, std::size_t size);

using HarnessFunction = int (*)(const std::uint8_t*, std::size_t);

// The harness of a name ("stream", "projection", "collection", "export"), or null.
HarnessFunction FindHarness(std::string_view name);

}  // namespace quorl::fuzz
