// The type library: widl compiled Movitrel.idl in the build; what it holds agrees with the
// control's dispatch and event maps, and the reader refuses damaged bytes.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>

#include "control/MovitrelCtrl.h"
#include "framework/TypeLib.h"
#include "module/MovitrelModule.h"
#include "tests/module/ModuleTestSupport.h"
#include "tests/support/TestFiles.h"

namespace {

constexpr uint16_t VT_VOID = 24;
constexpr uint16_t VT_USERDEFINED = 29;
const CString kOleColorGuid = "{66504301-BE0F-101A-8BBB-00AA00300CAB}";

class TypeLib : public ::testing::Test {
protected:
    void SetUp() override {
        m_bytes = ReadAll(MOVITREL_TLB_FILE);
        ASSERT_FALSE(m_bytes.empty()) << "widl left no type library at " << MOVITREL_TLB_FILE;
        auto lib = ReadTypeLib(m_bytes.data(), m_bytes.size());
        ASSERT_TRUE(lib.has_value());
        m_lib = *lib;
    }
    std::vector<uint8_t> m_bytes;
    CTypeLibInfo m_lib;
};

// The type a dispatch-map entry should have in the library.
void ExpectType(const CTypeLibType& t, VARTYPE vt, const CString& name) {
    if (vt == VT_COLOR) {
        // OLE_COLOR from the standard OLE library, not a bare unsigned long.
        EXPECT_EQ(t.vt, VT_USERDEFINED) << name;
        EXPECT_TRUE(t.imported) << name;
        EXPECT_EQ(t.importedFrom, "stdole2.tlb") << name;
        EXPECT_EQ(StringFromGUID(t.userGuid), kOleColorGuid) << name;
    } else {
        EXPECT_EQ(t.vt, vt) << name;
    }
}

TEST_F(TypeLib, LibraryHeaderIsMovitrelLib10) {
    EXPECT_EQ(m_lib.name, "MOVITRELLib");
    EXPECT_EQ(StringFromGUID(m_lib.libId), module_test::kLibId);
    EXPECT_EQ(m_lib.majorVersion, kTypeLibMajor);
    EXPECT_EQ(m_lib.minorVersion, kTypeLibMinor);
    EXPECT_EQ(m_lib.docString, "Movitrel ActiveX Control module");
    EXPECT_EQ(m_lib.helpFile, "Movitrel.hlp");
    EXPECT_EQ(m_lib.types.size(), 3u);
}

TEST_F(TypeLib, DispatchInterfaceAgreesWithTheDispatchMap) {
    const CTypeLibTypeInfo* disp = m_lib.FindType("_DMovitrel");
    ASSERT_NE(disp, nullptr);
    EXPECT_EQ(disp->kind, TKIND_DISPATCH);
    EXPECT_EQ(disp->guid, IID_DMovitrel);
    EXPECT_EQ(disp->docString, "Dispatch interface for Movitrel Control");
    EXPECT_EQ(disp->flags, TYPEFLAG_FHIDDEN | TYPEFLAG_FDISPATCHABLE);

    CMovitrelCtrl ctrl;
    const CDispatchMap& map = ctrl.GetDispatchMap();
    ASSERT_EQ(disp->members.size(), map.size());
    std::vector<DISPID> properties;
    for (const CDispEntry& e : map) {
        const CTypeLibMember* m = nullptr;
        for (const CTypeLibMember& candidate : disp->members) {
            if (candidate.name == e.name) m = &candidate;
        }
        ASSERT_NE(m, nullptr) << e.name;
        EXPECT_EQ(m->memid, e.dispid) << e.name;
        if (e.kind == DispKind::Property) {
            EXPECT_EQ(m->kind, CTypeLibMember::Kind::Variable) << e.name;
            ExpectType(m->type, e.vt, e.name);
            if (!e.stock) properties.push_back(e.dispid);
        } else {
            EXPECT_EQ(m->kind, CTypeLibMember::Kind::Function) << e.name;
            EXPECT_EQ(m->type.vt, VT_VOID) << e.name;
            EXPECT_TRUE(m->params.empty()) << e.name;
        }
    }
    EXPECT_EQ(properties,
              (std::vector<DISPID>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16}));
    EXPECT_NE(FindDispEntry(map, DISPID_BACKCOLOR), nullptr);
    EXPECT_NE(FindDispEntry(map, DISPID_ABOUTBOX), nullptr);
}

