// The property exchange: one DoPropExchange routine loads, saves or resets a control's
// properties, depending on the mode of the exchange it is given.
//
// Load: each member takes the value saved under its name, or its default when the name is
// missing or its text does not parse as the member's type. Save: each member is written under
// its name. Reset: each member takes its default. Members are written directly: no setter runs.
//
// Saved forms: strings as they are, booleans "True"/"False" (read also as any integer,
// non-zero true), 16-bit and 32-bit integers in decimal, colours as 0xAARRGGBB-style hex of
// the OLE_COLOR (read also in decimal), the version as hex under "_Version".
#pragma once

#include "framework/DispatchMap.h"
#include "framework/PropertyBag.h"

class CPropExchange {
public:
    enum class Mode { Load, Save, Reset };

    CPropExchange(CPropertyBag& bag, Mode mode) : m_bag(bag), m_mode(mode) {}

    Mode GetMode() const { return m_mode; }
    BOOL IsLoading() const { return m_mode != Mode::Save ? TRUE : FALSE; }
    BOOL IsResetting() const { return m_mode == Mode::Reset ? TRUE : FALSE; }
    // The version of the data being loaded (or saved); set by ExchangeVersion.
    DWORD GetVersion() const { return m_version; }

    // Loads or saves the property-set version under "_Version". On load a missing or
    // malformed version reads as the default; with convert FALSE data of another version is
    // refused (FALSE), with TRUE it is accepted and GetVersion tells the caller which it got.
    BOOL ExchangeVersion(DWORD& version, DWORD defaultVersion, BOOL convert);

    // The raw text of one property: on load the saved text or nothing, on save written.
    std::optional<CString> ReadText(const CString& name) const;
    void WriteText(const CString& name, const CString& text);

private:
    CPropertyBag& m_bag;
    Mode m_mode;
    DWORD m_version = 0;
};

// Each returns TRUE when the member holds a value from the bag (load), was written (save) or
// took its default (reset); FALSE when a load had to fall back on the default.
BOOL PX_String(CPropExchange* px, const char* name, CString& value, const CString& def);
BOOL PX_Bool(CPropExchange* px, const char* name, BOOL& value, BOOL def);
BOOL PX_Short(CPropExchange* px, const char* name, int16_t& value, int16_t def);
BOOL PX_Long(CPropExchange* px, const char* name, int32_t& value, int32_t def);
BOOL PX_Color(CPropExchange* px, const char* name, OLE_COLOR& value, OLE_COLOR def);

namespace dispatch_detail {

// The exchange a dispatch-map entry uses for its persisted member, chosen by its type.
template <class M>
void Exchange(CPropExchange& px, VARTYPE vt, const CString& name, M& member, const M& def) {
    if constexpr (std::is_same_v<M, CString>) {
        assert(vt == VT_BSTR);
        PX_String(&px, name.c_str(), member, def);
    } else if constexpr (std::is_same_v<M, int16_t>) {
        assert(vt == VT_I2);
        PX_Short(&px, name.c_str(), member, def);
    } else if constexpr (std::is_same_v<M, int32_t>) {
        // BOOL and 32-bit integers share a C++ type; the automation type tells them apart.
        assert(vt == VT_BOOL || vt == VT_I4);
        if (vt == VT_BOOL) {
            PX_Bool(&px, name.c_str(), member, def);
        } else {
            PX_Long(&px, name.c_str(), member, def);
        }
    } else {
        static_assert(std::is_same_v<M, uint32_t>, "no exchange for this member type");
        assert(vt == VT_COLOR);
        PX_Color(&px, name.c_str(), member, def);
    }
}

}  // namespace dispatch_detail
