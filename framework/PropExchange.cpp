#include "framework/PropExchange.h"

#include <cstdio>

#include "platform/StringUtil.h"

namespace {

constexpr const char* kVersionName = "_Version";

CString Hex32(uint32_t v) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", unsigned(v));
    return text;
}

std::optional<int64_t> ReadInteger(const CPropExchange& px, const char* name, int64_t lo,
                                   int64_t hi) {
    auto text = px.ReadText(name);
    if (!text) return std::nullopt;
    auto n = ParseInteger(*text);
    if (!n || *n < lo || *n > hi) return std::nullopt;
    return n;
}

// Runs the common shape of every PX_ function: reset and failed loads take the default.
template <class T, class Parse, class Format>
BOOL ExchangeValue(CPropExchange* px, const char* name, T& value, const T& def, Parse parse,
                   Format format) {
    switch (px->GetMode()) {
        case CPropExchange::Mode::Reset:
            value = def;
            return TRUE;
        case CPropExchange::Mode::Save:
            px->WriteText(name, format(value));
            return TRUE;
        case CPropExchange::Mode::Load:
            break;
    }
    std::optional<T> loaded = parse();
    value = loaded ? *loaded : def;
    return loaded ? TRUE : FALSE;
}

}  // namespace

std::optional<CString> CPropExchange::ReadText(const CString& name) const {
    return m_bag.Read(name);
}

void CPropExchange::WriteText(const CString& name, const CString& text) {
    m_bag.Write(name, text);
}

BOOL CPropExchange::ExchangeVersion(DWORD& version, DWORD defaultVersion, BOOL convert) {
    switch (m_mode) {
        case Mode::Save:
            m_version = version;
            WriteText(kVersionName, Hex32(version));
            return TRUE;
        case Mode::Reset:
            version = m_version = defaultVersion;
            return TRUE;
        case Mode::Load:
            break;
    }
    auto n = ReadInteger(*this, kVersionName, 0, UINT32_MAX);
    DWORD loaded = n ? DWORD(*n) : defaultVersion;
    m_version = loaded;
    if (loaded != defaultVersion && !convert) {
        version = defaultVersion;
        return FALSE;
    }
    version = loaded;
    return TRUE;
}

BOOL PX_String(CPropExchange* px, const char* name, CString& value, const CString& def) {
    return ExchangeValue(
        px, name, value, def, [&] { return px->ReadText(name); },
        [](const CString& v) { return v; });
}

BOOL PX_Bool(CPropExchange* px, const char* name, BOOL& value, BOOL def) {
    auto parse = [&]() -> std::optional<BOOL> {
        auto text = px->ReadText(name);
        if (!text) return std::nullopt;
        if (EqualsNoCase(*text, "True")) return TRUE;
        if (EqualsNoCase(*text, "False")) return FALSE;
        auto n = ParseInteger(*text);
        if (!n) return std::nullopt;
        return *n != 0 ? TRUE : FALSE;
    };
    return ExchangeValue(px, name, value, def, parse,
                         [](BOOL v) { return CString(v ? "True" : "False"); });
}

BOOL PX_Short(CPropExchange* px, const char* name, int16_t& value, int16_t def) {
    auto parse = [&]() -> std::optional<int16_t> {
        auto n = ReadInteger(*px, name, INT16_MIN, INT16_MAX);
        if (!n) return std::nullopt;
        return int16_t(*n);
    };
    return ExchangeValue(px, name, value, def, parse, [](int16_t v) { return std::to_string(v); });
}

BOOL PX_Long(CPropExchange* px, const char* name, int32_t& value, int32_t def) {
    auto parse = [&]() -> std::optional<int32_t> {
        auto n = ReadInteger(*px, name, INT32_MIN, INT32_MAX);
        if (!n) return std::nullopt;
        return int32_t(*n);
    };
    return ExchangeValue(px, name, value, def, parse, [](int32_t v) { return std::to_string(v); });
}

BOOL PX_Color(CPropExchange* px, const char* name, OLE_COLOR& value, OLE_COLOR def) {
    auto parse = [&]() -> std::optional<OLE_COLOR> {
        // Negative decimals are accepted: a colour saved as a signed 32-bit number.
        auto n = ReadInteger(*px, name, INT32_MIN, UINT32_MAX);
        if (!n) return std::nullopt;
        return OLE_COLOR(uint32_t(*n));
    };
    return ExchangeValue(px, name, value, def, parse, Hex32);
}