TEST_F(TypeLib, EventInterfaceAgreesWithTheEventMap) {
    const CTypeLibTypeInfo* events = m_lib.FindType("_DMovitrelEvents");
    ASSERT_NE(events, nullptr);
    EXPECT_EQ(events->kind, TKIND_DISPATCH);
    EXPECT_EQ(events->guid, IID_DMovitrelEvents);
    EXPECT_EQ(events->docString, "Event interface for Movitrel Control");
    EXPECT_EQ(events->flags, TYPEFLAG_FDISPATCHABLE);

    CMovitrelCtrl ctrl;
    const CEventMap& map = ctrl.GetEventMap();
    ASSERT_EQ(events->members.size(), map.size());
    for (size_t i = 0; i < map.size(); ++i) {
        const CTypeLibMember& m = events->members[i];
        EXPECT_EQ(m.name, map[i].name);
        EXPECT_EQ(m.memid, map[i].dispid);
        EXPECT_EQ(m.memid, DISPID(i + 1));
        EXPECT_EQ(m.type.vt, VT_VOID);
        ASSERT_EQ(m.params.size(), map[i].params.size()) << m.name;
        for (size_t p = 0; p < m.params.size(); ++p) {
            EXPECT_EQ(m.params[p].name, map[i].params[p].name) << m.name;
            EXPECT_EQ(m.params[p].type.vt, map[i].params[p].vt) << m.name;
        }
    }
}

TEST_F(TypeLib, CoclassIsACreatableControlWithBothInterfaces) {
    const CTypeLibTypeInfo* coclass = m_lib.FindType("Movitrel");
    ASSERT_NE(coclass, nullptr);
    EXPECT_EQ(coclass->kind, TKIND_COCLASS);
    EXPECT_EQ(coclass->guid, CLSID_MovitrelCtrl);
    EXPECT_EQ(coclass->docString, "Movitrel Control");
    EXPECT_EQ(coclass->flags, TYPEFLAG_FCANCREATE | TYPEFLAG_FCONTROL);
    constexpr int32_t IMPLTYPEFLAG_FDEFAULT = 1, IMPLTYPEFLAG_FSOURCE = 2;
    EXPECT_EQ(coclass->implemented,
              (std::vector<std::pair<CString, int32_t>>{
                  {"_DMovitrel", IMPLTYPEFLAG_FDEFAULT},
                  {"_DMovitrelEvents", IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE}}));
}

TEST_F(TypeLib, TheImportedColourTypeIsOleColorOfTheStandardLibrary) {
    // stdole2.tlb is a DLL carrying its library as a resource; find it by its signature.
    std::vector<uint8_t> dll = ReadAll(MOVITREL_STDOLE_FILE);
    std::optional<CTypeLibInfo> stdole;
    for (size_t i = 0; i + 4 <= dll.size() && !stdole; ++i) {
        if (std::memcmp(&dll[i], "MSFT", 4) == 0) stdole = ReadTypeLib(&dll[i], dll.size() - i);
    }
    ASSERT_TRUE(stdole.has_value());
    EXPECT_EQ(stdole->name, "stdole");
    const CTypeLibTypeInfo* color = stdole->FindType("OLE_COLOR");
    ASSERT_NE(color, nullptr);
    EXPECT_EQ(StringFromGUID(color->guid), kOleColorGuid);
    EXPECT_EQ(color->kind, TKIND_ALIAS);
}

TEST_F(TypeLib, DamagedBytesAreRefusedWithoutReadingOutside) {
    EXPECT_FALSE(ReadTypeLib(nullptr, 0).has_value());
    std::vector<uint8_t> bad = m_bytes;
    bad[0] = 'X';  // signature
    EXPECT_FALSE(ReadTypeLib(bad.data(), bad.size()).has_value());
    // Every truncation: the reader checks each offset against the size (run under the
    // sanitizers this also proves nothing past the end is read).
    for (size_t n = 0; n < m_bytes.size(); n += 7) {
        std::vector<uint8_t> cut(m_bytes.begin(), m_bytes.begin() + ptrdiff_t(n));
        EXPECT_FALSE(ReadTypeLib(cut.data(), cut.size()).has_value()) << n;
    }
    // A segment table pointing far away.
    bad = m_bytes;
    const size_t segments = 0x54 + 4 * 3;
    bad[segments + 16 * 7 + 3] = 0x7F;  // the name table's offset
    EXPECT_FALSE(ReadTypeLib(bad.data(), bad.size()).has_value());
}

}  // namespace
