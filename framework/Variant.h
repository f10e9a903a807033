// A value as automation carries it: empty, 16-bit or 32-bit integer, boolean, unsigned
// 32-bit (OLE_COLOR) or a narrow string standing in for a BSTR.
#pragma once

#include <cstdint>
#include <variant>

#include "framework/Com.h"

#ifndef _WIN32
using VARTYPE = uint16_t;
using VARIANT_BOOL = int16_t;

constexpr VARTYPE VT_EMPTY = 0;
constexpr VARTYPE VT_I2 = 2;
constexpr VARTYPE VT_I4 = 3;
constexpr VARTYPE VT_BSTR = 8;
constexpr VARTYPE VT_BOOL = 11;
constexpr VARTYPE VT_UI4 = 19;
#endif
// OLE_COLOR travels as an unsigned 32-bit value; the type library names it OLE_COLOR.
// (The system's olectl.h calls VT_I4 so; this framework keeps colours unsigned everywhere.)
#undef VT_COLOR
constexpr VARTYPE VT_COLOR = VT_UI4;

#ifndef _WIN32
constexpr VARIANT_BOOL VARIANT_TRUE = -1;
constexpr VARIANT_BOOL VARIANT_FALSE = 0;
#endif

class CVariant {
public:
    CVariant() = default;
    // Explicit makers: BOOL, int32_t and OLE_COLOR are all 32-bit integers in C++, so a
    // constructor could not tell them apart.
    static CVariant I2(int16_t v) { return CVariant(VT_I2, v); }
    static CVariant I4(int32_t v) { return CVariant(VT_I4, v); }
    static CVariant UI4(uint32_t v) { return CVariant(VT_UI4, v); }
    static CVariant Color(OLE_COLOR v) { return UI4(v); }
    // Any non-zero value is stored as VARIANT_TRUE.
    static CVariant Bool(BOOL v) { return CVariant(VT_BOOL, int16_t(v ? VARIANT_TRUE : 0)); }
    static CVariant Str(CString v) { return CVariant(VT_BSTR, std::move(v)); }

    VARTYPE vt() const { return m_vt; }
    bool IsEmpty() const { return m_vt == VT_EMPTY; }

    // The stored value; only meaningful for the matching type (asserted).
    int16_t iVal() const;
    int32_t lVal() const;
    uint32_t ulVal() const;
    VARIANT_BOOL boolVal() const;
    const CString& bstrVal() const;

    // Converts as automation does: integers widen and narrow with an overflow check (I4 and
    // UI4 keep their bits, so a colour may travel as either), booleans become -1 or 0 and
    // read as -1 or 0, numbers format as decimal text, text parses as a decimal or 0x number
    // or as "True"/"False". S_OK, DISP_E_OVERFLOW or DISP_E_TYPEMISMATCH; on failure *out is
    // left unchanged.
    HRESULT ChangeType(VARTYPE to, CVariant* out) const;

    friend bool operator==(const CVariant&, const CVariant&) = default;

private:
    template <class V>
    CVariant(VARTYPE vt, V v) : m_vt(vt), m_value(std::move(v)) {}

    VARTYPE m_vt = VT_EMPTY;
    std::variant<std::monostate, int16_t, int32_t, uint32_t, CString> m_value;
};

// Parses a whole decimal (optionally signed) or 0x-prefixed hexadecimal integer; nothing
// for anything else, including surrounding junk.
std::optional<int64_t> ParseInteger(const CString& text);
