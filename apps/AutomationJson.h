// How the automate session's lines carry values: texts that are not UTF-8, integers checked
// against their type's range, and output that never throws.
#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>

// Whether the bytes are well-formed UTF-8 (no overlong forms, no surrogates, at most U+10FFFF).
bool IsUtf8(std::string_view bytes);

// A text as a JSON value: a string when it is UTF-8, otherwise {"hex":"..."} with two
// lowercase hex digits a byte, so that any bytes travel and come back unchanged.
nlohmann::json TextToJson(const std::string& bytes);
// The bytes of a string or of the {"hex":"..."} form (either case); nothing for any other
// value. A malformed hex form throws std::invalid_argument with the reason.
std::optional<std::string> TextFromJson(const nlohmann::json& value);

// One line of output. Never throws: bytes that are not UTF-8 (in messages only, since values
// go through TextToJson) become U+FFFD, and a value that still cannot be written gives an
// error reply instead.
std::string DumpLine(const nlohmann::json& value) noexcept;

// The deepest nesting of arrays and objects in a line (the request's own object is one),
// counting only brackets outside strings, as the parser sees them; a line that is not JSON
// gives some depth the parser would never exceed on it.
int32_t NestingDepth(std::string_view line);

// An integer value as a 64-bit one: nothing when it is not an integer or lies beyond int64
// (a large unsigned number the parser kept as such).
std::optional<int64_t> IntegerOf(const nlohmann::json& value);
