#include "framework/Variant.h"

#include <cassert>
#include <charconv>
#include <limits>

#include "platform/StringUtil.h"

namespace {

// The numeric value of an integer or boolean variant, widened.
std::optional<int64_t> NumberOf(const CVariant& v) {
    switch (v.vt()) {
        case VT_I2:
            return v.iVal();
        case VT_I4:
            return v.lVal();
        case VT_UI4:
            return v.ulVal();
        case VT_BOOL:
            return v.boolVal();
        default:
            return std::nullopt;
    }
}

}  // namespace

std::optional<int64_t> ParseInteger(const CString& text) {
    const char* first = text.data();
    const char* last = first + text.size();
    bool negative = false;
    if (first != last && (*first == '-' || *first == '+')) {
        negative = *first == '-';
        ++first;
    }
    int base = 10;
    if (last - first > 2 && first[0] == '0' && (first[1] == 'x' || first[1] == 'X')) {
        base = 16;
        first += 2;
    }
    if (first == last) return std::nullopt;
    uint64_t value = 0;
    auto [end, ec] = std::from_chars(first, last, value, base);
    if (ec != std::errc() || end != last) return std::nullopt;
    if (value > uint64_t(std::numeric_limits<int64_t>::max())) return std::nullopt;
    return negative ? -int64_t(value) : int64_t(value);
}

int16_t CVariant::iVal() const {
    assert(m_vt == VT_I2);
    return std::get<int16_t>(m_value);
}

int32_t CVariant::lVal() const {
    assert(m_vt == VT_I4);
    return std::get<int32_t>(m_value);
}

uint32_t CVariant::ulVal() const {
    assert(m_vt == VT_UI4);
    return std::get<uint32_t>(m_value);
}

VARIANT_BOOL CVariant::boolVal() const {
    assert(m_vt == VT_BOOL);
    return std::get<int16_t>(m_value);
}

const CString& CVariant::bstrVal() const {
    assert(m_vt == VT_BSTR);
    return std::get<CString>(m_value);
}

HRESULT CVariant::ChangeType(VARTYPE to, CVariant* out) const {
    if (to == m_vt) {
        *out = *this;
        return S_OK;
    }
    if (to == VT_BSTR) {
        if (m_vt == VT_BOOL) {
            *out = Str(boolVal() ? "True" : "False");
            return S_OK;
        }
        auto n = NumberOf(*this);
        if (!n) return m_vt == VT_EMPTY ? (*out = Str(""), S_OK) : DISP_E_TYPEMISMATCH;
        *out = Str(std::to_string(*n));
        return S_OK;
    }

    std::optional<int64_t> n;
    if (m_vt == VT_BSTR) {
        const CString& s = bstrVal();
        if (EqualsNoCase(s, "True")) {
            n = VARIANT_TRUE;
        } else if (EqualsNoCase(s, "False")) {
            n = VARIANT_FALSE;
        } else {
            n = ParseInteger(s);
        }
        if (!n) return DISP_E_TYPEMISMATCH;
    } else if (m_vt == VT_EMPTY) {
        n = 0;
    } else {
        n = NumberOf(*this);
    }
    if (!n) return DISP_E_TYPEMISMATCH;
    int64_t v = *n;

    switch (to) {
        case VT_BOOL:
            *out = Bool(v != 0);
            return S_OK;
        case VT_I2:
            if (v < INT16_MIN || v > INT16_MAX) return DISP_E_OVERFLOW;
            *out = I2(int16_t(v));
            return S_OK;
        case VT_I4:
            // An unsigned 32-bit value keeps its bits: 0x80000005 is a colour, not an overflow.
            if (m_vt == VT_UI4 || (m_vt == VT_BSTR && v > INT32_MAX && v <= UINT32_MAX)) {
                *out = I4(int32_t(uint32_t(v)));
                return S_OK;
            }
            if (v < INT32_MIN || v > INT32_MAX) return DISP_E_OVERFLOW;
            *out = I4(int32_t(v));
            return S_OK;
        case VT_UI4:
            if (m_vt == VT_I4 || m_vt == VT_I2 || m_vt == VT_BOOL) {
                *out = UI4(uint32_t(int32_t(v)));
                return S_OK;
            }
            if (v < INT32_MIN || v > int64_t(UINT32_MAX)) return DISP_E_OVERFLOW;
            *out = UI4(uint32_t(v));
            return S_OK;
        default:
            return DISP_E_TYPEMISMATCH;
    }
}
