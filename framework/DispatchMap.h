// The dispatch and event maps: a control declares each automation member once, and
// dispatch, persistence and the type library all read the same table.
//
//   const CDispatchMap& CMyCtrl::GetDispatchMap() const {
//       static const CDispatchMap map = CDispMapBuilder<CMyCtrl>()
//           .Property<VT_BSTR>("Dir", 1, &CMyCtrl::GetDir, &CMyCtrl::SetDir)
//               .Persist("Dir", &CMyCtrl::m_strDir, CString())
//           .StockBackColor()
//           .StockAboutBox()
//           .Build();
//       return map;
//   }
//
// Getter and setter types follow the automation type: VT_BSTR CString (the setter may take
// const CString& or const char*), VT_BOOL BOOL (the setter receives -1 or 0 exactly as
// automation sent it; a getter's non-zero result reads as -1), VT_I2 int16_t, VT_I4 int32_t,
// VT_COLOR OLE_COLOR. A persisted member is exchanged directly, without its setter, with the
// exchange that fits the automation type (PX_String, PX_Bool, PX_Short, PX_Long, PX_Color).
#pragma once

#include <cassert>
#include <functional>
#include <type_traits>
#include <utility>
#include <vector>

#include "framework/Variant.h"

class COleControl;
class CPropExchange;

enum class DispKind { Property, Method };

struct CDispEntry {
    CString name;
    DISPID dispid = DISPID_UNKNOWN;
    DispKind kind = DispKind::Property;
    VARTYPE vt = VT_EMPTY;  // the property's type; VT_EMPTY for a method without result
    // Empty get: write-only; empty set: read-only.
    std::function<CVariant(COleControl&)> get;
    std::function<void(COleControl&, const CVariant&)> set;  // value already of type vt
    std::function<void(COleControl&)> invoke;                // methods
    // Persistence; exchange is empty for a member that is not saved.
    CString persistName;
    int32_t persistOrder = 0;
    std::function<void(COleControl&, CPropExchange&)> exchange;
    bool stock = false;  // provided by the framework (BackColor, AboutBox)
};

using CDispatchMap = std::vector<CDispEntry>;

struct CEventParam {
    CString name;
    VARTYPE vt = VT_EMPTY;
};

struct CEventEntry {
    CString name;
    DISPID dispid = DISPID_UNKNOWN;
    std::vector<CEventParam> params;
};

using CEventMap = std::vector<CEventEntry>;

const CDispEntry* FindDispEntry(const CDispatchMap& map, DISPID dispid);
// Names compare without regard to case, as automation names do.
const CDispEntry* FindDispEntry(const CDispatchMap& map, const CString& name);
const CEventEntry* FindEventEntry(const CEventMap& map, DISPID dispid);
// The persisted entries in exchange order (persistOrder, then table order).
std::vector<const CDispEntry*> PersistedEntries(const CDispatchMap& map);

namespace dispatch_detail {

template <class M>
void Exchange(CPropExchange& px, VARTYPE vt, const CString& name, M& member, const M& def);

// Converts between a getter/setter's C++ type and the variant of the property's type.
template <VARTYPE vt>
CVariant ToVariant(auto&& value) {
    if constexpr (vt == VT_BSTR) {
        return CVariant::Str(CString(value));
    } else if constexpr (vt == VT_BOOL) {
        return CVariant::Bool(value ? TRUE : FALSE);
    } else if constexpr (vt == VT_I2) {
        return CVariant::I2(int16_t(value));
    } else if constexpr (vt == VT_I4) {
        return CVariant::I4(int32_t(value));
    } else {
        static_assert(vt == VT_UI4, "unsupported property type");
        return CVariant::UI4(uint32_t(value));
    }
}

template <VARTYPE vt>
auto FromVariant(const CVariant& v) {
    if constexpr (vt == VT_BSTR) {
        return v.bstrVal();
    } else if constexpr (vt == VT_BOOL) {
        return BOOL(v.boolVal());  // -1 stays -1: setters see what automation sent
    } else if constexpr (vt == VT_I2) {
        return v.iVal();
    } else if constexpr (vt == VT_I4) {
        return v.lVal();
    } else {
        static_assert(vt == VT_UI4, "unsupported property type");
        return v.ulVal();
    }
}

template <class Arg>
decltype(auto) AdaptArg(const CString& s) {
    if constexpr (std::is_same_v<std::decay_t<Arg>, const char*>) {
        return s.c_str();
    } else {
        return (s);
    }
}

}  // namespace dispatch_detail

