// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>

namespace zelcor {

// A wrench's parameter memory 07H to 2DH as a backup file holds it.
struct Backup {
    std::map<int, std::uint8_t> cells; // every address 07H to 2DH
    std::string time;                  // when it was read, UTC, ISO 8601
    std::string program;               // "zelcor-cli 1.3.0"
};

// The identity of a wrench in words: "factory code A1B2, software 10 05, wrench code 123456";
// a cell missing from `cells` shows as XX.
std::string IdentityText(const std::map<int, std::uint8_t>& cells);

// The file's text, a JSON object:
//   {"format": "zelcor-backup", "formatVersion": 1, "program": ..., "time": ...,
//    "identity": {"factoryCode": "A1B2", "softwareVersion": "1005", "wrenchCode": "123456"},
//    "cells": {"07": "FF", ..., "2D": "56"}}
// The identity repeats the cells 0CH-0FH (software version high byte 0FH first) and 2BH-2DH
// for the reader's eye; reading checks that it agrees with them.
std::string BackupToJson(const Backup& backup);
// The backup in `text`, or none with `error` saying what is wrong with it.
std::optional<Backup> BackupFromJson(const std::string& text, std::string& error);

} // namespace zelcor
