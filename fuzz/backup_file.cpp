// SPDX-License-Identifier: GPL-3.0-or-later
// The backup file's reader, fed arbitrary text: it either refuses it with a reason or gives a
// backup of exactly the cells 07H to 2DH whose identity agrees with them, and such a backup
// written out reads back the same.

#include "common/TextConv.h"
#include "support/Check.h"
#include "wrench/BackupFile.h"
#include "wrench/WrenchMap.h"

#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace zelcor;
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::string error = "untouched";
    const auto backup = BackupFromJson(text, error);
    if (!backup) {
        FUZZ_CHECK(!error.empty() && error != "untouched");
        return 0;
    }
    FUZZ_CHECK(backup->cells.size() == cells::kLast - cells::kFirstTransfer + 1);
    FUZZ_CHECK(backup->cells.begin()->first == cells::kFirstTransfer);
    FUZZ_CHECK(backup->cells.rbegin()->first == cells::kLast);
    // Every address is a key of the file, in upper case (unless written with escapes).
    for (const auto& cell : backup->cells) {
        const std::string key = ByteToHexStr(static_cast<std::uint8_t>(cell.first));
        FUZZ_CHECK(text.find('"' + key + '"') != std::string::npos ||
                   text.find("\\u") != std::string::npos);
    }

    const std::string written = BackupToJson(*backup);
    std::string again;
    const auto reread = BackupFromJson(written, again);
    FUZZ_CHECK(reread.has_value());
    FUZZ_CHECK(reread->cells == backup->cells);
    FUZZ_CHECK(reread->time == backup->time && reread->program == backup->program);
    FUZZ_CHECK(BackupToJson(*reread) == written);
    return 0;
}