// Builds a control's dispatch map. T is the control class.
template <class T>
class CDispMapBuilder {
public:
    // get or set may be nullptr for a read-only or write-only property.
    template <VARTYPE vt, class Get, class Set>
    CDispMapBuilder& Property(const char* name, DISPID dispid, Get get, Set set) {
        CDispEntry e;
        e.name = name;
        e.dispid = dispid;
        e.vt = vt;
        if constexpr (!std::is_null_pointer_v<Get>) {
            e.get = [get](COleControl& c) {
                return dispatch_detail::ToVariant<vt>((static_cast<T&>(c).*get)());
            };
        }
        if constexpr (!std::is_null_pointer_v<Set>) {
            e.set = [set](COleControl& c, const CVariant& v) {
                CallSetter<vt>(static_cast<T&>(c), set, v);
            };
        }
        m_map.push_back(std::move(e));
        return *this;
    }

    // Saves the member of the property declared just before under the name. order places it
    // in the exchange; 0 keeps table order.
    template <class M, class D>
    CDispMapBuilder& Persist(const char* name, M T::*member, D def, int32_t order = 0) {
        assert(!m_map.empty() && m_map.back().kind == DispKind::Property);
        CDispEntry& e = m_map.back();
        e.persistName = name;
        e.persistOrder = order;
        VARTYPE vt = e.vt;
        CString persistName = name;
        M defValue = M(def);
        e.exchange = [vt, persistName, member, defValue](COleControl& c, CPropExchange& px) {
            dispatch_detail::Exchange(px, vt, persistName, static_cast<T&>(c).*member, defValue);
        };
        return *this;
    }

    CDispMapBuilder& Method(const char* name, DISPID dispid, void (T::*fn)()) {
        CDispEntry e;
        e.name = name;
        e.dispid = dispid;
        e.kind = DispKind::Method;
        e.invoke = [fn](COleControl& c) { (static_cast<T&>(c).*fn)(); };
        m_map.push_back(std::move(e));
        return *this;
    }

    // The stock BackColor property (DISPID_BACKCOLOR) and AboutBox method (DISPID_ABOUTBOX),
    // served by COleControl; BackColor is saved by COleControl::DoPropExchange.
    CDispMapBuilder& StockBackColor();
    CDispMapBuilder& StockAboutBox();

    CDispatchMap Build() { return std::move(m_map); }

private:
    template <VARTYPE vt, class Set>
    static void CallSetter(T& c, Set set, const CVariant& v) {
        if constexpr (vt == VT_BSTR) {
            using Arg = typename SetterArg<Set>::type;
            (c.*set)(dispatch_detail::AdaptArg<Arg>(v.bstrVal()));
        } else {
            (c.*set)(dispatch_detail::FromVariant<vt>(v));
        }
    }

    template <class S>
    struct SetterArg;
    template <class C, class A>
    struct SetterArg<void (C::*)(A)> {
        using type = A;
    };

    CDispatchMap m_map;
};

// Builds a control's event map; DISPIDs are given, parameters as (name, type) pairs.
class CEventMapBuilder {
public:
    CEventMapBuilder& Event(const char* name, DISPID dispid, std::vector<CEventParam> params) {
        m_map.push_back(CEventEntry{name, dispid, std::move(params)});
        return *this;
    }
    CEventMap Build() { return std::move(m_map); }

private:
    CEventMap m_map;
};
