// SPDX-License-Identifier: GPL-3.0-or-later
// A tester's bytes gathered into lines, fed arbitrary bytes: no line is empty, none holds a
// CR or LF or runs past the longest a line may be, and the lines are the same however the
// bytes are split into batches (the first byte chooses the batch length).

#include "session/TesterLink.h"
#include "support/Check.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace zelcor;
    if (size == 0) {
        return 0;
    }
    const std::vector<std::uint8_t> bytes(data + 1, data + size);
    const auto gather = [&bytes](std::size_t batch) {
        TesterLines reader;
        std::vector<std::string> lines;
        for (std::size_t at = 0; at < bytes.size(); at += batch) {
            const auto end =
                bytes.begin() + static_cast<std::ptrdiff_t>(std::min(bytes.size(), at + batch));
            reader.take({bytes.begin() + static_cast<std::ptrdiff_t>(at), end},
                        [&lines](const std::string& line) { lines.push_back(line); });
        }
        return lines;
    };
    const std::vector<std::string> whole = gather(std::max<std::size_t>(bytes.size(), 1));
    for (const std::string& line : whole) {
        FUZZ_CHECK(!line.empty() && line.size() <= TesterLines::kMaxLine);
        FUZZ_CHECK(line.find_first_of("\r\n") == std::string::npos);
    }
    FUZZ_CHECK(gather(std::size_t(data[0] % 16) + 1) == whole);
    return 0;
}
