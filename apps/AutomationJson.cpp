#include "apps/AutomationJson.h"

#include <limits>
#include <stdexcept>

using json = nlohmann::json;

bool IsUtf8(std::string_view bytes) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const auto* const end = p + bytes.size();
    while (p < end) {
        const unsigned char lead = *p++;
        if (lead < 0x80) continue;
        size_t more;
        // The second byte's range rules out overlong forms, surrogates and values past
        // U+10FFFF, as the serialiser's decoder does.
        unsigned char lo = 0x80, hi = 0xBF;
        if (lead >= 0xC2 && lead <= 0xDF) {
            more = 1;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            more = 2;
            if (lead == 0xE0) lo = 0xA0;
            if (lead == 0xED) hi = 0x9F;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            more = 3;
            if (lead == 0xF0) lo = 0x90;
            if (lead == 0xF4) hi = 0x8F;
        } else {
            return false;
        }
        if (size_t(end - p) < more) return false;
        if (*p < lo || *p > hi) return false;
        for (size_t i = 1; i < more; ++i)
            if ((p[i] & 0xC0) != 0x80) return false;
        p += more;
    }
    return true;
}

json TextToJson(const std::string& bytes) {
    if (IsUtf8(bytes)) return bytes;
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(bytes.size() * 2);
    for (const char c : bytes) {
        hex += kDigits[(unsigned char)c >> 4];
        hex += kDigits[(unsigned char)c & 15];
    }
    return {{"hex", hex}};
}

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

std::optional<std::string> TextFromJson(const json& value) {
    if (value.is_string()) return value.get<std::string>();
    if (!value.is_object() || value.size() != 1 || !value.contains("hex")) return std::nullopt;
    const json& hex = value["hex"];
    if (!hex.is_string()) throw std::invalid_argument("{\"hex\":...} takes a string");
    const std::string& digits = hex.get_ref<const std::string&>();
    if (digits.size() % 2 != 0)
        throw std::invalid_argument("{\"hex\":...} takes two hex digits a byte");
    std::string bytes;
    bytes.reserve(digits.size() / 2);
    for (size_t i = 0; i < digits.size(); i += 2) {
        const int hi = HexDigit(digits[i]), lo = HexDigit(digits[i + 1]);
        if (hi < 0 || lo < 0)
            throw std::invalid_argument("{\"hex\":...} takes two hex digits a byte");
        bytes += char(hi * 16 + lo);
    }
    return bytes;
}

std::string DumpLine(const json& value) noexcept {
    try {
        return value.dump(-1, ' ', false, json::error_handler_t::replace);
    } catch (...) {
        // Only a failed allocation gets here; a short fixed line may still fit.
        return R"({"ok":false,"error":"the reply could not be written"})";
    }
}

int32_t NestingDepth(std::string_view line) {
    int32_t depth = 0, deepest = 0;
    bool inString = false;
    for (size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (inString) {
            if (c == '\\')
                ++i;
            else if (c == '"')
                inString = false;
        } else if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            if (++depth > deepest) deepest = depth;
        } else if ((c == ']' || c == '}') && depth > 0) {
            --depth;
        }
    }
    return deepest;
}

std::optional<int64_t> IntegerOf(const json& value) {
    if (value.is_number_unsigned()) {
        const uint64_t n = value.get<uint64_t>();
        if (n > uint64_t(std::numeric_limits<int64_t>::max())) return std::nullopt;
        return int64_t(n);
    }
    if (value.is_number_integer()) return value.get<int64_t>();
    return std::nullopt;
}
